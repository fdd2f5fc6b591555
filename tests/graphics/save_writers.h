// The writers the SaveImage tests run over, with their magic bytes and the
// texts of their open and write errors.
#pragma once

#include <memory>
#include <vector>

#include "graphics/formats/bmp_writer.h"
#include "graphics/formats/jpeg_writer.h"
#include "graphics/formats/png_writer.h"

namespace savetest {

struct WriterCase {
  const char* extension;
  std::unique_ptr<CImageWriter> (*make)();
  std::vector<BYTE> magic;
  const char* openText;
  const char* writeText;
  const WriterFailures* failures;
  const char* emptyText;  // an image without pixels
};

template <class Writer>
std::unique_ptr<CImageWriter> MakeWriter() {
  return std::make_unique<Writer>();
}

inline const std::vector<WriterCase>& Writers() {
  static const std::vector<WriterCase> writers = {
      {".bmp",
       MakeWriter<CBmpWriter>,
       {'B', 'M'},
       "Fehler beim \326ffnen der BMP-Datei !",
       "Fehler beim Schreiben BMP-Datei !",
       &CBmpWriter::failures,
       "Falsche Bild-Daten !"},
      {".png",
       MakeWriter<CPngWriter>,
       {0x89, 'P', 'N', 'G', 13, 10, 26, 10},
       "Fehler beim Erzeugen der Datei",
       "Fehler beim Schreiben",
       &CPngWriter::failures,
       "Ung\374ltiges Bild"},
      {".jpg",
       MakeWriter<CJpegWriter>,
       {0xFF, 0xD8, 0xFF},
       "Fehler beim \326ffnen der Datei !",
       "Output file write error --- out of disk space?",
       &CJpegWriter::failures,
       "Falsche Bild-Daten !"},
      {".jpeg",
       MakeWriter<CJpegWriter>,
       {0xFF, 0xD8, 0xFF},
       "Fehler beim \326ffnen der Datei !",
       "Output file write error --- out of disk space?",
       &CJpegWriter::failures,
       "Falsche Bild-Daten !"},
  };
  return writers;
}

}  // namespace savetest
