// Path functions that ask the file system, run against a scratch folder that
// is lent the drive letter D.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "files/path.h"
#include "platform/fileio.h"
#include "platform/netshare.h"
#include "platform/pathsys.h"

namespace {

namespace fs = std::filesystem;

class PathOnDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/zelvaro-path-XXXXXX";
    root_ = mkdtemp(name);
    ASSERT_TRUE(SysMapDrive('D', root_.c_str()));
  }
  void TearDown() override {
    SysMapDrive('D', nullptr);
    std::error_code ec;
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(root_, ec);
  }
  std::string Host(const std::string& rel) const { return root_ + "/" + rel; }
  void Write(const std::string& rel, const std::string& bytes) const {
    std::ofstream(Host(rel), std::ios::binary) << bytes;
  }
  std::string root_;
};

TEST_F(PathOnDisk, GetPathTypeTellsRootsDirectoriesFilesAndNothing) {
  fs::create_directory(Host("dir"));
  Write("dir/f.txt", "hello");
  const struct {
    const char* path;
    int type;
  } cases[] = {
      {"D:\\", PATH_DRIVE_ROOT},          {"d:/", PATH_DRIVE_ROOT},         {"D:", PATH_DRIVE_ROOT},
      {"D:\\dir", PATH_DIRECTORY},        {"D:\\dir\\", PATH_DIRECTORY},    {"D:dir", PATH_DIRECTORY},
      {"D:\\dir\\f.txt", PATH_FILE},      {"D:/dir/f.txt", PATH_FILE},      {"D:\\dir\\g.txt", PATH_NONE},
      {"Q:\\", PATH_NONE},                {"Q:\\dir", PATH_NONE},           {"1:\\dir", PATH_NONE},
      {"", PATH_NONE},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GetPathType(c.path), c.type) << c.path;
    std::u16string w(c.path, c.path + strlen(c.path));
    EXPECT_EQ(GetPathTypeW(w.c_str()), c.type) << c.path;
  }
  EXPECT_EQ(GetPathType(nullptr), PATH_NONE);
  EXPECT_EQ(GetPathType(Host("dir/f.txt").c_str()), PATH_FILE);
  EXPECT_EQ(GetPathType(root_.c_str()), PATH_DIRECTORY);
  const char16_t lone[] = {u'D', u':', u'\\', 0xD800, 0};
  EXPECT_EQ(GetPathTypeW(lone), PATH_NONE);
}

TEST_F(PathOnDisk, CreateDirectoryPathMakesTheMissingLinksOnce) {
  fs::create_directory(Host("one"));
  EXPECT_EQ(CreateDirectoryPath("D:\\one\\two\\six", 0), 1);
  EXPECT_TRUE(fs::is_directory(Host("one/two/six")));
  EXPECT_EQ(CreateDirectoryPath("D:\\one\\two\\six", 0), 2);
  EXPECT_EQ(CreateDirectoryPath("D:\\one\\two\\six\\", 0), 2);
  EXPECT_EQ(CreateDirectoryPath("D:\\", 0), 2);
  EXPECT_EQ(CreateDirectoryPath("Q:\\x", 0), 0);

  // Up to the last separator: the file name is not made a directory.
  EXPECT_EQ(CreateDirectoryPath("D:\\p\\q\\file.txt", PATH_DIRS_TO_LAST_SEPARATOR), 1);
  EXPECT_TRUE(fs::is_directory(Host("p/q")));
  EXPECT_FALSE(fs::exists(Host("p/q/file.txt")));
  // A bare file name has no directory part: nothing to create, and the
  // name itself is not made a directory.
  {
    const fs::path before = fs::current_path();
    fs::current_path(root_);
    EXPECT_EQ(CreateDirectoryPath("bare.txt", PATH_DIRS_TO_LAST_SEPARATOR), 0);
    EXPECT_EQ(CreateDirectoryPathW(u"bare.txt", PATH_DIRS_TO_LAST_SEPARATOR), 0);
    EXPECT_FALSE(fs::exists(Host("bare.txt")));
    fs::current_path(before);
  }
  // Dots behind the last separator do not shift where the directories end.
  EXPECT_EQ(CreateDirectoryPath("D:\\abc\\a\\..", PATH_DIRS_TO_LAST_SEPARATOR), 1);
  EXPECT_TRUE(fs::is_directory(Host("abc/a")));
  EXPECT_FALSE(fs::exists(Host("a")));
  EXPECT_EQ(CreateDirectoryPath("D:\\xyz\\.\\..", 6), 1);
  EXPECT_TRUE(fs::is_directory(Host("xyz")));
  EXPECT_FALSE(fs::exists(Host("x")));
  // A count of leading characters.
  EXPECT_EQ(CreateDirectoryPath("D:\\r\\s\\t", 6), 1);
  EXPECT_TRUE(fs::is_directory(Host("r/s")));
  EXPECT_FALSE(fs::exists(Host("r/s/t")));

  Write("plain", "x");
  EXPECT_EQ(CreateDirectoryPath("D:\\plain", 0), 0);
  EXPECT_EQ(CreateDirectoryPath("D:\\plain\\sub", 0), 0);
  EXPECT_EQ(CreateDirectoryPathW(u"D:\\w\\\u00e4", 0), 1);
  EXPECT_TRUE(fs::is_directory(Host("w/\xC3\xA4")));
  EXPECT_EQ(CreateDirectoryPathW(u"D:\\v\\\u00e4\\name", 4), 1);
  EXPECT_TRUE(fs::is_directory(Host("v")));
  EXPECT_FALSE(fs::exists(Host("v/\xC3\xA4")));
}

TEST_F(PathOnDisk, FileSizesAndTheirFailureValues) {
  Write("five", "12345");
  fs::create_directory(Host("dir"));
  EXPECT_EQ(GetFileSizeByName("D:\\five"), 5);
  EXPECT_EQ(GetFileSizeByNameW(u"D:\\five"), 5);
  EXPECT_EQ(GetFileSizeByName("D:\\dir"), -1);
  EXPECT_EQ(GetFileSizeByName("D:\\none"), -1);
  int64_t size = 0;
  EXPECT_EQ(GetFileSize64ByName("D:\\five", &size), 5);
  EXPECT_EQ(size, 5);
  EXPECT_EQ(GetFileSize64ByName("D:\\dir", &size), -1);
  EXPECT_EQ(size, -1);

  // Sparse files beyond 32 bits: low halves 3 and all ones.
  const struct {
    int64_t length;
    int low;
  } big[] = {{(int64_t(1) << 32) + 3, 3}, {0xFFFFFFFFll, -2}, {(int64_t(1) << 33) - 1, -2}};
  for (const auto& b : big) {
    ASSERT_EQ(truncate((Write("big", ""), Host("big")).c_str(), b.length), 0);
    EXPECT_EQ(GetFileSize64ByName("D:\\big", &size), b.low);
    EXPECT_EQ(size, b.length);
    EXPECT_EQ(GetFileSizeByName("D:\\big"), int(uint32_t(b.length)));
    int fd = FdOpen(Host("big").c_str(), FD_OPEN_READ);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(GetFileSize64(fd, &size), b.low);
    EXPECT_EQ(size, b.length);
    FdClose(fd);
  }
  EXPECT_EQ(GetFileSize64(-1, &size), -1);
  EXPECT_EQ(size, -1);
}

TEST_F(PathOnDisk, OpenFileSizeLeavesThePositionAlone) {
  Write("seven", "1234567");
  FILE* f = fopen(Host("seven").c_str(), "rb");
  ASSERT_NE(f, nullptr);
  fseek(f, 3, SEEK_SET);
  EXPECT_EQ(GetOpenFileSize(f), 7);
  EXPECT_EQ(ftell(f), 3);
  DWORD low = 0, high = 1;
  EXPECT_EQ(GetOpenFileSize64(f, &low, &high), 7);
  EXPECT_EQ(low, 7u);
  EXPECT_EQ(high, 0u);
  fclose(f);
  EXPECT_EQ(GetOpenFileSize(nullptr), -1);
  EXPECT_EQ(GetOpenFileSize64(nullptr, &low, &high), -1);
  EXPECT_EQ(low, 0xFFFFFFFFu);
  EXPECT_EQ(high, 0xFFFFFFFFu);
}

TEST_F(PathOnDisk, DeleteFileForcedRemovesReadOnlyFilesButNoFolders) {
  Write("ro", "x");
  chmod(Host("ro").c_str(), 0444);
  EXPECT_TRUE(DeleteFileForced("D:\\ro"));
  EXPECT_FALSE(fs::exists(Host("ro")));
  EXPECT_FALSE(DeleteFileForced("D:\\ro"));
  fs::create_directory(Host("dir"));
  EXPECT_FALSE(DeleteFileForced("D:\\dir"));
  EXPECT_TRUE(fs::exists(Host("dir")));
  Write("w", "x");
  EXPECT_TRUE(DeleteFileForcedW(u"D:\\w"));
  EXPECT_FALSE(DeleteFileForced(nullptr));
}

TEST_F(PathOnDisk, ServerPathsReachOnlyLentShares) {
  // root_ is /tmp/<leaf>: as a server path, //tmp/<leaf> must not fall
  // through to the host's own /tmp.
  Write("f", "12345");
  const std::string leaf = fs::path(root_).filename().string();
  const std::string file = "\\\\tmp\\" + leaf + "\\f", made = "\\\\tmp\\" + leaf + "\\new";
  const std::string slashed = "//tmp/" + leaf + "/f";
  SysClearShares();
  for (const std::string& path : {file, slashed}) {
    EXPECT_EQ(GetPathType(path.c_str()), PATH_NONE) << path;
    EXPECT_EQ(GetFileSizeByName(path.c_str()), -1) << path;
    EXPECT_FALSE(DeleteFileForced(path.c_str())) << path;
  }
  EXPECT_EQ(CreateDirectoryPath(made.c_str(), 0), 0);
  EXPECT_FALSE(fs::exists(Host("new")));
  EXPECT_TRUE(fs::exists(Host("f")));
  // Lent, the same share reaches the folder.
  ASSERT_TRUE(SysRegisterShare("tmp", leaf.c_str(), root_.c_str()));
  EXPECT_EQ(GetPathType(file.c_str()), PATH_FILE);
  EXPECT_EQ(GetFileSizeByName(slashed.c_str()), 5);
  SysClearShares();
}

TEST_F(PathOnDisk, FullPathDirectoryResolvesDotsAndDriveRelativeNames) {
  const struct {
    const char* path;
    const char* dir;
  } cases[] = {
      {"D:\\a\\..\\b\\c.txt", "D:\\b\\"}, {"D:x", "D:\\"}, {"d:/a/./b/", "d:\\a\\b\\"}, {"D:\\..\\..\\x", "D:\\"},
      {"/usr/./lib/../bin/sh", "/usr/bin/"},
  };
  for (const auto& c : cases) {
    char out[64];
    EXPECT_EQ(GetFullPathDirectory(out, c.path, 64), int(strlen(c.dir))) << c.path;
    EXPECT_STREQ(out, c.dir) << c.path;
    int len = 0;
    char* a = GetFullPathDirectoryAlloc(c.path, &len);
    EXPECT_STREQ(a, c.dir);
    delete[] a;
    std::u16string w(c.path, c.path + strlen(c.path));
    char16_t wout[64];
    EXPECT_EQ(GetFullPathDirectoryW(wout, w.c_str(), 64), int(strlen(c.dir)));
    char16_t* wa = GetFullPathDirectoryAllocW(w.c_str(), &len);
    EXPECT_EQ(std::u16string(wa), std::u16string(c.dir, c.dir + strlen(c.dir)));
    delete[] wa;
    out[0] = '#';
    EXPECT_EQ(GetFullPathDirectory(out, c.path, int(strlen(c.dir))), 0);
    EXPECT_EQ(out[0], 0);
  }
  // A relative path lands in the current directory.
  char out[PATH_MAX + 8];
  std::string cwd = fs::current_path().string() + "/";
  EXPECT_EQ(GetFullPathDirectory(out, "x\\y.txt", int(sizeof out)), int(cwd.size()) + 2);
  EXPECT_EQ(std::string(out), cwd + "x/");
}

TEST(GetPathDrive, LetterOfThePathOrNoneOnAHostPath) {
  EXPECT_EQ(GetPathDrive("c:\\x"), 'C');
  EXPECT_EQ(GetPathDrive("Z:"), 'Z');
  EXPECT_EQ(GetPathDriveW(u"e:"), 'E');
  EXPECT_EQ(GetPathDrive("1:\\x"), -1);
  EXPECT_EQ(GetPathDrive("\xE4:\\x"), -1);
  EXPECT_EQ(GetPathDrive("/usr"), -1);
  EXPECT_EQ(GetPathDrive("relative"), -1);
  EXPECT_EQ(GetPathDrive(nullptr), -1);
}

TEST(ProgramPath, IsTheRunningExecutable) {
  const std::string exe = fs::read_symlink("/proc/self/exe").string();
  const std::string dir = exe.substr(0, exe.rfind('/') + 1);
  char buf[4096];
  EXPECT_EQ(GetProgramPath(buf, sizeof buf), int(exe.size()));
  EXPECT_EQ(std::string(buf), exe);
  EXPECT_EQ(GetPathBesideProgram(buf, sizeof buf), int(dir.size()));
  EXPECT_EQ(std::string(buf), dir);
  char16_t wbuf[4096];
  EXPECT_EQ(GetPathBesideProgramW(wbuf, 4096), int(dir.size()));
  EXPECT_EQ(GetProgramPathW(wbuf, 4096), int(exe.size()));
  CString s;
  EXPECT_EQ(GetProgramPathString(s), int(exe.size()));
  EXPECT_EQ(std::string(s), exe);
  EXPECT_EQ(GetProgramDirectoryString(s), int(dir.size()));
  EXPECT_EQ(std::string(s), dir);
  // Too small a buffer: empty and 0.
  buf[0] = '#';
  EXPECT_EQ(GetProgramPath(buf, int(exe.size())), 0);
  EXPECT_EQ(buf[0], 0);
  EXPECT_EQ(GetPathBesideProgram(buf, 0), 0);
}

}  // namespace
