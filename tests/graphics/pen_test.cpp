#include <gtest/gtest.h>

#include <vector>

#include "graphics/image.h"
#include "graphics/pen.h"
#include "test_images.h"

namespace {

DWORD Get(CGraphicsImage& im, int x, int y) { return im.PixelGetFunc(im.Row(y), x); }

// (old * (32 - w) + colour * w) >> 5 for each of the channels given.
DWORD Mix32(DWORD old, DWORD colour, DWORD w, int channels) {
  DWORD out = 0;
  for (int c = 0; c < channels; ++c) {
    DWORD o = (old >> (8 * c)) & 255, n = (colour >> (8 * c)) & 255;
    out |= ((o * (32 - w) + n * w) >> 5) << (8 * c);
  }
  return out;
}

}  // namespace

TEST(PixelWriterSoft, BlendsTheThreeByThreeDotWithItsWeights) {
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(24, 5, 5, 0x204080, nullptr));
  PixelWriterSoft(&im, 2, 2, 0xFFC000);
  const DWORD weights[3][3] = {{1, 2, 1}, {2, 20, 2}, {1, 2, 1}};
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) {
      bool in = x >= 1 && x <= 3 && y >= 1 && y <= 3;
      DWORD want = in ? Mix32(0x204080, 0xFFC000, weights[y - 1][x - 1], 3) : 0x204080;
      EXPECT_EQ(Get(im, x, y), want) << x << "," << y;
    }
  // Centre by hand: blue (0x80 * 12 + 0 * 20) >> 5 = 48, green (0x40 * 12 +
  // 0xC0 * 20) >> 5 = 144, red (0x20 * 12 + 0xFF * 20) >> 5 = 171.
  EXPECT_EQ(Get(im, 2, 2), 0xAB9030u);
}

TEST(PixelWriterSoft, AtTheCornerChangesOnlyTheFourPixelsInside) {
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(32, 4, 4, 0x10101010, nullptr));
  PixelWriterSoft(&im, 0, 0, 0xFFFFFFFF);
  // Soft clears the top byte; Soft32 blends it.
  EXPECT_EQ(Get(im, 0, 0), Mix32(0x10101010, 0xFFFFFFFF, 20, 3));
  EXPECT_EQ(Get(im, 1, 0), Mix32(0x10101010, 0xFFFFFFFF, 2, 3));
  EXPECT_EQ(Get(im, 0, 1), Mix32(0x10101010, 0xFFFFFFFF, 2, 3));
  EXPECT_EQ(Get(im, 1, 1), Mix32(0x10101010, 0xFFFFFFFF, 1, 3));
  EXPECT_EQ(Get(im, 2, 0), 0x10101010u);
  EXPECT_EQ(Get(im, 0, 2), 0x10101010u);
  PixelWriterSoft32(&im, 3, 3, 0xFFFFFFFF);
  EXPECT_EQ(Get(im, 3, 3), Mix32(0x10101010, 0xFFFFFFFF, 20, 4));
  EXPECT_EQ(Get(im, 3, 3) >> 24, (0x10u * 12 + 255 * 20) >> 5);
  PixelWriterSoft(&im, -2, 1, 0xFFFFFF);  // wholly outside: nothing
  PixelWriterSoft(&im, INT32_MIN, INT32_MAX, 0xFFFFFF);
}

TEST(PixelWriterSoft, OnPaletteImagesBlendsThePaletteColour) {
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(8, 3, 3, 0, nullptr));
  im.SetPaletteEntry(0, 0x00FF0000);  // index 0 shown red
  PixelWriterSoft(&im, 1, 1, 0);
  // (0xFF * 12) >> 5 = 95 in red, stored as an index: its low byte (blue) = 0.
  EXPECT_EQ(Get(im, 1, 1), 0u);
}

TEST(SubstitutePen, SoftBecomesPlainOrSoft32ByDepth) {
  for (int bpp : kAllFormats) {
    CGraphicsImage im;
    ASSERT_TRUE(im.Create(bpp, 2, 2, 0, nullptr));
    PixelWriterFunc want = bpp < 9 ? PixelWriterPlain : bpp == 32 ? PixelWriterSoft32 : PixelWriterSoft;
    EXPECT_EQ(SubstitutePen(im, PixelWriterSoft), want) << bpp;
    EXPECT_EQ(SubstitutePen(im, PixelWriterDashed), PixelWriterDashed);
    im.SetTextWriter(PixelWriterSoft, 1, 0);
    EXPECT_EQ(im.inkPen, want);
    im.SetTextWriter(PixelWriterSoft, 2, 1);
    EXPECT_EQ(im.backPen, want);
    EXPECT_EQ(im.backColour, 2u);
  }
}

TEST(ShapedPens, PaintTheirSolidPositionsAndBlendTheRimAQuarter) {
  struct Case {
    PixelWriterFunc pen;
    const char* shape[7];  // S solid, R rim, centre at (3, 3)
  };
  const Case cases[] = {
      {PixelWriterSquare, {".......", ".......", ".......", "...SS..", "...SS..", ".......", "......."}},
      {PixelWriterCross, {".......", ".......", "...S...", "..SSS..", "...S...", ".......", "......."}},
      {PixelWriterDot, {".......", "..SS...", ".SSSS..", ".SSSS..", "..SS...", ".......", "......."}},
      {PixelWriterRound, {".......", "...R...", "..RSR..", ".RSSSR.", "..RSR..", "...R...", "......."}},
      {PixelWriterRoundLarge, {".......", "..RRR..", ".RSSSR.", ".RSSSR.", ".RSSSR.", "..RRR..", "......."}},
      {PixelWriterRoundWide, {"...R...", "..RRR..", ".RSSSR.", "RRSSSRR", ".RSSSR.", "..RRR..", "...R..."}},
      {PixelWriterDisc, {".......", "...S...", "..SSS..", ".SSSSS.", "..SSS..", "...S...", "......."}},
  };
  const DWORD old = 0x7F804020, colour = 0x00FC8044;
  // A quarter: 3/4 old + 1/4 new per channel, top byte kept:
  // red 0x80 - 0x20 + 0x3F = 0x9F, green 0x40 - 0x10 + 0x20 = 0x50,
  // blue 0x20 - 0x08 + 0x11 = 0x29.
  const DWORD rim = 0x7F9F5029;
  for (const Case& c : cases) {
    CGraphicsImage im;
    ASSERT_TRUE(im.Create(32, 7, 7, old, nullptr));
    c.pen(&im, 3, 3, colour);
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 7; ++x) {
        char k = c.shape[y][x];
        DWORD want = k == 'S' ? colour : k == 'R' ? rim : old;
        EXPECT_EQ(Get(im, x, y), want) << x << "," << y;
      }
    // Clipped at every corner without touching memory outside.
    for (int cy : {-3, 0, 6, 9, INT32_MIN, INT32_MAX})
      for (int cx : {-3, 0, 6, 9, INT32_MIN, INT32_MAX}) c.pen(&im, cx, cy, colour);
  }
}

TEST(PatternedPens, DrawByTheirRunningPatternAlsoOffTheImage) {
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(8, 16, 2, 0, nullptr));
  for (int x = 0; x < 4; ++x) PixelWriterDotted(&im, x, 0, 1);
  for (int x = 0; x < 4; ++x) EXPECT_EQ(Get(im, x, 0), x % 2 == 0 ? 1u : 0u) << x;
  // Four drawn, four skipped, across calls and lines, off-image calls
  // advancing the pattern too.
  for (int x = 0; x < 6; ++x) PixelWriterDashed(&im, x, 1, 1);
  PixelWriterDashed(&im, -50, -50, 1);
  PixelWriterDashed(&im, 1000, 1, 1);
  for (int x = 8; x < 16; ++x) PixelWriterDashed(&im, x, 1, 1);
  const char* want = "1111000011110000";
  for (int x = 0; x < 16; ++x) EXPECT_EQ(Get(im, x, 1), want[x] == '1' ? 1u : 0u) << x;
  EXPECT_EQ(im.dashPattern, 0xF0F0F0F0u >> 16 | 0xF0F0F0F0u << 16);
}

TEST(PatternedPens, DashesRunOnAlongClippedLines) {
  // The dash pattern counts every position of the walk, the run-in
  // included, so drawing a line in one go or in two parts gives the same.
  CGraphicsImage a, b;
  ASSERT_TRUE(a.Create(32, 40, 4, 0, nullptr));
  ASSERT_TRUE(b.Create(32, 40, 4, 0, nullptr));
  a.DrawLine(-2, 1, 39, 1, 0xFF, PixelWriterDashed, true);
  b.DrawLine(-2, 1, 20, 1, 0xFF, PixelWriterDashed, false);
  b.DrawLine(20, 1, 39, 1, 0xFF, PixelWriterDashed, true);
  EXPECT_EQ(PixelBytes(a), PixelBytes(b));
  EXPECT_EQ(Get(a, 0, 1), 0xFFu);  // positions -2, -1, 0, 1 drawn
  EXPECT_EQ(Get(a, 1, 1), 0xFFu);
  EXPECT_EQ(Get(a, 2, 1), 0u);
  EXPECT_EQ(Get(a, 6, 1), 0xFFu);
}
