// Whole-file writes and reads, and content comparison.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "files/copyengine.h"
#include "files/fileops.h"
#include "platform/fsops.h"
#include "platform/syserror.h"
#include "platform/sysinfo.h"
#include "stream_test_util.h"

namespace {

TEST(WriteFileData, RoundTripsEmptySmallAndLargeFiles) {
  ScratchDir dir;
  for (size_t size : {size_t(0), size_t(1), size_t(4095), size_t(4096), size_t(3 << 20) + 7}) {
    Bytes data = RandomBytes(uint32_t(size), size);
    std::string path = dir.File("f" + std::to_string(size));
    ASSERT_TRUE(WriteFileData(path.c_str(), data.data(), int64_t(size), false)) << size;
    EXPECT_EQ(ReadWholeFile(path), data) << size;
    Bytes back(size + 2, 0xEE);
    EXPECT_EQ(ReadFileData(path.c_str(), back.data(), int64_t(back.size())), int64_t(size));
    EXPECT_TRUE(std::equal(data.begin(), data.end(), back.begin()));
    EXPECT_EQ(back[size], 0);
    EXPECT_EQ(back[size + 1], 0);
  }
}

TEST(WriteFileData, TruncatesOnRewriteAndExtendsOnAppend) {
  ScratchDir dir;
  std::string path = dir.File("a");
  WriteWholeFile(path, Bytes{'o', 'l', 'd', '!'});
  ASSERT_TRUE(WriteFileData(path.c_str(), "xy", 2, false));
  EXPECT_EQ(ReadWholeFile(path), (Bytes{'x', 'y'}));
  ASSERT_TRUE(WriteFileData(path.c_str(), "z", 1, true));
  ASSERT_TRUE(WriteFileData(path.c_str(), "", 0, true));
  EXPECT_EQ(ReadWholeFile(path), (Bytes{'x', 'y', 'z'}));
  std::string fresh = dir.File("fresh");
  ASSERT_TRUE(WriteFileData(fresh.c_str(), "q", 1, true));
  EXPECT_EQ(ReadWholeFile(fresh), (Bytes{'q'}));
  ASSERT_TRUE(WriteFileData(fresh.c_str(), nullptr, 0, false));
  EXPECT_TRUE(ReadWholeFile(fresh).empty());
}

TEST(WriteFileData, FailsWithoutTouchingTheTarget) {
  ScratchDir dir;
  std::string path = dir.File("keep");
  Bytes old{'k', 'e', 'e', 'p'};
  WriteWholeFile(path, old);
  EXPECT_FALSE(WriteFileData(path.c_str(), "x", -1, false));
  EXPECT_FALSE(WriteFileData(dir.File("missing/x").c_str(), "x", 1, false));
  EXPECT_FALSE(WriteFileData(dir.File("missing/x").c_str(), "x", 1, true));
  EXPECT_FALSE(WriteFileData("/dev/full", "x", 1, false));
  EXPECT_FALSE(WriteFileData("/dev/full", "x", 1, true));
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  EXPECT_FALSE(WriteFileData(path.c_str(), "new", 3, false));
  EXPECT_EQ(ReadWholeFile(path), old);
  // Nothing but the target is left in the folder.
  DIR* d = ::opendir(dir.path().c_str());
  int count = 0;
  while (struct dirent* e = ::readdir(d)) count += e->d_name[0] != '.';
  ::closedir(d);
  EXPECT_EQ(count, 1);
}

// A full disk that refuses the temporary must not turn a rewrite into one
// in place, which cuts the old file before the new one is written.
TEST(WriteFileData, FullDiskLeavesTheOldFileWhole) {
  ScratchDir dir;
  const Bytes old{'o', 'l', 'd'};
  WriteWholeFile(dir.File("source"), Bytes{'n', 'e', 'w', '!'});
  const struct {
    const char* name;
    bool (*write)(const std::string& target, const std::string& source);
  } writes[] = {
      {"WriteFileData", [](const std::string& t, const std::string&) { return WriteFileData(t.c_str(), "new!", 4, false); }},
      {"CopyFileEngine", [](const std::string& t, const std::string& s) {
         return CopyFileEngine(0, s.c_str(), t.c_str(), nullptr, nullptr, nullptr) == COPY_OK;
       }},
  };
  for (const auto& w : writes) {
    SCOPED_TRACE(w.name);
    const std::string target = dir.File("target");
    WriteWholeFile(target, old);
    SysInjectFault(SysFault::Unnamed, 0);
    SysInjectFault(SysFault::Temporary, 0);
    SysSetLastError(0);
    EXPECT_FALSE(w.write(target, dir.File("source")));
    EXPECT_EQ(SysGetLastError(), SYS_ERROR_DISK_FULL);
    SysClearFaults();
    EXPECT_EQ(ReadWholeFile(target), old);
    EXPECT_TRUE(w.write(target, dir.File("source")));  // room again
    EXPECT_EQ(ReadWholeFile(target), (Bytes{'n', 'e', 'w', '!'}));
  }
}

TEST(ReadFileData, KeepsTwoBytesForTheTerminator) {
  ScratchDir dir;
  std::string path = dir.File("hundred");
  Bytes data = RandomBytes(7, 100);
  WriteWholeFile(path, data);
  Bytes buffer(10, 0xEE);
  EXPECT_EQ(ReadFileData(path.c_str(), buffer.data(), 10), 8);
  EXPECT_TRUE(std::equal(data.begin(), data.begin() + 8, buffer.begin()));
  EXPECT_EQ(buffer[8], 0);
  EXPECT_EQ(buffer[9], 0);
  buffer.assign(4, 0xEE);
  EXPECT_EQ(ReadFileData(path.c_str(), buffer.data(), 1), 0);
  EXPECT_EQ(buffer[0], 0);
  EXPECT_EQ(buffer[1], 0xEE);
  buffer.assign(4, 0xEE);
  EXPECT_EQ(ReadFileData(dir.File("none").c_str(), buffer.data(), 4), 0);
  EXPECT_EQ(buffer[0], 0);
  EXPECT_EQ(buffer[1], 0);
  std::u16string wide(path.begin(), path.end());
  buffer.assign(6, 0xEE);
  EXPECT_EQ(ReadFileDataW(wide.c_str(), buffer.data(), 6), 4);
  EXPECT_TRUE(std::equal(data.begin(), data.begin() + 4, buffer.begin()));
}

TEST(CompareFileContents, NeedsEqualSizesAndBytes) {
  ScratchDir dir;
  Bytes data = RandomBytes(3, 10000);
  std::string a = dir.File("a"), b = dir.File("b"), c = dir.File("c"), d = dir.File("d");
  WriteWholeFile(a, data);
  WriteWholeFile(b, data);
  Bytes changed = data;
  changed[9999] ^= 1;
  WriteWholeFile(c, changed);
  WriteWholeFile(d, Bytes(data.begin(), data.end() - 1));
  EXPECT_TRUE(CompareFileContents(a.c_str(), b.c_str()));
  EXPECT_FALSE(CompareFileContents(a.c_str(), c.c_str()));
  EXPECT_FALSE(CompareFileContents(a.c_str(), d.c_str()));
  EXPECT_FALSE(CompareFileContents(a.c_str(), dir.File("none").c_str()));
  std::u16string wa(a.begin(), a.end()), wb(b.begin(), b.end());
  EXPECT_TRUE(CompareFileContentsW(wa.c_str(), wb.c_str()));
}

}  // namespace
