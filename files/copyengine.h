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
// from another thread; a nonzero *cancel stops the copy. A failed or
// cancelled copy leaves no partial target behind.
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

// Puts newFile in target's place: the old target is first moved aside to
// target + ".rf.tmp" (a leftover of that name is deleted), the new file
// renamed to target, and the old one then deleted, made a numbered backup
// by MakeBackupFile with pattern (at least one backup; the backup's '*' is
// the target's name), or with RENAME_SAFE_EXCHANGE given the new file's
// name. A target starting with '*' is the new file's name with that
// extension. Any failure puts the old target back; false.
bool RenameFileSafe(const char* newFile, const char* target, int flags, const char* pattern, int count);
bool RenameFileSafeW(const wchar16* newFile, const wchar16* target, int flags, const wchar16* pattern, int count);

// Replaces the oldLength bytes at offset of the file at path by newLength
// bytes of data (an oldLength beyond the end is cut to it). The same length
// is written in place (after a copying backup when pattern is given; the
// old bytes are put back when the write fails); another length goes through
// a full copy in path + ".cf.tmp" that RenameFileSafe then puts in place.
// False for negative arguments, a missing file, an offset beyond its end or
// any failure, with the file as it was.
bool WriteFileSafe(const char* path, int64_t offset, int64_t oldLength, const void* data, int64_t newLength,
                   const char* pattern, int count);
bool WriteFileSafeW(const wchar16* path, int64_t offset, int64_t oldLength, const void* data, int64_t newLength,
                    const wchar16* pattern, int count);
