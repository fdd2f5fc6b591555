// XPM files as text, laid out by hand from the XPM format, and read back by
// ImageMagick to the exact pixels.
#include "graphics/formats/xpm_writer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "graphics/save.h"
#include "save_test_support.h"

namespace {

using savetest::ReadBytes;
using savetest::ScratchDir;

std::string SavedXpm(const CGraphicsImage& image, const std::string& name = "x.xpm") {
  ScratchDir dir;
  EXPECT_EQ(SaveImage((dir / name).c_str(), image, "ignored"), 0);
  std::vector<BYTE> bytes = ReadBytes(dir / name);
  return std::string(bytes.begin(), bytes.end());
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  for (size_t nl; (nl = text.find('\n', at)) != std::string::npos; at = nl + 1) {
    lines.push_back(text.substr(at, nl - at));
  }
  EXPECT_EQ(at, text.size()) << "text ends in a line feed";
  return lines;
}

void Put24(CGraphicsImage& image, int x, int y, DWORD rgb) {
  BYTE* p = image.Row(y) + 3 * x;
  p[0] = BYTE(rgb);
  p[1] = BYTE(rgb >> 8);
  p[2] = BYTE(rgb >> 16);
}

TEST(XpmWriter, WritesOneBitImageByteForByte) {
  CGraphicsImage image;
  ASSERT_TRUE(image.Create(1, 3, 2, 0, nullptr));
  image.SetPaletteEntryRGB(0, 0, 0, 0);
  image.SetPaletteEntryRGB(1, 0xFF, 0x80, 0x0A);
  const int rows[2][3] = {{1, 0, 1}, {0, 1, 1}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) image.PixelSetFunc(image.Row(y), x, DWORD(rows[y][x]));
  EXPECT_EQ(SavedXpm(image, "Test-1.xpm"),
            "/* XPM */\n"
            "static char * Test_1_xpm[] = {\n"
            "\"3 2 2 1\",\n"
            "\"0\tc #000000\",\n"
            "\"1\tc #FF800A\",\n"
            "\"101\",\n"
            "\"011\"};\n");
}

TEST(XpmWriter, ListsTrueColoursInOrderOfFirstAppearance) {
  CGraphicsImage image;
  ASSERT_TRUE(image.Create(24, 2, 2, 0, nullptr));
  Put24(image, 0, 0, 0xABCDEF);
  Put24(image, 1, 0, 0x010203);
  Put24(image, 0, 1, 0xABCDEF);
  Put24(image, 1, 1, 0xFFFFFF);
  EXPECT_EQ(SavedXpm(image, "3d.xpm"),
            "/* XPM */\n"
            "static char * _d_xpm[] = {\n"
            "\"2 2 3 1\",\n"
            "\"0\tc #ABCDEF\",\n"
            "\"1\tc #010203\",\n"
            "\"2\tc #FFFFFF\",\n"
            "\"01\",\n"
            "\"02\"};\n");
}

TEST(XpmWriter, PaletteImagesListEveryEntryAndUseTheFirstOfEqualColours) {
  CGraphicsImage image;
  ASSERT_TRUE(image.Create(8, 3, 1, 0, nullptr));
  for (int i = 0; i < 256; ++i) image.SetPaletteEntryRGB(i, BYTE(i), 0, 0);
  image.SetPaletteEntryRGB(70, 5, 0, 0);  // the colour of entry 5
  image.Row(0)[0] = 70;
  image.Row(0)[1] = 65;
  image.Row(0)[2] = 255;
  const std::vector<std::string> lines = Lines(SavedXpm(image));
  ASSERT_EQ(lines.size(), 3u + 256u + 1u);
  EXPECT_EQ(lines[2], "\"3 1 256 2\",");
  // Keys: two digits, least significant first.
  EXPECT_EQ(lines[3], "\"00\tc #000000\",");
  EXPECT_EQ(lines[3 + 65], "\"11\tc #410000\",");
  EXPECT_EQ(lines[3 + 70], "\"61\tc #050000\",");
  EXPECT_EQ(lines[3 + 255], "\"_3\tc #FF0000\",");
  EXPECT_EQ(lines[259], "\"5011_3\"};");
}

TEST(XpmWriter, QuantisesOnlyFrom1024Colours) {
  struct Case {
    int width, height, colours;
    const char* values;
  } cases[] = {{40, 25, 1000, "\"40 25 1000 2\","},
               {64, 16, 1023, "\"64 16 1023 2\","},
               {64, 16, 1024, "\"64 16 256 2\","}};
  for (const Case& c : cases) {
    CGraphicsImage image;
    ASSERT_TRUE(image.Create(24, c.width, c.height, 0, nullptr));
    for (int i = 0; i < c.width * c.height; ++i) {
      const int k = i < c.colours ? i : 0;
      Put24(image, i % c.width, i / c.width, DWORD(k * 16411 % 0x1000000));
    }
    const std::vector<std::string> lines = Lines(SavedXpm(image));
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[2], c.values);
  }
}

TEST(XpmWriter, MakesArrayNamesFromTheFileName) {
  struct Case {
    const char* path;
    const char* name;
  } cases[] = {
      {"c:\\bilder\\Test-1.xpm", "Test_1_xpm"},
      {"3d.xpm", "_d_xpm"},
      {"/tmp/a.b/x9_Y.xpm", "x9_Y_xpm"},
      {"dir/", ""},
      {"\xC4pfel.xpm", "_pfel_xpm"},
      {"abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyz",
       "abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyzabcdefghijk"},
  };
  for (const Case& c : cases) {
    CXpmWriter writer;
    writer.SetArrayName(c.path);
    EXPECT_STREQ(writer.arrayName, c.name) << c.path;
  }
  CXpmWriter wide;
  wide.SetArrayName(u"x/\u00C4-\u4E00 1.xpm");
  EXPECT_STREQ(wide.arrayName, "____1_xpm");
}

TEST(XpmWriter, EmptyArrayNameIsReplaced) {
  CGraphicsImage image;
  ASSERT_TRUE(image.Create(1, 1, 1, 0, nullptr));
  ScratchDir dir;
  // No file name gives no array name; a path that ends in a separator names
  // no file to save to, so the writer meets it only writing to a stream.
  CXpmWriter writer;
  EXPECT_THROW(writer.Save((dir / "dir\\").c_str(), image), EGraphicsException);
  EXPECT_TRUE(dir.Names().empty());
  CFileStream file(4096);
  ASSERT_TRUE(file.Open((dir / "x").c_str(), STREAM_MODE_CREATE));
  writer.Write(file, image);
  ASSERT_TRUE(file.Close());
  const std::vector<BYTE> bytes = ReadBytes(dir / "x");
  const std::string text(bytes.begin(), bytes.end());
  EXPECT_EQ(Lines(text).at(1), "static char * unkown_xpm[] = {");
}

TEST(XpmWriter, ImageMagickReadsTheExactPixels) {
  if (std::system("test -x /usr/bin/convert") != 0) GTEST_SKIP() << "ImageMagick missing";
  ScratchDir dir;
  int files = 0;
  for (int bpp : {1, 2, 4, 8, 12, 15, 16, 24, 32}) {
    for (int width : {1, 7, 70}) {
      CGraphicsImage image;
      const int height = 9;
      savetest::MakeRandomImage(image, bpp, width, height, uint32_t(bpp * 100 + width));
      const std::string name = dir / ("p" + std::to_string(files++));
      ASSERT_EQ(SaveImage((name + ".xpm").c_str(), image, "ignored"), 0);
      std::vector<BYTE> expected;
      for (int y = 0; y < height; ++y) {
        const BYTE* bgr = image.RowTo24Func(image.Row(y), &image);
        for (int x = 0; x < width; ++x) {
          expected.insert(expected.end(), {bgr[3 * x + 2], bgr[3 * x + 1], bgr[3 * x]});
        }
      }
      const std::string command = "/usr/bin/convert " + name + ".xpm -depth 8 rgb:" + name + ".rgb";
      ASSERT_EQ(std::system(command.c_str()), 0) << command;
      EXPECT_EQ(ReadBytes(name + ".rgb"), expected) << "bpp " << bpp << " width " << width;
    }
  }
  // 2560 random true colours: the file shows the quantised image.
  CGraphicsImage image;
  savetest::MakeRandomImage(image, 24, 64, 40, 77);
  CGraphicsImage quantised;
  ASSERT_TRUE(quantised.Quantize(image));
  const std::string name = dir / "q";
  ASSERT_EQ(SaveImage((name + ".xpm").c_str(), image, "ignored"), 0);
  std::vector<BYTE> expected;
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 64; ++x) {
      const RGBQUAD& q = quantised.palette[quantised.Row(y)[x]];
      expected.insert(expected.end(), {q.rgbRed, q.rgbGreen, q.rgbBlue});
    }
  }
  ASSERT_EQ(
      std::system(("/usr/bin/convert " + name + ".xpm -depth 8 rgb:" + name + ".rgb").c_str()), 0);
  EXPECT_EQ(ReadBytes(name + ".rgb"), expected);
}

}  // namespace
