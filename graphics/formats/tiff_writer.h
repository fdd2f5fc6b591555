// Little-endian baseline TIFF files: one directory after the strips, the
// strips raw, LZW or PackBits compressed. Offsets count from where the write
// began, so a TIFF can sit inside a larger stream.
#pragma once

#include <vector>

#include "graphics/formats/tiff_compress.h"
#include "graphics/writer.h"

// Values of CTiffWriter::compression.
enum : DWORD {
  TIFF_COMPRESSION_NONE = 1,
  TIFF_COMPRESSION_LZW = 5,
  TIFF_COMPRESSION_PACKBITS = 32773,
};

class CTiffWriter : public CImageWriter {
 public:
  void Write(CFileStream& file, const CGraphicsImage& image) override;
  void Save(const wchar16* path, const CGraphicsImage& image) override;
  void Save(const char* path, const CGraphicsImage& image) override;

  // The open and write errors of TIFF files.
  static const WriterFailures failures;

  DWORD compression = TIFF_COMPRESSION_NONE;
  DWORD xResolution = 2835;  // pixels per metre
  DWORD yResolution = 2835;
  DWORD keepAlpha = 0;  // 32-bit images: write the fourth byte as a fourth sample

 private:
  CTiffLzwCoder lzw_;
};
