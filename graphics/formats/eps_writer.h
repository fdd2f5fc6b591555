// Encapsulated PostScript files that draw the picture with "image" (1-bit and
// grey-ramp 8-bit images) or "colorimage" (everything else) from hexadecimal
// data, scaled to fit an A4 page inside 15-point margins.
#pragma once

#include "graphics/writer.h"

class CEpsWriter : public CImageWriter {
 public:
  void Write(CFileStream& file, const CGraphicsImage& image) override;
  void Save(const wchar16* path, const CGraphicsImage& image) override;
  void Save(const char* path, const CGraphicsImage& image) override;

  // The open and write errors of EPS files.
  static const WriterFailures failures;
};
