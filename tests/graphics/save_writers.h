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
       &CBmpWriter::failures},
  };
  return writers;
}

}  // namespace savetest
