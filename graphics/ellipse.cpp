// Filled ellipses: row widths from the circle profile, rows clipped to the
// image before they are filled so huge radii cost no more than the image.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "graphics/arc.h"
#include "graphics/image.h"

namespace {

struct EllipseRows {
  int64_t left, w, h, yc, lower;
};

bool EllipseGeometry(int x, int y, int rx, int ry, DWORD flags, EllipseRows& g) {
  int64_t w, h, hx, hy;
  if (flags & ELLIPSE_BOUNDS) {
    w = std::llabs(int64_t{rx});
    h = std::llabs(int64_t{ry});
    if (w == 0 || h == 0) return false;
    hx = rx / 2;
    hy = ry / 2;
  } else {
    w = 2 * std::llabs(int64_t{rx}) + 1;
    h = 2 * std::llabs(int64_t{ry}) + 1;
    hx = rx;
    hy = ry;
  }
  // In 64 bits: x + 1 alone overflows at x = INT_MAX.
  const int64_t right = int64_t{x} + 1;
  switch ((flags >> ELLIPSE_HANCHOR_SHIFT) & 3) {
    case 0: g.left = x - (w >> 1); break;
    case 1: g.left = hx < 0 ? right - w : x; break;
    case 2: g.left = hx >= 1 ? right - w : x; break;
    default: return false;
  }
  switch ((flags >> ELLIPSE_VANCHOR_SHIFT) & 3) {
    case 0: g.yc = y; break;
    case 1: g.yc = hy >= 1 ? y + (h >> 1) : y - (h - 1) / 2; break;
    case 2: g.yc = hy >= 1 ? y - ((h - 1) >> 1) : y + h / 2; break;
    default: return false;
  }
  g.w = w;
  g.h = h;
  g.lower = (h & 1) ? g.yc : g.yc - 1;
  return true;
}

// Calls fill(row, l, r) for each row of the ellipse inside the image, [l, r)
// being the row's extent in 1/256 pixel, from the circle profile.
template <class Fill>
void WalkEllipseRows(const CGraphicsImage& image, const EllipseRows& g, bool fine, Fill&& fill) {
  int64_t centre = g.left * 256 + g.w * 128;
  auto row = [&](int64_t y, int64_t half) {
    if (y >= 0 && y < image.height) fill(static_cast<int>(y), centre - half, centre + half);
  };
  if (g.h & 1) row(g.yc, g.w * 128);
  int64_t rows = g.h / 2;  // rows on each side of the centre
  auto rowAt = [&](int64_t i, int64_t y) {
    int64_t t = (i * 65536 - ((g.h & 1) ? 0 : 32768)) / g.h;
    int64_t j = t >> 8, f = t & 255;
    int64_t p = (CircleProfileTable[j] * (256 - f) + CircleProfileTable[j + 1] * f) >> 8;
    if (fine) {
      row(y, p * g.w / 256);
      return;
    }
    int64_t wi = (p * g.w + 16383) >> 15, l = g.left + (g.w - wi) / 2;
    if (y >= 0 && y < image.height) fill(static_cast<int>(y), l * 256, (l + wi) * 256);
  };
  // Upper rows yc - i and lower rows lower + i, i = 1..rows, limited to the image.
  int64_t from = std::max<int64_t>(1, g.yc - (image.height - 1));
  int64_t to = std::min<int64_t>(rows, g.yc);
  for (int64_t i = from; i <= to; ++i) rowAt(i, g.yc - i);
  from = std::max<int64_t>(1, -g.lower);
  to = std::min<int64_t>(rows, image.height - 1 - g.lower);
  for (int64_t i = from; i <= to; ++i) rowAt(i, g.lower + i);
}

// Whole pixels [x0, x1) of a span given in 1/256 pixel, clipped to the image.
template <class Fill>
void WholePixels(const CGraphicsImage& image, int row, int64_t l, int64_t r, Fill&& fill) {
  int64_t x0 = std::max<int64_t>((l + 255) >> 8, 0), x1 = std::min<int64_t>(r >> 8, image.width);
  if (x0 < x1) fill(row, static_cast<int>(x0), static_cast<int>(x1));
}

}  // namespace

bool CGraphicsImage::FillEllipse(int x, int y, int rx, int ry, DWORD colour, DWORD flags) {
  EllipseRows g;
  if (!EllipseGeometry(x, y, rx, ry, flags, g)) return false;
  WalkEllipseRows(*this, g, false, [&](int row, int64_t l, int64_t r) {
    WholePixels(*this, row, l, r, [&](int y, int x0, int x1) { FillRect(x0, y, x1 - x0, 1, colour); });
  });
  return true;
}

bool CGraphicsImage::FillEllipseShader(int x, int y, int rx, int ry, DWORD arg,
                                       TriangleShaderFunc shader, DWORD flags) {
  EllipseRows g;
  if (!EllipseGeometry(x, y, rx, ry, flags, g)) return false;
  WalkEllipseRows(*this, g, false, [&](int row, int64_t l, int64_t r) {
    WholePixels(*this, row, l, r,
                [&](int y, int x0, int x1) { FillRectShader(x0, y, x1 - x0, 1, arg, shader); });
  });
  return true;
}

bool CGraphicsImage::FillEllipseSmooth(int x, int y, int rx, int ry, DWORD colour, DWORD flags) {
  if (bpp <= 8) return FillEllipse(x, y, rx, ry, colour, flags & ~ELLIPSE_SMOOTH);
  EllipseRows g;
  if (!EllipseGeometry(x, y, rx, ry, flags, g)) return false;
  WalkEllipseRows(*this, g, true, [&](int row, int64_t l, int64_t r) {
    WholePixels(*this, row, l, r, [&](int yy, int x0, int x1) { FillRect(x0, yy, x1 - x0, 1, colour); });
    int64_t pl = l >> 8, pr = r >> 8;
    // The end pixels only partly inside get the colour by their coverage.
    if (pl == pr) {
      if (r > l) BlendPixel(*this, pl, row, colour, static_cast<int>(r - l));
      return;
    }
    if (l & 255) BlendPixel(*this, pl, row, colour, static_cast<int>(256 - (l & 255)));
    if (r & 255) BlendPixel(*this, pr, row, colour, static_cast<int>(r & 255));
  });
  return true;
}
