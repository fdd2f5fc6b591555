#include <cstring>

#include "graphics/image.h"

namespace {

// The sixteen colours that open the 4- and 8-bit default palettes, 0x00RRGGBB.
constexpr DWORD kBaseColours[16] = {
    0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000, 0xC0C0C0,
    0x808080, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF,
};

constexpr DWORD kTwoBitColours[4] = {0x000000, 0x008000, 0x800000, 0xFFFFFF};

constexpr DWORD Rgb(DWORD red, DWORD green, DWORD blue) { return red << 16 | green << 8 | blue; }

}  // namespace

void CGraphicsImage::SetDefaultPalette() {
  switch (bpp) {
    case 1:
      SetPaletteEntry(0, 0x000000);
      SetPaletteEntry(1, 0xFFFFFF);
      return;
    case 2:
      for (int i = 0; i < 4; ++i) SetPaletteEntry(i, kTwoBitColours[i]);
      return;
    case 4:
    case 8:
      for (int i = 0; i < 16; ++i) SetPaletteEntry(i, kBaseColours[i]);
      break;
    default:
      return;
  }
  if (bpp != 8) return;
  for (DWORD i = 16; i < 32; ++i) {
    DWORD level = (i - 16) * 16;
    SetPaletteEntry(static_cast<int>(i), Rgb(level, level, level));
  }
  // The cube is indexed by i itself, not i - 32: all 216 colours are present,
  // in rotated order, and files written with this palette depend on it.
  for (DWORD i = 32; i < 248; ++i)
    SetPaletteEntry(static_cast<int>(i),
                    Rgb(20 + 43 * ((i / 36) % 6), 20 + 43 * ((i / 6) % 6), 20 + 43 * (i % 6)));
  for (DWORD i = 248; i < 256; ++i)
    SetPaletteEntry(static_cast<int>(i), Rgb(224, 16 + 32 * ((i / 4) % 8), 32 + 64 * (i % 4)));
}

void CGraphicsImage::SetPaletteEntry(int index, DWORD colour) {
  std::memcpy(&palette[index & 255], &colour, 4);
}

void CGraphicsImage::SetPaletteEntryRGB(int index, BYTE red, BYTE green, BYTE blue) {
  RGBQUAD& e = palette[index & 255];
  e.rgbRed = red;
  e.rgbGreen = green;
  e.rgbBlue = blue;
}

void CGraphicsImage::SetPaletteEntryRGBA(int index, BYTE red, BYTE green, BYTE blue, BYTE alpha) {
  SetPaletteEntryRGB(index, red, green, blue);
  palette[index & 255].rgbReserved = alpha;
}

DWORD CGraphicsImage::GetPaletteEntry(int index, BYTE* red, BYTE* green, BYTE* blue) const {
  const RGBQUAD& e = palette[index & 255];
  *red = e.rgbRed;
  *green = e.rgbGreen;
  *blue = e.rgbBlue;
  DWORD colour;
  std::memcpy(&colour, &e, 4);
  return colour;
}

DWORD CGraphicsImage::GetPaletteEntryRGBA(int index, BYTE* red, BYTE* green, BYTE* blue,
                                          BYTE* alpha) const {
  *alpha = palette[index & 255].rgbReserved;
  return GetPaletteEntry(index, red, green, blue);
}

bool CGraphicsImage::CompactPalette() {
  if (bpp != 8) return false;
  BYTE map[256];
  bool changed = false;
  // Duplicates: each entry goes to the first earlier entry with the same bytes.
  for (int i = 0; i < 256; ++i) {
    map[i] = static_cast<BYTE>(i);
    for (int j = 0; j < i; ++j) {
      if (std::memcmp(&palette[i], &palette[j], 4) == 0) {
        map[i] = static_cast<BYTE>(j);
        changed = true;
        break;
      }
    }
  }
  // Usage, zeroing the row padding on the way.
  bool used[256] = {};
  for (int y = 0; y < height; ++y) {
    BYTE* row = Row(y);
    for (int x = 0; x < width; ++x) used[map[row[x]]] = true;
    std::memset(row + width, 0, static_cast<size_t>(stride - width));
  }
  // Packing: every gap is filled from the highest used index above it.
  BYTE move[256];
  for (int i = 0; i < 256; ++i) move[i] = static_cast<BYTE>(i);
  int low = 0, high = 255;
  for (;;) {
    while (low < 256 && used[low]) ++low;
    while (high >= 0 && !used[high]) --high;
    if (high <= low) break;
    palette[low] = palette[high];
    used[low] = true;
    used[high] = false;
    move[high] = static_cast<BYTE>(low);
    changed = true;
  }
  if (!changed) return true;
  for (int i = 0; i < 256; ++i) map[i] = move[map[i]];
  for (int y = 0; y < height; ++y) {
    BYTE* row = Row(y);
    for (int x = 0; x < width; ++x) row[x] = map[row[x]];
  }
  return true;
}
