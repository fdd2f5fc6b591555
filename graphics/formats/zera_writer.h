// Writes "ZERA" image sequence files (graphics/formats/zera_format.h): single
// images through SaveImage, or whole sequences with display times and the
// index of the image shown next.
#pragma once

#include "graphics/formats/zera_format.h"
#include "graphics/writer.h"

// Values of CTlsWriter::timingMode.
enum : DWORD {
  ZERA_TIMING_NONE = 0,       // 5000 ms, each image followed by the next
  ZERA_TIMING_GIVEN = 1,      // the next index as set
  ZERA_TIMING_AUTOMATIC = 2,  // the time as set, each image followed by the next
};

class CTlsWriter : public CImageWriter {
 public:
  CTlsWriter() = default;

  // A single image: WriteImage(file, image, 0, 1).
  void Write(CFileStream& file, const CGraphicsImage& image) override;
  void Save(const wchar16* path, const CGraphicsImage& image) override;
  void Save(const char* path, const CGraphicsImage& image) override;
  // Image `index` of a file of `count` images; the images go in order 0, 1,
  // ..., each call starting at the file's start. Any other index but 0
  // (which starts a new file) is refused before a byte is written.
  virtual void WriteImage(CFileStream& file, const CGraphicsImage& image, DWORD index, DWORD count);
  // `count` images (1..255); `blocks`, `times` and `nexts` may each be null.
  virtual void WriteSequence(CFileStream& file, const CGraphicsImage* images, DWORD count,
                             const DWORD (*blocks)[ZERA_BLOCK_WORDS], const DWORD* times,
                             const BYTE* nexts);
  virtual void SaveSequence(const char* path, const CGraphicsImage* images, DWORD count,
                            const DWORD (*blocks)[ZERA_BLOCK_WORDS], const DWORD* times,
                            const BYTE* nexts);
  virtual void SaveSequence(const wchar16* path, const CGraphicsImage* images, DWORD count,
                            const DWORD (*blocks)[ZERA_BLOCK_WORDS], const DWORD* times,
                            const BYTE* nexts);

  // 8 or 32 are kept and returned; anything else means automatic (0).
  int SetBitsPerPixel(int bits);
  // Returns the previous value.
  DWORD SetUserValue(DWORD value);
  // `time` in milliseconds (at most 65535); a negative `next` means "the
  // following image".
  void SetTiming(DWORD time, int next);
  // Written for every later image instead of the block the image carries.
  void SetBlock(const DWORD block[ZERA_BLOCK_WORDS]);

  // The open and write errors of ZERA files.
  static const WriterFailures failures;

  int bitsPerPixel = 0;
  DWORD timingMode = ZERA_TIMING_NONE;
  DWORD blockGiven = 0;
  DWORD userValue = 0;
  WORD crc = 0;
  WORD displayTime = 0;
  BYTE nextIndex = 0;
  BYTE flags = 0;
  ZeraHeader header;
  DWORD block[ZERA_BLOCK_WORDS] = {};

 private:
  int64_t start_ = 0;  // where the file began, for the images after the first
  DWORD nextImage_ = 0;  // the only index but 0 that may be written next
};
