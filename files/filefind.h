// One flat record of a file's facts (FileFindInfo) from an attribute query
// or a directory search, with the library's own attribute bits, the size
// and Unix times; and the comparators of the arrays' sorted searches.
#pragma once

#include <cstdint>

#include "platform/handles.h"
#include "platform/types.h"

inline constexpr uint32_t FILEINFO_EXISTS = 0x1;      // always set in a filled record
inline constexpr uint32_t FILEINFO_WRITABLE = 0x2;    // the read-only attribute is clear
inline constexpr uint32_t FILEINFO_DIRECTORY = 0x10;
inline constexpr uint32_t FILEINFO_HIDDEN = 0x20;
inline constexpr uint32_t FILEINFO_ARCHIVE = 0x40;
inline constexpr uint32_t FILEINFO_SYSTEM = 0x80;
// Bits 10-31: the high word of the size shifted left by 10 (its low 22 bits).
inline constexpr int FILEINFO_SIZE_HIGH_SHIFT = 10;

struct FileFindInfo {
  uint32_t flags;
  uint32_t size;      // low word of the size
  uint32_t created;   // seconds since 1970
  uint32_t accessed;
  uint32_t modified;
  char name[260];     // the found name (find functions only)
};

// Results of the find functions.
enum : int {
  FILEFIND_OK = 0,
  FILEFIND_NO_RECORD = -1,      // out null, bad handle
  FILEFIND_NOT_FOUND = -3,      // no such file, no (further) entry
  FILEFIND_FAILED = -6,         // any other failure
  FILEFIND_PATH_NOT_FOUND = -7, // GetFileFindInfo: no such folder
  FILEFIND_NOT_A_FOLDER = -7,   // FindFirstFileInfo: the folder part is no folder
};

// size < 1: 0. Else buffer is emptied and the full path's length returned
// (0 when it does not fit).
uint32_t GetFullPath(const char* path, char* buffer, int size);

// Fills out for what path names: FILEFIND_OK, FILEFIND_NO_RECORD,
// FILEFIND_NOT_FOUND, FILEFIND_PATH_NOT_FOUND or FILEFIND_FAILED. On
// failure size and name are cleared.
int GetFileFindInfo(const char* path, FileFindInfo* out);

// Opens a search for pattern and fills out with the first entry: the search
// handle, or null with *error (when given) FILEFIND_NO_RECORD,
// FILEFIND_NOT_FOUND, FILEFIND_NOT_A_FOLDER or FILEFIND_FAILED; *error is not
// touched on success. Close the handle with FindCloseInfo.
HANDLE FindFirstFileInfo(const char* pattern, FileFindInfo* out, int* error);
// The next entry: FILEFIND_OK; FILEFIND_NOT_FOUND at the end or on failure;
// FILEFIND_NO_RECORD for a null out or a handle among the 32 highest values.
int FindNextFileInfo(HANDLE search, FileFindInfo* out);
// 0 closed; -1 for a null handle or a failure.
int FindCloseInfo(HANDLE search);

// Comparators for the sorted searches of the arrays, each on the first
// value of two records.
int CompareRecordInt32(void* context, const void* a, const void* b);   // -1, 0, 1
int CompareRecordUInt32(void* context, const void* a, const void* b);  // -1, 0, 1
int CompareRecordInt16(void* context, const void* a, const void* b);   // difference
int CompareRecordUInt16(void* context, const void* a, const void* b);  // difference
