#include "platform/dirhandle.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <string>

#include "platform/syserror.h"
#include "platform/sysinfo.h"

namespace {

std::atomic<SysOpenChildHook> g_hook{nullptr};
std::atomic<void*> g_hookContext{nullptr};

int Code(int err) {
  switch (err) {
    case ENOENT:
      return SYS_ERROR_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return SYS_ERROR_ACCESS;
    case EEXIST:
    case ENOTEMPTY:
      return SYS_ERROR_EXISTS;
    case ELOOP:
    case ENOTDIR:
      return SYS_ERROR_NOT_A_DIRECTORY;
    default:
      return SYS_ERROR_OTHER;
  }
}

// The code of errno value err; the thread's last error is set to match.
int ErrorCode(int err) {
  SysSetLastErrorFromErrno(err);
  return Code(err);
}

constexpr int kOpenFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

int Refuse(int code) {
  SysSetLastError(DWORD(code));
  return code;
}

// A failed no-follow open says ELOOP for a link and ENOTDIR for a file, but
// ENOTDIR also for a file in the middle of the path, which means "missing".
int OpenError(int dirFd, const char* name, int err) {
  if (err != ENOTDIR && err != ELOOP) return ErrorCode(err);
  struct stat st;
  if (fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
    SysSetLastError(SYS_ERROR_PATH_NOT_FOUND);
    return SYS_ERROR_NOT_FOUND;
  }
  return Refuse(S_ISDIR(st.st_mode) ? SYS_ERROR_OTHER : SYS_ERROR_NOT_A_DIRECTORY);
}

constexpr int kHeldByAnother = -2;

// Holds the regular file `name` alone for the time of a delete, as the
// holds of fileio.h do: a file another open holds stays, as an open file
// stays on Windows. A descriptor to close after the delete, -1 when there
// is nothing to hold (a link, a device, nothing), or kHeldByAnother.
int HoldForDelete(int dirFd, const char* name) {
  // Only a regular file is opened: opening a device can act on the device.
  struct stat st;
  if (fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) return -1;
  int fd = openat(dirFd, name, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return -1;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return -1;
  }
  int rc;
  do {
    rc = flock(fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0 && errno == EWOULDBLOCK) {
    close(fd);
    return kHeldByAnother;
  }
  return fd;
}

int OpenRetrying(int dirFd, const char* name, int flags = kOpenFlags) {
  int fd;
  do {
    fd = openat(dirFd, name, flags);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

}  // namespace

SysDirectory::~SysDirectory() {
  if (fd_ >= 0) close(fd_);
}

SysDirectory::SysDirectory(SysDirectory&& other) noexcept : fd_(other.fd_), depth_(other.depth_) {
  other.fd_ = -1;
}

SysDirectory& SysDirectory::operator=(SysDirectory&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) close(fd_);
    fd_ = other.fd_;
    depth_ = other.depth_;
    other.fd_ = -1;
  }
  return *this;
}

SysDirectory SysDirectory::Open(const char* path, int* error, bool followLink) {
  std::string host;
  if (path == nullptr || !SysHostPath(path, host)) {
    SysSetLastError(SYS_ERROR_PATH_NOT_FOUND);
    *error = SYS_ERROR_NOT_FOUND;
    return SysDirectory();
  }
  // A trailing '/' would make the host follow a link in the last place.
  while (host.size() > 1 && host.back() == '/') host.pop_back();
  int fd = OpenRetrying(AT_FDCWD, host.c_str(), followLink ? kOpenFlags & ~O_NOFOLLOW : kOpenFlags);
  if (fd < 0) {
    *error = OpenError(AT_FDCWD, host.c_str(), errno);
    return SysDirectory();
  }
  *error = SYS_OK;
  return SysDirectory(fd, 0);
}

SysDirectory SysDirectory::OpenChild(const char* name, int* error) const {
  if (SysOpenChildHook hook = g_hook.load()) hook(name, g_hookContext.load());
  if (fd_ >= 0 && depth_ >= SYS_MAX_WALK_DEPTH) {
    *error = Refuse(int(SYS_ERROR_FILENAME_EXCED_RANGE));
    return SysDirectory();
  }
  int fd = fd_ >= 0 && strchr(name, '/') == nullptr ? OpenRetrying(fd_, name) : -1;
  if (fd < 0) {
    *error = fd_ < 0             ? SYS_ERROR_NOT_FOUND
             : strchr(name, '/') ? SYS_ERROR_OTHER
                                 : OpenError(fd_, name, errno);
    return SysDirectory();
  }
  *error = SYS_OK;
  return SysDirectory(fd, depth_ + 1);
}

bool SysReadFolderEntries(int fd, std::vector<SysDirEntry>& entries) {
  // The stream takes a descriptor of its own, so this one stays open.
  int copy = fd >= 0 ? fcntl(fd, F_DUPFD_CLOEXEC, 0) : -1;
  DIR* dir = copy >= 0 ? fdopendir(copy) : nullptr;
  if (dir == nullptr) {
    int err = fd >= 0 ? errno : EBADF;
    if (copy >= 0) close(copy);
    errno = err;
    return false;
  }
  rewinddir(dir);
  errno = 0;
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
    errno = 0;
  }
  int readError = errno;
  closedir(dir);
  errno = readError;
  return readError == 0;
}

bool SysDirectory::List(std::vector<SysDirEntry>& entries, int* error) const {
  entries.clear();
  if (SysTakeFault(SysFault::List)) {
    *error = Refuse(SYS_ERROR_ACCESS);
    return false;
  }
  if (SysReadFolderEntries(fd_, entries)) {
    *error = SYS_OK;
    return true;
  }
  *error = fd_ < 0 ? SYS_ERROR_NOT_FOUND : ErrorCode(errno);
  return false;
}

int SysDirectory::DeleteFile(const char* name) const {
  if (fd_ < 0 || strchr(name, '/') != nullptr) return Refuse(SYS_ERROR_NOT_FOUND);
  if (SysTakeFault(SysFault::Delete)) return Refuse(SYS_ERROR_ACCESS);
  int hold = HoldForDelete(fd_, name);
  if (hold == kHeldByAnother) return Refuse(int(SYS_ERROR_SHARING_VIOLATION));
  int rc = unlinkat(fd_, name, 0);
  int err = errno;
  if (hold >= 0) close(hold);
  return rc == 0 ? SYS_OK : ErrorCode(err);
}

int SysDirectory::RemoveDirectory(const char* name) const {
  if (fd_ < 0 || strchr(name, '/') != nullptr) return Refuse(SYS_ERROR_NOT_FOUND);
  return unlinkat(fd_, name, AT_REMOVEDIR) == 0 ? SYS_OK : ErrorCode(errno);
}

bool SysDirectory::GetLastWriteTime(const char* name, uint64_t* ticks) const {
  struct stat st;
  if (fd_ < 0 || strchr(name, '/') != nullptr || fstatat(fd_, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
    return false;
  *ticks = SysTicksFromHostTime(int64_t(st.st_mtim.tv_sec), st.st_mtim.tv_nsec);
  return true;
}

std::string SysDirectory::PathOf(const std::string& name) const {
  // The descriptor's own entry in /proc leads to the open folder itself.
  static const bool hasProc = access("/proc/self/fd", X_OK) == 0;
  if (fd_ < 0 || !hasProc) return std::string();
  return "/proc/self/fd/" + std::to_string(fd_) + "/" + name;
}

bool SysIsSymbolicLink(const char* path) {
  std::string host;
  if (path == nullptr || !SysHostPath(path, host)) return false;
  while (host.size() > 1 && host.back() == '/') host.pop_back();
  struct stat st;
  return lstat(host.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

int SysCreateNewFile(const char* path) {
  std::string host;
  if (path == nullptr || !SysHostPath(path, host)) return Refuse(SYS_ERROR_NOT_FOUND);
  if (SysTakeFault(SysFault::Open)) return Refuse(SYS_ERROR_ACCESS);
  int fd;
  do {
    fd = open(host.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    int err = errno;
    SysSetLastErrorFromErrno(err, host);
    if (err == EEXIST) {
      SysSetLastError(SYS_ERROR_FILE_EXISTS);
      return SYS_ERROR_EXISTS;
    }
    return err == ENOTDIR ? SYS_ERROR_NOT_FOUND : Code(err);
  }
  close(fd);
  return SYS_OK;
}

void SysSetOpenChildHook(SysOpenChildHook hook, void* context) {
  g_hookContext.store(context);
  g_hook.store(hook);
}
