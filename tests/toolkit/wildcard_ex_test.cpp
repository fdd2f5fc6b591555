// MatchPatternEx: vectors per element, alternatives, runs that must give
// characters back, and the flags describing what precedes the name.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "latin1_widen.h"
#include "toolkit/wildcard.h"

namespace {

int Ex(const char* pattern, const std::string& name, DWORD flags = 0) {
  return MatchPatternEx(pattern, static_cast<int>(std::strlen(pattern)), name.data(),
                        static_cast<int>(name.size()), flags);
}

struct Vector {
  const char* pattern;
  const char* name;
  DWORD flags;
  bool match;
};

}  // namespace

TEST(MatchPatternEx, MatchesEachElementAsDocumented) {
  const Vector vectors[] = {
      // literals, '?', '*' as in MatchFilePattern
      {"a?c", "abc", 0, true},          {"a*", "abc", 0, true},        {"A*", "abc", 0, false},
      {"A*", "abc", MATCH_NOCASE, true}, {"*.*", "readme", MATCH_STARDOTSTAR, true},
      {"*.*", "readme", 0, false},
      // \* \? \\ are the characters themselves
      {"a\\*", "a*", 0, true},          {"a\\*", "ab", 0, false},      {"\\?", "?", 0, true},
      {"\\?", "x", 0, false},           {"x\\\\y", "x\\y", 0, true},
      // \#mask#: a run of the classes (digits: 1)
      {"v\\#1#", "v2024", 0, true},     {"v\\#1#", "v", 0, true},      {"v\\#1#", "v20x", 0, false},
      {"\\#6#", "AbC", 0, true},        {"\\#6#x", "Abx", 0, true},
      // \$mask$: one of the class or none
      {"a\\$1$b", "a7b", 0, true},      {"a\\$1$b", "ab", 0, true},    {"a\\$1$b", "axb", 0, false},
      // \&mask&: exactly one of the class
      {"a\\&1&b", "a7b", 0, true},      {"a\\&1&b", "ab", 0, false},
      // \(chars) optional, \[chars] one, \{chars} none of, \<chars> run
      {"x\\(ab)y", "xay", 0, true},     {"x\\(ab)y", "xy", 0, true},   {"x\\(ab)y", "xcy", 0, false},
      {"x\\[ab]y", "xby", 0, true},     {"x\\[ab]y", "xy", 0, false},  {"x\\{ab}y", "xcy", 0, true},
      {"x\\{ab}y", "xay", 0, false},    {"x\\<ab>y", "xababy", 0, true}, {"x\\<ab>y", "xy", 0, true},
      {"x\\<ab>y", "xacy", 0, false},   {"\\[\\)]", ")", 0, true},     {"\\[\\n]", "\n", 0, true},
      {"\\[\\x41]", "A", 0, true},      {"\\[AB]", "a", MATCH_NOCASE, true},
      // \+ runs of white space, \. of blanks
      {"a\\+b", "a \t\r\nb", 0, true},  {"a\\+b", "ab", 0, true},      {"a\\.b", "a \tb", 0, true},
      {"a\\.b", "a\nb", 0, false},
      // \_ blanks and \- line ends: empty only at the start of the name
      {"a\\_b", "a  b", 0, true},       {"a\\_b", "ab", 0, false},     {"\\_b", "b", 0, true},
      {"\\_b", "b", MATCH_NOT_AT_START, false}, {"a\\-b", "a\r\nb", 0, true}, {"a\\-b", "a b", 0, false},
      // \a start, \e end
      {"\\aab", "ab", 0, true},         {"\\aab", "ab", MATCH_NOT_AT_START, false},
      {"ab\\e", "ab", 0, true},         {"a*\\eb", "ab", 0, false},
      // \f word end, \g word start
      {"ab\\f c", "ab c", 0, true},     {"a\\fb", "ab", 0, false},     {"\\gab", "ab", 0, true},
      {"\\gab", "ab", MATCH_AFTER_WORD, false}, {"x \\gy", "x y", 0, true},
      // \w a word after a non-word character, \z one starting with a digit
      {"\\w", "Stra\xDF" "e", 0, true}, {"\\w", "", 0, false},         {"\\w", "ab", MATCH_AFTER_WORD, false},
      {"\\w \\w", "ab cd", 0, true},    {"\\z", "1abc", 0, true},      {"\\z", "a1", 0, false},
      // \h \p \m \o
      {"\\h\\h", "fF", 0, true},        {"\\h", "g", 0, false},        {"\\p", "7", 0, true},
      {"\\p", "a", 0, false},           {"\\m", "_", 0, true},         {"\\m", "1", 0, false},
      {"\\o", "1", 0, true},            {"\\o", "-", 0, false},
      // \q: a character above TAB, CR LF (and any character from CR up before LF) as one
      {"\\q", "x", 0, true},            {"\\q", "\r\n", 0, true},      {"\\q", "\t", 0, false},
      {"\\q\\q", "\r\n", 0, false},     {"\\q", "a\n", 0, true},
      // other escapes are characters
      {"a\\tb", "a\tb", 0, true},       {"\\x41", "A", 0, true},       {"\\101", "A", 0, true},
      // alternatives are whole patterns
      {"*.txt\\|*.zip", "a.zip", 0, true}, {"*.txt\\|*.zip", "a.txt", 0, true},
      {"*.txt\\|*.zip", "a.c", 0, false},  {"a\\|b\\|", "", 0, true},  {"a\\|b", "ab", 0, false},
  };
  for (const Vector& v : vectors) {
    EXPECT_EQ(v.match ? 0 : 1, Ex(v.pattern, v.name, v.flags)) << v.pattern << " / " << v.name;
    std::u16string wp = Latin1Widen(v.pattern), wn = Latin1Widen(v.name);
    EXPECT_EQ(v.match ? 0 : 1, MatchPatternExW(wp.data(), static_cast<int>(wp.size()), wn.data(),
                                               static_cast<int>(wn.size()), v.flags))
        << v.pattern << " / " << v.name;
  }
}

TEST(MatchPatternEx, RunsGiveCharactersBackToWhatFollows) {
  // The digit run must leave the last digit for \p, the set run its last 'a'.
  EXPECT_EQ(0, Ex("\\#1#\\p", "12345"));
  EXPECT_EQ(0, Ex("\\<ab>a", "abba"));
  EXPECT_EQ(0, Ex("\\w1", "abc1"));
  EXPECT_EQ(0, Ex("*\\#1#.txt", "v12.txt"));
  EXPECT_EQ(1, Ex("\\#1#\\p", ""));
}

TEST(MatchPatternEx, ReportsLikeMatchFilePattern) {
  EXPECT_EQ(5, Ex("*.txt", "a.txt", MATCH_LENGTH));
  EXPECT_EQ(0, Ex("*.txt", "a.zip", MATCH_LENGTH));
  EXPECT_EQ(-1, Ex("*.txt", "a.zip", MATCH_LENGTH | MATCH_FAIL_NEGATIVE));
  EXPECT_EQ(0, MatchPatternEx("", 0, "", 0, 0));
  EXPECT_EQ(1, MatchPatternEx("", -1, "x", 1, 0));
  // Characters above 255 are of class CHC_OTHER only.
  EXPECT_EQ(0, MatchPatternExW(u"\\#40000000#", 11, u"\x4E00\x4E01", 2, 0));
  EXPECT_EQ(1, MatchPatternExW(u"\\w", 2, u"\x4E00", 1, 0));
}

TEST(MatchPatternEx, SurvivesCutAndMalformedElements) {
  const char* patterns[] = {"\\", "\\#", "\\#1", "\\(", "\\(a\\", "\\x", "\\x4", "\\1", "a\\|",
                            "\\|", "\\[\\", "\\$zz", "\\&&", "\\{", "\\<"};
  for (const char* p : patterns) {
    int r = Ex(p, "a1 b");
    EXPECT_TRUE(r == 0 || r == 1) << p;
  }
  // A long name with many runs stays quick (linear in elements times name).
  std::string name(20000, 'a');
  EXPECT_EQ(1, Ex("*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*ab", name));
  EXPECT_EQ(0, Ex("\\<a>\\<a>\\<a>\\<a>\\<a>\\<a>\\<a>\\<a>\\e", name));
}
