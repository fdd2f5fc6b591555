// Shared pieces of the string list's files: the item block layout and the
// one text order of every comparison.
#pragma once

#include <cstdint>
#include <cstring>

#include "toolkit/textlist.h"

namespace textlist_detail {

// The stored length word in front of the item's data.
inline uint32_t ItemLength(const void* item) {
  uint32_t len;
  std::memcpy(&len, static_cast<const char*>(item) - 4, 4);
  return len;
}
inline void SetItemLength(void* item, uint32_t len) {
  std::memcpy(static_cast<char*>(item) - 4, &len, 4);
}
inline const char* ItemText(const void* item, uint32_t dataSize) {
  return static_cast<const char*>(item) + dataSize;
}
inline char* ItemText(void* item, uint32_t dataSize) { return static_cast<char*>(item) + dataSize; }

// Allocates an item block for len text bytes (terminated) and dataSize bytes
// of data, left uninitialised; returns the item pointer.
void* AllocItem(uint32_t len, uint32_t dataSize);
void FreeItem(void* item);

// Length of a text given as (len, text): a negative len measures up to the
// NUL; a null text is empty.
uint32_t TextLength(int len, const char* text);

// Case-blind compare of n counted bytes with StrCompareNoCaseN's fold, NULs
// included: < 0, 0 or > 0.
int CompareNoCaseCounted(const char* a, const char* b, size_t n);

// Byte order over the common length, then the shorter first: -1, 0 or 1.
inline int CompareCounted(const char* a, uint32_t la, const char* b, uint32_t lb, bool noCase) {
  uint32_t n = la < lb ? la : lb;
  int d = noCase ? CompareNoCaseCounted(a, b, n) : (n ? std::memcmp(a, b, n) : 0);
  if (d != 0) return d < 0 ? -1 : 1;
  return (la > lb) - (la < lb);
}

// Reads `width` bytes at offset of the item data as a little number; bytes
// beyond dataSize count as 0.
inline uint64_t ReadDataBytes(const void* item, uint32_t dataSize, uint32_t offset, uint32_t width) {
  uint64_t v = 0;
  if (offset < dataSize) {
    uint32_t n = dataSize - offset < width ? dataSize - offset : width;
    std::memcpy(&v, static_cast<const char*>(item) + offset, n);
  }
  return v;
}

// Does the item's text equal (text, len) in the given Find mode?
bool TextMatches(const void* item, uint32_t dataSize, const char* text, uint32_t len, uint32_t mode);

}  // namespace textlist_detail
