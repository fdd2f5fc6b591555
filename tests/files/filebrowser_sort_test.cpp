// The browser's item order: folders first, nine keys, both directions,
// natural and plain names, ties, and lists kept in order while they fill.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "filebrowser_test_util.h"
#include "files/filebrowser.h"

using browser_test::Names;
using browser_test::Recorder;

namespace {

struct Entry {
  const char* name;
  DWORD flags;
  uint64_t size;
  DWORD created, accessed, modified;
  const char* second;
  uint32_t userWord;
};

// Two folders and four files whose keys all differ in order.
const Entry kEntries[] = {
    {"b10.txt", 0x43, 300, 1, 9, 2, nullptr, 3},
    {"Zeta", 0x11, 0, 5, 5, 5, nullptr, 7},
    {"b2.TXT", 0x03, 100, 3, 3, 9, nullptr, 1},
    {"a.zip", 0x23, 200, 2, 2, 1, "beta", 4},
    {"alpha", 0x13, 0, 9, 1, 3, nullptr, 8},
    {"c", 0x81, 5000000000ull, 4, 7, 2, "Alpha", 2},
};

void Fill(CFileBrowser& b, const Entry* entries, size_t n) {
  for (size_t k = 0; k < n; ++k) {
    const Entry& e = entries[k];
    int i = b.AddItem(e.name, 0, e.flags, e.size, e.created, e.accessed, e.modified, -1);
    ASSERT_GE(i, 0);
    if (e.second) b.SetItemSecondText(i, e.second);
    std::memcpy(b.GetItemUserData(i), &e.userWord, 4);
  }
}

std::vector<std::string> SortedBy(DWORD mode) {
  CFileBrowser b;
  Fill(b, kEntries, std::size(kEntries));
  b.SetSortMode(mode);
  b.Sort();
  return Names(b);
}

// The descending order: folders still first, each group reversed.
std::vector<std::string> Descending(std::vector<std::string> v, size_t folders) {
  std::reverse(v.begin(), v.begin() + static_cast<long>(folders));
  std::reverse(v.begin() + static_cast<long>(folders), v.end());
  return v;
}

using V = std::vector<std::string>;

TEST(BrowserSort, EveryKeyBothDirectionsWithFoldersFirst) {
  struct Case {
    DWORD key;
    V ascending;
  } cases[] = {
      {BROWSE_SORT_NAME, {"alpha", "Zeta", "a.zip", "b10.txt", "b2.TXT", "c"}},
      {BROWSE_SORT_CREATED, {"Zeta", "alpha", "b10.txt", "a.zip", "b2.TXT", "c"}},
      {BROWSE_SORT_ACCESSED, {"alpha", "Zeta", "a.zip", "b2.TXT", "c", "b10.txt"}},
      {BROWSE_SORT_MODIFIED, {"alpha", "Zeta", "a.zip", "b10.txt", "c", "b2.TXT"}},
      {BROWSE_SORT_SIZE, {"alpha", "Zeta", "b2.TXT", "a.zip", "b10.txt", "c"}},
      {BROWSE_SORT_SECOND_TEXT, {"alpha", "Zeta", "b10.txt", "b2.TXT", "c", "a.zip"}},
      {BROWSE_SORT_EXTENSION, {"alpha", "Zeta", "c", "b10.txt", "b2.TXT", "a.zip"}},
      {BROWSE_SORT_FLAGS, {"Zeta", "alpha", "b2.TXT", "a.zip", "b10.txt", "c"}},
      {BROWSE_SORT_USER_WORD, {"Zeta", "alpha", "b2.TXT", "c", "b10.txt", "a.zip"}},
      {10, {"alpha", "Zeta", "a.zip", "b10.txt", "b2.TXT", "c"}},
      {0xFF, {"alpha", "Zeta", "a.zip", "b10.txt", "b2.TXT", "c"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SortedBy(c.key), c.ascending) << "key " << c.key;
    EXPECT_EQ(SortedBy(c.key | BROWSE_SORT_DESCENDING), Descending(c.ascending, 2)) << "key " << c.key;
  }
}

TEST(BrowserSort, WithoutFoldersFirstFoldersMixIn) {
  struct Case {
    DWORD key;
    V ascending;
  } cases[] = {
      {BROWSE_SORT_NAME, {"a.zip", "alpha", "b10.txt", "b2.TXT", "c", "Zeta"}},
      {BROWSE_SORT_CREATED, {"b10.txt", "a.zip", "b2.TXT", "c", "Zeta", "alpha"}},
      {BROWSE_SORT_ACCESSED, {"alpha", "a.zip", "b2.TXT", "Zeta", "c", "b10.txt"}},
      {BROWSE_SORT_MODIFIED, {"a.zip", "b10.txt", "c", "alpha", "Zeta", "b2.TXT"}},
      {BROWSE_SORT_SIZE, {"alpha", "Zeta", "b2.TXT", "a.zip", "b10.txt", "c"}},
      {BROWSE_SORT_SECOND_TEXT, {"alpha", "b10.txt", "b2.TXT", "Zeta", "c", "a.zip"}},
      {BROWSE_SORT_EXTENSION, {"alpha", "c", "Zeta", "b10.txt", "b2.TXT", "a.zip"}},
      {BROWSE_SORT_FLAGS, {"b2.TXT", "Zeta", "alpha", "a.zip", "b10.txt", "c"}},
      {BROWSE_SORT_USER_WORD, {"b2.TXT", "c", "b10.txt", "a.zip", "Zeta", "alpha"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SortedBy(c.key | BROWSE_SORT_NO_FOLDERS_FIRST), c.ascending) << "key " << c.key;
    V descending(c.ascending.rbegin(), c.ascending.rend());
    EXPECT_EQ(SortedBy(c.key | BROWSE_SORT_NO_FOLDERS_FIRST | BROWSE_SORT_DESCENDING), descending)
        << "key " << c.key;
  }
}

TEST(BrowserSort, NaturalOrderReadsDigitRunsAsNumbers) {
  const Entry entries[] = {
      {"a10", 0x3, 0, 0, 0, 0, nullptr, 0}, {"A2", 0x3, 0, 0, 0, 0, nullptr, 0},
      {"a1", 0x3, 0, 0, 0, 0, nullptr, 0},  {"a100b", 0x3, 0, 0, 0, 0, nullptr, 0},
      {"a9z", 0x3, 0, 0, 0, 0, nullptr, 0},
  };
  struct Case {
    DWORD mode;
    V order;
  } cases[] = {
      {BROWSE_SORT_NAME, {"a1", "a10", "a100b", "A2", "a9z"}},
      {BROWSE_SORT_NATURAL, {"a1", "A2", "a9z", "a10", "a100b"}},
      {BROWSE_SORT_NATURAL | BROWSE_SORT_DESCENDING, {"a100b", "a10", "a9z", "A2", "a1"}},
      // Equal sizes fall back to the names, naturally ordered.
      {BROWSE_SORT_SIZE | BROWSE_SORT_NATURAL, {"a1", "A2", "a9z", "a10", "a100b"}},
  };
  for (const Case& c : cases) {
    CFileBrowser b;
    Fill(b, entries, std::size(entries));
    b.SetSortMode(c.mode);
    b.Sort();
    EXPECT_EQ(Names(b), c.order) << "mode " << c.mode;
  }
}

TEST(BrowserSort, DrivesThenSharesThenFoldersThenFiles) {
  const Entry entries[] = {
      {"0.txt", 0x3, 0, 0, 0, 0, nullptr, 0},   {"aaa", 0x11, 0, 0, 0, 0, nullptr, 0},
      {"share", 0x8010, 0, 0, 0, 0, nullptr, 0}, {"srv", 0x8050, 0, 0, 0, 0, nullptr, 0},
      {"C:", 0x4010, 0, 0, 0, 0, nullptr, 0},
  };
  struct Case {
    DWORD mode;
    V order;
  } cases[] = {
      {BROWSE_SORT_NAME, {"C:", "srv", "share", "aaa", "0.txt"}},
      {BROWSE_SORT_NAME | BROWSE_SORT_DESCENDING, {"C:", "srv", "share", "aaa", "0.txt"}},
      {BROWSE_SORT_NO_FOLDERS_FIRST, {"0.txt", "aaa", "C:", "share", "srv"}},
  };
  for (const Case& c : cases) {
    CFileBrowser b;
    Fill(b, entries, std::size(entries));
    b.SetSortMode(c.mode);
    b.Sort();
    EXPECT_EQ(Names(b), c.order) << "mode " << c.mode;
  }
}

TEST(BrowserSort, EqualNamesFallBackToSecondTexts) {
  CFileBrowser b;
  b.AddItem("same", 0, 0x3, 1, 0, 0, 0, -1);
  b.AddItem("SAME", 0, 0x3, 1, 0, 0, 0, -1);
  b.SetItemSecondText(0, "zz");
  b.SetItemSecondText(1, "aa");
  EXPECT_GT(b.CompareBrowserItems(0, 1, BROWSE_SORT_SIZE), 0);
  EXPECT_LT(b.CompareBrowserItems(0, 1, BROWSE_SORT_SIZE | BROWSE_SORT_DESCENDING), 0);
  EXPECT_EQ(b.CompareBrowserItems(0, 0, BROWSE_SORT_SIZE), 0);
  // Key 6 compares the second texts once, as the key.
  EXPECT_GT(b.CompareBrowserItems(0, 1, BROWSE_SORT_SECOND_TEXT), 0);
  b.SetItemSecondText(1, "ZZ");
  EXPECT_EQ(b.CompareBrowserItems(0, 1, BROWSE_SORT_SECOND_TEXT), 0);
  EXPECT_EQ(b.CompareBrowserItems(0, 7, BROWSE_SORT_NAME), 0);
}

TEST(BrowserSort, SortTellsTheCallbackBeforeAndAfter) {
  Recorder r;
  CFileBrowser b;
  Fill(b, kEntries, std::size(kEntries));
  r.Attach(b);
  b.Sort();
  EXPECT_EQ(r.calls, (std::vector<Recorder::Call>{{0, 6, 0xB1}, {0, 6, 0xE1}}));
  // One item needs no sorting, and nothing is told.
  CFileBrowser one;
  Fill(one, kEntries, 1);
  r.calls.clear();
  r.Attach(one);
  one.Sort();
  EXPECT_TRUE(r.calls.empty());
}

TEST(BrowserSort, KeptSortedListPlacesEachNewItem) {
  // The same entries arriving in every rotation end in the same order.
  for (size_t start = 0; start < std::size(kEntries); ++start) {
    CFileBrowser b;
    b.SetSortMode(BROWSE_SORT_SIZE | BROWSE_SORT_DESCENDING);
    ASSERT_TRUE(b.Open(":", nullptr, nullptr, BROWSE_KEEP_SORTED));
    ASSERT_TRUE(b.GetFlags() & BROWSE_KEEP_SORTED);
    for (size_t k = 0; k < std::size(kEntries); ++k) {
      Fill(b, &kEntries[(start + k) % std::size(kEntries)], 1);
    }
    EXPECT_EQ(Names(b), (V{"Zeta", "alpha", "c", "b10.txt", "a.zip", "b2.TXT"})) << start;
  }
}

TEST(BrowserSort, KeepSortedIsDroppedForAnUnsortedFullList) {
  CFileBrowser b;
  ASSERT_TRUE(b.Open(":", nullptr, nullptr, 0));
  Fill(b, kEntries, std::size(kEntries));
  ASSERT_TRUE(b.Open(":", nullptr, nullptr, BROWSE_KEEP_ITEMS | BROWSE_KEEP_SORTED));
  EXPECT_FALSE(b.GetFlags() & BROWSE_KEEP_SORTED);
  EXPECT_EQ(b.GetItemCount(), 6);
  b.SetSortMode(BROWSE_SORT_NAME);
  ASSERT_TRUE(b.Open(":", nullptr, nullptr, BROWSE_KEEP_ITEMS | BROWSE_KEEP_SORTED));
  EXPECT_TRUE(b.GetFlags() & BROWSE_KEEP_SORTED);
  // A list sorted once (by name) can be kept sorted too.
  CFileBrowser c;
  ASSERT_TRUE(c.Open(":", nullptr, nullptr, 0));
  Fill(c, kEntries, std::size(kEntries));
  c.Sort();
  ASSERT_TRUE(c.Open(":", nullptr, nullptr, BROWSE_KEEP_ITEMS | BROWSE_KEEP_SORTED));
  EXPECT_TRUE(c.GetFlags() & BROWSE_KEEP_SORTED);
  Fill(c, kEntries, 1);
  EXPECT_EQ(Names(c), (V{"alpha", "Zeta", "a.zip", "b10.txt", "b10.txt", "b2.TXT", "c"}));
}

}  // namespace
