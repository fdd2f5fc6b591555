// The library's own image sequence files ("ZERA"): 1 to 255 images of one
// size, each with a 64-byte data block, protected by one CRC-16 over the
// whole file. What the writer and the reader share lives here: the header
// layout, the CRC and the rule that carries the block inside an image.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/image.h"

inline constexpr int ZERA_HEADER_SIZE = 16;
inline constexpr int ZERA_BLOCK_WORDS = 16;
inline constexpr int ZERA_BLOCK_SIZE = 4 * ZERA_BLOCK_WORDS;
inline constexpr int ZERA_TRAILER_SIZE = 4;
inline constexpr int ZERA_MAX_SIDE = 4096;
inline constexpr DWORD ZERA_MAX_IMAGES = 255;
// Palette entries or pixels that carry the block, and the pixels after them
// that carry the signature of a direct-colour image.
inline constexpr int ZERA_BLOCK_CARRIERS = 176;
inline constexpr int ZERA_SIGNATURE_END = 198;

// The 16-byte header, offsets 0..15.
struct ZeraHeader {
  WORD width = 0;
  WORD height = 0;
  BYTE bytesPerPixel = 0;  // 1 or 4
  BYTE lastIndex = 0;      // image count - 1
  WORD crc = 0;
  DWORD userValue = 0;

  void ToBytes(BYTE out[ZERA_HEADER_SIZE]) const;
  // Fills the fields from `in`; false when the magic is not "ZERA".
  bool FromBytes(const BYTE in[ZERA_HEADER_SIZE]);
  // Bytes of one row: width * bytes per pixel rounded up to 4.
  uint64_t RowBytes() const { return (uint64_t{width} * bytesPerPixel + 3) / 4 * 4; }
  // Bytes of one image record; with more than one image a trailer follows
  // each.
  uint64_t RecordBytes() const {
    return ZERA_BLOCK_SIZE + uint64_t{height} * RowBytes() + (lastIndex > 0 ? ZERA_TRAILER_SIZE : 0);
  }
};

// CRC-16/XMODEM: polynomial 0x1021, initial 0, most significant bit first.
WORD Crc16Update(const void* data, size_t length, WORD crc);

// The 3 bits carrier i holds of the block, and storing them.
DWORD ZeraBlockBits(const DWORD block[ZERA_BLOCK_WORDS], int i);
void SetZeraBlockBits(DWORD block[ZERA_BLOCK_WORDS], int i, DWORD bits);

// Takes the block the image carries into `block` (all zero when the image
// carries none).
void ZeraBlockFromImage(const CGraphicsImage& image, DWORD block[ZERA_BLOCK_WORDS]);
// Puts the block and, on direct-colour images, the signature into the image.
void ZeraBlockIntoImage(CGraphicsImage& image, const DWORD block[ZERA_BLOCK_WORDS]);

// The one-byte form of a 32-bit pixel value 0xTTRRGGBB: red, green and blue
// as bits 6, 5, 4 (set from 64 up), the top byte's bits 0-3 and 7 beside.
inline BYTE ZeraOneByte(DWORD value) {
  return BYTE(((value >> 16 & 0xFF) >= 64 ? 0x40 : 0) | ((value >> 8 & 0xFF) >= 64 ? 0x20 : 0) |
              ((value & 0xFF) >= 64 ? 0x10 : 0) | (value >> 24 & 0x8F));
}
