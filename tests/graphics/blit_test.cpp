#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "graphics/blit.h"
#include "graphics/image.h"
#include "convert_test_support.h"
#include "test_images.h"

namespace {

std::vector<uint32_t> Pixels(const CGraphicsImage& im) {
  std::vector<uint32_t> v;
  for (int y = 0; y < im.height; ++y)
    for (int x = 0; x < im.width; ++x) v.push_back(Get(im, x, y));
  return v;
}

// What DrawImage with flags 0 leaves at a destination pixel covered by src.
uint32_t Converted(const CGraphicsImage& dst, const CGraphicsImage& src, int sx, int sy) {
  if (dst.bpp == src.bpp || dst.bpp <= 8) return Significant(dst.bpp, Get(src, sx, sy));
  uint32_t c = Colour(src, sx, sy);
  if (dst.bpp == 32 && src.bpp <= 24) c |= 0xFF000000;
  return Significant(dst.bpp, c);
}

}  // namespace

TEST(DrawImage, CopiesAndConvertsBetweenEveryPairOfFormatsWithClipping) {
  std::mt19937 rng(11);
  const int offsets[][2] = {{-5, -5}, {0, 0}, {1, 2}, {3, -1}, {-2, 6}, {11, 7}, {-10, 3}, {5, 0}};
  for (int sb : kAllFormats)
    for (int db : kAllFormats)
      for (auto& off : offsets) {
        CGraphicsImage src, dst;
        MakeRandom(src, sb, 11, 9, rng);
        MakeRandom(dst, db, 13, 8, rng);
        const std::vector<uint32_t> before = Pixels(dst);
        ASSERT_TRUE(dst.DrawImage(src, off[0], off[1], 0));
        for (int y = 0; y < dst.height; ++y)
          for (int x = 0; x < dst.width; ++x) {
            const int sx = x - off[0], sy = y - off[1];
            const bool inside = sx >= 0 && sy >= 0 && sx < src.width && sy < src.height;
            const uint32_t want = inside ? Converted(dst, src, sx, sy) : before[size_t(y * dst.width + x)];
            ASSERT_EQ(Get(dst, x, y), want) << sb << "->" << db << " at " << off[0] << "," << off[1] << " px "
                                            << x << "," << y;
          }
      }
}

TEST(DrawImage, ReportsFalseAndWritesNothingWhenNothingOverlaps) {
  std::mt19937 rng(12);
  CGraphicsImage src, dst, empty;
  MakeRandom(src, 24, 6, 4, rng);
  MakeRandom(dst, 24, 10, 8, rng);
  const std::vector<BYTE> before = PixelBytes(dst);
  const int cases[][2] = {{10, 0}, {0, 8}, {-6, 0}, {0, -4}, {INT32_MAX, 0}, {INT32_MIN, 0}, {0, INT32_MIN}};
  for (auto& c : cases) EXPECT_FALSE(dst.DrawImage(src, c[0], c[1], 0)) << c[0] << "," << c[1];
  EXPECT_FALSE(dst.DrawImage(empty, 0, 0, 0));
  EXPECT_FALSE(empty.DrawImage(src, 0, 0, 0));
  EXPECT_EQ(PixelBytes(dst), before);
  EXPECT_TRUE(dst.DrawImage(src, 9, 7, 0));
}

TEST(DrawImage, DrawsAnImageOntoItselfAsFromACopy) {
  std::mt19937 rng(13);
  for (int bpp : kAllFormats)
    for (int dx : {-3, 1, 2})
      for (int dy : {-2, 3}) {
        CGraphicsImage im, ref, copy;
        MakeRandom(im, bpp, 12, 9, rng);
        ASSERT_TRUE(copy.Copy(im));
        ASSERT_TRUE(ref.Copy(im));
        ASSERT_TRUE(ref.DrawImage(copy, dx, dy, 0));
        ASSERT_TRUE(im.DrawImage(im, dx, dy, 0));
        EXPECT_EQ(PixelBytes(im), PixelBytes(ref)) << bpp << " " << dx << "," << dy;
      }
}

TEST(DrawImage, ModeBitsSkipTheNamedPixels) {
  CGraphicsImage src, dst;
  ASSERT_TRUE(src.Create(32, 4, 1, 0, nullptr));
  const uint32_t s[4] = {0x00123456, 0x80ABCDEF, 0x40111111, 0xFF123456};
  for (int x = 0; x < 4; ++x) src.PixelSetFunc(src.Row(0), x, s[x]);
  struct Case {
    uint32_t flags;
    bool copied[4];
  };
  const Case cases[] = {
      {0x01123456, {false, true, true, false}},  // source key (low 24 bits)
      {DRAW_SKIP_SRC_BIT31, {true, false, true, false}},
      {DRAW_SKIP_SRC_NO_BIT31, {false, true, false, true}},
      {DRAW_SKIP_SRC_BIT30, {true, true, false, false}},
      {0x10000000 | 0x777777, {true, false, true, true}},  // destination pixel 1 has the key
      {DRAW_SKIP_DST_BIT31, {false, true, true, true}},
      {DRAW_SKIP_DST_NO_BIT31, {true, false, false, false}},
      {DRAW_SKIP_DST_BIT30, {true, true, true, false}},
  };
  const uint32_t d[4] = {0x80000001, 0x00777777, 0x00000003, 0x40000004};
  for (const Case& c : cases) {
    ASSERT_TRUE(dst.Create(32, 4, 1, 0, nullptr));
    for (int x = 0; x < 4; ++x) dst.PixelSetFunc(dst.Row(0), x, d[x]);
    ASSERT_TRUE(dst.DrawImage(src, 0, 0, c.flags));
    for (int x = 0; x < 4; ++x) EXPECT_EQ(Get(dst, x, 0), c.copied[x] ? s[x] : d[x]) << std::hex << c.flags << " " << x;
  }
  // A 16-bpp source has no bits 30 and 31: its modes are ignored; its key
  // is compared with what the format keeps.
  CGraphicsImage rgb;
  ASSERT_TRUE(rgb.Create(16, 2, 1, 0, nullptr));
  rgb.PixelSetFunc(rgb.Row(0), 0, 0x123456);
  ASSERT_TRUE(dst.Create(32, 2, 1, 0x11111111, nullptr));
  ASSERT_TRUE(dst.DrawImage(rgb, 0, 0, DRAW_SKIP_SRC_NO_BIT31 | DRAW_SKIP_SRC_KEY | 0x123456));
  EXPECT_EQ(Get(dst, 0, 0), 0x11111111u);      // 0x123456 is stored as 0x103450: the key matches
  EXPECT_EQ(Get(dst, 1, 0), 0xFF000000u);      // black is copied, made opaque
}

TEST(DrawImageAlpha, BlendsBySourceAlphaOrPaletteReservedByte) {
  CGraphicsImage src, dst;
  ASSERT_TRUE(src.Create(32, 3, 1, 0, nullptr));
  src.PixelSetFunc(src.Row(0), 0, 0x00FFFFFF);
  src.PixelSetFunc(src.Row(0), 1, 0xFF102030);
  src.PixelSetFunc(src.Row(0), 2, 0x80FF0000);
  ASSERT_TRUE(dst.Create(32, 3, 1, 0x00000040, nullptr));
  ASSERT_TRUE(dst.DrawImageAlpha(src, 0, 0));
  EXPECT_EQ(Get(dst, 0, 0), 0x00000040u);
  EXPECT_EQ(Get(dst, 1, 0), 0xFF102030u);
  // red: 255 * 129 >> 8 = 128; blue: 64 * 128 >> 8 = 32
  EXPECT_EQ(Get(dst, 2, 0), 0xFF800020u);

  CGraphicsImage pal;
  ASSERT_TRUE(pal.Create(2, 3, 1, 0, nullptr));
  pal.SetPaletteEntryRGBA(0, 0, 0, 0, 0);
  pal.SetPaletteEntryRGBA(1, 0xFF, 0xFF, 0xFF, 255);
  pal.SetPaletteEntryRGBA(2, 0xFF, 0, 0, 64);
  for (int x = 0; x < 3; ++x) pal.PixelSetFunc(pal.Row(0), x, static_cast<uint32_t>(x));
  ASSERT_TRUE(dst.Create(32, 3, 1, 0x00000080, nullptr));
  ASSERT_TRUE(dst.DrawImageAlpha(pal, 0, 0));
  EXPECT_EQ(Get(dst, 0, 0), 0xFF000080u);
  EXPECT_EQ(Get(dst, 1, 0), 0xFFFFFFFFu);
  // red: 255 * 65 >> 8 = 64; blue: 128 * 192 >> 8 = 96
  EXPECT_EQ(Get(dst, 2, 0), 0xFF400060u);

  CGraphicsImage rgb;
  ASSERT_TRUE(rgb.Create(24, 2, 2, 0x123456, nullptr));
  EXPECT_TRUE(dst.DrawImageAlpha(rgb, -1, 0));
  EXPECT_EQ(Get(dst, 0, 0), 0xFF123456u);  // no alpha channel: opaque
  EXPECT_EQ(Get(dst, 1, 0), 0xFFFFFFFFu);
  EXPECT_FALSE(dst.DrawImageAlpha(rgb, 3, 0));
  ASSERT_TRUE(pal.Create(8, 3, 1, 0, nullptr));
  EXPECT_FALSE(pal.DrawImageAlpha(src, 0, 0));
}

TEST(DrawImageMasked, CopiesWhereTheMaskIsZeroAndNothingBeyondTheMask) {
  CGraphicsImage src, mask, dst;
  ASSERT_TRUE(src.Create(4, 4, 2, 0, nullptr));
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) src.PixelSetFunc(src.Row(y), x, uint32_t(9 + x + 4 * y) & 15);
  ASSERT_TRUE(mask.Create(1, 3, 2, 0, nullptr));
  mask.PixelSetFunc(mask.Row(0), 1, 1);
  ASSERT_TRUE(dst.Create(24, 5, 3, 0x777777, nullptr));
  ASSERT_TRUE(dst.DrawImageMasked(src, 1, 1, mask));
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) {
      const int sx = x - 1, sy = y - 1;
      const bool copied = sx >= 0 && sy >= 0 && sx < 3 && sy < 2 && !(sx == 1 && sy == 0);
      EXPECT_EQ(Get(dst, x, y), copied ? (Colour(src, sx, sy) & 0xFFFFFF) : 0x777777u) << x << "," << y;
    }
}

TEST(CompositeFrom, BlendsOverTheDestinationAlpha) {
  CGraphicsImage src, dst;
  ASSERT_TRUE(src.Create(32, 4, 1, 0x80FF0000, nullptr));
  src.PixelSetFunc(src.Row(0), 3, 0x00FFFFFF);
  ASSERT_TRUE(dst.Create(32, 4, 1, 0, nullptr));
  const uint32_t d[4] = {0x00000000, 0x40000040, 0xFF000040, 0x12345678};
  for (int x = 0; x < 4; ++x) dst.PixelSetFunc(dst.Row(0), x, d[x]);
  ASSERT_TRUE(dst.CompositeFrom(src, 0, 0));
  EXPECT_EQ(Get(dst, 0, 0), 0x80FF0000u);
  // alpha: (128*129 + 64*128) >> 8 = 96; red 128; blue 32
  EXPECT_EQ(Get(dst, 1, 0), 0x60800020u);
  EXPECT_EQ(Get(dst, 2, 0), 0xFF800020u);
  EXPECT_EQ(Get(dst, 3, 0), 0x12345678u);
  CGraphicsImage rgb;
  ASSERT_TRUE(rgb.Create(24, 2, 2, 0, nullptr));
  EXPECT_FALSE(dst.CompositeFrom(rgb, 0, 0));
}

TEST(CropFrom, TakesTheRectangleWithZerosOutsideTheSource) {
  std::mt19937 rng(14);
  const int rects[][4] = {{2, 1, 5, 4}, {-3, -2, 6, 5}, {7, 5, 6, 6}, {4, 3, -5, -3}, {20, 0, 3, 3}, {0, 0, 9, 7}};
  for (int bpp : kAllFormats)
    for (auto& r : rects) {
      CGraphicsImage src, out;
      MakeRandom(src, bpp, 9, 7, rng);
      ASSERT_TRUE(out.CropFrom(src, r[0], r[1], r[2], r[3]));
      const int x0 = r[2] < 0 ? r[0] + r[2] + 1 : r[0], y0 = r[3] < 0 ? r[1] + r[3] + 1 : r[1];
      ASSERT_EQ(out.bpp, bpp);
      ASSERT_EQ(out.width, std::abs(r[2]));
      ASSERT_EQ(out.height, std::abs(r[3]));
      for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
          const int sx = x0 + x, sy = y0 + y;
          const bool in = sx >= 0 && sy >= 0 && sx < 9 && sy < 7;
          ASSERT_EQ(Get(out, x, y), in ? Get(src, sx, sy) : 0u) << bpp << " " << x << "," << y;
        }
      if (bpp <= 8) {
        EXPECT_EQ(0, std::memcmp(out.palette, src.palette, 4 * src.paletteSize));
      }
      CGraphicsImage self;
      ASSERT_TRUE(self.Copy(src));
      ASSERT_TRUE(self.CropFrom(self, r[0], r[1], r[2], r[3]));
      EXPECT_EQ(PixelBytes(self), PixelBytes(out));
    }
  CGraphicsImage src, empty;
  MakeRandom(src, 8, 4, 4, rng);
  const std::vector<BYTE> before = PixelBytes(src);
  EXPECT_FALSE(src.CropFrom(empty, 0, 0, 2, 2));
  EXPECT_FALSE(src.CropFrom(src, 0, 0, 40000, 2));
  EXPECT_EQ(PixelBytes(src), before);
}

TEST(BitRowCopy, ShiftsBitRowsInBigEndianOrder) {
  const BYTE bytes[8] = {0xAB, 0xCD, 0xEF, 0x12, 0x34, 0x56, 0x78, 0x9A};
  DWORD src[2];
  std::memcpy(src, bytes, 8);
  auto bitAt = [&](int i) { return (bytes[i / 8] >> (7 - i % 8)) & 1; };
  for (int offset : {-13, -8, -1, 0, 3, 8, 12, 21})
    for (int end : {0, 5, 20, 33, 64}) {
      DWORD out[3], back[3];
      std::memset(out, 0x5A, sizeof out);
      std::memset(back, 0xA5, sizeof back);
      BitRowCopy(offset, 3, src, out, end);
      BitRowCopyBackward(offset, 3, src, back, end);
      BYTE o[12], b[12];
      std::memcpy(o, out, 12);
      std::memcpy(b, back, 12);
      for (int j = 0; j < 96; ++j) {
        const int i = offset + j;
        const int want = i >= 0 && i < end ? bitAt(i) : 0;
        ASSERT_EQ((o[j / 8] >> (7 - j % 8)) & 1, want) << offset << " " << end << " bit " << j;
        ASSERT_EQ((b[j / 8] >> (7 - j % 8)) & 1, want) << offset << " " << end << " bit " << j;
      }
    }
  // In place: forward for shifts to the left, backward for shifts to the right.
  DWORD row[2];
  std::memcpy(row, bytes, 8);
  BitRowCopyBackward(-4, 2, row, row, 64);
  BYTE r[8];
  std::memcpy(r, row, 8);
  EXPECT_EQ(r[0], 0x0A);
  EXPECT_EQ(r[1], 0xBC);
  EXPECT_EQ(r[7], 0x89);
  BitRowCopy(4, 2, row, row, 64);
  std::memcpy(r, row, 8);
  EXPECT_EQ(r[0], 0xAB);
  EXPECT_EQ(r[6], 0x78);
  EXPECT_EQ(r[7], 0x90);
}

TEST(Scroll, MovesContentAndFillsTheUncoveredStrips) {
  std::mt19937 rng(15);
  const int shifts[][2] = {{1, 0}, {-3, 0}, {0, 2}, {0, -1}, {5, -2}, {-1, 3}, {13, 0}, {0, -8}, {2, 1}};
  for (int bpp : kAllFormats)
    for (auto& s : shifts)
      for (DWORD fill : {DWORD{3}, IMAGE_NO_FILL}) {
        CGraphicsImage im, before;
        MakeRandom(im, bpp, 13, 8, rng);
        ASSERT_TRUE(before.Copy(im));
        im.Scroll(s[0], s[1], fill);
        CGraphicsImage filled;
        ASSERT_TRUE(filled.Create(bpp, 1, 1, 0, nullptr));
        filled.FillRect(0, 0, 1, 1, 3);
        const uint32_t fillValue = Get(filled, 0, 0);
        for (int y = 0; y < 8; ++y)
          for (int x = 0; x < 13; ++x) {
            const int sx = x - s[0], sy = y - s[1];
            const bool moved = sx >= 0 && sy >= 0 && sx < 13 && sy < 8;
            uint32_t want = moved ? Get(before, sx, sy) : fill == IMAGE_NO_FILL ? Get(im, x, y) : fillValue;
            ASSERT_EQ(Get(im, x, y), want) << bpp << " by " << s[0] << "," << s[1] << " px " << x << "," << y;
          }
        if (fill == IMAGE_NO_FILL && s[1] == 0) {
          // The uncovered columns keep what they had.
          for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 13; ++x)
              if (x - s[0] < 0 || x - s[0] >= 13) {
                ASSERT_EQ(Get(im, x, y), Get(before, x, y));
              }
        }
      }
}

TEST(RotateQuarterFrom, TurnsClockwiseAndMirrors) {
  std::mt19937 rng(16);
  for (int bpp : kAllFormats)
    for (int turns = 0; turns < 5; ++turns)
      for (int mirror = 0; mirror < 4; ++mirror) {
        CGraphicsImage src, out;
        MakeRandom(src, bpp, 5, 3, rng);
        const bool mv = mirror & 1, mh = mirror & 2;
        ASSERT_TRUE(out.RotateQuarterFrom(src, turns, mv, mh));
        const bool odd = turns & 1;
        ASSERT_EQ(out.width, odd ? 3 : 5);
        ASSERT_EQ(out.height, odd ? 5 : 3);
        for (int y = 0; y < 3; ++y)
          for (int x = 0; x < 5; ++x) {
            // Clockwise on screen (y downward): (x, y) -> (h-1-y, x).
            int X = x, Y = y;
            for (int t = 0; t < (turns & 3); ++t) {
              const int h = t % 2 == 0 ? 3 : 5;
              const int nx = h - 1 - Y;
              Y = X;
              X = nx;
            }
            if (mh) X = out.width - 1 - X;
            if (mv) Y = out.height - 1 - Y;
            ASSERT_EQ(Colour(out, X, Y), Colour(src, x, y)) << bpp << " " << turns << " " << mirror;
          }
        CGraphicsImage self;
        ASSERT_TRUE(self.Copy(src));
        ASSERT_TRUE(self.RotateQuarterFrom(self, turns, mv, mh));
        EXPECT_EQ(PixelBytes(self), PixelBytes(out));
      }
}
