// glibc iconv as the independent peer of the UTF converters under test.
#pragma once

#include <iconv.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

// Converts `len` bytes from one iconv encoding to another; nullopt when
// iconv rejects the input (invalid or incomplete sequence).
inline std::optional<std::string> IconvConvert(const char* to, const char* from, const void* data,
                                               size_t len) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out(len * 4 + 16, '\0');
  char* in = const_cast<char*>(static_cast<const char*>(data));
  size_t inLeft = len;
  char* o = out.data();
  size_t outLeft = out.size();
  size_t r = iconv(cd, &in, &inLeft, &o, &outLeft);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1) || inLeft != 0) return std::nullopt;
  out.resize(out.size() - outLeft);
  return out;
}

// UTF-32 code points to UTF-8 bytes or UTF-16 units through iconv.
inline std::string IconvUtf8(const std::vector<uint32_t>& cps) {
  return IconvConvert("UTF-8", "UTF-32LE", cps.data(), cps.size() * 4).value();
}
inline std::u16string IconvUtf16(const std::vector<uint32_t>& cps) {
  std::string bytes = IconvConvert("UTF-16LE", "UTF-32LE", cps.data(), cps.size() * 4).value();
  std::u16string units(bytes.size() / 2, u'\0');
  for (size_t k = 0; k < units.size(); ++k) {
    units[k] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * k]) |
                                     static_cast<unsigned char>(bytes[2 * k + 1]) << 8);
  }
  return units;
}

// One open descriptor for many small UTF-8 -> UTF-32LE conversions.
class IconvUtf8Reader {
 public:
  IconvUtf8Reader() : cd_(iconv_open("UTF-32LE", "UTF-8")) {}
  ~IconvUtf8Reader() { iconv_close(cd_); }
  IconvUtf8Reader(const IconvUtf8Reader&) = delete;
  IconvUtf8Reader& operator=(const IconvUtf8Reader&) = delete;

  // Code points of s[0..len) (len <= 16); -1 when iconv rejects the bytes.
  int Read(const unsigned char* s, size_t len, uint32_t* cps) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* in = reinterpret_cast<char*>(const_cast<unsigned char*>(s));
    size_t inLeft = len;
    char buf[64];
    char* out = buf;
    size_t outLeft = sizeof buf;
    size_t r = iconv(cd_, &in, &inLeft, &out, &outLeft);
    if (r == static_cast<size_t>(-1) || inLeft != 0) return -1;
    int n = static_cast<int>((sizeof buf - outLeft) / 4);
    for (int k = 0; k < n; ++k) {
      std::memcpy(&cps[k], buf + 4 * k, 4);
    }
    return n;
  }

 private:
  iconv_t cd_;
};
