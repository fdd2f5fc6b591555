// Runs a call that might hang (an open of a pipe waits for its other end)
// in a child process that a timer ends, so a hang fails the test instead of
// stalling the suite.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

namespace timelimit {

// body()'s exit code in a forked child; -1 when the child did not end by
// itself within `seconds` (or the fork failed).
template <class Body>
int RunWithin(unsigned seconds, Body&& body) {
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    alarm(seconds);  // its default action ends the child, blocked or not
    _exit(body());
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace timelimit
