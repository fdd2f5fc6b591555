// Path ordering: the weight tables pinned entry by entry, the comparison's
// separator and level rules, natural digit runs, and the order's laws over
// random paths.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "../toolkit/latin1_widen.h"
#include "files/pathcompare.h"

namespace {

int Sign(int v) { return (v > 0) - (v < 0); }

TEST(PathSortWeights, PinnedEntryByEntry) {
  // byte, folding weight, case-keeping weight (worked out by hand).
  const struct {
    unsigned byte, fold, keep;
  } pinned[] = {
      {0x00, 0, 0},           {'\\', 1, 1},           {'/', 1, 1},            {'.', 2, 2},
      {' ', 3, 3},            {'_', 4, 4},            {'(', 8, 8},            {'[', 9, 9},
      {'{', 10, 10},          {'<', 11, 11},          {')', 12, 12},          {']', 13, 13},
      {'}', 14, 14},          {'>', 15, 15},          {':', 257, 257},        {';', 258, 258},
      {',', 259, 259},        {'|', 260, 260},        {'0', 0x3080, 0x3080},  {'5', 0x3580, 0x3580},
      {'9', 0x3980, 0x3980},  {'A', 0x6100, 0x4100},  {'Z', 0x7A00, 0x5A00},  {'a', 0x6100, 0x6100},
      {'z', 0x7A00, 0x7A00},  {0xC0, 0x6101, 0x4101}, {0xC6, 0x6107, 0x4107}, {0xE0, 0x6101, 0x6101},
      {0xE6, 0x6107, 0x6107}, {0xC8, 0x6501, 0x4501}, {0xCB, 0x6504, 0x4504}, {0xEB, 0x6504, 0x6504},
      {0xCC, 0x6901, 0x4901}, {0xEF, 0x6904, 0x6904}, {0xD2, 0x6F01, 0x4F01}, {0xD6, 0x6F05, 0x4F05},
      {0xF6, 0x6F05, 0x6F05}, {0xD9, 0x7501, 0x5501}, {0xFC, 0x7504, 0x7504}, {0xC7, 0x6301, 0x4301},
      {0xE7, 0x6301, 0x6301}, {0xD0, 0x6401, 0x4401}, {0xF0, 0x6401, 0x6401}, {0xD1, 0x6E01, 0x4E01},
      {0xF1, 0x6E01, 0x6E01}, {0xDE, 0x7901, 0x5901}, {0xFE, 0x7901, 0x7901}, {0xD7, 0xF700, 0xD700},
      {0xD8, 0xF800, 0xD800}, {0xDD, 0xFD00, 0xDD00}, {0xDF, 0xDF00, 0xDF00}, {0xFF, 0xFF00, 0xFF00},
      {0xF7, 0xF700, 0xF700}, {0xF8, 0xF800, 0xF800}, {'!', 0x2100, 0x2100}, {0x7F, 0x7F00, 0x7F00},
      {0x80, 0x8000, 0x8000}, {0xC5, 0x6106, 0x4106},
  };
  bool seen[256] = {};
  for (const auto& p : pinned) {
    EXPECT_EQ(PathSortWeights[PATH_WEIGHTS_FOLD][p.byte], p.fold) << std::hex << p.byte;
    EXPECT_EQ(PathSortWeights[PATH_WEIGHTS_CASE][p.byte], p.keep) << std::hex << p.byte;
    seen[p.byte] = true;
  }
  // Every byte no rule names weighs its value times 256 in both tables,
  // except the letters and accented runs, which the rules cover.
  auto ruled = [](unsigned b) {
    return (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') || (b >= 0xC0 && b <= 0xC7) || (b >= 0xE0 && b <= 0xE7) ||
           (b >= 0xC8 && b <= 0xCF) || (b >= 0xE8 && b <= 0xEF) || (b >= 0xD0 && b <= 0xD6) ||
           (b >= 0xF0 && b <= 0xF6) || (b >= 0xD9 && b <= 0xDC) || (b >= 0xF9 && b <= 0xFC) || b == 0xDE ||
           b == 0xFE || b == 0xD7 || b == 0xD8 || b == 0xDD;
  };
  for (unsigned b = 0; b < 256; ++b) {
    if (seen[b] || ruled(b)) continue;
    EXPECT_EQ(PathSortWeights[PATH_WEIGHTS_FOLD][b], b * 256) << std::hex << b;
    EXPECT_EQ(PathSortWeights[PATH_WEIGHTS_CASE][b], b * 256) << std::hex << b;
  }
}

// Expected signs: -1 a before b, 0 equal, 1 after.
const struct {
  const char* a;
  const char* b;
  int noCase, withCase;
} kOrder[] = {
    {"a\\z", "ab", 1, 1},          {"a\\z", "ab\\d", -1, -1},    {"A.txt", "a.txt", 0, -1},
    {"x_y", "xa", -1, -1},         {"a/b", "a\\b", 0, 0},        {"a", "a\\b", -1, -1},
    {"a.b", "a b", -1, -1},        {"a b", "a_b", -1, -1},       {"a(", "a)", -1, -1},
    {"a:", "a!", -1, -1},          {"", "a", -1, -1},            {"", "", 0, 0},
    {"\xE9t\xE9", "ete", 1, 1},    {"\xE9", "f", -1, -1},        {"\xC9", "e", 1, -1},
    {"\xC9", "\xE9", 0, -1},       {"\xE7", "d", -1, -1},        {"\xE7", "c", 1, 1},
    {"dir\\b", "dir.x\\a", -1, -1}, {"B", "a", 1, -1},           {"file10", "file9", -1, -1},
    {"ab\\c", "ab", 1, 1},         {"a\\zz", "aa\\b", -1, -1},   {"\xD7", "\xF7", 0, -1},
};

TEST(ComparePath, SeparatorsFirstAndShallowBeforeDeep) {
  for (const auto& c : kOrder) {
    EXPECT_EQ(Sign(ComparePathNoCase(c.a, c.b)), c.noCase) << c.a << " vs " << c.b;
    EXPECT_EQ(Sign(ComparePathNoCase(c.b, c.a)), -c.noCase) << c.b << " vs " << c.a;
    EXPECT_EQ(Sign(ComparePath(c.a, c.b)), c.withCase) << c.a << " vs " << c.b;
    std::u16string wa = Latin1Widen(c.a), wb = Latin1Widen(c.b);
    EXPECT_EQ(Sign(ComparePathNoCaseW(wa.c_str(), wb.c_str())), c.noCase) << c.a;
    EXPECT_EQ(Sign(ComparePathW(wa.c_str(), wb.c_str())), c.withCase) << c.a;
    EXPECT_EQ(Sign(ComparePathNoCaseN(c.a, -1, c.b, -1)), c.noCase) << c.a;
    EXPECT_EQ(Sign(ComparePathNW(wa.c_str(), int(wa.size()), wb.c_str(), int(wb.size()))), c.withCase) << c.a;
  }
}

TEST(ComparePath, WideUnitsAboveLatin1WeighTheirValue) {
  // U+0100 weighs 0x10000: after every Latin-1 character, before U+0101.
  EXPECT_GT(ComparePathW(u"\u0100", u"\u00FF"), 0);
  EXPECT_LT(ComparePathW(u"\u0100", u"\u0101"), 0);
  EXPECT_GT(ComparePathNoCaseW(u"a\\\u4E2D", u"a\u4E2D"), 0);
}

TEST(ComparePathN, ComparesTheGivenLengthsOnly) {
  EXPECT_EQ(ComparePathN("abcX", 3, "abcY", 3), 0);
  EXPECT_EQ(ComparePathNoCaseN("ab", 2, "abc", 3), -1);
  EXPECT_EQ(ComparePathNoCaseN("abc", 3, "ab", 2), 1);
  EXPECT_EQ(ComparePathNoCaseN("abcd", 4, "AB", 2), 2);
  // The walk onward stops at the length: "a" of "a\z" ends before "b".
  EXPECT_GT(ComparePathNoCaseN("a\\z", 3, "ab", 2), 0);
  EXPECT_LT(ComparePathNoCaseN("abXd", 3, "acY", 2), 0);
  EXPECT_GT(ComparePathNoCaseN("a\\zz", 2, "ab\\", 2), 0);
  EXPECT_LT(ComparePathNoCaseN("a\\zz", 2, "ab\\", 3), 0);
}

TEST(ComparePathNatural, DigitRunsByValue) {
  const struct {
    const char* a;
    const char* b;
    int sign;
  } cases[] = {
      {"file9", "file10", -1},   {"file01", "file1", -1},  {"file1", "file01", 1},   {"file007", "file7", -1},
      {"f2\\x", "f10", 1},       {"a10b", "a10c", -1},     {"a10", "a10", 0},        {"x0", "x00", -1},
      {"v1.10", "v1.9", 1},      {"99999999999999999999", "100000000000000000000", -1},
      {"d10\\a", "d9x", 1},      {"d10", "d9\\x", -1},     {"1", "a", -1},           {"File9", "file10", -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Sign(ComparePathNaturalNoCase(c.a, -1, c.b, -1)), c.sign) << c.a << " vs " << c.b;
    EXPECT_EQ(Sign(ComparePathNaturalNoCase(c.b, -1, c.a, -1)), -c.sign) << c.b << " vs " << c.a;
    std::u16string wa = Latin1Widen(c.a), wb = Latin1Widen(c.b);
    EXPECT_EQ(Sign(ComparePathNaturalNoCaseW(wa.c_str(), -1, wb.c_str(), -1)), c.sign) << c.a;
  }
  EXPECT_LT(ComparePathNatural("File9", -1, "file10", -1), 0);
  EXPECT_LT(ComparePathNatural("File9", -1, "file9", -1), 0);
  EXPECT_LT(ComparePathNaturalW(u"x2", -1, u"x12", -1), 0);
}

TEST(ComparePaths, FlagsPrepareBothPaths) {
  EXPECT_NE(ComparePaths("a\\.\\b", "A\\b", 0), 0);
  EXPECT_EQ(ComparePaths("a\\.\\b", "A\\b", PATHCMP_NORMALIZE | PATHCMP_NOCASE), 0);
  EXPECT_NE(ComparePaths("a\\.\\b", "A\\b", PATHCMP_NORMALIZE), 0);
  EXPECT_LT(ComparePaths("f9", "f10", PATHCMP_NATURAL), 0);
  EXPECT_GT(ComparePaths("f9", "f10", 0), 0);
  EXPECT_EQ(ComparePaths("D:\\x\\..\\y", "d:\\Y", PATHCMP_FULL_FIRST | PATHCMP_NOCASE), 0);
  EXPECT_EQ(ComparePaths("d:\\Y", "D:\\x\\..\\y", PATHCMP_FULL_SECOND | PATHCMP_NOCASE), 0);
  EXPECT_EQ(ComparePathsW(u".\\b", u"b", PATHCMP_NORMALIZE), 0);
  EXPECT_EQ(ComparePaths(nullptr, "", 0), 0);
}

// Random paths over a small alphabet that exercises every rule.
std::vector<std::string> RandomPaths(unsigned seed, int count) {
  const char alphabet[] = {'a', 'b', 'A', '\\', '/', '.', '_', ' ', '1', '0', '9', '\xE9', '\xC9', ':', '('};
  std::mt19937 rng(seed);
  std::vector<std::string> out;
  for (int i = 0; i < count; ++i) {
    std::string s;
    int n = int(rng() % 7);
    for (int k = 0; k < n; ++k) s += alphabet[rng() % sizeof alphabet];
    out.push_back(s);
  }
  return out;
}

TEST(ComparePath, IsAntisymmetricAndTransitiveOverRandomPaths) {
  using Cmp = int (*)(const std::string&, const std::string&);
  const Cmp cmps[] = {
      [](const std::string& a, const std::string& b) { return ComparePathNoCase(a.c_str(), b.c_str()); },
      [](const std::string& a, const std::string& b) { return ComparePath(a.c_str(), b.c_str()); },
      [](const std::string& a, const std::string& b) {
        return ComparePathNaturalNoCase(a.c_str(), int(a.size()), b.c_str(), int(b.size()));
      },
      [](const std::string& a, const std::string& b) {
        return ComparePathN(a.c_str(), int(a.size()), b.c_str(), int(b.size()));
      },
  };
  std::vector<std::string> paths = RandomPaths(7, 120);
  for (size_t k = 0; k < std::size(cmps); ++k) {
    Cmp cmp = cmps[k];
    for (const auto& a : paths)
      for (const auto& b : paths) ASSERT_EQ(Sign(cmp(a, b)), -Sign(cmp(b, a))) << k << ": " << a << " | " << b;
    for (const auto& a : paths)
      for (const auto& b : paths) {
        if (cmp(a, b) > 0) continue;
        for (const auto& c : paths)
          if (cmp(b, c) <= 0) {
            ASSERT_LE(cmp(a, c), 0) << k << ": " << a << " | " << b << " | " << c;
          }
      }
  }
}

}  // namespace
