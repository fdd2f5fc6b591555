// The quantiser against its old list-walking form (quantize_reference.cpp):
// the same result, palette entry for entry and pixel for pixel, the same
// progress calls and the same aborts, on random and photographic images.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "graphics/image.h"
#include "quantize_reference.h"
#include "test_images.h"

namespace {

struct Call {
  DWORD percent, a, b;
  bool operator==(const Call&) const = default;
};
std::vector<Call>* gCalls = nullptr;
size_t gAbortAt = SIZE_MAX;  // the call that asks to abort

void Record(CGraphicsImage*, DWORD, DWORD a, DWORD b, DWORD percent, BYTE* abort) {
  gCalls->push_back({percent, a, b});
  if (gCalls->size() == gAbortAt) *abort = 1;
}

struct Outcome {
  bool ok = false;
  std::vector<BYTE> pixels;
  std::vector<DWORD> palette;
  std::vector<Call> calls;
};

template <class Run>
Outcome Quantised(const CGraphicsImage& src, size_t abortAt, Run run) {
  Outcome out;
  gCalls = &out.calls;
  gAbortAt = abortAt;
  CGraphicsImage dst;
  out.ok = run(dst, src);
  gCalls = nullptr;
  if (out.ok) {
    out.pixels = PixelBytes(dst);
    for (int i = 0; i < 256; ++i) {
      const RGBQUAD& q = dst.palette[i];
      out.palette.push_back(DWORD{q.rgbRed} << 16 | DWORD{q.rgbGreen} << 8 | q.rgbBlue);
    }
  }
  return out;
}

void ExpectSameAsReference(CGraphicsImage& src, const std::string& what, size_t abortAt = SIZE_MAX) {
  src.SetProgressCallback(Record, 0);
  const Outcome ref = Quantised(src, abortAt, [](CGraphicsImage& d, const CGraphicsImage& s) {
    return quantref::Quantize(d, s);
  });
  const Outcome got = Quantised(src, abortAt, [](CGraphicsImage& d, const CGraphicsImage& s) {
    return d.Quantize(s);
  });
  EXPECT_EQ(got.ok, ref.ok) << what;
  EXPECT_EQ(got.calls, ref.calls) << what;
  EXPECT_EQ(got.palette, ref.palette) << what;
  EXPECT_TRUE(got.pixels == ref.pixels) << what << ": pixel indices differ";
}

// An image whose pixels are drawn from `distinct` random colours (0: every
// pixel random); the format keeps what its depth can hold of them.
CGraphicsImage PoolImage(int bpp, int w, int h, size_t distinct, std::mt19937& rng) {
  CGraphicsImage img;
  EXPECT_TRUE(img.Create(bpp, w, h, 0, nullptr));
  std::vector<DWORD> pool(distinct);
  for (DWORD& c : pool) c = static_cast<DWORD>(rng());
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const DWORD c = distinct ? pool[rng() % distinct] : static_cast<DWORD>(rng());
      img.PixelSetFunc(img.Row(y), x, c);
    }
  }
  return img;
}

size_t DistinctColours(const CGraphicsImage& img) {
  std::set<DWORD> seen;
  for (int y = 0; y < img.height; ++y) {
    const BYTE* p = img.RowTo24Func(img.Row(y), &img);
    for (int x = 0; x < img.width; ++x, p += 3) seen.insert(DWORD{p[0]} | p[1] << 8 | p[2] << 16);
  }
  return seen.size();
}

TEST(QuantizeMatch, RandomImagesOfEveryTrueColourDepth) {
  struct Case {
    int w, h;
    size_t distinct;  // 0: every pixel random
  };
  const Case cases[] = {{1, 1, 1},    {1, 1, 0},    {2, 1, 2},     {7, 3, 0},      {33, 17, 3},
                        {64, 4, 256}, {64, 5, 257}, {97, 61, 0},   {256, 256, 60}, {300, 1, 0},
                        {1, 300, 0},  {320, 240, 0}};
  std::mt19937 rng(20);
  for (int bpp : {12, 15, 16, 24, 32}) {
    for (const Case& c : cases) {
      CGraphicsImage src = PoolImage(bpp, c.w, c.h, c.distinct, rng);
      ExpectSameAsReference(src, std::to_string(bpp) + " bpp " + std::to_string(c.w) + "x" +
                                     std::to_string(c.h) + " pool " + std::to_string(c.distinct));
    }
  }
}

// Wide colour counts, and the full-size picture of a few colours that a
// chart gives. The old form's cost grows with the square of the colours,
// so the counts here stay near a hundred thousand; the quantiser bench
// compares pictures of over a million colours.
TEST(QuantizeMatch, LargeImagesAndManyColours) {
  struct Case {
    int bpp, w, h;
    size_t distinct;
    size_t atLeast;  // distinct colours the image must reach
  } cases[] = {{32, 1920, 1080, 40, 40},
               {24, 1920, 1080, 1, 1},
               {16, 384, 256, 0, 50000},
               {24, 400, 300, 0, 110000}};
  std::mt19937 rng(21);
  for (const Case& c : cases) {
    CGraphicsImage src = PoolImage(c.bpp, c.w, c.h, c.distinct, rng);
    ASSERT_GE(DistinctColours(src), c.atLeast);
    ExpectSameAsReference(src, std::to_string(c.bpp) + " bpp " + std::to_string(c.w) + "x" +
                                   std::to_string(c.h));
  }
}

// Smooth pictures share component values among many colours, the case the
// old lists were slowest and most intricate on.
TEST(QuantizeMatch, GradientsAndRuns) {
  CGraphicsImage ramp;
  ASSERT_TRUE(ramp.Create(24, 512, 256, 0, nullptr));
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 512; ++x)
      ramp.PixelSetFunc(ramp.Row(y), x, DWORD(x / 2) << 16 | DWORD(y) << 8 | DWORD((x + y) & 255));
  ExpectSameAsReference(ramp, "ramp");
  CGraphicsImage bands;  // long runs, each colour on one row
  ASSERT_TRUE(bands.Create(32, 700, 300, 0, nullptr));
  for (int y = 0; y < 300; ++y) bands.FillRect(0, y, 700, 1, DWORD(y * 0x010203) & 0xFFFFFF);
  ExpectSameAsReference(bands, "bands");
}

// Pictures from ImageMagick's built-in images, read as PPM from a pipe.
CGraphicsImage Photograph(const std::string& args, int bpp) {
  CGraphicsImage img;
  FILE* p = popen(("/usr/bin/convert " + args + " -strip -type TrueColor -depth 8 ppm:- 2>/dev/null").c_str(), "r");
  if (!p) return img;
  int w = 0, h = 0, max = 0;
  if (std::fscanf(p, "P6 %d %d %d", &w, &h, &max) == 3 && max == 255 && std::fgetc(p) != EOF &&
      img.Create(24, w, h, 0, nullptr)) {
    for (int y = 0; y < h; ++y) {
      std::vector<BYTE> rgb(size_t(w) * 3);
      if (std::fread(rgb.data(), 1, rgb.size(), p) != rgb.size()) break;
      for (int x = 0; x < w; ++x)
        img.PixelSetFunc(img.Row(y), x, DWORD(rgb[3 * x]) << 16 | rgb[3 * x + 1] << 8 | rgb[3 * x + 2]);
    }
  }
  pclose(p);
  if (img.HasPixels() && bpp != 24) img.ConvertFrom(img, bpp);
  return img;
}

TEST(QuantizeMatch, ImageMagickPhotographs) {
  if (std::system("test -x /usr/bin/convert") != 0) GTEST_SKIP() << "ImageMagick missing";
  struct Case {
    const char* args;
    int bpp;
  } cases[] = {{"rose:", 24},
               {"rose: -resize 640x420!", 32},
               {"wizard:", 24},
               {"logo: -resize 50%", 16},
               {"granite: -resize 400%", 15},
               {"netscape:", 12},
               {"-seed 5 -size 320x200 plasma:fractal", 24},
               {"hald:5", 24}};
  for (const Case& c : cases) {
    CGraphicsImage src = Photograph(c.args, c.bpp);
    ASSERT_TRUE(src.HasPixels()) << c.args;
    ExpectSameAsReference(src, c.args);
  }
}

// An abort at any progress call ends both forms at the same call, with
// nothing made.
TEST(QuantizeMatch, AbortsAtTheSameCall) {
  std::mt19937 rng(22);
  CGraphicsImage src = PoolImage(24, 9, 6, 0, rng);
  for (size_t at = 1; at <= 14; ++at) {
    ExpectSameAsReference(src, "abort at call " + std::to_string(at), at);
  }
}

}  // namespace
