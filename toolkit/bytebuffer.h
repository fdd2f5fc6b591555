// CByteBuffer: a growing byte buffer. Sizes are computed in 64 bits; a size
// beyond 32 bits fails like a failed allocation, leaving the buffer as it
// was. Data passed in may lie in the buffer itself. Move-only.
#pragma once

#include <cstdint>

class CByteBuffer {
 public:
  CByteBuffer() = default;
  // size >= 1 allocates size bytes (capacity size, used 0).
  explicit CByteBuffer(int size);
  CByteBuffer(CByteBuffer&& other) noexcept;
  CByteBuffer& operator=(CByteBuffer&& other) noexcept;
  CByteBuffer(const CByteBuffer&) = delete;
  CByteBuffer& operator=(const CByteBuffer&) = delete;
  ~CByteBuffer();

  // New capacity max(1024, need, used) * 3 / 2; 0 when that fails.
  uint32_t Reserve(uint32_t need);
  uint32_t Extend(int n);
  uint32_t Append(const void* data, uint32_t n);
  uint32_t Splice(const void* data, int n, int replaceLen, uint32_t pos);
  uint32_t Remove(int n, uint32_t pos);
  int MoveBlock(int from, int len, int to);
  void Free();
  void Clear();

  uint32_t tag = 0;  // the owner's; the buffer never reads it
  uint8_t* data = nullptr;
  uint32_t used = 0;
  uint32_t capacity = 0;

 private:
  bool Room(uint64_t need);
};
