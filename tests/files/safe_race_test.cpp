// Rewrites of one file by two processes at once: each rewrite either lands
// whole and says so, or fails; none is reported done while another's landed.
// Copies stopped at a rename while a folder on the way becomes a link.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/ptrace.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "files/copyengine.h"
#include "files/copytree.h"
#include "files/fileops.h"
#include "files/path.h"
#include "platform/sysinfo.h"
#include "stream_test_util.h"

namespace {

// Runs body() in a traced child, stops it after the first system call that
// `match` picks and that succeeds (and the closes that follow it), or with
// atEntry just before that call runs, runs between() meanwhile and lets the
// child finish. The child's exit code, or -1 when the harness failed or no
// such call came.
template <class Match, class Body, class Between>
int RunPausedAfter(Match&& match, Body&& body, Between&& between, bool atEntry = false) {
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    if (ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) _exit(90);
    raise(SIGSTOP);
    _exit(body());
  }
  int status = 0;
  bool paused = false, creating = false, created = false;
  if (waitpid(pid, &status, 0) == pid &&
      ptrace(PTRACE_SETOPTIONS, pid, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL) == 0) {
    while (!paused && ptrace(PTRACE_SYSCALL, pid, nullptr, nullptr) == 0 && waitpid(pid, &status, 0) == pid &&
           WIFSTOPPED(status)) {
      __ptrace_syscall_info info{};
      if (WSTOPSIG(status) != (SIGTRAP | 0x80) ||
          ptrace(PTRACE_GET_SYSCALL_INFO, pid, reinterpret_cast<void*>(sizeof info), &info) <= 0)
        continue;
      if (info.op == PTRACE_SYSCALL_INFO_ENTRY) {
        if (created && info.entry.nr != SYS_close) paused = true;
        creating = match(info);
        if (atEntry && creating) paused = true;
      } else if (info.op == PTRACE_SYSCALL_INFO_EXIT && creating) {
        created = info.exit.rval >= 0;
      }
    }
  }
  if (paused) {
    between();
    ptrace(PTRACE_DETACH, pid, nullptr, nullptr);
  } else {
    kill(pid, SIGKILL);
  }
  if (waitpid(pid, &status, 0) != pid || !paused || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

bool IsRename(const __ptrace_syscall_info& call) {
  return call.entry.nr == SYS_rename || call.entry.nr == SYS_renameat || call.entry.nr == SYS_renameat2;
}
bool IsLink(const __ptrace_syscall_info& call) { return call.entry.nr == SYS_linkat; }

// A save that has made its numbered temporary but not yet locked it looks
// like a killed save's leftover to another save's sweep: it must still
// land whole and say so, and not rename the other save's temporary.
TEST(SafeRewriteRace, SaveSweptBeforeItsLockStillLands) {
  ScratchDir dir;
  const std::string file = dir.File("new");
  const std::string first = "first save", second = "second save";
  const int child = RunPausedAfter(
      [](const __ptrace_syscall_info& call) {
        return call.entry.nr == SYS_openat && (call.entry.args[2] & (O_CREAT | O_EXCL)) == (O_CREAT | O_EXCL);
      },
      [&] { return WriteFileData(file.c_str(), first.data(), int64_t(first.size()), false) ? 0 : 1; },
      [&] { EXPECT_TRUE(WriteFileData(file.c_str(), second.data(), int64_t(second.size()), false)); });
  EXPECT_EQ(child, 0);
  EXPECT_EQ(ReadWholeFile(file), Bytes(first.begin(), first.end()));
  for (int n = 0; n < 2; ++n)
    EXPECT_EQ(access((dir.path() + "/.new." + std::to_string(n) + ".tmp").c_str(), F_OK), -1) << n;
}

// A second rewrite while the first one, its new file in place, still backs
// up the old one under the shared aside name: the old content must end in a
// backup, whoever wins.
TEST(SafeRewriteRace, ReplaceAfterTheRenameKeepsTheFirstBackup) {
  enum { kRewrite, kRename };
  for (int first : {kRewrite, kRename}) {
    for (int second : {kRewrite, kRename}) {
      ScratchDir dir;
      const std::string file = dir.File("f");
      WriteWholeFile(file, Bytes{'o', 'l', 'd'});
      WriteWholeFile(dir.File("one"), Bytes{'o', 'n', 'e'});
      WriteWholeFile(dir.File("two"), Bytes{'t', 'w', 'o'});
      const auto replace = [&](int how, const char* with) {
        return how == kRewrite ? WriteFileSafe(file.c_str(), 0, 3, with, 3, "*.bak", 5)
                               : RenameFileSafe(dir.File(with).c_str(), file.c_str(), 0, "*.bak", 5);
      };
      bool secondDone = false;
      DWORD error = 0;
      const int child = RunPausedAfter(
          IsRename,
          [&] { return replace(first, "one") ? 0 : 1; },
          [&] {
            secondDone = replace(second, "two");
            error = SysGetLastError();
          });
      const std::string what = std::to_string(first) + "," + std::to_string(second);
      EXPECT_EQ(child, 0) << what;
      EXPECT_FALSE(secondDone) << what;  // refused while the first one runs
      EXPECT_EQ(error, 32u) << what;
      EXPECT_EQ(ReadWholeFile(file), (Bytes{'o', 'n', 'e'})) << what;
      EXPECT_EQ(ReadWholeFile(file + ".bak.0"), (Bytes{'o', 'l', 'd'})) << what;
      EXPECT_EQ(access((file + ".rf.tmp").c_str(), F_OK), -1) << what;
    }
  }
}

// A tree copy (or move) stopped just before it names its new file or
// renames it over the old one, while the target's subfolder is swapped for a link to a
// folder outside: the file lands in the folder the walk opened, and nothing
// outside the tree changes.
TEST(SafeRewriteRace, TreeCopyWritesOnlyIntoTheFoldersItOpened) {
  namespace fs = std::filesystem;
  const struct {
    DWORD flags;
    bool (*at)(const __ptrace_syscall_info&);
  } cases[] = {{0, IsLink}, {0, IsRename}, {COPY_VIA_TEMPORARY, IsRename}, {COPY_MOVE, IsRename},
               {TREE_CLEAR_TARGET, IsLink}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.flags << (c.at == IsLink ? " link" : " rename"));
    ScratchDir dir, outside;
    const std::string src = dir.File("src"), dst = dir.File("dst");
    fs::create_directories(src + "/sub");
    fs::create_directories(dst + "/sub");
    WriteWholeFile(src + "/sub/f", Bytes{'n', 'e', 'w'});
    WriteWholeFile(dst + "/sub/f", Bytes{'o', 'l', 'd'});
    WriteWholeFile(outside.File("f"), Bytes{'o', 'u', 't'});
    const int child = RunPausedAfter(
        c.at,
        [&] { return CopyDirectoryTree(c.flags | TREE_SUBDIRECTORIES, src.c_str(), dst.c_str(), nullptr) == 1 ? 0 : 1; },
        [&] {
          fs::rename(dst + "/sub", dst + "/moved");
          fs::create_directory_symlink(outside.path(), dst + "/sub");
        },
        true);
    EXPECT_EQ(child, 0);
    EXPECT_EQ(ReadWholeFile(dst + "/moved/f"), (Bytes{'n', 'e', 'w'}));
    EXPECT_EQ(ReadWholeFile(outside.File("f")), (Bytes{'o', 'u', 't'}));
    EXPECT_EQ(std::distance(fs::directory_iterator(outside.path()), fs::directory_iterator()), 1);
  }
}

TEST(SafeRewriteRace, EveryReportedAppendIsInTheFile) {
  constexpr int kRounds = 300;
  ScratchDir dir;
  const std::string file = dir.File("shared");
  WriteWholeFile(file, Bytes{});
  int pipes[2][2];
  pid_t children[2];
  for (int c = 0; c < 2; ++c) {
    ASSERT_EQ(pipe(pipes[c]), 0);
    children[c] = fork();
    ASSERT_GE(children[c], 0);
    if (children[c] == 0) {
      const char mark = static_cast<char>('a' + c);
      int done = 0;
      for (int i = 0; i < kRounds; ++i) {
        int64_t size = 0;
        GetFileSize64ByName(file.c_str(), &size);
        if (WriteFileSafe(file.c_str(), size, 0, &mark, 1, nullptr, 0)) ++done;
      }
      (void)!write(pipes[c][1], &done, sizeof done);
      _exit(0);
    }
    close(pipes[c][1]);
  }
  int done[2] = {0, 0};
  for (int c = 0; c < 2; ++c) {
    int status = 0;
    waitpid(children[c], &status, 0);
    ASSERT_EQ(read(pipes[c][0], &done[c], sizeof done[c]), static_cast<ssize_t>(sizeof done[c]));
    close(pipes[c][0]);
  }
  const Bytes content = ReadWholeFile(file);
  // An insertion at or before the end adds one byte wherever the file has
  // grown meanwhile: every reported one is there, and nothing else.
  const auto count = [&](char m) { return std::count(content.begin(), content.end(), static_cast<uint8_t>(m)); };
  EXPECT_GT(done[0] + done[1], 0);
  EXPECT_EQ(count('a'), done[0]);
  EXPECT_EQ(count('b'), done[1]);
  EXPECT_EQ(content.size(), static_cast<size_t>(done[0] + done[1]));
  EXPECT_EQ(access((file + ".cf.tmp").c_str(), F_OK), -1);
}

}  // namespace
