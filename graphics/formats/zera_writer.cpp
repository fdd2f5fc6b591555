#include "graphics/formats/zera_writer.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

[[noreturn]] void ThrowOpenError() {
  ThrowGraphics<ETlsFileOpenError>(GraphicsMessage::TlsFileOpen);
}
[[noreturn]] void ThrowWriteError() {
  ThrowGraphics<ETlsFileWriteError>(GraphicsMessage::TlsFileWrite);
}
[[noreturn]] void ThrowDataError() {
  ThrowGraphics<ETlsDataError>(GraphicsMessage::DataError);
}

// Files stay below about 1920 MiB, counted in 64 KiB pieces per image.
constexpr uint64_t kMaxPieces = 30720;

void WriteChecked(CFileStream& file, const void* data, size_t count) {
  if (file.Write(data, int(count)) != int(count)) ThrowWriteError();
}

// Moves to `at`; false when the stream cannot move there.
bool SeekTo(CFileStream& file, int64_t at) {
  return at >= 0 && at <= INT32_MAX && file.Seek(int(at), 0) >= 0 && file.Tell() == at;
}

}  // namespace

const WriterFailures CTlsWriter::failures = {ThrowOpenError, ThrowWriteError};

int CTlsWriter::SetBitsPerPixel(int bits) {
  bitsPerPixel = bits == 8 || bits == 32 ? bits : 0;
  return bitsPerPixel;
}

DWORD CTlsWriter::SetUserValue(DWORD value) {
  return std::exchange(userValue, value);
}

void CTlsWriter::SetTiming(DWORD time, int next) {
  displayTime = WORD(std::min<DWORD>(time, 65535));
  nextIndex = BYTE(next);
  flags = 0;
  timingMode = next < 0 ? ZERA_TIMING_AUTOMATIC : ZERA_TIMING_GIVEN;
}

void CTlsWriter::SetBlock(const DWORD value[ZERA_BLOCK_WORDS]) {
  std::memcpy(block, value, sizeof block);
  blockGiven = 1;
}

void CTlsWriter::Write(CFileStream& file, const CGraphicsImage& image) {
  WriteImage(file, image, 0, 1);
}

void CTlsWriter::Save(const char* path, const CGraphicsImage& image) {
  SaveWith(path, failures, [&](CFileStream& file) { Write(file, image); });
}

void CTlsWriter::Save(const wchar16* path, const CGraphicsImage& image) {
  SaveWith(path, failures, [&](CFileStream& file) { Write(file, image); });
}

void CTlsWriter::SaveSequence(const char* path, const CGraphicsImage* images, DWORD count,
                              const DWORD (*blocks)[ZERA_BLOCK_WORDS], const DWORD* times,
                              const BYTE* nexts) {
  SaveWith(path, failures,
           [&](CFileStream& file) { WriteSequence(file, images, count, blocks, times, nexts); });
}

void CTlsWriter::SaveSequence(const wchar16* path, const CGraphicsImage* images, DWORD count,
                              const DWORD (*blocks)[ZERA_BLOCK_WORDS], const DWORD* times,
                              const BYTE* nexts) {
  SaveWith(path, failures,
           [&](CFileStream& file) { WriteSequence(file, images, count, blocks, times, nexts); });
}

void CTlsWriter::WriteSequence(CFileStream& file, const CGraphicsImage* images, DWORD count,
                               const DWORD (*blocks)[ZERA_BLOCK_WORDS], const DWORD* times,
                               const BYTE* nexts) {
  // No images would make a file without a header.
  if (images == nullptr || count == 0 || count > ZERA_MAX_IMAGES) ThrowDataError();
  const int start = file.Tell();
  for (DWORD i = 0; i < count; ++i) {
    if (blocks != nullptr) SetBlock(blocks[i]);
    if (times != nullptr) {
      SetTiming(times[i], nexts != nullptr ? int(nexts[i]) : -1);
    } else if (nexts != nullptr) {
      SetTiming(5000, int(nexts[i]));
    }
    WriteImage(file, images[i], i, count);
    if (!SeekTo(file, start)) ThrowWriteError();
  }
}

void CTlsWriter::WriteImage(CFileStream& file, const CGraphicsImage& image, DWORD index,
                            DWORD count) {
  if (!image.HasPixels() || image.width < 1 || image.height < 1) ThrowDataError();
  if (count == 0 || count > ZERA_MAX_IMAGES || index >= count) ThrowDataError();
  // The checksum runs over the records in file order: an image out of order
  // would leave a hole or count a record twice.
  if (index != 0 && index != nextImage_) ThrowDataError();

  if (blockGiven == 0) ZeraBlockFromImage(image, block);

  switch (timingMode) {
    case ZERA_TIMING_GIVEN:
      if (nextIndex >= count) ThrowDataError();
      break;
    case ZERA_TIMING_NONE:
      displayTime = 5000;
      flags = 0;
      [[fallthrough]];
    default:
      nextIndex = BYTE(index + 1 < count ? index + 1 : 0);
  }

  if (index == 0) {
    if (image.width > ZERA_MAX_SIDE || image.height > ZERA_MAX_SIDE) ThrowDataError();
    const int bits = bitsPerPixel != 0 ? bitsPerPixel : image.bpp > 8 ? 32 : 8;
    header.width = WORD(image.width);
    header.height = WORD(image.height);
    header.bytesPerPixel = BYTE(bits / 8);
    header.lastIndex = BYTE(count - 1);
    header.crc = 0;
    header.userValue = userValue;
  } else if (image.width != header.width || image.height != header.height ||
             header.lastIndex != count - 1) {
    ThrowDataError();
  }

  const uint64_t rowBytes = header.RowBytes();
  const uint64_t record = header.RecordBytes();
  if ((record + 65535) / 65536 * count > kMaxPieces) ThrowDataError();

  // A call that fails from here on leaves a file only index 0 can restart.
  nextImage_ = 0;
  BYTE headerBytes[ZERA_HEADER_SIZE];
  if (index == 0) {
    start_ = file.Tell();
    header.ToBytes(headerBytes);
    WriteChecked(file, headerBytes, sizeof headerBytes);
    crc = Crc16Update(headerBytes, sizeof headerBytes, 0);
    Progress(0);
  } else {
    const int64_t at = start_ + ZERA_HEADER_SIZE + int64_t(index) * int64_t(record);
    if (start_ < 0 || !SeekTo(file, at)) {
      ThrowGraphics<ETlsCorruptFile>(GraphicsMessage::TlsCorrupt);
    }
  }

  BYTE blockBytes[ZERA_BLOCK_SIZE];
  for (int i = 0; i < ZERA_BLOCK_WORDS; ++i) {
    for (int b = 0; b < 4; ++b) blockBytes[4 * i + b] = BYTE(block[i] >> (8 * b));
  }
  crc = Crc16Update(blockBytes, sizeof blockBytes, crc);
  WriteChecked(file, blockBytes, sizeof blockBytes);

  const auto width = size_t(image.width);
  std::vector<BYTE> row(size_t(rowBytes), 0);
  const uint64_t total = uint64_t{count} * DWORD(image.height);
  for (int y = 0; y < image.height; ++y) {
    Progress(DWORD((uint64_t{index} * DWORD(image.height) + DWORD(y)) * 100 / total));
    const DWORD* pixels = image.RowCopyTo32Func(image.Row(y), &image);
    if (header.bytesPerPixel == 4) {
      for (size_t x = 0; x < width; ++x) {
        DWORD value;
        std::memcpy(&value, pixels + x, 4);
        value &= ~0x70000000u;
        for (int b = 0; b < 4; ++b) row[4 * x + size_t(b)] = BYTE(value >> (8 * b));
      }
    } else {
      for (size_t x = 0; x < width; ++x) {
        DWORD value;
        std::memcpy(&value, pixels + x, 4);
        row[x] = image.bpp == 1 ? BYTE(((value & 0xC0C0C0) != 0 ? 0x70 : 0) | (value >> 24 & 0x8F))
                                : ZeraOneByte(value);
      }
    }
    crc = Crc16Update(row.data(), row.size(), crc);
    WriteChecked(file, row.data(), row.size());
  }

  if (count > 1) {
    const BYTE trailer[ZERA_TRAILER_SIZE] = {BYTE(displayTime), BYTE(displayTime >> 8), nextIndex,
                                             flags};
    crc = Crc16Update(trailer, sizeof trailer, crc);
    WriteChecked(file, trailer, sizeof trailer);
  }

  if (index + 1 == count) {
    if (!SeekTo(file, start_)) ThrowWriteError();
    header.crc = crc;
    header.ToBytes(headerBytes);
    WriteChecked(file, headerBytes, sizeof headerBytes);
    Progress(100);
  } else {
    nextImage_ = index + 1;
  }
}
