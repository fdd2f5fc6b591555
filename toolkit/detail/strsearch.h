// Substring search over counted text, shared by the search, key-value and
// replace functions. Linear in the worst case: a quick filter on the first
// and last key character, and the two-way algorithm once verification work
// grows beyond a few times the text scanned.
#pragma once

#include <climits>
#include <cstddef>
#include <cstring>

#include "toolkit/detail/textchar.h"
#include "toolkit/strcopy.h"

namespace toolkit_detail {

// Index of the first occurrence of key[0..m) in text[0..n), or -1; m >= 1.
// With noCase 'A'-'Z' and 'a'-'z' fold together. With stopAtNul the text also
// ends at its first NUL (the n characters may all be read).
ptrdiff_t FindCounted(const char* text, size_t n, const char* key, size_t m, bool noCase, bool stopAtNul);
ptrdiff_t FindCounted(const char16_t* text, size_t n, const char16_t* key, size_t m, bool noCase,
                      bool stopAtNul);

// A character's code, with 'A'-'Z' folded to 'a'-'z' when noCase.
template <class Ch>
unsigned FoldedCode(Ch c, bool noCase) {
  return noCase ? LowerAscii(CodeOf(c)) : CodeOf(c);
}

// Length up to the terminator (C library speed for 8-bit text).
inline size_t Length(const char* text) { return std::strlen(text); }
inline size_t Length(const char16_t* text) { return static_cast<size_t>(TextLength(text)); }

// Length up to the terminator, at most n (n within an int).
inline size_t NulLimited(const char* text, size_t n) {
  return static_cast<size_t>(StrLenN(text, n > INT_MAX ? INT_MAX : static_cast<int>(n)));
}
inline size_t NulLimited(const char16_t* text, size_t n) {
  return static_cast<size_t>(StrLenNW(text, n > INT_MAX ? INT_MAX : static_cast<int>(n)));
}

}  // namespace toolkit_detail
