// Bit-array searches, counts, range edits and bit reversal.
#include "toolkit/bitarray.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

using Bytes = unsigned char;

constexpr uint64_t kOnes1 = 0x5555555555555555ull;
constexpr uint64_t kOnes2 = 0x3333333333333333ull;
constexpr uint64_t kOnes4 = 0x0F0F0F0F0F0F0F0Full;

template <typename T>
T ByteSwap(T v) {
  if constexpr (sizeof(T) == 8) return __builtin_bswap64(v);
  else return __builtin_bswap32(v);
}

// Loads a word so that array bit 0 of it is the lowest bit (least-significant
// first) or the highest bit (most-significant first) of the value.
template <bool Msb, typename T>
T LoadWord(const Bytes* p) {
  T v;
  std::memcpy(&v, p, sizeof(T));
  constexpr bool wantBig = Msb;
  if ((std::endian::native == std::endian::big) != wantBig) v = ByteSwap(v);
  return v;
}

// Position within a loaded word of the first bit in array order.
template <bool Msb, typename T>
unsigned FirstBit(T v) {
  if constexpr (Msb) return unsigned(std::countl_zero(v));
  else return unsigned(std::countr_zero(v));
}

// Keeps the bits at array offsets >= s (s < width) of a loaded word.
template <bool Msb, typename T>
T FromOffset(T v, unsigned s) {
  if constexpr (Msb) return v & (T(~T(0)) >> s);
  else return v & (T(~T(0)) << s);
}

template <bool Msb, bool Clear>
DWORD FindNext(const void* bits, DWORD limit, DWORD start) {
  if (start >= limit) return limit;
  const Bytes* p = static_cast<const Bytes*>(bits);
  const uint64_t words = (uint64_t(limit) + 31) / 32;  // words holding a bit below limit
  constexpr uint32_t inv32 = Clear ? ~0u : 0u;
  constexpr uint64_t inv64 = Clear ? ~0ull : 0ull;
  uint64_t w = start / 32;
  uint32_t first = FromOffset<Msb>(LoadWord<Msb, uint32_t>(p + 4 * w) ^ inv32, start % 32);
  if (first) return DWORD(std::min<uint64_t>(32 * w + FirstBit<Msb>(first), limit));
  ++w;
  // Two 64-bit words per step: one test for 128 bits in sparse arrays.
  for (; w + 4 <= words; w += 4) {
    const uint64_t a = LoadWord<Msb, uint64_t>(p + 4 * w) ^ inv64;
    const uint64_t b = LoadWord<Msb, uint64_t>(p + 4 * w + 8) ^ inv64;
    if (a | b) {
      const uint64_t hit = a ? 32 * w + FirstBit<Msb>(a) : 32 * w + 64 + FirstBit<Msb>(b);
      return DWORD(std::min<uint64_t>(hit, limit));
    }
  }
  for (; w < words; ++w) {
    const uint32_t v = LoadWord<Msb, uint32_t>(p + 4 * w) ^ inv32;
    if (v) return DWORD(std::min<uint64_t>(32 * w + FirstBit<Msb>(v), limit));
  }
  return limit;
}

// Population count of n bytes: pairwise sums per 64-bit word, then byte sums
// of up to 31 words added before one horizontal sum.
uint64_t CountBytes(const Bytes* p, size_t n) {
  uint64_t total = 0;
  while (n >= 8) {
    const size_t words = std::min<size_t>(n / 8, 31);
    uint64_t acc = 0;  // eight byte sums, each at most 8 * 31
    for (size_t i = 0; i < words; ++i) {
      uint64_t x;
      std::memcpy(&x, p + 8 * i, 8);
      x = x - ((x >> 1) & kOnes1);
      x = (x & kOnes2) + ((x >> 2) & kOnes2);
      acc += (x + (x >> 4)) & kOnes4;
    }
    acc = (acc & 0x00FF00FF00FF00FFull) + ((acc >> 8) & 0x00FF00FF00FF00FFull);
    total += (acc * 0x0001000100010001ull) >> 48;
    p += 8 * words;
    n -= 8 * words;
  }
  for (; n; --n, ++p) total += unsigned(std::popcount(unsigned(*p)));
  return total;
}

// Mask of the array offsets [s, e) inside one byte (0 <= s < e <= 8).
template <bool Msb>
unsigned ByteRangeMask(unsigned s, unsigned e) {
  if constexpr (Msb) return (0xFFu >> s) & (0xFFu << (8 - e)) & 0xFFu;
  else return ((1u << e) - 1) & ~((1u << s) - 1);
}

template <bool Msb>
DWORD Count(const void* bits, DWORD limit, DWORD start) {
  if (start >= limit) return 0;
  const Bytes* p = static_cast<const Bytes*>(bits);
  const size_t firstByte = start / 8, lastByte = (limit - 1) / 8;
  const unsigned s = start % 8, e = (limit - 1) % 8 + 1;
  if (firstByte == lastByte) return unsigned(std::popcount(p[firstByte] & ByteRangeMask<Msb>(s, e)));
  uint64_t total = unsigned(std::popcount(p[firstByte] & ByteRangeMask<Msb>(s, 8))) +
                   unsigned(std::popcount(p[lastByte] & ByteRangeMask<Msb>(0, e)));
  total += CountBytes(p + firstByte + 1, lastByte - firstByte - 1);
  return DWORD(total);
}

enum class RangeOp { kSet, kClear, kToggle };

template <RangeOp Op>
void ApplyMask(Bytes& b, unsigned mask) {
  if constexpr (Op == RangeOp::kSet) b = Bytes(b | mask);
  else if constexpr (Op == RangeOp::kClear) b = Bytes(b & ~mask);
  else b = Bytes(b ^ mask);
}

template <RangeOp Op>
void WholeBytes(Bytes* p, size_t n) {
  if constexpr (Op == RangeOp::kSet) {
    std::memset(p, 0xFF, n);
  } else if constexpr (Op == RangeOp::kClear) {
    std::memset(p, 0, n);
  } else {
    for (; n >= 8; n -= 8, p += 8) {
      uint64_t x;
      std::memcpy(&x, p, 8);
      x = ~x;
      std::memcpy(p, &x, 8);
    }
    for (; n; --n, ++p) *p = Bytes(~*p);
  }
}

template <RangeOp Op>
void Range(void* bytes, int start, int count) {
  if (start < 0 || count < 1) return;
  Bytes* p = static_cast<Bytes*>(bytes);
  const int64_t end = int64_t(start) + count;
  int64_t byte = start / 8;
  const unsigned s = unsigned(start % 8);
  if (s) {
    const int64_t inFirst = end - 8 * byte;  // offsets of the range end in this byte
    const unsigned e = inFirst < 8 ? unsigned(inFirst) : 8u;
    ApplyMask<Op>(p[byte], ByteRangeMask<false>(s, e));
    if (inFirst <= 8) return;
    ++byte;
  }
  const int64_t endByte = end / 8;
  WholeBytes<Op>(p + byte, size_t(endByte - byte));
  if (const unsigned r = unsigned(end % 8)) ApplyMask<Op>(p[endByte], ByteRangeMask<false>(0, r));
}

uint64_t Reverse64(uint64_t v) {
  v = ((v >> 1) & kOnes1) | ((v & kOnes1) << 1);
  v = ((v >> 2) & kOnes2) | ((v & kOnes2) << 2);
  v = ((v >> 4) & kOnes4) | ((v & kOnes4) << 4);
  return __builtin_bswap64(v);
}

}  // namespace

DWORD BitFindNextSet(const void* bits, DWORD limit, DWORD start) {
  return FindNext<false, false>(bits, limit, start);
}
DWORD BitFindNextSetMsb(const void* bits, DWORD limit, DWORD start) {
  return FindNext<true, false>(bits, limit, start);
}
DWORD BitFindNextClear(const void* bits, DWORD limit, DWORD start) {
  return FindNext<false, true>(bits, limit, start);
}
DWORD BitFindNextClearMsb(const void* bits, DWORD limit, DWORD start) {
  return FindNext<true, true>(bits, limit, start);
}

DWORD BitCount(const void* bits, DWORD limit, DWORD start) { return Count<false>(bits, limit, start); }
DWORD BitCountMsb(const void* bits, DWORD limit, DWORD start) { return Count<true>(bits, limit, start); }

void BitSetRange(void* bytes, int start, int count) { Range<RangeOp::kSet>(bytes, start, count); }
void BitClearRange(void* bytes, int start, int count) { Range<RangeOp::kClear>(bytes, start, count); }
void BitToggleRange(void* bytes, int start, int count) { Range<RangeOp::kToggle>(bytes, start, count); }

uint64_t BitReverse(uint64_t value, int n) {
  if (n < 1 || n > 64) return 0;
  return Reverse64(value) >> (64 - n);
}
