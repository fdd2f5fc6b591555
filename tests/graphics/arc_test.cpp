#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <set>
#include <utility>
#include <vector>

#include "graphics/arc.h"
#include "graphics/image.h"
#include "test_images.h"

namespace {

using Pixel = std::pair<int, int>;

std::vector<Pixel>* g_pen = nullptr;
void RecordingPen(CGraphicsImage*, int x, int y, DWORD) { g_pen->push_back({x, y}); }
void NoPen(CGraphicsImage*, int, int, DWORD) {}

struct Recorder {
  std::vector<Pixel> calls;
  Recorder() { g_pen = &calls; }
  ~Recorder() { g_pen = nullptr; }
};

CGraphicsImage Blank(int w, int h) {
  CGraphicsImage im;
  EXPECT_TRUE(im.Create(32, w, h, 0, nullptr));
  return im;
}

DWORD At(const CGraphicsImage& im, int x, int y) { return im.PixelGetFunc(im.Row(y), x); }

std::set<Pixel> SetPixels(const CGraphicsImage& im) {
  std::set<Pixel> out;
  for (int y = 0; y < im.height; ++y)
    for (int x = 0; x < im.width; ++x)
      if (At(im, x, y) != 0) out.insert({x, y});
  return out;
}

constexpr double kPi = 3.14159265358979323846;

}  // namespace

TEST(FixedSin, FollowsTheSineWithinThreeUnitsOverTheWholeTurn) {
  for (int a = -0x20000; a <= 0x40000; ++a) {
    double want = 65536.0 * std::sin(2 * kPi * a / 0x20000);
    ASSERT_NEAR(FixedSin(a), want, 3.0) << a;
  }
}

TEST(FixedSin, HitsTheQuarterPointsExactly) {
  const std::pair<int, int> cases[] = {{0, 0},          {0x8000, 65536},  {0x10000, 0},
                                       {0x18000, -65536}, {0x4000, 46340}, {0x20000, 0},
                                       {-0x8000, -65536}, {INT_MIN, 0}};
  for (auto [a, want] : cases) EXPECT_EQ(FixedSin(a), want) << a;
}

TEST(FixedSin, TablesHoldTheRoundedQuarterWaveAndTheFlooredCircleProfile) {
  for (int i = 0; i <= 128; ++i) {
    EXPECT_EQ(SineTable[i], std::lround(32768 * std::sin(i * kPi / 256))) << i;
    // floor(32768 sqrt(1 - (j/128)^2)) = isqrt(256^2 (16384 - j^2)), exactly.
    uint64_t n = 65536ull * static_cast<uint64_t>(16384 - i * i), r = 0;
    while ((r + 1) * (r + 1) <= n) ++r;
    EXPECT_EQ(CircleProfileTable[i], r) << i;
  }
  EXPECT_EQ(SineTable[129], 0);
  EXPECT_EQ(CircleProfileTable[129], 0);
}

TEST(DrawArc, ClosedCircleLiesOnTheCircleAndCoversEveryAngle) {
  for (int r : {1, 3, 5, 12, 40, 100, 207}) {
    int c = r + 3;
    CGraphicsImage im = Blank(2 * c + 1, 2 * c + 1);
    ASSERT_TRUE(im.DrawArc(c, c, r, r, 0xFFFFFF, 0, 0x20000, 0));
    auto px = SetPixels(im);
    for (auto [x, y] : px) EXPECT_NEAR(std::hypot(x - c, y - c), r, 2.0) << r << " " << x << "," << y;
    for (int k = 0; k < 720; ++k) {
      double t = 2 * kPi * k / 720, ex = c + r * std::cos(t), ey = c + r * std::sin(t);
      bool near = false;
      for (auto [x, y] : px) near = near || std::hypot(x - ex, y - ey) <= 1.5;
      EXPECT_TRUE(near) << r << " angle " << k;
    }
  }
}

TEST(DrawArcPen, ClosedCircleVisitsEachPixelOnceAndIsPointSymmetric) {
  for (int r : {2, 7, 30, 100, 300}) {
    int c = r + 2;
    CGraphicsImage im = Blank(2 * c + 1, 2 * c + 1);
    Recorder rec;
    ASSERT_TRUE(im.DrawArcPen(c, c, r, r, 1, RecordingPen, 0, 0x20000, 0, false));
    std::set<Pixel> once(rec.calls.begin(), rec.calls.end());
    EXPECT_EQ(once.size(), rec.calls.size()) << r;
    for (auto [x, y] : once) {
      EXPECT_TRUE(once.count({2 * c - x, 2 * c - y})) << r << " " << x << "," << y;
    }
  }
}

TEST(DrawArc, EqualAnglesDrawTheStartPixelOnly) {
  CGraphicsImage im = Blank(40, 40);
  ASSERT_TRUE(im.DrawArc(20, 20, 10, 10, 0xFF, 0, 0, 0));
  EXPECT_EQ(SetPixels(im), (std::set<Pixel>{{30, 20}}));
}

TEST(DrawArc, QuarterArcsRunBetweenTheirEndsInEitherDirection) {
  for (auto [start, end] : {std::pair{0x8000, 0}, std::pair{0, 0x8000}}) {
    CGraphicsImage im = Blank(40, 40);
    ASSERT_TRUE(im.DrawArc(5, 5, 30, 30, 0xFF, start, end, 0));
    auto px = SetPixels(im);
    EXPECT_TRUE(px.count({35, 5}));
    EXPECT_TRUE(px.count({5, 35}));
    for (auto [x, y] : px) {
      EXPECT_GE(x, 5);
      EXPECT_GE(y, 5);
      EXPECT_NEAR(std::hypot(x - 5, y - 5), 30, 2.0);
    }
  }
}

TEST(DrawArc, RotatedEllipseLiesOnTheTurnedCurve) {
  // A quarter turn maps the half axes (24, 10) onto (10, 24).
  CGraphicsImage im = Blank(64, 64);
  ASSERT_TRUE(im.DrawArc(32, 32, 24, 10, 0xFF, 0, 0x20000, 0x8000));
  auto px = SetPixels(im);
  ASSERT_FALSE(px.empty());
  for (auto [x, y] : px) {
    double u = (x - 32) / 10.0, v = (y - 32) / 24.0;
    double d = std::hypot(u, v);
    EXPECT_NEAR(d, 1.0, 0.16) << x << "," << y;
  }
  EXPECT_TRUE(px.count({32, 8}));
  EXPECT_TRUE(px.count({32, 56}));
}

TEST(DrawArc, RotationsAWholeNumberOfTurnsApartDrawAlikeUpToTheIntLimits) {
  // INT_MAX and INT_MIN + 0x1FFFF lie on the same angle as 0x1FFFF: the
  // cosine's quarter-turn step must not overflow on the way.
  for (int rotation : {INT_MAX, INT_MIN + 0x1FFFF, INT_MAX - 0x4000}) {
    const int same = rotation & 0x1FFFF;
    CGraphicsImage a = Blank(64, 64), b = Blank(64, 64);
    ASSERT_TRUE(a.DrawArc(32, 32, 24, 10, 0xFF, 0, 0x20000, rotation));
    ASSERT_TRUE(b.DrawArc(32, 32, 24, 10, 0xFF, 0, 0x20000, same));
    EXPECT_EQ(PixelBytes(a), PixelBytes(b)) << rotation;
    CGraphicsImage c = Blank(64, 64), d = Blank(64, 64);
    ASSERT_TRUE(c.DrawArcSmooth(32, 32, 24, 10, 0xFF, 0, 0x20000, rotation));
    ASSERT_TRUE(d.DrawArcSmooth(32, 32, 24, 10, 0xFF, 0, 0x20000, same));
    EXPECT_EQ(PixelBytes(c), PixelBytes(d)) << rotation;
  }
}

TEST(DrawArc, RotationOfACircleChangesNothing) {
  CGraphicsImage a = Blank(50, 50), b = Blank(50, 50);
  a.DrawArc(25, 25, 20, -20, 0xFF, 0x1234, 0x15000, 0);
  b.DrawArc(25, 25, 20, -20, 0xFF, 0x1234, 0x15000, 0x3000);
  EXPECT_EQ(PixelBytes(a), PixelBytes(b));
}

TEST(DrawArc, ClipsAtEveryEdgeLikeTheSameArcInALargerImage) {
  const int W = 30, H = 20, off = 50;
  const std::pair<int, int> centres[] = {{0, 10}, {29, 10}, {15, 0}, {15, 19}, {-5, -3}, {33, 22}};
  for (auto [cx, cy] : centres) {
    CGraphicsImage small = Blank(W, H), big = Blank(W + 2 * off, H + 2 * off);
    small.DrawArc(cx, cy, 12, 7, 0xFF, 0, 0x20000, 0x2000);
    big.DrawArc(cx + off, cy + off, 12, 7, 0xFF, 0, 0x20000, 0x2000);
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x)
        ASSERT_EQ(At(small, x, y), At(big, x + off, y + off)) << cx << "," << cy << " @" << x << "," << y;
  }
}

TEST(DrawArc, RefusesArcsEntirelyOutsideAndLeavesTheImage) {
  CGraphicsImage im = Blank(20, 20);
  auto before = PixelBytes(im);
  EXPECT_FALSE(im.DrawArc(-12, 5, 10, 10, 0xFF, 0, 0x20000, 0));
  EXPECT_FALSE(im.DrawArc(5, -12, 10, 10, 0xFF, 0, 0x20000, 0));
  EXPECT_FALSE(im.DrawArc(31, 5, 10, 10, 0xFF, 0, 0x20000, 0));
  EXPECT_FALSE(im.DrawArc(5, 31, 10, 10, 0xFF, 0, 0x20000, 0));
  EXPECT_EQ(PixelBytes(im), before);
}

TEST(DrawArc, HugeCirclesFinishAndTouchTheImageWhereTheyPass) {
  const int R = 2000000000;
  {  // top of a huge circle: row 8 only
    CGraphicsImage im = Blank(64, 32);
    ASSERT_TRUE(im.DrawArc(32, 8 + R, R, R, 0xFF, 0, 0x20000, 0));
    for (auto [x, y] : SetPixels(im)) EXPECT_EQ(y, 8);
    for (int x = 0; x < 64; ++x) EXPECT_NE(At(im, x, 8), 0u) << x;
  }
  {  // left side; the right side lies beyond the int range
    CGraphicsImage im = Blank(32, 64);
    ASSERT_TRUE(im.DrawArc(8 + R, 32, R, R, 0xFF, 0, 0x20000, 0));
    for (auto [x, y] : SetPixels(im)) EXPECT_EQ(x, 8);
    for (int y = 0; y < 64; ++y) EXPECT_NE(At(im, 8, y), 0u) << y;
  }
  for (int r : {INT_MAX, INT_MIN}) {
    CGraphicsImage im = Blank(16, 16);
    EXPECT_TRUE(im.DrawArc(0, 0, r, r, 0xFF, 0, 0x20000, 0x1000));
    EXPECT_TRUE(im.DrawArcPen(INT_MAX, INT_MIN, r, 3, 0xFF, NoPen, 0, -0x20000, 0x1000, true));
  }
}

TEST(DrawArcSmooth, FallsBackToThePlainArcOnPaletteImages) {
  for (int bpp : {1, 4, 8}) {
    CGraphicsImage a, b;
    ASSERT_TRUE(a.Create(bpp, 50, 40, 0, nullptr));
    ASSERT_TRUE(b.Create(bpp, 50, 40, 0, nullptr));
    a.DrawArc(25, 20, 18, 11, 1, 0x1000, 0x13000, 0x2000);
    b.DrawArcSmooth(25, 20, 18, 11, 1, 0x1000, 0x13000, 0x2000);
    EXPECT_EQ(PixelBytes(a), PixelBytes(b)) << bpp;
  }
}

TEST(DrawArcSmooth, SpreadsOneFullPixelOfInkPerStepAlongTheCircle) {
  for (int r : {10, 30, 90}) {
    int c = r + 4;
    CGraphicsImage im = Blank(2 * c + 1, 2 * c + 1);
    ASSERT_TRUE(im.DrawArcSmooth(c, c, r, r, 0xFFFFFF, 0, 0x20000, 0));
    double ink = 0;
    for (int y = 0; y < im.height; ++y)
      for (int x = 0; x < im.width; ++x) {
        DWORD v = At(im, x, y);
        if (!v) continue;
        EXPECT_EQ(v & 0xFF, (v >> 8) & 0xFF);
        EXPECT_EQ(v & 0xFF, (v >> 16) & 0xFF);
        EXPECT_NEAR(std::hypot(x - c, y - c), r, 2.0) << r << " " << x << "," << y;
        ink += (v & 0xFF) / 255.0;
      }
    // One step per row or column: the circle is crossed 4 sqrt(2) r times.
    EXPECT_NEAR(ink, 4 * std::sqrt(2.0) * r, 0.1 * 4 * std::sqrt(2.0) * r) << r;
  }
}

TEST(DrawArcSmooth, RefusesArcsOutsideAndFinishesHugeOnes) {
  CGraphicsImage im = Blank(64, 32);
  auto before = PixelBytes(im);
  EXPECT_FALSE(im.DrawArcSmooth(-12, 5, 10, 10, 0xFF, 0, 0x20000, 0));
  EXPECT_FALSE(im.DrawArcSmooth(5, 45, 10, 10, 0xFF, 0, 0x20000, 0));
  EXPECT_EQ(PixelBytes(im), before);
  const int R = 2000000000;
  ASSERT_TRUE(im.DrawArcSmooth(32, 8 + R, R, R, 0xFFFFFF, 0, 0x20000, 0));
  for (auto [x, y] : SetPixels(im)) EXPECT_TRUE(y == 7 || y == 8) << x << "," << y;
  EXPECT_FALSE(SetPixels(im).empty());
  for (int r : {INT_MAX, INT_MIN})
    EXPECT_TRUE(im.DrawArcSmooth(INT_MAX, INT_MIN, r, 5, 0xFF, 0, 0x20000, 0x1234));
}
