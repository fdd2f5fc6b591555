// Safe renames and rewrites killed at every system call in turn: whenever the
// process dies, the target holds its whole old or whole new content (never a
// mix, never nothing), links stay links, and the next call clears what the
// killed one left.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "../syscall_kill.h"
#include "files/copyengine.h"
#include "platform/fsops.h"
#include "safe_files_fixture.h"

namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;
using killtest::Outcome;

class KilledSafeFiles : public SafeFilesFolder {};

std::string Text(uint32_t seed, size_t size) {
  Bytes b = RandomBytes(seed, size);
  return std::string(b.begin(), b.end());
}

TEST_F(KilledSafeFiles, RenameLeavesTheTargetWholeAtEveryCall) {
  const std::string oldText = Text(1, 9000), newText = Text(2, 7000);
  struct Case {
    const char* what;
    int flags;
    SysFault fault;  // Count: none
    const char* pattern;
    Names after;  // once the call has finished
  } cases[] = {
      {"plain", 0, SysFault::Count, nullptr, {"doc"}},
      {"aside as a copy", 0, SysFault::Link, nullptr, {"doc"}},
      {"backup", 0, SysFault::Count, "*.bak", {"doc", "doc.bak.0"}},
      {"exchange", RENAME_SAFE_EXCHANGE, SysFault::Count, nullptr, {"doc", "new"}},
      {"exchange in steps", RENAME_SAFE_EXCHANGE, SysFault::Exchange, nullptr, {"doc", "new"}},
  };
  for (const Case& c : cases) {
    bool replaced = false;
    for (int n = 1;; ++n) {
      SCOPED_TRACE(std::string(c.what) + " killed at call " + std::to_string(n));
      Clear();
      const std::string fresh = Put("new", newText), target = Put("doc", oldText);
      const Outcome outcome = killtest::RunKilledAt(n, [&] {
        if (c.fault != SysFault::Count) SysInjectFault(c.fault, 0);
        return RenameFileSafe(fresh.c_str(), target.c_str(), c.flags, c.pattern, 1) ? 0 : 1;
      });
      ASSERT_NE(outcome, Outcome::Broken);
      const std::string doc = Read("doc");
      ASSERT_TRUE(doc == oldText || doc == newText);
      // Neither file is ever lost while the target still holds the old one,
      // and once replaced it stays replaced.
      if (doc == oldText) { EXPECT_EQ(Read("new"), newText); }
      if (replaced) { EXPECT_EQ(doc, newText); }
      replaced = doc == newText;
      // An exchange cut short keeps the old file as the new name's aside
      // file, which no later call on the target removes.
      if ((c.flags & RENAME_SAFE_EXCHANGE) && replaced && Read("new") != oldText) {
        EXPECT_EQ(Read("new.rf.tmp"), oldText);
        const std::string other = Put("other", "x");
        ASSERT_TRUE(RenameFileSafe(other.c_str(), target.c_str(), 0, nullptr, 0));
        SysInjectFault(SysFault::Exchange, 0);
        EXPECT_FALSE(RenameFileSafe(fresh.c_str(), target.c_str(), c.flags, nullptr, 0));  // a retry
        SysClearFaults();
        EXPECT_EQ(Read("new.rf.tmp"), oldText);
      }
      if (outcome == Outcome::Finished) {
        EXPECT_EQ(Listing(), c.after);
        if (c.flags & RENAME_SAFE_EXCHANGE) { EXPECT_EQ(Read("new"), oldText); }
        break;
      }
      ASSERT_LT(n, 2000);
    }
    EXPECT_TRUE(replaced) << c.what;
  }
}

// A rename with a backup killed between its rename and its backup leaves
// the old content only under the aside name: the next call on the target,
// even one that fails for want of its new file, makes it the backup.
TEST_F(KilledSafeFiles, NextCallFinishesAKilledBackup) {
  int between = 0;
  for (int n = 1;; ++n) {
    SCOPED_TRACE("killed at call " + std::to_string(n));
    Clear();
    const std::string target = Put("t", "V1"), fresh = Put("n", "V2");
    const Outcome outcome = killtest::RunKilledAt(
        n, [&] { return RenameFileSafe(fresh.c_str(), target.c_str(), 0, "bk.#1#", 3) ? 0 : 1; });
    ASSERT_NE(outcome, Outcome::Broken);
    if (Read("t") == "V2" && Read("t.rf.tmp") == "V1") ++between;
    EXPECT_FALSE(RenameFileSafe(dir_.File("m").c_str(), target.c_str(), 1, "bk.#1#", 3));
    if (Read("t") == "V2") {
      EXPECT_EQ(Read("bk.0"), "V1");
      EXPECT_EQ(Listing(), (Names{"bk.0", "t"}));
    }
    if (outcome == Outcome::Finished) break;
    ASSERT_LT(n, 2000);
  }
  EXPECT_GT(between, 0);
}

std::string Splice(std::string text, size_t offset, size_t oldLength, const std::string& data) {
  return text.replace(offset, oldLength, data);
}

TEST_F(KilledSafeFiles, RewriteLeavesTheFileWholeAtEveryCall) {
  const std::string oldText = Text(3, 10000);
  struct Case {
    const char* what;
    size_t offset, oldLength, newLength;
    bool viaLink;
    const char* pattern;
  } cases[] = {
      {"same length", 5000, 100, 100, false, nullptr},
      {"longer", 4000, 10, 5000, false, nullptr},
      {"shorter through a link", 100, 9000, 3, true, nullptr},
      {"same length through a link, backup", 9999, 1, 1, true, "*.bak"},
  };
  for (const Case& c : cases) {
    const std::string data = Text(4, c.newLength);
    const std::string newText = Splice(oldText, c.offset, c.oldLength, data);
    const std::string name = c.viaLink ? "link" : "f";
    Names after = c.viaLink ? Names{"f", "link"} : Names{"f"};
    if (c.pattern) after.insert(after.begin() + 1, "f.bak.0");
    bool replaced = false;
    for (int n = 1;; ++n) {
      SCOPED_TRACE(std::string(c.what) + " killed at call " + std::to_string(n));
      Clear();
      Put("f", oldText, 0640);
      if (c.viaLink) { ASSERT_EQ(::symlink("f", dir_.File("link").c_str()), 0); }
      const std::string path = dir_.File(name);
      const Outcome outcome = killtest::RunKilledAt(n, [&] {
        return WriteFileSafe(path.c_str(), int64_t(c.offset), int64_t(c.oldLength), data.data(),
                             int64_t(c.newLength), c.pattern, 1)
                   ? 0
                   : 1;
      });
      ASSERT_NE(outcome, Outcome::Broken);
      const std::string now = Read("f");
      ASSERT_TRUE(now == oldText || now == newText);
      if (replaced) { EXPECT_EQ(now, newText); }
      replaced = now == newText;
      struct stat st;
      ASSERT_EQ(::lstat(dir_.File("f").c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 07777, 0640u);
      if (c.viaLink) {
        ASSERT_EQ(::lstat(path.c_str(), &st), 0);
        EXPECT_TRUE(S_ISLNK(st.st_mode));
      }
      if (outcome == Outcome::Finished) {
        EXPECT_EQ(Listing(), after);
        break;
      }
      // Whatever the kill left, the next rewrite clears it: old content
      // left aside becomes a backup, or stays without a pattern.
      const std::string aside = Read("f.rf.tmp");
      ASSERT_TRUE(WriteFileSafe(path.c_str(), 0, 0, "+", 1, c.pattern, 2));
      EXPECT_EQ(Read("f"), "+" + now);
      if (aside != "<none>" && aside != now) { EXPECT_EQ(Read(c.pattern ? "f.bak.1" : "f.rf.tmp"), aside); }
      Names left = Listing();
      std::erase_if(left, [](const std::string& name) { return name.starts_with("f.bak.") || name == "f.rf.tmp"; });
      EXPECT_EQ(left, c.viaLink ? (Names{"f", "link"}) : (Names{"f"}));
      ASSERT_LT(n, 2000);
    }
    EXPECT_TRUE(replaced) << c.what;
  }
}

// Copies killed at every call: the target holds its whole old content, the
// whole new one, or (a new target) nothing. A name left beside it is either
// the ".cfp.tmp" the next copy with that flag takes over, or a finished copy
// caught before its last rename.
TEST_F(KilledSafeFiles, CopyLeavesTheTargetWholeAtEveryCall) {
  const std::string oldText = Text(5, 5000), newText = Text(6, 9000);
  struct Case {
    const char* what;
    DWORD flags;
    bool exists, viaLink;
  } cases[] = {
      {"new target", 0, false, false},
      {"old target", 0, true, false},
      {"old target through a link", 0, true, true},
      {"new target via .cfp.tmp", COPY_VIA_TEMPORARY, false, false},
      {"old target via .cfp.tmp", COPY_VIA_TEMPORARY, true, false},
  };
  for (const Case& c : cases) {
    const Names after = c.viaLink ? Names{"b", "link", "src"} : Names{"b", "src"};
    bool replaced = false;
    for (int n = 1;; ++n) {
      SCOPED_TRACE(std::string(c.what) + " killed at call " + std::to_string(n));
      Clear();
      const std::string source = Put("src", newText);
      if (c.exists) Put("b", oldText, 0640);
      if (c.viaLink) { ASSERT_EQ(::symlink("b", dir_.File("link").c_str()), 0); }
      const std::string target = dir_.File(c.viaLink ? "link" : "b");
      const Outcome outcome = killtest::RunKilledAt(n, [&] {
        return CopyFileEngine(c.flags, source.c_str(), target.c_str(), nullptr, nullptr, nullptr) == COPY_OK ? 0 : 1;
      });
      ASSERT_NE(outcome, Outcome::Broken);
      const std::string now = Read("b");
      ASSERT_TRUE(now == newText || now == (c.exists ? oldText : "<none>"));
      if (replaced) { EXPECT_EQ(now, newText); }
      replaced = now == newText;
      struct stat st;
      // A copy without ".cfp.tmp" keeps the old target's mode; with it the target is a new file.
      if (c.exists && (now == oldText || !(c.flags & COPY_VIA_TEMPORARY))) {
        ASSERT_EQ(::lstat(dir_.File("b").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0640u);
      }
      if (c.viaLink) {
        ASSERT_EQ(::lstat(target.c_str(), &st), 0);
        EXPECT_TRUE(S_ISLNK(st.st_mode));
      }
      EXPECT_EQ(Read("src"), newText);
      if (outcome == Outcome::Finished) {
        EXPECT_EQ(Listing(), after);
        break;
      }
      for (const std::string& name : Listing()) {
        if (name == "b.cfp.tmp" && (c.flags & COPY_VIA_TEMPORARY)) continue;
        if (std::find(after.begin(), after.end(), name) == after.end()) { EXPECT_EQ(Read(name), newText) << name; }
      }
      // Whatever the kill left, the next copy of the kind clears it.
      ASSERT_EQ(CopyFileEngine(c.flags, source.c_str(), target.c_str(), nullptr, nullptr, nullptr), COPY_OK);
      EXPECT_EQ(Listing(), after);
      ASSERT_LT(n, 2000);
    }
    EXPECT_TRUE(replaced) << c.what;
  }
}

// The file a link names is rewritten beside itself, in its own folder; the
// link, a chain of links and a second hard link stay what they were.
TEST_F(KilledSafeFiles, RewriteThroughLinks) {
  ASSERT_EQ(::mkdir(dir_.File("real").c_str(), 0755), 0);
  Put("real/f", "0123456789", 0600);
  ASSERT_EQ(::symlink("real/f", dir_.File("one").c_str()), 0);
  ASSERT_EQ(::symlink(dir_.File("one").c_str(), dir_.File("two").c_str()), 0);
  ASSERT_EQ(::link(dir_.File("real/f").c_str(), dir_.File("hard").c_str()), 0);
  ASSERT_TRUE(WriteFileSafe(dir_.File("two").c_str(), 2, 3, "abcd", 4, nullptr, 0));
  EXPECT_EQ(Read("real/f"), "01abcd56789");
  ASSERT_TRUE(WriteFileSafe(dir_.File("one").c_str(), 0, 1, "X", 1, "*.bak", 1));
  EXPECT_EQ(Read("real/f"), "X1abcd56789");
  EXPECT_EQ(Read("real/f.bak.0"), "01abcd56789");
  char named[64] = {};
  ASSERT_GT(::readlink(dir_.File("one").c_str(), named, sizeof named - 1), 0);
  EXPECT_STREQ(named, "real/f");
  struct stat st;
  ASSERT_EQ(::lstat(dir_.File("two").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(::stat(dir_.File("real/f").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  // A replaced file is a new file: a second hard link keeps the old one.
  EXPECT_EQ(Read("hard"), "0123456789");
  EXPECT_EQ(Listing(), (Names{"hard", "one", "real", "two"}));
  Names real;
  for (const auto& entry : fs::directory_iterator(dir_.File("real"))) real.push_back(entry.path().filename());
  std::sort(real.begin(), real.end());
  EXPECT_EQ(real, (Names{"f", "f.bak.0"}));
  // A link to nothing is no file to rewrite: nothing is made.
  ASSERT_EQ(::symlink("missing", dir_.File("dangling").c_str()), 0);
  EXPECT_FALSE(WriteFileSafe(dir_.File("dangling").c_str(), 0, 0, "x", 1, nullptr, 0));
  EXPECT_EQ(Read("missing"), "<none>");
  std::u16string wide;
  for (char ch : dir_.File("one")) wide += char16_t(static_cast<unsigned char>(ch));
  ASSERT_TRUE(WriteFileSafeW(wide.c_str(), 0, 1, "W", 1, nullptr, 0));
  EXPECT_EQ(Read("real/f"), "W1abcd56789");
  ASSERT_EQ(::lstat(dir_.File("one").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
}

}  // namespace
