// Stops a child process for good at each of its system calls in turn, so a
// test can look at what an interruption at every possible moment leaves on
// disk. The child is traced with ptrace and killed with SIGKILL on entry to
// its n-th system call, before that call has run.
#pragma once

#include <signal.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

namespace killtest {

enum class Outcome { Killed, Finished, Broken };

// Runs body() in a forked child and kills the child on entry to its n-th
// system call (n >= 1). Finished: the child ended before that call, body()
// having returned 0. Broken: the harness failed, or body() returned non-zero.
template <class Body>
Outcome RunKilledAt(int n, Body&& body) {
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) return Outcome::Broken;
  if (pid == 0) {
    if (ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) _exit(90);
    raise(SIGSTOP);
    _exit(body());
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFSTOPPED(status) ||
      ptrace(PTRACE_SETOPTIONS, pid, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL) != 0) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return Outcome::Broken;
  }
  int entries = 0;
  int deliver = 0;
  for (;;) {
    if (ptrace(PTRACE_SYSCALL, pid, nullptr, reinterpret_cast<void*>(long(deliver))) != 0) break;
    deliver = 0;
    if (waitpid(pid, &status, 0) != pid) break;
    if (WIFEXITED(status)) return WEXITSTATUS(status) == 0 ? Outcome::Finished : Outcome::Broken;
    if (WIFSIGNALED(status)) return Outcome::Broken;
    if (!WIFSTOPPED(status)) continue;
    if (WSTOPSIG(status) != (SIGTRAP | 0x80)) {
      deliver = WSTOPSIG(status);  // a signal of the child's own
      continue;
    }
    __ptrace_syscall_info info{};
    if (ptrace(PTRACE_GET_SYSCALL_INFO, pid, reinterpret_cast<void*>(sizeof info), &info) <= 0) break;
    if (info.op == PTRACE_SYSCALL_INFO_ENTRY && ++entries == n) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return Outcome::Killed;
    }
  }
  kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
  return Outcome::Broken;
}

}  // namespace killtest
