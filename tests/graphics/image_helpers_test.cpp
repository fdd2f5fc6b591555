#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <vector>

#include "graphics/image.h"
#include "test_images.h"

namespace {

// MoveRect done the slow way: every pixel of the rectangle whose source and
// destination both lie on the image is read from an untouched copy.
void ReferenceMove(CGraphicsImage& im, int x, int y, int w, int h, int dstX, int dstY) {
  CGraphicsImage orig;
  ASSERT_TRUE(orig.Copy(im));
  const int64_t x0 = w < 0 ? int64_t{x} + w + 1 : x, y0 = h < 0 ? int64_t{y} + h + 1 : y;
  const int64_t cw = std::llabs(int64_t{w}), ch = std::llabs(int64_t{h});
  const int64_t ox = int64_t{dstX} - x, oy = int64_t{dstY} - y;
  for (int64_t j = std::max<int64_t>(y0, 0); j < std::min<int64_t>(y0 + ch, im.height); ++j)
    for (int64_t i = std::max<int64_t>(x0, 0); i < std::min<int64_t>(x0 + cw, im.width); ++i) {
      const int64_t tx = i + ox, ty = j + oy;
      if (tx < 0 || ty < 0 || tx >= im.width || ty >= im.height) continue;
      im.PixelSetFunc(im.Row(static_cast<int>(ty)), static_cast<int>(tx),
                      orig.PixelGetFunc(orig.Row(static_cast<int>(j)), static_cast<int>(i)));
    }
}

bool ReferenceMoves(const CGraphicsImage& im, int x, int y, int w, int h, int dstX, int dstY) {
  if (w == 0 || h == 0) return false;
  if (x == dstX && y == dstY) return true;
  const int64_t x0 = w < 0 ? int64_t{x} + w + 1 : x, y0 = h < 0 ? int64_t{y} + h + 1 : y;
  const int64_t cw = std::llabs(int64_t{w}), ch = std::llabs(int64_t{h});
  const int64_t ox = int64_t{dstX} - x, oy = int64_t{dstY} - y;
  const int64_t a = std::max({x0, int64_t{0}, -ox}), b = std::min({x0 + cw, int64_t{im.width}, im.width - ox});
  const int64_t c = std::max({y0, int64_t{0}, -oy}), d = std::min({y0 + ch, int64_t{im.height}, im.height - oy});
  return a < b && c < d;
}

}  // namespace

TEST(MoveRect, OverlappingMovesInEveryDirectionMatchACopyingReference) {
  std::mt19937 rng(51);
  for (int bpp : kAllFormats) {
    for (int trial = 0; trial < 400; ++trial) {
      const int W = 1 + static_cast<int>(rng() % 40), H = 1 + static_cast<int>(rng() % 30);
      CGraphicsImage im, ref;
      ASSERT_TRUE(im.Create(bpp, W, H, IMAGE_NO_FILL, nullptr));
      Randomise(im, rng);
      ASSERT_TRUE(ref.Copy(im));
      auto pick = [&](int side) { return static_cast<int>(rng() % (side + 12)) - 6; };
      const int x = pick(W), y = pick(H);
      int w = static_cast<int>(rng() % (W + 4)) + 1, h = static_cast<int>(rng() % (H + 4)) + 1;
      if (rng() % 4 == 0) w = -w;
      if (rng() % 4 == 0) h = -h;
      // Small shifts overlap the source: up, down, left, right and diagonal.
      const int dx = static_cast<int>(rng() % 9) - 4, dy = static_cast<int>(rng() % 9) - 4;
      const bool expected = ReferenceMoves(im, x, y, w, h, x + dx, y + dy);
      ReferenceMove(ref, x, y, w, h, x + dx, y + dy);
      ASSERT_EQ(im.MoveRect(x, y, w, h, x + dx, y + dy), expected);
      ASSERT_EQ(PixelBytes(im), PixelBytes(ref))
          << bpp << "bpp " << W << "x" << H << " rect " << x << "," << y << " " << w << "x" << h << " by " << dx << "," << dy;
    }
  }
}

TEST(MoveRect, OneRowDownKeepsEverySourceRowIntact) {
  for (int bpp : {1, 8, 24, 32}) {
    CGraphicsImage im;
    ASSERT_TRUE(im.Create(bpp, 16, 10, 0, nullptr));
    for (int y = 0; y < 10; ++y) im.FillRect(0, y, 16, 1, static_cast<DWORD>(y) * 0x010101u + 1);
    ASSERT_TRUE(im.MoveRect(0, 0, 16, 9, 0, 1));
    EXPECT_EQ(im.PixelGetFunc(im.Row(0), 5), Significant(bpp, 1));  // row 0 keeps its old pixels
    for (int y = 1; y < 10; ++y)
      for (int x = 0; x < 16; ++x)
        ASSERT_EQ(im.PixelGetFunc(im.Row(y), x), Significant(bpp, static_cast<DWORD>(y - 1) * 0x010101u + 1)) << bpp;
  }
}

TEST(MoveRect, RefusesEmptyAndDisjointRectanglesAndIgnoresAZeroMove) {
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(8, 20, 20, IMAGE_NO_FILL, nullptr));
  std::mt19937 rng(52);
  Randomise(im, rng);
  const std::vector<BYTE> before = PixelBytes(im);
  struct Case {
    int x, y, w, h, dx, dy;
    bool result;
  };
  const Case cases[] = {
      {2, 2, 0, 5, 4, 4, false},          // zero width
      {2, 2, 5, 0, 4, 4, false},          // zero height
      {3, 4, 5, 6, 3, 4, true},           // onto itself
      {-50, 0, 10, 10, -40, 0, false},    // source wholly left, destination too
      {0, 0, 10, 10, 20, 0, false},       // destination just right of the image
      {0, 0, 10, 10, 0, -10, false},      // destination just above
      {25, 25, 5, 5, 2, 2, false},        // source beyond the image
      {INT_MIN, INT_MIN, INT_MAX, INT_MAX, INT_MAX, INT_MAX, false},
      {INT_MAX, INT_MAX, INT_MIN, INT_MIN, INT_MIN, INT_MIN, false},
  };
  for (const Case& c : cases) EXPECT_EQ(im.MoveRect(c.x, c.y, c.w, c.h, c.dx, c.dy), c.result) << c.x << "," << c.dx;
  EXPECT_EQ(PixelBytes(im), before);
  // A rectangle reaching far beyond the image moves only what lies on it.
  CGraphicsImage ref;
  ASSERT_TRUE(ref.Copy(im));
  ReferenceMove(ref, -1000000, 5, 2000000, 3, -999998, 9);
  EXPECT_TRUE(im.MoveRect(-1000000, 5, 2000000, 3, -999998, 9));
  EXPECT_EQ(PixelBytes(im), PixelBytes(ref));
  CGraphicsImage empty;
  EXPECT_FALSE(empty.MoveRect(0, 0, 5, 5, 1, 1));
}

TEST(ImageResolution, ReadsAndWritesTheHeaderFields) {
  CGraphicsImage im;
  DWORD x = 7, y = 7;
  EXPECT_FALSE(im.GetResolution(&x, &y));  // empty: no header
  EXPECT_EQ(x, 0u);
  EXPECT_EQ(y, 0u);
  EXPECT_FALSE(im.SetResolution(100, 100));
  ASSERT_TRUE(im.Create(24, 3, 3, 0, nullptr));
  EXPECT_TRUE(im.GetResolution(&x, &y));
  EXPECT_EQ(x, 4705u);  // 120 dots per inch
  EXPECT_EQ(y, 4705u);
  EXPECT_TRUE(im.SetResolution(2835, 0xFFFFFFFFu));
  EXPECT_TRUE(im.GetResolution(&x, &y));
  EXPECT_EQ(x, 2835u);
  EXPECT_EQ(y, 0xFFFFFFFFu);
  EXPECT_EQ(im.Header().biXPelsPerMeter, 2835);
  EXPECT_EQ(im.Header().biYPelsPerMeter, -1);
  EXPECT_TRUE(im.GetResolution(nullptr, nullptr));
  CGraphicsImage copy;
  ASSERT_TRUE(copy.Copy(im));  // the header travels with the image
  EXPECT_TRUE(copy.GetResolution(&x, nullptr));
  EXPECT_EQ(x, 2835u);
  im.Release();
  EXPECT_FALSE(im.GetResolution(&x, &y));
}

TEST(ImageAlpha, HasAlphaSeesAnyFourthByteOfA32BitImage) {
  for (int bpp : kAllFormats) {
    CGraphicsImage im;
    ASSERT_TRUE(im.Create(bpp, 7, 5, 0xFFFFFFFF, nullptr));
    EXPECT_EQ(im.HasAlpha(), bpp == 32) << bpp;
    EXPECT_EQ(im.SetAlpha(0), bpp == 32) << bpp;
    EXPECT_FALSE(im.HasAlpha());
  }
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(32, 7, 5, 0x00FFFFFF, nullptr));
  EXPECT_FALSE(im.HasAlpha());
  for (uint64_t at : {uint64_t{3}, uint64_t{4 * 17 + 3}, im.imageBytes - 1}) {
    im.bottomRow[at] = 1;
    EXPECT_TRUE(im.HasAlpha()) << at;
    im.bottomRow[at] = 0;
  }
  for (uint64_t at = 0; at < im.imageBytes; at += 4) im.bottomRow[at] = 0xFF;  // colour bytes only
  EXPECT_FALSE(im.HasAlpha());
  CGraphicsImage none;
  EXPECT_FALSE(none.HasAlpha());
  EXPECT_FALSE(none.SetAlpha(1));
}

TEST(ImageAlpha, SetAlphaWritesOnlyTheFourthBytes) {
  std::mt19937 rng(53);
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(32, 9, 4, IMAGE_NO_FILL, nullptr));
  Randomise(im, rng);
  std::vector<BYTE> expected = PixelBytes(im);
  for (size_t i = 3; i < expected.size(); i += 4) expected[i] = 1;
  EXPECT_TRUE(im.SetAlpha(1));
  EXPECT_EQ(PixelBytes(im), expected);
  EXPECT_TRUE(im.HasAlpha());
  EXPECT_TRUE(im.SetAlpha(0));
  EXPECT_FALSE(im.HasAlpha());
  // Other depths: false, and not one byte changes.
  for (int bpp : {1, 2, 4, 8, 12, 15, 16, 24}) {
    CGraphicsImage other;
    ASSERT_TRUE(other.Create(bpp, 9, 4, IMAGE_NO_FILL, nullptr));
    Randomise(other, rng);
    const std::vector<BYTE> before = PixelBytes(other);
    EXPECT_FALSE(other.SetAlpha(0x80));
    EXPECT_EQ(PixelBytes(other), before);
  }
  CGraphicsImage zero;
  ASSERT_TRUE(zero.Create(32, 0, 0, 0, nullptr));
  EXPECT_TRUE(zero.SetAlpha(5));
  EXPECT_FALSE(zero.HasAlpha());
}
