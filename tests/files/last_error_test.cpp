// The last error that the file operations leave: the one their failing
// platform call set.
#include <gtest/gtest.h>

#include <functional>

#include "files/copyengine.h"
#include "files/fileops.h"
#include "files/stream.h"
#include "platform/sysinfo.h"
#include "stream_test_util.h"

namespace {

TEST(FileOperationsLastError, IsTheFailingCallsCode) {
  ScratchDir dir;
  WriteWholeFile(dir.File("s"), Bytes{1, 2, 3});
  const std::string s = dir.File("s"), none = dir.File("none"), deep = dir.File("missing/dir/t");
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
