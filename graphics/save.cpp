#include "graphics/save.h"

#include <cstring>
#include <memory>

#include "graphics/exception.h"
#include "graphics/formats/bmp_writer.h"
#include "graphics/formats/eps_writer.h"
#include "graphics/formats/gif_writer.h"
#include "graphics/formats/jpeg_writer.h"
#include "graphics/formats/png_writer.h"
#include "graphics/formats/pnm_writer.h"
#include "graphics/formats/tiff_writer.h"
#include "graphics/formats/xpm_writer.h"
#include "graphics/formats/xwd_writer.h"
#include "graphics/formats/zera_writer.h"
#include "graphics/globals.h"
#include "graphics/writer.h"

namespace {

// GraphicsSaveOption for writers it steers (only when it is -1 or greater).
void ApplyBmpOption(CImageWriter& writer, const CGraphicsImage& image, int option) {
  if (image.bpp == 32) static_cast<CBmpWriter&>(writer).SetBitCount(option >= 0 ? 32 : 24);
}

void ApplyPngOption(CImageWriter& writer, const CGraphicsImage& image, int option) {
  if (image.bpp == 32) static_cast<CPngWriter&>(writer).keepAlpha = option >= 0 ? 1 : 0;
}

struct WriterKind {
  const char* extension;  // upper case, with its dot
  std::unique_ptr<CImageWriter> (*make)();
  void (*applyOption)(CImageWriter& writer, const CGraphicsImage& image, int option);
};

template <class Writer>
std::unique_ptr<CImageWriter> Make() {
  return std::make_unique<Writer>();
}

// -1 stored as 0xFFFFFFFF means no transparency, like any value from 256 up.
void ApplyGifOption(CImageWriter& writer, const CGraphicsImage&, int option) {
  static_cast<CGifWriter&>(writer).transparentIndex = DWORD(option);
}

// Searched in order; the first equal extension wins.
constexpr WriterKind kWriters[] = {
    {".PNG", Make<CPngWriter>, ApplyPngOption},
    {".GIF", Make<CGifWriter>, ApplyGifOption},
    {".BMP", Make<CBmpWriter>, ApplyBmpOption},
    {".JPG", Make<CJpegWriter>, nullptr},
    {".JPEG", Make<CJpegWriter>, nullptr},
    {".XWD", Make<CXwdWriter>, nullptr},
    {".XPM", Make<CXpmWriter>, nullptr},
    {".PNM", Make<CPnmWriter>, nullptr},
    {".TIFF", Make<CTiffWriter>, nullptr},
    {".TIF", Make<CTiffWriter>, nullptr},
    {".PS", Make<CEpsWriter>, nullptr},
    {".EPS", Make<CEpsWriter>, nullptr},
    {".PRN", Make<CEpsWriter>, nullptr},
    {".ZERA", Make<CTlsWriter>, nullptr},
};

bool EqualsUpperAscii(const char* text, const char* upper) {
  for (; *upper != 0; ++text, ++upper) {
    unsigned c = static_cast<unsigned char>(*text);
    if (c >= 'a' && c <= 'z') c -= 32;
    if (c != static_cast<unsigned char>(*upper)) return false;
  }
  return *text == 0;
}

// From the last '.' at index 1 or later to the end; without one, the whole
// path.
const char* Extension(const char* path) {
  const size_t n = std::strlen(path);
  for (size_t i = n; i-- > 1;) {
    if (path[i] == '.') return path + i;
  }
  return path;
}

const WriterKind* FindWriter(const char* path) {
  if (path == nullptr || *path == 0) return nullptr;
  const char* extension = Extension(path);
  for (const WriterKind& kind : kWriters) {
    if (EqualsUpperAscii(extension, kind.extension)) return &kind;
  }
  return nullptr;
}

void SetErrorText(GraphicsMessage message) {
  SetGraphicsErrorText(GraphicsMessageText(message), int(sizeof GraphicsErrorText) - 1);
}

}  // namespace

int SaveImage(const char* path, const CGraphicsImage& image, const char* comment) {
  const WriterKind* kind = FindWriter(path);
  if (kind == nullptr) {
    SetErrorText(GraphicsMessage::UnknownFormat);
    return SAVE_IMAGE_UNKNOWN_FORMAT;
  }
  try {
    std::unique_ptr<CImageWriter> writer = kind->make();
    if (GraphicsSaveOption >= -1 && kind->applyOption != nullptr) {
      kind->applyOption(*writer, image, GraphicsSaveOption);
    }
    if (comment != nullptr) writer->comment.SetText(comment);
    writer->Save(path, image);
    return SAVE_IMAGE_OK;
  } catch (const EGraphicsException& e) {
    // A full-length text has no terminator.
    SetGraphicsErrorText(e.text, int(sizeof e.text));
    return SAVE_IMAGE_FAILED;
  } catch (...) {
    SetErrorText(GraphicsMessage::UnknownError);
    return SAVE_IMAGE_UNKNOWN_ERROR;
  }
}
