// XPM files: a C array of strings with a values line, one line per colour
// (a key of printable characters and "c #RRGGBB") and one line per pixel
// row. Images with 1024 or more colours are quantised to 256 first.
#pragma once

#include "graphics/writer.h"

class CXpmWriter : public CImageWriter {
 public:
  void Write(CFileStream& file, const CGraphicsImage& image) override;
  void Save(const wchar16* path, const CGraphicsImage& image) override;
  void Save(const char* path, const CGraphicsImage& image) override;

  // Makes the C array name from the file name of `path`: at most 63
  // characters, each that is no letter, '_' or (after the first) digit
  // replaced by '_'.
  void SetArrayName(const char* path);
  void SetArrayName(const wchar16* path);

  // The open and write errors of XPM files.
  static const WriterFailures failures;

  char arrayName[64] = {};
};
