#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <random>
#include <vector>

#include "graphics/image.h"
#include "test_images.h"

namespace {

using Rgb = std::array<int, 3>;  // red, green, blue

// Makes a true-colour image whose pixel (x, y) is colours[i] for the i-th
// pixel in row order; 32-bit pixels get a random fourth byte.
CGraphicsImage TrueColour(int bpp, int w, int h, const std::vector<Rgb>& colours) {
  CGraphicsImage img;
  EXPECT_TRUE(img.Create(bpp, w, h, 0, nullptr));
  const int step = bpp / 8;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const Rgb& c = colours[static_cast<size_t>(y) * w + x];
      BYTE* p = img.Row(y) + static_cast<int64_t>(x) * step;
      p[0] = static_cast<BYTE>(c[2]);
      p[1] = static_cast<BYTE>(c[1]);
      p[2] = static_cast<BYTE>(c[0]);
      if (step == 4) p[3] = static_cast<BYTE>(x * 37 + y);
    }
  }
  return img;
}

Rgb PaletteColour(const CGraphicsImage& img, int i) {
  return {img.palette[i].rgbRed, img.palette[i].rgbGreen, img.palette[i].rgbBlue};
}

std::vector<Rgb> RandomColours(std::mt19937& rng, size_t n, int distinct) {
  std::vector<Rgb> pool(static_cast<size_t>(distinct));
  for (Rgb& c : pool) c = {int(rng() & 255), int(rng() & 255), int(rng() & 255)};
  std::vector<Rgb> out(n);
  for (Rgb& c : out) c = pool[rng() % pool.size()];
  return out;
}

// Checks what any median-cut result must satisfy, from the source colours
// and the result alone: at most min(256, distinct) entries in use, one
// index per source colour, index groups whose bounding boxes do not
// overlap, each palette entry the rounded pixel-weighted mean of its group.
void ExpectBoxQuantisation(const std::vector<Rgb>& src, const CGraphicsImage& q, int w) {
  ASSERT_EQ(q.bpp, 8);
  std::map<Rgb, int> indexOf;
  struct Group {
    Rgb lo{255, 255, 255}, hi{0, 0, 0};
    std::array<uint64_t, 3> sum{};
    uint64_t n = 0;
  };
  std::map<int, Group> groups;
  for (size_t i = 0; i < src.size(); ++i) {
    const int idx = q.Row(static_cast<int>(i / w))[i % w];
    auto [it, fresh] = indexOf.emplace(src[i], idx);
    ASSERT_EQ(it->second, idx) << "one colour, two indices";
    Group& g = groups[idx];
    for (int a = 0; a < 3; ++a) {
      g.lo[a] = std::min(g.lo[a], src[i][a]);
      g.hi[a] = std::max(g.hi[a], src[i][a]);
      g.sum[a] += static_cast<uint64_t>(src[i][a]);
    }
    ++g.n;
  }
  EXPECT_LE(groups.size(), std::min<size_t>(256, indexOf.size()));
  const int maxIndex = groups.rbegin()->first;
  EXPECT_EQ(static_cast<size_t>(maxIndex) + 1, groups.size()) << "indices in use are 0..n-1";
  for (int i = maxIndex + 1; i < 256; ++i) EXPECT_EQ(PaletteColour(q, i), (Rgb{0, 0, 0})) << i;
  for (auto& [idx, g] : groups) {
    Rgb mean;
    for (int a = 0; a < 3; ++a) mean[a] = static_cast<int>((g.sum[a] + g.n / 2) / g.n);
    EXPECT_EQ(PaletteColour(q, idx), mean) << "entry " << idx;
  }
  for (auto a = groups.begin(); a != groups.end(); ++a) {
    for (auto b = std::next(a); b != groups.end(); ++b) {
      bool apart = false;
      for (int k = 0; k < 3; ++k) {
        apart = apart || a->second.hi[k] < b->second.lo[k] || b->second.hi[k] < a->second.lo[k];
      }
      EXPECT_TRUE(apart) << "boxes of " << a->first << " and " << b->first << " overlap";
    }
  }
}

TEST(Quantize, OneColourGivesOneEntryAndAllZeroPixels) {
  for (int bpp : {24, 32}) {
    CGraphicsImage src = TrueColour(bpp, 5, 3, std::vector<Rgb>(15, Rgb{200, 100, 7}));
    CGraphicsImage q;
    ASSERT_TRUE(q.Quantize(src));
    EXPECT_EQ(q.bpp, 8);
    EXPECT_EQ(q.width, 5);
    EXPECT_EQ(q.height, 3);
    EXPECT_EQ(PaletteColour(q, 0), (Rgb{200, 100, 7}));
    EXPECT_EQ(PaletteColour(q, 1), (Rgb{0, 0, 0}));
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x) EXPECT_EQ(q.Row(y)[x], 0);
    EXPECT_EQ(q.colourHistogram, nullptr);
    EXPECT_EQ(q.colourBoxes, nullptr);
  }
}

TEST(Quantize, TwoColoursDifferingInGreenSplitOnGreenSmallerFirst) {
  CGraphicsImage src = TrueColour(24, 2, 1, {Rgb{10, 200, 30}, Rgb{10, 5, 30}});
  CGraphicsImage q;
  ASSERT_TRUE(q.Quantize(src));
  EXPECT_EQ(PaletteColour(q, 0), (Rgb{10, 5, 30}));
  EXPECT_EQ(PaletteColour(q, 1), (Rgb{10, 200, 30}));
  EXPECT_EQ(PaletteColour(q, 2), (Rgb{0, 0, 0}));
  EXPECT_EQ(q.Row(0)[0], 1);
  EXPECT_EQ(q.Row(0)[1], 0);
}

TEST(Quantize, AtMost256ColoursComeOutExact) {
  std::mt19937 rng(7);
  for (int bpp : {24, 32}) {
    for (int distinct : {2, 3, 17, 100, 255, 256}) {
      const int w = 37, h = 29;
      std::vector<Rgb> colours = RandomColours(rng, size_t{w} * h, distinct);
      CGraphicsImage src = TrueColour(bpp, w, h, colours);
      CGraphicsImage q;
      ASSERT_TRUE(q.Quantize(src)) << bpp << " " << distinct;
      for (size_t i = 0; i < colours.size(); ++i) {
        ASSERT_EQ(PaletteColour(q, q.Row(static_cast<int>(i / w))[i % w]), colours[i])
            << "bpp " << bpp << " distinct " << distinct << " pixel " << i;
      }
      ExpectBoxQuantisation(colours, q, w);
    }
  }
}

TEST(Quantize, ManyColoursGiveDisjointBoxesShownByTheirMeans) {
  std::mt19937 rng(11);
  struct Case {
    int w, h;
    int distinct;
  } cases[] = {{64, 48, 257}, {64, 64, 4000}, {101, 7, 707}, {1, 300, 300}};
  for (const Case& c : cases) {
    std::vector<Rgb> colours = RandomColours(rng, size_t(c.w) * c.h, c.distinct);
    CGraphicsImage src = TrueColour(24, c.w, c.h, colours);
    CGraphicsImage q;
    ASSERT_TRUE(q.Quantize(src));
    ExpectBoxQuantisation(colours, q, c.w);
  }
  // A smooth gradient: many colours sharing each component value.
  std::vector<Rgb> ramp;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) ramp.push_back({x * 4, y * 4, (x + y) * 2});
  CGraphicsImage q;
  ASSERT_TRUE(q.Quantize(TrueColour(24, 64, 64, ramp)));
  ExpectBoxQuantisation(ramp, q, 64);
}

TEST(Quantize, PaletteSourcesKeepPaletteAndIndices) {
  std::mt19937 rng(3);
  for (int bpp : {1, 2, 4, 8}) {
    CGraphicsImage src;
    ASSERT_TRUE(src.Create(bpp, 13, 5, 0, nullptr));
    Randomise(src, rng);
    CGraphicsImage q;
    ASSERT_TRUE(q.Quantize(src)) << bpp;
    EXPECT_EQ(q.bpp, 8);
    for (int i = 0; i < (1 << bpp); ++i) EXPECT_EQ(PaletteColour(q, i), PaletteColour(src, i));
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 13; ++x) EXPECT_EQ(q.Row(y)[x], src.PixelGetFunc(src.Row(y), x)) << bpp;
  }
}

TEST(Quantize, HighColourSourcesMatchTheirTrueColourForm) {
  std::mt19937 rng(5);
  for (int bpp : {12, 15, 16}) {
    CGraphicsImage src;
    ASSERT_TRUE(src.Create(bpp, 19, 11, 0, nullptr));
    Randomise(src, rng);
    CGraphicsImage wide;
    ASSERT_TRUE(wide.ConvertFrom(src, 24));
    CGraphicsImage a, b;
    ASSERT_TRUE(a.Quantize(src));
    ASSERT_TRUE(b.Quantize(wide));
    EXPECT_EQ(PixelBytes(a), PixelBytes(b)) << bpp;
    for (int i = 0; i < 256; ++i) EXPECT_EQ(PaletteColour(a, i), PaletteColour(b, i)) << bpp;
  }
}

TEST(Quantize, SelfSourcedGivesTheSameResult) {
  std::mt19937 rng(9);
  for (int bpp : {4, 24, 32}) {
    CGraphicsImage img;
    ASSERT_TRUE(img.Create(bpp, 23, 17, 0, nullptr));
    Randomise(img, rng);
    CGraphicsImage expected;
    ASSERT_TRUE(expected.Quantize(img));
    ASSERT_TRUE(img.Quantize(img));
    EXPECT_EQ(img.bpp, 8);
    EXPECT_EQ(PixelBytes(img), PixelBytes(expected));
  }
}

struct ProgressLog {
  std::vector<std::array<DWORD, 3>> calls;  // percent, phase, phases
  DWORD abortPhase = 0;
};
ProgressLog* gLog = nullptr;

void LogProgress(CGraphicsImage*, DWORD, DWORD a, DWORD b, DWORD percent, BYTE* abort) {
  gLog->calls.push_back({percent, a, b});
  if (a == gLog->abortPhase && percent >= 50) *abort = 1;
}

TEST(Quantize, ReportsProgressInTwoPhasesEachEndingAt100) {
  ProgressLog log;
  gLog = &log;
  std::mt19937 rng(1);
  CGraphicsImage src = TrueColour(24, 8, 4, RandomColours(rng, 32, 300));
  src.SetProgressCallback(LogProgress, 0);
  CGraphicsImage q;
  ASSERT_TRUE(q.Quantize(src));
  const std::vector<std::array<DWORD, 3>> expected = {
      {0, 1, 2}, {25, 1, 2}, {50, 1, 2}, {75, 1, 2}, {100, 1, 2},
      {0, 2, 2}, {25, 2, 2}, {50, 2, 2}, {75, 2, 2}, {100, 2, 2}};
  EXPECT_EQ(log.calls, expected);
  gLog = nullptr;
}

TEST(Quantize, FailuresLeaveTheImageUntouched) {
  std::mt19937 rng(2);
  CGraphicsImage before;
  ASSERT_TRUE(before.Create(4, 6, 6, 0, nullptr));
  Randomise(before, rng);
  auto expectUntouched = [&](const CGraphicsImage& img) {
    EXPECT_EQ(img.bpp, 4);
    EXPECT_EQ(PixelBytes(img), PixelBytes(before));
    EXPECT_EQ(img.colourHistogram, nullptr);
    EXPECT_EQ(img.colourBoxes, nullptr);
  };
  // Empty sources.
  CGraphicsImage empty;
  CGraphicsImage zeroWide;
  zeroWide.Create(24, 0, 5, 0, nullptr);
  for (const CGraphicsImage* src : {&empty, &zeroWide}) {
    CGraphicsImage dst(before);
    EXPECT_FALSE(dst.Quantize(*src));
    expectUntouched(dst);
  }
  // Aborted by the user while the histogram is built and while mapping.
  for (DWORD phase : {1u, 2u}) {
    ProgressLog log;
    log.abortPhase = phase;
    gLog = &log;
    CGraphicsImage src = TrueColour(24, 4, 10, RandomColours(rng, 40, 40));
    src.SetProgressCallback(LogProgress, 0);
    CGraphicsImage dst(before);
    EXPECT_FALSE(dst.Quantize(src)) << phase;
    expectUntouched(dst);
    ASSERT_FALSE(log.calls.empty());
    EXPECT_EQ(log.calls.back()[1], phase);
    // Self-sourced abort keeps the source too.
    CGraphicsImage self = src;
    self.SetProgressCallback(LogProgress, 0);
    EXPECT_FALSE(self.Quantize(self));
    EXPECT_EQ(self.bpp, 24);
    EXPECT_EQ(PixelBytes(self), PixelBytes(src));
    gLog = nullptr;
  }
}

}  // namespace
