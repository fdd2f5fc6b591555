// Descriptor file I/O: the one place where the libraries open, read, write,
// position and close files. Flags and permission bits carry the values of the
// classic runtime library's low-level open, so callers written against it
// keep their numbers; this layer maps them to the host's own.
#pragma once

#include <cstdint>

#include "platform/types.h"

// Open flags (combine with |).
enum : int {
  FD_OPEN_READ = 0x0000,
  FD_OPEN_WRITE = 0x0001,
  FD_OPEN_READWRITE = 0x0002,
  FD_OPEN_APPEND = 0x0008,  // every write lands at the end
  FD_OPEN_CREATE = 0x0100,
  FD_OPEN_TRUNCATE = 0x0200,
  FD_OPEN_EXCLUSIVE = 0x0400,
  FD_OPEN_BINARY = 0x8000,  // no line-end translation (the only kind here)
  // Shares the file with every other open of this kind, writers too (the
  // runtime library's own opens, which a CFileStream makes); only opens that
  // hold a file alone keep it out, and it keeps them out.
  FD_OPEN_SHARE_ALL = 0x10000000,
  // Opens regular files only: a pipe, a device or a socket is refused with
  // FD_ERROR_NOT_A_FILE before anything is read or written, and never waited
  // for (a pipe without a reader or writer would block the open).
  FD_OPEN_REGULAR_ONLY = 0x20000000,
};

// Permission of a created file: both bits mean "not read-only" (0666 under the
// umask), the read bit alone a read-only file (0444 under the umask).
enum : int {
  FD_PERM_WRITE = 0x0080,
  FD_PERM_READ = 0x0100,
};

// Why an open failed; FdOpen returns one of these instead of a descriptor.
enum : int {
  FD_ERROR_OTHER = -1,
  FD_ERROR_NOT_FOUND = -2,     // the file or a folder on its path is missing
  FD_ERROR_ACCESS = -3,        // permission denied, read-only file or medium
  FD_ERROR_IS_DIRECTORY = -4,  // the name is a folder, which is never a stream
  FD_ERROR_BAD_NAME = -5,      // the name cannot be spelt for the host
  FD_ERROR_SHARING = -6,       // another open of the file refuses this one
  FD_ERROR_NOT_A_FILE = -7,    // a pipe, device or socket (FD_OPEN_REGULAR_ONLY); last error 1920
  FD_ERROR_NO_ROOM = -8,       // the disk, the quota or the open-file table is full
};

// Origins of FdSeek.
enum : int { FD_SEEK_SET = 0, FD_SEEK_CUR = 1, FD_SEEK_END = 2 };

// Opens `path` and returns a descriptor >= 0 or an FD_ERROR_* value; a
// failure sets the last error (platform/syserror.h). Descriptors are
// close-on-exec. The path reaches the host as SysHostPath spells it: '\'
// separates as '/' does and a lent drive letter stands for its host
// directory; a host path is taken as it is.
//
// Share modes: an open of a regular file holds it for as long as the
// descriptor is open, a writer (write access) alone, a reader together with
// other readers (FD_OPEN_SHARE_ALL: together with every open but a writer's). An open that conflicts with a hold of another open, in this
// process or another, fails with FD_ERROR_SHARING and last error 32 and
// changes nothing (a truncating open cuts the file only once it holds it).
// Holds are advisory file locks (flock): programs that do not take them are
// not kept out.
int FdOpen(const char* path, int flags, int permission = FD_PERM_READ | FD_PERM_WRITE);
// The same for a UTF-16 path, which reaches the host as UTF-8.
int FdOpenW(const wchar16* path, int flags, int permission = FD_PERM_READ | FD_PERM_WRITE);

// The read, write, seek and close calls set the last error when they fail.
//
// Reads up to `count` bytes, retrying interruptions and short reads until
// `count` bytes came or the end was reached. Returns the count read (0 at the
// end), or -1 when an error struck before any byte came.
int FdRead(int fd, void* destination, int count);
// Writes `count` bytes, retrying interruptions and short writes. Returns
// `count`, the smaller count taken before an error, or -1 when nothing was
// taken.
int FdWrite(int fd, const void* source, int count);
// Moves the file position; returns the new position or -1.
int64_t FdSeek(int fd, int64_t offset, int origin);
// Closes the descriptor; 0 or -1.
int FdClose(int fd);

// Holds an existing regular file as a writer would, without opening it for
// writing: for a replacement of the file by renaming, which must not pull a
// file from under another open. A descriptor to close when done; -1 when
// there is nothing to hold (no such regular file, or it cannot be opened);
// FD_ERROR_SHARING (last error 32) when another open holds it.
int FdHoldExclusive(const char* path);
// The same for the entry `name` of the open folder `folder` (a descriptor,
// or AT_FDCWD's -100 for the current folder).
int FdHoldExclusiveAt(int folder, const char* name);

// Claims an existing regular file for one read-modify-replace cycle: a lock
// kept apart from the share-mode holds (a byte-range lock of the open file),
// so the claimant can still open, hold and rename over the file itself,
// while a second claim on the same file fails. The claim is on the file the
// path names when it returns; close the descriptor once the replacement is
// in place. -1 when there is nothing to claim (no such regular file, or it
// cannot be opened for writing); FD_ERROR_SHARING (last error 32) when
// another claim holds it.
int FdClaimForReplace(const char* path);

// Clears the read-only state of a regular file: adds owner write permission,
// keeping the other mode bits. False for a folder, a missing file or a
// failure.
bool FdClearReadOnly(const char* path);
bool FdClearReadOnlyW(const wchar16* path);
