// GIF's LZW coder on its own: streams laid out by hand from the GIF89a
// format, the sub-block framing, and a stream that does not depend on how
// the pixels are handed in.
#include "graphics/formats/gif_lzw.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

using Bytes = std::vector<BYTE>;

Bytes Coded(int codeSize, const Bytes& pixels, size_t piece = 0) {
  CGifLzwCoder coder;
  Bytes out;
  coder.Start(codeSize, out);
  if (piece == 0) piece = pixels.size() + 1;
  for (size_t at = 0; at < pixels.size(); at += piece)
    coder.Encode(pixels.data() + at, std::min(piece, pixels.size() - at), out);
  coder.Finish(out);
  return out;
}

TEST(GifLzwCoder, WritesShortStreamsBitForBit) {
  struct Case {
    int codeSize;
    Bytes pixels;
    Bytes blocks;
  };
  const Case cases[] = {
      // clear 4, 0, end 5 in 3 bits: 100 000 101.
      {2, {0}, {2, 0x44, 0x01}},
      // clear 4, 0, 6 ("00"), 7 ("000") in 3 bits, end 5 in 4 bits.
      {2, {0, 0, 0, 0, 0, 0}, {2, 0x84, 0x5F}},
      // clear 256, 0, end 257 in 9 bits.
      {8, {0}, {4, 0x00, 0x01, 0x04, 0x04}},
      // clear 16, 1, 2, end 17 in 5 bits: 10000 00001 00010 10001.
      {4, {1, 2}, {3, 0x30, 0x88, 0x08}},
      // No pixels: clear and end only.
      {2, {}, {1, 0x2C}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.codeSize);
    EXPECT_EQ(Coded(c.codeSize, c.pixels), c.blocks);
  }
}

TEST(GifLzwCoder, FramesDataInSubBlocksOf254Bytes) {
  std::mt19937 rng(5);
  for (size_t count : {size_t{1}, size_t{300}, size_t{5000}, size_t{100000}}) {
    SCOPED_TRACE(count);
    Bytes pixels(count);
    for (BYTE& p : pixels) p = BYTE(rng());
    const Bytes out = Coded(8, pixels);
    size_t at = 0, blocks = 0;
    while (at < out.size()) {
      const size_t n = out[at];
      ASSERT_GT(n, 0u) << "no empty sub-block before the terminator";
      ASSERT_LE(at + 1 + n, out.size());
      at += 1 + n;
      ++blocks;
      if (at < out.size()) {
        EXPECT_EQ(n, 254u) << "only the last sub-block is short";
      }
    }
    // 9 to 12 bits a pixel at worst, never less than a byte a pixel for
    // random bytes.
    EXPECT_GE(out.size() - blocks, count);
    EXPECT_LE(out.size() - blocks, (count + 2) * 12 / 8 + 1);
  }
}

TEST(GifLzwCoder, CodesTheSameStreamHoweverThePixelsArrive) {
  std::mt19937 rng(9);
  Bytes pixels(20000);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = BYTE(rng() % 3 == 0 ? rng() & 15 : i / 40 % 16);
  const Bytes whole = Coded(4, pixels);
  for (size_t piece : {size_t{1}, size_t{7}, size_t{254}, size_t{4096}}) {
    EXPECT_EQ(Coded(4, pixels, piece), whole) << piece;
  }
  // A coder starts afresh for each image.
  CGifLzwCoder coder;
  Bytes first, second;
  for (Bytes* out : {&first, &second}) {
    coder.Start(4, *out);
    coder.Encode(pixels.data(), pixels.size(), *out);
    coder.Finish(*out);
  }
  EXPECT_EQ(first, whole);
  EXPECT_EQ(second, whole);
}

}  // namespace
