#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "graphics/image.h"
#include "graphics/rotate.h"
#include "test_images.h"

namespace {

constexpr double kTurn = 131072.0;  // angle units per turn
constexpr double kPi = 3.14159265358979323846;

DWORD At(const CGraphicsImage& im, int x, int y) { return im.PixelGetFunc(im.Row(y), x); }

// Every pixel value, rows top to bottom (row padding left out).
std::vector<DWORD> Pixels(const CGraphicsImage& im) {
  std::vector<DWORD> out;
  for (int y = 0; y < im.height; ++y)
    for (int x = 0; x < im.width; ++x) out.push_back(At(im, x, y));
  return out;
}

// Where the top-left corner of source pixel (px, py) lies after k clockwise
// quarter turns, in the frame of RotateQuarterFrom's result.
void TurnedCorner(int k, int w, int h, int px, int py, int& x, int& y) {
  switch (k & 3) {
    case 0: x = px, y = py; break;
    case 1: x = h - py, y = px; break;
    case 2: x = w - px, y = h - py; break;
    default: x = py, y = w - px; break;
  }
}

// The turn in doubles: the result frame from the four corners, and each
// result pixel centre mapped back to source pixel coordinates.
struct ExactTurn {
  double c, s, px, py;  // pivot in pixels
  double left, top;
  int width, height;
  bool ambiguous = false;  // a frame edge lies too near a whole pixel

  ExactTurn(int w, int h, int angle, double pivotX, double pivotY) : px(pivotX), py(pivotY) {
    const double a = 2 * kPi * (angle & 0x1FFFF) / kTurn;
    c = std::cos(a), s = std::sin(a);
    double minU = 1e300, maxU = -1e300, minV = 1e300, maxV = -1e300;
    for (int k = 0; k < 4; ++k) {
      const double x = (k & 1) ? w : 0, y = (k & 2) ? h : 0;
      const double u = px + c * (x - px) - s * (y - py), v = py + s * (x - px) + c * (y - py);
      minU = std::min(minU, u), maxU = std::max(maxU, u);
      minV = std::min(minV, v), maxV = std::max(maxV, v);
    }
    for (double e : {minU, maxU, minV, maxV}) ambiguous = ambiguous || std::fabs(e - std::round(e)) < 0.01;
    left = std::floor(minU), top = std::floor(minV);
    width = static_cast<int>(std::ceil(maxU) - left), height = static_cast<int>(std::ceil(maxV) - top);
  }

  void Back(int x, int y, double& u, double& v) const {
    const double X = left + x + 0.5 - px, Y = top + y + 0.5 - py;
    u = px + c * X + s * Y;
    v = py - s * X + c * Y;
  }
};

// Channel k (0 blue .. 3 top byte) of a value.
int Ch(DWORD v, int k) { return static_cast<int>((v >> (8 * k)) & 255); }

}  // namespace

TEST(RotateFrom, QuarterTurnsPermutePixelsExactly) {
  std::mt19937 rng(61);
  for (int bpp : kAllFormats) {
    for (int trial = 0; trial < 40; ++trial) {
      const int w = 1 + static_cast<int>(rng() % 23), h = 1 + static_cast<int>(rng() % 17);
      CGraphicsImage src;
      ASSERT_TRUE(src.Create(bpp, w, h, IMAGE_NO_FILL, nullptr));
      Randomise(src, rng);
      const int k = static_cast<int>(rng() % 4);
      const int turnsAway = static_cast<int>(rng() % 5) - 2;  // whole turns change nothing
      const int angle = k * 0x8000 + turnsAway * 0x20000;
      const DWORD flags = (rng() % 2) ? ROTATE_NEAREST : 0;
      const int px0 = static_cast<int>(rng() % 41) - 10, py0 = static_cast<int>(rng() % 41) - 10;
      int px = px0, py = py0;
      CGraphicsImage out, expected;
      ASSERT_TRUE(out.RotateFrom(src, angle, flags, &px, &py, 0x123456));
      ASSERT_TRUE(expected.RotateQuarterFrom(src, k, false, false));
      ASSERT_EQ(out.bpp, bpp);
      ASSERT_EQ(out.width, expected.width);
      ASSERT_EQ(out.height, expected.height);
      ASSERT_EQ(Pixels(out), Pixels(expected)) << bpp << "bpp turn " << k << " flags " << flags;
      if (bpp <= 8) {
        EXPECT_EQ(std::memcmp(out.palette, src.palette, 1024), 0);
      }
      int ex, ey;
      TurnedCorner(k, w, h, px0, py0, ex, ey);
      EXPECT_EQ(px, ex);
      EXPECT_EQ(py, ey);
    }
  }
}

TEST(RotateFrom, PivotInQuarterPixelsComesBackInQuarterPixels) {
  CGraphicsImage src, out;
  ASSERT_TRUE(src.Create(24, 10, 6, 0x808080, nullptr));
  // A quarter turn about the centre given in quarter pixels (20, 12).
  int px = 20, py = 12;
  ASSERT_TRUE(out.RotateFrom(src, 0x8000, ROTATE_PIVOT_QUARTERS, &px, &py, 0));
  EXPECT_EQ(out.width, 6);
  EXPECT_EQ(out.height, 10);
  EXPECT_EQ(px, 12);
  EXPECT_EQ(py, 20);
  // Off the quarter grid the turned box straddles pixels: one more column.
  px = 1, py = 0;
  ASSERT_TRUE(out.RotateFrom(src, 0x10000, ROTATE_PIVOT_QUARTERS, &px, &py, 0));
  EXPECT_EQ(out.width, 11);
  EXPECT_EQ(out.height, 6);
  // Without pivots the image turns about its centre.
  ASSERT_TRUE(out.RotateFrom(src, 0x8000, 0, nullptr, nullptr, 0));
  EXPECT_EQ(out.width, 6);
  EXPECT_EQ(out.height, 10);
}

TEST(RotateFrom, NearestSamplingMatchesAnInverseMappingReference) {
  std::mt19937 rng(62);
  int ran = 0;
  for (int bpp : kAllFormats) {
    for (int trial = 0; trial < 30; ++trial) {
      const int w = 1 + static_cast<int>(rng() % 30), h = 1 + static_cast<int>(rng() % 30);
      CGraphicsImage src, out;
      ASSERT_TRUE(src.Create(bpp, w, h, IMAGE_NO_FILL, nullptr));
      Randomise(src, rng);
      const int angle = static_cast<int>(rng() % 0x20000);
      const int px0 = static_cast<int>(rng() % 50) - 10, py0 = static_cast<int>(rng() % 50) - 10;
      ExactTurn ref(w, h, angle, px0, py0);
      if (ref.ambiguous) continue;
      ++ran;
      int px = px0, py = py0;
      const DWORD fill = static_cast<DWORD>(rng());
      ASSERT_TRUE(out.RotateFrom(src, angle, ROTATE_NEAREST, &px, &py, fill));
      ASSERT_EQ(out.width, ref.width) << angle;
      ASSERT_EQ(out.height, ref.height) << angle;
      EXPECT_EQ(px, px0 - static_cast<int>(ref.left));
      EXPECT_EQ(py, py0 - static_cast<int>(ref.top));
      CGraphicsImage filled;
      ASSERT_TRUE(filled.Create(bpp, 1, 1, fill, nullptr));
      const DWORD fillValue = At(filled, 0, 0);
      int checked = 0;
      for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
          double u, v;
          ref.Back(x, y, u, v);
          if (std::fabs(u - std::round(u)) < 0.01 || std::fabs(v - std::round(v)) < 0.01) continue;
          const int sx = static_cast<int>(std::floor(u)), sy = static_cast<int>(std::floor(v));
          const bool inside = sx >= 0 && sy >= 0 && sx < w && sy < h;
          ASSERT_EQ(At(out, x, y), inside ? At(src, sx, sy) : fillValue) << bpp << "bpp angle " << angle << " at " << x << "," << y;
          ++checked;
        }
      EXPECT_GT(checked, 0);
    }
  }
  EXPECT_GT(ran, 9 * 30 / 2);
}

TEST(RotateFrom, BlendedSamplingMatchesBilinearReference) {
  std::mt19937 rng(63);
  int ran = 0;
  for (int bpp : {12, 15, 16, 24, 32}) {
    // The smallest step of a channel of the format, the error allowed on top.
    const int quantum = bpp == 12 ? 16 : (bpp == 15 || bpp == 16) ? 8 : 1;
    for (int trial = 0; trial < 25; ++trial) {
      const int w = 2 + static_cast<int>(rng() % 30), h = 2 + static_cast<int>(rng() % 30);
      CGraphicsImage src, out;
      ASSERT_TRUE(src.Create(bpp, w, h, IMAGE_NO_FILL, nullptr));
      Randomise(src, rng);
      if (bpp == 32) src.SetAlpha(0);  // no alpha: all four bytes blend alike
      const int angle = static_cast<int>(rng() % 0x20000);
      const int px0 = static_cast<int>(rng() % 40), py0 = static_cast<int>(rng() % 40);
      ExactTurn ref(w, h, angle, px0, py0);
      if (ref.ambiguous) continue;
      ++ran;
      const DWORD fill = static_cast<DWORD>(rng()) & 0x00FFFFFF;
      int px = px0, py = py0;
      ASSERT_TRUE(out.RotateFrom(src, angle, 0, &px, &py, fill));
      ASSERT_EQ(out.width, ref.width);
      ASSERT_EQ(out.height, ref.height);
      CGraphicsImage filled;
      ASSERT_TRUE(filled.Create(bpp, 1, 1, fill, nullptr));
      const DWORD fillValue = At(filled, 0, 0);
      for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
          double u, v;
          ref.Back(x, y, u, v);
          u -= 0.5, v -= 0.5;
          const double fu = std::floor(u), fv = std::floor(v);
          const double ax = u - fu, ay = v - fv;
          double sum[3] = {0, 0, 0};
          for (int k = 0; k < 4; ++k) {
            const int sx = static_cast<int>(fu) + (k & 1), sy = static_cast<int>(fv) + (k >> 1);
            const double wgt = ((k & 1) ? ax : 1 - ax) * ((k >> 1) ? ay : 1 - ay);
            const bool inside = sx >= 0 && sy >= 0 && sx < w && sy < h;
            const DWORD p = inside ? At(src, sx, sy) : fillValue;
            for (int c = 0; c < 3; ++c) sum[c] += wgt * Ch(p, c);
          }
          const DWORD got = At(out, x, y);
          for (int c = 0; c < 3; ++c)
            ASSERT_NEAR(Ch(got, c), sum[c], quantum + 2.0) << bpp << "bpp angle " << angle << " at " << x << "," << y;
        }
    }
  }
  EXPECT_GT(ran, 5 * 25 / 2);
}

TEST(RotateFrom, TransparentPixelsLendNoColourWhenTheSourceHasAlpha) {
  std::mt19937 rng(64);
  int ran = 0;
  for (int trial = 0; trial < 30; ++trial) {
    const int w = 2 + static_cast<int>(rng() % 20), h = 2 + static_cast<int>(rng() % 20);
    CGraphicsImage src, out;
    ASSERT_TRUE(src.Create(32, w, h, IMAGE_NO_FILL, nullptr));
    Randomise(src, rng);
    const int angle = static_cast<int>(rng() % 0x20000);
    // A pivot off the corners, whose turned places are then never whole.
    ExactTurn ref(w, h, angle, 1, 1);
    if (ref.ambiguous) continue;
    ++ran;
    const DWORD fill = static_cast<DWORD>(rng());
    int px = 1, py = 1;
    ASSERT_TRUE(out.RotateFrom(src, angle, 0, &px, &py, fill));
    ASSERT_TRUE(src.HasAlpha());
    for (int y = 0; y < out.height; ++y)
      for (int x = 0; x < out.width; ++x) {
        double u, v;
        ref.Back(x, y, u, v);
        u -= 0.5, v -= 0.5;
        const double fu = std::floor(u), fv = std::floor(v), ax = u - fu, ay = v - fv;
        double alpha = 0, premul[3] = {0, 0, 0};
        for (int k = 0; k < 4; ++k) {
          const int sx = static_cast<int>(fu) + (k & 1), sy = static_cast<int>(fv) + (k >> 1);
          const double wgt = ((k & 1) ? ax : 1 - ax) * ((k >> 1) ? ay : 1 - ay);
          const bool inside = sx >= 0 && sy >= 0 && sx < w && sy < h;
          const DWORD p = inside ? At(src, sx, sy) : fill;
          alpha += wgt * Ch(p, 3);
          for (int c = 0; c < 3; ++c) premul[c] += wgt * Ch(p, 3) * Ch(p, c) / 255.0;
        }
        const DWORD got = At(out, x, y);
        ASSERT_NEAR(Ch(got, 3), alpha, 3.0) << angle;
        for (int c = 0; c < 3; ++c) ASSERT_NEAR(Ch(got, 3) * Ch(got, c) / 255.0, premul[c], 4.0) << angle;
      }
  }
  EXPECT_GT(ran, 20);
}

TEST(RotateFrom, FillsWhatTheSourceDoesNotReach) {
  for (int bpp : kAllFormats) {
    CGraphicsImage src, out;
    ASSERT_TRUE(src.Create(bpp, 20, 20, bpp <= 8 ? 1 : 0x00FF00, nullptr));
    // An eighth of a turn: the corners of the result lie outside the source.
    ASSERT_TRUE(out.RotateFrom(src, 0x4000, 0, nullptr, nullptr, bpp <= 8 ? 0 : 0x0000FF));
    EXPECT_GE(out.width, 28);
    EXPECT_LE(out.width, 30);
    const DWORD fill = Significant(bpp, bpp <= 8 ? 0 : 0x0000FF), ink = Significant(bpp, bpp <= 8 ? 1 : 0x00FF00);
    EXPECT_EQ(At(out, 0, 0), fill) << bpp;
    EXPECT_EQ(At(out, out.width - 1, out.height - 1), fill) << bpp;
    EXPECT_EQ(At(out, out.width / 2, out.height / 2), ink) << bpp;
    EXPECT_EQ(At(out, out.width / 2, 3), ink) << bpp;
  }
}

TEST(RotateFrom, NearestFlagKeepsSourceValuesOnly) {
  CGraphicsImage src, blended, nearest;
  ASSERT_TRUE(src.Create(24, 8, 8, 0, nullptr));
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) src.PixelSetFunc(src.Row(y), x, (x + y) % 2 ? 0xFFFFFF : 0);
  ASSERT_TRUE(blended.RotateFrom(src, 0x2000, 0, nullptr, nullptr, 0));
  ASSERT_TRUE(nearest.RotateFrom(src, 0x2000, ROTATE_NEAREST, nullptr, nullptr, 0));
  bool mixed = false;
  for (int y = 0; y < nearest.height; ++y)
    for (int x = 0; x < nearest.width; ++x) {
      const DWORD n = At(nearest, x, y), b = At(blended, x, y);
      EXPECT_TRUE(n == 0 || n == 0xFFFFFF);
      mixed = mixed || (b != 0 && b != 0xFFFFFF);
    }
  EXPECT_TRUE(mixed);
}

TEST(RotateFrom, RefusesOversizedAndEmptySourcesAndKeepsThisImage) {
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(8, 3, 3, 7, nullptr));
  const std::vector<BYTE> before = PixelBytes(im);
  for (auto [w, h] : {std::pair{5000, 1}, std::pair{4097, 2}, std::pair{1, 4097}}) {
    CGraphicsImage big;
    ASSERT_TRUE(big.Create(8, w, h, 0, nullptr));
    int px = 11, py = 12;
    EXPECT_FALSE(im.RotateFrom(big, 0x1000, 0, &px, &py, 0)) << w;
    EXPECT_EQ(px, 11);
    EXPECT_EQ(py, 12);
  }
  CGraphicsImage empty;
  EXPECT_FALSE(im.RotateFrom(empty, 0, 0, nullptr, nullptr, 0));
  EXPECT_EQ(im.width, 3);
  EXPECT_EQ(PixelBytes(im), before);
  // The largest source turns by an eighth: about 1.41 times its side.
  CGraphicsImage wide, out;
  ASSERT_TRUE(wide.Create(1, ROTATE_MAX_SOURCE, 1, 1, nullptr));
  ASSERT_TRUE(out.RotateFrom(wide, 0x4000, 0, nullptr, nullptr, 0));
  EXPECT_NEAR(out.width, 2897, 3);
}

TEST(RotateFrom, TurnsItselfAndFarPivotsStayInRange) {
  std::mt19937 rng(65);
  CGraphicsImage im, copy, expected;
  ASSERT_TRUE(im.Create(32, 13, 9, IMAGE_NO_FILL, nullptr));
  Randomise(im, rng);
  ASSERT_TRUE(copy.Copy(im));
  ASSERT_TRUE(expected.RotateFrom(copy, 0x3456, 0, nullptr, nullptr, 0xFF));
  ASSERT_TRUE(im.RotateFrom(im, 0x3456, 0, nullptr, nullptr, 0xFF));
  EXPECT_EQ(PixelBytes(im), PixelBytes(expected));
  // Pivots at the ends of the int range: the turned box keeps its size, the
  // pivot's new place is clamped to what an int holds.
  for (int angle : {0x8000, 0x10000, 0x4000, INT_MIN, INT_MAX, -1}) {
    int px = INT_MAX, py = INT_MIN;
    CGraphicsImage out;
    ASSERT_TRUE(out.RotateFrom(copy, angle, 0, &px, &py, 0)) << angle;
    EXPECT_LE(out.width, 17);
    EXPECT_LE(out.height, 17);
    px = INT_MIN, py = INT_MAX;
    ASSERT_TRUE(out.RotateFrom(copy, angle, ROTATE_PIVOT_QUARTERS, &px, &py, 0)) << angle;
  }
}
