#include "platform/replace.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/fileio.h"
#include "platform/fsops.h"
#include "platform/pathconv.h"
#include "platform/pathsys.h"
#include "platform/syserror.h"
#include "platform/sysinfo.h"
#include "platform/tempname.h"

namespace {

// Numbers a temporary of one target may take; a save takes the first free.
constexpr int kTemporaryNumbers = 64;
// Links followed from the name given to the file it names, as the host's
// own path walk allows.
constexpr int kMaxLinks = 40;

// ".<name>.<n>.tmp": the same names for every save of one target, so the
// next save finds what a killed one left; a long name is cut to fit the
// folder's entries, so it never leaves a save without a temporary. The
// folder's limit is asked once per save (a file system call).
std::string TemporaryName(FdReplacement& r, int n) {
  if (r.nameBytes == 0) {
    const long most = ::fpathconf(r.folder, _PC_NAME_MAX);
    r.nameBytes = most > 0 && most < SYS_MAX_NAME_BYTES ? size_t(most) : size_t(SYS_MAX_NAME_BYTES);
  }
  return SysTemporaryName(".", r.name, "." + std::to_string(n) + ".tmp", r.nameBytes);
}

// Opens the folder part of path (everything before its last '/'; "." when
// it has none) and leaves the last part in name; -1 with errno set.
int OpenFolderOf(int at, const std::string& path, std::string& name) {
  const size_t slash = path.rfind('/');
  name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  int fd;
  do {
    fd = ::openat(at, folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Locks a temporary for as long as its save runs.
bool Guard(int fd) {
  int rc;
  do {
    rc = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  return rc == 0;
}

// Whether the entry `name` of folder is the file open on fd.
bool StillNamed(int fd, int folder, const std::string& name) {
  struct stat held, named;
  return ::fstat(fd, &held) == 0 && ::fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
         named.st_dev == held.st_dev && named.st_ino == held.st_ino;
}

// Removes the temporaries of the target that no save holds (what killed
// saves left), from the first number up to the first free one. A name is
// removed only while it still names the file found unheld.
void ClearLeftovers(FdReplacement& r) {
  for (int n = 0; n < kTemporaryNumbers; ++n) {
    const std::string name = TemporaryName(r, n);
    struct stat held;
    if (::fstatat(r.folder, name.c_str(), &held, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno == ENOENT) return;
      continue;
    }
    // Only a regular file is opened: opening a device can act on it.
    if (!S_ISREG(held.st_mode)) continue;
    int fd = ::openat(r.folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno == EACCES) fd = ::openat(r.folder, name.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && Guard(fd) && StillNamed(fd, r.folder, name))
      ::unlinkat(r.folder, name.c_str(), 0);
    ::close(fd);
  }
}

// Creates a temporary name exclusively and locks it, trying further numbers
// while the name is taken. Until the lock, another save's sweep takes the new
// file for a leftover and may remove it (holding the lock meanwhile): the
// lock waits for such a sweep, and a file that lost its name is given up, as
// the name may already be another save's.
int CreateTemporary(FdReplacement& r) {
  for (int n = 0, tries = 0; n < kTemporaryNumbers && tries < 4 * kTemporaryNumbers; ++tries) {
    r.temporary = TemporaryName(r, n);
    int fd = -1;
    if (SysTakeFault(SysFault::Temporary)) {
      errno = ENOSPC;
    } else {
      do {
        fd = ::openat(r.folder, r.temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      } while (fd < 0 && errno == EINTR);
    }
    if (fd >= 0) {
      int rc;
      do {
        rc = ::flock(fd, LOCK_EX);
      } while (rc != 0 && errno == EINTR);
      // Where the file system has no locks, nothing is swept either.
      if (rc != 0 || StillNamed(fd, r.folder, r.temporary)) return fd;
      ::close(fd);
      continue;  // swept: the same number again
    }
    if (errno != EEXIST) {
      SysSetLastErrorFromErrno(errno);
      break;
    }
    ++n;
  }
  r.temporary.clear();
  return -1;
}

// A file without a name in the target's folder; -1 where the file system
// has none.
int CreateUnnamed(const FdReplacement& r) {
  if (SysTakeFault(SysFault::Unnamed)) return -1;
  // Without /proc only a privileged process could name the file at the end:
  // the named temporary serves.
  if (::access("/proc/self/fd", X_OK) != 0) return -1;
  int fd;
  do {
    fd = ::openat(r.folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Gives the unnamed file the name `name` in the target's folder; false with
// errno set. Naming through the descriptor's entry in /proc needs no
// privilege; the direct form serves a privileged process should that entry
// fail.
bool NameUnnamed(const FdReplacement& r, const std::string& name) {
  char entry[48];
  std::snprintf(entry, sizeof entry, "/proc/self/fd/%d", r.unnamed);
  if (::linkat(AT_FDCWD, entry, r.folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
  if (errno == EEXIST) return false;
  return ::linkat(r.unnamed, "", r.folder, name.c_str(), AT_EMPTY_PATH) == 0;
}

void Close(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// Lets go of everything the replacement holds and forgets the target.
void Reset(FdReplacement& r) {
  Close(r.hold);
  Close(r.unnamed);
  Close(r.guard);
  Close(r.folder);
  r.nameBytes = 0;
  r.name.clear();
  r.temporary.clear();
}

enum Verdict { kReplace, kInPlace, kRefused };

// Opens the target's folder and follows links from the target's name to the
// file they name (or to a free name); st holds its facts when it exists.
// kInPlace for what only the in-place open can tell about; kRefused (last
// error set) for a pipe, a device or a socket.
Verdict Locate(const std::string& host, FdReplacement& r, struct stat& st, bool& exists) {
  r.folder = OpenFolderOf(AT_FDCWD, host, r.name);
  if (r.folder < 0) {
    SysSetLastErrorFromErrno(errno, host);
    return kInPlace;
  }
  for (int links = 0; links <= kMaxLinks; ++links) {
    // A name that is no file name (a trailing '/', "." or "..") reaches a
    // folder, if anything.
    if (r.name.empty() || r.name == "." || r.name == "..") return kInPlace;
    if (::fstatat(r.folder, r.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      exists = false;
      // A free name gets the new file; a link to nothing yet is written in
      // place, as the open follows it.
      return errno == ENOENT && links == 0 ? kReplace : kInPlace;
    }
    if (!S_ISLNK(st.st_mode)) {
      exists = true;
      if (S_ISREG(st.st_mode)) return kReplace;
      if (S_ISDIR(st.st_mode)) return kInPlace;
      SysSetLastError(SYS_ERROR_CANT_ACCESS_FILE);
      return kRefused;
    }
    char named[4096];
    const ssize_t n = ::readlinkat(r.folder, r.name.c_str(), named, sizeof named - 1);
    if (n <= 0) return kInPlace;
    named[n] = 0;
    std::string name;
    const int next = OpenFolderOf(r.folder, named, name);
    if (next < 0) return kInPlace;
    Close(r.folder);
    r.folder = next;
    r.name = name;
  }
  return kInPlace;
}

// Looks at the target: the verdict, with the target located and an
// existing one held (and its facts).
Verdict Prepare(const char* path, FdReplacement& r, struct stat& st, bool& exists) {
  Reset(r);
  std::string host;
  if (path == nullptr || !SysHostPath(path, host)) return kInPlace;
  const Verdict verdict = Locate(host, r, st, exists);
  if (verdict != kReplace) {
    Reset(r);
    return verdict;
  }
  if (!exists) return kReplace;
  // A file of someone else's that we may not write stays theirs: the
  // in-place open then fails as it always did.
  if (::faccessat(r.folder, r.name.c_str(), W_OK, 0) != 0 && st.st_uid != ::geteuid()) {
    Reset(r);
    return kInPlace;
  }
  r.hold = FdHoldExclusiveAt(r.folder, r.name.c_str());
  if (r.hold == FD_ERROR_SHARING) {
    r.hold = -1;
    Reset(r);
    return kInPlace;
  }
  return kReplace;
}

// The replacement keeps the old file's owner where we may give it, and its
// permission bits (after the owner, which may clear set-id bits).
void TakeOver(int fd, const struct stat& st) {
  if (st.st_uid != ::geteuid() || st.st_gid != ::getegid()) {
    [[maybe_unused]] const int ignored = ::fchown(fd, st.st_uid, st.st_gid);
  }
  ::fchmod(fd, st.st_mode & 07777);
}

// A folder that refuses new names leaves only the in-place write; but where
// the disk or the descriptors ran out, writing in place would cut the old
// file first and then most likely fail to write the new one.
bool NoRoom(int error) {
  return error == ENOSPC || error == EDQUOT || error == EMFILE || error == ENFILE || error == ENOMEM;
}

int Begin(const char* path, FdReplacement& replacement, bool unnamed) {
  struct stat st;
  bool exists = false;
  const Verdict verdict = Prepare(path, replacement, st, exists);
  if (verdict == kRefused) return FD_ERROR_NOT_A_FILE;
  if (verdict == kInPlace) return -1;
  if (exists && replacement.ownOnly && st.st_uid != ::geteuid()) {
    Reset(replacement);
    return -1;
  }
  ClearLeftovers(replacement);
  int fd = -1;
  if (unnamed) {
    const int own = CreateUnnamed(replacement);
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
  int why = 0;
  if (fd < 0) {
    fd = CreateTemporary(replacement);
    why = fd < 0 ? errno : 0;
    // The guard shares the open file and so its lock.
    replacement.guard = fd < 0 ? -1 : ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (fd >= 0 && replacement.guard < 0) {
      SysSetLastErrorFromErrno(errno);
      ::unlinkat(replacement.folder, replacement.temporary.c_str(), 0);
      ::close(fd);
      fd = -1;
    }
  }
  if (fd < 0) {
    Reset(replacement);
    return NoRoom(why) ? FD_ERROR_NO_ROOM : -1;
  }
  if (exists) TakeOver(fd, st);
  return fd;
}

int BeginW(const wchar16* path, FdReplacement& replacement, bool unnamed) {
  std::string utf8;
  if (path == nullptr || !PathToUtf8(path, utf8)) {
    Reset(replacement);
    return -1;
  }
  return Begin(utf8.c_str(), replacement, unnamed);
}

// Gives the finished unnamed file the target's name: directly where the
// name is free, else under a temporary name for the one rename over it.
bool CommitUnnamed(FdReplacement& r) {
  if (NameUnnamed(r, r.name)) return true;
  for (int n = 0; errno == EEXIST && n < kTemporaryNumbers; ++n) {
    r.temporary = TemporaryName(r, n);
    if (NameUnnamed(r, r.temporary)) {
      if (::renameat(r.folder, r.temporary.c_str(), r.folder, r.name.c_str()) == 0) {
        r.temporary.clear();
        return true;
      }
      break;
    }
    r.temporary.clear();
  }
  SysSetLastErrorFromErrno(errno);
  return false;
}

}  // namespace

FdReplacement::~FdReplacement() { Reset(*this); }

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
    Reset(replacement);
    return true;
  }
  if (::renameat(replacement.folder, replacement.temporary.c_str(), replacement.folder,
                 replacement.name.c_str()) != 0) {
    SysSetLastErrorFromErrno(errno);
    FdAbandonReplace(replacement);
    return false;
  }
  replacement.temporary.clear();
  Reset(replacement);
  return true;
}

void FdAbandonReplace(FdReplacement& replacement) {
  Close(replacement.hold);
  if (!replacement.temporary.empty() && replacement.folder >= 0)
    ::unlinkat(replacement.folder, replacement.temporary.c_str(), 0);
  Reset(replacement);
}
