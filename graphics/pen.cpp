#include "graphics/pen.h"

#include <span>

namespace {

// Pens take any int position; neighbours are computed in 64 bits so that a
// dot at the edge of int range stays defined.
bool Inside(const CGraphicsImage* image, int64_t x, int64_t y) {
  return static_cast<uint64_t>(x) < static_cast<uint64_t>(image->width) &&
         static_cast<uint64_t>(y) < static_cast<uint64_t>(image->height);
}

struct Offset {
  signed char dx, dy;
};

// Soft dot: positions in visiting order and their weights out of 32.
constexpr Offset kSoftOffsets[9] = {{-1, -1}, {0, -1}, {1, -1}, {-1, 0}, {0, 0},
                                    {1, 0},   {-1, 1}, {0, 1},  {1, 1}};
constexpr DWORD kSoftWeights[9] = {1, 2, 1, 2, 20, 2, 1, 2, 1};

DWORD BlendChannels(DWORD old, DWORD colour, DWORD w, int channels) {
  DWORD out = 0;
  for (int c = 0; c < channels; ++c) {
    int s = 8 * c;
    DWORD o = (old >> s) & 255, n = (colour >> s) & 255;
    out |= ((o * (32 - w) + n * w) >> 5) << s;
  }
  return out;
}

void SoftDot(CGraphicsImage* image, int x, int y, DWORD colour, int channels) {
  for (int i = 0; i < 9; ++i) {
    int64_t px64 = int64_t{x} + kSoftOffsets[i].dx, py64 = int64_t{y} + kSoftOffsets[i].dy;
    if (!Inside(image, px64, py64)) continue;
    int px = static_cast<int>(px64);
    BYTE* row = image->Row(static_cast<int>(py64));
    DWORD old = image->PixelGetFunc(row, px);
    if (!image->trueColor) {
      const RGBQUAD& e = image->palette[old & 255];
      old = DWORD{e.rgbRed} << 16 | DWORD{e.rgbGreen} << 8 | e.rgbBlue;
    }
    image->PixelSetFunc(row, px, BlendChannels(old, colour, kSoftWeights[i], channels));
  }
}

// Three quarters of the old colour and a quarter of the new; the old top
// byte stays.
DWORD QuarterBlend(DWORD old, DWORD colour) {
  return old - ((old >> 2) & 0x3F3F3F) + ((colour >> 2) & 0x3F3F3F);
}

void ShapedDot(CGraphicsImage* image, int x, int y, DWORD colour, std::span<const Offset> solid,
               std::span<const Offset> rim = {}) {
  for (const Offset& o : solid) {
    int64_t px = int64_t{x} + o.dx, py = int64_t{y} + o.dy;
    if (Inside(image, px, py))
      image->PixelSetFunc(image->Row(static_cast<int>(py)), static_cast<int>(px), colour);
  }
  for (const Offset& o : rim) {
    int64_t px64 = int64_t{x} + o.dx, py64 = int64_t{y} + o.dy;
    if (!Inside(image, px64, py64)) continue;
    BYTE* row = image->Row(static_cast<int>(py64));
    int px = static_cast<int>(px64);
    image->PixelSetFunc(row, px, QuarterBlend(image->PixelGetFunc(row, px), colour));
  }
}

constexpr Offset kSquare[] = {{0, 0}, {0, 1}, {1, 0}, {1, 1}};
constexpr Offset kCross[] = {{0, 0}, {0, -1}, {-1, 0}, {0, 1}, {1, 0}};
constexpr Offset kDot[] = {{0, 0},  {0, -1},  {-1, 0},  {0, 1},   {1, 0},  {1, -1},
                           {0, -2}, {-1, -1}, {-1, -2}, {-2, -1}, {-2, 0}, {-1, 1}};
constexpr Offset kRoundRim[] = {{-1, -1}, {-1, 1}, {1, -1}, {1, 1},
                                {0, -2},  {-2, 0}, {0, 2},  {2, 0}};
constexpr Offset kSquare3[] = {{0, 0},   {-1, -1}, {0, -1}, {1, -1}, {-1, 0},
                               {1, 0},   {-1, 1},  {0, 1},  {1, 1}};
constexpr Offset kRingLarge[] = {{-2, -1}, {-2, 0}, {-2, 1}, {-1, 2}, {0, 2},  {1, 2},
                                 {2, 1},   {2, 0},  {2, -1}, {1, -2}, {0, -2}, {-1, -2}};
constexpr Offset kRingWide[] = {{-2, -1}, {-2, 0}, {-2, 1}, {-1, 2},  {0, 2},  {1, 2},
                                {2, 1},   {2, 0},  {2, -1}, {1, -2},  {0, -2}, {-1, -2},
                                {-3, 0},  {0, -3}, {3, 0},  {0, 3}};
constexpr Offset kDisc[] = {{0, 0},  {0, -1}, {-1, 0}, {0, 1},  {1, 0},  {-1, -1}, {1, -1},
                            {-1, 1}, {1, 1},  {-2, 0}, {2, 0},  {0, -2}, {0, 2}};

bool NextPatternBitClear(DWORD& pattern) {
  DWORD out = pattern & 1;
  pattern = pattern >> 1 | out << 31;
  return out == 0;
}

}  // namespace

void PixelWriterPlain(CGraphicsImage* image, int x, int y, DWORD colour) {
  if (Inside(image, x, y)) image->PixelSetFunc(image->Row(y), x, colour);
}

void PixelWriterSoft(CGraphicsImage* image, int x, int y, DWORD colour) {
  SoftDot(image, x, y, colour, 3);
}

void PixelWriterSoft32(CGraphicsImage* image, int x, int y, DWORD colour) {
  SoftDot(image, x, y, colour, 4);
}

void PixelWriterSquare(CGraphicsImage* image, int x, int y, DWORD colour) {
  ShapedDot(image, x, y, colour, kSquare);
}

void PixelWriterCross(CGraphicsImage* image, int x, int y, DWORD colour) {
  ShapedDot(image, x, y, colour, kCross);
}

void PixelWriterDot(CGraphicsImage* image, int x, int y, DWORD colour) {
  ShapedDot(image, x, y, colour, kDot);
}

void PixelWriterRound(CGraphicsImage* image, int x, int y, DWORD colour) {
  ShapedDot(image, x, y, colour, kCross, kRoundRim);
}

void PixelWriterRoundLarge(CGraphicsImage* image, int x, int y, DWORD colour) {
  ShapedDot(image, x, y, colour, kSquare3, kRingLarge);
}

void PixelWriterRoundWide(CGraphicsImage* image, int x, int y, DWORD colour) {
  ShapedDot(image, x, y, colour, kSquare3, kRingWide);
}

void PixelWriterDisc(CGraphicsImage* image, int x, int y, DWORD colour) {
  ShapedDot(image, x, y, colour, kDisc);
}

void PixelWriterDotted(CGraphicsImage* image, int x, int y, DWORD colour) {
  if (NextPatternBitClear(image->dotPattern)) PixelWriterPlain(image, x, y, colour);
}

void PixelWriterDashed(CGraphicsImage* image, int x, int y, DWORD colour) {
  if (NextPatternBitClear(image->dashPattern)) PixelWriterPlain(image, x, y, colour);
}

void SkipPenCalls(CGraphicsImage& image, PixelWriterFunc pen, uint64_t calls) {
  DWORD* pattern = pen == PixelWriterDotted ? &image.dotPattern
                   : pen == PixelWriterDashed ? &image.dashPattern
                                              : nullptr;
  unsigned n = static_cast<unsigned>(calls % 32);
  if (pattern && n) *pattern = *pattern >> n | *pattern << (32 - n);
}

PixelWriterFunc SubstitutePen(const CGraphicsImage& image, PixelWriterFunc pen) {
  if (pen != PixelWriterSoft) return pen;
  if (image.bpp < 9) return PixelWriterPlain;
  if (image.bpp == 32) return PixelWriterSoft32;
  return pen;
}
