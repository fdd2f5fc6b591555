#include "files/filefind.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/findfile.h"
#include "platform/pathsys.h"
#include "shell_test_util.h"

namespace {

struct statx StatOf(const std::string& path) {
  struct statx sx {};
  EXPECT_EQ(statx(AT_FDCWD, path.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &sx), 0);
  return sx;
}

void SetTimes(const std::string& path, time_t access, time_t write) {
  struct timespec times[2] = {{access, 0}, {write, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

std::vector<std::string> FindAll(const std::string& pattern, int* error = nullptr) {
  std::vector<std::string> names;
  FileFindInfo info;
  int code = 0;
  HANDLE search = FindFirstFileInfo(pattern.c_str(), &info, &code);
  if (error) *error = search ? 0 : code;
  if (search == nullptr) return names;
  do names.push_back(info.name);
  while (FindNextFileInfo(search, &info) == 0);
  EXPECT_EQ(FindCloseInfo(search), 0);
  return names;
}

class FileFindTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(dir_.path().empty());
    dir_.File("a.txt", "hello");
    dir_.File("B.TXT");
    dir_.File("readme", std::string(1000, 'x'));
    dir_.File("x.tar.gz");
    dir_.File(".hidden");
    dir_.File("abc.t");
    dir_.File("\xC3\x9c" "bung.txt");  // UTF-8 U+00DC
    dir_.Folder("dir1");
  }
  ShellScratch dir_;
};

TEST_F(FileFindTest, RecordOfAFileMatchesStat) {
  std::string path = dir_.At("a.txt");
  SetTimes(path, 1000000000, 1234567890);
  FileFindInfo info;
  memset(&info, 0x5A, sizeof info);
  ASSERT_EQ(GetFileFindInfo(path.c_str(), &info), 0);
  struct statx sx = StatOf(path);
  EXPECT_EQ(info.flags, FILEINFO_EXISTS | FILEINFO_WRITABLE | FILEINFO_ARCHIVE);
  EXPECT_EQ(info.size, 5u);
  EXPECT_EQ(info.modified, 1234567890u);
  EXPECT_EQ(info.accessed, 1000000000u);
  uint64_t created = (sx.stx_mask & STATX_BTIME) ? sx.stx_btime.tv_sec : sx.stx_mtime.tv_sec;
  EXPECT_EQ(info.created, created);
}

TEST_F(FileFindTest, FlagBitsFollowTheHostFacts) {
  ASSERT_EQ(chmod(dir_.At("B.TXT").c_str(), 0444), 0);
  ASSERT_EQ(mkfifo(dir_.At("pipe").c_str(), 0644), 0);
  struct Case {
    const char* name;
    uint32_t flags;
  } cases[] = {
      {"B.TXT", FILEINFO_EXISTS | FILEINFO_ARCHIVE},
      {".hidden", FILEINFO_EXISTS | FILEINFO_WRITABLE | FILEINFO_ARCHIVE | FILEINFO_HIDDEN},
      {"dir1", FILEINFO_EXISTS | FILEINFO_WRITABLE | FILEINFO_DIRECTORY},
      {"pipe", FILEINFO_EXISTS | FILEINFO_WRITABLE | FILEINFO_SYSTEM},
  };
  for (const Case& c : cases) {
    FileFindInfo info;
    ASSERT_EQ(GetFileFindInfo(dir_.At(c.name).c_str(), &info), 0) << c.name;
    EXPECT_EQ(info.flags, c.flags) << c.name;
    EXPECT_EQ(info.size, 0u) << c.name;
  }
}

TEST_F(FileFindTest, SizeHighWordSitsAboveTheFlagBits) {
  std::string path = dir_.At("big");
  int fd = open(path.c_str(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0);
  uint64_t size = (uint64_t(0xABC) << 32) + 0x12345678;
  bool grown = ftruncate(fd, off_t(size)) == 0;
  close(fd);
  if (!grown) GTEST_SKIP() << "the file system holds no sparse file of 11 TiB";
  FileFindInfo info;
  ASSERT_EQ(GetFileFindInfo(path.c_str(), &info), 0);
  EXPECT_EQ(info.size, 0x12345678u);
  EXPECT_EQ(info.flags, (0xABCu << 10) | FILEINFO_EXISTS | FILEINFO_WRITABLE | FILEINFO_ARCHIVE);
}

TEST_F(FileFindTest, AttributeQueryErrorsClearSizeAndName) {
  dir_.File("plain");
  struct Case {
    std::string path;
    int result;
  } cases[] = {
      {dir_.At("missing.txt"), -3},
      {dir_.At("nofolder/missing.txt"), -7},
      {dir_.At("plain/below"), -7},
      {"", -6},
      {dir_.At("*.txt"), -6},
      {"R:\\not\\lent.txt", -7},
  };
  SysMapDrive('R', nullptr);
  for (const Case& c : cases) {
    FileFindInfo info;
    info.size = 77;
    strcpy(info.name, "junk");
    EXPECT_EQ(GetFileFindInfo(c.path.c_str(), &info), c.result) << c.path;
    EXPECT_EQ(info.size, 0u) << c.path;
    EXPECT_STREQ(info.name, "") << c.path;
  }
  EXPECT_EQ(GetFileFindInfo(dir_.At("a.txt").c_str(), nullptr), -1);
  FileFindInfo info;
  EXPECT_EQ(GetFileFindInfo(nullptr, &info), -6);
}

TEST_F(FileFindTest, PatternsMatchAsTheWindowsFindDoes) {
  // Upper-cased order: ".HIDDEN" < "A.TXT" < "ABC.T" < "B.TXT" < "DIR1" <
  // "README" < "X.TAR.GZ" < "\xC3\x9c..." (bytes compared unsigned).
  const std::string u = "\xC3\x9c" "bung.txt";
  struct Case {
    const char* pattern;
    std::vector<std::string> names;
  } cases[] = {
      {"*", {".hidden", "a.txt", "abc.t", "B.TXT", "dir1", "readme", "x.tar.gz", u}},
      {"*.*", {".hidden", "a.txt", "abc.t", "B.TXT", "dir1", "readme", "x.tar.gz", u}},
      {"*.txt", {"a.txt", "B.TXT", u}},
      {"*.TXT", {"a.txt", "B.TXT", u}},
      {"?.txt", {"a.txt", "B.TXT"}},
      {"?bung.txt", {u}},
      {"*.", {"dir1", "readme"}},
      {"readme.*", {"readme"}},
      {"x.tar.*", {"x.tar.gz"}},
      {"*.gz", {"x.tar.gz"}},
      {"A*", {"a.txt", "abc.t"}},
      {"??????", {"readme"}},
      {"*e*", {".hidden", "readme"}},
      {"a.txt", {"a.txt"}},
      {"A.TXT", {"a.txt"}},
      {"*.t", {"abc.t"}},
      {"dir1", {"dir1"}},
  };
  for (const Case& c : cases) {
    int error = 0;
    EXPECT_EQ(FindAll(dir_.At(c.pattern), &error), c.names) << c.pattern;
    EXPECT_EQ(error, 0) << c.pattern;
  }
}

TEST_F(FileFindTest, FoundRecordsCarryTheWholeName) {
  std::string longName(255, 'n');
  longName.replace(250, 5, ".long");
  dir_.File(longName, "12345678");
  FileFindInfo info;
  int error = 0;
  HANDLE search = FindFirstFileInfo(dir_.At("nnn*").c_str(), &info, &error);
  ASSERT_NE(search, nullptr);
  EXPECT_EQ(std::string(info.name), longName);
  EXPECT_EQ(info.size, 8u);
  EXPECT_EQ(info.flags, FILEINFO_EXISTS | FILEINFO_WRITABLE | FILEINFO_ARCHIVE);
  EXPECT_EQ(FindCloseInfo(search), 0);
}

TEST_F(FileFindTest, FindFailuresGiveTheirCodes) {
  dir_.File("plain");
  struct Case {
    std::string pattern;
    int error;
  } cases[] = {
      {dir_.At("nomatch*"), -3},
      {dir_.At("missing.txt"), -3},
      {dir_.path() + "/", -3},
      {dir_.At("plain/*"), -7},
      {dir_.At("nofolder/*"), -6},
      {dir_.At("d*/x"), -6},
      {"", -6},
  };
  for (const Case& c : cases) {
    FileFindInfo info;
    int error = 99;
    EXPECT_EQ(FindFirstFileInfo(c.pattern.c_str(), &info, &error), nullptr) << c.pattern;
    EXPECT_EQ(error, c.error) << c.pattern;
    EXPECT_EQ(FindFirstFileInfo(c.pattern.c_str(), &info, nullptr), nullptr) << c.pattern;
  }
  int error = 99;
  EXPECT_EQ(FindFirstFileInfo(dir_.At("*").c_str(), nullptr, &error), nullptr);
  EXPECT_EQ(error, -1);
}

TEST_F(FileFindTest, SuccessLeavesTheErrorAlone) {
  FileFindInfo info;
  int error = 12345;
  HANDLE search = FindFirstFileInfo(dir_.At("*").c_str(), &info, &error);
  ASSERT_NE(search, nullptr);
  EXPECT_EQ(error, 12345);
  EXPECT_EQ(FindCloseInfo(search), 0);
}

TEST_F(FileFindTest, HandleRules) {
  int open = SysOpenFindCount();
  FileFindInfo info;
  int error = 0;
  HANDLE search = FindFirstFileInfo(dir_.At("*.txt").c_str(), &info, &error);
  ASSERT_NE(search, nullptr);
  EXPECT_EQ(SysOpenFindCount(), open + 1);
  EXPECT_EQ(FindNextFileInfo(search, nullptr), -1);
  for (uintptr_t k = 1; k <= 32; ++k)
    EXPECT_EQ(FindNextFileInfo(reinterpret_cast<HANDLE>(~uintptr_t(0) - (k - 1)), &info), -1) << k;
  EXPECT_EQ(FindNextFileInfo(reinterpret_cast<HANDLE>(~uintptr_t(0) - 32), &info), -3);
  EXPECT_EQ(FindNextFileInfo(nullptr, &info), -3);
  EXPECT_EQ(FindNextFileInfo(search, &info), 0);
  EXPECT_EQ(FindNextFileInfo(search, &info), 0);
  EXPECT_EQ(FindNextFileInfo(search, &info), -3);
  EXPECT_EQ(FindNextFileInfo(search, &info), -3);
  EXPECT_EQ(FindCloseInfo(nullptr), -1);
  EXPECT_EQ(FindCloseInfo(search), 0);
  EXPECT_EQ(FindCloseInfo(search), -1);
  EXPECT_EQ(FindNextFileInfo(search, &info), -3);
  EXPECT_EQ(SysOpenFindCount(), open);
}

TEST_F(FileFindTest, EntriesDeletedDuringASearchArePassedOver) {
  FileFindInfo info;
  int error = 0;
  HANDLE search = FindFirstFileInfo(dir_.At("*.txt").c_str(), &info, &error);
  ASSERT_NE(search, nullptr);
  EXPECT_STREQ(info.name, "a.txt");
  ASSERT_EQ(unlink(dir_.At("B.TXT").c_str()), 0);
  EXPECT_EQ(FindNextFileInfo(search, &info), 0);
  EXPECT_STREQ(info.name, "\xC3\x9c" "bung.txt");
  EXPECT_EQ(FindNextFileInfo(search, &info), -3);
  FindCloseInfo(search);
}

TEST_F(FileFindTest, LentDrivesAndSharesAreSearched) {
  ASSERT_TRUE(SysMapDrive('Q', dir_.path().c_str()));
  EXPECT_EQ(FindAll("Q:\\*.txt"), (std::vector<std::string>{"a.txt", "B.TXT", "\xC3\x9c" "bung.txt"}));
  EXPECT_EQ(FindAll("q:/dir*"), std::vector<std::string>{"dir1"});
  EXPECT_EQ(FindAll("Q:readme"), std::vector<std::string>{"readme"});
  FileFindInfo info;
  EXPECT_EQ(GetFileFindInfo("Q:\\readme", &info), 0);
  EXPECT_EQ(info.size, 1000u);
  EXPECT_EQ(GetFileFindInfo("Q:\\", &info), 0);
  EXPECT_EQ(info.flags & FILEINFO_DIRECTORY, FILEINFO_DIRECTORY);
  SysMapDrive('Q', nullptr);
  int error = 0;
  EXPECT_TRUE(FindAll("Q:\\*", &error).empty());
  EXPECT_EQ(error, -6);
}

TEST(FileFindPath, GetFullPathEmptiesTheBufferFirst) {
  char buffer[8] = "keep";
  EXPECT_EQ(GetFullPath("/a/b", buffer, 0), 0u);
  EXPECT_STREQ(buffer, "keep");
  EXPECT_EQ(GetFullPath("/a/./b/../c", buffer, sizeof buffer), 4u);
  EXPECT_STREQ(buffer, "/a/c");
  EXPECT_EQ(GetFullPath("/a/very/long/path", buffer, sizeof buffer), 0u);
  EXPECT_STREQ(buffer, "");
  char drive[16];
  EXPECT_EQ(GetFullPath("C:\\x\\..\\y", drive, sizeof drive), 4u);
  EXPECT_STREQ(drive, "C:\\y");
}

TEST(FileFindCompare, ComparatorsOrderTheFirstValue) {
  struct Case {
    int64_t a, b;
    int i32, u32, i16, u16;
  } cases[] = {
      {1, 2, -1, -1, -1, -1},
      {2, 1, 1, 1, 1, 1},
      {7, 7, 0, 0, 0, 0},
      {-1, 1, -1, 1, -2, 65534},
      {-32768, 32767, -1, 1, -65535, 1},
      {0x7FFFFFFF, -0x7FFFFFFF - 1, 1, -1, -1, 65535},
  };
  for (const Case& c : cases) {
    int32_t a32 = int32_t(c.a), b32 = int32_t(c.b);
    int16_t a16 = int16_t(c.a), b16 = int16_t(c.b);
    EXPECT_EQ(CompareRecordInt32(nullptr, &a32, &b32), c.i32) << c.a << " " << c.b;
    EXPECT_EQ(CompareRecordUInt32(nullptr, &a32, &b32), c.u32) << c.a << " " << c.b;
    EXPECT_EQ(CompareRecordInt16(nullptr, &a16, &b16), c.i16) << c.a << " " << c.b;
    EXPECT_EQ(CompareRecordUInt16(nullptr, &a16, &b16), c.u16) << c.a << " " << c.b;
  }
}

}  // namespace
