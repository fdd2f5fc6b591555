// Moving pixels between images: the general blit with format conversion, the
// alpha, masked and compositing blits, cropping, quarter turns and scrolling.
#include "graphics/blit.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "graphics/image.h"

namespace {

// Where a source placed at (x, y) meets the destination: destination and
// source corners of the overlap and its size.
struct Overlap {
  int dx, dy, sx, sy, w, h;
};

bool Place(const CGraphicsImage& dst, const CGraphicsImage& src, int x, int y, Overlap& o) {
  if (!dst.HasPixels() || !src.HasPixels() || src.width <= 0 || src.height <= 0) return false;
  if (x >= dst.width || y >= dst.height) return false;
  if (int64_t{x} + src.width <= 0 || int64_t{y} + src.height <= 0) return false;
  o.sx = x < 0 ? -x : 0;
  o.sy = y < 0 ? -y : 0;
  o.dx = std::max(x, 0);
  o.dy = std::max(y, 0);
  o.w = std::min(src.width - o.sx, dst.width - o.dx);
  o.h = std::min(src.height - o.sy, dst.height - o.dy);
  return o.w > 0 && o.h > 0;
}

inline DWORD PaletteColour(const CGraphicsImage& im, DWORD index) {
  const RGBQUAD& q = im.palette[index & 255];
  return DWORD{q.rgbReserved} << 24 | DWORD{q.rgbRed} << 16 | DWORD{q.rgbGreen} << 8 | q.rgbBlue;
}

// (s * (a + 1) + d * (256 - a)) >> 8 for the channels selected by `channels`
// (3: blue, green, red; 4: the top byte too); other bits are 0.
inline DWORD Blend(DWORD s, DWORD d, DWORD a, int channels) {
  DWORD out = 0;
  for (int k = 0; k < channels; ++k) {
    const DWORD sc = (s >> (8 * k)) & 255, dc = (d >> (8 * k)) & 255;
    out |= ((sc * (a + 1) + dc * (256 - a)) >> 8) << (8 * k);
  }
  return out;
}

// Which of the mode bits 25-27 (or 29-31) a format can use: bit 31 and 30
// tests need the pixel bits of 32 bpp, 15 bpp has only bit 31.
DWORD UsableModes(int bpp, DWORD group) {
  if (bpp == 32) return group;
  if (bpp == 15) return group & 0x66666666;
  return 0;
}

// Does a mode of one group (bit pattern shifted down to bits 1-3) name v?
inline bool BitModeMatches(DWORD modes, DWORD v) {
  return ((modes & 2) && (v & 0x80000000)) || ((modes & 4) && !(v & 0x80000000)) ||
         ((modes & 8) && (v & 0x40000000));
}

void BlitRows(CGraphicsImage& dst, const CGraphicsImage& src, const Overlap& o, DWORD flags) {
  // Normalise the modes to what the two formats carry; a key test replaces
  // the bit tests of its group.
  flags &= UsableModes(src.bpp, 0x0E000000) | UsableModes(dst.bpp, 0xE0000000) | 0x11FFFFFF;
  DWORD srcKey = 0, dstKey = 0;
  if (flags & DRAW_SKIP_SRC_KEY) {
    srcKey = flags & DRAW_KEY_COLOUR_MASK & src.significantMask;
    flags &= ~0x0E000000u;
  }
  if (flags & DRAW_SKIP_DST_KEY) {
    dstKey = flags & DRAW_KEY_COLOUR_MASK & dst.significantMask;
    flags &= ~0xE0000000u;
  }
  const DWORD srcModes = (flags >> 24) & 15, dstModes = flags >> 28;

  if (src.bpp == dst.bpp && srcModes == 0 && dstModes == 0) {
    const DWORD m = dst.pixelInByteMask;
    if (((DWORD(o.dx) | DWORD(o.sx) | DWORD(o.w)) & m) == 0) {
      const size_t bytes = size_t(DWORD(o.w) >> dst.indexShift) * dst.bytesPerUnit;
      const size_t doff = size_t(DWORD(o.dx) >> dst.indexShift) * dst.bytesPerUnit;
      const size_t soff = size_t(DWORD(o.sx) >> src.indexShift) * src.bytesPerUnit;
      for (int r = 0; r < o.h; ++r) std::memmove(dst.Row(o.dy + r) + doff, src.Row(o.sy + r) + soff, bytes);
      return;
    }
  }

  const bool lookup = src.bpp <= 8 && dst.bpp >= 12;
  const bool opaque = dst.bpp == 32 && src.bpp <= 24 && dstModes == 0;
  if (lookup && srcModes == 0 && dstModes == 0) {
    // Whole rows through the source's colour conversion.
    for (int r = 0; r < o.h; ++r) {
      const DWORD* from = src.RowTo32Func(src.Row(o.sy + r), &src) + o.sx;
      BYTE* row = dst.Row(o.dy + r);
      for (int i = 0; i < o.w; ++i) dst.PixelSetFunc(row, o.dx + i, opaque ? from[i] | 0xFF000000 : from[i]);
    }
    return;
  }
  for (int r = 0; r < o.h; ++r) {
    const BYTE* srow = src.Row(o.sy + r);
    BYTE* row = dst.Row(o.dy + r);
    for (int i = 0; i < o.w; ++i) {
      DWORD v = src.PixelGetFunc(srow, o.sx + i);
      if ((flags & DRAW_SKIP_SRC_KEY) && (v & DRAW_KEY_COLOUR_MASK) == srcKey) continue;
      if (BitModeMatches(srcModes, v)) continue;
      if (dstModes) {
        const DWORD d = dst.PixelGetFunc(row, o.dx + i);
        if ((flags & DRAW_SKIP_DST_KEY) && (d & DRAW_KEY_COLOUR_MASK) == dstKey) continue;
        if (BitModeMatches(dstModes, d)) continue;
      }
      if (lookup) v = PaletteColour(src, v & src.valueMask);
      if (opaque) v |= 0xFF000000;
      dst.PixelSetFunc(row, o.dx + i, v);
    }
  }
}

// Runs op with copies of the images that are `self`, so an operation never
// reads pixels it has already written.
template <class Op>
bool WithSeparate(const CGraphicsImage& self, const CGraphicsImage& a, const CGraphicsImage& b, Op&& op) {
  CGraphicsImage copy;
  const bool aliased = &a == &self || &b == &self;
  if (aliased && !copy.Copy(self)) return false;
  return op(&a == &self ? copy : a, &b == &self ? copy : b);
}

// Places src at (x, y) on dst (a copy of src when it is dst) and calls
// pixel(row, dx, value) for every source value over the overlap; false when
// nothing overlaps.
template <class PixelOp>
bool BlendOverlap(CGraphicsImage& dst, const CGraphicsImage& src, int x, int y, PixelOp&& pixel) {
  return dst.WithSeparateSource(src, [&](const CGraphicsImage& s) {
    Overlap o;
    if (!Place(dst, s, x, y, o)) return false;
    for (int r = 0; r < o.h; ++r) {
      const BYTE* srow = s.Row(o.sy + r);
      BYTE* row = dst.Row(o.dy + r);
      for (int i = 0; i < o.w; ++i) pixel(row, o.dx + i, s.PixelGetFunc(srow, o.sx + i));
    }
    return true;
  });
}

}  // namespace

bool CGraphicsImage::DrawImage(const CGraphicsImage& src, int x, int y, DWORD flags) {
  return WithSeparateSource(src, [&](const CGraphicsImage& s) {
    Overlap o;
    if (!Place(*this, s, x, y, o)) return false;
    BlitRows(*this, s, o, flags);
    return true;
  });
}

bool CGraphicsImage::DrawImageAlpha(const CGraphicsImage& src, int x, int y) {
  if (bpp < 12) return false;
  // Only the palette and format of src are read here; its pixels come from
  // BlendOverlap, which works on a copy when src is this image.
  const int srcBpp = src.bpp;
  return BlendOverlap(*this, src, x, y, [&](BYTE* row, int dx, DWORD v) {
    if (srcBpp <= 8) {
      v = PaletteColour(src, v & src.valueMask);
      const DWORD a = v >> 24;
      if (a == 0)
        PixelSetFunc(row, dx, PixelGetFunc(row, dx) | 0xFF000000);
      else if (a == 255)
        PixelSetFunc(row, dx, v);
      else
        PixelSetFunc(row, dx, Blend(v, PixelGetFunc(row, dx), a, 3) | 0xFF000000);
    } else if (srcBpp == 32) {
      const DWORD a = v >> 24;
      if (a == 0) return;
      PixelSetFunc(row, dx, (a == 255 ? v : Blend(v, PixelGetFunc(row, dx), a, 3)) | 0xFF000000);
    } else {
      // No alpha channel: the pixel is opaque, drawn as DrawImage would.
      PixelSetFunc(row, dx, bpp == 32 ? v | 0xFF000000 : v);
    }
  });
}

bool CGraphicsImage::DrawImageMasked(const CGraphicsImage& src, int x, int y, const CGraphicsImage& mask) {
  if (!mask.HasPixels()) return false;
  return WithSeparate(*this, src, mask, [&](const CGraphicsImage& s, const CGraphicsImage& m) {
    Overlap o;
    if (!Place(*this, s, x, y, o)) return false;
    const bool lookup = s.bpp < 12 && bpp >= 12;
    for (int r = 0; r < o.h; ++r) {
      const int sy = o.sy + r;
      if (sy >= m.height) break;  // beyond the mask nothing is let through
      const BYTE* srow = s.Row(sy);
      const BYTE* mrow = m.Row(sy);
      BYTE* row = Row(o.dy + r);
      for (int i = 0; i < o.w && o.sx + i < m.width; ++i) {
        if (m.PixelGetFunc(mrow, o.sx + i) != 0) continue;
        DWORD v = s.PixelGetFunc(srow, o.sx + i);
        if (lookup) v = PaletteColour(s, v & s.valueMask);
        PixelSetFunc(row, o.dx + i, v);
      }
    }
    return true;
  });
}

bool CGraphicsImage::CompositeFrom(const CGraphicsImage& src, int x, int y) {
  if (src.bpp != 32 || bpp < 12) return false;
  return BlendOverlap(*this, src, x, y, [&](BYTE* row, int dx, DWORD v) {
    const DWORD a = v >> 24;
    if (a == 0) return;
    const DWORD d = PixelGetFunc(row, dx);
    const DWORD da = d >> 24;
    if (da == 0)
      PixelSetFunc(row, dx, v);
    else if (da == 255)
      PixelSetFunc(row, dx, Blend(v, d, a, 3) | 0xFF000000);
    else
      PixelSetFunc(row, dx, Blend(v, d, a, 4));
  });
}

bool CGraphicsImage::CropFrom(const CGraphicsImage& src, int x, int y, int w, int h) {
  if (!src.HasPixels()) return false;
  int64_t x0 = x, y0 = y, cw = w, ch = h;
  if (cw < 0) x0 += cw + 1, cw = -cw;
  if (ch < 0) y0 += ch + 1, ch = -ch;
  if (cw > IMAGE_MAX_SIDE || ch > IMAGE_MAX_SIDE) return false;
  CGraphicsImage out;
  if (!out.Create(src.bpp, static_cast<int>(cw), static_cast<int>(ch), 0, nullptr)) return false;
  if (src.paletteSize) std::memcpy(out.palette, src.palette, sizeof(RGBQUAD) * 256);
  // Only a rectangle that meets the source can be placed with int offsets.
  if (x0 < src.width && x0 + cw > 0 && y0 < src.height && y0 + ch > 0) {
    Overlap o;
    if (Place(out, src, static_cast<int>(-x0), static_cast<int>(-y0), o)) BlitRows(out, src, o, 0);
  }
  AdoptPixels(out);
  return true;
}

bool CGraphicsImage::RotateQuarterFrom(const CGraphicsImage& src, int quarterTurns, bool mirrorV, bool mirrorH) {
  const int turns = quarterTurns & 3;
  const int w = src.width, h = src.height;
  const int outW = turns & 1 ? h : w, outH = turns & 1 ? w : h;
  CGraphicsImage out;
  if (!src.HasPixels() || !out.Create(src.bpp, outW, outH, IMAGE_NO_FILL, nullptr)) return false;
  if (src.paletteSize) std::memcpy(out.palette, src.palette, sizeof(RGBQUAD) * 256);
  for (int y = 0; y < h; ++y) {
    const BYTE* srow = src.Row(y);
    for (int x = 0; x < w; ++x) {
      int X = x, Y = y;
      switch (turns) {
        case 1: X = h - 1 - y, Y = x; break;
        case 2: X = w - 1 - x, Y = h - 1 - y; break;
        case 3: X = y, Y = w - 1 - x; break;
        default: break;
      }
      if (mirrorH) X = outW - 1 - X;
      if (mirrorV) Y = outH - 1 - Y;
      out.PixelSetFunc(out.Row(Y), X, src.PixelGetFunc(srow, x));
    }
  }
  AdoptPixels(out);
  return true;
}

void CGraphicsImage::Scroll(int dx, int dy, DWORD fill) {
  if (!HasPixels() || width <= 0 || height <= 0 || (dx == 0 && dy == 0)) return;
  const bool doFill = fill != IMAGE_NO_FILL;
  if (int64_t{dx} >= width || -int64_t{dx} >= width || int64_t{dy} >= height || -int64_t{dy} >= height) {
    if (doFill) FillRect(0, 0, width, height, fill);
    return;
  }
  const int bits = bpp == 15 ? 16 : bpp;
  const int shift = dx * bits;
  const int words = static_cast<int>(stride / 4);
  const int bitEnd = width * bits;
  // Covered columns of every moved row.
  const int c0 = std::max(dx, 0), c1 = std::min(width, width + dx);
  std::vector<DWORD> moved(static_cast<size_t>(words));
  // Content moving down is walked from the bottom, so no row is read after
  // it was written.
  for (int k = 0; k < height; ++k) {
    const int y = dy > 0 ? height - 1 - k : k;
    const int sy = y - dy;
    if (sy < 0 || sy >= height) continue;
    BYTE* row = Row(y);
    if (dx == 0) {
      std::memcpy(row, Row(sy), static_cast<size_t>(stride));
      continue;
    }
    const DWORD* from = reinterpret_cast<const DWORD*>(Row(sy));
    if (shift > 0)
      BitRowCopyBackward(-shift, words, from, moved.data(), bitEnd);
    else
      BitRowCopy(-shift, words, from, moved.data(), bitEnd);
    const BYTE* m = reinterpret_cast<const BYTE*>(moved.data());
    if (doFill || shift % 8 != 0) {
      if (doFill) {
        std::memcpy(row, m, static_cast<size_t>(stride));
      } else {
        for (int x = c0; x < c1; ++x) PixelSetFunc(row, x, PixelGetFunc(m, x));
      }
    } else {
      const int b0 = c0 * bits / 8, b1 = c1 * bits / 8;
      std::memcpy(row + b0, m + b0, static_cast<size_t>(b1 - b0));
      for (int x = b1 * 8 / bits; x < c1; ++x) PixelSetFunc(row, x, PixelGetFunc(m, x));
    }
  }
  if (!doFill) return;
  if (dx > 0) FillRect(0, 0, dx, height, fill);
  if (dx < 0) FillRect(width + dx, 0, -dx, height, fill);
  if (dy > 0) FillRect(0, 0, width, dy, fill);
  if (dy < 0) FillRect(0, height + dy, width, -dy, fill);
}

namespace {

// Byte i of the bit row, with the bits from bitEnd on cleared; 0 outside it.
inline BYTE SourceByte(const BYTE* src, int64_t i, int64_t bitEnd) {
  if (i < 0 || i * 8 >= bitEnd) return 0;
  const int64_t keep = bitEnd - i * 8;
  return keep >= 8 ? src[i] : static_cast<BYTE>(src[i] & (0xFF00 >> keep));
}

// Byte k of the result: source bits bitOffset + 8k onwards.
inline BYTE ShiftedByte(const BYTE* src, int64_t bitOffset, int64_t k, int64_t bitEnd) {
  const int64_t bit = bitOffset + 8 * k;
  const int64_t i = bit >= 0 ? bit / 8 : -((-bit + 7) / 8);
  const int s = static_cast<int>(bit - i * 8);
  const unsigned pair = unsigned{SourceByte(src, i, bitEnd)} << 8 | SourceByte(src, i + 1, bitEnd);
  return static_cast<BYTE>(pair >> (8 - s));
}

}  // namespace

void BitRowCopy(int bitOffset, int words, const DWORD* src, DWORD* dst, int bitEnd) {
  const BYTE* s = reinterpret_cast<const BYTE*>(src);
  BYTE* d = reinterpret_cast<BYTE*>(dst);
  for (int64_t k = 0; k < int64_t{words} * 4; ++k) d[k] = ShiftedByte(s, bitOffset, k, bitEnd);
}

void BitRowCopyBackward(int bitOffset, int words, const DWORD* src, DWORD* dst, int bitEnd) {
  const BYTE* s = reinterpret_cast<const BYTE*>(src);
  BYTE* d = reinterpret_cast<BYTE*>(dst);
  for (int64_t k = int64_t{words} * 4 - 1; k >= 0; --k) d[k] = ShiftedByte(s, bitOffset, k, bitEnd);
}
