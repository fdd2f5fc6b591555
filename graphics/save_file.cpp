// The save helper of every image writer: write, flush, close, and only then
// put the new file in the old one's place.
#include <string>

#include "files/stream.h"
#include "graphics/writer.h"
#include "platform/fileio.h"
#include "platform/findfile.h"
#include "platform/pathconv.h"
#include "platform/replace.h"
#include "platform/syserror.h"
#include "platform/sysinfo.h"

namespace {

// Every writer opens its file with this buffer size.
constexpr int kSaveBufferSize = 32768;

int DescriptorRead(INT_PTR handle, void* destination, int count) {
  return FdRead(int(handle), destination, count);
}
int DescriptorWrite(INT_PTR handle, const void* source, int count) {
  return FdWrite(int(handle), source, count);
}
int DescriptorSeek(INT_PTR handle, int offset, int origin) {
  const int64_t at = FdSeek(int(handle), offset, origin);
  return at >= 0 && at <= INT32_MAX ? int(at) : -1;
}
int DescriptorClose(INT_PTR handle) {
  return FdClose(int(handle));
}

// A killed save leaves nothing: the picture is written to a file without a
// name, which gets the target's only when complete.
int BeginReplace(const char* path, FdReplacement& replacement) {
  return FdBeginUnnamedReplace(path, replacement);
}
int BeginReplace(const wchar16* path, FdReplacement& replacement) {
  return FdBeginUnnamedReplaceW(path, replacement);
}
// The open of a stream in create mode, for regular files only: a pipe
// would wait for a reader, and a device is no picture file.
int OpenInPlace(const char* path) {
  const int flags = FD_OPEN_READWRITE | FD_OPEN_CREATE | FD_OPEN_TRUNCATE | FD_OPEN_BINARY | FD_OPEN_SHARE_ALL |
                    FD_OPEN_REGULAR_ONLY;
  int fd = FdOpen(path, flags);
  if (fd == FD_ERROR_ACCESS && FdClearReadOnly(path)) fd = FdOpen(path, flags);
  return fd;
}
int OpenInPlace(const wchar16* path) {
  std::string utf8;
  if (!PathToUtf8(path, utf8)) {
    SysSetLastError(SYS_ERROR_INVALID_NAME);
    return FD_ERROR_BAD_NAME;
  }
  return OpenInPlace(utf8.c_str());
}

// Calls a function that is to throw; should it return, a plain exception
// stands in for it.
[[noreturn]] void Raise(void (*thrower)()) {
  thrower();
  ThrowGraphics<EGraphicsException>(GraphicsMessage::Internal);
}

template <class Char>
void SaveImageFileT(const Char* path, const WriterFailures& failures, WriterBody body,
                    void* context) {
  if (path == nullptr || *path == 0) Raise(failures.openError);
  FdReplacement replacement;
  SysSetLastError(0);
  int fd = BeginReplace(path, replacement);
  // A picture another open holds stays as it is: the stream's own open, which
  // shares with readers, must not write it in place instead; nor is a pipe
  // or a device written, nor an old picture cut where the disk had no room
  // for the new one.
  const bool refused = FdReplaceRefused(fd) || (fd < 0 && SysGetLastError() == SYS_ERROR_SHARING_VIOLATION);
  if (fd < 0 && !refused) fd = OpenInPlace(path);
  CFileStream file(kSaveBufferSize);
  if (fd < 0 || !file.OpenCallbacks(fd, DescriptorRead, DescriptorClose, DescriptorWrite, DescriptorSeek)) {
    if (fd >= 0) FdClose(fd);
    FdAbandonReplace(replacement);
    Raise(failures.openError);
  }
  try {
    FinishImageStream(file, failures, body, context);
    if (!FdCommitReplace(replacement)) Raise(failures.writeError);
  } catch (...) {
    file.Close();
    FdAbandonReplace(replacement);
    throw;
  }
}

}  // namespace

void FinishImageStream(CFileStream& file, const WriterFailures& failures, WriterBody body,
                       void* context) {
  body(context, file);
  // Close flushes too; the separate Flush keeps a flush failure from being
  // hidden by a close that succeeds.
  const bool flushed = file.Flush();
  const bool closed = file.Close();
  if (!flushed || !closed) Raise(failures.writeError);
}

void SaveImageFile(const char* path, const WriterFailures& failures, WriterBody body,
                   void* context) {
  SaveImageFileT(path, failures, body, context);
}

void SaveImageFile(const wchar16* path, const WriterFailures& failures, WriterBody body,
                   void* context) {
  SaveImageFileT(path, failures, body, context);
}
