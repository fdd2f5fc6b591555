// Putting a finished file in a target's place, and rewriting part of a file,
// so that an interruption never leaves the target half-written.
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "files/copyengine.h"
#include "files/fileops.h"
#include "files/fileops_text.h"
#include "files/path.h"
#include "platform/fileio.h"
#include "platform/fsops.h"
#include "platform/pathsys.h"

using namespace fileops_detail;

namespace {

constexpr int kBlock = 4096;
// Longest target name: the host's own limit for a full path.
constexpr size_t kMaxTargetLength = 4095;

const char kAsideSuffix[] = ".rf.tmp";
const char kRewriteSuffix[] = ".cf.tmp";

bool Move(const std::string& from, const std::string& to) { return SysMoveFile(from.c_str(), to.c_str(), false) == SYS_OK; }

void Discard(const std::string& newFile, int flags) {
  if (!(flags & RENAME_SAFE_DELETE_ON_FAILURE)) return;
  if (flags & RENAME_SAFE_PLAIN_DELETE) SysDeleteFile(newFile.c_str());
  else DeleteFileForced(newFile.c_str());
}

// The numbered backup of path in either width.
bool BackUp(const char* source, const char* pattern, int flags, int count, const char* base) {
  return MakeBackupFile(source, pattern, flags, count, BACKUP_COUNTER_IN_PATTERN, 1, base);
}
bool BackUp(const wchar16* source, const wchar16* pattern, int flags, int count, const wchar16* base) {
  return MakeBackupFileW(source, pattern, flags, count, BACKUP_COUNTER_IN_PATTERN, 1, base);
}

template <class Ch>
bool RenameSafe(const Ch* newFile, const Ch* target, int flags, const Ch* pattern, int count) {
  std::string fresh;
  if (newFile == nullptr || target == nullptr || *target == 0 || !Narrow(newFile, fresh) || fresh.empty()) return false;
  Str<Ch> targetName(target);
  if (target[0] == Ch('*')) {
    Str<Ch> source(newFile);
    Str<Ch> built(source.size() + targetName.size() + 2, Ch(0));
    int n = files_detail::SetExtension(int(source.size()), &built[0], source.c_str(), target, int(built.size()));
    built.resize(size_t(n));
    targetName = built;
  }
  std::string old, aside;
  if (targetName.size() > kMaxTargetLength || !Narrow(targetName, old)) return false;
  // Putting a file in its own place would end with it deleted.
  if (SysSameFile(fresh.c_str(), old.c_str())) return false;
  aside = old + kAsideSuffix;
  // A leftover aside file is stale while the target exists; without the
  // target it is the only copy of the old file a crash left, and stays.
  if (GetPathType(old.c_str()) != PATH_NONE) DeleteFileForced(aside.c_str());
  bool movedAside = Move(old, aside);
  if (!movedAside && !((flags & RENAME_SAFE_TARGET_MAY_BE_MISSING) && GetPathType(old.c_str()) == PATH_NONE)) {
    Discard(fresh, flags);
    return false;
  }
  if (!Move(fresh, old)) {
    if (movedAside) Move(aside, old);
    Discard(fresh, flags);
    return false;
  }
  if (flags & RENAME_SAFE_EXCHANGE) {
    if (movedAside && !Move(aside, fresh)) {
      Move(old, fresh);
      Move(aside, old);
      return false;
    }
    return true;
  }
  if (!movedAside) return true;
  if (pattern == nullptr) {
    DeleteFileForced(aside.c_str());
    return true;
  }
  // The new file is in place whatever becomes of the backup; an old target
  // that could not become one stays beside it under the aside name.
  Str<Ch> asideName = targetName + Ascii<Ch>(kAsideSuffix);
  BackUp(asideName.c_str(), pattern, 0, count < 1 ? 1 : count, targetName.c_str());
  return true;
}

// Copies count bytes (or, with count -1, up to the end) from in to out in
// blocks; the first block is cut so that the following ones end on block
// boundaries of the output, which stands at outAt.
bool CopyBlocks(int in, int out, int64_t count, int64_t outAt) {
  unsigned char block[kBlock];
  int64_t first = kBlock - outAt % kBlock;
  while (count != 0) {
    int64_t want = first;
    first = kBlock;
    if (count > 0 && want > count) want = count;
    int got = FdRead(in, block, int(want));
    if (got < 0) return false;
    if (got == 0) return count < 0;
    if (FdWrite(out, block, got) != got) return false;
    if (count > 0) count -= got;
  }
  return true;
}

// The same length: the bytes are written in place, and put back when the
// write fails.
bool RewriteInPlace(const std::string& path, int64_t offset, const void* data, int64_t length) {
  if (length == 0) return true;
  // Room for the old bytes comes first: a range too large for memory is
  // refused before the file is touched.
  std::unique_ptr<unsigned char[]> old(new (std::nothrow) unsigned char[static_cast<size_t>(length)]);
  if (old == nullptr) return false;
  int fd = FdOpen(path.c_str(), FD_OPEN_READWRITE | FD_OPEN_BINARY);
  if (fd < 0) return false;
  bool ok = FdSeek(fd, offset, FD_SEEK_SET) == offset && ReadAll(fd, old.get(), length) &&
            FdSeek(fd, offset, FD_SEEK_SET) == offset;
  if (ok && !WriteAll(fd, data, length)) {
    if (FdSeek(fd, offset, FD_SEEK_SET) == offset) WriteAll(fd, old.get(), length);
    ok = false;
  }
  if (FdClose(fd) != 0) ok = false;
  return ok;
}

// Another length: the whole file is written anew to the ".cf.tmp" file.
bool WriteRewrite(const std::string& path, const std::string& temporary, int64_t offset, int64_t oldLength,
                  const void* data, int64_t newLength) {
  int in = FdOpen(path.c_str(), FD_OPEN_READ | FD_OPEN_BINARY);
  if (in < 0) return false;
  int out = FdOpen(temporary.c_str(), FD_OPEN_WRITE | FD_OPEN_CREATE | FD_OPEN_TRUNCATE | FD_OPEN_BINARY);
  if (out < 0) {
    FdClose(in);
    return false;
  }
  bool ok = CopyBlocks(in, out, offset, 0) && FdSeek(in, offset + oldLength, FD_SEEK_SET) == offset + oldLength &&
            WriteAll(out, data, newLength) && CopyBlocks(in, out, -1, offset + newLength);
  FdClose(in);
  if (FdClose(out) != 0) ok = false;
  if (ok) SysCopyPermissions(path.c_str(), temporary.c_str());
  else SysDeleteFile(temporary.c_str());
  return ok;
}

template <class Ch>
bool WriteSafe(const Ch* path, int64_t offset, int64_t oldLength, const void* data, int64_t newLength,
               const Ch* pattern, int count) {
  std::string narrow;
  if (path == nullptr || offset < 0 || oldLength < 0 || newLength < 0 || (newLength > 0 && data == nullptr) ||
      !Narrow(path, narrow))
    return false;
  int64_t size = -1;
  GetFileSize64ByName(narrow.c_str(), &size);
  if (size < 0 || offset > size) return false;
  if (oldLength > size - offset) oldLength = size - offset;
  if (newLength == oldLength) {
    // A read-only file refuses the writer, before any backup of it is made;
    // the host would let a privileged process write it all the same.
    DWORD attributes = SysGetFileAttributes(narrow.c_str());
    if (attributes == SYS_ATTR_INVALID || (attributes & SYS_ATTR_READONLY)) return false;
    if (pattern != nullptr &&
        !BackUp(path, pattern, BACKUP_COPY, count < 1 ? 1 : count, path))
      return false;
    return RewriteInPlace(narrow, offset, data, newLength);
  }
  Str<Ch> temporary = Str<Ch>(path) + Ascii<Ch>(kRewriteSuffix);
  std::string temporaryNarrow;
  if (!Narrow(temporary, temporaryNarrow) ||
      !WriteRewrite(narrow, temporaryNarrow, offset, oldLength, data, newLength))
    return false;
  return RenameSafe(temporary.c_str(), path, RENAME_SAFE_DELETE_ON_FAILURE, pattern, count);
}

}  // namespace

bool RenameFileSafe(const char* newFile, const char* target, int flags, const char* pattern, int count) {
  return RenameSafe(newFile, target, flags, pattern, count);
}
bool RenameFileSafeW(const wchar16* newFile, const wchar16* target, int flags, const wchar16* pattern, int count) {
  return RenameSafe(newFile, target, flags, pattern, count);
}

bool WriteFileSafe(const char* path, int64_t offset, int64_t oldLength, const void* data, int64_t newLength,
                   const char* pattern, int count) {
  return WriteSafe(path, offset, oldLength, data, newLength, pattern, count);
}
bool WriteFileSafeW(const wchar16* path, int64_t offset, int64_t oldLength, const void* data, int64_t newLength,
                    const wchar16* pattern, int count) {
  return WriteSafe(path, offset, oldLength, data, newLength, pattern, count);
}
