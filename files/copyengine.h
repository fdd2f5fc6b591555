// Copying, moving, renaming and rewriting single files so that an
// interruption never leaves a half-written target under the target's own
// name.
#pragma once

#include <cstdint>

#include "platform/types.h"

// Flags of CopyFileEngine.
enum : DWORD {
  COPY_COUNTER_64 = 0x1,       // the progress counter is a uint64_t (else a uint32_t)
  COPY_SIZE_64 = 0x2,          // the size output is a uint64_t (else a uint32_t)
  COPY_KEEP_COUNTER = 0x4,     // add to the counter instead of starting from 0
  COPY_FAIL_IF_EXISTS = 0x8,
  COPY_VIA_TEMPORARY = 0x10,   // write to target + ".cfp.tmp", then rename
  COPY_TIMES = 0x20,
  COPY_ATTRIBUTES = 0x40,
  COPY_REPLACE_READONLY = 0x80,
  COPY_CREATE_DIRECTORY = 0x100,
  COPY_DELETE_BLOCKING_FILE = 0x200,
  COPY_MOVE = 0x400,
  COPY_DELETE_READONLY_SOURCE = 0x800,
  COPY_COUNT_FAILED_REST = 0x1000,
};

// Results of CopyFileEngine.
enum : int {
  COPY_OK = 1,
  COPY_CANCELLED = 0,
  COPY_TARGET_EXISTS = -1,
  COPY_TARGET_UNWRITABLE = -2,
  COPY_SOURCE_UNREADABLE = -3,
  COPY_WRITE_FAILED = -4,
  COPY_READ_FAILED = -5,
  COPY_RENAME_FAILED = -6,
  COPY_SOURCE_KEPT = -7,
};

// Copies (or with COPY_MOVE moves) source to target. counter (uint64_t or
// uint32_t by COPY_COUNTER_64) advances by the bytes copied and may be read
// from another thread; a nonzero *cancel stops the copy. A copy is written
// to a file beside the target that takes the target's name in one step once
// complete: an unnamed file (or ".<name>.<n>.tmp" where the file system has
// none), or with COPY_VIA_TEMPORARY target + ".cfp.tmp" (the file name cut to
// fit one folder entry). Without COPY_VIA_TEMPORARY a target of another
// owner, or one in a folder that refuses new files, is written in place. A
// failed or cancelled copy leaves no partial target behind; without
// COPY_VIA_TEMPORARY it removes an old target too. Only regular files are
// copied: a pipe, a device or a socket is refused as source (-3) and as
// target (-2) with last error 1920, never waited for nor written, and so is
// one a link names where the copy would read or write through the link (a
// move, or the rename that ends COPY_VIA_TEMPORARY, takes a link as a name);
// a folder as target gives -2 with last error 5 (267 with
// COPY_FAIL_IF_EXISTS).
int CopyFileEngine(DWORD flags, const char* source, const char* target, void* counter, void* sizeOut,
                   const BYTE* cancel);
int CopyFileEngineW(DWORD flags, const wchar16* source, const wchar16* target, void* counter, void* sizeOut,
                    const BYTE* cancel);

// Flags of RenameFileSafe.
enum : int {
  RENAME_SAFE_DELETE_ON_FAILURE = 0x1,    // a failure deletes the new file
  RENAME_SAFE_TARGET_MAY_BE_MISSING = 0x2,
  RENAME_SAFE_PLAIN_DELETE = 0x4,         // that delete does not clear a read-only state
  RENAME_SAFE_EXCHANGE = 0x8,             // the old target takes the new file's name
};

// Puts newFile in target's place: the old target is kept under a second
// name, target + ".rf.tmp" (cut to fit one folder entry; a hard link, or a
// copy where the file system refuses links), and newFile replaces the target
// in one rename, so the target's name always holds the whole old or the
// whole new file. One left by a killed call goes first when it holds only
// the target's content (or is a pipe, a device or a socket, never opened);
// old content in it first becomes a backup by pattern (when that fails, so
// does the call) or, without a pattern, stays, the target then being
// replaced without a second name. The aside name is then deleted, or made a
// numbered backup by MakeBackupFile with pattern (at least one backup; the
// backup's '*' is the target's name). With RENAME_SAFE_EXCHANGE the two names are
// swapped in one step (in steps where the file system cannot, the old file
// waiting under newFile + ".rf.tmp"). A target starting with '*' is the new
// file's name with that extension. False, with the target as it was, when
// the target name is over 4095 bytes (last error 206), a pipe, a device or
// a socket stands under either name (1920), a folder is to be exchanged
// (5), another rename or rewrite onto the target is under way (32), or a
// move fails (newFile then deleted as the flags say).
bool RenameFileSafe(const char* newFile, const char* target, int flags, const char* pattern, int count);
bool RenameFileSafeW(const wchar16* newFile, const wchar16* target, int flags, const wchar16* pattern, int count);

// Replaces the oldLength bytes at offset of the file at path by newLength
// bytes of data (an oldLength beyond the end is cut to it). Whatever the
// lengths, the whole file is written anew to path + ".cf.tmp" (cut to fit
// one folder entry, made exclusively, with the old file's owner and mode),
// which RenameFileSafe then puts in place (with pattern and count for the
// backup). Through a symbolic link the file it names is rewritten, beside
// itself, and the link stays. False, with the file as it was, for negative
// arguments, an offset beyond the end, or any failure: a missing file or a
// link to nothing (last error 2 or 3), a folder or a read-only file (5), a
// pipe, a device or a socket (1920, never opened), another rewrite or rename
// of the file under way (32).
bool WriteFileSafe(const char* path, int64_t offset, int64_t oldLength, const void* data, int64_t newLength,
                   const char* pattern, int count);
bool WriteFileSafeW(const wchar16* path, int64_t offset, int64_t oldLength, const void* data, int64_t newLength,
                    const wchar16* pattern, int count);
