// The steps a file is replaced with so that a kill at any moment leaves its
// name holding the whole old or the whole new content: the old file kept
// under a second name, two names exchanged in one step, and the file a
// symbolic link names. Paths are spelt as FdOpen takes them; a failure sets
// the last error (platform/syserror.h).
#pragma once

#include <string>

#include "platform/sysinfo.h"  // SYS_ERROR_NOT_SUPPORTED
#include "platform/types.h"

// Gives the file `existing` the free name `second` as well: a hard link, or
// where the file system refuses links a copy with its permission bits (a copy
// that fails is removed). A symbolic link is linked, not followed. SYS_OK;
// SYS_ERROR_NOT_FOUND when `existing` is missing; SYS_ERROR_EXISTS when
// `second` is taken; SYS_ERROR_ACCESS or SYS_ERROR_OTHER.
int SysLinkOrCopy(const char* existing, const char* second);

// Removes `second`, a name SysLinkOrCopy gave a file that lives on under
// its first: unlike SysDeleteFile, an open holding that file does not keep
// the name. SYS_OK or a code as SysLinkOrCopy's.
int SysDropSecondName(const char* second);

// Swaps the names of two existing files in one step. SYS_OK;
// SYS_ERROR_NOT_SUPPORTED (nothing changed) where the file system has no
// such step; 32 (sharing violation) while an open of FdOpen holds either
// file; SYS_ERROR_NOT_FOUND, SYS_ERROR_ACCESS or SYS_ERROR_OTHER.
int SysExchangeFiles(const char* first, const char* second);

// When the last part of path is a symbolic link: true and, in out, the host
// path of the file it names at the end of every link, or an empty out when
// it names nothing. False when path is no link.
bool SysResolveLink(const char* path, std::string& out);

// Gives target the owner and group of source where the process may, then
// its permission bits; false when the bits could not be set.
bool SysCopyOwnerAndMode(const char* source, const char* target);
