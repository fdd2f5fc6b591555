// Reads one image of a "ZERA" sequence file (graphics/formats/zera_format.h)
// with its data block, display time and next index. Any bytes are safe to
// read: every size is checked before use, and the target image is replaced
// only when the whole file has been read and its CRC matches.
#pragma once

#include "files/stream.h"
#include "graphics/comment.h"
#include "graphics/exception.h"
#include "graphics/formats/zera_format.h"
#include "graphics/image.h"

class CTlsReader {
 public:
  CTlsReader() = default;
  CTlsReader(const CTlsReader&) = default;
  CTlsReader& operator=(const CTlsReader&) = default;
  virtual ~CTlsReader() = default;

  // The image of the SetIndex index.
  virtual void Read(CFileStream& file, CGraphicsImage& image);
  virtual void Load(const wchar16* path, CGraphicsImage& image);
  virtual void Load(const char* path, CGraphicsImage& image);
  // Image `index` (0 = the first) from the stream's position on.
  virtual void ReadImage(CFileStream& file, CGraphicsImage& image, DWORD index);
  virtual void Load(const char* path, CGraphicsImage& image, DWORD index);
  virtual void Load(const wchar16* path, CGraphicsImage& image, DWORD index);

  void SetIndex(DWORD value) { index = value; }
  void SetProgressCallback(ImageWriterProgressFunc fn, DWORD user) {
    comment.progress = fn;
    comment.user = user;
  }
  // After a read: the header's user value, the image's display time, next
  // index and flags (all 0 in a file of one image), and its block.
  DWORD GetUserValue() const { return header.userValue; }
  void GetTiming(WORD* time, BYTE* next, BYTE* flagsOut) const;
  void GetBlock(DWORD out[ZERA_BLOCK_WORDS]) const;
  // The header of the last file read.
  const ZeraHeader& Header() const { return header; }

  CImageComment comment;  // the progress callback

 private:
  void Progress(DWORD percent);
  template <class Char>
  void LoadT(const Char* path, CGraphicsImage& image, DWORD wanted);

  DWORD index = 0;
  ZeraHeader header;
  WORD displayTime = 0;
  BYTE nextIndex = 0;
  BYTE flags = 0;
  DWORD block[ZERA_BLOCK_WORDS] = {};
};
