#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "graphics/arc.h"
#include "graphics/image.h"
#include "test_images.h"

namespace {

using Pixel = std::pair<int, int>;
constexpr double kPiArea = 3.14159265358979323846;
std::vector<Pixel>* g_calls = nullptr;
void RecordingShader(CGraphicsImage*, BYTE*, int x, int y, DWORD) { g_calls->push_back({x, y}); }
void ShadeWithArg(CGraphicsImage* im, BYTE* row, int x, int, DWORD arg) {
  im->PixelSetFunc(row, x, arg);
}

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

struct Run {
  int x0, x1;  // inclusive
};

// Every row of the shape as one run; fails the test on gaps.
std::map<int, Run> Runs(const std::set<Pixel>& px) {
  std::map<int, Run> rows;
  std::map<int, int> count;
  for (auto [x, y] : px) {
    auto it = rows.find(y);
    if (it == rows.end()) rows[y] = {x, x};
    else it->second.x0 = std::min(it->second.x0, x), it->second.x1 = std::max(it->second.x1, x);
    ++count[y];
  }
  for (auto& [y, r] : rows) EXPECT_EQ(count[y], r.x1 - r.x0 + 1) << "gap in row " << y;
  return rows;
}

DWORD Anchors(int h, int v) {
  return static_cast<DWORD>(h) << ELLIPSE_HANCHOR_SHIFT | static_cast<DWORD>(v) << ELLIPSE_VANCHOR_SHIFT;
}

}  // namespace

TEST(FillEllipse, SmallCasesFillTheExpectedRows) {
  CGraphicsImage im = Blank(20, 20);
  ASSERT_TRUE(im.FillEllipse(10, 10, 0, 0, 0xFF, 0));
  EXPECT_EQ(SetPixels(im), (std::set<Pixel>{{10, 10}}));

  CGraphicsImage b = Blank(20, 20);
  ASSERT_TRUE(b.FillEllipse(10, 10, 2, 1, 0xFF, 0));
  auto rows = Runs(SetPixels(b));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows.begin()->first, 9);
  EXPECT_EQ(rows[10].x0, 8);
  EXPECT_EQ(rows[10].x1, 12);
}

TEST(FillEllipse, RowWidthsFollowTheTrueEllipse) {
  // Width of the row at distance d from the centre: w sqrt(1 - (2d / h)^2).
  const std::pair<int, int> radii[] = {{5, 5}, {20, 7}, {7, 20}, {60, 33}, {-9, 4}};
  for (auto [rx, ry] : radii) {
    for (DWORD flags : {0u, ELLIPSE_BOUNDS}) {
      CGraphicsImage im = Blank(140, 140);
      ASSERT_TRUE(im.FillEllipse(70, 70, rx, ry, 0xFF, flags));
      double w = flags ? std::abs(rx) : 2 * std::abs(rx) + 1;
      double h = flags ? std::abs(ry) : 2 * std::abs(ry) + 1;
      // Centre of the shape in pixel-edge coordinates.
      double cx = flags ? 70 - std::floor(w / 2) + w / 2 : 70.5;
      double cy = flags ? (static_cast<int>(h) % 2 ? 70.5 : 70.0) : 70.5;
      auto rows = Runs(SetPixels(im));
      EXPECT_EQ(static_cast<double>(rows.size()), h) << rx << "," << ry;
      for (auto [y, r] : rows) {
        double d = std::fabs(y + 0.5 - cy);
        double want = w * std::sqrt(std::max(0.0, 1 - (2 * d / h) * (2 * d / h)));
        EXPECT_NEAR(r.x1 - r.x0 + 1, want, 1.0) << rx << "," << ry << " row " << y;
        EXPECT_NEAR((r.x0 + r.x1 + 1) / 2.0, cx, 1.0) << rx << "," << ry << " row " << y;
        // Rows at the same distance above and below are the same.
        int mirror = static_cast<int>(std::lround(2 * cy - 1 - y));
        ASSERT_TRUE(rows.count(mirror)) << y;
        EXPECT_EQ(rows[mirror].x0, r.x0);
        EXPECT_EQ(rows[mirror].x1, r.x1);
      }
    }
  }
}

TEST(FillEllipse, EvenBoundsPutTheCentreBetweenRowsAndColumns) {
  CGraphicsImage im = Blank(20, 20);
  ASSERT_TRUE(im.FillEllipse(10, 10, 4, 4, 0xFF, ELLIPSE_BOUNDS));
  auto rows = Runs(SetPixels(im));
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows.begin()->first, 8);
  EXPECT_EQ(rows.rbegin()->first, 11);
  for (auto [y, r] : rows) {
    EXPECT_GE(r.x0, 8);
    EXPECT_LE(r.x1, 11);
  }
}

TEST(FillEllipse, AnchorsPlaceTheEdgesOnThePoint) {
  for (DWORD bounds : {0u, ELLIPSE_BOUNDS}) {
    for (int h = 0; h < 3; ++h) {
      for (int v = 0; v < 3; ++v) {
        CGraphicsImage im = Blank(60, 60);
        ASSERT_TRUE(im.FillEllipse(30, 30, 7, 6, 0xFF, bounds | Anchors(h, v)));
        auto px = SetPixels(im);
        int minX = 99, maxX = -1, minY = 99, maxY = -1;
        for (auto [x, y] : px)
          minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y), maxY = std::max(maxY, y);
        int w = bounds ? 7 : 15, ht = bounds ? 6 : 13;
        EXPECT_EQ(maxX - minX + 1, w);
        EXPECT_EQ(maxY - minY + 1, ht);
        if (h == 1) { EXPECT_EQ(minX, 30); }
        if (h == 2) { EXPECT_EQ(maxX, 30); }
        if (h == 0) { EXPECT_EQ(minX, 30 - w / 2); }
        if (v == 1) { EXPECT_EQ(minY, 30); }
        if (v == 2) { EXPECT_EQ(maxY, 30); }
      }
    }
  }
}

TEST(FillEllipse, RefusesAnchorThreeAndEmptyBoundsLeavingTheImage) {
  CGraphicsImage im = Blank(20, 20);
  auto before = PixelBytes(im);
  EXPECT_FALSE(im.FillEllipse(10, 10, 3, 3, 0xFF, Anchors(3, 0)));
  EXPECT_FALSE(im.FillEllipse(10, 10, 3, 3, 0xFF, Anchors(0, 3)));
  EXPECT_FALSE(im.FillEllipse(10, 10, 0, 3, 0xFF, ELLIPSE_BOUNDS));
  EXPECT_FALSE(im.FillEllipse(10, 10, 3, 0, 0xFF, ELLIPSE_BOUNDS));
  std::vector<Pixel> calls;
  g_calls = &calls;
  EXPECT_FALSE(im.FillEllipseShader(10, 10, 3, 3, 0, RecordingShader, Anchors(3, 3)));
  g_calls = nullptr;
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(PixelBytes(im), before);
}

TEST(FillEllipse, ClipsAtEveryEdgeLikeTheSameShapeInALargerImage) {
  const int W = 30, H = 20, off = 40;
  const std::pair<int, int> centres[] = {{0, 10}, {29, 10}, {15, 0}, {15, 19}, {-5, -3}, {33, 22}};
  for (auto [cx, cy] : centres) {
    for (DWORD flags : {0u, ELLIPSE_BOUNDS}) {
      CGraphicsImage small = Blank(W, H), big = Blank(W + 2 * off, H + 2 * off);
      small.FillEllipse(cx, cy, 12, 7, 0xFF, flags);
      big.FillEllipse(cx + off, cy + off, 12, 7, 0xFF, flags);
      for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
          ASSERT_EQ(At(small, x, y), At(big, x + off, y + off)) << cx << "," << cy << " @" << x << "," << y;
    }
  }
}

TEST(FillEllipse, HugeRadiiFinishAndCoverTheImage) {
  for (int r : {INT_MAX, INT_MIN}) {
    for (DWORD flags : {0u, ELLIPSE_BOUNDS}) {
      CGraphicsImage im = Blank(16, 16);
      ASSERT_TRUE(im.FillEllipse(8, 8, r, r, 0xFF, flags));
      EXPECT_EQ(SetPixels(im).size(), 256u) << r << " " << flags;
    }
  }
  CGraphicsImage im = Blank(16, 16);
  EXPECT_TRUE(im.FillEllipse(INT_MAX, INT_MIN, INT_MAX, INT_MAX, 0xFF, 0));
  EXPECT_TRUE(im.FillEllipse(INT_MIN, INT_MAX, INT_MIN, INT_MIN, 0xFF, Anchors(1, 1)));
}

TEST(FillEllipseShader, VisitsExactlyThePixelsOfThePlainFillOnce) {
  for (DWORD flags : {0u, ELLIPSE_BOUNDS, Anchors(1, 2)}) {
    CGraphicsImage im = Blank(40, 30);
    ASSERT_TRUE(im.FillEllipse(18, 12, 15, 9, 0xFF, flags));
    std::vector<Pixel> calls;
    g_calls = &calls;
    ASSERT_TRUE(im.FillEllipseShader(18, 12, 15, 9, 0, RecordingShader, flags));
    g_calls = nullptr;
    std::set<Pixel> once(calls.begin(), calls.end());
    EXPECT_EQ(once.size(), calls.size());
    EXPECT_EQ(once, SetPixels(im));
  }
}

TEST(FillEllipseSmooth, CoversTheTrueAreaAndAgreesWithThePlainFillInside) {
  for (auto [rx, ry] : {std::pair{10, 10}, std::pair{25, 9}, std::pair{6, 30}}) {
    CGraphicsImage smooth = Blank(80, 80), plain = Blank(80, 80);
    ASSERT_TRUE(smooth.FillEllipseSmooth(40, 40, rx, ry, 0xFFFFFF, 0));
    ASSERT_TRUE(plain.FillEllipse(40, 40, rx, ry, 0xFFFFFF, 0));
    double ink = 0;
    for (int y = 0; y < 80; ++y)
      for (int x = 0; x < 80; ++x) ink += (At(smooth, x, y) & 0xFF) / 255.0;
    double area = kPiArea * (rx + 0.5) * (ry + 0.5);
    EXPECT_NEAR(ink, area, 0.03 * area) << rx << "," << ry;
    // Rows keep their extent: the centre row is full width.
    EXPECT_EQ(At(smooth, 40 - rx, 40), 0xFFFFFFu);
    EXPECT_EQ(At(smooth, 40 + rx, 40), 0xFFFFFFu);
    EXPECT_EQ(At(smooth, 40 + rx + 1, 40), 0u);
  }
}

TEST(FillEllipseSmooth, IsThePlainFillOnPaletteImagesAndClipsHugeShapes) {
  CGraphicsImage a, b;
  ASSERT_TRUE(a.Create(8, 40, 40, 0, nullptr));
  ASSERT_TRUE(b.Create(8, 40, 40, 0, nullptr));
  a.FillEllipse(20, 20, 12, 7, 3, 0);
  b.FillEllipseSmooth(20, 20, 12, 7, 3, ELLIPSE_SMOOTH);
  EXPECT_EQ(PixelBytes(a), PixelBytes(b));
  CGraphicsImage im = Blank(16, 16);
  EXPECT_TRUE(im.FillEllipseSmooth(8, 8, INT_MAX, INT_MAX, 0xFF, 0));
  EXPECT_EQ(SetPixels(im).size(), 256u);
  EXPECT_TRUE(im.FillEllipseSmooth(INT_MIN, INT_MAX, INT_MIN, INT_MIN, 0xFF, ELLIPSE_BOUNDS));
  EXPECT_FALSE(im.FillEllipseSmooth(8, 8, 3, 3, 0xFF, Anchors(3, 0)));
}

// Anchored at x = INT_MAX the left edge x + 1 - w needs 64 bits; the same
// ellipse anchored by its centre (which fits in int) is the oracle, and its
// rows reaching into the image must be drawn.
TEST(FillEllipse, RightAnchorsAtTheIntLimitDrawTheRowsInsideTheImage) {
  struct Case {
    int h, rx, ry;
    DWORD bounds;
    int centre;  // the centre column of the same ellipse
  };
  const int half = INT_MAX / 2;  // 2 * half + 1 == INT_MAX
  const Case cases[] = {
      {2, half, 6, 0, INT_MAX - half},            // left edge 1
      {1, -half, 6, 0, INT_MAX - half},           // negative rx anchors right for 1
      {2, half, half, 0, INT_MAX - half},         // tall: every row full
      {2, INT_MAX, 9, ELLIPSE_BOUNDS, half + 1},  // width INT_MAX, left 1
      {1, -INT_MAX, half, ELLIPSE_BOUNDS, half + 1},
  };
  using Fill = bool (*)(CGraphicsImage&, int, int, int, int, DWORD);
  const std::pair<const char*, Fill> fills[] = {
      {"plain", [](CGraphicsImage& im, int x, int rx, int ry, int y, DWORD f) {
         return im.FillEllipse(x, y, rx, ry, 0xFFFFFF, f);
       }},
      {"shader", [](CGraphicsImage& im, int x, int rx, int ry, int y, DWORD f) {
         return im.FillEllipseShader(x, y, rx, ry, 0xFFFFFF, ShadeWithArg, f);
       }},
      {"smooth", [](CGraphicsImage& im, int x, int rx, int ry, int y, DWORD f) {
         return im.FillEllipseSmooth(x, y, rx, ry, 0xFFFFFF, f);
       }},
  };
  for (const Case& c : cases) {
    for (auto [name, fill] : fills) {
      SCOPED_TRACE(testing::Message()
                   << name << " anchor " << c.h << " rx " << c.rx << " ry " << c.ry);
      CGraphicsImage anchored = Blank(16, 16), centred = Blank(16, 16);
      ASSERT_TRUE(fill(anchored, INT_MAX, c.rx, c.ry, 8, c.bounds | Anchors(c.h, 0)));
      ASSERT_TRUE(fill(centred, c.centre, c.rx, c.ry, 8, c.bounds));
      EXPECT_EQ(PixelBytes(anchored), PixelBytes(centred));
      const std::set<Pixel> ink = SetPixels(anchored);
      EXPECT_TRUE(ink.count({1, 8}) == 1 && ink.count({15, 8}) == 1 && ink.count({0, 8}) == 0);
    }
  }
}
