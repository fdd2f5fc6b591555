// The single-file copy and move engine.
#include "files/copyengine.h"

#include <atomic>
#include <cstring>
#include <string>

#include "files/fileops.h"
#include "files/path.h"
#include "platform/fileio.h"
#include "platform/fsops.h"
#include "platform/pathconv.h"
#include "platform/pathsys.h"
#include "platform/replace.h"
#include "platform/syserror.h"
#include "platform/sysinfo.h"
#include "platform/tempname.h"

namespace {

constexpr int kBlock = 4096;
// Last errors the engine sets itself: a file or a directory in the way.
constexpr DWORD kErrorFileExists = 80, kErrorDirectory = 267;
const char kTemporarySuffix[] = ".cfp.tmp";

// The temporary's name beside the target, in the target's own folder; a
// file name too long for it and the suffix is cut to fit one folder entry.
std::string TemporaryFor(const std::string& target) { return SysTemporaryPath(target, kTemporarySuffix); }

struct Progress {
  DWORD flags;
  void* counter;
  const BYTE* cancel;
  uint64_t pending = 0;  // bytes of the file not yet counted

  void Add(uint64_t bytes) {
    if (counter == nullptr) return;
    if (flags & COPY_COUNTER_64)
      std::atomic_ref<uint64_t>(*static_cast<uint64_t*>(counter)).fetch_add(bytes);
    else
      std::atomic_ref<uint32_t>(*static_cast<uint32_t*>(counter)).fetch_add(uint32_t(bytes));
  }
  void Reset() {
    if (counter == nullptr) return;
    if (flags & COPY_COUNTER_64)
      std::atomic_ref<uint64_t>(*static_cast<uint64_t*>(counter)).store(0);
    else
      std::atomic_ref<uint32_t>(*static_cast<uint32_t*>(counter)).store(0);
  }
  bool Cancelled() const {
    return cancel != nullptr && std::atomic_ref<BYTE>(*const_cast<BYTE*>(cancel)).load() != 0;
  }
};

void StoreSize(DWORD flags, void* sizeOut, uint64_t size) {
  if (sizeOut == nullptr) return;
  if (flags & COPY_SIZE_64) *static_cast<uint64_t*>(sizeOut) = size;
  else *static_cast<uint32_t*>(sizeOut) = uint32_t(size);
}

// Makes the target's folder when the flags allow it; a file standing in
// the folder's place goes first with COPY_DELETE_BLOCKING_FILE.
bool MakeTargetDirectory(DWORD flags, const std::string& target) {
  if (!(flags & COPY_CREATE_DIRECTORY)) return false;
  if (flags & COPY_DELETE_BLOCKING_FILE) {
    std::string folder = target;
    CutToDirectory(int(folder.size()), folder.data());
    folder.resize(std::char_traits<char>::length(folder.c_str()));
    while (!folder.empty() && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
    // Walk up to the first part of the chain that exists: a file there blocks it.
    while (!folder.empty() && GetPathType(folder.c_str()) == PATH_NONE) {
      size_t cut = folder.find_last_of("/\\");
      if (cut == std::string::npos || cut == 0) break;
      folder.resize(cut);
    }
    if (GetPathType(folder.c_str()) == PATH_FILE) DeleteFileForced(folder.c_str());
  }
  return CreateDirectoryPath(target.c_str(), PATH_DIRS_TO_LAST_SEPARATOR) > 0;
}

// A share hold of FdHoldExclusive, released at the end of its scope.
struct Hold {
  int fd;
  explicit Hold(int held) : fd(held) {}
  Hold(const Hold&) = delete;
  Hold& operator=(const Hold&) = delete;
  ~Hold() { Release(); }
  void Release() {
    if (fd >= 0) FdClose(fd);
    fd = -1;
  }
};

// Whether a finished temporary may take the target's place: a read-only
// target only with COPY_REPLACE_READONLY.
bool MayReplace(DWORD flags, const std::string& target) {
  DWORD attributes = SysGetFileAttributes(target.c_str());
  if (attributes == SYS_ATTR_INVALID || !(attributes & SYS_ATTR_READONLY)) return true;
  if ((flags & COPY_REPLACE_READONLY) && SysSetFileAttributesNormal(target.c_str())) return true;
  SysSetLastError(SYS_ERROR_ACCESS);
  return false;
}

// Opens the file to write, retrying once after clearing a read-only state
// and once after making the missing folder.
int OpenTarget(DWORD flags, const std::string& path) {
  const int mode = FD_OPEN_WRITE | FD_OPEN_CREATE | FD_OPEN_TRUNCATE | FD_OPEN_BINARY | FD_OPEN_REGULAR_ONLY;
  // A read-only file refuses writers even where the host would let us in.
  if (!MayReplace(flags, path)) return FD_ERROR_ACCESS;
  int fd = FdOpen(path.c_str(), mode);
  if (fd == FD_ERROR_ACCESS && (flags & COPY_REPLACE_READONLY) && SysSetFileAttributesNormal(path.c_str()))
    fd = FdOpen(path.c_str(), mode);
  if (fd == FD_ERROR_NOT_FOUND && MakeTargetDirectory(flags, path)) fd = FdOpen(path.c_str(), mode);
  return fd;
}

// Opens what a copy without the ".cfp.tmp" name writes: a file without a
// name beside the target, which takes the target's place only once complete,
// so a process killed on the way leaves the old target whole (or no target).
// Where no such file can be made (a target of another owner, a folder we
// may not add to) the target itself is written, as the flags allow; a pipe
// or device is neither, nor is a target cut where a full disk refused the
// new file.
int OpenReplacement(DWORD flags, const std::string& target, FdReplacement& replacement, bool& replacing) {
  replacing = false;
  if (!MayReplace(flags, target)) return FD_ERROR_ACCESS;
  SysSetLastError(0);
  int fd = FdBeginUnnamedReplace(target.c_str(), replacement);
  if (fd < 0 && SysGetLastError() == SYS_ERROR_PATH_NOT_FOUND && MakeTargetDirectory(flags, target))
    fd = FdBeginUnnamedReplace(target.c_str(), replacement);
  if (fd >= 0) {
    replacing = true;
    return fd;
  }
  return FdReplaceRefused(fd) ? fd : OpenTarget(flags, target);
}

// The copy loop: COPY_OK, COPY_CANCELLED, COPY_READ_FAILED or COPY_WRITE_FAILED.
int Transfer(int in, int out, Progress& progress) {
  unsigned char block[kBlock];
  for (;;) {
    if (progress.Cancelled()) return COPY_CANCELLED;
    int got = FdRead(in, block, kBlock);
    if (got < 0) return COPY_READ_FAILED;
    if (got == 0) return COPY_OK;
    if (progress.Cancelled()) return COPY_CANCELLED;
    if (FdWrite(out, block, got) != got) return COPY_WRITE_FAILED;
    progress.Add(uint64_t(got));
    progress.pending -= progress.pending < uint64_t(got) ? progress.pending : uint64_t(got);
    if (got < kBlock) return COPY_OK;
  }
}

int Copy(DWORD flags, const std::string& source, const std::string& target, const std::string& temporary,
         Progress& progress) {
  int in = FdOpen(source.c_str(), FD_OPEN_READ | FD_OPEN_BINARY | FD_OPEN_REGULAR_ONLY);
  if (in < 0) return COPY_SOURCE_UNREADABLE;
  bool viaTemporary = (flags & COPY_VIA_TEMPORARY) != 0;
  const std::string& written = viaTemporary ? temporary : target;
  // Opening the target (or the temporary name) would cut the source itself to nothing.
  if (SysSameFile(source.c_str(), target.c_str()) || (viaTemporary && SysSameFile(source.c_str(), written.c_str()))) {
    FdClose(in);
    return COPY_TARGET_UNWRITABLE;
  }
  // A target another open holds is refused before anything is written, and
  // ours is held until the rename: that would pull it from under a holder.
  Hold hold(viaTemporary ? FdHoldExclusive(target.c_str()) : -1);
  if (hold.fd == FD_ERROR_SHARING) {
    FdClose(in);
    return COPY_TARGET_UNWRITABLE;
  }
  FdReplacement replacement;
  replacement.ownOnly = true;
  bool replacing = false;
  // An old target goes with a failed copy as it would with one written in place.
  const bool existed = !viaTemporary && SysIsRegularFile(target.c_str());
  int out = viaTemporary ? OpenTarget(flags, written) : OpenReplacement(flags, target, replacement, replacing);
  if (out < 0) {
    FdClose(in);
    return COPY_TARGET_UNWRITABLE;
  }
  int result = Transfer(in, out, progress);
  FdClose(in);
  if (replacing) {
    if (FdClose(out) != 0 && result == COPY_OK) result = COPY_WRITE_FAILED;
    if (result == COPY_OK) return FdCommitReplace(replacement) ? COPY_OK : COPY_WRITE_FAILED;
    FdAbandonReplace(replacement);
    if (existed) SysDeleteFile(target.c_str());
    return result;
  }
  // Cut first: should the delete fail, no half-written file stays under the name.
  if (result != COPY_OK) FdTruncate(out, 0);
  if (FdClose(out) != 0 && result == COPY_OK) result = COPY_WRITE_FAILED;
  if (result != COPY_OK) {
    SysDeleteFile(written.c_str());
    return result;
  }
  if (viaTemporary) {
    if (!MayReplace(flags, target)) {
      SysDeleteFile(written.c_str());
      return COPY_TARGET_UNWRITABLE;
    }
    // One rename replaces the old target: it is never gone before the copy is in place.
    hold.Release();  // the rename holds the target itself
    int moved = SysMoveFile(written.c_str(), target.c_str(), true);
    if (moved != SYS_OK) {
      SysDeleteFile(written.c_str());
      SysSetLastError(DWORD(moved));
      return moved == int(SYS_ERROR_SHARING_VIOLATION) ? COPY_TARGET_UNWRITABLE : COPY_RENAME_FAILED;
    }
  }
  return COPY_OK;
}

// A pipe, a device or a socket is neither copied, moved nor replaced
// (opening a pipe waits for its other end, and a device is no file), and a
// folder as target can only be refused. Links count as names here: a move
// renames them, and a copy's opens refuse what they name as they refuse
// the node itself. 2 when the copy may go on, else the failure code.
int CheckKinds(const std::string& source, const std::string& target) {
  if (SysFileKind(source.c_str(), false) == SYS_KIND_OTHER) return COPY_SOURCE_UNREADABLE;
  const int kind = SysFileKind(target.c_str(), false);
  return kind == SYS_KIND_FOLDER || kind == SYS_KIND_OTHER ? COPY_TARGET_UNWRITABLE : 2;
}

// A move by renaming: COPY_OK, a failure code, or 2 when copying has to
// take over.
int Rename(DWORD flags, const std::string& source, const std::string& target) {
  // The host would let a rename replace a read-only file; it is refused as a
  // writer is, and the copy that takes over then gives the verdict.
  DWORD attributes = SysGetFileAttributes(target.c_str());
  if (attributes != SYS_ATTR_INVALID && (attributes & SYS_ATTR_READONLY) && !(flags & COPY_REPLACE_READONLY))
    return 2;
  int code = SysMoveFile(source.c_str(), target.c_str(), true);
  if (code == SYS_ERROR_ACCESS && (flags & COPY_REPLACE_READONLY) && SysSetFileAttributesNormal(target.c_str()))
    code = SysMoveFile(source.c_str(), target.c_str(), true);
  if (code == SYS_ERROR_PATH_NOT_FOUND) {
    if (!MakeTargetDirectory(flags, target)) {
      SysSetLastError(SYS_ERROR_PATH_NOT_FOUND);
      return COPY_TARGET_UNWRITABLE;
    }
    code = SysMoveFile(source.c_str(), target.c_str(), true);
  }
  if (code == SYS_OK) return COPY_OK;
  if (code == SYS_ERROR_NOT_FOUND) return COPY_SOURCE_UNREADABLE;
  return 2;
}

int Run(DWORD flags, const std::string& source, const std::string& target, const std::string& temporary,
        void* counter, void* sizeOut, const BYTE* cancel) {
  Progress progress{flags, counter, cancel};
  if (!(flags & COPY_KEEP_COUNTER)) progress.Reset();
  if (counter != nullptr || sizeOut != nullptr) {
    int64_t size = 0;
    GetFileSize64ByName(source.c_str(), &size);
    if (size < 0) {
      StoreSize(flags, sizeOut, 0);
      return COPY_SOURCE_UNREADABLE;
    }
    progress.pending = uint64_t(size);
    StoreSize(flags, sizeOut, uint64_t(size));
  }
  int result = 2;
  if (flags & COPY_FAIL_IF_EXISTS) {
    int type = GetPathType(target.c_str());
    if (type != PATH_NONE) {
      result = type == PATH_FILE ? COPY_TARGET_EXISTS : COPY_TARGET_UNWRITABLE;
      SysSetLastError(type == PATH_FILE ? kErrorFileExists : kErrorDirectory);
    }
  }
  if (result == 2) result = CheckKinds(source, target);
  if (result == 2 && (flags & COPY_MOVE)) {
    result = Rename(flags, source, target);
    if (result == COPY_OK) {
      progress.Add(progress.pending);
      progress.pending = 0;
    }
  }
  if (result == 2) {
    result = Copy(flags, source, target, temporary, progress);
    if (result == COPY_OK) {
      if (flags & COPY_TIMES) CopyFileTimes(source.c_str(), target.c_str());
      if (flags & COPY_ATTRIBUTES) SysCopyPermissions(source.c_str(), target.c_str());
      if ((flags & COPY_MOVE) && SysDeleteFile(source.c_str()) != SYS_OK &&
          !((flags & COPY_DELETE_READONLY_SOURCE) && DeleteFileForced(source.c_str())))
        result = COPY_SOURCE_KEPT;
    }
  }
  if (result != COPY_OK && (flags & COPY_COUNT_FAILED_REST)) progress.Add(progress.pending);
  return result;
}

}  // namespace

int CopyFileEngine(DWORD flags, const char* source, const char* target, void* counter, void* sizeOut,
                   const BYTE* cancel) {
  if (source == nullptr || target == nullptr || *source == 0) return COPY_SOURCE_UNREADABLE;
  if (*target == 0) return COPY_TARGET_UNWRITABLE;
  return Run(flags, source, target, TemporaryFor(target), counter, sizeOut, cancel);
}

int CopyFileEngineW(DWORD flags, const wchar16* source, const wchar16* target, void* counter, void* sizeOut,
                    const BYTE* cancel) {
  std::string a, b;
  if (source == nullptr || !PathToUtf8(source, a) || a.empty()) return COPY_SOURCE_UNREADABLE;
  if (target == nullptr || !PathToUtf8(target, b) || b.empty()) return COPY_TARGET_UNWRITABLE;
  return Run(flags, a, b, TemporaryFor(b), counter, sizeOut, cancel);
}
