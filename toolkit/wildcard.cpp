// The two wildcard matchers and the pattern list, each written once over
// 8-bit and 16-bit text.
#include "toolkit/wildcard.h"

#include "toolkit/wildcard_fold.h"

namespace {

inline unsigned Unit(char c) { return static_cast<unsigned char>(c); }
inline unsigned Unit(wchar16 c) { return c; }
inline unsigned FoldSmall(unsigned c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }

// Single-star backtracking: only the last '*' seen is ever resumed, which is
// enough because each later '*' can absorb whatever an earlier one would
// have taken.
template <bool noCase, class Ch>
int MatchWild(const Ch* text, const Ch* pattern) {
  auto fold = [](unsigned c) { return noCase ? FoldSmall(c) : c; };
  const Ch* resumePattern = nullptr;  // just after the last '*'
  const Ch* resumeText = nullptr;     // where that '*' stopped taking
  const Ch* t = text;
  const Ch* p = pattern;
  for (;;) {
    if (*p == '*') {
      while (*p == '*') ++p;
      if (*p == 0) return 0;
      resumePattern = p;
      resumeText = t;
      continue;
    }
    unsigned pc = fold(Unit(*p)), tc = fold(Unit(*t));
    if (*t != 0 && *p != 0 && (*p == '?' || pc == tc)) {
      ++p;
      ++t;
      continue;
    }
    if (*t == 0 && *p == 0) return 0;
    if (!resumePattern) return static_cast<int>(pc) - static_cast<int>(tc);
    if (*resumeText == 0) return 1;
    p = resumePattern;
    t = ++resumeText;
  }
}

template <class Ch>
int TextLength(const Ch* s) {
  int n = 0;
  while (s[n] != 0) ++n;
  return n;
}

template <class Ch>
int MatchFile(const Ch* pattern, int patLen, const Ch* name, int nameLen, DWORD flags) {
  if (nameLen < 0) nameLen = 0;
  auto result = [&](bool match) {
    if (flags & MATCH_LENGTH) return match ? nameLen : (flags & MATCH_FAIL_NEGATIVE) ? -1 : 0;
    return match ? 0 : 1;
  };
  if (patLen < 1) return result(nameLen == 0);
  const bool noCase = flags & MATCH_NOCASE;
  auto equal = [&](int p, int at, int len) {
    if constexpr (sizeof(Ch) == 1) {
      return StrCompareWildFold(pattern + p, name + at, len, noCase) == 0;
    } else {
      return StrCompareWildFoldW(pattern + p, name + at, len, noCase) == 0;
    }
  };
  if ((flags & MATCH_STARDOTSTAR) && patLen >= 3 && pattern[patLen - 3] == '*' &&
      pattern[patLen - 2] == '.' && pattern[patLen - 1] == '*') {
    patLen -= 2;
  }
  bool open = false;  // the pattern ended in '*': the name may go on
  while (patLen > 0 && pattern[patLen - 1] == '*') {
    --patLen;
    open = true;
  }
  auto segmentEnd = [&](int from) {
    while (from < patLen && pattern[from] != '*') ++from;
    return from;
  };
  // The leading segment is anchored at the start of the name.
  int p = 0;
  int end = segmentEnd(0);
  int len = end;
  if (nameLen < len || !equal(0, 0, len)) return result(false);
  int at = len;
  if (end == patLen) return result(open || at == nameLen);
  p = end;
  for (;;) {
    while (pattern[p] == '*') ++p;
    end = segmentEnd(p);
    len = end - p;
    if (end == patLen && !open) {
      // The last segment ends at the end of the name.
      return result(nameLen - at >= len && equal(p, nameLen - len, len));
    }
    // A middle segment takes its leftmost fit.
    int fit = at;
    while (fit + len <= nameLen && !equal(p, fit, len)) ++fit;
    if (fit + len > nameLen) return result(false);
    at = fit + len;
    if (end == patLen) return result(true);
    p = end;
  }
}

template <class Ch>
int MatchList(const Ch* name, int nameLen, const Ch* patterns, DWORD flags, int sep) {
  if (!patterns || patterns[0] == 0) return 0;
  const DWORD plain = flags & ~(MATCH_LENGTH | MATCH_FAIL_NEGATIVE);
  const Ch* entry = patterns;
  for (int index = 1;; ++index) {
    int len = 0;
    if (sep == 0) {
      len = TextLength(entry);
      if (len == 0) return -1;
    } else {
      while (entry[len] != 0 && Unit(entry[len]) != static_cast<unsigned>(sep)) ++len;
    }
    if (MatchFile(entry, len, name, nameLen, plain) == 0) return index;
    if (sep != 0 && entry[len] == 0) return -1;
    entry += len + 1;
  }
}

}  // namespace

int StrMatchWildcard(const char* text, const char* pattern) { return MatchWild<false>(text, pattern); }
int StrMatchWildcardW(const wchar16* text, const wchar16* pattern) {
  return MatchWild<false>(text, pattern);
}
int StrMatchWildcardNoCase(const char* text, const char* pattern) {
  return MatchWild<true>(text, pattern);
}
int StrMatchWildcardNoCaseW(const wchar16* text, const wchar16* pattern) {
  return MatchWild<true>(text, pattern);
}

int MatchFilePattern(const char* pattern, int patLen, const char* name, int nameLen, DWORD flags) {
  return MatchFile(pattern, patLen, name, nameLen, flags);
}
int MatchFilePatternW(const wchar16* pattern, int patLen, const wchar16* name, int nameLen,
                      DWORD flags) {
  return MatchFile(pattern, patLen, name, nameLen, flags);
}
int MatchFilePattern(const char* pattern, const char* name, DWORD flags) {
  return MatchFile(pattern, TextLength(pattern), name, TextLength(name), flags);
}
int MatchFilePatternW(const wchar16* pattern, const wchar16* name, DWORD flags) {
  return MatchFile(pattern, TextLength(pattern), name, TextLength(name), flags);
}

int MatchFilePatternList(const char* name, int nameLen, const char* patterns, DWORD flags, int sep) {
  return MatchList(name, nameLen, patterns, flags, sep);
}
int MatchFilePatternListW(const wchar16* name, int nameLen, const wchar16* patterns, DWORD flags,
                          int sep) {
  return MatchList(name, nameLen, patterns, flags, sep);
}
