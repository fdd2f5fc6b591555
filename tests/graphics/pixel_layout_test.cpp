#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "graphics/image.h"
#include "graphics/pixel.h"
#include "test_images.h"

namespace {

struct ByteBits {
  int64_t offset;
  BYTE mask;
  BYTE bits;
};

// The bytes a pixel occupies and what it stores there, from the layout table:
// written out per format, independently of the library's accessors.
std::vector<ByteBits> Layout(int bpp, int x, uint32_t c) {
  const BYTE b = c & 0xFF, g = (c >> 8) & 0xFF, r = (c >> 16) & 0xFF;
  switch (bpp) {
    case 1: {
      BYTE m = static_cast<BYTE>(0x80 >> (x % 8));
      return {{x / 8, m, static_cast<BYTE>((c & 1) ? m : 0)}};
    }
    case 2: {
      int s = 6 - 2 * (x % 4);
      return {{x / 4, static_cast<BYTE>(3 << s), static_cast<BYTE>((c & 3) << s)}};
    }
    case 4: {
      int s = (x % 2) ? 0 : 4;
      return {{x / 2, static_cast<BYTE>(15 << s), static_cast<BYTE>((c & 15) << s)}};
    }
    case 8: return {{x, 0xFF, static_cast<BYTE>(c)}};
    case 12: {
      int64_t base = 3 * (x / 2);
      if (x % 2 == 0)
        return {{base, 0xFF, static_cast<BYTE>((b & 0xF0) | g >> 4)},
                {base + 1, 0xF0, static_cast<BYTE>(r & 0xF0)}};
      return {{base + 1, 0x0F, static_cast<BYTE>(b >> 4)},
              {base + 2, 0xFF, static_cast<BYTE>((g & 0xF0) | r >> 4)}};
    }
    case 15: {
      uint32_t w = (c >> 31) << 15 | (r >> 3) << 10 | (g >> 3) << 5 | b >> 3;
      return {{2 * x, 0xFF, static_cast<BYTE>(w)}, {2 * x + 1, 0xFF, static_cast<BYTE>(w >> 8)}};
    }
    case 16: {
      uint32_t w = (r >> 3) << 11 | (g >> 2) << 5 | b >> 3;
      return {{2 * x, 0xFF, static_cast<BYTE>(w)}, {2 * x + 1, 0xFF, static_cast<BYTE>(w >> 8)}};
    }
    case 24: return {{3 * x, 0xFF, b}, {3 * x + 1, 0xFF, g}, {3 * x + 2, 0xFF, r}};
    default:
      return {{4 * x, 0xFF, b}, {4 * x + 1, 0xFF, g}, {4 * x + 2, 0xFF, r},
              {4 * x + 3, 0xFF, static_cast<BYTE>(c >> 24)}};
  }
}

// Creates an image of `bpp` x `width` x `rows` on an exact-size caller buffer,
// so that ASan catches any access past the last row.
struct CallerImage {
  CallerImage(int bpp, int width, int rows)
      : memory(static_cast<size_t>(DibStride(bpp, width) * rows)) {
    EXPECT_TRUE(image.Create(bpp, width, rows, IMAGE_NO_FILL, memory.data()));
  }
  std::vector<BYTE> memory;
  CGraphicsImage image;
};

}  // namespace

TEST(PixelLayout, SetChangesOnlyItsOwnBitsAtEveryBoundary) {
  std::mt19937 rng(1234);
  const uint32_t colours[] = {0x00000000, 0xFFFFFFFF, 0x80FFFFFF, 0x00123456, 0x7FABCDEF,
                              0x00F0F0F0, 0x000F0F0F};
  for (int bpp : kAllFormats) {
    for (int width : {1, 2, 3, 7, 8, 9, 31, 32, 33}) {
      for (int x : {0, 1, 2, 7, 8, 9, width - 1}) {
        if (x >= width) continue;
        for (uint32_t c : colours) {
          CallerImage ci(bpp, width, 3);
          CGraphicsImage& im = ci.image;
          for (BYTE& byte : ci.memory) byte = static_cast<BYTE>(rng());
          std::vector<BYTE> expected = ci.memory;
          // The middle row (y = 1) is the second in memory.
          const int64_t rowStart = DibStride(bpp, width);
          for (const ByteBits& bb : Layout(bpp, x, c)) {
            BYTE& e = expected[static_cast<size_t>(rowStart + bb.offset)];
            e = static_cast<BYTE>((e & ~bb.mask) | bb.bits);
          }
          im.PixelSetFunc(im.Row(1), x, c);
          ASSERT_EQ(ci.memory, expected) << bpp << " bpp, width " << width << ", x " << x
                                         << ", colour " << std::hex << c;
          ASSERT_EQ(im.PixelGetFunc(im.Row(1), x), Significant(bpp, c))
              << bpp << " bpp, width " << width << ", x " << x << ", colour " << std::hex << c;
        }
      }
    }
  }
}

TEST(PixelLayout, HandWrittenRowsMatchByteForByte) {
  struct Case {
    int bpp, width;
    std::vector<std::pair<int, uint32_t>> pixels;  // x, value, in the top row of 2
    std::vector<BYTE> topRow;
  };
  const Case cases[] = {
      // Pixel 8 of a 9-pixel 1-bpp row is bit 7 of byte 1.
      {1, 9, {{0, 1}, {7, 1}, {8, 1}}, {0x81, 0x80, 0x00, 0x00}},
      {2, 5, {{1, 3}, {4, 2}}, {0x30, 0x80, 0x00, 0x00}},
      {4, 5, {{0, 0xA}, {3, 0x5}, {4, 0xF}}, {0xA0, 0x05, 0xF0, 0x00}},
      {8, 3, {{0, 0x1234}, {2, 0xFF}}, {0x34, 0x00, 0xFF, 0x00}},
      // Two 12-bpp pixels share three bytes: B0G0 R0B1 G1R1.
      {12, 3, {{0, 0x00123456}, {1, 0x00ABCDEF}, {2, 0x00FFFFFF}},
       {0x53, 0x1E, 0xCA, 0xFF, 0xF0, 0x00, 0x00, 0x00}},
      {15, 3, {{0, 0x80FFFFFF}, {2, 0x00123456}}, {0xFF, 0xFF, 0x00, 0x00, 0xCA, 0x08, 0x00, 0x00}},
      {16, 2, {{0, 0x00FFFFFF}, {1, 0x00123456}}, {0xFF, 0xFF, 0xAA, 0x11}},
      {24, 2, {{0, 0x00123456}, {1, 0xFFABCDEF}}, {0x56, 0x34, 0x12, 0xEF, 0xCD, 0xAB, 0x00, 0x00}},
      {32, 2, {{0, 0x89123456}, {1, 0x00ABCDEF}}, {0x56, 0x34, 0x12, 0x89, 0xEF, 0xCD, 0xAB, 0x00}},
  };
  for (const Case& c : cases) {
    CGraphicsImage im;
    ASSERT_TRUE(im.Create(c.bpp, c.width, 2, 0, nullptr));
    ASSERT_EQ(im.stride, static_cast<int64_t>(c.topRow.size()));
    for (auto [x, v] : c.pixels) im.PixelSetFunc(im.Row(0), x, v);
    std::vector<BYTE> expected(c.topRow.size(), 0);  // bottom row untouched
    expected.insert(expected.end(), c.topRow.begin(), c.topRow.end());
    EXPECT_EQ(PixelBytes(im), expected) << c.bpp << " bpp";
  }
}

TEST(PixelLayout, WideningLeavesTheLowBitsZero) {
  struct Case {
    int bpp;
    uint32_t set, get;
  };
  const Case cases[] = {
      {12, 0x00FFFFFF, 0x00F0F0F0}, {12, 0x00123456, 0x00103050}, {15, 0x00FFFFFF, 0x00F8F8F8},
      {15, 0x80FFFFFF, 0x80F8F8F8}, {16, 0x00FFFFFF, 0x00F8FCF8}, {16, 0xFF000000, 0},
      {24, 0xFF123456, 0x00123456}, {32, 0xFF123456, 0xFF123456},
  };
  for (const Case& c : cases) {
    CGraphicsImage im;
    ASSERT_TRUE(im.Create(c.bpp, 4, 1, 0, nullptr));
    im.PixelSetFunc(im.Row(0), 1, c.set);
    EXPECT_EQ(im.PixelGetFunc(im.Row(0), 1), c.get) << c.bpp;
    const BYTE* row24 = im.RowTo24Func(im.Row(0), &im);
    EXPECT_EQ(row24[3] | row24[4] << 8 | row24[5] << 16, static_cast<int>(c.get & 0xFFFFFF)) << c.bpp;
  }
}

TEST(PixelLayout, ColorToPixelGivesTheStoredWord) {
  struct Case {
    int bpp;
    uint32_t colour, raw;
  };
  const Case cases[] = {
      {1, 0x1234, 0x1234},       {8, 0x1234, 0x1234},       {12, 0x00123456, 0x135},
      {12, 0x00FFFFFF, 0xFFF},   {15, 0x80FFFFFF, 0xFFFF},  {15, 0x00FFFFFF, 0x7FFF},
      {15, 0x00123456, 0x08CA},  {16, 0x00FFFFFF, 0xFFFF},  {16, 0x00123456, 0x11AA},
      {24, 0x00123456, 0x123456}, {32, 0x89123456, 0x89123456},
  };
  for (const Case& c : cases) {
    CGraphicsImage im;
    ASSERT_TRUE(im.Create(c.bpp, 1, 1, 0, nullptr));
    EXPECT_EQ(im.ColorToPixelFunc(c.colour), c.raw) << c.bpp;
  }
}

TEST(PixelLayout, GreyLevelWeighsTheChannels) {
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(32, 4, 1, 0, nullptr));
  const uint32_t colours[] = {0x00FFFFFF, 0x00FF0000, 0x0000FF00, 0x000000FF};
  // (29 blue + 76 red + 152 green) >> 8, worked out by hand.
  const BYTE grey[] = {255, 75, 151, 28};
  for (int x = 0; x < 4; ++x) im.PixelSetFunc(im.Row(0), x, colours[x]);
  const BYTE* row = im.RowTo8Func(im.Row(0), &im);
  for (int x = 0; x < 4; ++x) EXPECT_EQ(row[x], grey[x]) << x;
}

TEST(RowFunctions, EqualThePerPixelReadsAtEveryWidth) {
  std::mt19937 rng(99);
  for (int bpp : kAllFormats) {
    for (int width = 1; width <= 40; ++width) {
      CallerImage ci(bpp, width, 2);
      CGraphicsImage& im = ci.image;
      Randomise(im, rng);
      for (int y = 0; y < 2; ++y) {
        const BYTE* row = im.Row(y);
        std::vector<BYTE> to8(width), to24(3 * width);
        std::vector<uint32_t> to32(width);
        for (int x = 0; x < width; ++x) {
          uint32_t v = im.PixelGetFunc(row, x);
          uint32_t colour = v;
          if (bpp <= 8) std::memcpy(&colour, &im.palette[v], 4);
          uint32_t b = colour & 0xFF, g = (colour >> 8) & 0xFF, r = (colour >> 16) & 0xFF;
          to8[x] = static_cast<BYTE>(bpp <= 8 ? v : (29 * b + 76 * r + 152 * g) >> 8);
          to24[3 * x] = static_cast<BYTE>(b);
          to24[3 * x + 1] = static_cast<BYTE>(g);
          to24[3 * x + 2] = static_cast<BYTE>(r);
          to32[x] = colour;
        }
        auto check = [&](const char* name, const void* got, const void* want, size_t n) {
          EXPECT_EQ(0, std::memcmp(got, want, n)) << name << ", " << bpp << " bpp, width " << width;
        };
        check("RowTo8", im.RowTo8Func(row, &im), to8.data(), width);
        check("RowCopyTo8", im.RowCopyTo8Func(row, &im), to8.data(), width);
        check("RowTo24", im.RowTo24Func(row, &im), to24.data(), 3 * width);
        check("RowCopyTo24", im.RowCopyTo24Func(row, &im), to24.data(), 3 * width);
        check("RowTo32", im.RowTo32Func(row, &im), to32.data(), 4 * width);
        check("RowCopyTo32", im.RowCopyTo32Func(row, &im), to32.data(), 4 * width);
      }
    }
  }
}

TEST(RowFunctions, ViewsAliasTheRowAndCopiesDoNot) {
  struct Case {
    int bpp;
    int view;  // 8, 24 or 32: the view that returns the row itself
  };
  for (Case c : {Case{8, 8}, Case{24, 24}, Case{32, 32}}) {
    CGraphicsImage im;
    ASSERT_TRUE(im.Create(c.bpp, 5, 2, 0, nullptr));
    BYTE* row = im.Row(1);
    const void* views[] = {im.RowTo8Func(row, &im), im.RowTo24Func(row, &im),
                           im.RowTo32Func(row, &im)};
    const void* copies[] = {im.RowCopyTo8Func(row, &im), im.RowCopyTo24Func(row, &im),
                            im.RowCopyTo32Func(row, &im)};
    for (int i = 0; i < 3; ++i) {
      const int kind = i == 0 ? 8 : i == 1 ? 24 : 32;
      EXPECT_EQ(views[i] == row, kind == c.view) << c.bpp << " bpp, view " << kind;
      EXPECT_NE(copies[i], static_cast<const void*>(row)) << c.bpp << " bpp, copy " << kind;
    }
  }
}

TEST(RowFunctions, MisalignedCallerMemoryIsReadAsAnAlignedCopy) {
  std::vector<BYTE> memory(4 * 3 * 2 + 1);
  BYTE* bits = memory.data() + 1;
  for (size_t i = 0; i < 24; ++i) bits[i] = static_cast<BYTE>(i + 1);
  CGraphicsImage im;
  ASSERT_TRUE(im.Create(32, 3, 2, IMAGE_NO_FILL, bits));
  const uint32_t* row = im.RowTo32Func(im.Row(0), &im);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(row) % 4, 0u);
  EXPECT_EQ(row[0], 0x100F0E0Du);  // top row = second in memory, bytes 13..16
  im.PixelSetFunc(im.Row(1), 2, 0xA1B2C3D4);
  EXPECT_EQ(bits[8], 0xD4);
  EXPECT_EQ(bits[11], 0xA1);
}

TEST(RowFunctions, EmptyImageFunctionsAreHarmless) {
  CGraphicsImage im;
  BYTE row[4] = {1, 2, 3, 4};
  EXPECT_EQ(im.PixelGetFunc(row, 0), 0u);
  im.PixelSetFunc(row, 0, 0xFFFFFFFF);
  EXPECT_EQ(row[0], 1);
  EXPECT_EQ(im.ColorToPixelFunc(0x123456), 0x123456u);
  EXPECT_NE(im.RowTo8Func(row, &im), nullptr);
  EXPECT_NE(im.RowTo8Func(row, &im), row);
  EXPECT_NE(im.RowCopyTo32Func(row, &im), nullptr);
}

TEST(SwapRedBlue, ExchangesBytesZeroAndTwo) {
  BYTE four[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  SwapRedBlue32(four, 2);
  EXPECT_EQ(std::vector<BYTE>(four, four + 9), (std::vector<BYTE>{3, 2, 1, 4, 7, 6, 5, 8, 9}));
  BYTE three[] = {1, 2, 3, 4, 5, 6, 7};
  SwapRedBlue24(three, 2);
  EXPECT_EQ(std::vector<BYTE>(three, three + 7), (std::vector<BYTE>{3, 2, 1, 6, 5, 4, 7}));
  SwapRedBlue24(three, 0);
  EXPECT_EQ(three[0], 3);
}
