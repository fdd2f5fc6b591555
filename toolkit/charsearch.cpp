// Character and class searches, written once for both widths.
#include "toolkit/charsearch.h"

#include <climits>
#include <cstring>

#include "toolkit/charclass.h"
#include "toolkit/detail/textchar.h"

namespace {

using toolkit_detail::ClassOf;
using toolkit_detail::CodeOf;

template <class Ch>
constexpr unsigned kCodeMask = sizeof(Ch) == 1 ? 0xFFu : 0xFFFFu;

template <class Ch>
unsigned CodeArg(int ch) {
  return unsigned(ch) & kCodeMask<Ch>;
}

// Unbounded forms scan with this bound: they end at the terminator anyway.
constexpr int kUnbounded = INT_MAX;

template <class Ch>
int FindChr(const Ch* text, int ch) {
  const unsigned c = CodeArg<Ch>(ch);
  if constexpr (sizeof(Ch) == 1) {
    const char set[2] = {char(c), 0};
    return int(std::strcspn(text, set));  // stops at ch or the terminator
  } else {
    int i = 0;
    while (text[i] != 0 && CodeOf(text[i]) != c) ++i;
    return i;
  }
}

template <class Ch>
int FindChrN(const Ch* text, int ch, int maxLen) {
  if (maxLen < 1) return 0;
  const unsigned c = CodeArg<Ch>(ch);
  if constexpr (sizeof(Ch) == 1) {
    const size_t len = strnlen(text, size_t(maxLen));
    const void* hit = std::memchr(text, int(c), len);
    return hit ? int(static_cast<const char*>(hit) - text) : int(len);
  } else {
    int i = 0;
    while (i < maxLen && text[i] != 0 && CodeOf(text[i]) != c) ++i;
    return i;
  }
}

// A found ch (not the terminator) is counted.
template <class Ch>
int CountFound(const Ch* text, int i, int maxLen) {
  return (i < maxLen && text[i] != 0) ? i + 1 : i;
}

template <class Ch>
int FindChrBackN(const Ch* text, int ch, int len) {
  const unsigned c = CodeArg<Ch>(ch);
  for (int i = len - 1; i >= 0; --i)
    if (CodeOf(text[i]) == c) return i;
  return -1;
}

// Stop tests of the class searches.
struct PlainStop {  // the terminator only
  template <class Ch>
  bool operator()(Ch c) const {
    return c == 0;
  }
};

struct ClassStop {  // a class member, bit 31 inverted; optionally the terminator
  uint32_t mask;
  bool atTerminator;
  template <class Ch>
  bool operator()(Ch c) const {
    return (ClassOf(c) & (mask ^ CHC_NUL)) != 0 || (atTerminator && c == 0);
  }
};

struct AllowedStop {  // any character outside the allowed set
  uint32_t mask;
  bool atTerminator;
  template <class Ch>
  bool operator()(Ch c) const {
    return (ClassOf(c) & mask) == 0 || (atTerminator && c == 0);
  }
};

// The common scan: per character (i) the stop test, (ii) the escape, which
// steps over the character it hides, (iii) ch, which ends the scan with i or,
// when counted, i + 1.
template <class Ch, class Stop>
int Scan(const Ch* text, int maxLen, Stop stop, unsigned ch, bool hasEscape, unsigned escape,
         bool countCh) {
  if (maxLen < 1) return 0;
  int i = 0;
  while (i < maxLen) {
    const Ch c = text[i];
    if (stop(c)) return i;
    const unsigned code = CodeOf(c);
    if (hasEscape && code == escape) {
      if (i + 1 >= maxLen) return maxLen;
      const Ch hidden = text[i + 1];
      if (hidden == 0 && stop(hidden)) return i + 1;
      i += 2;
      continue;
    }
    if (code == ch) return countCh ? i + 1 : i;
    ++i;
  }
  return maxLen;
}

template <class Ch>
int BreakClassChr(DWORD mask, const Ch* text, int ch, int maxLen, bool hasEscape, int escape,
                  bool unbounded) {
  return Scan(text, unbounded ? kUnbounded : maxLen, ClassStop{mask, unbounded}, CodeArg<Ch>(ch),
              hasEscape, CodeArg<Ch>(escape), false);
}

template <class Ch>
int FindEndClass(DWORD mask, const Ch* text, DWORD chWord, int maxLen, bool hasEscape,
                 int escape, bool unbounded) {
  const int bound = unbounded ? kUnbounded : maxLen;
  const unsigned ch = chWord & kCodeMask<Ch>;
  const unsigned esc = CodeArg<Ch>(escape);
  if ((chWord & 0xFF000000u) == CLASS_SPAN_TAG)
    return Scan(text, bound, AllowedStop{mask, unbounded}, ch, hasEscape, esc, true);
  return Scan(text, bound, ClassStop{mask, unbounded}, ch, hasEscape, esc, true);
}

template <class Ch>
int FindChrEsc(const Ch* text, int ch, int maxLen, int escape, bool countCh) {
  return Scan(text, maxLen, PlainStop{}, CodeArg<Ch>(ch), true, CodeArg<Ch>(escape), countCh);
}

}  // namespace

int StrFindChr(const char* text, int ch) { return FindChr(text, ch); }
int StrFindChrW(const wchar16* text, int ch) { return FindChr(text, ch); }
int StrFindChrN(const char* text, int ch, int maxLen) { return FindChrN(text, ch, maxLen); }
int StrFindChrNW(const wchar16* text, int ch, int maxLen) { return FindChrN(text, ch, maxLen); }
int StrFindChrEnd(const char* text, int ch) { return CountFound(text, FindChr(text, ch), INT_MAX); }
int StrFindChrEndW(const wchar16* text, int ch) {
  return CountFound(text, FindChr(text, ch), INT_MAX);
}
int StrFindChrEndN(const char* text, int ch, int maxLen) {
  return CountFound(text, FindChrN(text, ch, maxLen), maxLen);
}
int StrFindChrEndNW(const wchar16* text, int ch, int maxLen) {
  return CountFound(text, FindChrN(text, ch, maxLen), maxLen);
}
int StrFindChrBackN(const char* text, int ch, int len) { return FindChrBackN(text, ch, len); }
int StrFindChrBackNW(const wchar16* text, int ch, int len) { return FindChrBackN(text, ch, len); }

int StrFindChrEscN(const char* text, int ch, int maxLen, int escape) {
  return FindChrEsc(text, ch, maxLen, escape, false);
}
int StrFindChrEscNW(const wchar16* text, int ch, int maxLen, int escape) {
  return FindChrEsc(text, ch, maxLen, escape, false);
}
int StrFindChrEndEscN(const char* text, int ch, int maxLen, int escape) {
  return FindChrEsc(text, ch, maxLen, escape, true);
}
int StrFindChrEndEscNW(const wchar16* text, int ch, int maxLen, int escape) {
  return FindChrEsc(text, ch, maxLen, escape, true);
}

int StrBreakClassChrEscN(DWORD classMask, const char* text, int ch, int maxLen, int escape) {
  return BreakClassChr(classMask, text, ch, maxLen, true, escape, false);
}
int StrBreakClassChrEscNW(DWORD classMask, const wchar16* text, int ch, int maxLen, int escape) {
  return BreakClassChr(classMask, text, ch, maxLen, true, escape, false);
}
int StrBreakClassChrN(DWORD classMask, const char* text, int ch, int maxLen) {
  return BreakClassChr(classMask, text, ch, maxLen, false, 0, false);
}
int StrBreakClassChrNW(DWORD classMask, const wchar16* text, int ch, int maxLen) {
  return BreakClassChr(classMask, text, ch, maxLen, false, 0, false);
}
int StrBreakClassChr(DWORD classMask, const char* text, int ch) {
  return BreakClassChr(classMask, text, ch, 0, false, 0, true);
}
int StrBreakClassChrW(DWORD classMask, const wchar16* text, int ch) {
  return BreakClassChr(classMask, text, ch, 0, false, 0, true);
}

int StrFindEndClassEscN(DWORD classMask, const char* text, DWORD chWord, int maxLen, int escape) {
  return FindEndClass(classMask, text, chWord, maxLen, true, escape, false);
}
int StrFindEndClassEscNW(DWORD classMask, const wchar16* text, DWORD chWord, int maxLen,
                         int escape) {
  return FindEndClass(classMask, text, chWord, maxLen, true, escape, false);
}
int StrFindEndClassN(DWORD classMask, const char* text, DWORD chWord, int maxLen) {
  return FindEndClass(classMask, text, chWord, maxLen, false, 0, false);
}
int StrFindEndClassNW(DWORD classMask, const wchar16* text, DWORD chWord, int maxLen) {
  return FindEndClass(classMask, text, chWord, maxLen, false, 0, false);
}
int StrFindEndClass(DWORD classMask, const char* text, DWORD chWord) {
  return FindEndClass(classMask, text, chWord, 0, false, 0, true);
}
int StrFindEndClassW(DWORD classMask, const wchar16* text, DWORD chWord) {
  return FindEndClass(classMask, text, chWord, 0, false, 0, true);
}
