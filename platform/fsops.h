// File-system services beyond descriptor I/O: file times, directory
// listings, directory removal, renaming, cutting a file to a length and the
// system clock. Paths are the caller's bytes passed on unchanged, as FdOpen
// takes them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/types.h"

// 100-nanosecond ticks since 1601-01-01 (UTC), split into two halves.
struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};

inline uint64_t FileTimeTicks(const FILETIME& time) {
  return (uint64_t(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}
inline FILETIME MakeFileTime(uint64_t ticks) {
  return FILETIME{DWORD(ticks & 0xFFFFFFFFu), DWORD(ticks >> 32)};
}

// The three times of a file (or directory) in ticks. A host without a
// birth time reports the last write as creation. False when nothing is there.
bool SysGetFileTimes(const char* path, uint64_t* lastWrite, uint64_t* creation, uint64_t* lastAccess);
// Sets the times that are given (null: unchanged). The creation time cannot
// be set on this host and is accepted without effect. False on failure.
bool SysSetFileTimes(const char* path, const uint64_t* lastWrite, const uint64_t* creation,
                     const uint64_t* lastAccess);
// The current time in ticks.
uint64_t SysGetSystemTimeTicks();

struct SysDirEntry {
  std::string name;
  bool isDirectory = false;  // a real directory; a link to one is no directory
};
// The entries of a directory without "." and "..". False (and an error code
// SYS_ERROR_* in *error when given) when it cannot be listed.
bool SysListDirectory(const char* path, std::vector<SysDirEntry>& entries, int* error = nullptr);
// Removes an empty directory: SYS_OK or a SYS_ERROR_* code.
int SysRemoveDirectory(const char* path);
// Cuts the file open on fd to length bytes; false on failure.
bool FdTruncate(int fd, int64_t length);

// SysMoveFile's code when the target's folder is missing.
inline constexpr int SYS_ERROR_PATH_NOT_FOUND = 3;
// Renames a file on one file system: SYS_OK; SYS_ERROR_NOT_FOUND when the
// source is missing, SYS_ERROR_PATH_NOT_FOUND when the target's folder is;
// SYS_ERROR_EXISTS when the target exists and may not be replaced;
// SYS_ERROR_ACCESS; SYS_ERROR_OTHER (also across file systems).
int SysMoveFile(const char* from, const char* to, bool replace);
// Gives target the permission bits of source; false on failure.
bool SysCopyPermissions(const char* source, const char* target);
// True when path names a regular file (a link is not followed).
bool SysIsRegularFile(const char* path);
