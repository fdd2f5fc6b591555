// Whole-file and directory operations: writing and reading a file in one
// call, file times and Unix seconds, path kinds, deleting a directory tree,
// comparing two files.
#pragma once

#include <cstdint>

#include "platform/fsops.h"
#include "platform/types.h"

// Ticks between 1601-01-01 and 1970-01-01, and ticks in one second.
inline constexpr int64_t FILETIME_UNIX_OFFSET = 116444736000000000;
inline constexpr int64_t FILETIME_TICKS_PER_SECOND = 10000000;

// Writes size bytes as the whole file (or behind its end with append). A
// rewrite goes through a temporary file, so a failure leaves the old file as
// it was; a failed append cuts the file back to its old length. False on any
// failure or a negative size.
bool WriteFileData(const char* path, const void* data, int64_t size, bool append);
bool WriteFileDataW(const wchar16* path, const void* data, int64_t size, bool append);
// Reads at most size - 2 bytes and puts a 16-bit zero behind them; the count
// read. A failed open empties the buffer and gives 0.
int64_t ReadFileData(const char* path, void* buffer, int64_t size);
int64_t ReadFileDataW(const wchar16* path, void* buffer, int64_t size);

// Sets the times that are given (null: unchanged); directories work too.
bool SetFileTimes(const char* path, const FILETIME* lastWrite, const FILETIME* creation,
                  const FILETIME* lastAccess);
bool SetFileTimesW(const wchar16* path, const FILETIME* lastWrite, const FILETIME* creation,
                   const FILETIME* lastAccess);
// The same in Unix seconds; a negative value leaves that time unchanged.
bool SetFileTimesUnix(const char* path, int64_t lastWrite, int64_t creation, int64_t lastAccess);
bool SetFileTimesUnixW(const wchar16* path, int64_t lastWrite, int64_t creation, int64_t lastAccess);
// Copies the three times; false when the source has none or the target
// cannot take them.
bool CopyFileTimes(const char* source, const char* target);
bool CopyFileTimesW(const wchar16* source, const wchar16* target);

// Which time GetFileTimeUnix and CompareFileTimeValues read.
enum : int { FILE_TIME_LAST_WRITE = 0, FILE_TIME_CREATION = 1, FILE_TIME_LAST_ACCESS = 2 };
// Unix seconds of one time; 0 when there is none or it lies before 1970.
int64_t GetFileTimeUnix(const char* path, int which);
int64_t GetFileTimeUnixW(const wchar16* path, int which);

// FILETIME to Unix seconds: false and 0 before 1970; false and -2 (as
// 0xFFFFFFFE) when the seconds would not fit in 32 bits.
bool FileTimeToUnixTime(const FILETIME& time, DWORD* seconds);
bool FileTimeToUnixTime64(const FILETIME& time, int64_t* seconds);
// False and 0 before 1970, false and 0x7FFFFFFF after 2038-01-19 03:14:07.
bool FileTimeToUnixTime32(const FILETIME& time, int32_t* seconds);
// False and 0 for 0 or negative seconds.
bool UnixTimeToFileTime(int64_t seconds, FILETIME* time);

// Modes of CompareFileTimeValues.
enum : int {
  FILE_TIME_COMPARE_TICKS = 0,
  FILE_TIME_COMPARE_SECONDS = 1,
  FILE_TIME_COMPARE_FAT = 2,      // two-second precision
  FILE_TIME_COMPARE_FAT_DST = 3,  // two-second units, one hour apart counts as equal
};
// 1 when the first time is later, -1 when earlier, 0 when equal or the mode
// is unknown.
int CompareFileTimeValues(const FILETIME& first, const FILETIME& second, int mode);
int CompareFileTimeValues(int64_t firstSeconds, const FILETIME& second, int mode);
// Compares one time of two files; a missing file counts as time 0.
int CompareFileTimeValues(const char* first, const char* second, int which, int mode);
int CompareFileTimeValuesW(const wchar16* first, const wchar16* second, int which, int mode);

// Kinds of GetPathKind.
enum : int {
  PATH_KIND_RELATIVE = 0,
  PATH_KIND_ROOTED = 1,          // \dir: the current drive's root
  PATH_KIND_DRIVE_RELATIVE = 2,  // D:dir
  PATH_KIND_DRIVE_ABSOLUTE = 3,  // D:\dir
  PATH_KIND_SERVER = 4,          // \\server\share
};
int GetPathKind(const char* path);
int GetPathKindW(const wchar16* path);

// Flags of DeleteDirectoryTree: 0 removes the directory with everything in
// it; 1 empties it and removes its subdirectories; 2 empties the whole tree
// and keeps every directory. A link to a directory is deleted as a link,
// never followed.
enum : int { DELETE_TREE_KEEP_TOP = 1, DELETE_TREE_KEEP_ALL = 2 };
bool DeleteDirectoryTree(const char* directory, int flags);
bool DeleteDirectoryTreeW(const wchar16* directory, int flags);

// Deletes the files of a directory tree whose last write lies more than age
// seconds back and whose names match the ';'-separated patterns (case-blind;
// null or empty: every name). Flags as for DeleteDirectoryTree; with 0 the
// directory goes too, which fails while younger files remain.
bool DeleteOldFiles(const char* directory, int flags, int64_t age, const char* patterns);
bool DeleteOldFilesW(const wchar16* directory, int flags, int64_t age, const wchar16* patterns);

// True when both files exist, have the same size and the same bytes.
bool CompareFileContents(const char* first, const char* second);
bool CompareFileContentsW(const wchar16* first, const wchar16* second);
