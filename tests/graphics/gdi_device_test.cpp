#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "gdi_test_support.h"
#include "graphics/image.h"
#include "platform/faults.h"
#include "platform/gdi.h"
#include "platform/screen.h"
#include "test_images.h"

namespace {

DWORD Pixel(const CGraphicsImage& im, int x, int y) {
  return im.PixelGetFunc(im.Row(y), x);
}

// The colour of a pixel as the 32-bit screen holds it: palette formats show
// their entry, the others keep the bits of the format's channel widths
// (the fourth byte only at 32 bits).
DWORD ScreenColour(const CGraphicsImage& im, DWORD stored) {
  switch (im.bpp) {
    case 1:
    case 2:
    case 4:
    case 8: {
      const RGBQUAD& q = im.palette[stored];
      return DWORD{q.rgbRed} << 16 | DWORD{q.rgbGreen} << 8 | q.rgbBlue;
    }
    case 12:
      return stored & 0xF0F0F0;
    case 15:
      return stored & 0xF8F8F8;
    case 16:
      return stored & 0xF8FCF8;
    case 24:
      return stored & 0xFFFFFF;
    default:
      return stored;
  }
}

// The header of a DIB section with room for a colour table.
struct InfoBlock {
  BITMAPINFOHEADER header;
  DWORD table[256];
};

}  // namespace

TEST(DeviceBitmap, EveryFormatReachesTheScreenAndComesBackAs32Bits) {
  std::mt19937 rng(1234);
  for (int bpp : kAllFormats) {
    SCOPED_TRACE(bpp);
    GdiNoLeaks check;
    CGraphicsImage im;
    ASSERT_TRUE(im.Create(bpp, 7, 5, 0, nullptr));
    // Palette entries are random colours; pixels random values.
    std::vector<DWORD> stored;
    if (bpp <= 8) {
      for (DWORD i = 0; i < im.paletteSize; ++i) im.SetPaletteEntry(int(i), rng() & 0xFFFFFF);
    }
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 7; ++x) {
        im.PixelSetFunc(im.Row(y), x, static_cast<DWORD>(rng()));
        stored.push_back(Pixel(im, x, y));
      }
    HBITMAP bmp = im.CreateDeviceBitmap(nullptr);
    ASSERT_NE(bmp, nullptr);
    CGraphicsImage back;
    ASSERT_TRUE(back.FromDeviceBitmap(nullptr, bmp));
    EXPECT_EQ(back.bpp, 32);
    ASSERT_EQ(back.width, 7);
    ASSERT_EQ(back.height, 5);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 7; ++x)
        EXPECT_EQ(Pixel(back, x, y), ScreenColour(im, stored[size_t(y) * 7 + x])) << x << "," << y;
    EXPECT_TRUE(DeleteObject(bmp));
  }
}

TEST(DeviceBitmap, EmptyImagesMakeNoBitmapAndTouchNoContext) {
  GdiNoLeaks check;
  CGraphicsImage empty;
  platform::FailNextCall(platform::FaultPoint::GetDC);
  EXPECT_EQ(empty.CreateDeviceBitmap(nullptr), nullptr);
  CGraphicsImage zeroWide;
  ASSERT_TRUE(zeroWide.Create(32, 0, 5, 0, nullptr));
  EXPECT_EQ(zeroWide.CreateDeviceBitmap(nullptr), nullptr);
  // The failure meant for GetDC is still pending: nobody asked for a context.
  EXPECT_EQ(GetDC(nullptr), nullptr);
}

TEST(DeviceBitmap, FailuresReleaseTheContextAndDeleteTheBitmap) {
  GdiNoLeaks check;
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(24, 3, 3, 0xFF0000, nullptr));
  for (auto point : {platform::FaultPoint::GetDC, platform::FaultPoint::CreateCompatibleBitmap,
                     platform::FaultPoint::SetDIBits}) {
    platform::FailNextCall(point);
    EXPECT_EQ(im.CreateDeviceBitmap(nullptr), nullptr);
  }
}

TEST(DeviceBitmap, SectionsComeBackInTheirOwnFormat) {
  struct Case {
    const char* name;
    WORD bits;
    DWORD compression;
    DWORD masks[3];
    int bpp;
  };
  const Case cases[] = {
      {"1 bit", 1, BI_RGB, {}, 1},
      {"4 bits", 4, BI_RGB, {}, 4},
      {"8 bits", 8, BI_RGB, {}, 8},
      {"16 bits, no masks", 16, BI_RGB, {}, 15},
      {"16 bits 5-5-5", 16, BI_BITFIELDS, {0x7C00, 0x03E0, 0x001F}, 15},
      {"16 bits 5-6-5", 16, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}, 16},
      {"24 bits", 24, BI_RGB, {}, 24},
      {"32 bits", 32, BI_RGB, {}, 32},
  };
  std::mt19937 rng(99);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GdiNoLeaks check;
    InfoBlock info{};
    info.header = {40, 9, 4, 1, c.bits, c.compression, 0, 0, 0, 0, 0};
    if (c.compression == BI_BITFIELDS) std::memcpy(info.table, c.masks, sizeof c.masks);
    if (c.bits <= 8)
      for (int i = 0; i < (1 << c.bits); ++i) info.table[i] = rng() & 0xFFFFFF;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                   &bits, nullptr, 0);
    ASSERT_NE(bmp, nullptr);
    const size_t stride = (9 * c.bits + 31) / 32 * 4;
    std::vector<BYTE> pixels(stride * 4);
    for (BYTE& b : pixels) b = static_cast<BYTE>(rng());
    // Padding stays 0, as the image's rows have it.
    for (size_t y = 0; y < 4; ++y)
      for (size_t i = (9 * c.bits + 7) / 8; i < stride; ++i) pixels[y * stride + i] = 0;
    if (c.bits == 1 || c.bits == 4)
      for (size_t y = 0; y < 4; ++y)  // bits beyond the ninth pixel
        pixels[y * stride + (9 * c.bits) / 8] &= static_cast<BYTE>(0xFF << (8 - (9 * c.bits) % 8));
    std::memcpy(bits, pixels.data(), pixels.size());

    CGraphicsImage im;
    ASSERT_TRUE(im.FromDeviceBitmap(nullptr, bmp));
    EXPECT_EQ(im.bpp, c.bpp);
    ASSERT_EQ(im.imageBytes, pixels.size());
    EXPECT_EQ(PixelBytes(im), pixels);
    if (c.bits <= 8) {
      ASSERT_EQ(im.paletteSize, 1u << c.bits);
      for (int i = 0; i < (1 << c.bits); ++i) {
        const RGBQUAD& q = im.palette[i];
        EXPECT_EQ(DWORD{q.rgbRed} << 16 | DWORD{q.rgbGreen} << 8 | q.rgbBlue, info.table[i]) << i;
      }
    }
    EXPECT_EQ(im.dibSection, nullptr);  // a copy in memory of its own
    DeleteObject(bmp);
  }
}

TEST(DeviceBitmap, ImageReadsItsOwnDibSection) {
  GdiNoLeaks check;
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(32, 4, 3, 0x00A0B0C0, IMAGE_DIB_SECTION));
  im.PixelSetFunc(im.Row(1), 2, 0x11223344);
  ASSERT_NE(im.dibSection, nullptr);
  ASSERT_TRUE(im.FromDeviceBitmap(nullptr, im.dibSection));
  EXPECT_EQ(im.dibSection, nullptr);
  EXPECT_EQ(im.bpp, 32);
  EXPECT_EQ(Pixel(im, 2, 1), 0x11223344u);
  EXPECT_EQ(Pixel(im, 0, 0), 0x00A0B0C0u);
}

TEST(DeviceBitmap, BadHandlesEmptyTheImage) {
  GdiNoLeaks check;
  CGraphicsImage scratch;
  ASSERT_TRUE(scratch.Create(8, 2, 2, 0, nullptr));
  HBITMAP gone = scratch.CreateDeviceBitmap(nullptr);
  ASSERT_NE(gone, nullptr);
  DeleteObject(gone);
  for (HBITMAP bmp : {HBITMAP{}, gone}) {
    CGraphicsImage im;
    ASSERT_TRUE(im.Create(24, 2, 2, 0, nullptr));
    EXPECT_FALSE(im.FromDeviceBitmap(nullptr, bmp));
    EXPECT_FALSE(im.HasPixels());
    EXPECT_EQ(im.bpp, 0);
  }
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(24, 2, 2, 0, nullptr));
  HBITMAP live = scratch.CreateDeviceBitmap(nullptr);
  platform::FailNextCall(platform::FaultPoint::GetDC);
  EXPECT_FALSE(im.FromDeviceBitmap(nullptr, live));
  EXPECT_FALSE(im.HasPixels());
  DeleteObject(live);
}
