// What the path functions need from the file system: full paths, the drive
// letters there are, attributes, sizes, directory creation, deletion, the
// program's own path and the stored spelling of a name.
//
// Paths come as the caller's bytes (UTF-8 on POSIX), written the Windows way
// or the host's way: '\' and '/' both separate. A POSIX host has no drive
// letters of its own; SysMapDrive lends a letter to a host directory, so that
// stored paths such as D:\plots\a.zf reach a real place. Full paths of
// host paths keep the host's '/' separator; full paths of drive and server
// paths use '\'.
#pragma once

#include <cstdint>
#include <string>

#include "platform/types.h"

// Attribute bits as the Windows file functions report them.
inline constexpr DWORD SYS_ATTR_READONLY = 0x01;
inline constexpr DWORD SYS_ATTR_DIRECTORY = 0x10;
inline constexpr DWORD SYS_ATTR_NORMAL = 0x80;
inline constexpr DWORD SYS_ATTR_INVALID = 0xFFFFFFFF;

// Error codes of SysCreateDirectory and SysDeleteFile. The file calls of
// this header set the last error (platform/syserror.h) when they fail.
inline constexpr int SYS_OK = 0;
inline constexpr int SYS_ERROR_NOT_FOUND = 2;
inline constexpr int SYS_ERROR_ACCESS = 5;
inline constexpr int SYS_ERROR_EXISTS = 183;
inline constexpr int SYS_ERROR_OTHER = 31;

// Lends drive `letter` (A-Z, either case) to the host directory hostRoot;
// a null hostRoot takes the letter back. False for a letter out of range.
bool SysMapDrive(int letter, const char* hostRoot);
// One bit per present drive letter, bit 0 for A.
DWORD SysGetLogicalDrives();
// The spelling the host's own file functions take: '\' becomes '/', a lent
// drive letter its host directory, and \\server\share of a share lent with
// SysRegisterShare its host directory; a host path keeps its bytes. False
// (out emptied) for a null or empty path or a drive letter that is not lent.
bool SysHostPath(const char* path, std::string& out);

// The full path of `path` ("." and ".." resolved, relative paths joined to
// the current directory, a drive letter without separator to its root) in
// out; its length, or 0 when the path is empty, null or the result does not
// fit into size - 1 characters (out emptied when size >= 1).
int SysGetFullPathName(const char* path, char* out, int size);

// The attributes of what path names, SYS_ATTR_INVALID when nothing.
DWORD SysGetFileAttributes(const char* path);
// The size of what path names; false when it cannot be queried. isDirectory
// tells whether it is a directory (whose size means nothing).
bool SysGetFileSize(const char* path, uint64_t* size, bool* isDirectory);
// The size of the file open on descriptor fd; -1 when it cannot be queried.
int64_t SysGetDescriptorSize(int fd);
// Creates one directory: SYS_OK, SYS_ERROR_EXISTS when something of that
// name exists, another SYS_ERROR_* otherwise.
int SysCreateDirectory(const char* path);
// Deletes one file (never a directory): SYS_OK or a SYS_ERROR_* code; 32
// (sharing violation) while an open of FdOpen holds it.
int SysDeleteFile(const char* path);
// Makes a file writable again (the "normal" attribute); false on failure.
bool SysSetFileAttributesNormal(const char* path);

// The program file's full path in out; its length, or 0 (out emptied when
// size >= 1) when unknown or longer than size - 1.
int SysGetModuleFileName(char* out, int size);

// Looks in directory `dir` for the entry `name`, without regard to ASCII
// case (the exact spelling wins); its stored spelling goes to out. False
// when there is none or it does not fit into size - 1 characters.
bool SysFindStoredName(const char* dir, const char* name, char* out, int size);

// The host directory lent to drive `letter` (A-Z, either case) in out; its
// length, or 0 (out emptied when size >= 1) when the letter is not lent or
// the directory does not fit into size - 1 characters.
int SysGetDriveRoot(int letter, char* out, int size);
