#include <gtest/gtest.h>

#include "gdi_test_support.h"
#include "graphics/image.h"
#include "platform/gdi.h"
#include "platform/screen.h"

// The bitmaps of resources/manifest.txt, written by resources/make_bitmaps.py
// with the pixel patterns restated here.

namespace {

DWORD Rgb(DWORD r, DWORD g, DWORD b) {
  return r << 16 | g << 8 | b;
}

DWORD PaletteColour(const CGraphicsImage& im, int i) {
  const RGBQUAD& q = im.palette[i];
  return DWORD{q.rgbReserved} << 24 | Rgb(q.rgbRed, q.rgbGreen, q.rgbBlue);
}

DWORD Pixel(const CGraphicsImage& im, int x, int y) {
  return im.PixelGetFunc(im.Row(y), x);
}

}  // namespace

TEST(LoadBitmapResource, FourBitBitmapKeepsItsIndicesAndSixteenColours) {
  GdiNoLeaks check;
  CGraphicsImage im;
  ASSERT_TRUE(im.LoadBitmapResource("Checker4", nullptr));
  ASSERT_EQ(im.bpp, 4);
  ASSERT_EQ(im.width, 5);
  ASSERT_EQ(im.height, 3);
  for (int i = 0; i < 16; ++i)
    EXPECT_EQ(PaletteColour(im, i), Rgb(16 * i, 255 - 16 * i, 8 * i)) << i;
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x)
      EXPECT_EQ(Pixel(im, x, y), DWORD((x + 2 * y) % 16)) << x << "," << y;
}

TEST(LoadBitmapResource, FindsNumberedResourcesByIdOrHashText) {
  GdiNoLeaks check;
  HINSTANCE self = GetModuleHandleA(nullptr);
  for (const char* name : {MAKEINTRESOURCEA(101), "#101"}) {
    for (HINSTANCE module : {HINSTANCE{}, self}) {
      CGraphicsImage im;
      ASSERT_TRUE(im.LoadBitmapResource(name, module));
      ASSERT_EQ(im.bpp, 24);
      ASSERT_EQ(im.width, 3);
      ASSERT_EQ(im.height, 2);
      for (DWORD y = 0; y < 2; ++y)
        for (DWORD x = 0; x < 3; ++x)
          EXPECT_EQ(Pixel(im, int(x), int(y)), Rgb(40 * x + 10, 100 * y + 5, x * y + 7));
    }
  }
}

TEST(LoadBitmapResource, TopDownBitmapWithAShortTableReadsUpright) {
  GdiNoLeaks check;
  CGraphicsImage im;
  ASSERT_TRUE(im.LoadBitmapResource("topdown8", nullptr));  // names ignore case
  ASSERT_EQ(im.bpp, 8);
  ASSERT_EQ(im.width, 4);
  ASSERT_EQ(im.height, 3);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(PaletteColour(im, i), Rgb(50 * i, 40 * i, 30 * i)) << i;
  for (int i = 5; i < 256; ++i) EXPECT_EQ(PaletteColour(im, i), 0u) << i;
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(Pixel(im, x, y), DWORD((x + y) % 5)) << x << "," << y;
}

TEST(LoadBitmapResource, FiveSixFiveMasksGiveASixteenBitImage) {
  GdiNoLeaks check;
  CGraphicsImage im;
  ASSERT_TRUE(im.LoadBitmapResource("MASKS565", nullptr));
  ASSERT_EQ(im.bpp, 16);
  for (DWORD y = 0; y < 2; ++y)
    for (DWORD x = 0; x < 3; ++x)
      EXPECT_EQ(Pixel(im, int(x), int(y)),
                Rgb((10 * x + 3 * y) << 3, (20 * x + y) << 2, (15 * y + x) << 3));
}

TEST(LoadBitmapResource, LongHeaderThirtyTwoBitsKeepsTheFourthByte) {
  GdiNoLeaks check;
  CGraphicsImage im;
  ASSERT_TRUE(im.LoadBitmapResource(MAKEINTRESOURCEA(7), nullptr));
  ASSERT_EQ(im.bpp, 32);
  for (DWORD y = 0; y < 2; ++y)
    for (DWORD x = 0; x < 2; ++x)
      EXPECT_EQ(Pixel(im, int(x), int(y)),
                (0x40 + x) << 24 | Rgb(0x10 * (y + 1), 0x80 + x, 0xF0 - y));
}

TEST(LoadBitmapResource, MissingOrBrokenBitmapsLeaveTheImageAlone) {
  GdiNoLeaks check;
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(24, 2, 2, 0x123456, nullptr));
  const char* names[] = {"Broken", "Rle8", "Nothing", "#102", "#", MAKEINTRESOURCEA(102), nullptr};
  for (const char* name : names) {
    EXPECT_FALSE(im.LoadBitmapResource(name, nullptr));
    ASSERT_EQ(im.bpp, 24);
    EXPECT_EQ(Pixel(im, 1, 1), 0x123456u);
  }
  // Only the program's own module holds resources.
  EXPECT_FALSE(
      im.LoadBitmapResource("Checker4", reinterpret_cast<HINSTANCE>(uintptr_t{0x10000000})));
  EXPECT_EQ(im.bpp, 24);
}
