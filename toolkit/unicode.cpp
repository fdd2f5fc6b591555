// UTF-8 / UTF-16 characters and text conversions (character loops; the vector
// blocks live in unicode_vector.cpp).
#include "toolkit/unicode.h"

#include <array>
#include <climits>
#include <cstdint>
#include <cstring>

#include "toolkit/strcopy.h"
#include "toolkit/unicode_vector.h"

namespace {

// Sequence length a byte announces as a lead: 1 for ASCII, for continuation
// bytes and for F8-FF, which never start a sequence.
constexpr std::array<uint8_t, 256> kLeadLength = [] {
  std::array<uint8_t, 256> t{};
  for (int b = 0; b < 256; ++b) {
    t[b] = b >= 0xF0 && b <= 0xF7 ? 4 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xC0 && b <= 0xDF ? 2 : 1;
  }
  return t;
}();
// Payload bits of a lead byte by sequence length.
constexpr std::array<uint8_t, 5> kLeadBits = {0, 0xFF, 0x1F, 0x0F, 0x07};

constexpr bool IsContinuation(unsigned b) { return (b & 0xC0) == 0x80; }
constexpr bool IsHighSurrogate(unsigned u) { return u >= 0xD800 && u <= 0xDBFF; }
constexpr bool IsLowSurrogate(unsigned u) { return u >= 0xDC00 && u <= 0xDFFF; }
constexpr DWORD CombinePair(unsigned high, unsigned low) {
  return 0x10000 + ((high & 0x3FF) << 10) + (low & 0x3FF);
}

constexpr DWORD kReplacement = 0xFFFD;
constexpr DWORD kMaxCodePoint = 0x10FFFF;

// Decodes one character from at most `avail` (>= 1) readable bytes; bytes
// beyond avail count as non-continuation bytes, as a terminator would.
inline int DecodeUtf8(const unsigned char* p, int avail, DWORD* codePoint) {
  unsigned lead = p[0];
  int len = kLeadLength[lead];
  DWORD value = lead & kLeadBits[len];
  for (int k = 1; k < len; ++k) {
    if (k >= avail || !IsContinuation(p[k])) {
      *codePoint = lead;
      return 1;
    }
    value = (value << 6) | (p[k] & 0x3Fu);
  }
  *codePoint = value;
  return len;
}

inline int EncodeUtf8(char* dst, DWORD cp) {
  auto out = reinterpret_cast<unsigned char*>(dst);
  if (cp < 0x80) {
    out[0] = static_cast<unsigned char>(cp);
    return 1;
  }
  if (cp < 0x800) {
    out[0] = static_cast<unsigned char>(0xC0 | (cp >> 6));
    out[1] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
    return 2;
  }
  if (cp < 0x10000) {
    out[0] = static_cast<unsigned char>(0xE0 | (cp >> 12));
    out[1] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
    out[2] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
    return 3;
  }
  out[0] = static_cast<unsigned char>(0xF0 | ((cp >> 18) & 0x07));
  out[1] = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
  out[2] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
  out[3] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
  return 4;
}

inline int Utf16Units(DWORD cp) { return cp >= 0x10000 && cp <= kMaxCodePoint ? 2 : 1; }

inline int EncodeUtf16(wchar16* dst, DWORD cp) {
  if (cp < 0x10000) {
    dst[0] = static_cast<wchar16>(cp);
    return 1;
  }
  if (cp > kMaxCodePoint) {
    dst[0] = static_cast<wchar16>(kReplacement);
    return 1;
  }
  dst[0] = static_cast<wchar16>(0xD800 + ((cp - 0x10000) >> 10));
  dst[1] = static_cast<wchar16>(0xDC00 + (cp & 0x3FF));
  return 2;
}

inline unsigned Unit(char c) { return static_cast<unsigned char>(c); }
inline unsigned Unit(wchar16 c) { return c; }

// Units before the terminator, at most maxLen, read one by one up to it.
template <class Ch>
int BoundedLength(const Ch* s, int maxLen) {
  if constexpr (sizeof(Ch) == 1) {
    return StrLenN(s, maxLen);
  } else {
    // Four separate tests a step, so that no unit after the terminator is
    // read; this pass costs a fraction of the conversion.
    int n = 0;
    for (; maxLen - n >= 4; n += 4) {
      if (s[n] == 0) return n;
      if (s[n + 1] == 0) return n + 1;
      if (s[n + 2] == 0) return n + 2;
      if (s[n + 3] == 0) return n + 3;
    }
    while (n < maxLen && s[n] != 0) ++n;
    return n;
  }
}

// The source units a conversion may read: up to the terminator, within
// srcLen (negative: unbounded) and within the four units per destination
// unit that no converter goes beyond. The vector blocks then never load past
// the terminator, however far srcLen reaches, and a short conversion does
// not measure a long text.
template <class Ch>
int SourceLength(const Ch* src, int srcLen, int dstSize) {
  int64_t reach = int64_t{dstSize} * 4;
  if (srcLen >= 0 && srcLen < reach) reach = srcLen;
  return BoundedLength(src, reach < INT_MAX ? static_cast<int>(reach) : INT_MAX);
}

// Latin-1 or 16-bit text to UTF-8 (both twins of the *ToUtf8 family).
template <class Src>
int ToUtf8(char* dst, const Src* src, int dstSize, int* count, int srcLen) {
  if (count) *count = 0;
  if (dstSize < 1) return 0;
  srcLen = SourceLength(src, srcLen, dstSize);
  const int limit = dstSize - 4;
  int pos = 0, i = 0, chars = 0;
  while (pos < limit && i < srcLen) {
    if constexpr (sizeof(Src) == 2) {
      if (unicode_detail::VectorPathsEnabled()) {
        unicode_detail::WideToUtf8Blocks(dst, &pos, limit, src, &i, srcLen, &chars);
        if (pos >= limit || i >= srcLen) break;
      }
    }
    // A few characters by hand, then back to the blocks. The bound is taken
    // from what is left, so that it cannot overflow near INT_MAX.
    const int stop = srcLen - i > 16 ? i + 16 : srcLen;
    while (pos < limit && i < stop) {
      unsigned u = Unit(src[i]);
      if (u == 0) {
        srcLen = i;
        break;
      }
      DWORD cp = u;
      ++i;
      if constexpr (sizeof(Src) == 2) {
        if (IsHighSurrogate(u) && i < srcLen && IsLowSurrogate(src[i])) cp = CombinePair(u, src[i++]);
      }
      pos += EncodeUtf8(dst + pos, cp);
      ++chars;
    }
  }
  dst[pos] = 0;
  if (count) *count = chars;
  return pos;
}

// UTF-8 to 16-bit text; output within dstSize-2 units.
int Utf8ToWideImpl(wchar16* dst, const char* text, int dstSize, int srcLen) {
  if (dstSize < 1) return 0;
  srcLen = SourceLength(text, srcLen, dstSize);
  auto src = reinterpret_cast<const unsigned char*>(text);
  const int limit = dstSize - 2;
  int pos = 0, i = 0;
  while (i < srcLen && pos < limit) {
    if (unicode_detail::VectorPathsEnabled()) {
      unicode_detail::Utf8ToWideBlocks(dst, &pos, limit, src, &i, srcLen);
      if (i >= srcLen || pos >= limit) break;
    }
    bool stopped = false;
    const int stop = srcLen - i > 16 ? i + 16 : srcLen;
    while (i < stop) {
      DWORD cp;
      int n = DecodeUtf8(src + i, srcLen - i, &cp);
      if (cp == 0 || pos + Utf16Units(cp) > limit) {
        stopped = true;
        break;
      }
      pos += EncodeUtf16(dst + pos, cp);
      i += n;
    }
    if (stopped) break;
  }
  dst[pos] = 0;
  return pos;
}

int Utf8ToLatin1Impl(char* dst, const char* text, int dstSize, int srcLen) {
  if (dstSize < 1) return 0;
  srcLen = SourceLength(text, srcLen, dstSize);
  auto src = reinterpret_cast<const unsigned char*>(text);
  int pos = 0, i = 0;
  while (i < srcLen && pos < dstSize - 1) {
    DWORD cp;
    i += DecodeUtf8(src + i, srcLen - i, &cp);
    if (cp == 0) break;
    dst[pos++] = static_cast<char>(cp > 0xFF ? 0xFF : cp);
  }
  dst[pos] = 0;
  return pos;
}

// Copies between Latin-1 and 16-bit text one character at a time; a
// character above 255 (a whole pair counting as one) becomes 0xFF.
template <class Dst, class Src>
int CopyLatin1(Dst* dst, const Src* src, int dstSize, int srcLen) {
  if (dstSize < 1) return 0;
  if (srcLen < 0) srcLen = INT_MAX;
  int pos = 0, i = 0;
  while (i < srcLen && pos < dstSize - 1) {
    unsigned u = Unit(src[i++]);
    if (u == 0) break;
    if constexpr (sizeof(Src) == 2) {
      if (IsHighSurrogate(u) && i < srcLen && IsLowSurrogate(src[i])) ++i;
    }
    dst[pos++] = static_cast<Dst>(u > 0xFF ? 0xFF : u);
  }
  dst[pos] = 0;
  return pos;
}

}  // namespace

// --- single characters -----------------------------------------------------

int Utf8DecodeChar(const char* text, DWORD* codePoint) {
  return DecodeUtf8(reinterpret_cast<const unsigned char*>(text), INT_MAX, codePoint);
}

int Utf8DecodeCharBack(const char* end, DWORD* codePoint) {
  auto e = reinterpret_cast<const unsigned char*>(end);
  unsigned last = e[-1];
  if (IsContinuation(last)) {
    for (int k = 2; k <= 4; ++k) {
      unsigned b = e[-k];
      if (IsContinuation(b)) continue;
      if (kLeadLength[b] == k) return DecodeUtf8(e - k, k, codePoint);
      break;
    }
  }
  *codePoint = last;
  return 1;
}

int Utf8CharLength(const char* text) {
  DWORD cp;
  return Utf8DecodeChar(text, &cp);
}

int Utf8CharLengthN(const char* text, int maxLen) {
  if (maxLen < 1) return 0;
  DWORD cp;
  return DecodeUtf8(reinterpret_cast<const unsigned char*>(text), maxLen, &cp);
}

int Utf8EncodedLength(DWORD codePoint) {
  return codePoint < 0x80 ? 1 : codePoint < 0x800 ? 2 : codePoint < 0x10000 ? 3 : 4;
}

int Utf8EncodeChar(char* dst, DWORD codePoint) { return EncodeUtf8(dst, codePoint); }

int Utf16DecodeChar(const wchar16* text, DWORD* codePoint) {
  unsigned u = text[0];
  if (IsHighSurrogate(u) && IsLowSurrogate(text[1])) {
    *codePoint = CombinePair(u, text[1]);
    return 2;
  }
  *codePoint = u;
  return 1;
}

int Utf16DecodeCharBack(const wchar16* end, DWORD* codePoint) {
  unsigned u = end[-1];
  if (IsLowSurrogate(u) && IsHighSurrogate(end[-2])) {
    *codePoint = CombinePair(end[-2], u);
    return 2;
  }
  *codePoint = u;
  return 1;
}

int Utf16CharLength(const wchar16* text) {
  return IsHighSurrogate(text[0]) && IsLowSurrogate(text[1]) ? 2 : 1;
}

int Utf16CharLengthN(const wchar16* text, int maxLen) {
  if (maxLen < 1) return 0;
  return maxLen >= 2 && IsHighSurrogate(text[0]) && IsLowSurrogate(text[1]) ? 2 : 1;
}

int Utf16EncodedLength(DWORD codePoint) { return Utf16Units(codePoint); }

int Utf16EncodeChar(wchar16* dst, DWORD codePoint) { return EncodeUtf16(dst, codePoint); }

// --- texts -----------------------------------------------------------------

int Latin1ToUtf8N(char* dst, const char* src, int dstSize, int srcLen) {
  return ToUtf8(dst, src, dstSize, nullptr, srcLen);
}
int Latin1ToUtf8(char* dst, const char* src, int dstSize) {
  return ToUtf8(dst, src, dstSize, nullptr, -1);
}
int Latin1ToUtf8NCount(char* dst, const char* src, int dstSize, int* count, int srcLen) {
  return ToUtf8(dst, src, dstSize, count, srcLen);
}
int Latin1ToUtf8Count(char* dst, const char* src, int dstSize, int* count) {
  return ToUtf8(dst, src, dstSize, count, -1);
}
int WideToUtf8N(char* dst, const wchar16* src, int dstSize, int srcLen) {
  return ToUtf8(dst, src, dstSize, nullptr, srcLen);
}
int WideToUtf8(char* dst, const wchar16* src, int dstSize) {
  return ToUtf8(dst, src, dstSize, nullptr, -1);
}
int WideToUtf8NCount(char* dst, const wchar16* src, int dstSize, int* count, int srcLen) {
  return ToUtf8(dst, src, dstSize, count, srcLen);
}
int WideToUtf8Count(char* dst, const wchar16* src, int dstSize, int* count) {
  return ToUtf8(dst, src, dstSize, count, -1);
}

int Utf8ToWide(wchar16* dst, const char* src, int dstSize, int srcLen) {
  return Utf8ToWideImpl(dst, src, dstSize, srcLen);
}
int Utf8ToWideZ(wchar16* dst, const char* src, int dstSize) {
  return Utf8ToWideImpl(dst, src, dstSize, -1);
}

int Utf8ToLatin1(char* dst, const char* src, int dstSize) {
  return Utf8ToLatin1Impl(dst, src, dstSize, -1);
}
int Utf8ToLatin1N(char* dst, const char* src, int dstSize, int srcLen) {
  return Utf8ToLatin1Impl(dst, src, dstSize, srcLen);
}

int WideToLatin1(char* dst, const wchar16* src, int dstSize, int srcLen) {
  return CopyLatin1(dst, src, dstSize, srcLen);
}
int Latin1ToWide(wchar16* dst, const char* src, int dstSize, int srcLen) {
  return CopyLatin1(dst, src, dstSize, srcLen);
}
