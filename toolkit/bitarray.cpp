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
  else if constexpr (sizeof(T) == 4) return __builtin_bswap32(v);
  else return __builtin_bswap16(v);
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

// Pairwise-add population count; the compiler's builtin turns into a
// library call when the target lacks a popcount instruction.
inline unsigned Popcount64(uint64_t x) {
  x = x - ((x >> 1) & kOnes1);
  x = (x & kOnes2) + ((x >> 2) & kOnes2);
  x = (x + (x >> 4)) & kOnes4;
  return unsigned((x * 0x0101010101010101ull) >> 56);
}

// The n bytes (1..8) at p as a little-endian value, read without touching
// any byte outside them: two overlapping loads, or three single bytes.
inline uint64_t LoadWindow(const Bytes* p, unsigned n) {
  if (n >= 4) {
    uint32_t lo, hi;
    std::memcpy(&lo, p, 4);
    std::memcpy(&hi, p + n - 4, 4);
    if constexpr (std::endian::native == std::endian::big) {
      lo = ByteSwap(lo);
      hi = ByteSwap(hi);
    }
    return uint64_t(lo) | (uint64_t(hi) << (8 * (n - 4)));
  }
  return uint64_t(p[0]) | (uint64_t(p[n / 2]) << (8 * (n / 2))) | (uint64_t(p[n - 1]) << (8 * (n - 1)));
}

// Mask of `len` bits (1..64) starting at bit `from` of a window value.
inline uint64_t WindowMask(unsigned from, unsigned len) {
  return (len >= 64 ? ~0ull : ((uint64_t(1) << len) - 1)) << from;
}

template <bool Msb, bool Clear>
DWORD FindNext(const void* bits, DWORD limit, DWORD start) {
  const Bytes* p = static_cast<const Bytes*>(bits);
  constexpr uint32_t inv32 = Clear ? ~0u : 0u;
  constexpr uint64_t inv64 = Clear ? ~0ull : 0ull;
  const uint64_t first = start & ~63u;  // first bit of the 64-bit word holding start
  if ((start | 63) >= limit) {
    // The last word: limit falls inside it, and no word after it may be read.
    if (start >= limit) return limit;
    uint64_t hit = limit;
    if (first + 32 < limit) {  // both of its 32-bit halves hold bits below limit
      const uint64_t v = FromOffset<Msb>(LoadWord<Msb, uint64_t>(p + first / 8) ^ inv64, start % 64);
      if (v) hit = first + FirstBit<Msb>(v);
    } else {
      const uint32_t v = FromOffset<Msb>(LoadWord<Msb, uint32_t>(p + first / 8) ^ inv32, start % 32);
      if (v) hit = first + FirstBit<Msb>(v);
    }
    return DWORD(std::min<uint64_t>(hit, limit));
  }
  // The word holding start lies wholly below limit: a hit in it is the result.
  const uint64_t v = FromOffset<Msb>(LoadWord<Msb, uint64_t>(p + first / 8) ^ inv64, start % 64);
  if (v) return DWORD(first + FirstBit<Msb>(v));
  // base: first bit of the next word to read. A 32-bit word may be read only
  // when its first bit lies below limit.
  uint64_t base = first + 64;
  // Two 64-bit words per step: one test for 128 bits in sparse arrays.
  for (; base + 96 < limit; base += 128) {
    const uint64_t a = LoadWord<Msb, uint64_t>(p + base / 8) ^ inv64;
    const uint64_t b = LoadWord<Msb, uint64_t>(p + base / 8 + 8) ^ inv64;
    if (a | b) {
      const uint64_t hit = a ? base + FirstBit<Msb>(a) : base + 64 + FirstBit<Msb>(b);
      return DWORD(std::min<uint64_t>(hit, limit));
    }
  }
  for (; base < limit; base += 32) {
    const uint32_t w = LoadWord<Msb, uint32_t>(p + base / 8) ^ inv32;
    if (w) return DWORD(std::min<uint64_t>(base + FirstBit<Msb>(w), limit));
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
  for (; n; --n, ++p) total += Popcount64(*p);
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
  if (lastByte - firstByte < 8) {
    const unsigned n = unsigned(lastByte - firstByte + 1), len = limit - start;
    uint64_t v = LoadWindow(p + firstByte, n);
    if constexpr (Msb) v = ByteSwap(v) >> (64 - 8 * n);  // bit i now at 8n - 1 - i
    return Popcount64(v & WindowMask(Msb ? 8 * n - s - len : s, len));
  }
  uint64_t total = Popcount64(p[firstByte] & ByteRangeMask<Msb>(s, 8)) +
                   Popcount64(p[lastByte] & ByteRangeMask<Msb>(0, e));
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

// Applies the op under two masks to the overlapping little-endian words T at
// lo and hi, both read before either is written, so a byte they share gets
// the same new value from both.
template <RangeOp Op, typename T>
void ApplyHalves(Bytes* lo, T loMask, Bytes* hi, T hiMask) {
  T a, b;
  std::memcpy(&a, lo, sizeof(T));
  std::memcpy(&b, hi, sizeof(T));
  if constexpr (std::endian::native == std::endian::big) {
    loMask = T(ByteSwap<T>(loMask));
    hiMask = T(ByteSwap<T>(hiMask));
  }
  if constexpr (Op == RangeOp::kSet) {
    a = T(a | loMask);
    b = T(b | hiMask);
  } else if constexpr (Op == RangeOp::kClear) {
    a = T(a & ~loMask);
    b = T(b & ~hiMask);
  } else {
    a = T(a ^ loMask);
    b = T(b ^ hiMask);
  }
  std::memcpy(hi, &b, sizeof(T));
  std::memcpy(lo, &a, sizeof(T));
}

template <RangeOp Op>
void WholeBytes(Bytes* p, size_t n) {
  if constexpr (Op == RangeOp::kSet) {
    std::memset(p, 0xFF, n);
  } else if constexpr (Op == RangeOp::kClear) {
    std::memset(p, 0, n);
  } else {
    // 32 bytes per step in two 16-byte vectors (SSE2 and NEON have them).
    using Vec = uint64_t __attribute__((vector_size(16)));
    for (; n >= 32; n -= 32, p += 32) {
      Vec a, b;
      std::memcpy(&a, p, 16);
      std::memcpy(&b, p + 16, 16);
      a = ~a;
      b = ~b;
      std::memcpy(p, &a, 16);
      std::memcpy(p + 16, &b, 16);
    }
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
  // Both are below 2^31, so their sum fits 32 unsigned bits.
  const uint32_t first = uint32_t(start) >> 3, shift = uint32_t(start) & 7;
  const uint32_t end = uint32_t(start) + uint32_t(count);
  const uint32_t last = (end - 1) >> 3;  // byte holding the range's last bit
  const uint32_t span = last - first;    // bytes after the first one
  if (span < 8) {  // at most 64 bits, in 1 to 8 bytes
    const uint64_t mask = (~0ull >> (64 - uint32_t(count))) << shift;
    Bytes* q = p + first;
    if (span >= 3) [[likely]] {  // the common case first
      ApplyHalves<Op, uint32_t>(q, uint32_t(mask), q + span - 3, uint32_t(mask >> (8 * (span - 3))));
    } else if (span >= 1) {
      ApplyHalves<Op, uint16_t>(q, uint16_t(mask), q + span - 1, uint16_t(mask >> (8 * (span - 1))));
    } else {
      ApplyMask<Op>(*q, unsigned(mask));
    }
    return;
  }
  if (span < 16) {  // 9 to 16 bytes: two overlapping 64-bit words
    Bytes* q = p + first;
    const uint32_t endBit = shift + uint32_t(count);      // range end within q's bytes
    const unsigned hiOffset = 8 * unsigned(span - 7);     // first bit of the high word, >= 8
    const uint64_t loMask = (endBit >= 64 ? ~0ull : (uint64_t(1) << endBit) - 1) & (~0ull << shift);
    const uint64_t hiMask = ~0ull >> (64 - (endBit - hiOffset));
    ApplyHalves<Op, uint64_t>(q, loMask, q + span - 7, hiMask);
    return;
  }
  ApplyMask<Op>(p[first], ByteRangeMask<false>(shift, 8));
  WholeBytes<Op>(p + first + 1, size_t(end / 8 - first - 1));
  if (const unsigned r = unsigned(end % 8)) ApplyMask<Op>(p[end / 8], ByteRangeMask<false>(0, r));
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
