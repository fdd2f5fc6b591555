#include "platform/pathconv.h"

bool PathToUtf8(const wchar16* path, std::string& out) {
  out.clear();
  if (path == nullptr) return false;
  for (const wchar16* p = path; *p != 0; ++p) {
    uint32_t c = *p;
    if (c >= 0xD800 && c <= 0xDFFF) {
      // A high surrogate must be followed by a low one; a low one never leads.
      if (c >= 0xDC00 || p[1] < 0xDC00 || p[1] > 0xDFFF) {
        out.clear();
        return false;
      }
      c = 0x10000 + ((c - 0xD800) << 10) + (uint32_t(p[1]) - 0xDC00);
      ++p;
    }
    if (c < 0x80) {
      out += char(c);
    } else if (c < 0x800) {
      out += char(0xC0 | (c >> 6));
      out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += char(0xE0 | (c >> 12));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    } else {
      out += char(0xF0 | (c >> 18));
      out += char(0x80 | ((c >> 12) & 0x3F));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return true;
}
