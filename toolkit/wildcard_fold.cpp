// Case folding for the compares and case changes; each family written once
// over 8-bit and 16-bit text.
#include "toolkit/wildcard_fold.h"

#include <atomic>
#include <climits>

#include "toolkit/memblock.h"
#include "toolkit/strcopy.h"
#include "toolkit/wildcard_impl.h"

namespace wildcard_detail {
std::atomic<const WORD*> g_upperTable{nullptr};
std::atomic<const WORD*> g_lowerTable{nullptr};
}  // namespace wildcard_detail

namespace {

using namespace wildcard_detail;

template <class Ch>
int Length(const Ch* s, int maxLen) {
  if constexpr (sizeof(Ch) == 1) {
    return StrLenN(s, maxLen);
  } else {
    return StrLenNW(s, maxLen);
  }
}

// Compares n characters with `fold`, stopping after a shared terminator;
// returns the difference of the folded characters.
template <class Ch, class Fold>
int CompareFolded(const Ch* a, const Ch* b, int n, Fold fold) {
  for (int i = 0; i < n; ++i) {
    unsigned ca = Unit(a[i]), cb = Unit(b[i]);
    int d = static_cast<int>(fold(ca)) - static_cast<int>(fold(cb));
    if (d != 0) return d;
    if (ca == 0 || cb == 0) return 0;
  }
  return 0;
}

template <class Ch>
int CompareFoldN(const Ch* a, const Ch* b, int n, bool ignoreCase) {
  if (n < 1) return 0;
  if (ignoreCase) {
    if (const WORD* table = g_upperTable.load(std::memory_order_acquire)) {
      return CompareFolded(a, b, n, [table](unsigned c) { return Through<Ch>(table, c); });
    }
  }
  if constexpr (sizeof(Ch) == 1) {
    if (ignoreCase) return CompareFolded(a, b, n, AsciiLower);
    int d = CompareFolded(a, b, n, [](unsigned c) { return c; });
    return d < 0 ? -1 : d > 0 ? 1 : 0;
  } else {
    // The units up to the first terminator of either text, that one included,
    // so that neither text is read past its end.
    int la = Length(a, n), lb = Length(b, n);
    int m = la < lb ? la : lb;
    DWORD count = static_cast<DWORD>(m < n ? m + 1 : n);
    return ignoreCase ? MemCompare16NoCase(a, b, count) : MemCompare16(a, b, count);
  }
}

template <class Ch>
int CompareWild(const Ch* pattern, const Ch* text, int n, bool ignoreCase) {
  const WildFold<Ch> fold;
  for (int i = 0; i < n; ++i) {
    unsigned p = Unit(pattern[i]), t = Unit(text[i]);
    if (p == '?') continue;
    if (ignoreCase) {
      p = fold(p);
      t = fold(t);
    }
    if (p != t) return static_cast<int>(p) - static_cast<int>(t);
  }
  return 0;
}

template <class Ch>
Ch* ChangeCase(Ch* text, int len, bool upper) {
  if (!text) return text;
  const WORD* table = (upper ? g_upperTable : g_lowerTable).load(std::memory_order_acquire);
  for (int i = 0; (len < 0 || i < len) && text[i] != 0; ++i) {
    unsigned c = Unit(text[i]);
    unsigned to = table ? Through<Ch>(table, c) : upper ? AsciiUpper(c) : AsciiLower(c);
    text[i] = static_cast<Ch>(to);
  }
  return text;
}

}  // namespace

void SetCaseFoldTables(const WORD* const* tables) {
  g_upperTable.store(tables ? tables[0] : nullptr, std::memory_order_release);
  g_lowerTable.store(tables ? tables[1] : nullptr, std::memory_order_release);
}

int StrCompareFoldN(const char* a, const char* b, int n, bool ignoreCase) {
  return CompareFoldN(a, b, n, ignoreCase);
}
int StrCompareFoldNW(const wchar16* a, const wchar16* b, int n, bool ignoreCase) {
  return CompareFoldN(a, b, n, ignoreCase);
}
int StrCompareNoCaseN(const char* a, const char* b, int n) { return CompareFoldN(a, b, n, true); }
int StrCompareNoCaseNW(const wchar16* a, const wchar16* b, int n) {
  return CompareFoldN(a, b, n, true);
}
int StrCompareNoCase(const char* a, const char* b) { return CompareFoldN(a, b, INT_MAX, true); }
int StrCompareNoCaseW(const wchar16* a, const wchar16* b) {
  return CompareFoldN(a, b, INT_MAX, true);
}

int StrCompareWild(const char* pattern, const char* text, int n) {
  return CompareWild(pattern, text, n, false);
}
int StrCompareWildW(const wchar16* pattern, const wchar16* text, int n) {
  return CompareWild(pattern, text, n, false);
}
int StrCompareWildFold(const char* pattern, const char* text, int n, bool ignoreCase) {
  return CompareWild(pattern, text, n, ignoreCase);
}
int StrCompareWildFoldW(const wchar16* pattern, const wchar16* text, int n, bool ignoreCase) {
  return CompareWild(pattern, text, n, ignoreCase);
}

char* StrUpper(char* text) { return ChangeCase(text, -1, true); }
wchar16* StrUpperW(wchar16* text) { return ChangeCase(text, -1, true); }
char* StrUpperN(char* text, int len) { return ChangeCase(text, len, true); }
wchar16* StrUpperNW(wchar16* text, int len) { return ChangeCase(text, len, true); }
char* StrLower(char* text) { return ChangeCase(text, -1, false); }
wchar16* StrLowerW(wchar16* text) { return ChangeCase(text, -1, false); }
char* StrLowerN(char* text, int len) { return ChangeCase(text, len, false); }
wchar16* StrLowerNW(wchar16* text, int len) { return ChangeCase(text, len, false); }
