#include "platform/safemove.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "platform/fileio.h"
#include "platform/fsops.h"
#include "platform/pathsys.h"
#include "platform/syserror.h"
#include "platform/sysinfo.h"

namespace {

// The code for errno value err on host path host, which the last error
// receives too.
int Failed(int err, const std::string& host) {
  SysSetLastErrorFromErrno(err, host);
  switch (err) {
    case ENOENT: case ENOTDIR: return SYS_ERROR_NOT_FOUND;
    case EACCES: case EPERM: case EROFS: return SYS_ERROR_ACCESS;
    case EEXIST: return SYS_ERROR_EXISTS;
    default: return SYS_ERROR_OTHER;
  }
}

// The copy that stands in for a hard link: created exclusively, removed
// again unless complete.
int CopyAs(const std::string& existing, const std::string& second) {
  int in = FdOpen(existing.c_str(), FD_OPEN_READ | FD_OPEN_BINARY);
  if (in < 0) return in == FD_ERROR_NOT_FOUND ? SYS_ERROR_NOT_FOUND : SYS_ERROR_ACCESS;  // last error set
  int out = FdOpen(second.c_str(), FD_OPEN_WRITE | FD_OPEN_CREATE | FD_OPEN_EXCLUSIVE | FD_OPEN_BINARY);
  if (out < 0) {
    FdClose(in);
    struct stat st;
    return lstat(second.c_str(), &st) == 0 ? SYS_ERROR_EXISTS : SYS_ERROR_ACCESS;
  }
  static constexpr int kBlock = 65536;
  std::vector<unsigned char> block(kBlock);
  bool ok = true;
  for (;;) {
    int got = FdRead(in, block.data(), kBlock);
    if (got < 0 || (got > 0 && FdWrite(out, block.data(), got) != got)) ok = false;
    if (got <= 0 || !ok) break;
  }
  struct stat st;
  if (ok) ok = fstat(in, &st) == 0 && fchmod(out, st.st_mode & 07777) == 0;
  FdClose(in);
  if (FdClose(out) != 0) ok = false;
  if (ok) return SYS_OK;
  unlink(second.c_str());
  return SYS_ERROR_OTHER;
}

}  // namespace

int SysLinkOrCopy(const char* existing, const char* second) {
  std::string from, to;
  if (!SysHostPath(existing, from)) return Failed(ENOENT, from);
  if (!SysHostPath(second, to)) return Failed(ENOENT, to);
  struct stat st;
  if (lstat(from.c_str(), &st) != 0) return Failed(errno, from);
  if (S_ISDIR(st.st_mode)) return Failed(EISDIR, from);
  if (!SysTakeFault(SysFault::Link)) {
    if (link(from.c_str(), to.c_str()) == 0) return SYS_OK;
    // Only a file system without hard links (or out of them) hands over to
    // the copy; every other refusal stands.
    if (errno != EPERM && errno != EMLINK && errno != EOPNOTSUPP && errno != EXDEV) return Failed(errno, to);
  }
  if (S_ISLNK(st.st_mode)) {
    char named[4096];
    ssize_t n = readlink(from.c_str(), named, sizeof named - 1);
    if (n < 0) return Failed(errno, from);
    named[n] = 0;
    return symlink(named, to.c_str()) == 0 ? SYS_OK : Failed(errno, to);
  }
  return CopyAs(from, to);
}

int SysDropSecondName(const char* second) {
  std::string host;
  struct stat st;
  if (!SysHostPath(second, host)) return Failed(ENOENT, host);
  if (lstat(host.c_str(), &st) != 0) return Failed(errno, host);
  if (S_ISDIR(st.st_mode)) return Failed(EISDIR, host);
  return unlink(host.c_str()) == 0 ? SYS_OK : Failed(errno, host);
}

int SysExchangeFiles(const char* first, const char* second) {
  std::string a, b;
  if (!SysHostPath(first, a)) return Failed(ENOENT, a);
  if (!SysHostPath(second, b)) return Failed(ENOENT, b);
  if (SysTakeFault(SysFault::Exchange)) return SYS_ERROR_NOT_SUPPORTED;
  if (SysTakeFault(SysFault::Move)) {
    SysSetLastError(SYS_ERROR_ACCESS);
    return SYS_ERROR_ACCESS;
  }
  // As a move does, the exchange pulls neither file from under an open of
  // these functions; both holds last until it is done.
  int holdFirst = FdHoldExclusive(first);
  int holdSecond = holdFirst == FD_ERROR_SHARING ? -1 : FdHoldExclusive(second);
  int rc = -1, err = 0;
  if (holdFirst != FD_ERROR_SHARING && holdSecond != FD_ERROR_SHARING) {
    rc = renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE);
    err = errno;
  }
  if (holdFirst >= 0) close(holdFirst);
  if (holdSecond >= 0) close(holdSecond);
  if (rc == 0) return SYS_OK;
  if (err == 0) {
    SysSetLastError(SYS_ERROR_SHARING_VIOLATION);
    return int(SYS_ERROR_SHARING_VIOLATION);
  }
  if (err == EINVAL || err == ENOSYS || err == EOPNOTSUPP) return SYS_ERROR_NOT_SUPPORTED;
  return Failed(err, b);
}

bool SysResolveLink(const char* path, std::string& out) {
  out.clear();
  std::string host;
  struct stat st;
  if (!SysHostPath(path, host) || lstat(host.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return false;
  if (char* real = realpath(host.c_str(), nullptr)) {
    out = real;
    free(real);
  }
  return true;
}

bool SysCopyOwnerAndMode(const char* source, const char* target) {
  std::string from, to;
  struct stat st;
  if (!SysHostPath(source, from) || !SysHostPath(target, to) || stat(from.c_str(), &st) != 0) return false;
  // The owner first: a change of owner may clear the set-id bits.
  if (st.st_uid != geteuid() || st.st_gid != getegid()) {
    [[maybe_unused]] int ignored = chown(to.c_str(), st.st_uid, st.st_gid);
  }
  return chmod(to.c_str(), st.st_mode & 07777) == 0;
}
