// PNM files byte for byte: binary PBM for 1-bit images, binary PPM for the
// other depths, laid out by hand from the netpbm formats.
#include "graphics/formats/pnm_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "graphics/formats/eps_writer.h"
#include "graphics/formats/xwd_writer.h"
#include "graphics/globals.h"
#include "graphics/save.h"
#include "save_test_support.h"

namespace {

using savetest::ReadBytes;
using savetest::ScratchDir;

std::vector<BYTE> Bytes(const std::string& text, std::vector<BYTE> tail) {
  std::vector<BYTE> all(text.begin(), text.end());
  all.insert(all.end(), tail.begin(), tail.end());
  return all;
}

std::vector<BYTE> SavedPnm(const CGraphicsImage& image) {
  ScratchDir dir;
  EXPECT_EQ(SaveImage((dir / "x.pnm").c_str(), image, "ignored"), 0);
  return ReadBytes(dir / "x.pnm");
}

// A 3 x 2 1-bit image: top row 1 0 1, bottom row 0 1 1, with garbage in the
// unused bits of each byte.
void MakeThreeByTwo(CGraphicsImage& image, DWORD colour0, DWORD colour1) {
  ASSERT_TRUE(image.Create(1, 3, 2, IMAGE_NO_FILL, nullptr));
  image.Row(0)[0] = 0xBF;  // 101 11111
  image.Row(1)[0] = 0x75;  // 011 10101
  image.SetPaletteEntry(0, colour0);
  image.SetPaletteEntry(1, colour1);
}

TEST(PnmWriter, OneBitImageIsPbmWithTheDarkerEntryBlack) {
  struct Case {
    DWORD colour0, colour1;
    BYTE top, bottom;
  } const cases[] = {
      {0x000000, 0xFFFFFF, 0x40, 0x80},  // index 0 black: flipped, 010 / 100
      {0xFFFFFF, 0x000000, 0xA0, 0x60},  // index 1 black: as stored, 101 / 011
      {0x00FF00, 0x0000FF, 0xA0, 0x60},  // index 1 blue is darker than green
      {0x808080, 0x808080, 0xA0, 0x60},  // equal: as stored
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.colour0 << " " << c.colour1);
    CGraphicsImage image;
    MakeThreeByTwo(image, c.colour0, c.colour1);
    EXPECT_EQ(SavedPnm(image), Bytes("P4 3 2 ", {c.top, c.bottom}));
  }
}

TEST(PnmWriter, TwentyFourBitImageIsPpmInRedGreenBlueOrder) {
  CGraphicsImage image;
  ASSERT_TRUE(image.Create(24, 3, 2, IMAGE_NO_FILL, nullptr));
  const DWORD colours[6] = {0x112233, 0x445566, 0x778899, 0xAABBCC, 0xDDEEFF, 0x010203};
  for (int i = 0; i < 6; ++i) image.PixelSetFunc(image.Row(i / 3), i % 3, colours[i]);
  EXPECT_EQ(SavedPnm(image),
            Bytes("P6 3 2 255 ", {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB,
                                  0xCC, 0xDD, 0xEE, 0xFF, 0x01, 0x02, 0x03}));
}

TEST(PnmWriter, EveryDepthAboveOneBitIsPpmOfThePixelColours) {
  for (int bpp : kAllFormats) {
    if (bpp == 1) continue;
    SCOPED_TRACE(bpp);
    CGraphicsImage image;
    savetest::MakeRandomImage(image, bpp, 7, 3, 40 + bpp);
    std::vector<BYTE> pixels;
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 7; ++x) {
        DWORD c;
        if (bpp <= 8) {
          const RGBQUAD& e = image.palette[image.PixelGetFunc(image.Row(y), x)];
          c = DWORD(e.rgbRed) << 16 | DWORD(e.rgbGreen) << 8 | e.rgbBlue;
        } else {
          // The true-colour formats widen their fields by the image's own rule.
          c = image.RowTo32Func(image.Row(y), &image)[x];
        }
        pixels.insert(pixels.end(), {BYTE(c >> 16), BYTE(c >> 8), BYTE(c)});
      }
    }
    EXPECT_EQ(SavedPnm(image), Bytes("P6 7 3 255 ", pixels));
  }
}

TEST(PnmWriter, WideImageHeaderAndSizes) {
  CGraphicsImage mono, colour;
  ASSERT_TRUE(mono.Create(1, 1000, 17, 0, nullptr));
  ASSERT_TRUE(colour.Create(16, 1000, 17, 0, nullptr));
  const std::vector<BYTE> m = SavedPnm(mono), c = SavedPnm(colour);
  EXPECT_EQ(std::string(m.begin(), m.begin() + 11), "P4 1000 17 ");
  EXPECT_EQ(m.size(), 11u + 125u * 17u);
  EXPECT_EQ(std::string(c.begin(), c.begin() + 15), "P6 1000 17 255 ");
  EXPECT_EQ(c.size(), 15u + 3000u * 17u);
}

TEST(PnmWriter, EmptyImageIsRefusedAndNoFileIsLeft) {
  ScratchDir dir;
  CGraphicsImage empty;
  EXPECT_EQ(SaveImage((dir / "e.PNM").c_str(), empty, nullptr), -1);
  EXPECT_STREQ(GraphicsErrorText, "Falsche Bild-Daten !");
  EXPECT_TRUE(dir.Names().empty());
  CPnmWriter writer;
  try {
    writer.Save((dir / "e.pnm").c_str(), empty);
    ADD_FAILURE();
  } catch (const EPnmDataError& e) {
    EXPECT_EQ(e.code, 0u);
  }
}

TEST(PnmXwdEpsWriters, SixteenBitPathsWriteTheSameFileAsEightBitOnes) {
  CGraphicsImage image;
  savetest::MakeRandomImage(image, 4, 6, 5, 9);
  ScratchDir dir;
  const std::u16string folder(dir.path().begin(), dir.path().end());
  CPnmWriter pnm;
  CXwdWriter xwd;
  CEpsWriter eps;
  CImageWriter* const writers[] = {&pnm, &xwd, &eps};
  for (CImageWriter* writer : writers) {
    writer->Save((dir / "n.img").c_str(), image);
    // U+00E4 U+20AC: two- and three-byte UTF-8 forms on disk.
    writer->Save((folder + u"/w\u00e4\u20ac.img").c_str(), image);
    EXPECT_EQ(ReadBytes(dir / "w\xc3\xa4\xe2\x82\xac.img"), ReadBytes(dir / "n.img"));
  }
}

std::vector<DWORD> reported;
void Record(const CImageComment*, DWORD, DWORD, DWORD, DWORD percent, BYTE*) {
  reported.push_back(percent);
}

TEST(PnmWriter, ReportsEachRowBeforeWritingItAndHundredAtTheEnd) {
  CGraphicsImage image;
  ASSERT_TRUE(image.Create(8, 2, 3, 0, nullptr));
  ScratchDir dir;
  CPnmWriter writer;
  writer.SetProgressCallback(Record, 0);
  reported.clear();
  writer.Save((dir / "p.pnm").c_str(), image);
  EXPECT_EQ(reported, (std::vector<DWORD>{0, 33, 66, 100}));
}

}  // namespace
