#include "platform/shellnotify.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

TEST(GetTempFileNameA, FormsPrefixAndHexadecimalNumber) {
  struct Case {
    const char* dir;
    const char* prefix;
    UINT unique;
    UINT result;
    const char* name;
  };
  const Case cases[] = {
      {"/tmp/", "CFR", 1, 1, "/tmp/CFR1.TMP"},
      {"/tmp", "CFR", 0xABCD, 0xABCD, "/tmp/CFRABCD.TMP"},
      {"C:\\Temp\\", "CFRX", 0x1002A, 0x2A, "C:\\Temp\\CFR2A.TMP"},
      {"/t/", "", 0xFFFF, 0xFFFF, "/t/FFFF.TMP"},
      {"/t/", "a", 16, 16, "/t/a10.TMP"},
      {"/t/", "CFR", 0, 0, ""},
      {"/t/", "CFR", 0x10000, 0, ""},
      {"", "CFR", 1, 0, ""},
  };
  for (const Case& c : cases) {
    char out[SHELL_MAX_PATH] = "";
    EXPECT_EQ(GetTempFileNameA(c.dir, c.prefix, c.unique, out), c.result) << c.name;
    if (c.result != 0) {
      EXPECT_STREQ(out, c.name);
    }
  }
  char out[SHELL_MAX_PATH];
  EXPECT_EQ(GetTempFileNameA(nullptr, "CFR", 1, out), 0u);
  EXPECT_EQ(GetTempFileNameA("/t/", nullptr, 1, out), 0u);
}

TEST(GetTempFileNameA, RefusesNamesBeyondTheLongestPath) {
  // 250 + "CFR1.TMP" = 258 characters fit; one more directory character
  // still fits with the terminator; two do not.
  char out[SHELL_MAX_PATH];
  for (size_t len : {250u, 251u, 252u}) {
    const std::string dir = std::string(len - 1, 'd') + "/";
    const UINT result = GetTempFileNameA(dir.c_str(), "CFR", 1, out);
    EXPECT_EQ(result, len + 8 <= 259 ? 1u : 0u) << len;
    if (result != 0) {
      EXPECT_EQ(std::string(out), dir + "CFR1.TMP");
    }
  }
}

struct Heard {
  std::vector<platform::ShellNotification> notes;
  unsigned countSeen = 0;
};

void Listen(void* context, const platform::ShellNotification& note) {
  auto* heard = static_cast<Heard*>(context);
  heard->notes.push_back(note);
  heard->countSeen = platform::ShellNotifyCount();  // the record may be asked from inside
}

TEST(SHChangeNotify, RecordsAndHandsEveryNotificationToTheListener) {
  Heard heard;
  const unsigned before = platform::ShellNotifyCount();
  platform::SetShellNotifyListener(&Listen, &heard);
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_PATHA, "/tmp/a.zlv", "/tmp/b");
  const int idList[2] = {0, 0};
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, idList, nullptr);
  platform::SetShellNotifyListener(nullptr, &heard);
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_PATHA, nullptr, nullptr);

  ASSERT_EQ(heard.notes.size(), 2u);
  EXPECT_EQ(heard.notes[0].eventId, 0x08000000);
  EXPECT_EQ(heard.notes[0].flags, 1u);
  EXPECT_EQ(heard.notes[0].item1, "/tmp/a.zlv");
  EXPECT_EQ(heard.notes[0].item2, "/tmp/b");
  EXPECT_EQ(heard.notes[1].flags, 0u);
  EXPECT_EQ(heard.notes[1].item1, "");  // an item-ID list is not read as text
  EXPECT_EQ(heard.countSeen, before + 2);
  EXPECT_EQ(platform::ShellNotifyCount(), before + 3);
  const platform::ShellNotification last = platform::LastShellNotification();
  EXPECT_EQ(last.flags, 1u);
  EXPECT_EQ(last.item1, "");
}

}  // namespace
