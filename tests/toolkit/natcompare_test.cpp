#include "toolkit/natcompare.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

int Sign(int v) { return (v > 0) - (v < 0); }

std::u16string Widen(const std::string& s) {
  std::u16string w;
  for (unsigned char c : s) w.push_back(c);
  return w;
}

struct Compare {
  const char* name;
  std::function<int(const std::string&, const std::string&)> fn;
};

// The six compares, narrow and wide, the N forms with a bound beyond both.
std::vector<Compare> AllCompares() {
  auto wide = [](int (*f)(const char16_t*, const char16_t*)) {
    return [f](const std::string& a, const std::string& b) { return f(Widen(a).c_str(), Widen(b).c_str()); };
  };
  auto wideN = [](int (*f)(const char16_t*, const char16_t*, int)) {
    return [f](const std::string& a, const std::string& b) { return f(Widen(a).c_str(), Widen(b).c_str(), 1000); };
  };
  auto narrowN = [](int (*f)(const char*, const char*, int)) {
    return [f](const std::string& a, const std::string& b) { return f(a.c_str(), b.c_str(), 1000); };
  };
  auto narrow = [](int (*f)(const char*, const char*)) {
    return [f](const std::string& a, const std::string& b) { return f(a.c_str(), b.c_str()); };
  };
  return {
      {"Natural", narrow(StrCompareNatural)},
      {"NaturalW", wide(StrCompareNaturalW)},
      {"NaturalN", narrowN(StrCompareNaturalN)},
      {"NaturalNW", wideN(StrCompareNaturalNW)},
      {"NaturalNoCase", narrow(StrCompareNaturalNoCase)},
      {"NaturalNoCaseW", wide(StrCompareNaturalNoCaseW)},
      {"NaturalNoCaseN", narrowN(StrCompareNaturalNoCaseN)},
      {"NaturalNoCaseNW", wideN(StrCompareNaturalNoCaseNW)},
      {"PathN", narrowN(StrComparePathN)},
      {"PathNW", wideN(StrComparePathNW)},
      {"PathNoCaseN", narrowN(StrComparePathNoCaseN)},
      {"PathNoCaseNW", wideN(StrComparePathNoCaseNW)},
  };
}

std::vector<std::string> RandomNames(std::mt19937& rng, int count) {
  const std::vector<std::string> pieces = {
      "0",    "00",   "007", "7",   "0x",  "0x1F", "0x1f", "0X0",    "0b101", "0b2", "0d9",
      "0o17", "10",   "2",   "99",  "4294967296", "20231207120000", "18446744073709551616",
      "018446744073709551616", "0x10000000000000000", "_", " ", "/", "\\", ".", "a",
      "A",    "b",    "B",   "file", "FILE", "\xE9", "\xC9", "e", "E", "\xE4", "\x8E", "\xD7", "\xF7", "x",
      // Radix letters ending a run, and the accented letters folding to them.
      "0b",   "0c",   "0d",  "0D",  "0o",  "y",    "\xF0", "\xD0", "\xF2", "0\xF0", "0\xF2" "0"};
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) {
    std::string s;
    const int parts = static_cast<int>(rng() % 5);
    for (int k = 0; k < parts; ++k) s += pieces[rng() % pieces.size()];
    names.push_back(s);
  }
  return names;
}

TEST(StrCompareNatural, EveryCompareIsAStrictWeakOrder) {
  std::mt19937 rng(11);
  const std::vector<std::string> names = RandomNames(rng, 100);
  for (const auto& cmp : AllCompares()) {
    SCOPED_TRACE(cmp.name);
    const size_t n = names.size();
    std::vector<int> sign(n * n);
    for (size_t i = 0; i < n; ++i) {
      for (size_t j = 0; j < n; ++j) sign[i * n + j] = Sign(cmp.fn(names[i], names[j]));
    }
    for (size_t i = 0; i < n; ++i) {
      ASSERT_EQ(sign[i * n + i], 0) << names[i];
      for (size_t j = 0; j < n; ++j) {
        ASSERT_EQ(sign[i * n + j], -sign[j * n + i]) << "'" << names[i] << "' vs '" << names[j] << "'";
      }
    }
    for (size_t i = 0; i < n; ++i) {
      for (size_t j = 0; j < n; ++j) {
        const int ij = sign[i * n + j];
        if (ij > 0) continue;
        for (size_t k = 0; k < n; ++k) {
          const int jk = sign[j * n + k];
          if (ij < 0 && jk < 0) {
            ASSERT_LT(sign[i * n + k], 0) << names[i] << " < " << names[j] << " < " << names[k];
          }
          if (ij == 0 && jk == 0) {
            ASSERT_EQ(sign[i * n + k], 0) << names[i] << " = " << names[j] << " = " << names[k];
          }
        }
      }
    }
    // Sorted, every name is found again by binary search.
    std::vector<std::string> sorted = names;
    std::sort(sorted.begin(), sorted.end(), [&](const auto& a, const auto& b) { return cmp.fn(a, b) < 0; });
    for (const auto& name : names) {
      const auto at = std::lower_bound(sorted.begin(), sorted.end(), name,
                                       [&](const auto& a, const auto& b) { return cmp.fn(a, b) < 0; });
      ASSERT_TRUE(at != sorted.end() && cmp.fn(*at, name) == 0) << name;
    }
  }
}

// Where equal-valued runs end at a radix letter, the names sort as their
// bytes do (the letter decides, as in any other text), by every compare.
TEST(StrCompareNatural, RanksRadixLettersBehindEqualRunsAsText) {
  std::vector<std::string> names = {"v00"};
  for (char c = 'a'; c <= 'y'; ++c) names.push_back(std::string("v0") + c);
  names.insert(names.end(), {"plot0b.png", "plot0c.png", "plot0x.png", "plot00.png", "a0b", "a0c",
                             "a0x", "a0y", "a0d", "a00"});
  std::vector<std::string> bytes = names;
  std::sort(bytes.begin(), bytes.end());
  for (const auto& cmp : AllCompares()) {
    if (std::string(cmp.name).rfind("Path", 0) == 0) continue;
    std::vector<std::string> sorted = names;
    std::sort(sorted.begin(), sorted.end(), [&](const auto& a, const auto& b) { return cmp.fn(a, b) < 0; });
    EXPECT_EQ(sorted, bytes) << cmp.name;
  }
  // A radix letter ranks just above an accented letter of its base.
  const struct {
    const char* a;
    const char* b;
  } below[] = {{"Plot0b.png", "Plot0c.png"}, {"a0y", "a0d1"}, {"0\xF0", "0d"}, {"0\xF0" "0", "0d0"}, {"0\xF0" "d", "0d"}, {"0\xF2", "0o"}, {"0d", "0d0"}};
  for (const auto& c : below)
    for (const auto& cmp : AllCompares())
      if (std::string(cmp.name).rfind("Natural", 0) == 0) {
        EXPECT_LT(cmp.fn(c.a, c.b), 0) << cmp.name << " " << c.a;
        EXPECT_GT(cmp.fn(c.b, c.a), 0) << cmp.name << " " << c.a;
      }
}

TEST(StrCompareNatural, BoundedFormsWithARoomyBoundEqualTheWholeCompare) {
  std::mt19937 rng(12);
  const std::vector<std::string> names = RandomNames(rng, 60);
  for (const auto& a : names) {
    for (const auto& b : names) {
      EXPECT_EQ(StrCompareNaturalN(a.c_str(), b.c_str(), 200), StrCompareNatural(a.c_str(), b.c_str()));
      EXPECT_EQ(StrCompareNaturalNoCaseN(a.c_str(), b.c_str(), 200), StrCompareNaturalNoCase(a.c_str(), b.c_str()));
    }
  }
}

TEST(StrCompareNatural, OrdersRunsByValueAndSeparatorsFirst) {
  // Each row is in ascending order.
  const std::vector<std::vector<std::string>> chains = {
      {"file2", "file10"},
      {"a/b", "a.b"},
      {"f2", "f99", "f4294967296", "f20231207120000"},
      {"f18446744073709551615", "f18446744073709551616", "f99999999999999999999"},
      {"a", "a/b"},
      {"", "/x"},
      {"0\\", "0 .", "00"},
      {"0", "00"},
      {"0x", "0x0"},
      {"0x10", "16", "17"},
      {"7", "0x8"},
      {"0x1F", "0x1f"},
      {"\xE9" "a", "eb"},
      {"A", "B", "a"},
  };
  for (const auto& chain : chains) {
    for (size_t i = 0; i + 1 < chain.size(); ++i) {
      EXPECT_LT(StrCompareNatural(chain[i].c_str(), chain[i + 1].c_str()), 0) << chain[i] << " < " << chain[i + 1];
      EXPECT_GT(StrCompareNatural(chain[i + 1].c_str(), chain[i].c_str()), 0) << chain[i + 1] << " > " << chain[i];
      EXPECT_LT(StrCompareNaturalW(Widen(chain[i]).c_str(), Widen(chain[i + 1]).c_str()), 0) << chain[i];
    }
  }
  EXPECT_EQ(StrCompareNatural("x_1", "x 1"), 0);
  EXPECT_EQ(StrCompareNatural("\xC9t\xE9", "Ete"), 0) << "accents fold to the base letter";
  EXPECT_EQ(StrCompareNaturalNoCase("0x1F", "0x1f"), 0);
  EXPECT_EQ(StrCompareNaturalNoCase("\xC9TE", "ete"), 0);
  EXPECT_LT(StrCompareNaturalNoCase("a", "B"), 0);
  EXPECT_EQ(StrCompareNaturalN("file12", "file13", 5), 0);
  EXPECT_LT(StrCompareNaturalN("file12", "file13", 6), 0);
  EXPECT_EQ(StrCompareNaturalN("abc", "xyz", 0), 0);
  // Characters above 255 rank by their code and are no digits.
  EXPECT_LT(StrCompareNaturalW(u"a\u4E00", u"a\u4E01"), 0);
  EXPECT_GT(StrCompareNaturalW(u"\uFF11", u"9"), 0);
}

TEST(StrComparePathN, TreatsBothSlashesAlikeAndDotsNext) {
  EXPECT_EQ(StrComparePathN("a\\b", "a/b", 10), 0);
  EXPECT_LT(StrComparePathN("a/b", "a.b", 10), 0);
  EXPECT_LT(StrComparePathN("a.b", "a0", 10), 0);
  EXPECT_LT(StrComparePathN("a", "a/", 10), 0);
  EXPECT_GT(StrComparePathN("a/", "a", 10), 0);
  EXPECT_EQ(StrComparePathN("abc", "abd", 2), 0);
  EXPECT_LT(StrComparePathN("A", "a", 10), 0);
  EXPECT_EQ(StrComparePathNoCaseN("DIR\\File.TXT", "dir/file.txt", 100), 0);
  EXPECT_EQ(StrComparePathNoCaseNW(u"\u00C4", u"\u00E4", 5) != 0, true) << "only ASCII letters fold";
  EXPECT_EQ(StrComparePathNW(u"x\\y", u"x/y", -1), 0);
}

}  // namespace
