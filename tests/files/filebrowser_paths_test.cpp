// What Open makes of paths and patterns, single paths added as items, drive
// roots, and the maintenance of the item list.
#include <gtest/gtest.h>

#include <cstring>

#include "filebrowser_test_util.h"
#include "files/filebrowser.h"
#include "files/filefind.h"
#include "platform/pathsys.h"

using browser_test::Names;
using browser_test::Recorder;
using browser_test::Tree;

namespace {

using V = std::vector<std::string>;

V Texts(const CTextList& list) {
  V out;
  for (uint32_t i = 0; i < list.count; ++i) out.emplace_back(list.TextAt(i), list.LengthAt(i));
  return out;
}

TEST(ParseBrowserPatterns, SplitsAtSemicolonsAndStarMeansAll) {
  struct Case {
    const char* text;
    bool all;
    V list;
  } cases[] = {
      {"", false, {}},
      {"*.txt", false, {"*.txt"}},
      {";;a;b;;", false, {"a", "b"}},
      {"*.txt;*", true, {}},
      {"*.*;x", true, {}},
      {"**;*.", false, {"**", "*."}},
      {"x;*.*", true, {}},
  };
  for (const Case& c : cases) {
    CTextList list(4);
    list.InsertString("before", -1, nullptr);
    bool all = CFileBrowser::ParseBrowserPatterns(c.text, list);
    EXPECT_EQ(all, c.all) << c.text;
    V expect = c.list;
    if (!c.all) expect.insert(expect.begin(), "before");
    EXPECT_EQ(Texts(list), expect) << c.text;
  }
  CTextList list(4);
  EXPECT_FALSE(CFileBrowser::ParseBrowserPatterns(nullptr, list));
}

TEST(BrowserOpen, PathPatternsAndFlags) {
  Tree t;
  t.File("a.txt");
  t.Folder("sub");
  const std::string dir = t.Dir();
  struct Case {
    std::string path;
    const char* patterns;
    DWORD flags;
    std::string folder;
    V includes;
    DWORD flagsAfter;
  } cases[] = {
      {dir, nullptr, BROWSE_FILES, dir, {}, BROWSE_FILES},
      {t.Path("sub"), nullptr, BROWSE_FILES, t.Path("sub") + "/", {}, BROWSE_FILES},
      {dir + "*.txt;*.md", nullptr, BROWSE_FILES, dir, {"*.txt", "*.md"}, BROWSE_FILES},
      // One pattern: the search itself filters, unless folders are wanted.
      {dir + "*.txt", nullptr, BROWSE_FILES, dir, {"*.txt"}, BROWSE_FILES | BROWSE_SEARCH_PATTERN},
      {dir + "*.txt", nullptr, BROWSE_FILES | BROWSE_FOLDERS, dir, {"*.txt"}, BROWSE_FILES | BROWSE_FOLDERS},
      {dir, "*.md", BROWSE_FILES, dir, {"*.md"}, BROWSE_FILES | BROWSE_SEARCH_PATTERN},
      {dir + "*.txt", "*.md", BROWSE_FILES, dir, {"*.txt", "*.md"}, BROWSE_FILES},
      {dir + "*", "*.md", BROWSE_FILES, dir, {}, BROWSE_FILES},
      {dir + "*.txt", "*", BROWSE_FILES, dir, {}, BROWSE_FILES},
      {dir + "sub/../sub/./x?.txt", nullptr, BROWSE_FILES, t.Path("sub") + "/", {"x?.txt"},
       BROWSE_FILES | BROWSE_SEARCH_PATTERN},
      // A file: its folder is read, its name is the one pattern.
      {t.Path("a.txt"), nullptr, BROWSE_FILES | BROWSE_COLLECT_FOLDERS, dir, {"a.txt"},
       BROWSE_FILES | BROWSE_SEARCH_PATTERN},
      {t.Path("a.txt"), nullptr, BROWSE_FOLDERS | BROWSE_COLLECT_FOLDERS, dir, {"a.txt"}, BROWSE_FOLDERS},
      // A pseudo folder: patterns behind its last separator or colon.
      {":x\\y:*.a;*.b", nullptr, 0, ":", {"*.a", "*.b"}, 0},
      {":", nullptr, BROWSE_FILES, ":", {}, BROWSE_FILES},
  };
  for (const Case& c : cases) {
    CFileBrowser b;
    ASSERT_TRUE(b.Open(c.path.c_str(), c.patterns, "x;;y", c.flags)) << c.path;
    EXPECT_STREQ(b.GetPath(), c.folder.c_str()) << c.path;
    EXPECT_EQ(Texts(b.Folders()), V{c.folder}) << c.path;
    EXPECT_EQ(Texts(b.IncludePatterns()), c.includes) << c.path;
    EXPECT_EQ(Texts(b.ExcludePatterns()), (V{"x", "y"})) << c.path;
    EXPECT_EQ(b.GetFlags(), c.flagsAfter) << c.path;
  }
}

TEST(BrowserOpen, RefusesWhatNamesNothing) {
  Tree t;
  t.File("a.txt");
  CFileBrowser b;
  EXPECT_FALSE(b.Open(t.Path("missing").c_str(), nullptr, nullptr, BROWSE_FILES));
  EXPECT_EQ(b.GetNextItem(0, nullptr), nullptr);
  EXPECT_FALSE(b.Open(t.Path("a.txt/below").c_str(), nullptr, nullptr, BROWSE_FILES));
  EXPECT_FALSE(b.Open((t.Dir() + std::string(5000, 'x')).c_str(), nullptr, nullptr, BROWSE_FILES));
  EXPECT_FALSE(b.Open("Y:\\nothing", nullptr, nullptr, BROWSE_FILES));
  EXPECT_FALSE(b.Open("", nullptr, nullptr, BROWSE_FILES));
  EXPECT_EQ(b.GetPath(), nullptr);
  // A folder that does not exist yet, named with a pattern, lists nothing.
  EXPECT_TRUE(b.Open(t.Path("missing/*.txt").c_str(), nullptr, nullptr, BROWSE_FILES));
  EXPECT_EQ(b.GetNextItem(0, nullptr), nullptr);
  // A null path empties the browser.
  EXPECT_TRUE(b.Open(nullptr, nullptr, nullptr, 0));
  EXPECT_EQ(b.GetPath(), nullptr);
  EXPECT_EQ(b.GetFolderCount(), 0);
}

TEST(BrowserOpen, DriveLettersReachTheirHostFolders) {
  Tree t;
  t.File("sub/d.txt", 7);
  t.File("top.txt");
  ASSERT_TRUE(SysMapDrive('Q', t.Dir().c_str()));
  CFileBrowser b;
  ASSERT_TRUE(b.Open("q:/sub", nullptr, nullptr, BROWSE_FILES));
  EXPECT_STREQ(b.GetPath(), "q:\\sub\\");
  EXPECT_STREQ(b.GetNextItem(1, nullptr), "q:\\sub\\d.txt");
  ASSERT_TRUE(b.Open("Q:", nullptr, nullptr, BROWSE_FILES | BROWSE_FOLDERS | BROWSE_COLLECT_FOLDERS));
  V paths;
  while (const char* p = b.GetNextItem(2, nullptr)) paths.emplace_back(p);
  std::sort(paths.begin(), paths.end());
  EXPECT_EQ(paths, (V{"sub", "sub\\d.txt", "top.txt"}));
  SysMapDrive('Q', nullptr);
}

TEST(BrowserAddPath, AddsFilesFoldersAndDriveRoots) {
  Tree t;
  t.File("a.txt", 4);
  t.File("sub/b.txt");
  ASSERT_TRUE(SysMapDrive('Q', t.Dir().c_str()));
  CFileBrowser b;
  Recorder r;
  r.Attach(b);
  EXPECT_EQ(b.AddPath(t.Path("a.txt").c_str(), -1, 0), 0);
  EXPECT_EQ(r.calls, (std::vector<Recorder::Call>{{-1, 0, 0xC1}, {0, 1, 0xD1}}));
  EXPECT_EQ(b.AddPath(t.Path("sub").c_str(), -1, 0), 1);
  EXPECT_EQ(b.AddPath("q:\\sub\\b.txt", 0, 0), 0);
  EXPECT_EQ(b.AddPath("Q:\\", -1, 0), 3);
  EXPECT_EQ(Names(b), (V{"b.txt", "a.txt", "sub", "Q:"}));
  EXPECT_EQ(Texts(b.Folders()), (V{t.Dir(), "q:\\sub\\", ""}));
  struct Expect {
    int item;
    DWORD flags;
    int64_t size;
    std::string full;
  } expect[] = {
      {0, FILEINFO_EXISTS | FILEINFO_WRITABLE | FILEINFO_ARCHIVE, 0, "q:\\sub\\b.txt"},
      {1, FILEINFO_EXISTS | FILEINFO_WRITABLE | FILEINFO_ARCHIVE, 4, t.Path("a.txt")},
      {2, FILEINFO_EXISTS | FILEINFO_WRITABLE | FILEINFO_DIRECTORY, -1, t.Path("sub")},
      {3, BROWSE_ITEM_DRIVE | BROWSE_ITEM_DIRECTORY, 0, "Q:"},
  };
  for (const Expect& e : expect) {
    BrowserItem rec;
    ASSERT_TRUE(b.GetItem(e.item, &rec));
    EXPECT_EQ(rec.flags, e.flags) << e.item;
    if (e.size >= 0) {
      EXPECT_EQ(b.GetItemSize(e.item), e.size);
    }
    EXPECT_EQ(b.GetItemName(e.item, true), e.full);
  }
  BrowserItem drive;
  b.GetItem(3, &drive);
  EXPECT_EQ(drive.created | drive.accessed | drive.modified, 0u);
  SysMapDrive('Q', nullptr);
}

TEST(BrowserAddPath, RefusesByItsFlags) {
  Tree t;
  t.File("a.txt");
  t.Folder("sub");
  ASSERT_TRUE(SysMapDrive('Q', t.Dir().c_str()));
  struct Case {
    std::string path;
    DWORD flags;
    bool added;
  } cases[] = {
      {t.Path("*.txt"), 0, false},
      {t.Path("a*"), 0, false},
      {t.Path("missing"), 0, false},
      {t.Path("sub"), BROWSE_ADD_NO_FOLDERS, false},
      {t.Path("sub"), BROWSE_ADD_NO_FILES, true},
      {t.Path("a.txt"), BROWSE_ADD_NO_FILES, false},
      {t.Path("a.txt"), BROWSE_ADD_NO_FOLDERS, true},
      {"Q:", BROWSE_ADD_NO_FOLDERS, false},
      {"q:/", BROWSE_ADD_NO_FILES, true},
  };
  for (const Case& c : cases) {
    CFileBrowser b;
    EXPECT_EQ(b.AddPath(c.path.c_str(), -1, c.flags) >= 0, c.added) << c.path << " " << c.flags;
    EXPECT_EQ(b.GetItemCount(), c.added ? 1 : 0);
  }
  // The same name twice in its folder: refused only when asked.
  CFileBrowser b;
  EXPECT_EQ(b.AddPath(t.Path("a.txt").c_str(), -1, BROWSE_ADD_UNIQUE), 0);
  EXPECT_EQ(b.AddPath(t.Path("a.txt").c_str(), -1, BROWSE_ADD_UNIQUE), -1);
  EXPECT_EQ(b.AddPath(t.Path("a.txt").c_str(), -1, 0), 1);
  EXPECT_EQ(b.GetFolderCount(), 1);
  EXPECT_EQ(b.AddPath(nullptr, -1, 0), -1);
  SysMapDrive('Q', nullptr);
}

TEST(BrowserItems, EmptiedListForgetsTheOpenedFolder) {
  Tree t;
  t.File("a/1.txt");
  t.File("b/x.txt");
  t.File("c/y.txt");
  // Each way of emptying the list: the folders go, and with them the folder
  // the listing was opened on (the first folder, or a collected one behind
  // it), so later paths are whole again.
  for (int kind = 0; kind < 4; ++kind) {
    bool removeAll = kind & 1, collected = kind & 2;
    CFileBrowser b;
    DWORD length = 0;
    if (collected) {
      ASSERT_TRUE(b.Open(t.Dir().c_str(), nullptr, nullptr, BROWSE_COLLECT_FOLDERS | BROWSE_FOLDERS | BROWSE_FILES));
      while (b.GetNextItem(0, &length)) {
      }
      ASSERT_EQ(b.GetFolderCount(), 4);
      ASSERT_TRUE(b.Open(t.Path("c").c_str(), nullptr, nullptr, BROWSE_KEEP_ITEMS | BROWSE_FILES));
      ASSERT_EQ(b.GetFolderCount(), 4);
    } else {
      ASSERT_TRUE(b.Open(t.Path("c").c_str(), nullptr, nullptr, BROWSE_FILES));
      while (b.GetNextItem(0, &length)) {
      }
      ASSERT_EQ(b.GetItemCount(), 1);
    }
    if (removeAll) {
      b.RemoveAllItems();
    } else {
      while (b.GetItemCount() > 0) ASSERT_TRUE(b.RemoveItem(0));
    }
    EXPECT_EQ(b.GetFolderCount(), 0);
    ASSERT_EQ(b.AddPath(t.Path("b/x.txt").c_str(), -1, 0), 0);
    const char* next = b.GetNextItem(2, &length);
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(std::string(next), t.Path("b/x.txt"));
    EXPECT_EQ(length, t.Path("b/x.txt").size());
  }
}

TEST(BrowserItems, MaintenanceIsToldBeforeAndAfter) {
  CFileBrowser b;
  Recorder r;
  ASSERT_TRUE(b.Open(":", nullptr, nullptr, 0));
  r.Attach(b);
  EXPECT_EQ(b.AddItem("a.txt", 0, 0x3, 1, 10, 20, 30, -1), 0);
  EXPECT_EQ(b.AddItem("b", 0, 0x3, 2, 0, 0, 0, 0), 0);
  EXPECT_STREQ(b.GetItemExtension(1), "txt");
  EXPECT_TRUE(b.SetItemText(1, "c.md"));
  BrowserItem rec;
  b.GetItem(1, &rec);
  EXPECT_EQ(rec.extension, -1);
  EXPECT_STREQ(b.GetItemExtension(1), "md");
  EXPECT_FALSE(b.SetItemText(2, "x"));
  EXPECT_FALSE(b.RemoveItem(5));
  EXPECT_TRUE(b.RemoveItem(0));
  EXPECT_EQ(Names(b), (V{"c.md"}));
  EXPECT_EQ(b.GetFolderCount(), 1);
  // The last item gone, the folder list goes too.
  EXPECT_TRUE(b.RemoveItem(0));
  EXPECT_EQ(b.GetFolderCount(), 0);
  b.AddItem("x", 0, 0x3, 0, 0, 0, 0, -1);
  b.RemoveAllItems();
  EXPECT_EQ(b.GetItemCount(), 0);
  EXPECT_EQ(r.calls, (std::vector<Recorder::Call>{
                         {-1, 0, 0xC1}, {0, 1, 0xD1},  // add a.txt
                         {0, 1, 0xC1},  {0, 1, 0xD1},  // add b at 0
                         {1, 2, 0xC1},  {1, 1, 0xD1},  // rename
                         {5, 2, 0xC1},  {5, 0, 0xD1},  // remove 5: fails
                         {0, 2, 0xC1},  {0, 1, 0xD1},  // remove 0
                         {0, 1, 0xC1},  {0, 1, 0xD1},  // remove the last
                         {-1, 0, 0xC1}, {0, 1, 0xD1},  // add x
                         {0, 1, 0xC1},  {0, 1, 0xD1},  // remove all
                     }));
}

TEST(BrowserItems, TimesFallBackAndSizesAddUp) {
  CFileBrowser b;
  b.AddItem("all", 0, 0x3, 5, 10, 20, 30, -1);
  b.AddItem("noModified", 0, 0x3, 6, 10, 20, 0, -1);
  b.AddItem("accessedOnly", 0, 0x3, 7, 0xFFFFFFFF, 20, 0, -1);
  b.AddItem("none", 0, 0x3, 8, 0, 0, 0, -1);
  b.AddItem("folder", 0, 0x13, 1000, 1, 1, 1, -1);
  b.AddItem("share", 0, 0x8000, 1000, 1, 1, 1, -1);
  b.AddItem("big", 0, 0x3, 0x123456789ull, 1, 1, 1, -1);
  struct Case {
    int item, kind;
    int64_t time;
  } cases[] = {
      {0, 0, 30}, {0, 1, 10}, {0, 2, 20}, {0, 3, 30}, {1, 0, 10}, {1, 2, 20}, {2, 0, 20},
      {2, 1, 20}, {3, 0, 0},  {3, 1, 0},  {9, 0, -1}, {-1, 0, -1},
  };
  for (const Case& c : cases) EXPECT_EQ(b.GetItemTime(c.item, c.kind), c.time) << c.item << "/" << c.kind;
  EXPECT_EQ(b.GetItemSize(6), 0x123456789ll);
  EXPECT_EQ(b.GetItemSize(7), -1);
  EXPECT_EQ(b.GetTotalSize(), 5u + 6 + 7 + 8 + 0x123456789ull);
}

TEST(BrowserItems, FindRecordsGiveTheirSizesHighWordsToTheSize) {
  // The high word rides in bits 10-31 of the find record's flags; a file of
  // 64 GiB sets bit 14 there, which must not read as a drive root.
  struct Case {
    DWORD findFlags, sizeLow;
    DWORD flags;
    int64_t size;
  } cases[] = {
      {0x43, 7, 0x43, 7},
      {0x41 | (1u << 10), 0, 0x41, int64_t{1} << 32},
      {0x41 | (16u << 10), 5, 0x41, (int64_t{16} << 32) + 5},
      {0x41 | (0x20u << 10), 0, 0x41, int64_t{0x20} << 32},
      {0x53 | (0x3FFFFFu << 10), 0xFFFFFFFF, 0x53, (int64_t{0x3FFFFF} << 32) + 0xFFFFFFFF},
  };
  for (const Case& c : cases) {
    FileFindInfo info{};
    info.flags = c.findFlags;
    info.size = c.sizeLow;
    info.modified = 99;
    CFileBrowser b;
    ASSERT_EQ(b.AddItem("f", 0, info, -1), 0);
    BrowserItem rec;
    ASSERT_TRUE(b.GetItem(0, &rec));
    EXPECT_EQ(rec.flags, c.flags) << std::hex << c.findFlags;
    EXPECT_EQ(b.GetItemSize(0), c.size) << std::hex << c.findFlags;
    EXPECT_EQ(b.GetItemTime(0), 99);
    EXPECT_EQ(b.GetTotalSize(), (c.flags & FILEINFO_DIRECTORY) ? 0u : static_cast<uint64_t>(c.size));
  }
}

TEST(BrowserItems, UserDataSizeWithinBoundsAndOnlyWhileEmpty) {
  struct Case {
    DWORD size;
    bool ok;
    DWORD kept;
  } cases[] = {
      {0, false, 4}, {3, false, 4}, {4, true, 4}, {5, true, 8}, {8, true, 8},
      {4099, true, 4100}, {4100, true, 4100}, {4101, false, 4}, {0xFFFFFFFF, false, 4},
  };
  for (const Case& c : cases) {
    CFileBrowser b;
    EXPECT_EQ(b.SetUserDataSize(c.size), c.ok) << c.size;
    EXPECT_EQ(b.GetUserDataSize(), c.kept) << c.size;
  }
  CFileBrowser b;
  ASSERT_TRUE(b.SetUserDataSize(16));
  int i = b.AddItem("x.y", 0, 0x3, 77, 1, 2, 3, -1);
  // The caller's bytes start zeroed and do not touch the record.
  std::vector<char> zero(16, 0);
  EXPECT_EQ(std::memcmp(b.GetItemUserData(i), zero.data(), 16), 0);
  std::memset(b.GetItemUserData(i), 0xFF, 16);
  EXPECT_EQ(b.GetItemSize(i), 77);
  EXPECT_EQ(b.GetItemTime(i), 3);
  EXPECT_STREQ(b.GetItemName(i), "x.y");
  EXPECT_FALSE(b.SetUserDataSize(8));
  EXPECT_EQ(b.GetItemUserData(1), nullptr);
}

TEST(BrowserItems, FindItemIgnoresCaseButNotLengthOrFolder) {
  CFileBrowser b;
  b.AddItem("Report-2024.txt", 0, 0x3, 0, 0, 0, 0, -1);
  b.AddItem("report-2024.txt", 1, 0x3, 0, 0, 0, 0, -1);
  b.AddItem("a@", 0, 0x3, 0, 0, 0, 0, -1);
  struct Case {
    const char* name;
    int folder, length, found;
  } cases[] = {
      {"REPORT-2024.TXT", 0, -1, 0}, {"report-2024.txt", 1, -1, 1}, {"report-2024.tx", 0, -1, -1},
      {"report-2024.txtx", 0, 15, 0}, {"report-2024.txt", 2, -1, -1}, {"a`", 0, -1, -1},
      {"A@", 0, -1, 2},
  };
  for (const Case& c : cases) EXPECT_EQ(b.FindItem(c.name, c.folder, c.length), c.found) << c.name;
  EXPECT_EQ(b.FindItem(nullptr, 0, 0), -1);
}

TEST(BrowserItems, ConvertCaseOfNamesAndOnRequestFolders) {
  Tree t;
  t.File("MiXed.Txt");
  CFileBrowser b;
  ASSERT_TRUE(b.Open(t.Dir().c_str(), nullptr, nullptr, BROWSE_FILES));
  while (b.GetNextItem(0, nullptr)) {
  }
  b.ConvertCase(0x2);
  EXPECT_EQ(Names(b), (V{"mixed.txt"}));
  EXPECT_STREQ(b.GetFolderPath(0), t.Dir().c_str());
  b.ConvertCase(0x1 | BROWSE_CASE_FOLDERS);
  EXPECT_EQ(Names(b), (V{"MIXED.TXT"}));
  std::string upper = t.Dir();
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_STREQ(b.GetFolderPath(0), upper.c_str());
  EXPECT_STREQ(b.GetPath(), upper.c_str());
}

}  // namespace
