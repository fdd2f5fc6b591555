#include <algorithm>
#include <cstring>

#include "graphics/fill_clip.h"
#include "graphics/image.h"

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
        DWORD pair = word | word << 16;
        size_t i = 0;
        for (; i + 2 <= units; i += 2) std::memcpy(p + 2 * i, &pair, 4);
        if (i < units) {
          WORD last = static_cast<WORD>(word);
          std::memcpy(p + 2 * i, &last, 2);
        }
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
        for (size_t i = 0; i < units; ++i, p += 3) std::memcpy(p, pattern, 3);
        break;
      }
      case 4:
        for (size_t i = 0; i < units; ++i) std::memcpy(p + 4 * i, &colour, 4);
        break;
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
  for (int row = y0; row < y1; ++row) FillRowSpan(Row(row), x0, x1, colour);
  return true;
}
