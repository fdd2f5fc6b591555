// The nine pixel formats: bit layouts, constants and the per-format functions
// that CGraphicsImage::Create installs.
//
// Colours are 0x00RRGGBB (blue in the low byte). 32-bpp pixels keep the top
// byte as a fourth channel; 15-bpp pixels keep bit 31 in their top bit. On the
// palette formats (1, 2, 4, 8 bpp) pixel values are palette indices.
//
//   bpp  layout of pixel x in its row
//    1   bit 7 - x % 8 of byte x / 8
//    2   bits 2 * (3 - x % 4) + 1..0 of byte x / 4
//    4   high nibble of byte x / 2 for even x, low nibble for odd x
//    8   byte x
//   12   pairs in 3 bytes from 3 * (x / 2): B0G0 R0B1 G1R1 (top nibbles)
//   15   little-endian word: bit 15 = colour bit 31, red 14-10, green 9-5, blue 4-0
//   16   little-endian word: red 15-11, green 10-5, blue 4-0
//   24   bytes blue, green, red
//   32   little-endian u32, the colour with its top byte
#pragma once

#include <cstdint>

#include "graphics/image.h"

struct PixelFormat {
  int bpp;
  DWORD pixelInByteMask;  // x & mask == 0: x starts a pixel unit
  DWORD indexShift;       // unit of pixel x = x >> indexShift
  DWORD bytesPerUnit;
  DWORD significantMask;  // the bits of a colour the format keeps
  DWORD paletteSize;
  DWORD valueMask;        // (1 << bpp) - 1, all ones for 32
  DWORD formatBit;        // 1 << (bpp - 1)
  DWORD trueColor;        // 1 from 12 bpp up
  RowTo8Fn rowTo8;
  RowTo24Fn rowTo24;
  RowTo32Fn rowTo32;
  RowTo8Fn rowCopyTo8;
  RowTo24Fn rowCopyTo24;
  RowTo32Fn rowCopyTo32;
  PixelGetFn pixelGet;
  PixelSetFn pixelSet;
  ColorToPixelFn colorToPixel;
};

// The format of `bpp`, or null when the image does not support it.
const PixelFormat* FindPixelFormat(int bpp);
// The harmless set of an empty image.
const PixelFormat& EmptyPixelFormat();

// Bytes per row of an image of `width` pixels: a multiple of 4. For a
// supported format and 0 <= width <= 32768.
int64_t ImageStride(int bpp, int width);

// Exchange bytes 0 and 2 of each of `count` pixels of 4 or 3 bytes.
void SwapRedBlue32(BYTE* pixels, int count);
void SwapRedBlue24(BYTE* pixels, int count);
