// Directory-tree scans and copies over the single-file engine.
#include "files/copytree.h"

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "files/fileops.h"
#include "files/fileops_text.h"
#include "files/path.h"
#include "files/path_host.h"
#include "platform/dirhandle.h"
#include "platform/fsops.h"
#include "platform/pathsys.h"
#include "toolkit/wildcard.h"

using namespace fileops_detail;
using files_detail::IsSep;

namespace {

// The engine's own bits that a tree hands on to each file.
constexpr DWORD kEngineBits = 0x1FFF & ~TREE_CLEAR_TARGET;

int MatchList(const std::string& name, const char* list) {
  return MatchFilePatternList(name.c_str(), int(name.size()), list, MATCH_NOCASE, ';');
}
int MatchList(const std::u16string& name, const wchar16* list) {
  return MatchFilePatternListW(name.c_str(), int(name.size()), list, MATCH_NOCASE, ';');
}

// The TREE_ERROR_* code of a folder that could not be opened or listed.
int ListError(int error) {
  return error == SYS_ERROR_NOT_FOUND || error == SYS_ERROR_PATH_NOT_FOUND ? TREE_ERROR_NOT_FOUND : TREE_ERROR_LIST;
}

// The entries of an open folder in name order (names in UTF-8); false with
// a TREE_ERROR_* code.
bool List(const SysDirectory& folder, std::vector<SysDirEntry>& out, int* code) {
  int error = SYS_OK;
  if (!folder.List(out, &error)) {
    *code = ListError(error);
    return false;
  }
  std::sort(out.begin(), out.end(), [](const SysDirEntry& a, const SysDirEntry& b) { return a.name < b.name; });
  return true;
}

// The path by which the engine reaches the entry `name` of the open folder
// dir: through the open folder itself where the host allows it, so that no
// file is read, written or moved through a folder swapped for a link since
// the walk entered it; else the caller's spelling (empty when it has none).
template <class Ch>
std::string Reach(const SysDirectory& dir, const std::string& name, const Str<Ch>& spelt) {
  std::string path = dir.PathOf(name);
  if (path.empty() && !Narrow(spelt, path)) path.clear();
  return path;
}

std::string HostFullPath(const std::string& path) {
  std::string full(4096, '\0'), host;
  full.resize(size_t(SysGetFullPathName(path.c_str(), &full[0], int(full.size()))));
  SysHostPath(full.c_str(), host);
  while (host.size() > 1 && host.back() == '/') host.pop_back();
  return host;
}

template <class Ch>
Str<Ch> Join(const Str<Ch>& folder, const Str<Ch>& name) {
  Str<Ch> out = folder;
  if (!out.empty() && !IsSep(out.back())) out += SeparatorFor(folder);
  return out + name;
}

template <class Ch>
class TreeWalk {
 public:
  TreeWalk(DWORD flags, CopyTreeOptionsT<Ch>* options) : flags_(flags), options_(options ? options : &none_) {}

  // Calls back with the event; 0 without a callback or in a quiet scan.
  int Tell(int event, const Str<Ch>& path, int64_t size = 0, int error = 0) {
    if (options_->callback == nullptr || (flags_ & TREE_SCAN_QUIET)) return 0;
    options_->path = path.c_str();
    options_->pathLength = int(path.size());
    options_->fileSize = size;
    options_->error = error;
    int answer = options_->callback(event, options_);
    options_->path = nullptr;
    options_->pathLength = 0;
    if (answer < 0 && event != TREE_EVENT_END) stopped_ = true;
    return answer;
  }

  bool Cancelled() {
    if (options_->cancel != nullptr && std::atomic_ref<BYTE>(*const_cast<BYTE*>(options_->cancel)).load() != 0)
      cancelled_ = true;
    return cancelled_;
  }

  bool Passes(const Str<Ch>& name) const {
    if (options_->include != nullptr && *options_->include != 0 && MatchList(name, options_->include) <= 0)
      return false;
    return options_->exclude == nullptr || *options_->exclude == 0 || MatchList(name, options_->exclude) <= 0;
  }

  // Records a failure: reported, kept when it is the first, and the end of
  // the walk with TREE_STOP_ON_ERROR or when it is a folder's.
  void Fail(const Str<Ch>& path, int code, bool fatal) {
    if (failure_ == 0) failure_ = code;
    Tell(TREE_EVENT_ERROR, path, 0, code);
    if (fatal || (flags_ & TREE_STOP_ON_ERROR)) stopped_ = true;
  }

  bool Done() { return stopped_ || Cancelled(); }

  // Visits the entries of the open folder dir (spelt `folder`) in name
  // order with their names (as given and in UTF-8) and paths, until the
  // walk is done; a listing failure is reported.
  template <class Visit>
  void ForEachEntry(const Str<Ch>& folder, const SysDirectory& dir, Visit visit) {
    std::vector<SysDirEntry> entries;
    int code = 0;
    if (!List(dir, entries, &code)) {
      Fail(folder, code, false);
      return;
    }
    for (const SysDirEntry& entry : entries) {
      if (Done()) return;
      Str<Ch> name = Widen<Ch>(entry.name);
      visit(entry.isDirectory, name, entry.name, Join(folder, name));
    }
  }

  // Opens the subfolder `name` of dir, never through a link: a folder
  // swapped for one since the listing is not entered but reported.
  SysDirectory Enter(const SysDirectory& dir, const std::string& name, const Str<Ch>& path) {
    int error = SYS_OK;
    SysDirectory child = dir.OpenChild(name.c_str(), &error);
    if (!child.IsOpen()) Fail(path, ListError(error), false);
    return child;
  }

  // The scan: files that pass are counted (with their bytes).
  void Scan(const Str<Ch>& folder, const SysDirectory& dir) {
    ForEachEntry(folder, dir, [&](bool isDirectory, const Str<Ch>& name, const std::string& raw, const Str<Ch>& path) {
      if (!isDirectory) {
        CountFile(path, name, Reach(dir, raw, path));
      } else if ((flags_ & TREE_SUBDIRECTORIES) && Tell(TREE_EVENT_DIRECTORY, path) == 0 && !stopped_) {
        SysDirectory child = Enter(dir, raw, path);
        if (child.IsOpen()) Scan(path, child);
      }
    });
  }

  void CountFile(const Str<Ch>& path, const Str<Ch>& name, const std::string& reach) {
    if (!Passes(name)) return;
    int64_t size = SizeOf(reach);
    if (Tell(TREE_EVENT_FILE_FOUND, path, size) != 0) return;
    ++count_;
    options_->totalSize += size;
  }

  // The copy of the content of the open folder dir (spelt `folder`) into
  // the open folder into (spelt `target`). A subfolder of the target that
  // is a link or a file is not written through: a failure, as a folder that
  // cannot be made.
  void Copy(const Str<Ch>& folder, const SysDirectory& dir, const Str<Ch>& target, const SysDirectory& into) {
    ForEachEntry(folder, dir, [&](bool isDirectory, const Str<Ch>& name, const std::string& raw, const Str<Ch>& from) {
      Str<Ch> to = Join(target, name);
      if (!isDirectory) {
        CopyFile(from, name, Reach(dir, raw, from), Reach(into, raw, to));
        return;
      }
      if (!(flags_ & TREE_SUBDIRECTORIES) || IsTargetRoot(from, Reach(dir, raw, from))) return;
      SysDirectory child = Enter(dir, raw, from);
      if (!child.IsOpen()) return;
      int error = SYS_OK;
      SysDirectory made = into.OpenChild(raw.c_str(), &error);
      if (!made.IsOpen() && error == SYS_ERROR_NOT_FOUND && SysCreateDirectory(Reach(into, raw, to).c_str()) == SYS_OK)
        made = into.OpenChild(raw.c_str(), &error);
      if (!made.IsOpen()) {
        Fail(to, TREE_ERROR_CREATE_DIRECTORY, true);
        return;
      }
      Copy(from, child, to, made);
    });
  }

  // Copies one file, reached by a and b, through the engine.
  void CopyFile(const Str<Ch>& from, const Str<Ch>& name, const std::string& a, const std::string& b) {
    if (!Passes(name)) return;
    if (Tell(TREE_EVENT_BEFORE_COPY, from, SizeOf(a)) != 0 || stopped_) return;
    if (a.empty() || b.empty()) {
      Fail(from, COPY_SOURCE_UNREADABLE, false);
      return;
    }
    // Only a file is up to date: a pipe or device on either side goes to the
    // engine, which refuses it, so that it is reported instead of passed over.
    if ((flags_ & TREE_ONLY_NEWER) && SysFileKind(a.c_str()) == SYS_KIND_FILE &&
        SysFileKind(b.c_str()) == SYS_KIND_FILE &&
        CompareFileTimeValues(a.c_str(), b.c_str(), FILE_TIME_LAST_WRITE, FILE_TIME_COMPARE_SECONDS) <= 0)
      return;
    DWORD engine = (flags_ & kEngineBits) | COPY_KEEP_COUNTER;
    int result = CopyFileEngine(engine, a.c_str(), b.c_str(), options_->counter, nullptr, options_->cancel);
    if (result == COPY_CANCELLED) cancelled_ = true;
    else if (result != COPY_OK) Fail(from, result, false);
  }

  // A target inside the source is not copied into itself.
  bool IsTargetRoot(const Str<Ch>& path, const std::string& reach) const {
    std::string narrow;
    return (Narrow(path, narrow) && HostFullPath(narrow) == targetRoot_) ||
           (!reach.empty() && SysSameFile(reach.c_str(), targetRoot_.c_str()));
  }

  static int64_t SizeOf(const std::string& path) {
    int64_t size = 0;
    if (!path.empty()) GetFileSize64ByName(path.c_str(), &size);
    return size < 0 ? 0 : size;
  }

  void ResetCounter() {
    if (options_->counter == nullptr || (flags_ & COPY_KEEP_COUNTER)) return;
    if (flags_ & COPY_COUNTER_64) std::atomic_ref<uint64_t>(*static_cast<uint64_t*>(options_->counter)).store(0);
    else std::atomic_ref<uint32_t>(*static_cast<uint32_t*>(options_->counter)).store(0);
  }

  // The walk's result: 0 when cancelled, the first failure, or the count.
  int Result() {
    Tell(TREE_EVENT_END, Str<Ch>());
    if (cancelled_) return 0;
    if (failure_ != 0) return failure_;
    return count_ > 0x7FFFFFFF ? 0x7FFFFFFF : int(count_);
  }

  DWORD flags_;
  std::string targetRoot_;  // the target's full host path
  CopyTreeOptionsT<Ch> none_;
  CopyTreeOptionsT<Ch>* options_;
  int64_t count_ = 0;
  int failure_ = 0;
  bool stopped_ = false;
  bool cancelled_ = false;
};

// A start as the walk takes it: "." and ".." read off the spelling, so that
// "link/.." is the folder holding the link, and no trailing separators.
// Empty when it has no full path.
template <class Ch>
Str<Ch> StartOf(const Ch* path) {
  Str<Ch> out(path);
  std::string narrow, lexical;
  if (Narrow(out, narrow) && (lexical = files_detail::LexicalPath(narrow.c_str())) != narrow) out = Widen<Ch>(lexical);
  while (out.size() > 1 && IsSep(out.back())) out.pop_back();
  return out;
}

template <class Ch>
int ScanTree(DWORD flags, const Ch* directory, CopyTreeOptionsT<Ch>* options) {
  TreeWalk<Ch> walk(flags, options);
  walk.options_->totalSize = 0;
  if (directory == nullptr || *directory == 0) return TREE_ERROR_NOT_FOUND;
  Str<Ch> start = StartOf(directory);
  int type = PathTypeOf(start);
  if (type == PATH_NONE) return TREE_ERROR_NOT_FOUND;
  if (type == PATH_FILE) {
    if (!(flags & TREE_SUBDIRECTORIES)) return TREE_ERROR_START_IS_FILE;
    std::string narrow;
    if (!Narrow(start, narrow)) narrow.clear();
    walk.CountFile(start, start.substr(NameOffset(start)), narrow);
  } else {
    // The start may be named through a link; the walk below it follows none.
    int error = SYS_ERROR_NOT_FOUND;
    std::string narrow;
    SysDirectory dir = Narrow(start, narrow) ? SysDirectory::Open(narrow.c_str(), &error, true) : SysDirectory();
    if (dir.IsOpen()) walk.Scan(start, dir);
    else walk.Fail(start, ListError(error), false);
  }
  return walk.Result();
}

// Whether the folder target is the folder source or one of its ancestors.
template <class Ch>
bool HoldsSource(const std::string& target, const Str<Ch>& source) {
  std::string narrow;
  if (!Narrow(source, narrow)) return true;
  if (SysSameFile(narrow.c_str(), target.c_str())) return true;
  std::string inside = HostFullPath(narrow), outside = HostFullPath(target);
  if (outside.empty() || inside == outside) return true;
  if (outside.back() != '/') outside += '/';
  return inside.compare(0, outside.size(), outside) == 0;
}

template <class Ch>
int CopyTree(DWORD flags, const Ch* source, const Ch* target, CopyTreeOptionsT<Ch>* options) {
  if (source == nullptr || *source == 0) return TREE_ERROR_NOT_FOUND;
  if (target == nullptr || *target == 0) return TREE_ERROR_CREATE_DIRECTORY;
  Str<Ch> from = StartOf(source), to = StartOf(target);
  if (to.empty()) return TREE_ERROR_CREATE_DIRECTORY;  // no full path: never a folder of the current one
  int type = PathTypeOf(from);
  if (type == PATH_NONE) return TREE_ERROR_NOT_FOUND;
  if (type == PATH_FILE) return TREE_ERROR_START_IS_FILE;
  // The quiet first pass: nothing to copy ends here with its result.
  int found = ScanTree(flags | TREE_SCAN_QUIET, from.c_str(), options);
  if (found <= 0) return found;

  TreeWalk<Ch> walk(flags & ~TREE_SCAN_QUIET, options);
  walk.count_ = found;
  walk.ResetCounter();
  if (flags & TREE_INTO_NAMED) to = Join(to, from.substr(NameOffset(from)));
  std::string narrow;
  if (!Narrow(to, narrow)) return TREE_ERROR_CREATE_DIRECTORY;
  int targetType = GetPathType(narrow.c_str());
  if (targetType == PATH_NONE) {
    bool made = (flags & TREE_CREATE_TARGET) ? CreateDirectoryPath(narrow.c_str(), 0) > 0
                : (flags & TREE_INTO_NAMED) ? SysCreateDirectory(narrow.c_str()) == SYS_OK
                                            : false;
    if (!made) {
      walk.Fail(to, TREE_ERROR_CREATE_DIRECTORY, true);
      return walk.Result();
    }
  } else if (targetType == PATH_FILE) {
    walk.Fail(to, TREE_ERROR_CREATE_DIRECTORY, true);
    return walk.Result();
  } else if (flags & TREE_CLEAR_TARGET) {
    // Emptying a target that is the source or holds it would destroy what is to be copied.
    if (HoldsSource(narrow, from)) {
      walk.Fail(to, TREE_ERROR_CLEAR_TARGET, true);
      return walk.Result();
    }
    if (!DeleteDirectoryTree(narrow.c_str(), DELETE_TREE_KEEP_TOP) && (flags & TREE_STOP_ON_ERROR)) {
      walk.Fail(to, TREE_ERROR_CLEAR_TARGET, true);
      return walk.Result();
    }
  }
  walk.targetRoot_ = HostFullPath(narrow);
  int error = SYS_ERROR_NOT_FOUND;
  SysDirectory into = SysDirectory::Open(narrow.c_str(), &error, true);
  if (!into.IsOpen()) {
    walk.Fail(to, TREE_ERROR_CREATE_DIRECTORY, true);
    return walk.Result();
  }
  std::string fromNarrow;
  SysDirectory dir = Narrow(from, fromNarrow) ? SysDirectory::Open(fromNarrow.c_str(), &error, true) : SysDirectory();
  if (!dir.IsOpen()) {
    walk.Fail(from, ListError(error), false);
    return walk.Result();
  }
  walk.Copy(from, dir, to, into);
  return walk.Result();
}

}  // namespace

int CopyDirectoryTree(DWORD flags, const char* source, const char* target, CopyTreeOptions* options) {
  return CopyTree(flags, source, target, options);
}
int CopyDirectoryTreeW(DWORD flags, const wchar16* source, const wchar16* target, CopyTreeOptionsW* options) {
  return CopyTree(flags, source, target, options);
}

int FileTreeScan(DWORD flags, const char* directory, CopyTreeOptions* options) {
  return ScanTree(flags, directory, options);
}
int FileTreeScanW(DWORD flags, const wchar16* directory, CopyTreeOptionsW* options) {
  return ScanTree(flags, directory, options);
}
