// Directory searches and attribute records as the Windows find functions
// give them, over the host file system.
//
// A pattern is a folder and a last component that may hold '*' (any run of
// characters) and '?' (one character), matched without regard to ASCII case
// the way the Windows find matches long names: "*.*" and "*" match every
// name, a pattern ending in ".*" also matches the name without any dot
// ("a.*" finds "a"), and a pattern ending in '.' matches names without an
// extension ("*." finds "README" but not "a.txt"). Folders are written either
// way ('\' or '/'); drive letters lent with SysMapDrive and the shares that
// SysRegisterShare lent reach their host directories. "." and ".." are never
// reported. Entries come in the order of their upper-cased names, as a
// Windows volume lists them.
//
// Attributes made from the host's facts: a directory is SYS_ATTR_DIRECTORY;
// a name beginning with '.' is hidden; a file whose owner may not write it is
// read-only (directories never are); a regular file carries the archive bit;
// anything neither file nor directory (device, pipe, socket, dangling link)
// is a system file of size 0; a record with no other bit is SYS_ATTR_NORMAL.
// A link is followed.
#pragma once

#include <string>

#include "platform/fsops.h"
#include "platform/handles.h"
#include "platform/pathsys.h"
#include "platform/types.h"

inline constexpr DWORD SYS_ATTR_HIDDEN = 0x02;
inline constexpr DWORD SYS_ATTR_SYSTEM = 0x04;
inline constexpr DWORD SYS_ATTR_ARCHIVE = 0x20;

// Error codes of the find and attribute functions, as the Windows calls set
// them (SYS_ERROR_NOT_FOUND 2 and SYS_ERROR_PATH_NOT_FOUND 3 as elsewhere).
inline constexpr int SYS_ERROR_NO_MORE_FILES = 18;
inline constexpr int SYS_ERROR_INVALID_NAME = 123;
inline constexpr int SYS_ERROR_DIRECTORY = 267;

inline constexpr int SYS_MAX_PATH = 260;

// One entry: the attribute bits, the three times in ticks, the size in two
// halves and the stored name.
struct SysFindData {
  DWORD attributes;
  FILETIME creation;
  FILETIME lastAccess;
  FILETIME lastWrite;
  DWORD sizeHigh;
  DWORD sizeLow;
  char name[SYS_MAX_PATH];
};

// The handle value that no search ever gets.
inline HANDLE const SYS_INVALID_HANDLE = reinterpret_cast<HANDLE>(~uintptr_t(0));

// Opens a search and fills data with its first entry. Failure: null, with
// *error SYS_ERROR_NOT_FOUND (nothing matches, or the pattern ends in a
// separator), SYS_ERROR_PATH_NOT_FOUND (no such folder), SYS_ERROR_DIRECTORY
// (the folder part names a file), SYS_ERROR_INVALID_NAME (wildcards in the
// folder part, an empty or too long pattern), SYS_ERROR_ACCESS (the folder
// cannot be read). Handles are table keys, never addresses: a stale or made
// up handle is refused, never followed.
HANDLE SysFindFirstFile(const char* pattern, SysFindData* data, int* error);
// The next entry; false with SYS_ERROR_NO_MORE_FILES at the end, or
// SYS_ERROR_OTHER for an unknown handle. An entry deleted since the search
// began is passed over.
bool SysFindNextFile(HANDLE search, SysFindData* data, int* error);
// Ends a search; false for an unknown handle.
bool SysFindClose(HANDLE search);
// The number of searches open now (for leak checks).
int SysOpenFindCount();

// The record of what path names (name left empty). False with
// SYS_ERROR_NOT_FOUND (no such entry), SYS_ERROR_PATH_NOT_FOUND (no such
// folder, or a file used as a folder), SYS_ERROR_INVALID_NAME (empty path,
// wildcards), SYS_ERROR_ACCESS.
bool SysGetFileAttributesEx(const char* path, SysFindData* data, int* error);

// Whether name matches one last-component pattern as described above.
bool SysMatchFindPattern(const char* pattern, const char* name);

// The host spelling of a path written with drive letters, server shares or
// host separators; false when it names a drive or share not lent.
bool SysHostPathOf(const char* path, std::string& out);
