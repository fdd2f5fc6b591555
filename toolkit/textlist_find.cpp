// The string list's linear searches and its three find modes.
#include <climits>
#include <cstring>

#include "toolkit/detail/textlist_impl.h"
#include "toolkit/textlist.h"
#include "toolkit/wildcard_fold.h"

using namespace textlist_detail;

namespace textlist_detail {

int CompareNoCaseCounted(const char* a, const char* b, size_t n) {
  // StrCompareNoCaseN stops after a NUL both texts share, so it goes over
  // the texts one NUL-terminated piece at a time.
  size_t i = 0;
  while (i < n) {
    size_t rest = n - i;
    const void* nul = std::memchr(a + i, 0, rest);
    size_t piece = nul ? static_cast<size_t>(static_cast<const char*>(nul) - (a + i)) + 1 : rest;
    if (piece > INT_MAX) piece = INT_MAX;
    int d = StrCompareNoCaseN(a + i, b + i, static_cast<int>(piece));
    if (d != 0) return d;
    i += piece;
  }
  return 0;
}

bool TextMatches(const void* item, uint32_t dataSize, const char* text, uint32_t len, uint32_t mode) {
  if (ItemLength(item) != len) return false;
  const char* t = ItemText(item, dataSize);
  if (mode == TEXTLIST_FIND_EXACT) return len == 0 || std::memcmp(t, text, len) == 0;
  if (mode == TEXTLIST_FIND_FASTNOCASE && len >= 4) {
    // The first four or eight bytes only with bit 5 of each byte ignored.
    uint32_t head = len >= 8 ? 8 : 4;
    for (uint32_t k = 0; k < head; k += 4) {
      uint32_t x, y;
      std::memcpy(&x, t + k, 4);
      std::memcpy(&y, text + k, 4);
      if (((x ^ y) & 0xDFDFDFDFu) != 0) return false;
    }
    return CompareNoCaseCounted(t + head, text + head, len - head) == 0;
  }
  return CompareNoCaseCounted(t, text, len) == 0;
}

}  // namespace textlist_detail

namespace {

// Calls match(item) over the clamped range; the first index it accepts.
template <class Match>
int FindLinear(const CTextList& list, int from, int to, Match match) {
  uint32_t lo = from < 0 ? 0 : static_cast<uint32_t>(from);
  uint32_t end = static_cast<uint32_t>(to) < list.count ? static_cast<uint32_t>(to) : list.count;
  for (uint32_t i = lo; i < end; ++i) {
    if (match(list.items[i])) return static_cast<int>(i);
  }
  return -1;
}

template <class T>
bool DataEquals(const void* item, uint64_t offset, T value) {
  T v;
  std::memcpy(&v, static_cast<const char*>(item) + offset, sizeof(T));
  return v == value;
}

}  // namespace

int CTextList::Find(int len, const char* text, int from, int to, uint32_t mode) const {
  uint32_t n = TextLength(len, text);
  if (!text) text = "";
  uint32_t ds = itemDataSize;
  return FindLinear(*this, from, to,
                    [&](const void* item) { return TextMatches(item, ds, text, n, mode); });
}

int CTextList::FindWithDword(uint32_t key, int len, const char* text, int from, int to,
                             uint32_t mode) const {
  if (itemDataSize < 4) return -1;
  uint32_t n = TextLength(len, text);
  if (!text) text = "";
  uint32_t ds = itemDataSize;
  return FindLinear(*this, from, to, [&](const void* item) {
    return DataEquals(item, 0, key) && TextMatches(item, ds, text, n, mode);
  });
}

int CTextList::FindWithQword(uint64_t key, int len, const char* text, int from, int to,
                             uint32_t mode) const {
  if (itemDataSize < 8) return -1;
  uint32_t n = TextLength(len, text);
  if (!text) text = "";
  uint32_t ds = itemDataSize;
  return FindLinear(*this, from, to, [&](const void* item) {
    return DataEquals(item, 0, key) && TextMatches(item, ds, text, n, mode);
  });
}

int CTextList::FindDword(uint32_t value, int from, int to) const {
  return FindDwordAt(value, 0, from, to);
}

int CTextList::FindQword(uint64_t value, int from, int to) const {
  return FindQwordAt(value, 0, from, to);
}

int CTextList::FindDwordAt(uint32_t value, uint32_t offset, int from, int to) const {
  if (uint64_t{offset} + 4 > itemDataSize) return -1;
  return FindLinear(*this, from, to, [&](const void* item) { return DataEquals(item, offset, value); });
}

int CTextList::FindQwordAt(uint64_t value, uint32_t offset, int from, int to) const {
  if (uint64_t{offset} + 8 > itemDataSize) return -1;
  return FindLinear(*this, from, to, [&](const void* item) { return DataEquals(item, offset, value); });
}
