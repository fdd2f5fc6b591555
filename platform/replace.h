// Replacing a file without losing the old one: the new content goes to a
// fresh temporary file beside the target, which is renamed over the target
// once it is complete. A failed or killed save leaves the old file intact;
// with an unnamed temporary it leaves nothing else either.
#pragma once

#include <cstddef>
#include <string>

#include "platform/fileio.h"
#include "platform/types.h"

struct FdReplacement {
  // Every step names its entries relative to the target's folder, opened
  // once: a folder on the way swapped for a link meanwhile sends nothing
  // elsewhere.
  int folder = -1;        // the target's folder, symbolic links followed
  std::string name;       // the target's name in it
  std::string temporary;  // the named temporary's name in it; empty when none
  int hold = -1;          // the old target held as a writer holds it, until the end
  int unnamed = -1;       // the unnamed temporary's own descriptor; -1 when none
  int guard = -1;         // the named temporary's lock, held until the end
  size_t nameBytes = 0;   // the longest entry name the folder takes; 0 until asked
  // Whether only a target of our own is replaced: one of another owner is
  // then written in place, so it keeps its owner (which only a privileged
  // process could give a new file) and a sticky folder cannot refuse it.
  bool ownOnly = false;

  FdReplacement() = default;
  FdReplacement(const FdReplacement&) = delete;
  FdReplacement& operator=(const FdReplacement&) = delete;
  ~FdReplacement();
};

// Every temporary is locked (flock) by its save from its making to the end,
// so a temporary of the target's that nobody holds is what a killed save
// left: the next replacement of that target removes it.
//
// Makes the temporary file for a save to `path` and returns its descriptor
// (read-write, close-on-exec; the permission bits of an existing target carry
// over, and its owner where the process may set it). Returns
// FD_ERROR_NOT_A_FILE (last error 1920) for a pipe, a device or a socket,
// which is neither replaced nor written, and FD_ERROR_NO_ROOM (last error
// set) when no temporary could be made for want of space or descriptors,
// where writing in place would lose the old file. FdReplaceRefused tells
// both apart from -1. Returns -1 when the target is to be
// written in place instead (FdOpen with FD_OPEN_REGULAR_ONLY): it is a
// folder, a dangling symbolic link, it belongs to another user and is not
// writable, or its folder refuses a temporary file; also when another open
// holds the target (FdOpen's share modes; last error 32), and the in-place
// open is then refused the same way. The old target stays held until the
// commit or the abandon, so no other open takes it in between.
int FdBeginReplace(const char* path, FdReplacement& replacement);
inline bool FdReplaceRefused(int fd) { return fd == FD_ERROR_NOT_A_FILE || fd == FD_ERROR_NO_ROOM; }
int FdBeginReplaceW(const wchar16* path, FdReplacement& replacement);
// The same with a temporary file that has no name until the commit gives it
// the target's (where the file system offers such files; elsewhere a named
// one as above), so a process killed before that leaves nothing behind. The
// descriptor returned is the caller's to close; the replacement keeps one of
// its own until the commit or the abandon.
int FdBeginUnnamedReplace(const char* path, FdReplacement& replacement);
int FdBeginUnnamedReplaceW(const wchar16* path, FdReplacement& replacement);
// Renames the finished temporary over the target; false when that fails, the
// temporary then being removed. An unnamed one takes the target's name in one
// step where no target exists, else a temporary name for the one rename over
// it.
bool FdCommitReplace(FdReplacement& replacement);
// Removes the temporary after a failed save.
void FdAbandonReplace(FdReplacement& replacement);
