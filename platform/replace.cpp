#include "platform/replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "platform/fileio.h"
#include "platform/pathconv.h"
#include "platform/syserror.h"

namespace {

std::atomic<unsigned> g_sequence{0};

// Creates "<folder>/.<name>.<pid>.<n>.tmp" exclusively, trying further
// numbers while the name is taken.
int CreateTemporary(const std::string& target, std::string& temporary) {
  const size_t slash = target.rfind('/');
  const std::string folder =
      slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  for (int attempt = 0; attempt < 64; ++attempt) {
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, ".%ld.%u.tmp", static_cast<long>(::getpid()),
                  g_sequence.fetch_add(1));
    temporary = folder + "." + name + suffix;
    int fd;
    do {
      fd = ::open(temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0) return fd;
    if (errno != EEXIST) {
      SysSetLastErrorFromErrno(errno, temporary);
      break;
    }
  }
  temporary.clear();
  return -1;
}

void Release(FdReplacement& replacement) {
  if (replacement.hold >= 0) ::close(replacement.hold);
  replacement.hold = -1;
}

}  // namespace

FdReplacement::~FdReplacement() { Release(*this); }

int FdBeginReplace(const char* path, FdReplacement& replacement) {
  replacement.target.clear();
  replacement.temporary.clear();
  Release(replacement);
  if (path == nullptr || *path == 0) return -1;
  struct stat st;
  const bool exists = ::stat(path, &st) == 0;
  if (exists) {
    if (!S_ISREG(st.st_mode)) return -1;
    // A file of someone else's that we may not write stays theirs: the
    // in-place open then fails as it always did.
    if (::access(path, W_OK) != 0 && st.st_uid != ::geteuid()) return -1;
    char* real = ::realpath(path, nullptr);
    if (real == nullptr) return -1;
    replacement.target = real;
    std::free(real);
    replacement.hold = FdHoldExclusive(replacement.target.c_str());
    if (replacement.hold == FD_ERROR_SHARING) {
      replacement.hold = -1;
      return -1;
    }
  } else {
    struct stat link;
    if (::lstat(path, &link) == 0) return -1;  // a link to nothing yet
    replacement.target = path;
  }
  if (replacement.target.back() == '/') return -1;
  const int fd = CreateTemporary(replacement.target, replacement.temporary);
  if (fd < 0) {
    Release(replacement);
    return -1;
  }
  if (exists) {
    // The replacement keeps the old file's owner where we may give it, and
    // its permission bits (after the owner, which may clear set-id bits).
    if (st.st_uid != ::geteuid() || st.st_gid != ::getegid()) {
      [[maybe_unused]] const int ignored = ::fchown(fd, st.st_uid, st.st_gid);
    }
    ::fchmod(fd, st.st_mode & 07777);
  }
  return fd;
}

int FdBeginReplaceW(const wchar16* path, FdReplacement& replacement) {
  std::string utf8;
  if (path == nullptr || !PathToUtf8(path, utf8)) {
    replacement.target.clear();
    replacement.temporary.clear();
    return -1;
  }
  return FdBeginReplace(utf8.c_str(), replacement);
}

bool FdCommitReplace(FdReplacement& replacement) {
  if (replacement.temporary.empty()) {
    Release(replacement);
    return true;
  }
  if (::rename(replacement.temporary.c_str(), replacement.target.c_str()) != 0) {
    SysSetLastErrorFromErrno(errno, replacement.target);
    FdAbandonReplace(replacement);
    return false;
  }
  Release(replacement);
  replacement.temporary.clear();
  return true;
}

void FdAbandonReplace(FdReplacement& replacement) {
  Release(replacement);
  if (replacement.temporary.empty()) return;
  ::unlink(replacement.temporary.c_str());
  replacement.temporary.clear();
}
