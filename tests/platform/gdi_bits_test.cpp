#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/faults.h"
#include "platform/gdi.h"
#include "platform/screen.h"

namespace {

// A header with room for a full colour table (or the three masks).
struct InfoBlock {
  BITMAPINFOHEADER header;
  DWORD table[256];
  BITMAPINFO* get() { return reinterpret_cast<BITMAPINFO*>(this); }
};

InfoBlock Info(LONG width, LONG height, WORD bits, DWORD compression = BI_RGB) {
  InfoBlock b{};
  b.header.biSize = 40;
  b.header.biWidth = width;
  b.header.biHeight = height;
  b.header.biPlanes = 1;
  b.header.biBitCount = bits;
  b.header.biCompression = compression;
  return b;
}

// A screen context released at the end of the test.
struct ScreenDC {
  HDC dc = GetDC(nullptr);
  ~ScreenDC() { ReleaseDC(nullptr, dc); }
};

// Bitmap handles deleted at the end of the test.
struct Owned {
  HBITMAP h;
  explicit Owned(HBITMAP b) : h(b) {}
  ~Owned() {
    if (h) DeleteObject(h);
  }
};

// A 32-bit bitmap holding `colours` (row 0 = bottom line), set through a
// 32-bit DIB.
HBITMAP Screen32(HDC dc, int w, int h, const std::vector<DWORD>& colours) {
  HBITMAP b = CreateCompatibleBitmap(dc, w, h);
  InfoBlock info = Info(w, h, 32);
  EXPECT_EQ(SetDIBits(dc, b, 0, static_cast<UINT>(h), colours.data(), info.get(), DIB_RGB_COLORS),
            h);
  return b;
}

std::vector<DWORD> Read32(HDC dc, HBITMAP b, int w, int h) {
  std::vector<DWORD> out(static_cast<size_t>(w) * h, 0xDEADBEEF);
  InfoBlock info = Info(w, h, 32);
  EXPECT_EQ(GetDIBits(dc, b, 0, static_cast<UINT>(h), out.data(), info.get(), DIB_RGB_COLORS), h);
  return out;
}

}  // namespace

TEST(CompatibleBitmap, HasTheScreensFormatOrForNoSizeOneMonochromePixel) {
  ScreenDC s;
  struct Case {
    int w, h;
    LONG width, height;
    WORD bits;
    DWORD sizeImage;
  };
  const Case cases[] = {{5, 3, 5, 3, 32, 60}, {0, 7, 1, 1, 1, 4}, {7, 0, 1, 1, 1, 4}};
  const size_t before = platform::GdiLiveObjects();
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.w << " x " << c.h);
    Owned b(CreateCompatibleBitmap(s.dc, c.w, c.h));
    ASSERT_NE(b.h, nullptr);
    InfoBlock q = Info(0, 0, 0);
    EXPECT_EQ(GetDIBits(s.dc, b.h, 0, 0, nullptr, q.get(), DIB_RGB_COLORS), c.height);
    EXPECT_EQ(q.header.biWidth, c.width);
    EXPECT_EQ(q.header.biHeight, c.height);
    EXPECT_EQ(q.header.biPlanes, 1);
    EXPECT_EQ(q.header.biBitCount, c.bits);
    EXPECT_EQ(q.header.biCompression, BI_RGB);
    EXPECT_EQ(q.header.biSizeImage, c.sizeImage);
    for (DWORD v : Read32(s.dc, b.h, c.width, c.height)) EXPECT_EQ(v, 0u);
  }
  EXPECT_EQ(platform::GdiLiveObjects(), before);
}

TEST(CompatibleBitmap, BadArgumentsGiveNothing) {
  ScreenDC s;
  const size_t before = platform::GdiLiveObjects();
  EXPECT_EQ(CreateCompatibleBitmap(s.dc, -1, 4), nullptr);
  EXPECT_EQ(CreateCompatibleBitmap(s.dc, 4, -1), nullptr);
  EXPECT_EQ(CreateCompatibleBitmap(nullptr, 4, 4), nullptr);
  HDC dead = GetDC(nullptr);
  ReleaseDC(nullptr, dead);
  EXPECT_EQ(CreateCompatibleBitmap(dead, 4, 4), nullptr);
  platform::FailNextCall(platform::FaultPoint::CreateCompatibleBitmap);
  EXPECT_EQ(CreateCompatibleBitmap(s.dc, 4, 4), nullptr);
  EXPECT_EQ(platform::GdiLiveObjects(), before);
}

TEST(DibBits, ThirtyTwoBitRowsRoundTripWithTheFourthByte) {
  ScreenDC s;
  const std::vector<DWORD> colours = {0x11223344, 0xFF000000, 0x00ABCDEF,
                                      0x80FFFFFF, 0x00000001, 0x7F808080};
  Owned b(Screen32(s.dc, 3, 2, colours));
  EXPECT_EQ(Read32(s.dc, b.h, 3, 2), colours);
}

// One row of four pixels in each DIB format, written byte by byte from the
// published layouts, and the colours it stands for.
struct FormatCase {
  const char* name;
  WORD bits;
  DWORD compression;
  std::vector<DWORD> table;  // colours (0x00RRGGBB) or masks
  std::vector<BYTE> row;     // padded to 4 bytes
  std::vector<DWORD> colours;
};

std::vector<FormatCase> FormatCases() {
  return {
      {"1 bit",
       1,
       BI_RGB,
       {0x102030, 0xF0E0D0},
       {0xA0, 0, 0, 0},  // 1010
       {0xF0E0D0, 0x102030, 0xF0E0D0, 0x102030}},
      {"4 bits",
       4,
       BI_RGB,
       {0x000000, 0x112233, 0x445566, 0x778899, 0xAABBCC, 0xDDEEFF},
       {0x15, 0x32, 0, 0},
       {0x112233, 0xDDEEFF, 0x778899, 0x445566}},
      {"8 bits",
       8,
       BI_RGB,
       {0x010203, 0x040506, 0x070809},
       {2, 0, 1, 2},
       {0x070809, 0x010203, 0x040506, 0x070809}},
      // 5-5-5 words 0x7FFF, 0x7C00, 0x03E0, 0x0421 (1,1,1)
      {"16 bits 5-5-5",
       16,
       BI_RGB,
       {},
       {0xFF, 0x7F, 0x00, 0x7C, 0xE0, 0x03, 0x21, 0x04},
       {0xF8F8F8, 0xF80000, 0x00F800, 0x080808}},
      // 5-6-5 words 0xFFFF, 0xF800, 0x07E0, 0x0841 (1,2,1)
      {"16 bits 5-6-5",
       16,
       BI_BITFIELDS,
       {0xF800, 0x07E0, 0x001F},
       {0xFF, 0xFF, 0x00, 0xF8, 0xE0, 0x07, 0x41, 0x08},
       {0xF8FCF8, 0xF80000, 0x00FC00, 0x080808}},
      {"24 bits",
       24,
       BI_RGB,
       {},
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12},
       {0x030201, 0x060504, 0x090807, 0x0C0B0A}},
      {"32 bits masks",
       32,
       BI_BITFIELDS,
       {0xFF0000, 0xFF00, 0xFF},
       {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0, 10, 11, 12, 0},
       {0x030201, 0x060504, 0x090807, 0x0C0B0A}},
  };
}

InfoBlock InfoOf(const FormatCase& c, LONG height) {
  InfoBlock info = Info(4, height, c.bits, c.compression);
  for (size_t i = 0; i < c.table.size(); ++i) info.table[i] = c.table[i];
  if (c.bits <= 8) info.header.biClrUsed = static_cast<DWORD>(c.table.size());
  return info;
}

TEST(DibBits, SetDIBitsReadsEveryFormatAsItsColours) {
  ScreenDC s;
  for (const FormatCase& c : FormatCases()) {
    SCOPED_TRACE(c.name);
    Owned b(CreateCompatibleBitmap(s.dc, 4, 1));
    InfoBlock info = InfoOf(c, 1);
    EXPECT_EQ(SetDIBits(s.dc, b.h, 0, 1, c.row.data(), info.get(), DIB_RGB_COLORS), 1);
    EXPECT_EQ(Read32(s.dc, b.h, 4, 1), c.colours);
  }
}

TEST(DibBits, GetDIBitsWritesEveryTrueColourFormatByteForByte) {
  ScreenDC s;
  for (const FormatCase& c : FormatCases()) {
    if (c.bits <= 8) continue;
    SCOPED_TRACE(c.name);
    // The colours as a 32-bit bitmap, read back in the case's format.
    Owned b(Screen32(s.dc, 4, 1, c.colours));
    InfoBlock info = InfoOf(c, 1);
    std::vector<BYTE> out(c.row.size() + 4, 0xEE);
    EXPECT_EQ(GetDIBits(s.dc, b.h, 0, 1, out.data(), info.get(), DIB_RGB_COLORS), 1);
    EXPECT_EQ(std::vector<BYTE>(out.begin(), out.begin() + static_cast<long>(c.row.size())), c.row);
    EXPECT_EQ(out[c.row.size()], 0xEE);  // nothing beyond the row
  }
}

TEST(DibBits, NarrowingDropsLowBitsAndPadsRowsWithZeros) {
  ScreenDC s;
  // 3 pixels: 24-bit rows are 9 bytes padded to 12, 16-bit rows 6 padded to 8.
  Owned b(Screen32(s.dc, 3, 1, {0xFF123456, 0x00FFFFFF, 0x00070707}));
  InfoBlock info24 = Info(3, 1, 24);
  std::vector<BYTE> row24(12, 0xEE);
  ASSERT_EQ(GetDIBits(s.dc, b.h, 0, 1, row24.data(), info24.get(), DIB_RGB_COLORS), 1);
  EXPECT_EQ(row24, (std::vector<BYTE>{0x56, 0x34, 0x12, 0xFF, 0xFF, 0xFF, 7, 7, 7, 0, 0, 0}));
  EXPECT_EQ(info24.header.biSizeImage, 12u);
  InfoBlock info16 = Info(3, 1, 16);
  std::vector<BYTE> row16(8, 0xEE);
  ASSERT_EQ(GetDIBits(s.dc, b.h, 0, 1, row16.data(), info16.get(), DIB_RGB_COLORS), 1);
  // 0x12>>3=2, 0x34>>3=6, 0x56>>3=10: 2<<10|6<<5|10 = 0x08CA; white 0x7FFF; 7s drop to 0.
  EXPECT_EQ(row16, (std::vector<BYTE>{0xCA, 0x08, 0xFF, 0x7F, 0, 0, 0, 0}));
}

TEST(DibBits, HeightSignChoosesRowOrderAndLinesCountFromTheBottom) {
  ScreenDC s;
  // Lines 0 (bottom) to 3 (top), one pixel each.
  Owned b(Screen32(s.dc, 1, 4, {0xA0, 0xA1, 0xA2, 0xA3}));
  struct Case {
    LONG height;
    UINT start, lines;
    int copied;
    std::vector<DWORD> rows;  // in buffer order
  };
  const Case cases[] = {
      {4, 0, 4, 4, {0xA0, 0xA1, 0xA2, 0xA3}},
      {-4, 0, 4, 4, {0xA3, 0xA2, 0xA1, 0xA0}},
      {4, 1, 2, 2, {0xA1, 0xA2}},
      {-4, 1, 2, 2, {0xA2, 0xA1}},
      {4, 2, 9, 2, {0xA2, 0xA3}},  // cut at the top
      {4, 4, 1, 0, {}},
      {4, 0, 0, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.height << " from " << c.start << " x " << c.lines);
    InfoBlock info = Info(1, c.height, 32);
    std::vector<DWORD> out(4, 0xEEEEEEEE);
    EXPECT_EQ(GetDIBits(s.dc, b.h, c.start, c.lines, out.data(), info.get(), DIB_RGB_COLORS),
              c.copied);
    EXPECT_EQ(std::vector<DWORD>(out.begin(), out.begin() + c.copied), c.rows);
  }
  // SetDIBits places rows the same way: a top-down pair into lines 2 and 3.
  InfoBlock down = Info(1, -2, 32);
  const DWORD pair[2] = {0xB3, 0xB2};
  EXPECT_EQ(SetDIBits(s.dc, b.h, 2, 2, pair, down.get(), DIB_RGB_COLORS), 2);
  EXPECT_EQ(Read32(s.dc, b.h, 1, 4), (std::vector<DWORD>{0xA0, 0xA1, 0xB2, 0xB3}));
  EXPECT_EQ(SetDIBits(s.dc, b.h, 3, 5, pair, down.get(), DIB_RGB_COLORS), 1);
  EXPECT_EQ(SetDIBits(s.dc, b.h, 4, 1, pair, down.get(), DIB_RGB_COLORS), 0);
}

TEST(DibBits, PaletteSectionsGiveTheirOwnColoursAndIndices) {
  ScreenDC s;
  InfoBlock info = Info(3, 1, 4);
  info.header.biClrUsed = 3;
  info.table[0] = 0x0000FF;
  info.table[1] = 0x00FF00;
  info.table[2] = 0xFF0000;
  void* bits = nullptr;
  Owned b(CreateDIBSection(s.dc, info.get(), DIB_RGB_COLORS, &bits, nullptr, 0));
  ASSERT_NE(b.h, nullptr);
  static_cast<BYTE*>(bits)[0] = 0x21;  // indices 2, 1
  static_cast<BYTE*>(bits)[1] = 0x00;  // index 0
  for (WORD wanted : {4, 8}) {
    SCOPED_TRACE(wanted);
    InfoBlock q = Info(3, 1, wanted);
    std::memset(q.table, 0xEE, sizeof q.table);
    BYTE out[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    ASSERT_EQ(GetDIBits(s.dc, b.h, 0, 1, out, q.get(), DIB_RGB_COLORS), 1);
    if (wanted == 4) {
      EXPECT_EQ(out[0], 0x21);
      EXPECT_EQ(out[1], 0x00);
    } else {
      EXPECT_EQ(out[0], 2);
      EXPECT_EQ(out[1], 1);
      EXPECT_EQ(out[2], 0);
    }
    EXPECT_EQ(q.table[0], 0x0000FFu);
    EXPECT_EQ(q.table[1], 0x00FF00u);
    EXPECT_EQ(q.table[2], 0xFF0000u);
    for (int i = 3; i < (1 << wanted); ++i) EXPECT_EQ(q.table[i], 0u) << i;
  }
  EXPECT_EQ(Read32(s.dc, b.h, 3, 1), (std::vector<DWORD>{0xFF0000, 0x00FF00, 0x0000FF}));
}

TEST(DibBits, ColoursGoIntoPaletteFormatsByTheNearestFixedEntry) {
  ScreenDC s;
  Owned b(Screen32(s.dc, 4, 1, {0x000000, 0xFFFFFF, 0x7F7F7F, 0x808080}));
  // 1 bit: black and white; 0x7F is nearer black, 0x80 nearer white.
  InfoBlock q1 = Info(4, 1, 1);
  BYTE out1[4] = {};
  ASSERT_EQ(GetDIBits(s.dc, b.h, 0, 1, out1, q1.get(), DIB_RGB_COLORS), 1);
  EXPECT_EQ(out1[0], 0x50);  // 0101
  EXPECT_EQ(q1.table[0], 0u);
  EXPECT_EQ(q1.table[1], 0xFFFFFFu);
  // 4 bits: the 16 standard colours; 0x7F7F7F and 0x808080 are both grey 8.
  InfoBlock q4 = Info(4, 1, 4);
  BYTE out4[4] = {};
  ASSERT_EQ(GetDIBits(s.dc, b.h, 0, 1, out4, q4.get(), DIB_RGB_COLORS), 1);
  EXPECT_EQ(out4[0], 0x0F);
  EXPECT_EQ(out4[1], 0x88);
  const DWORD standard[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                              0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                              0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(q4.table[i], standard[i]) << i;
  // 8 bits: the 16, the cube from entry 16 (blue fastest), the greys from 232.
  InfoBlock q8 = Info(4, 1, 8);
  BYTE out8[4] = {};
  ASSERT_EQ(GetDIBits(s.dc, b.h, 0, 1, out8, q8.get(), DIB_RGB_COLORS), 1);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(q8.table[i], standard[i]) << i;
  EXPECT_EQ(q8.table[16], 0x000000u);
  EXPECT_EQ(q8.table[17], 0x000033u);
  EXPECT_EQ(q8.table[16 + 36], 0x330000u);
  EXPECT_EQ(q8.table[231], 0xFFFFFFu);
  EXPECT_EQ(q8.table[232], 0x0A0A0Au);
  EXPECT_EQ(q8.table[255], 0xF0F0F0u);
  EXPECT_EQ(out8[0], 0);
  EXPECT_EQ(out8[1], 15);
  EXPECT_EQ(out8[2], 8);  // 0x808080 is 3 away; the nearest grey, 0x828282, 27
  EXPECT_EQ(out8[3], 8);
}

TEST(DibBits, QueryOfABitfieldsSectionGivesItsMasks) {
  ScreenDC s;
  InfoBlock info = Info(2, 2, 16, BI_BITFIELDS);
  info.table[0] = 0x7C00;
  info.table[1] = 0x03E0;
  info.table[2] = 0x001F;
  void* bits = nullptr;
  Owned b(CreateDIBSection(s.dc, info.get(), DIB_RGB_COLORS, &bits, nullptr, 0));
  ASSERT_NE(b.h, nullptr);
  InfoBlock q = Info(0, 0, 0);
  EXPECT_EQ(GetDIBits(s.dc, b.h, 0, 0, nullptr, q.get(), DIB_RGB_COLORS), 2);
  EXPECT_EQ(q.header.biBitCount, 16);
  EXPECT_EQ(q.header.biCompression, BI_BITFIELDS);
  EXPECT_EQ(q.header.biSizeImage, 8u);
  EXPECT_EQ(q.table[0], 0x7C00u);
  EXPECT_EQ(q.table[1], 0x03E0u);
  EXPECT_EQ(q.table[2], 0x001Fu);
}

TEST(DibBits, RefusesWhatItCannotDoWithoutTouchingTheBitmap) {
  ScreenDC s;
  Owned b(Screen32(s.dc, 2, 2, {1, 2, 3, 4}));
  struct Case {
    const char* name;
    LONG width, height;
    WORD bits;
    DWORD compression;
    DWORD size;
    UINT usage;
  };
  const Case cases[] = {
      {"2 bits", 2, 2, 2, BI_RGB, 40, DIB_RGB_COLORS},
      {"12 bits", 2, 2, 12, BI_RGB, 40, DIB_RGB_COLORS},
      {"15 bits", 2, 2, 15, BI_RGB, 40, DIB_RGB_COLORS},
      {"RLE8", 2, 2, 8, BI_RLE8, 40, DIB_RGB_COLORS},
      {"24-bit masks", 2, 2, 24, BI_BITFIELDS, 40, DIB_RGB_COLORS},
      {"odd 16-bit masks", 2, 2, 16, BI_BITFIELDS, 40, DIB_RGB_COLORS},
      {"short header", 2, 2, 32, BI_RGB, 12, DIB_RGB_COLORS},
      {"header of no known size", 2, 2, 32, BI_RGB, 44, DIB_RGB_COLORS},
      // The colour table would lie 2 GB behind the header.
      {"palette header beyond memory", 2, 2, 8, BI_RGB, 0x7FFFFFF0, DIB_RGB_COLORS},
      {"palette header of no known size", 2, 2, 8, BI_RGB, 64, DIB_RGB_COLORS},
      {"palette indices", 2, 2, 32, BI_RGB, 40, DIB_PAL_COLORS},
      {"narrower", 1, 2, 32, BI_RGB, 40, DIB_RGB_COLORS},
      {"wider", 3, 2, 32, BI_RGB, 40, DIB_RGB_COLORS},
      {"no width", 0, 2, 32, BI_RGB, 40, DIB_RGB_COLORS},
      {"no height", 2, 0, 32, BI_RGB, 40, DIB_RGB_COLORS},
  };
  std::vector<BYTE> buffer(64, 0xEE);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    InfoBlock info = Info(c.width, c.height, c.bits, c.compression);
    info.header.biSize = c.size;
    info.table[0] = 0x1234;  // masks no format has
    EXPECT_EQ(SetDIBits(s.dc, b.h, 0, 2, buffer.data(), info.get(), c.usage), 0);
    EXPECT_EQ(GetDIBits(s.dc, b.h, 0, 2, buffer.data(), info.get(), c.usage), 0);
  }
  for (BYTE v : buffer) EXPECT_EQ(v, 0xEE);
  EXPECT_EQ(Read32(s.dc, b.h, 2, 2), (std::vector<DWORD>{1, 2, 3, 4}));
  // Header-only questions and DIB sections know the same header sizes.
  for (DWORD size : {12u, 44u, 64u, 0x7FFFFFF0u}) {
    SCOPED_TRACE(size);
    InfoBlock info{};
    info.header.biSize = size;
    EXPECT_EQ(GetDIBits(s.dc, b.h, 0, 0, nullptr, info.get(), DIB_RGB_COLORS), 0);
    EXPECT_EQ(info.header.biWidth, 0);
    InfoBlock section = Info(2, 2, 8);
    section.header.biSize = size;
    void* bits = &size;
    EXPECT_EQ(CreateDIBSection(s.dc, section.get(), DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    EXPECT_EQ(bits, nullptr);
  }
  for (DWORD size : {40u, 52u, 56u, 108u, 124u}) {
    SCOPED_TRACE(size);
    InfoBlock info{};
    info.header.biSize = size;
    EXPECT_EQ(GetDIBits(s.dc, b.h, 0, 0, nullptr, info.get(), DIB_RGB_COLORS), 2);
  }

  InfoBlock good = Info(2, 2, 32);
  HDC dead = GetDC(nullptr);
  ReleaseDC(nullptr, dead);
  EXPECT_EQ(GetDIBits(dead, b.h, 0, 2, buffer.data(), good.get(), DIB_RGB_COLORS), 0);
  EXPECT_EQ(SetDIBits(dead, b.h, 0, 2, buffer.data(), good.get(), DIB_RGB_COLORS), 0);
  EXPECT_EQ(SetDIBits(s.dc, b.h, 0, 2, nullptr, good.get(), DIB_RGB_COLORS), 0);
  HBITMAP gone = CreateCompatibleBitmap(s.dc, 2, 2);
  DeleteObject(gone);
  EXPECT_EQ(GetDIBits(s.dc, gone, 0, 2, buffer.data(), good.get(), DIB_RGB_COLORS), 0);
  EXPECT_EQ(SetDIBits(s.dc, gone, 0, 2, buffer.data(), good.get(), DIB_RGB_COLORS), 0);
  platform::FailNextCall(platform::FaultPoint::SetDIBits);
  EXPECT_EQ(SetDIBits(s.dc, b.h, 0, 2, buffer.data(), good.get(), DIB_RGB_COLORS), 0);
  EXPECT_EQ(Read32(s.dc, b.h, 2, 2), (std::vector<DWORD>{1, 2, 3, 4}));
}

TEST(DibBits, IndicesBeyondAShortTableReadAsBlack) {
  ScreenDC s;
  Owned b(CreateCompatibleBitmap(s.dc, 2, 1));
  InfoBlock info = Info(2, 1, 8);
  info.header.biClrUsed = 1;
  info.table[0] = 0x123456;
  info.table[1] = 0xFFFFFF;  // not counted
  const BYTE row[4] = {0, 1, 0, 0};
  ASSERT_EQ(SetDIBits(s.dc, b.h, 0, 1, row, info.get(), DIB_RGB_COLORS), 1);
  EXPECT_EQ(Read32(s.dc, b.h, 2, 1), (std::vector<DWORD>{0x123456, 0}));
}

TEST(DibBits, IndicesBeyondAShortTableStayBlackInANarrowerFormat) {
  ScreenDC s;
  struct Case {
    WORD wanted;
    DWORD used;
    std::vector<DWORD> colours;
    std::vector<BYTE> indices;
    std::vector<BYTE> expected;  // the asked row's first bytes
  };
  const Case cases[] = {
      // 4 bits: entries 3 .. 15 of the table are black, the first is 3.
      {4, 3, {0xFF0000, 0x00FF00, 0x0000FF}, {0, 2, 200, 19}, {0x02, 0x33}},
      // 1 bit: white and black; 6 is beyond the table and reads black.
      {1, 2, {0xFFFFFF, 0x000000}, {0, 1, 6, 0}, {0x60}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.wanted);
    InfoBlock info = Info(4, 1, 8);
    info.header.biClrUsed = c.used;
    for (size_t i = 0; i < c.colours.size(); ++i) info.table[i] = c.colours[i];
    void* bits = nullptr;
    Owned b(CreateDIBSection(s.dc, info.get(), DIB_RGB_COLORS, &bits, nullptr, 0));
    ASSERT_NE(b.h, nullptr);
    std::memcpy(bits, c.indices.data(), 4);
    InfoBlock q = Info(4, 1, c.wanted);
    BYTE out[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    ASSERT_EQ(GetDIBits(s.dc, b.h, 0, 1, out, q.get(), DIB_RGB_COLORS), 1);
    for (size_t i = 0; i < c.expected.size(); ++i) EXPECT_EQ(out[i], c.expected[i]) << i;
  }
}
