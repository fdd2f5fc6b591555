#include "graphics/formats/zera_reader.h"

#include <cstring>
#include <vector>

namespace {

template <class Class>
[[noreturn]] void Fail(GraphicsMessage message) {
  ThrowGraphics<Class>(message);
}

[[noreturn]] void Corrupt() {
  Fail<ETlsCorruptFile>(GraphicsMessage::TlsCorrupt);
}

// Reads exactly `count` bytes and adds them to the CRC.
void ReadChecked(CFileStream& file, BYTE* out, size_t count, WORD& crc) {
  if (file.Read(out, int(count)) != int(count)) Corrupt();
  crc = Crc16Update(out, count, crc);
}

bool OpenForReading(CFileStream& file, const char* path) {
  return file.Open(path, STREAM_MODE_READ, false);
}
bool OpenForReading(CFileStream& file, const wchar16* path) {
  return file.OpenW(path, STREAM_MODE_READ, false);
}

}  // namespace

void CTlsReader::Progress(DWORD percent) {
  if (comment.progress == nullptr) return;
  BYTE abort = 0;
  comment.progress(&comment, comment.user, 1, 1, percent, &abort);
  if (abort != 0) ThrowGraphics<EGraphicsAbort>(GraphicsMessage::Abort);
}

void CTlsReader::GetTiming(WORD* time, BYTE* next, BYTE* flagsOut) const {
  if (time != nullptr) *time = displayTime;
  if (next != nullptr) *next = nextIndex;
  if (flagsOut != nullptr) *flagsOut = flags;
}

void CTlsReader::GetBlock(DWORD out[ZERA_BLOCK_WORDS]) const {
  std::memcpy(out, block, sizeof block);
}

void CTlsReader::Read(CFileStream& file, CGraphicsImage& image) {
  ReadImage(file, image, index);
}

void CTlsReader::Load(const char* path, CGraphicsImage& image) {
  LoadT(path, image, index);
}

void CTlsReader::Load(const wchar16* path, CGraphicsImage& image) {
  LoadT(path, image, index);
}

void CTlsReader::Load(const char* path, CGraphicsImage& image, DWORD wanted) {
  LoadT(path, image, wanted);
}

void CTlsReader::Load(const wchar16* path, CGraphicsImage& image, DWORD wanted) {
  LoadT(path, image, wanted);
}

template <class Char>
void CTlsReader::LoadT(const Char* path, CGraphicsImage& image, DWORD wanted) {
  CFileStream file(32768);
  if (path == nullptr || !OpenForReading(file, path)) {
    Fail<ETlsFileOpenError>(GraphicsMessage::TlsFileOpen);
  }
  try {
    ReadImage(file, image, wanted);
  } catch (...) {
    file.Close();
    throw;
  }
  file.Close();
}

void CTlsReader::ReadImage(CFileStream& file, CGraphicsImage& image, DWORD wanted) {
  BYTE headerBytes[ZERA_HEADER_SIZE];
  const int start = file.Tell();
  if (file.Read(headerBytes, sizeof headerBytes) != int(sizeof headerBytes)) {
    Fail<ETlsFileReadError>(GraphicsMessage::TlsFileRead);
  }
  ZeraHeader read;
  if (!read.FromBytes(headerBytes)) Fail<ETlsNotATlsFile>(GraphicsMessage::TlsNotATlsFile);
  if ((read.bytesPerPixel != 1 && read.bytesPerPixel != 4) || read.width == 0 ||
      read.height == 0 || read.width > ZERA_MAX_SIDE || read.height > ZERA_MAX_SIDE) {
    Corrupt();
  }
  if (wanted > read.lastIndex) Fail<ETlsNotFound>(GraphicsMessage::TlsNotFound);

  // A file too short for its records is refused before any memory is taken.
  const DWORD count = DWORD{read.lastIndex} + 1;
  const uint64_t rowBytes = read.RowBytes();
  const uint64_t needed = ZERA_HEADER_SIZE + count * read.RecordBytes();
  const int size = file.GetSize();
  if (start >= 0 && size >= 0 && uint64_t(size - start) < needed) Corrupt();

  CGraphicsImage result;
  if (!result.Create(read.bytesPerPixel * 8, read.width, read.height, 0, nullptr)) {
    Fail<ETlsUnknownError>(GraphicsMessage::TlsUnknown);
  }

  headerBytes[10] = headerBytes[11] = 0;
  WORD crc = Crc16Update(headerBytes, sizeof headerBytes, 0);
  std::vector<BYTE> row(static_cast<size_t>(rowBytes));
  BYTE blockBytes[ZERA_BLOCK_SIZE];
  BYTE trailer[ZERA_TRAILER_SIZE] = {};
  DWORD wantedBlock[ZERA_BLOCK_WORDS] = {};
  BYTE wantedTrailer[ZERA_TRAILER_SIZE] = {};
  const uint64_t totalRows = uint64_t{count} * read.height;
  const size_t pixelBytes = size_t(read.width) * read.bytesPerPixel;
  Progress(0);
  for (DWORD i = 0; i < count; ++i) {
    ReadChecked(file, blockBytes, sizeof blockBytes, crc);
    for (int y = 0; y < read.height; ++y) {
      Progress(DWORD((uint64_t{i} * read.height + DWORD(y)) * 100 / totalRows));
      ReadChecked(file, row.data(), row.size(), crc);
      if (i == wanted) std::memcpy(result.Row(y), row.data(), pixelBytes);
    }
    if (count > 1) ReadChecked(file, trailer, sizeof trailer, crc);
    if (i == wanted) {
      for (int w = 0; w < ZERA_BLOCK_WORDS; ++w) {
        wantedBlock[w] = DWORD(blockBytes[4 * w]) | DWORD(blockBytes[4 * w + 1]) << 8 |
                         DWORD(blockBytes[4 * w + 2]) << 16 | DWORD(blockBytes[4 * w + 3]) << 24;
      }
      std::memcpy(wantedTrailer, trailer, sizeof trailer);
    }
  }
  if (crc != read.crc) Fail<ETlsCrcError>(GraphicsMessage::TlsCrc);

  if (read.bytesPerPixel == 1) {
    for (DWORD i = 0; i < 256; ++i) {
      result.SetPaletteEntryRGBA(int(i), (i & 0x40) != 0 ? 255 : 0, (i & 0x20) != 0 ? 255 : 0,
                                 (i & 0x10) != 0 ? 255 : 0, BYTE(i & 0x8F));
    }
  }
  ZeraBlockIntoImage(result, wantedBlock);

  // Copied, not swapped: the target keeps its pens, font and callback.
  result.SetProgressCallback(image.progressFunc, image.progressUser);
  if (!image.Copy(result)) Fail<ETlsUnknownError>(GraphicsMessage::TlsUnknown);
  header = read;
  std::memcpy(block, wantedBlock, sizeof block);
  displayTime = WORD(wantedTrailer[0] | wantedTrailer[1] << 8);
  nextIndex = wantedTrailer[2];
  flags = wantedTrailer[3];
  Progress(100);
}
