// Rows of 1-bit images for the formats whose bits have a fixed colour (PBM:
// a set bit is black; PostScript's grey image: a set bit is white). The
// stored bits are indices into a two-entry palette, so they are flipped when
// that makes the darker entry come out dark; padding bits are cleared.
#pragma once

#include <cstring>

#include "graphics/image.h"

// What each stored byte is XORed with: 0xFF when the set bits must be
// flipped, else 0 (also when both entries are equally bright).
inline BYTE MonoFlip(const CGraphicsImage& image, bool setBitIsBlack) {
  auto brightness = [&](int index) {
    const RGBQUAD& e = image.palette[index];
    return 76 * e.rgbRed + 152 * e.rgbGreen + 29 * e.rgbBlue;
  };
  const int zero = brightness(0), one = brightness(1);
  const bool flip = setBitIsBlack ? zero < one : zero > one;
  return flip ? 0xFF : 0;
}

// Row y of a 1-bit image as (width + 7) / 8 bytes into `out`.
inline void MonoRow(const CGraphicsImage& image, int y, BYTE flip, BYTE* out) {
  const int bytes = (image.width + 7) / 8;
  std::memcpy(out, image.Row(y), size_t(bytes));
  for (int i = 0; i < bytes; ++i) out[i] ^= flip;
  const int used = image.width % 8;
  if (used != 0) out[bytes - 1] &= BYTE(0xFF << (8 - used));
}
