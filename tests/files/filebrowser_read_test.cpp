// Listing real folders: patterns, folders as items or collected, the
// records of what was found, the listing iterator and its notifications.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>

#include "filebrowser_test_util.h"
#include "files/filebrowser.h"
#include "files/filefind.h"

using browser_test::Names;
using browser_test::Recorder;
using browser_test::Tree;
namespace fs = std::filesystem;

namespace {

// Every item the iterator hands out in mode `mode`.
std::vector<std::string> Listing(CFileBrowser& b, int mode) {
  std::vector<std::string> out;
  DWORD length = 0;
  while (const char* p = b.GetNextItem(mode, &length)) {
    EXPECT_EQ(length, std::strlen(p));
    out.emplace_back(p);
  }
  return out;
}

std::set<std::string> AsSet(const std::vector<std::string>& v) { return {v.begin(), v.end()}; }

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// a.txt B.TXT c.md notes.txt.bak .hidden.txt sub/d.txt sub/deeper/e.TxT
void MakeSample(const Tree& t) {
  for (const char* f : {"a.txt", "B.TXT", "c.md", "notes.txt.bak", ".hidden.txt", "sub/d.txt",
                        "sub/deeper/e.TxT"}) {
    t.File(f, 3);
  }
}

TEST(BrowserRead, FilesPassTheIncludesAndNotTheExcludes) {
  Tree t;
  MakeSample(t);
  // What a plain directory walk with the same rules finds.
  auto expect = [&](auto keep) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(t.Dir())) {
      std::string n = e.path().filename().string();
      if (e.is_regular_file() && keep(Lower(n))) names.insert(n);
    }
    return names;
  };
  auto endsWith = [](const std::string& n, const std::string& tail) {
    return n.size() >= tail.size() && n.compare(n.size() - tail.size(), tail.size(), tail) == 0;
  };
  struct Case {
    const char* patterns;
    const char* excludes;
    std::set<std::string> names;
  } cases[] = {
      {nullptr, nullptr, expect([](const std::string&) { return true; })},
      {"*.txt", nullptr, expect([&](const std::string& n) { return endsWith(n, ".txt"); })},
      {"*.TXT;;*.md", "a*;.*", expect([&](const std::string& n) {
         return (endsWith(n, ".txt") || endsWith(n, ".md")) && n[0] != 'a' && n[0] != '.';
       })},
      {"*.txt;*", "*.bak", expect([&](const std::string& n) { return !endsWith(n, ".bak"); })},
      {"?.*", nullptr, expect([](const std::string& n) { return n.size() > 1 && n[1] == '.'; })},
      {"nothing.here", nullptr, {}},
  };
  for (const Case& c : cases) {
    CFileBrowser b;
    ASSERT_TRUE(b.Open(t.Dir().c_str(), c.patterns, c.excludes, BROWSE_FILES));
    EXPECT_EQ(AsSet(Listing(b, 0)), c.names) << (c.patterns ? c.patterns : "-");
  }
}

TEST(BrowserRead, FoldersAsItemsOrCollectedAndReadInTurn) {
  Tree t;
  MakeSample(t);
  std::set<std::string> everything, top, topFolders;
  for (const auto& e : fs::recursive_directory_iterator(t.Dir())) {
    std::string rel = fs::relative(e.path(), t.Dir()).generic_string();
    everything.insert(rel);
    if (rel.find('/') == std::string::npos) {
      top.insert(rel);
      if (e.is_directory()) topFolders.insert(rel);
    }
  }
  struct Case {
    DWORD flags;
    std::set<std::string> paths;
  } cases[] = {
      {BROWSE_FILES | BROWSE_FOLDERS, top},
      {BROWSE_FOLDERS, topFolders},
      {BROWSE_FILES | BROWSE_FOLDERS | BROWSE_COLLECT_FOLDERS, everything},
      {BROWSE_FOLDERS | BROWSE_COLLECT_FOLDERS, {"sub", "sub/deeper"}},
  };
  for (const Case& c : cases) {
    for (DWORD whole : {DWORD{0}, BROWSE_READ_WHOLE}) {
      CFileBrowser b;
      ASSERT_TRUE(b.Open(t.Dir().c_str(), nullptr, nullptr, c.flags | whole));
      EXPECT_EQ(AsSet(Listing(b, 2)), c.paths) << std::hex << c.flags;
    }
  }
  // Full paths: the folder's text, then the name.
  CFileBrowser b;
  ASSERT_TRUE(b.Open(t.Path("sub").c_str(), nullptr, nullptr, BROWSE_FILES | BROWSE_COLLECT_FOLDERS));
  EXPECT_EQ(AsSet(Listing(b, 1)), (std::set<std::string>{t.Path("sub/d.txt"), t.Path("sub/deeper/e.TxT")}));
  EXPECT_EQ(b.GetNextItem(1, nullptr), nullptr);
  EXPECT_EQ(b.GetFolderCount(), 2);
  EXPECT_STREQ(b.GetPath(), (t.Path("sub") + "/").c_str());
}

TEST(BrowserRead, CollectedFoldersHonourTheExcludes) {
  Tree t;
  MakeSample(t);
  t.File(".git/objects/x.txt");
  CFileBrowser b;
  ASSERT_TRUE(b.Open(t.Dir().c_str(), "*.txt", ".git;deeper", BROWSE_FILES | BROWSE_COLLECT_FOLDERS));
  EXPECT_EQ(AsSet(Listing(b, 2)), (std::set<std::string>{"a.txt", "B.TXT", ".hidden.txt", "sub/d.txt"}));
}

TEST(BrowserRead, RecordsCarryTheFoundFacts) {
  Tree t;
  t.File("data.bin", 12345, 1600000000);
  t.File("ro.txt", 1, 1500000000);
  ::chmod(t.Path("ro.txt").c_str(), 0444);
  t.File(".dot", 0, 1400000000);
  t.Folder("dir.d");
  t.SetModified("dir.d", 1300000000);
  t.File("huge");
  fs::resize_file(t.Path("huge"), 5ull << 30);
  CFileBrowser b;
  ASSERT_TRUE(b.Open(t.Dir().c_str(), nullptr, nullptr, BROWSE_FILES | BROWSE_FOLDERS));
  Listing(b, 0);
  struct Expect {
    const char* name;
    DWORD flags;
    int64_t size;
    int64_t modified;
    const char* extension;
  } expect[] = {
      {"data.bin", FILEINFO_EXISTS | FILEINFO_WRITABLE | FILEINFO_ARCHIVE, 12345, 1600000000, "bin"},
      {"ro.txt", FILEINFO_EXISTS | FILEINFO_ARCHIVE, 1, 1500000000, "txt"},
      {".dot", FILEINFO_EXISTS | FILEINFO_WRITABLE | FILEINFO_ARCHIVE | FILEINFO_HIDDEN, 0, 1400000000,
       "dot"},
      {"dir.d", FILEINFO_EXISTS | FILEINFO_WRITABLE | FILEINFO_DIRECTORY, -1, 1300000000, "d"},
      {"huge", FILEINFO_EXISTS | FILEINFO_WRITABLE | FILEINFO_ARCHIVE, int64_t{5} << 30, -1, ""},
  };
  ASSERT_EQ(b.GetItemCount(), 5);
  for (const Expect& e : expect) {
    int i = b.FindItem(e.name, 0, -1);
    ASSERT_GE(i, 0) << e.name;
    BrowserItem rec;
    ASSERT_TRUE(b.GetItem(i, &rec));
    EXPECT_EQ(rec.flags, e.flags) << e.name;
    EXPECT_EQ(rec.extension, -1) << e.name;
    EXPECT_EQ(rec.typeIndex, -1) << e.name;
    EXPECT_EQ(rec.folder, 0) << e.name;
    EXPECT_EQ(rec.shellItem, nullptr);
    EXPECT_EQ(rec.secondText, nullptr);
    if (e.size >= 0) {
      EXPECT_EQ(b.GetItemSize(i), e.size) << e.name;
    }
    int64_t modified = e.modified >= 0 ? e.modified : t.Modified(e.name);
    EXPECT_EQ(rec.modified, modified) << e.name;
    EXPECT_EQ(b.GetItemTime(i), modified) << e.name;
    struct stat st;
    ASSERT_EQ(::stat(t.Path(e.name).c_str(), &st), 0);
    EXPECT_EQ(rec.accessed, static_cast<DWORD>(st.st_atime)) << e.name;
    EXPECT_EQ(b.GetItemTime(i, 2), st.st_atime) << e.name;
    EXPECT_STREQ(b.GetItemExtension(i), e.extension);
    b.GetItem(i, &rec);
    EXPECT_EQ(rec.extension, static_cast<int>(std::strlen(e.name) - std::strlen(e.extension)));
  }
  // Sizes of the files only.
  EXPECT_EQ(b.GetTotalSize(), 12345u + 1u + (5ull << 30));
}

TEST(BrowserRead, ReadingIsToldBeforeAndAfter) {
  Tree t;
  t.File("one");
  t.File("two");
  Recorder r;
  CFileBrowser b;
  r.Attach(b);
  ASSERT_TRUE(b.Open(t.Dir().c_str(), nullptr, nullptr, BROWSE_FILES));
  // Open empties the lists, told with the counts before and after.
  EXPECT_EQ(r.calls, (std::vector<Recorder::Call>{{0, 0, 0xB1}, {0, 0, 0xE1}}));
  r.calls.clear();
  EXPECT_NE(b.GetNextItem(0, nullptr), nullptr);
  EXPECT_EQ(r.calls, (std::vector<Recorder::Call>{{0, 0, 0xB1}, {0, 2, 0xE1}}));
  r.calls.clear();
  Listing(b, 0);
  // The second item was read already; the end costs one more look.
  EXPECT_EQ(r.calls, (std::vector<Recorder::Call>{{0, 2, 0xB1}, {0, 2, 0xE1}}));
  r.calls.clear();
  ASSERT_TRUE(b.Open(t.Dir().c_str(), nullptr, nullptr, BROWSE_FILES));
  EXPECT_EQ(r.calls, (std::vector<Recorder::Call>{{0, 2, 0xB1}, {0, 0, 0xE1}}));
  r.calls.clear();
  EXPECT_EQ(b.ReadFileFolder(0), 2);
  EXPECT_EQ(r.calls, (std::vector<Recorder::Call>{{0, 0, 0xB1}, {0, 2, 0xE1}}));
  EXPECT_EQ(b.ReadFileFolder(1), -1);
}

TEST(BrowserRead, KeepItemsReadsOnlyWhatIsNew) {
  Tree t;
  t.File("one");
  CFileBrowser b;
  ASSERT_TRUE(b.Open(t.Dir().c_str(), nullptr, nullptr, BROWSE_FILES));
  EXPECT_EQ(Listing(b, 0), (std::vector<std::string>{"one"}));
  t.File("two");
  ASSERT_TRUE(b.Open(t.Dir().c_str(), nullptr, nullptr, BROWSE_FILES | BROWSE_KEEP_ITEMS));
  // The position stays for the same path: only the new item comes.
  EXPECT_EQ(Listing(b, 0), (std::vector<std::string>{"two"}));
  EXPECT_EQ(Names(b), (std::vector<std::string>{"one", "two"}));
  // Another path starts the position again.
  t.File("sub/three");
  ASSERT_TRUE(b.Open(t.Path("sub").c_str(), nullptr, nullptr, BROWSE_FILES | BROWSE_KEEP_ITEMS));
  EXPECT_EQ(Listing(b, 0), (std::vector<std::string>{"one", "two", "three"}));
}

TEST(BrowserRead, KeptSortedListingIsHandedOutInOrder) {
  Tree t;
  for (const char* f : {"b10", "a", "B2", "c1"}) t.File(f);
  t.Folder("zdir");
  CFileBrowser b;
  b.SetSortMode(BROWSE_SORT_NATURAL);
  ASSERT_TRUE(b.Open(t.Dir().c_str(), nullptr, nullptr, BROWSE_FILES | BROWSE_FOLDERS | BROWSE_KEEP_SORTED));
  EXPECT_EQ(Listing(b, 0), (std::vector<std::string>{"zdir", "a", "B2", "b10", "c1"}));
}

TEST(BrowserRead, ManyEntriesComeInBatches) {
  Tree t;
  std::set<std::string> names;
  for (int i = 0; i < 700; ++i) {
    std::string n = "f" + std::to_string(i);
    t.File(n);
    names.insert(n);
  }
  Recorder r;
  CFileBrowser b;
  ASSERT_TRUE(b.Open(t.Dir().c_str(), nullptr, nullptr, BROWSE_FILES));
  r.Attach(b);
  EXPECT_EQ(AsSet(Listing(b, 0)), names);
  // Three batches of at most 256 items, then the end.
  ASSERT_EQ(r.calls.size(), 8u);
  EXPECT_EQ(r.calls[1].count, 256);
  EXPECT_EQ(r.calls[3].count, 512);
  EXPECT_EQ(r.calls[5].count, 700);
}

}  // namespace
