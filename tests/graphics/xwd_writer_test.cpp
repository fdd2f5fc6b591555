// XWD files byte for byte, laid out by hand from the X Window dump format
// (version 7): a big-endian header, the colour map of palette images, then
// ZPixmap rows.
#include "graphics/formats/xwd_writer.h"

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

std::vector<BYTE> SavedXwd(const CGraphicsImage& image) {
  ScratchDir dir;
  EXPECT_EQ(SaveImage((dir / "x.xwd").c_str(), image, "ignored"), 0) << GraphicsErrorText;
  return ReadBytes(dir / "x.xwd");
}

std::vector<BYTE> Header(std::vector<uint32_t> fields) {
  std::vector<BYTE> b;
  for (uint32_t v : fields)
    b.insert(b.end(), {BYTE(v >> 24), BYTE(v >> 16), BYTE(v >> 8), BYTE(v)});
  b.insert(b.end(), {'x', 'w', 'd', 'u', 'm', 'p', 0});
  return b;
}

TEST(XwdWriter, EightBitImageIsPseudoColourWithTheWholePalette) {
  CGraphicsImage image;
  ASSERT_TRUE(image.Create(8, 3, 2, IMAGE_NO_FILL, nullptr));
  const BYTE top[3] = {0, 200, 255}, bottom[3] = {7, 7, 1};
  std::memcpy(image.Row(0), top, 3);
  std::memcpy(image.Row(1), bottom, 3);
  for (int i = 0; i < 256; ++i)
    image.SetPaletteEntry(i, DWORD(i) << 16 | DWORD(255 - i) << 8 | 0x5A);
  const std::vector<BYTE> file = SavedXwd(image);
  ASSERT_EQ(file.size(), 107u + 256u * 12u + 8u);
  const std::vector<BYTE> header =
      Header({107, 7, 2, 8, 3, 2, 0, 1, 32, 1, 32, 8, 4, 3, 0, 0, 0, 8, 256, 256, 3, 2, 0, 0, 0});
  EXPECT_EQ(std::vector<BYTE>(file.begin(), file.begin() + 107), header);
  for (int i = 0; i < 256; ++i) {
    SCOPED_TRACE(i);
    const BYTE* e = file.data() + 107 + 12 * i;
    const BYTE r = BYTE(i), g = BYTE(255 - i);
    const std::vector<BYTE> expected = {0, 0, 0, BYTE(i), r, r, g, g, 0x5A, 0x5A, 7, 0x94};
    EXPECT_EQ(std::vector<BYTE>(e, e + 12), expected);
  }
  // Rows padded to 32 bits with zeros, as the bitmap pad says.
  EXPECT_EQ(std::vector<BYTE>(file.end() - 8, file.end()),
            (std::vector<BYTE>{0, 200, 255, 0, 7, 7, 1, 0}));
}

TEST(XwdWriter, SmallPaletteImagesAreWrittenAsEightBitsWithAllEntries) {
  for (int bpp : {1, 2, 4}) {
    SCOPED_TRACE(bpp);
    CGraphicsImage image;
    savetest::MakeRandomImage(image, bpp, 9, 2, 7);
    const std::vector<BYTE> file = SavedXwd(image);
    ASSERT_EQ(file.size(), 107u + 3072u + 24u);
    EXPECT_EQ(savetest::U32At(file, 48), 0x0C000000u);  // 12 bytes per line
    EXPECT_EQ(savetest::U32At(file, 12), 0x08000000u);  // depth 8, big-endian
    // Entries beyond the image's own palette size come from the stored table.
    const BYTE* last = file.data() + 107 + 12 * 255;
    EXPECT_EQ(last[4], image.palette[255].rgbRed);
    EXPECT_EQ(last[8], image.palette[255].rgbBlue);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 9; ++x)
        EXPECT_EQ(file[107 + 3072 + 12 * y + x], image.PixelGetFunc(image.Row(y), x))
            << x << "," << y;
  }
}

TEST(XwdWriter, TrueColourImagesAreDepth24InLittleEndianWords) {
  struct Case {
    int bpp;
    DWORD stored;    // what PixelSetFunc gets
    uint32_t pixel;  // the file's word, read little-endian
  } const cases[] = {
      {12, 0x00F0A050, 0x00F0A050}, {15, 0x80F8F8F8, 0x00F8F8F8}, {16, 0x00F800F8, 0x00F800F8},
      {24, 0x00123456, 0x00123456}, {32, 0xAB123456, 0x00123456},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bpp);
    CGraphicsImage image;
    ASSERT_TRUE(image.Create(c.bpp, 2, 1, 0, nullptr));
    image.PixelSetFunc(image.Row(0), 1, c.stored);
    const std::vector<BYTE> file = SavedXwd(image);
    const std::vector<BYTE> header =
        Header({107, 7,        2,      24,   2, 1,   0, 0, 32, 0, 32, 32, 8,
                4,   0xFF0000, 0xFF00, 0xFF, 8, 256, 0, 2, 1,  0, 0,  0});
    ASSERT_EQ(file.size(), 107u + 8u);
    EXPECT_EQ(std::vector<BYTE>(file.begin(), file.begin() + 107), header);
    EXPECT_EQ(savetest::U32At(file, 107), 0u);
    EXPECT_EQ(savetest::U32At(file, 111), c.pixel);
  }
}

TEST(XwdWriter, EmptyImageIsRefused) {
  ScratchDir dir;
  CGraphicsImage empty;
  CXwdWriter writer;
  try {
    writer.Save((dir / "e.xwd").c_str(), empty);
    ADD_FAILURE();
  } catch (const EXwdDataError& e) {
    EXPECT_STREQ(e.text, "Falsche Bild-Daten !");
  }
  EXPECT_TRUE(dir.Names().empty());
}

std::vector<DWORD> reported;
void Record(const CImageComment*, DWORD, DWORD, DWORD, DWORD percent, BYTE*) {
  reported.push_back(percent);
}

TEST(XwdWriter, ReportsEachRowBeforeWritingItAndHundredAtTheEnd) {
  CGraphicsImage image;
  ASSERT_TRUE(image.Create(24, 2, 4, 0, nullptr));
  ScratchDir dir;
  CXwdWriter writer;
  writer.SetProgressCallback(Record, 0);
  reported.clear();
  writer.Save((dir / "p.xwd").c_str(), image);
  EXPECT_EQ(reported, (std::vector<DWORD>{0, 25, 50, 75, 100}));
}

}  // namespace
