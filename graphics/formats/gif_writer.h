// GIF89a files: one image, or a list of images as an animation, each coded
// with GIF's LZW. Images of more than 8 bits per pixel are quantised to an
// 8-bit palette first. The first image gives the screen size and the global
// colour table; a later frame whose colours differ gets its own table.
#pragma once

#include <vector>

#include "graphics/formats/gif_lzw.h"
#include "graphics/writer.h"

class CGifWriter : public CImageWriter {
 public:
  void Write(CFileStream& file, const CGraphicsImage& image) override;
  void Save(const wchar16* path, const CGraphicsImage& image) override;
  void Save(const char* path, const CGraphicsImage& image) override;

  // An animation of the first `count` images of the list (0 counts as 1), in
  // list order, each shown for the frame delay, looping endlessly.
  void WriteSequence(CFileStream& file, CGraphicsImage** images, DWORD count);
  void SaveSequence(const char* path, CGraphicsImage** images, DWORD count);
  void SaveSequence(const wchar16* path, CGraphicsImage** images, DWORD count);

  // The open and write errors of GIF files.
  static const WriterFailures failures;

  // The palette index shown as transparent; 256 or more (also SaveImage's -1
  // stored as 0xFFFFFFFF) means none.
  DWORD transparentIndex = 256;

 private:
  // Checks the list and keeps it for the one write that follows.
  const CGraphicsImage& BeginSequence(CGraphicsImage** images, DWORD count);
  void WriteFrame(const CGraphicsImage& frame, const CGraphicsImage& first, int tableBits,
                  DWORD count);
  void ProgressRow();
  // Hands the bytes gathered so far to the stream.
  void Drain(bool all);

  CFileStream* file_ = nullptr;            // during a write only
  CGraphicsImage** images_ = nullptr;      // null for a single image
  DWORD background_ = 0;                   // background colour index
  DWORD imageCount_ = 1;
  DWORD frameDelay_ = 50;                  // hundredths of a second
  DWORD progressAt_ = 0;                   // percent in the top 8 bits
  DWORD progressStep_ = 0;
  CGifLzwCoder lzw_;
  std::vector<BYTE> out_;
  std::vector<BYTE> row_;
};
