// Failing back-ends: a full device, a file size limit, and caller back-ends
// that take short counts, nothing, or fail. No failed write may be reported
// as success, and nothing that was accepted may be lost or misplaced.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include "stream_test_util.h"

namespace {

TEST(StreamFault, AFullDeviceFailsTheFlushAndTheClose) {
  CFileStream stream(4096);
  ASSERT_TRUE(stream.Open("/dev/full", STREAM_MODE_CREATE));
  EXPECT_EQ(stream.Write("abc", 3), 3);  // buffered
  EXPECT_FALSE(stream.Flush());
  EXPECT_FALSE(stream.Flush());  // still pending, still failing
  Bytes big(70000, 'x');
  EXPECT_EQ(stream.Write(big.data(), int(big.size())), -1);
  EXPECT_FALSE(stream.Close());
  EXPECT_FALSE(stream.IsOpen());
}

// In a child limited to 10000 bytes of file with SIGXFSZ ignored, the write
// that crosses the limit is short and the next fails with EFBIG.
TEST(StreamFault, AFileSizeLimitFailsTheWriteAndKeepsTheBytesInOrder) {
  ScratchDir dir;
  std::string path = dir.File("limited");
  Bytes data = RandomBytes(5, 30000);
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {10000, 10000};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(10);
    CFileStream stream(4096);
    if (!stream.Open(path.c_str(), STREAM_MODE_CREATE)) ::_exit(11);
    int failedAt = -1;
    for (int at = 0; at < 30000; at += 1000) {
      if (stream.Write(data.data() + at, 1000) != 1000) {
        failedAt = at;
        break;
      }
    }
    if (failedAt < 0) ::_exit(12);   // a failed write reported as success
    if (stream.Seek(0, 0) != -1) ::_exit(13);
    if (stream.Close()) ::_exit(14);
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
  Bytes stored = ReadWholeFile(path);
  ASSERT_EQ(stored.size(), 10000u);
  EXPECT_TRUE(std::equal(stored.begin(), stored.end(), data.begin()));
}

TEST(StreamFault, PendingBytesWaitForTheBackEndToRecover) {
  VectorBackend backend;
  backend.writeScript = {-1, 30, 0};  // fail; take 30 then nothing
  CFileStream stream(512);
  ASSERT_TRUE(backend.OpenOn(stream));
  Bytes data = RandomBytes(9, 100);
  ASSERT_EQ(stream.Write(data.data(), 100), 100);
  EXPECT_EQ(stream.Seek(0, 0), -1);  // the flush fails: the stream stays
  EXPECT_EQ(stream.Tell(), 100);
  EXPECT_FALSE(stream.Flush());      // 30 bytes go, then nothing
  EXPECT_EQ(stream.Tell(), 100);
  EXPECT_TRUE(stream.Flush());       // recovered: the other 70 follow
  EXPECT_EQ(backend.data, data);
  EXPECT_EQ(stream.Write("!", 1), 1);
  EXPECT_TRUE(stream.Close());
  data.push_back('!');
  EXPECT_EQ(backend.data, data);
}

TEST(StreamFault, CloseReportsBytesItCouldNotHandOn) {
  VectorBackend backend;
  backend.writeScript = {-1};
  CFileStream stream(512);
  ASSERT_TRUE(backend.OpenOn(stream));
  ASSERT_EQ(stream.Write("abc", 3), 3);
  EXPECT_FALSE(stream.Close());
  EXPECT_EQ(backend.closeCalls, 1);  // closed all the same
}

// Random writes, seeks and flushes over a back-end that falls short, takes
// nothing or fails at random calls: whenever every call succeeded and Close
// said true, the back-end holds exactly the model's bytes.
TEST(StreamFault, SuccessReportedEverywhereMeansTheBytesAreRight) {
  int cleanRuns = 0;
  for (uint32_t seed = 1; seed <= 300; ++seed) {
    uint32_t x = seed * 2246822519u + 7;
    auto next = [&x]() {
      x ^= x << 13;
      x ^= x >> 17;
      x ^= x << 5;
      return x;
    };
    VectorBackend backend;
    for (int i = 0; i < 12; ++i) {
      uint32_t r = next() % 10;
      backend.writeScript.push_back(r < 7 ? 100000 : r < 8 ? int(next() % 300) : r < 9 ? 0 : -1);
    }
    CFileStream stream(512);
    ASSERT_TRUE(backend.OpenOn(stream));
    Bytes model;
    int64_t pos = 0;
    bool allOk = true;
    for (int op = 0; op < 40; ++op) {
      uint32_t kind = next() % 10;
      if (kind < 6) {
        int n = 1 + int(next() % 2000);
        Bytes bytes = RandomBytes(next(), size_t(n));
        int got = stream.Write(bytes.data(), n);
        if (got != n) {
          allOk = false;
          EXPECT_EQ(got, -1);
        }
        if (int64_t(model.size()) < pos + n) model.resize(size_t(pos + n));
        std::copy(bytes.begin(), bytes.end(), model.begin() + pos);
        pos += n;
      } else if (kind < 8) {
        int target = int(next() % (model.size() + 1));
        if (stream.Seek(target, 0) == -1) {
          allOk = false;
        } else {
          pos = target;
        }
      } else {
        allOk &= stream.Flush();
      }
    }
    allOk &= stream.Close();
    if (allOk) {
      ++cleanRuns;
      ASSERT_EQ(backend.data, model) << "seed " << seed;
    }
  }
  EXPECT_GT(cleanRuns, 15);
}

TEST(StreamFault, ShortCountsAloneNeverFailAWrite) {
  for (int take : {1, 7, 300}) {
    VectorBackend backend;
    backend.writeScript.assign(200, take);
    CFileStream stream(512);
    ASSERT_TRUE(backend.OpenOn(stream));
    Bytes data = RandomBytes(uint32_t(take), 3000);
    EXPECT_EQ(stream.Write(data.data(), 1000), 1000);
    EXPECT_EQ(stream.Write(data.data() + 1000, 2000), 2000);
    EXPECT_TRUE(stream.Close());
    EXPECT_EQ(backend.data, data);
  }
}

}  // namespace
