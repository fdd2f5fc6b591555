#include <algorithm>
#include <cstdlib>

#include "graphics/image.h"
#include "graphics/line_walk.h"
#include "graphics/pen.h"

bool ClipLine(int x1, int y1, int x2, int y2, int width, int height, const LineClip& clip,
              LineWalk& walk) {
  if (width <= 0 || height <= 0) return false;  // nothing is inside
  int64_t dx = std::llabs(int64_t{x2} - x1), dy = std::llabs(int64_t{y2} - y1);
  walk.xMajor = !(dx < dy);
  int64_t m1 = walk.xMajor ? x1 : y1, n1 = walk.xMajor ? y1 : x1;
  int64_t m2 = walk.xMajor ? x2 : y2, n2 = walk.xMajor ? y2 : x2;
  int64_t limit = int64_t{walk.xMajor ? width : height} - 1;
  int64_t minorLimit = int64_t{walk.xMajor ? height : width} - 1;
  if ((n1 > minorLimit + clip.minorSlack && n2 > minorLimit + clip.minorSlack) ||
      (n1 < -clip.minorSlack && n2 < -clip.minorSlack))
    return false;
  walk.majorStep = m2 < m1 ? -1 : 1;
  walk.minorStep = n2 < n1 ? -1 : 1;
  walk.dmajor = walk.xMajor ? dx : dy;
  walk.dminor = walk.xMajor ? dy : dx;
  walk.e = (walk.dmajor - walk.dminor + 1) / 2;
  walk.major = m1;
  walk.minor = n1;
  int64_t length = walk.dmajor;  // major steps left to the end point
  int64_t p = walk.majorStep > 0 ? m1 : limit - m1;
  if (p < -clip.runIn) {
    int64_t skip = -clip.runIn - p;
    if (skip > length) return false;  // ends before the run-in position
    WalkJump jump = JumpWalk(walk.dmajor, walk.dminor, walk.e, skip);
    walk.major += skip * walk.majorStep;
    walk.minor += jump.minorSteps * walk.minorStep;
    walk.e = jump.error;
    length -= skip;
    p = -clip.runIn;
  }
  int64_t n = length + (clip.bothEnds ? 1 : 0);
  if (p + n > limit) {
    if (p > limit) return false;
    n = limit - p + 1;
  }
  walk.count = n;
  return true;
}

namespace {

bool Inside(const CGraphicsImage& image, int64_t x, int64_t y) {
  return static_cast<uint64_t>(x) < static_cast<uint64_t>(image.width) &&
         static_cast<uint64_t>(y) < static_cast<uint64_t>(image.height);
}

// old * (256 - a) + colour * a per colour channel, >> 8; the old top byte stays.
DWORD BlendWeighted(DWORD old, DWORD colour, DWORD a) {
  DWORD out = old & 0xFF000000u;
  for (int s = 0; s < 24; s += 8) {
    DWORD o = (old >> s) & 255, c = (colour >> s) & 255;
    out |= ((o * (256 - a) + c * a) >> 8) << s;
  }
  return out;
}

// old * 7/8 + colour / 8 per colour channel; the old top byte stays.
DWORD BlendEighth(DWORD old, DWORD colour) {
  DWORD out = old & 0xFF000000u;
  for (int s = 0; s < 24; s += 8) {
    DWORD o = (old >> s) & 255, c = (colour >> s) & 255;
    out |= ((o * 7 + c) >> 3) << s;
  }
  return out;
}

void BlendPixel(CGraphicsImage& image, int64_t x, int64_t y, DWORD colour, DWORD a) {
  if (!Inside(image, x, y)) return;
  BYTE* row = image.Row(static_cast<int>(y));
  int xi = static_cast<int>(x);
  image.PixelSetFunc(row, xi, BlendWeighted(image.PixelGetFunc(row, xi), colour, a));
}

void StorePixel(CGraphicsImage& image, int64_t x, int64_t y, DWORD colour) {
  if (Inside(image, x, y))
    image.PixelSetFunc(image.Row(static_cast<int>(y)), static_cast<int>(x), colour);
}

// Normalises a rectangle side: a negative extent covers the |extent|
// positions ending at start. Gives the first position and the extent >= 0.
void NormaliseSide(int start, int extent, int64_t& first, int64_t& size) {
  first = extent < 0 ? int64_t{start} + extent + 1 : start;
  size = extent < 0 ? -int64_t{extent} : extent;
}

}  // namespace

bool CGraphicsImage::DrawLine(int x1, int y1, int x2, int y2, DWORD colour, PixelWriterFunc pen,
                              bool drawLast) {
  LineWalk walk;
  if (!ClipLine(x1, y1, x2, y2, width, height, {2, 0, drawLast}, walk)) return false;
  pen = SubstitutePen(*this, pen);
  if (!pen) return true;
  for (int64_t i = 0; i < walk.count; ++i, walk.Step()) pen(this, walk.X(), walk.Y(), colour);
  return true;
}

bool CGraphicsImage::DrawPlainLine(int x1, int y1, int x2, int y2, DWORD colour) {
  LineWalk walk;
  if (!ClipLine(x1, y1, x2, y2, width, height, {0, 0, true}, walk)) return false;
  for (int64_t i = 0; i < walk.count; ++i, walk.Step()) StorePixel(*this, walk.X(), walk.Y(), colour);
  return true;
}

bool CGraphicsImage::DrawShaderLine(int x1, int y1, int x2, int y2, DWORD arg,
                                    TriangleShaderFunc shader, bool drawLast) {
  LineWalk walk;
  if (!ClipLine(x1, y1, x2, y2, width, height, {2, 0, drawLast}, walk)) return false;
  // The run-in and off-image minor positions are walked but not shaded:
  // shaders may rely on getting pixels of the image only.
  for (int64_t i = 0; i < walk.count; ++i, walk.Step()) {
    int x = walk.X(), y = walk.Y();
    if (Inside(*this, x, y)) shader(this, Row(y), x, y, arg);
  }
  return true;
}

bool CGraphicsImage::DrawSmoothLine(int x1, int y1, int x2, int y2, DWORD colour, bool drawLast) {
  if (bpp < 9 || x1 == x2 || y1 == y2) return DrawPlainLine(x1, y1, x2, y2, colour);
  int64_t dx = std::llabs(int64_t{x2} - x1), dy = std::llabs(int64_t{y2} - y1);
  if (dx == dy) {
    // The diagonal stored plainly, and beside each position but the end the
    // pixels one x step ahead in its row and one y step ahead in its column
    // blended an eighth: the same pixels whichever end the line starts from.
    int sx = x2 < x1 ? -1 : 1, sy = y2 < y1 ? -1 : 1;
    // Positions whose pixel or neighbours can be inside: x and y in [-1, side].
    auto range = [](int64_t start, int step, int side, int64_t& lo, int64_t& hi) {
      // start + i * step in [-1, side]
      int64_t a = step > 0 ? -1 - start : start - side;
      int64_t b = step > 0 ? side - start : start + 1;
      lo = std::max(lo, a);
      hi = std::min(hi, b);
    };
    int64_t lo = 0, hi = dx;
    range(x1, sx, width, lo, hi);
    range(y1, sy, height, lo, hi);
    StorePixel(*this, x2, y2, colour);
    for (int64_t i = lo; i <= hi; ++i) {
      int64_t x = x1 + i * sx, y = y1 + i * sy;
      StorePixel(*this, x, y, colour);
      if (i == dx) break;
      for (int k = 0; k < 2; ++k) {
        int64_t bx = k == 0 ? x + sx : x, by = k == 0 ? y : y + sy;
        if (!Inside(*this, bx, by)) continue;
        BYTE* row = Row(static_cast<int>(by));
        int xi = static_cast<int>(bx);
        PixelSetFunc(row, xi, BlendEighth(PixelGetFunc(row, xi), colour));
      }
    }
    return lo <= hi;
  }
  LineWalk walk;
  if (!ClipLine(x1, y1, x2, y2, width, height, {1, 1, drawLast}, walk)) return false;
  // Coverage in 1/256 of a pixel: (e + dminor) / dmajor, through the
  // reciprocal while it keeps 8 bits of precision.
  int64_t k = (int64_t{1} << 28) / walk.dmajor;
  bool exact = walk.dmajor > (int64_t{1} << 20);
  for (int64_t i = 0; i < walk.count; ++i, walk.Step()) {
    int64_t cover = walk.e + walk.dminor;  // 1 .. dmajor
    DWORD a = static_cast<DWORD>(exact ? (cover << 8) / walk.dmajor : (cover * k) >> 20);
    int64_t x = walk.xMajor ? walk.major : walk.minor, y = walk.xMajor ? walk.minor : walk.major;
    BlendPixel(*this, x, y, colour, a);
    if (walk.xMajor)
      BlendPixel(*this, x, y + walk.minorStep, colour, 256 - a);
    else
      BlendPixel(*this, x + walk.minorStep, y, colour, 256 - a);
  }
  return true;
}

bool CGraphicsImage::DrawRectOutline(int x, int y, int w, int h, DWORD colour) {
  int64_t x0, y0, cw, ch;
  NormaliseSide(x, w, x0, cw);
  NormaliseSide(y, h, y0, ch);
  int64_t x1 = x0 + cw - 1, y1 = y0 + ch - 1;
  if (cw == 0 || ch == 0 || width <= 0 || height <= 0 || x0 >= width || y0 >= height || x1 < 0 || y1 < 0) return false;
  int64_t cx0 = std::max<int64_t>(x0, 0), cx1 = std::min<int64_t>(x1, width - 1);
  int64_t cy0 = std::max<int64_t>(y0, 0), cy1 = std::min<int64_t>(y1, height - 1);
  if (y0 >= 0) FillRowSpan(Row(static_cast<int>(y0)), static_cast<int>(cx0), static_cast<int>(cx1 + 1), colour);
  for (int64_t row = cy0; row <= cy1; ++row) {
    BYTE* r = Row(static_cast<int>(row));
    if (x0 >= 0) PixelSetFunc(r, static_cast<int>(x0), colour);
    if (x1 < width) PixelSetFunc(r, static_cast<int>(x1), colour);
  }
  if (y1 < height) FillRowSpan(Row(static_cast<int>(y1)), static_cast<int>(cx0), static_cast<int>(cx1 + 1), colour);
  return true;
}

bool CGraphicsImage::DrawRectPen(int x, int y, int w, int h, DWORD colour, PixelWriterFunc pen) {
  int64_t x0, y0, cw, ch;
  NormaliseSide(x, w, x0, cw);
  NormaliseSide(y, h, y0, ch);
  if (width <= 0 || height <= 0 || x0 >= width || y0 >= height || x0 + cw <= 0 || y0 + ch <= 0 || cw <= 0 || ch <= 0)
    return false;
  if (cw == 1 && ch == 1) {
    pen = SubstitutePen(*this, pen);
    if (pen) pen(this, static_cast<int>(x0), static_cast<int>(y0), colour);
    return true;
  }
  // Corners far off the image move to three pixels outside: the lines then
  // make the same pen calls (the run-in reaches two pixels out) and stay in
  // int range.
  auto near = [](int64_t v, int side) {
    return static_cast<int>(std::clamp<int64_t>(v, -3, int64_t{side} + 2));
  };
  int ax = near(x0, width), ay = near(y0, height);
  int bx = near(x0 + cw - 1, width), by = near(y0 + ch - 1, height);
  if (cw == 1 || ch == 1) {  // one line, each pixel once
    DrawLine(ax, ay, bx, by, colour, pen, true);
    return true;
  }
  DrawLine(ax, ay, ax, by, colour, pen, false);
  DrawLine(ax, by, bx, by, colour, pen, false);
  DrawLine(bx, by, bx, ay, colour, pen, false);
  DrawLine(bx, ay, ax, ay, colour, pen, false);
  return true;
}
