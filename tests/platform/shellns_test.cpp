#include "platform/shellns.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/netshare.h"
#include "platform/pathsys.h"

namespace {

using Bytes = std::vector<BYTE>;

struct Folder {
  SysShellFolder* f = nullptr;
  ~Folder() {
    if (f) f->Release();
  }
};

TEST(SysShellNamespace, SpecialFolderLocations) {
  long tasks = SysTaskBlocksLive();
  struct Case {
    int csidl;
    Bytes bytes;
  } cases[] = {
      {SYS_CSIDL_DESKTOP, {0, 0}},
      {SYS_CSIDL_DRIVES, {16, 0, 0x1F, 'A', 'r', 'b', 'e', 'i', 't', 's', 'p', 'l', 'a', 't', 'z', 0, 0, 0}},
      {SYS_CSIDL_NETWORK, {21, 0, 0x1F, 'N', 'e', 't', 'z', 'w', 'e', 'r', 'k', 's', 'u', 'm', 'g', 'e', 'b',
                           'u', 'n', 'g', 0, 0, 0}},
  };
  for (const Case& c : cases) {
    BYTE* list = nullptr;
    ASSERT_EQ(SysGetSpecialFolderLocation(c.csidl, &list), SYS_S_OK);
    EXPECT_EQ(SysIdListSize(list), c.bytes.size());
    EXPECT_EQ(Bytes(list, list + c.bytes.size()), c.bytes);
    char path[260] = "junk";
    EXPECT_FALSE(SysGetPathFromIdList(list, path));
    EXPECT_STREQ(path, "");
    SysTaskFree(list);
  }
  BYTE* list = reinterpret_cast<BYTE*>(1);
  EXPECT_EQ(SysGetSpecialFolderLocation(5, &list), SYS_E_INVALIDARG);
  EXPECT_EQ(list, nullptr);
  EXPECT_EQ(SysTaskBlocksLive(), tasks);
  EXPECT_EQ(SysIdListSize(nullptr), 0u);
}

TEST(SysShellNamespace, PathsFromListsAndRefusedLists) {
  ASSERT_TRUE(SysMapDrive('P', "/"));
  const BYTE drive[] = {16, 0, 0x1F, 'A', 'r', 'b', 'e', 'i', 't', 's', 'p', 'l', 'a', 't', 'z', 0,
                        7, 0, 0x2F, 'P', ':', '\\', 0,
                        6, 0, 0x31, 'u', 's', 0,
                        6, 0, 0x32, 'r', '1', 0, 0, 0};
  char path[260];
  EXPECT_TRUE(SysGetPathFromIdList(drive, path));
  EXPECT_STREQ(path, "P:\\us\\r1");
  Folder desktop;
  ASSERT_EQ(SysGetDesktopFolder(&desktop.f), SYS_S_OK);
  // A file cannot be bound; lists that break the tree are refused.
  SysShellFolder* out = reinterpret_cast<SysShellFolder*>(1);
  EXPECT_NE(desktop.f->BindToObject(drive, &out), SYS_S_OK);
  EXPECT_EQ(out, nullptr);
  const BYTE rootFirst[] = {7, 0, 0x2F, 'P', ':', '\\', 0, 0, 0};
  const BYTE tooShort[] = {3, 0, 0x31, 0, 0};
  const BYTE unterminated[] = {6, 0, 0x31, 'a', 'b', 'c', 0, 0};
  const BYTE dots[] = {16, 0, 0x1F, 'A', 'r', 'b', 'e', 'i', 't', 's', 'p', 'l', 'a', 't', 'z', 0,
                       7, 0, 0x2F, 'P', ':', '\\', 0, 6, 0, 0x31, '.', '.', 0, 0, 0};
  for (const BYTE* bad : {rootFirst, tooShort, unterminated, dots}) {
    EXPECT_EQ(desktop.f->BindToObject(bad, &out), SYS_E_INVALIDARG);
    EXPECT_FALSE(SysGetPathFromIdList(bad, path));
  }
  SysMapDrive('P', nullptr);
}

TEST(SysShellNamespace, DisplayNameKinds) {
  SysClearShares();
  ASSERT_TRUE(SysRegisterShare("s\xC3\xA9rv", "x", "/"));
  Folder desktop, network;
  ASSERT_EQ(SysGetDesktopFolder(&desktop.f), SYS_S_OK);
  BYTE* location = nullptr;
  ASSERT_EQ(SysGetSpecialFolderLocation(SYS_CSIDL_NETWORK, &location), SYS_S_OK);
  SysStrRet name;
  ASSERT_EQ(desktop.f->GetDisplayNameOf(location, SYS_SHGDN_INFOLDER, &name), SYS_S_OK);
  EXPECT_EQ(name.type, SYS_STRRET_WSTR);
  EXPECT_EQ(std::u16string(name.wide), u"Netzwerksumgebung");
  SysTaskFree(name.wide);
  ASSERT_EQ(desktop.f->BindToObject(location, &network.f), SYS_S_OK);
  SysTaskFree(location);
  SysEnumIdList* items = nullptr;
  ASSERT_EQ(network.f->EnumObjects(SYS_SHCONTF_NONFOLDERS, &items), SYS_S_OK);
  BYTE* id = nullptr;
  EXPECT_EQ(items->Next(&id), SYS_S_FALSE);  // servers are folders
  items->Release();
  ASSERT_EQ(network.f->EnumObjects(SYS_SHCONTF_FOLDERS, &items), SYS_S_OK);
  ASSERT_EQ(items->Next(&id), SYS_S_OK);
  ASSERT_EQ(network.f->GetDisplayNameOf(id, SYS_SHGDN_INFOLDER, &name), SYS_S_OK);
  EXPECT_EQ(name.type, SYS_STRRET_WSTR);
  EXPECT_EQ(std::u16string(name.wide), u"s\u00E9rv");
  SysTaskFree(name.wide);
  SysTaskFree(id);
  items->Release();
  SysClearShares();
}

TEST(SysShellNamespace, ObjectsAreCounted) {
  long live = SysShellLiveObjects();
  long fetches = SysShellDesktopFetches();
  SysShellFolder* desktop = nullptr;
  ASSERT_EQ(SysGetDesktopFolder(&desktop), SYS_S_OK);
  EXPECT_EQ(SysShellDesktopFetches(), fetches + 1);
  desktop->AddRef();
  desktop->Release();
  EXPECT_EQ(SysShellLiveObjects(), live + 1);
  desktop->Release();
  EXPECT_EQ(SysShellLiveObjects(), live);
}

}  // namespace
