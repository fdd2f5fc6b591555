#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <map>
#include <random>
#include <vector>

#include "graphics/image.h"
#include "test_images.h"

namespace {

struct Shade {
  int x, y;
  bool operator==(const Shade& o) const { return x == o.x && y == o.y; }
};
std::vector<Shade>* g_shades = nullptr;
void RecordShade(CGraphicsImage* im, BYTE* row, int x, int y, DWORD) {
  ASSERT_TRUE(x >= 0 && y >= 0 && x < im->width && y < im->height) << x << "," << y;
  ASSERT_EQ(row, im->Row(y));
  g_shades->push_back({x, y});
}

void SetShade(CGraphicsImage* im, BYTE* row, int x, int, DWORD colour) { im->PixelSetFunc(row, x, colour); }

// Every point of the three edges, each walked by Bresenham from its upper
// end, gathered per row as min..max; rows top to bottom, clamped to the image.
std::vector<Shade> NaiveTriangle(const int p[6], int width, int height) {
  std::map<int64_t, std::pair<int64_t, int64_t>> rows;
  auto edge = [&](int a, int b) {
    int64_t x1 = p[2 * a], y1 = p[2 * a + 1], x2 = p[2 * b], y2 = p[2 * b + 1];
    if (y2 < y1) { std::swap(x1, x2); std::swap(y1, y2); }
    int64_t dx = std::llabs(x2 - x1), dy = y2 - y1;
    bool xMajor = !(dx < dy);
    int64_t dmaj = xMajor ? dx : dy, dmin = xMajor ? dy : dx, d = dmaj - dmin, e = (d + 1) / 2;
    int sx = x2 < x1 ? -1 : 1;
    int64_t x = x1, y = y1;
    for (int64_t i = 0; i <= dmaj; ++i) {
      if (y >= 0 && y < height) {
        auto it = rows.find(y);
        if (it == rows.end()) rows[y] = {x, x};
        else it->second = {std::min(it->second.first, x), std::max(it->second.second, x)};
      }
      bool minor = e < 1;
      if (minor) e += d; else e -= dmin;
      if (xMajor) { x += sx; if (minor) ++y; } else { ++y; if (minor) x += sx; }
    }
  };
  edge(0, 1);
  edge(1, 2);
  edge(2, 0);
  std::vector<Shade> out;
  for (auto& [y, span] : rows) {
    if (y < 0 || y >= height) continue;
    for (int64_t x = std::max<int64_t>(span.first, 0); x <= std::min<int64_t>(span.second, width - 1); ++x)
      out.push_back({static_cast<int>(x), static_cast<int>(y)});
  }
  return out;
}

bool Bounds(const int p[6], int width, int height) {
  int ymin = std::min({p[1], p[3], p[5]}), ymax = std::max({p[1], p[3], p[5]});
  int xmin = std::min({p[0], p[2], p[4]}), xmax = std::max({p[0], p[2], p[4]});
  return !(ymin >= height || ymax < 0 || xmin >= width || xmax < 0);
}

}  // namespace

TEST(FillTriangle, ShadesTheRowsBetweenTheOutermostEdgePoints) {
  std::mt19937 rng(11);
  const int W = 37, H = 29;
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(32, W, H, 0, nullptr));
  for (int trial = 0; trial < 20000; ++trial) {
    int p[6];
    int span = trial % 10 == 9 ? 3000 : 60;
    for (int i = 0; i < 6; ++i) p[i] = static_cast<int>(rng() % (2 * span + 1)) - span + (i % 2 ? H : W) / 2;
    switch (trial % 8) {
      case 0: p[3] = p[1]; break;                       // flat top or bottom
      case 1: p[2] = p[0]; p[3] = p[1]; break;          // two vertices equal
      case 2: for (int i = 2; i < 6; ++i) p[i] = p[i % 2]; break;  // one pixel
      case 3: p[4] = p[0] + (p[2] - p[0]) * 2; p[5] = p[1] + (p[3] - p[1]) * 2; break;  // collinear
      default: break;
    }
    std::vector<Shade> got;
    g_shades = &got;
    bool result = im.FillTriangle(p, 0, RecordShade);
    g_shades = nullptr;
    ASSERT_EQ(result, Bounds(p, W, H));
    ASSERT_EQ(got, NaiveTriangle(p, W, H)) << p[0] << "," << p[1] << " " << p[2] << "," << p[3] << " " << p[4] << "," << p[5];
  }
}

TEST(FillTriangle, OnePointTriangleShadesOnePixel) {
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(8, 10, 10, 0, nullptr));
  std::vector<Shade> got;
  g_shades = &got;
  const int p[6] = {4, 6, 4, 6, 4, 6};
  EXPECT_TRUE(im.FillTriangle(p, 0, RecordShade));
  g_shades = nullptr;
  EXPECT_EQ(got, (std::vector<Shade>{{4, 6}}));
}

TEST(FillTriangle, TrianglesSharingAnEdgeLeaveNoHole) {
  std::mt19937 rng(12);
  for (int trial = 0; trial < 500; ++trial) {
    CGraphicsImage im;
    ASSERT_TRUE(im.Create(8, 50, 50, 0, nullptr));
    // A convex quad a b c d split along a-c.
    int cx = 25, cy = 25;
    int r[4];
    for (int& v : r) v = 5 + static_cast<int>(rng() % 20);
    int a[2] = {cx - r[0], cy}, b[2] = {cx, cy - r[1]}, c[2] = {cx + r[2], cy}, d[2] = {cx, cy + r[3]};
    const int t1[6] = {a[0], a[1], b[0], b[1], c[0], c[1]};
    const int t2[6] = {c[0], c[1], d[0], d[1], a[0], a[1]};
    ASSERT_TRUE(im.FillTriangleColor(t1, 1));
    ASSERT_TRUE(im.FillTriangleColor(t2, 2));
    for (int y = 0; y < 50; ++y) {
      int first = -1, last = -1, painted = 0;
      for (int x = 0; x < 50; ++x)
        if (im.PixelGetFunc(im.Row(y), x)) {
          if (first < 0) first = x;
          last = x;
          ++painted;
        }
      if (first >= 0) {
        ASSERT_EQ(painted, last - first + 1) << "row " << y;
      }
    }
  }
}

TEST(FillTriangle, FarVerticesShadeOnlyTheImageAndEveryPixelOnce) {
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(32, 40, 30, 0, nullptr));
  const int cover[][6] = {
      {-1000000000, -1000000000, 1000000000, 0, -1000000000, 1000000000},
      {INT_MIN, INT_MIN, INT_MAX, INT_MIN + 7, 20, INT_MAX},
      {INT_MAX, INT_MAX, INT_MIN, INT_MAX, 0, INT_MIN},
  };
  for (const auto& p : cover) {
    std::vector<Shade> got;
    g_shades = &got;
    EXPECT_TRUE(im.FillTriangle(p, 0, RecordShade));
    g_shades = nullptr;
    std::vector<int> seen(40 * 30, 0);
    for (const Shade& s : got) ++seen[s.y * 40 + s.x];
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), 40 * 30);
  }
  // A sliver far off the image touches nothing and costs nothing.
  const int off[6] = {INT_MIN, -5, INT_MAX, 40, INT_MAX, 41};
  std::vector<Shade> got;
  g_shades = &got;
  im.FillTriangle(off, 0, RecordShade);
  g_shades = nullptr;
  // Large coordinates against the reference where the walk is still short.
  std::mt19937 rng(13);
  for (int trial = 0; trial < 150; ++trial) {
    int p[6];
    for (int& v : p) v = static_cast<int>(rng() % 100001) - 50000;
    std::vector<Shade> shades;
    g_shades = &shades;
    im.FillTriangle(p, 0, RecordShade);
    g_shades = nullptr;
    ASSERT_EQ(shades, NaiveTriangle(p, 40, 30));
  }
}

TEST(FillTriangleColor, WritesWhatTheShaderWritesInEveryFormat) {
  std::mt19937 rng(14);
  for (int bpp : kAllFormats) {
    for (int trial = 0; trial < 200; ++trial) {
      int w = 1 + static_cast<int>(rng() % 40), h = 1 + static_cast<int>(rng() % 20);
      CGraphicsImage a, b;
      ASSERT_TRUE(a.Create(bpp, w, h, IMAGE_NO_FILL, nullptr));
      Randomise(a, rng);
      ASSERT_TRUE(b.Copy(a));
      int p[6];
      for (int i = 0; i < 6; ++i) p[i] = static_cast<int>(rng() % 80) - 20;
      DWORD colour = static_cast<DWORD>(rng());
      ASSERT_EQ(a.FillTriangleColor(p, colour), b.FillTriangle(p, colour, SetShade));
      ASSERT_EQ(PixelBytes(a), PixelBytes(b)) << bpp;
    }
  }
}
