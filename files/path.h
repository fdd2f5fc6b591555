// Windows-kind paths taken apart, built and tested as text: the root (a drive
// letter with its colon, or a server name behind two separators), the
// directory, the file name and its extension; paths beside the program file;
// directory chains; the type, size and existence of what a path names.
//
// '\' and '/' separate alike; the searches for the file name also stop at
// ':' (C:name has the file name "name"). Paths these functions build use '\'.
// A path of known length comes as (length, text); output sizes count the
// terminator. Every function has a wide twin ending in W on UTF-16 text.
// Functions that need the file system reach it through platform/pathsys.h.
#pragma once

#include <cstdint>
#include <cstdio>

#include "platform/cstring.h"
#include "platform/types.h"

// What a path names (GetPathType).
inline constexpr int PATH_NONE = 0;
inline constexpr int PATH_FILE = 1;
inline constexpr int PATH_DIRECTORY = 2;
inline constexpr int PATH_DRIVE_ROOT = 3;
// CreateDirectoryPath: the directories end at the last separator.
inline constexpr int PATH_DIRS_TO_LAST_SEPARATOR = 65535;

// ---- Queries -------------------------------------------------------------

// PATH_NONE (also for null, or a drive letter that is no letter or not
// present), PATH_FILE, PATH_DIRECTORY or PATH_DRIVE_ROOT.
int GetPathType(const char* path);
int GetPathTypeW(const wchar16* path);
// Creates the directory chain named by the first dirChars characters of path
// (0: all of it; PATH_DIRS_TO_LAST_SEPARATOR: up to its last separator).
// 2 when it already was a directory (or a root), 1 created, 0 failure.
int CreateDirectoryPath(const char* path, int dirChars);
int CreateDirectoryPathW(const wchar16* path, int dirChars);
// The upper-case drive letter of the path (or of its full path); -1 when none.
int GetPathDrive(const char* path);
int GetPathDriveW(const wchar16* path);
// Length of the root: "C:" (or "C:\" when two separators follow), "\\server".
int GetPathRootLength(const char* path);
int GetPathRootLengthW(const wchar16* path);
// Offset behind the root and n - 1 further components, each with the
// separator behind it; 0 for n < 1.
int GetPathComponentsEnd(const char* path, int n);
int GetPathComponentsEndW(const wchar16* path, int n);
// The extension behind its dot, or the path's end (length 0) when none. A
// length of -1 measures the path.
const char* FindPathExtension(int length, const char* path, int* extLength = nullptr);
const wchar16* FindPathExtensionW(int length, const wchar16* path, int* extLength = nullptr);
// The file name behind the last '\', '/' or ':'.
const char* FindPathFileName(int length, const char* path, int* nameLength = nullptr);
const wchar16* FindPathFileNameW(int length, const wchar16* path, int* nameLength = nullptr);
// Offset of the file name; 0 when there is no separator.
int FindPathFileNameOffset(const char* path);
int FindPathFileNameOffsetW(const wchar16* path);
bool HasTrailingSeparator(const char* path, int length = -1);
bool HasTrailingSeparatorW(const wchar16* path, int length = -1);
// 1-based index of the first ';'-separated entry of list that equals the
// path's extension without regard to case (a path without extension matches
// an empty entry); 0 when none. length is the path's (-1: measure).
int MatchExtensionList(const char* path, const char* list, int length = -1);
int MatchExtensionListW(const wchar16* path, const wchar16* list, int length = -1);

// Low 32 bits of the size; -1 for a directory or failure.
int GetFileSizeByName(const char* path);
int GetFileSizeByNameW(const wchar16* path);
// Low 32 bits of the size (-2 when they are all ones) with the whole size in
// size64; -1 and size64 all ones for a directory or failure.
int GetFileSize64ByName(const char* path, int64_t* size64);
int GetFileSize64ByNameW(const wchar16* path, int64_t* size64);
// The same for a descriptor opened with FdOpen.
int GetFileSize64(int fd, int64_t* size64);
// The size of an open stream, measured by seeking to its end and back; -1
// for none (or a size beyond what an int holds). The 64-bit form also hands
// out the low and high halves, both all ones for none.
int GetOpenFileSize(FILE* file);
int64_t GetOpenFileSize64(FILE* file, DWORD* low = nullptr, DWORD* high = nullptr);

// The program file's path; 0 and an empty buffer on failure.
int GetProgramPath(char* buffer, int size);
int GetProgramPathW(wchar16* buffer, int size);
// The program's directory with its separator; its length (0 on failure).
int GetPathBesideProgram(char* buffer, int size);
int GetPathBesideProgramW(wchar16* buffer, int size);
int GetProgramPathString(CString& out);
int GetProgramDirectoryString(CString& out);

// ---- Copies and allocations ------------------------------------------------
// A copy that does not fit empties the output and returns 0. Allocated
// results come from new[], terminated, and belong to the caller.

int GetPathExtension(char* output, int length, const char* path, int size);
int GetPathExtensionW(wchar16* output, int length, const wchar16* path, int size);
int GetPathFileName(char* output, int length, const char* path, int size);
int GetPathFileNameW(wchar16* output, int length, const wchar16* path, int size);
int GetPathBaseName(char* output, int length, const char* path, int size);
int GetPathBaseNameW(wchar16* output, int length, const wchar16* path, int size);
char* GetPathBaseNameAlloc(int length, const char* path, int* outLength = nullptr);
wchar16* GetPathBaseNameAllocW(int length, const wchar16* path, int* outLength = nullptr);
int GetPathDirectory(char* output, int length, const char* path, int size);
int GetPathDirectoryW(wchar16* output, int length, const wchar16* path, int size);
char* GetPathDirectoryAlloc(int length, const char* path, int* outLength = nullptr);
wchar16* GetPathDirectoryAllocW(int length, const wchar16* path, int* outLength = nullptr);
// The full path up to and including its last separator.
int GetFullPathDirectory(char* output, const char* path, int size);
int GetFullPathDirectoryW(wchar16* output, const wchar16* path, int size);
char* GetFullPathDirectoryAlloc(const char* path, int* outLength = nullptr);
wchar16* GetFullPathDirectoryAllocW(const wchar16* path, int* outLength = nullptr);

// ---- Edits -----------------------------------------------------------------
// (length, output, input, argument, size): output may be input; a result
// that does not fit is cut at size - 1 characters unless said otherwise.
// Each returns the length written.

// Replaces the extension; an empty one removes it with its dot. A leading
// '*' and then '.' of ext are skipped ("*.bak", ".bak", "bak" alike).
int SetPathExtension(int length, char* output, const char* input, const char* ext, int size);
int SetPathExtensionW(int length, wchar16* output, const wchar16* input, const wchar16* ext, int size);
// a.txt with bak gives a.bak.txt; a name without extension gets ".bak". A
// result that does not fit gives the input cut to size - 1.
int InsertPathExtension(int length, char* output, const char* input, const char* ext, int size);
int InsertPathExtensionW(int length, wchar16* output, const wchar16* input, const wchar16* ext, int size);
// Replaces everything behind the last separator.
int SetPathFileName(int length, char* output, const char* input, const char* name, int size, int nameLength = -1);
int SetPathFileNameW(int length, wchar16* output, const wchar16* input, const wchar16* name, int size,
                     int nameLength = -1);
// Replaces the file name in front of its extension. A result that does not
// fit leaves the output untouched and returns length.
int SetPathBaseName(int length, char* output, const char* input, const char* name, int size, int nameLength = -1);
int SetPathBaseNameW(int length, wchar16* output, const wchar16* input, const wchar16* name, int size,
                     int nameLength = -1);
// Replaces everything up to the last separator by dir and '\' (unless dir
// ends in one); an empty dir gives "\name". A result that does not fit
// leaves the output untouched and returns length.
int SetPathDirectory(int length, char* output, const char* input, const char* dir, int size, int dirLength = -1);
int SetPathDirectoryW(int length, wchar16* output, const wchar16* input, const wchar16* dir, int size,
                      int dirLength = -1);
// path '\' component, one trailing separator of path and one leading one of
// component dropped; an empty path gives the component alone. 0 (output
// emptied) when the result does not fit.
int AppendPathComponent(int length, char* output, const char* path, const char* component, int size);
int AppendPathComponentW(int length, wchar16* output, const wchar16* path, const wchar16* component, int size);

// In place; the caller's buffer has room for one more character.
int AddTrailingSeparator(char* path, int length = -1);
int AddTrailingSeparatorW(wchar16* path, int length = -1);
int AddTrailingChar(int character, char* path, int length = -1);
int AddTrailingCharW(int character, wchar16* path, int length = -1);
int RemoveTrailingSeparator(char* path, int length = -1);
int RemoveTrailingSeparatorW(wchar16* path, int length = -1);
// Cuts at the last separator, which stays when it follows another separator
// or ':' or stands first (D:\x gives D:\, D:\d\x gives D:\d); no separator
// gives the empty path.
int CutToDirectory(int length, char* path);
int CutToDirectoryW(int length, wchar16* path);
// separator '/' or 0: every '\' becomes '/'; otherwise every '/' becomes '\'.
int ConvertSeparators(char* path, int separator);
int ConvertSeparatorsW(wchar16* path, int separator);
int CopyConvertSeparators(char* output, const char* input, int size, int separator);
int CopyConvertSeparatorsW(wchar16* output, const wchar16* input, int size, int separator);

// Deletes a file, clearing a read-only state once when access is denied.
bool DeleteFileForced(const char* path);
bool DeleteFileForcedW(const wchar16* path);
