#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "graphics/image.h"
#include "graphics/polygon.h"
#include "test_images.h"

namespace {

struct Px {
  int x, y;
  bool operator==(const Px& o) const { return x == o.x && y == o.y; }
};

std::vector<Px>* g_calls = nullptr;
void Record(CGraphicsImage* im, BYTE* row, int x, int y, DWORD) {
  ASSERT_TRUE(x >= 0 && y >= 0 && x < im->width && y < im->height) << x << "," << y;
  ASSERT_EQ(row, im->Row(y));
  g_calls->push_back({x, y});
}
void Paint(CGraphicsImage* im, BYTE* row, int x, int, DWORD colour) { im->PixelSetFunc(row, x, colour); }

std::vector<Px> Calls(CGraphicsImage& im, const std::vector<int>& pts, bool* result = nullptr) {
  std::vector<Px> calls;
  g_calls = &calls;
  bool r = im.FillPolygonShader(pts.data(), static_cast<int>(pts.size() / 2), 0, Record);
  g_calls = nullptr;
  if (result) *result = r;
  return calls;
}

// Ray casting from each pixel centre (x + 1/2, y + 1/2), vertices on pixel
// corners: a pixel is inside when an odd number of edges cross its row at or
// left of its centre. Exact in 128-bit integers for any int vertices.
bool InsideEvenOdd(const std::vector<int>& p, int64_t x, int64_t y) {
  const size_t n = p.size() / 2;
  bool inside = false;
  for (size_t i = 0; i < n; ++i) {
    size_t j = (i + 1) % n;
    __int128 xa = p[2 * i], ya = p[2 * i + 1], xb = p[2 * j], yb = p[2 * j + 1];
    if (ya == yb) continue;
    if (yb < ya) std::swap(xa, xb), std::swap(ya, yb);
    if (!(y >= ya && y < yb)) continue;  // the row's centre y + 1/2 lies in (ya, yb)
    __int128 dx = xb - xa, dy = yb - ya;
    // xa + (y + 1/2 - ya) dx / dy <= x + 1/2, times 2 dy
    if (2 * xa * dy + (2 * (y - ya) + 1) * dx <= (2 * x + 1) * dy) inside = !inside;
  }
  return inside;
}

std::vector<Px> Reference(const std::vector<int>& p, int width, int height) {
  std::vector<Px> out;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (InsideEvenOdd(p, x, y)) out.push_back({x, y});
  return out;
}

bool SharesOneLine(const std::vector<int>& p) {
  bool sameX = true, sameY = true;
  for (size_t i = 2; i < p.size(); i += 2) {
    sameX = sameX && p[i] == p[0];
    sameY = sameY && p[i + 1] == p[1];
  }
  return sameX || sameY;
}

bool MissesImage(const std::vector<int>& p, int width, int height) {
  int x0 = INT_MAX, x1 = INT_MIN, y0 = INT_MAX, y1 = INT_MIN;
  for (size_t i = 0; i < p.size(); i += 2) {
    x0 = std::min(x0, p[i]), x1 = std::max(x1, p[i]);
    y0 = std::min(y0, p[i + 1]), y1 = std::max(y1, p[i + 1]);
  }
  return x1 < 0 || y1 < 0 || x0 >= width || y0 >= height;
}

}  // namespace

TEST(FillPolygon, CoversThePixelCentresInsideByTheEvenOddRule) {
  std::mt19937 rng(41);
  const int W = 33, H = 27;
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(8, W, H, 0, nullptr));
  for (int trial = 0; trial < 6000; ++trial) {
    const int n = trial % 13 == 12 ? POLYGON_MAX_POINTS : 3 + static_cast<int>(rng() % 10);
    const int span = trial % 7 == 6 ? 400 : 30;
    std::vector<int> p(2 * n);
    for (int i = 0; i < 2 * n; ++i) p[i] = static_cast<int>(rng() % (2 * span + 1)) - span + (i % 2 ? H : W) / 2;
    if (trial % 5 == 0) p[3] = p[1];              // a horizontal edge
    if (trial % 11 == 0) p[2] = p[0], p[3] = p[1];  // a repeated point
    if (SharesOneLine(p)) continue;
    bool result = false;
    std::vector<Px> got = Calls(im, p, &result);
    ASSERT_EQ(result, !MissesImage(p, W, H));
    ASSERT_EQ(got, Reference(p, W, H)) << "trial " << trial;
  }
}

TEST(FillPolygon, FillsTheSamePixelsAsTheShaderInEveryFormat) {
  std::mt19937 rng(42);
  for (int bpp : kAllFormats) {
    for (int trial = 0; trial < 150; ++trial) {
      const int w = 1 + static_cast<int>(rng() % 45), h = 1 + static_cast<int>(rng() % 20);
      CGraphicsImage a, b;
      ASSERT_TRUE(a.Create(bpp, w, h, IMAGE_NO_FILL, nullptr));
      Randomise(a, rng);
      ASSERT_TRUE(b.Copy(a));
      const int n = 3 + static_cast<int>(rng() % 6);
      std::vector<int> p(2 * n);
      for (int& v : p) v = static_cast<int>(rng() % 70) - 12;
      const DWORD colour = static_cast<DWORD>(rng());
      ASSERT_EQ(a.FillPolygon(p.data(), n, colour), b.FillPolygonShader(p.data(), n, colour, Paint));
      ASSERT_EQ(PixelBytes(a), PixelBytes(b)) << bpp;
    }
  }
}

TEST(FillPolygon, RectangleCornersFillWhatFillRectFills) {
  const int rects[][4] = {{2, 3, 10, 5}, {0, 0, 20, 20}, {-5, -5, 8, 9}, {15, 12, 30, 30}, {7, 7, 1, 1}};
  for (const auto& r : rects) {
    CGraphicsImage a, b;
    ASSERT_TRUE(a.Create(24, 20, 20, 0, nullptr));
    ASSERT_TRUE(b.Create(24, 20, 20, 0, nullptr));
    const int x0 = r[0], y0 = r[1], x1 = r[0] + r[2], y1 = r[1] + r[3];
    const int pts[8] = {x0, y0, x1, y0, x1, y1, x0, y1};
    EXPECT_TRUE(a.FillPolygon(pts, 4, 0x123456));
    b.FillRect(r[0], r[1], r[2], r[3], 0x123456);
    EXPECT_EQ(PixelBytes(a), PixelBytes(b)) << r[0] << "," << r[1];
  }
}

TEST(FillPolygon, PolygonsSharingEdgesPaintEveryPixelOnce) {
  // A fan of eight triangles around a common centre tiles the
  // square: the half-open rule leaves no pixel out and none painted twice.
  // (The centre stays off the border: a triangle along it would be a line.)
  std::mt19937 rng(43);
  for (int trial = 0; trial < 200; ++trial) {
    CGraphicsImage im;
    ASSERT_TRUE(im.Create(8, 24, 24, 0, nullptr));
    const int cx = 1 + static_cast<int>(rng() % 23), cy = 1 + static_cast<int>(rng() % 23);
    const int ring[][2] = {{0, 0}, {static_cast<int>(rng() % 25), 0}, {24, 0}, {24, static_cast<int>(rng() % 25)},
                           {24, 24}, {static_cast<int>(rng() % 25), 24}, {0, 24}, {0, static_cast<int>(rng() % 25)}};
    std::vector<int> seen(24 * 24, 0);
    for (int i = 0; i < 8; ++i) {
      const int j = (i + 1) % 8;
      std::vector<int> tri = {cx, cy, ring[i][0], ring[i][1], ring[j][0], ring[j][1]};
      for (const Px& c : Calls(im, tri)) ++seen[c.y * 24 + c.x];
    }
    ASSERT_EQ(std::count(seen.begin(), seen.end(), 1), 24 * 24) << cx << "," << cy;
  }
}

TEST(FillPolygon, SelfIntersectingOutlinesLeaveTheirInnerOverlapOpen) {
  // A five-pointed star drawn in one stroke: its centre pentagon is crossed
  // twice and stays empty; its points are filled.
  const std::vector<int> star = {50, 0, 79, 90, 2, 34, 98, 34, 21, 90};
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(8, 100, 100, 0, nullptr));
  std::vector<Px> got = Calls(im, star);
  EXPECT_EQ(got, Reference(star, 100, 100));
  auto filled = [&](int x, int y) { return std::find(got.begin(), got.end(), Px{x, y}) != got.end(); };
  EXPECT_FALSE(filled(50, 50));
  EXPECT_TRUE(filled(50, 10));
  EXPECT_TRUE(filled(10, 36));
  // A bow tie: two triangles meeting at one point.
  const std::vector<int> bow = {0, 0, 20, 10, 20, 0, 0, 10};
  ASSERT_TRUE(im.Create(8, 30, 30, 0, nullptr));
  EXPECT_EQ(Calls(im, bow), Reference(bow, 30, 30));
}

TEST(FillPolygon, FarAndHugeCoordinatesClipWithoutOverflow) {
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(32, 40, 30, 0, nullptr));
  const std::vector<std::vector<int>> cases = {
      {INT_MIN, INT_MIN, INT_MAX, INT_MIN, INT_MAX, INT_MAX, INT_MIN, INT_MAX},
      {INT_MIN, INT_MIN, INT_MAX, INT_MIN + 7, 20, INT_MAX},
      {INT_MAX, INT_MAX, INT_MIN, INT_MAX, 0, INT_MIN},
      {INT_MIN, 15, INT_MAX, 14, INT_MAX, 16},
      {-2000000000, -5, 2000000000, 3, 7, 2000000000, -3, 1},
      {INT_MAX, 0, INT_MAX - 1, 1, 5, 29, INT_MIN, 30, 3, 3},
  };
  for (const auto& p : cases) {
    bool result = false;
    std::vector<Px> got = Calls(im, p, &result);
    EXPECT_TRUE(result);
    EXPECT_EQ(got, Reference(p, 40, 30));
  }
  // The four corners of the int plane cover the whole image exactly once.
  EXPECT_EQ(Calls(im, cases[0]).size(), 40u * 30u);
  // Entirely beyond one side: false and nothing shaded.
  const std::vector<std::vector<int>> outside = {
      {INT_MIN, 0, -1, 10, -5, 20}, {0, INT_MIN, 10, -1, 20, -7}, {40, 0, INT_MAX, 10, 50, 29}, {0, 30, 10, INT_MAX, 39, 31}};
  for (const auto& p : outside) {
    bool result = true;
    EXPECT_TRUE(Calls(im, p, &result).empty());
    EXPECT_FALSE(result);
  }
}

TEST(FillPolygon, CountsOutsideOneToSixtyFourAreRefused) {
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(8, 70, 70, 0, nullptr));
  std::vector<int> p;
  for (int i = 0; i < 65; ++i) {  // a convex fan of 65 points around (35, 35)
    const double t = 6.283185307179586 * i / 65;
    p.push_back(35 + static_cast<int>(30 * std::cos(t)));
    p.push_back(35 + static_cast<int>(30 * std::sin(t)));
  }
  EXPECT_FALSE(im.FillPolygon(p.data(), 65, 1));
  EXPECT_FALSE(im.FillPolygonShader(p.data(), 65, 1, Paint));
  EXPECT_EQ(PixelBytes(im), std::vector<BYTE>(im.imageBytes, 0));
  EXPECT_TRUE(im.FillPolygon(p.data(), 64, 1));
  EXPECT_FALSE(im.FillPolygon(p.data(), 0, 1));
  EXPECT_FALSE(im.FillPolygon(p.data(), -3, 1));
  EXPECT_FALSE(im.FillPolygon(nullptr, 3, 1));
  EXPECT_FALSE(im.FillPolygonShader(p.data(), 3, 1, nullptr));
  CGraphicsImage empty;
  EXPECT_FALSE(empty.FillPolygon(p.data(), 3, 1));
  EXPECT_FALSE(empty.FillPolygon(p.data(), 1, 1));
}

TEST(FillPolygon, OnePointSetsThatPixelWhenInside) {
  for (int bpp : kAllFormats) {
    CGraphicsImage im;
    ASSERT_TRUE(im.Create(bpp, 9, 7, 0, nullptr));
    const int inside[2] = {8, 6};
    EXPECT_TRUE(im.FillPolygon(inside, 1, 0xFFFFFFFF));
    EXPECT_EQ(im.PixelGetFunc(im.Row(6), 8), Significant(bpp, 0xFFFFFFFF)) << bpp;
    const std::vector<BYTE> before = PixelBytes(im);
    const int outside[][2] = {{9, 0}, {0, 7}, {-1, 3}, {3, -1}, {INT_MIN, INT_MAX}};
    for (const auto& o : outside) EXPECT_FALSE(im.FillPolygon(o, 1, 0x7));
    EXPECT_EQ(PixelBytes(im), before);
  }
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(32, 5, 5, 0, nullptr));
  std::vector<Px> calls;
  g_calls = &calls;
  const int one[2] = {2, 3};
  EXPECT_TRUE(im.FillPolygonShader(one, 1, 0, Record));
  g_calls = nullptr;
  EXPECT_EQ(calls, (std::vector<Px>{{2, 3}}));
}

TEST(FillPolygon, TwoPointsAndPointsOnOneLineDrawALine) {
  struct Case {
    std::vector<int> points;
    int x1, y1, x2, y2;
  };
  const Case cases[] = {
      {{2, 3, 17, 9}, 2, 3, 17, 9},
      {{17, 9, 2, 3}, 17, 9, 2, 3},
      {{5, 2, 5, 14, 5, 8, 5, 1}, 5, 1, 5, 14},            // one column
      {{12, 4, 3, 4, 9, 4}, 3, 4, 12, 4},                  // one row
      {{-40, 6, 100, 6, 7, 6, 0, 6}, -40, 6, 100, 6},      // one row, clipped
      {{4, 4, 4, 4, 4, 4}, 4, 4, 4, 4},                    // one point thrice
  };
  for (const Case& c : cases) {
    CGraphicsImage a, b;
    ASSERT_TRUE(a.Create(16, 20, 16, 0, nullptr));
    ASSERT_TRUE(b.Create(16, 20, 16, 0, nullptr));
    const int n = static_cast<int>(c.points.size() / 2);
    EXPECT_EQ(a.FillPolygon(c.points.data(), n, 0xABCDEF), b.DrawPlainLine(c.x1, c.y1, c.x2, c.y2, 0xABCDEF));
    EXPECT_EQ(PixelBytes(a), PixelBytes(b)) << c.points[0];
    // The shader form draws the same line through the shader, both ends included.
    CGraphicsImage s;
    ASSERT_TRUE(s.Create(16, 20, 16, 0, nullptr));
    EXPECT_TRUE(s.FillPolygonShader(c.points.data(), n, 0xABCDEF, Paint));
    EXPECT_EQ(PixelBytes(s), PixelBytes(b)) << c.points[0];
  }
}

TEST(FillPolygon, FilledCountFollowsTheShoelaceArea) {
  // Large convex polygons: the pixel count lies within half the perimeter
  // of the exact area (each boundary pixel is in or out by at most half).
  std::mt19937 rng(44);
  for (int trial = 0; trial < 40; ++trial) {
    const int n = 3 + static_cast<int>(rng() % 40);
    std::vector<double> angles(n);
    for (double& a : angles) a = 6.283185307179586 * (rng() % 100000) / 100000.0;
    std::sort(angles.begin(), angles.end());
    std::vector<int> p;
    for (double a : angles) {
      p.push_back(300 + static_cast<int>(std::lround(280 * std::cos(a))));
      p.push_back(300 + static_cast<int>(std::lround(280 * std::sin(a))));
    }
    double area2 = 0, perimeter = 0;
    for (int i = 0; i < n; ++i) {
      const int j = (i + 1) % n;
      area2 += double(p[2 * i]) * p[2 * j + 1] - double(p[2 * j]) * p[2 * i + 1];
      perimeter += std::hypot(p[2 * j] - p[2 * i], p[2 * j + 1] - p[2 * i + 1]);
    }
    CGraphicsImage im;
    ASSERT_TRUE(im.Create(1, 600, 600, 0, nullptr));
    if (SharesOneLine(p)) continue;
    ASSERT_TRUE(im.FillPolygon(p.data(), n, 1));
    int64_t count = 0;
    for (int y = 0; y < 600; ++y)
      for (int x = 0; x < 600; ++x) count += im.PixelGetFunc(im.Row(y), x);
    EXPECT_NEAR(static_cast<double>(count), std::fabs(area2) / 2, perimeter / 2 + 1) << trial;
  }
}
