#include "platform/pathsys.h"

#include <dirent.h>
#include <errno.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/fileio.h"
#include "platform/fsops.h"
#include "platform/netshare.h"
#include "platform/syserror.h"
#include "platform/sysinfo.h"

namespace {

std::string g_driveRoot[26];

bool IsSep(char c) { return c == '\\' || c == '/'; }

int DriveIndex(const char* path) {
  if (path[0] == 0 || path[1] != ':') return -1;
  unsigned c = static_cast<unsigned char>(path[0]) | 0x20u;
  return c - 'a' < 26u ? int(c - 'a') : -1;
}

// Joins root and the components of text, "." dropped and ".." taking back
// the component before it (never the root).
std::string Resolve(std::string root, const char* text, char sep) {
  std::vector<std::string> parts;
  const char* p = text;
  while (*p) {
    while (IsSep(*p)) ++p;
    const char* start = p;
    while (*p && !IsSep(*p)) ++p;
    std::string part(start, p);
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(std::move(part));
  }
  size_t len = strlen(text);
  bool trailing = len > 0 && IsSep(text[len - 1]);
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) root += sep;
    root += parts[i];
  }
  if (trailing && !parts.empty()) root += sep;
  return root;
}

// The host spelling of a path, empty when it names a drive not lent. A
// server path reaches the host directory of a lent share and nothing else:
// spelt with '/' it would reach the host's own root ("//etc" is "/etc").
std::string ToHost(const char* path) {
  std::string out;
  if (IsSep(path[0]) && IsSep(path[1])) {
    if (!SysShareHostPath(path, out)) out.clear();
    return out;
  }
  int drive = DriveIndex(path);
  if (drive >= 0) {
    if (g_driveRoot[drive].empty()) return out;
    out = g_driveRoot[drive];
    out += '/';
    path += 2;
  }
  for (; *path; ++path) out += *path == '\\' ? '/' : *path;
  return out;
}

int Emit(const std::string& text, char* out, int size) {
  if (size >= 1) out[0] = 0;
  if (text.empty() || text.size() > size_t(size) - 1 || size < 1) return 0;
  memcpy(out, text.c_str(), text.size() + 1);
  return int(text.size());
}

// Sets the last error to code and returns it.
int Fail(int code) {
  SysSetLastError(DWORD(code));
  return code;
}

}  // namespace

bool SysMapDrive(int letter, const char* hostRoot) {
  unsigned c = unsigned(letter) | 0x20u;
  if (c - 'a' >= 26u) return false;
  std::string root = hostRoot ? hostRoot : "";
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  g_driveRoot[c - 'a'] = root;
  return true;
}

bool SysHostPath(const char* path, std::string& out) {
  out = path == nullptr ? std::string() : ToHost(path);
  return !out.empty();
}

DWORD SysGetLogicalDrives() {
  DWORD bits = 0;
  for (int i = 0; i < 26; ++i)
    if (!g_driveRoot[i].empty()) bits |= DWORD(1) << i;
  return bits;
}

int SysGetFullPathName(const char* path, char* out, int size) {
  if (path == nullptr || path[0] == 0) return Emit(std::string(), out, size);
  std::string full;
  if (DriveIndex(path) >= 0) {
    full = Resolve(std::string(path, 2) + '\\', path + 2, '\\');
  } else if (IsSep(path[0]) && IsSep(path[1])) {
    // \\server\share stays the root of a server path.
    const char* p = path + 2;
    std::string root = "\\\\";
    for (int part = 0; part < 2 && *p; ++part) {
      while (*p && !IsSep(*p)) root += *p++;
      if (IsSep(*p)) ++p;
      if (part == 0 && *p) root += '\\';
    }
    if (*p) root += '\\';
    full = Resolve(root, p, '\\');
  } else if (IsSep(path[0])) {
    full = Resolve("/", path, '/');
  } else {
    std::string cwd(4096, '\0');
    if (getcwd(&cwd[0], cwd.size()) == nullptr) return Emit(std::string(), out, size);
    cwd.resize(strlen(cwd.c_str()));
    full = Resolve("/", (cwd + '/' + path).c_str(), '/');
  }
  return Emit(full, out, size);
}

namespace {

// stat of what the path reaches; false with the last error set.
bool StatPath(const char* path, struct stat* st) {
  std::string host = ToHost(path);
  if (host.empty()) {
    Fail(SYS_ERROR_PATH_NOT_FOUND);
    return false;
  }
  if (stat(host.c_str(), st) != 0) {
    SysSetLastErrorFromErrno(errno, host);
    return false;
  }
  return true;
}

}  // namespace

DWORD SysGetFileAttributes(const char* path) {
  struct stat st;
  if (!StatPath(path, &st)) return SYS_ATTR_INVALID;
  if (S_ISDIR(st.st_mode)) return SYS_ATTR_DIRECTORY;
  return (st.st_mode & S_IWUSR) ? SYS_ATTR_NORMAL : SYS_ATTR_READONLY;
}

bool SysGetFileSize(const char* path, uint64_t* size, bool* isDirectory) {
  struct stat st;
  if (!StatPath(path, &st)) return false;
  *isDirectory = S_ISDIR(st.st_mode);
  *size = uint64_t(st.st_size);
  return true;
}

int64_t SysGetDescriptorSize(int fd) {
  struct stat st;
  if (fstat(fd, &st) != 0) {
    SysSetLastErrorFromErrno(errno);
    return -1;
  }
  return int64_t(st.st_size);
}

int SysCreateDirectory(const char* path) {
  std::string host = ToHost(path);
  if (host.empty()) return Fail(SYS_ERROR_PATH_NOT_FOUND);
  if (SysTakeFault(SysFault::CreateDirectory)) return Fail(SYS_ERROR_ACCESS);
  if (mkdir(host.c_str(), 0777) == 0) return SYS_OK;
  // A missing parent is "path not found", whatever the last component.
  return int(SysSetLastErrorFromErrno(errno == ENOENT ? ENOTDIR : errno));
}

int SysDeleteFile(const char* path) {
  std::string host = ToHost(path);
  struct stat st;
  if (host.empty()) {
    Fail(SYS_ERROR_PATH_NOT_FOUND);
    return SYS_ERROR_NOT_FOUND;
  }
  if (lstat(host.c_str(), &st) != 0) {
    SysSetLastErrorFromErrno(errno, host);
    return SYS_ERROR_NOT_FOUND;
  }
  if (S_ISDIR(st.st_mode)) return Fail(SYS_ERROR_ACCESS);
  if (SysTakeFault(SysFault::Delete)) return Fail(SYS_ERROR_ACCESS);
  // A file held open by these functions stays while it is held, as it would
  // on Windows; its holder's writes would otherwise go nowhere.
  const int hold = S_ISREG(st.st_mode) ? FdHoldExclusive(host.c_str()) : -1;
  if (hold == FD_ERROR_SHARING) return SYS_ERROR_SHARING_VIOLATION;
  const int rc = unlink(host.c_str());
  const int err = errno;
  if (hold >= 0) close(hold);
  return rc == 0 ? SYS_OK : int(SysSetLastErrorFromErrno(err, host));
}

bool SysSetFileAttributesNormal(const char* path) {
  std::string host = ToHost(path);
  return !host.empty() && FdClearReadOnly(host.c_str());
}

int SysGetModuleFileName(char* out, int size) {
  std::string buf(4096, '\0');
  ssize_t n = readlink("/proc/self/exe", &buf[0], buf.size());
  if (n <= 0 || size_t(n) >= buf.size()) return Emit(std::string(), out, size);
  buf.resize(size_t(n));
  return Emit(buf, out, size);
}

bool SysFindStoredName(const char* dir, const char* name, char* out, int size) {
  // An empty dir is the current directory; a dir that names no host place
  // (a drive or share not lent) holds nothing.
  std::string host = dir == nullptr || dir[0] == 0 ? std::string(".") : ToHost(dir);
  if (host.empty() || name == nullptr) return false;
  DIR* d = opendir(host.c_str());
  if (d == nullptr) return false;
  std::string found;
  while (dirent* e = readdir(d)) {
    if (strcmp(e->d_name, name) == 0) {
      found = e->d_name;
      break;
    }
    if (found.empty() && strcasecmp(e->d_name, name) == 0) found = e->d_name;
  }
  closedir(d);
  return !found.empty() && Emit(found, out, size) > 0;
}

int SysGetDriveRoot(int letter, char* out, int size) {
  unsigned c = unsigned(letter) | 0x20u;
  if (c - 'a' >= 26u) return Emit(std::string(), out, size);
  return Emit(g_driveRoot[c - 'a'], out, size);
}
