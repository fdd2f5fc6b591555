// Character access shared by the narrow and wide twins of the toolkit's
// scanners: every character is looked at as an unsigned code, and wide
// characters above 255 belong to CHC_OTHER only (never a blank, sign, digit
// or separator).
#pragma once

#include <cstdint>
#include <type_traits>

#include "toolkit/charclass.h"
#include "toolkit/inttext.h"

namespace toolkit_detail {

template <class Ch>
constexpr unsigned CodeOf(Ch c) {
  return static_cast<std::make_unsigned_t<Ch>>(c);
}

constexpr uint32_t ClassOfCode(unsigned code) {
  return code < 256 ? CharClassTable[code] : CHC_OTHER;
}

template <class Ch>
constexpr uint32_t ClassOf(Ch c) {
  return ClassOfCode(CodeOf(c));
}

template <class Ch>
constexpr bool InClass(Ch c, uint32_t mask) {
  return (ClassOf(c) & mask) != 0;
}

// Digit value 0-35, or 127 for a character that is no digit in any radix.
constexpr unsigned DigitOfCode(unsigned code) {
  return code < 128 ? DigitValueTable[code] : 127u;
}

template <class Ch>
constexpr unsigned DigitOf(Ch c) {
  return DigitOfCode(CodeOf(c));
}

// ASCII letter folded to lower case; other codes unchanged.
constexpr unsigned LowerAscii(unsigned code) {
  return code - 'A' < 26u ? code + 32 : code;
}

template <class Ch>
int TextLength(const Ch* text) {
  int n = 0;
  while (text[n] != 0) ++n;
  return n;
}

}  // namespace toolkit_detail
