#include "graphics/formats/xwd_writer.h"

#include <cstring>
#include <vector>

namespace {

[[noreturn]] void ThrowOpenError() {
  ThrowGraphics<EXwdFileOpenError>(GraphicsMessage::XwdFileOpen);
}
[[noreturn]] void ThrowWriteError() {
  ThrowGraphics<EXwdFileWriteError>(GraphicsMessage::XwdFileWrite);
}

void WriteChecked(CFileStream& file, const void* data, int count) {
  if (file.Write(data, count) != count) ThrowWriteError();
}

void PutBE32(BYTE* at, DWORD value) {
  at[0] = BYTE(value >> 24);
  at[1] = BYTE(value >> 16);
  at[2] = BYTE(value >> 8);
  at[3] = BYTE(value);
}

constexpr int kHeaderFields = 25;
constexpr char kWindowName[] = "xwdump";  // written with its zero byte
constexpr int kHeaderSize = 4 * kHeaderFields + int(sizeof kWindowName);
static_assert(kHeaderSize == 107);
constexpr int kColourEntrySize = 12;

// The header fields that do not depend on the image size, for palette images
// and for true-colour images. The window position and border are always 0.
struct XwdLayout {
  DWORD depth, byteOrder, bitOrder, bitsPerPixel, visualClass;
  DWORD redMask, greenMask, blueMask, colours;
};
constexpr XwdLayout kPseudoColour = {8, 1, 1, 8, 3, 0, 0, 0, 256};
constexpr XwdLayout kTrueColour = {24, 0, 0, 32, 4, 0x00FF0000, 0x0000FF00, 0x000000FF, 0};

}  // namespace

const WriterFailures CXwdWriter::failures = {ThrowOpenError, ThrowWriteError};

void CXwdWriter::Write(CFileStream& file, const CGraphicsImage& image) {
  if (!image.HasPixels() || image.width <= 0 || image.height <= 0) {
    ThrowGraphics<EXwdDataError>(GraphicsMessage::DataError);
  }
  const bool palette = image.bpp <= 8;
  const XwdLayout& l = palette ? kPseudoColour : kTrueColour;
  const auto width = DWORD(image.width), height = DWORD(image.height);
  const int bytesPerPixel = int(l.bitsPerPixel / 8);
  // Readers take rows as padded to the bitmap pad of 32 bits.
  const DWORD bytesPerLine = (width * bytesPerPixel + 3) & ~DWORD{3};
  // clang-format off
  const DWORD fields[kHeaderFields] = {
      kHeaderSize, 7, 2 /* ZPixmap */, l.depth, width, height,
      0,                            // x offset
      l.byteOrder, 32 /* bitmap unit */, l.bitOrder, 32 /* bitmap pad */, l.bitsPerPixel,
      bytesPerLine,
      l.visualClass, l.redMask, l.greenMask, l.blueMask,
      8,                            // bits per RGB
      256,                          // colour map entries
      l.colours,                    // colour entries that follow the header
      width, height,                // window size
      0, 0, 0,                      // window x, y and border width
  };
  // clang-format on
  BYTE header[kHeaderSize];
  for (int i = 0; i < kHeaderFields; ++i) PutBE32(header + 4 * i, fields[i]);
  std::memcpy(header + 4 * kHeaderFields, kWindowName, sizeof kWindowName);
  WriteChecked(file, header, kHeaderSize);

  if (palette) {
    // Pixel value, red, green, blue (16 bits each), flags "all three used",
    // pad byte.
    BYTE map[256 * kColourEntrySize];
    for (int i = 0; i < 256; ++i) {
      BYTE* e = map + kColourEntrySize * i;
      const RGBQUAD& c = image.palette[i];
      PutBE32(e, DWORD(i));
      e[4] = e[5] = c.rgbRed;
      e[6] = e[7] = c.rgbGreen;
      e[8] = e[9] = c.rgbBlue;
      e[10] = 7;
      e[11] = 0x94;
    }
    WriteChecked(file, map, sizeof map);
  }

  std::vector<BYTE> out(bytesPerLine);  // the padding stays zero
  for (int y = 0; y < image.height; ++y) {
    Progress(DWORD(int64_t{y} * 100 / image.height));
    const BYTE* row = image.Row(y);
    if (palette) {
      std::memcpy(out.data(), image.RowTo8Func(row, &image), size_t(image.width));
    } else {
      // 0x00RRGGBB, least significant byte first; a 32-bit image's fourth
      // byte is no part of the colour.
      const DWORD* px = image.RowTo32Func(row, &image);
      for (int x = 0; x < image.width; ++x) {
        const DWORD c = px[x];
        BYTE* o = out.data() + 4 * x;
        o[0] = BYTE(c);
        o[1] = BYTE(c >> 8);
        o[2] = BYTE(c >> 16);
        o[3] = 0;
      }
    }
    WriteChecked(file, out.data(), int(out.size()));
  }
  Progress(100);
}

void CXwdWriter::Save(const char* path, const CGraphicsImage& image) {
  SaveWith(path, failures, [&](CFileStream& file) { Write(file, image); });
}

void CXwdWriter::Save(const wchar16* path, const CGraphicsImage& image) {
  SaveWith(path, failures, [&](CFileStream& file) { Write(file, image); });
}
