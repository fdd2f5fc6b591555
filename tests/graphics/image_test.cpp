#include "graphics/image.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <fstream>
#include <random>
#include <vector>

#include "platform/bitmap.h"
#include "platform/faults.h"
#include "platform/globalmem.h"
#include "platform/screen.h"
#include "test_images.h"

namespace {

uint32_t Entry(const CGraphicsImage& im, int i) {
  uint32_t v;
  std::memcpy(&v, &im.palette[i], 4);
  return v;
}

}  // namespace

TEST(ImageCreate, ChecksSizeBeforeBitsPerPixel) {
  struct Case {
    int bpp, width, height;
    bool ok;
    BYTE error;
  };
  const Case cases[] = {
      {8, 32768, 1, true, 0},      {8, 1, 32768, true, 0},     {1, 0, 5, true, 0},
      {1, 5, 0, true, 0},          {8, 32769, 1, false, 1},    {8, 1, 32769, false, 1},
      {8, -1, 1, false, 1},        {8, 1, INT_MIN, false, 1},  {3, 40000, 1, false, 1},
      {0, 1, 1, false, 2},         {3, 1, 1, false, 2},        {33, 1, 1, false, 2},
      {-8, 1, 1, false, 2},        {13, 1, 1, false, 2},
  };
  for (const Case& c : cases) {
    CGraphicsImage im;
    EXPECT_EQ(im.Create(c.bpp, c.width, c.height, IMAGE_NO_FILL, nullptr), c.ok)
        << c.bpp << " " << c.width << "x" << c.height;
    EXPECT_EQ(im.lastError, c.error) << c.bpp << " " << c.width << "x" << c.height;
    if (!c.ok) {
      EXPECT_FALSE(im.HasPixels());
      EXPECT_EQ(im.bpp, 0);
    }
  }
}

TEST(ImageCreate, StrideAndImageBytesPerFormat) {
  struct Case {
    int bpp, width;
    int64_t stride;
  };
  const Case cases[] = {
      {1, 33, 8}, {1, 32, 4}, {1, 1, 4},   {2, 17, 8},  {4, 9, 8},   {8, 5, 8},
      {12, 3, 8}, {12, 2, 4}, {12, 5, 8},  {15, 3, 8},  {16, 2, 4},  {24, 5, 16},
      {24, 4, 12}, {32, 3, 12}, {8, 0, 0}, {32, 32768, 131072},
  };
  for (const Case& c : cases) {
    CGraphicsImage im;
    ASSERT_TRUE(im.Create(c.bpp, c.width, 3, IMAGE_NO_FILL, nullptr));
    EXPECT_EQ(im.stride, c.stride) << c.bpp << " bpp, width " << c.width;
    EXPECT_EQ(im.imageBytes, static_cast<uint64_t>(c.stride * 3));
    EXPECT_EQ(im.topRow - im.bottomRow, 2 * c.stride);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(im.bottomRow) % 4, 0u);
  }
}

TEST(ImageCreate, WritesTheHeaderAndFormatConstants) {
  struct Case {
    int bpp;
    WORD bitCount;
    DWORD compression, colours, inByte, shift, unit, significant, trueColor;
  };
  const Case cases[] = {
      {1, 1, 0, 2, 7, 3, 1, 0xFFFFFF, 0},       {2, 2, 0, 4, 3, 2, 1, 0xFFFFFF, 0},
      {4, 4, 0, 16, 1, 1, 1, 0xFFFFFF, 0},      {8, 8, 0, 256, 0, 0, 1, 0xFFFFFF, 0},
      {12, 12, 0, 0, 1, 1, 3, 0xF0F0F0, 1},     {15, 16, 3, 0, 0, 0, 2, 0xF8F8F8, 1},
      {16, 16, 3, 0, 0, 0, 2, 0xF8FCF8, 1},     {24, 24, 0, 0, 0, 0, 3, 0xFFFFFF, 1},
      {32, 32, 0, 0, 0, 0, 4, 0xFFFFFF, 1},
  };
  for (const Case& c : cases) {
    CGraphicsImage im;
    ASSERT_TRUE(im.Create(c.bpp, 7, 3, IMAGE_NO_FILL, nullptr));
    const BITMAPINFOHEADER& h = im.Header();
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, 7);
    EXPECT_EQ(h.biHeight, 3);
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, c.bitCount) << c.bpp;
    EXPECT_EQ(h.biCompression, c.compression) << c.bpp;
    EXPECT_EQ(h.biSizeImage, DibStride(c.bpp, 7) * 3) << c.bpp;
    EXPECT_EQ(h.biXPelsPerMeter, 4705);
    EXPECT_EQ(h.biYPelsPerMeter, 4705);
    EXPECT_EQ(h.biClrUsed, c.colours) << c.bpp;
    EXPECT_EQ(h.biClrImportant, c.colours) << c.bpp;
    EXPECT_EQ(im.paletteSize, c.colours);
    EXPECT_EQ(im.pixelInByteMask, c.inByte) << c.bpp;
    EXPECT_EQ(im.indexShift, c.shift) << c.bpp;
    EXPECT_EQ(im.bytesPerUnit, c.unit) << c.bpp;
    EXPECT_EQ(im.significantMask, c.significant) << c.bpp;
    EXPECT_EQ(im.trueColor, c.trueColor) << c.bpp;
    EXPECT_EQ(im.valueMask, c.bpp == 32 ? 0xFFFFFFFFu : (1u << c.bpp) - 1) << c.bpp;
    EXPECT_EQ(im.formatBit, 1u << (c.bpp - 1)) << c.bpp;
  }
  // The 16-bit headers carry their colour masks in the first palette slots.
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(15, 1, 1, 0, nullptr));
  EXPECT_EQ(Entry(im, 0), 0x7C00u);
  EXPECT_EQ(Entry(im, 1), 0x03E0u);
  EXPECT_EQ(Entry(im, 2), 0x001Fu);
  EXPECT_EQ(Entry(im, 3), 0u);
  ASSERT_TRUE(im.Create(16, 1, 1, 0, nullptr));
  EXPECT_EQ(Entry(im, 0), 0xF800u);
  EXPECT_EQ(Entry(im, 1), 0x07E0u);
  EXPECT_EQ(Entry(im, 2), 0x001Fu);
}

TEST(ImageCreate, LaysDownTheDefaultPalettes) {
  const uint32_t base16[16] = {0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080,
                               0x808000, 0xC0C0C0, 0x808080, 0x0000FF, 0x00FF00, 0x00FFFF,
                               0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(1, 1, 1, 0, nullptr));
  EXPECT_EQ(Entry(im, 0), 0x000000u);
  EXPECT_EQ(Entry(im, 1), 0xFFFFFFu);
  for (int i = 2; i < 256; ++i) ASSERT_EQ(Entry(im, i), 0u) << i;

  ASSERT_TRUE(im.Create(2, 1, 1, 0, nullptr));
  const uint32_t two[4] = {0x000000, 0x008000, 0x800000, 0xFFFFFF};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(Entry(im, i), two[i]) << i;
  for (int i = 4; i < 256; ++i) ASSERT_EQ(Entry(im, i), 0u) << i;

  ASSERT_TRUE(im.Create(4, 1, 1, 0, nullptr));
  for (int i = 0; i < 16; ++i) EXPECT_EQ(Entry(im, i), base16[i]) << i;
  for (int i = 16; i < 256; ++i) ASSERT_EQ(Entry(im, i), 0u) << i;

  ASSERT_TRUE(im.Create(8, 1, 1, 0, nullptr));
  for (int i = 0; i < 16; ++i) EXPECT_EQ(Entry(im, i), base16[i]) << i;
  // Worked out by hand from the level tables.
  const std::pair<int, uint32_t> spots[] = {
      {16, 0x000000}, {17, 0x101010}, {31, 0xF0F0F0}, {32, 0x14EB6A}, {33, 0x14EB95},
      {36, 0x3F1414}, {247, 0x14EB3F}, {248, 0xE0D020}, {251, 0xE0D0E0}, {252, 0xE0F020},
      {255, 0xE0F0E0},
  };
  for (auto [i, colour] : spots) EXPECT_EQ(Entry(im, i), colour) << i;
  // The cube holds each of its 216 colours once.
  const int levels[6] = {20, 63, 106, 149, 192, 235};
  std::vector<int> seen(216, 0);
  for (int i = 32; i < 248; ++i) {
    uint32_t c = Entry(im, i);
    int r = -1, g = -1, b = -1;
    for (int l = 0; l < 6; ++l) {
      if (static_cast<int>((c >> 16) & 255) == levels[l]) r = l;
      if (static_cast<int>((c >> 8) & 255) == levels[l]) g = l;
      if (static_cast<int>(c & 255) == levels[l]) b = l;
    }
    ASSERT_TRUE(r >= 0 && g >= 0 && b >= 0 && (c >> 24) == 0) << i << " " << std::hex << c;
    ++seen[r * 36 + g * 6 + b];
  }
  for (int n : seen) EXPECT_EQ(n, 1);
  // Entry by entry, from the level tables: greys 0..240 in steps of 16, the
  // cube indexed by i itself, then eight reds of two greens and four blues.
  for (int i = 16; i < 32; ++i) EXPECT_EQ(Entry(im, i), (i - 16) * 16 * 0x010101u) << i;
  for (int i = 32; i < 248; ++i) {
    uint32_t want = static_cast<uint32_t>(levels[(i / 36) % 6] << 16 | levels[(i / 6) % 6] << 8 | levels[i % 6]);
    EXPECT_EQ(Entry(im, i), want) << i;
  }
  const int greens[2] = {208, 240}, blues[4] = {32, 96, 160, 224};
  for (int i = 248; i < 256; ++i)
    EXPECT_EQ(Entry(im, i), static_cast<uint32_t>(224 << 16 | greens[(i - 248) / 4] << 8 | blues[i % 4])) << i;

  for (int bpp : {12, 15, 24, 32}) {
    ASSERT_TRUE(im.Create(bpp, 1, 1, 0, nullptr));
    for (int i = (bpp == 15 ? 3 : 0); i < 256; ++i) ASSERT_EQ(Entry(im, i), 0u) << bpp << " " << i;
  }
}

TEST(ImageCreate, FillsEveryPixelWithTheFormatsColour) {
  const uint32_t fills[] = {0, 0x00FF0000, 0x12345678, 0x80FFFFFF, 0x00000001, 0x00000002};
  for (int bpp : kAllFormats) {
    for (uint32_t fill : fills) {
      for (int width : {1, 5, 9, 33}) {
        CGraphicsImage im;
        ASSERT_TRUE(im.Create(bpp, width, 3, fill, nullptr));
        if (fill == 0 || bpp == 8) {
          // Whole bytes, padding included.
          for (uint64_t i = 0; i < im.imageBytes; ++i)
            ASSERT_EQ(im.bottomRow[i], fill & 0xFF) << bpp << " " << std::hex << fill;
          continue;
        }
        for (int y = 0; y < 3; ++y)
          for (int x = 0; x < width; ++x)
            ASSERT_EQ(im.PixelGetFunc(im.Row(y), x), Significant(bpp, fill))
                << bpp << " bpp, fill " << std::hex << fill << ", width " << width;
        // Padding of own memory stays zero.
        const int64_t used = DibStride(bpp, width);
        const int64_t exact = (bpp == 12 ? 3 * ((width + 1) / 2) : (int64_t{bpp == 15 ? 16 : bpp} * width + 7) / 8);
        for (int y = 0; y < 3; ++y)
          for (int64_t i = exact; i < used; ++i)
            ASSERT_EQ(im.bottomRow[y * used + i], 0) << bpp << " width " << width;
      }
    }
  }
}

TEST(ImageCreate, ThirtyTwoBitSideOf32768HasFourGigabytesLazily) {
  auto residentBytes = [] {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * 4096L;
  };
  const long before = residentBytes();
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(32, 32768, 32768, IMAGE_NO_FILL, nullptr));
  EXPECT_EQ(im.imageBytes, uint64_t{1} << 32);
  EXPECT_EQ(im.Header().biSizeImage, 0u);  // 2^32 does not fit: 0 is legal for BI_RGB
  EXPECT_EQ(im.topRow - im.bottomRow, int64_t{32767} * 131072);
  const int64_t topRight = int64_t{32767} * 131072 + 32767 * 4;
  im.PixelSetFunc(im.Row(0), 32767, 0x11223344);
  im.PixelSetFunc(im.Row(32767), 0, 0x55667788);
  im.PixelSetFunc(im.Row(0), 0, 0x99AABBCC);
  EXPECT_EQ(im.bottomRow[topRight], 0x44);
  EXPECT_EQ(im.bottomRow[topRight + 3], 0x11);
  EXPECT_EQ(im.bottomRow[0], 0x88);
  EXPECT_EQ(im.bottomRow[int64_t{32767} * 131072 + 3], 0x99);
  EXPECT_EQ(im.PixelGetFunc(im.Row(16384), 16384), 0u);
  // Untouched pages were never paid for.
  EXPECT_LT(residentBytes() - before, 256L << 20);
}

TEST(ImageMemory, CallerMemoryIsNeitherFreedNorWrittenWithoutFill) {
  std::vector<BYTE> memory(16 * 4, 0xCD);
  {
    CGraphicsImage im;
    ASSERT_TRUE(im.Create(32, 4, 4, IMAGE_NO_FILL, memory.data()));
    EXPECT_EQ(im.notOwned, 1);
    EXPECT_EQ(im.bottomRow, memory.data());
    EXPECT_EQ(std::vector<BYTE>(64, 0xCD), memory);
    CGraphicsImage copy(im);  // a copy gets memory of its own
    EXPECT_NE(copy.bottomRow, memory.data());
    EXPECT_EQ(copy.notOwned, 0);
    EXPECT_EQ(PixelBytes(copy), memory);
    EXPECT_TRUE(im.Discard());
    EXPECT_FALSE(im.HasPixels());
    ASSERT_TRUE(im.Create(32, 4, 4, 0x00010203, memory.data()));
    EXPECT_EQ(memory[0], 0x03);
    EXPECT_EQ(memory[63], 0x00);
  }
  EXPECT_EQ(memory[0], 0x03);  // the image's destruction left the memory alone
}

TEST(ImageMemory, DibSectionsHoldPixelsAndGoBackOnRelease) {
  const size_t objects = platform::GdiLiveObjects();
  const size_t dcs = platform::LiveDeviceContexts();
  {
    CGraphicsImage im;
    ASSERT_TRUE(im.Create(32, 5, 3, 0x00123456, IMAGE_DIB_SECTION));
    EXPECT_NE(im.dibSection, nullptr);
    EXPECT_EQ(im.notOwned, 1);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(im.bottomRow) % 4096, 0u);
    EXPECT_EQ(im.PixelGetFunc(im.Row(2), 4), 0x00123456u);
    EXPECT_EQ(platform::GdiLiveObjects(), objects + 1);
    CGraphicsImage other;
    ASSERT_TRUE(other.Create(8, 3, 3, 7, IMAGE_DIB_SECTION));
    EXPECT_EQ(platform::GdiLiveObjects(), objects + 2);
    other = im;  // the assigned image lets its section go and takes own memory
    EXPECT_EQ(other.dibSection, nullptr);
    EXPECT_EQ(platform::GdiLiveObjects(), objects + 1);
    EXPECT_EQ(other.PixelGetFunc(other.Row(0), 0), 0x00123456u);
    im.Release();
    EXPECT_EQ(platform::GdiLiveObjects(), objects);
  }
  EXPECT_EQ(platform::LiveDeviceContexts(), dcs);
}

TEST(ImageMemory, DibSectionsRefuseWhatTheWindowSystemRefuses) {
  struct Case {
    int bpp, width, height;
  };
  for (Case c : {Case{2, 4, 4}, Case{12, 4, 4}, Case{32, 0, 4}, Case{32, 4, 0}}) {
    CGraphicsImage im;
    EXPECT_FALSE(im.Create(c.bpp, c.width, c.height, 0, IMAGE_DIB_SECTION)) << c.bpp;
    EXPECT_EQ(im.lastError, IMAGE_ERROR_MEMORY) << c.bpp;
    EXPECT_FALSE(im.HasPixels());
  }
  const size_t objects = platform::GdiLiveObjects(), dcs = platform::LiveDeviceContexts();
  platform::FailNextCall(platform::FaultPoint::CreateDIBSection);
  CGraphicsImage im;
  EXPECT_FALSE(im.Create(32, 4, 4, 0, IMAGE_DIB_SECTION));
  EXPECT_EQ(im.lastError, IMAGE_ERROR_MEMORY);
  EXPECT_EQ(platform::GdiLiveObjects(), objects);
  EXPECT_EQ(platform::LiveDeviceContexts(), dcs);
}

TEST(ImageMemory, OwnershipSurvivesEveryWayOfPassingImagesAround) {
  std::vector<BYTE> caller(4 * 4, 0x5A);
  const size_t objects = platform::GdiLiveObjects(), dcs = platform::LiveDeviceContexts(),
               blocks = platform::GlobalLiveBlocks();
  {
    CGraphicsImage own, external, section;
    ASSERT_TRUE(own.Create(24, 3, 2, 0x010203, nullptr));
    ASSERT_TRUE(external.Create(8, 4, 4, IMAGE_NO_FILL, caller.data()));
    ASSERT_TRUE(section.Create(16, 3, 3, 0xFFFFFF, IMAGE_DIB_SECTION));
    CGraphicsImage* images[] = {&own, &external, &section};
    for (CGraphicsImage* a : images) {
      for (CGraphicsImage* b : images) {
        EXPECT_TRUE(a->Swap(*b));
        EXPECT_TRUE(a->Swap(*b));
      }
    }
    EXPECT_EQ(own.bpp, 24);
    EXPECT_EQ(external.bottomRow, caller.data());
    EXPECT_NE(section.dibSection, nullptr);

    CGraphicsImage copied(section);
    CGraphicsImage assigned;
    assigned = external;
    CGraphicsImage& alias = assigned;
    assigned = alias;  // self-assignment keeps the image
    EXPECT_EQ(assigned.bpp, 8);
    EXPECT_EQ(assigned.PixelGetFunc(assigned.Row(0), 0), 0x5Au);
    EXPECT_TRUE(copied.Copy(copied));
    EXPECT_EQ(copied.PixelGetFunc(copied.Row(2), 2), 0xF8FCF8u);
    EXPECT_TRUE(own.Swap(own));
    EXPECT_EQ(own.PixelGetFunc(own.Row(1), 2), 0x010203u);
    EXPECT_TRUE(external.Discard());
    EXPECT_FALSE(external.Discard());
  }
  EXPECT_EQ(caller, std::vector<BYTE>(16, 0x5A));
  EXPECT_EQ(platform::GdiLiveObjects(), objects);
  EXPECT_EQ(platform::LiveDeviceContexts(), dcs);
  EXPECT_EQ(platform::GlobalLiveBlocks(), blocks);
}

TEST(ImageCopy, CopiesHeaderPaletteAndPixels) {
  std::mt19937 rng(5);
  for (int bpp : kAllFormats) {
    CGraphicsImage src;
    ASSERT_TRUE(src.Create(bpp, 13, 4, IMAGE_NO_FILL, nullptr));
    Randomise(src, rng);
    CGraphicsImage dst;
    ASSERT_TRUE(dst.Copy(src));
    EXPECT_EQ(0, std::memcmp(dst.info, src.info, sizeof(GraphicsInfoBlock))) << bpp;
    EXPECT_EQ(PixelBytes(dst), PixelBytes(src)) << bpp;
    EXPECT_EQ(dst.PixelGetFunc, src.PixelGetFunc);
  }
}

TEST(ImageCopy, OfAnEmptyImageFailsAndLeavesTheTargetEmpty) {
  CGraphicsImage empty, target;
  ASSERT_TRUE(target.Create(8, 2, 2, 0, nullptr));
  EXPECT_FALSE(target.Copy(empty));
  EXPECT_FALSE(target.HasPixels());
  EXPECT_EQ(target.lastError, IMAGE_ERROR_BPP);
}

TEST(ImageCopy, WithSeparateSourceHandsOverATemporaryCopyOfItself) {
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(32, 2, 1, 0x00ABCDEF, nullptr));
  // An operation that re-creates its target before reading the source.
  auto doubleWidth = [&im](const CGraphicsImage& src) {
    if (!im.Create(32, src.width * 2, 1, 0, nullptr)) return false;
    for (int x = 0; x < im.width; ++x)
      im.PixelSetFunc(im.Row(0), x, src.PixelGetFunc(src.Row(0), x / 2));
    return true;
  };
  EXPECT_TRUE(im.WithSeparateSource(im, doubleWidth));
  ASSERT_EQ(im.width, 4);
  for (int x = 0; x < 4; ++x) EXPECT_EQ(im.PixelGetFunc(im.Row(0), x), 0x00ABCDEFu);
}

TEST(ImageRelease, KeepsTextStatePatternsAndProgressCallback) {
  CGraphicsImage im;
  EXPECT_EQ(im.spacingSetting, CHAR_SPACING_FONT);
  EXPECT_EQ(im.dashPattern, 0xF0F0F0F0u);
  EXPECT_EQ(im.dotPattern, 0xAAAAAAAAu);
  EXPECT_FALSE(im.HasPixels());
  EXPECT_EQ(im.bpp, 0);
  static const BYTE font[4] = {};
  im.font = font;
  im.fontWord = 77;
  im.hAlign = 2;
  im.dashPattern = 1;
  im.SetProgressCallback([](CGraphicsImage*, DWORD, DWORD, DWORD, DWORD, BYTE*) {}, 9);
  ASSERT_TRUE(im.Create(8, 3, 3, 1, nullptr));
  im.Release();
  EXPECT_EQ(im.font, font);
  EXPECT_EQ(im.fontWord, 0u);
  EXPECT_EQ(im.hAlign, 2);
  EXPECT_EQ(im.dashPattern, 1u);
  EXPECT_NE(im.progressFunc, nullptr);
  EXPECT_EQ(im.progressUser, 9u);
  BYTE zero[sizeof(GraphicsInfoBlock)] = {};
  EXPECT_EQ(0, std::memcmp(im.info, zero, sizeof zero));
}

TEST(ImageProgress, CapsAtHundredAndThrowsOneOnAbort) {
  struct Seen {
    DWORD user, a, b, percent;
  };
  static Seen seen;
  CGraphicsImage im;
  im.Progress(50, 1, 2);  // no callback: nothing happens
  im.SetProgressCallback(
      [](CGraphicsImage*, DWORD user, DWORD a, DWORD b, DWORD percent, BYTE* abort) {
        seen = {user, a, b, percent};
        *abort = percent == 42;
      },
      7);
  im.Progress(250, 3, 4);
  EXPECT_EQ(seen.user, 7u);
  EXPECT_EQ(seen.a, 3u);
  EXPECT_EQ(seen.b, 4u);
  EXPECT_EQ(seen.percent, 100u);
  try {
    im.Progress(42, 0, 0);
    FAIL() << "no exception";
  } catch (int code) {
    EXPECT_EQ(code, 1);
  }
}
