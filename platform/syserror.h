// The one translation from the host's errno values to the Win32 error codes
// that the thread's last error holds (SysGetLastError, platform/sysinfo.h).
// Every file call of the platform layer that fails sets the last error
// through here, so callers read the code a Windows call would have left.
#pragma once

#include <string>

#include "platform/types.h"

// Win32 codes of the table besides those in pathsys.h, fsops.h and
// findfile.h.
inline constexpr DWORD SYS_ERROR_TOO_MANY_OPEN_FILES = 4;
inline constexpr DWORD SYS_ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr DWORD SYS_ERROR_NOT_SAME_DEVICE = 17;
inline constexpr DWORD SYS_ERROR_WRITE_PROTECT = 19;
inline constexpr DWORD SYS_ERROR_SHARING_VIOLATION = 32;
inline constexpr DWORD SYS_ERROR_FILE_EXISTS = 80;
inline constexpr DWORD SYS_ERROR_BROKEN_PIPE = 109;
inline constexpr DWORD SYS_ERROR_DISK_FULL = 112;
inline constexpr DWORD SYS_ERROR_SEEK_ON_DEVICE = 132;
inline constexpr DWORD SYS_ERROR_DIR_NOT_EMPTY = 145;
inline constexpr DWORD SYS_ERROR_BUSY = 170;
inline constexpr DWORD SYS_ERROR_FILENAME_EXCED_RANGE = 206;
inline constexpr DWORD SYS_ERROR_FILE_TOO_LARGE = 223;
inline constexpr DWORD SYS_ERROR_IO_DEVICE = 1117;
inline constexpr DWORD SYS_ERROR_DISK_QUOTA_EXCEEDED = 1295;
// What Windows reports for a pipe or device node it finds in a folder:
// the file functions refuse such nodes with it (platform/fileio.h).
inline constexpr DWORD SYS_ERROR_CANT_ACCESS_FILE = 1920;
inline constexpr DWORD SYS_ERROR_CANT_RESOLVE_FILENAME = 1921;

// The Win32 code for errno value err; 31 (a device failure of no particular
// kind) for one the table does not know.
DWORD SysErrorFromErrno(int err);
// The same for a failure on host path `host`: a missing entry (ENOENT) is 3,
// path not found, when the folder that should hold it is missing too, and 2,
// file not found, when only the entry itself is.
DWORD SysErrorFromErrno(int err, const std::string& host);
// Sets the last error from errno value err (refined for host when given)
// and returns the code set.
DWORD SysSetLastErrorFromErrno(int err);
DWORD SysSetLastErrorFromErrno(int err, const std::string& host);
