// FindItem through the name index: after any sequence of list changes it
// answers what a scan of every item answers (the first item of the folder
// whose name equals without regard to case), with and without installed
// case tables.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "files/filebrowser.h"
#include "toolkit/strcase.h"
#include "toolkit/wildcard_fold.h"

namespace {

int ScanFor(const CFileBrowser& b, const std::string& name, int folder) {
  for (int i = 0; i < b.GetItemCount(); ++i) {
    BrowserItem rec;
    b.GetItem(i, &rec);
    if (rec.folder == folder && b.GetItemNameLength(i) == name.size() &&
        StrCompareNoCaseN(b.Items().TextAt(uint32_t(i)), name.c_str(), int(name.size())) == 0)
      return i;
  }
  return -1;
}

// Latin-1 capitals, and the Windows-1252 pairs whose halves differ in more
// than the 0x20 bit.
std::vector<WORD> CapitalTable() {
  std::vector<WORD> t(0x3000);
  for (unsigned c = 0; c < t.size(); ++c) t[c] = WORD(c);
  for (unsigned c = 'a'; c <= 'z'; ++c) t[c] = WORD(c - 32);
  for (unsigned c = 0xE0; c <= 0xFE; ++c)
    if (c != 0xF7) t[c] = WORD(c - 32);
  t[0x9A] = 0x8A;
  t[0x9C] = 0x8C;
  t[0x9E] = 0x8E;
  t[0xFF] = 0x9F;
  return t;
}

TEST(BrowserFindItem, AgreesWithAScanAfterEveryChange) {
  const char* names[] = {"a", "A", "b", "ab", "aB", "Ab", "\xE4", "\xC4", "\x9A", "\x8A", "\xFF", "\x9F", "1", "q"};
  std::vector<WORD> capitals = CapitalTable(), smalls(capitals);
  const WORD* tables[2] = {capitals.data(), smalls.data()};
  for (bool withTables : {false, true}) {
    SetCaseFoldTables(withTables ? tables : nullptr);
    std::mt19937 rng(withTables ? 7 : 3);
    CFileBrowser b;
    auto pick = [&] { return std::string(names[rng() % std::size(names)]); };
    for (int step = 0; step < 3000; ++step) {
      int count = b.GetItemCount();
      switch (rng() % 10) {
        case 0: case 1: case 2: case 3:  // at the end
          b.AddItem(pick().c_str(), int(rng() % 2), 0, 0, 0, 0, 0, -1);
          break;
        case 4:  // anywhere
          b.AddItem(pick().c_str(), int(rng() % 2), 0, 0, 0, 0, 0, count ? int(rng() % unsigned(count)) : 0);
          break;
        case 5:
          if (count) b.RemoveItem(rng() % 3 ? count - 1 : int(rng() % unsigned(count)));
          break;
        case 6:
          if (count) b.SetItemText(int(rng() % unsigned(count)), pick().c_str());
          break;
        case 7:
          if (rng() % 8 == 0) {
            b.SetSortMode(rng() % 2 ? BROWSE_SORT_NAME : BROWSE_SORT_NAME | BROWSE_SORT_DESCENDING);
            b.Sort();
          }
          break;
        case 8:
          if (rng() % 8 == 0) b.ConvertCase(rng() % 2 ? CASE_UPPER : CASE_LOWER);
          break;
        default:
          if (rng() % 50 == 0) b.RemoveAllItems();
          break;
      }
      for (int probe = 0; probe < 3; ++probe) {
        std::string name = pick();
        int folder = int(rng() % 2);
        ASSERT_EQ(b.FindItem(name.c_str(), folder, -1), ScanFor(b, name, folder))
            << "step " << step << " tables " << withTables;
      }
    }
  }
  SetCaseFoldTables(nullptr);
}

}  // namespace
