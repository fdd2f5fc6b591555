// The writers the SaveImage tests run over, with their magic bytes and the
// texts of their open and write errors.
#pragma once

#include <memory>
#include <vector>

#include "graphics/formats/bmp_writer.h"
#include "graphics/formats/eps_writer.h"
#include "graphics/formats/jpeg_writer.h"
#include "graphics/formats/png_writer.h"
#include "graphics/formats/pnm_writer.h"
#include "graphics/formats/xpm_writer.h"
#include "graphics/formats/xwd_writer.h"

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

inline std::vector<BYTE> EpsMagic() {
  const char text[] = "%!PS-Adobe-3.0 EPSF-3.0\n";
  return std::vector<BYTE>(text, text + sizeof text - 1);
}

inline std::vector<BYTE> XpmMagic() {
  const char text[] = "/* XPM */\n";
  return std::vector<BYTE>(text, text + sizeof text - 1);
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
      {".pnm",
       MakeWriter<CPnmWriter>,
       {'P', '6', ' '},
       "Fehler beim \326ffnen der PNM-Datei !",
       "Fehler beim Schreiben PNM-Datei !",
       &CPnmWriter::failures,
       "Falsche Bild-Daten !"},
      {".xwd",
       MakeWriter<CXwdWriter>,
       {0, 0, 0, 107, 0, 0, 0, 7},
       "Fehler beim \326ffnen der XWD-Datei !",
       "Fehler beim Schreiben XWD-Datei !",
       &CXwdWriter::failures,
       "Falsche Bild-Daten !"},
      {".eps",
       MakeWriter<CEpsWriter>,
       EpsMagic(),
       "Fehler beim \326ffnen der EPS-Datei !",
       "Fehler beim Schreiben EPS-Datei !",
       &CEpsWriter::failures,
       "Falsche Bild-Daten !"},
      {".ps",
       MakeWriter<CEpsWriter>,
       EpsMagic(),
       "Fehler beim \326ffnen der EPS-Datei !",
       "Fehler beim Schreiben EPS-Datei !",
       &CEpsWriter::failures,
       "Falsche Bild-Daten !"},
      {".prn",
       MakeWriter<CEpsWriter>,
       EpsMagic(),
       "Fehler beim \326ffnen der EPS-Datei !",
       "Fehler beim Schreiben EPS-Datei !",
       &CEpsWriter::failures,
       "Falsche Bild-Daten !"},
      {".xpm",
       MakeWriter<CXpmWriter>,
       XpmMagic(),
       "Fehler beim Erzeugen der Dateio",
       "Fehler beim Schreiben in die Datei",
       &CXpmWriter::failures,
       "Kann Format nicht verarbeiten"},
  };
  return writers;
}

}  // namespace savetest
