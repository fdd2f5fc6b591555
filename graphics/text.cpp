// Bitmap-font text. A font is a block of constant little-endian bytes:
// layout A (first and last character code, then the glyph offset table) or
// layout B (FONT_LAYOUT_B_MAGIC, flags, 16-bit first and last code at 8 and
// 10, the table at 16); an optional metrics block follows the table. A glyph
// is its width, its height and its rows bottom row first, 0 bits being ink.
// Glyphs are drawn pixel by pixel through the ink and background pens,
// which clip for themselves.
#include <algorithm>
#include <cstdint>

#include "graphics/image.h"
#include "graphics/pen.h"

namespace {

DWORD Load32(const BYTE* p) {
  return DWORD{p[0]} | DWORD{p[1]} << 8 | DWORD{p[2]} << 16 | DWORD{p[3]} << 24;
}
WORD Load16(const BYTE* p) { return static_cast<WORD>(p[0] | p[1] << 8); }

// Pens take int coordinates; positions beyond int range are off every image.
bool FitsInt(int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; }

// The glyph of a character, null when the font has none for it.
const BYTE* GlyphOf(const CGraphicsImage& image, unsigned char code) {
  if (code < image.firstChar || code > image.lastChar) return nullptr;
  unsigned index = (code - image.firstChar) & 255u;
  return image.font + Load32(image.font + image.tableStart + 4 * index);
}

}  // namespace

void CGraphicsImage::SelectFont(const BYTE* fontData) {
  if (!fontData) {
    font = nullptr;
    return;
  }
  if (Load32(fontData) == FONT_LAYOUT_B_MAGIC) {
    tableStart = 16;
    fontFlags = fontData[4];
    firstChar = Load16(fontData + 8);
    lastChar = Load16(fontData + 10);
  } else {
    tableStart = 2;
    fontFlags = 0;
    firstChar = fontData[0];
    lastChar = fontData[1];
  }
  if (firstChar > lastChar) {
    font = nullptr;
    return;
  }
  font = fontData;
  int32_t metric[3] = {0, 1, 0};
  const BYTE* block = fontData + tableStart + 4 * (size_t{lastChar} - firstChar + 1);
  DWORD length = Load32(block) == FONT_METRICS_MAGIC ? Load32(block + 4) : 0;
  if (length >= 9 && length <= 4096) {
    // Entries: u16 tag, u16 data length d, d bytes; the value is the first
    // data byte, signed. Only entries wholly inside the block count.
    for (DWORD at = 8; at + 4 <= length;) {
      DWORD tag = Load16(block + at), size = Load16(block + at + 2);
      if (at + 4 + size > length) break;
      if (size > 0 && tag < 3) metric[tag] = static_cast<int8_t>(block[at + 4]);
      at += 4 + size;
    }
  }
  m0 = metric[0];
  m1 = metric[1];
  m2 = metric[2];
  SetCharSpacing(spacingSetting);
  if (vAlign == 0) {
    yOffset = 0;
  } else if (vAlign == 3 && m2 != 0) {
    yOffset = static_cast<int8_t>(-m2);
  } else {
    unsigned k = lastChar - firstChar;
    unsigned index = firstChar <= 32 && k <= 32 ? 32u - firstChar : firstChar;
    if (index > k) index = 0;
    int h = font[Load32(font + tableStart + 4 * index) + 1];
    yOffset = static_cast<int8_t>(vAlign == 1 ? h >> 1 : h);
  }
}

void CGraphicsImage::SetCharSpacing(int setting) {
  spacingSetting = setting;
  // Held to int range: a setting near the ends of it must not overflow.
  int64_t spacing = setting == CHAR_SPACING_FONT ? m0 : int64_t{m0} - m1 + setting;
  charSpacing = static_cast<int32_t>(std::clamp<int64_t>(spacing, INT32_MIN, INT32_MAX));
}

void CGraphicsImage::SetTextWriter(PixelWriterFunc pen, DWORD colour, int which) {
  pen = SubstitutePen(*this, pen);
  if (which == 0) {
    inkPen = pen;
    inkColour = colour;
  } else {
    backPen = pen;
    backColour = colour;
  }
}

int CGraphicsImage::DrawText(int x, int y, const char* text) {
  if (!font || !text || !*text) return 0;
  const auto* s = reinterpret_cast<const unsigned char*>(text);
  int64_t left = x;
  if (hAlign != 0 || y == TEXT_MEASURE_ONLY) {
    int64_t w = 0;
    for (const unsigned char* c = s; *c; ++c) {
      const BYTE* glyph = GlyphOf(*this, *c);
      if (!glyph) continue;
      w += glyph[0];
      if (c[1]) w += charSpacing;
    }
    int width32 = static_cast<int>(w);
    if (y == TEXT_MEASURE_ONLY) return width32;
    left -= hAlign == 1 ? width32 >> 1 : width32;
  }
  int64_t top = int64_t{y} - yOffset;
  PixelWriterFunc gapPen = backPen;
  if (charSpacing < 0 && gapPen) backPen = nullptr;  // glyphs draw ink only
  int64_t p = 0;
  bool first = true;
  for (const unsigned char* c = s; *c; ++c) {
    const BYTE* glyph = GlyphOf(*this, *c);
    if (!glyph) continue;
    int64_t gx = left + p;
    if (gapPen && charSpacing > 0 && !first)
      PaintBox(gx - charSpacing, top, charSpacing, glyph[1], gapPen);
    else if (gapPen && charSpacing < 0)
      PaintBox(gx - (first ? 0 : charSpacing), top, glyph[0] + (first ? 0 : charSpacing),
               glyph[1], gapPen);
    PaintGlyph(gx, top, glyph);
    p += glyph[0];
    if (c[1]) p += charSpacing;
    first = false;
  }
  backPen = gapPen;
  return static_cast<int>(p);
}

void CGraphicsImage::DrawGlyph(int x, int y, const BYTE* glyph) { PaintGlyph(x, y, glyph); }

void CGraphicsImage::PaintGlyph(int64_t x, int64_t y, const BYTE* glyph) {
  if (!glyph || (!inkPen && !backPen)) return;
  int w = glyph[0], h = glyph[1], rowBytes = (w + 7) / 8;
  const BYTE* bits = glyph + 2;
  for (int r = 0; r < h; ++r, bits += rowBytes) {
    int64_t py = y + h - 1 - r;
    if (!FitsInt(py)) continue;
    for (int c = 0; c < w; ++c) {
      if (!FitsInt(x + c)) continue;
      int px = static_cast<int>(x + c);
      bool background = (bits[c >> 3] >> (7 - (c & 7))) & 1;
      if (!background) {
        if (inkPen) inkPen(this, px, static_cast<int>(py), inkColour);
      } else if (backPen) {
        backPen(this, px, static_cast<int>(py), backColour);
      }
    }
  }
}

void CGraphicsImage::FillTextGap(int x, int y, int w, int h, PixelWriterFunc pen) {
  PaintBox(x, y, w, h, pen);
}

void CGraphicsImage::PaintBox(int64_t x, int64_t y, int64_t w, int64_t h, PixelWriterFunc pen) {
  if (!pen || w <= 0 || h <= 0) return;
  // A spacing may make a box far wider than the image: positions farther
  // off it than any pen reaches are skipped, as calls that paint nothing.
  auto keep = [](int64_t start, int64_t size, int side, int64_t& lo, int64_t& hi) {
    lo = std::clamp<int64_t>(-PEN_REACH - start, 0, size);
    hi = std::clamp<int64_t>(int64_t{side} + PEN_REACH - start, lo, size);
  };
  int64_t c0, c1, r0, r1;
  keep(x, w, width, c0, c1);
  keep(y, h, height, r0, r1);
  // Rows are visited from the bottom: first those below the kept ones.
  uint64_t skipped = static_cast<uint64_t>(h - r1) * static_cast<uint64_t>(w);
  for (int64_t r = r1 - 1; r >= r0; --r) {
    skipped += static_cast<uint64_t>(c0);
    for (int64_t c = c0; c < c1; ++c) {
      if (skipped) {
        SkipPenCalls(*this, pen, skipped);
        skipped = 0;
      }
      pen(this, static_cast<int>(x + c), static_cast<int>(y + r), backColour);
    }
    skipped += static_cast<uint64_t>(w - c1);
  }
  SkipPenCalls(*this, pen, skipped + static_cast<uint64_t>(r0) * static_cast<uint64_t>(w));
}
