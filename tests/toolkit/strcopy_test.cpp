#include "toolkit/strcopy.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "guard_page.h"

namespace {

using zelvaro_test::GuardedText;

constexpr char kCanary = '\x5A';
constexpr int kPad = 8;  // canary bytes before and after every destination

std::string RandomLatin1(std::mt19937& rng, size_t len) {
  std::string s(len, 'x');
  for (auto& c : s) c = char(1 + rng() % 255);  // no terminator inside
  return s;
}

// A destination of `size` characters between canaries.
template <class Ch>
std::vector<Ch> Dst(int size) {
  return std::vector<Ch>(size_t(std::max(size, 0) + 2 * kPad), Ch(kCanary));
}

std::vector<int> LengthsToTest() {
  std::vector<int> lens;
  for (int l = 0; l <= 20; ++l) lens.push_back(l);
  for (int l : {31, 32, 33, 63, 64, 65, 100, 255, 256, 299, 300}) lens.push_back(l);
  return lens;
}

TEST(StrCopyN, WritesTheBytesOfSnprintfForEveryDestinationSize) {
  std::mt19937 rng(17);
  for (int len : LengthsToTest()) {
    const std::string text = RandomLatin1(rng, size_t(len));
    GuardedText<char> src(text, true);
    for (int size = 0; size <= len + 2; ++size) {
      std::vector<char> got = Dst<char>(size), want = Dst<char>(size);
      const int r = StrCopyN(got.data() + kPad, src.get(), size);
      std::snprintf(want.data() + kPad, size_t(size), "%s", text.c_str());
      ASSERT_EQ(got, want) << len << " " << size;
      ASSERT_EQ(r, size < 1 ? 0 : std::min(len, size - 1));
      EXPECT_EQ(StrLenN(src.get(), size), int(strnlen(text.c_str(), size_t(size))));
    }
    EXPECT_EQ(StrLenN(src.get(), -1), 0);
    EXPECT_EQ(StrLenN(src.get(), INT_MAX), len);
  }
}

TEST(StrCopyMax, WritesTheBytesOfPrecisionFormatting) {
  std::mt19937 rng(18);
  for (int len : LengthsToTest()) {
    const std::string text = RandomLatin1(rng, size_t(len));
    GuardedText<char> src(text, true);
    std::vector<int> maxes = {0, 1, len - 1, len, len + 1, INT_MAX, int(rng() % 400)};
    if (len <= 40)
      for (int m = 0; m <= len + 1; ++m) maxes.push_back(m);
    for (int size = 0; size <= len + 2; ++size) {
      for (int maxChars : maxes) {
        if (maxChars < 0) continue;
        std::vector<char> got = Dst<char>(size), want = Dst<char>(size);
        const int r = StrCopyMax(got.data() + kPad, src.get(), size, maxChars);
        std::snprintf(want.data() + kPad, size_t(size), "%.*s", maxChars, text.c_str());
        ASSERT_EQ(got, want) << len << " " << size << " " << maxChars;
        ASSERT_EQ(r, size < 1 ? 0 : std::min({len, size - 1, maxChars}));
      }
    }
  }
}

TEST(StrCopyMax, TreatsNegativeMaxCharsAsZero) {
  char dst[8];
  std::memset(dst, kCanary, sizeof dst);
  EXPECT_EQ(StrCopyMax(dst, "abc", 8, -1), 0);
  EXPECT_EQ(dst[0], '\0');
  EXPECT_EQ(dst[1], kCanary);
  EXPECT_EQ(StrCopyMax(dst, "abcdef", 10 - 2, 3), 3);
  EXPECT_STREQ(dst, "abc");
  EXPECT_EQ(StrCopyMax(dst, "ab", 8, 0), 0);
  EXPECT_STREQ(dst, "");
}

// The append, trim and prepend families against a std::string model; the
// wide twins run the same cases on widened text.
template <class Ch>
struct Ops;
template <>
struct Ops<char> {
  static constexpr auto AppendN = StrAppendN;
  static constexpr auto AppendMax = StrAppendMax;
  static constexpr auto TrimCopyN = StrTrimCopyN;
  static constexpr auto TrimCopy = StrTrimCopy;
  static constexpr auto PrependN = StrPrependN;
  static constexpr auto Prepend = StrPrepend;
};
template <>
struct Ops<wchar16> {
  static constexpr auto AppendN = StrAppendNW;
  static constexpr auto AppendMax = StrAppendMaxW;
  static constexpr auto TrimCopyN = StrTrimCopyNW;
  static constexpr auto TrimCopy = StrTrimCopyW;
  static constexpr auto PrependN = StrPrependNW;
  static constexpr auto Prepend = StrPrependW;
};

template <class Ch>
std::basic_string<Ch> Widen(const std::string& s, bool wideExtras) {
  std::basic_string<Ch> out;
  for (size_t i = 0; i < s.size(); ++i) {
    Ch c = Ch(static_cast<unsigned char>(s[i]));
    if constexpr (sizeof(Ch) == 2)
      if (wideExtras && i % 7 == 3) c = Ch(0x4E00 + i);
    out += c;
  }
  return out;
}

// The model of every destination: the text, its terminator, and untouched
// canaries behind it.
template <class Ch>
[[gnu::noinline]] std::vector<Ch> Expect(const std::vector<Ch>& before, const std::basic_string<Ch>& text) {
  std::vector<Ch> want = before;
  std::copy(text.begin(), text.end(), want.begin() + kPad);
  want[kPad + text.size()] = 0;
  return want;
}

bool IsWhite(unsigned c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

template <class Ch>
std::basic_string<Ch> TrimModel(std::basic_string<Ch> s) {
  size_t a = 0;
  while (a < s.size() && IsWhite(unsigned(s[a]))) ++a;
  size_t b = s.size();
  while (b > a && IsWhite(unsigned(s[b - 1]))) --b;
  return s.substr(a, b - a);
}

template <class Ch>
void RunFamilyAgainstModel(bool wideExtras) {
  using S = std::basic_string<Ch>;
  using O = Ops<Ch>;
  std::mt19937 rng(23);
  const char kAlphabet[] = " \t\r\nab\xe9Z.";
  for (int round = 0; round < 600; ++round) {
    std::string a8, b8;
    for (size_t i = rng() % 12; i; --i) a8 += kAlphabet[rng() % (sizeof kAlphabet - 1)];
    for (size_t i = rng() % 12; i; --i) b8 += kAlphabet[rng() % (sizeof kAlphabet - 1)];
    const S a = Widen<Ch>(a8, wideExtras), b = Widen<Ch>(b8, wideExtras);
    GuardedText<Ch> src(b, true);
    for (int size = 0; size <= int(a.size() + b.size()) + 2; ++size) {
      // Append: dst holds a (when it fits) within size.
      if (int(a.size()) < size) {
        for (int maxChars : {-1, 0, 1, 3, INT_MAX}) {
          std::vector<Ch> d = Dst<Ch>(size);
          std::copy(a.begin(), a.end(), d.begin() + kPad);
          d[kPad + a.size()] = 0;
          const std::vector<Ch> before = d;
          const bool bounded = maxChars != INT_MAX;
          const int r = bounded ? O::AppendMax(d.data() + kPad, src.get(), size, maxChars)
                                : O::AppendN(d.data() + kPad, src.get(), size);
          size_t take = std::min(b.size(), size_t(size) - a.size() - 1);
          if (bounded) take = std::min(take, size_t(std::max(maxChars, 0)));
          const S want = a + b.substr(0, take);
          ASSERT_EQ(r, int(want.size()));
          ASSERT_EQ(d, Expect(before, want)) << size << " " << maxChars;
        }
      }
      // Trim copy within size.
      {
        std::vector<Ch> d = Dst<Ch>(size);
        const std::vector<Ch> before = d;
        const int r = O::TrimCopyN(d.data() + kPad, src.get(), size);
        if (size < 1) {
          ASSERT_EQ(r, 0);
          ASSERT_EQ(d, before);
        } else {
          size_t lead = 0;
          while (lead < b.size() && IsWhite(unsigned(b[lead]))) ++lead;
          const S want = TrimModel(b.substr(lead, size_t(size - 1)));
          ASSERT_EQ(r, int(want.size()));
          ASSERT_EQ(d, Expect(before, want));
        }
      }
      // Prepend within size: text a, front b.
      {
        std::vector<Ch> d = Dst<Ch>(std::max<int>(size, int(a.size()) + 1));
        std::copy(a.begin(), a.end(), d.begin() + kPad);
        d[kPad + a.size()] = 0;
        const std::vector<Ch> before = d;
        const int r = O::PrependN(d.data() + kPad, src.get(), size);
        if (size < 1) {
          ASSERT_EQ(r, 0);
          ASSERT_EQ(d, before);
        } else {
          const S want = (b + a).substr(0, size_t(size - 1));
          ASSERT_EQ(r, int(want.size()));
          const std::vector<Ch> w = Expect(before, want);
          // Characters between the new terminator and the old one may hold
          // moved text; the rest is untouched.
          for (size_t i = 0; i < w.size(); ++i) {
            if (i <= kPad + want.size() || i > kPad + a.size()) {
              ASSERT_EQ(d[i], w[i]) << i;
            }
          }
        }
      }
    }
    // Unbounded trim, also in place.
    {
      std::vector<Ch> d = Dst<Ch>(int(b.size()) + 1);
      const std::vector<Ch> before = d;
      ASSERT_EQ(O::TrimCopy(d.data() + kPad, src.get()), int(TrimModel(b).size()));
      ASSERT_EQ(d, Expect(before, TrimModel(b)));
      S inPlace = b;
      ASSERT_EQ(O::TrimCopy(inPlace.data(), inPlace.c_str()), int(TrimModel(b).size()));
      ASSERT_EQ(S(inPlace.c_str()), TrimModel(b));
    }
    // Unbounded prepend.
    {
      std::vector<Ch> d = Dst<Ch>(int(a.size() + b.size()) + 1);
      std::copy(a.begin(), a.end(), d.begin() + kPad);
      d[kPad + a.size()] = 0;
      const std::vector<Ch> before = d;
      ASSERT_EQ(O::Prepend(d.data() + kPad, src.get()), int(a.size() + b.size()) + 1);
      ASSERT_EQ(d, Expect(before, b + a));
    }
  }
}

TEST(StrAppendTrimPrepend, NarrowFormsMatchStringModel) { RunFamilyAgainstModel<char>(false); }
TEST(StrAppendTrimPrepend, WideFormsMatchStringModel) { RunFamilyAgainstModel<wchar16>(true); }

TEST(StrCopyNW, CopiesWideTextWithinDestinationSize) {
  const std::u16string text = u"\u4e00bc\xe9\xd800";
  GuardedText<wchar16> src(text, true);
  for (int size = 0; size <= 8; ++size) {
    for (int maxChars : {0, 2, 5, INT_MAX}) {
      std::vector<wchar16> d = Dst<wchar16>(size);
      const std::vector<wchar16> before = d;
      const int r = StrCopyMaxW(d.data() + kPad, src.get(), size, maxChars);
      if (size < 1) {
        ASSERT_EQ(r, 0);
        ASSERT_EQ(d, before);
        continue;
      }
      const std::u16string want = text.substr(0, size_t(std::min(size - 1, maxChars)));
      ASSERT_EQ(r, int(want.size()));
      ASSERT_EQ(d, Expect(before, want));
      std::vector<wchar16> e = Dst<wchar16>(size);
      ASSERT_EQ(StrCopyNW(e.data() + kPad, src.get(), size), int(text.substr(0, size_t(size - 1)).size()));
    }
    EXPECT_EQ(StrLenNW(src.get(), size), std::min(size, 5));
  }
}

TEST(StrCopyN, DocumentedExamples) {
  char dst[16];
  std::memset(dst, kCanary, sizeof dst);
  EXPECT_EQ(StrCopyN(dst, "abc", 3), 2);
  EXPECT_STREQ(dst, "ab");
  std::memset(dst, kCanary, sizeof dst);
  EXPECT_EQ(StrCopyN(dst, "abc", 0), 0);
  EXPECT_EQ(dst[0], kCanary);
  EXPECT_EQ(StrCopyN(dst, "abc", 1), 0);
  EXPECT_EQ(dst[0], '\0');
  EXPECT_EQ(dst[1], kCanary);
  // No terminator within dstSize: nothing is written, dstSize returned.
  char full[4] = {'w', 'x', 'y', 'z'};
  EXPECT_EQ(StrAppendN(full, "abc", 4), 4);
  EXPECT_EQ(std::string(full, 4), "wxyz");
  char blanks[] = " \t\r\n  ";
  EXPECT_EQ(StrTrimCopy(blanks, blanks), 0);
  EXPECT_STREQ(blanks, "");
  char world[16] = "world";
  EXPECT_EQ(StrPrepend(world, "hello "), 12);
  EXPECT_STREQ(world, "hello world");
  char world2[16] = "world";
  EXPECT_EQ(StrPrependN(world2, "hello ", 8), 7);
  EXPECT_STREQ(world2, "hello w");
  char small[4] = "ab";
  EXPECT_EQ(StrPrependN(small, "front", 4), 3);
  EXPECT_STREQ(small, "fro");
}

TEST(StrPrependN, MeasuresTextOnlyWithinSize) {
  // The text has no terminator inside size: only size characters are read.
  GuardedText<char> text(std::string_view("abcdef"), false);
  EXPECT_EQ(StrPrependN(text.get(), "XY", 6), 5);
  EXPECT_EQ(std::string(text.get(), 6), std::string("XYabc\0", 6));
}

}  // namespace
