// Safe renames and rewrites: whatever step fails, the target keeps either
// its old or its new content in full, and no temporary file stays behind.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include <sys/stat.h>
#include <unistd.h>

#include "../time_limit.h"
#include "files/copyengine.h"
#include "files/fileops.h"
#include "platform/fsops.h"
#include "platform/fileio.h"
#include "platform/pathsys.h"
#include "platform/sysinfo.h"
#include "stream_test_util.h"

namespace {

bool Exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

class SafeFiles : public ::testing::Test {
 protected:
  void TearDown() override { SysClearFaults(); }
  std::string Put(const std::string& name, const std::string& text) {
    WriteWholeFile(dir_.File(name), Bytes(text.begin(), text.end()));
    return dir_.File(name);
  }
  std::string Read(const std::string& name) {
    Bytes b = ReadWholeFile(dir_.File(name));
    return std::string(b.begin(), b.end());
  }
  bool Has(const std::string& name) { return Exists(dir_.File(name)); }
  // The folder holds exactly these names.
  std::vector<std::string> Listing() {
    std::vector<std::string> names;
    DIR* d = ::opendir(dir_.path().c_str());
    while (dirent* e = ::readdir(d))
      if (e->d_name[0] != '.') names.push_back(e->d_name);
    ::closedir(d);
    std::sort(names.begin(), names.end());
    return names;
  }
  ScratchDir dir_;
};

using Names = std::vector<std::string>;

TEST_F(SafeFiles, RenameReplacesTheTargetAndDropsOrKeepsTheOld) {
  std::string fresh = Put("new", "N"), target = Put("doc.txt", "O");
  ASSERT_TRUE(RenameFileSafe(fresh.c_str(), target.c_str(), 0, nullptr, 0));
  EXPECT_EQ(Read("doc.txt"), "N");
  EXPECT_EQ(Listing(), (Names{"doc.txt"}));
  // With a pattern the old target becomes a numbered backup named after
  // the target.
  for (const char* text : {"A", "B", "C"}) {
    fresh = Put("new", text);
    ASSERT_TRUE(RenameFileSafe(fresh.c_str(), target.c_str(), 0, "*.bak", 2));
  }
  EXPECT_EQ(Read("doc.txt"), "C");
  EXPECT_EQ(Read("doc.txt.bak.0"), "B");
  EXPECT_EQ(Read("doc.txt.bak.1"), "A");
  EXPECT_EQ(Listing(), (Names{"doc.txt", "doc.txt.bak.0", "doc.txt.bak.1"}));
  // '*' and an extension: the new file's name with that extension.
  fresh = Put("draft.tmp", "D");
  ASSERT_TRUE(RenameFileSafe(fresh.c_str(), "*txt", RENAME_SAFE_TARGET_MAY_BE_MISSING, nullptr, 0));
  EXPECT_EQ(Read("draft.txt"), "D");
  EXPECT_FALSE(Has("draft.tmp"));
}

// What a killed call left under the aside name: the target under a second
// name goes; old content stays without a pattern and with one becomes the
// backup older than this call's, even when this call then fails.
TEST_F(SafeFiles, RenameFinishesTheBackupAKilledCallLeft) {
  const struct {
    const char* aside;  // "=": a hard link of the target; "|": a pipe
    const char* pattern;
    bool freshMissing, replaced;
    Names after;
    const char* kept;  // doc.rf.tmp afterwards
    bool linkToNothing = false;  // the target a link to nothing, as a new file that was one leaves it
  } cases[] = {
      {"=", nullptr, false, true, {"doc"}, nullptr},
      {"O", nullptr, false, true, {"doc"}, nullptr},
      {"old", nullptr, false, true, {"doc", "doc.rf.tmp"}, "old"},
      {"old", "*.bak", false, true, {"doc", "doc.bak.0", "doc.bak.1"}, nullptr},
      {"old", "*.bak", true, false, {"doc", "doc.bak.0"}, nullptr},
      {"old", "none/*.bak", false, false, {"doc", "doc.rf.tmp"}, "old"},  // no backup can be made
      {"|", nullptr, false, true, {"doc"}, nullptr},  // holds no content, and is never opened
      {"old", nullptr, false, true, {"doc", "doc.rf.tmp"}, "old", true},
  };
  for (const auto& c : cases) {
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) std::filesystem::remove(entry.path());
    const std::string target = Put("doc", "O"), fresh = c.freshMissing ? dir_.File("new") : Put("new", "N");
    if (c.linkToNothing) {
      ASSERT_TRUE(::unlink(target.c_str()) == 0 && ::symlink("nowhere", target.c_str()) == 0);
    }
    if (c.aside[0] == '=') {
      ASSERT_EQ(::link(target.c_str(), dir_.File("doc.rf.tmp").c_str()), 0);
    } else if (c.aside[0] == '|') {
      ASSERT_EQ(::mkfifo(dir_.File("doc.rf.tmp").c_str(), 0666), 0);
    } else {
      Put("doc.rf.tmp", c.aside);
    }
    // In a child with a time limit: opening a pipe would wait for a writer.
    EXPECT_EQ(timelimit::RunWithin(20, [&] {
                return int(RenameFileSafe(fresh.c_str(), target.c_str(), RENAME_SAFE_DELETE_ON_FAILURE, c.pattern, 3));
              }),
              int(c.replaced));
    EXPECT_EQ(Listing(), c.after) << c.aside;
    EXPECT_EQ(Read("doc"), c.replaced ? "N" : "O");
    if (c.kept) { EXPECT_EQ(Read("doc.rf.tmp"), c.kept); }
    if (c.pattern && !c.kept) { EXPECT_EQ(Read(c.freshMissing ? "doc.bak.0" : "doc.bak.1"), "old"); }
  }
}

TEST_F(SafeFiles, RenameWantsATargetUnlessToldOtherwise) {
  std::string fresh = Put("new", "N");
  std::string target = dir_.File("absent");
  EXPECT_FALSE(RenameFileSafe(fresh.c_str(), target.c_str(), 0, nullptr, 0));
  EXPECT_EQ(Read("new"), "N");  // kept without RENAME_SAFE_DELETE_ON_FAILURE
  EXPECT_FALSE(RenameFileSafe(fresh.c_str(), target.c_str(), RENAME_SAFE_DELETE_ON_FAILURE, nullptr, 0));
  EXPECT_FALSE(Has("new"));
  fresh = Put("new", "N");
  ASSERT_EQ(::chmod(fresh.c_str(), 0444), 0);
  EXPECT_FALSE(RenameFileSafe(fresh.c_str(), target.c_str(),
                              RENAME_SAFE_DELETE_ON_FAILURE | RENAME_SAFE_PLAIN_DELETE, nullptr, 0));
  EXPECT_FALSE(Has("new"));  // a POSIX folder lets even a read-only file go
  fresh = Put("new", "N");
  ASSERT_TRUE(RenameFileSafe(fresh.c_str(), target.c_str(), RENAME_SAFE_TARGET_MAY_BE_MISSING, nullptr, 0));
  EXPECT_EQ(Read("absent"), "N");
  EXPECT_EQ(Listing(), (Names{"absent"}));
  EXPECT_FALSE(RenameFileSafe(nullptr, target.c_str(), 0, nullptr, 0));
  EXPECT_FALSE(RenameFileSafe(target.c_str(), nullptr, 0, nullptr, 0));
  EXPECT_FALSE(RenameFileSafe(target.c_str(), "", 0, nullptr, 0));
  std::string longName(5000, 'x');
  EXPECT_FALSE(RenameFileSafe(target.c_str(), longName.c_str(), RENAME_SAFE_TARGET_MAY_BE_MISSING, nullptr, 0));
  EXPECT_EQ(Read("absent"), "N");
}

TEST_F(SafeFiles, RenameRefusesToPutAFileInItsOwnPlace) {
  std::string a = Put("a", "keep");
  ASSERT_EQ(::link(a.c_str(), dir_.File("link").c_str()), 0);
  for (std::string target : {a, dir_.path() + "/./a", dir_.File("link")}) {
    EXPECT_FALSE(RenameFileSafe(a.c_str(), target.c_str(), RENAME_SAFE_DELETE_ON_FAILURE, nullptr, 0)) << target;
    EXPECT_EQ(Read("a"), "keep");
    EXPECT_EQ(Listing(), (Names{"a", "link"}));
  }
}

TEST_F(SafeFiles, RenameExchangesNames) {
  std::string a = Put("a", "first"), b = Put("b", "second");
  ASSERT_TRUE(RenameFileSafe(a.c_str(), b.c_str(), RENAME_SAFE_EXCHANGE, nullptr, 0));
  EXPECT_EQ(Read("a"), "second");
  EXPECT_EQ(Read("b"), "first");
  EXPECT_EQ(Listing(), (Names{"a", "b"}));
  std::u16string wa(a.begin(), a.end()), wb(b.begin(), b.end());
  ASSERT_TRUE(RenameFileSafeW(wa.c_str(), wb.c_str(), RENAME_SAFE_EXCHANGE, nullptr, 0));
  EXPECT_EQ(Read("a"), "first");
  EXPECT_EQ(Read("b"), "second");
  // In steps, on a file system without rename flags at all (a network share).
  SysInjectFault(SysFault::Exchange, 0);
  SysInjectFault(SysFault::NoReplace, 0);
  ASSERT_TRUE(RenameFileSafe(a.c_str(), b.c_str(), RENAME_SAFE_EXCHANGE, nullptr, 0));
  EXPECT_EQ(Read("a"), "second");
  EXPECT_EQ(Read("b"), "first");
  EXPECT_EQ(Listing(), (Names{"a", "b"}));
}

// Each step fails in turn: the target ends with its old or its new content,
// the new file is kept or deleted as the flags say, and no ".rf.tmp" stays.
TEST_F(SafeFiles, RenameRollsBackWhicheverStepFails) {
  struct Fault {
    SysFault op;
    int skip;
  };
  struct Case {
    const char* what;
    int flags;
    std::vector<Fault> faults;
    const char* target;
    const char* fresh;  // null: the new file is gone
  } cases[] = {
      {"aside refused", RENAME_SAFE_DELETE_ON_FAILURE, {{SysFault::Link, 0}, {SysFault::Open, 1}}, "O", nullptr},
      {"aside refused, kept", 0, {{SysFault::Link, 0}, {SysFault::Open, 0}}, "O", "N"},
      {"replace refused", RENAME_SAFE_DELETE_ON_FAILURE, {{SysFault::Move, 0}}, "O", nullptr},
      {"replace refused, kept", 0, {{SysFault::Move, 0}}, "O", "N"},
      {"swap refused", RENAME_SAFE_EXCHANGE, {{SysFault::Move, 0}}, "O", "N"},
      {"stepwise swap, replace refused", RENAME_SAFE_EXCHANGE, {{SysFault::Exchange, 0}, {SysFault::Move, 0}}, "O",
       "N"},
      {"stepwise swap, old to new name refused", RENAME_SAFE_EXCHANGE,
       {{SysFault::Exchange, 0}, {SysFault::Move, 1}}, "O", "N"},
  };
  for (const Case& c : cases) {
    std::string fresh = Put("new", "N"), target = Put("doc", "O");
    for (const Fault& f : c.faults) SysInjectFault(f.op, f.skip);
    EXPECT_FALSE(RenameFileSafe(fresh.c_str(), target.c_str(), c.flags, nullptr, 0)) << c.what;
    SysClearFaults();
    EXPECT_EQ(Read("doc"), c.target) << c.what;
    if (c.fresh) EXPECT_EQ(Read("new"), c.fresh) << c.what;
    else EXPECT_FALSE(Has("new")) << c.what;
    EXPECT_FALSE(Has("doc.rf.tmp")) << c.what;
    EXPECT_FALSE(Has("new.rf.tmp")) << c.what;
    ::unlink(fresh.c_str());
  }
}

// A file another open holds is neither replaced nor exchanged under it.
TEST_F(SafeFiles, RenameLeavesAHeldTargetAlone) {
  for (int flags : {0, int(RENAME_SAFE_EXCHANGE)}) {
    std::string fresh = Put("new", "N"), target = Put("doc", "O");
    int held = FdOpen(target.c_str(), FD_OPEN_WRITE | FD_OPEN_BINARY);
    ASSERT_GE(held, 0);
    EXPECT_FALSE(RenameFileSafe(fresh.c_str(), target.c_str(), flags, nullptr, 0)) << flags;
    EXPECT_EQ(SysGetLastError(), 32u) << flags;
    FdClose(held);
    EXPECT_EQ(Read("doc"), "O");
    EXPECT_EQ(Read("new"), "N");
    EXPECT_EQ(Listing(), (Names{"doc", "new"}));
  }
}

// Where the file system refuses hard links, the old file is kept aside as a
// copy: the exchange in steps and a backup both still get it whole.
TEST_F(SafeFiles, RenameKeepsTheOldFileAsACopyWhereLinksFail) {
  std::string fresh = Put("new", "N"), target = Put("doc", "old content");
  ASSERT_EQ(::chmod(target.c_str(), 0604), 0);
  SysInjectFault(SysFault::Link, 0);
  ASSERT_TRUE(RenameFileSafe(fresh.c_str(), target.c_str(), 0, "*.bak", 1));
  EXPECT_EQ(Read("doc"), "N");
  EXPECT_EQ(Read("doc.bak.0"), "old content");
  struct stat st;
  ASSERT_EQ(::stat(dir_.File("doc.bak.0").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0604u);
  SysInjectFault(SysFault::Exchange, 0);
  SysInjectFault(SysFault::Link, 0);
  ASSERT_TRUE(RenameFileSafe(dir_.File("doc.bak.0").c_str(), target.c_str(), RENAME_SAFE_EXCHANGE, nullptr, 0));
  EXPECT_EQ(Read("doc"), "old content");
  EXPECT_EQ(Read("doc.bak.0"), "N");
  EXPECT_EQ(Listing(), (Names{"doc", "doc.bak.0"}));
}

// A new file under the aside name would be cleared with a stale aside file.
TEST_F(SafeFiles, RenameRefusesANewFileUnderTheAsideName) {
  std::string fresh = Put("doc.rf.tmp", "N"), target = Put("doc", "O");
  EXPECT_FALSE(RenameFileSafe(fresh.c_str(), target.c_str(), RENAME_SAFE_DELETE_ON_FAILURE, nullptr, 0));
  EXPECT_EQ(Read("doc.rf.tmp"), "N");
  EXPECT_EQ(Read("doc"), "O");
}

std::string Splice(std::string text, size_t offset, size_t oldLength, const std::string& data) {
  return text.replace(offset, oldLength, data);
}

TEST_F(SafeFiles, WriteReplacesARangeOfAnyLength) {
  // Sizes around the block of 4096 bytes, ranges at the start, middle and end.
  Bytes seed = RandomBytes(9, 20000);
  std::string base(seed.begin(), seed.end());
  struct Case {
    size_t fileSize, offset, oldLength, newLength;
  } cases[] = {
      {0, 0, 0, 5},          {10, 10, 0, 3},       {10, 0, 10, 0},      {4096, 100, 50, 4000},
      {4097, 4096, 1, 2},    {12000, 5000, 100, 100}, {12000, 5000, 100, 9000}, {12000, 1, 11000, 7},
      {8192, 4095, 2, 1},    {100, 50, 1000, 1},    // the old range is cut at the end
  };
  for (const Case& c : cases) {
    std::string before = base.substr(0, c.fileSize);
    std::string data = base.substr(base.size() - c.newLength);
    std::string path = Put("f", before);
    ASSERT_TRUE(WriteFileSafe(path.c_str(), int64_t(c.offset), int64_t(c.oldLength), data.data(),
                              int64_t(c.newLength), nullptr, 0))
        << c.fileSize << " " << c.offset;
    size_t cut = std::min(c.oldLength, c.fileSize - c.offset);
    EXPECT_EQ(Read("f"), Splice(before, c.offset, cut, data)) << c.fileSize << " " << c.offset;
    EXPECT_EQ(Listing(), (Names{"f"}));
  }
}

TEST_F(SafeFiles, WriteOfEveryLengthReplacesTheFileKeepingModeAndBackups) {
  std::string path = Put("f", "0123456789");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  struct stat before, after;
  ASSERT_EQ(::stat(path.c_str(), &before), 0);
  // The same length too goes through a new file: never a half-written one.
  ASSERT_TRUE(WriteFileSafe(path.c_str(), 3, 2, "ab", 2, nullptr, 0));
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  EXPECT_EQ(Read("f"), "012ab56789");
  EXPECT_NE(before.st_ino, after.st_ino);
  EXPECT_EQ(after.st_mode & 0777, 0640u);
  ASSERT_TRUE(WriteFileSafe(path.c_str(), 3, 2, "abc", 3, nullptr, 0));
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  EXPECT_EQ(Read("f"), "012abc56789");
  EXPECT_EQ(after.st_mode & 0777, 0640u);
  // Backups hold the file as it was before each write, whatever the length.
  ASSERT_TRUE(WriteFileSafe(path.c_str(), 0, 1, "X", 1, "*.bak", 5));
  EXPECT_EQ(Read("f"), "X12abc56789");
  EXPECT_EQ(Read("f.bak.0"), "012abc56789");
  ASSERT_TRUE(WriteFileSafe(path.c_str(), 0, 1, "", 0, "*.bak", 5));
  EXPECT_EQ(Read("f"), "12abc56789");
  EXPECT_EQ(Read("f.bak.0"), "X12abc56789");
  EXPECT_EQ(Read("f.bak.1"), "012abc56789");
  EXPECT_EQ(Listing(), (Names{"f", "f.bak.0", "f.bak.1"}));
}

TEST_F(SafeFiles, WriteKeepsTheOwner) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to hand the file to another user";
  std::string path = Put("f", "0123456789");
  ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
  ASSERT_TRUE(WriteFileSafe(path.c_str(), 0, 1, "xy", 2, nullptr, 0));
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 65534u);
  EXPECT_EQ(st.st_gid, 65534u);
  EXPECT_EQ(Read("f"), "xy123456789");
}

TEST_F(SafeFiles, WriteRefusesBadArguments) {
  std::string path = Put("f", "0123456789");
  EXPECT_FALSE(WriteFileSafe(path.c_str(), 11, 0, "a", 1, nullptr, 0));
  EXPECT_FALSE(WriteFileSafe(path.c_str(), -1, 0, "a", 1, nullptr, 0));
  EXPECT_FALSE(WriteFileSafe(path.c_str(), 0, -1, "a", 1, nullptr, 0));
  EXPECT_FALSE(WriteFileSafe(path.c_str(), 0, 0, "a", -1, nullptr, 0));
  EXPECT_FALSE(WriteFileSafe(path.c_str(), 0, 0, nullptr, 1, nullptr, 0));
  EXPECT_FALSE(WriteFileSafe(dir_.File("none").c_str(), 0, 0, "a", 1, nullptr, 0));
  EXPECT_FALSE(WriteFileSafe(dir_.path().c_str(), 0, 0, "a", 1, nullptr, 0));
  EXPECT_FALSE(WriteFileSafe(nullptr, 0, 0, "a", 1, nullptr, 0));
  EXPECT_TRUE(WriteFileSafe(path.c_str(), 10, 0, "a", 1, nullptr, 0));  // at the very end
  EXPECT_EQ(Read("f"), "0123456789a");
  std::u16string wide(path.begin(), path.end());
  EXPECT_TRUE(WriteFileSafeW(wide.c_str(), 0, 11, "w", 1, u"*.b", 1));
  EXPECT_EQ(Read("f"), "w");
  EXPECT_EQ(Read("f.b.0"), "0123456789a");
}

// The temporary names are exactly target + ".cf.tmp" and + ".rf.tmp": a
// folder of either name in the way stops the write, and the file is kept.
TEST_F(SafeFiles, UsesTheExactTemporaryNames) {
  for (const char* blocker : {"f.cf.tmp", "f.rf.tmp"}) {
    std::string path = Put("f", "0123456789");
    ASSERT_EQ(::mkdir(dir_.File(blocker).c_str(), 0777), 0);
    EXPECT_FALSE(WriteFileSafe(path.c_str(), 2, 3, "x", 1, nullptr, 0)) << blocker;
    EXPECT_EQ(Read("f"), "0123456789");
    EXPECT_EQ(Listing(), (Names{"f", blocker}));
    ::rmdir(dir_.File(blocker).c_str());
  }
  // A leftover rewrite is replaced; old content left aside stays.
  std::string path = Put("f", "0123456789");
  Put("f.cf.tmp", "stale");
  Put("f.rf.tmp", "stale");
  ASSERT_TRUE(WriteFileSafe(path.c_str(), 2, 3, "x", 1, nullptr, 0));
  EXPECT_EQ(Read("f"), "01x56789");
  EXPECT_EQ(Read("f.rf.tmp"), "stale");
  EXPECT_EQ(Listing(), (Names{"f", "f.rf.tmp"}));
}

// Every step of a rewrite fails in turn: the file keeps its old content and
// no ".cf.tmp" or ".rf.tmp" stays.
TEST_F(SafeFiles, WriteLosesNothingWhenAStepFails) {
  Bytes seed = RandomBytes(4, 10000);
  const std::string old(seed.begin(), seed.end());
  struct Case {
    SysFault fault;
    int skip;
    int64_t newLength;  // 100: the same length
  } cases[] = {
      {SysFault::Open, 0, 50},  {SysFault::Open, 1, 50},  {SysFault::Read, 0, 50},
      {SysFault::Read, 2, 50},  {SysFault::Write, 0, 50}, {SysFault::Write, 1, 50},
      {SysFault::Write, 2, 50}, {SysFault::Move, 0, 50},  {SysFault::Move, 0, 100},
      {SysFault::Open, 0, 100}, {SysFault::Read, 0, 100}, {SysFault::Write, 0, 100},
  };
  std::string data(100, 'z');
  for (const Case& c : cases) {
    std::string path = Put("f", old);
    SysInjectFault(c.fault, c.skip);
    EXPECT_FALSE(WriteFileSafe(path.c_str(), 5000, 100, data.data(), c.newLength, nullptr, 0))
        << int(c.fault) << " " << c.skip << " " << c.newLength;
    SysClearFaults();
    EXPECT_EQ(Read("f"), old) << int(c.fault) << " " << c.skip << " " << c.newLength;
    EXPECT_EQ(Listing(), (Names{"f"})) << int(c.fault) << " " << c.skip;
  }
}

// A crash between moving the target aside and moving the new file in
// leaves the old file only under the aside name: a later rename keeps it.
TEST_F(SafeFiles, RenameKeepsTheAsideFileACrashLeftWithoutTarget) {
  Put("doc.rf.tmp", "only copy");
  std::string fresh = Put("new", "N"), target = dir_.File("doc");
  EXPECT_FALSE(RenameFileSafe(fresh.c_str(), target.c_str(), RENAME_SAFE_DELETE_ON_FAILURE, nullptr, 0));
  EXPECT_EQ(Read("doc.rf.tmp"), "only copy");
  fresh = Put("new", "N");
  ASSERT_TRUE(RenameFileSafe(fresh.c_str(), target.c_str(), RENAME_SAFE_TARGET_MAY_BE_MISSING, nullptr, 0));
  EXPECT_EQ(Read("doc"), "N");
  EXPECT_EQ(Read("doc.rf.tmp"), "only copy");
  EXPECT_EQ(Listing(), (Names{"doc", "doc.rf.tmp"}));
}

// A read-only file refuses a rewrite as a writer would be refused:
// unchanged, and no backup made of it.
TEST_F(SafeFiles, WriteRefusesAReadOnlyFile) {
  std::string path = Put("f", "0123456789");
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  std::u16string wide(path.begin(), path.end()), pattern = u"*.bak";
  // Refused as the in-place open would be: access denied.
  std::function<bool()> writes[] = {
      [&] { return WriteFileSafe(path.c_str(), 3, 2, "ab", 2, "*.bak", 3); },
      [&] { return WriteFileSafe(path.c_str(), 3, 2, "abc", 3, "*.bak", 3); },
      [&] { return WriteFileSafeW(wide.c_str(), 3, 2, "ab", 2, pattern.c_str(), 3); },
      [&] { return WriteFileData(path.c_str(), "x", 1, false); },
  };
  for (auto& write : writes) {
    SysSetLastError(0);
    EXPECT_FALSE(write());
    EXPECT_EQ(SysGetLastError(), 5u);
  }
  EXPECT_EQ(Read("f"), "0123456789");
  EXPECT_EQ(Listing(), (Names{"f"}));
}

}  // namespace
