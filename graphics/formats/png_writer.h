// PNG files through libpng: palette images as palette PNGs of their own bit
// depth, everything else as 8-bit RGB, or RGBA for 32-bit images with alpha.
#pragma once

#include "graphics/writer.h"

class CPngWriter : public CImageWriter {
 public:
  // These three use the writer's keepAlpha setting.
  void Write(CFileStream& file, const CGraphicsImage& image) override;
  void Save(const wchar16* path, const CGraphicsImage& image) override;
  void Save(const char* path, const CGraphicsImage& image) override;
  // alpha bit 0: a 32-bit image keeps its fourth byte as the alpha channel.
  virtual void WriteEx(CFileStream& file, const CGraphicsImage& image, int alpha);
  virtual void SaveEx(const char* path, const CGraphicsImage& image, int alpha);
  virtual void SaveEx(const wchar16* path, const CGraphicsImage& image, int alpha);

  // The open and write errors of PNG files.
  static const WriterFailures failures;

  CFileStream* stream = nullptr;  // during a write only
  DWORD keepAlpha = 0;
};
