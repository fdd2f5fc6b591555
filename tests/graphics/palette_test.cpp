#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <set>
#include <vector>

#include "graphics/colour.h"
#include "graphics/globals.h"
#include "graphics/image.h"
#include "test_images.h"

TEST(PaletteEntries, AreIndexedModulo256) {
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(8, 1, 1, 0, nullptr));
  im.SetPaletteEntry(260, 0xAA112233);
  BYTE r, g, b, a;
  EXPECT_EQ(im.GetPaletteEntry(4, &r, &g, &b), 0xAA112233u);
  EXPECT_EQ(r, 0x11);
  EXPECT_EQ(g, 0x22);
  EXPECT_EQ(b, 0x33);
  im.SetPaletteEntryRGB(-252, 1, 2, 3);  // -252 & 255 = 4: reserved byte kept
  EXPECT_EQ(im.GetPaletteEntryRGBA(4, &r, &g, &b, &a), 0xAA010203u);
  EXPECT_EQ(a, 0xAA);
  im.SetPaletteEntryRGBA(511, 4, 5, 6, 7);
  EXPECT_EQ(im.GetPaletteEntry(255, &r, &g, &b), 0x07040506u);
  EXPECT_EQ(im.palette[255].rgbRed, 4);
  EXPECT_EQ(im.palette[255].rgbBlue, 6);
}

TEST(CompactPalette, MovesTheUsedEntriesDown) {
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(8, 3, 2, 5, nullptr));
  im.PixelSetFunc(im.Row(1), 1, 200);
  im.SetPaletteEntry(5, 0x00050505);
  im.SetPaletteEntry(200, 0x00C8C8C8);
  ASSERT_TRUE(im.CompactPalette());
  EXPECT_EQ(im.PixelGetFunc(im.Row(0), 0), 1u);
  EXPECT_EQ(im.PixelGetFunc(im.Row(1), 1), 0u);
  BYTE r, g, b;
  EXPECT_EQ(im.GetPaletteEntry(0, &r, &g, &b), 0x00C8C8C8u);
  EXPECT_EQ(im.GetPaletteEntry(1, &r, &g, &b), 0x00050505u);
  EXPECT_EQ(im.Header().biClrUsed, 256u);
  CGraphicsImage other;
  ASSERT_TRUE(other.Create(4, 3, 2, 5, nullptr));
  EXPECT_FALSE(other.CompactPalette());
}

TEST(CompactPalette, KeepsColoursMergesDuplicatesAndZeroesPadding) {
  std::mt19937 rng(3);
  for (int trial = 0; trial < 40; ++trial) {
    const int width = 1 + static_cast<int>(rng() % 21), height = 1 + static_cast<int>(rng() % 5);
    CGraphicsImage im;
    ASSERT_TRUE(im.Create(8, width, height, IMAGE_NO_FILL, nullptr));
    Randomise(im, rng);
    // Few distinct colours, so duplicates are common.
    for (int i = 0; i < 256; ++i) im.SetPaletteEntry(i, static_cast<uint32_t>(rng() % 6) * 0x01020304u);
    for (uint64_t i = 0; i < im.imageBytes; ++i) im.bottomRow[i] = static_cast<BYTE>(rng() % (trial < 20 ? 256 : 12) * (trial % 3 + 1));
    std::vector<std::vector<uint32_t>> before;
    for (int y = 0; y < height; ++y) {
      const uint32_t* row = im.RowTo32Func(im.Row(y), &im);
      before.emplace_back(row, row + width);
    }
    ASSERT_TRUE(im.CompactPalette());
    std::set<int> used;
    std::set<uint32_t> usedColours;
    for (int y = 0; y < height; ++y) {
      const uint32_t* row = im.RowTo32Func(im.Row(y), &im);
      ASSERT_EQ(std::vector<uint32_t>(row, row + width), before[y]) << trial;
      for (int x = 0; x < width; ++x) used.insert(static_cast<int>(im.PixelGetFunc(im.Row(y), x)));
      for (int64_t i = width; i < im.stride; ++i) ASSERT_EQ(im.Row(y)[i], 0) << trial;
    }
    // Dense from 0, one index per colour.
    EXPECT_EQ(*used.rbegin(), static_cast<int>(used.size()) - 1) << trial;
    for (int i : used) {
      uint32_t c;
      std::memcpy(&c, &im.palette[i], 4);
      EXPECT_TRUE(usedColours.insert(c).second) << "colour used twice, trial " << trial;
    }
  }
}

TEST(ColorDistance, SumsAndSquaresChannelDifferences) {
  EXPECT_EQ(ColorDistance(0x000000, 0xFFFFFF), 765);
  EXPECT_EQ(ColorDistanceSquared(0x000000, 0xFFFFFF), 195075);
  EXPECT_EQ(ColorDistance(0xFF102030, 0x00302010), 0x20 + 0 + 0x20);
  EXPECT_EQ(ColorDistanceSquared(0x00102030, 0x00302010), 2 * 32 * 32);
  EXPECT_EQ(ColorDistance(0x123456, 0x123456), 0);
}

TEST(AtanFixed, TableIsTheFlooredArcTangent) {
  for (int i = 0; i < 130; ++i) {
    long double v = std::atan(static_cast<long double>(i) / 128) * 0x40000 / (2 * 3.14159265358979323846264338327950288L);
    int want = static_cast<int>(std::floor(v + 1e-9L));
    EXPECT_EQ(AtanFixedTable[i], want) << i;
  }
  EXPECT_EQ(AtanFixedTable[128], 32768);
  EXPECT_EQ(AtanFixedTable[129], 32930);
}

TEST(AtanFixed, GivesTheAxesAndDiagonals) {
  struct Case {
    int y, x, angle;
  };
  const Case cases[] = {
      {0, 1, 0},          {1, 0, 0x8000},      {0, -1, 0x10000},   {-1, 0, 0x18000},
      {1, 1, 0x4000},     {0, 0, 0},           {1, -1, 0xC000},    {-1, -1, 0x14000},
      {-1, 1, 0x1C000},   {INT32_MIN, 0, 0x18000}, {0, INT32_MIN, 0x10000},
      {INT32_MIN, INT32_MIN, 0x14000}, {INT32_MAX, INT32_MAX, 0x4000},
  };
  for (const Case& c : cases) EXPECT_EQ(AtanFixed(c.y, c.x), c.angle) << c.y << ", " << c.x;
}

TEST(AtanFixed, StaysWithinSixUnitsOfAtan2OverTheWholeRange) {
  std::mt19937_64 rng(11);
  auto check = [](int y, int x) {
    if (x == 0 && y == 0) return;
    const long double turn = 2 * 3.14159265358979323846264338327950288L;
    long double want = std::atan2(static_cast<long double>(y), static_cast<long double>(x)) / turn * 0x20000;
    if (want < 0) want += 0x20000;
    long double diff = std::fabs(want - AtanFixed(y, x));
    if (diff > 0x10000) diff = 0x20000 - diff;  // across the wrap at 0
    ASSERT_LE(diff, 6.0L) << y << ", " << x << ": " << AtanFixed(y, x) << " vs " << static_cast<double>(want);
  };
  const int edges[] = {INT32_MIN, INT32_MIN + 1, -0x8000001, -0x8000000, -0x800001, -0x800000, -0x80001,
                       -0x80000, -0x8001, -0x8000, -129, -1, 0, 1, 2, 127, 0x7FFF, 0x8000, 0x7FFFF,
                       0x80000, 0x7FFFFF, 0x800000, 0x7FFFFFF, 0x8000000, INT32_MAX - 1, INT32_MAX};
  for (int y : edges)
    for (int x : edges) check(y, x);
  for (int i = 0; i < 200000; ++i) {
    int shiftY = static_cast<int>(rng() % 32), shiftX = static_cast<int>(rng() % 32);
    int y = static_cast<int>(static_cast<int64_t>(rng()) >> (32 + shiftY));
    int x = static_cast<int>(static_cast<int64_t>(rng()) >> (32 + shiftX));
    check(y, x);
  }
}

TEST(GraphicsGlobals, ErrorTextBufferAndSaveOption) {
  EXPECT_EQ(GetGraphicsErrorText(), GraphicsErrorText);
  EXPECT_EQ(sizeof GraphicsErrorText, 513u);
  EXPECT_EQ(GraphicsSaveOption, -2);
  EXPECT_EQ(SetGraphicsSaveOption(5), 5);
  EXPECT_EQ(GraphicsSaveOption, 5);
  SetGraphicsSaveOption(-2);
}
