// Stdio streams and the standard-output writer, the only way the libraries
// reach FILE* streams and file descriptors.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Origins of PlatformFileSeek.
enum PlatformSeekOrigin : int { kPlatformSeekSet = 0, kPlatformSeekCur = 1, kPlatformSeekEnd = 2 };

// fwrite/fread: the number of whole items transferred.
size_t PlatformFileWrite(FILE* file, const void* data, size_t size, size_t count);
size_t PlatformFileRead(FILE* file, void* data, size_t size, size_t count);
// Moves the stream position; true on success.
bool PlatformFileSeek(FILE* file, int64_t offset, PlatformSeekOrigin origin);
// The stream position, or -1.
int64_t PlatformFileTell(FILE* file);
// Clears the stream's error and end-of-file marks.
void PlatformFileClearError(FILE* file);

// Which file a stream writes to, and whether every write lands at its end
// (opened for appending) whatever the stream position says.
struct PlatformStreamFacts {
  uint64_t device;
  uint64_t inode;
  bool appends;
};
// False when the stream has no file descriptor or the facts cannot be had.
bool PlatformStreamInfo(FILE* file, PlatformStreamFacts* facts);

// The process's standard output as a nonzero handle.
intptr_t PlatformStdOutputHandle();
// Writes all `bytes` to `handle`, retrying interrupted and partial writes;
// returns the bytes written (fewer only when a write fails).
int64_t PlatformHandleWrite(intptr_t handle, const void* data, size_t bytes);
