// Copying and moving single files so that an interruption never leaves a
// half-written target under the target's own name.
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
