#include "graphics/pixel.h"

#include <cstring>

namespace {

// --- Per-pixel access, one struct per layout ---

template <int B>
struct Packed {  // 1, 2 and 4 bits per pixel, leftmost pixel in the top bits
  static constexpr int kPerByte = 8 / B;
  static constexpr DWORD kMask = (1u << B) - 1;
  static int Shift(int x) { return 8 - B - (x % kPerByte) * B; }
  static DWORD Get(const BYTE* row, int x) {
    return (row[x / kPerByte] >> Shift(x)) & kMask;
  }
  static void Set(BYTE* row, int x, DWORD v) {
    BYTE& b = row[x / kPerByte];
    int s = Shift(x);
    b = static_cast<BYTE>((b & ~(kMask << s)) | ((v & kMask) << s));
  }
  static DWORD ToPixel(DWORD c) { return c; }
};

struct Indexed8 {
  static DWORD Get(const BYTE* row, int x) { return row[x]; }
  static void Set(BYTE* row, int x, DWORD v) { row[x] = static_cast<BYTE>(v); }
  static DWORD ToPixel(DWORD c) { return c; }
};

struct Rgb12 {
  static DWORD Get(const BYTE* row, int x) {
    const BYTE* p = row + 3 * (x >> 1);
    DWORD blue, green, red;
    if (x & 1) {
      blue = (p[1] & 0x0Fu) << 4;
      green = p[2] & 0xF0u;
      red = (p[2] & 0x0Fu) << 4;
    } else {
      blue = p[0] & 0xF0u;
      green = (p[0] & 0x0Fu) << 4;
      red = p[1] & 0xF0u;
    }
    return red << 16 | green << 8 | blue;
  }
  static void Set(BYTE* row, int x, DWORD c) {
    BYTE* p = row + 3 * (x >> 1);
    DWORD blue = c & 0xF0, green = (c >> 8) & 0xF0, red = (c >> 16) & 0xF0;
    if (x & 1) {
      p[1] = static_cast<BYTE>((p[1] & 0xF0) | blue >> 4);
      p[2] = static_cast<BYTE>(green | red >> 4);
    } else {
      p[0] = static_cast<BYTE>(blue | green >> 4);
      p[1] = static_cast<BYTE>(red | (p[1] & 0x0F));
    }
  }
  static DWORD ToPixel(DWORD c) {
    return ((c >> 12) & 0xF00) | ((c >> 8) & 0x0F0) | ((c >> 4) & 0x00F);
  }
};

inline WORD LoadWord(const BYTE* p) { return static_cast<WORD>(p[0] | p[1] << 8); }
inline void StoreWord(BYTE* p, DWORD w) {
  p[0] = static_cast<BYTE>(w);
  p[1] = static_cast<BYTE>(w >> 8);
}

struct Rgb15 {
  static DWORD Get(const BYTE* row, int x) {
    DWORD w = LoadWord(row + 2 * x);
    return (w & 0x8000u) << 16 | (w & 0x7C00u) << 9 | (w & 0x03E0u) << 6 | (w & 0x001Fu) << 3;
  }
  static void Set(BYTE* row, int x, DWORD c) { StoreWord(row + 2 * x, ToPixel(c)); }
  static DWORD ToPixel(DWORD c) {
    return ((c >> 16) & 0x8000) | ((c >> 9) & 0x7C00) | ((c >> 6) & 0x03E0) | ((c >> 3) & 0x001F);
  }
};

struct Rgb16 {
  static DWORD Get(const BYTE* row, int x) {
    DWORD w = LoadWord(row + 2 * x);
    return (w & 0xF800u) << 8 | (w & 0x07E0u) << 5 | (w & 0x001Fu) << 3;
  }
  static void Set(BYTE* row, int x, DWORD c) { StoreWord(row + 2 * x, ToPixel(c)); }
  static DWORD ToPixel(DWORD c) {
    return ((c >> 8) & 0xF800) | ((c >> 5) & 0x07E0) | ((c >> 3) & 0x001F);
  }
};

struct Rgb24 {
  static DWORD Get(const BYTE* row, int x) {
    const BYTE* p = row + 3 * x;
    return DWORD{p[2]} << 16 | DWORD{p[1]} << 8 | p[0];
  }
  static void Set(BYTE* row, int x, DWORD c) {
    BYTE* p = row + 3 * x;
    p[0] = static_cast<BYTE>(c);
    p[1] = static_cast<BYTE>(c >> 8);
    p[2] = static_cast<BYTE>(c >> 16);
  }
  static DWORD ToPixel(DWORD c) { return c; }
};

struct Rgb32 {
  static DWORD Get(const BYTE* row, int x) {
    DWORD c;
    std::memcpy(&c, row + 4 * x, 4);
    return c;
  }
  static void Set(BYTE* row, int x, DWORD c) { std::memcpy(row + 4 * x, &c, 4); }
  static DWORD ToPixel(DWORD c) { return c; }
};

// --- Row functions ---

BYTE* RowItself(const BYTE* row) { return const_cast<BYTE*>(row); }

BYTE* CopyRow(const BYTE* row, const CGraphicsImage* image) {
  std::memcpy(image->scratch, row, static_cast<size_t>(image->stride));
  return image->scratch;
}

template <class F>
BYTE* UnpackIndices(const BYTE* row, const CGraphicsImage* image) {
  BYTE* out = image->scratch;
  for (int x = 0; x < image->width; ++x) out[x] = static_cast<BYTE>(F::Get(row, x));
  return out;
}

template <class F>
BYTE* PaletteTo24(const BYTE* row, const CGraphicsImage* image) {
  BYTE* out = image->scratch;
  const RGBQUAD* pal = image->palette;
  for (int x = 0; x < image->width; ++x, out += 3) {
    const RGBQUAD& e = pal[F::Get(row, x) & 255];
    out[0] = e.rgbBlue;
    out[1] = e.rgbGreen;
    out[2] = e.rgbRed;
  }
  return image->scratch;
}

template <class F>
DWORD* PaletteTo32(const BYTE* row, const CGraphicsImage* image) {
  BYTE* out = image->scratch;
  const RGBQUAD* pal = image->palette;
  for (int x = 0; x < image->width; ++x) std::memcpy(out + 4 * x, &pal[F::Get(row, x) & 255], 4);
  return reinterpret_cast<DWORD*>(out);
}

template <class F>
BYTE* GreyRow(const BYTE* row, const CGraphicsImage* image) {
  BYTE* out = image->scratch;
  for (int x = 0; x < image->width; ++x) {
    DWORD c = F::Get(row, x);
    out[x] = static_cast<BYTE>((29 * (c & 255) + 76 * ((c >> 16) & 255) + 152 * ((c >> 8) & 255)) >> 8);
  }
  return out;
}

template <class F>
BYTE* WidenTo24(const BYTE* row, const CGraphicsImage* image) {
  BYTE* out = image->scratch;
  for (int x = 0; x < image->width; ++x, out += 3) {
    DWORD c = F::Get(row, x);
    out[0] = static_cast<BYTE>(c);
    out[1] = static_cast<BYTE>(c >> 8);
    out[2] = static_cast<BYTE>(c >> 16);
  }
  return image->scratch;
}

template <class F>
DWORD* WidenTo32(const BYTE* row, const CGraphicsImage* image) {
  BYTE* out = image->scratch;
  for (int x = 0; x < image->width; ++x) {
    DWORD c = F::Get(row, x);
    std::memcpy(out + 4 * x, &c, 4);
  }
  return reinterpret_cast<DWORD*>(out);
}

BYTE* Row8Itself(const BYTE* row, const CGraphicsImage*) { return RowItself(row); }
BYTE* Row24Itself(const BYTE* row, const CGraphicsImage*) { return RowItself(row); }

// Caller memory may be placed at any address; a row that cannot be read as
// DWORDs in place is handed out as an aligned copy.
DWORD* Row32Itself(const BYTE* row, const CGraphicsImage* image) {
  if (reinterpret_cast<uintptr_t>(row) % alignof(DWORD) != 0) row = CopyRow(row, image);
  return reinterpret_cast<DWORD*>(RowItself(row));
}
DWORD* Row32Copy(const BYTE* row, const CGraphicsImage* image) {
  return reinterpret_cast<DWORD*>(CopyRow(row, image));
}

// --- The empty image ---

alignas(8) BYTE emptyRow[8];
BYTE* EmptyRow8(const BYTE*, const CGraphicsImage*) { return emptyRow; }
DWORD* EmptyRow32(const BYTE*, const CGraphicsImage*) { return reinterpret_cast<DWORD*>(emptyRow); }
DWORD EmptyGet(const BYTE*, int) { return 0; }
void EmptySet(BYTE*, int, DWORD) {}
DWORD EmptyToPixel(DWORD c) { return c; }

template <class F>
constexpr PixelFormat Palette(int bpp, DWORD inByte, DWORD shift, DWORD paletteSize, RowTo8Fn to8,
                              RowTo8Fn copyTo8) {
  return {bpp, inByte, shift, 1, 0xFFFFFF, paletteSize, (1u << bpp) - 1, 1u << (bpp - 1), 0,
          to8, PaletteTo24<F>, PaletteTo32<F>, copyTo8, PaletteTo24<F>, PaletteTo32<F>,
          F::Get, F::Set, F::ToPixel};
}

template <class F>
constexpr PixelFormat TrueColor(int bpp, DWORD inByte, DWORD shift, DWORD unit, DWORD significant,
                                RowTo24Fn to24, RowTo32Fn to32, RowTo24Fn copyTo24,
                                RowTo32Fn copyTo32) {
  DWORD valueMask = bpp == 32 ? 0xFFFFFFFFu : (1u << bpp) - 1;
  return {bpp, inByte, shift, unit, significant, 0, valueMask, 1u << (bpp - 1), 1,
          GreyRow<F>, to24, to32, GreyRow<F>, copyTo24, copyTo32, F::Get, F::Set, F::ToPixel};
}

const PixelFormat kFormats[] = {
    Palette<Packed<1>>(1, 7, 3, 2, UnpackIndices<Packed<1>>, UnpackIndices<Packed<1>>),
    Palette<Packed<2>>(2, 3, 2, 4, UnpackIndices<Packed<2>>, UnpackIndices<Packed<2>>),
    Palette<Packed<4>>(4, 1, 1, 16, UnpackIndices<Packed<4>>, UnpackIndices<Packed<4>>),
    Palette<Indexed8>(8, 0, 0, 256, Row8Itself, CopyRow),
    TrueColor<Rgb12>(12, 1, 1, 3, 0xF0F0F0, WidenTo24<Rgb12>, WidenTo32<Rgb12>, WidenTo24<Rgb12>,
                     WidenTo32<Rgb12>),
    TrueColor<Rgb15>(15, 0, 0, 2, 0xF8F8F8, WidenTo24<Rgb15>, WidenTo32<Rgb15>, WidenTo24<Rgb15>,
                     WidenTo32<Rgb15>),
    TrueColor<Rgb16>(16, 0, 0, 2, 0xF8FCF8, WidenTo24<Rgb16>, WidenTo32<Rgb16>, WidenTo24<Rgb16>,
                     WidenTo32<Rgb16>),
    TrueColor<Rgb24>(24, 0, 0, 3, 0xFFFFFF, Row24Itself, WidenTo32<Rgb24>, CopyRow,
                     WidenTo32<Rgb24>),
    TrueColor<Rgb32>(32, 0, 0, 4, 0xFFFFFF, WidenTo24<Rgb32>, Row32Itself, WidenTo24<Rgb32>,
                     Row32Copy),
};

const PixelFormat kEmpty = {0, 0, 0, 0, 0, 0, 0, 0, 0,
                            EmptyRow8, EmptyRow8, EmptyRow32, EmptyRow8, EmptyRow8, EmptyRow32,
                            EmptyGet, EmptySet, EmptyToPixel};

}  // namespace

const PixelFormat* FindPixelFormat(int bpp) {
  for (const PixelFormat& f : kFormats)
    if (f.bpp == bpp) return &f;
  return nullptr;
}

const PixelFormat& EmptyPixelFormat() { return kEmpty; }

int64_t ImageStride(int bpp, int width) {
  int64_t w = width;
  int64_t bytes;
  switch (bpp) {
    case 12: bytes = (3 * w + 1) / 2; break;
    case 15: bytes = 2 * w; break;
    default: bytes = (bpp * w + 7) / 8; break;
  }
  return (bytes + 3) & ~int64_t{3};
}

void SwapRedBlue32(BYTE* pixels, int count) {
  for (int i = 0; i < count; ++i, pixels += 4) std::swap(pixels[0], pixels[2]);
}

void SwapRedBlue24(BYTE* pixels, int count) {
  for (int i = 0; i < count; ++i, pixels += 3) std::swap(pixels[0], pixels[2]);
}
