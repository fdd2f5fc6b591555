#include "platform/replace.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/fileio.h"
#include "platform/fsops.h"
#include "platform/pathconv.h"
#include "platform/pathsys.h"
#include "platform/syserror.h"

namespace {

// Numbers a temporary of one target may take; a save takes the first free.
constexpr int kTemporaryNumbers = 64;

std::string FolderOf(const std::string& target) {
  const size_t slash = target.rfind('/');
  return slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
}

// "<folder>/.<name>.<n>.tmp": the same names for every save of one target,
// so the next save finds what a killed one left.
std::string TemporaryName(const std::string& target, int n) {
  const std::string folder = FolderOf(target);
  return folder + "." + target.substr(folder.size()) + "." + std::to_string(n) + ".tmp";
}

// Locks a temporary for as long as its save runs.
bool Guard(int fd) {
  int rc;
  do {
    rc = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  return rc == 0;
}

// Removes the temporaries of target that no save holds (what killed saves
// left), from the first number up to the first free one. A name is removed
// only while it still names the file found unheld.
void ClearLeftovers(const std::string& target) {
  for (int n = 0; n < kTemporaryNumbers; ++n) {
    const std::string name = TemporaryName(target, n);
    int fd = ::open(name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno == EACCES) fd = ::open(name.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
      if (errno == ENOENT) return;
      continue;
    }
    struct stat held, named;
    if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && Guard(fd) &&
        ::lstat(name.c_str(), &named) == 0 && named.st_dev == held.st_dev && named.st_ino == held.st_ino)
      ::unlink(name.c_str());
    ::close(fd);
  }
}

// Whether the locked temporary fd is still the file its name names.
bool StillNamed(int fd, const std::string& name) {
  struct stat held, named;
  return ::fstat(fd, &held) == 0 && ::lstat(name.c_str(), &named) == 0 && named.st_dev == held.st_dev &&
         named.st_ino == held.st_ino;
}

// Creates a temporary name exclusively and locks it, trying further numbers
// while the name is taken. Until the lock, another save's sweep takes the new
// file for a leftover and may remove it (holding the lock meanwhile): the
// lock waits for such a sweep, and a file that lost its name is given up, as
// the name may already be another save's.
int CreateTemporary(const std::string& target, std::string& temporary) {
  for (int n = 0, tries = 0; n < kTemporaryNumbers && tries < 4 * kTemporaryNumbers; ++tries) {
    temporary = TemporaryName(target, n);
    int fd;
    do {
      fd = ::open(temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0) {
      int rc;
      do {
        rc = ::flock(fd, LOCK_EX);
      } while (rc != 0 && errno == EINTR);
      // Where the file system has no locks, nothing is swept either.
      if (rc != 0 || StillNamed(fd, temporary)) return fd;
      ::close(fd);
      continue;  // swept: the same number again
    }
    if (errno != EEXIST) {
      SysSetLastErrorFromErrno(errno, temporary);
      break;
    }
    ++n;
  }
  temporary.clear();
  return -1;
}

// A file without a name in the target's folder; -1 where the file system
// has none.
int CreateUnnamed(const std::string& target) {
  if (SysTakeFault(SysFault::Unnamed)) return -1;
  // Without /proc only a privileged process could name the file at the end:
  // the named temporary serves.
  if (::access("/proc/self/fd", X_OK) != 0) return -1;
  std::string folder = FolderOf(target);
  if (folder.empty()) folder = ".";
  int fd;
  do {
    fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Gives the unnamed file a name; false with errno set. Naming through the
// descriptor's entry in /proc needs no privilege; the direct form serves
// a privileged process should that entry fail.
bool NameUnnamed(int fd, const std::string& name) {
  char entry[48];
  std::snprintf(entry, sizeof entry, "/proc/self/fd/%d", fd);
  if (::linkat(AT_FDCWD, entry, AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
  if (errno == EEXIST) return false;
  return ::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0;
}

void Release(FdReplacement& replacement) {
  if (replacement.hold >= 0) ::close(replacement.hold);
  replacement.hold = -1;
}

void DropUnnamed(FdReplacement& replacement) {
  if (replacement.unnamed >= 0) ::close(replacement.unnamed);
  replacement.unnamed = -1;
  if (replacement.guard >= 0) ::close(replacement.guard);
  replacement.guard = -1;
}

// Looks at the target: false when it is to be written in place. Fills the
// target's host path, holds an existing one and tells whether it exists
// (with its facts).
bool Prepare(const char* path, FdReplacement& replacement, struct stat& st, bool& exists) {
  replacement.target.clear();
  replacement.temporary.clear();
  Release(replacement);
  DropUnnamed(replacement);
  std::string host;
  if (path == nullptr || !SysHostPath(path, host)) return false;
  exists = ::stat(host.c_str(), &st) == 0;
  if (exists) {
    if (!S_ISREG(st.st_mode)) return false;
    // A file of someone else's that we may not write stays theirs: the
    // in-place open then fails as it always did.
    if (::access(host.c_str(), W_OK) != 0 && st.st_uid != ::geteuid()) return false;
    char* real = ::realpath(host.c_str(), nullptr);
    if (real == nullptr) return false;
    replacement.target = real;
    std::free(real);
    replacement.hold = FdHoldExclusive(replacement.target.c_str());
    if (replacement.hold == FD_ERROR_SHARING) {
      replacement.hold = -1;
      return false;
    }
  } else {
    struct stat link;
    if (::lstat(host.c_str(), &link) == 0) return false;  // a link to nothing yet
    replacement.target = host;
  }
  if (replacement.target.back() != '/') return true;
  Release(replacement);
  return false;
}

// The replacement keeps the old file's owner where we may give it, and its
// permission bits (after the owner, which may clear set-id bits).
void TakeOver(int fd, const struct stat& st) {
  if (st.st_uid != ::geteuid() || st.st_gid != ::getegid()) {
    [[maybe_unused]] const int ignored = ::fchown(fd, st.st_uid, st.st_gid);
  }
  ::fchmod(fd, st.st_mode & 07777);
}

int Begin(const char* path, FdReplacement& replacement, bool unnamed) {
  struct stat st;
  bool exists = false;
  if (!Prepare(path, replacement, st, exists)) return -1;
  if (exists && replacement.ownOnly && st.st_uid != ::geteuid()) {
    Release(replacement);
    return -1;
  }
  ClearLeftovers(replacement.target);
  int fd = -1;
  if (unnamed) {
    const int own = CreateUnnamed(replacement.target);
    if (own >= 0) {
      fd = ::fcntl(own, F_DUPFD_CLOEXEC, 0);
      if (fd < 0) {
        ::close(own);
      } else {
        replacement.unnamed = own;
        Guard(own);  // before it has a name
      }
    }
  }
  if (fd < 0) {
    fd = CreateTemporary(replacement.target, replacement.temporary);
    // The guard shares the open file and so its lock.
    replacement.guard = fd < 0 ? -1 : ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (fd >= 0 && replacement.guard < 0) {
      SysSetLastErrorFromErrno(errno, replacement.temporary);
      ::unlink(replacement.temporary.c_str());
      replacement.temporary.clear();
      ::close(fd);
      fd = -1;
    }
  }
  if (fd < 0) {
    Release(replacement);
    return -1;
  }
  if (exists) TakeOver(fd, st);
  return fd;
}

int BeginW(const wchar16* path, FdReplacement& replacement, bool unnamed) {
  std::string utf8;
  if (path == nullptr || !PathToUtf8(path, utf8)) {
    replacement.target.clear();
    replacement.temporary.clear();
    Release(replacement);
    DropUnnamed(replacement);
    return -1;
  }
  return Begin(utf8.c_str(), replacement, unnamed);
}

// Gives the finished unnamed file the target's name: directly where the
// name is free, else under a temporary name for the one rename over it.
bool CommitUnnamed(FdReplacement& replacement) {
  if (NameUnnamed(replacement.unnamed, replacement.target)) return true;
  for (int n = 0; errno == EEXIST && n < kTemporaryNumbers; ++n) {
    replacement.temporary = TemporaryName(replacement.target, n);
    if (NameUnnamed(replacement.unnamed, replacement.temporary)) {
      if (::rename(replacement.temporary.c_str(), replacement.target.c_str()) == 0) {
        replacement.temporary.clear();
        return true;
      }
      break;
    }
    replacement.temporary.clear();
  }
  SysSetLastErrorFromErrno(errno, replacement.target);
  return false;
}

}  // namespace

FdReplacement::~FdReplacement() {
  Release(*this);
  DropUnnamed(*this);
}

int FdBeginReplace(const char* path, FdReplacement& replacement) { return Begin(path, replacement, false); }
int FdBeginReplaceW(const wchar16* path, FdReplacement& replacement) { return BeginW(path, replacement, false); }
int FdBeginUnnamedReplace(const char* path, FdReplacement& replacement) { return Begin(path, replacement, true); }
int FdBeginUnnamedReplaceW(const wchar16* path, FdReplacement& replacement) {
  return BeginW(path, replacement, true);
}

bool FdCommitReplace(FdReplacement& replacement) {
  if (replacement.unnamed >= 0) {
    const bool named = CommitUnnamed(replacement);
    FdAbandonReplace(replacement);
    return named;
  }
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
  DropUnnamed(replacement);
  replacement.temporary.clear();
  return true;
}

void FdAbandonReplace(FdReplacement& replacement) {
  Release(replacement);
  if (!replacement.temporary.empty()) ::unlink(replacement.temporary.c_str());
  replacement.temporary.clear();
  DropUnnamed(replacement);
}
