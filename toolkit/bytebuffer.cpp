// The byte buffer.
#include "toolkit/bytebuffer.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "toolkit/detail/array_store.h"

CByteBuffer::CByteBuffer(int size) {
  if (size >= 1) {
    data = new (std::nothrow) uint8_t[static_cast<uint32_t>(size)];
    if (data) capacity = static_cast<uint32_t>(size);
  }
}

CByteBuffer::CByteBuffer(CByteBuffer&& other) noexcept
    : tag(other.tag),
      data(std::exchange(other.data, nullptr)),
      used(std::exchange(other.used, 0)),
      capacity(std::exchange(other.capacity, 0)) {}

CByteBuffer& CByteBuffer::operator=(CByteBuffer&& other) noexcept {
  if (this != &other) {
    Free();
    tag = other.tag;
    data = std::exchange(other.data, nullptr);
    used = std::exchange(other.used, 0);
    capacity = std::exchange(other.capacity, 0);
  }
  return *this;
}

CByteBuffer::~CByteBuffer() { Free(); }

uint32_t CByteBuffer::Reserve(uint32_t need) {
  uint64_t base = std::max<uint64_t>({1024, need, used});
  uint64_t cap = base * 3 / 2;
  if (cap > 0xFFFFFFFFull) return 0;
  uint8_t* p = new (std::nothrow) uint8_t[cap];
  if (!p) return 0;
  if (used) std::memcpy(p, data, used);
  delete[] data;
  data = p;
  capacity = static_cast<uint32_t>(cap);
  return capacity;
}

// Makes room for need bytes; false (buffer unchanged) when that fails.
bool CByteBuffer::Room(uint64_t need) {
  if (need <= capacity) return true;
  if (need > 0xFFFFFFFFull) return false;
  return Reserve(static_cast<uint32_t>(need)) != 0;
}

uint32_t CByteBuffer::Extend(int n) {
  if (n < 1) return 0;
  if (!Room(uint64_t{used} + static_cast<uint32_t>(n))) return used;
  used += static_cast<uint32_t>(n);
  return used;
}

uint32_t CByteBuffer::Append(const void* src, uint32_t n) {
  if (n < 1 || !src) return 0;
  // A source inside the buffer is found again after a reallocation.
  const uint8_t* s = static_cast<const uint8_t*>(src);
  bool inside = array_store::Overlaps(s, n, data, capacity);
  size_t offset = inside ? static_cast<size_t>(s - data) : 0;
  if (!Room(uint64_t{used} + n)) return used;
  if (inside) s = data + offset;
  std::memmove(data + used, s, n);
  used += n;
  return used;
}

uint32_t CByteBuffer::Splice(const void* src, int n, int replaceLen, uint32_t pos) {
  if (n < 1 || !src) return used;
  if (pos > used) {
    pos = used;
    replaceLen = 0;
  }
  if (replaceLen < 0) replaceLen = 0;
  uint64_t tailStart = uint64_t{pos} + static_cast<uint32_t>(replaceLen);
  uint64_t tail = tailStart < used ? used - tailStart : 0;
  uint64_t newUsed = uint64_t{pos} + static_cast<uint32_t>(n) + tail;
  // The inserted bytes may lie in the part that moves: copy them aside.
  array_store::StableCopy stable(src, static_cast<uint32_t>(n), data, capacity);
  if (!Room(newUsed)) return used;
  if (tail) std::memmove(data + pos + n, data + tailStart, tail);
  std::memcpy(data + pos, stable.get(), static_cast<uint32_t>(n));
  used = static_cast<uint32_t>(newUsed);
  return used;
}

uint32_t CByteBuffer::Remove(int n, uint32_t pos) {
  if (n > 0 && pos < used) {
    uint64_t end = uint64_t{pos} + static_cast<uint32_t>(n);
    if (end >= used) {
      used = pos;
    } else {
      std::memmove(data + pos, data + end, used - end);
      used -= static_cast<uint32_t>(n);
    }
  }
  return used;
}

int CByteBuffer::MoveBlock(int from, int len, int to) {
  if (from < 0 || len < 0 || to < 0) return -1;
  if (used == 0) return to < 1 ? 0 : -1;
  if (int64_t{from} + len > used || int64_t{len} + to > used) return -1;
  if (from == to || len == 0) return to;
  // Rotate [lo, hi): the block goes to the front (to < from) or to the end.
  uint32_t lo = static_cast<uint32_t>(std::min(from, to));
  uint32_t hi = static_cast<uint32_t>(std::max(from, to) + len);
  uint32_t first = to < from ? static_cast<uint32_t>(from) - lo : static_cast<uint32_t>(len);
  uint8_t* p = data + lo;
  uint32_t total = hi - lo, second = total - first;
  uint32_t shorter = std::min(first, second);
  uint8_t stackBuf[1024];
  uint8_t* tmp = shorter <= sizeof stackBuf ? stackBuf : new (std::nothrow) uint8_t[shorter];
  if (!tmp) return -1;
  if (first <= second) {
    std::memcpy(tmp, p, first);
    std::memmove(p, p + first, second);
    std::memcpy(p + second, tmp, first);
  } else {
    std::memcpy(tmp, p + first, second);
    std::memmove(p + second, p, first);
    std::memcpy(p, tmp, second);
  }
  if (tmp != stackBuf) delete[] tmp;
  return to;
}

void CByteBuffer::Free() {
  delete[] data;
  data = nullptr;
  used = capacity = 0;
}

void CByteBuffer::Clear() { Free(); }
