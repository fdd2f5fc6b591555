#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "graphics/image.h"
#include "test_images.h"

// Long spans and whole padding-free images take the bulk paths (one span
// over rows lying back to back, string stores for long 32-bit runs); they
// must still write exactly what per-pixel stores write, and nothing else.
TEST(FillRect, LongSpansAndWholeImagesMatchPixelByPixelStores) {
  std::mt19937 rng(31);
  struct Size { int w, h; };
  for (int bpp : kAllFormats) {
    for (Size size : {Size{1100, 3}, Size{1024, 4}, Size{2048, 2}, Size{1501, 3}, Size{8, 300}}) {
      for (int trial = 0; trial < 6; ++trial) {
        CGraphicsImage a, b;
        ASSERT_TRUE(a.Create(bpp, size.w, size.h, IMAGE_NO_FILL, nullptr));
        Randomise(a, rng);
        ASSERT_TRUE(b.Copy(a));
        int x = 0, y = 0, w = size.w, h = size.h;
        if (trial >= 2) {
          x = -static_cast<int>(rng() % 11);
          y = -static_cast<int>(rng() % 2);
          w = std::max(11, size.w + 10 - static_cast<int>(rng() % 20));
          h = static_cast<int>(rng() % 4) + 2;
        }
        if (trial == 1) x = -5;  // whole rows from a start left of the image
        DWORD colour = static_cast<DWORD>(rng());
        ASSERT_TRUE(a.FillRect(x, y, w, h, colour));
        for (int py = std::max(y, 0); py < std::min(y + h, size.h); ++py)
          for (int px = std::max(x, 0); px < std::min(x + w, size.w); ++px) b.PixelSetFunc(b.Row(py), px, colour);
        ASSERT_EQ(PixelBytes(a), PixelBytes(b)) << bpp << " " << size.w << "x" << size.h << " trial " << trial;
      }
    }
  }
}

// Leading pixels of a partial first byte stop at the rectangle's right end.
TEST(FillRect, ShortSpansInsideOneByteStopAtTheirEnd) {
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(1, 16, 1, 0, nullptr));
  EXPECT_TRUE(im.FillRect(3, 0, 2, 1, 1));
  EXPECT_EQ(PixelBytes(im), (std::vector<BYTE>{0x18, 0x00, 0x00, 0x00}));
  ASSERT_TRUE(im.Create(2, 16, 1, 0, nullptr));
  EXPECT_TRUE(im.FillRect(1, 0, 2, 1, 3));
  EXPECT_EQ(PixelBytes(im), (std::vector<BYTE>{0x3C, 0x00, 0x00, 0x00}));
  ASSERT_TRUE(im.Create(12, 5, 1, 0, nullptr));
  EXPECT_TRUE(im.FillRect(1, 0, 1, 1, 0xFFFFFF));
  // Pixel 1 only: the low nibble of byte 1 and all of byte 2.
  EXPECT_EQ(PixelBytes(im), (std::vector<BYTE>{0x00, 0x0F, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00}));
}
