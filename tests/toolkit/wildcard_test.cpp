// Wildcard matchers against glibc fnmatch (C locale, FNM_NOESCAPE), plus the
// documented vectors and the pattern lists.
#include "latin1_widen.h"
#include "toolkit/wildcard.h"

#include <fnmatch.h>
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "toolkit/wildcard_fold.h"

namespace {

int Len(const std::string& s) { return static_cast<int>(s.size()); }

bool Fnmatch(const std::string& pattern, const std::string& name, int flags) {
  return fnmatch(pattern.c_str(), name.c_str(), FNM_NOESCAPE | flags) == 0;
}

}  // namespace

// One million random pairs over a b A . / \ * ?: every matcher, twin and
// flag agrees with fnmatch.
TEST(WildcardMatch, AgreesWithFnmatchOnRandomPairs) {
  std::mt19937 rng(2026);
  const char alphabet[] = "abA./\\*?";
  const char nameAlphabet[] = "abA./\\";
  for (int round = 0; round < 1000000; ++round) {
    std::string pattern, name;
    for (int k = static_cast<int>(rng() % 8); k > 0; --k) pattern += alphabet[rng() % 8];
    for (int k = static_cast<int>(rng() % 9); k > 0; --k) {
      // Names may hold '*' and '?' too, now and then.
      name += rng() % 16 ? nameAlphabet[rng() % 6] : alphabet[rng() % 8];
    }
    const bool plain = Fnmatch(pattern, name, 0);
    const bool folded = Fnmatch(pattern, name, FNM_CASEFOLD);
    std::string starDot = pattern;
    if (starDot.size() >= 3 && starDot.compare(starDot.size() - 3, 3, "*.*") == 0) {
      starDot.resize(starDot.size() - 2);
    }
    const bool dotted = Fnmatch(starDot, name, 0);
    const std::u16string wp = Latin1Widen(pattern), wn = Latin1Widen(name);
    auto where = [&] { return "pattern \"" + pattern + "\" name \"" + name + "\""; };

    ASSERT_EQ(plain, StrMatchWildcard(name.c_str(), pattern.c_str()) == 0) << where();
    ASSERT_EQ(plain, StrMatchWildcardW(wn.c_str(), wp.c_str()) == 0) << where();
    ASSERT_EQ(folded, StrMatchWildcardNoCase(name.c_str(), pattern.c_str()) == 0) << where();
    ASSERT_EQ(folded, StrMatchWildcardNoCaseW(wn.c_str(), wp.c_str()) == 0) << where();

    ASSERT_EQ(plain, MatchFilePattern(pattern.data(), Len(pattern), name.data(), Len(name), 0) == 0)
        << where();
    ASSERT_EQ(plain, MatchFilePatternW(wp.data(), Len(pattern), wn.data(), Len(name), 0) == 0)
        << where();
    ASSERT_EQ(folded, MatchFilePattern(pattern.data(), Len(pattern), name.data(), Len(name),
                                       MATCH_NOCASE) == 0)
        << where();
    ASSERT_EQ(folded, MatchFilePatternW(wp.data(), Len(pattern), wn.data(), Len(name),
                                        MATCH_NOCASE) == 0)
        << where();
    ASSERT_EQ(dotted, MatchFilePattern(pattern.data(), Len(pattern), name.data(), Len(name),
                                       MATCH_STARDOTSTAR) == 0)
        << where();
    ASSERT_EQ(dotted, MatchFilePatternW(wp.data(), Len(pattern), wn.data(), Len(name),
                                        MATCH_STARDOTSTAR) == 0)
        << where();
    ASSERT_EQ(plain, MatchFilePattern(pattern.c_str(), name.c_str(), 0) == 0) << where();
    ASSERT_EQ(plain, MatchFilePatternW(wp.c_str(), wn.c_str(), 0) == 0) << where();
    // Length mode.
    ASSERT_EQ(plain ? Len(name) : -1,
              MatchFilePattern(pattern.data(), Len(pattern), name.data(), Len(name),
                               MATCH_LENGTH | MATCH_FAIL_NEGATIVE))
        << where();
    ASSERT_EQ(plain ? Len(name) : 0,
              MatchFilePatternW(wp.data(), Len(pattern), wn.data(), Len(name), MATCH_LENGTH))
        << where();
  }
}

TEST(StrMatchWildcard, FollowsTheDocumentedExamples) {
  for (const char* pattern : {"a*c", "a?c", "*", "abc*", "abc", "***", "*?*", "a**c"}) {
    EXPECT_EQ(0, StrMatchWildcard("abc", pattern)) << pattern;
  }
  EXPECT_NE(0, StrMatchWildcard("abc", "a?"));
  EXPECT_EQ(0, StrMatchWildcard("", ""));
  EXPECT_NE(0, StrMatchWildcard("a", ""));
  EXPECT_EQ(0, StrMatchWildcard("", "*"));
  EXPECT_NE(0, StrMatchWildcard("", "?"));
}

TEST(StrMatchWildcard, ReportsTheFirstDifferenceBeforeAnyStar) {
  struct Case {
    const char* text;
    const char* pattern;
    int result;
  } cases[] = {
      {"abc", "abd", 'd' - 'c'}, {"abc", "ab", 0 - 'c'},  {"ab", "abc", 'c' - 0},
      {"abc", "x*", 'x' - 'a'},  {"abc", "a*x", 1},        {"abc", "?", 0 - 'b'},
      {"", "?", '?'},            {"a\xE9", "a\xE0", 0xE0 - 0xE9}, {"abc", "*d", 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.result, StrMatchWildcard(c.text, c.pattern)) << c.text << ' ' << c.pattern;
  }
  EXPECT_EQ('d' - 'c', StrMatchWildcardNoCase("ABC", "abD"));
  EXPECT_EQ(0, StrMatchWildcardNoCase("ABC", "a?c"));
  EXPECT_EQ(0x4E01 - 0x4E00, StrMatchWildcardW(u"\x4E00", u"\x4E01"));
  // Above 255 a wide character matches only itself, also case-blind.
  EXPECT_NE(0, StrMatchWildcardNoCaseW(u"\x0391", u"\x03B1"));
  EXPECT_EQ(0, StrMatchWildcardNoCaseW(u"X\x03B1", u"x\x03B1"));
}

TEST(MatchFilePattern, FollowsTheDocumentedExamples) {
  auto match = [](const char* pattern, const char* name, DWORD flags) {
    return MatchFilePattern(pattern, static_cast<int>(strlen(pattern)), name,
                            static_cast<int>(strlen(name)), flags);
  };
  EXPECT_EQ(0, match("*.*", "readme", MATCH_STARDOTSTAR));
  EXPECT_EQ(1, match("*.*", "readme", 0));
  EXPECT_EQ(0, match("*.c", "a.b.c", 0));
  EXPECT_EQ(1, match("a*b", "a.b.c", 0));
  EXPECT_EQ(1, match("A*", "a.b.c", 0));
  EXPECT_EQ(0, match("A*", "a.b.c", MATCH_NOCASE));
  EXPECT_EQ(0, match("", "", 0));
  EXPECT_EQ(1, match("", "x", 0));
  EXPECT_EQ(0, MatchFilePattern("", -3, "", -1, 0));
  EXPECT_EQ(-1, MatchFilePattern("", 0, "x", 1, MATCH_LENGTH | MATCH_FAIL_NEGATIVE));
  EXPECT_EQ(0, MatchFilePattern("", 0, "x", 1, MATCH_LENGTH));
  EXPECT_EQ(3, MatchFilePattern("a*", 2, "abc", 3, MATCH_LENGTH));
  // Only the counted part of pattern and name takes part.
  EXPECT_EQ(0, MatchFilePattern("*.txtXYZ", 5, "a.txt", 5, 0));
  EXPECT_EQ(0, MatchFilePattern("ab*", 3, "abcdef", 2, 0));
}

// Middle segments take their leftmost fit and the last one ends at the end of
// the name; readings that recurse with the rest of the pattern get these wrong.
TEST(MatchFilePattern, MatchesWhatAGlobMatches) {
  struct Case {
    const char* pattern;
    const char* name;
    DWORD flags;
  } matches[] = {
      {"*a*b*", "xaybz", 0},         {"*x*y*.*", "axbyc", MATCH_STARDOTSTAR},
      {"*a*b", "xabab", 0},          {"*?b", "abab", 0},
      {"a?*?c", "abxc", 0},          {"*.tar.gz", "x.tar.tar.gz", 0},
      {"*/*", "dir\\x/y", 0},        {"IMG_????.JPG", "img_0001.jpg", MATCH_NOCASE},
  };
  for (const Case& c : matches) {
    EXPECT_EQ(0, MatchFilePattern(c.pattern, c.name, c.flags)) << c.pattern << ' ' << c.name;
    EXPECT_EQ(0, MatchFilePatternW(Latin1Widen(c.pattern).c_str(), Latin1Widen(c.name).c_str(), c.flags));
  }
  EXPECT_EQ(1, MatchFilePattern("*a*b", "xabax", 0));
  EXPECT_EQ(1, MatchFilePattern("a?*?c", "abc", 0));
  EXPECT_EQ(1, MatchFilePattern("*x*y*.*", "axbyc", 0));
}

TEST(WildcardMatch, AdversarialPatternsStayLinear) {
  std::string pattern;
  for (int k = 0; k < 30; ++k) pattern += "*a";
  pattern += "b";
  const std::string name(1000000, 'a');
  EXPECT_EQ(1, StrMatchWildcard(name.c_str(), pattern.c_str()));
  EXPECT_EQ(1, StrMatchWildcardNoCase(name.c_str(), pattern.c_str()));
  EXPECT_EQ(1, MatchFilePattern(pattern.c_str(), name.c_str(), 0));
  EXPECT_EQ(0, StrMatchWildcard((name + "b").c_str(), pattern.c_str()));
  EXPECT_EQ(0, MatchFilePattern(pattern.c_str(), (name + "b").c_str(), MATCH_NOCASE));
}

TEST(MatchFilePatternList, ReturnsTheIndexOfTheFirstMatchingEntry) {
  auto list = [](const char* patterns, const char* name, int sep) {
    return MatchFilePatternList(name, static_cast<int>(strlen(name)), patterns, 0, sep);
  };
  EXPECT_EQ(2, list("*.txt;*.zip", "x.zip", ';'));
  EXPECT_EQ(1, list("*.txt;*.zip", "x.txt", ';'));
  EXPECT_EQ(0, list("", "x.zip", ';'));
  EXPECT_EQ(0, MatchFilePatternList("x", 1, static_cast<const char*>(nullptr), 0, ';'));
  EXPECT_EQ(-1, list("*.txt", "x.zip", ';'));
  // Empty entries count and match only an empty name.
  EXPECT_EQ(3, list("*.txt;;*.zip", "x.zip", ';'));
  EXPECT_EQ(2, list("*.txt;;*.zip", "", ';'));
  EXPECT_EQ(-1, list("*.txt;", "x.zip", ';'));
  // sep 0: entries end at terminators, the list at an empty one.
  const char multi[] = "*.txt\0*.zip\0\0*.c\0";
  EXPECT_EQ(2, MatchFilePatternList("x.zip", 5, multi, 0, 0));
  EXPECT_EQ(-1, MatchFilePatternList("x.c", 3, multi, 0, 0));
  EXPECT_EQ(0, MatchFilePatternList("x.c", 3, "\0\0", 0, 0));
  // Flags pass through; length mode does not change the answer.
  EXPECT_EQ(1, MatchFilePatternList("X.ZIP", 5, "*.zip", MATCH_NOCASE, ';'));
  EXPECT_EQ(1, MatchFilePatternList("x.zip", 5, "*.zip", MATCH_LENGTH, ';'));
  EXPECT_EQ(2, MatchFilePatternListW(u"x.zip", 5, u"*.txt|*.zip", 0, '|'));
  const char16_t wmulti[] = u"*.txt\0*.zip\0";
  EXPECT_EQ(-1, MatchFilePatternListW(u"x.c", 3, wmulti, 0, 0));
}
