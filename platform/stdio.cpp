#include "platform/stdio.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

size_t PlatformFileWrite(FILE* file, const void* data, size_t size, size_t count) {
  if (!file || size == 0 || count == 0) return 0;
  return fwrite(data, size, count, file);
}

size_t PlatformFileRead(FILE* file, void* data, size_t size, size_t count) {
  if (!file || size == 0 || count == 0) return 0;
  return fread(data, size, count, file);
}

bool PlatformFileSeek(FILE* file, int64_t offset, PlatformSeekOrigin origin) {
  static constexpr int kWhence[3] = {SEEK_SET, SEEK_CUR, SEEK_END};
  if (!file || origin < kPlatformSeekSet || origin > kPlatformSeekEnd) return false;
  return fseeko(file, static_cast<off_t>(offset), kWhence[origin]) == 0;
}

int64_t PlatformFileTell(FILE* file) {
  if (!file) return -1;
  return static_cast<int64_t>(ftello(file));
}

void PlatformFileClearError(FILE* file) {
  if (file) clearerr(file);
}

bool PlatformStreamInfo(FILE* file, PlatformStreamFacts* facts) {
  if (!file || !facts) return false;
  const int fd = fileno(file);
  if (fd < 0) return false;
  const int flags = fcntl(fd, F_GETFL);
  struct stat st;
  if (flags == -1 || fstat(fd, &st) != 0) return false;
  facts->device = static_cast<uint64_t>(st.st_dev);
  facts->inode = static_cast<uint64_t>(st.st_ino);
  facts->appends = (flags & O_APPEND) != 0;
  return true;
}

intptr_t PlatformStdOutputHandle() { return STDOUT_FILENO; }

int64_t PlatformHandleWrite(intptr_t handle, const void* data, size_t bytes) {
  const char* p = static_cast<const char*>(data);
  size_t done = 0;
  while (done < bytes) {
    ssize_t n = write(static_cast<int>(handle), p + done, bytes - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(done);
}
