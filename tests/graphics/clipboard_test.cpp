#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>
#include <vector>

#include "graphics/image.h"
#include "platform/clipboard.h"
#include "platform/faults.h"
#include "platform/globalmem.h"
#include "test_images.h"

namespace {

// The CF_DIB block now on the clipboard.
std::vector<BYTE> ClipboardBlock() {
  std::vector<BYTE> bytes;
  if (!OpenClipboard(nullptr)) return bytes;
  HANDLE block = GetClipboardData(CF_DIB);
  if (block) {
    const BYTE* p = static_cast<const BYTE*>(GlobalLock(block));
    bytes.assign(p, p + GlobalSize(block));
    GlobalUnlock(block);
  }
  CloseClipboard();
  return bytes;
}

void ClearClipboard() {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  CloseClipboard();
}

void PutOnClipboard(UINT format, const std::vector<BYTE>& bytes) {
  HGLOBAL block = GlobalAlloc(GHND, bytes.size());
  std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
  GlobalUnlock(block);
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  SetClipboardData(format, block);
  CloseClipboard();
}

uint32_t U32(const std::vector<BYTE>& b, size_t at) {
  uint32_t v;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}

void Put32(std::vector<BYTE>& b, size_t at, uint32_t v) { std::memcpy(b.data() + at, &v, 4); }

// A packed DIB built by hand: header of `headerSize` bytes, `table` bytes of
// colours or masks, then `pixels`.
std::vector<BYTE> Dib(uint32_t headerSize, int32_t width, int32_t height, uint16_t bits,
                      uint32_t compression, uint32_t clrUsed, const std::vector<BYTE>& table,
                      const std::vector<BYTE>& pixels) {
  std::vector<BYTE> b(headerSize, 0);
  Put32(b, 0, headerSize);
  Put32(b, 4, static_cast<uint32_t>(width));
  Put32(b, 8, static_cast<uint32_t>(height));
  b[12] = 1;
  b[14] = static_cast<BYTE>(bits);
  b[15] = static_cast<BYTE>(bits >> 8);
  Put32(b, 16, compression);
  Put32(b, 32, clrUsed);
  b.insert(b.end(), table.begin(), table.end());
  b.insert(b.end(), pixels.begin(), pixels.end());
  return b;
}

std::vector<BYTE> Masks(uint32_t r, uint32_t g, uint32_t bl) {
  std::vector<BYTE> m(12);
  Put32(m, 0, r);
  Put32(m, 4, g);
  Put32(m, 8, bl);
  return m;
}

}  // namespace

TEST(ClipboardCopy, RoundTripKeepsEveryPixelInEveryFormat) {
  std::mt19937 rng(21);
  for (int bpp : kAllFormats) {
    for (int width : {1, 2, 3, 7, 9, 33}) {
      CGraphicsImage src;
      ASSERT_TRUE(src.Create(bpp, width, 3, IMAGE_NO_FILL, nullptr));
      Randomise(src, rng);
      ASSERT_TRUE(src.CopyToClipboard(nullptr)) << bpp;
      CGraphicsImage dst;
      ASSERT_TRUE(dst.PasteFromClipboard(nullptr, 1)) << bpp;
      // 2 and 12 bits travel as 4 and 24.
      EXPECT_EQ(dst.bpp, bpp == 2 ? 4 : bpp == 12 ? 24 : bpp);
      ASSERT_EQ(dst.width, width);
      ASSERT_EQ(dst.height, 3);
      for (int y = 0; y < 3; ++y)
        for (int x = 0; x < width; ++x)
          ASSERT_EQ(dst.PixelGetFunc(dst.Row(y), x), src.PixelGetFunc(src.Row(y), x))
              << bpp << " bpp, width " << width << " at " << x << "," << y;
      for (uint32_t i = 0; i < src.paletteSize; ++i)
        ASSERT_EQ(0, std::memcmp(&dst.palette[i], &src.palette[i], 3)) << bpp << " entry " << i;
    }
  }
}

TEST(ClipboardCopy, BlockLayoutAndSizes) {
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(24, 3, 2, 0x00112233, nullptr));
  ASSERT_TRUE(im.CopyToClipboard(nullptr));
  std::vector<BYTE> block = ClipboardBlock();
  ASSERT_EQ(block.size(), 64u);  // 40 + 2 rows of 9 bytes padded to 12
  EXPECT_EQ(U32(block, 0), 40u);
  EXPECT_EQ(U32(block, 32), 0u);  // biClrUsed
  EXPECT_EQ(U32(block, 20), 24u);
  EXPECT_EQ((std::vector<BYTE>(block.begin() + 40, block.begin() + 52)),
            (std::vector<BYTE>{0x33, 0x22, 0x11, 0x33, 0x22, 0x11, 0x33, 0x22, 0x11, 0, 0, 0}));

  ASSERT_TRUE(im.Create(8, 5, 3, 0x07, nullptr));
  ASSERT_TRUE(im.CopyToClipboard(nullptr));
  block = ClipboardBlock();
  ASSERT_EQ(block.size(), 40u + 1024 + 8 * 3);
  EXPECT_EQ(U32(block, 32), 256u);
  EXPECT_EQ(U32(block, 40 + 4 * 7), 0x00C0C0C0u);
  EXPECT_EQ(block[40 + 1024], 7);

  // 16-bit pixels: no colour table, the three masks, then the pixels.
  ASSERT_TRUE(im.Create(15, 2, 1, 0x00FFFFFF, nullptr));
  ASSERT_TRUE(im.CopyToClipboard(nullptr));
  block = ClipboardBlock();
  ASSERT_EQ(block.size(), 40u + 12 + 4);
  EXPECT_EQ(U32(block, 16), 3u);
  EXPECT_EQ(U32(block, 40), 0x7C00u);
  EXPECT_EQ(U32(block, 44), 0x03E0u);
  EXPECT_EQ(U32(block, 48), 0x001Fu);
  EXPECT_EQ(U32(block, 52), 0x7FFF7FFFu);

  // Two bits go out as four with four colours; twelve as twenty-four.
  ASSERT_TRUE(im.Create(2, 3, 1, 0, nullptr));
  im.PixelSetFunc(im.Row(0), 0, 3);
  im.PixelSetFunc(im.Row(0), 1, 1);
  im.PixelSetFunc(im.Row(0), 2, 2);
  ASSERT_TRUE(im.CopyToClipboard(nullptr));
  block = ClipboardBlock();
  ASSERT_EQ(block.size(), 40u + 16 + 4);
  EXPECT_EQ(block[14], 4);
  EXPECT_EQ(U32(block, 32), 4u);
  EXPECT_EQ(U32(block, 20), 4u);
  EXPECT_EQ(U32(block, 40 + 4), 0x008000u);
  EXPECT_EQ((std::vector<BYTE>(block.begin() + 56, block.end())), (std::vector<BYTE>{0x31, 0x20, 0, 0}));
  EXPECT_EQ(im.bpp, 2);  // the image itself stays as it is

  ASSERT_TRUE(im.Create(12, 3, 1, 0x00ABCDEF, nullptr));
  ASSERT_TRUE(im.CopyToClipboard(nullptr));
  block = ClipboardBlock();
  ASSERT_EQ(block.size(), 40u + 12);
  EXPECT_EQ(block[14], 24);
  EXPECT_EQ((std::vector<BYTE>(block.begin() + 40, block.end())),
            (std::vector<BYTE>{0xE0, 0xC0, 0xA0, 0xE0, 0xC0, 0xA0, 0xE0, 0xC0, 0xA0, 0, 0, 0}));
}

TEST(ClipboardPaste, ThirtyTwoBitFourthByteIsKeptOnlyWhenAsked) {
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(32, 3, 2, 0xAB123456, nullptr));
  ASSERT_TRUE(im.CopyToClipboard(nullptr));
  CGraphicsImage dst;
  ASSERT_TRUE(dst.PasteFromClipboard(nullptr, 0));
  for (uint64_t i = 0; i < dst.imageBytes; ++i)
    ASSERT_EQ(dst.bottomRow[i], (i % 4 == 3) ? 0 : im.bottomRow[i]) << i;
  ASSERT_TRUE(dst.PasteFromClipboard(nullptr, 1));
  EXPECT_EQ(PixelBytes(dst), PixelBytes(im));
}

TEST(ClipboardCopy, EmptyImageNeverOpensTheClipboard) {
  CGraphicsImage empty, narrow;
  ASSERT_TRUE(narrow.Create(8, 0, 4, 0, nullptr));
  platform::FailNextCall(platform::FaultPoint::OpenClipboard);
  EXPECT_FALSE(empty.CopyToClipboard(nullptr));
  EXPECT_FALSE(narrow.CopyToClipboard(nullptr));
  // The injected failure is still pending: nothing tried to open.
  EXPECT_FALSE(OpenClipboard(nullptr));
  platform::ClearInjectedFaults();
}

TEST(ClipboardCopy, InjectedFailuresLeaveNoBlockAndAClosedClipboard) {
  const platform::FaultPoint points[] = {platform::FaultPoint::GlobalAlloc,
                                         platform::FaultPoint::GlobalLock,
                                         platform::FaultPoint::OpenClipboard,
                                         platform::FaultPoint::SetClipboardData};
  ClearClipboard();
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(8, 4, 4, 1, nullptr));
  for (platform::FaultPoint p : points) {
    const size_t before = platform::GlobalLiveBlocks();
    platform::FailNextCall(p);
    EXPECT_FALSE(im.CopyToClipboard(nullptr)) << static_cast<int>(p);
    EXPECT_EQ(platform::GlobalLiveBlocks(), before) << static_cast<int>(p);
    ASSERT_TRUE(OpenClipboard(nullptr)) << static_cast<int>(p);
    CloseClipboard();
  }
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_DIB));
}

TEST(ClipboardPaste, FailsWithoutADibAndWhenTheClipboardCannotOpen) {
  ClearClipboard();
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(8, 2, 2, 3, nullptr));
  EXPECT_FALSE(im.PasteFromClipboard(nullptr, 0));
  ASSERT_TRUE(im.CopyToClipboard(nullptr));
  platform::FailNextCall(platform::FaultPoint::OpenClipboard);
  CGraphicsImage other;
  EXPECT_FALSE(other.PasteFromClipboard(nullptr, 0));
  EXPECT_FALSE(other.HasPixels());
  // The block is read from CF_DIBV5 when that is all there is.
  std::vector<BYTE> block = ClipboardBlock();
  PutOnClipboard(CF_DIBV5, block);
  EXPECT_TRUE(other.PasteFromClipboard(nullptr, 0));
  EXPECT_EQ(other.PixelGetFunc(other.Row(1), 1), 3u);
}

TEST(PackedDib, ReadsWhatIsRightAndRefusesWhatIsNot) {
  const std::vector<BYTE> pal2 = {0x10, 0x20, 0x30, 0, 0x40, 0x50, 0x60, 0};
  std::vector<BYTE> pal256(1024);
  for (int i = 0; i < 1024; ++i) pal256[i] = static_cast<BYTE>(i / 4);
  const std::vector<BYTE> rows24 = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};  // 2x2
  const std::vector<BYTE> rows8 = {5, 6, 0, 0, 7, 8, 0, 0};
  const std::vector<BYTE> rows16 = {0x1F, 0x00, 0x00, 0x7C, 0xE0, 0x03, 0xFF, 0x7F};

  struct Case {
    const char* name;
    std::vector<BYTE> block;
    int bpp;               // 0: refused
    uint32_t topLeft = 0;  // PixelGet of (0, 0) when read
  };
  auto v124 = [&] {  // 124-byte header: masks and colour space inside, table after
    std::vector<BYTE> b = Dib(124, 2, 2, 8, 0, 2, pal2, rows8);
    return b;
  };
  auto bitfields52 = Dib(52, 2, 1, 16, 3, 0, {}, {0x00, 0xF8, 0xE0, 0x07});
  Put32(bitfields52, 40, 0xF800);
  Put32(bitfields52, 44, 0x07E0);
  Put32(bitfields52, 48, 0x001F);
  std::vector<BYTE> good24 = Dib(40, 2, 2, 24, 0, 0, {}, rows24);
  std::vector<Case> cases = {
      {"24-bit", good24, 24, 0x090807},
      {"8-bit, all 256 colours", Dib(40, 2, 2, 8, 0, 0, pal256, rows8), 8, 7},
      {"8-bit, 2 colours", Dib(40, 2, 2, 8, 0, 2, pal2, rows8), 8, 7},
      {"124-byte header", v124(), 8, 7},
      {"16-bit BI_RGB is 5-5-5", Dib(40, 2, 2, 16, 0, 0, {}, rows16), 15, 0x0000F800},
      {"5-6-5 masks after the header", Dib(40, 2, 1, 16, 3, 0, Masks(0xF800, 0x07E0, 0x1F), {0x00, 0xF8, 0xE0, 0x07}), 16, 0xF80000},
      {"5-5-5 masks after the header", Dib(40, 1, 1, 16, 3, 0, Masks(0x7C00, 0x03E0, 0x1F), {0x1F, 0, 0, 0}), 15, 0xF8},
      {"masks inside a 52-byte header", bitfields52, 16, 0xF80000},
      {"32-bit 8-8-8 masks", Dib(40, 1, 1, 32, 3, 0, Masks(0xFF0000, 0xFF00, 0xFF), {1, 2, 3, 4}), 32, 0x00030201},
      {"empty block", {}, 0},
      {"short header", std::vector<BYTE>(good24.begin(), good24.begin() + 39), 0},
      {"header only", std::vector<BYTE>(good24.begin(), good24.begin() + 40), 0},
      {"one pixel byte short", std::vector<BYTE>(good24.begin(), good24.end() - 1), 0},
      {"short colour table", Dib(40, 2, 2, 8, 0, 0, pal2, rows8), 0},
      {"biSize 0", Dib(40, 2, 2, 24, 0, 0, {}, rows24), 0},
      {"biSize 39", Dib(40, 2, 2, 24, 0, 0, {}, rows24), 0},
      {"biSize 64", Dib(40, 2, 2, 24, 0, 0, {}, rows24), 0},
      {"biClrUsed 300", Dib(40, 2, 2, 8, 0, 300, pal256, rows8), 0},
      {"biClrUsed 0xFFFFFFFF", Dib(40, 2, 2, 8, 0, 0xFFFFFFFF, pal256, rows8), 0},
      {"true colour biClrUsed 300", Dib(40, 2, 2, 24, 0, 300, std::vector<BYTE>(1200), rows24), 0},
      {"width 32769", Dib(40, 32769, 1, 8, 0, 2, pal2, std::vector<BYTE>(32772)), 0},
      {"width 0", Dib(40, 0, 1, 8, 0, 2, pal2, rows8), 0},
      {"width -1", Dib(40, -1, 1, 8, 0, 2, pal2, rows8), 0},
      {"height 0", Dib(40, 2, 0, 24, 0, 0, {}, rows24), 0},
      {"height -2 (top-down)", Dib(40, 2, -2, 24, 0, 0, {}, rows24), 0},
      {"height INT_MIN", Dib(40, 2, INT_MIN, 24, 0, 0, {}, rows24), 0},
      {"0 bits", Dib(40, 2, 2, 0, 0, 0, {}, rows24), 0},
      {"2 bits", Dib(40, 2, 2, 2, 0, 4, pal256, rows24), 0},
      {"3 bits", Dib(40, 2, 2, 3, 0, 8, pal256, rows24), 0},
      {"12 bits", Dib(40, 2, 2, 12, 0, 0, {}, rows24), 0},
      {"RLE8", Dib(40, 2, 2, 8, 1, 2, pal2, rows8), 0},
      {"RLE4", Dib(40, 2, 2, 4, 2, 2, pal2, rows8), 0},
      {"odd 16-bit masks", Dib(40, 2, 1, 16, 3, 0, Masks(0xF000, 0x0F00, 0x00F0), rows16), 0},
      {"odd 32-bit masks", Dib(40, 1, 1, 32, 3, 0, Masks(0xFF, 0xFF00, 0xFF0000), {1, 2, 3, 4}), 0},
      {"bitfields at 24 bits", Dib(40, 2, 2, 24, 3, 0, Masks(0xFF0000, 0xFF00, 0xFF), rows24), 0},
      {"masks cut off", Dib(40, 1, 1, 16, 3, 0, {0, 0xF8, 0, 0}, {}), 0},
      {"compression 4", Dib(40, 2, 2, 24, 4, 0, {}, rows24), 0},
  };
  // Header-size cases: the size field lies about the header before it.
  Put32(cases[14].block, 0, 0);
  Put32(cases[15].block, 0, 39);
  Put32(cases[16].block, 0, 64);

  for (const Case& c : cases) {
    CGraphicsImage im;
    ASSERT_TRUE(im.Create(4, 3, 3, 9, nullptr));
    const std::vector<BYTE> before = PixelBytes(im);
    const bool ok = im.ReadPackedDib(c.block.data(), c.block.size(), 0);
    EXPECT_EQ(ok, c.bpp != 0) << c.name;
    if (!ok) {
      EXPECT_EQ(im.bpp, 4) << c.name;
      EXPECT_EQ(im.width, 3) << c.name;
      EXPECT_EQ(PixelBytes(im), before) << c.name;
      continue;
    }
    EXPECT_EQ(im.bpp, c.bpp) << c.name;
    EXPECT_EQ(im.PixelGetFunc(im.Row(0), 0), c.topLeft) << c.name;
  }
}

TEST(PackedDib, TakesColoursOnlyWhereTheyAreColours) {
  std::vector<BYTE> pal = {0x10, 0x20, 0x30, 0x99, 0x40, 0x50, 0x60, 0x99};
  CGraphicsImage im;
  std::vector<BYTE> mono = Dib(40, 1, 1, 1, 0, 2, pal, {0x80, 0, 0, 0});
  ASSERT_TRUE(im.ReadPackedDib(mono.data(), mono.size(), 0));
  BYTE r, g, b, a;
  EXPECT_EQ(im.GetPaletteEntryRGBA(1, &r, &g, &b, &a), 0x00605040u);
  EXPECT_EQ(im.PixelGetFunc(im.Row(0), 0), 1u);
  // A true-colour table is skipped; at 16 bits the masks stay the image's own.
  std::vector<BYTE> block = Dib(40, 1, 1, 16, 0, 2, pal, {0xFF, 0x7F, 0, 0});
  ASSERT_TRUE(im.ReadPackedDib(block.data(), block.size(), 0));
  EXPECT_EQ(im.bpp, 15);
  EXPECT_EQ(im.GetPaletteEntry(0, &r, &g, &b), 0x7C00u);
  EXPECT_EQ(im.PixelGetFunc(im.Row(0), 0), 0x00F8F8F8u);
}
