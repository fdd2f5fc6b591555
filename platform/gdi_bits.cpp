// Screen-compatible bitmaps and the scan-line copies between bitmap objects
// and DIBs in memory, converting between any two of the formats the
// stand-in holds (platform/gdi.h gives the rules).
#include <cstring>
#include <vector>

#include "platform/faults.h"
#include "platform/gdi.h"
#include "platform/gdi_object.h"
#include "platform/screen.h"

namespace platform {
namespace {

constexpr DWORD Rgb(DWORD r, DWORD g, DWORD b) {
  return r << 16 | g << 8 | b;
}

// The 16 standard colours in their customary order (0x00RRGGBB): black,
// the dark colours red, green, yellow, blue, magenta, cyan, light grey,
// grey, then the bright ones in the same order and white.
constexpr DWORD kStandard16[16] = {
    Rgb(0, 0, 0),       Rgb(128, 0, 0),   Rgb(0, 128, 0),   Rgb(128, 128, 0),
    Rgb(0, 0, 128),     Rgb(128, 0, 128), Rgb(0, 128, 128), Rgb(192, 192, 192),
    Rgb(128, 128, 128), Rgb(255, 0, 0),   Rgb(0, 255, 0),   Rgb(255, 255, 0),
    Rgb(0, 0, 255),     Rgb(255, 0, 255), Rgb(0, 255, 255), Rgb(255, 255, 255)};

RGBQUAD Quad(DWORD c) {
  return RGBQUAD{static_cast<BYTE>(c), static_cast<BYTE>(c >> 8), static_cast<BYTE>(c >> 16), 0};
}

DWORD ColourOf(const RGBQUAD& q) {
  return Rgb(q.rgbRed, q.rgbGreen, q.rgbBlue);
}

// The table that colours are matched to when the bitmap's own palette does
// not serve: 1 bit black and white; 4 bits the standard 16; 8 bits the
// standard 16, the cube of red, green, blue in 0, 51, ..., 255 (blue
// fastest) and the greys 10, 20, ..., 240.
void FixedTable(int bitCount, DibFormat& f) {
  f.colourCount = 1 << bitCount;
  if (bitCount == 1) {
    f.colours[0] = Quad(0);
    f.colours[1] = Quad(0xFFFFFF);
    return;
  }
  for (int i = 0; i < 16; ++i) f.colours[i] = Quad(kStandard16[i]);
  if (bitCount == 4) return;
  int i = 16;
  for (DWORD r = 0; r < 6; ++r)
    for (DWORD g = 0; g < 6; ++g)
      for (DWORD b = 0; b < 6; ++b) f.colours[i++] = Quad(Rgb(51 * r, 51 * g, 51 * b));
  for (DWORD k = 1; k <= 24; ++k) f.colours[i++] = Quad(Rgb(10 * k, 10 * k, 10 * k));
}

// Reads the format a caller's BITMAPINFO describes; its colour table only
// when `withColours` (SetDIBits reads it, GetDIBits writes it).
bool ParseInfo(const BITMAPINFO* info, bool withColours, DibFormat* f, bool* topDown) {
  const BITMAPINFOHEADER h = info->bmiHeader;
  if (!KnownHeaderSize(h.biSize) || h.biWidth <= 0 || h.biHeight == 0) return false;
  const BYTE* raw = reinterpret_cast<const BYTE*>(info);
  DWORD masks[3] = {0, 0, 0};
  if (h.biCompression == BI_BITFIELDS) std::memcpy(masks, raw + 40, sizeof masks);
  if (!LayoutOf(h.biBitCount, h.biCompression, masks, &f->layout)) return false;
  f->bitCount = h.biBitCount;
  f->width = h.biWidth;
  f->stride = DibStride(h.biWidth, h.biBitCount);
  *topDown = h.biHeight < 0;
  f->colourCount = 0;
  if (h.biBitCount <= 8 && withColours) {
    const DWORD full = DWORD{1} << h.biBitCount;
    const DWORD count = h.biClrUsed == 0 || h.biClrUsed > full ? full : h.biClrUsed;
    f->colourCount = static_cast<int>(count);
    std::memcpy(f->colours, raw + h.biSize, 4 * count);
  }
  return true;
}

bool IsIndexLayout(PixelLayout l) {
  return l == PixelLayout::Index1 || l == PixelLayout::Index4 || l == PixelLayout::Index8;
}

DWORD Widen5(DWORD v) {
  return (v & 31) << 3;
}
DWORD Widen6(DWORD v) {
  return (v & 63) << 2;
}

// One row as values: palette indices when `asIndices`, else colours
// 0x00RRGGBB (with the fourth byte for 32 bits; indices beyond the table
// give black).
void ReadRow(const DibFormat& f, const BYTE* row, bool asIndices, DWORD* out) {
  const int w = f.width;
  switch (f.layout) {
    case PixelLayout::Index1:
      for (int x = 0; x < w; ++x) out[x] = (row[x >> 3] >> (7 - (x & 7))) & 1;
      break;
    case PixelLayout::Index4:
      for (int x = 0; x < w; ++x) out[x] = (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
      break;
    case PixelLayout::Index8:
      for (int x = 0; x < w; ++x) out[x] = row[x];
      break;
    case PixelLayout::Rgb555:
    case PixelLayout::Rgb565:
      for (int x = 0; x < w; ++x) {
        const DWORD v = DWORD{row[2 * x]} | DWORD{row[2 * x + 1]} << 8;
        out[x] = f.layout == PixelLayout::Rgb555 ? Rgb(Widen5(v >> 10), Widen5(v >> 5), Widen5(v))
                                                 : Rgb(Widen5(v >> 11), Widen6(v >> 5), Widen5(v));
      }
      return;
    case PixelLayout::Rgb24:
      for (int x = 0; x < w; ++x) out[x] = Rgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
      return;
    case PixelLayout::Rgb32:
      std::memcpy(out, row, 4 * static_cast<size_t>(w));
      return;
  }
  if (asIndices) return;
  for (int x = 0; x < w; ++x)
    out[x] = out[x] < static_cast<DWORD>(f.colourCount) ? ColourOf(f.colours[out[x]]) : 0;
}

// Finds the palette entry of least squared distance, remembering the last
// answer for runs of one colour.
class Matcher {
 public:
  explicit Matcher(const DibFormat& f) : f_(f) {}
  DWORD Index(DWORD colour) {
    colour &= 0xFFFFFF;
    if (valid_ && colour == lastColour_) return lastIndex_;
    long best = -1;
    for (int i = 0; i < f_.colourCount; ++i) {
      const RGBQUAD& q = f_.colours[i];
      const long dr = long{q.rgbRed} - long(colour >> 16);
      const long dg = long{q.rgbGreen} - long((colour >> 8) & 255);
      const long db = long{q.rgbBlue} - long(colour & 255);
      const long d = dr * dr + dg * dg + db * db;
      if (best < 0 || d < best) best = d, lastIndex_ = static_cast<DWORD>(i);
      if (d == 0) break;
    }
    if (best < 0) lastIndex_ = 0;
    lastColour_ = colour;
    valid_ = true;
    return lastIndex_;
  }

 private:
  const DibFormat& f_;
  DWORD lastColour_ = 0;
  DWORD lastIndex_ = 0;
  bool valid_ = false;
};

// Stores one row of values (indices when `asIndices`, else colours) in the
// format; the row's padding bytes are written 0.
void WriteRow(const DibFormat& f, BYTE* row, const DWORD* in, bool asIndices, Matcher& match) {
  const int w = f.width;
  std::memset(row, 0, static_cast<size_t>(f.stride));
  auto index = [&](int x) { return asIndices ? in[x] : match.Index(in[x]); };
  switch (f.layout) {
    case PixelLayout::Index1:
      for (int x = 0; x < w; ++x) row[x >> 3] |= static_cast<BYTE>((index(x) & 1) << (7 - (x & 7)));
      return;
    case PixelLayout::Index4:
      for (int x = 0; x < w; ++x)
        row[x >> 1] |= static_cast<BYTE>((index(x) & 15) << ((x & 1) ? 0 : 4));
      return;
    case PixelLayout::Index8:
      for (int x = 0; x < w; ++x) row[x] = static_cast<BYTE>(index(x));
      return;
    case PixelLayout::Rgb555:
    case PixelLayout::Rgb565:
      for (int x = 0; x < w; ++x) {
        const DWORD c = in[x];
        const DWORD r = (c >> 16) & 255, g = (c >> 8) & 255, b = c & 255;
        const DWORD v = f.layout == PixelLayout::Rgb555 ? (r >> 3) << 10 | (g >> 3) << 5 | b >> 3
                                                        : (r >> 3) << 11 | (g >> 2) << 5 | b >> 3;
        row[2 * x] = static_cast<BYTE>(v);
        row[2 * x + 1] = static_cast<BYTE>(v >> 8);
      }
      return;
    case PixelLayout::Rgb24:
      for (int x = 0; x < w; ++x) {
        row[3 * x] = static_cast<BYTE>(in[x]);
        row[3 * x + 1] = static_cast<BYTE>(in[x] >> 8);
        row[3 * x + 2] = static_cast<BYTE>(in[x] >> 16);
      }
      return;
    case PixelLayout::Rgb32:
      std::memcpy(row, in, 4 * static_cast<size_t>(w));
      return;
  }
}

// Copies rows from one format to another: indices pass through unchanged
// when `indices`, else colours are converted (the fourth byte survives only
// from 32 to 32 bits). Row i of `from`/`to` comes from the callbacks.
template <class FromRow, class ToRow>
void CopyRows(const DibFormat& from, const DibFormat& to, int count, bool indices, FromRow fromRow,
              ToRow toRow) {
  std::vector<DWORD> values(static_cast<size_t>(from.width));
  Matcher match(to);
  const bool keepFourth = from.layout == PixelLayout::Rgb32 && to.layout == PixelLayout::Rgb32;
  // One layout on both sides (indices kept for the palette ones): the bytes
  // as they are, unused bits included, and zero padding.
  if (from.layout == to.layout && (indices || !IsIndexLayout(from.layout))) {
    const size_t used =
        (static_cast<size_t>(from.width) * static_cast<size_t>(from.bitCount) + 7) / 8;
    for (int i = 0; i < count; ++i) {
      BYTE* row = toRow(i);
      std::memcpy(row, fromRow(i), used);
      std::memset(row + used, 0, static_cast<size_t>(to.stride) - used);
    }
    return;
  }
  // An index beyond the source's table reads as black; where the narrower
  // format cannot hold it, it becomes the entry that stands for black.
  const bool narrowing = indices && from.bitCount > to.bitCount;
  for (int i = 0; i < count; ++i) {
    ReadRow(from, fromRow(i), indices, values.data());
    if (!indices && !keepFourth) {
      for (DWORD& v : values) v &= 0xFFFFFF;
    }
    if (narrowing) {
      for (DWORD& v : values)
        if (v >= static_cast<DWORD>(from.colourCount)) v = match.Index(0);
    }
    WriteRow(to, toRow(i), values.data(), indices, match);
  }
}

bool LiveContext(HDC dc) {
  return GetDeviceCaps(dc, BITSPIXEL) != 0;
}

// Lines start .. start + n - 1 of a bitmap of `height` lines: n, or 0 when
// start is beyond the top.
int LinesToCopy(UINT start, UINT lines, int height) {
  if (start >= static_cast<UINT>(height)) return 0;
  const UINT left = static_cast<UINT>(height) - start;
  return static_cast<int>(lines < left ? lines : left);
}

}  // namespace
}  // namespace platform

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height) {
  using namespace platform;
  if (TakeInjectedFault(FaultPoint::CreateCompatibleBitmap)) return nullptr;
  if (!LiveContext(dc) || width < 0 || height < 0) return nullptr;
  GdiBitmap b;
  if (width == 0 || height == 0) {
    b.format.layout = PixelLayout::Index1;
    b.format.bitCount = 1;
    b.format.width = b.height = 1;
    FixedTable(1, b.format);
  } else {
    b.format.layout = PixelLayout::Rgb32;
    b.format.bitCount = 32;
    b.format.width = width;
    b.height = height;
  }
  if (!AllocateBitmapPixels(b)) return nullptr;
  return AddBitmap(b);
}

int SetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, const void* bits,
              const BITMAPINFO* info, UINT usage) {
  using namespace platform;
  if (TakeInjectedFault(FaultPoint::SetDIBits)) return 0;
  if (!LiveContext(dc) || !bits || !info || usage != DIB_RGB_COLORS) return 0;
  DibFormat from;
  bool topDown = false;
  if (!ParseInfo(info, true, &from, &topDown)) return 0;
  int copied = 0;
  WithBitmap(bitmap, [&](GdiBitmap& b) {
    if (from.width != b.format.width) return;
    const int n = LinesToCopy(start, lines, b.height);
    const BYTE* src = static_cast<const BYTE*>(bits);
    CopyRows(
        from, b.format, n, false,
        [&](int i) { return src + static_cast<int64_t>(topDown ? n - 1 - i : i) * from.stride; },
        [&](int i) { return b.Line(static_cast<int>(start) + i); });
    copied = n;
  });
  return copied;
}

int GetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info,
              UINT usage) {
  using namespace platform;
  if (!LiveContext(dc) || !info || usage != DIB_RGB_COLORS) return 0;
  if (!KnownHeaderSize(info->bmiHeader.biSize)) return 0;
  BYTE* raw = reinterpret_cast<BYTE*>(info);
  int result = 0;
  WithBitmap(bitmap, [&](GdiBitmap& b) {
    BITMAPINFOHEADER& h = info->bmiHeader;
    if (!bits && h.biBitCount == 0) {
      h.biWidth = b.format.width;
      h.biHeight = b.height;
      h.biPlanes = 1;
      h.biBitCount = static_cast<WORD>(b.format.bitCount);
      h.biCompression = b.compression;
      const uint64_t size =
          static_cast<uint64_t>(b.format.stride) * static_cast<uint64_t>(b.height);
      h.biSizeImage = size > 0xFFFFFFFFu ? 0 : static_cast<DWORD>(size);
      h.biClrUsed = 0;
      if (b.compression == BI_BITFIELDS) std::memcpy(raw + 40, b.masks, sizeof b.masks);
      result = b.height;
      return;
    }
    DibFormat to;
    bool topDown = false;
    if (!ParseInfo(info, false, &to, &topDown)) return;
    if (bits && to.width != b.format.width) return;
    // A bitmap whose palette fits the asked format keeps its indices.
    const bool indices = IsIndexLayout(to.layout) && IsIndexLayout(b.format.layout) &&
                         b.format.colourCount <= (1 << to.bitCount);
    if (indices) {
      to.colourCount = 1 << to.bitCount;
      std::memcpy(to.colours, b.format.colours, 4 * static_cast<size_t>(b.format.colourCount));
    } else if (IsIndexLayout(to.layout)) {
      FixedTable(to.bitCount, to);
    }
    if (to.bitCount <= 8)
      std::memcpy(raw + h.biSize, to.colours, 4 * static_cast<size_t>(to.colourCount));
    const uint64_t size = static_cast<uint64_t>(to.stride) * static_cast<uint64_t>(b.height);
    h.biSizeImage = size > 0xFFFFFFFFu ? 0 : static_cast<DWORD>(size);
    if (!bits) {
      result = b.height;
      return;
    }
    const int n = LinesToCopy(start, lines, b.height);
    BYTE* dst = static_cast<BYTE*>(bits);
    CopyRows(
        b.format, to, n, indices, [&](int i) { return b.Line(static_cast<int>(start) + i); },
        [&](int i) { return dst + static_cast<int64_t>(topDown ? n - 1 - i : i) * to.stride; });
    result = n;
  });
  return result;
}
