#include "platform/fsops.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "platform/pathsys.h"

namespace {

constexpr int64_t kTicksPerSecond = 10000000;
constexpr int64_t kUnixEpochTicks = 116444736000000000;

uint64_t ToTicks(const struct timespec& ts) {
  int64_t ticks = kUnixEpochTicks + int64_t(ts.tv_sec) * kTicksPerSecond + ts.tv_nsec / 100;
  return ticks < 0 ? 0 : uint64_t(ticks);
}

struct timespec FromTicks(uint64_t ticks) {
  int64_t since = int64_t(ticks) - kUnixEpochTicks;
  int64_t seconds = since / kTicksPerSecond;
  int64_t rest = since % kTicksPerSecond;
  if (rest < 0) {
    rest += kTicksPerSecond;
    --seconds;
  }
  struct timespec ts;
  ts.tv_sec = time_t(seconds);
  ts.tv_nsec = long(rest * 100);
  return ts;
}

int ErrorCode(int err) {
  switch (err) {
    case ENOENT: case ENOTDIR: return SYS_ERROR_NOT_FOUND;
    case EACCES: case EPERM: case EROFS: return SYS_ERROR_ACCESS;
    case EEXIST: case ENOTEMPTY: return SYS_ERROR_EXISTS;
    default: return SYS_ERROR_OTHER;
  }
}

}  // namespace

bool SysGetFileTimes(const char* path, uint64_t* lastWrite, uint64_t* creation, uint64_t* lastAccess) {
  if (path == nullptr || *path == 0) return false;
  struct statx sx;
  if (statx(AT_FDCWD, path, 0, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0) return false;
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
  if (path == nullptr || *path == 0) return false;
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1] = times[0];
  if (lastAccess) times[0] = FromTicks(*lastAccess);
  if (lastWrite) times[1] = FromTicks(*lastWrite);
  return utimensat(AT_FDCWD, path, times, 0) == 0;
}

uint64_t SysGetSystemTimeTicks() {
  struct timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  return ToTicks(ts);
}

bool SysListDirectory(const char* path, std::vector<SysDirEntry>& entries, int* error) {
  entries.clear();
  DIR* dir = (path && *path) ? opendir(path) : nullptr;
  if (dir == nullptr) {
    if (error) *error = (path && *path) ? ErrorCode(errno) : SYS_ERROR_NOT_FOUND;
    return false;
  }
  int fd = dirfd(dir);
  while (struct dirent* entry = readdir(dir)) {
    if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0) continue;
    SysDirEntry item;
    item.name = entry->d_name;
    if (entry->d_type == DT_UNKNOWN) {
      struct stat st;
      item.isDirectory = fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
    } else {
      item.isDirectory = entry->d_type == DT_DIR;
    }
    entries.push_back(std::move(item));
  }
  closedir(dir);
  if (error) *error = SYS_OK;
  return true;
}

int SysRemoveDirectory(const char* path) {
  if (path == nullptr || *path == 0) return SYS_ERROR_NOT_FOUND;
  return rmdir(path) == 0 ? SYS_OK : ErrorCode(errno);
}

bool FdTruncate(int fd, int64_t length) {
  if (length < 0) return false;
  int rc;
  do {
    rc = ftruncate(fd, off_t(length));
  } while (rc != 0 && errno == EINTR);
  return rc == 0;
}

int SysMoveFile(const char* from, const char* to, bool replace) {
  if (from == nullptr || to == nullptr || *from == 0 || *to == 0) return SYS_ERROR_NOT_FOUND;
  struct stat st;
  if (lstat(from, &st) != 0) return SYS_ERROR_NOT_FOUND;
  int rc = replace ? rename(from, to) : renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
  if (rc == 0) return SYS_OK;
  if (errno == ENOENT || errno == ENOTDIR) return SYS_ERROR_PATH_NOT_FOUND;
  if (errno == EISDIR) return SYS_ERROR_ACCESS;
  return ErrorCode(errno);
}

bool SysCopyPermissions(const char* source, const char* target) {
  struct stat st;
  if (source == nullptr || target == nullptr || stat(source, &st) != 0) return false;
  return chmod(target, st.st_mode & 07777) == 0;
}

bool SysIsRegularFile(const char* path) {
  struct stat st;
  return path != nullptr && lstat(path, &st) == 0 && S_ISREG(st.st_mode);
}
