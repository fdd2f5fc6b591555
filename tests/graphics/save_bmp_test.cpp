// BMP files byte for byte, laid out by hand from the Windows bitmap format.
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstring>
#include <vector>

#include "graphics/formats/bmp_writer.h"
#include "graphics/globals.h"
#include "graphics/save.h"
#include "save_test_support.h"

namespace {

using savetest::ReadBytes;
using savetest::U16At;
using savetest::U32At;

std::vector<BYTE> Saved(CBmpWriter& writer, const CGraphicsImage& image) {
  savetest::ScratchDir dir;
  writer.Save((dir / "x.bmp").c_str(), image);
  return ReadBytes(dir / "x.bmp");
}

std::vector<BYTE> Header(uint32_t fileSize, uint32_t offset, int32_t w, int32_t h, int bits,
                         uint32_t used) {
  std::vector<BYTE> b = {'B', 'M'};
  auto u32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(BYTE(v >> (8 * i)));
  };
  u32(fileSize);
  u32(0);
  u32(offset);
  u32(40);
  u32(uint32_t(w));
  u32(uint32_t(h));
  b.push_back(1), b.push_back(0);
  b.push_back(BYTE(bits)), b.push_back(0);
  for (int i = 0; i < 4; ++i) u32(0);  // compression, size, resolutions
  u32(used);
  u32(used);
  return b;
}

std::vector<BYTE> Cat(std::vector<BYTE> a, const std::vector<BYTE>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(BmpWriter, OneBitRowOf33PixelsHasItsTailMasked) {
  CGraphicsImage image;
  ASSERT_TRUE(image.Create(1, 33, 2, IMAGE_NO_FILL, nullptr));
  const BYTE top[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xAB, 0xCD, 0xEF};
  const BYTE bottom[8] = {0x80, 0x00, 0x00, 0x00, 0x7F, 0x11, 0x22, 0x33};
  std::memcpy(image.Row(0), top, 8);
  std::memcpy(image.Row(1), bottom, 8);
  CBmpWriter writer;
  const std::vector<BYTE> expected =
      Cat(Header(78, 62, 33, 2, 1, 0), {0,    0,    0,    0,    0xFF, 0xFF, 0xFF, 0,    // palette
                                        0x80, 0,    0,    0,    0,    0,    0,    0,    // bottom
                                        0xFF, 0xFF, 0xFF, 0xFF, 0x80, 0,    0,    0});  // top
  EXPECT_EQ(Saved(writer, image), expected);
}

TEST(BmpWriter, TwentyFourBitWidthOneRowsArePaddedWithZeros) {
  CGraphicsImage image;
  ASSERT_TRUE(image.Create(24, 1, 2, IMAGE_NO_FILL, nullptr));
  std::memset(image.bottomRow, 0x5A, image.imageBytes);  // padding bytes are not zero
  image.PixelSetFunc(image.Row(0), 0, 0x123456);
  image.PixelSetFunc(image.Row(1), 0, 0xABCDEF);
  CBmpWriter writer;
  writer.SetResolution(2835, -7);
  std::vector<BYTE> expected = Header(62, 54, 1, 2, 24, 0);
  const BYTE resolution[8] = {0x13, 0x0B, 0, 0, 0xF9, 0xFF, 0xFF, 0xFF};
  std::memcpy(expected.data() + 38, resolution, 8);
  expected = Cat(expected, {0xEF, 0xCD, 0xAB, 0, 0x56, 0x34, 0x12, 0});
  EXPECT_EQ(Saved(writer, image), expected);
}

TEST(BmpWriter, UsedPaletteFlagWritesOnlyTheIndicesUpToTheHighest) {
  CGraphicsImage image;
  ASSERT_TRUE(image.Create(8, 4, 3, 0, nullptr));
  for (int i = 0; i < 10; ++i) image.Row(i / 4)[i % 4] = BYTE(i);
  CBmpWriter writer;
  EXPECT_EQ(writer.SetFlags(BMP_FLAG_USED_PALETTE, 0xFF), 1u);
  const std::vector<BYTE> file = Saved(writer, image);
  ASSERT_EQ(file.size(), 106u);
  EXPECT_EQ(U32At(file, 2), 106u);
  EXPECT_EQ(U32At(file, 10), 94u);
  EXPECT_EQ(U32At(file, 46), 10u);
  EXPECT_EQ(U32At(file, 50), 10u);
  // The default palette's first ten entries (blue, green, red, 0).
  const std::vector<BYTE> palette = {0,    0, 0,    0,    0x80, 0,    0,    0, 0,    0x80,
                                     0,    0, 0x80, 0x80, 0,    0,    0,    0, 0x80, 0,
                                     0x80, 0, 0x80, 0,    0,    0x80, 0x80, 0, 0xC0, 0xC0,
                                     0xC0, 0, 0x80, 0x80, 0x80, 0,    0xFF, 0, 0,    0};
  EXPECT_EQ(std::vector<BYTE>(file.begin() + 54, file.begin() + 94), palette);
  const std::vector<BYTE> rows = {8, 9, 0, 0, 4, 5, 6, 7, 0, 1, 2, 3};
  EXPECT_EQ(std::vector<BYTE>(file.begin() + 94, file.end()), rows);
}

TEST(BmpWriter, UsedPaletteFlagKeepsTheFullPaletteWhenIndex255IsUsed) {
  CGraphicsImage image;
  ASSERT_TRUE(image.Create(8, 3, 1, 0, nullptr));
  image.Row(0)[1] = 255;
  CBmpWriter writer;
  writer.SetFlags(BMP_FLAG_USED_PALETTE, BMP_FLAG_USED_PALETTE);
  const std::vector<BYTE> file = Saved(writer, image);
  EXPECT_EQ(U32At(file, 10), 54u + 1024u);
  EXPECT_EQ(U32At(file, 46), 0u);
  EXPECT_EQ(U32At(file, 50), 0u);
  EXPECT_EQ(file.size(), 54u + 1024u + 4u);
}

TEST(BmpWriter, BitCountSetterKeepsOnly24And32) {
  CBmpWriter writer;
  EXPECT_EQ(writer.SetBitCount(32), 32);
  EXPECT_EQ(writer.SetBitCount(16), 0);
  EXPECT_EQ(writer.bitCount, 0u);
  EXPECT_EQ(writer.SetBitCount(24), 24);
  EXPECT_EQ(writer.SetBitCount(8), 0);
  EXPECT_EQ(writer.SetFlags(0xF0, 0x30), 0x30u);
  EXPECT_EQ(writer.SetFlags(0x0, 0x10), 0x20u);
}

TEST(BmpWriter, OutputDepthByImageDepthAndBitCount) {
  struct Case {
    int imageBits, setBits, fileBits;
    uint32_t colours;
  } const cases[] = {
      {1, 0, 1, 2},    {4, 0, 4, 16},  {8, 0, 8, 256},  {8, 24, 24, 0},  {8, 32, 32, 0},
      {12, 0, 24, 0},  {15, 0, 24, 0}, {16, 0, 24, 0},  {16, 32, 32, 0}, {24, 0, 24, 0},
      {24, 32, 32, 0}, {32, 0, 24, 0}, {32, 32, 32, 0}, {1, 24, 24, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.imageBits << " bpp, SetBitCount " << c.setBits);
    CGraphicsImage image;
    savetest::MakeRandomImage(image, c.imageBits, 5, 3, 11);
    CBmpWriter writer;
    writer.SetBitCount(c.setBits);
    const std::vector<BYTE> file = Saved(writer, image);
    ASSERT_GE(file.size(), 54u);
    EXPECT_EQ(U16At(file, 28), uint32_t(c.fileBits));
    const uint32_t offset = 54 + 4 * c.colours;
    EXPECT_EQ(U32At(file, 10), offset);
    const uint32_t row = (5 * c.fileBits + 31) / 32 * 4;
    EXPECT_EQ(file.size(), offset + 3 * row);
    // Every pixel as the image's own conversion gives it.
    for (int y = 0; y < 3 && c.fileBits > 8; ++y) {
      const BYTE* at = file.data() + offset + (2 - y) * row;
      const DWORD* px = image.RowTo32Func(image.Row(y), &image);
      for (int x = 0; x < 5; ++x) {
        const int step = c.fileBits / 8;
        EXPECT_EQ(at[x * step], BYTE(px[x])) << x << "," << y;
        EXPECT_EQ(at[x * step + 1], BYTE(px[x] >> 8));
        EXPECT_EQ(at[x * step + 2], BYTE(px[x] >> 16));
        if (step == 4) {
          EXPECT_EQ(at[x * step + 3], BYTE(px[x] >> 24));
        }
      }
    }
  }
}

TEST(BmpWriter, WriteExAndSaveExWith32BitFlagKeepTheFourthByte) {
  CGraphicsImage image;
  ASSERT_TRUE(image.Create(32, 1, 1, 0x80112233, nullptr));
  savetest::ScratchDir dir;
  CBmpWriter writer;
  writer.SaveEx((dir / "a.bmp").c_str(), image, 1);
  const std::vector<BYTE> file = ReadBytes(dir / "a.bmp");
  ASSERT_EQ(file.size(), 58u);
  EXPECT_EQ(U16At(file, 28), 32u);
  EXPECT_EQ(U32At(file, 54), 0x80112233u);

  CBmpWriter plain;
  CGraphicsImage grey;
  ASSERT_TRUE(grey.Create(24, 1, 1, 0, nullptr));
  plain.SaveEx((dir / "b.bmp").c_str(), grey, 1);  // not a 32-bit image: no effect
  EXPECT_EQ(plain.bitCount, 0u);
  EXPECT_EQ(U16At(ReadBytes(dir / "b.bmp"), 28), 24u);
}

TEST(BmpWriter, RefusesTwoBitImages) {
  savetest::ScratchDir dir;
  CGraphicsImage twoBit;
  ASSERT_TRUE(twoBit.Create(2, 4, 4, 0, nullptr));
  EXPECT_EQ(SaveImage((dir / "two.bmp").c_str(), twoBit, nullptr), -1);
  EXPECT_STREQ(GraphicsErrorText, "Das Format der BMP-Datei wird nicht unterst\374tzt !");
  EXPECT_TRUE(dir.Names().empty());
}

TEST(BmpWriter, WritesToAnyStreamAndByWideName) {
  CGraphicsImage image;
  ASSERT_TRUE(image.Create(32, 3, 2, 0x11223344, nullptr));
  CFileStream memory;
  ASSERT_TRUE(memory.OpenMemory(nullptr, 0, 2));
  CBmpWriter writer;
  writer.WriteEx(memory, image, 1);
  int fill = 0;
  BYTE* data = static_cast<BYTE*>(memory.GetData(&fill));
  const std::vector<BYTE> bytes(data, data + fill);
  memory.Close();
  ::operator delete(data);
  ASSERT_EQ(bytes.size(), 54u + 24u);
  EXPECT_EQ(U16At(bytes, 28), 32u);
  EXPECT_EQ(U32At(bytes, 54), 0x11223344u);

  savetest::ScratchDir dir;
  const std::u16string wide = std::u16string(dir.path().begin(), dir.path().end()) + u"/w.bmp";
  writer.SaveEx(wide.c_str(), image, 0);  // the bit count stays 32 from before
  EXPECT_EQ(ReadBytes(dir / "w.bmp"), bytes);
  EXPECT_EQ(GetGraphicsErrorText(), GraphicsErrorText);
}

}  // namespace

namespace {

TEST(BmpWriter, RefusesAFileBeyondTheHeaderSizeField) {
  // 32768 x 32768 at 32 bits is 4 GiB of rows: the size fields cannot hold
  // it. The pixels are never read, so untouched reserved memory serves.
  const size_t bytes = size_t{32768} * 32768 * 4;
  void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (memory == MAP_FAILED) GTEST_SKIP() << "no address space for 4 GiB";
  {
    CGraphicsImage image;
    ASSERT_TRUE(image.Create(32, 32768, 32768, IMAGE_NO_FILL, memory));
    CBmpWriter writer;
    writer.SetBitCount(32);
    savetest::FailingStream sink(0);
    try {
      writer.Write(sink.stream(), image);
      ADD_FAILURE();
    } catch (const EBmpNotSupported& e) {
      EXPECT_STREQ(e.text, "Das Format der BMP-Datei wird nicht unterst\374tzt !");
    }
  }
  munmap(memory, bytes);
}

}  // namespace
