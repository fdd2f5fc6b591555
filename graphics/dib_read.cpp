#include "graphics/dib_read.h"

#include <cstring>

bool KnownDibHeaderSize(DWORD size) {
  return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

int ImageBppOfDib(WORD bitCount, DWORD compression, const DWORD masks[3]) {
  auto masksAre = [masks](DWORD r, DWORD g, DWORD b) {
    return masks[0] == r && masks[1] == g && masks[2] == b;
  };
  if (compression == BI_RGB) {
    switch (bitCount) {
      case 1:
      case 4:
      case 8:
      case 24:
      case 32:
        return bitCount;
      case 16:
        return 15;
      default:
        return 0;
    }
  }
  if (compression == BI_BITFIELDS) {
    if (bitCount == 16 && masksAre(0x7C00, 0x03E0, 0x001F)) return 15;
    if (bitCount == 16 && masksAre(0xF800, 0x07E0, 0x001F)) return 16;
    if (bitCount == 32 && masksAre(0xFF0000, 0x00FF00, 0x0000FF)) return 32;
  }
  return 0;
}

bool LocatePackedDib(const BITMAPINFOHEADER& h, PackedDibLayout* layout) {
  if (!KnownDibHeaderSize(h.biSize)) return false;
  uint64_t offset = h.biSize;
  // Masks sit inside the longer headers, or after the 40-byte one.
  layout->maskOffset = h.biSize >= 52 ? 40 : offset;
  if (h.biCompression == BI_BITFIELDS && h.biSize < 52) offset += 12;
  uint64_t colours = h.biClrUsed;
  if (colours == 0 && h.biBitCount <= 8) colours = uint64_t{1} << h.biBitCount;
  if (colours > 256) return false;
  layout->tableOffset = offset;
  layout->tableEntries = colours;
  layout->pixelOffset = offset + 4 * colours;
  return true;
}

bool BuildImageFromDib(CGraphicsImage& made, int bpp, int width, int height, const BYTE* table,
                       uint64_t entries, bool keepReserved, const BYTE* pixels) {
  const bool topDown = height < 0;
  const int rows = topDown ? -height : height;
  if (!made.Create(bpp, width, rows, IMAGE_NO_FILL, nullptr)) return false;
  for (uint64_t i = 0; i < entries && i < 256; ++i) {
    std::memcpy(&made.palette[i], table + 4 * i, 4);
    if (!keepReserved) made.palette[i].rgbReserved = 0;
  }
  if (!topDown) {
    std::memcpy(made.bottomRow, pixels, made.imageBytes);
  } else {
    // The first row given is the top one.
    for (int y = 0; y < rows; ++y)
      std::memcpy(made.Row(y), pixels + static_cast<int64_t>(y) * made.stride,
                  static_cast<size_t>(made.stride));
  }
  return true;
}
