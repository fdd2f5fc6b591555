#include "peers.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace peer {

void FillDoubles(double* dst, double value, size_t count) { std::fill_n(dst, count, value); }

int LenN(const char* text, int maxLen) { return maxLen < 1 ? 0 : int(strnlen(text, size_t(maxLen))); }

int CopyN(char* dst, const char* src, int dstSize) {
  if (dstSize < 1) return 0;
  const size_t n = strnlen(src, size_t(dstSize) - 1);
  std::memcpy(dst, src, n);
  dst[n] = 0;
  return int(n);
}

int CopyMax(char* dst, const char* src, int dstSize, int maxChars) {
  if (dstSize < 1) return 0;
  const size_t n = strnlen(src, std::min(size_t(dstSize) - 1, size_t(maxChars)));
  std::memcpy(dst, src, n);
  dst[n] = 0;
  return int(n);
}

int AppendN(char* dst, const char* src, int dstSize) {
  if (dstSize < 1) return 0;
  const size_t used = strnlen(dst, size_t(dstSize));
  if (used >= size_t(dstSize)) return int(used);
  const size_t n = strnlen(src, size_t(dstSize) - used - 1);
  std::memcpy(dst + used, src, n);
  dst[used + n] = 0;
  return int(used + n);
}

uint32_t BitCount(const void* bits, uint32_t limit, uint32_t start) {
  const uint64_t* words = static_cast<const uint64_t*>(bits);
  if (start >= limit) return 0;
  const size_t a = start / 64, b = (limit - 1) / 64;
  const uint64_t first = words[a] & (~0ull << (start % 64));
  const uint64_t lastMask = ~0ull >> (63 - (limit - 1) % 64);
  if (a == b) return uint32_t(std::popcount(first & lastMask));
  uint32_t total = uint32_t(std::popcount(first) + std::popcount(words[b] & lastMask));
  for (size_t i = a + 1; i < b; ++i) total += uint32_t(std::popcount(words[i]));
  return total;
}

template <bool Clear>
uint32_t FindNext(const void* bits, uint32_t limit, uint32_t start) {
  const uint64_t* words = static_cast<const uint64_t*>(bits);
  if (start >= limit) return limit;
  const size_t n = (size_t(limit) + 63) / 64;
  size_t i = start / 64;
  uint64_t v = (Clear ? ~words[i] : words[i]) & (~0ull << (start % 64));
  for (;;) {
    if (v) return std::min<uint32_t>(uint32_t(i * 64 + size_t(std::countr_zero(v))), limit);
    if (++i >= n) return limit;
    v = Clear ? ~words[i] : words[i];
  }
}

uint32_t FindNextSet(const void* words, uint32_t limit, uint32_t start) {
  return FindNext<false>(words, limit, start);
}
uint32_t FindNextClear(const void* words, uint32_t limit, uint32_t start) {
  return FindNext<true>(words, limit, start);
}

void SetRange(std::vector<bool>& bits, int start, int count) {
  std::fill(bits.begin() + start, bits.begin() + start + count, true);
}
void ClearRange(std::vector<bool>& bits, int start, int count) {
  std::fill(bits.begin() + start, bits.begin() + start + count, false);
}

void ToggleRange(void* bits, int start, int count) {
  uint64_t* words = static_cast<uint64_t*>(bits);
  if (start < 0 || count < 1) return;
  const size_t end = size_t(start) + size_t(count);
  size_t i = size_t(start) / 64;
  const size_t last = (end - 1) / 64;
  uint64_t mask = ~0ull << (size_t(start) % 64);
  for (; i < last; ++i, mask = ~0ull) words[i] ^= mask;
  words[last] ^= mask & (~0ull >> (63 - (end - 1) % 64));
}

}  // namespace peer
