// Share modes across processes: a file held open by one process for writing
// keeps every other open out; one held for reading admits readers only;
// streams share with streams.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "files/copyengine.h"
#include "files/fileops.h"
#include "files/path.h"
#include "files/stream.h"
#include "platform/fileio.h"
#include "platform/sysinfo.h"
#include "stream_test_util.h"

namespace {

constexpr DWORD kSharing = 32;
constexpr DWORD kUntouched = 0xDEAD;

// A child process that opens `path` with a CFileStream in `mode` (or, not
// a stream, with FdOpen for reading or writing) and holds it until the test
// lets it go (or kills it).
class Holder {
 public:
  Holder(const std::string& path, int mode, bool stream = false) {
    int ready[2], release[2];
    if (::pipe(ready) != 0 || ::pipe(release) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(ready[0]);
      ::close(release[1]);
      CFileStream file(4096);
      const int plain = mode == STREAM_MODE_READ ? FD_OPEN_READ : FD_OPEN_READWRITE;
      char opened = (stream ? file.Open(path.c_str(), mode) : FdOpen(path.c_str(), plain) >= 0) ? '1' : '0';
      if (::write(ready[1], &opened, 1) != 1) ::_exit(2);
      char ignored;
      while (::read(release[0], &ignored, 1) > 0) {
      }
      ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    release_ = release[1];
    char opened = 0;
    held_ = ::read(ready[0], &opened, 1) == 1 && opened == '1';
    ::close(ready[0]);
  }
  ~Holder() { End(SIGTERM); }
  bool held() const { return held_; }
  // Ends the holder: by letting it go, or with a signal.
  void End(int signal) {
    if (pid_ <= 0) return;
    if (signal != 0) ::kill(pid_, signal);
    ::close(release_);
    int status;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  int release_ = -1;
  bool held_ = false;
};

struct Attempt {
  const char* what;
  bool writes;                          // a writer: refused by any holder but a stream
  bool stream;                          // a stream: shares with streams
  std::function<bool(ScratchDir&)> run;  // true when the call succeeded
};

// The operations under test, each on the file "held" (content "old").
std::vector<Attempt> Attempts() {
  return {
      {"copy onto", true, false,
       [](ScratchDir& d) {
         return CopyFileEngine(0, d.File("src").c_str(), d.File("held").c_str(), nullptr, nullptr, nullptr) ==
                COPY_OK;
       }},
      {"copy onto via temporary", true, false,
       [](ScratchDir& d) {
         return CopyFileEngine(COPY_VIA_TEMPORARY, d.File("src").c_str(), d.File("held").c_str(), nullptr,
                               nullptr, nullptr) == COPY_OK;
       }},
      {"move onto", true, false,
       [](ScratchDir& d) {
         WriteWholeFile(d.File("mv"), Bytes{'m'});
         return CopyFileEngine(COPY_MOVE, d.File("mv").c_str(), d.File("held").c_str(), nullptr, nullptr,
                               nullptr) == COPY_OK;
       }},
      {"WriteFileData", true, false, [](ScratchDir& d) { return WriteFileData(d.File("held").c_str(), "new", 3, false); }},
      {"WriteFileData append", true, false,
       [](ScratchDir& d) { return WriteFileData(d.File("held").c_str(), "+", 1, true); }},
      {"stream create", true, true,
       [](ScratchDir& d) {
         CFileStream s(4096);
         return s.Open(d.File("held").c_str(), STREAM_MODE_CREATE);
       }},
      {"stream read-write", true, true,
       [](ScratchDir& d) {
         CFileStream s(4096);
         return s.Open(d.File("held").c_str(), STREAM_MODE_READWRITE);
       }},
      {"delete", true, false, [](ScratchDir& d) { return DeleteFileForced(d.File("held").c_str()); }},
      {"WriteFileSafe", true, false,
       [](ScratchDir& d) { return WriteFileSafe(d.File("held").c_str(), 0, 1, "n", 1, "*.bak", 1); }},
      {"RenameFileSafe onto", true, false,
       [](ScratchDir& d) {
         WriteWholeFile(d.File("mv"), Bytes{'m'});
         return RenameFileSafe(d.File("mv").c_str(), d.File("held").c_str(), 0, "*.bak", 1);
       }},
      {"stream read", false, true,
       [](ScratchDir& d) {
         CFileStream s(4096);
         return s.Open(d.File("held").c_str(), STREAM_MODE_READ);
       }},
      {"ReadFileData", false, false,
       [](ScratchDir& d) {
         char buffer[16];
         return ReadFileData(d.File("held").c_str(), buffer, sizeof buffer) == 3;
       }},
      {"copy from", false, false,
       [](ScratchDir& d) {
         return CopyFileEngine(0, d.File("held").c_str(), d.File("out").c_str(), nullptr, nullptr, nullptr) ==
                COPY_OK;
       }},
  };
}

void Prepare(ScratchDir& dir) {
  WriteWholeFile(dir.File("src"), Bytes{'s', 'r', 'c'});
  WriteWholeFile(dir.File("held"), Bytes{'o', 'l', 'd'});
}

bool OnlyHeldAndSource(ScratchDir& dir) {
  std::vector<std::string> names;
  DIR* d = ::opendir(dir.path().c_str());
  while (dirent* e = ::readdir(d)) {
    if (e->d_name[0] != '.' || (e->d_name[1] != 0 && e->d_name[1] != '.')) names.push_back(e->d_name);
  }
  ::closedir(d);
  for (const std::string& n : names) {
    if (n != "src" && n != "held" && n != "mv" && n != "out") return false;
  }
  return true;
}

TEST(ShareModes, WriterKeepsEveryOtherOpenOut) {
  for (const Attempt& attempt : Attempts()) {
    ScratchDir dir;
    Prepare(dir);
    Holder holder(dir.File("held"), STREAM_MODE_READWRITE);
    ASSERT_TRUE(holder.held());
    SysSetLastError(kUntouched);
    EXPECT_FALSE(attempt.run(dir)) << attempt.what;
    EXPECT_EQ(SysGetLastError(), kSharing) << attempt.what;
    EXPECT_EQ(ReadWholeFile(dir.File("held")), (Bytes{'o', 'l', 'd'})) << attempt.what;
    EXPECT_TRUE(OnlyHeldAndSource(dir)) << attempt.what;
  }
}

// A stream shares its file with other streams, writers too, as the runtime
// library's opens do, and with readers; whatever holds a file alone refuses
// it and is refused.
TEST(ShareModes, StreamsShareWithStreamsOnly) {
  for (int mode : {STREAM_MODE_READWRITE, STREAM_MODE_READ}) {
    for (const Attempt& attempt : Attempts()) {
      ScratchDir dir;
      Prepare(dir);
      Holder holder(dir.File("held"), mode, true);
      ASSERT_TRUE(holder.held());
      SysSetLastError(kUntouched);
      const bool admitted = attempt.stream || !attempt.writes;
      EXPECT_EQ(attempt.run(dir), admitted) << attempt.what << " " << mode;
      if (!admitted) {
        EXPECT_EQ(SysGetLastError(), kSharing) << attempt.what;
        EXPECT_EQ(ReadWholeFile(dir.File("held")), (Bytes{'o', 'l', 'd'})) << attempt.what;
      }
    }
  }
}

TEST(ShareModes, ReaderAdmitsReadersOnly) {
  for (const Attempt& attempt : Attempts()) {
    ScratchDir dir;
    Prepare(dir);
    Holder holder(dir.File("held"), STREAM_MODE_READ);
    ASSERT_TRUE(holder.held());
    SysSetLastError(kUntouched);
    EXPECT_EQ(attempt.run(dir), !attempt.writes || attempt.stream) << attempt.what;
    if (attempt.writes && !attempt.stream) {
      EXPECT_EQ(SysGetLastError(), kSharing) << attempt.what;
      EXPECT_EQ(ReadWholeFile(dir.File("held")), (Bytes{'o', 'l', 'd'})) << attempt.what;
      EXPECT_TRUE(OnlyHeldAndSource(dir)) << attempt.what;
    }
  }
}

// The hold goes with its process, however that ends.
TEST(ShareModes, KilledHolderReleasesTheFile) {
  for (const Attempt& attempt : Attempts()) {
    ScratchDir dir;
    Prepare(dir);
    Holder holder(dir.File("held"), STREAM_MODE_READWRITE);
    ASSERT_TRUE(holder.held());
    holder.End(SIGKILL);
    EXPECT_TRUE(attempt.run(dir)) << attempt.what;
  }
}

// One process is held to the same rules as two: streams share, a file a
// stream has open is neither rewritten nor deleted, and a closed stream lets
// go at once.
TEST(ShareModes, OpensWithinOneProcessFollowTheSameRules) {
  ScratchDir dir;
  Prepare(dir);
  const std::string held = dir.File("held");
  CFileStream a(4096), b(4096);
  ASSERT_TRUE(a.Open(held.c_str(), STREAM_MODE_CREATE));
  ASSERT_TRUE(b.Open(held.c_str(), STREAM_MODE_READ));
  EXPECT_EQ(a.Write("new", 3), 3);
  ASSERT_TRUE(a.Flush());
  char got[4] = {};
  EXPECT_EQ(b.Read(got, 3), 3);
  EXPECT_STREQ(got, "new");
  SysSetLastError(kUntouched);
  EXPECT_FALSE(WriteFileData(held.c_str(), "x", 1, false));
  EXPECT_EQ(SysGetLastError(), kSharing);
  EXPECT_FALSE(DeleteFileForced(held.c_str()));
  a.Close();
  b.Close();
  EXPECT_TRUE(WriteFileData(held.c_str(), "x", 1, false));
  const int alone = FdOpen(held.c_str(), FD_OPEN_WRITE);
  ASSERT_GE(alone, 0);
  EXPECT_FALSE(a.Open(held.c_str(), STREAM_MODE_READ));
  EXPECT_EQ(SysGetLastError(), kSharing);
  FdClose(alone);
  EXPECT_TRUE(a.Open(held.c_str(), STREAM_MODE_READ));
}

}  // namespace
