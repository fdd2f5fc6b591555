// Vector blocks for Utf8ToWide and WideToUtf8.
//
// SSE2 baseline: a block classifies sixteen source bytes (or eight units) at
// once, computes every candidate character's value in vector lanes, and packs
// the values of the real characters with a branch-free store loop.
// SSSE3 (chosen at run time) for Utf8ToWide: a chunk of 64 bytes is checked
// at once, then converted in windows of up to twelve bytes, each gathered by
// one shuffle from a table indexed by where its characters end; 4-byte
// sequences become pairs in the same windows.
// Anything the character loop handles on its own (a terminator, a zero
// character such as C0 80, a stray or missing continuation byte, F8-FF, a
// 4-byte sequence that gives one unit, and in WideToUtf8 every surrogate)
// ends the block just before it, so the results never depend on the path.
#include "toolkit/unicode_vector.h"

#include <atomic>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#include <tmmintrin.h>
#endif

namespace unicode_detail {

namespace {
std::atomic<VectorLevel> g_level{VectorLevel::Best};
}  // namespace

void SetVectorLevel(VectorLevel level) { g_level.store(level, std::memory_order_relaxed); }

#if defined(__SSE2__)

bool VectorPathsEnabled() { return g_level.load(std::memory_order_relaxed) != VectorLevel::None; }

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

namespace {

void Utf8ToWideSse2(wchar16* dst, int* pos, int limit, const unsigned char* src, int* i,
                    int srcLen) {
  int o = *pos, s = *i;
  const __m128i zero = _mm_setzero_si128();
  // Three overlapping loads reach byte s+17; the packing loop stores sixteen units.
  while (srcLen - s >= 18 && limit - o >= 16) {
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


// --- SSSE3: windows of up to twelve bytes packed by one shuffle ------------
//
// A window is described by the positions where its characters end (bit k set:
// byte k is the last byte of a character). One table entry per 12-bit end mask
// tells how to gather the window's first characters into lanes:
//  - up to six characters of 1-2 bytes, when that is at least as many as the
//    other form takes: 16-bit lanes (last byte, lead);
//  - else up to four characters of 1-4 bytes: 32-bit lanes holding the
//    sequence's bytes last first, turned into a unit or a pair each.
struct WindowStep {
  uint8_t kind;      // kShort or kGeneral
  uint8_t consumed;  // bytes taken
  uint8_t chars;     // characters produced
};
enum : uint8_t { kShort = 1, kGeneral = 2 };

struct WindowTable {
  WindowStep step[4096];
  alignas(16) uint8_t shuffle[4096][16];
  // Packs four 32-bit lanes of one unit or a pair into consecutive units;
  // indexed by the lanes that hold pairs.
  alignas(16) uint8_t pairPack[16][16];

  WindowTable() {
    for (unsigned pairs = 0; pairs < 16; ++pairs) {
      uint8_t* pk = pairPack[pairs];
      int b = 0;
      for (int lane = 0; lane < 4; ++lane) {
        pk[b++] = static_cast<uint8_t>(4 * lane);
        pk[b++] = static_cast<uint8_t>(4 * lane + 1);
        if ((pairs >> lane) & 1u) {
          pk[b++] = static_cast<uint8_t>(4 * lane + 2);
          pk[b++] = static_cast<uint8_t>(4 * lane + 3);
        }
      }
      while (b < 16) pk[b++] = 0x80;
    }
    for (unsigned mask = 0; mask < 4096; ++mask) {
      int start[12], len[12], n = 0;
      for (int at = 0, k = 0; k < 12; ++k) {
        if ((mask >> k) & 1u) {
          start[n] = at;
          len[n] = k - at + 1;
          ++n;
          at = k + 1;
        }
      }
      uint8_t* sh = shuffle[mask];
      for (int b = 0; b < 16; ++b) sh[b] = 0x80;
      int shortRun = 0;
      while (shortRun < n && shortRun < 6 && len[shortRun] <= 2) ++shortRun;
      int run = n < 4 ? n : 4;
      if (shortRun >= 1 && shortRun >= run) {
        for (int c = 0; c < shortRun; ++c) {
          sh[2 * c] = static_cast<uint8_t>(start[c] + len[c] - 1);
          if (len[c] == 2) sh[2 * c + 1] = static_cast<uint8_t>(start[c]);
        }
        step[mask] = {kShort, static_cast<uint8_t>(start[shortRun - 1] + len[shortRun - 1]),
                      static_cast<uint8_t>(shortRun)};
      } else {
        for (int c = 0; c < run; ++c) {
          for (int b = 0; b < len[c]; ++b) {
            sh[4 * c + b] = static_cast<uint8_t>(start[c] + len[c] - 1 - b);
          }
        }
        step[mask] = {kGeneral,
                      static_cast<uint8_t>(run ? start[run - 1] + len[run - 1] : 0),
                      static_cast<uint8_t>(run)};
      }
    }
  }
};

const WindowTable& Windows() {
  static const WindowTable table;
  return table;
}

bool HasSsse3() {
  static const bool has = __builtin_cpu_supports("ssse3");
  return has;
}

inline uint64_t Mask16(__m128i x) { return static_cast<uint16_t>(_mm_movemask_epi8(x)); }
inline uint64_t LowBits(int n) { return n >= 64 ? ~uint64_t{0} : (uint64_t{1} << n) - 1; }

// Classifies the 64 bytes from p (p[64] is read as well; p is a character
// boundary). Returns how many of them, from 0, form characters the windows may
// convert, with their end mask (bit k: byte k ends a character) and the units
// they give.
inline int CleanChunk(const unsigned char* p, uint64_t* endMask, int* units) {
  uint64_t cont = 0, l2 = 0, l3 = 0, l4 = 0, known = 0, zero = 0, lowLead = 0, f0 = 0, f4 = 0,
           big = 0, eq80 = 0, ge90 = 0;
  const __m128i flip = Bytes(0x80);
  for (int k = 0; k < 4; ++k) {
    __m128i b = Load(p + 16 * k);
    __m128i flipped = _mm_xor_si128(b, flip);
    __m128i c = HasBits(b, 0xC0, 0x80), x2 = HasBits(b, 0xE0, 0xC0), x3 = HasBits(b, 0xF0, 0xE0),
            x4 = HasBits(b, 0xF8, 0xF0);
    __m128i ascii = _mm_cmpgt_epi8(b, Bytes(-1));
    const int sh = 16 * k;
    cont |= Mask16(c) << sh;
    l2 |= Mask16(x2) << sh;
    l3 |= Mask16(x3) << sh;
    l4 |= Mask16(x4) << sh;
    known |= Mask16(_mm_or_si128(_mm_or_si128(c, ascii), _mm_or_si128(_mm_or_si128(x2, x3), x4))) << sh;
    zero |= Mask16(_mm_cmpeq_epi8(b, _mm_setzero_si128())) << sh;
    lowLead |= Mask16(_mm_or_si128(_mm_cmpeq_epi8(b, Bytes(0xC0)), _mm_cmpeq_epi8(b, Bytes(0xE0)))) << sh;
    f0 |= Mask16(_mm_cmpeq_epi8(b, Bytes(0xF0))) << sh;
    f4 |= Mask16(_mm_cmpeq_epi8(b, Bytes(0xF4))) << sh;
    big |= Mask16(_mm_and_si128(x4, _mm_cmpgt_epi8(flipped, Bytes(0xF4 ^ 0x80)))) << sh;
    eq80 |= Mask16(_mm_cmpeq_epi8(b, flip)) << sh;
    ge90 |= Mask16(_mm_cmpgt_epi8(flipped, Bytes(0x8F ^ 0x80))) << sh;
  }
  const unsigned last = p[64];
  const uint64_t nextCont = (cont >> 1) | (uint64_t{(last & 0xC0) == 0x80} << 63);
  const uint64_t nextEq80 = (eq80 >> 1) | (uint64_t{last == 0x80} << 63);
  const uint64_t nextGe90 = (ge90 >> 1) | (uint64_t{last >= 0x90} << 63);
  const uint64_t l34 = l3 | l4;
  const uint64_t expected = ((l2 | l34) << 1) | (l34 << 2) | (l4 << 3);
  // Besides broken structure and bytes F8-FF, the loop takes: zero characters
  // (the terminator, C0 80, E0 80 80, F0 80 80 80) and the 4-byte sequences
  // that give one unit (overlong F0 below 90, F4 90 and up, F5-F7).
  const uint64_t bad = (cont ^ expected) | ~known | zero | (lowLead & nextEq80) |
                       (f0 & ~nextGe90) | (f4 & nextGe90) | big;
  const uint64_t cut = (l2 & (uint64_t{1} << 63)) | (l3 & (uint64_t{3} << 62)) | (l4 & (uint64_t{7} << 61));
  int take = cut ? __builtin_ctzll(cut) : 64;
  if (bad) {
    int j = __builtin_ctzll(bad);
    int end = j;
    if ((expected >> j) & 1u) {
      // A missing continuation byte: its lead stands alone, so stop before it.
      uint64_t before = ~cont & LowBits(j);
      end = before ? 63 - __builtin_clzll(before) : 0;
    }
    if (end < take) take = end;
  }
  if (take > 0) {
    const uint64_t range = LowBits(take);
    *endMask = ((~nextCont) & range) | (uint64_t{1} << (take - 1));
    *units = __builtin_popcountll(~cont & range) + __builtin_popcountll(l4 & range);
  }
  return take;
}

__attribute__((target("ssse3"))) void Utf8ToWideSsse3(wchar16* dst, int* pos, int limit,
                                                      const unsigned char* src, int* i,
                                                      int srcLen) {
  const WindowTable& table = Windows();
  int o = *pos, s = *i;
  const __m128i zero = _mm_setzero_si128();
  const __m128i pack32 = _mm_setr_epi8(0, 1, 4, 5, 8, 9, 12, 13, -1, -1, -1, -1, -1, -1, -1, -1);
  // A chunk of 64 classified bytes gives at most 64 units and its last window
  // may store eight lanes beyond them; its windows load up to byte 79.
  while (srcLen - s >= 80 && limit - o >= 72) {
    const unsigned char* p = src + s;
    __m128i a = Load(p), b = Load(p + 16), c = Load(p + 32), d = Load(p + 48);
    __m128i any = _mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d));
    __m128i nul = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(a, zero), _mm_cmpeq_epi8(b, zero)),
        _mm_or_si128(_mm_cmpeq_epi8(c, zero), _mm_cmpeq_epi8(d, zero)));
    if (_mm_movemask_epi8(any) == 0 && _mm_movemask_epi8(nul) == 0) {
      Store(dst + o, _mm_unpacklo_epi8(a, zero));
      Store(dst + o + 8, _mm_unpackhi_epi8(a, zero));
      Store(dst + o + 16, _mm_unpacklo_epi8(b, zero));
      Store(dst + o + 24, _mm_unpackhi_epi8(b, zero));
      Store(dst + o + 32, _mm_unpacklo_epi8(c, zero));
      Store(dst + o + 40, _mm_unpackhi_epi8(c, zero));
      Store(dst + o + 48, _mm_unpacklo_epi8(d, zero));
      Store(dst + o + 56, _mm_unpackhi_epi8(d, zero));
      o += 64;
      s += 64;
      continue;
    }
    uint64_t ends = 0;
    int units = 0;
    int take = CleanChunk(p, &ends, &units);
    if (take == 0) break;
    wchar16* out = dst + o;
    // Chunks without 4-byte sequences pack four units with one shuffle; the
    // choice is made per chunk so that it stays predictable.
    const bool hasFour = units != __builtin_popcountll(ends);
    for (int off = 0; off < take;) {
      unsigned window = static_cast<unsigned>(ends >> off) & 0xFFFu;
      const WindowStep& st = table.step[window];
      __m128i v = _mm_shuffle_epi8(Load(p + off), Load(table.shuffle[window]));
      if (st.kind == kShort) {
        __m128i value = _mm_or_si128(_mm_and_si128(v, Words(0x7F)),
                                     _mm_and_si128(_mm_srli_epi16(v, 2), Words(0x7C0)));
        Store(out, value);
        out += st.chars;
      } else {
        // Payload bits of each byte; a 3-byte lead sits where a 4-byte
        // sequence has a continuation byte and brings one marker bit along.
        __m128i cp = _mm_or_si128(
            _mm_or_si128(_mm_and_si128(v, _mm_set1_epi32(0x7F)),
                         _mm_and_si128(_mm_srli_epi32(v, 2), _mm_set1_epi32(0xFC0))),
            _mm_or_si128(_mm_and_si128(_mm_srli_epi32(v, 4), _mm_set1_epi32(0x3F000)),
                         _mm_and_si128(_mm_srli_epi32(v, 6), _mm_set1_epi32(0x1C0000))));
        cp = _mm_andnot_si128(_mm_and_si128(_mm_srli_epi32(v, 5), _mm_set1_epi32(0x20000)), cp);
        __m128i pair = _mm_cmpgt_epi32(cp, _mm_set1_epi32(0xFFFF));
        unsigned pairs = static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(pair)));
        if (!hasFour) {
          _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(cp, pack32));
          out += st.chars;
        } else {
          __m128i minus = _mm_sub_epi32(cp, _mm_set1_epi32(0x10000));
          __m128i pairUnits = _mm_or_si128(
              _mm_add_epi32(_mm_srli_epi32(minus, 10), _mm_set1_epi32(0xD800)),
              _mm_slli_epi32(_mm_add_epi32(_mm_and_si128(cp, _mm_set1_epi32(0x3FF)),
                                           _mm_set1_epi32(0xDC00)),
                             16));
          // Each lane holds one unit, or a pair (high half first); one
          // shuffle drops the empty upper halves. Lanes past the window's
          // characters are zero and never pairs.
          __m128i units = Select(pair, pairUnits, cp);
          Store(out, _mm_shuffle_epi8(units, Load(table.pairPack[pairs])));
          out += st.chars + __builtin_popcount(pairs);
        }
      }
      off += st.consumed;
    }
    o += units;
    s += take;
  }
  *pos = o;
  *i = s;
}

}  // namespace

void Utf8ToWideBlocks(wchar16* dst, int* pos, int limit, const unsigned char* src, int* i,
                      int srcLen) {
  if (HasSsse3() && g_level.load(std::memory_order_relaxed) == VectorLevel::Best) {
    Utf8ToWideSsse3(dst, pos, limit, src, i, srcLen);
  } else {
    Utf8ToWideSse2(dst, pos, limit, src, i, srcLen);
  }
}

void WideToUtf8Blocks(char* dst, int* pos, int limit, const wchar16* src, int* i, int srcLen,
                      int* chars) {
  int o = *pos, s = *i, n = *chars;
  const __m128i zero = _mm_setzero_si128();
  const __m128i flip = Words(static_cast<short>(0x8000));
  // The packing loop stores at most 24 bytes plus one spare past its output.
  while (srcLen - s >= 8 && limit - o >= 32) {
    __m128i u = Load(src + s);
    __m128i asciiTest = _mm_cmpeq_epi16(_mm_and_si128(u, Words(static_cast<short>(0xFF80))), zero);
    __m128i nulTest = _mm_cmpeq_epi16(u, zero);
    if (_mm_movemask_epi8(asciiTest) == 0xFFFF && _mm_movemask_epi8(nulTest) == 0) {
      if (srcLen - s >= 16) {
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
