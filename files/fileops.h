// Whole-file and directory operations: writing and reading a file in one
// call, file times and Unix seconds, the facts of a file by name, path kinds,
// deleting a directory tree, finding a file along PATH, comparing two files,
// unique temporary names and numbered backups.
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
// read. A failed open empties the buffer and gives 0: a pipe, a device or a
// socket (or a link to one) is refused with last error 1920, never waited for.
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

// The facts of what path names: PATH_DIRECTORY, PATH_FILE, or 0 for
// nothing or a path with '*' or '?' (the record then zeroed). The find
// record also names the file: its last component.
int GetFindData(const char* path, FindFileData* data);
int GetFindDataW(const wchar16* path, FindFileDataW* data);
int GetAttributeData(const char* path, FileAttributeData* data);
int GetAttributeDataW(const wchar16* path, FileAttributeData* data);

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

// True when both files exist, have the same size and the same bytes; a
// pipe, a device or a socket (or a link to one) is refused with last error
// 1920, never waited for nor read without end.
bool CompareFileContents(const char* first, const char* second);
bool CompareFileContentsW(const wchar16* first, const wchar16* second);

// Looks for name in each folder of the PATH variable (separated by ';' or
// the host's own separator, empty ones skipped; a ':' behind a single
// letter and before a separator is a drive letter's) and copies the first
// candidate whose GetPathType is type (PATH_FILE or PATH_DIRECTORY) to
// output; its length, 0 (output emptied) when none fits into size - 1. A
// name without extension is tried with each ';'-separated entry of
// extensions behind it (with or without its dot; an empty entry tries the
// name as it is).
int SearchFileInPath(char* output, const char* name, int size, const char* extensions, int type);
int SearchFileInPathW(wchar16* output, const wchar16* name, int size, const wchar16* extensions, int type);

// ---- Unique temporary names ---------------------------------------------------

// The parts of MakeTempFileName that are no text.
enum TempNameCode : int {
  TEMP_NAME_PROGRAM_DIRECTORY = 1,  // as base: start beside the program, not in the temporary folder
  TEMP_NAME_UNIQUE = 2,             // 8 upper-case hex digits no file has, then a separator
  TEMP_NAME_UNIQUE_FOLDER = 3,      // the same behind a separator
  TEMP_NAME_FILE_NAME_OF_NEXT = 4,  // the next text part is reduced to its file name
};
// One part: a text, a TempNameCode, or none (null).
template <class Ch>
struct TempNamePartT {
  const Ch* text = nullptr;
  int code = 0;
  TempNamePartT(const Ch* part) : text(part) {}
  TempNamePartT(TempNameCode part) : code(part) {}
  bool IsNone() const { return text == nullptr && code == 0; }
};
using TempNamePart = TempNamePartT<char>;
using TempNamePartW = TempNamePartT<wchar16>;

// Builds a path in output and creates every folder of it: the start (the
// temporary folder, or with base TEMP_NAME_PROGRAM_DIRECTORY the program's
// folder; any other base counts as the first part), then each part given.
// A text part goes behind one separator; its leading characters steer:
// '?' marks it as the last part and a file (its folder is created, not
// itself), '*' continues the name before it without a separator, '#' does
// too and with a '.' behind it first cuts that name back to its last dot.
// The unique name is tried from a random start (against the name continued
// by a '*' or '#' part right behind it) and needs 10 free characters.
// Returns what CreateDirectoryPath returns (1 created, 2 existed, 0
// failure, also when the start or a part does not fit or no unique name is
// free); end, when given, receives the terminator's address.
int MakeTempFileName(char* output, int size, TempNamePart base, TempNamePart part1 = nullptr,
                     TempNamePart part2 = nullptr, TempNamePart part3 = nullptr, char** end = nullptr);
int MakeTempFileNameW(wchar16* output, int size, TempNamePartW base, TempNamePartW part1 = nullptr,
                      TempNamePartW part2 = nullptr, TempNamePartW part3 = nullptr, wchar16** end = nullptr);

// ---- Numbered backups -----------------------------------------------------------

// Flags of MakeBackupFile.
enum : int {
  BACKUP_COPY = 0x1,        // copy the source (otherwise it is moved)
  BACKUP_NO_ROTATE = 0x2,   // fail when the first backup name is taken
  BACKUP_NO_COUNTER = 0x4,  // a pattern without counter gets none (one backup)
};
// No counter position: MakeBackupFile takes the counter from the pattern.
inline constexpr int BACKUP_COUNTER_IN_PATTERN = -1;

// Moves (or copies) source to a numbered backup name and moves the older
// backups one number up, the oldest beyond count going. The name comes
// from pattern (null: "*"): '*' is the file name of basePath (or of the
// source when basePath is null), '?' that name without its extension, '$'
// with a digit n takes n extensions off what was built, "#n#" (n from 1 to
// 4) is a counter of n digits; other characters stand for themselves. A
// pattern without folder goes into the folder of basePath (or of the
// source). Without a counter in the pattern, counterPosition (an offset
// into the name built from the pattern) places one of digits (1 to 4)
// digits; without either, ".0" is appended and one digit used, or with
// BACKUP_NO_COUNTER no counter at all. The numbers run from 0 to the
// smaller of count (at least 1) and 10 to the power of the digits, minus 1.
// False when the source is missing, a name would be the source itself, or
// a step fails.
bool MakeBackupFile(const char* source, const char* pattern, int flags, int count,
                    int counterPosition = BACKUP_COUNTER_IN_PATTERN, int digits = 1,
                    const char* basePath = nullptr);
bool MakeBackupFileW(const wchar16* source, const wchar16* pattern, int flags, int count,
                     int counterPosition = BACKUP_COUNTER_IN_PATTERN, int digits = 1,
                     const wchar16* basePath = nullptr);
