// Flags of CGraphicsImage::DrawImage and the bit-row copies under cropping
// and scrolling of the sub-byte formats.
#pragma once

#include "platform/types.h"

// DrawImage flags: a key colour in the low 24 bits and these modes. A mode
// names pixels that are not written; the source group (bits 24-27) tests the
// source pixel, the destination group (bits 28-31) the pixel underneath.
// Bits 25-27 and 29-31 test pixel bits that only 15- and 32-bpp pixels carry
// (15 bpp has no bit 30) and are ignored on other formats; a key test
// (bit 24 or 28) takes the place of the other modes of its group.
enum : DWORD {
  DRAW_KEY_COLOUR_MASK = 0x00FFFFFF,
  DRAW_SKIP_SRC_KEY = 0x01000000,      // source colour equals the key
  DRAW_SKIP_SRC_BIT31 = 0x02000000,    // source bit 31 set
  DRAW_SKIP_SRC_NO_BIT31 = 0x04000000, // source bit 31 clear
  DRAW_SKIP_SRC_BIT30 = 0x08000000,    // source bit 30 set
  DRAW_SKIP_DST_KEY = 0x10000000,      // destination colour equals the key
  DRAW_SKIP_DST_BIT31 = 0x20000000,    // destination bit 31 set
  DRAW_SKIP_DST_NO_BIT31 = 0x40000000, // destination bit 31 clear
  DRAW_SKIP_DST_BIT30 = 0x80000000,    // destination bit 30 set
  DRAW_SRC_MODES = 0x0F000000,
  DRAW_DST_MODES = 0xF0000000,
};

// Fills `words` 32-bit words of dst with bits [bitOffset, bitEnd) of the bit
// row src (first pixel in the most significant bit of the first byte), bit
// bitOffset landing on the first bit of dst; every other bit of dst is 0 and
// a negative bitOffset gives leading zero bits. No byte of src at or beyond
// bit bitEnd is read. The forward form may write over src when bitOffset >= 0,
// the backward form when bitOffset <= 0.
void BitRowCopy(int bitOffset, int words, const DWORD* src, DWORD* dst, int bitEnd);
void BitRowCopyBackward(int bitOffset, int words, const DWORD* src, DWORD* dst, int bitEnd);
