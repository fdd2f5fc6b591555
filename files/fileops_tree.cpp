// Path kinds and deleting directory trees.
#include <string>
#include <vector>

#include "files/fileops.h"
#include "files/path.h"
#include "files/path_host.h"
#include "platform/dirhandle.h"
#include "platform/fsops.h"
#include "platform/pathconv.h"
#include "platform/pathsys.h"
#include "platform/sysinfo.h"
#include "toolkit/wildcard.h"

namespace {

template <typename Char>
bool IsSeparator(Char c) {
  return c == Char('\\') || c == Char('/');
}

template <typename Char>
int PathKind(const Char* path) {
  if (path == nullptr || path[0] == 0) return PATH_KIND_RELATIVE;
  if (IsSeparator(path[0])) return IsSeparator(path[1]) ? PATH_KIND_SERVER : PATH_KIND_ROOTED;
  if (path[1] != Char(':')) return PATH_KIND_RELATIVE;
  unsigned letter = unsigned(path[0]) | 0x20u;
  if (letter - 'a' >= 26u) return PATH_KIND_RELATIVE;
  return IsSeparator(path[2]) ? PATH_KIND_DRIVE_ABSOLUTE : PATH_KIND_DRIVE_RELATIVE;
}

// The start of a walk: its dots read off the spelling, and without trailing
// separators, which would make the host follow a link in the last place (a
// drive's root and "/" stay whole). Empty when it has no full path.
std::string WalkStart(const char* path) {
  std::string out = files_detail::LexicalPath(path);
  while (out.size() > 1 && IsSeparator(out.back()) && !(out.size() == 3 && out[1] == ':')) out.pop_back();
  return out;
}

// Which files of a tree go: every one, or with an age limit those older
// than maxAge ticks (at now) whose names match patterns.
struct FileChoice {
  bool all = true;
  uint64_t now = 0, maxAge = 0;
  const char* patterns = nullptr;

  bool Takes(const SysDirectory& dir, const std::string& name) const {
    if (all) return true;
    if (patterns != nullptr &&
        MatchFilePatternList(name.c_str(), int(name.size()), patterns, MATCH_NOCASE, ';') < 0)
      return false;
    uint64_t written = 0;
    return dir.GetLastWriteTime(name.c_str(), &written) && now > written && now - written > maxAge;
  }
};

// The first failure of a walk: its last error is what the walk leaves,
// not that of removing the folders above it, which then cannot be empty.
struct Cause {
  DWORD code = 0;
  bool Note(bool done) {
    if (!done && code == 0) code = SysGetLastError();
    return done;
  }
};

// Deletes the chosen files of the open folder `dir` and below; folders are
// removed too unless keepAll (which fails while files remain). Each step is
// taken relative to an open folder and follows no link, so a folder swapped
// for a link meanwhile loses only the link. A folder that cannot be read is
// a failure; an entry gone meanwhile is not.
bool Sweep(const SysDirectory& dir, bool keepAll, const FileChoice& choice, Cause& cause) {
  std::vector<SysDirEntry> entries;
  int error = SYS_OK;
  if (!cause.Note(dir.List(entries, &error))) return false;
  bool ok = true;
  for (const SysDirEntry& entry : entries) {
    const char* name = entry.name.c_str();
    if (!entry.isDirectory) {
      if (!choice.Takes(dir, entry.name)) continue;
      int code = dir.DeleteFile(name);
      if (code == SYS_OK || code == SYS_ERROR_NOT_FOUND) continue;
      // A file that became a folder since the listing is taken as one.
      if (code != SYS_ERROR_ACCESS) {
        ok = cause.Note(false);
        continue;
      }
    }
    SysDirectory child = dir.OpenChild(name, &error);
    bool done;
    if (child.IsOpen()) {
      done = Sweep(child, keepAll, choice, cause);
      if (!keepAll) done = dir.RemoveDirectory(name) == SYS_OK;
    } else if (error == SYS_ERROR_NOT_A_DIRECTORY) {
      // Swapped for a link or file since the listing: the name alone goes.
      done = !choice.Takes(dir, entry.name) || dir.DeleteFile(name) == SYS_OK;
    } else {
      // Gone meanwhile, or unreadable (or too deep): then removed only when
      // empty, and what kept it from being read is the failure.
      const DWORD why = SysGetLastError();
      done = error == SYS_ERROR_NOT_FOUND || (!keepAll && dir.RemoveDirectory(name) == SYS_OK);
      if (!done) SysSetLastError(why);
    }
    if (!cause.Note(done)) ok = false;
  }
  return ok;
}

// The walk from a start folder with the flags of DeleteDirectoryTree.
bool DeleteTree(const char* path, int flags, const FileChoice& choice) {
  std::string directory = WalkStart(path);
  if (directory.empty()) {
    SysSetLastError(SYS_ERROR_PATH_NOT_FOUND);
    return false;
  }
  int error = SYS_OK;
  SysDirectory top = SysDirectory::Open(directory.c_str(), &error);
  if (!top.IsOpen()) {
    if (error == SYS_ERROR_NOT_FOUND) return flags != 0;
    // A link given as the start: the link itself goes (flags 0), never what it names.
    if (SysIsSymbolicLink(directory.c_str())) return flags == 0 && SysDeleteFile(directory.c_str()) == SYS_OK;
    // A file is no tree; a folder that cannot be read counts as a failure
    // unless flags 0 can remove it.
    return flags == 0 && error != SYS_ERROR_NOT_A_DIRECTORY && SysRemoveDirectory(directory.c_str()) == SYS_OK;
  }
  Cause cause;
  bool ok = Sweep(top, (flags & DELETE_TREE_KEEP_ALL) != 0, choice, cause);
  if (flags == 0) ok = SysRemoveDirectory(directory.c_str()) == SYS_OK;
  if (!ok && cause.code != 0) SysSetLastError(cause.code);
  return ok;
}

}  // namespace

bool DeleteOldFiles(const char* directory, int flags, int64_t age, const char* patterns) {
  if (directory == nullptr || *directory == 0) return false;
  uint64_t maxAge = age <= 0 ? 0
                    : uint64_t(age) > UINT64_MAX / FILETIME_TICKS_PER_SECOND
                        ? UINT64_MAX
                        : uint64_t(age) * FILETIME_TICKS_PER_SECOND;
  if (patterns != nullptr && *patterns == 0) patterns = nullptr;
  return DeleteTree(directory, flags, FileChoice{false, SysGetSystemTimeTicks(), maxAge, patterns});
}

bool DeleteOldFilesW(const wchar16* directory, int flags, int64_t age, const wchar16* patterns) {
  std::string narrowDirectory, narrowPatterns;
  if (directory == nullptr || !PathToUtf8(directory, narrowDirectory)) return false;
  if (patterns != nullptr && !PathToUtf8(patterns, narrowPatterns)) return false;
  return DeleteOldFiles(narrowDirectory.c_str(), flags, age, patterns ? narrowPatterns.c_str() : nullptr);
}

int GetPathKind(const char* path) { return PathKind(path); }
int GetPathKindW(const wchar16* path) { return PathKind(path); }

bool DeleteDirectoryTree(const char* directory, int flags) {
  return directory != nullptr && *directory != 0 && DeleteTree(directory, flags, FileChoice{});
}

bool DeleteDirectoryTreeW(const wchar16* directory, int flags) {
  std::string narrow;
  return directory != nullptr && PathToUtf8(directory, narrow) && DeleteDirectoryTree(narrow.c_str(), flags);
}
