#include "platform/findfile.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/netshare.h"
#include "platform/syserror.h"
#include "platform/sysinfo.h"

namespace {

constexpr size_t kMaxComponent = 255;

bool IsSep(char c) { return c == '\\' || c == '/'; }

unsigned char Fold(unsigned char c) { return unsigned(c - 'a') < 26u ? static_cast<unsigned char>(c - 32) : c; }

bool HasWildcard(const char* begin, const char* end) {
  for (; begin < end; ++begin)
    if (*begin == '*' || *begin == '?') return true;
  return false;
}

FILETIME Ticks(const struct statx_timestamp& t) { return MakeFileTime(SysTicksFromHostTime(t.tv_sec, long(t.tv_nsec))); }

int ErrorOf(int err) { return int(SysErrorFromErrno(err)); }

// Bytes of the character starting at p (a whole UTF-8 sequence counts as
// one, as one name character on Windows).
size_t CharBytes(const char* p, const char* end) {
  size_t n = 1;
  if (static_cast<unsigned char>(*p) >= 0xC0)
    while (p + n < end && (static_cast<unsigned char>(p[n]) & 0xC0) == 0x80) ++n;
  return n;
}

// '*' any run, '?' one character; the last '*' is retried on a mismatch.
bool Glob(const char* p, const char* pEnd, const char* n, const char* nEnd) {
  const char* starP = nullptr;
  const char* starN = nullptr;
  while (n < nEnd) {
    if (p < pEnd && *p == '*') {
      starP = ++p;
      starN = n;
    } else if (p < pEnd && *p == '?') {
      ++p;
      n += CharBytes(n, nEnd);
    } else if (p < pEnd && Fold(static_cast<unsigned char>(*p)) == Fold(static_cast<unsigned char>(*n))) {
      ++p;
      ++n;
    } else if (starP) {
      p = starP;
      n = starN += CharBytes(starN, nEnd);
    } else {
      return false;
    }
  }
  while (p < pEnd && *p == '*') ++p;
  return p == pEnd;
}

bool Match(const char* pattern, size_t patLen, const char* name) {
  size_t nameLen = strlen(name);
  const char* nEnd = name + nameLen;
  if (nameLen == 0 || patLen == 0) return false;
  if ((patLen == 1 && pattern[0] == '*') || (patLen == 3 && memcmp(pattern, "*.*", 3) == 0))
    return true;
  if (patLen >= 2 && pattern[patLen - 2] == '.' && pattern[patLen - 1] == '*')
    return Glob(pattern, pattern + patLen, name, nEnd) ||
           (memchr(name, '.', nameLen) == nullptr && Glob(pattern, pattern + patLen - 2, name, nEnd));
  if (pattern[patLen - 1] == '.')
    return memchr(name, '.', nameLen) == nullptr && Glob(pattern, pattern + patLen - 1, name, nEnd);
  return Glob(pattern, pattern + patLen, name, nEnd);
}

// Fills d from the host entry; false (with a SYS_ERROR_* code) when gone.
bool Fill(const std::string& host, const char* name, SysFindData* d, int* error) {
  memset(d, 0, sizeof(*d));
  struct statx sx;
  unsigned mask = STATX_BASIC_STATS | STATX_BTIME;
  bool followed = statx(AT_FDCWD, host.c_str(), 0, mask, &sx) == 0;
  if (!followed && statx(AT_FDCWD, host.c_str(), AT_SYMLINK_NOFOLLOW, mask, &sx) != 0) {
    *error = ErrorOf(errno);
    return false;
  }
  DWORD attributes = 0;
  if (followed && S_ISDIR(sx.stx_mode)) {
    attributes |= SYS_ATTR_DIRECTORY;
  } else if (followed && S_ISREG(sx.stx_mode)) {
    attributes |= SYS_ATTR_ARCHIVE;
    if (!(sx.stx_mode & S_IWUSR)) attributes |= SYS_ATTR_READONLY;
    d->sizeHigh = DWORD(sx.stx_size >> 32);
    d->sizeLow = DWORD(sx.stx_size);
  } else {
    attributes |= SYS_ATTR_SYSTEM;
  }
  if (name[0] == '.') attributes |= SYS_ATTR_HIDDEN;
  d->attributes = attributes ? attributes : SYS_ATTR_NORMAL;
  d->lastWrite = Ticks(sx.stx_mtime);
  d->lastAccess = Ticks(sx.stx_atime);
  d->creation = Ticks((sx.stx_mask & STATX_BTIME) ? sx.stx_btime : sx.stx_mtime);
  size_t len = std::min(strlen(name), size_t(SYS_MAX_PATH - 1));
  memcpy(d->name, name, len);
  d->name[len] = 0;
  return true;
}

struct Search {
  std::string folder;  // host folder with a trailing '/'
  std::vector<std::string> names;
  size_t next = 0;
};

std::mutex g_lock;
std::unordered_map<uintptr_t, std::unique_ptr<Search>> g_searches;
uintptr_t g_nextHandle = 0x100;

// Fills d with the search's next entry still there.
bool Advance(Search& s, SysFindData* d) {
  while (s.next < s.names.size()) {
    const std::string& name = s.names[s.next++];
    int ignored;
    if (Fill(s.folder + name, name.c_str(), d, &ignored)) return true;
  }
  return false;
}

bool UpperLess(const std::string& a, const std::string& b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = Fold(static_cast<unsigned char>(a[i]));
    unsigned char y = Fold(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y;
  }
  return a.size() != b.size() ? a.size() < b.size() : a < b;
}

HANDLE Fail(int* error, int code) {
  if (error) *error = code;
  SysSetLastError(DWORD(code));
  return nullptr;
}

}  // namespace

bool SysMatchFindPattern(const char* pattern, const char* name) {
  if (pattern == nullptr || name == nullptr) return false;
  return Match(pattern, strlen(pattern), name);
}

bool SysHostPathOf(const char* path, std::string& out) {
  out.clear();
  if (path == nullptr || path[0] == 0) return false;
  if (IsSep(path[0]) && IsSep(path[1])) return SysShareHostPath(path, out);
  if (path[0] != 0 && path[1] == ':') {
    char root[4096];
    if (SysGetDriveRoot(static_cast<unsigned char>(path[0]), root, sizeof root) == 0) return false;
    out = root;
    path += 2;
    if (*path && !IsSep(*path) && out.back() != '/') out += '/';
    if (*path == 0) out += '/';
  }
  for (; *path; ++path) out += *path == '\\' ? '/' : *path;
  return true;
}

HANDLE SysFindFirstFile(const char* pattern, SysFindData* data, int* error) {
  if (pattern == nullptr || pattern[0] == 0 || data == nullptr)
    return Fail(error, SYS_ERROR_INVALID_NAME);
  const char* end = pattern + strlen(pattern);
  const char* last = end;
  while (last > pattern && !IsSep(last[-1])) --last;
  std::string folder(pattern, last);
  if (last == pattern && end - pattern >= 2 && pattern[1] == ':') {
    folder.assign(pattern, 2);  // "C:name": the drive's root
    last = pattern + 2;
  }
  if (HasWildcard(pattern, last)) return Fail(error, SYS_ERROR_INVALID_NAME);
  if (last == end) return Fail(error, SYS_ERROR_NOT_FOUND);
  if (size_t(end - last) > kMaxComponent) return Fail(error, SYS_ERROR_INVALID_NAME);
  std::string host;
  if (folder.empty()) {
    host = ".";
  } else if (!SysHostPathOf(folder.c_str(), host)) {
    return Fail(error, SYS_ERROR_PATH_NOT_FOUND);
  }
  while (host.size() > 1 && host.back() == '/') host.pop_back();
  struct stat st;
  if (stat(host.c_str(), &st) != 0) {
    int code = ErrorOf(errno);
    return Fail(error, code == SYS_ERROR_NOT_FOUND ? SYS_ERROR_PATH_NOT_FOUND : code);
  }
  if (!S_ISDIR(st.st_mode)) return Fail(error, SYS_ERROR_DIRECTORY);
  DIR* dir = opendir(host.c_str());
  if (dir == nullptr) return Fail(error, ErrorOf(errno));
  auto search = std::make_unique<Search>();
  std::string part(last, end);
  while (dirent* e = readdir(dir)) {
    if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0) continue;
    if (Match(part.data(), part.size(), e->d_name)) search->names.emplace_back(e->d_name);
  }
  closedir(dir);
  std::sort(search->names.begin(), search->names.end(), UpperLess);
  search->folder = host;
  if (search->folder.back() != '/') search->folder += '/';
  if (!Advance(*search, data)) return Fail(error, SYS_ERROR_NOT_FOUND);
  std::lock_guard<std::mutex> hold(g_lock);
  uintptr_t id = g_nextHandle;
  g_nextHandle += 4;
  if (g_nextHandle > (uintptr_t(1) << 30)) g_nextHandle = 0x100;
  g_searches[id] = std::move(search);
  return reinterpret_cast<HANDLE>(id);
}

bool SysFindNextFile(HANDLE handle, SysFindData* data, int* error) {
  int code = SYS_ERROR_OTHER;
  if (data != nullptr) {
    std::lock_guard<std::mutex> hold(g_lock);
    auto it = g_searches.find(reinterpret_cast<uintptr_t>(handle));
    if (it != g_searches.end()) {
      if (Advance(*it->second, data)) return true;
      code = SYS_ERROR_NO_MORE_FILES;
    }
  }
  if (error) *error = code;
  SysSetLastError(DWORD(code));
  return false;
}

bool SysFindClose(HANDLE handle) {
  std::lock_guard<std::mutex> hold(g_lock);
  return g_searches.erase(reinterpret_cast<uintptr_t>(handle)) == 1;
}

int SysOpenFindCount() {
  std::lock_guard<std::mutex> hold(g_lock);
  return int(g_searches.size());
}

bool SysGetFileAttributesEx(const char* path, SysFindData* data, int* error) {
  int ignored;
  if (error == nullptr) error = &ignored;
  if (path == nullptr || path[0] == 0 || data == nullptr ||
      HasWildcard(path, path + strlen(path))) {
    *error = SYS_ERROR_INVALID_NAME;
    SysSetLastError(SYS_ERROR_INVALID_NAME);
    return false;
  }
  std::string host;
  if (!SysHostPathOf(path, host)) {
    *error = SYS_ERROR_PATH_NOT_FOUND;
    SysSetLastError(SYS_ERROR_PATH_NOT_FOUND);
    return false;
  }
  // The name decides the hidden bit; a root or "dir/" has its own name.
  std::string trimmed = host;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  size_t slash = trimmed.rfind('/');
  std::string name = slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
  if (name == "." || name == "..") name.clear();
  if (Fill(host, name.c_str(), data, error)) {
    data->name[0] = 0;
    return true;
  }
  if (*error == SYS_ERROR_NOT_FOUND && slash != std::string::npos) {
    // No such entry, or no such folder to hold it.
    std::string parent = slash == 0 ? "/" : trimmed.substr(0, slash);
    struct stat st;
    if (stat(parent.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) *error = SYS_ERROR_PATH_NOT_FOUND;
  }
  SysSetLastError(DWORD(*error));
  memset(data, 0, sizeof(*data));
  return false;
}
