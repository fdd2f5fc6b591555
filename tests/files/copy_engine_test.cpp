// The single-file copy and move engine.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "files/copyengine.h"
#include "platform/fsops.h"
#include "platform/sysinfo.h"
#include "stream_test_util.h"

namespace {

bool Exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

TEST(CopyFileEngine, CopiesBytesAndCountsThem) {
  ScratchDir dir;
  for (size_t size : {size_t(0), size_t(4095), size_t(4096), size_t(4097), size_t(100000)}) {
    Bytes data = RandomBytes(uint32_t(size) + 1, size);
    std::string a = dir.File("a"), b = dir.File("b");
    WriteWholeFile(a, data);
    for (DWORD extra : {DWORD(0), DWORD(COPY_VIA_TEMPORARY)}) {
      uint64_t counter = 77, total = 0;
      EXPECT_EQ(CopyFileEngine(COPY_COUNTER_64 | COPY_SIZE_64 | extra, a.c_str(), b.c_str(), &counter, &total,
                               nullptr),
                COPY_OK);
      EXPECT_EQ(ReadWholeFile(b), data) << size;
      EXPECT_EQ(counter, size);
      EXPECT_EQ(total, size);
      EXPECT_FALSE(Exists(b + ".cfp.tmp"));
    }
    uint32_t counter32 = 5;
    ASSERT_EQ(CopyFileEngine(COPY_KEEP_COUNTER, a.c_str(), b.c_str(), &counter32, nullptr, nullptr), COPY_OK);
    EXPECT_EQ(counter32, 5u + size);
  }
}

TEST(CopyFileEngine, ReportsEachFailureAndLeavesNoTemporary) {
  ScratchDir dir;
  std::string a = dir.File("a"), b = dir.File("b");
  WriteWholeFile(a, Bytes{1, 2, 3});
  WriteWholeFile(b, Bytes{9});
  ::mkdir(dir.File("d").c_str(), 0777);
  uint64_t size = 99;
  EXPECT_EQ(CopyFileEngine(COPY_SIZE_64, dir.File("none").c_str(), b.c_str(), nullptr, &size, nullptr),
            COPY_SOURCE_UNREADABLE);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(CopyFileEngine(COPY_FAIL_IF_EXISTS, a.c_str(), b.c_str(), nullptr, nullptr, nullptr), COPY_TARGET_EXISTS);
  EXPECT_EQ(CopyFileEngine(COPY_FAIL_IF_EXISTS, a.c_str(), dir.File("d").c_str(), nullptr, nullptr, nullptr),
            COPY_TARGET_UNWRITABLE);
  EXPECT_EQ(CopyFileEngine(0, a.c_str(), dir.File("d").c_str(), nullptr, nullptr, nullptr), COPY_TARGET_UNWRITABLE);
  EXPECT_EQ(CopyFileEngine(0, a.c_str(), dir.File("x/y/c").c_str(), nullptr, nullptr, nullptr),
            COPY_TARGET_UNWRITABLE);
  EXPECT_FALSE(Exists(dir.File("x")));
  EXPECT_EQ(CopyFileEngine(COPY_CREATE_DIRECTORY, a.c_str(), dir.File("x/y/c").c_str(), nullptr, nullptr, nullptr),
            COPY_OK);
  EXPECT_EQ(ReadWholeFile(dir.File("x/y/c")), (Bytes{1, 2, 3}));
  // A read-only target is replaced only when asked.
  ASSERT_EQ(::chmod(b.c_str(), 0444), 0);
  EXPECT_EQ(CopyFileEngine(COPY_VIA_TEMPORARY, a.c_str(), b.c_str(), nullptr, nullptr, nullptr),
            COPY_TARGET_UNWRITABLE);
  EXPECT_EQ(ReadWholeFile(b), (Bytes{9}));
  EXPECT_FALSE(Exists(b + ".cfp.tmp"));
  EXPECT_EQ(CopyFileEngine(0, a.c_str(), b.c_str(), nullptr, nullptr, nullptr), COPY_TARGET_UNWRITABLE);
  EXPECT_EQ(ReadWholeFile(b), (Bytes{9}));
  EXPECT_EQ(CopyFileEngine(COPY_VIA_TEMPORARY | COPY_REPLACE_READONLY, a.c_str(), b.c_str(), nullptr, nullptr,
                           nullptr),
            COPY_OK);
  EXPECT_EQ(ReadWholeFile(b), (Bytes{1, 2, 3}));
}

TEST(CopyFileEngine, CancelLeavesNoTarget) {
  ScratchDir dir;
  std::string a = dir.File("a"), b = dir.File("b");
  WriteWholeFile(a, RandomBytes(1, 10000));
  BYTE cancel = 1;
  uint64_t counter = 0;
  EXPECT_EQ(CopyFileEngine(COPY_COUNTER_64 | COPY_COUNT_FAILED_REST, a.c_str(), b.c_str(), &counter, nullptr,
                           &cancel),
            COPY_CANCELLED);
  EXPECT_FALSE(Exists(b));
  EXPECT_EQ(counter, 10000u);
}

TEST(CopyFileEngine, MovesWithTimesAndPermissions) {
  ScratchDir dir;
  std::string a = dir.File("a"), b = dir.File("sub/b"), c = dir.File("c");
  Bytes data = RandomBytes(2, 5000);
  WriteWholeFile(a, data);
  uint64_t counter = 0;
  EXPECT_EQ(CopyFileEngine(COPY_MOVE | COPY_COUNTER_64, a.c_str(), b.c_str(), &counter, nullptr, nullptr),
            COPY_TARGET_UNWRITABLE);
  EXPECT_TRUE(Exists(a));
  EXPECT_EQ(CopyFileEngine(COPY_MOVE | COPY_COUNTER_64 | COPY_CREATE_DIRECTORY, a.c_str(), b.c_str(), &counter,
                           nullptr, nullptr),
            COPY_OK);
  EXPECT_FALSE(Exists(a));
  EXPECT_EQ(ReadWholeFile(b), data);
  EXPECT_EQ(counter, 5000u);
  EXPECT_EQ(CopyFileEngine(COPY_MOVE, a.c_str(), c.c_str(), nullptr, nullptr, nullptr), COPY_SOURCE_UNREADABLE);
  struct timespec times[2] = {{1300000000, 0}, {1400000000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, b.c_str(), times, 0), 0);
  ASSERT_EQ(::chmod(b.c_str(), 0640), 0);
  EXPECT_EQ(CopyFileEngine(COPY_TIMES | COPY_ATTRIBUTES, b.c_str(), c.c_str(), nullptr, nullptr, nullptr), COPY_OK);
  struct stat st;
  ASSERT_EQ(::stat(c.c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1400000000);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

}  // namespace

namespace {

// Reads go in blocks of 4096 until one brings 0 bytes or fewer than a
// block: a failure injected into the n-th read tells whether it happened.
TEST(CopyFileEngine, ReadsBlocksUntilAShortOrEmptyRead) {
  ScratchDir dir;
  std::string a = dir.File("a"), b = dir.File("b");
  struct Case {
    size_t size;
    int reads;
  } cases[] = {{0, 1}, {1, 1}, {4095, 1}, {4096, 2}, {4097, 2}, {8192, 3}, {8193, 3}};
  for (const Case& c : cases) {
    WriteWholeFile(a, RandomBytes(7, c.size));
    SysInjectFault(SysFault::Read, c.reads - 1);
    EXPECT_EQ(CopyFileEngine(0, a.c_str(), b.c_str(), nullptr, nullptr, nullptr), COPY_READ_FAILED) << c.size;
    EXPECT_FALSE(Exists(b)) << c.size;
    SysInjectFault(SysFault::Read, c.reads);
    EXPECT_EQ(CopyFileEngine(0, a.c_str(), b.c_str(), nullptr, nullptr, nullptr), COPY_OK) << c.size;
    EXPECT_EQ(ReadWholeFile(b), RandomBytes(7, c.size)) << c.size;
    SysClearFaults();
  }
}

// A file refused at once still advances a counter kept over many files.
TEST(CopyFileEngine, CountsTheRestOfEveryFailureWhenAsked) {
  ScratchDir dir;
  std::string a = dir.File("a"), b = dir.File("b");
  WriteWholeFile(a, RandomBytes(6, 3000));
  WriteWholeFile(b, Bytes{1});
  ::mkdir(dir.File("d").c_str(), 0777);
  const DWORD counting = COPY_COUNTER_64 | COPY_KEEP_COUNTER | COPY_COUNT_FAILED_REST | COPY_FAIL_IF_EXISTS;
  uint64_t counter = 100;
  EXPECT_EQ(CopyFileEngine(counting, a.c_str(), b.c_str(), &counter, nullptr, nullptr), COPY_TARGET_EXISTS);
  EXPECT_EQ(counter, 3100u);
  EXPECT_EQ(CopyFileEngine(counting, a.c_str(), dir.File("d").c_str(), &counter, nullptr, nullptr),
            COPY_TARGET_UNWRITABLE);
  EXPECT_EQ(counter, 6100u);
  EXPECT_EQ(CopyFileEngine(counting & ~COPY_COUNT_FAILED_REST, a.c_str(), b.c_str(), &counter, nullptr, nullptr),
            COPY_TARGET_EXISTS);
  EXPECT_EQ(counter, 6100u);
  EXPECT_EQ(ReadWholeFile(b), Bytes{1});
}

// A copy onto the source itself (another spelling, a hard link) would cut
// the source to nothing before the first read: refused, the bytes kept.
TEST(CopyFileEngine, RefusesToCopyAFileOntoItself) {
  ScratchDir dir;
  std::string a = dir.File("a"), link = dir.File("link");
  Bytes data = RandomBytes(8, 5000);
  WriteWholeFile(a, data);
  ASSERT_EQ(::link(a.c_str(), link.c_str()), 0);
  for (std::string target : {a, dir.path() + "/./a", dir.path() + "\\a", link}) {
    for (DWORD flags : {DWORD(0), DWORD(COPY_VIA_TEMPORARY), DWORD(COPY_REPLACE_READONLY)}) {
      EXPECT_EQ(CopyFileEngine(flags, a.c_str(), target.c_str(), nullptr, nullptr, nullptr), COPY_TARGET_UNWRITABLE)
          << target << " " << flags;
      EXPECT_EQ(ReadWholeFile(a), data) << target;
    }
  }
  // A move onto itself is a rename that changes nothing.
  EXPECT_EQ(CopyFileEngine(COPY_MOVE, a.c_str(), a.c_str(), nullptr, nullptr, nullptr), COPY_OK);
  EXPECT_EQ(ReadWholeFile(a), data);
}

}  // namespace

namespace {

// A move may not replace a read-only target the copy would refuse: without
// COPY_REPLACE_READONLY both files keep their bytes.
TEST(CopyFileEngine, MoveKeepsAReadOnlyTargetUnlessAsked) {
  ScratchDir dir;
  std::string a = dir.File("a"), b = dir.File("b");
  WriteWholeFile(a, Bytes{1, 2, 3});
  WriteWholeFile(b, Bytes{9});
  ASSERT_EQ(::chmod(b.c_str(), 0444), 0);
  for (DWORD extra : {DWORD(0), DWORD(COPY_VIA_TEMPORARY)}) {
    EXPECT_EQ(CopyFileEngine(COPY_MOVE | extra, a.c_str(), b.c_str(), nullptr, nullptr, nullptr),
              COPY_TARGET_UNWRITABLE);
    EXPECT_EQ(ReadWholeFile(a), (Bytes{1, 2, 3}));
    EXPECT_EQ(ReadWholeFile(b), (Bytes{9}));
    EXPECT_FALSE(Exists(b + ".cfp.tmp"));
  }
  uint64_t counter = 0;
  EXPECT_EQ(CopyFileEngine(COPY_MOVE | COPY_REPLACE_READONLY | COPY_COUNTER_64, a.c_str(), b.c_str(), &counter,
                           nullptr, nullptr),
            COPY_OK);
  EXPECT_FALSE(Exists(a));
  EXPECT_EQ(ReadWholeFile(b), (Bytes{1, 2, 3}));
  EXPECT_EQ(counter, 3u);
}

// The temporary name of a copy is never the source's own: a source named
// like the target's temporary file is refused, not cut to nothing.
TEST(CopyFileEngine, RefusesASourceThatIsTheTemporaryFile) {
  ScratchDir dir;
  std::string b = dir.File("b"), a = b + ".cfp.tmp";
  Bytes data = RandomBytes(11, 5000);
  WriteWholeFile(a, data);
  EXPECT_EQ(CopyFileEngine(COPY_VIA_TEMPORARY, a.c_str(), b.c_str(), nullptr, nullptr, nullptr),
            COPY_TARGET_UNWRITABLE);
  EXPECT_EQ(ReadWholeFile(a), data);
  EXPECT_FALSE(Exists(b));
}

// The temporary sits beside the target whatever the folders' length: only
// its file name is cut, so that it and ".cfp.tmp" fit one folder entry (255
// bytes), never inside a character, and a hash of the whole name (FNV-1a,
// worked out apart) follows the cut. A folder under the expected name shows
// which name each form uses.
TEST(CopyFileEngine, TheTemporarySitsBesideTheTargetWithItsNameCut) {
  ScratchDir dir;
  std::string a = dir.File("a");
  WriteWholeFile(a, Bytes{5});
  std::string deep = dir.File(std::string(200, 'f'));
  ASSERT_EQ(::mkdir(deep.c_str(), 0777), 0);
  deep += "/" + std::string(150, 'g');  // the folders alone pass 252 characters
  ASSERT_EQ(::mkdir(deep.c_str(), 0777), 0);
  std::string e125, e114;
  for (int i = 0; i < 125; ++i) e125 += "\xC3\xA9";  // U+00E9
  for (int i = 0; i < 114; ++i) e114 += "\xC3\xA9";
  struct Case {
    std::string folder, name, temporaryName;
  } cases[] = {
      {deep, "t", "t.cfp.tmp"},
      {dir.path(), std::string(250, 'n'), std::string(230, 'n') + "~0CC2566B9CAFE80D.cfp.tmp"},
      {deep, std::string(247, 'n'), std::string(247, 'n') + ".cfp.tmp"},
      {dir.path(), "x" + e125, "x" + e114 + "~1F50BEBE2A27A19F.cfp.tmp"},  // byte 230 lies inside a character
  };
  for (const Case& c : cases) {
    std::string target = c.folder + "/" + c.name, blocker = c.folder + "/" + c.temporaryName;
    std::u16string wa(a.begin(), a.end()), wide;
    for (const char* p = target.c_str(); *p;) {
      unsigned char b = static_cast<unsigned char>(*p);
      wide += b < 0x80 ? char16_t(b) : char16_t(((b & 0x1F) << 6) | (p[1] & 0x3F));
      p += b < 0x80 ? 1 : 2;
    }
    for (bool wideForm : {false, true}) {
      SCOPED_TRACE(c.temporaryName.substr(0, 12) + (wideForm ? " wide" : " narrow"));
      auto copy = [&] {
        return wideForm ? CopyFileEngineW(COPY_VIA_TEMPORARY, wa.c_str(), wide.c_str(), nullptr, nullptr, nullptr)
                        : CopyFileEngine(COPY_VIA_TEMPORARY, a.c_str(), target.c_str(), nullptr, nullptr, nullptr);
      };
      ASSERT_EQ(::mkdir(blocker.c_str(), 0777), 0);
      EXPECT_EQ(copy(), COPY_TARGET_UNWRITABLE);
      EXPECT_FALSE(Exists(target));
      ASSERT_EQ(::rmdir(blocker.c_str()), 0);
      EXPECT_EQ(copy(), COPY_OK);
      EXPECT_EQ(ReadWholeFile(target), Bytes{5});
      EXPECT_FALSE(Exists(blocker));
      ASSERT_EQ(::unlink(target.c_str()), 0);
    }
  }
}

// Another thread watches the counter and sets the cancel flag: the counter
// only grows, never beyond the size, and a cancelled copy leaves nothing.
TEST(CopyFileEngine, StopsWhenAnotherThreadCancels) {
  ScratchDir dir;
  std::string a = dir.File("a"), b = dir.File("b");
  const uint64_t size = 8u << 20;
  WriteWholeFile(a, RandomBytes(12, size));
  uint64_t counter = 0;
  BYTE cancel = 0;
  std::atomic<bool> done{false}, grewWrongly{false};
  std::thread watcher([&] {
    uint64_t last = 0;
    while (!done.load()) {
      uint64_t now = std::atomic_ref<uint64_t>(counter).load();
      if (now < last || now > size) grewWrongly = true;
      last = now;
      if (now >= 4096) std::atomic_ref<BYTE>(cancel).store(1);
    }
  });
  int result = CopyFileEngine(COPY_COUNTER_64, a.c_str(), b.c_str(), &counter, nullptr, &cancel);
  done = true;
  watcher.join();
  EXPECT_FALSE(grewWrongly.load());
  if (result == COPY_CANCELLED) {
    EXPECT_FALSE(Exists(b));
    EXPECT_LT(counter, size);
  } else {
    EXPECT_EQ(result, COPY_OK);  // the copy outran the watcher
    EXPECT_EQ(counter, size);
  }
}

// A failed copy cuts what it wrote to nothing before deleting it: should the
// delete fail too, no half-written file stays under the name. Without
// ".cfp.tmp" the copy never had a name to leave.
TEST(CopyFileEngine, CutsAFailedTargetToNothingBeforeDeletingIt) {
  ScratchDir dir;
  std::string a = dir.File("a"), b = dir.File("b");
  WriteWholeFile(a, RandomBytes(13, 10000));
  for (DWORD extra : {DWORD(0), DWORD(COPY_VIA_TEMPORARY)}) {
    std::string written = extra ? b + ".cfp.tmp" : b;
    SysInjectFault(SysFault::Write, 1);
    SysInjectFault(SysFault::Delete, 0);
    EXPECT_EQ(CopyFileEngine(extra, a.c_str(), b.c_str(), nullptr, nullptr, nullptr), COPY_WRITE_FAILED);
    SysClearFaults();
    struct stat st;
    if (extra) {
      ASSERT_EQ(::stat(written.c_str(), &st), 0);
      EXPECT_EQ(st.st_size, 0);
      ::unlink(written.c_str());
    }
    size_t names = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) ++names;
    EXPECT_EQ(names, 1u) << extra;
  }
  EXPECT_FALSE(Exists(b));
}

// Where the engine refuses by itself it leaves the code a caller checks:
// 80 for a file in the way, 267 for a directory, 5 for a read-only target,
// 3 for a missing target folder it may not create.
TEST(CopyFileEngine, LeavesItsOwnLastErrors) {
  ScratchDir dir;
  std::string a = dir.File("a"), b = dir.File("b"), d = dir.File("d");
  WriteWholeFile(a, Bytes{1});
  WriteWholeFile(b, Bytes{2});
  ASSERT_EQ(::mkdir(d.c_str(), 0777), 0);
  struct Case {
    DWORD flags;
    std::string target;
    int result;
    DWORD error;
  } cases[] = {
      {COPY_FAIL_IF_EXISTS, b, COPY_TARGET_EXISTS, 80},
      {COPY_FAIL_IF_EXISTS, d, COPY_TARGET_UNWRITABLE, 267},
      {COPY_VIA_TEMPORARY, b, COPY_TARGET_UNWRITABLE, 5},
      {0, b, COPY_TARGET_UNWRITABLE, 5},
      {COPY_MOVE, dir.File("x/y"), COPY_TARGET_UNWRITABLE, 3},
  };
  ASSERT_EQ(::chmod(b.c_str(), 0444), 0);
  for (const Case& c : cases) {
    SysSetLastError(0);
    EXPECT_EQ(CopyFileEngine(c.flags, a.c_str(), c.target.c_str(), nullptr, nullptr, nullptr), c.result) << c.flags;
    EXPECT_EQ(SysGetLastError(), c.error) << c.flags;
    EXPECT_EQ(ReadWholeFile(a), Bytes{1});
    EXPECT_EQ(ReadWholeFile(b), Bytes{2});
  }
}

// The cancel flag set before the call: without a temporary file the
// existing target was opened (emptied) and is gone; with one the target is
// untouched. A copy that fails halfway still counts the whole file when asked.
TEST(CopyFileEngine, CancelAndHalfwayFailureKeepTheirPromises) {
  ScratchDir dir;
  std::string a = dir.File("a"), b = dir.File("b");
  WriteWholeFile(a, RandomBytes(14, 10000));
  BYTE cancel = 1;
  WriteWholeFile(b, Bytes{7, 7});
  EXPECT_EQ(CopyFileEngine(0, a.c_str(), b.c_str(), nullptr, nullptr, &cancel), COPY_CANCELLED);
  EXPECT_FALSE(Exists(b));
  WriteWholeFile(b, Bytes{7, 7});
  EXPECT_EQ(CopyFileEngine(COPY_VIA_TEMPORARY, a.c_str(), b.c_str(), nullptr, nullptr, &cancel), COPY_CANCELLED);
  EXPECT_EQ(ReadWholeFile(b), (Bytes{7, 7}));
  EXPECT_FALSE(Exists(b + ".cfp.tmp"));
  struct Case {
    SysFault fault;
    int skip;
    int result;
  } cases[] = {{SysFault::Write, 1, COPY_WRITE_FAILED}, {SysFault::Read, 1, COPY_READ_FAILED}};
  for (const Case& c : cases) {
    for (DWORD extra : {DWORD(0), DWORD(COPY_COUNT_FAILED_REST)}) {
      uint32_t counter = 500;
      SysInjectFault(c.fault, c.skip);
      EXPECT_EQ(CopyFileEngine(COPY_KEEP_COUNTER | extra, a.c_str(), b.c_str(), &counter, nullptr, nullptr), c.result);
      SysClearFaults();
      EXPECT_EQ(counter, extra ? 10500u : 4596u) << int(c.fault);
      EXPECT_FALSE(Exists(b));
    }
  }
}

}  // namespace
