#include "graphics/formats/bmp_writer.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

[[noreturn]] void ThrowOpenError() {
  ThrowGraphics<EBmpFileOpenError>(GraphicsMessage::BmpFileOpen);
}
[[noreturn]] void ThrowWriteError() {
  ThrowGraphics<EBmpFileWriteError>(GraphicsMessage::BmpFileWrite);
}

void WriteChecked(CFileStream& file, const void* data, int64_t count) {
  if (count > 0 && file.Write(data, int(count)) != int(count)) ThrowWriteError();
}

void PutU16(BYTE* at, DWORD value) {
  at[0] = BYTE(value);
  at[1] = BYTE(value >> 8);
}
void PutU32(BYTE* at, DWORD value) {
  PutU16(at, value);
  PutU16(at + 2, value >> 16);
}

// Rows are written in pieces of about this size (fewer, larger writes
// measured faster than 64 or 256 KiB).
constexpr size_t kBatchBytes = size_t{1} << 20;

// What RowTo24Func gives for a 32-bit row (the top byte of each pixel
// dropped), four pixels at a time.
void Pack32To24(const BYTE* in, BYTE* out, int width) {
  int x = 0;
  if constexpr (std::endian::native == std::endian::little) {
    for (; x + 4 <= width; x += 4, in += 16, out += 12) {
      uint64_t a, b;
      std::memcpy(&a, in, 8);
      std::memcpy(&b, in + 8, 8);
      const uint64_t lo = (a & 0xFFFFFF) | ((a >> 8) & 0xFFFFFF000000);
      const uint64_t hi = (b & 0xFFFFFF) | ((b >> 8) & 0xFFFFFF000000);
      const uint64_t first = lo | hi << 48;
      const auto second = uint32_t(hi >> 16);
      std::memcpy(out, &first, 8);
      std::memcpy(out + 8, &second, 4);
    }
  }
  for (; x < width; ++x, in += 4, out += 3) {
    out[0] = in[0];
    out[1] = in[1];
    out[2] = in[2];
  }
}

// The bits per pixel of the file, or 0 when the format cannot be written.
int OutputBits(int imageBits, DWORD writerBits) {
  switch (imageBits) {
    case 1:
    case 4:
    case 8:
      return writerBits != 0 ? int(writerBits) : imageBits;
    case 12:
    case 15:
    case 16:
    case 24:
    case 32:
      return writerBits != 0 ? int(writerBits) : 24;
    default:
      return 0;
  }
}

// The highest palette index the pixels of an 8-bit image use, at least 1.
int HighestIndex(const CGraphicsImage& image) {
  BYTE highest = 1;
  for (int y = 0; y < image.height; ++y) {
    const BYTE* row = image.Row(y);
    for (int x = 0; x < image.width; ++x) highest = row[x] > highest ? row[x] : highest;
  }
  return highest;
}

}  // namespace

const WriterFailures CBmpWriter::failures = {ThrowOpenError, ThrowWriteError};

int CBmpWriter::SetBitCount(int bits) {
  bitCount = bits == 24 || bits == 32 ? DWORD(bits) : 0;
  return int(bitCount);
}

DWORD CBmpWriter::SetFlags(DWORD value, DWORD mask) {
  flags = (flags & ~mask) | (value & mask);
  return flags;
}

void CBmpWriter::SetResolution(int x, int y) {
  xResolution = x;
  yResolution = y;
}

void CBmpWriter::TakeFlags(const CGraphicsImage& image, BYTE saveFlags) {
  if ((saveFlags & 1) != 0 && image.bpp == 32) bitCount = 32;
}

void CBmpWriter::Write(CFileStream& file, const CGraphicsImage& image) {
  if (!image.HasPixels() || image.width <= 0 || image.height <= 0) {
    ThrowGraphics<EBmpDataError>(GraphicsMessage::DataError);
  }
  const int bits = OutputBits(image.bpp, bitCount);
  if (bits == 0) ThrowGraphics<EBmpNotSupported>(GraphicsMessage::BmpNotSupported);

  int colours = bits <= 8 ? int(image.paletteSize) : 0;
  bool counted = false;
  if ((flags & BMP_FLAG_USED_PALETTE) != 0 && bits == 8) {
    const int highest = HighestIndex(image);
    if (highest < 255) {
      colours = highest + 1;
      counted = true;
    }
  }

  const int64_t rowBytes = (int64_t{image.width} * bits + 7) / 8;
  const int64_t padding = (4 - rowBytes % 4) % 4;
  const int64_t offset = 54 + 4 * int64_t{colours};
  const int64_t fileSize = offset + (rowBytes + padding) * image.height;
  // The header's size fields are 32 bits wide.
  if (fileSize > int64_t{UINT32_MAX}) {
    ThrowGraphics<EBmpNotSupported>(GraphicsMessage::BmpNotSupported);
  }

  BYTE header[54] = {'B', 'M'};
  PutU32(header + 2, DWORD(fileSize));
  PutU32(header + 10, DWORD(offset));
  PutU32(header + 14, 40);
  PutU32(header + 18, DWORD(image.width));
  PutU32(header + 22, DWORD(image.height));
  PutU16(header + 26, 1);
  PutU16(header + 28, DWORD(bits));
  PutU32(header + 38, DWORD(xResolution));
  PutU32(header + 42, DWORD(yResolution));
  PutU32(header + 46, counted ? DWORD(colours) : 0);
  PutU32(header + 50, counted ? DWORD(colours) : 0);
  WriteChecked(file, header, sizeof header);
  WriteChecked(file, image.palette, 4 * int64_t{colours});

  // Rows are converted into one reused batch of file rows, written in large
  // pieces; palette rows get their unused tail bits cleared on the way.
  const size_t fileRow = size_t(rowBytes + padding);
  const size_t rowsPerBatch = std::max<size_t>(1, kBatchBytes / fileRow);
  std::vector<BYTE> batch(std::min(rowsPerBatch, size_t(image.height)) * fileRow);
  BYTE tailMask = 0xFF;
  const int used = int(int64_t{image.width} * bits % 8);
  if (bits <= 8 && used != 0) tailMask = BYTE(0xFF << (8 - used));
  size_t filled = 0;
  Progress(0);
  for (int i = 0; i < image.height; ++i) {
    Progress(DWORD(int64_t{i} * 100 / image.height));
    const BYTE* row = image.Row(image.height - 1 - i);
    BYTE* out = batch.data() + filled;
    if (bits <= 8) {
      std::memcpy(out, row, size_t(rowBytes));
      out[rowBytes - 1] &= tailMask;
    } else if (bits == 32) {
      std::memcpy(out, image.RowTo32Func(row, &image), size_t(rowBytes));
    } else if (image.bpp == 32) {
      Pack32To24(row, out, image.width);
    } else {
      std::memcpy(out, image.RowTo24Func(row, &image), size_t(rowBytes));
    }
    std::memset(out + rowBytes, 0, size_t(padding));
    filled += fileRow;
    if (filled == batch.size()) {
      WriteChecked(file, batch.data(), int64_t(filled));
      filled = 0;
    }
  }
  WriteChecked(file, batch.data(), int64_t(filled));
  Progress(100);
}

void CBmpWriter::Save(const char* path, const CGraphicsImage& image) {
  SaveWith(path, failures, [&](CFileStream& file) { Write(file, image); });
}

void CBmpWriter::Save(const wchar16* path, const CGraphicsImage& image) {
  SaveWith(path, failures, [&](CFileStream& file) { Write(file, image); });
}

void CBmpWriter::WriteEx(CFileStream& file, const CGraphicsImage& image, BYTE saveFlags) {
  TakeFlags(image, saveFlags);
  Write(file, image);
}

void CBmpWriter::SaveEx(const char* path, const CGraphicsImage& image, BYTE saveFlags) {
  TakeFlags(image, saveFlags);
  Save(path, image);
}

void CBmpWriter::SaveEx(const wchar16* path, const CGraphicsImage& image, BYTE saveFlags) {
  TakeFlags(image, saveFlags);
  Save(path, image);
}
