// Rewrites of one file by two processes at once: each rewrite either lands
// whole and says so, or fails; none is reported done while another's landed.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/ptrace.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "files/copyengine.h"
#include "files/fileops.h"
#include "files/path.h"
#include "stream_test_util.h"

namespace {

// Runs body() in a traced child, stops it right after its first exclusive
// create, runs between() meanwhile and lets the child finish. The child's
// exit code, or -1 when the harness failed or no such create came.
template <class Body, class Between>
int RunPausedAfterCreate(Body&& body, Between&& between) {
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
        if (created) paused = true;
        creating = info.entry.nr == SYS_openat && (info.entry.args[2] & (O_CREAT | O_EXCL)) == (O_CREAT | O_EXCL);
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

// A save that has made its numbered temporary but not yet locked it looks
// like a killed save's leftover to another save's sweep: it must still
// land whole and say so, and not rename the other save's temporary.
TEST(SafeRewriteRace, SaveSweptBeforeItsLockStillLands) {
  ScratchDir dir;
  const std::string file = dir.File("new");
  const std::string first = "first save", second = "second save";
  const int child = RunPausedAfterCreate(
      [&] { return WriteFileData(file.c_str(), first.data(), int64_t(first.size()), false) ? 0 : 1; },
      [&] { EXPECT_TRUE(WriteFileData(file.c_str(), second.data(), int64_t(second.size()), false)); });
  EXPECT_EQ(child, 0);
  EXPECT_EQ(ReadWholeFile(file), Bytes(first.begin(), first.end()));
  for (int n = 0; n < 2; ++n)
    EXPECT_EQ(access((dir.path() + "/.new." + std::to_string(n) + ".tmp").c_str(), F_OK), -1) << n;
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
