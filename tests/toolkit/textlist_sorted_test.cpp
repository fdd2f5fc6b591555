// Sorted searches against std::lower_bound/upper_bound, the sorts and their
// comparison bound, the ready-made comparators, sorted inserts and the
// recent-item order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "toolkit/arrays_inline.h"
#include "toolkit/pointerarray.h"
#include "toolkit/recordarray.h"
#include "toolkit/textlist.h"

namespace {

std::string Text(const CTextList& l, uint32_t i) { return std::string(l.TextAt(i), l.LengthAt(i)); }

std::vector<std::string> Texts(const CTextList& l) {
  std::vector<std::string> out;
  for (uint32_t i = 0; i < l.count; ++i) out.push_back(Text(l, i));
  return out;
}

CTextList ListOf(const std::vector<std::string>& texts, uint32_t dataSize = 0) {
  CTextList l(dataSize);
  for (const std::string& t : texts) l.Insert(int(t.size()), t.data(), -1, nullptr);
  return l;
}

// The independent order of the text searches: folded bytes, then length
// (shorter first, or last with FIND_PREFIX_LAST).
bool Less(const std::string& a, const std::string& b, uint32_t flags) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = a[i], y = b[i];
    if (flags & FIND_NOCASE) {
      if (x >= 'A' && x <= 'Z') x += 32;
      if (y >= 'A' && y <= 'Z') y += 32;
    }
    if (x != y) return x < y;
  }
  if (a.size() == b.size()) return false;
  return (flags & FIND_PREFIX_LAST) ? a.size() > b.size() : a.size() < b.size();
}

TEST(FindSorted, PartExamples) {
  CTextList empty;
  EXPECT_EQ(empty.FindSorted(-1, "x", 0, -1, FIND_INSERTPOS), 0);
  EXPECT_EQ(empty.FindSorted(-1, "x", 0, -1, 0), -1);
  CTextList l = ListOf({"ab", "abc", "b"});
  EXPECT_EQ(l.FindSorted(-1, "abc", 0, -1, 0), 1);
  EXPECT_EQ(l.FindSorted(-1, "abd", 0, -1, 8), 2);
  EXPECT_EQ(l.FindSorted(-1, "a", 0, -1, 8), 0);
  CTextList runs = ListOf({"a", "b", "b", "b", "d"});
  EXPECT_EQ(runs.FindSorted(-1, "b", 0, -1, 2), 1);
  EXPECT_EQ(runs.FindSorted(-1, "b", 0, -1, 4), 4);
  EXPECT_EQ(runs.FindSorted(-1, "b", 0, -1, 0), 2);
  EXPECT_EQ(runs.FindSorted(-1, "b", 0, -1, 6), 1);  // FIND_FIRST wins
  CTextList prefixLast = ListOf({"abc", "ab", "b"});
  EXPECT_EQ(prefixLast.FindSorted(-1, "abc", 0, -1, FIND_PREFIX_LAST), 0);
  EXPECT_EQ(prefixLast.FindSorted(-1, "ab", 0, -1, FIND_PREFIX_LAST), 1);
  EXPECT_EQ(prefixLast.FindSorted(-1, "abcd", 0, -1, FIND_PREFIX_LAST | FIND_INSERTPOS), 0);
  EXPECT_EQ(l.FindSorted(-1, "b", 5, -1, FIND_INSERTPOS), 3);  // from >= count
  EXPECT_EQ(l.FindSorted(-1, "b", 5, -1, 0), -1);
  EXPECT_EQ(l.FindSorted(-1, "b", 2, 2, FIND_INSERTPOS), -1);  // empty range
}

TEST(FindSorted, MatchesLowerAndUpperBoundOnListsFullOfDuplicates) {
  std::mt19937 rng(11);
  const char alphabet[] = {'a', 'B', 'b', '\0', 'c'};
  const uint32_t flagSets[] = {0, 2, 4, 8, 10, 12, 6, 14};
  for (int round = 0; round < 400; ++round) {
    uint32_t extra = (round & 1 ? FIND_NOCASE : 0) | (round & 2 ? FIND_PREFIX_LAST : 0);
    std::vector<std::string> texts(rng() % 40);
    for (std::string& t : texts) {
      t.resize(rng() % 4);
      for (char& c : t) c = alphabet[rng() % 5];
    }
    auto less = [extra](const std::string& a, const std::string& b) { return Less(a, b, extra); };
    std::sort(texts.begin(), texts.end(), less);
    CTextList list = ListOf(texts);
    int n = int(texts.size());
    int from = int(rng() % (n + 3)) - 1;
    int to = rng() % 4 == 0 ? -1 : int(rng() % (n + 2));
    size_t lo = size_t(std::max(from, 0));
    size_t hi = std::min<size_t>(uint32_t(to), texts.size());
    for (int probe = 0; probe < 10; ++probe) {
      std::string key(rng() % 4, 'a');
      for (char& c : key) c = alphabet[rng() % 5];
      for (uint32_t base : flagSets) {
        uint32_t flags = base | extra;
        int got = list.FindSorted(int(key.size()), key.data(), from, to, flags);
        int want;
        if (lo >= texts.size()) {
          want = (flags & FIND_INSERTPOS) ? n : -1;
        } else if (hi <= lo) {
          want = -1;
        } else {
          auto first = texts.begin() + long(lo), last = texts.begin() + long(hi);
          int lb = int(std::lower_bound(first, last, key, less) - texts.begin());
          int ub = int(std::upper_bound(first, last, key, less) - texts.begin());
          if (lb == ub) {
            want = (flags & FIND_INSERTPOS) ? lb : -1;
          } else if (flags & FIND_FIRST) {
            want = lb;
          } else if (flags & FIND_AFTER_LAST) {
            want = ub;
          } else {
            EXPECT_TRUE(got >= lb && got < ub) << key << " flags " << flags;
            continue;
          }
        }
        EXPECT_EQ(got, want) << "key " << key << " flags " << flags << " from " << from
                             << " to " << to << " n " << n;
      }
    }
  }
}

TEST(FindSorted, SearchAndInsertBuildsAMultiset) {
  std::mt19937 rng(5);
  for (uint32_t flags : {8u, 9u, 10u, 12u, 24u}) {
    CTextList list;
    auto less = [flags](const std::string& a, const std::string& b) { return Less(a, b, flags); };
    std::multiset<std::string, decltype(less)> model(less);
    for (int i = 0; i < 500; ++i) {
      std::string t(rng() % 4, 'a');
      for (char& c : t) c = "aAbB"[rng() % 4];
      int at = list.FindSorted(int(t.size()), t.data(), 0, -1, flags);
      ASSERT_GE(at, 0);
      list.Insert(int(t.size()), t.data(), at, nullptr);
      model.insert(t);
    }
    std::vector<std::string> got = Texts(list);
    ASSERT_EQ(got.size(), model.size());
    EXPECT_TRUE(std::is_sorted(got.begin(), got.end(), less)) << flags;
  }
}

TEST(FindSorted, NumberKeysSignedUnsignedAndAtOffsets) {
  std::mt19937 rng(3);
  for (int round = 0; round < 100; ++round) {
    bool isUnsigned = round & 1;
    std::vector<int64_t> keys(rng() % 30);
    for (int64_t& k : keys) k = int64_t(rng() % 7) - 3;
    if (isUnsigned) {
      std::sort(keys.begin(), keys.end(), [](int64_t a, int64_t b) { return uint64_t(a) < uint64_t(b); });
    } else {
      std::sort(keys.begin(), keys.end());
    }
    CTextList l(16);
    for (int64_t k : keys) {
      uint8_t data[16] = {};
      uint32_t k32 = uint32_t(k);
      std::memcpy(data, &k32, 4);
      std::memcpy(data + 4, &k32, 4);  // u32 at offset 4
      std::memcpy(data + 8, &k, 8);    // u64 at offset 8
      l.InsertString("", -1, data);
    }
    for (int64_t key = -4; key <= 4; ++key) {
      for (uint32_t base : {2u, 4u, 8u, 10u}) {
        uint32_t flags = base | (isUnsigned ? FIND_UNSIGNED : 0);
        auto lb = std::lower_bound(keys.begin(), keys.end(), key, [&](int64_t a, int64_t b) {
          return isUnsigned ? uint64_t(a) < uint64_t(b) : a < b;
        });
        auto ub = std::upper_bound(keys.begin(), keys.end(), key, [&](int64_t a, int64_t b) {
          return isUnsigned ? uint64_t(a) < uint64_t(b) : a < b;
        });
        int want;
        if (lb == ub) {
          want = (flags & FIND_INSERTPOS) ? int(lb - keys.begin()) : -1;
        } else {
          want = (flags & FIND_FIRST) ? int(lb - keys.begin()) : int(ub - keys.begin());
        }
        if (!(flags & (FIND_FIRST | FIND_AFTER_LAST)) && lb != ub) continue;
        // Unsigned u32 order of small negative numbers equals their u64 order.
        EXPECT_EQ(l.FindSortedDword(uint32_t(key), 0, -1, flags), want);
        EXPECT_EQ(l.FindSortedDwordAt(uint32_t(key), 4, 0, -1, flags), want);
        EXPECT_EQ(l.FindSortedQwordAt(uint64_t(key), 8, 0, -1, flags), want);
      }
    }
    EXPECT_EQ(l.FindSortedDwordAt(0, 13, 0, -1, 8), -1);  // key beyond the data
    EXPECT_EQ(l.FindSortedQwordAt(0, 9, 0, -1, 8), -1);
  }
  CTextList small(4);
  small.InsertString("a", -1, nullptr);
  EXPECT_EQ(small.FindSortedQword(0, 0, -1, 8), -1);
  EXPECT_EQ(small.FindSortedWithQword(0, -1, "a", 0, -1, 8), -1);
}

TEST(FindSorted, KeyThenTextAndCallbacks) {
  CTextList l(4);
  const uint32_t one = 1, two = 2;
  l.InsertString("b", -1, &one);
  l.InsertString("c", -1, &one);
  l.InsertString("a", -1, &two);
  EXPECT_EQ(l.FindSortedWithDword(1, -1, "c", 0, -1, 0), 1);
  EXPECT_EQ(l.FindSortedWithDword(1, -1, "d", 0, -1, 8), 2);
  EXPECT_EQ(l.FindSortedWithDword(2, -1, "A", 0, -1, 1), 2);
  EXPECT_EQ(l.FindSortedWithDword(0, -1, "z", 0, -1, 8), 0);
  auto byKey = [](uintptr_t key, void* data) {
    uint32_t v;
    std::memcpy(&v, data, 4);
    return int(key) - int(v);
  };
  EXPECT_EQ(l.FindSortedByKey(1, 0, -1, 2, byKey), 0);
  EXPECT_EQ(l.FindSortedByKey(1, 0, -1, 4, byKey), 2);
  auto cb = [](uintptr_t ctxB, void* data, uintptr_t ctxA) {
    uint32_t v;
    std::memcpy(&v, data, 4);
    return int(ctxA + ctxB) - int(v);
  };
  EXPECT_EQ(l.FindSortedCallback(1, 1, 0, -1, 12, cb), 3);
  auto byText = [](uintptr_t key, const char* text) {
    return std::strcmp(reinterpret_cast<const char*>(key), text);
  };
  CTextList words = ListOf({"ant", "bee", "cat"});
  EXPECT_EQ(words.FindSortedByText(reinterpret_cast<uintptr_t>("bee"), 0, -1, 0, byText), 1);
  EXPECT_EQ(words.FindSortedByText(reinterpret_cast<uintptr_t>("bz"), 0, -1, 8, byText), 2);
  // Counted callback: an item that the sought text begins sorts first.
  auto counted = [](uintptr_t key, const char* text, int n) {
    return std::strncmp(reinterpret_cast<const char*>(key), text, size_t(n));
  };
  CTextList prefixes = ListOf({"abc", "ab", "b"});
  EXPECT_EQ(prefixes.FindSortedTextCallback(2, reinterpret_cast<uintptr_t>("ab"), 0, -1, 0, counted), 1);
  EXPECT_EQ(prefixes.FindSortedTextCallback(3, reinterpret_cast<uintptr_t>("abc"), 0, -1, 0, counted), 0);
  EXPECT_EQ(prefixes.FindSortedTextCallback(-1, reinterpret_cast<uintptr_t>("ab"), 0, -1, 8, counted), -1);
}

// ---- Sorting ----

int g_comparisons = 0;

int CountingCompare(CTextList* l, int a, int b) {
  ++g_comparisons;
  return CTextList::CompareUInt32(l, a, b);
}

std::vector<uint32_t> Pattern(int kind, size_t n, std::mt19937& rng) {
  std::vector<uint32_t> v(n);
  for (size_t i = 0; i < n; ++i) {
    switch (kind) {
      case 0: v[i] = rng(); break;
      case 1: v[i] = uint32_t(i); break;
      case 2: v[i] = uint32_t(n - i); break;
      case 3: v[i] = uint32_t(std::min(i, n - 1 - i)); break;  // organ pipe
      case 4: v[i] = rng() & 1; break;
      case 5: v[i] = rng() & 3; break;
      default: v[i] = 7; break;
    }
  }
  return v;
}

TEST(TextListSort, SortedPermutationInFewerThanFiveNLogNComparisons) {
  std::mt19937 rng(9);
  for (size_t n : {0u, 1u, 2u, 3u, 17u, 100000u}) {
    for (int kind = 0; kind < 7; ++kind) {
      for (bool descending : {false, true}) {
        std::vector<uint32_t> v = Pattern(kind, n, rng);
        CTextList l(4);
        for (uint32_t x : v) l.InsertString("", -1, &x);
        g_comparisons = 0;
        l.Sort(0, -1, CountingCompare, descending);
        std::vector<uint32_t> got(n);
        for (uint32_t i = 0; i < n; ++i) std::memcpy(&got[i], l.items[i], 4);
        std::sort(v.begin(), v.end());
        if (descending) std::reverse(v.begin(), v.end());
        ASSERT_EQ(got, v) << "kind " << kind << " n " << n;
        if (n > 1) {
          EXPECT_LT(g_comparisons, 5 * double(n) * std::log2(double(n))) << "kind " << kind;
        }
        // The ready-made comparator runs the same sort with its order inlined.
        std::vector<uint32_t> again = Pattern(kind, n, rng);
        CTextList m(4);
        for (uint32_t x : again) m.InsertString("", -1, &x);
        m.Sort(0, -1, CTextList::CompareUInt32, descending);
        std::sort(again.begin(), again.end());
        if (descending) std::reverse(again.begin(), again.end());
        for (uint32_t i = 0; i < n; ++i) {
          uint32_t x;
          std::memcpy(&x, m.items[i], 4);
          ASSERT_EQ(x, again[i]) << "kind " << kind << " at " << i;
        }
      }
    }
  }
}

TEST(TextListSort, ReadyMadeComparatorsOrder) {
  struct Item {
    std::string text;
    int64_t key;
  };
  const std::vector<Item> items = {{"b", -1}, {"A", 3}, {"a", 3}, {"ccc", -1},
                                   {"B", 0x100000000}, {"a", -5}, {"", 3}};
  auto build = [&](uint32_t ds) {
    CTextList l(ds);
    for (const Item& it : items) l.Insert(int(it.text.size()), it.text.data(), -1, &it.key);
    return l;
  };
  struct Case {
    CTextList::CompareFunc fn;
    uint32_t ds;
    std::vector<std::string> want;
  };
  const Case cases[] = {
      {CTextList::CompareText, 8, {"", "A", "B", "a", "a", "b", "ccc"}},
      {CTextList::CompareInt32Text, 8, {"a", "b", "ccc", "B", "", "A", "a"}},
      {CTextList::CompareUInt32Text, 8, {"B", "", "A", "a", "a", "b", "ccc"}},
      {CTextList::CompareInt64Text, 8, {"a", "b", "ccc", "", "A", "a", "B"}},
      {CTextList::CompareUInt64Text, 8, {"", "A", "a", "B", "a", "b", "ccc"}},
      {CTextList::CompareLengthText, 8, {"", "A", "B", "a", "a", "b", "ccc"}},
      // Two bytes of data: the missing high bytes count as 0, so -5 reads 65531.
      {CTextList::CompareInt32Text, 2, {"B", "", "A", "a", "a", "b", "ccc"}},
      {CTextList::CompareUInt64Text, 0, {"", "A", "B", "a", "a", "b", "ccc"}},
  };
  for (const Case& c : cases) {
    CTextList l = build(c.ds);
    l.Sort(0, -1, c.fn, false);
    EXPECT_EQ(Texts(l), c.want) << c.ds;
    l.Sort(0, -1, c.fn, true);
    std::vector<std::string> rev = c.want;
    std::reverse(rev.begin(), rev.end());
    // Equal items may come in any order; compare by the comparator's view.
    for (uint32_t i = 0; i + 1 < l.count; ++i) EXPECT_GE(c.fn(&l, int(i), int(i + 1)), 0);
  }
  CTextList l = build(8);
  l.Sort(0, -1, CTextList::CompareTextNoCase, false);
  std::vector<std::string> got = Texts(l);
  for (std::string& s : got) s[0] = s.empty() ? 0 : char(std::tolower(s[0]));
  EXPECT_EQ(got, (std::vector<std::string>{"", "a", "a", "a", "b", "b", "ccc"}));
  CTextList nul = ListOf({std::string("a\0b", 3), std::string("a\0a", 3), "a"});
  nul.Sort(0, -1, CTextList::CompareText, false);
  EXPECT_EQ(Texts(nul), (std::vector<std::string>{"a", std::string("a\0a", 3), std::string("a\0b", 3)}));
  EXPECT_EQ(nul.FindSorted(3, "a\0b", 0, -1, 0), 2);  // the search sees the same order
  EXPECT_EQ(CTextList::CompareLength(&nul, 0, 1), -1);
  EXPECT_EQ(CTextList::CompareInt32(&nul, 0, 1), 0);
  EXPECT_EQ(CTextList::CompareUInt64TextNoCase(&nul, 2, 1), 1);
}

TEST(TextListSort, SubrangesAndCallbackForms) {
  CTextList l = ListOf({"d", "c", "b", "a", "0"});
  l.Sort(1, 4, CTextList::CompareText, false);
  EXPECT_EQ(Texts(l), (std::vector<std::string>{"d", "a", "b", "c", "0"}));
  l.SortByTextCallback([](const char* a, const char* b) { return std::strcmp(a, b); }, -5, 99, true);
  EXPECT_EQ(Texts(l), (std::vector<std::string>{"d", "c", "b", "a", "0"}));
  CTextList keyed(8);
  for (uint32_t k : {5u, 1u, 3u}) {
    uint32_t data[2] = {0, k};
    keyed.InsertFormat(data, -1, "%u", k);
  }
  keyed.SortByKeyCallback(
      [](uintptr_t ctx, void* a, void* b) {
        uint32_t x, y;
        std::memcpy(&x, a, 4);
        std::memcpy(&y, b, 4);
        return int(ctx) * ((x > y) - (x < y));
      },
      1, 4, 0, -1, false);
  EXPECT_EQ(Texts(keyed), (std::vector<std::string>{"1", "3", "5"}));
}

TEST(TextListSort, InconsistentComparatorStaysInBounds) {
  std::mt19937 rng(1);
  static std::mt19937* g_rng = &rng;
  CTextList l;
  for (int i = 0; i < 3000; ++i) l.InsertFormat(-1, "%d", i);
  l.Sort(0, -1, [](CTextList*, int, int) { return int((*g_rng)() % 3) - 1; }, false);
  EXPECT_EQ(l.count, 3000u);
  std::vector<std::string> t = Texts(l);
  std::sort(t.begin(), t.end());
  EXPECT_EQ(std::unique(t.begin(), t.end()), t.end());
}

// ---- Sorted inserts ----

TEST(TextListSortedInsert, AlwaysAtTheInsertPosition) {
  CTextList l(4);
  for (uint32_t k : {3u, 1u, 2u, 1u}) {
    // Without FIND_INSERTPOS the position is still the sorted one.
    EXPECT_GE(l.InsertSortedDwordFormat(&k, 0, "k%u", k), 0);
  }
  EXPECT_EQ(Texts(l), (std::vector<std::string>{"k1", "k1", "k2", "k3"}));
  CTextList t;
  for (const char* s : {"pear", "apple", "Fig"}) t.InsertSortedFormat(FIND_NOCASE, "%s", s);
  EXPECT_EQ(Texts(t), (std::vector<std::string>{"apple", "Fig", "pear"}));
  CTextList q(8);
  for (uint64_t k : {uint64_t{9} << 40, uint64_t{1}}) q.InsertSortedQwordFormat(&k, 0, "%llu", (unsigned long long)k);
  EXPECT_EQ(Text(q, 0), "1");
  CTextList kt(4);
  const uint32_t a = 2, b = 1;
  kt.InsertSortedWithDwordFormat(&a, 0, "x");
  kt.InsertSortedWithDwordFormat(&b, 0, "z");
  kt.InsertSortedWithDwordFormat(&b, 0, "y");
  EXPECT_EQ(Texts(kt), (std::vector<std::string>{"y", "z", "x"}));
  EXPECT_EQ(kt.InsertSortedDwordFormat(nullptr, 8, "no data"), -1);
  CTextList tooSmall(2);
  EXPECT_EQ(tooSmall.InsertSortedDwordFormat(&a, 8, "x"), -1);
  EXPECT_EQ(tooSmall.InsertSortedQwordFormat(&a, 8, "x"), -1);
  EXPECT_EQ(tooSmall.count, 0u);
}

// ---- Recent items ----

TEST(TextListMru, PartExamples) {
  CTextList l = ListOf({"x", "y", "x", "z"});
  l.mruMax = 0;
  EXPECT_EQ(l.SetMruLimit(-1, 0), 3);
  EXPECT_EQ(l.mruMax, 16);
  EXPECT_EQ(Texts(l), (std::vector<std::string>{"x", "y", "z"}));
  CTextList m = ListOf({"a", "b", "c", "d", "e"});
  EXPECT_EQ(m.MoveToFront("d"), 0);
  EXPECT_EQ(Texts(m), (std::vector<std::string>{"d", "a", "b", "c", "e"}));
  EXPECT_EQ(m.MoveToFront("q"), 1);
  m.SetMruLimit(2, 0);
  EXPECT_EQ(m.MoveToFront("b"), 1);  // beyond the limit
  EXPECT_EQ(Texts(m), (std::vector<std::string>{"d", "a"}));
}

TEST(TextListMru, SequencesMatchADequeThatDropsDuplicatesAndTrims) {
  std::mt19937 rng(21);
  for (int round = 0; round < 50; ++round) {
    const int limit = int(rng() % 6) + 1;
    const uint32_t mode = round & 1 ? 1 : 0;  // case-blind half the time
    CTextList l;
    l.SetMruLimit(limit, mode);
    std::deque<std::string> model;
    auto same = [mode](const std::string& a, const std::string& b) {
      if (a.size() != b.size()) return false;
      for (size_t i = 0; i < a.size(); ++i) {
        if (mode ? std::tolower(a[i]) != std::tolower(b[i]) : a[i] != b[i]) return false;
      }
      return true;
    };
    for (int step = 0; step < 60; ++step) {
      std::string t(1, "aAbBcCdDeE"[rng() % 10]);
      if (l.MoveToFront(t.c_str()) != 0) {
        l.InsertString(t.c_str(), 0, nullptr);
        l.SetMruLimit(limit, mode);
      }
      auto it = std::find_if(model.begin(), model.end(), [&](const std::string& s) { return same(s, t); });
      std::string front = t;
      if (it != model.end()) {
        front = *it;
        model.erase(it);
      }
      model.push_front(front);
      while (model.size() > size_t(limit)) model.pop_back();
      ASSERT_EQ(Texts(l), std::vector<std::string>(model.begin(), model.end())) << round << "/" << step;
    }
  }
}

// ---- The arrays share the search and the sort ----

TEST(ArraySortedSearch, BytesAndNumbersMatchBounds) {
  std::mt19937 rng(4);
  for (int round = 0; round < 100; ++round) {
    std::vector<uint32_t> keys(rng() % 25);
    for (uint32_t& k : keys) k = rng() % 6;
    std::sort(keys.begin(), keys.end());
    CRecordArray rec(8);
    CInlineArray inl(8);
    CPointerArray ptr(1);
    for (uint32_t k : keys) {
      uint8_t r[8] = {0xEE, 0, 0, 0, 0, 0, 0, 0};
      std::memcpy(r + 4, &k, 4);
      rec.InsertAt(r, 0xFFFFFFFF, 1);
      inl.InsertAt(r, 0xFFFFFFFF, 1);
      ptr.InsertAt(r, 0xFFFFFFFF, 8);
    }
    for (uint32_t key = 0; key < 7; ++key) {
      int lb = int(std::lower_bound(keys.begin(), keys.end(), key) - keys.begin());
      int ub = int(std::upper_bound(keys.begin(), keys.end(), key) - keys.begin());
      const uint32_t flags[] = {FIND_FIRST, FIND_AFTER_LAST | FIND_INSERTPOS};
      for (uint32_t f : flags) {
        int want = lb == ub ? ((f & FIND_INSERTPOS) ? lb : -1) : (f & FIND_FIRST) ? lb : ub;
        EXPECT_EQ(rec.FindSortedDword(key, 0, 0xFFFFFFFF, 4, f | FIND_UNSIGNED), want);
        EXPECT_EQ(inl.FindSortedDwordAt(key, 0, 0xFFFFFFFF, 4, f), want);
        EXPECT_EQ(ptr.FindSortedDwordAt(key, 0, 0xFFFFFFFF, 4, f), want);
        // Little-endian u32 bytes do not sort as bytes unless below 256.
        uint8_t kb[4];
        std::memcpy(kb, &key, 4);
        EXPECT_EQ(rec.FindSortedBytes(kb, 0, 0xFFFFFFFF, 1, 4, f), want);
        EXPECT_EQ(inl.FindSortedBytes(kb, 0, 0xFFFFFFFF, 1, 4, f), want);
      }
    }
    EXPECT_EQ(rec.FindSortedDword(0, 0, 0xFFFFFFFF, 5, 8), -1);  // beyond the record
    EXPECT_EQ(inl.FindSortedQwordAt(0, 0, 0xFFFFFFFF, 1, 8), -1);
    EXPECT_EQ(rec.FindSortedBytes("x", 0, 0xFFFFFFFF, 2, 7, 8), -1);
  }
}

TEST(ArraySort, EveryFormBothDirections) {
  std::mt19937 rng(8);
  for (size_t n : {0u, 1u, 2u, 3u, 1000u}) {
    std::vector<uint32_t> v(n);
    for (uint32_t& x : v) x = rng() % 50;
    for (bool desc : {false, true}) {
      CRecordArray rec(4);
      CPointerArray ptr(1);
      CInlineArray inl(4);
      for (uint32_t x : v) {
        rec.InsertAt(&x, 0xFFFFFFFF, 1);
        ptr.InsertAt(&x, 0xFFFFFFFF, 4);
        inl.InsertAt(&x, 0xFFFFFFFF, 1);
      }
      auto byValue = [](uintptr_t, void* a, void* b) {
        uint32_t x, y;
        std::memcpy(&x, a, 4);
        std::memcpy(&y, b, 4);
        return (x > y) - (x < y);
      };
      rec.SortCallback(byValue, 0, 0, 0, -1, desc);
      ptr.Sort([](CPointerArray* a, int i, int j) {
        return int(a->GetDwordAt(uint32_t(i), 0)) - int(a->GetDwordAt(uint32_t(j), 0));
      }, 0, -1, desc);
      inl.SortCallback(byValue, 0, 0, 0, -1, desc);
      std::vector<uint32_t> want = v;
      std::sort(want.begin(), want.end());
      if (desc) std::reverse(want.begin(), want.end());
      for (size_t i = 0; i < n; ++i) {
        ASSERT_EQ(rec.GetDwordAt(uint32_t(i), 0), want[i]);
        ASSERT_EQ(ptr.GetDwordAt(uint32_t(i), 0), want[i]);
        ASSERT_EQ(inl.GetDwordAt(uint32_t(i), 0), want[i]);
      }
      // Byte sorts: a single byte orders as the value (all below 256).
      CRecordArray rb(4);
      CPointerArray pb(1);
      for (uint32_t x : v) {
        rb.InsertAt(&x, 0xFFFFFFFF, 1);
        pb.InsertAt(&x, 0xFFFFFFFF, 4);
      }
      rb.SortBytes(0, 1, 0, -1, desc);
      pb.SortBytes(0, 1, 0, -1, desc);
      for (size_t i = 0; i < n; ++i) {
        ASSERT_EQ(rb.GetDwordAt(uint32_t(i), 0), want[i]);
        ASSERT_EQ(pb.GetDwordAt(uint32_t(i), 0), want[i]);
      }
    }
  }
}

}  // namespace
