#include "toolkit/substring.h"

#include <bit>
#include <climits>
#include <cstring>

#include "toolkit/detail/strsearch.h"
#include "toolkit/detail/textchar.h"

#include "toolkit/detail/cpu.h"

namespace toolkit_detail {
namespace {

struct ExactFold {
  template <class Ch>
  unsigned operator()(Ch c) const {
    return CodeOf(c);
  }
};

struct AsciiFold {
  template <class Ch>
  unsigned operator()(Ch c) const {
    return LowerAscii(CodeOf(c));
  }
};

// Maximal suffix of key under the order (reversed when flip), with its period;
// the start of the suffix minus one is returned.
template <class Ch, class Fold>
ptrdiff_t MaximalSuffix(const Ch* key, ptrdiff_t m, bool flip, ptrdiff_t* period, Fold f) {
  ptrdiff_t ms = -1, j = 0, k = 1, p = 1;
  while (j + k < m) {
    const unsigned a = f(key[j + k]);
    const unsigned b = f(key[ms + k]);
    if (flip ? a > b : a < b) {
      j += k;
      k = 1;
      p = j - ms;
    } else if (a == b) {
      if (k != p) {
        ++k;
      } else {
        j += p;
        k = 1;
      }
    } else {
      ms = j;
      j = ms + 1;
      k = p = 1;
    }
  }
  *period = p;
  return ms;
}

// Crochemore-Perrin two-way search: linear time, constant space.
template <class Ch, class Fold>
ptrdiff_t TwoWay(const Ch* text, ptrdiff_t n, const Ch* key, ptrdiff_t m, Fold f) {
  if (m > n) return -1;
  ptrdiff_t p1, p2;
  const ptrdiff_t i1 = MaximalSuffix(key, m, false, &p1, f);
  const ptrdiff_t i2 = MaximalSuffix(key, m, true, &p2, f);
  const ptrdiff_t ell = i1 > i2 ? i1 : i2;
  ptrdiff_t per = i1 > i2 ? p1 : p2;
  auto same = [&](ptrdiff_t a, ptrdiff_t b) { return f(key[a]) == f(key[b]); };
  bool periodic = per + ell + 1 <= m;
  for (ptrdiff_t i = 0; periodic && i <= ell; ++i) periodic = same(i, i + per);
  if (periodic) {
    ptrdiff_t memory = -1;
    for (ptrdiff_t j = 0; j <= n - m;) {
      ptrdiff_t i = (ell > memory ? ell : memory) + 1;
      while (i < m && f(key[i]) == f(text[i + j])) ++i;
      if (i >= m) {
        i = ell;
        while (i > memory && f(key[i]) == f(text[i + j])) --i;
        if (i <= memory) return j;
        j += per;
        memory = m - per - 1;
      } else {
        j += i - ell;
        memory = -1;
      }
    }
  } else {
    per = (ell + 1 > m - ell - 1 ? ell + 1 : m - ell - 1) + 1;
    for (ptrdiff_t j = 0; j <= n - m;) {
      ptrdiff_t i = ell + 1;
      while (i < m && f(key[i]) == f(text[i + j])) ++i;
      if (i >= m) {
        i = ell;
        while (i >= 0 && f(key[i]) == f(text[i + j])) --i;
        if (i < 0) return j;
        j += per;
      } else {
        j += i - ell;
      }
    }
  }
  return -1;
}

// Verification work allowed before the two-way search takes over.
inline bool OverBudget(size_t work, size_t scanned) { return work > 4 * scanned + 1024; }

template <class Ch, class Fold>
ptrdiff_t TwoWayFrom(const Ch* text, size_t from, size_t n, const Ch* key, size_t m, Fold f) {
  const ptrdiff_t r = TwoWay(text + from, static_cast<ptrdiff_t>(n - from), key, static_cast<ptrdiff_t>(m), f);
  return r < 0 ? -1 : static_cast<ptrdiff_t>(from) + r;
}

// Scalar filter on the first and last key character.
template <class Ch, class Fold>
ptrdiff_t FindGeneric(const Ch* text, size_t n, const Ch* key, size_t m, Fold f) {
  if (m > n) return -1;
  const unsigned first = f(key[0]);
  const unsigned last = f(key[m - 1]);
  size_t work = 0;
  for (size_t j = 0; j + m <= n; ++j) {
    if (f(text[j]) != first || f(text[j + m - 1]) != last) continue;
    size_t i = 1;
    while (i + 1 < m && f(text[j + i]) == f(key[i])) ++i;
    if (i + 1 >= m) return static_cast<ptrdiff_t>(j);
    work += i;
    if (OverBudget(work, j)) return TwoWayFrom(text, j + 1, n, key, m, f);
  }
  return -1;
}

// Byte search, scalar form: the text ends at n or (stopAtNul) its first NUL.
ptrdiff_t FindBytesScalar(const char* text, size_t n, const char* key, size_t m, bool stopAtNul) {
  if (stopAtNul) n = NulLimited(text, n);
  if (m == 1) {
    const void* p = std::memchr(text, key[0], n);
    return p ? static_cast<const char*>(p) - text : -1;
  }
  return FindGeneric(text, n, key, m, ExactFold{});
}

#ifdef TOOLKIT_X86_SIMD

__attribute__((target("avx2"))) inline __m256i ByteHits(__m256i v, __m256i vc, bool stopAtNul) {
  const __m256i x = _mm256_xor_si256(v, vc);
  return stopAtNul ? _mm256_min_epu8(x, v) : x;
}

// First c (or, with stopAtNul, NUL) in text[0..n): min(v ^ c, v) is zero
// exactly at both, so four vectors are tested with one compare.
__attribute__((target("avx2"))) ptrdiff_t FindByteAvx2(const char* text, size_t n, char c, bool stopAtNul) {
  const __m256i vc = _mm256_set1_epi8(c);
  const __m256i vz = _mm256_setzero_si256();
  size_t i = 0;
  for (; i + 128 <= n; i += 128) {
    const auto* p = reinterpret_cast<const __m256i*>(text + i);
    const __m256i h0 = ByteHits(_mm256_loadu_si256(p), vc, stopAtNul);
    const __m256i h1 = ByteHits(_mm256_loadu_si256(p + 1), vc, stopAtNul);
    const __m256i h2 = ByteHits(_mm256_loadu_si256(p + 2), vc, stopAtNul);
    const __m256i h3 = ByteHits(_mm256_loadu_si256(p + 3), vc, stopAtNul);
    const __m256i all = _mm256_min_epu8(_mm256_min_epu8(h0, h1), _mm256_min_epu8(h2, h3));
    if (_mm256_movemask_epi8(_mm256_cmpeq_epi8(all, vz)) != 0) {
      const __m256i hs[4] = {h0, h1, h2, h3};
      for (int k = 0; k < 4; ++k) {
        const auto mask = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(hs[k], vz)));
        if (mask) {
          const size_t j = i + 32 * static_cast<size_t>(k) + static_cast<size_t>(std::countr_zero(mask));
          return text[j] == c ? static_cast<ptrdiff_t>(j) : -1;
        }
      }
    }
  }
  for (; i < n; ++i) {
    if (text[i] == c) return static_cast<ptrdiff_t>(i);
    if (stopAtNul && text[i] == 0) return -1;
  }
  return -1;
}

// The same with 64-byte vectors where the processor has them.
__attribute__((target("avx512f,avx512bw"))) ptrdiff_t FindByteAvx512(const char* text, size_t n, char c,
                                                                     bool stopAtNul) {
  const __m512i vc = _mm512_set1_epi8(c);
  auto hits = [&](const char* at) __attribute__((target("avx512f,avx512bw"))) {
    const __m512i v = _mm512_loadu_si512(at);
    const __m512i x = _mm512_xor_si512(v, vc);
    return stopAtNul ? _mm512_min_epu8(x, v) : x;
  };
  // Whole cache lines from the first line boundary on.
  size_t i = (64 - reinterpret_cast<uintptr_t>(text) % 64) % 64;
  if (i > n) i = n;
  if (i > 0) {
    const ptrdiff_t r = FindByteAvx2(text, i, c, stopAtNul);
    if (r >= 0 || (stopAtNul && std::memchr(text, 0, i) != nullptr)) return r;
  }
  for (; i + 256 <= n; i += 256) {
    const __m512i h0 = hits(text + i), h1 = hits(text + i + 64), h2 = hits(text + i + 128), h3 = hits(text + i + 192);
    const __m512i all = _mm512_min_epu8(_mm512_min_epu8(h0, h1), _mm512_min_epu8(h2, h3));
    if (_mm512_testn_epi8_mask(all, all) != 0) {
      const __m512i hs[4] = {h0, h1, h2, h3};
      for (int k = 0; k < 4; ++k) {
        const uint64_t mask = _mm512_testn_epi8_mask(hs[k], hs[k]);
        if (mask) {
          const size_t j = i + 64 * static_cast<size_t>(k) + static_cast<size_t>(std::countr_zero(mask));
          return text[j] == c ? static_cast<ptrdiff_t>(j) : -1;
        }
      }
    }
  }
  const ptrdiff_t r = FindByteAvx2(text + i, n - i, c, stopAtNul);
  return r < 0 ? -1 : static_cast<ptrdiff_t>(i) + r;
}

// Equal bytes; short keys are compared here rather than through a call.
inline bool SameBytes(const char* a, const char* b, size_t n) {
  if (n > 16) return std::memcmp(a, b, n) == 0;
  for (size_t i = 0; i < n; ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

// Candidate starts of one 32-position block: first and last key character in
// place, and (stopAtNul) only starts before a NUL at the block's start side.
struct BlockHits {
  uint32_t candidates;
  uint32_t nul;
};

__attribute__((target("avx2"))) inline BlockHits ScanBlock(const char* at, size_t k, __m256i first, __m256i last,
                                                           bool stopAtNul) {
  const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
  const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + k));
  BlockHits h;
  h.candidates = static_cast<uint32_t>(
      _mm256_movemask_epi8(_mm256_and_si256(_mm256_cmpeq_epi8(a, first), _mm256_cmpeq_epi8(b, last))));
  h.nul = stopAtNul ? static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(a, _mm256_setzero_si256())))
                    : 0u;
  if (h.nul) h.candidates &= (h.nul & (0u - h.nul)) - 1;
  return h;
}

__attribute__((target("avx2"))) ptrdiff_t FindBytesAvx2(const char* text, size_t n, const char* key, size_t m,
                                                        bool stopAtNul) {
  if (m == 1) return CpuHasAvx512bw() ? FindByteAvx512(text, n, key[0], stopAtNul) : FindByteAvx2(text, n, key[0], stopAtNul);
  if (n < m + 31) return FindBytesScalar(text, n, key, m, stopAtNul);
  const __m256i first = _mm256_set1_epi8(key[0]);
  // The second filter character: the last one that differs from the first
  // ("/src/" filters on '/' and 'c', not on '/' twice).
  size_t k = m - 1;
  while (k > 1 && key[k] == key[0]) --k;
  const __m256i last = _mm256_set1_epi8(key[k]);
  size_t work = 0;
  size_t i = 0;
  // Blocks read text[i .. i+m+31); the last one is moved back to end at n and
  // skips the starts already tried.
  const size_t lastBlock = n - m - 31;
  const __m256i zero = _mm256_setzero_si256();
  bool done = false;
  while (!done) {
    // Two blocks at a time while nothing is in sight.
    for (; i + 32 <= lastBlock; i += 64) {
      const __m256i a0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + i));
      const __m256i a1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + i + 32));
      const __m256i b0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + i + k));
      const __m256i b1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + i + k + 32));
      __m256i any = _mm256_or_si256(_mm256_and_si256(_mm256_cmpeq_epi8(a0, first), _mm256_cmpeq_epi8(b0, last)),
                                    _mm256_and_si256(_mm256_cmpeq_epi8(a1, first), _mm256_cmpeq_epi8(b1, last)));
      if (stopAtNul) any = _mm256_or_si256(any, _mm256_cmpeq_epi8(_mm256_min_epu8(a0, a1), zero));
      if (!_mm256_testz_si256(any, any)) break;
    }
    uint32_t skip = 0;
    if (i > lastBlock) {
      skip = static_cast<uint32_t>(i - lastBlock);
      i = lastBlock;
      done = true;
    } else if (i == lastBlock) {
      done = true;
    }
    BlockHits h = ScanBlock(text + i, k, first, last, stopAtNul);
    // The pair loop may have stepped past every start of the moved-back
    // block (skip 32): then none is left to try.
    if (skip >= 32) {
      h.candidates = 0;
    } else if (skip) {
      h.candidates &= ~((1u << skip) - 1);
    }
    while (h.candidates) {
      const size_t j = i + static_cast<size_t>(std::countr_zero(h.candidates));
      if (SameBytes(text + j + 1, key + 1, m - 1)) return static_cast<ptrdiff_t>(j);
      work += m;
      h.candidates &= h.candidates - 1;
    }
    if (h.nul) return -1;
    i += 32;
    if (!done && OverBudget(work, i)) {
      const size_t end = stopAtNul ? i + NulLimited(text + i, n - i) : n;
      return TwoWayFrom(text, i, end, key, m, ExactFold{});
    }
  }
  return -1;
}

#endif

ptrdiff_t FindBytes(const char* text, size_t n, const char* key, size_t m, bool stopAtNul) {
  // A key holding a NUL cannot lie within text that ends at its first NUL.
  if (stopAtNul && std::memchr(key, 0, m) != nullptr) return -1;
  if (m > n) return -1;
#ifdef TOOLKIT_X86_SIMD
  if (CpuHasAvx2()) return FindBytesAvx2(text, n, key, m, stopAtNul);
#endif
  return FindBytesScalar(text, n, key, m, stopAtNul);
}

}  // namespace

ptrdiff_t FindCounted(const char* text, size_t n, const char* key, size_t m, bool noCase, bool stopAtNul) {
  if (!noCase) return FindBytes(text, n, key, m, stopAtNul);
  if (stopAtNul) n = NulLimited(text, n);
  return FindGeneric(text, n, key, m, AsciiFold{});
}

ptrdiff_t FindCounted(const char16_t* text, size_t n, const char16_t* key, size_t m, bool noCase,
                      bool stopAtNul) {
  if (stopAtNul) n = NulLimited(text, n);
  if (noCase) return FindGeneric(text, n, key, m, AsciiFold{});
  return FindGeneric(text, n, key, m, ExactFold{});
}

}  // namespace toolkit_detail

namespace {

using toolkit_detail::FindCounted;
using toolkit_detail::Length;

int Index(ptrdiff_t r) { return r < 0 || r > INT_MAX ? -1 : static_cast<int>(r); }

template <class Ch>
size_t KeyLength(const Ch* key, int keyLen) {
  return keyLen < 0 ? Length(key) : static_cast<size_t>(keyLen);
}

// Unbounded text. An empty key is found at 0; by the counted-key forms
// (countedKey) only in a non-empty text.
template <class Ch>
int FindIn(const Ch* text, const Ch* key, int keyLen, bool noCase, bool countedKey) {
  const size_t m = KeyLength(key, keyLen);
  if (m == 0) return !countedKey || text[0] != 0 ? 0 : -1;
  return Index(FindCounted(text, Length(text), key, m, noCase, false));
}

template <class Ch>
int FindInN(const Ch* text, const Ch* key, int textLen, int keyLen, bool noCase) {
  if (textLen < 1) return -1;
  const size_t m = KeyLength(key, keyLen);
  if (m == 0) return 0;
  return Index(FindCounted(text, static_cast<size_t>(textLen), key, m, noCase, true));
}

}  // namespace

int StrFindStr(const char* text, const char* find) {
  // The C library's search finds the terminator in the same pass.
  const char* p = std::strstr(text, find);
  return p ? Index(p - text) : -1;
}
int StrFindStrW(const char16_t* text, const char16_t* find) { return FindIn(text, find, -1, false, false); }
int StrFindStrLen(const char* text, const char* find, int findLen) { return FindIn(text, find, findLen, false, true); }
int StrFindStrLenW(const char16_t* text, const char16_t* find, int findLen) {
  return FindIn(text, find, findLen, false, true);
}
int StrFindStrN(const char* text, const char* find, int textLen) { return FindInN(text, find, textLen, -1, false); }
int StrFindStrNW(const char16_t* text, const char16_t* find, int textLen) {
  return FindInN(text, find, textLen, -1, false);
}
int StrFindStrLenN(const char* text, const char* find, int textLen, int findLen) {
  return FindInN(text, find, textLen, findLen, false);
}
int StrFindStrLenNW(const char16_t* text, const char16_t* find, int textLen, int findLen) {
  return FindInN(text, find, textLen, findLen, false);
}

int StrFindStrNoCase(const char* text, const char* find) { return FindIn(text, find, -1, true, false); }
int StrFindStrNoCaseW(const char16_t* text, const char16_t* find) { return FindIn(text, find, -1, true, false); }
int StrFindStrLenNoCase(const char* text, const char* find, int findLen) {
  return FindIn(text, find, findLen, true, true);
}
int StrFindStrLenNoCaseW(const char16_t* text, const char16_t* find, int findLen) {
  return FindIn(text, find, findLen, true, true);
}
int StrFindStrNoCaseN(const char* text, const char* find, int textLen) {
  return FindInN(text, find, textLen, -1, true);
}
int StrFindStrNoCaseNW(const char16_t* text, const char16_t* find, int textLen) {
  return FindInN(text, find, textLen, -1, true);
}
int StrFindStrLenNoCaseN(const char* text, const char* find, int textLen, int findLen) {
  return FindInN(text, find, textLen, findLen, true);
}
int StrFindStrLenNoCaseNW(const char16_t* text, const char16_t* find, int textLen, int findLen) {
  return FindInN(text, find, textLen, findLen, true);
}
