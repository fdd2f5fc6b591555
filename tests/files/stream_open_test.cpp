// Opening files: every mode, with and without append, on a missing, existing,
// read-only and folder target and under a missing folder. The matrix runs in a
// child process without root's privileges, which would open read-only files.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <sstream>

#include "stream_test_util.h"

namespace {

enum Target { kMissing, kExisting, kReadOnly, kFolder, kMissingParent };
const char* const kTargetNames[] = {"missing", "existing", "read-only", "folder", "missing parent"};

struct Expectation {
  bool opens;
  const char* content;  // after writing "XY" when writable and closing; null: no file
  mode_t mode;          // mode bits afterwards (0: none to check)
};

// The original file holds "0123456789" with mode 0644 (0444 when read-only).
Expectation Expected(int mode, bool append, Target target) {
  switch (target) {
    case kMissing:
      if (mode == STREAM_MODE_READ) return {false, nullptr, 0};
      return {true, "XY", 0644};
    case kExisting:
      if (mode == STREAM_MODE_READ) return {true, "0123456789", 0644};
      if (mode == STREAM_MODE_READWRITE) return {true, append ? "0123456789XY" : "XY23456789", 0644};
      return {true, "XY", 0644};
    case kReadOnly:
      if (mode == STREAM_MODE_READ) return {true, "0123456789", 0444};
      if (mode == STREAM_MODE_READWRITE) return {false, "0123456789", 0444};
      return {true, "XY", 0644};  // create clears the read-only state
    case kFolder:
      return {false, nullptr, 0755};
    case kMissingParent:
      return {false, nullptr, 0};
  }
  return {false, nullptr, 0};
}

std::string RunMatrix(const std::string& dir) {
  std::ostringstream failures;
  ::umask(022);
  int index = 0;
  for (int mode : {STREAM_MODE_READ, STREAM_MODE_READWRITE, STREAM_MODE_CREATE}) {
    for (bool append : {false, true}) {
      for (Target target : {kMissing, kExisting, kReadOnly, kFolder, kMissingParent}) {
        std::string path = dir + "/case" + std::to_string(index++);
        if (target == kExisting || target == kReadOnly) {
          WriteWholeFile(path, Bytes{'0', '1', '2', '3', '4', '5', '6', '7', '8', '9'});
          ::chmod(path.c_str(), target == kReadOnly ? 0444 : 0644);
        } else if (target == kFolder) {
          ::mkdir(path.c_str(), 0755);
        } else if (target == kMissingParent) {
          path += "/missing/file";
        }
        Expectation want = Expected(mode, append, target);
        std::string label = std::string("mode ") + std::to_string(mode) + (append ? " append " : " ") +
                            kTargetNames[target] + ": ";
        CFileStream stream(512);
        bool opened = stream.Open(path.c_str(), mode, append);
        if (opened != want.opens) failures << label << "open gave " << opened << "\n";
        if (opened && mode != STREAM_MODE_READ) {
          if (stream.Tell() != 0) failures << label << "does not start at offset 0\n";
          if (stream.Write("XY", 2) != 2) failures << label << "write failed\n";
        }
        if (opened && !stream.Close()) failures << label << "close failed\n";
        struct stat st;
        bool exists = ::stat(path.c_str(), &st) == 0;
        if (want.content != nullptr) {
          std::string content;
          for (uint8_t b : ReadWholeFile(path)) content += char(b);
          if (!exists || content != want.content) failures << label << "content \"" << content << "\"\n";
        } else if (target != kFolder && exists) {
          failures << label << "a file appeared\n";
        }
        if (want.mode != 0 && exists && (st.st_mode & 07777) != want.mode) {
          failures << label << "mode " << std::oct << (st.st_mode & 07777) << std::dec << "\n";
        }
      }
    }
  }
  return failures.str();
}

TEST(StreamOpen, ModesAppendAndTargetsGiveTheExpectedResultContentAndMode) {
  ScratchDir dir;
  ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(pipeFds[0]);
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
    std::string failures = RunMatrix(dir.path());
    if (::write(pipeFds[1], failures.data(), failures.size()) < 0) ::_exit(4);
    ::_exit(0);
  }
  ::close(pipeFds[1]);
  std::string report;
  char chunk[512];
  ssize_t got;
  while ((got = ::read(pipeFds[0], chunk, sizeof chunk)) > 0) report.append(chunk, size_t(got));
  ::close(pipeFds[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(report, "");
}

TEST(StreamOpen, RejectsUnknownModesAndKeepsTheBufferSize) {
  ScratchDir dir;
  std::string path = dir.File("f");
  CFileStream stream(1000);
  EXPECT_FALSE(stream.Open(path.c_str(), 3));
  EXPECT_FALSE(stream.Open(path.c_str(), -1));
  EXPECT_FALSE(stream.OpenMemory(nullptr, 0, 4));
  EXPECT_FALSE(stream.Open(nullptr));
  EXPECT_EQ(stream.SetBufferSize(0), 1000);  // failed opens leave the capacity alone
}

TEST(StreamOpen, WidePathsNameTheirUtf8Files) {
  ScratchDir dir;
  std::u16string base(dir.path().begin(), dir.path().end());
  const char16_t* names[] = {u"/\u00E4.bin", u"/\u56FE.bin", u"/\U0001F600.bin"};
  const char* utf8[] = {"/\xC3\xA4.bin", "/\xE5\x9B\xBE.bin", "/\xF0\x9F\x98\x80.bin"};
  for (int i = 0; i < 3; ++i) {
    CFileStream stream;
    ASSERT_TRUE(stream.OpenW((base + names[i]).c_str(), STREAM_MODE_CREATE));
    EXPECT_EQ(stream.Write("wide", 4), 4);
    EXPECT_TRUE(stream.Close());
    EXPECT_EQ(ReadWholeFile(dir.path() + utf8[i]), (Bytes{'w', 'i', 'd', 'e'}));
    CFileStream reader((base + names[i]).c_str(), 512);
    EXPECT_TRUE(reader.IsOpen());
  }
  const char16_t lone[] = {u'/', 0xDC00, u'x', 0};
  CFileStream stream;
  EXPECT_FALSE(stream.OpenW((base + lone).c_str(), STREAM_MODE_CREATE));
}

}  // namespace
