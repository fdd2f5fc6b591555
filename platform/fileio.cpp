#include "platform/fileio.h"

#include <cerrno>
#include <climits>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/findfile.h"
#include "platform/fsops.h"
#include "platform/pathconv.h"
#include "platform/pathsys.h"
#include "platform/syserror.h"
#include "platform/sysinfo.h"

namespace {

bool Writes(int flags) { return (flags & 3) == FD_OPEN_WRITE || (flags & 3) == FD_OPEN_READWRITE; }

int HostFlags(int flags) {
  int host = O_CLOEXEC;
  switch (flags & 3) {
    case FD_OPEN_WRITE: host |= O_WRONLY; break;
    case FD_OPEN_READWRITE: host |= O_RDWR; break;
    default: host |= O_RDONLY; break;
  }
  if (flags & FD_OPEN_APPEND) host |= O_APPEND;
  if (flags & FD_OPEN_CREATE) host |= O_CREAT;
  // A writer cuts the file once it holds it (OpenHeld), never before.
  if ((flags & FD_OPEN_TRUNCATE) && !Writes(flags)) host |= O_TRUNC;
  if (flags & FD_OPEN_EXCLUSIVE) host |= O_EXCL;
  // A pipe opened to write without a reader (or to read without a writer)
  // waits for one: refused kinds are never waited for.
  if (flags & FD_OPEN_REGULAR_ONLY) host |= O_NONBLOCK;
  return host;
}

// Whether st is of a kind the open may go on with: a folder goes on to be
// refused as a folder, a pipe, device or socket only as asked.
bool KindAllowed(const struct stat& st, int flags) {
  return !(flags & FD_OPEN_REGULAR_ONLY) || S_ISREG(st.st_mode) || S_ISDIR(st.st_mode);
}

// The descriptor layer's own coarse kinds, from the Win32 code.
int OpenError(DWORD code, int err) {
  if (err == EISDIR) return FD_ERROR_IS_DIRECTORY;
  switch (code) {
    case SYS_ERROR_NOT_FOUND:
    case SYS_ERROR_PATH_NOT_FOUND: return FD_ERROR_NOT_FOUND;
    case SYS_ERROR_ACCESS:
    case SYS_ERROR_WRITE_PROTECT: return FD_ERROR_ACCESS;
    case SYS_ERROR_SHARING_VIOLATION: return FD_ERROR_SHARING;
    case SYS_ERROR_FILENAME_EXCED_RANGE:
    case SYS_ERROR_INVALID_NAME: return FD_ERROR_BAD_NAME;
    default: return FD_ERROR_OTHER;
  }
}

template <class T>
T Refuse(DWORD code, T result) {
  SysSetLastError(code);
  return result;
}

// Takes the share hold of an open descriptor: false (errno set) when
// another open holds the file against it. A file system without locks
// keeps its files unheld rather than unopenable.
bool Hold(int fd, bool alone) {
  int rc;
  do {
    rc = ::flock(fd, (alone ? LOCK_EX : LOCK_SH) | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  return rc == 0 || errno != EWOULDBLOCK;
}

}  // namespace

int FdOpen(const char* path, int flags, int permission) {
  if (path == nullptr || *path == 0) return Refuse(SYS_ERROR_PATH_NOT_FOUND, FD_ERROR_NOT_FOUND);
  std::string host;
  if (!SysHostPath(path, host)) return Refuse(SYS_ERROR_PATH_NOT_FOUND, FD_ERROR_NOT_FOUND);
  if (SysTakeFault(SysFault::Open)) return Refuse(SYS_ERROR_ACCESS, FD_ERROR_ACCESS);
  // Looked at before the open, since opening a device can act on it.
  struct stat st;
  if ((flags & FD_OPEN_REGULAR_ONLY) && ::stat(host.c_str(), &st) == 0 && !KindAllowed(st, flags))
    return Refuse(SYS_ERROR_CANT_ACCESS_FILE, FD_ERROR_NOT_A_FILE);
  mode_t mode = S_IRUSR | S_IRGRP | S_IROTH;
  if (permission & FD_PERM_WRITE) mode |= S_IWUSR | S_IWGRP | S_IWOTH;
  int fd;
  do {
    fd = ::open(host.c_str(), HostFlags(flags), mode);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    int err = errno;
    // A pipe without a reader, put there since the look.
    if (err == ENXIO && (flags & FD_OPEN_REGULAR_ONLY))
      return Refuse(SYS_ERROR_CANT_ACCESS_FILE, FD_ERROR_NOT_A_FILE);
    DWORD code = SysErrorFromErrno(err, host);
    // A new file whose name is taken: the code the creating open reports.
    if (err == EEXIST) code = SYS_ERROR_FILE_EXISTS;
    return Refuse(code, OpenError(code, err));
  }
  // Linux opens folders read-only; a stream over one would only fail later.
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return Refuse(SYS_ERROR_ACCESS, FD_ERROR_IS_DIRECTORY);
  }
  if (!KindAllowed(st, flags)) {
    ::close(fd);
    return Refuse(SYS_ERROR_CANT_ACCESS_FILE, FD_ERROR_NOT_A_FILE);
  }
  if ((flags & FD_OPEN_REGULAR_ONLY) && ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    const int err = errno;
    ::close(fd);
    return Refuse(SysErrorFromErrno(err), FD_ERROR_OTHER);
  }
  // Devices and pipes are shared by nature: only regular files are held.
  if (S_ISREG(st.st_mode)) {
    if (!Hold(fd, Writes(flags) && !(flags & FD_OPEN_SHARE_ALL))) {
      ::close(fd);
      return Refuse(SYS_ERROR_SHARING_VIOLATION, FD_ERROR_SHARING);
    }
    if ((flags & FD_OPEN_TRUNCATE) && Writes(flags) && st.st_size != 0 && ::ftruncate(fd, 0) != 0) {
      int err = errno;
      ::close(fd);
      DWORD code = SysSetLastErrorFromErrno(err);
      return OpenError(code, err);
    }
  }
  return fd;
}

int FdOpenW(const wchar16* path, int flags, int permission) {
  std::string utf8;
  if (!PathToUtf8(path, utf8)) return Refuse(SYS_ERROR_INVALID_NAME, FD_ERROR_BAD_NAME);
  return FdOpen(utf8.c_str(), flags, permission);
}

int FdRead(int fd, void* destination, int count) {
  if (count <= 0) return 0;
  if (SysTakeFault(SysFault::Read)) return Refuse(SYS_ERROR_IO_DEVICE, -1);
  char* out = static_cast<char*>(destination);
  int done = 0;
  while (done < count) {
    ssize_t got = ::read(fd, out + done, size_t(count - done));
    if (got > 0) {
      done += int(got);
    } else if (got == 0) {
      break;
    } else if (errno != EINTR) {
      SysSetLastErrorFromErrno(errno);
      return done > 0 ? done : -1;
    }
  }
  return done;
}

int FdWrite(int fd, const void* source, int count) {
  if (count <= 0) return 0;
  if (SysTakeFault(SysFault::Write)) return Refuse(SYS_ERROR_DISK_FULL, -1);
  const char* in = static_cast<const char*>(source);
  int done = 0;
  while (done < count) {
    ssize_t put = ::write(fd, in + done, size_t(count - done));
    if (put > 0) {
      done += int(put);
    } else if (put < 0 && errno == EINTR) {
      continue;
    } else {
      // 0 (nothing taken without an error) would loop for ever: stop.
      if (put < 0) SysSetLastErrorFromErrno(errno);
      else SysSetLastError(SYS_ERROR_DISK_FULL);
      return done > 0 ? done : -1;
    }
  }
  return done;
}

int64_t FdSeek(int fd, int64_t offset, int origin) {
  int whence = origin == FD_SEEK_CUR ? SEEK_CUR : origin == FD_SEEK_END ? SEEK_END : SEEK_SET;
  if (origin < FD_SEEK_SET || origin > FD_SEEK_END) return Refuse(SYS_ERROR_INVALID_PARAMETER, -1);
  off_t at = ::lseek(fd, off_t(offset), whence);
  if (at < 0) {
    SysSetLastErrorFromErrno(errno);
    return -1;
  }
  return int64_t(at);
}

int FdClose(int fd) {
  // Linux releases the descriptor (and its hold) even when close is
  // interrupted: no retry.
  if (::close(fd) == 0) return 0;
  SysSetLastErrorFromErrno(errno);
  return -1;
}

int FdHoldExclusive(const char* path) {
  std::string host;
  if (path == nullptr || !SysHostPath(path, host)) return -1;
  return FdHoldExclusiveAt(AT_FDCWD, host.c_str());
}

int FdHoldExclusiveAt(int folder, const char* name) {
  // Only a regular file is opened: opening a device can act on it.
  struct stat st;
  if (name == nullptr || ::fstatat(folder, name, &st, 0) != 0 || !S_ISREG(st.st_mode)) return -1;
  int fd;
  do {
    fd = ::openat(folder, name, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return -1;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  if (!Hold(fd, true)) {
    ::close(fd);
    return Refuse(SYS_ERROR_SHARING_VIOLATION, FD_ERROR_SHARING);
  }
  return fd;
}

int FdClaimForReplace(const char* path) {
  std::string host;
  if (path == nullptr || !SysHostPath(path, host)) return -1;
  // A claim on a file already replaced under the name is no claim: the
  // replacement is claimed again.
  for (int attempt = 0; attempt < 100; ++attempt) {
    struct stat held, named;
    // Only a regular file is opened: opening a device can act on it.
    if (::stat(host.c_str(), &named) != 0 || !S_ISREG(named.st_mode)) return -1;
    int fd;
    do {
      fd = ::open(host.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return -1;
    if (::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
      ::close(fd);
      return -1;
    }
    struct flock range = {};
    range.l_type = F_WRLCK;
    range.l_whence = SEEK_SET;
    if (::fcntl(fd, F_OFD_SETLK, &range) != 0) {
      const int error = errno;
      ::close(fd);
      if (error == EAGAIN || error == EACCES) return Refuse(SYS_ERROR_SHARING_VIOLATION, FD_ERROR_SHARING);
      return -1;  // no locks on this file system: unclaimed, as before
    }
    if (::stat(host.c_str(), &named) == 0 && named.st_dev == held.st_dev && named.st_ino == held.st_ino) {
      return fd;
    }
    ::close(fd);
  }
  return Refuse(SYS_ERROR_SHARING_VIOLATION, FD_ERROR_SHARING);
}

bool FdClearReadOnly(const char* path) {
  std::string host;
  if (!SysHostPath(path, host)) return Refuse(SYS_ERROR_PATH_NOT_FOUND, false);
  struct stat st;
  if (::stat(host.c_str(), &st) != 0) {
    SysSetLastErrorFromErrno(errno, host);
    return false;
  }
  if (!S_ISREG(st.st_mode)) return Refuse(SYS_ERROR_ACCESS, false);
  if (::chmod(host.c_str(), (st.st_mode & 07777) | S_IWUSR) == 0) return true;
  SysSetLastErrorFromErrno(errno);
  return false;
}

bool FdClearReadOnlyW(const wchar16* path) {
  std::string utf8;
  if (!PathToUtf8(path, utf8)) return false;
  return FdClearReadOnly(utf8.c_str());
}
