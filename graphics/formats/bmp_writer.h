// Uncompressed Windows bitmap files: a 14-byte file header, a 40-byte info
// header, the palette and bottom-up rows padded to 4 bytes.
#pragma once

#include "graphics/writer.h"

// Flag of SetFlags: with 8-bit output, write only the palette entries up to
// the highest index the pixels use.
inline constexpr DWORD BMP_FLAG_USED_PALETTE = 0x1;

class CBmpWriter : public CImageWriter {
 public:
  void Write(CFileStream& file, const CGraphicsImage& image) override;
  void Save(const wchar16* path, const CGraphicsImage& image) override;
  void Save(const char* path, const CGraphicsImage& image) override;
  // flags bit 0: write a 32-bit image with 32 bits per pixel.
  virtual void WriteEx(CFileStream& file, const CGraphicsImage& image, BYTE flags);
  virtual void SaveEx(const char* path, const CGraphicsImage& image, BYTE flags);
  virtual void SaveEx(const wchar16* path, const CGraphicsImage& image, BYTE flags);

  // 24 or 32 are kept; anything else means automatic (0).
  int SetBitCount(int bits);
  DWORD SetFlags(DWORD value, DWORD mask);
  // Pixels per metre, written to the info header as they are.
  void SetResolution(int x, int y);

  // The open and write errors of BMP files.
  static const WriterFailures failures;

  int32_t xResolution = 0;
  int32_t yResolution = 0;
  DWORD bitCount = 0;  // 0 automatic, 24 or 32
  DWORD flags = 0;

 private:
  void TakeFlags(const CGraphicsImage& image, BYTE flags);
};
