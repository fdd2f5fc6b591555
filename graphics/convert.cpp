// Whole-image conversions: to a true-colour format, to a palette, to grey,
// to black and white, from a mask to a coloured image with alpha, and the
// flattening of alpha onto a colour. Every "this image becomes ... of src"
// builds its result aside and takes it over at the end, so src may be this
// image and a failure leaves it as it was.
#include <cstring>

#include "graphics/colour.h"
#include "graphics/image.h"

namespace {

inline DWORD GreyLevel(DWORD c) {
  return (29 * (c & 255) + 76 * ((c >> 16) & 255) + 152 * ((c >> 8) & 255)) >> 8;
}

// The palette formats the index images can have.
int IndexBits(DWORD bits, DWORD n) {
  if (bits == 0) return n > 16 ? 8 : n > 4 ? 4 : n > 2 ? 2 : 1;
  return bits == 1 || bits == 2 || bits == 4 || bits == 8 ? static_cast<int>(bits) : 0;
}

}  // namespace

bool CGraphicsImage::ConvertFrom(const CGraphicsImage& src, int newBpp) {
  if (newBpp == 0) newBpp = 24;
  if (newBpp < 12 || !src.HasPixels()) return false;
  CGraphicsImage out;
  if (src.bpp == newBpp) {
    if (!out.Copy(src)) return false;
  } else {
    if (!out.Create(newBpp, src.width, src.height, IMAGE_NO_FILL, nullptr)) return false;
    for (int y = 0; y < src.height; ++y) {
      const DWORD* from = src.RowTo32Func(src.Row(y), &src);
      BYTE* row = out.Row(y);
      for (int x = 0; x < src.width; ++x) out.PixelSetFunc(row, x, from[x]);
    }
  }
  AdoptPixels(out);
  return true;
}

bool CGraphicsImage::MapToPalette(const CGraphicsImage& src, DWORD countAndBits, const DWORD* colours) {
  if (!src.HasPixels()) return false;
  DWORD n = countAndBits & 0xFFFFFF;
  const DWORD requested = countAndBits >> 24;
  if (n == 0) n = requested >= 1 && requested <= 7 ? 1u << requested : 256;
  const int bits = IndexBits(requested, n);
  if (bits == 0) return false;
  if (n > (1u << bits)) n = 1u << bits;
  CGraphicsImage out;
  if (!out.Create(bits, src.width, src.height, IMAGE_NO_FILL, nullptr)) return false;
  // Without a given palette, this image's own entries are matched, or the
  // default palette of the result format when this image has none.
  DWORD table[256];
  for (DWORD i = 0; i < n; ++i) {
    const RGBQUAD& q = HasPixels() ? palette[i] : out.palette[i];
    table[i] = colours ? colours[i] & 0xFFFFFF : DWORD{q.rgbRed} << 16 | DWORD{q.rgbGreen} << 8 | q.rgbBlue;
  }
  // The result shows the colours it was matched against.
  for (DWORD i = 0; i < n; ++i) out.SetPaletteEntry(static_cast<int>(i), table[i]);
  DWORD lastColour = 0, lastIndex = 0;
  bool haveLast = false;
  for (int y = 0; y < src.height; ++y) {
    const DWORD* from = src.RowTo32Func(src.Row(y), &src);
    BYTE* row = out.Row(y);
    for (int x = 0; x < src.width; ++x) {
      const DWORD c = from[x] & 0xFFFFFF;
      if (!haveLast || c != lastColour) {
        int best = ColorDistance(c, table[0]);
        lastIndex = 0;
        for (DWORD i = 1; i < n && best; ++i) {
          const int d = ColorDistance(c, table[i]);
          if (d < best) best = d, lastIndex = i;
        }
        lastColour = c;
        haveLast = true;
      }
      out.PixelSetFunc(row, x, lastIndex);
    }
  }
  AdoptPixels(out);
  return true;
}

bool CGraphicsImage::ToGrey() {
  if (!HasPixels()) return false;
  if (!trueColor) {
    for (int i = 0; i < 256; ++i) {
      RGBQUAD& q = palette[i];
      const BYTE g = static_cast<BYTE>(GreyLevel(DWORD{q.rgbRed} << 16 | DWORD{q.rgbGreen} << 8 | q.rgbBlue));
      q.rgbRed = q.rgbGreen = q.rgbBlue = g;
    }
    return true;
  }
  for (int y = 0; y < height; ++y) {
    BYTE* row = Row(y);
    const DWORD* from = RowCopyTo32Func(row, this);
    for (int x = 0; x < width; ++x) PixelSetFunc(row, x, GreyLevel(from[x]) * 0x010101);
  }
  return true;
}

bool CGraphicsImage::GreyFrom(const CGraphicsImage& src) {
  CGraphicsImage out;
  if (!src.HasPixels() || !out.Copy(src) || !out.ToGrey()) return false;
  AdoptPixels(out);
  return true;
}

bool CGraphicsImage::GreyImageFrom(const CGraphicsImage& src) {
  CGraphicsImage out;
  if (!src.HasPixels() || !out.Create(8, src.width, src.height, IMAGE_NO_FILL, nullptr)) return false;
  for (int i = 0; i < 256; ++i) out.SetPaletteEntry(i, static_cast<DWORD>(i) * 0x010101);
  for (int y = 0; y < src.height; ++y) {
    const DWORD* from = src.RowTo32Func(src.Row(y), &src);
    BYTE* row = out.Row(y);
    for (int x = 0; x < src.width; ++x) row[x] = static_cast<BYTE>(GreyLevel(from[x]));
  }
  AdoptPixels(out);
  return true;
}

bool CGraphicsImage::ThresholdFrom(const CGraphicsImage& src) {
  CGraphicsImage out;
  if (!src.HasPixels() || !out.Create(1, src.width, src.height, 0, nullptr)) return false;
  for (int y = 0; y < src.height; ++y) {
    const DWORD* from = src.RowTo32Func(src.Row(y), &src);
    BYTE* row = out.Row(y);
    for (int x = 0; x < src.width; ++x) {
      const DWORD c = from[x];
      const DWORD level = 29 * (c & 255) + 76 * (((c >> 16) & 255) + 2 * ((c >> 8) & 255));
      if (level > 32767) out.PixelSetFunc(row, x, 1);
    }
  }
  AdoptPixels(out);
  return true;
}

bool CGraphicsImage::AlphaMaskFrom(const CGraphicsImage& mask, int mode, DWORD colour) {
  if (mask.bpp != 8 || !mask.HasPixels()) return false;
  CGraphicsImage out;
  if (!out.Create(32, mask.width, mask.height, IMAGE_NO_FILL, nullptr)) return false;
  const DWORD rgb = (colour & 255) << 16 | (colour & 0xFF00) | ((colour >> 16) & 255);
  for (int y = 0; y < mask.height; ++y) {
    const BYTE* mrow = mask.Row(y);
    BYTE* row = out.Row(y);
    for (int x = 0; x < mask.width; ++x) {
      const DWORD index = mrow[x];
      DWORD a = index;
      if (mode & 2) a = mask.palette[index].rgbBlue;
      if (mode & 1) a = 255 - a;
      out.PixelSetFunc(row, x, a << 24 | rgb);
    }
  }
  AdoptPixels(out);
  return true;
}

bool CGraphicsImage::FlattenAlpha(DWORD colour) {
  if (bpp != 32 || !HasPixels()) return false;
  for (int y = 0; y < height; ++y) {
    BYTE* p = Row(y);
    for (int x = 0; x < width; ++x, p += 4) {
      const DWORD a = p[3];
      if (a == 255) continue;
      for (int k = 0; k < 3; ++k) {
        const DWORD c = (colour >> (8 * k)) & 255;
        p[k] = static_cast<BYTE>(a == 0 ? c : (p[k] * (a + 1) + c * (256 - a)) >> 8);
      }
      p[3] = 255;
    }
  }
  return true;
}
