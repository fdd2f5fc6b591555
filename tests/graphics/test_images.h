// Shared helpers of the graphics tests.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "graphics/image.h"

inline constexpr int kAllFormats[] = {1, 2, 4, 8, 12, 15, 16, 24, 32};

// Bytes per row from the packed-DIB rule (rows of whole 32-bit words); 15 bpp
// is stored in 16-bit words, 12 bpp as pixel pairs in three bytes.
inline int64_t DibStride(int bpp, int width) {
  if (bpp == 12) return ((3 * int64_t{width} + 1) / 2 + 3) / 4 * 4;
  int bits = bpp == 15 ? 16 : bpp;
  return (int64_t{bits} * width + 31) / 32 * 4;
}

// What PixelGetFunc gives back for a stored colour (palette formats: index).
inline uint32_t Significant(int bpp, uint32_t colour) {
  switch (bpp) {
    case 1: return colour & 1;
    case 2: return colour & 3;
    case 4: return colour & 15;
    case 8: return colour & 255;
    case 12: return colour & 0xF0F0F0;
    case 15: return colour & 0x80F8F8F8;
    case 16: return colour & 0xF8FCF8;
    case 24: return colour & 0xFFFFFF;
    default: return colour;
  }
}

// Fills every byte of the pixel memory (padding included) and, for palette
// formats, every palette entry with random bytes.
inline void Randomise(CGraphicsImage& image, std::mt19937& rng) {
  for (uint64_t i = 0; i < image.imageBytes; ++i) image.bottomRow[i] = static_cast<BYTE>(rng());
  if (image.bpp <= 8)
    for (int i = 0; i < 256; ++i) image.SetPaletteEntry(i, static_cast<uint32_t>(rng()));
}

inline std::vector<BYTE> PixelBytes(const CGraphicsImage& image) {
  return std::vector<BYTE>(image.bottomRow, image.bottomRow + image.imageBytes);
}
