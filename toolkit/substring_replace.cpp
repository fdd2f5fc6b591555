// Key-value search and replacement, on top of the counted substring search.
#include <cstring>
#include <new>

#include "toolkit/detail/strsearch.h"
#include "toolkit/detail/textchar.h"
#include "toolkit/substring.h"

namespace {

using toolkit_detail::CodeOf;
using toolkit_detail::FindCounted;
using toolkit_detail::InClass;
using toolkit_detail::Length;
using toolkit_detail::NulLimited;

// Characters that continue a word: digits, letters (Latin-1 ones too), '_',
// the high bytes, and every wide character above 255.
constexpr uint32_t kWordClasses = CHC_DIGIT | CHC_UPPER | CHC_LOWER | CHC_UNDERSCORE | CHC_HIGHBYTE |
                                  CHC_LATIN1_UPPER | CHC_LATIN1_LOWER;

template <class Ch>
bool IsWordChar(Ch c) {
  return CodeOf(c) > 255 || InClass(c, kWordClasses);
}

// textLen < 0: the text runs to its terminator.
template <class Ch>
int FindKeyValue(const Ch* text, DWORD flags, const Ch* key, Ch ch, int textLen, int keyLen, bool noCase) {
  const size_t m = keyLen < 0 ? Length(key) : static_cast<size_t>(keyLen);
  if (m == 0) return -1;
  size_t n;
  if (textLen < 0) {
    n = Length(text);
  } else {
    n = NulLimited(text, static_cast<size_t>(textLen));
  }
  const uint32_t blanks = CHC_BLANK | ((flags & KEYVALUE_SKIP_NEWLINES) ? CHC_NEWLINE : 0u);
  size_t pos = 0;
  while (pos + m <= n) {
    const ptrdiff_t r = FindCounted(text + pos, n - pos, key, m, noCase, false);
    if (r < 0) return -1;
    const size_t p = pos + static_cast<size_t>(r);
    size_t e = p + m;
    pos = p + 1;
    bool quoted = false;
    if ((flags & KEYVALUE_QUOTED_KEY) && e < n && text[e] == Ch('"') && p > 0 && text[p - 1] == Ch('"') &&
        key[0] != Ch('"')) {
      ++e;
      quoted = true;
    }
    if (!quoted && (flags & KEYVALUE_WHOLE_WORD) && p > 0 && IsWordChar(text[p - 1])) continue;
    while (e < n && InClass(text[e], blanks)) ++e;
    if (e < n && text[e] == ch) return e + 1 > static_cast<size_t>(INT32_MAX) ? -1 : static_cast<int>(e + 1);
  }
  return -1;
}

// Copies src[0..srcLen) into dst with replacements, cut to dstSize-1. dst may
// be src when repl is not longer than find: the output never overtakes the
// input then.
template <class Ch>
int ReplaceCopy(Ch* dst, const Ch* src, size_t srcLen, const Ch* find, const Ch* repl, int dstSize, bool noCase) {
  if (dstSize < 1) return 0;
  const size_t m = Length(find);
  const size_t r = Length(repl);
  const size_t limit = static_cast<size_t>(dstSize) - 1;
  size_t out = 0;
  size_t pos = 0;
  auto put = [&](const Ch* s, size_t k) {
    const size_t room = limit - out;
    const size_t c = k < room ? k : room;
    if (c) std::memmove(dst + out, s, c * sizeof(Ch));
    out += c;
    return c == k;
  };
  for (;;) {
    const ptrdiff_t f = m ? FindCounted(src + pos, srcLen - pos, find, m, noCase, false) : -1;
    if (f < 0) {
      put(src + pos, srcLen - pos);
      break;
    }
    if (!put(src + pos, static_cast<size_t>(f)) || !put(repl, r)) break;
    pos += static_cast<size_t>(f) + m;
  }
  dst[out] = Ch(0);
  return static_cast<int>(out);
}

template <class Ch>
int ReplaceCopyText(Ch* dst, const Ch* src, const Ch* find, const Ch* repl, int dstSize, bool noCase) {
  if (dstSize < 1) return 0;
  return ReplaceCopy(dst, src, Length(src), find, repl, dstSize, noCase);
}

template <class Ch>
int ReplaceInPlace(Ch* text, const Ch* find, const Ch* repl, int size, bool noCase) {
  if (size < 1) return 0;
  const size_t n = NulLimited(text, static_cast<size_t>(size));
  if (Length(repl) <= Length(find)) return ReplaceCopy(text, text, n, find, repl, size, noCase);
  Ch* temp = new (std::nothrow) Ch[static_cast<size_t>(size)];
  if (temp == nullptr) return -1;
  const int k = ReplaceCopy(temp, text, n, find, repl, size, noCase);
  std::memcpy(text, temp, (static_cast<size_t>(k) + 1) * sizeof(Ch));
  delete[] temp;
  return k;
}

// The character that the case-blind forms replace beside from: the other
// case of an ASCII letter, else from itself.
template <class Ch>
Ch OtherCase(Ch from) {
  const unsigned c = CodeOf(from);
  return (c | 32u) - 'a' < 26u ? static_cast<Ch>(c ^ 32u) : from;
}

template <class Ch>
int ReplaceChrCopy(Ch* dst, const Ch* src, Ch from, Ch to, int dstSize, bool noCase) {
  if (dstSize < 1) return 0;
  const Ch alt = noCase ? OtherCase(from) : from;
  int i = 0;
  for (; i < dstSize - 1 && src[i] != Ch(0); ++i) {
    const Ch c = src[i];
    dst[i] = from != Ch(0) && (c == from || c == alt) ? to : c;
  }
  dst[i] = Ch(0);
  return i;
}

template <class Ch>
void ReplaceChr(Ch* text, Ch from, Ch to, bool noCase) {
  if (from == Ch(0)) return;
  const Ch alt = noCase ? OtherCase(from) : from;
  for (Ch* p = text; *p != Ch(0); ++p) {
    if (*p == from || *p == alt) {
      *p = to;
      if (to == Ch(0)) return;  // the text ends here now
    }
  }
}

}  // namespace

int StrFindKeyValue(const char* text, DWORD flags, const char* key, char ch, int keyLen) {
  return FindKeyValue(text, flags, key, ch, -1, keyLen, false);
}
int StrFindKeyValueW(const char16_t* text, DWORD flags, const char16_t* key, char16_t ch, int keyLen) {
  return FindKeyValue(text, flags, key, ch, -1, keyLen, false);
}
int StrFindKeyValueNoCase(const char* text, DWORD flags, const char* key, char ch, int keyLen) {
  return FindKeyValue(text, flags, key, ch, -1, keyLen, true);
}
int StrFindKeyValueNoCaseW(const char16_t* text, DWORD flags, const char16_t* key, char16_t ch, int keyLen) {
  return FindKeyValue(text, flags, key, ch, -1, keyLen, true);
}
int StrFindKeyValueN(const char* text, DWORD flags, const char* key, char ch, int textLen, int keyLen) {
  return textLen < 1 ? -1 : FindKeyValue(text, flags, key, ch, textLen, keyLen, false);
}
int StrFindKeyValueNW(const char16_t* text, DWORD flags, const char16_t* key, char16_t ch, int textLen,
                      int keyLen) {
  return textLen < 1 ? -1 : FindKeyValue(text, flags, key, ch, textLen, keyLen, false);
}
int StrFindKeyValueNoCaseN(const char* text, DWORD flags, const char* key, char ch, int textLen, int keyLen) {
  return textLen < 1 ? -1 : FindKeyValue(text, flags, key, ch, textLen, keyLen, true);
}
int StrFindKeyValueNoCaseNW(const char16_t* text, DWORD flags, const char16_t* key, char16_t ch, int textLen,
                            int keyLen) {
  return textLen < 1 ? -1 : FindKeyValue(text, flags, key, ch, textLen, keyLen, true);
}

int StrReplaceCopy(char* dst, const char* src, const char* find, const char* repl, int dstSize) {
  return ReplaceCopyText(dst, src, find, repl, dstSize, false);
}
int StrReplaceCopyW(char16_t* dst, const char16_t* src, const char16_t* find, const char16_t* repl, int dstSize) {
  return ReplaceCopyText(dst, src, find, repl, dstSize, false);
}
int StrReplaceCopyNoCase(char* dst, const char* src, const char* find, const char* repl, int dstSize) {
  return ReplaceCopyText(dst, src, find, repl, dstSize, true);
}
int StrReplaceCopyNoCaseW(char16_t* dst, const char16_t* src, const char16_t* find, const char16_t* repl,
                          int dstSize) {
  return ReplaceCopyText(dst, src, find, repl, dstSize, true);
}
int StrReplace(char* text, const char* find, const char* repl, int size) {
  return ReplaceInPlace(text, find, repl, size, false);
}
int StrReplaceW(char16_t* text, const char16_t* find, const char16_t* repl, int size) {
  return ReplaceInPlace(text, find, repl, size, false);
}
int StrReplaceNoCase(char* text, const char* find, const char* repl, int size) {
  return ReplaceInPlace(text, find, repl, size, true);
}
int StrReplaceNoCaseW(char16_t* text, const char16_t* find, const char16_t* repl, int size) {
  return ReplaceInPlace(text, find, repl, size, true);
}

int StrReplaceChrCopy(char* dst, const char* src, char from, char to, int dstSize) {
  return ReplaceChrCopy(dst, src, from, to, dstSize, false);
}
int StrReplaceChrCopyW(char16_t* dst, const char16_t* src, char16_t from, char16_t to, int dstSize) {
  return ReplaceChrCopy(dst, src, from, to, dstSize, false);
}
int StrReplaceChrCopyNoCase(char* dst, const char* src, char from, char to, int dstSize) {
  return ReplaceChrCopy(dst, src, from, to, dstSize, true);
}
int StrReplaceChrCopyNoCaseW(char16_t* dst, const char16_t* src, char16_t from, char16_t to, int dstSize) {
  return ReplaceChrCopy(dst, src, from, to, dstSize, true);
}
void StrReplaceChr(char* text, char from, char to) { ReplaceChr(text, from, to, false); }
void StrReplaceChrW(char16_t* text, char16_t from, char16_t to) { ReplaceChr(text, from, to, false); }
void StrReplaceChrNoCase(char* text, char from, char to) { ReplaceChr(text, from, to, true); }
void StrReplaceChrNoCaseW(char16_t* text, char16_t from, char16_t to) { ReplaceChr(text, from, to, true); }
