// Putting a finished file in a target's place, and rewriting part of a file,
// so that an interruption never leaves the target half-written.
#include <cstring>
#include <string>

#include "files/copyengine.h"
#include "files/fileops.h"
#include "files/fileops_text.h"
#include "files/path.h"
#include "platform/fileio.h"
#include "platform/fsops.h"
#include "platform/pathsys.h"
#include "platform/safemove.h"
#include "platform/syserror.h"
#include "platform/sysinfo.h"
#include "platform/tempname.h"

using namespace fileops_detail;

namespace {

constexpr int kBlock = 4096;
// Longest target name: the host's own limit for a full path.
constexpr size_t kMaxTargetLength = 4095;

const char kAsideSuffix[] = ".rf.tmp";
const char kRewriteSuffix[] = ".cf.tmp";

bool Move(const std::string& from, const std::string& to, bool replace) {
  return SysMoveFile(from.c_str(), to.c_str(), replace) == SYS_OK;
}

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

// Whether an aside file stands beside an existing target with content the
// target does not hold: old content that a call killed between its rename
// and its backup left there. Its own target under a second name (a call
// killed before its rename) holds nothing else, and a pipe, a device or a
// socket under the aside name holds no content. A target that is a link to
// no file (to nothing, a folder or a pipe) holds none of it. Neither name is
// opened to compare unless it is a file: a pipe would hold the call until a
// writer came.
bool HoldsOldContent(const std::string& old, const std::string& aside) {
  if (SysFileKind(aside.c_str()) != SYS_KIND_FILE) return false;
  const int name = SysFileKind(old.c_str(), false);
  if (name == SYS_KIND_NONE || name == SYS_KIND_FOLDER) return false;
  return SysFileKind(old.c_str()) != SYS_KIND_FILE ||
         (!SysSameFile(old.c_str(), aside.c_str()) && !CompareFileContents(old.c_str(), aside.c_str()));
}

// Gives the old target its aside name as well, so that the one rename that
// replaces the target never leaves the name empty. An aside file found while
// the target exists goes first, unless it holds old content: then
// SYS_ERROR_EXISTS. SYS_ERROR_NOT_FOUND: no target.
int KeepAside(const std::string& old, const std::string& aside) {
  int kept = SysLinkOrCopy(old.c_str(), aside.c_str());
  if (kept == SYS_ERROR_EXISTS && !HoldsOldContent(old, aside)) {
    DeleteFileForced(aside.c_str());
    kept = SysLinkOrCopy(old.c_str(), aside.c_str());
  }
  return kept;
}

// Puts the new file in the target's place with one rename, the old target
// kept under the aside name; `hadOld` tells whether there was one. On failure
// the target is as it was, no aside name stays, and the new file is deleted
// as the flags say.
bool ReplaceKeepingAside(const std::string& fresh, const std::string& old, const std::string& aside, int flags,
                         bool& hadOld) {
  int kept = KeepAside(old, aside);
  hadOld = kept == SYS_OK;
  // Without an old file an aside file is what an interrupted rename of older
  // versions left, and stays.
  if (kept == SYS_ERROR_NOT_FOUND && (flags & RENAME_SAFE_TARGET_MAY_BE_MISSING) && Move(fresh, old, false))
    return true;
  if (kept != SYS_OK) {
    Discard(fresh, flags);
    return false;
  }
  if (Move(fresh, old, true)) return true;
  SysDropSecondName(aside.c_str());
  Discard(fresh, flags);
  return false;
}

// The exchange where the file system cannot swap two names in one step: the
// target takes the new file in one rename, then the old file (kept under
// `aside`) takes the new file's name.
bool ExchangeInSteps(const std::string& fresh, const std::string& old, const std::string& aside, int flags) {
  bool hadOld = false;
  if (!ReplaceKeepingAside(fresh, old, aside, flags, hadOld)) return false;
  if (!hadOld || Move(aside, fresh, false)) return true;
  // Back as it was: the new file under its name again before the old file
  // takes the target's, so that neither is ever without a name.
  if (SysLinkOrCopy(old.c_str(), fresh.c_str()) == SYS_OK) Move(aside, old, true);
  return false;
}

// Whether the rename may go on: a pipe, a device or a socket under either
// name is no file to be renamed or replaced (a link is, as a name), and an
// exchange swaps two files, never a file and a folder. Last error set.
bool MayTakePlace(const std::string& fresh, const std::string& old, int flags) {
  for (const std::string* name : {&fresh, &old}) {
    const int kind = SysFileKind(name->c_str(), false);
    if (kind == SYS_KIND_OTHER || (kind == SYS_KIND_FOLDER && (flags & RENAME_SAFE_EXCHANGE))) return false;
  }
  return true;
}

// Claims on the files of one replace, released when it ends.
class ReplaceClaims {
 public:
  ReplaceClaims() = default;
  ReplaceClaims(const ReplaceClaims&) = delete;
  ReplaceClaims& operator=(const ReplaceClaims&) = delete;
  ~ReplaceClaims() {
    for (int fd : fds_)
      if (fd >= 0) FdClose(fd);
  }
  // False (last error 32) while another replace holds the file.
  bool Take(const std::string& path) {
    const int fd = FdClaimForReplace(path.c_str());
    if (fd == FD_ERROR_SHARING) return false;
    fds_[taken_++] = fd;
    return true;
  }

 private:
  int fds_[2] = {-1, -1};
  int taken_ = 0;
};

// `claim`: the caller holds no claims on the two files yet (a rewrite takes
// its own before it calls).
template <class Ch>
bool RenameSafe(const Ch* newFile, const Ch* target, int flags, const Ch* pattern, int count, bool claim) {
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
  std::string old;
  if (targetName.size() > kMaxTargetLength) {
    SysSetLastError(SYS_ERROR_FILENAME_EXCED_RANGE);
    return false;
  }
  if (!Narrow(targetName, old) || !MayTakePlace(fresh, old, flags)) return false;
  const std::string aside = SysTemporaryPath(old, kAsideSuffix);
  // Putting a file in its own place would end with it deleted, and so would
  // a new file that sits under the aside name, which is cleared first.
  if (SysSameFile(fresh.c_str(), old.c_str()) || SysSameFile(fresh.c_str(), aside.c_str())) return false;
  // One replace of a target at a time, as for rewrites: another one would
  // take this one's aside file, still to become the backup, for a leftover.
  ReplaceClaims claims;
  if (claim && !(claims.Take(old) && claims.Take(fresh))) return false;
  if (flags & RENAME_SAFE_EXCHANGE) {
    int swapped = SysExchangeFiles(fresh.c_str(), old.c_str());
    if (swapped == SYS_OK) return true;
    if (swapped == SYS_ERROR_NOT_SUPPORTED || swapped == SYS_ERROR_NOT_FOUND) {
      // The old file waits for the new file's name under that name's aside
      // name: should the process die before it gets there, it is an aside
      // file without its target, which later calls keep. So a missing new
      // file (nothing to exchange) leaves that name alone.
      const std::string freshAside = SysTemporaryPath(fresh, kAsideSuffix);
      if (PathTypeOf(fresh) == 0 || SysSameFile(old.c_str(), freshAside.c_str())) return false;
      return ExchangeInSteps(fresh, old, freshAside, flags);
    }
    Discard(fresh, flags);
    return false;
  }
  const Str<Ch> asideName = Widen<Ch>(aside);
  const int backups = count < 1 ? 1 : count;
  // Old content that a killed call left under the aside name first becomes
  // the backup it was to become, older than this call's; should that fail,
  // it stays and so does the target. Without a pattern it stays too, and the
  // one rename replaces the target with no aside name: there is no backup
  // to make of the old target.
  if (HoldsOldContent(old, aside)) {
    if (pattern == nullptr) {
      if (Move(fresh, old, true)) return true;
      Discard(fresh, flags);
      return false;
    }
    if (!BackUp(asideName.c_str(), pattern, 0, backups, targetName.c_str())) {
      Discard(fresh, flags);
      return false;
    }
  }
  bool hadOld = false;
  if (!ReplaceKeepingAside(fresh, old, aside, flags, hadOld)) return false;
  if (!hadOld) return true;
  if (pattern == nullptr) {
    DeleteFileForced(aside.c_str());
    return true;
  }
  // The new file is in place whatever becomes of the backup; an old target
  // that could not become one stays beside it under the aside name.
  BackUp(asideName.c_str(), pattern, 0, backups, targetName.c_str());
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

// The whole file is written anew to the ".cf.tmp" file, with the old file's
// owner and mode. A leftover of that name (a killed rewrite's) is replaced;
// the new one is made exclusively, so a link planted under the name is never
// followed.
bool WriteRewrite(const std::string& path, const std::string& temporary, int64_t offset, int64_t oldLength,
                  const void* data, int64_t newLength) {
  int in = FdOpen(path.c_str(), FD_OPEN_READ | FD_OPEN_BINARY | FD_OPEN_REGULAR_ONLY);
  if (in < 0) return false;
  SysDeleteFile(temporary.c_str());
  int out = FdOpen(temporary.c_str(), FD_OPEN_WRITE | FD_OPEN_CREATE | FD_OPEN_EXCLUSIVE | FD_OPEN_BINARY);
  if (out < 0) {
    FdClose(in);
    return false;
  }
  bool ok = CopyBlocks(in, out, offset, 0) && FdSeek(in, offset + oldLength, FD_SEEK_SET) == offset + oldLength &&
            WriteAll(out, data, newLength) && CopyBlocks(in, out, -1, offset + newLength);
  FdClose(in);
  if (FdClose(out) != 0) ok = false;
  if (ok) ok = SysCopyOwnerAndMode(path.c_str(), temporary.c_str());
  if (!ok) SysDeleteFile(temporary.c_str());
  return ok;
}

template <class Ch>
bool RewriteClaimed(const Str<Ch>& file, const std::string& narrow, int64_t offset, int64_t oldLength,
                    const void* data, int64_t newLength, const Ch* pattern, int count, ReplaceClaims& claims) {
  int64_t size = -1;
  GetFileSize64ByName(narrow.c_str(), &size);
  if (size < 0 || offset > size) return false;
  if (oldLength > size - offset) oldLength = size - offset;
  // A read-only file refuses the writer; the host would let a privileged
  // process replace it all the same.
  DWORD attributes = SysGetFileAttributes(narrow.c_str());
  if (attributes == SYS_ATTR_INVALID) return false;
  if (attributes & SYS_ATTR_READONLY) {
    SysSetLastError(SYS_ERROR_ACCESS);
    return false;
  }
  const std::string temporaryNarrow = SysTemporaryPath(narrow, kRewriteSuffix);
  if (!WriteRewrite(narrow, temporaryNarrow, offset, oldLength, data, newLength)) return false;
  const Str<Ch> temporary = Widen<Ch>(temporaryNarrow);
  // The claim on the old file ends with its name: the new file is claimed
  // before it takes the name, so no second rewrite starts while this one
  // still clears or backs up the old file under the shared aside name.
  claims.Take(temporaryNarrow);
  return RenameSafe(temporary.c_str(), file.c_str(), RENAME_SAFE_DELETE_ON_FAILURE, pattern, count, false);
}

template <class Ch>
bool WriteSafe(const Ch* path, int64_t offset, int64_t oldLength, const void* data, int64_t newLength,
               const Ch* pattern, int count) {
  std::string narrow;
  if (path == nullptr || offset < 0 || oldLength < 0 || newLength < 0 || (newLength > 0 && data == nullptr) ||
      !Narrow(path, narrow))
    return false;
  // Through a symbolic link the file it names is rewritten, beside itself,
  // and the link stays.
  Str<Ch> file(path);
  std::string named;
  if (SysResolveLink(narrow.c_str(), named) && !named.empty()) {
    narrow = named;
    file = Widen<Ch>(named);
  }
  // Only a regular file is rewritten (a link to nothing, a folder, a pipe or
  // a device is refused with its own last error), before anything is opened.
  if (SysFileKind(narrow.c_str()) != SYS_KIND_FILE) return false;
  // One rewrite of a file at a time: a second one would take the first one's
  // finished ".cf.tmp" for a leftover, and each would report the other's
  // outcome. The claim is kept until the new file is in place.
  ReplaceClaims claims;
  if (!claims.Take(narrow)) return false;
  return RewriteClaimed(file, narrow, offset, oldLength, data, newLength, pattern, count, claims);
}

}  // namespace

bool RenameFileSafe(const char* newFile, const char* target, int flags, const char* pattern, int count) {
  return RenameSafe(newFile, target, flags, pattern, count, true);
}
bool RenameFileSafeW(const wchar16* newFile, const wchar16* target, int flags, const wchar16* pattern, int count) {
  return RenameSafe(newFile, target, flags, pattern, count, true);
}

bool WriteFileSafe(const char* path, int64_t offset, int64_t oldLength, const void* data, int64_t newLength,
                   const char* pattern, int count) {
  return WriteSafe(path, offset, oldLength, data, newLength, pattern, count);
}
bool WriteFileSafeW(const wchar16* path, int64_t offset, int64_t oldLength, const void* data, int64_t newLength,
                    const wchar16* pattern, int count) {
  return WriteSafe(path, offset, oldLength, data, newLength, pattern, count);
}
