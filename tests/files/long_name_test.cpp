// Names of 249 to 255 bytes leave no room for a suffix behind them: every
// writer and copy still replaces such a file through a temporary that fits
// one folder entry, and leaves nothing else behind. A rewrite killed at any
// system call leaves the whole old or the whole new file.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "../syscall_kill.h"
#include "files/copyengine.h"
#include "files/fileops.h"
#include "platform/fsops.h"
#include "platform/tempname.h"
#include "safe_files_fixture.h"

namespace {

class LongNames : public SafeFilesFolder {};

// Two names of `length` bytes alike but for their last byte, so that any
// cut of them is the same text.
std::string LongName(size_t length, char last) { return std::string(length - 1, 'n') + last; }

TEST_F(LongNames, EveryWriterReplacesAFileWithALongName) {
  struct Case {
    const char* what;
    std::function<bool(const std::string& fresh, const std::string& target)> call;
    const char* result;  // the target's content afterwards; "fresh" stays when given
    const char* fresh;
    const char* backup;  // bk.0 afterwards, or null
  } cases[] = {
      {"WriteFileData", [](auto&, auto& t) { return WriteFileData(t.c_str(), "W", 1, false); }, "W", "N", nullptr},
      {"WriteFileSafe", [](auto&, auto& t) { return WriteFileSafe(t.c_str(), 0, 1, "S", 1, nullptr, 0); },
       "Sld", "N", nullptr},
      {"WriteFileSafe, backup",
       [](auto&, auto& t) { return WriteFileSafe(t.c_str(), 1, 2, "ong", 3, "bk.#1#", 1); }, "Oong", "N", "Old"},
      {"RenameFileSafe", [](auto& f, auto& t) { return RenameFileSafe(f.c_str(), t.c_str(), 0, nullptr, 0); }, "N",
       nullptr, nullptr},
      {"RenameFileSafe, backup",
       [](auto& f, auto& t) { return RenameFileSafe(f.c_str(), t.c_str(), 0, "bk.#1#", 1); }, "N", nullptr, "Old"},
      {"RenameFileSafe, exchange",
       [](auto& f, auto& t) { return RenameFileSafe(f.c_str(), t.c_str(), RENAME_SAFE_EXCHANGE, nullptr, 0); }, "N",
       "Old", nullptr},
      {"RenameFileSafe, exchange in steps",
       [](auto& f, auto& t) {
         SysInjectFault(SysFault::Exchange, 0);
         return RenameFileSafe(f.c_str(), t.c_str(), RENAME_SAFE_EXCHANGE, nullptr, 0);
       },
       "N", "Old", nullptr},
  };
  const DWORD copyFlags[] = {0, COPY_VIA_TEMPORARY, COPY_MOVE, COPY_TIMES | COPY_ATTRIBUTES | COPY_COUNT_FAILED_REST,
                             COPY_MOVE | COPY_VIA_TEMPORARY};
  for (size_t length = 249; length <= 255; ++length) {
    const std::string targetName = LongName(length, 'T'), freshName = LongName(length, 'F');
    auto check = [&](const std::string& what, bool ok, const char* result, const char* fresh, const char* backup) {
      SCOPED_TRACE(what + ", " + std::to_string(length) + " bytes");
      EXPECT_TRUE(ok);
      EXPECT_EQ(Read(targetName), result);
      Names expected{targetName};
      if (fresh) {
        expected.push_back(freshName);
        EXPECT_EQ(Read(freshName), fresh);
      }
      if (backup) {
        expected.push_back("bk.0");
        EXPECT_EQ(Read("bk.0"), backup);
      }
      std::sort(expected.begin(), expected.end());
      EXPECT_EQ(Listing(), expected);
    };
    for (const Case& c : cases) {
      Clear();
      const std::string target = Put(targetName, "Old"), fresh = Put(freshName, "N");
      const bool ok = c.call(fresh, target);
      check(c.what, ok, c.result, c.fresh, c.backup);
    }
    for (DWORD flags : copyFlags) {
      Clear();
      const std::string target = Put(targetName, "Old"), source = Put(freshName, "N");
      const bool ok = CopyFileEngine(flags, source.c_str(), target.c_str(), nullptr, nullptr, nullptr) == COPY_OK;
      check("CopyFileEngine " + std::to_string(flags), ok, "N", (flags & COPY_MOVE) ? nullptr : "N", nullptr);
    }
  }
}

// A cut name is followed by a hash of the whole name: names alike up to the
// cut still get temporaries of their own, each within one folder entry.
TEST_F(LongNames, TemporariesOfNamesAlikeUpToTheCutDiffer) {
  for (const char* suffix : {".rf.tmp", ".cf.tmp", ".cfp.tmp"}) {
    for (size_t length = 240; length <= 255; ++length) {
      const std::string a = SysTemporaryName("", LongName(length, 'a'), suffix);
      const std::string b = SysTemporaryName("", LongName(length, 'b'), suffix);
      EXPECT_NE(a, b) << length;
      EXPECT_LE(a.size(), 255u);
      EXPECT_EQ(a, SysTemporaryName("", LongName(length, 'a'), suffix));
      EXPECT_TRUE(a.ends_with(suffix));
    }
  }
}

// The rewrite of a long name killed at every system call in turn: the name
// holds the whole old or the whole new content, never an emptied file, and
// the next rewrite clears whatever the kill left.
TEST_F(LongNames, WriteFileDataLeavesTheFileWholeAtEveryCall) {
  const Bytes oldBytes = RandomBytes(21, 1 << 20), newBytes = RandomBytes(22, 300000);
  const std::string oldText(oldBytes.begin(), oldBytes.end()), newText(newBytes.begin(), newBytes.end());
  const std::string name = LongName(255, 'w');
  bool replaced = false;
  for (int n = 1;; ++n) {
    SCOPED_TRACE("killed at call " + std::to_string(n));
    Clear();
    const std::string path = Put(name, oldText);
    const auto outcome = killtest::RunKilledAt(
        n, [&] { return WriteFileData(path.c_str(), newText.data(), int64_t(newText.size()), false) ? 0 : 1; });
    ASSERT_NE(outcome, killtest::Outcome::Broken);
    const std::string now = Read(name);
    ASSERT_TRUE(now == oldText || now == newText) << now.size();
    if (replaced) { EXPECT_EQ(now, newText); }
    replaced = now == newText;
    if (outcome == killtest::Outcome::Finished) {
      EXPECT_EQ(Listing(), Names{name});
      break;
    }
    ASSERT_TRUE(WriteFileData(path.c_str(), "x", 1, false));
    EXPECT_EQ(Listing(), Names{name});
    ASSERT_LT(n, 2000);
  }
  EXPECT_TRUE(replaced);
}

}  // namespace
