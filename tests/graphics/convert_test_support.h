// Pixel readers shared by the scaling, blitting and conversion tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "graphics/image.h"
#include "test_images.h"

inline uint32_t Get(const CGraphicsImage& im, int x, int y) { return im.PixelGetFunc(im.Row(y), x); }

// The colour of pixel (x, y) by the documented mapping: palette formats
// through the palette (reserved byte on top), others as PixelGetFunc reads.
inline uint32_t Colour(const CGraphicsImage& im, int x, int y) {
  uint32_t v = Get(im, x, y);
  if (im.bpp > 8) return v;
  const RGBQUAD& q = im.palette[v];
  return uint32_t{q.rgbReserved} << 24 | uint32_t{q.rgbRed} << 16 | uint32_t{q.rgbGreen} << 8 | q.rgbBlue;
}

inline void MakeRandom(CGraphicsImage& im, int bpp, int w, int h, std::mt19937& rng) {
  ASSERT_TRUE(im.Create(bpp, w, h, 0, nullptr));
  Randomise(im, rng);
}
