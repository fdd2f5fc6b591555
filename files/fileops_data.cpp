// Whole-file transfers and content comparison.
#include <cstring>
#include <string>

#include "files/fileops.h"
#include "files/fileops_text.h"
#include "platform/fileio.h"
#include "platform/fsops.h"
#include "platform/pathconv.h"
#include "platform/pathsys.h"
#include "platform/replace.h"
#include "platform/sysinfo.h"

namespace {

using fileops_detail::kChunk;
using fileops_detail::WriteAll;

// Only regular files are written or read: a pipe would wait for its other
// end, and a device is no file to be replaced (or read to its end: /dev/zero
// has none).
constexpr int kWriteFlags = FD_OPEN_WRITE | FD_OPEN_CREATE | FD_OPEN_BINARY | FD_OPEN_REGULAR_ONLY;
constexpr int kReadFlags = FD_OPEN_READ | FD_OPEN_BINARY | FD_OPEN_REGULAR_ONLY;

bool Append(const char* path, const void* data, int64_t size) {
  int fd = FdOpen(path, kWriteFlags);
  if (fd < 0) return false;
  int64_t end = FdSeek(fd, 0, FD_SEEK_END);
  bool ok = end >= 0 && WriteAll(fd, data, size);
  // A failed append takes back what it added, so the file keeps its old content.
  if (!ok && end >= 0) FdTruncate(fd, end);
  if (FdClose(fd) != 0) ok = false;
  return ok;
}

bool Rewrite(const char* path, const void* data, int64_t size) {
  // A read-only file refuses writers, as it would an in-place open.
  DWORD attributes = SysGetFileAttributes(path);
  if (attributes != SYS_ATTR_INVALID && (attributes & SYS_ATTR_READONLY)) {
    SysSetLastError(SYS_ERROR_ACCESS);
    return false;
  }
  FdReplacement replacement;
  int fd = FdBeginReplace(path, replacement);
  if (FdReplaceRefused(fd)) return false;
  if (fd < 0) {
    // Files that cannot be replaced are written in place.
    fd = FdOpen(path, kWriteFlags | FD_OPEN_TRUNCATE);
    if (fd < 0) return false;
    bool ok = WriteAll(fd, data, size);
    return FdClose(fd) == 0 && ok;
  }
  bool ok = WriteAll(fd, data, size);
  if (FdClose(fd) != 0) ok = false;
  if (!ok) {
    FdAbandonReplace(replacement);
    return false;
  }
  return FdCommitReplace(replacement);
}

int64_t ReadInto(const char* path, void* buffer, int64_t size) {
  if (buffer == nullptr || size <= 0) return 0;
  unsigned char* out = static_cast<unsigned char*>(buffer);
  out[0] = 0;
  if (size >= 2) out[1] = 0;
  if (size < 3 || path == nullptr) return 0;
  int fd = FdOpen(path, kReadFlags);
  if (fd < 0) return 0;
  int64_t room = size - 2, count = 0;
  while (count < room) {
    int step = room - count > kChunk ? kChunk : int(room - count);
    int got = FdRead(fd, out + count, step);
    if (got <= 0) break;
    count += got;
    if (got < step) break;
  }
  FdClose(fd);
  out[count] = 0;
  out[count + 1] = 0;
  return count;
}

bool SameContents(const char* first, const char* second) {
  if (first == nullptr || second == nullptr) return false;
  int a = FdOpen(first, kReadFlags);
  if (a < 0) return false;
  int b = FdOpen(second, kReadFlags);
  if (b < 0) {
    FdClose(a);
    return false;
  }
  int64_t sizeA = SysGetDescriptorSize(a), sizeB = SysGetDescriptorSize(b);
  bool same = sizeA >= 0 && sizeA == sizeB;
  static constexpr int kBlock = 4096;
  unsigned char blockA[kBlock], blockB[kBlock];
  while (same) {
    int gotA = FdRead(a, blockA, kBlock), gotB = FdRead(b, blockB, kBlock);
    if (gotA < 0 || gotA != gotB) same = false;
    else if (gotA == 0) break;
    else same = std::memcmp(blockA, blockB, size_t(gotA)) == 0;
  }
  FdClose(a);
  FdClose(b);
  return same;
}

}  // namespace

bool WriteFileData(const char* path, const void* data, int64_t size, bool append) {
  if (path == nullptr || *path == 0 || size < 0 || (size > 0 && data == nullptr)) return false;
  return append ? Append(path, data, size) : Rewrite(path, data, size);
}

bool WriteFileDataW(const wchar16* path, const void* data, int64_t size, bool append) {
  std::string narrow;
  return path != nullptr && PathToUtf8(path, narrow) && WriteFileData(narrow.c_str(), data, size, append);
}

int64_t ReadFileData(const char* path, void* buffer, int64_t size) { return ReadInto(path, buffer, size); }

int64_t ReadFileDataW(const wchar16* path, void* buffer, int64_t size) {
  std::string narrow;
  if (path == nullptr || !PathToUtf8(path, narrow)) return ReadInto(nullptr, buffer, size);
  return ReadInto(narrow.c_str(), buffer, size);
}

bool CompareFileContents(const char* first, const char* second) { return SameContents(first, second); }

bool CompareFileContentsW(const wchar16* first, const wchar16* second) {
  std::string a, b;
  return first && second && PathToUtf8(first, a) && PathToUtf8(second, b) && SameContents(a.c_str(), b.c_str());
}
