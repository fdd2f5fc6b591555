// Path kinds and deleting directory trees.
#include <string>
#include <vector>

#include "files/fileops.h"
#include "files/path.h"
#include "platform/fsops.h"
#include "platform/pathconv.h"
#include "platform/pathsys.h"
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

std::string Join(const std::string& directory, const std::string& name) {
  std::string out = directory;
  if (!out.empty() && !IsSeparator(out.back())) out += '/';
  return out + name;
}

bool DeleteTree(const std::string& directory, int flags) {
  std::vector<SysDirEntry> entries;
  bool ok = true;
  if (SysListDirectory(directory.c_str(), entries)) {
    for (const SysDirEntry& entry : entries) {
      std::string path = Join(directory, entry.name);
      bool done = entry.isDirectory ? DeleteTree(path, flags & DELETE_TREE_KEEP_ALL)
                                    : DeleteFileForced(path.c_str());
      if (!done) ok = false;
    }
  }
  if (flags != 0) return ok;
  return SysRemoveDirectory(directory.c_str()) == SYS_OK;
}

// Files older than maxAge ticks (at now) whose names match patterns go.
bool DeleteOld(const std::string& directory, int flags, uint64_t now, uint64_t maxAge, const char* patterns) {
  std::vector<SysDirEntry> entries;
  bool ok = true;
  if (SysListDirectory(directory.c_str(), entries)) {
    for (const SysDirEntry& entry : entries) {
      std::string path = Join(directory, entry.name);
      if (entry.isDirectory) {
        if (!DeleteOld(path, flags & DELETE_TREE_KEEP_ALL, now, maxAge, patterns)) ok = false;
        continue;
      }
      if (patterns != nullptr &&
          MatchFilePatternList(entry.name.c_str(), int(entry.name.size()), patterns, MATCH_NOCASE, ';') < 0)
        continue;
      uint64_t written = 0;
      if (!SysGetFileTimes(path.c_str(), &written, nullptr, nullptr)) continue;
      if (now > written && now - written > maxAge && !DeleteFileForced(path.c_str())) ok = false;
    }
  }
  if (flags != 0) return ok;
  return SysRemoveDirectory(directory.c_str()) == SYS_OK;
}

}  // namespace

bool DeleteOldFiles(const char* directory, int flags, int64_t age, const char* patterns) {
  if (directory == nullptr || *directory == 0) return false;
  uint64_t maxAge = age <= 0 ? 0
                    : uint64_t(age) > UINT64_MAX / FILETIME_TICKS_PER_SECOND
                        ? UINT64_MAX
                        : uint64_t(age) * FILETIME_TICKS_PER_SECOND;
  if (patterns != nullptr && *patterns == 0) patterns = nullptr;
  return DeleteOld(directory, flags, SysGetSystemTimeTicks(), maxAge, patterns);
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
  return directory != nullptr && *directory != 0 && DeleteTree(directory, flags);
}

bool DeleteDirectoryTreeW(const wchar16* directory, int flags) {
  std::string narrow;
  return directory != nullptr && PathToUtf8(directory, narrow) && DeleteDirectoryTree(narrow.c_str(), flags);
}
