#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "graphics/image.h"
#include "test_images.h"

TEST(FillRect, NegativeExtentsReachBackFromTheCorner) {
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(8, 10, 10, 0, nullptr));
  EXPECT_TRUE(im.FillRect(5, 5, -3, 1, 9));
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x)
      EXPECT_EQ(im.PixelGetFunc(im.Row(y), x), (y == 5 && x >= 3 && x <= 5) ? 9u : 0u) << x << "," << y;
  EXPECT_TRUE(im.FillRect(9, 9, -2, -2, 4));
  EXPECT_EQ(im.PixelGetFunc(im.Row(8), 8), 4u);
  EXPECT_EQ(im.PixelGetFunc(im.Row(7), 8), 0u);
}

TEST(FillRect, OneBitRowsAreWrittenBitsThenWholeBytesThenBits) {
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(1, 32, 2, 0, nullptr));
  EXPECT_TRUE(im.FillRect(3, 0, 18, 1, 1));
  // Pixels 3..20 of the top row (second in memory): 1F FF F8 00.
  EXPECT_EQ(PixelBytes(im), (std::vector<BYTE>{0, 0, 0, 0, 0x1F, 0xFF, 0xF8, 0x00}));
  EXPECT_TRUE(im.FillRect(0, 0, 32, 2, 0xFFFFFFFF));
  EXPECT_TRUE(im.FillRect(3, 0, 18, 1, 2));  // only bit 0 of the colour counts
  EXPECT_EQ(PixelBytes(im), (std::vector<BYTE>{0xFF, 0xFF, 0xFF, 0xFF, 0xE0, 0x00, 0x07, 0xFF}));
}

TEST(FillRect, ReportsWhetherAnythingWasInside) {
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(32, 8, 8, 0, nullptr));
  struct Case {
    int x, y, w, h;
    bool inside;
  };
  const Case cases[] = {
      {0, 0, 0, 10, false},       {0, 0, 10, 0, false},        {8, 0, 1, 1, false},
      {-1, 0, 1, 1, false},       {0, 8, 1, 1, false},         {-5, -5, 6, 6, true},
      {7, 7, 100, 100, true},     {INT32_MAX, 0, INT32_MAX, 1, false},
      {INT32_MIN, 0, INT32_MIN, 1, false}, {INT32_MIN, 0, INT32_MAX, 8, false},
      {0, 0, INT32_MAX, INT32_MAX, true}, {7, 7, INT32_MIN, INT32_MIN, true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(im.FillRect(c.x, c.y, c.w, c.h, 1), c.inside) << c.x << "," << c.y << " " << c.w << "x" << c.h;
  CGraphicsImage empty;
  EXPECT_FALSE(empty.FillRect(0, 0, 1, 1, 0));
}

// The whole-unit paths must write exactly what per-pixel stores write,
// leaving everything outside the rectangle, padding included, alone.
TEST(FillRect, MatchesPixelByPixelStoresInEveryFormat) {
  std::mt19937 rng(77);
  for (int bpp : kAllFormats) {
    for (int trial = 0; trial < 60; ++trial) {
      const int width = 1 + static_cast<int>(rng() % 40), height = 1 + static_cast<int>(rng() % 4);
      CGraphicsImage im;
      ASSERT_TRUE(im.Create(bpp, width, height, IMAGE_NO_FILL, nullptr));
      Randomise(im, rng);
      CGraphicsImage want(im);
      const int x = static_cast<int>(rng() % (width + 4)) - 2, y = static_cast<int>(rng() % (height + 2)) - 1;
      const int w = static_cast<int>(rng() % (width + 3)) - 1, h = static_cast<int>(rng() % 4) - 1;
      const uint32_t colour = static_cast<uint32_t>(rng());
      int x0 = w < 0 ? x + w + 1 : x, x1 = w < 0 ? x + 1 : x + w;
      int y0 = h < 0 ? y + h + 1 : y, y1 = h < 0 ? y + 1 : y + h;
      x0 = std::max(x0, 0), y0 = std::max(y0, 0), x1 = std::min(x1, width), y1 = std::min(y1, height);
      for (int yy = y0; yy < y1; ++yy)
        for (int xx = x0; xx < x1; ++xx) want.PixelSetFunc(want.Row(yy), xx, colour);
      EXPECT_EQ(im.FillRect(x, y, w, h, colour), x0 < x1 && y0 < y1);
      ASSERT_EQ(PixelBytes(im), PixelBytes(want))
          << bpp << " bpp " << width << "x" << height << ", rect " << x << "," << y << " " << w << "x" << h;
    }
  }
}
