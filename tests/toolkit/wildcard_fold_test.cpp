// Case-blind compares, '?' compares, case changes and installed tables.
#include "toolkit/wildcard_fold.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <string>
#include <vector>

#include "toolkit/wildcard.h"

namespace {

int Sign(int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

// Test tables: ASCII and the Latin-1 letters (but 0xD7/0xF7, and 0xDF which
// has no capital), plus Greek alpha-omega.
struct TestTables {
  WORD upper[0x3000], lower[0x3000];
  const WORD* both[2] = {upper, lower};
  TestTables() {
    for (int c = 0; c < 0x3000; ++c) upper[c] = lower[c] = static_cast<WORD>(c);
    for (int c = 'a'; c <= 'z'; ++c) {
      upper[c] = static_cast<WORD>(c - 32);
      lower[c - 32] = static_cast<WORD>(c);
    }
    for (int c = 0xE0; c <= 0xFE; ++c) {
      if (c == 0xF7) continue;
      upper[c] = static_cast<WORD>(c - 32);
      lower[c - 32] = static_cast<WORD>(c);
    }
    for (int c = 0x3B1; c <= 0x3C9; ++c) {
      if (c == 0x3C2) continue;
      upper[c] = static_cast<WORD>(c - 32);
      lower[c - 32] = static_cast<WORD>(c);
    }
  }
};

class InstalledTables : public ::testing::Test {
 protected:
  void SetUp() override { SetCaseFoldTables(tables_.both); }
  void TearDown() override { SetCaseFoldTables(nullptr); }
  TestTables tables_;
};

}  // namespace

TEST(StrCompareFoldN, ComparesExactlyWithSignsAndCaseBlindWithDifferences) {
  EXPECT_EQ(-1, StrCompareFoldN("abc", "abd", 3, false));
  EXPECT_EQ(1, StrCompareFoldN("abd", "abc", 3, false));
  EXPECT_EQ(1, StrCompareFoldN("\xE9", "a", 1, false));  // bytes compare unsigned
  EXPECT_EQ(0, StrCompareFoldN("abX", "abY", 2, false));
  EXPECT_EQ(-1, StrCompareFoldN("ab", "abc", 5, false));
  EXPECT_EQ(0, StrCompareFoldN("ab", "ab", 50, false));  // stops after the shared terminator
  EXPECT_EQ(0, StrCompareFoldN("ABC", "abc", 3, true));
  EXPECT_EQ('d' - 'c', StrCompareFoldN("abD", "ABC", 3, true));
  // Folding goes to small letters: '_' (0x5F) sorts before every letter.
  EXPECT_EQ('_' - 'a', StrCompareNoCaseN("_", "A", 1));
  EXPECT_EQ('_' - 'a', StrCompareNoCase("_", "A"));
  EXPECT_EQ(0, StrCompareNoCase("Hello", "hELLO"));
  EXPECT_EQ(0, StrCompareNoCaseN("x", "y", 0));
  EXPECT_EQ(0xE9 - 0xC9, StrCompareNoCase("\xE9", "\xC9"));  // no Latin-1 folding
  // Wide: MemCompare16 differences, case-blind through MemCompare16NoCase.
  EXPECT_EQ(Sign(u'c' - u'd'), Sign(StrCompareFoldNW(u"abc", u"abd", 3, false)));
  EXPECT_EQ(0, StrCompareFoldNW(u"aBc", u"AbC", 3, true));
  EXPECT_EQ(0, StrCompareNoCaseW(u"Zelvaro", u"zELVARO"));
  EXPECT_GT(0, StrCompareNoCaseW(u"ab", u"abc"));
  EXPECT_EQ(0, StrCompareNoCaseNW(u"ab", u"AB", 50));
}

// Names with characters between the two letter ranges, sorted with
// StrCompareNoCase, are each found by a binary search with StrCompareNoCaseN:
// both fold the same way.
TEST(StrCompareNoCase, SortsAsTheBoundedCompareSearches) {
  std::vector<std::string> names = {"a_b", "A[b", "a`b", "a^b", "Ab",   "a]",  "_x",  "[x",
                                    "`x",  "^x",  "Zed", "zz",  "Z_",  "z[",   "a\\", "a{"};
  std::sort(names.begin(), names.end(),
            [](const std::string& x, const std::string& y) { return StrCompareNoCase(x.c_str(), y.c_str()) < 0; });
  for (const std::string& key : names) {
    int lo = 0, hi = static_cast<int>(names.size()) - 1, found = -1;
    const int n = static_cast<int>(key.size()) + 1;
    while (lo <= hi) {
      int mid = (lo + hi) / 2;
      int c = StrCompareNoCaseN(names[mid].c_str(), key.c_str(), n);
      if (c == 0) {
        found = mid;
        break;
      }
      if (c < 0) lo = mid + 1; else hi = mid - 1;
    }
    ASSERT_GE(found, 0) << key;
    EXPECT_EQ(key, names[found]);
  }
}

TEST(StrCompareNoCase, IgnoresTheProcessLocale) {
  std::vector<int> before;
  for (int a = 1; a < 256; ++a) {
    for (int b = 1; b < 256; ++b) {
      char x[2] = {static_cast<char>(a), 0}, y[2] = {static_cast<char>(b), 0};
      before.push_back(Sign(StrCompareNoCase(x, y)));
    }
  }
  const char* german = nullptr;
  for (const char* name : {"de_DE.ISO-8859-1", "de_DE@euro", "de_DE", "de_DE.UTF-8", "de_DE.utf8"}) {
    if (std::setlocale(LC_ALL, name)) {
      german = name;
      break;
    }
  }
  if (!german) GTEST_SKIP() << "no German locale installed";
  std::vector<int> after;
  for (int a = 1; a < 256; ++a) {
    for (int b = 1; b < 256; ++b) {
      char x[2] = {static_cast<char>(a), 0}, y[2] = {static_cast<char>(b), 0};
      after.push_back(Sign(StrCompareNoCase(x, y)));
    }
  }
  char upper[] = "\xE4\xF6\xFC" "abc";
  StrUpper(upper);
  std::setlocale(LC_ALL, "C");
  EXPECT_EQ(before, after) << german;
  EXPECT_STREQ("\xE4\xF6\xFC" "ABC", upper);
}

TEST(StrCompareWild, QuestionMarkInThePatternEqualsAnyCharacter) {
  EXPECT_EQ(0, StrCompareWild("a?c", "abc", 3));
  EXPECT_EQ(0, StrCompareWild("??", "\0x", 2));  // counted: the terminator is a character
  EXPECT_EQ('c' - 'b', StrCompareWild("a?c", "aXb", 3));
  EXPECT_EQ('A' - 'a', StrCompareWild("A", "a", 1));
  EXPECT_EQ(0, StrCompareWildFold("A?C", "abc", 3, true));
  EXPECT_EQ('D' - 'C', StrCompareWildFold("abd", "ABC", 3, true));
  EXPECT_EQ(0, StrCompareWildW(u"?\x4E00", u"x\x4E00", 2));
  EXPECT_EQ(0, StrCompareWildFoldW(u"A?", u"a\x4E00", 2, true));
  EXPECT_NE(0, StrCompareWildFoldW(u"\x03B1", u"\x0391", 1, true));
}

TEST(StrUpper, ChangesAsciiLettersOnlyWithoutTables) {
  char text[] = "Stra\xDF" "e \xE4 mixed_Case";
  EXPECT_EQ(text, StrUpper(text));
  EXPECT_STREQ("STRA\xDF" "E \xE4 MIXED_CASE", text);
  EXPECT_EQ(text, StrLower(text));
  EXPECT_STREQ("stra\xDF" "e \xE4 mixed_case", text);
  char part[] = "abcdef";
  StrUpperN(part, 3);
  EXPECT_STREQ("ABCdef", part);
  StrLowerN(part, -1);
  EXPECT_STREQ("abcdef", part);
  StrUpperN(part, 0);
  EXPECT_STREQ("abcdef", part);
  char16_t wide[] = u"ab\x03B1\x4E00Z";
  StrUpperW(wide);
  EXPECT_EQ(std::u16string(u"AB\x03B1\x4E00Z"), std::u16string(wide));
  StrLowerNW(wide, 1);
  EXPECT_EQ(std::u16string(u"aB\x03B1\x4E00Z"), std::u16string(wide));
  StrLowerW(wide);
  StrUpperNW(wide, 2);
  EXPECT_EQ(std::u16string(u"AB\x03B1\x4E00z"), std::u16string(wide));
}

TEST_F(InstalledTables, DriveCaseChangesComparesAndMatching) {
  char text[] = "stra\xDF" "e \xE4";
  StrUpper(text);
  EXPECT_STREQ("STRA\xDF" "E \xC4", text);
  StrLower(text);
  EXPECT_STREQ("stra\xDF" "e \xE4", text);
  char16_t wide[] = u"\x03B1\x03C9\x3042";
  StrUpperW(wide);
  EXPECT_EQ(std::u16string(u"\x0391\x03A9\x3042"), std::u16string(wide));
  StrLowerNW(wide, 1);
  EXPECT_EQ(std::u16string(u"\x03B1\x03A9\x3042"), std::u16string(wide));

  EXPECT_EQ(0, StrCompareNoCase("\xE4x", "\xC4X"));
  EXPECT_EQ(0, StrCompareNoCaseN("\xE4xy", "\xC4Xz", 2));
  EXPECT_EQ(0, StrCompareNoCaseW(u"\x03B1\x03B2", u"\x0391\x0392"));
  // Through the capital table the difference is of capitals: 'b' - 'a'.
  EXPECT_EQ('B' - 'A', StrCompareFoldN("b", "a", 1, true));
  EXPECT_EQ(-1, StrCompareFoldN("A", "a", 1, false));
  EXPECT_EQ(0, StrCompareWildFold("\xC4?", "\xE4x", 2, true));
  EXPECT_EQ(0, MatchFilePattern("\xC4*", "\xE4x", MATCH_NOCASE));
  EXPECT_EQ(1, MatchFilePattern("\xC4*", "\xE4x", 0));
  EXPECT_EQ(0, MatchFilePatternW(u"\x0391*", u"\x03B1x", MATCH_NOCASE));

  SetCaseFoldTables(nullptr);
  EXPECT_NE(0, StrCompareNoCase("\xE4", "\xC4"));
  EXPECT_EQ(1, MatchFilePattern("\xC4*", "\xE4x", MATCH_NOCASE));
  char again[] = "\xE4";
  StrUpper(again);
  EXPECT_STREQ("\xE4", again);
}
