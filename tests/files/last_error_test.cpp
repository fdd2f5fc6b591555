// The last error that the file operations leave: the one their failing
// platform call set.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "files/copyengine.h"
#include "files/fileops.h"
#include "files/path.h"
#include "files/stream.h"
#include "platform/sysinfo.h"
#include "stream_test_util.h"

namespace {

TEST(FileOperationsLastError, IsTheFailingCallsCode) {
  ScratchDir dir;
  WriteWholeFile(dir.File("s"), Bytes{1, 2, 3});
  const std::string s = dir.File("s"), none = dir.File("none"), deep = dir.File("missing/dir/t");
  const std::string folder = dir.File("folder"), dangling = dir.File("dangling"), longName(4096, 'n');
  ASSERT_EQ(::mkdir(folder.c_str(), 0777), 0);
  ASSERT_EQ(::symlink(none.c_str(), dangling.c_str()), 0);
  const auto copyOntoFolder = [&](DWORD flags) {
    return CopyFileEngine(flags, s.c_str(), folder.c_str(), nullptr, nullptr, nullptr) == COPY_TARGET_UNWRITABLE;
  };
  const struct {
    const char* what;
    std::function<bool()> fails;
    DWORD code;
  } cases[] = {
      {"copy into missing folder",
       [&] { return CopyFileEngine(0, s.c_str(), deep.c_str(), nullptr, nullptr, nullptr) == COPY_TARGET_UNWRITABLE; },
       3},
      {"copy via temporary into missing folder",
       [&] {
         return CopyFileEngine(COPY_VIA_TEMPORARY, s.c_str(), deep.c_str(), nullptr, nullptr, nullptr) ==
                COPY_TARGET_UNWRITABLE;
       },
       3},
      {"copy from missing",
       [&] { return CopyFileEngine(0, none.c_str(), dir.File("t").c_str(), nullptr, nullptr, nullptr) ==
                    COPY_SOURCE_UNREADABLE; },
       2},
      {"copy from missing folder",
       [&] { return CopyFileEngine(0, deep.c_str(), dir.File("t").c_str(), nullptr, nullptr, nullptr) ==
                    COPY_SOURCE_UNREADABLE; },
       3},
      {"write into missing folder", [&] { return !WriteFileData(deep.c_str(), "x", 1, false); }, 3},
      {"append into missing folder", [&] { return !WriteFileData(deep.c_str(), "x", 1, true); }, 3},
      {"read missing", [&] {
         char buffer[8];
         return ReadFileData(none.c_str(), buffer, sizeof buffer) == 0;
       }, 2},
      {"stream over missing", [&] {
         CFileStream stream(4096);
         return !stream.Open(none.c_str(), STREAM_MODE_READ);
       }, 2},
      {"rewrite a folder", [&] { return !WriteFileSafe(folder.c_str(), 0, 0, "x", 1, nullptr, 0); }, 5},
      {"rewrite through a link to nothing", [&] { return !WriteFileSafe(dangling.c_str(), 0, 0, "x", 1, nullptr, 0); }, 2},
      {"rewrite missing", [&] { return !WriteFileSafe(none.c_str(), 0, 0, "x", 1, nullptr, 0); }, 2},
      {"rename onto a name over 4095 bytes", [&] { return !RenameFileSafe(s.c_str(), longName.c_str(), 0, nullptr, 0); },
       206},
      {"exchange a file with a folder",
       [&] {
         return !RenameFileSafe(s.c_str(), folder.c_str(), RENAME_SAFE_EXCHANGE, nullptr, 0) &&
                !RenameFileSafe(folder.c_str(), s.c_str(), RENAME_SAFE_EXCHANGE, nullptr, 0) &&
                GetPathType(folder.c_str()) == PATH_DIRECTORY && GetPathType(s.c_str()) == PATH_FILE;
       },
       5},
      {"copy onto a folder", [&] { return copyOntoFolder(0); }, 5},
      {"copy onto a folder via temporary", [&] { return copyOntoFolder(COPY_VIA_TEMPORARY); }, 5},
      {"move onto a folder", [&] { return copyOntoFolder(COPY_MOVE); }, 5},
      {"stream over a folder", [&] {
         CFileStream stream(4096);
         return !stream.Open(dir.path().c_str(), STREAM_MODE_CREATE);
       }, 5},
  };
  for (const auto& c : cases) {
    SysSetLastError(0xDEAD);
    EXPECT_TRUE(c.fails()) << c.what;
    EXPECT_EQ(SysGetLastError(), c.code) << c.what;
  }
}

}  // namespace
