#include "graphics/exception.h"

#include <iterator>

namespace {

// Latin-1, octal escapes: 326 = O umlaut, 344 = a umlaut, 374 = u umlaut.
constexpr const char* kMessages[] = {
    "Fehler beim Erzeugen der Datei",
    "Ung\374ltiges Bild",
    "Interner Fehler",
    "Fehler beim Schreiben",
    "Benutzer Abbruch",
    "Fehler beim \326ffnen der DOZ-Datei !",
    "Falsche Bild-Daten !",
    "Besch\344digte DOZ-Datei !",
    "Fehler beim Schreiben DOZ-Datei !",
    "Falsche CRC-Summe !",
    "Fehler beim Unknown Error",
    "Das Bild wurde in der Sequenz nicht gefunden !",
    "Die Datei ist keine DOZ-Datei !",
    "Fehler beim Lesen der DOZ-Datei !",
    "Fehler beim \326ffnen der EPS-Datei !",
    "Fehler beim Schreiben EPS-Datei !",
    "Fehler beim \326ffnen der PNM-Datei !",
    "Fehler beim Schreiben PNM-Datei !",
    "Fehler beim \326ffnen der XWD-Datei !",
    "Fehler beim Schreiben XWD-Datei !",
    "Fehler beim Erzeugen der Dateio",
    "Kann Format nicht verarbeiten",
    "Fehler beim Schreiben in die Datei",
    "Modus ist nicht unterst\374tzt",
    "Leeres Bild \374bergeben",
    "Es wurden keine Bilder angegeben",
    "Ein Bild Fehlt in der Liste",
    "Das Bils ist leer",
    "Fehler beim \326ffnen der BMP-Datei !",
    "Fehler beim Schreiben BMP-Datei !",
    "Das Format der BMP-Datei wird nicht unterst\374tzt !",
    "Fehler beim \326ffnen der Datei !",
    "Unbekanntes Datei Format.",
    "Unbekannter Fehler",
};
static_assert(std::size(kMessages) == size_t(GraphicsMessage::Count));

}  // namespace

const char* GraphicsMessageText(GraphicsMessage message) {
  const auto index = size_t(message);
  return index < std::size(kMessages) ? kMessages[index] : "";
}

EGraphicsException::EGraphicsException(const char* message, DWORD value) : code(value) {
  if (message == nullptr) return;
  for (size_t i = 0; i < sizeof text && message[i] != 0; ++i) text[i] = message[i];
}
