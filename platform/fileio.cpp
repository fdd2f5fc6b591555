#include "platform/fileio.h"

#include <cerrno>
#include <climits>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/fsops.h"
#include "platform/pathconv.h"
#include "platform/pathsys.h"

namespace {

int HostFlags(int flags) {
  int host = O_CLOEXEC;
  switch (flags & 3) {
    case FD_OPEN_WRITE: host |= O_WRONLY; break;
    case FD_OPEN_READWRITE: host |= O_RDWR; break;
    default: host |= O_RDONLY; break;
  }
  if (flags & FD_OPEN_APPEND) host |= O_APPEND;
  if (flags & FD_OPEN_CREATE) host |= O_CREAT;
  if (flags & FD_OPEN_TRUNCATE) host |= O_TRUNC;
  if (flags & FD_OPEN_EXCLUSIVE) host |= O_EXCL;
  return host;
}

int ErrorFromErrno(int err) {
  switch (err) {
    case ENOENT:
    case ENOTDIR: return FD_ERROR_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY: return FD_ERROR_ACCESS;
    case EISDIR: return FD_ERROR_IS_DIRECTORY;
    case ENAMETOOLONG:
    case EILSEQ: return FD_ERROR_BAD_NAME;
    default: return FD_ERROR_OTHER;
  }
}

}  // namespace

int FdOpen(const char* path, int flags, int permission) {
  if (path == nullptr || *path == 0) return FD_ERROR_NOT_FOUND;
  std::string host;
  if (!SysHostPath(path, host)) return FD_ERROR_NOT_FOUND;
  if (SysTakeFault(SysFault::Open)) return FD_ERROR_ACCESS;
  mode_t mode = S_IRUSR | S_IRGRP | S_IROTH;
  if (permission & FD_PERM_WRITE) mode |= S_IWUSR | S_IWGRP | S_IWOTH;
  int fd;
  do {
    fd = ::open(host.c_str(), HostFlags(flags), mode);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return ErrorFromErrno(errno);
  // Linux opens folders read-only; a stream over one would only fail later.
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return FD_ERROR_IS_DIRECTORY;
  }
  return fd;
}

int FdOpenW(const wchar16* path, int flags, int permission) {
  std::string utf8;
  if (!PathToUtf8(path, utf8)) return FD_ERROR_BAD_NAME;
  return FdOpen(utf8.c_str(), flags, permission);
}

int FdRead(int fd, void* destination, int count) {
  if (count <= 0) return 0;
  if (SysTakeFault(SysFault::Read)) return -1;
  char* out = static_cast<char*>(destination);
  int done = 0;
  while (done < count) {
    ssize_t got = ::read(fd, out + done, size_t(count - done));
    if (got > 0) {
      done += int(got);
    } else if (got == 0) {
      break;
    } else if (errno != EINTR) {
      return done > 0 ? done : -1;
    }
  }
  return done;
}

int FdWrite(int fd, const void* source, int count) {
  if (count <= 0) return 0;
  if (SysTakeFault(SysFault::Write)) return -1;
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
      return done > 0 ? done : -1;
    }
  }
  return done;
}

int64_t FdSeek(int fd, int64_t offset, int origin) {
  int whence = origin == FD_SEEK_CUR ? SEEK_CUR : origin == FD_SEEK_END ? SEEK_END : SEEK_SET;
  if (origin < FD_SEEK_SET || origin > FD_SEEK_END) return -1;
  off_t at = ::lseek(fd, off_t(offset), whence);
  return at < 0 ? -1 : int64_t(at);
}

int FdClose(int fd) {
  // Linux releases the descriptor even when close is interrupted: no retry.
  return ::close(fd) == 0 ? 0 : -1;
}

bool FdClearReadOnly(const char* path) {
  std::string host;
  if (!SysHostPath(path, host)) return false;
  struct stat st;
  if (::stat(host.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  return ::chmod(host.c_str(), (st.st_mode & 07777) | S_IWUSR) == 0;
}

bool FdClearReadOnlyW(const wchar16* path) {
  std::string utf8;
  if (!PathToUtf8(path, utf8)) return false;
  return FdClearReadOnly(utf8.c_str());
}
