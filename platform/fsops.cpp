#include "platform/fsops.h"

#include <dirent.h>
#include <stdlib.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <climits>

#include "platform/dirhandle.h"
#include "platform/fileio.h"
#include "platform/pathsys.h"
#include "platform/syserror.h"
#include "platform/sysinfo.h"

namespace {

constexpr int64_t kTicksPerSecond = 10000000;
constexpr int64_t kUnixEpochTicks = 116444736000000000;

constexpr int64_t kUnixEpochSeconds = kUnixEpochTicks / kTicksPerSecond;
// The last second whose ticks still fit in 64 bits.
constexpr int64_t kLastTickSecond = int64_t(UINT64_MAX / uint64_t(kTicksPerSecond)) - kUnixEpochSeconds - 1;

uint64_t ToTicks(const struct timespec& ts) { return SysTicksFromHostTime(int64_t(ts.tv_sec), ts.tv_nsec); }

// Every tick count has its host time: the whole seconds of the count lie
// far inside time_t, and the epoch is a whole number of seconds.
struct timespec FromTicks(uint64_t ticks) {
  struct timespec ts;
  ts.tv_sec = time_t(int64_t(ticks / uint64_t(kTicksPerSecond)) - kUnixEpochSeconds);
  ts.tv_nsec = long(ticks % uint64_t(kTicksPerSecond)) * 100;
  return ts;
}

// Sets the last error for a failure on host path `host` and returns it.
int Failed(int err, const std::string& host) { return int(SysSetLastErrorFromErrno(err, host)); }

// The same, for calls that answer true or false.
bool FailedFalse(int err, const std::string& host) {
  SysSetLastErrorFromErrno(err, host);
  return false;
}

// Sets the last error for a path that names no host place.
int NoPlace() {
  SysSetLastError(SYS_ERROR_PATH_NOT_FOUND);
  return SYS_ERROR_PATH_NOT_FOUND;
}
bool NoPlaceFalse() {
  NoPlace();
  return false;
}

// Per operation, one more than the calls to let pass before the injected
// failure; 0 (as every slot starts): none.
std::atomic<int> g_faultSkip[size_t(SysFault::Count)];
std::atomic<bool> g_faultPending{false};

// A rename that fails when the new name is taken, also on file systems
// without such a rename (network shares refuse every rename flag): a file is
// linked under its new name, which fails when that is taken, and then loses
// its old one; a folder, or a file where links are refused, is renamed after
// a look at the new name. -1 with errno set on failure.
int RenameNoReplace(const std::string& from, const std::string& to, bool folder) {
  if (!SysTakeFault(SysFault::NoReplace)) {
    int rc = renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
    if (rc == 0 || (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)) return rc;
  }
  if (!folder) {
    if (link(from.c_str(), to.c_str()) == 0) {
      if (unlink(from.c_str()) == 0) return 0;
      int err = errno;
      unlink(to.c_str());
      errno = err;
      return -1;
    }
    if (errno != EPERM && errno != EOPNOTSUPP && errno != EMLINK) return -1;
  }
  struct stat st;
  if (lstat(to.c_str(), &st) == 0) {
    errno = EEXIST;
    return -1;
  }
  return rename(from.c_str(), to.c_str());
}

}  // namespace

void SysInjectFault(SysFault op, int skip) {
  if (unsigned(op) >= unsigned(SysFault::Count)) return;
  g_faultSkip[size_t(op)].store(skip < 0 ? 1 : skip < INT_MAX ? skip + 1 : INT_MAX);
  g_faultPending.store(true);
}

void SysClearFaults() {
  for (auto& skip : g_faultSkip) skip.store(0);
  g_faultPending.store(false);
}

bool SysTakeFault(SysFault op) {
  if (!g_faultPending.load(std::memory_order_relaxed) || unsigned(op) >= unsigned(SysFault::Count)) return false;
  std::atomic<int>& skip = g_faultSkip[size_t(op)];
  int left = skip.load();
  while (left > 0) {
    if (skip.compare_exchange_weak(left, left - 1)) return left == 1;
  }
  return false;
}

// Times outside the tick range are clamped rather than wrapped round to a
// time that looks valid.
uint64_t SysTicksFromHostTime(int64_t seconds, long nanoseconds) {
  if (seconds < -kUnixEpochSeconds) return 0;
  if (seconds > kLastTickSecond) return UINT64_MAX;
  return uint64_t(seconds + kUnixEpochSeconds) * uint64_t(kTicksPerSecond) + uint64_t(nanoseconds / 100);
}

bool SysGetFileTimes(const char* path, uint64_t* lastWrite, uint64_t* creation, uint64_t* lastAccess) {
  std::string host;
  if (!SysHostPath(path, host)) return NoPlaceFalse();
  struct statx sx;
  if (statx(AT_FDCWD, host.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0) return FailedFalse(errno, host);
  auto ticks = [](const struct statx_timestamp& t) {
    struct timespec ts;
    ts.tv_sec = time_t(t.tv_sec);
    ts.tv_nsec = long(t.tv_nsec);
    return ToTicks(ts);
  };
  if (lastWrite) *lastWrite = ticks(sx.stx_mtime);
  if (lastAccess) *lastAccess = ticks(sx.stx_atime);
  if (creation) *creation = ticks((sx.stx_mask & STATX_BTIME) ? sx.stx_btime : sx.stx_mtime);
  return true;
}

bool SysSetFileTimes(const char* path, const uint64_t* lastWrite, const uint64_t* /*creation*/,
                     const uint64_t* lastAccess) {
  std::string host;
  if (!SysHostPath(path, host)) return NoPlaceFalse();
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1] = times[0];
  if (lastAccess) times[0] = FromTicks(*lastAccess);
  if (lastWrite) times[1] = FromTicks(*lastWrite);
  if (utimensat(AT_FDCWD, host.c_str(), times, 0) == 0) return true;
  return FailedFalse(errno, host);
}

uint64_t SysGetSystemTimeTicks() {
  struct timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  return ToTicks(ts);
}

bool SysListDirectory(const char* path, std::vector<SysDirEntry>& entries, int* error) {
  entries.clear();
  std::string host;
  int fd = -1;
  if (SysHostPath(path, host)) {
    do {
      fd = open(host.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
  }
  if (fd >= 0 && SysTakeFault(SysFault::List)) {
    close(fd);
    if (error) *error = SYS_ERROR_ACCESS;
    return false;
  }
  if (fd < 0) {
    int code = host.empty() ? NoPlace() : Failed(errno, host);
    if (error) *error = code;
    return false;
  }
  // A listing that fails part way is a failure, not a shorter folder.
  const bool read = SysReadFolderEntries(fd, entries);
  const int err = errno;
  close(fd);
  int code = read ? SYS_OK : Failed(err, host);
  if (error) *error = code;
  return read;
}

int SysRemoveDirectory(const char* path) {
  std::string host;
  if (!SysHostPath(path, host)) return NoPlace();
  return rmdir(host.c_str()) == 0 ? SYS_OK : Failed(errno, host);
}

bool FdTruncate(int fd, int64_t length) {
  if (length < 0) {
    SysSetLastError(SYS_ERROR_INVALID_PARAMETER);
    return false;
  }
  int rc;
  do {
    rc = ftruncate(fd, off_t(length));
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) SysSetLastErrorFromErrno(errno);
  return rc == 0;
}

int SysMoveFile(const char* from, const char* to, bool replace) {
  std::string source, target;
  if (!SysHostPath(from, source)) {
    NoPlace();
    return SYS_ERROR_NOT_FOUND;
  }
  if (!SysHostPath(to, target)) return NoPlace();
  struct stat st;
  if (lstat(source.c_str(), &st) != 0) {
    Failed(errno, source);
    return SYS_ERROR_NOT_FOUND;
  }
  if (SysTakeFault(SysFault::Move)) {
    SysSetLastError(SYS_ERROR_ACCESS);
    return SYS_ERROR_ACCESS;
  }
  // A file held open by these functions is neither moved away from its
  // holder nor replaced under it: the holder's writes would land in a file
  // no name reaches. Both holds last until the rename is done.
  int holdSource = FdHoldExclusive(from);
  struct stat at;
  bool sameFile = stat(target.c_str(), &at) == 0 && stat(source.c_str(), &st) == 0 && at.st_dev == st.st_dev &&
                  at.st_ino == st.st_ino;
  int holdTarget = holdSource == FD_ERROR_SHARING || sameFile ? -1 : FdHoldExclusive(to);
  auto release = [&] {
    if (holdSource >= 0) close(holdSource);
    if (holdTarget >= 0) close(holdTarget);
  };
  if (holdSource == FD_ERROR_SHARING || holdTarget == FD_ERROR_SHARING) {
    release();
    return SYS_ERROR_SHARING_VIOLATION;
  }
  int rc = replace ? rename(source.c_str(), target.c_str()) : RenameNoReplace(source, target, S_ISDIR(st.st_mode));
  int err = errno;
  release();
  if (rc == 0) return SYS_OK;
  // The source was there a moment ago: what is missing is the target's folder.
  if (err == ENOENT || err == ENOTDIR) {
    SysSetLastError(SYS_ERROR_PATH_NOT_FOUND);
    return SYS_ERROR_PATH_NOT_FOUND;
  }
  // Windows refuses to put a file in a folder's place as access denied.
  if (err == EISDIR) {
    SysSetLastError(SYS_ERROR_ACCESS);
    return SYS_ERROR_ACCESS;
  }
  return Failed(err, target);
}

bool SysCopyPermissions(const char* source, const char* target) {
  std::string from, to;
  struct stat st;
  if (!SysHostPath(source, from) || !SysHostPath(target, to)) return NoPlaceFalse();
  if (stat(from.c_str(), &st) != 0) return FailedFalse(errno, from);
  if (chmod(to.c_str(), st.st_mode & 07777) == 0) return true;
  return FailedFalse(errno, to);
}

bool SysSameFile(const char* first, const char* second) {
  std::string a, b;
  struct stat sa, sb;
  return SysHostPath(first, a) && SysHostPath(second, b) && stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 &&
         sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool SysIsRegularFile(const char* path) {
  std::string host;
  struct stat st;
  return SysHostPath(path, host) && lstat(host.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

int SysFileKind(const char* path, bool followLinks) {
  std::string host;
  if (!SysHostPath(path, host)) {
    NoPlace();
    return SYS_KIND_NONE;
  }
  struct stat st;
  if ((followLinks ? stat(host.c_str(), &st) : lstat(host.c_str(), &st)) != 0) {
    Failed(errno, host);
    return SYS_KIND_NONE;
  }
  if (S_ISREG(st.st_mode)) return SYS_KIND_FILE;
  if (S_ISLNK(st.st_mode)) return SYS_KIND_LINK;
  SysSetLastError(S_ISDIR(st.st_mode) ? SYS_ERROR_ACCESS : SYS_ERROR_CANT_ACCESS_FILE);
  return S_ISDIR(st.st_mode) ? SYS_KIND_FOLDER : SYS_KIND_OTHER;
}

int SysGetTempPath(char* out, int size) {
  std::string folder = "/tmp/";
  const char* env = getenv("TMPDIR");
  struct stat st;
  if (env != nullptr && env[0] == '/' && stat(env, &st) == 0 && S_ISDIR(st.st_mode)) {
    folder = env;
    if (folder.back() != '/') folder += '/';
  }
  if (size >= 1) out[0] = 0;
  if (size < 1 || folder.size() > size_t(size) - 1) return 0;
  memcpy(out, folder.c_str(), folder.size() + 1);
  return int(folder.size());
}

bool SysGetEnvironmentVariable(const char* name, std::string& out) {
  const char* value = name != nullptr ? getenv(name) : nullptr;
  out = value != nullptr ? value : "";
  return value != nullptr;
}
