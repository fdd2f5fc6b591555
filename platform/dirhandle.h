// Directories held open by descriptor, for walks that delete or move: each
// step names its entry relative to a folder that is already open, and no
// step follows a link. A folder swapped for a link while a walk runs is
// therefore never entered, and nothing outside the tree is ever touched.
// Every failing call sets the thread's last error (platform/syserror.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/fsops.h"
#include "platform/pathsys.h"

// Why a name is no folder that can be opened: a link, a file or a device.
inline constexpr int SYS_ERROR_NOT_A_DIRECTORY = 267;

// Reads the entries of the open folder `fd` without "." and ".." (a link is
// no directory), leaving the descriptor open. False, with errno set, when
// the folder cannot be read, also part way through.
bool SysReadFolderEntries(int fd, std::vector<SysDirEntry>& entries);

class SysDirectory {
 public:
  SysDirectory() = default;
  ~SysDirectory();
  SysDirectory(SysDirectory&& other) noexcept;
  SysDirectory& operator=(SysDirectory&& other) noexcept;
  SysDirectory(const SysDirectory&) = delete;
  SysDirectory& operator=(const SysDirectory&) = delete;

  // Opens the folder path names (spelt as SysHostPath takes it). Its last
  // name is not followed unless followLink: a link there gives
  // SYS_ERROR_NOT_A_DIRECTORY. *error: SYS_OK, SYS_ERROR_NOT_FOUND when
  // nothing has the name, or another SYS_ERROR_* code.
  static SysDirectory Open(const char* path, int* error, bool followLink = false);
  // Opens the entry `name` of this folder the same way. A folder
  // SYS_MAX_WALK_DEPTH levels below the one Open gave is not opened
  // (SYS_ERROR_FILENAME_EXCED_RANGE), so that a walk recursing through its
  // folders stays within its stack whatever the open-file limit.
  SysDirectory OpenChild(const char* name, int* error) const;

  bool IsOpen() const { return fd_ >= 0; }

  // The entries without "." and ".."; a link is no directory. False (and
  // *error) when the folder cannot be read.
  bool List(std::vector<SysDirEntry>& entries, int* error) const;
  // Deletes the entry `name` when it is no folder (a link goes, never what
  // it names): SYS_OK, SYS_ERROR_NOT_FOUND, SYS_ERROR_ACCESS for a folder,
  // 32 (sharing violation) for a file another open holds (fileio.h), or
  // another SYS_ERROR_* code.
  int DeleteFile(const char* name) const;
  // Removes the empty folder `name` (never a link): SYS_OK or a code.
  int RemoveDirectory(const char* name) const;
  // The last-write time of the entry itself, in ticks; false when it is gone.
  bool GetLastWriteTime(const char* name, uint64_t* ticks) const;
  // A host path that reaches the entry `name` of this folder for as long as
  // it stays open, whatever becomes of the path it was opened by, for calls
  // that take paths only; empty where the host has no such path.
  std::string PathOf(const std::string& name) const;

 private:
  SysDirectory(int fd, int depth) : fd_(fd), depth_(depth) {}
  int fd_ = -1;
  int depth_ = 0;  // levels below the folder Open gave
};

// True when path names a symbolic link (which is not followed).
bool SysIsSymbolicLink(const char* path);

// Creates the file path as a new empty file, never opening or replacing what
// has the name: SYS_OK, SYS_ERROR_EXISTS when anything has it (a dangling
// link too), or another SYS_ERROR_* code.
int SysCreateNewFile(const char* path);

// How deep below its start a walk may open folders: as deep as paths of the
// host's 4096 bytes reach with one-letter names.
inline constexpr int SYS_MAX_WALK_DEPTH = 2048;

// The longest name one folder entry may have, in bytes.
inline constexpr int SYS_MAX_NAME_BYTES = 255;

// ---- Test seam ----------------------------------------------------------------
// Called with the entry's name just before OpenChild opens it, so that a test
// can swap the entry for a link at the worst moment. Null: none.
using SysOpenChildHook = void (*)(const char* name, void* context);
void SysSetOpenChildHook(SysOpenChildHook hook, void* context);
