#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/fileio.h"

namespace {

class FdTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/zelvaro-fd-XXXXXX";
    dir_ = ::mkdtemp(name);
    oldMask_ = ::umask(022);
  }
  void TearDown() override {
    ::umask(oldMask_);
    // Folders a test made unwritable are opened up first; no shell, so PATH
    // plays no part.
    namespace fs = std::filesystem;
    std::error_code ignored;
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ignored);
    for (auto it = fs::recursive_directory_iterator(dir_, ignored); it != fs::recursive_directory_iterator();
         it.increment(ignored))
      if (it->is_directory(ignored) && !it->is_symlink(ignored))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(dir_, ignored);
  }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  static mode_t Mode(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : mode_t(-1);
  }

  std::string dir_;
  mode_t oldMask_ = 0;
};

TEST_F(FdTest, CreatesWithTheUmaskAppliedAndCloseOnExec) {
  struct Case {
    int permission;
    mode_t mode;
  } cases[] = {{FD_PERM_READ | FD_PERM_WRITE, 0644}, {FD_PERM_READ, 0444}};
  int i = 0;
  for (const Case& c : cases) {
    std::string path = Path("created" + std::to_string(i++));
    int fd = FdOpen(path.c_str(), FD_OPEN_READWRITE | FD_OPEN_CREATE | FD_OPEN_BINARY, c.permission);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(::fcntl(fd, F_GETFD) & FD_CLOEXEC);
    EXPECT_EQ(FdClose(fd), 0);
    EXPECT_EQ(Mode(path), c.mode);
  }
}

TEST_F(FdTest, ReportsWhyAnOpenFailed) {
  EXPECT_EQ(FdOpen(Path("missing").c_str(), FD_OPEN_READ), FD_ERROR_NOT_FOUND);
  EXPECT_EQ(FdOpen(Path("no/parent").c_str(), FD_OPEN_READWRITE | FD_OPEN_CREATE), FD_ERROR_NOT_FOUND);
  EXPECT_EQ(FdOpen(dir_.c_str(), FD_OPEN_READ), FD_ERROR_IS_DIRECTORY);
  EXPECT_EQ(FdOpen(dir_.c_str(), FD_OPEN_READWRITE), FD_ERROR_IS_DIRECTORY);
  EXPECT_EQ(FdOpen("", FD_OPEN_READ), FD_ERROR_NOT_FOUND);
  std::string path = Path("exists");
  int fd = FdOpen(path.c_str(), FD_OPEN_WRITE | FD_OPEN_CREATE);
  ASSERT_GE(fd, 0);
  FdClose(fd);
  EXPECT_EQ(FdOpen(path.c_str(), FD_OPEN_WRITE | FD_OPEN_CREATE | FD_OPEN_EXCLUSIVE), FD_ERROR_OTHER);
  const char16_t lone[] = {u'x', 0xD800, 0};
  EXPECT_EQ(FdOpenW(lone, FD_OPEN_READWRITE | FD_OPEN_CREATE), FD_ERROR_BAD_NAME);
}

TEST_F(FdTest, AppendTruncateAndSeekMapToTheHost) {
  std::string path = Path("data");
  int fd = FdOpen(path.c_str(), FD_OPEN_READWRITE | FD_OPEN_CREATE);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(FdWrite(fd, "0123456789", 10), 10);
  EXPECT_EQ(FdSeek(fd, 3, FD_SEEK_SET), 3);
  EXPECT_EQ(FdSeek(fd, 2, FD_SEEK_CUR), 5);
  EXPECT_EQ(FdSeek(fd, -1, FD_SEEK_END), 9);
  EXPECT_EQ(FdSeek(fd, -20, FD_SEEK_CUR), -1);
  EXPECT_EQ(FdSeek(fd, 0, 7), -1);
  EXPECT_EQ(FdSeek(fd, int64_t(5) << 32, FD_SEEK_SET), int64_t(5) << 32);  // 64-bit positions
  FdClose(fd);
  fd = FdOpen(path.c_str(), FD_OPEN_READWRITE | FD_OPEN_APPEND);
  ASSERT_GE(fd, 0);
  FdSeek(fd, 0, FD_SEEK_SET);
  EXPECT_EQ(FdWrite(fd, "ab", 2), 2);
  EXPECT_EQ(FdSeek(fd, 0, FD_SEEK_CUR), 12);
  FdSeek(fd, 0, FD_SEEK_SET);
  char text[16] = {};
  EXPECT_EQ(FdRead(fd, text, 16), 12);
  EXPECT_STREQ(text, "0123456789ab");
  EXPECT_EQ(FdRead(fd, text, 16), 0);
  FdClose(fd);
  fd = FdOpen(path.c_str(), FD_OPEN_READWRITE | FD_OPEN_TRUNCATE);
  EXPECT_EQ(FdSeek(fd, 0, FD_SEEK_END), 0);
  FdClose(fd);
}

TEST_F(FdTest, ClearReadOnlyAddsOwnerWriteAndKeepsTheOtherBits) {
  std::string path = Path("ro");
  FdClose(FdOpen(path.c_str(), FD_OPEN_WRITE | FD_OPEN_CREATE));
  ASSERT_EQ(::chmod(path.c_str(), 0454), 0);
  EXPECT_TRUE(FdClearReadOnly(path.c_str()));
  EXPECT_EQ(Mode(path), 0654u);
  std::u16string wide(path.begin(), path.end());
  ASSERT_EQ(::chmod(path.c_str(), 0400), 0);
  EXPECT_TRUE(FdClearReadOnlyW(wide.c_str()));
  EXPECT_EQ(Mode(path), 0600u);
  std::string sub = Path("folder");
  ASSERT_EQ(::mkdir(sub.c_str(), 0555), 0);
  EXPECT_FALSE(FdClearReadOnly(sub.c_str()));  // never a folder
  EXPECT_EQ(Mode(sub), 0555u);
  EXPECT_FALSE(FdClearReadOnly(Path("missing").c_str()));
}

TEST_F(FdTest, WidePathsReachTheHostAsUtf8) {
  struct Case {
    std::u16string name;
    std::string utf8;
  } cases[] = {
      {u"\u00E4pfel.txt", "\xC3\xA4pfel.txt"},
      {u"\u56FE\u50CF.png", "\xE5\x9B\xBE\xE5\x83\x8F.png"},
      {u"smile\U0001F600", "smile\xF0\x9F\x98\x80"},
  };
  for (const Case& c : cases) {
    std::u16string path = std::u16string(dir_.begin(), dir_.end()) + u"/" + c.name;
    int fd = FdOpenW(path.c_str(), FD_OPEN_READWRITE | FD_OPEN_CREATE);
    ASSERT_GE(fd, 0);
    FdClose(fd);
  }
  std::set<std::string> names;
  DIR* d = ::opendir(dir_.c_str());
  while (dirent* e = ::readdir(d)) {
    if (e->d_name[0] != '.') names.insert(e->d_name);
  }
  ::closedir(d);
  std::set<std::string> expected;
  for (const Case& c : cases) expected.insert(c.utf8);
  EXPECT_EQ(names, expected);
}

void IgnoreSignal(int) {}

// Reads and writes on a pipe come in pieces and may be interrupted by a
// signal; the descriptor functions still move every byte.
TEST_F(FdTest, PipeTransfersSurviveShortCountsAndInterruptions) {
  struct sigaction action = {};
  action.sa_handler = IgnoreSignal;  // no SA_RESTART: blocked calls fail with EINTR
  struct sigaction old;
  ASSERT_EQ(::sigaction(SIGUSR1, &action, &old), 0);
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const int size = 1 << 20;  // far beyond the pipe's buffer
  std::vector<char> out(size), in(size, 0);
  for (int i = 0; i < size; ++i) out[size_t(i)] = char(i * 31 + i / 977);
  std::atomic<bool> done{false};
  pthread_t reader = ::pthread_self();
  std::thread writer([&] {
    EXPECT_EQ(FdWrite(fds[1], out.data(), size), size);
    done = true;
  });
  pthread_t writerHandle = writer.native_handle();
  std::thread pest([&] {
    while (!done) {
      ::pthread_kill(reader, SIGUSR1);
      ::pthread_kill(writerHandle, SIGUSR1);
      ::usleep(200);
    }
  });
  EXPECT_EQ(FdRead(fds[0], in.data(), size), size);
  pest.join();  // before the writer's handle goes away
  writer.join();
  EXPECT_EQ(in, out);
  ::close(fds[1]);
  char byte;
  EXPECT_EQ(FdRead(fds[0], &byte, 1), 0);  // the end once the writer is gone
  ::close(fds[0]);
  ::sigaction(SIGUSR1, &old, nullptr);
}

}  // namespace
