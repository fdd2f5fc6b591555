#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>
#include <vector>

#include "graphics/image.h"
#include "test_images.h"

namespace {

DWORD Pixel(const CGraphicsImage& im, int x, int y) {
  return im.PixelGetFunc(im.Row(y), x);
}

DWORD Entry(const CGraphicsImage& im, int i) {
  const RGBQUAD& q = im.palette[i];
  return DWORD{q.rgbReserved} << 24 | DWORD{q.rgbRed} << 16 | DWORD{q.rgbGreen} << 8 | q.rgbBlue;
}

BITMAPINFOHEADER Header(LONG w, LONG h, WORD bits, DWORD sizeImage) {
  BITMAPINFOHEADER hd{};
  hd.biSize = 40;
  hd.biWidth = w;
  hd.biHeight = h;
  hd.biPlanes = 1;
  hd.biBitCount = bits;
  hd.biSizeImage = sizeImage;
  return hd;
}

// A 3 x 2 DIB: its colour table, its rows top row first (each padded to 4
// bytes, written from the published layouts) and what each pixel reads as
// (palette formats: the index), top row first.
struct DibCase {
  const char* name;
  WORD bits;
  int bpp;
  std::vector<DWORD> table;
  std::vector<BYTE> top, bottom;
  std::vector<DWORD> pixels;
};

std::vector<DibCase> DibCases() {
  std::vector<DWORD> sixteen;
  for (DWORD i = 0; i < 16; ++i) sixteen.push_back(0x010101 * (i * 17) ^ 0x00400000);
  std::vector<DWORD> full;
  for (DWORD i = 0; i < 256; ++i) full.push_back(i << 16 | (255 - i) << 8 | (i * 7 & 255));
  return {
      {"1 bit", 1, 1, {0x102030, 0xF0E0D0}, {0x40, 0, 0, 0}, {0xA0, 0, 0, 0}, {0, 1, 0, 1, 0, 1}},
      {"2 bits",
       2,
       2,
       {0x111111, 0x222222, 0x333333, 0x444444},
       {0x6C, 0, 0, 0},
       {0xE4, 0, 0, 0},
       {1, 2, 3, 3, 2, 1}},
      {"4 bits", 4, 4, sixteen, {0x12, 0x30, 0, 0}, {0xFE, 0xD0, 0, 0}, {1, 2, 3, 15, 14, 13}},
      {"8 bits", 8, 8, full, {5, 6, 7, 0}, {255, 0, 128, 0}, {5, 6, 7, 255, 0, 128}},
      // 5-5-5 words: red, green, blue; white, black, bit 15 with 1, 1, 1.
      {"16 bits",
       16,
       15,
       {},
       {0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0, 0},
       {0xFF, 0x7F, 0x00, 0x00, 0x21, 0x84, 0, 0},
       {0xF80000, 0x00F800, 0x0000F8, 0xF8F8F8, 0, 0x80080808}},
      {"24 bits",
       24,
       24,
       {},
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0},
       {10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0},
       {0x030201, 0x060504, 0x090807, 0x0C0B0A, 0x0F0E0D, 0x121110}},
      {"32 bits",
       32,
       32,
       {},
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12},
       {13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24},
       {0x04030201, 0x08070605, 0x0C0B0A09, 0x100F0E0D, 0x14131211, 0x18171615}},
  };
}

void ExpectPixels(const CGraphicsImage& im, const DibCase& c) {
  ASSERT_EQ(im.bpp, c.bpp);
  ASSERT_EQ(im.width, 3);
  ASSERT_EQ(im.height, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x)
      EXPECT_EQ(Pixel(im, x, y), c.pixels[size_t(y) * 3 + x]) << x << "," << y;
  for (size_t i = 0; i < c.table.size(); ++i) EXPECT_EQ(Entry(im, int(i)), c.table[i]) << i;
}

// A packed DIB: a header of `headerSize` bytes, then `table`, then `rows`.
std::vector<BYTE> Packed(DWORD headerSize, BITMAPINFOHEADER h, const std::vector<DWORD>& table,
                         const std::vector<BYTE>& rows) {
  h.biSize = headerSize;
  std::vector<BYTE> b(headerSize, 0);
  std::memcpy(b.data(), &h, sizeof h);
  for (DWORD c : table) {
    const BYTE* p = reinterpret_cast<const BYTE*>(&c);
    b.insert(b.end(), p, p + 4);
  }
  b.insert(b.end(), rows.begin(), rows.end());
  return b;
}

const BITMAPINFO* AsInfo(const std::vector<BYTE>& b) {
  return reinterpret_cast<const BITMAPINFO*>(b.data());
}

}  // namespace

TEST(FromDib, ReadsEveryBitCountBottomUpAndTopDown) {
  for (const DibCase& c : DibCases()) {
    SCOPED_TRACE(c.name);
    const DWORD size = static_cast<DWORD>(c.top.size() * 2);
    std::vector<BYTE> bottomUp = c.bottom;
    bottomUp.insert(bottomUp.end(), c.top.begin(), c.top.end());
    std::vector<BYTE> topDown = c.top;
    topDown.insert(topDown.end(), c.bottom.begin(), c.bottom.end());
    std::vector<DWORD> colours = c.table;
    colours.resize(256, 0xDEADBEEF);
    for (LONG h : {2, -2}) {
      SCOPED_TRACE(h);
      const BITMAPINFOHEADER hd = Header(3, h, c.bits, size);
      CGraphicsImage im;
      ASSERT_TRUE(im.FromDib(&hd, h > 0 ? bottomUp.data() : topDown.data(), colours.data()));
      ExpectPixels(im, c);
      // Stored bottom-up, as the image always is.
      EXPECT_EQ(std::memcmp(im.bottomRow, bottomUp.data(), size), 0);
    }
  }
}

TEST(FromDib, KeepsTheReservedByteAndWithoutColoursTheDefaultPalette) {
  const BITMAPINFOHEADER hd = Header(1, 1, 1, 4);
  const BYTE bits[4] = {0x80, 0, 0, 0};
  const DWORD colours[2] = {0xAB123456, 0x01020304};
  CGraphicsImage im;
  ASSERT_TRUE(im.FromDib(&hd, bits, colours));
  EXPECT_EQ(Entry(im, 0), 0xAB123456u);
  EXPECT_EQ(Entry(im, 1), 0x01020304u);
  ASSERT_TRUE(im.FromDib(&hd, bits, nullptr));
  EXPECT_EQ(Entry(im, 0), 0x000000u);
  EXPECT_EQ(Entry(im, 1), 0xFFFFFFu);
  EXPECT_EQ(Pixel(im, 0, 0), 1u);
}

TEST(FromDib, NeedsBiSizeImageToCoverTheRows) {
  // 5 x 3 at 24 bits: rows of 15 bytes padded to 16.
  std::vector<BYTE> bits(48, 0x5A);
  for (DWORD size : {0u, 1u, 47u}) {
    CGraphicsImage im;
    ASSERT_TRUE(im.Create(8, 4, 4, 0, nullptr));
    const BITMAPINFOHEADER hd = Header(5, 3, 24, size);
    EXPECT_FALSE(im.FromDib(&hd, bits.data(), nullptr)) << size;
    EXPECT_FALSE(im.HasPixels());
    EXPECT_EQ(im.width, 0);
  }
  CGraphicsImage im;
  const BITMAPINFOHEADER hd = Header(5, 3, 24, 48);
  ASSERT_TRUE(im.FromDib(&hd, bits.data(), nullptr));
  EXPECT_EQ(Pixel(im, 4, 2), 0x5A5A5Au);
}

TEST(FromDib, RefusesHostileHeadersAndLeavesTheImageEmpty) {
  struct Case {
    const char* name;
    LONG w, h;
    WORD planes, bits;
    DWORD compression;
  };
  const Case cases[] = {
      {"no planes", 2, 2, 0, 8, BI_RGB},
      {"two planes", 2, 2, 2, 8, BI_RGB},
      {"RLE8", 2, 2, 1, 8, BI_RLE8},
      {"RLE4", 2, 2, 1, 4, BI_RLE4},
      {"bit fields", 2, 2, 1, 16, BI_BITFIELDS},
      {"JPEG", 2, 2, 1, 24, 4},
      {"zero width", 0, 2, 1, 8, BI_RGB},
      {"zero height", 2, 0, 1, 8, BI_RGB},
      {"negative width", -2, 2, 1, 8, BI_RGB},
      {"wide", 32769, 1, 1, 1, BI_RGB},
      {"tall top-down", 1, -32769, 1, 1, BI_RGB},
      {"tall", 1, 32769, 1, 1, BI_RGB},
      {"lowest height", 1, INT32_MIN, 1, 8, BI_RGB},
      {"lowest width", INT32_MIN, 1, 1, 8, BI_RGB},
      {"0 bits", 2, 2, 1, 0, BI_RGB},
      {"3 bits", 2, 2, 1, 3, BI_RGB},
      {"15 bits", 2, 2, 1, 15, BI_RGB},
      {"33 bits", 2, 2, 1, 33, BI_RGB},
      {"64 bits", 2, 2, 1, 64, BI_RGB},
      {"65535 bits", 2, 2, 1, 0xFFFF, BI_RGB},
  };
  const std::vector<BYTE> bits(64, 0);
  const std::vector<DWORD> colours(256, 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BITMAPINFOHEADER hd = Header(c.w, c.h, c.bits, 64);
    hd.biPlanes = c.planes;
    hd.biCompression = c.compression;
    CGraphicsImage im;
    ASSERT_TRUE(im.Create(24, 2, 2, 0, nullptr));
    EXPECT_FALSE(im.FromDib(&hd, bits.data(), colours.data()));
    EXPECT_FALSE(im.HasPixels());
    // Packed with a full table behind the header, the same refusal.
    std::vector<BYTE> packed = Packed(40, hd, colours, bits);
    ASSERT_TRUE(im.Create(24, 2, 2, 0, nullptr));
    EXPECT_FALSE(im.FromPackedDib(AsInfo(packed)));
    EXPECT_FALSE(im.HasPixels());
  }
  CGraphicsImage im;
  const BITMAPINFOHEADER hd = Header(2, 2, 8, 64);
  EXPECT_FALSE(im.FromDib(nullptr, bits.data(), nullptr));
  EXPECT_FALSE(im.FromDib(&hd, nullptr, nullptr));
  EXPECT_FALSE(im.FromPackedDib(nullptr));
}

TEST(FromDib, TakesImagesOwnHeadersAndPixelsWhereTheyAreDibFormats) {
  std::mt19937 rng(7);
  for (int bpp : kAllFormats) {
    SCOPED_TRACE(bpp);
    CGraphicsImage src;
    ASSERT_TRUE(src.Create(bpp, 13, 4, 0, nullptr));
    Randomise(src, rng);
    CGraphicsImage im;
    const bool bitFields = bpp == 15 || bpp == 16;  // the header says BI_BITFIELDS
    ASSERT_EQ(im.FromDib(&src.Header(), src.bottomRow, reinterpret_cast<const DWORD*>(src.palette)),
              !bitFields);
    if (bitFields) continue;
    EXPECT_EQ(im.bpp, bpp);
    EXPECT_EQ(PixelBytes(im), PixelBytes(src));
    for (DWORD i = 0; i < src.paletteSize; ++i) EXPECT_EQ(Entry(im, int(i)), Entry(src, int(i)));
    // And from its own memory.
    ASSERT_TRUE(
        src.FromDib(&src.Header(), src.bottomRow, reinterpret_cast<const DWORD*>(src.palette)));
    EXPECT_EQ(PixelBytes(src), PixelBytes(im));
  }
}

TEST(FromPackedDib, TableHoldsTheEntriesTheHeaderCounts) {
  // An 8-bit DIB with 16 entries and indices below 16, bottom row first.
  const std::vector<BYTE> rows = {1, 2, 3, 0, 4, 5, 15, 0};
  std::vector<DWORD> table(16);
  for (DWORD i = 0; i < 16; ++i) table[i] = 0x0A0B0C * i + 0x010000;
  BITMAPINFOHEADER hd = Header(3, 2, 8, 8);
  hd.biClrUsed = 16;
  const std::vector<BYTE> packed = Packed(40, hd, table, rows);
  CGraphicsImage im;
  ASSERT_TRUE(im.FromPackedDib(AsInfo(packed)));
  EXPECT_EQ(Pixel(im, 0, 0), 4u);
  EXPECT_EQ(Pixel(im, 2, 0), 15u);
  EXPECT_EQ(Pixel(im, 2, 1), 3u);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(Entry(im, i), table[size_t(i)]) << i;
  // Entries beyond the table keep the default palette: 16 is the first grey.
  EXPECT_EQ(Entry(im, 16), 0u);
  EXPECT_EQ(Entry(im, 17), 0x101010u);
}

TEST(FromPackedDib, ReadsEveryBitCountWithAFullTable) {
  for (const DibCase& c : DibCases()) {
    SCOPED_TRACE(c.name);
    std::vector<BYTE> rows = c.bottom;
    rows.insert(rows.end(), c.top.begin(), c.top.end());
    std::vector<DWORD> table = c.table;
    if (c.bits <= 8) table.resize(size_t{1} << c.bits, 0);
    for (DWORD headerSize : {40u, 108u, 124u}) {
      SCOPED_TRACE(headerSize);
      const std::vector<BYTE> packed =
          Packed(headerSize, Header(3, 2, c.bits, static_cast<DWORD>(rows.size())), table, rows);
      CGraphicsImage im;
      ASSERT_TRUE(im.FromPackedDib(AsInfo(packed)));
      ExpectPixels(im, c);
    }
  }
}

TEST(FromPackedDib, TrueColourTablesMoveThePixelsAndOddCountsAreCut) {
  // A 24-bit DIB carrying two table entries: the pixels follow them.
  BITMAPINFOHEADER hd = Header(1, 1, 24, 4);
  hd.biClrUsed = 2;
  std::vector<BYTE> packed = Packed(40, hd, {0x111111, 0x222222}, {0x30, 0x20, 0x10, 0});
  CGraphicsImage im;
  ASSERT_TRUE(im.FromPackedDib(AsInfo(packed)));
  EXPECT_EQ(Pixel(im, 0, 0), 0x102030u);
  // 4 bits with 20 entries: the palette takes 16, the pixels follow all 20.
  hd = Header(2, 1, 4, 4);
  hd.biClrUsed = 20;
  std::vector<DWORD> table(20);
  for (DWORD i = 0; i < 20; ++i) table[i] = 0x000100 * i;
  packed = Packed(40, hd, table, {0x3F, 0, 0, 0});
  ASSERT_TRUE(im.FromPackedDib(AsInfo(packed)));
  EXPECT_EQ(Pixel(im, 0, 0), 3u);
  EXPECT_EQ(Pixel(im, 1, 0), 15u);
  EXPECT_EQ(Entry(im, 15), 0x000F00u);
  // Headers of unknown size and tables beyond 256 entries are refused.
  for (DWORD headerSize : {12u, 44u, 64u, 0xFFFFFFFFu}) {
    hd = Header(1, 1, 24, 4);
    std::vector<BYTE> bytes = Packed(40, hd, {}, std::vector<BYTE>(64, 0));
    std::memcpy(bytes.data(), &headerSize, 4);
    EXPECT_FALSE(im.FromPackedDib(AsInfo(bytes))) << headerSize;
  }
  hd = Header(1, 1, 8, 4);
  hd.biClrUsed = 257;
  packed = Packed(40, hd, std::vector<DWORD>(257), {0, 0, 0, 0});
  EXPECT_FALSE(im.FromPackedDib(AsInfo(packed)));
  EXPECT_FALSE(im.HasPixels());
}
