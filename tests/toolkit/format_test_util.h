// Helpers of the printf engine's tests: run both engines into strings, and
// compare 16-bit output with the widened narrow expectation.
#pragma once

#include <cstdarg>
#include <string>
#include <vector>

#include "toolkit/format.h"

namespace format_test {

inline int AppendNarrow(void* ctx, const char* data, int count) {
  static_cast<std::string*>(ctx)->append(data, static_cast<size_t>(count));
  return count;
}

inline int AppendWide(void* ctx, const char16_t* data, int count) {
  static_cast<std::u16string*>(ctx)->append(data, static_cast<size_t>(count));
  return count;
}

// Output of FormatCore, and its total in *total when asked.
inline std::string Fmt(const char* format, ...) {
  std::string s;
  va_list args;
  va_start(args, format);
  FormatCore(&s, AppendNarrow, format, args);
  va_end(args);
  return s;
}

inline std::u16string FmtW(const char16_t* format, ...) {
  std::u16string s;
  va_list args;
  va_start(args, format);
  FormatCoreW(&s, AppendWide, format, args);
  va_end(args);
  return s;
}

// Bytes 0-255 as 16-bit units.
inline std::u16string Widen(const std::string& s) {
  std::u16string w;
  for (unsigned char c : s) w.push_back(c);
  return w;
}

inline std::u16string Widen(const char* s) { return Widen(std::string(s)); }

// Every piece an engine hands its callback.
template <class Ch>
struct Pieces {
  std::vector<std::basic_string<Ch>> list;
  std::basic_string<Ch> Joined() const {
    std::basic_string<Ch> all;
    for (const auto& p : list) all += p;
    return all;
  }
  size_t Largest() const {
    size_t n = 0;
    for (const auto& p : list) n = p.size() > n ? p.size() : n;
    return n;
  }
  static int Record(void* ctx, const Ch* data, int count) {
    static_cast<Pieces*>(ctx)->list.emplace_back(data, static_cast<size_t>(count));
    return count;
  }
};

}  // namespace format_test
