// The bitmap objects behind HBITMAP handles, shared by the files of the GDI
// stand-in: DIB sections (bitmap.cpp), screen-compatible bitmaps and the
// scan-line copies (gdi_bits.cpp) and bitmap resources (gdi_load.cpp).
// Not part of the platform's interface.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/bitmap.h"

namespace platform {

// How the pixels of a row are laid out.
enum class PixelLayout : BYTE { Index1, Index4, Index8, Rgb555, Rgb565, Rgb24, Rgb32 };

// A DIB format as far as the scan-line copies need it: layout, row size and
// (for the index layouts) the colour table.
struct DibFormat {
  PixelLayout layout = PixelLayout::Rgb32;
  int bitCount = 32;
  int width = 0;
  int64_t stride = 0;  // bytes per row, a multiple of 4
  int colourCount = 0;
  RGBQUAD colours[256] = {};
};

// One bitmap object. Its pixel memory is a private anonymous mapping, zeroed
// when made; rows are bottom-up unless topDown.
struct GdiBitmap {
  DibFormat format;
  int height = 0;
  bool topDown = false;
  DWORD compression = BI_RGB;  // as GetDIBits reports it
  DWORD masks[3] = {0, 0, 0};  // channel masks when compression is BI_BITFIELDS
  BYTE* bits = nullptr;
  size_t mappedBytes = 0;

  // Row of scan line `line`, line 0 being the bottom row.
  BYTE* Line(int line) const {
    const int64_t index = topDown ? height - 1 - line : line;
    return bits + index * format.stride;
  }
};

// Bytes per row of a DIB of `width` pixels at `bitCount` bits, padded to 4.
inline int64_t DibStride(int64_t width, int bitCount) {
  return (width * bitCount + 31) / 32 * 4;
}

// The layout of a bit count and compression with its masks (read only for
// BI_BITFIELDS); false for formats the stand-in does not hold: bit counts
// other than 1, 4, 8, 16, 24 and 32, compressions other than BI_RGB and
// BI_BITFIELDS, and masks other than 5-5-5 and 5-6-5 (16 bits) and 8-8-8
// (32 bits).
bool LayoutOf(int bitCount, DWORD compression, const DWORD masks[3], PixelLayout* layout);

// Header sizes the stand-in reads: the 40-byte header and the longer ones
// that begin with it (52, 56, 108 and 124 bytes). The colour table follows
// the header, so a size of any other value would place it anywhere.
bool KnownHeaderSize(DWORD size);

// Gives `b` zeroed pixel memory for its format and height: false when the
// size is beyond reason or the memory cannot be had.
bool AllocateBitmapPixels(GdiBitmap& b);

// Enters a bitmap (whose memory then belongs to the table) and returns its
// handle; frees the memory and returns null when the table refuses.
HBITMAP AddBitmap(const GdiBitmap& b);

// Runs `use` on the bitmap of `handle` while holding the table's lock, so a
// concurrent DeleteObject cannot free the memory; false for unknown handles.
template <class Use>
bool WithBitmap(HGDIOBJ handle, Use&& use);

// Implementation of WithBitmap: the locked lookup.
class BitmapTableLock {
 public:
  explicit BitmapTableLock(HGDIOBJ handle);
  ~BitmapTableLock();
  BitmapTableLock(const BitmapTableLock&) = delete;
  BitmapTableLock& operator=(const BitmapTableLock&) = delete;
  GdiBitmap* bitmap() const { return found_; }

 private:
  GdiBitmap* found_;
};

template <class Use>
bool WithBitmap(HGDIOBJ handle, Use&& use) {
  BitmapTableLock lock(handle);
  if (!lock.bitmap()) return false;
  use(*lock.bitmap());
  return true;
}

}  // namespace platform
