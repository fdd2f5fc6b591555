#include "platform/syserror.h"

#include <cerrno>

#include <sys/stat.h>

#include "platform/findfile.h"
#include "platform/sysinfo.h"

namespace {

struct ErrnoCode {
  int err;
  DWORD code;
};

// Where Linux has one errno for what Windows tells apart (or the reverse),
// the code is the one the Windows file call makes in the same situation:
// opening a folder as a file is access denied there, a busy program file a
// sharing violation, a lock held by another a sharing violation.
constexpr ErrnoCode kTable[] = {
    {ENOENT, SYS_ERROR_NOT_FOUND},
    {ENOTDIR, SYS_ERROR_PATH_NOT_FOUND},
    {EMFILE, SYS_ERROR_TOO_MANY_OPEN_FILES},
    {ENFILE, SYS_ERROR_TOO_MANY_OPEN_FILES},
    {EACCES, SYS_ERROR_ACCESS},
    {EPERM, SYS_ERROR_ACCESS},
    {EISDIR, SYS_ERROR_ACCESS},
    {EBADF, SYS_ERROR_INVALID_HANDLE},
    {ENOMEM, SYS_ERROR_NOT_ENOUGH_MEMORY},
    {EXDEV, SYS_ERROR_NOT_SAME_DEVICE},
    {EROFS, SYS_ERROR_WRITE_PROTECT},
    {ETXTBSY, SYS_ERROR_SHARING_VIOLATION},
    {EWOULDBLOCK, SYS_ERROR_SHARING_VIOLATION},
    {EEXIST, SYS_ERROR_EXISTS},
    {ENOTEMPTY, SYS_ERROR_DIR_NOT_EMPTY},
    {EINVAL, SYS_ERROR_INVALID_PARAMETER},
    {EPIPE, SYS_ERROR_BROKEN_PIPE},
    {ENOSPC, SYS_ERROR_DISK_FULL},
    {ESPIPE, SYS_ERROR_SEEK_ON_DEVICE},
    {EBUSY, SYS_ERROR_BUSY},
    {ENAMETOOLONG, SYS_ERROR_FILENAME_EXCED_RANGE},
    {EILSEQ, SYS_ERROR_INVALID_NAME},
    {EFBIG, SYS_ERROR_FILE_TOO_LARGE},
    {EIO, SYS_ERROR_IO_DEVICE},
    {EDQUOT, SYS_ERROR_DISK_QUOTA_EXCEEDED},
    {ELOOP, SYS_ERROR_CANT_RESOLVE_FILENAME},
    {ENOSYS, SYS_ERROR_NOT_SUPPORTED},
    {EOPNOTSUPP, SYS_ERROR_NOT_SUPPORTED},
};

}  // namespace

DWORD SysErrorFromErrno(int err) {
  for (const ErrnoCode& entry : kTable) {
    if (entry.err == err) return entry.code;
  }
  return DWORD(SYS_ERROR_OTHER);
}

DWORD SysErrorFromErrno(int err, const std::string& host) {
  if (err != ENOENT) return SysErrorFromErrno(err);
  // The folder part is what stands before the last separator; a name with
  // none lives in the current folder, which exists.
  size_t end = host.find_last_not_of('/');
  if (end == std::string::npos) return SysErrorFromErrno(err);
  size_t slash = host.rfind('/', end);
  if (slash == std::string::npos) return DWORD(SYS_ERROR_NOT_FOUND);
  std::string folder = slash == 0 ? std::string("/") : host.substr(0, slash);
  struct stat st;
  bool there = ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  return DWORD(there ? SYS_ERROR_NOT_FOUND : SYS_ERROR_PATH_NOT_FOUND);
}

DWORD SysSetLastErrorFromErrno(int err) {
  DWORD code = SysErrorFromErrno(err);
  SysSetLastError(code);
  return code;
}

DWORD SysSetLastErrorFromErrno(int err, const std::string& host) {
  DWORD code = SysErrorFromErrno(err, host);
  SysSetLastError(code);
  return code;
}
