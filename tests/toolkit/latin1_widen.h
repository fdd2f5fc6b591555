// Latin-1 test text widened unit by unit, for checking wide twins against
// their 8-bit forms.
#pragma once

#include <string>

inline std::u16string Latin1Widen(const std::string& s) {
  std::u16string w;
  for (unsigned char c : s) w += static_cast<char16_t>(c);
  return w;
}
