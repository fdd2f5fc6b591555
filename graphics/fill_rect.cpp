#include <algorithm>
#include <climits>
#include <cstring>

#include "graphics/fill_clip.h"
#include "graphics/image.h"

namespace {

// Long runs of a 4-byte pattern go to the string store instruction where
// there is one: it fills whole cache lines without reading them first.
bool StoreLongRun32(BYTE* p, size_t units, DWORD value) {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
  if (units < 1024) return false;
  asm volatile("rep stosl" : "+D"(p), "+c"(units) : "a"(value) : "memory");
  return true;
#else
  (void)p, (void)units, (void)value;
  return false;
#endif
}

// Writes `units` copies of a pattern of `size` (2, 3 or 4) bytes through a
// 192-byte block that holds whole copies: fixed-size copies of the block
// become runs of plain vector stores.
void RepeatPattern(BYTE* p, size_t units, const BYTE* pattern, size_t size) {
  BYTE block[192];
  for (size_t i = 0; i < sizeof block; i += size) std::memcpy(block + i, pattern, size);
  size_t total = units * size;
  BYTE* end = p + total;
  for (; end - p >= 192; p += 192) std::memcpy(p, block, 192);
  std::memcpy(p, block, static_cast<size_t>(end - p));
}

}  // namespace

void CGraphicsImage::FillRowSpan(BYTE* row, int x0, int x1, DWORD colour) {
  // Leading pixels up to the first whole unit.
  while (x0 < x1 && (static_cast<DWORD>(x0) & pixelInByteMask)) PixelSetFunc(row, x0++, colour);
  int wholeEnd = static_cast<int>(static_cast<DWORD>(x1) & ~pixelInByteMask);
  if (wholeEnd > x0) {
    BYTE* p = row + (static_cast<int64_t>(x0) >> indexShift) * bytesPerUnit;
    size_t units = static_cast<size_t>((wholeEnd - x0) >> indexShift);
    switch (bytesPerUnit) {
      case 1: {
        BYTE b;
        switch (bpp) {
          case 1: b = (colour & 1) ? 0xFF : 0x00; break;
          case 2: b = static_cast<BYTE>((colour & 3) * 0x55); break;
          case 4: b = static_cast<BYTE>((colour & 15) * 0x11); break;
          default: b = static_cast<BYTE>(colour); break;
        }
        std::memset(p, b, units);
        break;
      }
      case 2: {
        DWORD word = ColorToPixelFunc(colour) & 0xFFFF;
        BYTE pattern[2] = {static_cast<BYTE>(word), static_cast<BYTE>(word >> 8)};
        RepeatPattern(p, units, pattern, 2);
        break;
      }
      case 3: {
        BYTE pattern[3];
        if (bpp == 12) {
          BYTE blue = colour & 0xF0, green = (colour >> 8) & 0xF0, red = (colour >> 16) & 0xF0;
          pattern[0] = static_cast<BYTE>(blue | green >> 4);
          pattern[1] = static_cast<BYTE>(red | blue >> 4);
          pattern[2] = static_cast<BYTE>(green | red >> 4);
        } else {
          pattern[0] = static_cast<BYTE>(colour);
          pattern[1] = static_cast<BYTE>(colour >> 8);
          pattern[2] = static_cast<BYTE>(colour >> 16);
        }
        RepeatPattern(p, units, pattern, 3);
        break;
      }
      case 4: {
        if (StoreLongRun32(p, units, colour)) break;
        BYTE pattern[4];
        std::memcpy(pattern, &colour, 4);
        RepeatPattern(p, units, pattern, 4);
        break;
      }
      default:
        break;
    }
    x0 = wholeEnd;
  }
  // Trailing pixels after the last whole unit.
  while (x0 < x1) PixelSetFunc(row, x0++, colour);
}

bool CGraphicsImage::FillRect(int x, int y, int w, int h, DWORD colour) {
  int x0, x1, y0, y1;
  if (!HasPixels() || !ClipSpan(x, w, width, x0, x1) || !ClipSpan(y, h, height, y0, y1))
    return false;
  // Whole rows without padding lie back to back: one span covers them all.
  if (x0 == 0 && x1 == width && !pixelInByteMask &&
      stride == int64_t{width} * bytesPerUnit && y1 - y0 <= INT32_MAX / width) {
    FillRowSpan(Row(y1 - 1), 0, width * (y1 - y0), colour);
    return true;
  }
  for (int row = y0; row < y1; ++row) FillRowSpan(Row(row), x0, x1, colour);
  return true;
}
