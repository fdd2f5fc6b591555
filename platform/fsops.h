// File-system services beyond descriptor I/O: file times, directory
// listings, directory removal, renaming, cutting a file to a length, the
// records of a file's facts, the temporary folder, the environment and the
// clocks. Paths reach the host as SysHostPath (platform/pathsys.h) spells
// them, as FdOpen takes them: '\' or '/' separated, a lent drive letter
// standing for its host directory.
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

// The ticks of a host time (seconds since 1970 and their nanoseconds): 0
// before 1601, the largest count beyond the tick range.
uint64_t SysTicksFromHostTime(int64_t seconds, long nanoseconds);

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
// The entries of a directory without "." and "..". False (and the Win32
// code in *error when given: 2 no such folder, 3 its parent missing too, 5
// access denied ...) when it cannot be listed.
//
// The calls below set the last error (platform/syserror.h) when they fail.
bool SysListDirectory(const char* path, std::vector<SysDirEntry>& entries, int* error = nullptr);
// Removes an empty directory: SYS_OK or a Win32 code (145 not empty).
int SysRemoveDirectory(const char* path);
// Cuts the file open on fd to length bytes; false on failure.
bool FdTruncate(int fd, int64_t length);

// SysMoveFile's code when the target's folder is missing.
inline constexpr int SYS_ERROR_PATH_NOT_FOUND = 3;
// Renames a file on one file system: SYS_OK; SYS_ERROR_NOT_FOUND when the
// source is missing, SYS_ERROR_PATH_NOT_FOUND when the target's folder is;
// SYS_ERROR_EXISTS when the target exists and may not be replaced;
// SYS_ERROR_ACCESS; 32 (sharing violation) when an open of FdOpen holds the
// source or the target; another Win32 code of platform/syserror.h (17 across
// file systems). Every failure sets the last error.
int SysMoveFile(const char* from, const char* to, bool replace);
// Gives target the permission bits of source; false on failure.
bool SysCopyPermissions(const char* source, const char* target);
// True when path names a regular file (a link is not followed).
bool SysIsRegularFile(const char* path);
// What path names, links followed unless `followLinks` is false (a link is
// then SYS_KIND_LINK). Every answer but SYS_KIND_FILE and SYS_KIND_LINK sets
// the last error with which the file functions refuse it: 2 or 3 for
// nothing (a link to nothing too), 5 for a folder, 1920 for a pipe, a device
// or a socket (opening one could block or act on the device).
enum : int { SYS_KIND_NONE, SYS_KIND_FILE, SYS_KIND_FOLDER, SYS_KIND_OTHER, SYS_KIND_LINK };
int SysFileKind(const char* path, bool followLinks = true);
// True when both paths name one existing file (links followed): the same
// file under two spellings, or two hard links of it.
bool SysSameFile(const char* first, const char* second);

// ---- Records of a file's facts ---------------------------------------------

// What a look at one file by name reports: attributes, the three times and
// the size in two halves (filled from SysGetFileAttributesEx of
// platform/findfile.h, whose attribute bits they carry).
struct FileAttributeData {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
};

// Room for a file name in a find record, terminator included.
inline constexpr int SYS_FIND_NAME_SIZE = 260;
inline constexpr int SYS_FIND_SHORT_NAME_SIZE = 14;

// What a search for one name reports: the facts of FileAttributeData (the
// same fields first, in the same order), two reserved words, the stored file name and a short name (none on this host:
// empty). Written once for 8-bit and 16-bit names.
template <class Ch>
struct FindFileDataT : FileAttributeData {
  DWORD dwReserved0;
  DWORD dwReserved1;
  Ch cFileName[SYS_FIND_NAME_SIZE];
  Ch cAlternateFileName[SYS_FIND_SHORT_NAME_SIZE];
};
using FindFileData = FindFileDataT<char>;
using FindFileDataW = FindFileDataT<wchar16>;

// ---- Temporary folder and environment ------------------------------

// The folder for temporary files with a trailing separator ($TMPDIR when it
// names a folder by an absolute path, else /tmp/) in out; its length, or 0
// (out emptied when size >= 1) when it does not fit into size - 1.
int SysGetTempPath(char* out, int size);
// The value of the environment variable name; false when it is not set.
bool SysGetEnvironmentVariable(const char* name, std::string& out);
// The character that separates the folders of the host's PATH.
inline constexpr char SYS_PATH_LIST_SEPARATOR = ':';

// ---- Failure injection -------------------------------------------------------
// Tests prove that callers lose nothing when a step fails halfway, which a
// privileged test process cannot provoke with permissions alone.

enum class SysFault : unsigned {
  Open,             // FdOpen gives FD_ERROR_ACCESS
  Read,             // FdRead gives -1
  Write,            // FdWrite gives -1
  Move,             // SysMoveFile gives SYS_ERROR_ACCESS
  Delete,           // SysDeleteFile gives SYS_ERROR_ACCESS
  CreateDirectory,  // SysCreateDirectory gives SYS_ERROR_ACCESS
  Link,             // SysLinkOrCopy finds hard links refused and copies
  Exchange,         // SysExchangeFiles finds no exchange on the file system
  Unnamed,          // FdBeginUnnamedReplace finds no unnamed files
  NoReplace,        // SysMoveFile without replace finds no rename that refuses to replace
  List,             // SysListDirectory and SysDirectory::List give SYS_ERROR_ACCESS
  Temporary,        // a replacement's named temporary finds the disk full
  Count
};
// The call of op after `skip` further calls fails once; the others behave
// normally. A second injection for the same op replaces the first.
void SysInjectFault(SysFault op, int skip);
// Forgets every pending injected failure.
void SysClearFaults();
// Consumes a pending failure of op: true when the current call is to fail.
bool SysTakeFault(SysFault op);
