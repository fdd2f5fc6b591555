// File-system services reached through the drive mapping, the records of a
// file's facts, the temporary folder and the injected failures.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/fileio.h"
#include "platform/fsops.h"
#include "platform/netshare.h"
#include "platform/pathsys.h"
#include "platform/sysinfo.h"

namespace {

class MappedDrive : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/zelvaro-fsops-XXXXXX";
    dir_ = ::mkdtemp(name);
    ASSERT_EQ(::mkdir((dir_ + "/sub").c_str(), 0777), 0);
    ASSERT_TRUE(SysMapDrive('Q', dir_.c_str()));
  }
  void TearDown() override {
    SysMapDrive('Q', nullptr);
    SysClearFaults();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  std::string Read(const std::string& host) {
    std::ifstream in(host, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::string dir_;
};

TEST_F(MappedDrive, FdOpenTakesDriveLettersAndBackslashesAsThePathFunctionsDo) {
  int fd = FdOpen("Q:\\sub\\a.txt", FD_OPEN_WRITE | FD_OPEN_CREATE | FD_OPEN_TRUNCATE);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(FdWrite(fd, "abc", 3), 3);
  ASSERT_EQ(FdClose(fd), 0);
  EXPECT_EQ(Read(dir_ + "/sub/a.txt"), "abc");
  // Every spelling of the same file opens it: lower-case letter, '/', a host
  // path with '\', and the plain POSIX path as before.
  for (std::string path : {std::string("q:/sub/a.txt"), std::string("Q:sub\\a.txt"), dir_ + "\\sub\\a.txt",
                           dir_ + "/sub/a.txt"}) {
    fd = FdOpen(path.c_str(), FD_OPEN_READ);
    ASSERT_GE(fd, 0) << path;
    char buffer[8] = {};
    EXPECT_EQ(FdRead(fd, buffer, 8), 3) << path;
    EXPECT_STREQ(buffer, "abc");
    FdClose(fd);
  }
  std::u16string wide = u"Q:\\sub\\a.txt";
  fd = FdOpenW(wide.c_str(), FD_OPEN_READ);
  EXPECT_GE(fd, 0);
  if (fd >= 0) FdClose(fd);
  // A letter that is not lent names nothing; it never falls back to a file
  // called "R:" in the current folder.
  EXPECT_EQ(FdOpen("R:\\sub\\a.txt", FD_OPEN_READ), FD_ERROR_NOT_FOUND);
  EXPECT_EQ(FdOpen("Q:\\sub", FD_OPEN_READ), FD_ERROR_IS_DIRECTORY);
  // A lent share reaches its folder too.
  ASSERT_TRUE(SysRegisterShare("server", "docs", (dir_ + "/sub").c_str(), 0));
  fd = FdOpen("\\\\server\\docs\\a.txt", FD_OPEN_READ);
  EXPECT_GE(fd, 0);
  if (fd >= 0) FdClose(fd);
  SysClearShares();
  EXPECT_EQ(FdOpen("\\\\server\\docs\\a.txt", FD_OPEN_READ), FD_ERROR_NOT_FOUND);
  ASSERT_EQ(::chmod((dir_ + "/sub/a.txt").c_str(), 0444), 0);
  EXPECT_TRUE(FdClearReadOnly("Q:\\sub\\a.txt"));
  struct stat st;
  ASSERT_EQ(::stat((dir_ + "/sub/a.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST_F(MappedDrive, MovesListsAndTimesGoThroughTheMapping) {
  std::ofstream(dir_ + "/sub/a.txt") << "x";
  EXPECT_EQ(SysMoveFile("Q:\\sub\\a.txt", "Q:\\b.txt", false), SYS_OK);
  EXPECT_EQ(Read(dir_ + "/b.txt"), "x");
  EXPECT_EQ(SysMoveFile("Q:\\b.txt", "R:\\b.txt", false), SYS_ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(SysMoveFile("Q:\\none", "Q:\\c", false), SYS_ERROR_NOT_FOUND);
  std::ofstream(dir_ + "/c.txt") << "y";
  EXPECT_EQ(SysMoveFile("Q:\\b.txt", "Q:\\c.txt", false), SYS_ERROR_EXISTS);
  EXPECT_EQ(SysMoveFile("Q:\\b.txt", "Q:\\c.txt", true), SYS_OK);
  EXPECT_EQ(Read(dir_ + "/c.txt"), "x");

  std::vector<SysDirEntry> entries;
  int error = -1;
  ASSERT_TRUE(SysListDirectory("Q:\\", entries, &error));
  EXPECT_EQ(error, SYS_OK);
  EXPECT_EQ(entries.size(), 2u);  // c.txt and sub
  EXPECT_FALSE(SysListDirectory("Q:\\none", entries, &error));
  EXPECT_EQ(error, SYS_ERROR_NOT_FOUND);

  const uint64_t ticks = 116444736000000000ull + 1500000000ull * 10000000ull;
  ASSERT_TRUE(SysSetFileTimes("Q:\\c.txt", &ticks, nullptr, nullptr));
  struct stat st;
  ASSERT_EQ(::stat((dir_ + "/c.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1500000000);
  uint64_t written = 0;
  ASSERT_TRUE(SysGetFileTimes("q:/c.txt", &written, nullptr, nullptr));
  EXPECT_EQ(written, ticks);
  EXPECT_EQ(SysRemoveDirectory("Q:\\sub"), SYS_OK);
  EXPECT_TRUE(SysIsRegularFile("Q:\\c.txt"));
}

TEST(SysGetTempPath, TakesAnAbsoluteTmpdirThatIsAFolder) {
  const char* saved = std::getenv("TMPDIR");
  std::string keep = saved ? saved : "";
  char name[] = "/tmp/zelvaro-tmpdir-XXXXXX";
  std::string folder = ::mkdtemp(name);
  std::string slashForm = folder + "/";
  struct Case {
    const char* value;  // null: unset
    std::string expected;
  } cases[] = {
      {nullptr, "/tmp/"},
      {folder.c_str(), folder + "/"},
      {slashForm.c_str(), folder + "/"},
      {"relative/dir", "/tmp/"},
      {"/no/such/folder", "/tmp/"},
  };
  for (const Case& c : cases) {
    if (c.value) ::setenv("TMPDIR", c.value, 1);
    else ::unsetenv("TMPDIR");
    char out[512];
    EXPECT_EQ(SysGetTempPath(out, sizeof out), int(c.expected.size())) << (c.value ? c.value : "unset");
    EXPECT_EQ(std::string(out), c.expected);
  }
  ::unsetenv("TMPDIR");
  char small[5] = "xxxx";
  EXPECT_EQ(SysGetTempPath(small, 5), 0);  // "/tmp/" needs six
  EXPECT_EQ(small[0], 0);
  EXPECT_EQ(SysGetTempPath(small, 0), 0);
  if (saved) ::setenv("TMPDIR", keep.c_str(), 1);
  ::rmdir(folder.c_str());
}

TEST(SysGetEnvironmentVariable, TellsUnsetFromEmpty) {
  std::string value = "old";
  ::setenv("ZELVARO_TEST_VAR", "", 1);
  EXPECT_TRUE(SysGetEnvironmentVariable("ZELVARO_TEST_VAR", value));
  EXPECT_EQ(value, "");
  ::setenv("ZELVARO_TEST_VAR", "a;b:c", 1);
  EXPECT_TRUE(SysGetEnvironmentVariable("ZELVARO_TEST_VAR", value));
  EXPECT_EQ(value, "a;b:c");
  ::unsetenv("ZELVARO_TEST_VAR");
  EXPECT_FALSE(SysGetEnvironmentVariable("ZELVARO_TEST_VAR", value));
  EXPECT_FALSE(SysGetEnvironmentVariable(nullptr, value));
}

// Where the file system has no rename that refuses to replace (network
// shares), a move without replace still never replaces, and still moves.
TEST_F(MappedDrive, MoveWithoutReplaceWhereTheFileSystemHasNoSuchRename) {
  ASSERT_EQ(::mkdir((dir_ + "/d").c_str(), 0755), 0);
  std::ofstream(dir_ + "/a") << "A";
  std::ofstream(dir_ + "/b") << "B";
  struct Case {
    const char *from, *to;
    int result;
    const char* listing;  // the names left, in order
  } cases[] = {
      {"Q:\\a", "Q:\\b", SYS_ERROR_EXISTS, "a b d sub"},
      {"Q:\\a", "Q:\\sub", SYS_ERROR_EXISTS, "a b d sub"},
      {"Q:\\d", "Q:\\b", SYS_ERROR_EXISTS, "a b d sub"},
      {"Q:\\a", "Q:\\c", SYS_OK, "b c d sub"},
      {"Q:\\d", "Q:\\e", SYS_OK, "b c e sub"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.from) + " to " + c.to);
    SysInjectFault(SysFault::NoReplace, 0);
    EXPECT_EQ(SysMoveFile(c.from, c.to, false), c.result);
    if (c.result != SYS_OK) { EXPECT_EQ(SysGetLastError(), DWORD(c.result)); }
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    std::string listing;
    for (const std::string& name : names) listing += (listing.empty() ? "" : " ") + name;
    EXPECT_EQ(listing, c.listing);
  }
  EXPECT_EQ(Read(dir_ + "/b"), "B");
  EXPECT_EQ(Read(dir_ + "/c"), "A");
}

TEST_F(MappedDrive, AnInjectedFailureStrikesOnlyTheCallItWasAimedAt) {
  std::string file = dir_ + "/f";
  std::ofstream(file) << "x";
  SysInjectFault(SysFault::Move, 1);
  EXPECT_EQ(SysMoveFile(file.c_str(), (dir_ + "/g").c_str(), false), SYS_OK);
  EXPECT_EQ(SysMoveFile((dir_ + "/g").c_str(), file.c_str(), false), SYS_ERROR_ACCESS);
  EXPECT_EQ(SysMoveFile((dir_ + "/g").c_str(), file.c_str(), false), SYS_OK);

  SysInjectFault(SysFault::Open, 0);
  EXPECT_EQ(FdOpen(file.c_str(), FD_OPEN_READ), FD_ERROR_ACCESS);
  int fd = FdOpen(file.c_str(), FD_OPEN_READWRITE);
  ASSERT_GE(fd, 0);
  SysInjectFault(SysFault::Read, 0);
  char c;
  EXPECT_EQ(FdRead(fd, &c, 1), -1);
  EXPECT_EQ(FdRead(fd, &c, 1), 1);
  SysInjectFault(SysFault::Write, 0);
  EXPECT_EQ(FdWrite(fd, "y", 1), -1);
  EXPECT_EQ(FdWrite(fd, "y", 1), 1);
  FdClose(fd);

  SysInjectFault(SysFault::CreateDirectory, 0);
  EXPECT_EQ(SysCreateDirectory("Q:\\d"), SYS_ERROR_ACCESS);
  EXPECT_EQ(SysCreateDirectory("Q:\\d"), SYS_OK);
  std::vector<SysDirEntry> entries;
  int error = SYS_OK;
  SysInjectFault(SysFault::List, 0);
  EXPECT_FALSE(SysListDirectory("Q:\\", entries, &error));
  EXPECT_EQ(error, SYS_ERROR_ACCESS);
  EXPECT_TRUE(SysListDirectory("Q:\\", entries, &error));
  SysInjectFault(SysFault::Delete, 0);
  SysClearFaults();
  EXPECT_EQ(SysDeleteFile("Q:\\f"), SYS_OK);
}

}  // namespace

// Tick counts at both ends: a time before 1970 goes both ways unchanged,
// and the largest count is a far future (clamped by the file system), not
// a time wrapped round to 1601.
TEST(SysFileTimes, ConvertTicksAtBothEnds) {
  char name[] = "/tmp/zelvaro-fsops-XXXXXX";
  ASSERT_NE(::mkdtemp(name), nullptr);
  std::string path = std::string(name) + "/t";
  std::ofstream(path) << "x";
  const uint64_t y1960 = 113288544000000000ull;  // 1960-01-01 00:00:00 UTC, -315619200 s
  ASSERT_TRUE(SysSetFileTimes(path.c_str(), &y1960, nullptr, &y1960));
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, -315619200);
  EXPECT_EQ(st.st_atim.tv_sec, -315619200);
  uint64_t written = 0, accessed = 0;
  ASSERT_TRUE(SysGetFileTimes(path.c_str(), &written, nullptr, &accessed));
  EXPECT_EQ(written, y1960);
  EXPECT_EQ(accessed, y1960);
  for (uint64_t ticks : {uint64_t(1) << 63, UINT64_MAX}) {
    SysSetFileTimes(path.c_str(), &ticks, nullptr, nullptr);
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_GT(st.st_mtim.tv_sec, 4102444800) << ticks;  // after 2100-01-01
    ASSERT_TRUE(SysGetFileTimes(path.c_str(), &written, nullptr, nullptr));
    EXPECT_GT(written, 116444736000000000ull + 4102444800ull * 10000000ull) << ticks;
  }
  ::unlink(path.c_str());
  ::rmdir(name);
}

TEST(SysTicksFromHostTime, ClampsAtBothEndsOfTheTickRange) {
  struct Case {
    int64_t seconds;
    long nanoseconds;
    uint64_t ticks;
  } cases[] = {
      {INT64_MIN, 0, 0},
      {-11644473601, 999999999, 0},
      {-11644473600, 0, 0},  // 1601-01-01 00:00:00
      {0, 0, 116444736000000000ull},
      {1, 100, 116444736010000001ull},
      {1833029933769, 999999999, 18446744073699999999ull},  // the last second that fits
      {1833029933770, 0, UINT64_MAX},
      {INT64_MAX, 999999999, UINT64_MAX},
  };
  for (const Case& c : cases) EXPECT_EQ(SysTicksFromHostTime(c.seconds, c.nanoseconds), c.ticks) << c.seconds;
}
