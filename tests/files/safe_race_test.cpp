// Rewrites of one file by two processes at once: each rewrite either lands
// whole and says so, or fails; none is reported done while another's landed.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "files/copyengine.h"
#include "files/fileops.h"
#include "files/path.h"
#include "stream_test_util.h"

namespace {

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
