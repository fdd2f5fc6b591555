#include "files/shares.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell_test_util.h"

namespace {

std::vector<std::string> AllNames(const char* unc) {
  std::vector<std::string> names;
  ShareEnum* state = OpenShareEnum(unc);
  if (state == nullptr) return {"<null>"};
  char name[128];
  int n;
  while ((n = NextShareName(state, name, sizeof name)) > 0) {
    EXPECT_EQ(size_t(n), strlen(name) + 1) << name;
    names.push_back(name);
  }
  EXPECT_STREQ(name, "");
  EXPECT_TRUE(CloseShareEnum(state));
  return names;
}

class SharesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SysClearShares();
    dir_.Folder("data");
    dir_.Folder("docs");
    dir_.Folder("admin");
    dir_.File("plain");
    const std::string server = "fileserver";
    ASSERT_TRUE(SysRegisterShare(server.c_str(), "ADMIN$", dir_.At("admin").c_str()));
    ASSERT_TRUE(SysRegisterShare(server.c_str(), "data", dir_.At("data").c_str()));
    ASSERT_TRUE(SysRegisterShare(server.c_str(), "C$", dir_.path().c_str()));
    ASSERT_TRUE(SysRegisterShare(server.c_str(), "IPC$", nullptr, SYS_SHARE_IPC | SYS_SHARE_SPECIAL));
    ASSERT_TRUE(SysRegisterShare(server.c_str(), "printer", nullptr, SYS_SHARE_PRINTER));
    ASSERT_TRUE(SysRegisterShare(server.c_str(), "gone", dir_.At("missing").c_str()));
    ASSERT_TRUE(SysRegisterShare(server.c_str(), "file", dir_.At("plain").c_str()));
    ASSERT_TRUE(SysRegisterShare(server.c_str(), "Docs", dir_.At("docs").c_str()));
    buffers_ = SysShareBuffersLive();
  }
  void TearDown() override {
    EXPECT_EQ(SysShareBuffersLive(), buffers_);
    SysClearShares();
  }
  ShellScratch dir_;
  int buffers_ = 0;
};

TEST_F(SharesTest, OnlyVisibleFolderSharesAreNamed) {
  const std::vector<std::string> visible = {"data", "Docs"};
  EXPECT_EQ(AllNames("\\\\fileserver"), visible);
  EXPECT_EQ(AllNames("\\\\FILESERVER\\data\\below"), visible);
  EXPECT_EQ(AllNames("//fileserver/"), visible);
  EXPECT_EQ(AllNames("fileserver"), visible);
}

TEST_F(SharesTest, ServerNamesOutOfRangeGiveNull) {
  std::string longest(64, 's'), tooLong(65, 's');
  ASSERT_TRUE(SysRegisterShare(longest.c_str(), "data", dir_.At("data").c_str()));
  EXPECT_EQ(AllNames(("\\\\" + longest).c_str()), std::vector<std::string>{"data"});
  for (std::string path : {std::string("\\\\"), std::string("//"), std::string("\\\\\\share"),
                           "\\\\" + tooLong, std::string("\\\\nosuchserver"), std::string("")}) {
    EXPECT_EQ(OpenShareEnum(path.c_str()), nullptr) << path;
  }
  EXPECT_EQ(OpenShareEnum(nullptr), nullptr);
}

TEST_F(SharesTest, ListingInBatchesGoesOnWithTheResumeHandle) {
  SysSetShareBatchLimit(3);
  int calls = SysShareEnumCalls();
  EXPECT_EQ(AllNames("\\\\fileserver"), (std::vector<std::string>{"data", "Docs"}));
  EXPECT_EQ(SysShareEnumCalls(), calls + 3);  // 3 + 3 + 2 entries
  SysSetShareBatchLimit(1);
  calls = SysShareEnumCalls();
  EXPECT_EQ(AllNames("\\\\fileserver"), (std::vector<std::string>{"data", "Docs"}));
  EXPECT_EQ(SysShareEnumCalls(), calls + 8);
}

TEST_F(SharesTest, AFailingFollowUpCallEndsTheWalk) {
  SysSetShareBatchLimit(2, 2);  // the second call is refused
  EXPECT_EQ(AllNames("\\\\fileserver"), std::vector<std::string>{"data"});
  SysSetShareBatchLimit(2, 1);  // the first call is refused
  EXPECT_EQ(OpenShareEnum("\\\\fileserver"), nullptr);
}

TEST_F(SharesTest, SmallBuffersAndClosingMidWalk) {
  ShareEnum* state = OpenShareEnum("\\\\fileserver");
  ASSERT_NE(state, nullptr);
  char name[8] = "junk";
  EXPECT_EQ(NextShareName(state, name, 0), 0);
  EXPECT_STREQ(name, "junk");
  EXPECT_EQ(NextShareName(state, name, 4), -1);  // "data" needs five bytes
  EXPECT_STREQ(name, "");
  EXPECT_EQ(NextShareName(state, name, 5), 5);
  EXPECT_STREQ(name, "Docs");
  EXPECT_TRUE(CloseShareEnum(state));
  EXPECT_FALSE(CloseShareEnum(nullptr));
  EXPECT_EQ(NextShareName(nullptr, name, sizeof name), 0);
  EXPECT_STREQ(name, "");
}

TEST_F(SharesTest, EveryCallAfterTheEndGivesZero) {
  ShareEnum* state = OpenShareEnum("\\\\fileserver");
  ASSERT_NE(state, nullptr);
  char name[32];
  while (NextShareName(state, name, sizeof name) > 0) {
  }
  EXPECT_EQ(NextShareName(state, name, sizeof name), 0);
  EXPECT_EQ(NextShareName(state, name, sizeof name), 0);
  CloseShareEnum(state);
}

TEST_F(SharesTest, ANewShareIsSeenByTheNextListing) {
  SysClearShares();
  EXPECT_EQ(OpenShareEnum("\\\\fileserver"), nullptr);
  ASSERT_TRUE(SysRegisterShare("fileserver", "data", dir_.At("data").c_str()));
  EXPECT_FALSE(SysRegisterShare("FileServer", "DATA", dir_.At("docs").c_str()));
  EXPECT_EQ(AllNames("\\\\fileserver"), std::vector<std::string>{"data"});
}

}  // namespace
