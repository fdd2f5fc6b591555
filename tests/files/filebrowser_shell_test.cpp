// Network folders and the shell namespace under the browser: a server's
// shares, folders below a share, the network folder walked by display names,
// shell items with their links, and the type texts and icons of items.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "filebrowser_test_util.h"
#include "files/filebrowser.h"
#include "files/filefind.h"
#include "files/iconcache.h"
#include "files/shellitem.h"
#include "platform/netshare.h"
#include "platform/pathsys.h"
#include "platform/shellinfo.h"
#include "platform/shellns.h"

using browser_test::Names;
using browser_test::Recorder;
using browser_test::Tree;
namespace fs = std::filesystem;

namespace {

using V = std::vector<std::string>;

V Listing(CFileBrowser& b, int mode) {
  V out;
  while (const char* p = b.GetNextItem(mode, nullptr)) out.emplace_back(p);
  std::sort(out.begin(), out.end());
  return out;
}

// Server "srv" with the shares docs and pics, an administrative share and
// one that reaches nothing.
struct Network {
  Tree docs, pics;
  Network() {
    SysClearShares();
    docs.File("a.txt", 5);
    docs.File("sub/b.md", 7);
    pics.File("p.png", 1);
    EXPECT_TRUE(SysRegisterShare("srv", "docs", docs.Dir().c_str()));
    EXPECT_TRUE(SysRegisterShare("srv", "pics", pics.Dir().c_str()));
    EXPECT_TRUE(SysRegisterShare("srv", "ADMIN$", docs.Dir().c_str()));
    EXPECT_TRUE(SysRegisterShare("srv", "gone", nullptr));
  }
  ~Network() { SysClearShares(); }
};

TEST(BrowserNetwork, ServerPathListsItsVisibleShares) {
  Network net;
  CFileBrowser b;
  Recorder r;
  r.Attach(b);
  ASSERT_TRUE(b.Open("\\\\srv", nullptr, nullptr, BROWSE_FOLDERS | BROWSE_SHELL));
  EXPECT_STREQ(b.GetPath(), "\\\\srv\\");
  r.calls.clear();
  EXPECT_EQ(Listing(b, 1), (V{"\\\\srv\\docs", "\\\\srv\\pics"}));
  // Each share is told as it arrives, inside the reading's two calls.
  EXPECT_EQ(r.calls, (std::vector<Recorder::Call>{{0, 0, 0xB1}, {0, 1, 0xD1}, {1, 1, 0xD1}, {0, 2, 0xE1},
                                                  {0, 2, 0xB1}, {0, 2, 0xE1}}));
  for (int i = 0; i < 2; ++i) {
    BrowserItem rec;
    ASSERT_TRUE(b.GetItem(i, &rec));
    EXPECT_EQ(rec.flags, BROWSE_ITEM_NETWORK | BROWSE_ITEM_DIRECTORY);
    EXPECT_EQ(rec.size | rec.sizeHigh | rec.created | rec.accessed | rec.modified, 0u);
    EXPECT_EQ(b.GetItemIconIndex(i, 0), SYS_ICON_FOLDER);
  }
  EXPECT_EQ(b.GetTotalSize(), 0u);
  // Without the shell flag a bare server is no folder.
  EXPECT_FALSE(b.Open("\\\\srv", nullptr, nullptr, BROWSE_FOLDERS));
  EXPECT_FALSE(b.Open("\\\\nosuch", nullptr, nullptr, BROWSE_FOLDERS | BROWSE_SHELL));
}

TEST(BrowserNetwork, SharesCollectedAreReadInTurn) {
  Network net;
  CFileBrowser b;
  b.SetSortMode(BROWSE_SORT_NAME | BROWSE_SORT_DESCENDING);
  ASSERT_TRUE(b.Open("//SRV/", nullptr, nullptr,
                     BROWSE_FILES | BROWSE_FOLDERS | BROWSE_COLLECT_FOLDERS | BROWSE_SHELL | BROWSE_KEEP_SORTED));
  V expect{"docs", "pics"};
  for (const auto& e : fs::recursive_directory_iterator(net.docs.Dir())) {
    expect.push_back("docs\\" + fs::relative(e.path(), net.docs.Dir()).string());
  }
  for (const auto& e : fs::recursive_directory_iterator(net.pics.Dir())) {
    expect.push_back("pics\\" + fs::relative(e.path(), net.pics.Dir()).string());
  }
  for (auto& p : expect) std::replace(p.begin(), p.end(), '/', '\\');
  std::sort(expect.begin(), expect.end());
  EXPECT_EQ(Listing(b, 2), expect);
  // Kept in order as they came: shares, then folders, then files, each by
  // name descending.
  V names = Names(b);
  EXPECT_EQ(V(names.begin(), names.begin() + 3), (V{"pics", "docs", "sub"}));
  EXPECT_EQ(V(names.begin() + 3, names.end()), (V{"p.png", "b.md", "a.txt"}));
}

TEST(BrowserNetwork, FoldersBelowASharePathAreFileSystemFolders) {
  Network net;
  for (DWORD shell : {DWORD{0}, BROWSE_SHELL}) {
    CFileBrowser b;
    ASSERT_TRUE(b.Open("\\\\srv\\docs\\sub", nullptr, nullptr, BROWSE_FILES | shell)) << shell;
    EXPECT_STREQ(b.GetPath(), "\\\\srv\\docs\\sub\\");
    EXPECT_EQ(Listing(b, 1), (V{"\\\\srv\\docs\\sub\\b.md"}));
    BrowserItem rec;
    ASSERT_TRUE(b.GetItem(0, &rec));
    EXPECT_EQ(rec.shellItem, nullptr);
    EXPECT_EQ(b.GetItemSize(0), 7);
    ASSERT_TRUE(b.Open("//srv/docs/*.TXT", nullptr, nullptr, BROWSE_FILES | shell));
    EXPECT_EQ(Listing(b, 0), (V{"a.txt"}));
  }
}

TEST(BrowserNetwork, NetworkFolderListsServersAsShellItems) {
  Network net;
  ASSERT_TRUE(SysRegisterShare("other", "x", net.pics.Dir().c_str()));
  long liveBefore = SysShellLiveObjects();
  {
    CFileBrowser b;
    ASSERT_TRUE(b.Open("\\\\", nullptr, nullptr, BROWSE_FOLDERS | BROWSE_FILES | BROWSE_SHELL | BROWSE_TYPE_TEXTS));
    EXPECT_STREQ(b.GetPath(), "\\\\");
    EXPECT_EQ(Listing(b, 1), (V{"\\\\other", "\\\\srv"}));
    for (int i = 0; i < 2; ++i) {
      BrowserItem rec;
      ASSERT_TRUE(b.GetItem(i, &rec));
      EXPECT_NE(rec.shellItem, nullptr);
      EXPECT_TRUE(rec.flags & FILEINFO_DIRECTORY);
      EXPECT_GE(rec.typeIndex, 0);
      EXPECT_STREQ(b.GetItemTypeText(i), "Computer");
      EXPECT_EQ(b.GetItemIconIndex(i, 0), SYS_ICON_SERVER);
    }
    // The same through the network folder's own name.
    ASSERT_TRUE(b.Open("\\\\Netzwerksumgebung", nullptr, nullptr, BROWSE_FOLDERS | BROWSE_SHELL));
    EXPECT_EQ(Listing(b, 0), (V{"other", "srv"}));
  }
  EXPECT_EQ(SysShellLiveObjects(), liveBefore);
  EXPECT_EQ(CShellItemEnum::LiveCount(), 0);
}

TEST(BrowserNetwork, WalkingTheNetworkFolderDown) {
  Network net;
  net.docs.File("sub/deeper/c.txt", 2);
  CFileBrowser b;
  ASSERT_TRUE(b.Open("\\\\", nullptr, nullptr,
                     BROWSE_FOLDERS | BROWSE_FILES | BROWSE_COLLECT_FOLDERS | BROWSE_SHELL));
  // The namespace shows a share that reaches nothing; the share listing
  // passes it over.
  V expect{"srv", "srv\\docs", "srv\\pics", "srv\\gone", "srv\\docs\\a.txt", "srv\\docs\\sub", "srv\\docs\\sub\\b.md",
           "srv\\docs\\sub\\deeper", "srv\\docs\\sub\\deeper\\c.txt", "srv\\pics\\p.png"};
  std::sort(expect.begin(), expect.end());
  EXPECT_EQ(Listing(b, 2), expect);
  // Shell items of the file system carry the file system's facts.
  int i = b.FindItem("c.txt", b.GetFolderCount() - 1, -1);
  ASSERT_GE(i, 0);
  EXPECT_EQ(b.GetItemSize(i), 2);
  EXPECT_EQ(b.GetItemTime(i), net.docs.Modified("sub/deeper/c.txt"));
  BrowserItem rec;
  b.GetItem(i, &rec);
  EXPECT_NE(rec.shellItem, nullptr);
  EXPECT_EQ(rec.flags, FILEINFO_EXISTS | FILEINFO_WRITABLE | FILEINFO_ARCHIVE);
  EXPECT_STREQ(b.GetItemTypeText(i), "TXT-Datei");
}

TEST(BrowserNetwork, AddNetworkFolderResolvesDisplayNames) {
  Network net;
  CFileBrowser b;
  ASSERT_TRUE(b.Open(":", nullptr, nullptr, BROWSE_FOLDERS | BROWSE_FILES));
  int server = b.AddNetworkFolder("\\\\Netzwerksumgebung\\SRV");
  ASSERT_EQ(server, 1);
  // The folder is spelled as the network names it.
  EXPECT_STREQ(b.GetFolderPath(server), "\\\\srv\\");
  EXPECT_EQ(b.ReadShellFolder(server), 3);
  EXPECT_EQ(Names(b), (V{"docs", "pics", "gone"}));
  EXPECT_STREQ(b.GetItemTypeText(0), "Freigabe");
  EXPECT_EQ(b.GetItemIconIndex(0, 0), SYS_ICON_SHARE);
  // Below a share the file system takes over.
  int sub = b.AddNetworkFolder("\\\\srv\\docs\\sub");
  EXPECT_STREQ(b.GetFolderPath(sub), "\\\\srv\\docs\\sub\\");
  EXPECT_EQ(b.ReadFileFolder(sub), 1);
  EXPECT_EQ(b.AddNetworkFolder("\\\\"), 3);
  EXPECT_STREQ(b.GetFolderPath(3), "\\\\");
  struct Refused {
    std::string path;
  } refused[] = {
      {"\\\\nosuch"}, {"\\\\srv\\nosuch"}, {"\\\\srv\\docs\\a.txt"}, {"\\\\a\\b\\c\\d\\e\\f\\g"},
      {"\\\\srv\\" + std::string(600, 'x')},
  };
  for (const Refused& r : refused) EXPECT_EQ(b.AddNetworkFolder(r.path.c_str()), -1) << r.path;
  EXPECT_EQ(b.AddNetworkFolder(nullptr), -1);
  EXPECT_EQ(b.GetFolderCount(), 4);
}

TEST(BrowserShell, LinksKeepTheirTargetsAsSecondTexts) {
  Network net;
  net.docs.File("target.txt", 3);
  fs::create_symlink(net.docs.Path("target.txt"), net.docs.Path("link"));
  CFileBrowser b;
  ASSERT_TRUE(b.Open("\\\\", nullptr, nullptr, BROWSE_FILES | BROWSE_FOLDERS | BROWSE_COLLECT_FOLDERS | BROWSE_SHELL));
  Listing(b, 0);
  int i = -1;
  for (int f = 0; f < b.GetFolderCount() && i < 0; ++f) i = b.FindItem("link", f, -1);
  ASSERT_GE(i, 0);
  EXPECT_STREQ(b.GetItemName(i, true), "\\\\srv\\docs\\link");
  BrowserItem rec;
  b.GetItem(i, &rec);
  ASSERT_NE(rec.secondText, nullptr);
  EXPECT_EQ(std::string(rec.secondText), fs::canonical(net.docs.Path("target.txt")).string());
  EXPECT_EQ(b.GetItemIconIndex(i, 0), SYS_ICON_LINK);
}

TEST(BrowserTypes, TypeTextsAndTheTypeKey) {
  CFileBrowser b;
  b.AddItem("b.txt", 0, 0x3, 0, 0, 0, 0, -1);
  b.AddItem("c", 0, 0x3, 0, 0, 0, 0, -1);
  b.AddItem("a.zip", 0, 0x3, 0, 0, 0, 0, -1);
  b.AddItem("A.TXT", 0, 0x3, 0, 0, 0, 0, -1);
  b.AddItem("dir.zip", 0, 0x13, 0, 0, 0, 0, -1);
  b.AddItem("aaa", 0, 0x13, 0, 0, 0, 0, -1);
  struct Case {
    int item;
    const char* type;
  } cases[] = {{0, "TXT-Datei"}, {1, "Datei"}, {2, "ZIP-Datei"}, {3, "TXT-Datei"}, {4, "Dateiordner"}};
  for (const Case& c : cases) EXPECT_STREQ(b.GetItemTypeText(c.item), c.type) << c.item;
  b.SetSortMode(BROWSE_SORT_TYPE);
  b.Sort();
  EXPECT_EQ(Names(b), (V{"aaa", "dir.zip", "c", "A.TXT", "b.txt", "a.zip"}));
  b.SetSortMode(BROWSE_SORT_TYPE | BROWSE_SORT_NO_FOLDERS_FIRST | BROWSE_SORT_DESCENDING);
  b.Sort();
  EXPECT_EQ(Names(b), (V{"a.zip", "b.txt", "A.TXT", "dir.zip", "aaa", "c"}));
  EXPECT_EQ(b.GetItemTypeText(9), nullptr);
}

TEST(BrowserTypes, DriveRootsAreNamedAsDrives) {
  Tree t;
  ASSERT_TRUE(SysMapDrive('Q', t.Dir().c_str()));
  CFileBrowser b;
  ASSERT_EQ(b.AddPath("Q:", -1, 0), 0);
  EXPECT_STREQ(b.GetItemTypeText(0), "Lokaler Datentr\344ger");
  EXPECT_EQ(b.GetItemIconIndex(0, 0), SYS_ICON_DRIVE_FIXED);
  SysMapDrive('Q', nullptr);
}

TEST(BrowserIcons, OwnIconsByNameOthersOncePerExtension) {
  Tree t;
  for (const char* f : {"one.qqz", "two.QQZ", "report.html", "page.htm", "dir.qqz/x"}) t.File(f);
  CFileBrowser b;
  ASSERT_TRUE(b.Open(t.Dir().c_str(), nullptr, nullptr, BROWSE_FILES | BROWSE_FOLDERS));
  while (b.GetNextItem(0, nullptr)) {
  }
  int html = -1;
  for (int i = 0; SysKnownIconExtension(i); ++i) {
    if (std::strcmp(SysKnownIconExtension(i), "html") == 0) html = SYS_ICON_FIRST_EXTENSION + i;
  }
  ASSERT_GE(html, 0);
  struct Case {
    const char* name;
    DWORD flags;
    int icon;
    long queries;  // new questions to the shell
  } cases[] = {
      {"one.qqz", 0, SYS_ICON_FILE, 1},       {"two.QQZ", 0, SYS_ICON_FILE, 0},
      {"one.qqz", 1, SYS_ICON_FILE, 1},       {"two.QQZ", 1, SYS_ICON_FILE, 0},
      {"report.html", 0, html, 1},            {"report.html", 0, html, 1},
      {"dir.qqz", 0, SYS_ICON_FOLDER, 1},     {"dir.qqz", 2, SYS_ICON_FOLDER_OPEN, 1},
      {"two.QQZ", 0, SYS_ICON_FILE, 0},
  };
  // A folder named like a file type neither takes nor spoils its icon.
  g_fileIconCache.Clear();
  for (const Case& c : cases) {
    int i = b.FindItem(c.name, 0, -1);
    ASSERT_GE(i, 0) << c.name;
    long before = SysShellInfoQueries();
    EXPECT_EQ(b.GetItemIconIndex(i, c.flags), c.icon) << c.name << " " << c.flags;
    EXPECT_EQ(SysShellInfoQueries() - before, c.queries) << c.name << " " << c.flags;
  }
  EXPECT_EQ(b.GetItemIconIndex(99, 0), -1);
}

}  // namespace
