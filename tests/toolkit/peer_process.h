// Runs a peer command-line tool on bytes and returns what it printed, so
// tests can hold our output against an independent implementation.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

namespace peer {

// Writes input to a scratch file, runs "command < file" through the shell and
// returns its standard output. ok is false when the tool could not be run.
inline std::string Run(const std::string& command, const std::string& input, bool* ok = nullptr) {
  char path[] = "/tmp/zelvaro-peer-XXXXXX";
  const int fd = mkstemp(path);
  std::string out;
  bool good = fd >= 0;
  if (good) {
    size_t done = 0;
    while (done < input.size()) {
      const ssize_t n = write(fd, input.data() + done, input.size() - done);
      if (n <= 0) {
        good = false;
        break;
      }
      done += static_cast<size_t>(n);
    }
    close(fd);
  }
  if (good) {
    const std::string line = command + " < " + path;
    FILE* p = popen(line.c_str(), "r");
    good = p != nullptr;
    if (p) {
      char buf[65536];
      size_t n;
      while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
      good = pclose(p) == 0;
    }
  }
  if (fd >= 0) unlink(path);
  if (ok) *ok = good;
  return out;
}

}  // namespace peer
