// The errno to Win32 table, and the last error the file calls leave.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/fileio.h"
#include "platform/findfile.h"
#include "platform/fsops.h"
#include "platform/syserror.h"
#include "platform/sysinfo.h"

namespace {

TEST(SysErrorFromErrno, GivesTheWindowsCodeOfTheSameSituation) {
  const struct {
    int err;
    DWORD code;
  } cases[] = {
      {ENOENT, 2},   {ENOTDIR, 3},   {EMFILE, 4},       {EACCES, 5},   {EPERM, 5},        {EISDIR, 5},
      {EBADF, 6},    {ENOMEM, 8},    {EXDEV, 17},       {EROFS, 19},   {EWOULDBLOCK, 32}, {ETXTBSY, 32},
      {EINVAL, 87},  {ENOSPC, 112},  {ENOTEMPTY, 145},  {EEXIST, 183}, {ENAMETOOLONG, 206},
      {EFBIG, 223},  {EIO, 1117},    {EDQUOT, 1295},    {ELOOP, 1921}, {ECHILD, 31},
  };
  for (const auto& c : cases) EXPECT_EQ(SysErrorFromErrno(c.err), c.code) << c.err;
}

class LastError : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/zelvaro-lasterror-XXXXXX";
    dir_ = ::mkdtemp(name);
    ::close(::creat(File("file").c_str(), 0666));
    ::mkdir(File("folder").c_str(), 0777);
  }
  void TearDown() override {
    ::unlink(File("file").c_str());
    ::rmdir(File("folder").c_str());
    ::rmdir(dir_.c_str());
  }
  std::string File(const char* name) const { return dir_ + "/" + name; }
  std::string dir_;
};

// A missing entry is 2 where its folder exists and 3 where the folder is
// missing too (or is a file); each call sets it itself.
TEST_F(LastError, EachFileCallSetsTheCodeOfItsFailure) {
  const std::string none = File("none"), deep = File("none/x"), underFile = File("file/x");
  const struct {
    const char* what;
    std::function<bool()> fails;
    DWORD code;
  } cases[] = {
      {"open missing", [&] { return FdOpen(none.c_str(), FD_OPEN_READ) == FD_ERROR_NOT_FOUND; }, 2},
      {"open in missing folder",
       [&] { return FdOpen(deep.c_str(), FD_OPEN_WRITE | FD_OPEN_CREATE) == FD_ERROR_NOT_FOUND; }, 3},
      {"open under a file", [&] { return FdOpen(underFile.c_str(), FD_OPEN_READ) == FD_ERROR_NOT_FOUND; }, 3},
      {"open a folder", [&] { return FdOpen(File("folder").c_str(), FD_OPEN_READ) == FD_ERROR_IS_DIRECTORY; }, 5},
      {"create existing",
       [&] { return FdOpen(File("file").c_str(), FD_OPEN_WRITE | FD_OPEN_CREATE | FD_OPEN_EXCLUSIVE) < 0; }, 80},
      {"seek bad origin", [&] { return FdSeek(0, 0, 7) == -1; }, 87},
      {"read bad descriptor", [&] {
         char c;
         return FdRead(-1, &c, 1) == -1;
       }, 6},
      {"attributes", [&] { return SysGetFileAttributes(deep.c_str()) == SYS_ATTR_INVALID; }, 3},
      {"delete missing", [&] { return SysDeleteFile(none.c_str()) != SYS_OK; }, 2},
      {"create folder in missing", [&] { return SysCreateDirectory(deep.c_str()) != SYS_OK; }, 3},
      {"create existing folder", [&] { return SysCreateDirectory(File("folder").c_str()) == SYS_ERROR_EXISTS; }, 183},
      {"move into missing folder",
       [&] { return SysMoveFile(File("file").c_str(), deep.c_str(), true) == SYS_ERROR_PATH_NOT_FOUND; }, 3},
      {"move missing", [&] { return SysMoveFile(none.c_str(), File("n2").c_str(), true) == SYS_ERROR_NOT_FOUND; }, 2},
      {"remove missing folder", [&] { return SysRemoveDirectory(none.c_str()) != SYS_OK; }, 2},
      {"list missing folder", [&] {
         std::vector<SysDirEntry> entries;
         return !SysListDirectory(deep.c_str(), entries);
       }, 3},
      {"times of missing", [&] { return !SysGetFileTimes(none.c_str(), nullptr, nullptr, nullptr); }, 2},
      {"drive not lent", [&] { return FdOpen("Q:\\x", FD_OPEN_READ) == FD_ERROR_NOT_FOUND; }, 3},
  };
  SysMapDrive('Q', nullptr);
  for (const auto& c : cases) {
    SysSetLastError(0xDEAD);
    EXPECT_TRUE(c.fails()) << c.what;
    EXPECT_EQ(SysGetLastError(), c.code) << c.what;
  }
}

}  // namespace
