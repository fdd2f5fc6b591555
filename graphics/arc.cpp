// Elliptic arcs: walked as chords whose count grows with the radius.
#include "graphics/arc.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "graphics/image.h"

const WORD SineTable[130] = {
    0,     402,   804,   1206,  1608,  2009,  2411,  2811,  3212,  3612,  4011,  4410,  4808,
    5205,  5602,  5998,  6393,  6787,  7180,  7571,  7962,  8351,  8740,  9127,  9512,  9896,
    10279, 10660, 11039, 11417, 11793, 12167, 12540, 12910, 13279, 13646, 14010, 14373, 14733,
    15091, 15447, 15800, 16151, 16500, 16846, 17190, 17531, 17869, 18205, 18538, 18868, 19195,
    19520, 19841, 20160, 20475, 20788, 21097, 21403, 21706, 22006, 22302, 22595, 22884, 23170,
    23453, 23732, 24008, 24279, 24548, 24812, 25073, 25330, 25583, 25833, 26078, 26320, 26557,
    26791, 27020, 27246, 27467, 27684, 27897, 28106, 28311, 28511, 28707, 28899, 29086, 29269,
    29448, 29622, 29792, 29957, 30118, 30274, 30425, 30572, 30715, 30853, 30986, 31114, 31238,
    31357, 31471, 31581, 31686, 31786, 31881, 31972, 32058, 32138, 32214, 32286, 32352, 32413,
    32470, 32522, 32568, 32610, 32647, 32679, 32706, 32729, 32746, 32758, 32766, 32768, 0};

const WORD CircleProfileTable[130] = {
    32768, 32766, 32763, 32758, 32751, 32742, 32731, 32718, 32703, 32686, 32667, 32646, 32623,
    32598, 32571, 32542, 32510, 32477, 32442, 32404, 32365, 32323, 32280, 32234, 32186, 32136,
    32084, 32030, 31974, 31915, 31855, 31792, 31727, 31660, 31590, 31519, 31445, 31369, 31290,
    31209, 31126, 31041, 30953, 30863, 30771, 30676, 30578, 30479, 30376, 30271, 30164, 30054,
    29942, 29827, 29709, 29588, 29465, 29339, 29210, 29079, 28944, 28807, 28667, 28524, 28377,
    28228, 28076, 27920, 27761, 27599, 27433, 27264, 27092, 26916, 26736, 26553, 26366, 26175,
    25981, 25782, 25579, 25372, 25161, 24945, 24724, 24499, 24270, 24035, 23795, 23550, 23300,
    23044, 22782, 22514, 22241, 21960, 21673, 21380, 21079, 20770, 20454, 20129, 19796, 19454,
    19102, 18740, 18367, 17983, 17587, 17178, 16755, 16317, 15863, 15391, 14900, 14388, 13852,
    13289, 12697, 12070, 11402, 10687, 9914,  9069,  8127,  7052,  5769,  4087,  0,     0};

int FixedSin(int angle) {
  unsigned a = static_cast<unsigned>(angle);
  unsigned v = a & 0xFFFF;
  if (a & 0x8000) v = 0x10000 - v;
  unsigned i = v >> 8, f = v & 255;
  int s0 = SineTable[i], s1 = SineTable[i + 1];
  if (a & 0x10000) s0 = -s0, s1 = -s1;
  if (f == 0) return 2 * s0;
  return (static_cast<int>(256 - f) * s0 + static_cast<int>(f) * s1) / 128;
}

namespace {

// A quarter turn ahead of the sine; the angle is reduced to one turn first,
// since adding the quarter to an angle near INT_MAX would overflow.
int FixedCos(int angle) { return FixedSin((angle & 0x1FFFF) + 0x8000); }

struct Point {
  int64_t x, y;
  bool operator==(const Point&) const = default;
};

int64_t ArcRadius(int rx, int ry) {
  int64_t r = std::max(std::llabs(int64_t{rx}), std::llabs(int64_t{ry}));
  return r == 0 ? 1 : r;
}

int ArcStep(int64_t r) {
  int step = 128;
  for (int64_t limit = 13280; limit >= r && step < 16384; limit /= 4) step *= 2;
  return step;
}

struct Ellipse {
  int64_t cx, cy, rx, ry;
  bool rotated;
  int64_t c, s;

  Ellipse(int cx_, int cy_, int rx_, int ry_, int rotation)
      : cx(cx_), cy(cy_), rx(rx_), ry(ry_) {
    rotated = (rotation & 0x1FFFF) != 0 && std::llabs(rx) != std::llabs(ry);
    c = FixedCos(rotation) / 16;
    s = FixedSin(rotation) / 16;
  }

  Point At(int a) const {
    if (!rotated)
      return {cx + FixedCos(a) * rx / 65536, cy + FixedSin(a) * ry / 65536};
    int64_t ex = FixedCos(a) * rx / 4096, ey = FixedSin(a) * ry / 4096;
    return {cx + (c * ex - s * ey) / 65536, cy + (c * ey + s * ex) / 65536};
  }
};

bool Refused(const CGraphicsImage& image, int cx, int cy, int64_t r) {
  return cx + r < -1 || cy + r < -1 || cx - r > image.width || cy - r > image.height;
}

// Hands a chord to `draw` in int coordinates. Chords of huge ellipses may
// reach beyond the int range; those are first cut to a box far larger than
// any image, which leaves every pixel inside the image where it was.
template <class Draw>
void DrawChord(Point p, Point q, Draw&& draw) {
  auto fits = [](const Point& pt) {
    return pt.x >= INT_MIN && pt.x <= INT_MAX && pt.y >= INT_MIN && pt.y <= INT_MAX;
  };
  if (fits(p) && fits(q)) {
    draw(static_cast<int>(p.x), static_cast<int>(p.y), static_cast<int>(q.x),
         static_cast<int>(q.y));
    return;
  }
  constexpr double kBox = 1 << 30;
  double x0 = static_cast<double>(p.x), y0 = static_cast<double>(p.y);
  double dx = static_cast<double>(q.x - p.x), dy = static_cast<double>(q.y - p.y);
  double t0 = 0, t1 = 1;
  auto cut = [&](double num, double den) {  // keeps t with den * t <= num
    if (den == 0) return num >= 0;
    double t = num / den;
    if (den > 0) t1 = std::min(t1, t);
    else t0 = std::max(t0, t);
    return t0 <= t1;
  };
  if (!cut(kBox - x0, dx) || !cut(kBox + x0, -dx) || !cut(kBox - y0, dy) || !cut(kBox + y0, -dy))
    return;
  draw(static_cast<int>(std::lround(x0 + t0 * dx)), static_cast<int>(std::lround(y0 + t0 * dy)),
       static_cast<int>(std::lround(x0 + t1 * dx)), static_cast<int>(std::lround(y0 + t1 * dy)));
}

// The chord walk shared by the plain and the pen arc; draw(p, q, closing).
template <class Draw>
bool WalkArc(const CGraphicsImage& image, int cx, int cy, int rx, int ry, int start, int end,
             int rotation, Draw&& draw) {
  int64_t r = ArcRadius(rx, ry);
  if (Refused(image, cx, cy, r)) return false;
  int step = ArcStep(r);
  uint32_t span;
  if (int64_t{end} - start < 0) {
    step = -step;
    span = (static_cast<uint32_t>(start) - static_cast<uint32_t>(end)) & 0x1FFFF;
  } else {
    span = (static_cast<uint32_t>(end) - static_cast<uint32_t>(start)) & 0x1FFFF;
  }
  if (span == 0 && start != end) span = 0x20000;
  Ellipse e(cx, cy, rx, ry, rotation);
  int a0 = start & 0x1FFFF;
  Point p = e.At(a0);
  int a = a0 + step;
  for (uint32_t i = 0; i < span; i += static_cast<uint32_t>(std::abs(step)), a += step) {
    Point q = e.At(a);
    if (q == p) continue;
    draw(p, q, false);
    p = q;
  }
  draw(p, e.At(end & 0x1FFFF), true);
  return true;
}

}  // namespace

bool CGraphicsImage::DrawArc(int cx, int cy, int rx, int ry, DWORD colour, int start, int end,
                             int rotation) {
  return WalkArc(*this, cx, cy, rx, ry, start, end, rotation, [&](Point p, Point q, bool) {
    DrawChord(p, q, [&](int x1, int y1, int x2, int y2) { DrawPlainLine(x1, y1, x2, y2, colour); });
  });
}

bool CGraphicsImage::DrawArcPen(int cx, int cy, int rx, int ry, DWORD colour, PixelWriterFunc pen,
                                int start, int end, int rotation, bool drawLast) {
  return WalkArc(*this, cx, cy, rx, ry, start, end, rotation, [&](Point p, Point q, bool closing) {
    DrawChord(p, q, [&](int x1, int y1, int x2, int y2) {
      DrawLine(x1, y1, x2, y2, colour, pen, closing ? drawLast : false);
    });
  });
}

namespace {

int SmoothArcStep(int64_t r) {
  int step = 128;
  if (r < 13280)
    for (int64_t limit = 13280; limit > r && step < 16384; limit /= 4) step *= 2;
  return step;
}

}  // namespace

void BlendPixel(CGraphicsImage& image, int64_t x, int64_t y, DWORD colour, int w) {
  if (x < 0 || y < 0 || x >= image.width || y >= image.height) return;
  BYTE* row = image.Row(static_cast<int>(y));
  DWORD old = image.PixelGetFunc(row, static_cast<int>(x)), out = old & 0xFF000000;
  for (int shift = 0; shift < 24; shift += 8) {
    DWORD o = (old >> shift) & 255, c = (colour >> shift) & 255;
    out |= ((o * static_cast<DWORD>(256 - w) + c * static_cast<DWORD>(w)) >> 8) << shift;
  }
  image.PixelSetFunc(row, static_cast<int>(x), out);
}

namespace {

// One antialiased chord: `count` steps along the major axis from p (16.16),
// the minor coordinate spread over the two pixels it falls between. Only the
// steps whose major coordinate lies inside the image are visited.
void SmoothChord(CGraphicsImage& image, Point p, Point q, Point pp, Point qp, bool extra,
                 DWORD colour) {
  bool rows = std::llabs(qp.x - pp.x) <= std::llabs(qp.y - pp.y);
  int64_t major0 = rows ? pp.y : pp.x, dmaj = rows ? qp.y - pp.y : qp.x - pp.x;
  int64_t minor0 = (rows ? p.x : p.y) - 32768, dmin = rows ? q.x - p.x : q.y - p.y;
  int64_t n = std::llabs(dmaj), dir = dmaj < 0 ? -1 : 1, count = n + (extra ? 1 : 0);
  int64_t quot = dmin / n, rem = dmin % n, limit = rows ? image.height : image.width;
  // Steps k with 0 <= major0 + k dir < limit.
  int64_t k0 = dir > 0 ? -major0 : major0 - (limit - 1);
  int64_t k1 = dir > 0 ? limit - 1 - major0 : major0;
  k0 = std::max<int64_t>(k0, 0);
  k1 = std::min<int64_t>(k1, count - 1);
  for (int64_t k = k0; k <= k1; ++k) {
    // The minor coordinate from the start, not by adding a truncated step:
    // over the millions of steps of a huge chord that error would grow to
    // whole pixels.
    int64_t part = n <= INT32_MAX ? k * rem / n
                                  : static_cast<int64_t>(static_cast<double>(k) * static_cast<double>(rem) /
                                                         static_cast<double>(n));
    int64_t m = major0 + k * dir, v = minor0 + k * quot + part;
    int f = static_cast<int>((v >> 8) & 255);
    int64_t at = v / 65536;
    if (rows) {
      BlendPixel(image, at, m, colour, 256 - f);
      BlendPixel(image, at + 1, m, colour, f);
    } else {
      BlendPixel(image, m, at, colour, 256 - f);
      BlendPixel(image, m, at + 1, colour, f);
    }
  }
}

}  // namespace

bool CGraphicsImage::DrawArcSmooth(int cx, int cy, int rx, int ry, DWORD colour, int start,
                                   int end, int rotation) {
  if (bpp <= 8) return DrawArc(cx, cy, rx, ry, colour, start, end, rotation);
  int64_t r = ArcRadius(rx, ry);
  if (Refused(*this, cx, cy, r)) return false;
  int step = SmoothArcStep(r);
  if (start > end) std::swap(start, end);
  int64_t s = start & 0x1FFFF, e = end & 0x1FFFF;
  if (start != end && e <= s) e += 0x20000;
  Ellipse el(cx, cy, rx, ry, rotation);
  int64_t c = el.rotated ? el.c : 4096, sn = el.rotated ? el.s : 0;
  auto point = [&](int64_t a) {
    int64_t ex = FixedCos(static_cast<int>(a)) * el.rx / 4096;
    int64_t ey = FixedSin(static_cast<int>(a)) * el.ry / 4096;
    return Point{el.cx * 65536 + c * ex - sn * ey, el.cy * 65536 + c * ey + sn * ex};
  };
  auto pixel = [](Point p) { return Point{p.x / 65536, p.y / 65536}; };
  Point p = point(s);
  for (int64_t a = s + step;; a += step) {
    bool last = a >= e;
    if (last) a = e;
    Point q = point(a);
    if (pixel(q) != pixel(p)) {
      SmoothChord(*this, p, q, pixel(p), pixel(q), last && s != e, colour);
      p = q;
    }
    if (last) return true;
  }
}
