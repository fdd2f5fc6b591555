// Character sets: each family written once over 8-bit and 16-bit text.
#include "toolkit/charset.h"

#include <climits>

namespace {

inline unsigned Bit(char c) { return static_cast<unsigned char>(c); }
inline unsigned Bit(wchar16 c) { return c > 255 ? 255u : c; }

template <class Ch>
inline bool Member(const CharSet& set, Ch c) {
  unsigned b = Bit(c);
  return (set[b >> 5] >> (b & 31)) & 1u;
}

template <class Ch>
void Build(CharSet& set, const Ch* chars, DWORD flags) {
  if (!(flags & CHARSET_KEEP)) set.fill(0);
  if (!chars) return;
  for (; *chars; ++chars) {
    unsigned b = Bit(*chars);
    DWORD bit = DWORD{1} << (b & 31);
    if (flags & CHARSET_REMOVE) {
      set[b >> 5] &= ~bit;
    } else {
      set[b >> 5] |= bit;
    }
  }
}

// Counts leading characters while Member == want, stopping at the terminator
// (uncounted) and at maxLen.
template <class Ch>
int Run(const Ch* text, const CharSet& set, bool want, int maxLen) {
  int i = 0;
  while (i < maxLen && text[i] != 0 && Member(set, text[i]) == want) ++i;
  return i;
}

template <class Ch>
int FindEnd(const Ch* text, const CharSet& set, int maxLen) {
  int i = Run(text, set, false, maxLen);
  return i < maxLen && text[i] != 0 ? i + 1 : i;
}

template <class Ch>
int BreakMem(const Ch* text, const CharSet& set, int maxLen) {
  int i = 0;
  while (i < maxLen && !Member(set, text[i])) ++i;
  return i;
}

template <class Ch>
int RunBack(const Ch* end, const CharSet& set, bool want, int maxLen) {
  int i = 0;
  while (i < maxLen && Member(set, end[-1 - i]) == want) ++i;
  return i;
}

}  // namespace

void CharSetBuild(CharSet& set, const char* chars, DWORD flags) { Build(set, chars, flags); }
void CharSetBuildW(CharSet& set, const wchar16* chars, DWORD flags) { Build(set, chars, flags); }

int CharSetSpan(const char* text, const CharSet& set) { return Run(text, set, true, INT_MAX); }
int CharSetSpanW(const wchar16* text, const CharSet& set) { return Run(text, set, true, INT_MAX); }
int CharSetSpanN(const char* text, const CharSet& set, int maxLen) { return Run(text, set, true, maxLen); }
int CharSetSpanNW(const wchar16* text, const CharSet& set, int maxLen) {
  return Run(text, set, true, maxLen);
}

int CharSetBreak(const char* text, const CharSet& set) { return Run(text, set, false, INT_MAX); }
int CharSetBreakW(const wchar16* text, const CharSet& set) { return Run(text, set, false, INT_MAX); }
int CharSetBreakN(const char* text, const CharSet& set, int maxLen) {
  return Run(text, set, false, maxLen);
}
int CharSetBreakNW(const wchar16* text, const CharSet& set, int maxLen) {
  return Run(text, set, false, maxLen);
}

int CharSetFindEnd(const char* text, const CharSet& set) { return FindEnd(text, set, INT_MAX); }
int CharSetFindEndW(const wchar16* text, const CharSet& set) { return FindEnd(text, set, INT_MAX); }
int CharSetFindEndN(const char* text, const CharSet& set, int maxLen) {
  return FindEnd(text, set, maxLen);
}
int CharSetFindEndNW(const wchar16* text, const CharSet& set, int maxLen) {
  return FindEnd(text, set, maxLen);
}

int CharSetBreakMem(const char* text, const CharSet& set) { return BreakMem(text, set, INT_MAX); }
int CharSetBreakMemW(const wchar16* text, const CharSet& set) { return BreakMem(text, set, INT_MAX); }
int CharSetBreakMemN(const char* text, const CharSet& set, int maxLen) {
  return BreakMem(text, set, maxLen);
}
int CharSetBreakMemNW(const wchar16* text, const CharSet& set, int maxLen) {
  return BreakMem(text, set, maxLen);
}

int CharSetBreakBackN(const char* end, const CharSet& set, int maxLen) {
  return RunBack(end, set, false, maxLen);
}
int CharSetBreakBackNW(const wchar16* end, const CharSet& set, int maxLen) {
  return RunBack(end, set, false, maxLen);
}
int CharSetSpanBackN(const char* end, const CharSet& set, int maxLen) {
  return RunBack(end, set, true, maxLen);
}
int CharSetSpanBackNW(const wchar16* end, const CharSet& set, int maxLen) {
  return RunBack(end, set, true, maxLen);
}
