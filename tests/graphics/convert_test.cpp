#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "graphics/image.h"
#include "convert_test_support.h"
#include "test_images.h"

namespace {

int Grey(uint32_t c) {
  const int b = c & 255, g = (c >> 8) & 255, r = (c >> 16) & 255;
  return (29 * b + 76 * r + 152 * g) >> 8;
}

}  // namespace

TEST(ConvertFrom, StoresEverySourceColourInTheTrueColourFormat) {
  std::mt19937 rng(21);
  for (int sb : kAllFormats)
    for (int db : {0, 12, 15, 16, 24, 32}) {
      CGraphicsImage src, out;
      MakeRandom(src, sb, 7, 5, rng);
      ASSERT_TRUE(out.ConvertFrom(src, db));
      const int want = db == 0 ? 24 : db;
      ASSERT_EQ(out.bpp, want);
      for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
          ASSERT_EQ(Get(out, x, y), Significant(want, Colour(src, x, y))) << sb << "->" << db;
      CGraphicsImage self;
      ASSERT_TRUE(self.Copy(src));
      ASSERT_TRUE(self.ConvertFrom(self, db));
      EXPECT_EQ(PixelBytes(self), PixelBytes(out));
    }
}

TEST(ConvertFrom, RefusesPaletteTargetsAndEmptySourcesWithoutTouchingTheImage) {
  std::mt19937 rng(22);
  CGraphicsImage im, empty;
  MakeRandom(im, 24, 4, 3, rng);
  const std::vector<BYTE> before = PixelBytes(im);
  for (int bpp : {1, 8, 11, 13, 33}) EXPECT_FALSE(im.ConvertFrom(im, bpp)) << bpp;
  EXPECT_FALSE(im.ConvertFrom(empty, 32));
  EXPECT_EQ(im.bpp, 24);
  EXPECT_EQ(PixelBytes(im), before);
}

TEST(MapToPalette, PicksTheFirstNearestColour) {
  CGraphicsImage src, out;
  ASSERT_TRUE(src.Create(32, 4, 1, 0, nullptr));
  const uint32_t px[4] = {0x000000, 0xF01010, 0x808080, 0x0000FF};
  for (int x = 0; x < 4; ++x) src.PixelSetFunc(src.Row(0), x, px[x]);
  const DWORD colours[3] = {0xFF0000, 0x0000FF, 0x7F7F7F};
  ASSERT_TRUE(out.MapToPalette(src, 3, colours));
  EXPECT_EQ(out.bpp, 2);
  // 0x000000: distance 255 to red and blue, 381 to grey: red comes first.
  const uint32_t want[4] = {0, 0, 2, 1};
  for (int x = 0; x < 4; ++x) EXPECT_EQ(Get(out, x, 0), want[x]) << x;
  for (int i = 0; i < 3; ++i) {
    BYTE r, g, b;
    EXPECT_EQ(out.GetPaletteEntry(i, &r, &g, &b) & 0xFFFFFF, colours[i]);
  }
}

TEST(MapToPalette, MatchesRandomImagesAgainstAGivenOrOwnPalette) {
  std::mt19937 rng(23);
  for (int sb : kAllFormats)
    for (DWORD cab : {DWORD{5}, DWORD{0x08000000}, DWORD{0x0400000A}, DWORD{17}, DWORD{0x01000000}}) {
      CGraphicsImage src, out;
      MakeRandom(src, sb, 6, 4, rng);
      DWORD colours[256];
      for (DWORD& c : colours) c = rng() & 0xFFFFFF;
      ASSERT_TRUE(out.MapToPalette(src, cab, colours));
      DWORD n = cab & 0xFFFFFF, bits = cab >> 24;
      if (n == 0) n = bits && bits < 8 ? 1u << bits : 256;
      if (!bits) bits = n > 16 ? 8 : n > 4 ? 4 : n > 2 ? 2 : 1;
      n = std::min(n, 1u << bits);
      ASSERT_EQ(out.bpp, int(bits));
      for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) {
          const uint32_t c = Colour(src, x, y);
          uint32_t best = 0;
          int bestD = 1 << 30;
          for (uint32_t i = 0; i < n; ++i) {
            int d = 0;
            for (int k = 0; k < 3; ++k) d += std::abs(int((c >> 8 * k) & 255) - int((colours[i] >> 8 * k) & 255));
            if (d < bestD) bestD = d, best = i;
          }
          ASSERT_EQ(Get(out, x, y), best) << sb << " " << std::hex << cab;
        }
    }
  // Without colours, this image's own palette is matched, also when it is the source.
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(4, 3, 1, 0, nullptr));
  im.SetPaletteEntry(0, 0x000000);
  im.SetPaletteEntry(1, 0xFFFFFF);
  im.SetPaletteEntry(2, 0x00FF00);
  for (int x = 0; x < 3; ++x) im.PixelSetFunc(im.Row(0), x, uint32_t(2 - x));
  ASSERT_TRUE(im.MapToPalette(im, 0x01000002, nullptr));
  EXPECT_EQ(im.bpp, 1);
  EXPECT_EQ(Get(im, 0, 0), 0u);  // green is nearer black (255) than white (510)
  EXPECT_EQ(Get(im, 1, 0), 1u);
  EXPECT_EQ(Get(im, 2, 0), 0u);
  // An empty image matches against its result format's default palette.
  CGraphicsImage empty, src;
  ASSERT_TRUE(src.Create(24, 2, 1, 0, nullptr));
  src.PixelSetFunc(src.Row(0), 1, 0x7F0000);
  ASSERT_TRUE(empty.MapToPalette(src, 16, nullptr));
  EXPECT_EQ(Get(empty, 0, 0), 0u);
  EXPECT_EQ(Get(empty, 1, 0), 4u);  // 0x800000
  const std::vector<BYTE> before = PixelBytes(src);
  EXPECT_FALSE(src.MapToPalette(src, 0x0C000010, nullptr));
  EXPECT_EQ(src.bpp, 24);
  EXPECT_EQ(PixelBytes(src), before);
}

TEST(GreyConversions, FollowTheWeightedGreyLevel) {
  std::mt19937 rng(24);
  for (int sb : kAllFormats) {
    CGraphicsImage src, grey, ramp, bw;
    MakeRandom(src, sb, 9, 3, rng);
    ASSERT_TRUE(grey.GreyFrom(src));
    ASSERT_TRUE(ramp.GreyImageFrom(src));
    ASSERT_TRUE(bw.ThresholdFrom(src));
    ASSERT_EQ(grey.bpp, sb);
    ASSERT_EQ(ramp.bpp, 8);
    ASSERT_EQ(bw.bpp, 1);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 9; ++x) {
        const uint32_t c = Colour(src, x, y);
        const int g = Grey(c);
        if (sb <= 8) {
          EXPECT_EQ(Get(grey, x, y), Get(src, x, y));
          EXPECT_EQ(Colour(grey, x, y), (c & 0xFF000000) | uint32_t(g) * 0x010101);
        } else {
          EXPECT_EQ(Get(grey, x, y), Significant(sb, uint32_t(g) * 0x010101));
        }
        EXPECT_EQ(Get(ramp, x, y), uint32_t(g));
        EXPECT_EQ(Colour(ramp, x, y), uint32_t(g) * 0x010101);
        const int b = c & 255, gr = (c >> 8) & 255, r = (c >> 16) & 255;
        EXPECT_EQ(Get(bw, x, y), 29 * b + 76 * (r + 2 * gr) > 32767 ? 1u : 0u);
        EXPECT_EQ(Colour(bw, x, y) & 0xFFFFFF, Get(bw, x, y) ? 0xFFFFFFu : 0u);
      }
    CGraphicsImage self;
    ASSERT_TRUE(self.Copy(src));
    ASSERT_TRUE(self.GreyImageFrom(self));
    EXPECT_EQ(PixelBytes(self), PixelBytes(ramp));
    ASSERT_TRUE(self.Copy(src));
    ASSERT_TRUE(self.ThresholdFrom(self));
    EXPECT_EQ(PixelBytes(self), PixelBytes(bw));
    ASSERT_TRUE(self.Copy(src));
    ASSERT_TRUE(self.GreyFrom(self));
    EXPECT_EQ(PixelBytes(self), PixelBytes(grey));
  }
  CGraphicsImage empty, im;
  ASSERT_TRUE(im.Create(32, 2, 2, 0x123456, nullptr));
  EXPECT_FALSE(empty.ToGrey());
  EXPECT_FALSE(im.GreyFrom(empty));
  EXPECT_FALSE(im.GreyImageFrom(empty));
  EXPECT_FALSE(im.ThresholdFrom(empty));
  EXPECT_EQ(Get(im, 1, 1), 0x123456u);
  // White is (29 + 76 * 3) * 255 = 65535 > 32767; 0x808080 gives 32896.
  EXPECT_TRUE(im.FillRect(0, 0, 1, 1, 0x7F7F7F));
  EXPECT_TRUE(im.FillRect(1, 0, 1, 1, 0x808080));
  ASSERT_TRUE(im.ThresholdFrom(im));
  EXPECT_EQ(Get(im, 0, 0), 0u);
  EXPECT_EQ(Get(im, 1, 0), 1u);
}

TEST(AlphaMaskFrom, ColoursTheMaskAndTakesAlphaByMode) {
  CGraphicsImage mask, out;
  ASSERT_TRUE(mask.Create(8, 3, 1, 0, nullptr));
  mask.PixelSetFunc(mask.Row(0), 1, 40);
  mask.PixelSetFunc(mask.Row(0), 2, 255);
  mask.SetPaletteEntry(40, 0x00000099);
  mask.SetPaletteEntry(0, 0x00AABB11);
  mask.SetPaletteEntry(255, 0x00000022);
  const uint32_t want[4][3] = {{0, 40, 255}, {255, 215, 0}, {0x11, 0x99, 0x22}, {0xEE, 0x66, 0xDD}};
  for (int mode = 0; mode < 4; ++mode) {
    ASSERT_TRUE(out.AlphaMaskFrom(mask, mode + 4, 0x00332211));  // colour as 0x00BBGGRR
    ASSERT_EQ(out.bpp, 32);
    for (int x = 0; x < 3; ++x) EXPECT_EQ(Get(out, x, 0), want[mode][x] << 24 | 0x112233) << mode << " " << x;
  }
  ASSERT_TRUE(mask.AlphaMaskFrom(mask, 1, 0));
  EXPECT_EQ(Get(mask, 0, 0), 0xFF000000u);
  EXPECT_FALSE(out.AlphaMaskFrom(mask, 0, 0));  // now 32 bpp: not a mask
  EXPECT_EQ(out.width, 3);
}

TEST(FlattenAlpha, PutsTranslucentPixelsOnTheColour) {
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(32, 3, 1, 0, nullptr));
  im.PixelSetFunc(im.Row(0), 0, 0x00123456);
  im.PixelSetFunc(im.Row(0), 1, 0x80FF0000);
  im.PixelSetFunc(im.Row(0), 2, 0xFF0000FF);
  ASSERT_TRUE(im.FlattenAlpha(0x000040));
  EXPECT_EQ(Get(im, 0, 0), 0xFF000040u);
  EXPECT_EQ(Get(im, 1, 0), 0xFF800020u);  // red 255*129>>8, blue 64*128>>8
  EXPECT_EQ(Get(im, 2, 0), 0xFF0000FFu);
  ASSERT_TRUE(im.Create(24, 3, 1, 0, nullptr));
  EXPECT_FALSE(im.FlattenAlpha(0));
}
