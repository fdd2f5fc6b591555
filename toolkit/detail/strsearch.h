// Substring search over counted text, shared by the search, key-value and
// replace functions. Linear in the worst case: a quick filter on the first
// and last key character, and the two-way algorithm once verification work
// grows beyond a few times the text scanned.
#pragma once

#include <cstddef>
#include <cstring>

namespace toolkit_detail {

// Index of the first occurrence of key[0..m) in text[0..n), or -1; m >= 1.
// With noCase 'A'-'Z' and 'a'-'z' fold together. With stopAtNul the text also
// ends at its first NUL (the n characters may all be read).
ptrdiff_t FindCounted(const char* text, size_t n, const char* key, size_t m, bool noCase, bool stopAtNul);
ptrdiff_t FindCounted(const char16_t* text, size_t n, const char16_t* key, size_t m, bool noCase,
                      bool stopAtNul);

// Length up to the terminator (C library speed for 8-bit text).
inline size_t Length(const char* text) { return std::strlen(text); }
inline size_t Length(const char16_t* text) {
  size_t n = 0;
  while (text[n] != 0) ++n;
  return n;
}

// Length up to the terminator, at most n.
template <class Ch>
size_t NulLimited(const Ch* text, size_t n) {
  size_t i = 0;
  while (i < n && text[i] != 0) ++i;
  return i;
}

}  // namespace toolkit_detail
