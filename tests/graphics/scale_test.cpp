#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "graphics/image.h"
#include "convert_test_support.h"
#include "test_images.h"


TEST(Scale, SameSizeCopiesOrWidensTo32) {
  std::mt19937 rng(1);
  for (int bpp : kAllFormats) {
    CGraphicsImage src, dst, wide;
    MakeRandom(src, bpp, 10, 10, rng);
    ASSERT_TRUE(dst.Scale(src, 10, 10, 0));
    EXPECT_EQ(dst.bpp, bpp);
    EXPECT_EQ(PixelBytes(dst), PixelBytes(src)) << bpp;
    ASSERT_TRUE(wide.Scale(src, 10, 10, IMAGE_SCALE_TO_32));
    ASSERT_EQ(wide.bpp, 32);
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 10; ++x) {
        uint32_t want = Colour(src, x, y);
        if (bpp == 12) want &= 0xFFFFFF;
        EXPECT_EQ(wide.PixelGetFunc(wide.Row(y), x), want) << bpp << " " << x << "," << y;
      }
  }
}

TEST(Scale, PointSamplingPicksTheFloorOfTheScaledPosition) {
  CGraphicsImage src, dst;
  ASSERT_TRUE(src.Create(32, 4, 1, 0, nullptr));
  const uint32_t abcd[4] = {0x11000001, 0x22000002, 0x33000003, 0x44000004};
  for (int x = 0; x < 4; ++x) src.PixelSetFunc(src.Row(0), x, abcd[x]);
  ASSERT_TRUE(dst.Scale(src, 2, 1, 0));
  EXPECT_EQ(dst.PixelGetFunc(dst.Row(0), 0), abcd[0]);
  EXPECT_EQ(dst.PixelGetFunc(dst.Row(0), 1), abcd[2]);
  ASSERT_TRUE(dst.Scale(src, 8, 1, 0));
  for (int x = 0; x < 8; ++x) EXPECT_EQ(dst.PixelGetFunc(dst.Row(0), x), abcd[x / 2]);
}

TEST(Scale, PointSamplingMatchesReferenceOnEveryFormat) {
  std::mt19937 rng(2);
  const int sizes[][4] = {{7, 5, 3, 11}, {13, 9, 26, 4}, {5, 5, 17, 2}, {33, 3, 8, 9}};
  for (int bpp : kAllFormats)
    for (auto& s : sizes)
      for (int flags : {0, IMAGE_SCALE_TO_32}) {
        CGraphicsImage src, dst;
        MakeRandom(src, bpp, s[0], s[1], rng);
        ASSERT_TRUE(dst.Scale(src, s[2], s[3], flags));
        const bool to32 = flags || bpp == 32;
        ASSERT_EQ(dst.bpp, to32 ? 32 : bpp);
        for (int y = 0; y < s[3]; ++y)
          for (int x = 0; x < s[2]; ++x) {
            const int sx = x * s[0] / s[2], sy = y * s[1] / s[3];
            uint32_t want = to32 ? Colour(src, sx, sy) : src.PixelGetFunc(src.Row(sy), sx);
            if (to32 && bpp == 12) want &= 0xFFFFFF;
            uint32_t got = dst.PixelGetFunc(dst.Row(y), x);
            ASSERT_EQ(got, want) << bpp << " " << x << "," << y;
          }
        if (!to32 && bpp <= 8) {
          EXPECT_EQ(0, std::memcmp(dst.palette, src.palette, 4 * src.paletteSize));
        }
      }
}

// Box filter with the documented 1/256 spans, written from the definition.
TEST(Scale, SmoothScalingAveragesTheCoveredArea) {
  std::mt19937 rng(3);
  const int sizes[][4] = {{8, 6, 3, 2}, {5, 4, 9, 7}, {7, 7, 2, 5}, {3, 1, 6, 1}};
  for (int bpp : kAllFormats)
    for (auto& s : sizes) {
      CGraphicsImage src, dst;
      MakeRandom(src, bpp, s[0], s[1], rng);
      ASSERT_TRUE(dst.Scale(src, s[2], s[3], IMAGE_SCALE_SMOOTH));
      const bool to32 = bpp == 32;
      ASSERT_EQ(dst.bpp, to32 ? 32 : 24);
      auto spans = [](int a, int b, int i) {
        int aa = a, bb = b;
        if (aa < bb) --aa, --bb;
        while (aa && aa % 2 == 0 && bb % 2 == 0) aa /= 2, bb /= 2;
        long s0 = long{i} * aa * 256 / bb, s1 = (long{i} * aa * 256 + aa * 256) / bb;
        if (s1 < s0 + 256) s1 = s0 + 256;
        if (s1 > a * 256L) s1 = a * 256L;
        return std::pair<long, long>(s0, s1);
      };
      const bool varying = to32 && src.GetAlphaUsage() == 2;
      for (int y = 0; y < s[3]; ++y)
        for (int x = 0; x < s[2]; ++x) {
          auto [r0, r1] = spans(s[1], s[3], y);
          auto [c0, c1] = spans(s[0], s[2], x);
          double sum[4] = {0, 0, 0, 0}, wc = 0, wall = 0;
          for (long py = 0; py < s[1]; ++py)
            for (long px = 0; px < s[0]; ++px) {
              long wy = std::min(r1, (py + 1) * 256) - std::max(r0, py * 256);
              long wx = std::min(c1, (px + 1) * 256) - std::max(c0, px * 256);
              if (wy <= 0 || wx <= 0) continue;
              uint32_t c = Colour(src, static_cast<int>(px), static_cast<int>(py));
              double w = double(wy) * double(wx);
              wall += w;
              sum[3] += w * (c >> 24);
              if (varying && (c >> 24) == 0) continue;
              wc += w;
              for (int k = 0; k < 3; ++k) sum[k] += w * ((c >> (8 * k)) & 255);
            }
          const BYTE* p = dst.Row(y) + (to32 ? 4 : 3) * x;
          for (int k = 0; k < 3; ++k)
            ASSERT_EQ(p[k], wc ? static_cast<int>(sum[k] / wc + 1e-9) : 0) << bpp << " " << x << "," << y;
          if (to32) {
            ASSERT_EQ(p[3], static_cast<int>(sum[3] / wall + 1e-9));
          }
        }
    }
}

TEST(Scale, TransparentPixelsLowerAlphaButNotColour) {
  CGraphicsImage src, dst;
  ASSERT_TRUE(src.Create(32, 2, 1, 0, nullptr));
  src.PixelSetFunc(src.Row(0), 0, 0xFFFF0000);
  src.PixelSetFunc(src.Row(0), 1, 0x00000000);
  EXPECT_EQ(src.GetAlphaUsage(), 2);
  ASSERT_TRUE(dst.Scale(src, 1, 1, IMAGE_SCALE_SMOOTH));
  EXPECT_EQ(dst.PixelGetFunc(dst.Row(0), 0), 0x7FFF0000u);
}

TEST(Scale, AlphaUsageReadsTopBytesOrPaletteReservedBytes) {
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(32, 3, 2, 0, nullptr));
  EXPECT_EQ(im.GetAlphaUsage(), 0);
  ASSERT_TRUE(im.FillRect(0, 0, 3, 2, 0xFF123456));
  EXPECT_EQ(im.GetAlphaUsage(), 1);
  im.PixelSetFunc(im.Row(1), 2, 0x00123456);
  EXPECT_EQ(im.GetAlphaUsage(), 2);
  ASSERT_TRUE(im.FillRect(0, 0, 3, 2, 0x80123456));
  EXPECT_EQ(im.GetAlphaUsage(), 2);
  ASSERT_TRUE(im.Create(2, 3, 2, 0, nullptr));
  EXPECT_EQ(im.GetAlphaUsage(), 0);
  for (int i = 0; i < 4; ++i) im.SetPaletteEntryRGBA(i, 1, 2, 3, 255);
  EXPECT_EQ(im.GetAlphaUsage(), 1);
  im.SetPaletteEntryRGBA(4, 1, 2, 3, 7);  // beyond the palette size: not looked at
  EXPECT_EQ(im.GetAlphaUsage(), 1);
  ASSERT_TRUE(im.Create(24, 3, 2, 0xFFFFFF, nullptr));
  EXPECT_EQ(im.GetAlphaUsage(), 0);
}

TEST(Scale, WorksOnItselfAndFailsWithoutTouchingTheImage) {
  std::mt19937 rng(4);
  for (int bpp : kAllFormats) {
    CGraphicsImage im, ref;
    MakeRandom(im, bpp, 9, 7, rng);
    ASSERT_TRUE(ref.Scale(im, 4, 12, 0));
    ASSERT_TRUE(im.Scale(im, 4, 12, 0));
    EXPECT_EQ(PixelBytes(im), PixelBytes(ref)) << bpp;
    ASSERT_TRUE(ref.Scale(im, 6, 5, IMAGE_SCALE_SMOOTH));
    ASSERT_TRUE(im.Scale(im, 6, 5, IMAGE_SCALE_SMOOTH));
    EXPECT_EQ(PixelBytes(im), PixelBytes(ref)) << bpp;

    const std::vector<BYTE> before = PixelBytes(im);
    CGraphicsImage empty;
    EXPECT_FALSE(im.Scale(empty, 5, 5, 0));
    EXPECT_FALSE(im.Scale(im, 40000, 5, 0));
    EXPECT_FALSE(im.Scale(im, 5, -1, IMAGE_SCALE_SMOOTH));
    EXPECT_EQ(PixelBytes(im), before);
  }
}

TEST(Scale, ExtremeRatiosStayInsideTheSource) {
  std::mt19937 rng(5);
  CGraphicsImage src, dst;
  MakeRandom(src, 32, 3000, 2, rng);
  ASSERT_TRUE(dst.Scale(src, 1, 1, IMAGE_SCALE_SMOOTH));
  ASSERT_TRUE(dst.Scale(src, 7000, 1, IMAGE_SCALE_SMOOTH));
  ASSERT_TRUE(src.Create(24, 1, 1, 0x102030, nullptr));
  ASSERT_TRUE(dst.Scale(src, 20, 3, IMAGE_SCALE_SMOOTH));
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 20; ++x) EXPECT_EQ(dst.PixelGetFunc(dst.Row(y), x), 0x102030u);
}
