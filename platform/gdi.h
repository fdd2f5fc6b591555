// Device-dependent bitmaps of the virtual screen (platform/screen.h) and the
// scan-line copies between them and device-independent bitmaps in memory,
// plus the bitmap resources of the program's own file.
//
// The screen has 32 bits per pixel: a bitmap made by CreateCompatibleBitmap
// holds 0x00RRGGBB pixels with a fourth byte, and GetDIBits describes it as
// 32 bits, BI_RGB. Bitmaps of every handle kind (these, DIB sections and
// loaded resources) go through SetDIBits and GetDIBits alike, each in its
// own format.
//
// Conversions between formats: channels narrower than 8 bits are widened
// with zero low bits (5 bits 0x1F give 0xF8) and narrowed by dropping low
// bits; the fourth byte passes only from 32 to 32 bits and is 0 otherwise;
// a colour stored into a palette format takes the first entry of least
// squared distance; rows of one layout on both sides (palette layouts
// keeping their indices) are copied byte for byte, unused bits included.
// Scan lines are numbered from the bottom row (line 0) in both directions;
// a DIB with a positive biHeight holds them bottom-up (its first row is line
// `start`), one with a negative biHeight top-down (its first row is the
// highest line copied). Every row of a DIB is padded to a multiple of 4
// bytes. Only DIB_RGB_COLORS is supported.
#pragma once

#include <cstdint>

#include "platform/bitmap.h"
#include "platform/handles.h"

// A resource id in the place of a resource name, as in the Windows headers.
inline const char* MAKEINTRESOURCEA(WORD id) {
  return reinterpret_cast<const char*>(static_cast<uintptr_t>(id));
}
// True when `name` is an id made by MAKEINTRESOURCEA, not a text.
inline bool IS_INTRESOURCE(const void* name) {
  return (reinterpret_cast<uintptr_t>(name) >> 16) == 0;
}

// A bitmap of the screen's format (32 bits, zeroed) for a live device
// context: null for a dead context, a negative size or one beyond memory;
// a width or height of 0 gives a 1 x 1 monochrome bitmap (1 bit, black and
// white colour table).
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);

// Copies `lines` scan lines, starting at line `start`, from the DIB `bits`
// that `info` describes (its header, then its masks or colour table) into
// the bitmap, converting them to its format. The DIB must be as wide as the
// bitmap; lines beyond the bitmap's top are not copied. Returns the number
// of lines copied, 0 on failure (unknown bitmap or context, a biSize other
// than 40, 52, 56, 108 or 124, a format the stand-in does not hold, null
// bits).
int SetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, const void* bits,
              const BITMAPINFO* info, UINT usage);

// Reads the bitmap into the DIB format that `info` asks for.
// - bits null, biBitCount 0: fills in the header with the bitmap's width,
//   height (positive), planes 1, bit count, compression, biSizeImage and
//   biClrUsed 0; for BI_BITFIELDS also the three masks behind the header.
//   Returns the bitmap's height.
// - bits null, biBitCount set: fills in biSizeImage and, at 8 bits or
//   fewer, the colour table the copy would give. Returns the height.
// - bits given: converts lines start .. start + lines - 1 (cut at the top)
//   into the asked format (biWidth must be the bitmap's width) and fills in
//   the colour table at 8 bits or fewer: the bitmap's own colours, with the
//   indices as they are, when the bitmap has a palette that fits; else a
//   fixed table (1 bit: black and white; 4 bits: the 16 standard colours;
//   8 bits: those 16, a 6 x 6 x 6 cube of the levels 0, 51, ..., 255 and
//   24 greys) to which colours are matched. Returns the lines copied.
// 0 on failure: unknown bitmap or context, a biSize other than 40, 52, 56,
// 108 or 124, a format the stand-in does not hold, a width that differs,
// `start` beyond the top, DIB_PAL_COLORS. `info` must have room for the
// masks or the full colour table that the call fills in.
int GetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info,
              UINT usage);

// The handle of the program's own module for a null name (a fixed non-null
// value); null for any other name, as the stand-in loads no other modules.
HINSTANCE GetModuleHandleA(const char* name);

// A bitmap made from the BITMAP resource `name` of `module` (which must be
// the program's own), in the resource's own format and colours. `name` is
// an id from MAKEINTRESOURCEA, a text "#<decimal id>", or a resource name
// compared without regard to ASCII case; the manifest line "BITMAP 101 x.bmp"
// is found by id 101, "BITMAP Logo x.bmp" by "LOGO" or "logo". Null when
// there is no such resource, or its DIB is malformed, of a format the
// stand-in does not hold (compressed, for one), or shorter than its header
// claims.
HBITMAP LoadBitmapA(HINSTANCE module, const char* name);
