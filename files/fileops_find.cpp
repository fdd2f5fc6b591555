// Facts of one file by name, and finding a file along the search path.
#include <cstring>
#include <string>

#include "files/fileops.h"
#include "files/fileops_text.h"
#include "platform/findfile.h"
#include "platform/fsops.h"
#include "platform/pathsys.h"

using namespace fileops_detail;

namespace {

template <class Ch>
bool HasWildcard(const Ch* path) {
  for (; *path; ++path)
    if (*path == Ch('*') || *path == Ch('?')) return true;
  return false;
}

int KindOf(const FileAttributeData& data) {
  return (data.dwFileAttributes & SYS_ATTR_DIRECTORY) ? PATH_DIRECTORY : PATH_FILE;
}

template <class Ch>
int AttributeData(const Ch* path, FileAttributeData* data) {
  if (data == nullptr) return 0;
  *data = FileAttributeData{};
  std::string narrow;
  SysFindData facts;
  if (!Narrow(path, narrow) || !SysGetFileAttributesEx(narrow.c_str(), &facts, nullptr)) return 0;
  data->dwFileAttributes = facts.attributes;
  data->ftCreationTime = facts.creation;
  data->ftLastAccessTime = facts.lastAccess;
  data->ftLastWriteTime = facts.lastWrite;
  data->nFileSizeHigh = facts.sizeHigh;
  data->nFileSizeLow = facts.sizeLow;
  return KindOf(*data);
}

template <class Ch>
int FindData(const Ch* path, FindFileDataT<Ch>* data) {
  if (data == nullptr) return 0;
  std::memset(static_cast<void*>(data), 0, sizeof(*data));
  if (path == nullptr || HasWildcard(path)) return 0;
  FileAttributeData facts;
  if (AttributeData(path, &facts) == 0) return 0;
  // The name is the last component; a directory may be named with a
  // trailing separator.
  Str<Ch> text(path);
  while (text.size() > 1 && files_detail::IsSep(text.back())) text.pop_back();
  Str<Ch> name = text.substr(NameOffset(text));
  if (name.size() > size_t(SYS_FIND_NAME_SIZE - 1)) return 0;
  static_cast<FileAttributeData&>(*data) = facts;
  std::memcpy(data->cFileName, name.c_str(), sizeof(Ch) * (name.size() + 1));
  return KindOf(facts);
}

// Whether text[i], the host's list separator ':', is rather the colon of a
// drive letter: second in its entry behind a letter, before a separator.
template <class Ch>
bool IsDriveColon(const Str<Ch>& text, size_t start, size_t i) {
  if (i != start + 1 || i + 1 >= text.size() || !files_detail::IsSep(text[i + 1])) return false;
  unsigned letter = unsigned(text[start]) | 0x20u;
  return letter - 'a' < 26u;
}

// Splits text at ';' and at the host's own list separator; empty entries
// are skipped only when skipEmpty.
template <class Ch, class Visit>
bool ForEachEntry(const Str<Ch>& text, bool hostSeparator, bool skipEmpty, Visit visit) {
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    bool end = i == text.size() || text[i] == Ch(';') ||
               (hostSeparator && text[i] == Ch(SYS_PATH_LIST_SEPARATOR) &&
                !(SYS_PATH_LIST_SEPARATOR == ':' && IsDriveColon(text, start, i)));
    if (!end) continue;
    if ((i > start || !skipEmpty) && visit(text.substr(start, i - start))) return true;
    start = i + 1;
  }
  return false;
}

template <class Ch>
int SearchPath(Ch* output, const Ch* name, int size, const Ch* extensions, int type) {
  if (output != nullptr && size >= 1) output[0] = 0;
  if (output == nullptr || size < 1 || name == nullptr || *name == 0) return 0;
  std::string value;
  if (!SysGetEnvironmentVariable("PATH", value)) return 0;
  Str<Ch> fileName(name);
  bool withExtensions = extensions != nullptr && *extensions != 0 &&
                        files_detail::ExtensionDot(fileName.c_str(), int(fileName.size()), true) < 0;
  int found = 0;
  auto tryCandidate = [&](const Str<Ch>& candidate) {
    if (candidate.size() > size_t(size - 1) || PathTypeOf(candidate) != type) return false;
    std::memcpy(output, candidate.c_str(), sizeof(Ch) * (candidate.size() + 1));
    found = int(candidate.size());
    return true;
  };
  ForEachEntry<Ch>(Widen<Ch>(value), true, true, [&](const Str<Ch>& directory) {
    Str<Ch> stem = directory;
    if (!files_detail::IsSep(stem.back())) stem += SeparatorFor(stem);
    stem += fileName;
    if (!withExtensions) return tryCandidate(stem);
    // An empty entry of the list stands for the name as it is.
    return ForEachEntry<Ch>(Str<Ch>(extensions), false, false, [&](const Str<Ch>& extension) {
      if (extension.empty()) return tryCandidate(stem);
      return tryCandidate(extension[0] == Ch('.') ? stem + extension : stem + Ch('.') + extension);
    });
  });
  return found;
}

}  // namespace

int GetFindData(const char* path, FindFileData* data) { return FindData(path, data); }
int GetFindDataW(const wchar16* path, FindFileDataW* data) { return FindData(path, data); }

int GetAttributeData(const char* path, FileAttributeData* data) { return AttributeData(path, data); }
int GetAttributeDataW(const wchar16* path, FileAttributeData* data) { return AttributeData(path, data); }

int SearchFileInPath(char* output, const char* name, int size, const char* extensions, int type) {
  return SearchPath(output, name, size, extensions, type);
}
int SearchFileInPathW(wchar16* output, const wchar16* name, int size, const wchar16* extensions, int type) {
  return SearchPath(output, name, size, extensions, type);
}
