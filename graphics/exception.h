// The exceptions of the graphics library. The image writers and the sequence
// reader throw them by value; SaveImage catches them by reference and turns
// them into a result code and GraphicsErrorText, so none leaves the library.
// Every message text lives in one table (exception.cpp), in Latin-1.
#pragma once

#include "platform/types.h"

// The library's messages, one per row of the text table.
enum class GraphicsMessage : int {
  CreateFile,            // "Fehler beim Erzeugen der Datei"
  BadImage,              // "Ungültiges Bild"
  Internal,              // "Interner Fehler"
  WriteFailed,           // "Fehler beim Schreiben"
  Abort,                 // "Benutzer Abbruch"
  TlsFileOpen,           // "Fehler beim Öffnen der DOZ-Datei !"
  DataError,             // "Falsche Bild-Daten !"
  TlsCorrupt,            // "Beschädigte DOZ-Datei !"
  TlsFileWrite,          // "Fehler beim Schreiben DOZ-Datei !"
  TlsCrc,                // "Falsche CRC-Summe !"
  TlsUnknown,            // "Fehler beim Unknown Error"
  TlsNotFound,           // "Das Bild wurde in der Sequenz nicht gefunden !"
  TlsNotATlsFile,        // "Die Datei ist keine DOZ-Datei !"
  TlsFileRead,           // "Fehler beim Lesen der DOZ-Datei !"
  EpsFileOpen,           // "Fehler beim Öffnen der EPS-Datei !"
  EpsFileWrite,          // "Fehler beim Schreiben EPS-Datei !"
  PnmFileOpen,           // "Fehler beim Öffnen der PNM-Datei !"
  PnmFileWrite,          // "Fehler beim Schreiben PNM-Datei !"
  XwdFileOpen,           // "Fehler beim Öffnen der XWD-Datei !"
  XwdFileWrite,          // "Fehler beim Schreiben XWD-Datei !"
  XpmCreateFile,         // "Fehler beim Erzeugen der Dateio"
  CannotHandle,          // "Kann Format nicht verarbeiten"
  XpmWrite,              // "Fehler beim Schreiben in die Datei"
  TiffModeNotSupported,  // "Modus ist nicht unterstützt"
  TiffEmptyImage,        // "Leeres Bild übergeben"
  GifNoImages,           // "Es wurden keine Bilder angegeben"
  GifImageMissing,       // "Ein Bild Fehlt in der Liste"
  GifImageEmpty,         // "Das Bils ist leer"
  BmpFileOpen,           // "Fehler beim Öffnen der BMP-Datei !"
  BmpFileWrite,          // "Fehler beim Schreiben BMP-Datei !"
  BmpNotSupported,       // "Das Format der BMP-Datei wird nicht unterstützt !"
  JpegOpen,              // "Fehler beim Öffnen der Datei !"
  UnknownFormat,         // "Unbekanntes Datei Format." (SaveImage)
  UnknownError,          // "Unbekannter Fehler" (SaveImage)
  Count
};

// The text of a message.
const char* GraphicsMessageText(GraphicsMessage message);

inline constexpr int GRAPHICS_EXCEPTION_TEXT = 256;

// A message of at most 256 characters (zero-padded; a message of exactly 256
// has no terminator) and a code: 1 for an abort, 0 otherwise.
class EGraphicsException {
 public:
  EGraphicsException() = default;
  EGraphicsException(const char* message, DWORD code);
  explicit EGraphicsException(GraphicsMessage message, DWORD code = 0)
      : EGraphicsException(GraphicsMessageText(message), code) {}

  char text[GRAPHICS_EXCEPTION_TEXT] = {};
  DWORD code = 0;
};

#define ZELVARO_GRAPHICS_EXCEPTION(Name, Base) \
  class Name : public Base {                   \
   public:                                     \
    using Base::Base;                          \
  };

ZELVARO_GRAPHICS_EXCEPTION(EGraphicsAbort, EGraphicsException)
ZELVARO_GRAPHICS_EXCEPTION(ETlsFileOpenError, EGraphicsException)
ZELVARO_GRAPHICS_EXCEPTION(ETlsDataError, EGraphicsException)
ZELVARO_GRAPHICS_EXCEPTION(ETlsCorruptFile, EGraphicsException)
ZELVARO_GRAPHICS_EXCEPTION(ETlsFileWriteError, EGraphicsException)
ZELVARO_GRAPHICS_EXCEPTION(ETlsCrcError, EGraphicsException)
ZELVARO_GRAPHICS_EXCEPTION(ETlsUnknownError, EGraphicsException)
ZELVARO_GRAPHICS_EXCEPTION(ETlsNotFound, EGraphicsException)
ZELVARO_GRAPHICS_EXCEPTION(ETlsNotATlsFile, EGraphicsException)
ZELVARO_GRAPHICS_EXCEPTION(ETlsFileReadError, EGraphicsException)
ZELVARO_GRAPHICS_EXCEPTION(EEpsFileOpenError, EGraphicsException)
ZELVARO_GRAPHICS_EXCEPTION(EEpsFileWriteError, EGraphicsException)
ZELVARO_GRAPHICS_EXCEPTION(EEpsDataError, EGraphicsException)
ZELVARO_GRAPHICS_EXCEPTION(EPnmFileOpenError, EGraphicsException)
ZELVARO_GRAPHICS_EXCEPTION(EPnmFileWriteError, EGraphicsException)
ZELVARO_GRAPHICS_EXCEPTION(EPnmDataError, EGraphicsException)
ZELVARO_GRAPHICS_EXCEPTION(EXwdFileOpenError, EGraphicsException)
ZELVARO_GRAPHICS_EXCEPTION(EXwdFileWriteError, EGraphicsException)
ZELVARO_GRAPHICS_EXCEPTION(EXwdDataError, EGraphicsException)
ZELVARO_GRAPHICS_EXCEPTION(EXpmError, EGraphicsException)
ZELVARO_GRAPHICS_EXCEPTION(ETiffError, EGraphicsException)
ZELVARO_GRAPHICS_EXCEPTION(EGifError, EGraphicsException)
ZELVARO_GRAPHICS_EXCEPTION(EBmpFileOpenError, EGraphicsException)
ZELVARO_GRAPHICS_EXCEPTION(EBmpFileWriteError, EGraphicsException)
ZELVARO_GRAPHICS_EXCEPTION(EBmpNotSupported, EGraphicsException)
ZELVARO_GRAPHICS_EXCEPTION(EBmpDataError, EGraphicsException)
ZELVARO_GRAPHICS_EXCEPTION(EJpegOpenError, EGraphicsException)
ZELVARO_GRAPHICS_EXCEPTION(EJpegError, EGraphicsException)
ZELVARO_GRAPHICS_EXCEPTION(EJpegBadData, EJpegError)

#undef ZELVARO_GRAPHICS_EXCEPTION

// Throws `Class` with the table's text and code 0 (EGraphicsAbort: code 1).
template <class Class>
[[noreturn]] void ThrowGraphics(GraphicsMessage message) {
  throw Class(message, message == GraphicsMessage::Abort ? 1u : 0u);
}
