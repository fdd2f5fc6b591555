// The store's file access: whole-file reads of saved keys and older store
// files, new files that never replace another, and moves aside that never
// overwrite an earlier one.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/registry_db.h"
#include "platform/tempname.h"

namespace platform::registry_detail {

LONG FromErrno(int err, LONG fallback) {
  switch (err) {
    case ENOENT: case ENOTDIR: return ERROR_FILE_NOT_FOUND;
    case EACCES: case EPERM: case EROFS: case EISDIR: return ERROR_ACCESS_DENIED;
    case ENOMEM: return ERROR_OUTOFMEMORY;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case ENOSPC: case EDQUOT: return ERROR_DISK_FULL;
    default: return fallback;
  }
}

void MakeParents(const std::string& path) {
  for (size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1)) {
    ::mkdir(path.substr(0, at).c_str(), 0700);
  }
}

namespace {

LONG WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return FromErrno(errno, ERROR_WRITE_FAULT);
    }
    done += static_cast<size_t>(n);
  }
  return ::fsync(fd) == 0 ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
}

// Renames `from` to `to` unless `to` exists (ERROR_ALREADY_EXISTS).
LONG RenameNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    return ERROR_SUCCESS;
  }
  if (errno != EINVAL && errno != ENOSYS) return FromErrno(errno, ERROR_WRITE_FAULT);
  // A file system without that rename: a link fails the same way on an
  // existing name.
  if (::link(from.c_str(), to.c_str()) != 0) return FromErrno(errno, ERROR_WRITE_FAULT);
  ::unlink(from.c_str());
  return ERROR_SUCCESS;
}

// Whether `path` still names the file open as `fd` (another writer may have
// renamed it meanwhile), and by how many names that file goes.
bool StillNamed(int fd, const std::string& path, nlink_t* links) {
  struct stat held {}, named {};
  if (::fstat(fd, &held) != 0 || ::lstat(path.c_str(), &named) != 0) return false;
  *links = named.st_nlink;
  return held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

}  // namespace

std::string HostPath(const char* file) {
  if (file[0] == '/') return file;
  char* cwd = ::getcwd(nullptr, 0);
  if (cwd == nullptr) return file;
  std::string path = std::string(cwd) + "/" + file;
  std::free(cwd);
  return path;
}

LONG ReadWholeFile(const std::string& path, std::string* out) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return FromErrno(errno, ERROR_READ_FAULT);
  struct stat st {};
  LONG rc = ERROR_SUCCESS;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    rc = ERROR_READ_FAULT;
  } else if (static_cast<unsigned long long>(st.st_size) > kMaxFileSize) {
    rc = ERROR_BADDB;
  } else {
    std::string bytes;
    char chunk[65536];
    for (;;) {
      const ssize_t n = ::read(fd, chunk, sizeof chunk);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) { rc = FromErrno(errno, ERROR_READ_FAULT); break; }
      if (n == 0) break;
      bytes.append(chunk, static_cast<size_t>(n));
      if (bytes.size() > kMaxFileSize) { rc = ERROR_BADDB; break; }
    }
    if (rc == ERROR_SUCCESS) *out = std::move(bytes);
  }
  ::close(fd);
  return rc;
}

std::string HeldTemporary::NameFor(const std::string& path) {
  const size_t slash = path.rfind('/');
  const size_t base = slash == std::string::npos ? 0 : slash + 1;
  // Cut to fit one folder entry, however long the caller's name is.
  return path.substr(0, base) + SysTemporaryName(".", path.substr(base), ".tmp");
}

LONG HeldTemporary::Write(const std::string& path, const std::string& bytes) {
  Discard();
  MakeParents(path);
  temp_ = NameFor(path);
  for (;;) {
    // A link or anything but a plain file under that name is not written through.
    fd_ = ::open(temp_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd_ < 0) return errno == ELOOP ? ERROR_ACCESS_DENIED : FromErrno(errno, ERROR_WRITE_FAULT);
    struct stat held {};
    if (::fstat(fd_, &held) != 0 || !S_ISREG(held.st_mode)) {
      ::close(fd_);
      fd_ = -1;
      return ERROR_ACCESS_DENIED;
    }
    while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
    }
    nlink_t links = 0;
    if (StillNamed(fd_, temp_, &links)) {
      if (links == 1) break;
      // A hard link was put there: writing would change the file it names.
      ::close(fd_);
      fd_ = -1;
      return ERROR_ACCESS_DENIED;
    }
    ::close(fd_);
  }
  LONG rc = ::ftruncate(fd_, 0) == 0 ? WriteAll(fd_, bytes) : FromErrno(errno, ERROR_WRITE_FAULT);
  if (rc != ERROR_SUCCESS) Discard();
  return rc;
}

LONG HeldTemporary::Place(const std::string& path) {
  // Refused, the content stays under the temporary name rather than lost.
  const LONG rc = RenameNoReplace(temp_, path);
  ::close(fd_);
  fd_ = -1;
  return rc;
}

LONG PlaceLeftover(const std::string& temp, const std::string& path) {
  const int fd = ::open(temp.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno == ELOOP ? ERROR_ACCESS_DENIED : FromErrno(errno, ERROR_READ_FAULT);
  LONG rc = ERROR_BUSY;
  nlink_t links = 0;
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    rc = StillNamed(fd, temp, &links) ? RenameNoReplace(temp, path) : ERROR_FILE_NOT_FOUND;
    // Linked under both names by a rename killed halfway: only the
    // temporary's name is left to go.
    if (rc == ERROR_ALREADY_EXISTS && StillNamed(fd, path, &links)) {
      rc = ::unlink(temp.c_str()) == 0 ? ERROR_SUCCESS : FromErrno(errno, ERROR_WRITE_FAULT);
    }
  }
  ::close(fd);
  return rc;
}

void HeldTemporary::Discard() {
  if (fd_ < 0) return;
  ::unlink(temp_.c_str());
  ::close(fd_);
  fd_ = -1;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

std::string DefaultStorePath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string base;
  if (config != nullptr && config[0] == '/') {
    base = config;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home != nullptr && home[0] != '\0' ? home : ".") + "/.config";
  }
  return base + "/zelvaro/registry.db";
}

std::string OldStorePath(const std::string& path) {
  const size_t stem = path.size() >= 3 ? path.size() - 3 : 0;
  if (stem == 0 || path.compare(stem, 3, ".db") != 0) return std::string();
  return path.substr(0, stem) + ".dat";
}

LONG MoveAside(const std::string& from, const std::string& to, std::string* placed) {
  for (unsigned n = 0;; ++n) {
    const std::string name = n == 0 ? to : to + "." + std::to_string(n);
    if (placed != nullptr) *placed = name;
    const LONG rc = RenameNoReplace(from, name);
    if (rc != ERROR_ALREADY_EXISTS) return rc;
  }
}

}  // namespace platform::registry_detail
