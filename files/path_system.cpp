// The path functions that ask the file system: types, sizes, directory
// chains, the program's own path, forced deletion.
#include <algorithm>
#include <cstring>
#include <string>

#include "files/path.h"
#include "files/path_host.h"
#include "files/path_impl.h"
#include "platform/pathconv.h"
#include "platform/pathsys.h"
#include "platform/stdio.h"
#include "toolkit/unicode.h"

using namespace files_detail;

namespace {

// Room for full paths; wider than the classic 260 so that deep host paths
// are not refused.
constexpr int kFullPathSize = 4096;

// The drive letter's index when path names one that is a letter and
// present; -1 for no drive letter, -2 for a bad or absent one.
int CheckDrive(const char* path) {
  if (path[0] == 0 || path[1] != ':') return -1;
  unsigned letter = unsigned(FoldCase(path[0])) - 'a';
  if (letter >= 26u || !(SysGetLogicalDrives() & (DWORD(1) << letter))) return -2;
  return int(letter);
}

// A full path that names nothing but its root (and one separator).
bool IsRootOnly(const std::string& full) {
  size_t root = size_t(RootLength(full.c_str()));
  if (root < full.size() && IsSep(full[root])) ++root;
  return root >= full.size();
}

int PathType(const char* path) {
  if (path == nullptr) return PATH_NONE;
  int drive = CheckDrive(path);
  if (drive == -2) return PATH_NONE;
  if (drive >= 0) {
    if (IsSep(path[2]) && path[3] == 0) return PATH_DRIVE_ROOT;
    if (path[2] == 0) return IsRootOnly(FullPathOf(path)) ? PATH_DRIVE_ROOT : PATH_DIRECTORY;
  }
  DWORD attributes = SysGetFileAttributes(path);
  if (attributes == SYS_ATTR_INVALID) return PATH_NONE;
  return (attributes & SYS_ATTR_DIRECTORY) ? PATH_DIRECTORY : PATH_FILE;
}

bool IsDirectory(const std::string& path) {
  DWORD attributes = SysGetFileAttributes(path.c_str());
  return attributes != SYS_ATTR_INVALID && (attributes & SYS_ATTR_DIRECTORY);
}

int CreateChain(const char* path, int dirChars) {
  if (path == nullptr || path[0] == 0 || CheckDrive(path) == -2) return 0;
  int length = int(std::strlen(path));
  if (dirChars == PATH_DIRS_TO_LAST_SEPARATOR) {
    // A bare file name names no directory: nothing is left to create.
    dirChars = FileNameOffset(path, length);
    if (dirChars == 0) return 0;
  }
  // The directories are cut from the text before its full path is formed:
  // a "." or ".." in the cut part would otherwise shift the cut.
  std::string dirs(path, size_t(dirChars > 0 && dirChars < length ? dirChars : length));
  std::string full = FullPathOf(dirs.c_str());
  if (full.empty()) return 0;
  if (IsRootOnly(full)) return 2;
  if (!full.empty() && IsSep(full.back())) full.pop_back();
  if (full.empty()) return 0;
  size_t pos = size_t(RootLength(full.c_str()));
  if (IsSep(full[0]) && IsSep(full[1])) {
    // A server's name is no directory to create: the walk starts at the share.
    if (pos >= full.size()) return 2;
  }
  if (pos < full.size() && IsSep(full[pos])) ++pos;
  if (pos >= full.size()) return 2;
  if (SysGetFileAttributes(full.c_str()) != SYS_ATTR_INVALID) return IsDirectory(full) ? 2 : 0;
  bool creating = false;
  while (pos <= full.size()) {
    size_t end = pos;
    while (end < full.size() && !IsSep(full[end])) ++end;
    if (end == pos) return 0;  // two separators in a row
    std::string prefix = full.substr(0, end);
    if (!creating && SysGetFileAttributes(prefix.c_str()) == SYS_ATTR_INVALID) creating = true;
    if (creating) {
      int error = SysCreateDirectory(prefix.c_str());
      if (error != SYS_OK && error != SYS_ERROR_EXISTS) return 0;
    }
    pos = end + 1;
  }
  return 1;
}

int PathDrive(const char* path) {
  if (path == nullptr) return -1;
  int c;
  if (path[0] != 0 && path[1] == ':') {
    c = static_cast<unsigned char>(path[0]);
  } else {
    std::string full = FullPathOf(path);
    if (full.empty()) return -1;
    c = static_cast<unsigned char>(full[0]);
  }
  if (c >= 'a' && c <= 'z') c -= 32;
  return c >= 'A' && c <= 'Z' ? c : -1;
}

int Size64(const char* path, int64_t* size64) {
  uint64_t size = 0;
  bool directory = false;
  if (path == nullptr || !SysGetFileSize(path, &size, &directory) || directory) {
    if (size64) *size64 = -1;
    return -1;
  }
  if (size64) *size64 = int64_t(size);
  uint32_t low = uint32_t(size);
  return low == 0xFFFFFFFFu ? -2 : int(low);
}

int ProgramPath(std::string& out) {
  out.assign(size_t(kFullPathSize), '\0');
  int n = SysGetModuleFileName(&out[0], kFullPathSize);
  out.resize(size_t(n));
  return n;
}

std::string ProgramDirectory() {
  std::string path;
  ProgramPath(path);
  path.resize(size_t(FileNameOffset(path.c_str(), int(path.size()))));
  return path;
}

template <class Ch>
int Emit(const std::basic_string<Ch>& text, Ch* buffer, int size) {
  return CopyOrEmpty(buffer, text.data(), int(text.size()), size);
}

std::string FullDirectory(const char* path) {
  if (path == nullptr) return std::string();
  std::string full = FullPathOf(path);
  full.resize(size_t(FileNameOffset(full.c_str(), int(full.size()))));
  return full;
}

template <class Ch>
Ch* AllocText(const std::basic_string<Ch>& text, int* outLength) {
  Ch* r = new Ch[text.size() + 1];
  std::memcpy(r, text.c_str(), sizeof(Ch) * (text.size() + 1));
  if (outLength) *outLength = int(text.size());
  return r;
}

bool DeleteForced(const char* path) {
  if (path == nullptr) return false;
  int error = SysDeleteFile(path);
  if (error == SYS_ERROR_ACCESS && SysSetFileAttributesNormal(path)) error = SysDeleteFile(path);
  return error == SYS_OK;
}

}  // namespace

namespace files_detail {

std::string FullPathOf(const char* path) {
  std::string out(kFullPathSize, '\0');
  int n = SysGetFullPathName(path, &out[0], kFullPathSize);
  out.resize(size_t(n));
  return out;
}

std::string LexicalPath(const char* path) {
  bool named = false;
  for (const char* p = path; *p;) {
    while (IsSep(*p)) ++p;
    const char* start = p;
    while (*p && !IsSep(*p)) ++p;
    const size_t length = size_t(p - start);
    const bool dots = (length == 1 || length == 2) && start[0] == '.' && start[length - 1] == '.';
    if (dots && named) return FullPathOf(path);
    if (length > 0 && !dots) named = true;
  }
  return path;
}

bool NarrowPath(const wchar16* path, std::string& out) { return path != nullptr && PathToUtf8(path, out); }

std::u16string WidenUtf8(const std::string& text) {
  std::u16string out;
  const char* p = text.c_str();
  while (*p) {
    DWORD code = 0;
    p += Utf8DecodeChar(p, &code);
    wchar16 units[2];
    out.append(units, size_t(Utf16EncodeChar(units, code)));
  }
  return out;
}

}  // namespace files_detail

int GetPathType(const char* path) { return PathType(path); }
int GetPathTypeW(const wchar16* path) {
  std::string narrow;
  return NarrowPath(path, narrow) ? PathType(narrow.c_str()) : PATH_NONE;
}
int CreateDirectoryPath(const char* path, int dirChars) { return CreateChain(path, dirChars); }
int CreateDirectoryPathW(const wchar16* path, int dirChars) {
  std::string narrow;
  if (!NarrowPath(path, narrow)) return 0;
  // The count is one of wide units; it becomes one of UTF-8 bytes.
  if (dirChars > 0 && dirChars != PATH_DIRS_TO_LAST_SEPARATOR) {
    std::string head;
    std::u16string prefix(path, size_t(std::min(dirChars, Measure(path, -1))));
    if (!PathToUtf8(prefix.c_str(), head)) return 0;
    dirChars = int(head.size());
  }
  return CreateChain(narrow.c_str(), dirChars);
}
int GetPathDrive(const char* path) { return PathDrive(path); }
int GetPathDriveW(const wchar16* path) {
  std::string narrow;
  return NarrowPath(path, narrow) ? PathDrive(narrow.c_str()) : -1;
}

int GetFileSizeByName(const char* path) {
  int64_t size = 0;
  return Size64(path, &size) == -1 ? -1 : int(uint32_t(uint64_t(size)));
}
int GetFileSizeByNameW(const wchar16* path) {
  std::string narrow;
  return NarrowPath(path, narrow) ? GetFileSizeByName(narrow.c_str()) : -1;
}
int GetFileSize64ByName(const char* path, int64_t* size64) { return Size64(path, size64); }
int GetFileSize64ByNameW(const wchar16* path, int64_t* size64) {
  std::string narrow;
  if (NarrowPath(path, narrow)) return Size64(narrow.c_str(), size64);
  if (size64) *size64 = -1;
  return -1;
}
int GetFileSize64(int fd, int64_t* size64) {
  int64_t size = SysGetDescriptorSize(fd);
  if (size64) *size64 = size;
  if (size < 0) return -1;
  uint32_t low = uint32_t(uint64_t(size));
  return low == 0xFFFFFFFFu ? -2 : int(low);
}

int64_t GetOpenFileSize64(FILE* file, DWORD* low, DWORD* high) {
  int64_t size = -1;
  int64_t here = file ? PlatformFileTell(file) : -1;
  if (here >= 0 && PlatformFileSeek(file, 0, kPlatformSeekEnd)) {
    size = PlatformFileTell(file);
    if (!PlatformFileSeek(file, here, kPlatformSeekSet)) size = -1;
  }
  if (low) *low = size < 0 ? 0xFFFFFFFFu : DWORD(uint64_t(size));
  if (high) *high = size < 0 ? 0xFFFFFFFFu : DWORD(uint64_t(size) >> 32);
  return size;
}
int GetOpenFileSize(FILE* file) {
  int64_t size = GetOpenFileSize64(file);
  return size > 0x7FFFFFFF ? -1 : int(size);
}

int GetProgramPath(char* buffer, int size) {
  std::string path;
  ProgramPath(path);
  return Emit(path, buffer, size);
}
int GetProgramPathW(wchar16* buffer, int size) {
  std::string path;
  ProgramPath(path);
  return Emit(WidenUtf8(path), buffer, size);
}
int GetPathBesideProgram(char* buffer, int size) { return Emit(ProgramDirectory(), buffer, size); }
int GetPathBesideProgramW(wchar16* buffer, int size) { return Emit(WidenUtf8(ProgramDirectory()), buffer, size); }
int GetProgramPathString(CString& out) {
  std::string path;
  ProgramPath(path);
  out = CString(path.c_str(), int(path.size()));
  return out.GetLength();
}
int GetProgramDirectoryString(CString& out) {
  std::string dir = ProgramDirectory();
  out = CString(dir.c_str(), int(dir.size()));
  return out.GetLength();
}

int GetFullPathDirectory(char* output, const char* path, int size) { return Emit(FullDirectory(path), output, size); }
int GetFullPathDirectoryW(wchar16* output, const wchar16* path, int size) {
  std::string narrow;
  if (!NarrowPath(path, narrow)) return CopyOrEmpty(output, output, 0, size);
  return Emit(WidenUtf8(FullDirectory(narrow.c_str())), output, size);
}
char* GetFullPathDirectoryAlloc(const char* path, int* outLength) { return AllocText(FullDirectory(path), outLength); }
wchar16* GetFullPathDirectoryAllocW(const wchar16* path, int* outLength) {
  std::string narrow;
  if (!NarrowPath(path, narrow)) narrow.clear();
  return AllocText(WidenUtf8(narrow.empty() ? narrow : FullDirectory(narrow.c_str())), outLength);
}

bool DeleteFileForced(const char* path) { return DeleteForced(path); }
bool DeleteFileForcedW(const wchar16* path) {
  std::string narrow;
  return NarrowPath(path, narrow) && DeleteForced(narrow.c_str());
}
