#include "platform/shellinfo.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/findfile.h"
#include "platform/pathsys.h"

namespace {

constexpr UINT kByAttributes = SYS_SHGFI_SYSICONINDEX | SYS_SHGFI_TYPENAME | SYS_SHGFI_USEFILEATTRIBUTES;

TEST(SysShellInfo, KnownExtensionsArePinned) {
  const char* expected[] = {"txt", "zlv", "htm", "html", "png", "jpg", "jpeg", "gif",
                            "bmp", "tif", "tiff", "ico", "exe", "lnk", "pdf", "zip"};
  int n = 0;
  while (SysKnownIconExtension(n)) ++n;
  ASSERT_EQ(n, int(sizeof expected / sizeof expected[0]));
  for (int i = 0; i < n; ++i) EXPECT_STREQ(SysKnownIconExtension(i), expected[i]) << i;
  EXPECT_EQ(SysKnownIconExtension(-1), nullptr);
}

TEST(SysShellInfo, IconsAndTypeNamesByAttributes) {
  struct Case {
    const char* path;
    DWORD attributes;
    UINT flags;
    int icon;
    const char* typeName;
  } cases[] = {
      {"a.txt", SYS_ATTR_NORMAL, 0, 16, "TXT-Datei"},
      {"dir\\b.ZLV", SYS_ATTR_NORMAL, 0, 17, "ZLV-Datei"},
      {"c.Zip", SYS_ATTR_ARCHIVE, SYS_SHGFI_SMALLICON, 31, "ZIP-Datei"},
      {"d.qqq", SYS_ATTR_NORMAL, 0, 0, "QQQ-Datei"},
      {"x.d/readme", SYS_ATTR_NORMAL, 0, 0, "Datei"},
      {"trailing.", SYS_ATTR_NORMAL, 0, 0, "Datei"},
      {"folder.txt", SYS_ATTR_DIRECTORY, 0, 1, "Dateiordner"},
      {"folder", SYS_ATTR_DIRECTORY, SYS_SHGFI_OPENICON, 2, "Dateiordner"},
      {"Z:\\", SYS_ATTR_DIRECTORY, 0, 3, "Lokaler Datentr\344ger"},
  };
  for (const Case& c : cases) {
    SysShellFileInfo info{};
    uintptr_t list = SysGetFileInfo(c.path, c.attributes, &info, kByAttributes | c.flags);
    HIMAGELIST expected = (c.flags & SYS_SHGFI_SMALLICON) ? SYS_IMAGELIST_SMALL : SYS_IMAGELIST_LARGE;
    EXPECT_EQ(list, reinterpret_cast<uintptr_t>(expected)) << c.path;
    EXPECT_EQ(info.iconIndex, c.icon) << c.path;
    EXPECT_STREQ(info.typeName, c.typeName) << c.path;
  }
}

TEST(SysShellInfo, DriveTypesFollowTheSeam) {
  ASSERT_TRUE(SysMapDrive('W', "/"));
  struct Case {
    UINT type;
    int icon;
    const char* typeName;
  } cases[] = {
      {0, 3, "Lokaler Datentr\344ger"},
      {SYS_DRIVE_REMOVABLE, 4, "Wechseldatentr\344ger"},
      {SYS_DRIVE_REMOTE, 5, "Netzlaufwerk"},
      {SYS_DRIVE_CDROM, 6, "CD-Laufwerk"},
  };
  for (const Case& c : cases) {
    SysSetDriveType('W', c.type);
    EXPECT_EQ(SysGetDriveType("w:\\"), c.type ? c.type : SYS_DRIVE_FIXED);
    SysShellFileInfo info{};
    ASSERT_NE(SysGetFileInfo("W:\\", 0, &info, SYS_SHGFI_SYSICONINDEX | SYS_SHGFI_TYPENAME), 0u);
    EXPECT_EQ(info.iconIndex, c.icon);
    EXPECT_STREQ(info.typeName, c.typeName);
  }
  SysSetDriveType('W', 0);
  SysMapDrive('W', nullptr);
  EXPECT_EQ(SysGetDriveType("W:\\"), SYS_DRIVE_NO_ROOT_DIR);
  EXPECT_EQ(SysGetDriveType("W:\\x"), SYS_DRIVE_NO_ROOT_DIR);
  SysShellFileInfo info{};
  EXPECT_EQ(SysGetFileInfo("W:\\", 0, &info, SYS_SHGFI_SYSICONINDEX), 0u);
  EXPECT_EQ(SysGetFileInfo("/no/such/file", 0, &info, SYS_SHGFI_TYPENAME), 0u);
  EXPECT_EQ(SysGetFileInfo(nullptr, 0, &info, SYS_SHGFI_TYPENAME), 0u);
  EXPECT_EQ(SysGetFileInfo("a.txt", 0, nullptr, SYS_SHGFI_TYPENAME), 0u);
}

TEST(SysShellInfo, EmptyListIsTheDesktop) {
  const BYTE empty[2] = {0, 0};
  SysShellFileInfo info{};
  EXPECT_EQ(SysGetFileInfoOfList(empty, &info, SYS_SHGFI_SYSICONINDEX | SYS_SHGFI_TYPENAME |
                                                   SYS_SHGFI_PIDL | SYS_SHGFI_SMALLICON),
            reinterpret_cast<uintptr_t>(SYS_IMAGELIST_SMALL));
  EXPECT_EQ(info.iconIndex, SYS_ICON_DESKTOP);
  EXPECT_STREQ(info.typeName, "Systemordner");
  const BYTE broken[4] = {2, 0, 0, 0};  // an ID too short to hold a kind
  EXPECT_EQ(SysGetFileInfoOfList(broken, &info, SYS_SHGFI_TYPENAME), 0u);
}

DWORD FixedClock() { return 0xFFFFFFF0u; }

TEST(SysShellInfo, TickSourceCanBeReplaced) {
  SysSetTickSource(FixedClock);
  EXPECT_EQ(SysGetTickCount(), 0xFFFFFFF0u);
  SysSetTickSource(nullptr);
  DWORD a = SysGetTickCount(), b = SysGetTickCount();
  EXPECT_LE(b - a, 1000u);
  char out[8] = "x";
  EXPECT_EQ(SysGetSystemDirectory(out, sizeof out), 0);
  EXPECT_STREQ(out, "");
}

}  // namespace
