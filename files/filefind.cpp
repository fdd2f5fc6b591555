#include "files/filefind.h"

#include <cstring>

#include "files/fileops.h"
#include "platform/findfile.h"

namespace {

// The 32 highest handle values are never searches (INVALID_HANDLE_VALUE is
// the highest of them).
bool IsReservedHandle(HANDLE handle) {
  return reinterpret_cast<uintptr_t>(handle) >= ~uintptr_t(0) - 31;
}

uint32_t UnixSeconds(const FILETIME& time) {
  DWORD seconds = 0;
  FileTimeToUnixTime(time, &seconds);
  return seconds;
}

void FillRecord(const SysFindData& data, FileFindInfo* out, bool withName) {
  struct Bit {
    DWORD attribute;
    uint32_t flag;
  };
  static constexpr Bit kBits[] = {
      {SYS_ATTR_HIDDEN, FILEINFO_HIDDEN},
      {SYS_ATTR_SYSTEM, FILEINFO_SYSTEM},
      {SYS_ATTR_ARCHIVE, FILEINFO_ARCHIVE},
      {SYS_ATTR_DIRECTORY, FILEINFO_DIRECTORY},
  };
  uint32_t flags = FILEINFO_EXISTS;
  if (!(data.attributes & SYS_ATTR_READONLY)) flags |= FILEINFO_WRITABLE;
  for (const Bit& bit : kBits)
    if (data.attributes & bit.attribute) flags |= bit.flag;
  out->flags = flags | (data.sizeHigh << FILEINFO_SIZE_HIGH_SHIFT);
  out->size = data.sizeLow;
  out->created = UnixSeconds(data.creation);
  out->accessed = UnixSeconds(data.lastAccess);
  out->modified = UnixSeconds(data.lastWrite);
  if (withName) memcpy(out->name, data.name, sizeof(out->name));
}

}  // namespace

uint32_t GetFullPath(const char* path, char* buffer, int size) {
  if (size < 1) return 0;
  buffer[0] = 0;
  return uint32_t(SysGetFullPathName(path, buffer, size));
}

int GetFileFindInfo(const char* path, FileFindInfo* out) {
  if (out == nullptr) return FILEFIND_NO_RECORD;
  SysFindData data;
  int error = 0;
  if (path != nullptr && SysGetFileAttributesEx(path, &data, &error)) {
    FillRecord(data, out, false);
    return FILEFIND_OK;
  }
  out->size = 0;
  out->name[0] = 0;
  switch (error) {
    case SYS_ERROR_NOT_FOUND: return FILEFIND_NOT_FOUND;
    case SYS_ERROR_PATH_NOT_FOUND: return FILEFIND_PATH_NOT_FOUND;
    default: return FILEFIND_FAILED;
  }
}

HANDLE FindFirstFileInfo(const char* pattern, FileFindInfo* out, int* error) {
  int code = FILEFIND_NO_RECORD;
  if (out != nullptr) {
    SysFindData data;
    int sysError = 0;
    HANDLE search = pattern ? SysFindFirstFile(pattern, &data, &sysError) : nullptr;
    if (search != nullptr) {
      FillRecord(data, out, true);
      return search;
    }
    switch (sysError) {
      case SYS_ERROR_NOT_FOUND: case SYS_ERROR_NO_MORE_FILES: code = FILEFIND_NOT_FOUND; break;
      case SYS_ERROR_DIRECTORY: code = FILEFIND_NOT_A_FOLDER; break;
      default: code = FILEFIND_FAILED; break;
    }
  }
  if (error) *error = code;
  return nullptr;
}

int FindNextFileInfo(HANDLE search, FileFindInfo* out) {
  if (out == nullptr || IsReservedHandle(search)) return FILEFIND_NO_RECORD;
  SysFindData data;
  if (!SysFindNextFile(search, &data, nullptr)) return FILEFIND_NOT_FOUND;
  FillRecord(data, out, true);
  return FILEFIND_OK;
}

int FindCloseInfo(HANDLE search) {
  if (search == nullptr) return -1;
  return SysFindClose(search) ? 0 : -1;
}

namespace {

template <class T>
T FirstValue(const void* record) {
  T value;
  memcpy(&value, record, sizeof value);
  return value;
}

template <class T>
int CompareThreeWay(const void* a, const void* b) {
  T x = FirstValue<T>(a);
  T y = FirstValue<T>(b);
  return x < y ? -1 : x > y ? 1 : 0;
}

template <class T>
int Difference(const void* a, const void* b) {
  return int(FirstValue<T>(a)) - int(FirstValue<T>(b));
}

}  // namespace

int CompareRecordInt32(void*, const void* a, const void* b) { return CompareThreeWay<int32_t>(a, b); }
int CompareRecordUInt32(void*, const void* a, const void* b) { return CompareThreeWay<uint32_t>(a, b); }
int CompareRecordInt16(void*, const void* a, const void* b) { return Difference<int16_t>(a, b); }
int CompareRecordUInt16(void*, const void* a, const void* b) { return Difference<uint16_t>(a, b); }
