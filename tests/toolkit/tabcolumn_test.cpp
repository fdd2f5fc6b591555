// Tab columns: the documented vectors, a brute-force check that TabFill is
// shortest, and the UTF forms against each other.
#include "toolkit/tabcolumn.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

// Column after one character, floor arithmetic, tab sizes below 1 as 1.
long long Next(long long col, bool tab, int tabSize) {
  long long t = tabSize < 1 ? 1 : tabSize;
  if (!tab) return col + 1;
  long long q = col >= 0 ? col / t : -((-col + t - 1) / t);
  return (q + 1) * t;
}

}  // namespace

TEST(TabColumnEnd, FollowsTheDocumentedExamples) {
  EXPECT_EQ(4, TabColumnEnd("ab\t", 4, 0));
  EXPECT_EQ(8, TabColumnEnd("\t", 4, 4));
  EXPECT_EQ(7, TabColumnEnd("", 4, 7));
  EXPECT_EQ(3, TabColumnFit(3, "abcdef", 4, 0));
  EXPECT_EQ(0, TabColumnFit(3, "", 4, 0));
  EXPECT_EQ(4, TabColumnEndW(u"ab\t", 4, 0));
  EXPECT_EQ(3, TabColumnFitW(3, u"abcdef", 4, 0));
}

TEST(TabColumnEnd, NegativeColumnsUseFloorArithmetic) {
  EXPECT_EQ(-4, TabColumnEnd("\t", 4, -5));
  EXPECT_EQ(0, TabColumnEnd("\t", 4, -4));
  EXPECT_EQ(0, TabColumnEnd("\t", 4, -1));
  EXPECT_EQ(-7, TabColumnEnd("ab", 4, -9));
}

TEST(TabColumnEnd, TabSizeBelowOneActsAsOne) {
  for (int tab : {0, -1, INT_MIN}) {
    EXPECT_EQ(5, TabColumnEnd("\t\t", tab, 3));
    EXPECT_EQ(2, TabColumnFit(5, "\t\t\t", tab, 3));
    EXPECT_EQ(4, TabColumnEndUtf8("\t", tab, 3));
  }
}

TEST(TabColumnEnd, ColumnsSaturateAtIntMax) {
  EXPECT_EQ(INT_MAX, TabColumnEnd("\t", 8, INT_MAX - 3));
  EXPECT_EQ(INT_MAX, TabColumnEnd("abc", 8, INT_MAX - 1));
  EXPECT_EQ(INT_MAX, TabColumnEndN(2, "\t\t", INT_MAX, INT_MAX - 5));
  EXPECT_EQ(3, TabColumnFit(INT_MAX, "abc", 4, INT_MAX - 2));
}

TEST(TabColumnEnd, BoundedFormsCountTheTerminatorAsACharacter) {
  EXPECT_EQ(3, TabColumnEndN(3, "a\0b", 4, 0));
  EXPECT_EQ(5, TabColumnEndN(2, "\t\0", 4, 0));
  EXPECT_EQ(2, TabColumnEndN(-1, "\t\0", 4, 2));
  EXPECT_EQ(2, TabColumnFitN(9, 2, "\t\0", 4, 0));
  EXPECT_EQ(2, TabColumnEndNW(2, u"a\0", 4, 0));
  EXPECT_EQ(3, TabColumnFitNW(9, 3, u"a\0b", 4, 0));
}

// Every tab size -1..8 and every pair of columns in -20..40: TabFill reaches
// the target, a breadth-first search over blanks and TABs finds nothing
// shorter, and tab sizes below 1 give blanks only.
TEST(TabFill, WritesTheShortestRunThatReachesTheTarget) {
  for (int tab = -1; tab <= 8; ++tab) {
    for (int from = -20; from <= 40; ++from) {
      for (int to = -20; to <= 40; ++to) {
        char buf[128];
        std::memset(buf, 'G', sizeof buf);
        int n = TabFill(buf, from, to, tab);
        ASSERT_EQ(0, buf[n]);
        ASSERT_EQ('G', buf[n + 1]);
        int shortest = 0;
        if (to > from) {
          std::vector<int> dist(to - from + 1, -1);
          dist[0] = 0;
          for (int c = from; c < to; ++c) {
            if (dist[c - from] < 0) continue;
            for (bool t : {false, true}) {
              long long next = Next(c, t && tab >= 1, tab);
              if (next <= to && (dist[next - from] < 0 || dist[next - from] > dist[c - from] + 1))
                dist[next - from] = dist[c - from] + 1;
            }
          }
          shortest = dist[to - from];
        }
        ASSERT_EQ(shortest, n) << tab << ' ' << from << ' ' << to;
        long long col = from;
        for (int k = 0; k < n; ++k) {
          ASSERT_TRUE(buf[k] == ' ' || buf[k] == '\t');
          if (tab < 1) {
            ASSERT_EQ(' ', buf[k]);
          }
          col = Next(col, buf[k] == '\t', tab);
        }
        ASSERT_EQ(to > from ? to : from, col) << tab << ' ' << from << ' ' << to;
        ASSERT_EQ(to > from ? to : from, TabColumnEnd(buf, tab < 1 ? 1 : tab, from));
        wchar16 wbuf[128];
        ASSERT_EQ(n, TabFillW(wbuf, from, to, tab));
        for (int k = 0; k <= n; ++k) ASSERT_EQ(static_cast<unsigned char>(buf[k]), wbuf[k]);
      }
    }
  }
}

TEST(TabFill, FollowsTheDocumentedExamples) {
  char buf[32];
  EXPECT_EQ(3, TabFill(buf, 1, 9, 4));
  EXPECT_STREQ("\t\t ", buf);
  EXPECT_EQ(3, TabFill(buf, 3, 9, 4));
  EXPECT_STREQ(" \t ", buf);
  EXPECT_EQ(2, TabFill(buf, 5, 7, 4));
  EXPECT_STREQ("  ", buf);
  EXPECT_EQ(4, TabFill(buf, 3, 7, 0));
  EXPECT_STREQ("    ", buf);
  EXPECT_EQ(0, TabFill(buf, 9, 9, 4));
  EXPECT_STREQ("", buf);
  EXPECT_EQ(3, TabFill(buf, -1, 5, 4));
  EXPECT_STREQ(" \t ", buf);
}

// Random texts of letters, TABs and multi-byte characters: TabColumnFit is
// the longest prefix (in whole characters) whose column stays within maxCol,
// and the UTF-8 and UTF-16 forms agree with each other on the same text.
TEST(TabColumnFit, GivesTheLongestPrefixThatFitsInEveryForm) {
  std::mt19937 rng(3);
  const char32_t pool[] = {U'a', U'\t', U' ', U'\u00E9', U'\u4E00', U'\U0001F600'};
  for (int round = 0; round < 400; ++round) {
    std::u32string chars;
    for (int k = static_cast<int>(rng() % 14); k > 0; --k) chars += pool[rng() % 6];
    std::string u8, latin;
    std::u16string u16;
    std::vector<int> u8at{0}, u16at{0};
    for (char32_t c : chars) {
      if (c < 0x80) {
        u8 += static_cast<char>(c);
      } else if (c < 0x800) {
        u8 += static_cast<char>(0xC0 | (c >> 6));
        u8 += static_cast<char>(0x80 | (c & 0x3F));
      } else if (c < 0x10000) {
        u8 += static_cast<char>(0xE0 | (c >> 12));
        u8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        u8 += static_cast<char>(0x80 | (c & 0x3F));
      } else {
        u8 += static_cast<char>(0xF0 | (c >> 18));
        u8 += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        u8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        u8 += static_cast<char>(0x80 | (c & 0x3F));
      }
      if (c < 0x10000) {
        u16 += static_cast<char16_t>(c);
      } else {
        u16 += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
        u16 += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
      }
      latin += c < 0x100 ? static_cast<char>(c) : 'x';
      u8at.push_back(static_cast<int>(u8.size()));
      u16at.push_back(static_cast<int>(u16.size()));
    }
    const int tab = static_cast<int>(rng() % 6) - 1;
    const int start = static_cast<int>(rng() % 21) - 10;
    std::vector<long long> cols{start};
    for (char32_t c : chars) cols.push_back(Next(cols.back(), c == U'\t', tab));
    const int n = static_cast<int>(chars.size());
    ASSERT_EQ(cols[n], TabColumnEndUtf8(u8.c_str(), tab, start));
    ASSERT_EQ(cols[n], TabColumnEndUtf16(u16.c_str(), tab, start));
    ASSERT_EQ(cols[n], TabColumnEnd(latin.c_str(), tab, start));
    ASSERT_EQ(cols[n], TabColumnEndUtf8N(static_cast<int>(u8.size()), u8.c_str(), tab, start));
    ASSERT_EQ(cols[n], TabColumnEndUtf16N(static_cast<int>(u16.size()), u16.c_str(), tab, start));
    for (int maxCol = start - 2; maxCol <= start + 40; ++maxCol) {
      int fit = 0;
      while (fit < n && cols[fit + 1] <= maxCol) ++fit;
      ASSERT_EQ(fit, TabColumnFit(maxCol, latin.c_str(), tab, start));
      ASSERT_EQ(fit, TabColumnFitN(maxCol, n, latin.c_str(), tab, start));
      ASSERT_EQ(u8at[fit], TabColumnFitUtf8(maxCol, u8.c_str(), tab, start));
      ASSERT_EQ(u16at[fit], TabColumnFitUtf16(maxCol, u16.c_str(), tab, start));
      ASSERT_EQ(u8at[fit], TabColumnFitUtf8N(maxCol, static_cast<int>(u8.size()), u8.c_str(), tab, start));
      ASSERT_EQ(u16at[fit], TabColumnFitUtf16N(maxCol, static_cast<int>(u16.size()), u16.c_str(), tab, start));
      std::u16string wideLatin(latin.size(), u'\0');
      for (size_t k = 0; k < latin.size(); ++k) wideLatin[k] = static_cast<unsigned char>(latin[k]);
      ASSERT_EQ(fit, TabColumnFitW(maxCol, wideLatin.c_str(), tab, start));
      ASSERT_EQ(fit, TabColumnFitNW(maxCol, n, wideLatin.c_str(), tab, start));
    }
  }
}

TEST(TabColumnEnd, BoundedUtfFormsMeasureWhatIsLeft) {
  // A sequence cut by len counts its bytes one by one.
  EXPECT_EQ(2, TabColumnEndUtf8N(2, "\xE4\xB8\x80", 4, 0));
  EXPECT_EQ(1, TabColumnEndUtf8N(3, "\xE4\xB8\x80", 4, 0));
  EXPECT_EQ(1, TabColumnEndUtf16N(2, u"\xD83D\xDE00", 4, 0));
  EXPECT_EQ(1, TabColumnEndUtf16N(1, u"\xD83D\xDE00", 4, 0));
  EXPECT_EQ(2, TabColumnEndUtf16(u"\xDE00\xD83D", 4, 0));
  EXPECT_EQ(0, TabColumnFitUtf8(0, "\xE4\xB8\x80", 4, 0));
  EXPECT_EQ(3, TabColumnFitUtf8(1, "\xE4\xB8\x80" "a", 4, 0));
}
