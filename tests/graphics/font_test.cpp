#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graphics/fonts/builtin_fonts.h"
#include "graphics/image.h"
#include "graphics/pen.h"
#include "graphics/save.h"

namespace {

struct BuiltinFont {
  const char* name;
  const BYTE* data;
  size_t size;
  int height, minWidth, maxWidth, digitWidth;
};

const BuiltinFont kFonts[] = {
    {"BuiltinFont14", BuiltinFont14, BuiltinFont14Size, 14, 2, 11, 6},
    {"BuiltinFont24", BuiltinFont24, BuiltinFont24Size, 24, 4, 21, 12},
    {"BuiltinFont55", BuiltinFont55, BuiltinFont55Size, 55, 9, 50, 27},
};

uint32_t Offset(const BYTE* font, int code) {
  const BYTE* p = font + 2 + 4 * code;
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

bool HasInk(const BYTE* glyph) {
  int w = glyph[0], h = glyph[1], rowBytes = (w + 7) / 8;
  for (int r = 0; r < h; ++r)
    for (int c = 0; c < w; ++c)
      if (!((glyph[2 + r * rowBytes + c / 8] >> (7 - c % 8)) & 1)) return true;
  return false;
}

}  // namespace

TEST(BuiltinFonts, AreWellFormedLayoutAFontsOfTheirSize) {
  for (const BuiltinFont& f : kFonts) {
    SCOPED_TRACE(f.name);
    ASSERT_GT(f.size, 2u + 1024u);
    EXPECT_EQ(f.data[0], 0);
    EXPECT_EQ(f.data[1], 255);
    for (int code = 0; code < 256; ++code) {
      uint32_t o = Offset(f.data, code);
      ASSERT_GE(o, 2u + 1024u) << code;
      ASSERT_LE(o + 2, f.size) << code;
      const BYTE* g = f.data + o;
      int w = g[0], h = g[1];
      ASSERT_LE(o + 2 + static_cast<size_t>(h) * ((w + 7) / 8), f.size) << code;
      EXPECT_EQ(h, f.height) << code;
      EXPECT_GE(w, f.minWidth) << code;
      EXPECT_LE(w, f.maxWidth) << code;
      bool digit = code >= '0' && code <= '9';
      bool printable = (code > 0x20 && code < 0x7F) || (code > 0xA0 && code != 0xAD);
      bool control = code < 0x20 || (code >= 0x7F && code < 0xA0);
      EXPECT_TRUE(!digit || w == f.digitWidth) << code << " is " << w << " wide";
      EXPECT_TRUE(!printable || HasInk(g)) << code << " has no ink";
      EXPECT_TRUE(!control || o == Offset(f.data, 0)) << code << " is not the blank glyph";
    }
    EXPECT_FALSE(HasInk(f.data + Offset(f.data, 0)));
    EXPECT_FALSE(HasInk(f.data + Offset(f.data, ' ')));
  }
}

TEST(BuiltinFonts, DrawTheirAlignmentsAsDocumented) {
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(8, 40, 40, 0, nullptr));
  im.SetTextWriter(PixelWriterPlain, 1, 0);
  struct Case { BYTE vAlign; int firstRow; };
  for (Case c : {Case{0, 20}, Case{1, 13}, Case{2, 6}}) {
    im.FillRect(0, 0, 40, 40, 0);
    im.vAlign = c.vAlign;
    im.SelectFont(BuiltinFont14);
    im.SetTextWriter(PixelWriterPlain, 1, 1);  // background too: the whole box shows
    EXPECT_EQ(im.DrawText(5, 20, "8"), 6);
    int top = -1, bottom = -1;
    for (int y = 0; y < 40; ++y)
      if (im.PixelGetFunc(im.Row(y), 5)) {
        if (top < 0) top = y;
        bottom = y;
      }
    EXPECT_EQ(top, c.firstRow) << int{c.vAlign};
    EXPECT_EQ(bottom, c.firstRow + 13) << int{c.vAlign};
  }
}

// Writes each font's 256 glyphs in a 16 x 16 grid with a sample line below,
// for people to look at (font_review_14.png ... in the working directory).
TEST(BuiltinFonts, WriteAReviewSheet) {
  const char* sample = "-12.5 \265m\262 37\260C Gr\366\337e \304\326\334 \2613";
  for (const BuiltinFont& f : kFonts) {
    int cellW = f.maxWidth + 4, cellH = f.height + 4;
    CGraphicsImage im;
    ASSERT_TRUE(im.Create(24, 16 * cellW + 8, 17 * cellH + 8, 0xFFFFFF, nullptr));
    im.SelectFont(f.data);
    im.SetTextWriter(PixelWriterPlain, 0x000000, 0);
    im.SetTextWriter(nullptr, 0, 1);
    for (int code = 0; code < 256; ++code) {
      int cx = 4 + (code % 16) * cellW, cy = 4 + (code / 16) * cellH;
      im.FillRect(cx, cy, cellW - 2, cellH - 2, 0xE0E8FF);
      char text[2] = {static_cast<char>(code), 0};
      if (code) im.DrawText(cx + 1, cy + 1, text);
    }
    int width = im.DrawText(4, 4 + 16 * cellH + 2, sample);
    EXPECT_EQ(width, im.DrawText(0, TEXT_MEASURE_ONLY, sample));
    std::string path = std::string("font_review_") + std::to_string(f.height) + ".png";
    EXPECT_EQ(SaveImage(path.c_str(), im, f.name), SAVE_IMAGE_OK) << path;
  }
}
