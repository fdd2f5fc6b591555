#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "graphics/image.h"
#include "test_images.h"

namespace {
DWORD Get(const CGraphicsImage& im, int x, int y) { return im.PixelGetFunc(im.Row(y), x); }
}  // namespace

TEST(FillRectAlpha, BlendsTheColourIntoEachChannelKeepingTheTopByte) {
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(32, 6, 4, 0xAB000000, nullptr));
  std::vector<BYTE> before = PixelBytes(im);
  EXPECT_TRUE(im.FillRectAlpha(0, 0, 6, 4, 0xFFFFFF, 0));
  EXPECT_EQ(PixelBytes(im), before);
  EXPECT_TRUE(im.FillRectAlpha(1, 1, 2, 2, 0xFFFFFF, 128));
  // (0 * 128 + 255 * 129) >> 8 = 128 per channel.
  EXPECT_EQ(Get(im, 1, 1), 0xAB808080u);
  EXPECT_EQ(Get(im, 2, 2), 0xAB808080u);
  EXPECT_EQ(Get(im, 0, 0), 0xAB000000u);
  EXPECT_EQ(Get(im, 3, 1), 0xAB000000u);
  // A negative width reaches left of x as FillRect does.
  EXPECT_TRUE(im.FillRectAlpha(5, 3, -2, -1, 0x0000FF, 64));
  EXPECT_EQ(Get(im, 4, 3), 0xAB000000u | ((255 * 65) >> 8));
  EXPECT_EQ(Get(im, 5, 3), 0xAB000000u | ((255 * 65) >> 8));
  EXPECT_EQ(Get(im, 3, 3), 0xAB000000u);
  // 255 and more: a plain fill, the top byte included.
  EXPECT_TRUE(im.FillRectAlpha(0, 0, 1, 1, 0x12345678, 255));
  EXPECT_EQ(Get(im, 0, 0), 0x12345678u);
  EXPECT_FALSE(im.FillRectAlpha(0, 0, 0, 1, 0, 100));
  EXPECT_FALSE(im.FillRectAlpha(6, 0, 3, 1, 0, 100));
  CGraphicsImage pal;
  ASSERT_TRUE(pal.Create(8, 4, 4, 0, nullptr));
  EXPECT_FALSE(pal.FillRectAlpha(0, 0, 4, 4, 1, 100));
  EXPECT_TRUE(pal.FillRectAlpha(0, 0, 4, 4, 1, 0));
}

TEST(FillRectAlpha, WorksThroughThePixelFunctionsOfTheTrueColourFormats) {
  for (int bpp : {12, 15, 16, 24}) {
    CGraphicsImage im;
    ASSERT_TRUE(im.Create(bpp, 5, 3, 0x00F0F0F0, nullptr));
    EXPECT_TRUE(im.FillRectAlpha(1, 1, 3, 1, 0x00000000, 200));
    DWORD old = Significant(bpp, 0x00F0F0F0);
    DWORD ch = ((old & 255) * 56) >> 8;  // 256 - 200 of the old, none of black
    DWORD want = Significant(bpp, ch | ch << 8 | (((old >> 16) & 255) * 56 >> 8) << 16);
    EXPECT_EQ(Get(im, 2, 1), want) << bpp;
    EXPECT_EQ(Get(im, 0, 1), old);
  }
}

TEST(FillRectShader, VisitsTheClippedRectangleRowByRow) {
  static std::vector<std::pair<int, int>> visits;
  visits.clear();
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(24, 4, 3, 0, nullptr));
  auto shader = [](CGraphicsImage* image, BYTE* row, int x, int y, DWORD arg) {
    EXPECT_EQ(row, image->Row(y));
    EXPECT_EQ(arg, 77u);
    visits.push_back({x, y});
  };
  EXPECT_TRUE(im.FillRectShader(2, -1, 5, 3, 77, shader));
  EXPECT_EQ(visits, (std::vector<std::pair<int, int>>{{2, 0}, {3, 0}, {2, 1}, {3, 1}}));
  EXPECT_FALSE(im.FillRectShader(4, 0, 2, 2, 77, shader));
}

TEST(BlendOntoColor, FlattensAlphaOntoTheBackground) {
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(32, 4, 1, 0, nullptr));
  const DWORD px[4] = {0xFF102030, 0x00102030, 0x80FF0000, 0x01000000};
  for (int x = 0; x < 4; ++x) im.PixelSetFunc(im.Row(0), x, px[x]);
  EXPECT_TRUE(im.BlendOntoColor(0, 0, 4, 1, 0xFF0000FF));
  EXPECT_EQ(Get(im, 0, 0), 0xFF102030u);
  EXPECT_EQ(Get(im, 1, 0), 0x000000FFu);
  // a = 128: red (255 * 128 * 257) >> 16 = 8388480 >> 16 = 127,
  // blue (255 * 127 * 257) >> 16 = 8322945 >> 16 = 126.
  EXPECT_EQ(Get(im, 2, 0), 0x807F007Eu);
  // a = 1: blue (255 * 254 * 257) >> 16 = 16645890 >> 16 = 253.
  EXPECT_EQ(Get(im, 3, 0), 0x010000FDu);
  CGraphicsImage rgb;
  ASSERT_TRUE(rgb.Create(24, 4, 1, 0, nullptr));
  EXPECT_FALSE(rgb.BlendOntoColor(0, 0, 4, 1, 0));
  EXPECT_FALSE(im.BlendOntoColor(4, 0, 4, 1, 0));
}

TEST(Checkers, PickTheSecondColourWhereTheBitOfColumnXorRowIsSet) {
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(32, 8, 4, 0, nullptr));
  EXPECT_TRUE(im.FillChecker(2, 0, 6, 4, 0xAAAAAA, 0x555555, 1));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x) {
      DWORD want = x < 2 ? 0 : ((((x - 2) ^ (y + 1)) >> 1) & 1) ? 0x555555 : 0xAAAAAA;
      EXPECT_EQ(Get(im, x, y), want) << x << "," << y;
    }
  // Bits outside 0..31 read as 0: all the first colour.
  for (int bit : {-1, 32, 33, 1000}) {
    EXPECT_TRUE(im.FillChecker(0, 0, 8, 4, 1, 2, bit));
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 8; ++x) EXPECT_EQ(Get(im, x, y), 1u);
  }
  // Onto a checker: transparent pixels take the checker colour.
  EXPECT_TRUE(im.FillRect(0, 0, 8, 4, 0));
  EXPECT_TRUE(im.BlendOntoChecker(0, 0, 8, 4, 0x111111, 0x222222, 0));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(Get(im, x, y), ((x ^ (y + 1)) & 1) ? 0x222222u : 0x111111u);
  EXPECT_TRUE(im.BlendOntoChecker(0, 0, 8, 4, 0x333333, 0x444444, 40));
  CGraphicsImage pal;
  ASSERT_TRUE(pal.Create(4, 8, 4, 0, nullptr));
  EXPECT_TRUE(pal.FillChecker(0, 0, 8, 4, 3, 12, 0));
  EXPECT_EQ(Get(pal, 0, 0), 12u);  // 0 ^ 1 has bit 0
  EXPECT_EQ(Get(pal, 1, 0), 3u);
  EXPECT_FALSE(pal.BlendOntoChecker(0, 0, 8, 4, 0, 1, 0));
}
