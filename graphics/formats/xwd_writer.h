// X Window dump files (version 7, ZPixmap): palette images as 8-bit
// PseudoColor with a 256-entry colour map, every other depth as 24-bit
// TrueColor in 32-bit little-endian pixels; rows are padded to 32 bits.
// The header is big-endian.
#pragma once

#include "graphics/writer.h"

class CXwdWriter : public CImageWriter {
 public:
  void Write(CFileStream& file, const CGraphicsImage& image) override;
  void Save(const wchar16* path, const CGraphicsImage& image) override;
  void Save(const char* path, const CGraphicsImage& image) override;

  // The open and write errors of XWD files.
  static const WriterFailures failures;
};
