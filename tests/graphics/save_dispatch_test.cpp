// SaveImage picks the writer by extension and applies the save option; the
// written file's magic bytes tell which writer ran.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>

#include "graphics/globals.h"
#include "graphics/save.h"
#include "save_test_support.h"
#include "save_writers.h"

namespace {

using savetest::ReadBytes;
using savetest::ScratchDir;

class SaveOptionReset : public testing::Test {
 protected:
  ~SaveOptionReset() override { SetGraphicsSaveOption(-2); }
};

using SaveImageDispatch = SaveOptionReset;

TEST_F(SaveImageDispatch, ExtensionInAnyCaseSelectsTheWriter) {
  CGraphicsImage image;
  ASSERT_TRUE(image.Create(24, 3, 2, 0x102030, nullptr));
  ScratchDir dir;
  for (const savetest::WriterCase& w : savetest::Writers()) {
    std::string upper = w.extension, mixed = w.extension;
    for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
    mixed[1] = char(std::toupper(static_cast<unsigned char>(mixed[1])));
    for (const std::string& ext : {std::string(w.extension), upper, mixed}) {
      SCOPED_TRACE(ext);
      const std::string path = dir / ("p" + ext);
      ASSERT_EQ(SaveImage(path.c_str(), image, "c"), 0) << GraphicsErrorText;
      const std::vector<BYTE> file = ReadBytes(path);
      ASSERT_GE(file.size(), w.magic.size());
      EXPECT_TRUE(std::equal(w.magic.begin(), w.magic.end(), file.begin()));
    }
  }
}

TEST_F(SaveImageDispatch, NamesWithoutAKnownExtensionGiveMinus2) {
  CGraphicsImage image;
  ASSERT_TRUE(image.Create(24, 3, 2, 0, nullptr));
  ScratchDir dir;
  ASSERT_EQ(mkdir((dir / "folder.bmp").c_str(), 0755), 0);
  const std::string cases[] = {
      dir / "nodot",  // no dot in the file name, one in the folder's
      dir / "folder.bmp/picture",
      "",
      "bmp",
      "x.tls",
      "x.bmp.",
      "x.bmpx",
      dir / "x.gif2",
  };
  for (const std::string& path : cases) {
    SCOPED_TRACE(path);
    std::memset(GraphicsErrorText, 0x55, sizeof GraphicsErrorText);
    EXPECT_EQ(SaveImage(path.c_str(), image, nullptr), -2);
    EXPECT_STREQ(GraphicsErrorText, "Unbekanntes Datei Format.");
  }
  EXPECT_EQ(SaveImage(nullptr, image, nullptr), -2);
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"folder.bmp"});
}

TEST_F(SaveImageDispatch, SaveOptionSteersTheDepthOf32BitImagesOnly) {
  struct Case {
    int option, imageBits;
    const char* extension;
    size_t offset;
    BYTE expected;
  } const cases[] = {
      // BMP offset 28: bits per pixel.
      {-2, 24, ".bmp", 28, 24},
      {-1, 24, ".bmp", 28, 24},
      {0, 24, ".bmp", 28, 24},
      {-2, 32, ".bmp", 28, 24},
      {-1, 32, ".bmp", 28, 24},
      {0, 32, ".bmp", 28, 32},
      {7, 32, ".bmp", 28, 32},
      // PNG byte 25: colour type (2 RGB, 6 RGBA).
      {-2, 24, ".png", 25, 2},
      {-1, 24, ".png", 25, 2},
      {0, 24, ".png", 25, 2},
      {-2, 32, ".png", 25, 2},
      {-1, 32, ".png", 25, 2},
      {0, 32, ".png", 25, 6},
  };
  ScratchDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.option << " " << c.imageBits << c.extension);
    CGraphicsImage image;
    ASSERT_TRUE(image.Create(c.imageBits, 4, 4, 0x80FF0000, nullptr));
    EXPECT_EQ(SetGraphicsSaveOption(c.option), c.option);
    const std::string path = dir / (std::string("o") + c.extension);
    ASSERT_EQ(SaveImage(path.c_str(), image, nullptr), 0) << GraphicsErrorText;
    const std::vector<BYTE> file = ReadBytes(path);
    ASSERT_GT(file.size(), c.offset);
    EXPECT_EQ(file[c.offset], c.expected);
  }
}

TEST_F(SaveImageDispatch, SuccessLeavesTheLastErrorText) {
  CGraphicsImage image;
  ASSERT_TRUE(image.Create(8, 2, 2, 0, nullptr));
  ScratchDir dir;
  EXPECT_EQ(SaveImage("a.unknown", image, nullptr), -2);
  EXPECT_EQ(SaveImage((dir / "a.bmp").c_str(), image, nullptr), 0);
  EXPECT_STREQ(GraphicsErrorText, "Unbekanntes Datei Format.");
}

}  // namespace
