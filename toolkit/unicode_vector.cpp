// SSE2 blocks for Utf8ToWide and WideToUtf8. Each block classifies sixteen
// source bytes (or eight units) at once, computes every candidate character's
// value in vector lanes, and packs the values of the real characters with a
// branch-free store loop. Anything the character loop would treat specially
// (a terminator, C0 80, a 4-byte sequence, a surrogate, a stray or missing
// continuation byte) ends the block just before it.
#include "toolkit/unicode_vector.h"

#include <atomic>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace unicode_detail {

namespace {
std::atomic<bool> g_vectorPaths{true};
}  // namespace

void SetVectorPaths(bool enabled) { g_vectorPaths.store(enabled, std::memory_order_relaxed); }

#if defined(__SSE2__)

bool VectorPathsEnabled() { return g_vectorPaths.load(std::memory_order_relaxed); }

namespace {

inline __m128i Load(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
inline void Store(void* p, __m128i v) { _mm_storeu_si128(static_cast<__m128i*>(p), v); }
inline __m128i Bytes(int v) { return _mm_set1_epi8(static_cast<char>(v)); }
inline __m128i Words(int v) { return _mm_set1_epi16(static_cast<short>(v)); }
inline __m128i HasBits(__m128i v, int mask, int value) {
  return _mm_cmpeq_epi8(_mm_and_si128(v, Bytes(mask)), Bytes(value));
}
inline __m128i Select(__m128i mask, __m128i a, __m128i b) {  // mask ? a : b
  return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}
inline int LowestBit(unsigned m) { return __builtin_ctz(m); }
inline int HighestBit(unsigned m) { return 31 - __builtin_clz(m); }

// Candidate values of the characters that would start at each of eight byte
// positions: b0, b1, b2 are the bytes at the position and the two after it
// widened to 16 bits; l2 and l3 flag 2- and 3-byte leads.
inline __m128i Utf8Values(__m128i b0, __m128i b1, __m128i b2, __m128i l2, __m128i l3) {
  const __m128i six = Words(0x3F);
  __m128i c1 = _mm_and_si128(b1, six);
  __m128i c2 = _mm_and_si128(b2, six);
  __m128i two = _mm_or_si128(_mm_slli_epi16(_mm_and_si128(b0, Words(0x1F)), 6), c1);
  __m128i three = _mm_or_si128(_mm_slli_epi16(_mm_and_si128(b0, Words(0x0F)), 12),
                               _mm_or_si128(_mm_slli_epi16(c1, 6), c2));
  return Select(l3, three, Select(l2, two, b0));
}

}  // namespace

void Utf8ToWideBlocks(wchar16* dst, int* pos, int limit, const unsigned char* src, int* i,
                      int srcLen) {
  int o = *pos, s = *i;
  const __m128i zero = _mm_setzero_si128();
  // Three overlapping loads reach byte s+17; the packing loop stores sixteen units.
  while (s + 18 <= srcLen && o + 16 <= limit) {
    const unsigned char* p = src + s;
    __m128i b0 = Load(p);
    unsigned nul = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(b0, zero)));
    if (_mm_movemask_epi8(b0) == 0 && nul == 0) {
      Store(dst + o, _mm_unpacklo_epi8(b0, zero));
      Store(dst + o + 8, _mm_unpackhi_epi8(b0, zero));
      o += 16;
      s += 16;
      continue;
    }
    __m128i b1 = Load(p + 1), b2 = Load(p + 2);
    __m128i cont = HasBits(b0, 0xC0, 0x80);
    __m128i l2 = HasBits(b0, 0xE0, 0xC0);
    __m128i l3 = HasBits(b0, 0xF0, 0xE0);
    __m128i ascii = _mm_cmpgt_epi8(b0, Bytes(-1));
    __m128i known = _mm_or_si128(_mm_or_si128(cont, ascii), _mm_or_si128(l2, l3));
    __m128i lead = _mm_or_si128(l2, l3);
    __m128i expected = _mm_or_si128(_mm_slli_si128(lead, 1), _mm_slli_si128(l3, 2));

    __m128i vlo = Utf8Values(_mm_unpacklo_epi8(b0, zero), _mm_unpacklo_epi8(b1, zero),
                             _mm_unpacklo_epi8(b2, zero), _mm_unpacklo_epi8(l2, l2),
                             _mm_unpacklo_epi8(l3, l3));
    __m128i vhi = Utf8Values(_mm_unpackhi_epi8(b0, zero), _mm_unpackhi_epi8(b1, zero),
                             _mm_unpackhi_epi8(b2, zero), _mm_unpackhi_epi8(l2, l2),
                             _mm_unpackhi_epi8(l3, l3));
    // A character of value 0 (C0 80, E0 80 80, or the terminator) stops the text.
    __m128i isZero = _mm_packs_epi16(_mm_cmpeq_epi16(vlo, zero), _mm_cmpeq_epi16(vhi, zero));

    unsigned contMask = static_cast<unsigned>(_mm_movemask_epi8(cont));
    unsigned expMask = static_cast<unsigned>(_mm_movemask_epi8(expected));
    unsigned startMask = ~contMask & 0xFFFFu;
    unsigned bad = (contMask ^ expMask) |
                   (~static_cast<unsigned>(_mm_movemask_epi8(known)) & 0xFFFFu) |
                   (static_cast<unsigned>(_mm_movemask_epi8(isZero)) & startMask);
    unsigned l2Mask = static_cast<unsigned>(_mm_movemask_epi8(l2));
    unsigned l3Mask = static_cast<unsigned>(_mm_movemask_epi8(l3));

    // Characters that run past the sixteenth byte wait for the next block.
    int take = ((l2Mask | l3Mask) & 0x8000u) ? 15 : (l3Mask & 0x4000u) ? 14 : 16;
    if (bad) {
      int j = LowestBit(bad);
      int cut = j;
      if ((expMask >> j) & 1u) {
        // A missing continuation byte: its lead is a single byte, so the
        // block ends before that lead.
        unsigned before = startMask & ((1u << j) - 1u);
        cut = before ? HighestBit(before) : 0;
      }
      if (cut < take) take = cut;
    }
    if (take == 0) break;

    alignas(16) wchar16 values[16];
    Store(values, vlo);
    Store(values + 8, vhi);
    unsigned keep = startMask & ((1u << take) - 1u);
    wchar16* out = dst + o;
    int k = 0;
    for (int t = 0; t < 16; ++t) {
      out[k] = values[t];
      k += static_cast<int>((keep >> t) & 1u);
    }
    o += k;
    s += take;
    if (bad && take < 16) break;
  }
  *pos = o;
  *i = s;
}

void WideToUtf8Blocks(char* dst, int* pos, int limit, const wchar16* src, int* i, int srcLen,
                      int* chars) {
  int o = *pos, s = *i, n = *chars;
  const __m128i zero = _mm_setzero_si128();
  const __m128i flip = Words(static_cast<short>(0x8000));
  // The packing loop stores at most 24 bytes plus one spare past its output.
  while (s + 8 <= srcLen && o + 32 <= limit) {
    __m128i u = Load(src + s);
    __m128i asciiTest = _mm_cmpeq_epi16(_mm_and_si128(u, Words(static_cast<short>(0xFF80))), zero);
    __m128i nulTest = _mm_cmpeq_epi16(u, zero);
    if (_mm_movemask_epi8(asciiTest) == 0xFFFF && _mm_movemask_epi8(nulTest) == 0) {
      if (s + 16 <= srcLen) {
        __m128i u2 = Load(src + s + 8);
        __m128i ascii2 =
            _mm_cmpeq_epi16(_mm_and_si128(u2, Words(static_cast<short>(0xFF80))), zero);
        if (_mm_movemask_epi8(ascii2) == 0xFFFF &&
            _mm_movemask_epi8(_mm_cmpeq_epi16(u2, zero)) == 0) {
          Store(dst + o, _mm_packus_epi16(u, u2));
          o += 16;
          s += 16;
          n += 16;
          continue;
        }
      }
      _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + o), _mm_packus_epi16(u, u));
      o += 8;
      s += 8;
      n += 8;
      continue;
    }
    __m128i us = _mm_xor_si128(u, flip);  // signed compares on unsigned units
    __m128i below80 = _mm_cmplt_epi16(us, Words(static_cast<short>(0x8080)));
    __m128i below800 = _mm_cmplt_epi16(us, Words(static_cast<short>(0x8800)));
    __m128i surrogate =
        _mm_cmpeq_epi16(_mm_and_si128(u, Words(static_cast<short>(0xF800))), Words(static_cast<short>(0xD800)));
    unsigned bad = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(surrogate, nulTest)));
    int take = bad ? LowestBit(bad) / 2 : 8;
    if (take == 0) break;

    const __m128i six = Words(0x3F);
    __m128i lowSix = _mm_or_si128(_mm_and_si128(u, six), Words(0x80));
    __m128i midSix = _mm_or_si128(_mm_and_si128(_mm_srli_epi16(u, 6), six), Words(0x80));
    // First two bytes of each encoding (little-endian) and the third.
    __m128i two = _mm_or_si128(_mm_or_si128(_mm_srli_epi16(u, 6), Words(0xC0)),
                               _mm_slli_epi16(lowSix, 8));
    __m128i three = _mm_or_si128(_mm_or_si128(_mm_srli_epi16(u, 12), Words(0xE0)),
                                 _mm_slli_epi16(midSix, 8));
    __m128i head = Select(below80, u, Select(below800, two, three));
    // Length 1 + (u >= 0x80) + (u >= 0x800): the compare masks are -1 or 0.
    __m128i len = _mm_add_epi16(_mm_add_epi16(Words(3), below80), below800);
    alignas(16) uint16_t heads[8], thirds[8], lens[8];
    Store(heads, head);
    Store(thirds, lowSix);
    Store(lens, len);
    unsigned char* out = reinterpret_cast<unsigned char*>(dst + o);
    int k = 0;
    for (int t = 0; t < take; ++t) {
      std::memcpy(out + k, &heads[t], 2);
      out[k + 2] = static_cast<unsigned char>(thirds[t]);
      k += lens[t];
    }
    o += k;
    s += take;
    n += take;
    if (take < 8) break;
  }
  *pos = o;
  *i = s;
  *chars = n;
}

#else

bool VectorPathsEnabled() { return false; }
void Utf8ToWideBlocks(wchar16*, int*, int, const unsigned char*, int*, int) {}
void WideToUtf8Blocks(char*, int*, int, const wchar16*, int*, int, int*) {}

#endif

}  // namespace unicode_detail
