#include "graphics/formats/zera_format.h"

#include <array>
#include <cstring>

namespace {

constexpr std::array<WORD, 256> MakeCrcTable() {
  std::array<WORD, 256> table{};
  for (DWORD i = 0; i < 256; ++i) {
    DWORD crc = i << 8;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x8000) != 0 ? (crc << 1) ^ 0x1021 : crc << 1;
    table[i] = WORD(crc);
  }
  return table;
}

constexpr std::array<WORD, 256> kCrcTable = MakeCrcTable();

constexpr BYTE kMagic[4] = {'Z', 'E', 'R', 'A'};

void PutU16(BYTE* at, DWORD value) {
  at[0] = BYTE(value);
  at[1] = BYTE(value >> 8);
}
DWORD GetU16(const BYTE* at) {
  return DWORD(at[0]) | DWORD(at[1]) << 8;
}

// The 32-bit value of pixel i, counted row by row from the top left; 0
// outside the image.
DWORD CarrierPixel(const CGraphicsImage& image, int i) {
  if (i >= image.width * image.height) return 0;
  return image.PixelGetFunc(image.Row(i / image.width), i % image.width);
}

}  // namespace

void ZeraHeader::ToBytes(BYTE out[ZERA_HEADER_SIZE]) const {
  std::memcpy(out, kMagic, 4);
  PutU16(out + 4, width);
  PutU16(out + 6, height);
  out[8] = bytesPerPixel;
  out[9] = lastIndex;
  PutU16(out + 10, crc);
  PutU16(out + 12, userValue);
  PutU16(out + 14, userValue >> 16);
}

bool ZeraHeader::FromBytes(const BYTE in[ZERA_HEADER_SIZE]) {
  if (std::memcmp(in, kMagic, 4) != 0) return false;
  width = WORD(GetU16(in + 4));
  height = WORD(GetU16(in + 6));
  bytesPerPixel = in[8];
  lastIndex = in[9];
  crc = WORD(GetU16(in + 10));
  userValue = GetU16(in + 12) | GetU16(in + 14) << 16;
  return true;
}

WORD Crc16Update(const void* data, size_t length, WORD crc) {
  const BYTE* bytes = static_cast<const BYTE*>(data);
  for (size_t i = 0; i < length; ++i) crc = WORD(crc << 8 ^ kCrcTable[(crc >> 8 ^ bytes[i]) & 0xFF]);
  return crc;
}

// Carrier i: word i mod 16, bit position 3 * (i div 16); the eleventh group
// keeps only its lowest two bits.
DWORD ZeraBlockBits(const DWORD block[ZERA_BLOCK_WORDS], int i) {
  return block[i & 15] >> (i / 16 * 3) & 7;
}

void SetZeraBlockBits(DWORD block[ZERA_BLOCK_WORDS], int i, DWORD bits) {
  block[i & 15] |= (bits & 7) << (i / 16 * 3);
}

void ZeraBlockFromImage(const CGraphicsImage& image, DWORD block[ZERA_BLOCK_WORDS]) {
  std::memset(block, 0, ZERA_BLOCK_SIZE);
  if (image.bpp <= 8) {
    for (int i = 0; i < ZERA_BLOCK_CARRIERS; ++i) {
      const BYTE top = image.palette[i].rgbReserved;
      if ((top & 0x8F) != (i & 0x8F)) {
        std::memset(block, 0, ZERA_BLOCK_SIZE);
        return;
      }
      SetZeraBlockBits(block, i, DWORD(top) >> 4);
    }
    return;
  }
  for (int i = ZERA_BLOCK_CARRIERS; i < ZERA_SIGNATURE_END; ++i) {
    if ((CarrierPixel(image, i) >> 28 & 7) != DWORD(i & 7)) return;
  }
  for (int i = 0; i < ZERA_BLOCK_CARRIERS; ++i) {
    SetZeraBlockBits(block, i, CarrierPixel(image, i) >> 28);
  }
}

void ZeraBlockIntoImage(CGraphicsImage& image, const DWORD block[ZERA_BLOCK_WORDS]) {
  if (image.bpp <= 8) {
    for (int i = 0; i < ZERA_BLOCK_CARRIERS; ++i) {
      RGBQUAD& entry = image.palette[i];
      entry.rgbReserved = BYTE((entry.rgbReserved & 0x8F) | ZeraBlockBits(block, i) << 4);
    }
    return;
  }
  const int pixels = image.width * image.height;
  for (int i = 0; i < ZERA_SIGNATURE_END && i < pixels; ++i) {
    const DWORD bits = i < ZERA_BLOCK_CARRIERS ? ZeraBlockBits(block, i) : DWORD(i & 7);
    BYTE* row = image.Row(i / image.width);
    const int x = i % image.width;
    image.PixelSetFunc(row, x, (image.PixelGetFunc(row, x) & ~0x70000000u) | bits << 28);
  }
}
