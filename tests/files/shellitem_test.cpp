#include "files/shellitem.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/netshare.h"
#include "platform/pathsys.h"
#include "platform/shellinfo.h"
#include "shell_test_util.h"

namespace {

using Bytes = std::vector<BYTE>;

// One ID as laid out by hand: u16 size, kind, name, NUL.
Bytes Id(BYTE kind, const std::string& name) {
  size_t cb = 3 + name.size() + 1;
  Bytes id(cb, 0);
  id[0] = BYTE(cb & 0xFF);
  id[1] = BYTE(cb >> 8);
  id[2] = kind;
  for (size_t i = 0; i < name.size(); ++i) id[3 + i] = BYTE(name[i]);
  return id;
}

Bytes Join(std::initializer_list<Bytes> parts, size_t zeros) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  all.insert(all.end(), zeros, 0);
  return all;
}

Bytes ListOf(const CShellItemEnum& e) {
  const BYTE* list = e.AbsoluteList();
  size_t size = e.PrefixLength() + 4;
  if (e.CurrentChild()) size += size_t(e.CurrentChild()[0] | (e.CurrentChild()[1] << 8));
  return Bytes(list, list + size);
}

std::string Name(const CShellItemEnum& e) {
  char name[SHELLITEM_NAME_SIZE];
  return e.GetDisplayName(name) ? name : "<none>";
}

std::vector<std::string> Names(CShellItemEnum& e) {
  std::vector<std::string> names;
  while (e.Next()) names.push_back(Name(e));
  return names;
}

// Moves e to the item of that display name.
bool MoveTo(CShellItemEnum& e, const std::string& name) {
  while (e.Next())
    if (Name(e) == name) return true;
  return false;
}

const std::string kComputer = "Arbeitsplatz";
const std::string kNetwork = "Netzwerksumgebung";

class ShellItemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int letter = 'A'; letter <= 'Z'; ++letter) SysMapDrive(letter, nullptr);
    SysClearShares();
    dir_.File("b.txt", "bytes");
    dir_.File(".hid");
    dir_.Folder("alpha");
    dir_.File("alpha/inner.zlv");
    ASSERT_TRUE(SysMapDrive('M', dir_.path().c_str()));
    tasks_ = SysTaskBlocksLive();
    objects_ = SysShellLiveObjects();
  }
  void TearDown() override {
    EXPECT_EQ(CShellItemEnum::LiveCount(), 0);
    EXPECT_FALSE(CShellItemEnum::HoldsDesktopFolder());
    EXPECT_EQ(SysTaskBlocksLive(), tasks_);
    EXPECT_EQ(SysShellLiveObjects(), objects_);
    SysMapDrive('M', nullptr);
    SysClearShares();
  }
  ShellScratch dir_;
  long tasks_ = 0;
  long objects_ = 0;
};

TEST_F(ShellItemTest, SpecialFolderBufferLayout) {
  CShellItemEnum computer(SYS_CSIDL_DRIVES);
  ASSERT_TRUE(computer.IsOpen());
  Bytes prefix = Id(0x1F, kComputer);
  ASSERT_EQ(prefix.size(), 16u);
  EXPECT_EQ(computer.PrefixLength(), 16u);
  EXPECT_EQ(computer.Capacity(), 16u + 260u);
  EXPECT_EQ(computer.CurrentChild(), nullptr);
  EXPECT_EQ(computer.Parent(), nullptr);
  EXPECT_EQ(ListOf(computer), Join({prefix}, 4));
  ASSERT_TRUE(computer.Next());
  EXPECT_EQ(computer.CurrentChild(), computer.AbsoluteList() + 16);
  Bytes drive = {7, 0, 0x2F, 'M', ':', '\\', 0};
  EXPECT_EQ(Id(0x2F, "M:\\"), drive);
  EXPECT_EQ(ListOf(computer), Join({prefix, drive}, 4));
  EXPECT_EQ(Name(computer), "M:\\");
  EXPECT_EQ(computer.Attributes() & (SHELLITEM_FOLDER | SHELLITEM_FILESYSTEM),
            SHELLITEM_FOLDER | SHELLITEM_FILESYSTEM);
  ASSERT_TRUE(computer.Next());
  EXPECT_EQ(Name(computer), "/");
  EXPECT_EQ(ListOf(computer), Join({prefix, Id(0x2F, "/")}, 4));
  Bytes last = ListOf(computer);
  EXPECT_FALSE(computer.Next());
  EXPECT_EQ(ListOf(computer), last);
  EXPECT_EQ(Name(computer), "/");
}

TEST_F(ShellItemTest, DesktopListsTheComputerAndTheNetwork) {
  CShellItemEnum desktop(SYS_CSIDL_DESKTOP);
  ASSERT_TRUE(desktop.IsOpen());
  EXPECT_EQ(desktop.PrefixLength(), 0u);
  EXPECT_EQ(desktop.Capacity(), 260u);
  EXPECT_EQ(Names(desktop), (std::vector<std::string>{kComputer, kNetwork}));
  CShellItemEnum bad(0x2A);
  EXPECT_FALSE(bad.IsOpen());
  EXPECT_FALSE(bad.Next());
  EXPECT_EQ(bad.AbsoluteList(), nullptr);
}

TEST_F(ShellItemTest, ChildEnumeratorsCarryTheAbsoluteList) {
  CShellItemEnum computer(SYS_CSIDL_DRIVES);
  ASSERT_TRUE(MoveTo(computer, "M:\\"));
  CShellItemEnum drive(computer);
  ASSERT_TRUE(drive.IsOpen());
  EXPECT_EQ(drive.Parent(), &computer);
  Bytes prefix = Join({Id(0x1F, kComputer), Id(0x2F, "M:\\")}, 0);
  EXPECT_EQ(drive.PrefixLength(), prefix.size());
  EXPECT_EQ(drive.Capacity(), prefix.size() + 260);
  // Upper-cased order, hidden entries included.
  EXPECT_EQ(Names(drive), (std::vector<std::string>{".hid", "alpha", "b.txt"}));
  drive.OpenChild(computer);
  ASSERT_TRUE(MoveTo(drive, "alpha"));
  EXPECT_EQ(drive.Attributes() & (SHELLITEM_FOLDER | SHELLITEM_FILESYSTEM),
            SHELLITEM_FOLDER | SHELLITEM_FILESYSTEM);
  CShellItemEnum alpha(drive);
  ASSERT_TRUE(alpha.Next());
  EXPECT_EQ(ListOf(alpha),
            Join({Id(0x1F, kComputer), Id(0x2F, "M:\\"), Id(0x31, "alpha"), Id(0x32, "inner.zlv")}, 4));
  char text[SHELLITEM_PATH_SIZE];
  EXPECT_TRUE(alpha.GetPath(text));
  EXPECT_STREQ(text, "M:\\alpha\\inner.zlv");
  EXPECT_TRUE(alpha.GetTypeName(text));
  EXPECT_STREQ(text, "ZLV-Datei");
  EXPECT_EQ(alpha.GetIconIndex(0), SYS_ICON_FIRST_EXTENSION + 1);
  EXPECT_EQ(alpha.Attributes() & SHELLITEM_FOLDER, 0u);
  // A file is no folder to open.
  CShellItemEnum none(alpha);
  EXPECT_FALSE(none.IsOpen());
  EXPECT_FALSE(none.Next());
  // Opening itself would pull its own item away.
  EXPECT_FALSE(alpha.OpenChild(alpha));
}

TEST_F(ShellItemTest, QuestionsAboutItemsWithoutPaths) {
  CShellItemEnum desktop(SYS_CSIDL_DESKTOP);
  char text[SHELLITEM_PATH_SIZE] = "junk";
  EXPECT_FALSE(desktop.GetPath(text));  // no item yet
  EXPECT_STREQ(text, "");
  EXPECT_EQ(desktop.GetIconIndex(0), -1);
  ASSERT_TRUE(desktop.Next());
  strcpy(text, "junk");
  EXPECT_EQ(desktop.Attributes() & SHELLITEM_FILESYSTEM, 0u);
  EXPECT_FALSE(desktop.GetPath(text));
  EXPECT_STREQ(text, "");
  EXPECT_TRUE(desktop.GetTypeName(text));
  EXPECT_STREQ(text, "Systemordner");
  EXPECT_EQ(desktop.GetIconIndex(1), SYS_ICON_COMPUTER);
  strcpy(text, "junk");
  EXPECT_FALSE(desktop.GetLinkTarget(text));
  EXPECT_STREQ(text, "");
  CShellItem item;
  ASSERT_TRUE(item.Assign(desktop));
  strcpy(text, "junk");
  EXPECT_FALSE(item.GetPath(text));
  EXPECT_STREQ(text, "");
  EXPECT_STREQ(item.DisplayName(), kComputer.c_str());
}

TEST_F(ShellItemTest, KeptItemOutlivesTheEnumerator) {
  CShellItem item;
  Bytes expected;
  {
    CShellItemEnum computer(SYS_CSIDL_DRIVES);
    ASSERT_TRUE(MoveTo(computer, "M:\\"));
    CShellItemEnum drive(computer);
    ASSERT_TRUE(MoveTo(drive, "alpha"));
    ASSERT_TRUE(drive.Next());
    ASSERT_TRUE(item.Assign(drive));
    expected = ListOf(drive);
    EXPECT_FALSE(drive.Next());
    drive.OpenChild(computer);
    EXPECT_TRUE(drive.Next());
  }
  EXPECT_EQ(Bytes(item.List(), item.List() + expected.size()), expected);
  EXPECT_EQ(expected, Join({Id(0x1F, kComputer), Id(0x2F, "M:\\"), Id(0x32, "b.txt")}, 4));
  EXPECT_STREQ(item.DisplayName(), "b.txt");
  EXPECT_STREQ(item.LinkPath(), "");
  char text[SHELLITEM_PATH_SIZE];
  EXPECT_TRUE(item.GetPath(text));
  EXPECT_STREQ(text, "M:\\b.txt");
  EXPECT_TRUE(item.GetTypeName(text));
  EXPECT_STREQ(text, "TXT-Datei");
  EXPECT_EQ(item.GetIconIndex(0), SYS_ICON_FIRST_EXTENSION);
  EXPECT_EQ(item.Attributes() & (SHELLITEM_FILESYSTEM | SHELLITEM_FOLDER), SHELLITEM_FILESYSTEM);
  EXPECT_TRUE(item.Clear());
  EXPECT_EQ(item.List(), nullptr);
  EXPECT_FALSE(item.GetPath(text));
  EXPECT_EQ(item.GetIconIndex(0), -1);
  CShellItemEnum empty;
  EXPECT_FALSE(item.Assign(empty));
}

TEST_F(ShellItemTest, NestedEnumeratorsShareOneDesktopFolder) {
  long fetches = SysShellDesktopFetches();
  EXPECT_FALSE(CShellItemEnum::HoldsDesktopFolder());
  {
    auto desktop = std::make_unique<CShellItemEnum>(SYS_CSIDL_DESKTOP);
    EXPECT_TRUE(CShellItemEnum::HoldsDesktopFolder());
    EXPECT_EQ(SysShellDesktopFetches(), fetches + 1);
    ASSERT_TRUE(MoveTo(*desktop, kComputer));
    auto computer = std::make_unique<CShellItemEnum>(*desktop);
    ASSERT_TRUE(MoveTo(*computer, "M:\\"));
    auto drive = std::make_unique<CShellItemEnum>(*computer);
    ASSERT_TRUE(MoveTo(*drive, "alpha"));
    CShellItemEnum alpha(*drive);
    EXPECT_EQ(CShellItemEnum::LiveCount(), 4);
    EXPECT_EQ(SysShellDesktopFetches(), fetches + 1);
    EXPECT_EQ(alpha.Parent(), drive.get());
    EXPECT_EQ(drive->Parent(), computer.get());
    // The parents may go first: the child holds its own list and folder.
    desktop.reset();
    computer.reset();
    drive.reset();
    EXPECT_TRUE(CShellItemEnum::HoldsDesktopFolder());
    EXPECT_EQ(CShellItemEnum::LiveCount(), 1);
    ASSERT_TRUE(alpha.Next());
    EXPECT_EQ(Name(alpha), "inner.zlv");
    EXPECT_TRUE(alpha.Reset());
    EXPECT_FALSE(alpha.IsOpen());
    EXPECT_EQ(alpha.AbsoluteList(), nullptr);
    EXPECT_EQ(alpha.Parent(), nullptr);
  }
  EXPECT_FALSE(CShellItemEnum::HoldsDesktopFolder());
  CShellItemEnum again;
  EXPECT_TRUE(CShellItemEnum::HoldsDesktopFolder());
  EXPECT_EQ(SysShellDesktopFetches(), fetches + 2);
}

TEST_F(ShellItemTest, LongChildGrowsTheBufferToTheExactSize) {
  std::string longName(255, 'z');
  dir_.File("alpha/" + longName);
  CShellItemEnum computer(SYS_CSIDL_DRIVES);
  ASSERT_TRUE(MoveTo(computer, "M:\\"));
  CShellItemEnum drive(computer);
  ASSERT_TRUE(MoveTo(drive, "alpha"));
  CShellItemEnum alpha(drive);
  uint32_t prefix = alpha.PrefixLength();
  ASSERT_TRUE(MoveTo(alpha, longName));
  EXPECT_EQ(alpha.Capacity(), prefix + 259 + 4);
  EXPECT_EQ(ListOf(alpha), Join({Id(0x1F, kComputer), Id(0x2F, "M:\\"), Id(0x31, "alpha"),
                                 Id(0x32, longName)}, 4));
  char path[SHELLITEM_PATH_SIZE] = "junk";
  EXPECT_FALSE(alpha.GetPath(path));  // M:\alpha\ and 255 characters: too long
  EXPECT_STREQ(path, "");
  ASSERT_TRUE(MoveTo(drive, "b.txt"));
  EXPECT_TRUE(drive.GetPath(path));
  EXPECT_STREQ(path, "M:\\b.txt");
}

TEST_F(ShellItemTest, AppendItemPutsTheChildBehindThePrefix) {
  CShellItemEnum computer(SYS_CSIDL_DRIVES);
  auto* child = static_cast<BYTE*>(SysTaskAlloc(9));
  const BYTE bytes[9] = {7, 0, 0x2F, 'Q', ':', '\\', 0, 0, 0};
  memcpy(child, bytes, 9);
  ASSERT_TRUE(computer.AppendItem(child));
  EXPECT_EQ(ListOf(computer), Join({Id(0x1F, kComputer), Bytes(bytes, bytes + 7)}, 4));
  EXPECT_EQ(computer.Capacity(), 276u);
  // A child larger than the spare room: a buffer of exactly the size needed.
  std::string name(300, 'q');
  Bytes big = Id(0x32, name);
  child = static_cast<BYTE*>(SysTaskAlloc(big.size() + 2));
  memcpy(child, big.data(), big.size());
  child[big.size()] = child[big.size() + 1] = 0;
  ASSERT_TRUE(computer.AppendItem(child));
  EXPECT_EQ(computer.Capacity(), 16u + big.size() + 4);
  EXPECT_EQ(ListOf(computer), Join({Id(0x1F, kComputer), big}, 4));
  CShellItemEnum empty;
  child = static_cast<BYTE*>(SysTaskAlloc(9));
  memcpy(child, bytes, 9);
  EXPECT_FALSE(empty.AppendItem(child));  // nothing open: freed all the same
  EXPECT_FALSE(computer.AppendItem(nullptr));
}

TEST_F(ShellItemTest, LinksGiveTheirTargetAndKeepTheirPath) {
  ASSERT_EQ(symlink("b.txt", dir_.At("link").c_str()), 0);
  ASSERT_EQ(symlink("alpha", dir_.At("folderlink").c_str()), 0);
  CShellItemEnum computer(SYS_CSIDL_DRIVES);
  ASSERT_TRUE(MoveTo(computer, "M:\\"));
  CShellItemEnum drive(computer);
  ASSERT_TRUE(MoveTo(drive, "folderlink"));
  EXPECT_EQ(drive.Attributes() & (SHELLITEM_LINK | SHELLITEM_FOLDER | SHELLITEM_FILESYSTEM),
            SHELLITEM_LINK | SHELLITEM_FILESYSTEM);
  drive.OpenChild(computer);
  ASSERT_TRUE(MoveTo(drive, "link"));
  char text[SHELLITEM_PATH_SIZE];
  EXPECT_TRUE(drive.GetLinkTarget(text));
  EXPECT_EQ(std::string(text), dir_.At("b.txt"));
  EXPECT_TRUE(drive.GetTypeName(text));
  EXPECT_STREQ(text, "Verkn\374pfung");
  EXPECT_EQ(drive.GetIconIndex(0), SYS_ICON_LINK);
  CShellItem item;
  ASSERT_TRUE(item.Assign(drive));
  EXPECT_STREQ(item.DisplayName(), "link");
  EXPECT_STREQ(item.LinkPath(), "M:\\link\\");
  EXPECT_TRUE(item.GetPath(text));
  EXPECT_STREQ(text, "M:\\link\\");
  // A plain file has no link object: success with an empty target.
  drive.OpenChild(computer);
  ASSERT_TRUE(MoveTo(drive, "b.txt"));
  strcpy(text, "junk");
  EXPECT_FALSE(drive.GetLinkTarget(text));
  EXPECT_STREQ(text, "");
}

TEST_F(ShellItemTest, NetworkFolderListsLentShares) {
  ASSERT_TRUE(SysRegisterShare("srv", "data", dir_.path().c_str()));
  ASSERT_TRUE(SysRegisterShare("srv", "C$", dir_.path().c_str()));
  ASSERT_TRUE(SysRegisterShare("srv", "printer", nullptr, SYS_SHARE_PRINTER));
  ASSERT_TRUE(SysRegisterShare("other", "gone", nullptr));
  CShellItemEnum network(SYS_CSIDL_NETWORK);
  EXPECT_EQ(ListOf(network), Join({Id(0x1F, kNetwork)}, 4));
  EXPECT_EQ(Names(network), (std::vector<std::string>{"srv", "other"}));
  network.OpenSpecial(SYS_CSIDL_NETWORK);
  ASSERT_TRUE(MoveTo(network, "srv"));
  char text[SHELLITEM_PATH_SIZE];
  EXPECT_FALSE(network.GetPath(text));
  CShellItemEnum server(network);
  ASSERT_TRUE(server.Next());
  EXPECT_EQ(Name(server), "data");
  EXPECT_EQ(ListOf(server), Join({Id(0x1F, kNetwork), Id(0x41, "srv"), Id(0x42, "data")}, 4));
  EXPECT_TRUE(server.GetPath(text));
  EXPECT_STREQ(text, "\\\\srv\\data");
  EXPECT_FALSE(server.Next());
  CShellItemEnum share(server);
  ASSERT_TRUE(MoveTo(share, "alpha"));
  CShellItemEnum below(share);
  ASSERT_TRUE(below.Next());
  EXPECT_TRUE(below.GetPath(text));
  EXPECT_STREQ(text, "\\\\srv\\data\\alpha\\inner.zlv");
  // A share that reaches nothing is listed but opens nothing.
  network.OpenSpecial(SYS_CSIDL_NETWORK);
  ASSERT_TRUE(MoveTo(network, "other"));
  CShellItemEnum other(network);
  ASSERT_TRUE(other.Next());
  EXPECT_EQ(Name(other), "gone");
  EXPECT_EQ(other.Attributes() & (SHELLITEM_FOLDER | SHELLITEM_FILESYSTEM), SHELLITEM_FOLDER);
  CShellItemEnum gone(other);
  EXPECT_FALSE(gone.IsOpen());
}

}  // namespace
