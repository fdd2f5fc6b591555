// Moving a rectangle of an image within the image. Source and destination
// may overlap: whole-byte rows are moved in an order that reads every row
// before it is overwritten, other rows go through a copy of the rectangle.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "graphics/image.h"

namespace {

// One side of the rectangle: [first, end) moved by `shift`, cut to what lies
// inside [0, limit) both before and after the move.
bool ClipMovedSide(int start, int extent, int64_t shift, int limit, int64_t& first, int64_t& end) {
  first = start;
  end = int64_t{start} + extent;
  if (extent < 0) {
    first = end + 1;
    end = int64_t{start} + 1;
  }
  first = std::max({first, int64_t{0}, -shift});
  end = std::min({end, int64_t{limit}, int64_t{limit} - shift});
  return first < end;
}

}  // namespace

bool CGraphicsImage::MoveRect(int x, int y, int w, int h, int dstX, int dstY) {
  if (w == 0 || h == 0) return false;
  const int64_t shiftX = int64_t{dstX} - x, shiftY = int64_t{dstY} - y;
  if (shiftX == 0 && shiftY == 0) return true;
  int64_t x0, x1, y0, y1;
  if (!HasPixels() || !ClipMovedSide(x, w, shiftX, width, x0, x1) ||
      !ClipMovedSide(y, h, shiftY, height, y0, y1))
    return false;
  // Within the image now, so every value fits an int.
  const int sx = static_cast<int>(x0), sy = static_cast<int>(y0);
  const int cw = static_cast<int>(x1 - x0), ch = static_cast<int>(y1 - y0);
  const int dx = static_cast<int>(x0 + shiftX), dy = static_cast<int>(y0 + shiftY);

  if (((static_cast<DWORD>(sx) | static_cast<DWORD>(dx) | static_cast<DWORD>(cw)) & pixelInByteMask) == 0) {
    const size_t bytes = size_t{static_cast<DWORD>(cw) >> indexShift} * bytesPerUnit;
    const size_t from = size_t{static_cast<DWORD>(sx) >> indexShift} * bytesPerUnit;
    const size_t to = size_t{static_cast<DWORD>(dx) >> indexShift} * bytesPerUnit;
    // Moving up: top rows first; moving down: bottom rows first.
    for (int i = 0; i < ch; ++i) {
      const int r = dy < sy ? i : ch - 1 - i;
      std::memmove(Row(dy + r) + to, Row(sy + r) + from, bytes);
    }
    return true;
  }
  CGraphicsImage piece;
  if (!piece.CropFrom(*this, sx, sy, cw, ch)) return false;
  return DrawImage(piece, dx, dy, 0);
}
