// Helpers shared by the stream tests: scratch folders, whole-file reads and a
// back-end over a byte vector that behaves like a descriptor.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "files/stream.h"

using Bytes = std::vector<uint8_t>;

// Removes path and everything below it; folders a test left unwritable are
// made writable first.
inline void RemoveScratchTree(const std::string& path) {
  namespace fs = std::filesystem;
  if (path.empty()) return;
  std::error_code ignored;
  fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ignored);
  for (auto it = fs::recursive_directory_iterator(path, ignored); it != fs::recursive_directory_iterator();
       it.increment(ignored)) {
    if (it->is_directory(ignored) && !it->is_symlink(ignored))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  }
  fs::remove_all(path, ignored);
}

// A folder under /tmp removed with everything in it when the object goes:
// without a shell, so a test that changes PATH or the folders' permissions
// still leaves nothing behind (links inside are removed, never followed).
class ScratchDir {
 public:
  ScratchDir() {
    char name[] = "/tmp/zelvaro-stream-XXXXXX";
    path_ = ::mkdtemp(name) ? name : "";
  }
  ~ScratchDir() { RemoveScratchTree(path_); }
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline Bytes ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteWholeFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline Bytes RandomBytes(uint32_t seed, size_t count) {
  Bytes bytes(count);
  uint32_t x = seed * 2654435761u + 1;
  for (auto& b : bytes) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = uint8_t(x >> 24);
  }
  return bytes;
}

// A back-end over a byte vector with the semantics of a descriptor: reads
// stop at the end, writes past the end fill the gap with zeros, seeks may go
// past the end. Optionally gives at most `maxChunk` bytes per read and fails
// or falls short at the n-th write.
struct VectorBackend {
  Bytes data;
  int64_t position = 0;
  int maxChunk = 0;        // 0: no limit on reads
  int writeCalls = 0;
  // What the n-th write call (from 0) does: -1 fails, k >= 0 takes at most k
  // bytes (0: none). Calls beyond the script take everything.
  std::vector<int> writeScript;
  std::vector<int> writeSizes;
  int closeCalls = 0;

  static VectorBackend* From(INT_PTR handle) { return reinterpret_cast<VectorBackend*>(handle); }
  INT_PTR Handle() { return reinterpret_cast<INT_PTR>(this); }

  static int Read(INT_PTR handle, void* destination, int count) {
    VectorBackend* b = From(handle);
    int64_t available = int64_t(b->data.size()) - b->position;
    if (available <= 0) return 0;
    int n = int(std::min<int64_t>(count, available));
    if (b->maxChunk > 0) n = std::min(n, b->maxChunk);
    std::memcpy(destination, b->data.data() + b->position, size_t(n));
    b->position += n;
    return n;
  }
  static int Write(INT_PTR handle, const void* source, int count) {
    VectorBackend* b = From(handle);
    size_t call = size_t(b->writeCalls++);
    b->writeSizes.push_back(count);
    int n = count;
    if (call < b->writeScript.size()) {
      if (b->writeScript[call] < 0) return -1;
      n = std::min(count, b->writeScript[call]);
      if (n == 0) return 0;
    }
    if (int64_t(b->data.size()) < b->position + n) b->data.resize(size_t(b->position + n));
    std::memcpy(b->data.data() + b->position, source, size_t(n));
    b->position += n;
    return n;
  }
  static int Seek(INT_PTR handle, int offset, int origin) {
    VectorBackend* b = From(handle);
    int64_t base = origin == 0 ? 0 : origin == 1 ? b->position : int64_t(b->data.size());
    if (origin < 0 || origin > 2 || base + offset < 0) return -1;
    b->position = base + offset;
    return int(b->position);
  }
  static int Close(INT_PTR handle) {
    ++From(handle)->closeCalls;
    return 0;
  }
  bool OpenOn(CFileStream& stream, bool writable = true, bool seekable = true) {
    position = 0;
    return stream.OpenCallbacks(Handle(), Read, Close, writable ? Write : nullptr,
                                seekable ? Seek : nullptr);
  }
};
