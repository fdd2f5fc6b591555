#include "toolkit/natcompare.h"

#include <array>
#include <climits>
#include <cstdint>

#include "toolkit/charclass.h"
#include "toolkit/detail/strsearch.h"
#include "toolkit/detail/textchar.h"

namespace {

using toolkit_detail::CodeOf;
using toolkit_detail::DigitOf;
using toolkit_detail::FoldedCode;
using toolkit_detail::LowerAscii;

// Rank of a character between digit runs: accented bytes as their base
// letter, '/' and '\\' lowest, then '.', '_' like a blank; the case-blind
// table first turns capitals (ASCII and Latin-1) small.
constexpr std::array<uint8_t, 256> MakeNaturalKeys(bool noCase) {
  std::array<uint8_t, 256> t{};
  for (int c = 0; c < 256; ++c) {
    int k = c;
    if (noCase && (CharClassTable[c] & (CHC_UPPER | CHC_LATIN1_UPPER))) k |= 32;
    if (k >= 0x80) k = AccentFoldTable[k - 0x80];
    if (noCase && k >= 'A' && k <= 'Z') k += 32;
    if (k == '/' || k == '\\') k = 0;
    if (k == '.') k = 1;
    if (k == '_') k = ' ';
    t[c] = static_cast<uint8_t>(k);
  }
  return t;
}

constexpr std::array<uint8_t, 256> kNaturalKeys = MakeNaturalKeys(false);
constexpr std::array<uint8_t, 256> kNaturalKeysNoCase = MakeNaturalKeys(true);

unsigned NaturalKey(unsigned c, bool noCase) {
  if (c > 255) return c;
  return noCase ? kNaturalKeysNoCase[c] : kNaturalKeys[c];
}

// One digit run as the integer reader sees it: "0x", "0d", "0o", "0b" (either
// case) choose the radix when at least three characters may be read.
struct Run {
  int len;
  unsigned radix;
  bool prefixed;   // begins with a radix prefix
  bool big;        // beyond 64 bits
  uint64_t value;
  int sigStart;    // first significant digit (len when the value is 0)
};

template <class Ch>
Run ReadRun(const Ch* s, int max) {
  Run r{0, 10, false, false, 0, -1};
  if (CodeOf(s[0]) == '0' && max >= 3) {
    switch (LowerAscii(CodeOf(s[1]))) {
      case 'x': r.radix = 16; break;
      case 'd': r.radix = 10; break;
      case 'o': r.radix = 8; break;
      case 'b': r.radix = 2; break;
      default: r.radix = 0; break;
    }
    r.prefixed = r.radix != 0;
    r.len = r.radix ? 2 : 0;
    if (!r.radix) r.radix = 10;
  }
  for (; r.len < max; ++r.len) {
    const unsigned d = DigitOf(s[r.len]);
    if (d >= r.radix) break;
    if (r.sigStart < 0 && d != 0) r.sigStart = r.len;
    if (!r.big && r.value > (UINT64_MAX - d) / r.radix) r.big = true;
    if (!r.big) r.value = r.value * r.radix + d;
  }
  if (r.sigStart < 0) r.sigStart = r.len;
  return r;
}

// Runs of equal value are told apart by the characters over the longer
// run's window, ranked as between runs: "0b" sorts before "0c" as b before c,
// "00" before "0a". A radix letter ranks just above the accented letters
// that fold to it ("0\xF0" before "0d"), so runs of different lengths always
// differ within the shorter run or at the character behind it; the window
// never decides by a later run, and the order stays strict and weak.
template <class Ch>
int CompareRuns(const Ch* a, const Run& ra, const Ch* b, const Run& rb, bool noCase) {
  if (!ra.big && !rb.big) {
    if (ra.value != rb.value) return ra.value < rb.value ? -1 : 1;
  } else if (ra.big != rb.big) {
    return ra.big ? 1 : -1;
  } else {
    if (ra.radix != rb.radix) return ra.radix < rb.radix ? -1 : 1;
    const int la = ra.len - ra.sigStart, lb = rb.len - rb.sigStart;
    if (la != lb) return la < lb ? -1 : 1;
    for (int k = 0; k < la; ++k) {
      const unsigned da = DigitOf(a[ra.sigStart + k]), db = DigitOf(b[rb.sigStart + k]);
      if (da != db) return da < db ? -1 : 1;
    }
  }
  const int window = ra.len > rb.len ? ra.len : rb.len;
  for (int k = 0; k < window; ++k) {
    const unsigned ca = CodeOf(a[k]), cb = CodeOf(b[k]);
    // Within the window only the shorter run's text can end.
    if (ca == 0 || cb == 0) return static_cast<int>(ca) - static_cast<int>(cb);
    const unsigned ka = NaturalKey(ca, noCase), kb = NaturalKey(cb, noCase);
    if (ka != kb) return ka < kb ? -1 : 1;
    // A radix letter ranks just above the letters that fold to it.
    if (k == 1 && ra.prefixed != rb.prefixed) return ra.prefixed ? 1 : -1;
  }
  return ra.len == rb.len ? 0 : ra.len < rb.len ? -1 : 1;
}

template <class Ch>
int Natural(const Ch* a, const Ch* b, int n, bool noCase) {
  int i = 0;
  while (i < n) {
    const unsigned ca = CodeOf(a[i]), cb = CodeOf(b[i]);
    // The end of either text ranks below every character, '/' included.
    if (ca == 0 || cb == 0) return static_cast<int>(ca) - static_cast<int>(cb);
    if (ca - '0' < 10u && cb - '0' < 10u) {
      const Run ra = ReadRun(a + i, n - i), rb = ReadRun(b + i, n - i);
      const int c = CompareRuns(a + i, ra, b + i, rb, noCase);
      if (c) return c;
      i += ra.len;
      continue;
    }
    const unsigned ka = NaturalKey(ca, noCase), kb = NaturalKey(cb, noCase);
    if (ka != kb) return static_cast<int>(ka) - static_cast<int>(kb);
    ++i;
  }
  return 0;
}

unsigned PathKey(unsigned c) { return c == '/' || c == '\\' ? 0u : c == '.' ? 1u : c; }

template <class Ch>
int Path(const Ch* a, const Ch* b, int n, bool noCase) {
  for (int i = 0; i < n; ++i) {
    const unsigned ca = FoldedCode(a[i], noCase), cb = FoldedCode(b[i], noCase);
    if (ca == cb) {
      if (ca == 0) return 0;
      continue;
    }
    if (ca == 0) return -1;
    if (cb == 0) return 1;
    const unsigned ka = PathKey(ca), kb = PathKey(cb);
    if (ka != kb) return static_cast<int>(ka) - static_cast<int>(kb);
  }
  return 0;
}

}  // namespace

int StrCompareNatural(const char* a, const char* b) { return Natural(a, b, INT_MAX, false); }
int StrCompareNaturalW(const char16_t* a, const char16_t* b) { return Natural(a, b, INT_MAX, false); }
int StrCompareNaturalN(const char* a, const char* b, int n) { return Natural(a, b, n, false); }
int StrCompareNaturalNW(const char16_t* a, const char16_t* b, int n) { return Natural(a, b, n, false); }
int StrCompareNaturalNoCase(const char* a, const char* b) { return Natural(a, b, INT_MAX, true); }
int StrCompareNaturalNoCaseW(const char16_t* a, const char16_t* b) { return Natural(a, b, INT_MAX, true); }
int StrCompareNaturalNoCaseN(const char* a, const char* b, int n) { return Natural(a, b, n, true); }
int StrCompareNaturalNoCaseNW(const char16_t* a, const char16_t* b, int n) { return Natural(a, b, n, true); }

int StrComparePathN(const char* a, const char* b, int n) { return Path(a, b, n, false); }
int StrComparePathNW(const char16_t* a, const char16_t* b, int n) { return Path(a, b, n, false); }
int StrComparePathNoCaseN(const char* a, const char* b, int n) { return Path(a, b, n, true); }
int StrComparePathNoCaseNW(const char16_t* a, const char16_t* b, int n) { return Path(a, b, n, true); }
