#include "toolkit/base64.h"

#include "toolkit/detail/cpu.h"
#include "toolkit/strcopy.h"

#include <array>
#include <bit>
#include <climits>
#include <cstring>
#include <type_traits>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Two output characters for every 12 input bits: one table load per pair.
template <class Ch>
struct CharPair {
  Ch c[2];
};

template <class Ch>
constexpr std::array<CharPair<Ch>, 4096> MakePairTable() {
  std::array<CharPair<Ch>, 4096> t{};
  for (int i = 0; i < 4096; ++i) {
    t[i].c[0] = static_cast<Ch>(kAlphabet[i >> 6]);
    t[i].c[1] = static_cast<Ch>(kAlphabet[i & 63]);
  }
  return t;
}

template <class Ch>
constexpr std::array<CharPair<Ch>, 4096> kPairs = MakePairTable<Ch>();

// Decoder classes of a byte: 0-63 its value, then the three kinds of
// non-alphabet characters.
constexpr uint8_t kPad = 0x40;   // '=': drops the bits of an unfinished group
constexpr uint8_t kSkip = 0x80;  // any other character: ignored
constexpr uint8_t kEnd = 0xC0;   // the terminator

constexpr std::array<uint8_t, 256> MakeDecodeTable() {
  std::array<uint8_t, 256> t{};
  for (auto& v : t) v = kSkip;
  for (int i = 0; i < 64; ++i) t[static_cast<unsigned char>(kAlphabet[i])] = static_cast<uint8_t>(i);
  t['='] = kPad;
  t[0] = kEnd;
  return t;
}

constexpr std::array<uint8_t, 256> kDecode = MakeDecodeTable();

// Fast-path tables: the value of the k-th character of a group already moved
// to its place in the 24 output bits; a non-alphabet character sets bit 24.
constexpr uint32_t kBadGroup = 0x01000000;

constexpr std::array<uint32_t, 256> MakeGroupTable(int shift) {
  std::array<uint32_t, 256> t{};
  for (int c = 0; c < 256; ++c) {
    t[c] = kDecode[c] < 64 ? static_cast<uint32_t>(kDecode[c]) << shift : kBadGroup;
  }
  return t;
}

constexpr std::array<uint32_t, 256> kGroup0 = MakeGroupTable(18);
constexpr std::array<uint32_t, 256> kGroup1 = MakeGroupTable(12);
constexpr std::array<uint32_t, 256> kGroup2 = MakeGroupTable(6);
constexpr std::array<uint32_t, 256> kGroup3 = MakeGroupTable(0);

template <class Ch>
inline void PutPair(Ch* d, uint32_t twelveBits) {
  std::memcpy(d, &kPairs<Ch>[twelveBits], sizeof(CharPair<Ch>));
}

#ifdef TOOLKIT_X86_SIMD

// 12 bytes to 16 characters at a time: the bytes are spread so that each
// 32-bit lane holds one group, the four 6-bit indexes are moved into their own
// bytes by two multiplies, and a 16-entry table adds the offset of each
// index's alphabet range. Reads 16 bytes per step (4 beyond the group data),
// so it stops while fewer than 16 remain. Returns the groups encoded.
template <class Ch>
__attribute__((target("avx2"))) size_t EncodeBlocksSimd(const uint8_t* s, size_t nGroups, Ch* d) {
  const __m128i spread = _mm_set_epi8(10, 11, 9, 10, 7, 8, 6, 7, 4, 5, 3, 4, 1, 2, 0, 1);
  const __m128i offsets = _mm_setr_epi8('a' - 26, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52,
                                        '0' - 52, '0' - 52, '0' - 52, '0' - 52, '+' - 62, '/' - 63, 'A', 0, 0);
  size_t g = 0;
  for (; nGroups - g >= 6; g += 4) {  // 16 bytes readable: at least 6 groups left
    const __m128i in = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 3 * g)), spread);
    const __m128i t0 = _mm_mulhi_epu16(_mm_and_si128(in, _mm_set1_epi32(0x0FC0FC00)), _mm_set1_epi32(0x04000040));
    const __m128i t1 = _mm_mullo_epi16(_mm_and_si128(in, _mm_set1_epi32(0x003F03F0)), _mm_set1_epi32(0x01000010));
    const __m128i idx = _mm_or_si128(t0, t1);
    __m128i range = _mm_subs_epu8(idx, _mm_set1_epi8(51));
    range = _mm_or_si128(range, _mm_and_si128(_mm_cmpgt_epi8(_mm_set1_epi8(26), idx), _mm_set1_epi8(13)));
    const __m128i chars = _mm_add_epi8(_mm_shuffle_epi8(offsets, range), idx);
    if constexpr (sizeof(Ch) == 1) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 4 * g), chars);
    } else {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 4 * g), _mm256_cvtepu8_epi16(chars));
    }
  }
  return g;
}

#endif

// Encodes nGroups complete groups of 3 bytes into 4 * nGroups characters.
template <class Ch>
void EncodeGroups(const uint8_t* s, size_t nGroups, Ch* d) {
#ifdef TOOLKIT_X86_SIMD
  if (nGroups >= 6 && toolkit_detail::CpuHasAvx2()) {
    const size_t done = EncodeBlocksSimd(s, nGroups, d);
    s += 3 * done;
    d += 4 * done;
    nGroups -= done;
  }
#endif
  for (; nGroups >= 2; nGroups -= 2, s += 6, d += 8) {
    const uint32_t a = (uint32_t{s[0]} << 16) | (uint32_t{s[1]} << 8) | s[2];
    const uint32_t b = (uint32_t{s[3]} << 16) | (uint32_t{s[4]} << 8) | s[5];
    PutPair(d, a >> 12);
    PutPair(d + 2, a & 0xFFF);
    PutPair(d + 4, b >> 12);
    PutPair(d + 6, b & 0xFFF);
  }
  if (nGroups) {
    const uint32_t a = (uint32_t{s[0]} << 16) | (uint32_t{s[1]} << 8) | s[2];
    PutPair(d, a >> 12);
    PutPair(d + 2, a & 0xFFF);
  }
}


// The padded group of one or two leftover bytes.
template <class Ch>
void EncodeTail(const uint8_t* s, size_t n, Ch* d) {
  const uint32_t a = (uint32_t{s[0]} << 16) | (n > 1 ? uint32_t{s[1]} << 8 : 0);
  d[0] = static_cast<Ch>(kAlphabet[a >> 18]);
  d[1] = static_cast<Ch>(kAlphabet[(a >> 12) & 63]);
  d[2] = n > 1 ? static_cast<Ch>(kAlphabet[(a >> 6) & 63]) : Ch('=');
  d[3] = Ch('=');
}

// One encoder step over pending bytes plus new input. pos is the column in the
// current output line; pending/nPending the bytes kept from the last call.
// finish pads what is left and closes the last line. Returns the characters
// written (dst terminated) or -1 when the output would not fit an int.
template <class Ch>
int EncodeCore(const uint8_t* src, size_t srcLen, uint8_t pending[2], int& nPending, int& pos,
               Ch* dst, int lineLen, bool finish) {
  const size_t total = static_cast<size_t>(nPending) + srcLen;
  const size_t groups = total / 3;
  const size_t rest = total % 3;
  // Of the padded last group only the characters that carry input bits
  // before the padding (one per leftover byte) count toward line breaks; the
  // rest follow on the same line, so the padding never opens a line.
  const uint64_t uncounted = finish && rest ? 4 - rest : 0;
  const uint64_t counted = uint64_t{groups} * 4 + (finish ? rest : 0);
  const uint64_t chars = counted + uncounted;
  uint64_t breaks = 0;
  bool finalBreak = false;
  if (lineLen > 0) {
    breaks = (static_cast<uint64_t>(pos) + counted) / static_cast<uint64_t>(lineLen);
    finalBreak = finish && (uncounted > 0 ||
                            (static_cast<uint64_t>(pos) + counted) % static_cast<uint64_t>(lineLen) != 0);
  }
  const uint64_t written = chars + breaks + (finalBreak ? 1 : 0);
  if (written > static_cast<uint64_t>(INT_MAX) - 1) return -1;

  // The characters go in one run behind the room the line breaks need, and
  // are then moved forward line by line; without breaks they are in place.
  const size_t lead = static_cast<size_t>(breaks + (finalBreak ? 1 : 0));
  Ch* out = dst + lead;
  const uint8_t* s = src;
  size_t left = srcLen;
  if (groups > 0 && nPending > 0) {
    uint8_t first[3] = {pending[0], pending[1], 0};
    const size_t take = 3 - static_cast<size_t>(nPending);
    std::memcpy(first + nPending, s, take);
    EncodeGroups(first, 1, out);
    out += 4;
    s += take;
    left -= take;
    nPending = 0;
  }
  const size_t bulk = nPending == 0 ? left / 3 : 0;
  EncodeGroups(s, bulk, out);
  out += bulk * 4;
  s += bulk * 3;
  left -= bulk * 3;
  // What remains (fewer than 3 bytes in all) joins the pending bytes.
  for (size_t i = 0; i < left; ++i) pending[nPending++] = s[i];
  if (finish) {
    if (nPending > 0) {
      EncodeTail(pending, static_cast<size_t>(nPending), out);
      out += 4;
    }
    nPending = 0;
  }

  size_t at = 0;
  if (lineLen > 0) {
    size_t from = lead;
    size_t remain = static_cast<size_t>(counted);
    size_t room = static_cast<size_t>(lineLen - pos);
    while (remain > 0) {
      const size_t seg = remain < room ? remain : room;
      if (at != from) std::memmove(dst + at, dst + from, seg * sizeof(Ch));
      at += seg;
      from += seg;
      remain -= seg;
      if (seg == room) {
        dst[at++] = Ch('\n');
        room = static_cast<size_t>(lineLen);
      } else {
        room -= seg;
      }
    }
    pos = lineLen - static_cast<int>(room);
    if (at != from) std::memmove(dst + at, dst + from, static_cast<size_t>(uncounted) * sizeof(Ch));
    at += static_cast<size_t>(uncounted);
    if (finalBreak) dst[at++] = Ch('\n');
    if (finish) pos = 0;
  } else {
    at = static_cast<size_t>(chars);
    pos = 0;
  }
  dst[at] = Ch(0);
  return static_cast<int>(at);
}

template <class Ch>
int EncodeWhole(const void* src, int srcLen, Ch* dst, int lineLen) {
  if (srcLen < 1 || src == nullptr) {
    dst[0] = Ch(0);
    return 0;
  }
  uint8_t pending[2] = {0, 0};
  int nPending = 0;
  int pos = 0;
  return EncodeCore(static_cast<const uint8_t*>(src), static_cast<size_t>(srcLen), pending,
                    nPending, pos, dst, lineLen, true);
}

constexpr int kMaxStreamLine = 2047;  // the line position has 11 bits in the state

template <class Ch>
int EncodeStream(const void* src, int srcLen, DWORD* state, Ch* dst, int lineLen) {
  if (lineLen > kMaxStreamLine) return -1;
  const DWORD st = *state;
  int nPending = static_cast<int>(st >> 28);
  int pos = static_cast<int>((st >> 16) & 0x7FF);
  if (nPending > 2 || (st & 0x08000000) != 0) return -1;
  if (lineLen > 0 ? pos >= lineLen : pos != 0) return -1;
  uint8_t pending[2] = {static_cast<uint8_t>(st & 0xFF), static_cast<uint8_t>((st >> 8) & 0xFF)};
  const bool finish = src == nullptr;
  const size_t len = finish || srcLen < 1 ? 0 : static_cast<size_t>(srcLen);
  const int n = EncodeCore(static_cast<const uint8_t*>(src), len, pending, nPending, pos, dst,
                           lineLen, finish);
  if (n < 0) return -1;
  DWORD next = static_cast<DWORD>(nPending) << 28 | static_cast<DWORD>(pos) << 16;
  if (nPending > 0) next |= pending[0];
  if (nPending > 1) next |= static_cast<DWORD>(pending[1]) << 8;
  *state = next;
  return n;
}

// The 24 bits of four alphabet characters; false when one is not.
template <class Ch>
inline bool GroupValue(const Ch* s, uint32_t* v) {
  if constexpr (sizeof(Ch) > 1) {
    if ((s[0] | s[1] | s[2] | s[3]) >= 128) return false;
  }
  *v = kGroup0[static_cast<uint8_t>(s[0])] | kGroup1[static_cast<uint8_t>(s[1])] |
       kGroup2[static_cast<uint8_t>(s[2])] | kGroup3[static_cast<uint8_t>(s[3])];
  return (*v & kBadGroup) == 0;
}

// Stores the three bytes of v with one four-byte write; the fourth byte is
// overwritten by the next group (the caller keeps room for it).
inline void Put3(uint8_t* d, uint32_t v) {
  if constexpr (std::endian::native == std::endian::little) {
    const uint32_t w = ((v >> 16) & 0xFF) | (v & 0xFF00) | ((v & 0xFF) << 16);
    std::memcpy(d, &w, 4);
  } else {
    d[0] = static_cast<uint8_t>(v >> 16);
    d[1] = static_cast<uint8_t>(v >> 8);
    d[2] = static_cast<uint8_t>(v);
  }
}

#ifdef TOOLKIT_X86_SIMD

// 32 characters at a time: each byte is checked by a table of its low and
// one of its high nibble, moved to its 6-bit value, and the values packed to
// 24 bytes. Returns the characters decoded, a multiple of 32; it stops before
// the first block that holds anything but alphabet characters.
__attribute__((target("avx2"))) size_t DecodeBlocksAvx2(const char* src, size_t nChars, uint8_t* dst,
                                                        size_t room) {
  const __m256i lutLo = _mm256_setr_epi8(0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13, 0x1A,
                                         0x1B, 0x1B, 0x1B, 0x1A, 0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11,
                                         0x11, 0x11, 0x13, 0x1A, 0x1B, 0x1B, 0x1B, 0x1A);
  const __m256i lutHi = _mm256_setr_epi8(0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10, 0x10,
                                         0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08,
                                         0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10);
  const __m256i lutRoll = _mm256_setr_epi8(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16, 19, 4,
                                           -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0);
  const __m256i nibble = _mm256_set1_epi8(0x0F);
  const __m256i slash = _mm256_set1_epi8('/');
  const __m256i pack = _mm256_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1, 2, 1, 0, 6, 5, 4,
                                        10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
  const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7);
  size_t done = 0;
  size_t out = 0;
  while (nChars - done >= 32 && room - out >= 24) {
    const __m256i in = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + done));
    const __m256i hi = _mm256_and_si256(_mm256_srli_epi32(in, 4), nibble);
    const __m256i lo = _mm256_and_si256(in, nibble);
    const __m256i bad = _mm256_and_si256(_mm256_shuffle_epi8(lutLo, lo), _mm256_shuffle_epi8(lutHi, hi));
    if (!_mm256_testz_si256(bad, bad)) break;
    const __m256i roll = _mm256_shuffle_epi8(lutRoll, _mm256_add_epi8(_mm256_cmpeq_epi8(in, slash), hi));
    const __m256i values = _mm256_add_epi8(in, roll);
    const __m256i pairs = _mm256_maddubs_epi16(values, _mm256_set1_epi32(0x01400140));
    const __m256i words = _mm256_madd_epi16(pairs, _mm256_set1_epi32(0x00011000));
    const __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(words, pack), lanes);
    if (room - out >= 32) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + out), bytes);
    } else {
      alignas(32) uint8_t tmp[32];
      _mm256_store_si256(reinterpret_cast<__m256i*>(tmp), bytes);
      std::memcpy(dst + out, tmp, 24);
    }
    out += 24;
    done += 32;
  }
  return done;
}

#endif

// Decoder shared by the whole and the streaming forms: bits/nBits carry the
// input bits not yet output.
inline int TextLengthN(const char* s, int n) { return StrLenN(s, n); }
inline int TextLengthN(const char16_t* s, int n) { return StrLenNW(s, n); }

template <class Ch>
int DecodeCore(uint8_t* dst, int dstSize, const Ch* src, int srcLen, uint32_t& bits, int& nBits) {
  // The block loops read whole groups and vectors ahead, so they must see the
  // real end: a terminator before srcLen ends the text, and nothing behind it
  // may be touched.
  srcLen = TextLengthN(src, srcLen);
  int out = 0;
  int i = 0;
  while (i < srcLen && out < dstSize) {
    // Whole groups of four alphabet characters at once, two at a time while
    // there is room to store four bytes per group.
    if (nBits == 0) {
#ifdef TOOLKIT_X86_SIMD
      if constexpr (sizeof(Ch) == 1) {
        if (srcLen - i >= 32 && toolkit_detail::CpuHasAvx2()) {
          const size_t n = DecodeBlocksAvx2(src + i, static_cast<size_t>(srcLen - i), dst + out,
                                            static_cast<size_t>(dstSize - out));
          i += static_cast<int>(n);
          out += static_cast<int>(n / 4 * 3);
        }
      }
#endif
      while (srcLen - i >= 8 && dstSize - out >= 7) {
        uint32_t v0, v1;
        if (!GroupValue(src + i, &v0) || !GroupValue(src + i + 4, &v1)) break;
        Put3(dst + out, v0);
        Put3(dst + out + 3, v1);
        out += 6;
        i += 8;
      }
      while (srcLen - i >= 4 && dstSize - out >= 3) {
        uint32_t v;
        if (!GroupValue(src + i, &v)) break;
        dst[out] = static_cast<uint8_t>(v >> 16);
        dst[out + 1] = static_cast<uint8_t>(v >> 8);
        dst[out + 2] = static_cast<uint8_t>(v);
        out += 3;
        i += 4;
      }
      if (i >= srcLen || out >= dstSize) break;
    }
    const auto c = static_cast<std::make_unsigned_t<Ch>>(src[i]);
    const uint8_t k = c < 256 && (sizeof(Ch) == 1 || c < 128) ? kDecode[c] : kSkip;
    if (k == kEnd) break;
    ++i;
    if (k < 64) {
      bits = (bits << 6) | k;
      nBits += 6;
      if (nBits >= 8) {
        nBits -= 8;
        dst[out++] = static_cast<uint8_t>(bits >> nBits);
        bits &= (1u << nBits) - 1;
      }
    } else if (k == kPad) {
      bits = 0;
      nBits = 0;
    }
  }
  return out;
}

template <class Ch>
int DecodeWhole(void* dst, int dstSize, const Ch* src, int srcLen) {
  if (dstSize < 1 || srcLen < 1) return 0;
  uint32_t bits = 0;
  int nBits = 0;
  return DecodeCore(static_cast<uint8_t*>(dst), dstSize, src, srcLen, bits, nBits);
}

template <class Ch>
int DecodeStream(void* dst, int dstSize, DWORD* state, const Ch* src, int srcLen) {
  const DWORD st = *state;
  int nBits = static_cast<int>(st >> 28);
  uint32_t bits = st & 0xFF;
  if ((st & 0x0FFFFF00) != 0 || nBits > 6 || (nBits & 1) != 0 || bits >> nBits != 0) return -1;
  int n = 0;
  if (dstSize >= 1 && srcLen >= 1) n = DecodeCore(static_cast<uint8_t*>(dst), dstSize, src, srcLen, bits, nBits);
  *state = static_cast<DWORD>(nBits) << 28 | bits;
  return n;
}

}  // namespace

int Base64Encode(const void* src, int srcLen, char* dst, int lineLen) {
  return EncodeWhole(src, srcLen, dst, lineLen);
}
int Base64EncodeW(const void* src, int srcLen, char16_t* dst, int lineLen) {
  return EncodeWhole(src, srcLen, dst, lineLen);
}
int Base64EncodeStream(const void* src, int srcLen, DWORD* state, char* dst, int lineLen) {
  return EncodeStream(src, srcLen, state, dst, lineLen);
}
int Base64EncodeStreamW(const void* src, int srcLen, DWORD* state, char16_t* dst, int lineLen) {
  return EncodeStream(src, srcLen, state, dst, lineLen);
}
int Base64Decode(void* dst, int dstSize, const char* src, int srcLen) {
  return DecodeWhole(dst, dstSize, src, srcLen);
}
int Base64DecodeW(void* dst, int dstSize, const char16_t* src, int srcLen) {
  return DecodeWhole(dst, dstSize, src, srcLen);
}
int Base64DecodeStream(void* dst, int dstSize, DWORD* state, const char* src, int srcLen) {
  return DecodeStream(dst, dstSize, state, src, srcLen);
}
int Base64DecodeStreamW(void* dst, int dstSize, DWORD* state, const char16_t* src, int srcLen) {
  return DecodeStream(dst, dstSize, state, src, srcLen);
}
