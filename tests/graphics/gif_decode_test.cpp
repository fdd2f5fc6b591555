// What the GIF writer writes, read back by independent decoders (Pillow and
// ImageMagick): single images of every depth and odd sizes to the exact
// pixel, animations with their frames, delays, disposal, loop and
// transparency, and LZW streams across every code-width change and many
// table clears.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "gif_test_support.h"
#include "graphics/formats/gif_writer.h"
#include "graphics/save.h"

namespace {

using giftest::DecodedGif;
using giftest::HexOf;
using giftest::ShownRgba;
using savetest::ScratchDir;
using Bytes = std::vector<BYTE>;

bool DecodersMissing(const std::vector<DecodedGif>& gifs) {
  return !gifs.empty() && gifs[0].status == 77 && std::getenv("CI") == nullptr;
}

// Every palette entry a distinct colour that no decoder takes for grey.
void ColourfulPalette(CGraphicsImage& image, uint32_t seed) {
  std::mt19937 rng(seed);
  for (int i = 0; i < 256; ++i)
    image.SetPaletteEntryRGB(i, BYTE(i), BYTE(rng() | 1), BYTE(255 - i));
}

// Expects both decoders to show `rgba` as the only frame.
void ExpectSingleImage(const DecodedGif& gif, int width, int height, const Bytes& rgba) {
  EXPECT_EQ(gif.errors, "");
  EXPECT_EQ(gif.format, "GIF");
  EXPECT_EQ(gif.width, width);
  EXPECT_EQ(gif.height, height);
  EXPECT_EQ(gif.frameCount, 1);
  EXPECT_EQ(gif.loop, "none");
  ASSERT_EQ(gif.frames.size(), 1u);
  EXPECT_EQ(gif.frames[0].rgba, HexOf(rgba)) << "Pillow";
  EXPECT_EQ(gif.frames[0].magick, HexOf(giftest::WithoutAlpha(rgba))) << "ImageMagick";
}

TEST(GifDecoders, ReadEveryPaletteDepthAndOddSizeExactly) {
  struct Case {
    int bpp, width, height;
  };
  const Case cases[] = {
      {1, 1, 1},  {1, 3, 2},   {1, 13, 7},  {1, 333, 41}, {2, 1, 1},   {2, 7, 3},
      {2, 97, 33}, {4, 1, 1},  {4, 5, 9},   {4, 171, 29}, {8, 1, 1},   {8, 3, 1},
      {8, 31, 17}, {8, 257, 65}, {8, 1, 300},
  };
  ScratchDir dir;
  std::vector<std::string> paths;
  std::vector<CGraphicsImage> images(std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    savetest::MakeRandomImage(images[i], c.bpp, c.width, c.height, uint32_t(i + 1));
    ColourfulPalette(images[i], uint32_t(i));
    paths.push_back(dir / ("p" + std::to_string(i) + ".gif"));
    ASSERT_EQ(SaveImage(paths.back().c_str(), images[i], nullptr), 0);
  }
  const std::vector<DecodedGif> gifs = giftest::DecodeGifs(paths);
  if (DecodersMissing(gifs)) GTEST_SKIP() << "GIF decoders missing";
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(std::to_string(c.bpp) + " bpp " + std::to_string(c.width) + "x" +
                 std::to_string(c.height));
    ASSERT_EQ(gifs[i].status, 0) << gifs[i].errors;
    ExpectSingleImage(gifs[i], c.width, c.height, ShownRgba(images[i], c.width, c.height));
  }
}

// `count` distinct colours over the image, in a pattern of runs.
void FewColours(CGraphicsImage& image, int bpp, int width, int height, int count) {
  ASSERT_TRUE(image.Create(bpp, width, height, 0, nullptr));
  std::mt19937 rng(uint32_t(bpp * 1000 + count));
  std::vector<DWORD> colours;
  for (int i = 0; i < count; ++i) colours.push_back(image.ColorToPixelFunc(rng() & 0xFFFFFF));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      image.PixelSetFunc(image.Row(y), x, colours[size_t(rng() % 7 == 0 ? rng() % count : (x / 3 + y) % count)]);
}

TEST(GifDecoders, ShowTrueColourImagesOfUpTo256ColoursUnchanged) {
  struct Case {
    int width, height, colours;
  };
  const Case sizes[] = {{1, 1, 1}, {61, 23, 1}, {61, 23, 2}, {61, 23, 200}, {61, 23, 256}};
  ScratchDir dir;
  std::vector<std::string> paths;
  std::vector<CGraphicsImage> images;
  images.reserve(std::size(kAllFormats) * std::size(sizes));
  for (int bpp : kAllFormats) {
    if (bpp <= 8) continue;
    for (const Case& c : sizes) {
      images.emplace_back();
      FewColours(images.back(), bpp, c.width, c.height, c.colours);
      paths.push_back(dir / ("t" + std::to_string(paths.size()) + ".gif"));
      ASSERT_EQ(SaveImage(paths.back().c_str(), images.back(), nullptr), 0);
    }
  }
  const std::vector<DecodedGif> gifs = giftest::DecodeGifs(paths);
  if (DecodersMissing(gifs)) GTEST_SKIP() << "GIF decoders missing";
  for (size_t i = 0; i < images.size(); ++i) {
    const CGraphicsImage& image = images[i];
    SCOPED_TRACE(std::to_string(image.bpp) + " bpp, case " + std::to_string(i));
    const Bytes rgb = giftest::TrueRgb(image);
    Bytes rgba;
    for (size_t p = 0; p < rgb.size(); p += 3) rgba.insert(rgba.end(), {rgb[p], rgb[p + 1], rgb[p + 2], 255});
    ASSERT_EQ(gifs[i].status, 0) << gifs[i].errors;
    ExpectSingleImage(gifs[i], image.width, image.height, rgba);
  }
}

TEST(GifDecoders, ShowManyColouredImagesAsTheQuantiserMapsThem) {
  CGraphicsImage image, quantised;
  savetest::MakeSmoothImage(image, 24, 200, 120);
  ASSERT_TRUE(quantised.Quantize(image));
  ScratchDir dir;
  ASSERT_EQ(SaveImage((dir / "q.gif").c_str(), image, nullptr), 0);
  DECODE_GIF_OR_SKIP(gif, dir / "q.gif");
  ExpectSingleImage(gif, 200, 120, ShownRgba(quantised, 200, 120));
}

TEST(GifDecoders, ReadAnimationFramesInListOrderWithDelayDisposalAndLoop) {
  CGraphicsImage frames[3];
  for (int i = 0; i < 3; ++i) {
    savetest::MakeRandomImage(frames[i], 8, 23, 11, uint32_t(40 + i));
    ColourfulPalette(frames[i], 7);  // one palette for all
  }
  CGraphicsImage* list[] = {&frames[0], &frames[1], &frames[2]};
  ScratchDir dir;
  CGifWriter writer;
  writer.comment.SetText("Animation");
  writer.SaveSequence((dir / "a.gif").c_str(), list, 3);
  DECODE_GIF_OR_SKIP(gif, dir / "a.gif");
  EXPECT_EQ(gif.width, 23);
  EXPECT_EQ(gif.height, 11);
  EXPECT_EQ(gif.frameCount, 3);
  EXPECT_EQ(gif.loop, "0") << "endless";
  EXPECT_EQ(gif.comment, HexOf(Bytes{'A', 'n', 'i', 'm', 'a', 't', 'i', 'o', 'n'}));
  ASSERT_EQ(gif.frames.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(gif.frames[i].duration, "500");
    EXPECT_EQ(gif.frames[i].disposal, "3");
    EXPECT_EQ(gif.frames[i].transparency, "none");
    const Bytes rgba = ShownRgba(frames[i], 23, 11);
    EXPECT_EQ(gif.frames[i].rgba, HexOf(rgba)) << "Pillow";
    EXPECT_EQ(gif.frames[i].magick, HexOf(giftest::WithoutAlpha(rgba))) << "ImageMagick";
  }
}

TEST(GifDecoders, ShowTheTransparentIndexAsTransparent) {
  CGraphicsImage image;
  savetest::MakeRandomImage(image, 4, 19, 9, 3);
  ColourfulPalette(image, 3);
  ScratchDir dir;
  CGifWriter writer;
  writer.transparentIndex = 5;
  writer.Save((dir / "t.gif").c_str(), image);
  CGraphicsImage* list[] = {&image, &image};
  writer.SaveSequence((dir / "u.gif").c_str(), list, 2);
  const std::vector<DecodedGif> gifs = giftest::DecodeGifs({dir / "t.gif", dir / "u.gif"});
  if (DecodersMissing(gifs)) GTEST_SKIP() << "GIF decoders missing";
  const std::string rgba = HexOf(ShownRgba(image, 19, 9, 5));
  for (const DecodedGif& gif : gifs) {
    ASSERT_EQ(gif.status, 0) << gif.errors;
    ASSERT_FALSE(gif.frames.empty());
    EXPECT_EQ(gif.frames[0].transparency, "5");
    EXPECT_EQ(gif.frames[0].rgba, rgba);
  }
  EXPECT_EQ(gifs[0].frames[0].duration, "500");
  EXPECT_EQ(gifs[1].frameCount, 2);
}

TEST(GifDecoders, ShowFramesOfOtherSizesCutOrPaddedWithIndexZero) {
  CGraphicsImage first, small, large;
  savetest::MakeRandomImage(first, 8, 17, 9, 1);
  savetest::MakeRandomImage(small, 8, 5, 4, 2);
  savetest::MakeRandomImage(large, 8, 40, 30, 3);
  for (CGraphicsImage* image : {&first, &small, &large}) ColourfulPalette(*image, 9);
  CGraphicsImage* list[] = {&first, &small, &large};
  ScratchDir dir;
  CGifWriter writer;
  writer.SaveSequence((dir / "s.gif").c_str(), list, 3);
  DECODE_GIF_OR_SKIP(gif, dir / "s.gif");
  ASSERT_EQ(gif.frames.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const Bytes rgba = ShownRgba(*list[i], 17, 9);
    EXPECT_EQ(gif.frames[i].rgba, HexOf(rgba));
    EXPECT_EQ(gif.frames[i].magick, HexOf(giftest::WithoutAlpha(rgba)));
  }
}

TEST(GifDecoders, ShowEachFrameInItsOwnColours) {
  // True-colour frames are quantised one by one, and palette frames may
  // differ from the first: each must still show its own colours.
  CGraphicsImage first, trueColour, otherPalette, deeper;
  FewColours(first, 24, 30, 12, 40);
  FewColours(trueColour, 32, 30, 12, 90);
  savetest::MakeRandomImage(otherPalette, 8, 30, 12, 5);
  ColourfulPalette(otherPalette, 77);
  savetest::MakeRandomImage(deeper, 4, 30, 12, 6);
  ColourfulPalette(deeper, 78);
  CGraphicsImage* list[] = {&first, &trueColour, &otherPalette, &deeper};
  ScratchDir dir;
  CGifWriter writer;
  writer.SaveSequence((dir / "c.gif").c_str(), list, 4);
  DECODE_GIF_OR_SKIP(gif, dir / "c.gif");
  ASSERT_EQ(gif.frames.size(), 4u);
  const Bytes expected[] = {giftest::TrueRgb(first), giftest::TrueRgb(trueColour),
                            giftest::WithoutAlpha(ShownRgba(otherPalette, 30, 12)),
                            giftest::WithoutAlpha(ShownRgba(deeper, 30, 12))};
  for (size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(gif.frames[i].magick, HexOf(expected[i])) << "ImageMagick";
    Bytes rgba;
    for (size_t p = 0; p < expected[i].size(); p += 3)
      rgba.insert(rgba.end(), {expected[i][p], expected[i][p + 1], expected[i][p + 2], 255});
    EXPECT_EQ(gif.frames[i].rgba, HexOf(rgba)) << "Pillow";
  }
}

// --- LZW streams ---

// A de Bruijn sequence over 256 values: every ordered pair of pixel values
// occurs exactly once, so every pixel after the first starts a new string
// and each emits exactly one code.
Bytes EveryPairOnce() {
  Bytes sequence;
  // Lyndon words of length dividing 2 in lexicographic order (FKM).
  const int k = 256, n = 2;
  std::vector<int> w(n + 1, 0);
  auto visit = [&](auto&& self, int t, int p) -> void {
    if (t > n) {
      if (n % p == 0)
        for (int j = 1; j <= p; ++j) sequence.push_back(BYTE(w[size_t(j)]));
      return;
    }
    w[size_t(t)] = w[size_t(t - p)];
    self(self, t + 1, p);
    for (int j = w[size_t(t - p)] + 1; j < k; ++j) {
      w[size_t(t)] = j;
      self(self, t + 1, t);
    }
  };
  visit(visit, 1, 1);
  return sequence;
}

TEST(GifDecoders, ReadLzwStreamsAcrossEveryCodeWidthChangeAndTableClear) {
  const Bytes pairs = EveryPairOnce();
  ASSERT_EQ(pairs.size(), 65536u);
  // With every string new, pixel n emits code number n: the table holds
  // 258 + n codes. Around 512, 1024, 2048 and 4096 codes the width grows or
  // the table is cleared; the stream may end on either side of each.
  std::vector<int> lengths;
  for (int boundary : {512, 1024, 2048, 4096, 4096 + 3838, 4096 + 2 * 3838}) {
    for (int d = -3; d <= 3; ++d) lengths.push_back(boundary - 258 + d);
  }
  lengths.push_back(256);
  ScratchDir dir;
  std::vector<std::string> paths;
  std::vector<CGraphicsImage> images(lengths.size() + 1);
  for (size_t i = 0; i < lengths.size(); ++i) {
    ASSERT_TRUE(images[i].Create(8, lengths[i], 1, 0, nullptr));
    std::copy(pairs.begin(), pairs.begin() + lengths[i], images[i].Row(0));
    ColourfulPalette(images[i], 1);
  }
  // All 65536 pixels: seventeen clears.
  CGraphicsImage& all = images.back();
  ASSERT_TRUE(all.Create(8, 256, 256, 0, nullptr));
  for (int y = 0; y < 256; ++y)
    std::copy(pairs.begin() + 256 * y, pairs.begin() + 256 * (y + 1), all.Row(y));
  ColourfulPalette(all, 1);
  for (size_t i = 0; i < images.size(); ++i) {
    paths.push_back(dir / ("l" + std::to_string(i) + ".gif"));
    ASSERT_EQ(SaveImage(paths.back().c_str(), images[i], nullptr), 0);
  }
  const std::vector<DecodedGif> gifs = giftest::DecodeGifs(paths);
  if (DecodersMissing(gifs)) GTEST_SKIP() << "GIF decoders missing";
  for (size_t i = 0; i < images.size(); ++i) {
    SCOPED_TRACE(std::to_string(images[i].width) + "x" + std::to_string(images[i].height));
    ASSERT_EQ(gifs[i].status, 0) << gifs[i].errors;
    ExpectSingleImage(gifs[i], images[i].width, images[i].height,
                      ShownRgba(images[i], images[i].width, images[i].height));
  }
}

TEST(GifDecoders, ReadLzwStreamsOfSmallCodeSizesThroughManyClears) {
  // Random pixels fill the table every few thousand pixels at any code size;
  // long runs of one value build strings of hundreds of pixels.
  ScratchDir dir;
  std::vector<std::string> paths;
  std::vector<CGraphicsImage> images(8);
  const int depths[] = {1, 2, 4, 8};
  for (size_t i = 0; i < images.size(); ++i) {
    const int bpp = depths[i % 4];
    if (i < 4) {
      savetest::MakeRandomImage(images[i], bpp, 1001, 97, uint32_t(i));
    } else {
      ASSERT_TRUE(images[i].Create(bpp, 3001, 40, 0, nullptr));
      std::mt19937 rng{uint32_t(i)};
      for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 3001; ++x)
          images[i].PixelSetFunc(images[i].Row(y), x, (x / 700 + y / 13) % 2 == 0 ? 1 : rng() & 1);
    }
    ColourfulPalette(images[i], uint32_t(i + 10));
    paths.push_back(dir / ("r" + std::to_string(i) + ".gif"));
    ASSERT_EQ(SaveImage(paths.back().c_str(), images[i], nullptr), 0);
  }
  const std::vector<DecodedGif> gifs = giftest::DecodeGifs(paths);
  if (DecodersMissing(gifs)) GTEST_SKIP() << "GIF decoders missing";
  for (size_t i = 0; i < images.size(); ++i) {
    SCOPED_TRACE(std::to_string(images[i].bpp) + " bpp case " + std::to_string(i));
    ASSERT_EQ(gifs[i].status, 0) << gifs[i].errors;
    ExpectSingleImage(gifs[i], images[i].width, images[i].height,
                      ShownRgba(images[i], images[i].width, images[i].height));
  }
}

}  // namespace
