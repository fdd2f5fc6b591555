// The two wildcard matchers and the pattern list, each written once over
// 8-bit and 16-bit text.
#include "toolkit/wildcard.h"

#include <cstring>
#include <type_traits>

#include "toolkit/wildcard_impl.h"

namespace {

using wildcard_detail::AsciiLower;
using wildcard_detail::Unit;

// Character equality of the matchers.
struct Exact {
  unsigned operator()(unsigned c) const { return c; }
};
struct SmallFold {
  unsigned operator()(unsigned c) const { return AsciiLower(c); }
};

template <class Ch>
int TextLength(const Ch* s) {
  int n = 0;
  while (s[n] != 0) ++n;
  return n;
}

// A segment (no '*') against len name characters: '?' takes any one.
template <class Ch, class Fold>
inline bool SegmentEqual(const Ch* pattern, const Ch* name, int len, const Fold& fold) {
  for (int i = 0; i < len; ++i) {
    unsigned p = Unit(pattern[i]);
    if (p != '?' && fold(p) != fold(Unit(name[i]))) return false;
  }
  return true;
}

// Leftmost position in [at, nameLen - len] where the segment fits, or -1.
// The scan looks for the segment's first literal character before comparing
// the rest.
template <class Ch, class Fold>
int FindSegment(const Ch* pattern, int len, const Ch* name, int at, int nameLen, const Fold& fold) {
  int k = 0;
  while (k < len && pattern[k] == '?') ++k;
  if (k == len) return nameLen - at >= len ? at : -1;
  const unsigned first = fold(Unit(pattern[k]));
  const int last = nameLen - len + k;
  if constexpr (sizeof(Ch) == 1 && std::is_same_v<Fold, Exact>) {
    // Exact bytes: let memchr find the candidates.
    for (int q = at + k; q <= last;) {
      const void* hit = std::memchr(name + q, static_cast<int>(first), static_cast<size_t>(last - q + 1));
      if (!hit) break;
      q = static_cast<int>(static_cast<const Ch*>(hit) - name);
      if (SegmentEqual(pattern, name + q - k, len, fold)) return q - k;
      ++q;
    }
    return -1;
  }
  for (int q = at + k; q <= last; ++q) {
    if (fold(Unit(name[q])) == first && SegmentEqual(pattern, name + q - k, len, fold)) return q - k;
  }
  return -1;
}

// Matches pattern[p, patLen) against name[at, nameLen) where pattern[p] is
// '*': the middle segments take their leftmost fit, the last one ends at the
// end of the name unless the pattern ended in '*' (open). No backtracking is
// needed: a later '*' can absorb whatever a later fit of an earlier segment
// would have left.
template <class Ch, class Fold>
bool MatchAfterStar(const Ch* pattern, int p, int patLen, bool open, const Ch* name, int at,
                    int nameLen, const Fold& fold) {
  for (;;) {
    while (p < patLen && pattern[p] == '*') ++p;
    if (p == patLen) return true;
    int end = p;
    while (end < patLen && pattern[end] != '*') ++end;
    const int len = end - p;
    if (end == patLen && !open) {
      return nameLen - at >= len && SegmentEqual(pattern + p, name + nameLen - len, len, fold);
    }
    int fit = FindSegment(pattern + p, len, name, at, nameLen, fold);
    if (fit < 0) return false;
    at = fit + len;
    p = end;
  }
}

// Removes trailing '*' from the counted pattern; true when there were any.
template <class Ch>
bool TrimStars(const Ch* pattern, int* patLen) {
  bool open = false;
  while (*patLen > 0 && pattern[*patLen - 1] == '*') {
    --*patLen;
    open = true;
  }
  return open;
}

template <class Fold, class Ch>
int MatchWild(const Ch* text, const Ch* pattern) {
  const Fold fold;
  // Up to the first '*' the texts are compared in step, so that a mismatch
  // there reports its difference.
  int i = 0;
  for (;; ++i) {
    unsigned p = Unit(pattern[i]), t = Unit(text[i]);
    if (p == '*') break;
    if (p == 0 && t == 0) return 0;
    if (t == 0 || p == 0 || (p != '?' && fold(p) != fold(t))) {
      return static_cast<int>(fold(p)) - static_cast<int>(fold(t));
    }
  }
  int patLen = i + TextLength(pattern + i);
  const bool open = TrimStars(pattern, &patLen);
  if (patLen == i) return 0;  // only '*' left: the rest of the text is taken
  const int textLen = i + TextLength(text + i);
  return MatchAfterStar(pattern, i, patLen, open || i == patLen, text, i, textLen, fold) ? 0 : 1;
}

template <class Ch>
int MatchFile(const Ch* pattern, int patLen, const Ch* name, int nameLen, DWORD flags) {
  if (nameLen < 0) nameLen = 0;
  auto result = [&](bool match) {
    if (flags & MATCH_LENGTH) return match ? nameLen : (flags & MATCH_FAIL_NEGATIVE) ? -1 : 0;
    return match ? 0 : 1;
  };
  if (patLen < 1) return result(nameLen == 0);
  if ((flags & MATCH_STARDOTSTAR) && patLen >= 3 && pattern[patLen - 3] == '*' &&
      pattern[patLen - 2] == '.' && pattern[patLen - 1] == '*') {
    patLen -= 2;
  }
  const bool open = TrimStars(pattern, &patLen);
  auto run = [&](const auto& fold) {
    // The leading segment is anchored at the start of the name.
    int lead = 0;
    for (; lead < patLen; ++lead) {
      unsigned p = Unit(pattern[lead]);
      if (p == '*') break;
      if (lead >= nameLen || (p != '?' && fold(p) != fold(Unit(name[lead])))) return false;
    }
    if (lead == patLen) return open || lead == nameLen;
    return MatchAfterStar(pattern, lead, patLen, open, name, lead, nameLen, fold);
  };
  if (flags & MATCH_NOCASE) return result(run(wildcard_detail::WildFold<Ch>{}));
  return result(run(Exact{}));
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

int StrMatchWildcard(const char* text, const char* pattern) { return MatchWild<Exact>(text, pattern); }
int StrMatchWildcardW(const wchar16* text, const wchar16* pattern) {
  return MatchWild<Exact>(text, pattern);
}
int StrMatchWildcardNoCase(const char* text, const char* pattern) {
  return MatchWild<SmallFold>(text, pattern);
}
int StrMatchWildcardNoCaseW(const wchar16* text, const wchar16* pattern) {
  return MatchWild<SmallFold>(text, pattern);
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
