// Rasterises a TrueType font into a bitmap font of layout A (codes 0-255, no
// metrics block) and prints it as a C++ source file on standard output.
//
//   fontgen FONT PIXELS HEIGHT MIN_WIDTH MAX_WIDTH DIGIT_WIDTH NAME
//
// Glyphs are rendered with FreeType's monochrome hinting at PIXELS pixels per
// em. Every glyph is HEIGHT rows high with one baseline for the whole font,
// chosen so that the ink of every character fits; a glyph is as wide as its
// hinted advance, widened where ink reaches past it, then held within
// MIN_WIDTH..MAX_WIDTH; digits must come out DIGIT_WIDTH wide. Codes 0-31
// and 127-159 share one blank glyph; identical glyphs are stored once.
// Stored rows run bottom row first, bit 7 of a row's first byte is the
// leftmost pixel, and 0 bits are ink.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

struct Ink {
  int left = 0, top = 0, width = 0, rows = 0, advance = 0;
  std::vector<unsigned char> bits;  // rows x width, 1 = ink
  bool At(int x, int y) const { return bits[static_cast<size_t>(y) * width + x] != 0; }
};

bool Printable(int code) { return (code >= 0x20 && code <= 0x7E) || code >= 0xA0; }

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "fontgen: %s\n", what.c_str());
  std::exit(1);
}

Ink Render(FT_Face face, int code) {
  if (FT_Load_Char(face, static_cast<FT_ULong>(code), FT_LOAD_RENDER | FT_LOAD_TARGET_MONO))
    Fail("cannot render character " + std::to_string(code));
  FT_GlyphSlot slot = face->glyph;
  const FT_Bitmap& bm = slot->bitmap;
  if (bm.pixel_mode != FT_PIXEL_MODE_MONO) Fail("not a monochrome bitmap");
  Ink ink;
  ink.left = slot->bitmap_left;
  ink.top = slot->bitmap_top;
  ink.width = static_cast<int>(bm.width);
  ink.rows = static_cast<int>(bm.rows);
  ink.advance = static_cast<int>((slot->advance.x + 32) >> 6);
  ink.bits.resize(static_cast<size_t>(ink.width) * ink.rows);
  for (int y = 0; y < ink.rows; ++y)
    for (int x = 0; x < ink.width; ++x)
      ink.bits[static_cast<size_t>(y) * ink.width + x] =
          (bm.buffer[y * bm.pitch + (x >> 3)] >> (7 - (x & 7))) & 1;
  return ink;
}

// The glyph block: width, height, rows bottom first, 0 bits ink.
std::vector<unsigned char> Glyph(const Ink& ink, int width, int inkX, int height, int baseline) {
  int rowBytes = (width + 7) / 8;
  std::vector<unsigned char> out{static_cast<unsigned char>(width),
                                 static_cast<unsigned char>(height)};
  for (int r = 0; r < height; ++r) {
    int screenRow = height - 1 - r;  // stored row r is drawn on row height-1-r
    std::vector<unsigned char> row(static_cast<size_t>(rowBytes), 0xFF);
    int iy = screenRow - (baseline - ink.top);
    if (iy >= 0 && iy < ink.rows)
      for (int x = 0; x < ink.width; ++x)
        if (ink.At(x, iy)) {
          int px = inkX + x;
          row[static_cast<size_t>(px >> 3)] &= static_cast<unsigned char>(~(0x80 >> (px & 7)));
        }
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 8) {
    std::fprintf(stderr, "usage: fontgen FONT PIXELS HEIGHT MIN_WIDTH MAX_WIDTH DIGIT_WIDTH NAME\n");
    return 2;
  }
  const char* path = argv[1];
  int pixels = std::atoi(argv[2]), height = std::atoi(argv[3]);
  int minWidth = std::atoi(argv[4]), maxWidth = std::atoi(argv[5]), digitWidth = std::atoi(argv[6]);
  std::string name = argv[7];

  FT_Library lib;
  FT_Face face;
  if (FT_Init_FreeType(&lib) || FT_New_Face(lib, path, 0, &face)) Fail("cannot open the font");
  if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixels))) Fail("cannot set the size");

  std::map<int, Ink> inks;
  int above = 0, below = 0;
  for (int code = 0; code < 256; ++code) {
    if (!Printable(code)) continue;
    Ink ink = Render(face, code);
    if (ink.rows > 0) {
      above = std::max(above, ink.top);
      below = std::max(below, ink.rows - ink.top);
    }
    inks[code] = std::move(ink);
  }
  if (above + below > height) Fail("the ink is " + std::to_string(above + below) + " rows high");
  // Baseline as a row from the top; the spare rows split evenly.
  int spare = height - above - below;
  int baseline = spare - spare / 2 + above;

  std::vector<std::vector<unsigned char>> glyphs;
  std::map<std::vector<unsigned char>, size_t> known;
  int glyphOf[256];
  auto add = [&](std::vector<unsigned char> g) {
    auto it = known.find(g);
    if (it != known.end()) return static_cast<int>(it->second);
    known[g] = glyphs.size();
    glyphs.push_back(std::move(g));
    return static_cast<int>(glyphs.size() - 1);
  };
  int spaceWidth = std::clamp(inks[0x20].advance, minWidth, maxWidth);
  int blank = add(Glyph(Ink{}, spaceWidth, 0, height, baseline));
  for (int code = 0; code < 256; ++code) {
    if (!Printable(code)) {
      glyphOf[code] = blank;
      continue;
    }
    const Ink& ink = inks[code];
    int left = ink.rows ? std::min(0, ink.left) : 0;
    int right = ink.rows ? std::max(ink.advance, ink.left + ink.width) : ink.advance;
    int width = right - left;
    int inkX = ink.left - left;
    if (width < minWidth) {  // centre narrow glyphs in the smallest width
      inkX += (minWidth - width) / 2;
      width = minWidth;
    }
    if (width > maxWidth) Fail("character " + std::to_string(code) + " is " + std::to_string(width) + " wide");
    if (code >= '0' && code <= '9' && width != digitWidth)
      Fail("digit " + std::string(1, static_cast<char>(code)) + " is " + std::to_string(width) + " wide");
    glyphOf[code] = add(Glyph(ink, width, inkX, height, baseline));
  }

  std::vector<unsigned char> font{0, 255};
  size_t offset = 2 + 4 * 256;
  std::vector<size_t> offsets;
  for (const auto& g : glyphs) {
    offsets.push_back(offset);
    offset += g.size();
  }
  for (int code = 0; code < 256; ++code) {
    size_t o = offsets[static_cast<size_t>(glyphOf[code])];
    for (int b = 0; b < 4; ++b) font.push_back(static_cast<unsigned char>(o >> (8 * b)));
  }
  for (const auto& g : glyphs) font.insert(font.end(), g.begin(), g.end());

  std::printf("// Generated by tools/fontgen from DejaVu Sans (fonts-dejavu-core; licence in\n"
              "// graphics/fonts/copyright-fonts-dejavu-core). Do not edit; regenerate with\n"
              "//   fontgen %s %s %s %s %s %s %s\n"
              "// %s rows, baseline %d rows from the top, %zu glyphs, %zu bytes.\n"
              "#include \"graphics/fonts/builtin_fonts.h\"\n\n"
              "extern const BYTE %s[] = {\n",
              argv[1], argv[2], argv[3], argv[4], argv[5], argv[6], argv[7], argv[3], baseline,
              glyphs.size(), font.size(), name.c_str());
  for (size_t i = 0; i < font.size(); i += 16) {
    std::printf("   ");
    for (size_t j = i; j < std::min(font.size(), i + 16); ++j) std::printf(" 0x%02X,", font[j]);
    std::printf("\n");
  }
  std::printf("};\nextern const size_t %sSize = sizeof(%s);\n", name.c_str(), name.c_str());
  FT_Done_Face(face);
  FT_Done_FreeType(lib);
  return 0;
}
