#include <gtest/gtest.h>

#include <climits>

#include "graphics/fonts/builtin_fonts.h"
#include "graphics/image.h"
#include "graphics/pen.h"

namespace {
int g_calls = 0;
void CountingShader(CGraphicsImage*, BYTE*, int, int, DWORD) { ++g_calls; }
DWORD ZeroGetter(CGraphicsImage*, BYTE*, int, int) { return 0; }
}  // namespace

// An empty image (no pixels, 0 x 0) takes every drawing call without
// touching memory and reports that nothing was drawn.
TEST(DrawingOnAnEmptyImage, DoesNothingAndReportsFalse) {
  CGraphicsImage im;
  const int coords[] = {INT_MIN, -1, 0, 1, INT_MAX};
  for (int a : coords)
    for (int b : coords) {
      EXPECT_FALSE(im.DrawLine(a, b, b, a, 1, PixelWriterSoft, true));
      EXPECT_FALSE(im.DrawPlainLine(a, b, b, a, 1));
      EXPECT_FALSE(im.DrawShaderLine(a, b, b, a, 1, CountingShader, true));
      EXPECT_FALSE(im.DrawSmoothLine(a, b, b, a, 1, true));
      EXPECT_FALSE(im.DrawRectOutline(a, b, 5, 5, 1));
      EXPECT_FALSE(im.DrawRectPen(a, b, 5, 5, 1, PixelWriterRoundWide));
      const int tri[6] = {a, b, b, a, a, a};
      im.FillTriangle(tri, 0, CountingShader);
      im.FillTriangleColor(tri, 1);
      EXPECT_FALSE(im.FillRectAlpha(a, b, 3, 3, 1, 100));
      EXPECT_FALSE(im.FillRectShader(a, b, 3, 3, 0, CountingShader));
      EXPECT_FALSE(im.BlendOntoColor(a, b, 3, 3, 0));
      EXPECT_FALSE(im.BlendOntoChecker(a, b, 3, 3, 0, 1, 0));
      EXPECT_FALSE(im.FillChecker(a, b, 3, 3, 0, 1, 0));
      EXPECT_FALSE(im.FloodFill(a, b, 1));
      EXPECT_FALSE(im.FloodFillCustom(a, b, 1, CountingShader, ZeroGetter, FLOOD_OLD_FROM_SEED));
      for (PixelWriterFunc pen : {PixelWriterPlain, PixelWriterSoft, PixelWriterSoft32, PixelWriterSquare,
                                  PixelWriterCross, PixelWriterDot, PixelWriterRound, PixelWriterRoundLarge,
                                  PixelWriterRoundWide, PixelWriterDisc, PixelWriterDotted, PixelWriterDashed})
        pen(&im, a, b, 1);
    }
  EXPECT_EQ(g_calls, 0);
  im.SelectFont(BuiltinFont24);
  im.SetTextWriter(PixelWriterSoft, 1, 0);
  im.SetTextWriter(PixelWriterPlain, 2, 1);
  EXPECT_EQ(im.DrawText(0, 0, "0"), 12);
}
