// Portable anymap files: binary PBM (P4) for 1-bit images, binary PPM (P6,
// 8 bits per sample) for every other depth. Rows from the top, no padding.
#pragma once

#include "graphics/writer.h"

class CPnmWriter : public CImageWriter {
 public:
  void Write(CFileStream& file, const CGraphicsImage& image) override;
  void Save(const wchar16* path, const CGraphicsImage& image) override;
  void Save(const char* path, const CGraphicsImage& image) override;

  // The open and write errors of PNM files.
  static const WriterFailures failures;
};
