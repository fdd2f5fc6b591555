// Scanning and copying directory trees with include and exclude patterns, a
// callback that watches and steers the walk, a progress counter and a
// cancel flag. The files are copied by CopyFileEngine.
#pragma once

#include <cstdint>

#include "files/copyengine.h"
#include "platform/types.h"

// Flags of CopyDirectoryTree and FileTreeScan, combined with those of
// CopyFileEngine below 0x2000, which are handed on to each file's copy (the
// counter accumulates across files; it starts from 0 unless
// COPY_KEEP_COUNTER). 0x100 and 0x200 mean something else for a tree:
inline constexpr DWORD TREE_CREATE_TARGET = 0x100;      // create a missing target folder chain
inline constexpr DWORD TREE_CLEAR_TARGET = 0x200;       // empty the target folder first (DeleteDirectoryTree)
inline constexpr DWORD TREE_ONLY_NEWER = 0x2000;        // skip files whose copy exists with the same or a later write time
inline constexpr DWORD TREE_INTO_NAMED = 0x4000;        // copy into target\<name of the source folder>
inline constexpr DWORD TREE_STOP_ON_ERROR = 0x8000;     // the first failure ends the walk
inline constexpr DWORD TREE_SUBDIRECTORIES = 0x10000;   // follow subfolders
inline constexpr DWORD TREE_SCAN_QUIET = 0x20000;       // FileTreeScan counts without calling back

// Callback events.
enum : int {
  TREE_EVENT_FILE_FOUND = 0,  // FileTreeScan: a file that passed the patterns
  TREE_EVENT_DIRECTORY = 1,   // FileTreeScan: a subfolder about to be entered
  TREE_EVENT_BEFORE_COPY = 2, // CopyDirectoryTree: a file about to be copied
  TREE_EVENT_ERROR = 4,       // error holds the failure's code, path what failed
  TREE_EVENT_END = 5,         // once at the end, with an empty path
};

// Results besides a count of files (and 0 for a cancelled walk, or a tree
// without matching files).
enum : int {
  TREE_ERROR_LIST = -5,             // a folder could not be listed
  TREE_ERROR_START_IS_FILE = -8,
  TREE_ERROR_NOT_FOUND = -9,
  TREE_ERROR_CREATE_DIRECTORY = -10,
  TREE_ERROR_CLEAR_TARGET = -11,    // with TREE_STOP_ON_ERROR: the target could not be emptied
};

template <class Ch>
struct CopyTreeOptionsT;

// Answers: 0 goes on; a positive answer skips the file or folder (events
// 0, 1, 2); a negative one ends the walk (any event but 5).
template <class Ch>
using CopyTreeCallbackT = int (*)(int event, CopyTreeOptionsT<Ch>* options);

template <class Ch>
struct CopyTreeOptionsT {
  const Ch* include = nullptr;  // ';'-separated patterns a file must match (null: any)
  const Ch* exclude = nullptr;  // ';'-separated patterns a file must not match (null: none)
  void* counter = nullptr;      // bytes copied: uint64_t with COPY_COUNTER_64, else uint32_t
  const BYTE* cancel = nullptr; // nonzero stops the walk (result 0)
  CopyTreeCallbackT<Ch> callback = nullptr;
  void* user = nullptr;         // the caller's own value

  // Set for each callback call.
  const Ch* path = nullptr;  // the file or folder, terminated
  int pathLength = 0;
  int error = 0;             // event 4: the failure's code
  int64_t fileSize = 0;      // events 0 and 2

  // Set by FileTreeScan: the bytes of the files counted.
  int64_t totalSize = 0;
};
using CopyTreeOptions = CopyTreeOptionsT<char>;
using CopyTreeOptionsW = CopyTreeOptionsT<wchar16>;
using CopyTreeCallback = CopyTreeCallbackT<char>;
using CopyTreeCallbackW = CopyTreeCallbackT<wchar16>;

// Copies the files of source that pass the patterns to target, subfolders
// with TREE_SUBDIRECTORIES, in name order. A first quiet scan counts them;
// finding none gives that scan's result. Every file is written relative to
// the target folder the walk holds open. A pipe or device node in the source,
// or where a file goes in the target, is a file that could not be copied
// (CopyFileEngine refuses it); the rest is copied. Returns the count found,
// 0 when cancelled, or a negative code: the first file's CopyFileEngine
// result that failed, or a TREE_ERROR_* value. options may be null.
int CopyDirectoryTree(DWORD flags, const char* source, const char* target, CopyTreeOptions* options);
int CopyDirectoryTreeW(DWORD flags, const wchar16* source, const wchar16* target, CopyTreeOptionsW* options);

// Counts the files of a directory (and with TREE_SUBDIRECTORIES its subtree)
// that pass the patterns, and their bytes in options->totalSize. A file as
// the start gives TREE_ERROR_START_IS_FILE, or with TREE_SUBDIRECTORIES is
// counted as the one file. Returns the count, 0 when cancelled, or a
// TREE_ERROR_* code.
int FileTreeScan(DWORD flags, const char* directory, CopyTreeOptions* options);
int FileTreeScanW(DWORD flags, const wchar16* directory, CopyTreeOptionsW* options);
