#include "files/pathcompare.h"

#include <cstdint>
#include <string>

#include "files/path_host.h"
#include "files/path_impl.h"
#include "files/pathnormal.h"

using namespace files_detail;

namespace {

constexpr uint16_t W(unsigned byte) { return uint16_t(byte * 256); }

constexpr std::array<std::array<uint16_t, 256>, 2> BuildWeights() {
  std::array<std::array<uint16_t, 256>, 2> t{};
  for (int fold = 0; fold < 2; ++fold) {
    auto& w = t[size_t(fold)];
    const bool folds = fold == PATH_WEIGHTS_FOLD;
    for (unsigned b = 0; b < 256; ++b) w[b] = W(b);
    w[0] = 0;
    w['\\'] = w['/'] = 1;
    w['.'] = 2;
    w[' '] = 3;
    w['_'] = 4;
    const char open[] = "([{<", close[] = ")]}>", punct[] = ":;,|";
    for (unsigned i = 0; i < 4; ++i) {
      w[unsigned(open[i])] = uint16_t(8 + i);
      w[unsigned(close[i])] = uint16_t(12 + i);
      w[unsigned(punct[i])] = uint16_t(257 + i);
    }
    for (unsigned d = '0'; d <= '9'; ++d) w[d] = uint16_t(W(d) + 128);
    if (folds)
      for (unsigned c = 'A'; c <= 'Z'; ++c) w[c] = W(c + 32);
    // Accented letters: first byte of the small run, its count, base letter.
    const struct {
      unsigned first, count;
      char base;
    } accents[] = {{0xE0, 7, 'a'}, {0xE8, 4, 'e'}, {0xEC, 4, 'i'}, {0xF2, 5, 'o'}, {0xF9, 4, 'u'},
                   {0xE7, 1, 'c'}, {0xF0, 1, 'd'}, {0xF1, 1, 'n'}, {0xFE, 1, 'y'}};
    for (const auto& a : accents) {
      for (unsigned i = 0; i < a.count; ++i) {
        unsigned small = unsigned(a.base), capital = small - 32;
        w[a.first + i] = uint16_t(W(small) + i + 1);
        w[a.first - 32 + i] = uint16_t(W(folds ? small : capital) + i + 1);
      }
    }
    if (folds) {
      w[0xD7] = W(0xF7);
      w[0xD8] = W(0xF8);
      w[0xDD] = W(0xFD);
    }
  }
  return t;
}

constexpr auto kWeights = BuildWeights();

template <class Ch>
constexpr int Weight(Ch c, bool fold) {
  unsigned code = static_cast<std::make_unsigned_t<Ch>>(c);
  return code < 256 ? kWeights[fold ? 0 : 1][code] : int(code) * 256;
}

template <class Ch>
bool IsDigitCh(Ch c) {
  return c >= Ch('0') && c <= Ch('9');
}

// A path as a run of characters: a negative length measures it, and the
// terminator ends it either way.
template <class Ch>
struct Run {
  const Ch* text;
  int length;
  static constexpr Ch kEmpty[1] = {0};
  Run(const Ch* t, int n) : text(t ? t : kEmpty), length(0) {
    int limit = n < 0 ? INT32_MAX : n;
    while (length < limit && text[length] != 0) ++length;
  }
  int WeightAt(int i, bool fold) const { return i < length ? Weight(text[i], fold) : 0; }
  int DigitsFrom(int i) const {
    int j = i;
    while (j < length && IsDigitCh(text[j])) ++j;
    return j - i;
  }
};

// The weight each side reaches at its next separator or end, from i on.
template <class Ch>
int NextStop(const Run<Ch>& r, int i, bool fold) {
  for (;; ++i) {
    int w = r.WeightAt(i, fold);
    if (w <= 1) return w;
  }
}

// Digit runs by value, however long: leading zeros aside, the longer run is
// the larger number; runs of one length compare digit by digit.
template <class Ch>
int CompareRuns(const Ch* a, int na, const Ch* b, int nb) {
  int za = 0, zb = 0;
  while (za < na - 1 && a[za] == Ch('0')) ++za;
  while (zb < nb - 1 && b[zb] == Ch('0')) ++zb;
  if (na - za != nb - zb) return (na - za) - (nb - zb);
  for (int i = 0; i < na - za; ++i)
    if (a[za + i] != b[zb + i]) return int(a[za + i]) - int(b[zb + i]);
  // Equal values: their digits over the shorter run, then the shorter first.
  for (int i = 0; i < na && i < nb; ++i)
    if (a[i] != b[i]) return int(a[i]) - int(b[i]);
  return na - nb;
}

template <class Ch>
int Compare(const Ch* pa, int la, const Ch* pb, int lb, bool fold, bool natural, bool counted) {
  Run<Ch> a(pa, la), b(pb, lb);
  int i = 0, j = 0;
  for (;;) {
    int wa = a.WeightAt(i, fold), wb = b.WeightAt(j, fold);
    if (wa == 0 || wb == 0) {
      // Counted paths with one the other's prefix: the shorter first.
      return counted && !natural ? a.length - b.length : wa - wb;
    }
    int d = 0;
    if (natural && IsDigitCh(a.text[i]) && IsDigitCh(b.text[j])) {
      int na = a.DigitsFrom(i), nb = b.DigitsFrom(j);
      d = CompareRuns(a.text + i, na, b.text + j, nb);
      if (d == 0) {
        i += na;
        j += nb;
        continue;
      }
    } else if (wa != wb) {
      d = wa - wb;
    } else {
      ++i;
      ++j;
      continue;
    }
    int sa = NextStop(a, i, fold), sb = NextStop(b, j, fold);
    return sa == sb ? d : sa - sb;
  }
}

Text<char> Full(const Text<char>& path) {
  std::string full = FullPathOf(path.c_str());
  return full.empty() ? path : full;
}

Text<wchar16> Full(const Text<wchar16>& path) {
  std::string narrow;
  if (!NarrowPath(path.c_str(), narrow)) return path;
  std::string full = FullPathOf(narrow.c_str());
  return full.empty() ? path : WidenUtf8(full);
}

int Normalize(char* o, const char* i, int size) { return NormalizePath(o, i, size); }
int Normalize(wchar16* o, const wchar16* i, int size) { return NormalizePathW(o, i, size); }

template <class Ch>
Text<Ch> Normalized(const Text<Ch>& path) {
  // A normal form is never longer than its path.
  Text<Ch> out(path.size() + 2, Ch(0));
  int n = Normalize(&out[0], path.c_str(), int(out.size()));
  if (n < 0) return path;
  out.resize(size_t(n));
  return out;
}

template <class Ch>
int ComparePrepared(const Ch* a, const Ch* b, DWORD flags) {
  Text<Ch> pa = a ? a : Text<Ch>(), pb = b ? b : Text<Ch>();
  if (flags & PATHCMP_FULL_FIRST) pa = Full(pa);
  if (flags & PATHCMP_FULL_SECOND) pb = Full(pb);
  if (flags & PATHCMP_NORMALIZE) {
    pa = Normalized(pa);
    pb = Normalized(pb);
  }
  return Compare(pa.c_str(), -1, pb.c_str(), -1, (flags & PATHCMP_NOCASE) != 0, (flags & PATHCMP_NATURAL) != 0,
                 false);
}

}  // namespace

const std::array<std::array<uint16_t, 256>, 2> PathSortWeights = kWeights;

int ComparePathNoCase(const char* a, const char* b) { return Compare(a, -1, b, -1, true, false, false); }
int ComparePathNoCaseW(const wchar16* a, const wchar16* b) { return Compare(a, -1, b, -1, true, false, false); }
int ComparePath(const char* a, const char* b) { return Compare(a, -1, b, -1, false, false, false); }
int ComparePathW(const wchar16* a, const wchar16* b) { return Compare(a, -1, b, -1, false, false, false); }
int ComparePathNoCaseN(const char* a, int la, const char* b, int lb) { return Compare(a, la, b, lb, true, false, true); }
int ComparePathNoCaseNW(const wchar16* a, int la, const wchar16* b, int lb) {
  return Compare(a, la, b, lb, true, false, true);
}
int ComparePathN(const char* a, int la, const char* b, int lb) { return Compare(a, la, b, lb, false, false, true); }
int ComparePathNW(const wchar16* a, int la, const wchar16* b, int lb) {
  return Compare(a, la, b, lb, false, false, true);
}
int ComparePathNaturalNoCase(const char* a, int la, const char* b, int lb) {
  return Compare(a, la, b, lb, true, true, true);
}
int ComparePathNaturalNoCaseW(const wchar16* a, int la, const wchar16* b, int lb) {
  return Compare(a, la, b, lb, true, true, true);
}
int ComparePathNatural(const char* a, int la, const char* b, int lb) {
  return Compare(a, la, b, lb, false, true, true);
}
int ComparePathNaturalW(const wchar16* a, int la, const wchar16* b, int lb) {
  return Compare(a, la, b, lb, false, true, true);
}
int ComparePaths(const char* a, const char* b, DWORD flags) { return ComparePrepared(a, b, flags); }
int ComparePathsW(const wchar16* a, const wchar16* b, DWORD flags) { return ComparePrepared(a, b, flags); }
