#include "graphics/formats/xpm_writer.h"

#include <array>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

// Digit value = position.
constexpr char kKeyAlphabet[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ#_";
static_assert(sizeof kKeyAlphabet == 65);

// A true-colour image with this many colours is quantised.
constexpr size_t kMaxDirectColours = 1024;

[[noreturn]] void ThrowOpenError() {
  ThrowGraphics<EXpmError>(GraphicsMessage::XpmCreateFile);
}
[[noreturn]] void ThrowWriteError() {
  ThrowGraphics<EXpmError>(GraphicsMessage::XpmWrite);
}

void WriteChecked(CFileStream& file, const std::string& text) {
  if (file.Write(text.data(), int(text.size())) != int(text.size())) ThrowWriteError();
}

template <class Char>
void MakeArrayName(const Char* path, char (&name)[64]) {
  const Char* base = path;
  for (const Char* p = path; *p; ++p) {
    if (*p == '\\' || *p == '/') base = p + 1;
  }
  int n = 0;
  for (; n < 63 && base[n]; ++n) {
    const auto c = static_cast<uint32_t>(base[n]);
    const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ||
                      (n > 0 && c >= '0' && c <= '9');
    name[n] = keep ? static_cast<char>(c) : '_';
  }
  name[n] = 0;
}

// The key of colour i: k digits, least significant first.
std::string Key(size_t i, int k) {
  std::string key;
  for (int j = 0; j < k; ++j) key += kKeyAlphabet[(i >> (6 * j)) & 63];
  return key;
}

}  // namespace

const WriterFailures CXpmWriter::failures = {ThrowOpenError, ThrowWriteError};

void CXpmWriter::SetArrayName(const char* path) {
  MakeArrayName(path, arrayName);
}
void CXpmWriter::SetArrayName(const wchar16* path) {
  MakeArrayName(path, arrayName);
}

void CXpmWriter::Write(CFileStream& file, const CGraphicsImage& source) {
  if (!source.HasPixels() || source.width <= 0 || source.height <= 0) {
    ThrowGraphics<EXpmError>(GraphicsMessage::CannotHandle);
  }
  const CGraphicsImage* image = &source;
  CGraphicsImage quantised;
  std::vector<DWORD> colours;
  std::unordered_map<DWORD, DWORD> firstIndex;
  if (source.bpp > 8) {
    // XPM has no alpha: a 32-bit pixel's fourth byte is left out.
    for (int y = 0; y < source.height && colours.size() < kMaxDirectColours; ++y) {
      const BYTE* row = source.Row(y);
      for (int x = 0; x < source.width && colours.size() < kMaxDirectColours; ++x) {
        const DWORD c = source.PixelGetFunc(row, x) & 0xFFFFFF;
        if (firstIndex.emplace(c, DWORD(colours.size())).second) colours.push_back(c);
      }
    }
    if (colours.size() >= kMaxDirectColours) {
      if (!quantised.Quantize(source)) ThrowGraphics<EXpmError>(GraphicsMessage::CannotHandle);
      image = &quantised;
      colours.clear();
    }
  }
  // Palette images: each index shows as the first entry of the same colour.
  std::array<DWORD, 256> paletteKey{};
  if (image->bpp <= 8) {
    firstIndex.clear();
    for (DWORD i = 0; i < image->paletteSize; ++i) {
      const RGBQUAD& q = image->palette[i];
      const DWORD c = DWORD{q.rgbRed} << 16 | DWORD{q.rgbGreen} << 8 | q.rgbBlue;
      colours.push_back(c);
      paletteKey[i] = firstIndex.emplace(c, i).first->second;
    }
  }
  const size_t n = colours.size();
  int bits = 0;
  while ((n >> bits) != 0) ++bits;
  const int k = (bits + 5) / 6;

  const char* name = arrayName[0] ? arrayName : "unkown_xpm";
  if (file.Printf("/* XPM */\nstatic char * %s[] = {\n\"%i %i %i %i\",\n", name, image->width,
                  image->height, int(n), k) <= 0) {
    ThrowWriteError();
  }
  std::vector<std::string> keys(n);
  for (size_t i = 0; i < n; ++i) {
    keys[i] = Key(i, k);
    if (file.Printf("\"%s\tc #%06X\",\n", keys[i].c_str(), unsigned(colours[i] & 0xFFFFFF)) <= 0) {
      ThrowWriteError();
    }
  }
  std::string line;
  for (int y = 0; y < image->height; ++y) {
    line.assign(1, '"');
    const BYTE* row = image->Row(y);
    for (int x = 0; x < image->width; ++x) {
      const DWORD value = image->PixelGetFunc(row, x);
      const DWORD index =
          image->bpp <= 8 ? paletteKey[value & 255] : firstIndex.at(value & 0xFFFFFF);
      line += keys[index];
    }
    line += y + 1 < image->height ? "\",\n" : "\"};\n";
    WriteChecked(file, line);
    Progress(DWORD(int64_t{y} * 99 / image->height));
  }
  Progress(100);
}

void CXpmWriter::Save(const char* path, const CGraphicsImage& image) {
  SaveWith(path, failures, [&](CFileStream& file) {
    SetArrayName(path);
    Write(file, image);
  });
}

void CXpmWriter::Save(const wchar16* path, const CGraphicsImage& image) {
  SaveWith(path, failures, [&](CFileStream& file) {
    SetArrayName(path);
    Write(file, image);
  });
}
