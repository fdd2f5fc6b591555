#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "graphics/image.h"

namespace {

DWORD Pixel(const CGraphicsImage& im, int x, int y) {
  return im.PixelGetFunc(im.Row(y), x);
}

DWORD EntryColour(const CGraphicsImage& im, DWORD i) {
  const RGBQUAD& q = im.palette[i];
  return DWORD{q.rgbRed} << 16 | DWORD{q.rgbGreen} << 8 | q.rgbBlue;
}

// The smoothed colour of (x, y) computed straight from the kernel's
// definition: weight 1 at the corners, 2 at the edges, n - 12 in the centre,
// neighbours outside the image taking the centre's colour, each channel's
// sum divided by n.
DWORD Reference(const std::vector<DWORD>& colours, int w, int h, int x, int y, int strength) {
  const int n = strength >= 11 ? strength + 1 : 12;
  long sums[3] = {0, 0, 0};
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx) {
      const int weight = dx == 0 && dy == 0 ? n - 12 : dx == 0 || dy == 0 ? 2 : 1;
      const int sx = x + dx, sy = y + dy;
      const bool inside = sx >= 0 && sx < w && sy >= 0 && sy < h;
      const DWORD c = colours[size_t(inside ? sy * w + sx : y * w + x)];
      for (int k = 0; k < 3; ++k) sums[k] += weight * long((c >> (8 * k)) & 255);
    }
  return DWORD(sums[2] / n) << 16 | DWORD(sums[1] / n) << 8 | DWORD(sums[0] / n);
}

// The colour a result pixel shows: palette formats by the entry nearest in
// |red| + |green| + |blue| (first of equals), the others the bits they keep.
DWORD Shown(const CGraphicsImage& out, DWORD colour) {
  switch (out.bpp) {
    case 1:
    case 2:
    case 4:
    case 8: {
      DWORD best = 0;
      int bestDistance = INT32_MAX;
      for (DWORD i = 0; i < out.paletteSize; ++i) {
        const DWORD e = EntryColour(out, i);
        int d = 0;
        for (int k = 0; k < 3; ++k)
          d += std::abs(int((e >> (8 * k)) & 255) - int((colour >> (8 * k)) & 255));
        if (d < bestDistance) bestDistance = d, best = i;
      }
      return best;
    }
    case 12:
      return colour & 0xF0F0F0;
    case 15:
      return colour & 0xF8F8F8;
    case 16:
      return colour & 0xF8FCF8;
    default:
      return colour;
  }
}

// A source of `bpp` bits with random content, and the colour of each pixel.
std::vector<DWORD> RandomSource(CGraphicsImage& src, int bpp, int w, int h, std::mt19937& rng) {
  EXPECT_TRUE(src.Create(bpp, w, h, 0, nullptr));
  std::vector<DWORD> colours;
  if (bpp <= 8)
    for (DWORD i = 0; i < src.paletteSize; ++i) src.SetPaletteEntry(int(i), rng() & 0xFFFFFF);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const DWORD v = static_cast<DWORD>(rng());
      src.PixelSetFunc(src.Row(y), x, v);
      const DWORD stored = Pixel(src, x, y);
      colours.push_back(bpp <= 8 ? EntryColour(src, stored) : stored & 0xFFFFFF);
    }
  return colours;
}

}  // namespace

TEST(CreateSmoothed, MatchesTheKernelForEveryStrengthSizeAndFormat) {
  std::mt19937 rng(2024);
  const int strengths[] = {0, 10, 11, 12, 15, 31, 63, 100, 254, 255};
  const std::pair<int, int> sizes[] = {{7, 4}, {1, 5}, {5, 1}, {2, 2}};
  const int sourceFormats[] = {1, 4, 8, 12, 16, 24, 32};
  const int resultFormats[] = {4, 8, 12, 15, 16, 24, 32};
  for (int srcBpp : sourceFormats)
    for (auto [w, h] : sizes) {
      CGraphicsImage src;
      const std::vector<DWORD> colours = RandomSource(src, srcBpp, w, h, rng);
      for (int strength : strengths)
        for (int bpp : resultFormats) {
          SCOPED_TRACE(::testing::Message() << srcBpp << " -> " << bpp << " bits, " << w << " x "
                                            << h << ", strength " << strength);
          CGraphicsImage out;
          ASSERT_TRUE(out.CreateSmoothed(src, static_cast<BYTE>(strength), bpp));
          ASSERT_EQ(out.bpp, bpp);
          ASSERT_EQ(out.width, w);
          ASSERT_EQ(out.height, h);
          for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
              ASSERT_EQ(Pixel(out, x, y), Shown(out, Reference(colours, w, h, x, y, strength)))
                  << x << "," << y;
        }
    }
}

TEST(CreateSmoothed, StrengthThirtyOneWeighsCornersOneEdgesTwoCentreTwenty) {
  CGraphicsImage src;
  ASSERT_TRUE(src.Create(24, 3, 3, 0, nullptr));
  src.PixelSetFunc(src.Row(1), 1, 0xFF0000);
  CGraphicsImage out;
  ASSERT_TRUE(out.CreateSmoothed(src, 31, 32));
  // n = 32: centre 20 x 255 / 32 = 159, edges 2 x 255 / 32 = 15, corners 255 / 32 = 7.
  const DWORD expected[3][3] = {{7, 15, 7}, {15, 159, 15}, {7, 15, 7}};
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(Pixel(out, x, y), expected[y][x] << 16) << x << "," << y;
}

TEST(CreateSmoothed, WeakStrengthsLeaveTheCentreOutAndOnePixelStaysAsItIs) {
  CGraphicsImage src;
  ASSERT_TRUE(src.Create(32, 3, 1, 0, nullptr));
  src.PixelSetFunc(src.Row(0), 1, 0xC0FFFFFF);
  for (int strength : {0, 5, 11}) {
    CGraphicsImage out;
    ASSERT_TRUE(out.CreateSmoothed(src, static_cast<BYTE>(strength), 32));
    // n = 12, centre weight 0: the middle pixel sees its two dark neighbours
    // (2 each) and, above and below, itself (2 + 2 + 1 x 4 = 8 of 12).
    EXPECT_EQ(Pixel(out, 1, 0), 0x00AAAAAAu) << strength;
  }
  CGraphicsImage one;
  ASSERT_TRUE(one.Create(32, 1, 1, 0x7F123456, nullptr));
  for (int strength : {0, 31, 255}) {
    CGraphicsImage out;
    ASSERT_TRUE(out.CreateSmoothed(one, static_cast<BYTE>(strength), 24));
    EXPECT_EQ(Pixel(out, 0, 0), 0x123456u);
  }
}

TEST(CreateSmoothed, SmoothsItselfAndFailsCleanly) {
  std::mt19937 rng(5);
  CGraphicsImage im;
  const std::vector<DWORD> colours = RandomSource(im, 24, 6, 5, rng);
  ASSERT_TRUE(im.CreateSmoothed(im, 15, 24));
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) ASSERT_EQ(Pixel(im, x, y), Reference(colours, 6, 5, x, y, 15));

  CGraphicsImage empty;
  ASSERT_FALSE(im.CreateSmoothed(empty, 31, 24));
  EXPECT_FALSE(im.HasPixels());
  CGraphicsImage zeroHigh;
  ASSERT_TRUE(zeroHigh.Create(24, 4, 0, 0, nullptr));
  ASSERT_TRUE(im.Create(24, 2, 2, 0, nullptr));
  EXPECT_FALSE(im.CreateSmoothed(zeroHigh, 31, 24));
  EXPECT_FALSE(im.HasPixels());
  CGraphicsImage src;
  ASSERT_TRUE(src.Create(24, 2, 2, 0, nullptr));
  for (int bpp : {0, 3, 33}) {
    ASSERT_TRUE(im.Create(24, 2, 2, 0, nullptr));
    EXPECT_FALSE(im.CreateSmoothed(src, 31, bpp)) << bpp;
    EXPECT_FALSE(im.HasPixels());
    EXPECT_EQ(im.lastError, IMAGE_ERROR_BPP);
  }
}
