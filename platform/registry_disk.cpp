// The store's file access: whole-file reads of saved keys and older store
// files, new files that never replace another, and moves aside that never
// overwrite an earlier one.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/registry_db.h"

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

LONG WriteTo(const std::string& path, const std::string& bytes, int flags) {
  MakeParents(path);
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | flags, 0600);
  if (fd < 0) return FromErrno(errno, ERROR_WRITE_FAULT);
  LONG rc = WriteAll(fd, bytes);
  if (::close(fd) != 0 && rc == ERROR_SUCCESS) rc = ERROR_WRITE_FAULT;
  if (rc != ERROR_SUCCESS) ::unlink(path.c_str());
  return rc;
}

}  // namespace

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

LONG WriteNewFile(const std::string& path, const std::string& bytes) {
  return WriteTo(path, bytes, O_EXCL);
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
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, name.c_str(), RENAME_NOREPLACE) == 0) {
      return ERROR_SUCCESS;
    }
    if (errno == EEXIST) continue;
    if (errno != EINVAL && errno != ENOSYS) return FromErrno(errno, ERROR_WRITE_FAULT);
    // A file system without that rename: a link fails the same way on an
    // existing name.
    if (::link(from.c_str(), name.c_str()) != 0) {
      if (errno == EEXIST) continue;
      return FromErrno(errno, ERROR_WRITE_FAULT);
    }
    ::unlink(from.c_str());
    return ERROR_SUCCESS;
  }
}

}  // namespace platform::registry_detail
