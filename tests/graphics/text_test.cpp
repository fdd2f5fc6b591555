#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graphics/image.h"
#include "graphics/pen.h"
#include "test_images.h"

namespace {

// A glyph drawn as text rows from the top, '#' ink and '.' background.
struct GlyphArt {
  std::vector<std::string> rows;
};

void Put32(std::vector<BYTE>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<BYTE>(v >> (8 * i));
}

std::vector<BYTE> GlyphBytes(const GlyphArt& g) {
  int w = g.rows.empty() ? 0 : static_cast<int>(g.rows[0].size()), h = static_cast<int>(g.rows.size());
  int rowBytes = (w + 7) / 8;
  std::vector<BYTE> out{static_cast<BYTE>(w), static_cast<BYTE>(h)};
  for (int r = h - 1; r >= 0; --r) {  // bottom row first
    std::vector<BYTE> row(static_cast<size_t>(rowBytes), 0xFF);
    for (int c = 0; c < w; ++c)
      if (g.rows[static_cast<size_t>(r)][static_cast<size_t>(c)] == '#') row[c / 8] &= static_cast<BYTE>(~(0x80 >> (c % 8)));
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

// A font of either layout for the characters first.. with the given glyphs
// and an optional raw metrics block.
std::vector<BYTE> MakeFont(bool layoutB, int first, const std::vector<GlyphArt>& glyphs,
                           const std::vector<BYTE>& metrics = {}) {
  int n = static_cast<int>(glyphs.size());
  size_t table = layoutB ? 16 : 2;
  std::vector<BYTE> font(table + 4 * static_cast<size_t>(n), 0);
  if (layoutB) {
    Put32(font, 0, FONT_LAYOUT_B_MAGIC);
    font[4] = 0x5A;
    font[8] = static_cast<BYTE>(first);
    font[9] = static_cast<BYTE>(first >> 8);
    font[10] = static_cast<BYTE>(first + n - 1);
    font[11] = static_cast<BYTE>((first + n - 1) >> 8);
  } else {
    font[0] = static_cast<BYTE>(first);
    font[1] = static_cast<BYTE>(first + n - 1);
  }
  font.insert(font.end(), metrics.begin(), metrics.end());
  for (int i = 0; i < n; ++i) {
    Put32(font, table + 4 * static_cast<size_t>(i), static_cast<uint32_t>(font.size()));
    std::vector<BYTE> g = GlyphBytes(glyphs[static_cast<size_t>(i)]);
    font.insert(font.end(), g.begin(), g.end());
  }
  return font;
}

// Metrics block: magic, length L, then (tag, d, data...) entries.
std::vector<BYTE> Metrics(uint32_t length, const std::vector<std::vector<int>>& entries, size_t pad = 0) {
  std::vector<BYTE> b(8, 0);
  Put32(b, 0, FONT_METRICS_MAGIC);
  Put32(b, 4, length);
  for (const auto& e : entries) {
    b.push_back(static_cast<BYTE>(e[0]));
    b.push_back(static_cast<BYTE>(e[0] >> 8));
    b.push_back(static_cast<BYTE>(e.size() - 1));
    b.push_back(0);
    for (size_t i = 1; i < e.size(); ++i) b.push_back(static_cast<BYTE>(e[i]));
  }
  b.resize(b.size() + pad, 0);
  return b;
}

const std::vector<GlyphArt> kGlyphs = {
    {{"#.#", ".#.", "#.."}},                                  // 'A': 3 x 3
    {{"#.......#", "........."}},                             // 'B': 9 x 2 (two bytes a row)
    {{"#", "#", ".", "#"}},                                   // 'C': 1 x 4
};

// The image as text rows, palette indices as digits.
std::vector<std::string> Picture(const CGraphicsImage& im) {
  std::vector<std::string> out;
  for (int y = 0; y < im.height; ++y) {
    std::string row;
    for (int x = 0; x < im.width; ++x) row += static_cast<char>('0' + im.PixelGetFunc(im.Row(y), x));
    out.push_back(row);
  }
  return out;
}

}  // namespace

TEST(DrawGlyph, DrawsInkBackgroundOrBothThroughThePens) {
  std::vector<BYTE> font = MakeFont(false, 'A', kGlyphs);
  const BYTE* glyphA = font.data() + font[2];
  struct Case {
    bool ink, back;
    std::vector<std::string> picture;
  };
  const Case cases[] = {
      {true, false, {"00000", "01010", "00100", "01000", "00000"}},
      {false, true, {"00000", "00200", "02020", "00220", "00000"}},
      {true, true, {"00000", "01210", "02120", "01220", "00000"}},
      {false, false, {"00000", "00000", "00000", "00000", "00000"}},
  };
  for (const Case& c : cases) {
    CGraphicsImage im;
    ASSERT_TRUE(im.Create(8, 5, 5, 0, nullptr));
    im.SetTextWriter(c.ink ? PixelWriterPlain : nullptr, 1, 0);
    im.SetTextWriter(c.back ? PixelWriterPlain : nullptr, 2, 1);
    im.DrawGlyph(1, 1, glyphA);
    im.DrawGlyph(1, 1, nullptr);
    EXPECT_EQ(Picture(im), c.picture) << c.ink << c.back;
  }
  // Clipped by the pens at every side.
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(8, 2, 2, 0, nullptr));
  im.SetTextWriter(PixelWriterPlain, 1, 0);
  im.SetTextWriter(PixelWriterPlain, 2, 1);
  for (int y : {-2, -1, 0, 1, INT32_MIN, INT32_MAX - 1})
    for (int x : {-2, -1, 0, 1, INT32_MIN, INT32_MAX - 1}) im.DrawGlyph(x, y, glyphA);
}

TEST(DrawText, MeasuresTheGlyphsInRangeWithTheSpacingBetween) {
  std::vector<BYTE> font = MakeFont(false, 'A', kGlyphs);
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(8, 40, 10, 0, nullptr));
  EXPECT_EQ(im.DrawText(0, TEXT_MEASURE_ONLY, "A"), 0) << "no font";
  im.SelectFont(font.data());
  ASSERT_EQ(im.charSpacing, 0);
  struct Case { const char* text; int spacing; int width; };
  const Case cases[] = {
      {"", 0, 0},       {"A", 0, 3},       {"AB", 0, 12},    {"ABC", 0, 13},   {"A", 2, 3},
      {"AB", 2, 14},    {"ABC", 2, 17},    {"AzB", 2, 14},   {"zz", 2, 0},     {"\x01\xFF", 2, 0},
      {"AC", -3, 1},    {"ABCA", -1, 13},
  };
  for (const Case& c : cases) {
    im.SetCharSpacing(c.spacing + 1);  // without metrics: m0 - m1 + setting = setting - 1
    EXPECT_EQ(im.charSpacing, c.spacing);
    EXPECT_EQ(im.DrawText(0, TEXT_MEASURE_ONLY, c.text), c.width) << c.text << " " << c.spacing;
    EXPECT_EQ(im.DrawText(0, 0, c.text), c.width) << c.text << " " << c.spacing;
  }
  EXPECT_EQ(im.DrawText(0, 0, nullptr), 0);
  im.SetCharSpacing(3);
  EXPECT_EQ(im.charSpacing, 2);
  im.SetCharSpacing(CHAR_SPACING_FONT);
  EXPECT_EQ(im.charSpacing, 0);
}

TEST(DrawText, AlignsHorizontallyAndVertically) {
  std::vector<BYTE> font = MakeFont(false, 'A', kGlyphs);
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(8, 12, 12, 0, nullptr));
  im.SetTextWriter(PixelWriterPlain, 1, 0);
  im.SetTextWriter(PixelWriterPlain, 2, 1);
  auto firstColumn = [&] {
    for (int x = 0; x < im.width; ++x)
      for (int y = 0; y < im.height; ++y)
        if (im.PixelGetFunc(im.Row(y), x)) return x;
    return -1;
  };
  auto firstRow = [&] {
    for (int y = 0; y < im.height; ++y)
      for (int x = 0; x < im.width; ++x)
        if (im.PixelGetFunc(im.Row(y), x)) return y;
    return -1;
  };
  im.SelectFont(font.data());
  im.SetCharSpacing(2);  // spacing 1: "AA" measures 7
  struct HCase { BYTE align; int x; int first; };
  for (HCase c : {HCase{0, 4, 4}, HCase{1, 6, 3}, HCase{2, 9, 2}, HCase{7, 9, 2}}) {
    im.FillRect(0, 0, 12, 12, 0);
    im.hAlign = c.align;
    EXPECT_EQ(im.DrawText(c.x, 2, "AA"), 7);
    EXPECT_EQ(firstColumn(), c.first) << int{c.align};
  }
  // A negative width centres by an arithmetic halving: "AC" at spacing -5
  // measures 3 - 5 + 1 = -1, so x moves right by one (-1 >> 1 = -1): A at
  // 5, C at 5 + 3 - 5 = 3.
  im.SetCharSpacing(-4);
  im.hAlign = 1;
  im.FillRect(0, 0, 12, 12, 0);
  EXPECT_EQ(im.DrawText(4, 2, "AC"), -1);
  EXPECT_EQ(firstColumn(), 3);
  im.hAlign = 0;
  im.SetCharSpacing(CHAR_SPACING_FONT);
  // SelectFont takes yOffset from a reference glyph: table index firstChar
  // (65) lies beyond the three entries, so entry 0, 'A', 3 rows high.
  struct VCase { BYTE align; int firstRowAt6; };
  for (VCase c : {VCase{0, 6}, VCase{1, 5}, VCase{2, 3}, VCase{3, 3}}) {
    im.vAlign = c.align;
    im.SelectFont(font.data());
    im.FillRect(0, 0, 12, 12, 0);
    im.DrawText(0, 6, "A");
    EXPECT_EQ(firstRow(), c.firstRowAt6) << int{c.align};
  }
  // vAlign 3 with m2 = -2 in the metrics: yOffset 2.
  std::vector<BYTE> withM2 = MakeFont(false, 'A', kGlyphs, Metrics(13, {{2, 0xFE}}));
  im.vAlign = 3;
  im.SelectFont(withM2.data());
  EXPECT_EQ(im.m2, -2);
  EXPECT_EQ(im.yOffset, 2);
}

TEST(DrawText, PaintsGapsWithTheBackgroundPenForEitherSignOfSpacing) {
  std::vector<BYTE> font = MakeFont(false, 'A', kGlyphs);
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(8, 12, 6, 0, nullptr));
  im.SetTextWriter(PixelWriterPlain, 1, 0);
  im.SetTextWriter(PixelWriterPlain, 2, 1);
  im.SelectFont(font.data());
  // Spacing 2: the gap before C is background at C's height (4 rows).
  im.SetCharSpacing(3);
  EXPECT_EQ(im.DrawText(1, 1, "AC"), 6);
  EXPECT_EQ(Picture(im), (std::vector<std::string>{
                             "000000000000",
                             "012122100000",
                             "021222100000",
                             "012222200000",
                             "000022100000",
                             "000000000000"}));
  // Spacing -2: each glyph's box starts two pixels into the glyph, so the
  // overlap keeps the earlier glyph's ink; glyphs draw ink only. Boxes at
  // columns 1-3, 4 and 5; A's ink at 1, 2 and 3.
  im.FillRect(0, 0, 12, 6, 0);
  im.SetCharSpacing(-1);
  EXPECT_EQ(im.DrawText(1, 1, "AAA"), 5);
  EXPECT_EQ(Picture(im), (std::vector<std::string>{
                             "000000000000",
                             "011111000000",
                             "021112000000",
                             "011122000000",
                             "000000000000",
                             "000000000000"}));
  EXPECT_EQ(im.backPen, PixelWriterPlain) << "the background pen is restored";
  // Spacing 0 or no background pen: glyphs only.
  im.FillRect(0, 0, 12, 6, 0);
  im.SetTextWriter(nullptr, 0, 1);
  im.SetCharSpacing(3);
  EXPECT_EQ(im.DrawText(1, 1, "AC"), 6);
  EXPECT_EQ(Picture(im)[1], "010100100000");
}

TEST(SelectFont, ReadsLayoutBAndTheMetricsBlockWithinItsLength) {
  std::vector<BYTE> b = MakeFont(true, 'A', kGlyphs);
  CGraphicsImage im;
  im.SelectFont(b.data());
  EXPECT_EQ(im.font, b.data());
  EXPECT_EQ(im.tableStart, 16);
  EXPECT_EQ(im.fontFlags, 0x5A);
  EXPECT_EQ(im.firstChar, 'A');
  EXPECT_EQ(im.lastChar, 'C');
  EXPECT_EQ(im.DrawText(0, TEXT_MEASURE_ONLY, "ABC"), 13);
  struct Case {
    std::vector<BYTE> metrics;
    int m0, m1, m2;
  };
  const Case cases[] = {
      {Metrics(8, {{0, 5}}), 0, 1, 0},                           // too short: ignored
      {Metrics(9, {{0, 5}}), 0, 1, 0},                           // 8 + 4 + 1 = 13 > 9: entry ignored
      {Metrics(13, {{0, 5}}), 5, 1, 0},
      {Metrics(13, {{0, 0xFB}}), -5, 1, 0},
      {Metrics(4096, {{1, 3}, {2, 7}}, 4096 - 18), 0, 3, 7},
      {Metrics(4097, {{1, 3}}, 4097 - 13), 0, 1, 0},              // too long: ignored
      {Metrics(33, {{0, 1}, {0, 2, 9}, {5, 8}, {1}, {1, 4}}), 2, 4, 0},  // later tag wins; d = 0 skipped
      {Metrics(17, {{0, 1}, {1, 2, 3, 4}}), 1, 1, 0},            // second entry overruns L
  };
  for (const Case& c : cases) {
    std::vector<BYTE> f = MakeFont(false, 'A', kGlyphs, c.metrics);
    CGraphicsImage image;
    image.SetCharSpacing(CHAR_SPACING_FONT);
    image.SelectFont(f.data());
    EXPECT_EQ(image.m0, c.m0);
    EXPECT_EQ(image.m1, c.m1);
    EXPECT_EQ(image.m2, c.m2);
    EXPECT_EQ(image.charSpacing, c.m0);
  }
  // First code above the last: nothing selected.
  std::vector<BYTE> bad = MakeFont(false, 'A', kGlyphs);
  bad[0] = 'Z';
  im.SelectFont(bad.data());
  EXPECT_EQ(im.font, nullptr);
  EXPECT_EQ(im.DrawText(0, 0, "A"), 0);
  im.SelectFont(b.data());
  im.SelectFont(nullptr);
  EXPECT_EQ(im.font, nullptr);
}

TEST(SetCharSpacing, HoldsExtremeSettingsToIntRange) {
  std::vector<BYTE> font = MakeFont(false, 'A', kGlyphs, Metrics(13, {{1, 0xFB}}));  // m1 = -5
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(8, 8, 8, 0, nullptr));
  im.SelectFont(font.data());
  ASSERT_EQ(im.m1, -5);
  im.SetCharSpacing(INT32_MAX);
  EXPECT_EQ(im.charSpacing, INT32_MAX);
  EXPECT_EQ(im.spacingSetting, INT32_MAX);
  im.SetCharSpacing(INT32_MAX - 10);
  EXPECT_EQ(im.charSpacing, INT32_MAX - 5);
  im.SetTextWriter(PixelWriterPlain, 1, 0);
  im.SetTextWriter(PixelWriterPlain, 2, 1);
  im.DrawText(0, 0, "ABCABC");
  std::vector<BYTE> other = MakeFont(false, 'A', kGlyphs);  // m1 = 1
  im.SelectFont(other.data());
  im.SetCharSpacing(INT32_MIN);
  EXPECT_EQ(im.charSpacing, INT32_MIN);
  im.DrawText(3, 3, "ABCABC");
  im.hAlign = 1;
  im.DrawText(3, 3, "ABCABC");
}

TEST(FillTextGap, BoxesWiderThanTheImageCostTheImageAndKeepTheDashPhase) {
  // Calls go bottom row first, each row left to right; dash call k draws
  // when k % 8 < 4, also for the skipped calls far off the image.
  for (int left : {-1000, -17, -3, 0, 4}) {
    CGraphicsImage im;
    ASSERT_TRUE(im.Create(8, 10, 3, 0, nullptr));
    im.SetTextWriter(PixelWriterDashed, 5, 1);
    const int w = 2001, h = 2;
    im.FillTextGap(left, 1, w, h, PixelWriterDashed);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 10; ++x) {
        int r = y - 1, c = x - left;
        bool inBox = r >= 0 && r < h && c >= 0 && c < w;
        int64_t k = int64_t{h - 1 - r} * w + c;
        DWORD want = inBox && k % 8 < 4 ? 5 : 0;
        EXPECT_EQ(im.PixelGetFunc(im.Row(y), x), want) << left << ": " << x << "," << y;
      }
    // 4002 calls: the pattern turned by 4002 % 32 = 2.
    EXPECT_EQ(im.dashPattern, 0xF0F0F0F0u >> 2 | 0xF0F0F0F0u << 30);
  }
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(8, 10, 3, 0, nullptr));
  im.FillTextGap(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, PixelWriterDotted);
  im.FillTextGap(-5, -5, INT32_MAX, INT32_MAX, PixelWriterPlain);
  EXPECT_EQ(im.PixelGetFunc(im.Row(2), 9), 0u) << "backColour 0";
}
