#include "graphics/formats/bmp_writer.h"

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

  static const BYTE kZeros[4] = {};
  const bool indexed = bits <= 8;
  // Palette rows go through a copy whose unused tail bits are cleared.
  std::vector<BYTE> own;
  BYTE tailMask = 0xFF;
  if (indexed) {
    own.resize(size_t(rowBytes + padding));
    const int used = int(int64_t{image.width} * bits % 8);
    if (used != 0) tailMask = BYTE(0xFF << (8 - used));
  }
  Progress(0);
  for (int i = 0; i < image.height; ++i) {
    Progress(DWORD(int64_t{i} * 100 / image.height));
    const BYTE* row = image.Row(image.height - 1 - i);
    if (indexed) {
      std::memcpy(own.data(), row, size_t(rowBytes));
      own[size_t(rowBytes - 1)] &= tailMask;
      WriteChecked(file, own.data(), rowBytes + padding);
    } else if (bits == 32) {
      WriteChecked(file, image.RowTo32Func(row, &image), rowBytes);
    } else {
      WriteChecked(file, image.RowTo24Func(row, &image), rowBytes);
      WriteChecked(file, kZeros, padding);
    }
  }
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
