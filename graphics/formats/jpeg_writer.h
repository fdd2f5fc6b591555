// Baseline JFIF files through libjpeg (version 62 interface), in colour or
// greyscale, with the comment as a COM marker.
#pragma once

#include "graphics/writer.h"

class CJpegWriter : public CImageWriter {
 public:
  void Write(CFileStream& file, const CGraphicsImage& image) override;
  void Save(const wchar16* path, const CGraphicsImage& image) override;
  void Save(const char* path, const CGraphicsImage& image) override;

  // 0 becomes 1, above 100 becomes 100; returns the stored quality.
  DWORD SetQuality(DWORD q);
  DWORD GetQuality() const { return quality; }
  void SetGreyscale(bool on) { greyscale = on ? 1 : 0; }
  bool GetGreyscale() const { return greyscale != 0; }

  // The open and write errors of JPEG files.
  static const WriterFailures failures;

  DWORD quality = 75;
  BYTE greyscale = 0;
};
