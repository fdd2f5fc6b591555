// EPS files: the PostScript text of each template written out by hand, the
// page placement worked out on paper, and the hexadecimal sample lines.
#include "graphics/formats/eps_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "graphics/globals.h"
#include "graphics/save.h"
#include "save_test_support.h"

namespace {

using savetest::ReadBytes;
using savetest::ScratchDir;

std::string SavedEps(const CGraphicsImage& image, const char* name = "x.eps") {
  ScratchDir dir;
  EXPECT_EQ(SaveImage((dir / name).c_str(), image, "ignored"), 0) << GraphicsErrorText;
  const std::vector<BYTE> bytes = ReadBytes(dir / name);
  return std::string(bytes.begin(), bytes.end());
}

const char kTrailer[] =
    "currentdict /inputf undef\n"
    "currentdict /picstr undef\n"
    "currentdict /rpicstr undef\n"
    "currentdict /gpicstr undef\n"
    "currentdict /bpicstr undef\n"
    "grestore\n"
    "showpage\n"
    "%%Trailer\n";

const char kSetup[] =
    "%%Creator: ZU-Zuriv\n"
    "%%Pages: 1\n";

const char kReadString[] =
    "%%EndComments\n"
    "%%BeginSetup\n"
    "/readstring {\n"
    "  currentfile exch readhexstring pop\n"
    "} bind def\n";

TEST(EpsWriter, OneBitImageUsesImageWithOneBitSamples) {
  CGraphicsImage image;
  ASSERT_TRUE(image.Create(1, 10, 3, IMAGE_NO_FILL, nullptr));
  image.SetPaletteEntry(0, 0x000000);
  image.SetPaletteEntry(1, 0xFFFFFF);
  const BYTE rows[3][2] = {{0xFF, 0xFF}, {0x12, 0x3F}, {0xA5, 0x80}};
  for (int y = 0; y < 3; ++y) std::memcpy(image.Row(y), rows[y], 2);
  // Width-limited: s = 56.5, y0 = (841 - 169) / 2.
  const std::string header = std::string("%!PS-Adobe-3.0 EPSF-3.0\n%%LanguageLevel: 1\n") + kSetup +
                             "%%BoundingBox: 15 336 580 505\n" + kReadString +
                             "/picstr 2 string def\n"
                             "%%Dummy 2 2\n"
                             "%%EndSetup\n"
                             "%%Page: 1 1\n"
                             "gsave\n"
                             "15.25 336.25 translate\n"
                             "565 169.5 scale\n"
                             "10 3 1\n"
                             "[ 10 0 0 -3 0 3 ]\n"
                             "{ picstr readstring }\n"
                             "image\n";
  EXPECT_EQ(SavedEps(image), header + "ffc01200a580\n" + kTrailer);
  // With the brighter colour at index 0 the bits are flipped: a set bit is
  // white in PostScript.
  image.SetPaletteEntry(0, 0xFFFFFF);
  image.SetPaletteEntry(1, 0x000000);
  EXPECT_EQ(SavedEps(image), header + "0000edc05a40\n" + kTrailer);
}

TEST(EpsWriter, GreyRampImageUsesEightBitGreySamplesHeightLimited) {
  CGraphicsImage image;
  ASSERT_TRUE(image.Create(8, 10, 100, 0, nullptr));
  for (int i = 0; i < 256; ++i) image.SetPaletteEntry(i, DWORD(i) * 0x010101);
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 10; ++x) image.Row(y)[x] = BYTE(y * 10 + x);
  // Height-limited: s = 8.11, x0 = (595 - 81) / 2.
  std::string expected = std::string("%!PS-Adobe-3.0 EPSF-3.0\n%%LanguageLevel: 2\n") + kSetup +
                         "%%BoundingBox: 257 15 338 826\n" + kReadString +
                         "/picstr 10 string def\n"
                         "%%Dummy 10 10\n"
                         "%%EndSetup\n"
                         "%%Page: 1 1\n"
                         "gsave\n"
                         "257.25 15.25 translate\n"
                         "81.1 811 scale\n"
                         "10 100 8\n"
                         "[ 10 0 0 -100 0 100 ]\n"
                         "{ picstr readstring }\n"
                         "image\n";
  // 1000 samples, byte i = i mod 256: 33 lines of 30 and one of 10.
  char digits[3];
  for (int i = 0; i < 1000; ++i) {
    std::snprintf(digits, sizeof digits, "%02x", i % 256);
    expected += digits;
    if (i % 30 == 29 || i == 999) expected += '\n';
  }
  EXPECT_EQ(SavedEps(image), expected + kTrailer);

  // One entry off the ramp makes it a colour picture.
  image.SetPaletteEntry(77, 0x4D4D4E);
  const std::string colour = SavedEps(image);
  EXPECT_NE(colour.find("\ncolorimage\n"), std::string::npos);
  EXPECT_NE(colour.find("\n/rpicstr 10 string def\n"), std::string::npos);
}

TEST(EpsWriter, ColourImageWritesRedGreenBlueRunsPerRow) {
  CGraphicsImage image;
  ASSERT_TRUE(image.Create(24, 200, 100, 0, nullptr));
  image.PixelSetFunc(image.Row(0), 0, 0x123456);
  image.PixelSetFunc(image.Row(0), 199, 0xABCDEF);
  image.PixelSetFunc(image.Row(99), 1, 0x0A0B0C);
  const std::string file = SavedEps(image, "x.PRN");
  const std::string header = std::string("%!PS-Adobe-3.0 EPSF-3.0\n%%LanguageLevel: 2\n") + kSetup +
                             "%%BoundingBox: 15 279 580 562\n" + kReadString +
                             "/rpicstr 200 string def\n"
                             "/gpicstr 200 string def\n"
                             "/bpicstr 200 string def\n"
                             "%%EndSetup\n"
                             "%%Page: 1 1\n"
                             "gsave\n"
                             "15.25 279.25 translate\n"
                             "565 282.5 scale\n"
                             "200 100 8\n"
                             "[ 200 0 0 -100 0 100 ]\n"
                             "{ rpicstr readstring }\n"
                             "{ gpicstr readstring }\n"
                             "{ bpicstr readstring }\n"
                             "true 3\n"
                             "colorimage\n";
  ASSERT_EQ(file.compare(0, header.size(), header), 0) << file.substr(0, header.size());
  const std::string trailer = kTrailer;
  ASSERT_EQ(file.size(), header.size() + 2000 * 61 + trailer.size());
  EXPECT_EQ(file.substr(file.size() - trailer.size()), trailer);
  // 60 000 samples: 2000 full lines of 60 digits.
  std::string data = file.substr(header.size(), 2000 * 61);
  for (size_t line = 0; line < 2000; ++line) ASSERT_EQ(data[line * 61 + 60], '\n') << line;
  std::string digits;
  for (size_t line = 0; line < 2000; ++line) digits += data.substr(line * 61, 60);
  auto sample = [&](int row, int channel, int x) {
    return digits.substr(size_t(2 * (row * 600 + channel * 200 + x)), 2);
  };
  EXPECT_EQ(sample(0, 0, 0) + sample(0, 1, 0) + sample(0, 2, 0), "123456");
  EXPECT_EQ(sample(0, 0, 199) + sample(0, 1, 199) + sample(0, 2, 199), "abcdef");
  EXPECT_EQ(sample(99, 0, 1) + sample(99, 1, 1) + sample(99, 2, 1), "0a0b0c");
  EXPECT_EQ(sample(50, 1, 100), "00");
}

TEST(EpsWriter, EveryDepthPicksItsTemplate) {
  for (int bpp : kAllFormats) {
    SCOPED_TRACE(bpp);
    CGraphicsImage image;
    savetest::MakeRandomImage(image, bpp, 5, 4, 3);
    const std::string file = SavedEps(image, "x.Ps");
    const char* last = bpp == 1 ? "\n{ picstr readstring }\nimage\n" : "\ntrue 3\ncolorimage\n";
    EXPECT_NE(file.find(last), std::string::npos);
    EXPECT_NE(file.find(bpp == 1 ? "\n5 4 1\n" : "\n5 4 8\n"), std::string::npos);
  }
}

TEST(EpsWriter, EmptyImageIsRefused) {
  ScratchDir dir;
  CGraphicsImage empty;
  EXPECT_EQ(SaveImage((dir / "e.eps").c_str(), empty, nullptr), -1);
  EXPECT_STREQ(GraphicsErrorText, "Falsche Bild-Daten !");
  CEpsWriter writer;
  try {
    writer.Save((dir / "e.eps").c_str(), empty);
    ADD_FAILURE();
  } catch (const EEpsDataError& e) {
    EXPECT_EQ(e.code, 0u);
  }
  EXPECT_TRUE(dir.Names().empty());
}

std::vector<DWORD> reported;
void Record(const CImageComment*, DWORD, DWORD, DWORD, DWORD percent, BYTE*) {
  reported.push_back(percent);
}

TEST(EpsWriter, ReportsZeroThenEachFinishedRow) {
  CGraphicsImage image;
  ASSERT_TRUE(image.Create(32, 2, 3, 0, nullptr));
  ScratchDir dir;
  CEpsWriter writer;
  writer.SetProgressCallback(Record, 0);
  reported.clear();
  writer.Save((dir / "p.eps").c_str(), image);
  EXPECT_EQ(reported, (std::vector<DWORD>{0, 33, 66, 100}));
}

}  // namespace
