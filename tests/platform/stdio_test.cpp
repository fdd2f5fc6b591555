#include "platform/stdio.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <thread>

namespace {

TEST(PlatformHandleWrite, WritesAMebibyteIntoAPipeDrainedByAThread) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  std::string got;
  std::thread reader([&] {
    char buf[65536];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0) got.append(buf, static_cast<size_t>(n));
  });
  const std::string data(1 << 20, 'p');
  EXPECT_EQ(PlatformHandleWrite(fds[1], data.data(), data.size()), int64_t{1} << 20);
  close(fds[1]);
  reader.join();
  close(fds[0]);
  EXPECT_EQ(got, data);
}

TEST(PlatformHandleWrite, ReportsNothingWrittenToABadHandle) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  close(fds[0]);
  close(fds[1]);
  EXPECT_EQ(PlatformHandleWrite(fds[1], "abc", 3), 0);
}

TEST(PlatformStdOutputHandle, IsNonZero) { EXPECT_NE(PlatformStdOutputHandle(), 0); }

TEST(PlatformFile, WritesSeeksAndReadsBack) {
  FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(PlatformFileWrite(f, "abcdef", 1, 6), 6u);
  EXPECT_EQ(PlatformFileTell(f), 6);
  EXPECT_TRUE(PlatformFileSeek(f, -4, kPlatformSeekCur));
  char buf[4];
  EXPECT_EQ(PlatformFileRead(f, buf, 2, 2), 2u);
  EXPECT_EQ(std::string(buf, 4), "cdef");
  EXPECT_TRUE(PlatformFileSeek(f, 1, kPlatformSeekSet));
  EXPECT_EQ(PlatformFileRead(f, buf, 1, 1), 1u);
  EXPECT_EQ(buf[0], 'b');
  EXPECT_TRUE(PlatformFileSeek(f, 0, kPlatformSeekEnd));
  EXPECT_EQ(PlatformFileTell(f), 6);
  EXPECT_EQ(PlatformFileWrite(f, "x", 1, 0), 0u);
  std::fclose(f);
}

TEST(PlatformFile, FailsToSeekOnAPipeAndToReadAWriteOnlyStream) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  FILE* w = fdopen(fds[1], "w");
  EXPECT_EQ(PlatformFileWrite(w, "ab", 1, 2), 2u);
  EXPECT_FALSE(PlatformFileSeek(w, -2, kPlatformSeekCur));
  char c;
  EXPECT_EQ(PlatformFileRead(w, &c, 1, 1), 0u);
  PlatformFileClearError(w);
  EXPECT_EQ(ferror(w), 0);
  std::fclose(w);
  close(fds[0]);
  EXPECT_FALSE(PlatformFileSeek(nullptr, 0, kPlatformSeekSet));
  EXPECT_EQ(PlatformFileTell(nullptr), -1);
}

TEST(PlatformStreamInfo, TellsAppendingStreamsAndTheFileUnderThem) {
  char path[] = "/tmp/zelvaro_stdio_XXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  struct {
    const char* mode;
    bool appends;
  } cases[] = {{"w+b", false}, {"r+b", false}, {"rb", false}, {"ab", true}, {"a+b", true}};
  PlatformStreamFacts first{};
  for (const auto& c : cases) {
    FILE* f = std::fopen(path, c.mode);
    ASSERT_NE(f, nullptr) << c.mode;
    PlatformStreamFacts facts{};
    EXPECT_TRUE(PlatformStreamInfo(f, &facts)) << c.mode;
    EXPECT_EQ(facts.appends, c.appends) << c.mode;
    if (&c == cases) first = facts;
    EXPECT_EQ(facts.device, first.device);
    EXPECT_EQ(facts.inode, first.inode);
    std::fclose(f);
  }
  FILE* t = std::tmpfile();
  PlatformStreamFacts other{};
  EXPECT_TRUE(PlatformStreamInfo(t, &other));
  EXPECT_FALSE(other.device == first.device && other.inode == first.inode);
  std::fclose(t);
  std::remove(path);
  EXPECT_FALSE(PlatformStreamInfo(nullptr, &other));
}

}  // namespace
