// Turning an image by any angle about a pivot. Positions are kept in
// quarter pixels scaled by 65536 (so 2^18 per pixel) in 64-bit integers:
// the sine and cosine of FixedSin are exact at quarter turns, and there the
// centres of the result's pixels map back exactly onto source pixel centres,
// so the turn is a pure permutation of pixels whatever the sampling.
//
// The result's pixel grid is the source's grid turned with it, cut to the
// whole pixels that hold the turned corners. Each result pixel centre is
// mapped back into the source; it takes the source pixel it falls on, or,
// above 8 bits per pixel, the blend of the four source pixels around it
// (positions outside the source counting as the fill colour).
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

#include "graphics/arc.h"
#include "graphics/image.h"
#include "graphics/rotate.h"

namespace {

constexpr int kFixShift = 18;                    // 2^18 units per pixel
constexpr int64_t kPixel = int64_t{1} << kFixShift;

inline int64_t FloorDiv(int64_t a, int64_t b) {
  int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

int SaturateInt(int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, INT_MIN, INT_MAX)); }

// The turn: cosine and sine in 16.16 and the pivot in quarter pixels.
struct Turn {
  int64_t c, s, px, py;

  // Source point (quarter pixels) to turned position, in 2^18 per pixel.
  void Forward(int64_t qx, int64_t qy, int64_t& u, int64_t& v) const {
    u = px * 65536 + c * (qx - px) - s * (qy - py);
    v = py * 65536 + s * (qx - px) + c * (qy - py);
  }
  // Turned point (quarter pixels) back into the source, in 2^18 per pixel.
  void Back(int64_t qx, int64_t qy, int64_t& u, int64_t& v) const {
    u = px * 65536 + c * (qx - px) + s * (qy - py);
    v = py * 65536 - s * (qx - px) + c * (qy - py);
  }
};

// Per channel (all four bytes) sum of w[k] * byte of p[k], rounded back from
// the weight total 65536.
DWORD BlendPlain(const DWORD p[4], const DWORD w[4]) {
  DWORD out = 0;
  for (int sh = 0; sh < 32; sh += 8) {
    uint64_t sum = 0;
    for (int k = 0; k < 4; ++k) sum += uint64_t{w[k]} * ((p[k] >> sh) & 255);
    out |= static_cast<DWORD>((sum + 32768) >> 16) << sh;
  }
  return out;
}

// As BlendPlain, but colours weighed by their alpha as well, so that
// transparent pixels lend no colour to the ones they border.
DWORD BlendWithAlpha(const DWORD p[4], const DWORD w[4]) {
  uint64_t wa[4], total = 0;
  for (int k = 0; k < 4; ++k) total += wa[k] = uint64_t{w[k]} * (p[k] >> 24);
  if (total == 0) return BlendPlain(p, w) & 0x00FFFFFF;
  DWORD out = static_cast<DWORD>((total + 32768) >> 16) << 24;
  for (int sh = 0; sh < 24; sh += 8) {
    uint64_t sum = 0;
    for (int k = 0; k < 4; ++k) sum += wa[k] * ((p[k] >> sh) & 255);
    out |= static_cast<DWORD>((sum + total / 2) / total) << sh;
  }
  return out;
}

struct RotatedFrame {
  int64_t left, top;  // the result's corner in whole pixels of the turned plane
  int64_t width, height;
};

RotatedFrame FrameOf(const CGraphicsImage& src, const Turn& t) {
  int64_t minU = INT64_MAX, maxU = INT64_MIN, minV = INT64_MAX, maxV = INT64_MIN;
  for (int corner = 0; corner < 4; ++corner) {
    int64_t u, v;
    t.Forward(corner & 1 ? 4 * int64_t{src.width} : 0, corner & 2 ? 4 * int64_t{src.height} : 0, u, v);
    minU = std::min(minU, u);
    maxU = std::max(maxU, u);
    minV = std::min(minV, v);
    maxV = std::max(maxV, v);
  }
  RotatedFrame f;
  f.left = FloorDiv(minU, kPixel);
  f.top = FloorDiv(minV, kPixel);
  f.width = -FloorDiv(-maxU, kPixel) - f.left;
  f.height = -FloorDiv(-maxV, kPixel) - f.top;
  return f;
}

// Calls sample(row, x, u, v) for every result pixel with the source point
// its centre maps back to (2^18 per source pixel).
template <class Sample>
void MapBack(CGraphicsImage& out, const Turn& t, const RotatedFrame& f, Sample&& sample) {
  for (int y = 0; y < out.height; ++y) {
    BYTE* row = out.Row(y);
    const int64_t qy = 4 * (f.top + y) + 2;
    for (int x = 0; x < out.width; ++x) {
      int64_t u, v;
      t.Back(4 * (f.left + x) + 2, qy, u, v);
      sample(row, x, u, v);
    }
  }
}

void SampleNearest(CGraphicsImage& out, const CGraphicsImage& src, const Turn& t, const RotatedFrame& f) {
  MapBack(out, t, f, [&](BYTE* row, int x, int64_t u, int64_t v) {
    const int64_t sx = u >> kFixShift, sy = v >> kFixShift;
    if (sx < 0 || sy < 0 || sx >= src.width || sy >= src.height) return;  // fill stays
    out.PixelSetFunc(row, x, src.PixelGetFunc(src.Row(static_cast<int>(sy)), static_cast<int>(sx)));
  });
}

void SampleBlended(CGraphicsImage& out, const CGraphicsImage& src, const Turn& t, const RotatedFrame& f,
                   DWORD fillValue, bool withAlpha) {
  MapBack(out, t, f, [&](BYTE* row, int x, int64_t u, int64_t v) {
    // The four source centres around the point, and its place between them
    // in 1/256 pixel.
    u -= kPixel / 2;
    v -= kPixel / 2;
    const int64_t sx = u >> kFixShift, sy = v >> kFixShift;
    if (sx < -1 || sy < -1 || sx >= src.width || sy >= src.height) return;  // fill only
    const DWORD fx = static_cast<DWORD>(u >> (kFixShift - 8)) & 255;
    const DWORD fy = static_cast<DWORD>(v >> (kFixShift - 8)) & 255;
    const DWORD w[4] = {(256 - fx) * (256 - fy), fx * (256 - fy), (256 - fx) * fy, fx * fy};
    DWORD p[4];
    for (int k = 0; k < 4; ++k) {
      const int64_t px = sx + (k & 1), py = sy + (k >> 1);
      const bool inside = px >= 0 && py >= 0 && px < src.width && py < src.height;
      p[k] = inside ? src.PixelGetFunc(src.Row(static_cast<int>(py)), static_cast<int>(px)) : fillValue;
    }
    out.PixelSetFunc(row, x, withAlpha ? BlendWithAlpha(p, w) : BlendPlain(p, w));
  });
}

}  // namespace

bool CGraphicsImage::RotateFrom(const CGraphicsImage& src, int angle, DWORD flags, int* pivotX,
                                int* pivotY, DWORD fill) {
  return WithSeparateSource(src, [&](const CGraphicsImage& s) {
    if (!s.HasPixels() || s.width <= 0 || s.height <= 0) return false;
    if (s.width > ROTATE_MAX_SOURCE || s.height > ROTATE_MAX_SOURCE) return false;
    const bool quarters = (flags & ROTATE_PIVOT_QUARTERS) != 0;
    const int64_t scale = quarters ? 1 : 4;
    // Without a pivot the image turns about its centre.
    Turn t;
    t.px = pivotX ? *pivotX * scale : 2 * int64_t{s.width};
    t.py = pivotY ? *pivotY * scale : 2 * int64_t{s.height};
    const unsigned a = static_cast<unsigned>(angle) & 0x1FFFF;
    t.c = FixedSin(static_cast<int>((a + 0x8000) & 0x1FFFF));
    t.s = FixedSin(static_cast<int>(a));

    const RotatedFrame f = FrameOf(s, t);
    if (f.width > ROTATE_MAX_RESULT || f.height > ROTATE_MAX_RESULT) return false;
    CGraphicsImage out;
    if (!out.Create(s.bpp, static_cast<int>(f.width), static_cast<int>(f.height), fill, nullptr))
      return false;
    if (s.paletteSize) std::memcpy(out.palette, s.palette, sizeof(RGBQUAD) * 256);
    if (s.bpp > 8 && !(flags & ROTATE_NEAREST)) {
      // What a pixel filled with `fill` reads back as.
      const DWORD fillValue = out.width > 0 && out.height > 0 ? out.PixelGetFunc(out.Row(0), 0) : 0;
      SampleBlended(out, s, t, f, fillValue, s.bpp == 32 && s.HasAlpha());
    } else {
      SampleNearest(out, s, t, f);
    }
    AdoptPixels(out);
    if (pivotX) *pivotX = SaturateInt(FloorDiv(t.px - 4 * f.left, scale));
    if (pivotY) *pivotY = SaturateInt(FloorDiv(t.py - 4 * f.top, scale));
    return true;
  });
}
