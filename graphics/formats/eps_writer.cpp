#include "graphics/formats/eps_writer.h"

#include <cmath>
#include <vector>

#include "graphics/formats/pnm_mono.h"

namespace {

[[noreturn]] void ThrowOpenError() {
  ThrowGraphics<EEpsFileOpenError>(GraphicsMessage::EpsFileOpen);
}
[[noreturn]] void ThrowWriteError() {
  ThrowGraphics<EEpsFileWriteError>(GraphicsMessage::EpsFileWrite);
}

void WriteChecked(CFileStream& file, const void* data, int count) {
  if (count > 0 && file.Write(data, count) != count) ThrowWriteError();
}

// The setup up to the procedures that read the samples. Every template takes
// the same arguments: the bounding box, the string length three times, the
// translation, the scale, the sample size and the image matrix.
#define ZELVARO_EPS_HEAD(level)            \
  "%%!PS-Adobe-3.0 EPSF-3.0\n"             \
  "%%%%LanguageLevel: " level              \
  "\n"                                     \
  "%%%%Creator: ZU-Zuriv\n"                \
  "%%%%Pages: 1\n"                         \
  "%%%%BoundingBox: %i %i %i %i\n"         \
  "%%%%EndComments\n"                      \
  "%%%%BeginSetup\n"                       \
  "/readstring {\n"                        \
  "  currentfile exch readhexstring pop\n" \
  "} bind def\n"
#define ZELVARO_EPS_GREY(level, bits) \
  ZELVARO_EPS_HEAD(level)             \
  "/picstr %i string def\n"           \
  "%%%%Dummy %i %i\n"                 \
  "%%%%EndSetup\n"                    \
  "%%%%Page: 1 1\n"                   \
  "gsave\n"                           \
  "%g %g translate\n"                 \
  "%g %g scale\n"                     \
  "%i %i " bits                       \
  "\n"                                \
  "[ %i 0 0 -%i 0 %i ]\n"             \
  "{ picstr readstring }\n"           \
  "image\n"

constexpr const char kMonoTemplate[] = ZELVARO_EPS_GREY("1", "1");
constexpr const char kGreyTemplate[] = ZELVARO_EPS_GREY("2", "8");
constexpr const char kColourTemplate[] = ZELVARO_EPS_HEAD("2")
    "/rpicstr %i string def\n"
    "/gpicstr %i string def\n"
    "/bpicstr %i string def\n"
    "%%%%EndSetup\n"
    "%%%%Page: 1 1\n"
    "gsave\n"
    "%g %g translate\n"
    "%g %g scale\n"
    "%i %i 8\n"
    "[ %i 0 0 -%i 0 %i ]\n"
    "{ rpicstr readstring }\n"
    "{ gpicstr readstring }\n"
    "{ bpicstr readstring }\n"
    "true 3\n"
    "colorimage\n";

#undef ZELVARO_EPS_GREY
#undef ZELVARO_EPS_HEAD

constexpr char kTrailer[] =
    "currentdict /inputf undef\n"
    "currentdict /picstr undef\n"
    "currentdict /rpicstr undef\n"
    "currentdict /gpicstr undef\n"
    "currentdict /bpicstr undef\n"
    "grestore\n"
    "showpage\n"
    "%%Trailer\n";

// Bytes of sample data per line of hexadecimal digits.
constexpr int kBytesPerLine = 30;

enum class EpsKind { Mono, Grey, Colour };

bool IsGreyRamp(const CGraphicsImage& image) {
  for (int i = 0; i < 256; ++i) {
    const RGBQUAD& e = image.palette[i];
    if (e.rgbRed != i || e.rgbGreen != i || e.rgbBlue != i) return false;
  }
  return true;
}

EpsKind KindOf(const CGraphicsImage& image) {
  if (image.bpp == 1) return EpsKind::Mono;
  return image.bpp == 8 && IsGreyRamp(image) ? EpsKind::Grey : EpsKind::Colour;
}

// Where the picture goes on a 595 x 841 point page with 15-point margins:
// as large as fits, centred along the side that has room to spare.
struct Placement {
  int x0, y0, x1, y1;
  double scale;
};

Placement Place(int width, int height) {
  const double byHeight = 811.0 / height, byWidth = 565.0 / width;
  if (byHeight <= byWidth) {
    const int x0 = (595 - int(std::trunc(width * byHeight))) / 2;
    return {x0, 15, 595 - x0, 826, byHeight};
  }
  const int y0 = (841 - int(std::trunc(height * byWidth))) / 2;
  return {15, y0, 580, 841 - y0, byWidth};
}

// Turns sample bytes into lines of hexadecimal digits, a line feed after
// every 30 bytes of the whole picture.
class HexLines {
 public:
  explicit HexLines(size_t rowBytes) : text_(2 * rowBytes + rowBytes / kBytesPerLine + 1) {}

  // Appends `count` bytes, every `step`-th one from `bytes`.
  void Add(const BYTE* bytes, int count, int step) {
    static constexpr char kDigits[] = "0123456789abcdef";
    for (int i = 0; i < count; ++i, bytes += step) {
      text_[used_++] = kDigits[*bytes >> 4];
      text_[used_++] = kDigits[*bytes & 15];
      if (++column_ == kBytesPerLine) {
        text_[used_++] = '\n';
        column_ = 0;
      }
    }
  }
  void Flush(CFileStream& file) {
    WriteChecked(file, text_.data(), int(used_));
    used_ = 0;
  }
  // The line feed that ends an unfinished last line.
  void Finish(CFileStream& file) {
    if (column_ != 0) text_[used_++] = '\n';
    column_ = 0;
    Flush(file);
  }

 private:
  std::vector<char> text_;
  size_t used_ = 0;
  int column_ = 0;
};

}  // namespace

const WriterFailures CEpsWriter::failures = {ThrowOpenError, ThrowWriteError};

void CEpsWriter::Write(CFileStream& file, const CGraphicsImage& image) {
  if (!image.HasPixels() || image.width <= 0 || image.height <= 0) {
    ThrowGraphics<EEpsDataError>(GraphicsMessage::DataError);
  }
  const int width = image.width, height = image.height;
  const EpsKind kind = KindOf(image);
  const int components = kind == EpsKind::Colour ? 3 : 1;
  const int bits = kind == EpsKind::Mono ? 1 : 8;
  const int rowBytes = (components * width * bits + 7) / 8;
  const int stringLength = rowBytes / components;
  const char* const format = kind == EpsKind::Mono   ? kMonoTemplate
                             : kind == EpsKind::Grey ? kGreyTemplate
                                                     : kColourTemplate;
  const Placement p = Place(width, height);
  if (file.Printf(format, p.x0, p.y0, p.x1, p.y1, stringLength, stringLength, stringLength,
                  p.x0 + 0.25, p.y0 + 0.25, width * p.scale, height * p.scale, width, height, width,
                  height, height) < 0) {
    ThrowWriteError();
  }

  // PostScript shows a set bit of a grey image as white, whatever the palette.
  const BYTE flip = kind == EpsKind::Mono ? MonoFlip(image, false) : 0;
  std::vector<BYTE> mono(kind == EpsKind::Mono ? size_t(rowBytes) : 0);
  HexLines hex{size_t(rowBytes)};
  Progress(0);
  for (int y = 0; y < height; ++y) {
    if (kind == EpsKind::Mono) {
      MonoRow(image, y, flip, mono.data());
      hex.Add(mono.data(), rowBytes, 1);
    } else if (kind == EpsKind::Grey) {
      hex.Add(image.Row(y), rowBytes, 1);
    } else {
      // Blue, green, red per pixel; written as all red samples of the row,
      // then all green, then all blue, one string for each procedure.
      const BYTE* bgr = image.RowCopyTo24Func(image.Row(y), &image);
      hex.Add(bgr + 2, width, 3);
      hex.Add(bgr + 1, width, 3);
      hex.Add(bgr, width, 3);
    }
    hex.Flush(file);
    Progress(DWORD(int64_t{y + 1} * 100 / height));
  }
  hex.Finish(file);
  WriteChecked(file, kTrailer, int(sizeof kTrailer) - 1);
}

void CEpsWriter::Save(const char* path, const CGraphicsImage& image) {
  SaveWith(path, failures, [&](CFileStream& file) { Write(file, image); });
}

void CEpsWriter::Save(const wchar16* path, const CGraphicsImage& image) {
  SaveWith(path, failures, [&](CFileStream& file) { Write(file, image); });
}
