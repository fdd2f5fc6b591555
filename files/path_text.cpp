// The path functions that work on the text alone.
#include "files/path.h"
#include "files/path_impl.h"

using namespace files_detail;

namespace {

template <class Ch>
const Ch* FindExtension(int length, const Ch* path, int* extLength) {
  int n = Measure(path, length);
  int dot = ExtensionDot(path, n, false);
  if (extLength) *extLength = dot < 0 ? 0 : n - dot - 1;
  return dot < 0 ? path + n : path + dot + 1;
}

template <class Ch>
const Ch* FindFileName(int length, const Ch* path, int* nameLength) {
  int n = Measure(path, length);
  int at = FileNameOffset(path, n);
  if (nameLength) *nameLength = n - at;
  return path + at;
}

template <class Ch>
bool TrailingSeparator(const Ch* path, int length) {
  int n = Measure(path, length);
  return n > 0 && IsSep(path[n - 1]);
}

template <class Ch>
int CopyExtension(Ch* output, int length, const Ch* path, int size) {
  int len = 0;
  const Ch* ext = FindExtension(length, path, &len);
  return CopyOrEmpty(output, ext, len, size);
}

template <class Ch>
int CopyFileName(Ch* output, int length, const Ch* path, int size) {
  int len = 0;
  const Ch* name = FindFileName(length, path, &len);
  return CopyOrEmpty(output, name, len, size);
}

// The file name in front of its extension: [start, end) of path.
template <class Ch>
int BaseNameRange(int length, const Ch* path, int* start) {
  int n = Measure(path, length);
  *start = FileNameOffset(path, n);
  // A dot before a ':' lies outside the file name: no extension of its own.
  int dot = ExtensionDot(path, n, false);
  return (dot < *start ? n : dot) - *start;
}

template <class Ch>
int CopyBaseName(Ch* output, int length, const Ch* path, int size) {
  int start = 0;
  int len = BaseNameRange(length, path, &start);
  return CopyOrEmpty(output, path + start, len, size);
}

template <class Ch>
Ch* AllocCopy(const Ch* text, int n, int* outLength) {
  Ch* r = new Ch[size_t(n) + 1];
  if (n > 0) std::memcpy(r, text, sizeof(Ch) * size_t(n));
  r[n] = 0;
  if (outLength) *outLength = n;
  return r;
}

template <class Ch>
Ch* AllocBaseName(int length, const Ch* path, int* outLength) {
  int start = 0;
  int len = BaseNameRange(length, path, &start);
  return AllocCopy(path + start, len, outLength);
}

template <class Ch>
int CopyDirectory(Ch* output, int length, const Ch* path, int size) {
  int n = Measure(path, length);
  return CopyOrEmpty(output, path, FileNameOffset(path, n), size);
}

template <class Ch>
Ch* AllocDirectory(int length, const Ch* path, int* outLength) {
  int n = Measure(path, length);
  return AllocCopy(path, FileNameOffset(path, n), outLength);
}

template <class Ch>
int NameOffset(const Ch* path) {
  return path ? FileNameOffset(path, Measure(path, -1)) : 0;
}

}  // namespace

int GetPathRootLength(const char* path) { return RootLength(path); }
int GetPathRootLengthW(const wchar16* path) { return RootLength(path); }
int GetPathComponentsEnd(const char* path, int n) { return ComponentsEnd(path, n); }
int GetPathComponentsEndW(const wchar16* path, int n) { return ComponentsEnd(path, n); }
const char* FindPathExtension(int length, const char* path, int* extLength) {
  return FindExtension(length, path, extLength);
}
const wchar16* FindPathExtensionW(int length, const wchar16* path, int* extLength) {
  return FindExtension(length, path, extLength);
}
const char* FindPathFileName(int length, const char* path, int* nameLength) {
  return FindFileName(length, path, nameLength);
}
const wchar16* FindPathFileNameW(int length, const wchar16* path, int* nameLength) {
  return FindFileName(length, path, nameLength);
}
int FindPathFileNameOffset(const char* path) { return NameOffset(path); }
int FindPathFileNameOffsetW(const wchar16* path) { return NameOffset(path); }
bool HasTrailingSeparator(const char* path, int length) { return TrailingSeparator(path, length); }
bool HasTrailingSeparatorW(const wchar16* path, int length) { return TrailingSeparator(path, length); }
int MatchExtensionList(const char* path, const char* list, int length) {
  return MatchExtensions(path, list, length);
}
int MatchExtensionListW(const wchar16* path, const wchar16* list, int length) {
  return MatchExtensions(path, list, length);
}

int GetPathExtension(char* output, int length, const char* path, int size) {
  return CopyExtension(output, length, path, size);
}
int GetPathExtensionW(wchar16* output, int length, const wchar16* path, int size) {
  return CopyExtension(output, length, path, size);
}
int GetPathFileName(char* output, int length, const char* path, int size) {
  return CopyFileName(output, length, path, size);
}
int GetPathFileNameW(wchar16* output, int length, const wchar16* path, int size) {
  return CopyFileName(output, length, path, size);
}
int GetPathBaseName(char* output, int length, const char* path, int size) {
  return CopyBaseName(output, length, path, size);
}
int GetPathBaseNameW(wchar16* output, int length, const wchar16* path, int size) {
  return CopyBaseName(output, length, path, size);
}
char* GetPathBaseNameAlloc(int length, const char* path, int* outLength) {
  return AllocBaseName(length, path, outLength);
}
wchar16* GetPathBaseNameAllocW(int length, const wchar16* path, int* outLength) {
  return AllocBaseName(length, path, outLength);
}
int GetPathDirectory(char* output, int length, const char* path, int size) {
  return CopyDirectory(output, length, path, size);
}
int GetPathDirectoryW(wchar16* output, int length, const wchar16* path, int size) {
  return CopyDirectory(output, length, path, size);
}
char* GetPathDirectoryAlloc(int length, const char* path, int* outLength) {
  return AllocDirectory(length, path, outLength);
}
wchar16* GetPathDirectoryAllocW(int length, const wchar16* path, int* outLength) {
  return AllocDirectory(length, path, outLength);
}

int SetPathExtension(int length, char* output, const char* input, const char* ext, int size) {
  return SetExtension(length, output, input, ext, size);
}
int SetPathExtensionW(int length, wchar16* output, const wchar16* input, const wchar16* ext, int size) {
  return SetExtension(length, output, input, ext, size);
}
int InsertPathExtension(int length, char* output, const char* input, const char* ext, int size) {
  return InsertExtension(length, output, input, ext, size);
}
int InsertPathExtensionW(int length, wchar16* output, const wchar16* input, const wchar16* ext, int size) {
  return InsertExtension(length, output, input, ext, size);
}
int SetPathFileName(int length, char* output, const char* input, const char* name, int size, int nameLength) {
  return SetFileName(length, output, input, name, size, nameLength);
}
int SetPathFileNameW(int length, wchar16* output, const wchar16* input, const wchar16* name, int size,
                     int nameLength) {
  return SetFileName(length, output, input, name, size, nameLength);
}
int SetPathBaseName(int length, char* output, const char* input, const char* name, int size, int nameLength) {
  return SetBaseName(length, output, input, name, size, nameLength);
}
int SetPathBaseNameW(int length, wchar16* output, const wchar16* input, const wchar16* name, int size,
                     int nameLength) {
  return SetBaseName(length, output, input, name, size, nameLength);
}
int SetPathDirectory(int length, char* output, const char* input, const char* dir, int size, int dirLength) {
  return SetDirectory(length, output, input, dir, size, dirLength);
}
int SetPathDirectoryW(int length, wchar16* output, const wchar16* input, const wchar16* dir, int size,
                      int dirLength) {
  return SetDirectory(length, output, input, dir, size, dirLength);
}
int AppendPathComponent(int length, char* output, const char* path, const char* component, int size) {
  return AppendComponent(length, output, path, component, size);
}
int AppendPathComponentW(int length, wchar16* output, const wchar16* path, const wchar16* component, int size) {
  return AppendComponent(length, output, path, component, size);
}
int AddTrailingSeparator(char* path, int length) { return AddTrailing('\\', path, length); }
int AddTrailingSeparatorW(wchar16* path, int length) { return AddTrailing(u'\\', path, length); }
int AddTrailingChar(int character, char* path, int length) { return AddTrailing(char(character), path, length); }
int AddTrailingCharW(int character, wchar16* path, int length) {
  return AddTrailing(wchar16(character), path, length);
}
int RemoveTrailingSeparator(char* path, int length) { return RemoveTrailing(path, length); }
int RemoveTrailingSeparatorW(wchar16* path, int length) { return RemoveTrailing(path, length); }
int CutToDirectory(int length, char* path) { return CutDirectory(length, path); }
int CutToDirectoryW(int length, wchar16* path) { return CutDirectory(length, path); }
int ConvertSeparators(char* path, int separator) { return ConvertInPlace(path, separator); }
int ConvertSeparatorsW(wchar16* path, int separator) { return ConvertInPlace(path, separator); }
int CopyConvertSeparators(char* output, const char* input, int size, int separator) {
  return CopyConvert(output, input, size, separator);
}
int CopyConvertSeparatorsW(wchar16* output, const wchar16* input, int size, int separator) {
  return CopyConvert(output, input, size, separator);
}
