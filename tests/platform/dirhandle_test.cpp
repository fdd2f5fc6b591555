// Folders held open by descriptor: what each kind of name opens to, and new
// files that never take a name something already has.
#include "platform/dirhandle.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/fileio.h"
#include "platform/sysinfo.h"

namespace {

// d/, d/f, d/sub/, d/to-dir -> d/sub, d/to-file -> d/f, d/dangling -> nothing.
class DirHandle : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/zelvaro-dirhandle-XXXXXX";
    ASSERT_NE(::mkdtemp(name), nullptr);
    root_ = name;
    ::close(::open((root_ + "/f").c_str(), O_CREAT | O_WRONLY, 0644));
    ::mkdir((root_ + "/sub").c_str(), 0777);
    ::symlink((root_ + "/sub").c_str(), (root_ + "/to-dir").c_str());
    ::symlink((root_ + "/f").c_str(), (root_ + "/to-file").c_str());
    ::symlink((root_ + "/none").c_str(), (root_ + "/dangling").c_str());
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  std::string root_;
};

TEST_F(DirHandle, OpensRealFoldersOnlyAndSaysWhy) {
  struct Case {
    const char* name;
    int error;
  } cases[] = {
      {"sub", SYS_OK},
      {"sub/", SYS_OK},
      {"to-dir", SYS_ERROR_NOT_A_DIRECTORY},
      {"to-dir/", SYS_ERROR_NOT_A_DIRECTORY},  // a trailing separator follows no link either
      {"to-file", SYS_ERROR_NOT_A_DIRECTORY},
      {"dangling", SYS_ERROR_NOT_A_DIRECTORY},
      {"f", SYS_ERROR_NOT_A_DIRECTORY},
      {"none", SYS_ERROR_NOT_FOUND},
      {"f/below", SYS_ERROR_NOT_FOUND},
  };
  int error = -1;
  SysDirectory top = SysDirectory::Open(root_.c_str(), &error);
  ASSERT_TRUE(top.IsOpen());
  for (const Case& c : cases) {
    std::string path = root_ + "/" + c.name;
    SysDirectory byPath = SysDirectory::Open(path.c_str(), &error);
    EXPECT_EQ(error, c.error) << c.name;
    EXPECT_EQ(byPath.IsOpen(), c.error == SYS_OK) << c.name;
    if (std::string(c.name).find('/') != std::string::npos) continue;
    SysDirectory child = top.OpenChild(c.name, &error);
    EXPECT_EQ(error, c.error) << c.name;
    EXPECT_EQ(child.IsOpen(), c.error == SYS_OK) << c.name;
  }
  EXPECT_TRUE(SysIsSymbolicLink((root_ + "/to-dir/").c_str()));
  EXPECT_FALSE(SysIsSymbolicLink((root_ + "/sub").c_str()));
}

// Deletes take names, never what a link names; a folder is refused, and so
// is a file another open holds.
TEST_F(DirHandle, DeletesByNameOnly) {
  int error = -1;
  SysDirectory top = SysDirectory::Open(root_.c_str(), &error);
  int held = FdOpen((root_ + "/f").c_str(), FD_OPEN_WRITE);
  ASSERT_GE(held, 0);
  struct Case {
    const char* name;
    int result;
  } cases[] = {{"sub", SYS_ERROR_ACCESS},
               {"f", 32},
               {"to-file", SYS_OK},
               {"to-dir", SYS_OK},
               {"to-dir", SYS_ERROR_NOT_FOUND}};
  for (const Case& c : cases) EXPECT_EQ(top.DeleteFile(c.name), c.result) << c.name;
  EXPECT_EQ(SysGetLastError(), 2u);
  FdClose(held);
  EXPECT_EQ(top.RemoveDirectory("dangling"), SYS_ERROR_NOT_A_DIRECTORY);
  struct stat st;
  EXPECT_EQ(::stat((root_ + "/f").c_str(), &st), 0);
  EXPECT_EQ(::stat((root_ + "/sub").c_str(), &st), 0);
}

TEST_F(DirHandle, NewFilesNeverTakeATakenName) {
  struct Case {
    const char* name;
    int result;
  } cases[] = {
      {"new", SYS_OK},
      {"new", SYS_ERROR_EXISTS},
      {"f", SYS_ERROR_EXISTS},
      {"sub", SYS_ERROR_EXISTS},
      {"dangling", SYS_ERROR_EXISTS},  // and "none" is not made through it
      {"missing/x", SYS_ERROR_NOT_FOUND},
  };
  for (const Case& c : cases)
    EXPECT_EQ(SysCreateNewFile((root_ + "/" + c.name).c_str()), c.result) << c.name;
  struct stat st;
  EXPECT_NE(::lstat((root_ + "/none").c_str(), &st), 0);
}

}  // namespace
