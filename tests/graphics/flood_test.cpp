#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <vector>

#include "graphics/image.h"
#include "test_images.h"

namespace {

DWORD Get(const CGraphicsImage& im, int x, int y) { return im.PixelGetFunc(im.Row(y), x); }

// Plain 4-connected breadth-first fill of the pixels equal to the seed's.
void BfsFill(CGraphicsImage& im, int sx, int sy, DWORD colour) {
  DWORD old = Get(im, sx, sy);
  std::vector<char> seen(static_cast<size_t>(im.width) * im.height, 0);
  std::deque<std::pair<int, int>> queue{{sx, sy}};
  seen[static_cast<size_t>(sy) * im.width + sx] = 1;
  std::vector<std::pair<int, int>> region;
  while (!queue.empty()) {
    auto [x, y] = queue.front();
    queue.pop_front();
    region.push_back({x, y});
    const int nx[4] = {x + 1, x - 1, x, x}, ny[4] = {y, y, y + 1, y - 1};
    for (int k = 0; k < 4; ++k) {
      if (nx[k] < 0 || ny[k] < 0 || nx[k] >= im.width || ny[k] >= im.height) continue;
      size_t i = static_cast<size_t>(ny[k]) * im.width + nx[k];
      if (seen[i] || Get(im, nx[k], ny[k]) != old) continue;
      seen[i] = 1;
      queue.push_back({nx[k], ny[k]});
    }
  }
  for (auto [x, y] : region) im.PixelSetFunc(im.Row(y), x, colour);
}

// Two-valued maze: walls of value `wall`, the rest `open`.
void Maze(CGraphicsImage& im, std::mt19937& rng, DWORD open, DWORD wall, int density) {
  for (int y = 0; y < im.height; ++y)
    for (int x = 0; x < im.width; ++x)
      im.PixelSetFunc(im.Row(y), x, static_cast<int>(rng() % 100) < density ? wall : open);
}

DWORD Colour(int bpp, int which) {
  // Palette formats: indices; true colour: colours that round-trip.
  static const DWORD kTrue[3] = {0x00F0F0F0, 0x00000000, 0x00800080};
  if (bpp <= 8) return static_cast<DWORD>(which) & ((1u << bpp) - 1);
  return kTrue[which];
}

}  // namespace

TEST(FloodFill, FillsTheSameRegionAsABreadthFirstSearch) {
  std::mt19937 rng(21);
  for (int bpp : kAllFormats) {
    for (int trial = 0; trial < 60; ++trial) {
      int w = 1 + static_cast<int>(rng() % 60), h = 1 + static_cast<int>(rng() % 40);
      CGraphicsImage a, b;
      ASSERT_TRUE(a.Create(bpp, w, h, IMAGE_NO_FILL, nullptr));
      Randomise(a, rng);
      Maze(a, rng, Colour(bpp, 0), Colour(bpp, 1), static_cast<int>(rng() % 60));
      ASSERT_TRUE(b.Copy(a));
      int x = static_cast<int>(rng() % w), y = static_cast<int>(rng() % h);
      DWORD fill = Colour(bpp, 2);
      ASSERT_TRUE(a.FloodFill(x, y, fill));
      if (Get(b, x, y) != Significant(bpp, fill)) BfsFill(b, x, y, fill);
      ASSERT_EQ(PixelBytes(a), PixelBytes(b)) << bpp << " " << w << "x" << h << " seed " << x << "," << y;
    }
  }
}

TEST(FloodFill, ReachesRegionsJoinedOnlyAlongTheFirstAndLastRows) {
  // U shapes: two columns joined only along row 0 (or the last row).
  for (bool top : {true, false}) {
    for (int seedRow : {0, 1, 5, 8, 9}) {
      CGraphicsImage a, b;
      ASSERT_TRUE(a.Create(8, 7, 10, 1, nullptr));  // all wall
      for (int y = 0; y < 10; ++y) {
        a.PixelSetFunc(a.Row(y), 1, 0);
        a.PixelSetFunc(a.Row(y), 5, 0);
      }
      for (int x = 1; x <= 5; ++x) a.PixelSetFunc(a.Row(top ? 0 : 9), x, 0);
      ASSERT_TRUE(b.Copy(a));
      ASSERT_TRUE(a.FloodFill(1, seedRow, 7));
      BfsFill(b, 1, seedRow, 7);
      EXPECT_EQ(PixelBytes(a), PixelBytes(b)) << top << " " << seedRow;
      EXPECT_EQ(Get(a, 5, top ? 9 : 0), 7u);
    }
  }
  // Seeded on the second-to-last row of a uniform image: everything.
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(32, 9, 6, 0x123456, nullptr));
  ASSERT_TRUE(im.FloodFill(4, 4, 0xABCDEF));
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 9; ++x) ASSERT_EQ(Get(im, x, y), 0xABCDEFu);
}

TEST(FloodFill, ColoursTheFormatCannotHoldExactlyStillFill) {
  const DWORD colours[] = {0x00FF0000, 0x00123456, 0x80FFFFFF, 0x00070707, 0xFF0000FF};
  for (int bpp : {12, 15, 16}) {
    for (DWORD c : colours) {
      CGraphicsImage a, b;
      ASSERT_TRUE(a.Create(bpp, 12, 9, 0, nullptr));
      a.FillRect(4, 0, 1, 9, 0xFFFFFF);
      ASSERT_TRUE(b.Copy(a));
      ASSERT_TRUE(a.FloodFill(0, 0, c));
      if (Significant(bpp, c) != 0) b.FillRect(0, 0, 4, 9, c);
      EXPECT_EQ(PixelBytes(a), PixelBytes(b)) << bpp << " " << std::hex << c;
    }
  }
}

TEST(FloodFill, RefusesSeedsOutsideAndSkipsFilledSeeds) {
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(8, 5, 5, 3, nullptr));
  EXPECT_FALSE(im.FloodFill(-1, 0, 1));
  EXPECT_FALSE(im.FloodFill(5, 0, 1));
  EXPECT_FALSE(im.FloodFill(0, 5, 1));
  std::vector<BYTE> before = PixelBytes(im);
  EXPECT_TRUE(im.FloodFill(2, 2, 0x103));  // the low byte is already there
  EXPECT_EQ(PixelBytes(im), before);
  CGraphicsImage empty;
  EXPECT_FALSE(empty.FloodFill(0, 0, 1));
}

namespace {
DWORD g_setCount = 0;
void InertSetter(CGraphicsImage*, BYTE*, int, int, DWORD) { ++g_setCount; }
DWORD ZeroGetter(CGraphicsImage*, BYTE*, int, int) { return 0; }
void MarkSetter(CGraphicsImage* im, BYTE* row, int x, int, DWORD v) { im->PixelSetFunc(row, x, v); }
DWORD PixelGetter(CGraphicsImage* im, BYTE* row, int x, int) { return im->PixelGetFunc(row, x); }
}  // namespace

TEST(FloodFillCustom, WalksThroughTheCallersFunctions) {
  CGraphicsImage a, b;
  ASSERT_TRUE(a.Create(8, 20, 20, 0, nullptr));
  std::mt19937 rng(22);
  Maze(a, rng, 0, 9, 35);
  a.PixelSetFunc(a.Row(10), 10, 0);
  ASSERT_TRUE(b.Copy(a));
  ASSERT_TRUE(a.FloodFillCustom(10, 10, 5, MarkSetter, PixelGetter, FLOOD_OLD_FROM_SEED));
  BfsFill(b, 10, 10, 5);
  EXPECT_EQ(PixelBytes(a), PixelBytes(b));
  // An explicit old value: the fill runs over pixels equal to it.
  ASSERT_TRUE(a.FloodFillCustom(10, 10, 6, MarkSetter, PixelGetter, 5));
  BfsFill(b, 10, 10, 6);
  EXPECT_EQ(PixelBytes(a), PixelBytes(b));
}

TEST(FloodFillCustom, ASetterThatChangesNothingEndsWithFalse) {
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(32, 30, 20, 0, nullptr));
  g_setCount = 0;
  EXPECT_FALSE(im.FloodFillCustom(3, 3, 1, InertSetter, ZeroGetter, FLOOD_OLD_FROM_SEED));
  EXPECT_GT(g_setCount, 600u);
  EXPECT_LT(g_setCount, 600u + 2 * 30u);
}
