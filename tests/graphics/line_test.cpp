#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <random>
#include <tuple>
#include <vector>

#include "graphics/image.h"
#include "graphics/pen.h"
#include "test_images.h"

namespace {

struct Call {
  int x, y;
  bool operator==(const Call& o) const { return x == o.x && y == o.y; }
};
std::vector<Call>* g_calls = nullptr;
void RecordingPen(CGraphicsImage*, int x, int y, DWORD) { g_calls->push_back({x, y}); }
void RecordingShader(CGraphicsImage* im, BYTE* row, int x, int y, DWORD) {
  EXPECT_EQ(row, im->Row(y));
  g_calls->push_back({x, y});
}

struct Recorder {
  std::vector<Call> calls;
  Recorder() { g_calls = &calls; }
  ~Recorder() { g_calls = nullptr; }
};

// The unclipped walk as the algorithm states it: every position from the
// start, the minor coordinate stepping after a position whose error is < 1.
std::vector<Call> NaiveWalk(int64_t x1, int64_t y1, int64_t x2, int64_t y2, bool drawLast) {
  int64_t dx = std::llabs(x2 - x1), dy = std::llabs(y2 - y1);
  bool xMajor = !(dx < dy);
  int64_t dmaj = xMajor ? dx : dy, dmin = xMajor ? dy : dx;
  int sx = x2 < x1 ? -1 : 1, sy = y2 < y1 ? -1 : 1;
  int64_t d = dmaj - dmin, e = (d + 1) / 2, x = x1, y = y1;
  std::vector<Call> out;
  for (int64_t i = 0; i < dmaj + (drawLast ? 1 : 0); ++i) {
    out.push_back({static_cast<int>(x), static_cast<int>(y)});
    bool minor = e < 1;
    if (minor) e += d; else e -= dmin;
    if (xMajor) { x += sx; if (minor) y += sy; } else { y += sy; if (minor) x += sx; }
  }
  return out;
}

// Position along the direction of travel, measured from the entry edge.
int64_t Along(const Call& c, bool xMajor, int step, int limit) {
  int64_t m = xMajor ? c.x : c.y;
  return step > 0 ? m : limit - m;
}

struct Expected {
  bool result;
  std::vector<Call> calls;
};

// What a clipped walk must produce: the naive walk filtered to positions
// [-runIn, limit] along the major axis, false when the line lies beyond one
// minor edge, ends before the run-in position or starts past the far edge.
Expected ExpectedWalk(int x1, int y1, int x2, int y2, int w, int h, bool drawLast, int runIn) {
  int64_t dx = std::llabs(int64_t{x2} - x1), dy = std::llabs(int64_t{y2} - y1);
  bool xMajor = !(dx < dy);
  int limit = (xMajor ? w : h) - 1, minorLimit = (xMajor ? h : w) - 1;
  int n1 = xMajor ? y1 : x1, n2 = xMajor ? y2 : x2;
  int step = (xMajor ? x2 < x1 : y2 < y1) ? -1 : 1;
  if ((n1 > minorLimit && n2 > minorLimit) || (n1 < 0 && n2 < 0)) return {false, {}};
  int64_t pStart = Along({x1, y1}, xMajor, step, limit), pEnd = Along({x2, y2}, xMajor, step, limit);
  if (pStart > limit || pEnd < -runIn) return {false, {}};
  Expected e{true, {}};
  for (const Call& c : NaiveWalk(x1, y1, x2, y2, drawLast)) {
    int64_t p = Along(c, xMajor, step, limit);
    if (p >= -runIn && p <= limit) e.calls.push_back(c);
  }
  return e;
}

int RandomCoord(std::mt19937& rng, int span) {
  return static_cast<int>(rng() % (2 * static_cast<unsigned>(span) + 1)) - span;
}

}  // namespace

TEST(DrawLine, PenCallsEqualTheNaiveWalkInsideTheMajorWindow) {
  std::mt19937 rng(1);
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(32, 23, 17, 0, nullptr));
  for (int trial = 0; trial < 6000; ++trial) {
    int span = trial < 5700 ? 40 : 100000;
    int x1 = RandomCoord(rng, span), y1 = RandomCoord(rng, span);
    int x2 = RandomCoord(rng, span), y2 = RandomCoord(rng, span);
    if (trial % 7 == 0) y2 = y1;
    if (trial % 11 == 0) x2 = x1;
    bool drawLast = trial & 1;
    Expected want = ExpectedWalk(x1, y1, x2, y2, 23, 17, drawLast, 2);
    Recorder rec;
    bool got = im.DrawLine(x1, y1, x2, y2, 0, RecordingPen, drawLast);
    ASSERT_EQ(got, want.result) << x1 << "," << y1 << " " << x2 << "," << y2 << " " << drawLast;
    ASSERT_EQ(rec.calls, want.calls) << x1 << "," << y1 << " " << x2 << "," << y2 << " " << drawLast;
  }
}

TEST(DrawLine, ShaderLineShadesOnlyThePixelsOfTheWalkInsideTheImage) {
  std::mt19937 rng(2);
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(8, 19, 13, 0, nullptr));
  for (int trial = 0; trial < 4000; ++trial) {
    int span = trial < 3800 ? 30 : 100000;
    int x1 = RandomCoord(rng, span), y1 = RandomCoord(rng, span);
    int x2 = RandomCoord(rng, span), y2 = RandomCoord(rng, span);
    bool drawLast = trial & 1;
    Expected want = ExpectedWalk(x1, y1, x2, y2, 19, 13, drawLast, 2);
    std::erase_if(want.calls, [](const Call& c) { return c.x < 0 || c.y < 0 || c.x >= 19 || c.y >= 13; });
    Recorder rec;
    ASSERT_EQ(im.DrawShaderLine(x1, y1, x2, y2, 0, RecordingShader, drawLast), want.result);
    ASSERT_EQ(rec.calls, want.calls) << x1 << "," << y1 << " " << x2 << "," << y2;
  }
}

TEST(DrawPlainLine, StoresTheWalkWithBothEndsInsideTheImageOnly) {
  std::mt19937 rng(3);
  for (int bpp : {1, 4, 8, 16, 32}) {
    for (int trial = 0; trial < 600; ++trial) {
      CGraphicsImage im, ref;
      ASSERT_TRUE(im.Create(bpp, 21, 14, 0, nullptr));
      ASSERT_TRUE(ref.Create(bpp, 21, 14, 0, nullptr));
      int span = trial < 550 ? 30 : 100000;
      int x1 = RandomCoord(rng, span), y1 = RandomCoord(rng, span);
      int x2 = RandomCoord(rng, span), y2 = RandomCoord(rng, span);
      Expected want = ExpectedWalk(x1, y1, x2, y2, 21, 14, true, 0);
      for (const Call& c : want.calls)
        if (c.x >= 0 && c.y >= 0 && c.x < 21 && c.y < 14) ref.PixelSetFunc(ref.Row(c.y), c.x, 0xFFFFFFFF);
      ASSERT_EQ(im.DrawPlainLine(x1, y1, x2, y2, 0xFFFFFFFF), want.result);
      ASSERT_EQ(PixelBytes(im), PixelBytes(ref)) << bpp << ": " << x1 << "," << y1 << " " << x2 << "," << y2;
    }
  }
}

// Near the int limits a walk is far too long to run; its position j steps
// from the start is floor((d - e0 + j * dminor) / dmajor) minor steps away,
// which the small cases check against the naive walk first.
TEST(DrawLine, EndPointsNearTheIntLimitsCostOnlyTheVisiblePart) {
  auto closedForm = [](int64_t x1, int64_t y1, int64_t x2, int64_t y2, int64_t j) {
    int64_t dx = std::llabs(x2 - x1), dy = std::llabs(y2 - y1);
    bool xMajor = !(dx < dy);
    __int128 dmaj = xMajor ? dx : dy, dmin = xMajor ? dy : dx, d = dmaj - dmin, e0 = (d + 1) / 2;
    int64_t s = static_cast<int64_t>((d - e0 + j * dmin) / dmaj);
    int sx = x2 < x1 ? -1 : 1, sy = y2 < y1 ? -1 : 1;
    return xMajor ? Call{static_cast<int>(x1 + j * sx), static_cast<int>(y1 + s * sy)}
                  : Call{static_cast<int>(x1 + s * sx), static_cast<int>(y1 + j * sy)};
  };
  std::mt19937 rng(4);
  for (int trial = 0; trial < 2000; ++trial) {
    int x1 = RandomCoord(rng, 50), y1 = RandomCoord(rng, 50), x2 = RandomCoord(rng, 50), y2 = RandomCoord(rng, 50);
    std::vector<Call> walk = NaiveWalk(x1, y1, x2, y2, true);
    for (size_t j = 0; j < walk.size(); ++j) ASSERT_EQ(walk[j], closedForm(x1, y1, x2, y2, static_cast<int64_t>(j)));
  }
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(32, 40, 30, 0, nullptr));
  const int big[] = {INT_MIN, INT_MIN + 1, -1000000000, 999999937, INT_MAX - 1, INT_MAX};
  const int near[] = {-3, 0, 7, 29, 39, 42};
  for (int a : big)
    for (int b : big)
      for (int c : near)
        for (int variant = 0; variant < 4; ++variant) {
          int x1 = a, y1 = variant & 1 ? c : b, x2 = variant & 2 ? c : b, y2 = a;
          Recorder rec;
          im.DrawLine(x1, y1, x2, y2, 0, RecordingPen, true);
          ASSERT_LE(rec.calls.size(), 43u);
          int64_t dx = std::llabs(int64_t{x2} - x1), dy = std::llabs(int64_t{y2} - y1);
          bool xMajor = !(dx < dy);
          int step = (xMajor ? x2 < x1 : y2 < y1) ? -1 : 1;
          for (const Call& call : rec.calls) {
            int64_t j = std::llabs(int64_t{xMajor ? call.x : call.y} - (xMajor ? x1 : y1));
            ASSERT_EQ(call, closedForm(x1, y1, x2, y2, j)) << x1 << "," << y1 << " " << x2 << "," << y2;
            int64_t p = Along(call, xMajor, step, (xMajor ? 40 : 30) - 1);
            ASSERT_GE(p, -2);
          }
        }
}

TEST(DrawLine, DocumentedEdgeCases) {
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(32, 20, 20, 0, nullptr));
  {
    Recorder rec;
    EXPECT_TRUE(im.DrawLine(0, 0, 0, 0, 0, RecordingPen, false));
    EXPECT_TRUE(rec.calls.empty());
    EXPECT_TRUE(im.DrawLine(0, 0, 0, 0, 0, RecordingPen, true));
    EXPECT_EQ(rec.calls, (std::vector<Call>{{0, 0}}));
  }
  {
    Recorder rec;
    EXPECT_TRUE(im.DrawLine(-100, 5, 10, 5, 0, RecordingPen, false));
    ASSERT_EQ(rec.calls.size(), 12u);
    EXPECT_EQ(rec.calls.front(), (Call{-2, 5}));
    EXPECT_EQ(rec.calls.back(), (Call{9, 5}));
  }
  Recorder rec;
  EXPECT_FALSE(im.DrawLine(30, 5, 40, 5, 0, RecordingPen, true));
  // Ending before the run-in position: false either way round.
  EXPECT_FALSE(im.DrawLine(-100, 5, -50, 5, 0, RecordingPen, true));
  EXPECT_FALSE(im.DrawLine(-50, 5, -100, 5, 0, RecordingPen, true));
  EXPECT_FALSE(im.DrawPlainLine(-100, 5, -50, 5, 0));
  EXPECT_FALSE(im.DrawShaderLine(-100, 5, -50, 5, 0, RecordingShader, true));
  EXPECT_TRUE(rec.calls.empty());
}

TEST(DrawLine, SoftPenOnPaletteImagesIsThePlainPen) {
  for (int bpp : {1, 2, 4, 8}) {
    CGraphicsImage a, b;
    ASSERT_TRUE(a.Create(bpp, 30, 20, 0, nullptr));
    ASSERT_TRUE(b.Create(bpp, 30, 20, 0, nullptr));
    a.DrawLine(-5, 3, 40, 17, 1, PixelWriterSoft, true);
    b.DrawLine(-5, 3, 40, 17, 1, PixelWriterPlain, true);
    EXPECT_EQ(PixelBytes(a), PixelBytes(b)) << bpp;
  }
}

TEST(DrawRectPen, TouchesEveryBorderPixelExactlyOnce) {
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(32, 30, 25, 0, nullptr));
  struct Case { int x, y, w, h; };
  const Case cases[] = {{5, 5, 1, 1},   {5, 5, 1, 7},    {5, 5, 9, 1},    {5, 5, 2, 2},
                        {3, 4, 10, 6},  {12, 10, -10, -6}, {-5, -5, 12, 40}, {29, 24, 1, 1},
                        {0, 0, 30, 25}, {28, 20, -1, -4}, {-5, 3, INT_MAX, 5}, {5, 20, INT_MIN, 3}, {20, -1000000, 5, 2000000}};
  for (const Case& c : cases) {
    Recorder rec;
    ASSERT_TRUE(im.DrawRectPen(c.x, c.y, c.w, c.h, 0, RecordingPen));
    int64_t x0 = c.w < 0 ? int64_t{c.x} + c.w + 1 : c.x, y0 = c.h < 0 ? int64_t{c.y} + c.h + 1 : c.y;
    int64_t x1 = x0 + std::llabs(c.w) - 1, y1 = y0 + std::llabs(c.h) - 1;
    std::vector<int> count(30 * 25, 0);
    for (const Call& call : rec.calls)
      if (call.x >= 0 && call.y >= 0 && call.x < 30 && call.y < 25) ++count[call.y * 30 + call.x];
    for (int y = 0; y < 25; ++y)
      for (int x = 0; x < 30; ++x) {
        bool inside = x >= x0 && x <= x1 && y >= y0 && y <= y1;
        bool border = inside && (x == x0 || x == x1 || y == y0 || y == y1);
        ASSERT_EQ(count[y * 30 + x], border ? 1 : 0) << c.x << "," << c.y << " " << c.w << "x" << c.h << " at " << x << "," << y;
      }
  }
  EXPECT_FALSE(im.DrawRectPen(30, 0, 5, 5, 0, RecordingPen));
  EXPECT_FALSE(im.DrawRectPen(-5, 0, 5, 5, 0, RecordingPen));
  EXPECT_FALSE(im.DrawRectPen(0, 0, 0, 5, 0, RecordingPen));
}

TEST(DrawRectOutline, StoresTheClippedBorder) {
  for (int bpp : kAllFormats) {
    CGraphicsImage im, ref;
    ASSERT_TRUE(im.Create(bpp, 17, 12, 0, nullptr));
    ASSERT_TRUE(ref.Create(bpp, 17, 12, 0, nullptr));
    EXPECT_TRUE(im.DrawRectOutline(14, 2, -20, 7, 0xFFFFFF));
    for (int y = 2; y <= 8; ++y)
      for (int x = 0; x <= 14; ++x)
        if (y == 2 || y == 8 || x == 14) ref.PixelSetFunc(ref.Row(y), x, 0xFFFFFF);
    EXPECT_EQ(PixelBytes(im), PixelBytes(ref)) << bpp;
    EXPECT_FALSE(im.DrawRectOutline(0, 0, 0, 5, 1));
    EXPECT_FALSE(im.DrawRectOutline(17, 0, 3, 5, 1));
    EXPECT_FALSE(im.DrawRectOutline(-1, -1, -3, 5, 1));
  }
}

TEST(DrawSmoothLine, TheTwoWeightsOfEveryStepAddUpToTheColour) {
  std::mt19937 rng(5);
  for (int trial = 0; trial < 300; ++trial) {
    CGraphicsImage im;
    ASSERT_TRUE(im.Create(32, 64, 64, 0, nullptr));
    int x1 = 2 + static_cast<int>(rng() % 60), y1 = 2 + static_cast<int>(rng() % 60);
    int x2 = 2 + static_cast<int>(rng() % 60), y2 = 2 + static_cast<int>(rng() % 60);
    int64_t dx = std::abs(x2 - x1), dy = std::abs(y2 - y1);
    if (dx == 0 || dy == 0 || dx == dy) continue;
    ASSERT_TRUE(im.DrawSmoothLine(x1, y1, x2, y2, 0xFFFFFF, true));
    // Along the major axis each position covers its line pixel and the
    // neighbour one minor step on: blue a * 255 / 256 and (256 - a) * 255 / 256.
    bool xMajor = dx > dy;
    int steps = static_cast<int>(xMajor ? dx : dy);
    for (int j = 0; j <= steps; ++j) {
      int m = (xMajor ? x1 : y1) + j * ((xMajor ? x2 < x1 : y2 < y1) ? -1 : 1);
      int sum = 0;
      for (int k = 0; k < 64; ++k) {
        DWORD v = xMajor ? im.PixelGetFunc(im.Row(k), m) : im.PixelGetFunc(im.Row(m), k);
        sum += static_cast<int>(v & 255);
      }
      ASSERT_GE(sum, 254) << trial << " j=" << j;
      ASSERT_LE(sum, 255) << trial << " j=" << j;
    }
  }
}

TEST(DrawSmoothLine, LinesAlongAndAcrossTheEdgesStayInside) {
  const int w = 13, h = 9;
  const int xs[] = {INT_MIN, -40, -2, -1, 0, 1, w - 2, w - 1, w, w + 1, 50, INT_MAX};
  const int ys[] = {INT_MIN, -30, -2, -1, 0, 1, h - 2, h - 1, h, h + 1, 33, INT_MAX};
  for (int bpp : {12, 15, 16, 24, 32}) {
    CGraphicsImage im;
    ASSERT_TRUE(im.Create(bpp, w, h, 0x123456, nullptr));
    for (int x1 : xs)
      for (int y1 : ys)
        for (int x2 : xs)
          for (int y2 : ys) {
            im.DrawSmoothLine(x1, y1, x2, y2, 0xFFFFFF, true);
            im.DrawSmoothLine(x1, y1, x2, y2, 0xFFFFFF, false);
          }
  }
}

TEST(DrawSmoothLine, DiagonalsPaintTheSamePixelsBothWays) {
  for (int bpp : {16, 24, 32}) {
    for (auto [x1, y1, len, sx, sy] : std::vector<std::tuple<int, int, int, int, int>>{
             {2, 3, 9, 1, 1}, {-4, 12, 20, 1, -1}, {18, 2, 7, -1, 1}, {10, 10, 30, -1, -1}, {0, 0, 1, 1, 1}}) {
      CGraphicsImage a, b;
      ASSERT_TRUE(a.Create(bpp, 20, 15, 0x404040, nullptr));
      ASSERT_TRUE(b.Create(bpp, 20, 15, 0x404040, nullptr));
      int x2 = x1 + len * sx, y2 = y1 + len * sy;
      a.DrawSmoothLine(x1, y1, x2, y2, 0xC0E0FF, true);
      b.DrawSmoothLine(x2, y2, x1, y1, 0xC0E0FF, true);
      EXPECT_EQ(PixelBytes(a), PixelBytes(b)) << bpp << " " << x1 << "," << y1;
    }
  }
  // On a black image with white: the diagonal white, one pixel beside each
  // step blended to an eighth (255 / 8 = 31) in both directions.
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(24, 6, 6, 0, nullptr));
  im.DrawSmoothLine(1, 1, 3, 3, 0xFFFFFF, true);
  const char* expect[6] = {"......", ".Wb...", ".bWb..", "..bW..", "......", "......"};
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) {
      DWORD v = im.PixelGetFunc(im.Row(y), x);
      DWORD want = expect[y][x] == 'W' ? 0xFFFFFF : expect[y][x] == 'b' ? 0x1F1F1F : 0;
      EXPECT_EQ(v, want) << x << "," << y;
    }
}

TEST(DrawSmoothLine, LowDepthsAndStraightLinesArePlain) {
  CGraphicsImage a, b;
  ASSERT_TRUE(a.Create(4, 20, 20, 0, nullptr));
  ASSERT_TRUE(b.Create(4, 20, 20, 0, nullptr));
  a.DrawSmoothLine(1, 2, 17, 9, 5, false);
  b.DrawPlainLine(1, 2, 17, 9, 5);
  EXPECT_EQ(PixelBytes(a), PixelBytes(b));
  ASSERT_TRUE(a.Create(32, 20, 20, 0, nullptr));
  ASSERT_TRUE(b.Create(32, 20, 20, 0, nullptr));
  a.DrawSmoothLine(3, 2, 3, 19, 0xFF, false);
  a.DrawSmoothLine(0, 7, 18, 7, 0xFF, false);
  b.DrawPlainLine(3, 2, 3, 19, 0xFF);
  b.DrawPlainLine(0, 7, 18, 7, 0xFF);
  EXPECT_EQ(PixelBytes(a), PixelBytes(b));
}

TEST(DrawSmoothLine, WeightsRunFromZeroTo256) {
  // dmajor 4, dminor 3: e starts at (1 + 1) / 2 = 1, so the first position
  // has coverage (1 + 3) / 4: weight 256, the line pixel fully coloured and
  // its neighbour untouched.
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(32, 8, 8, 0, nullptr));
  ASSERT_TRUE(im.DrawSmoothLine(1, 1, 5, 4, 0xFFFFFF, true));
  EXPECT_EQ(im.PixelGetFunc(im.Row(1), 1), 0xFFFFFFu);
  EXPECT_EQ(im.PixelGetFunc(im.Row(2), 1), 0u);
  // Then e = 1 - 3 = -2 at x 2: weight (1 * 256) / 4 = 64 on the line pixel
  // (255 * 64 >> 8 = 63), 192 on its neighbour (255 * 192 >> 8 = 191).
  EXPECT_EQ(im.PixelGetFunc(im.Row(1), 2), 0x3F3F3Fu);
  EXPECT_EQ(im.PixelGetFunc(im.Row(2), 2), 0xBFBFBFu);
}
