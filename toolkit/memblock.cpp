// Pattern fills, 16-bit compares and in-place byte-buffer edits.
#include "toolkit/memblock.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

using Bytes = unsigned char;

// One 32-byte block of the pattern is stored per step; compilers turn the
// constant-size copy into a pair of vector stores.
template <typename T>
void FillPattern(void* dst, T value, DWORD count) {
  constexpr size_t kBlock = 32;
  static_assert(kBlock % sizeof(T) == 0);
  Bytes block[kBlock];
  for (size_t i = 0; i < kBlock; i += sizeof(T)) std::memcpy(block + i, &value, sizeof(T));
  Bytes* p = static_cast<Bytes*>(dst);
  size_t bytes = size_t(count) * sizeof(T);
  for (; bytes >= kBlock; bytes -= kBlock, p += kBlock) std::memcpy(p, block, kBlock);
  if (bytes) std::memcpy(p, block, bytes);
}

uint16_t LoadUnit(const void* base, size_t i) {
  uint16_t u;
  std::memcpy(&u, static_cast<const Bytes*>(base) + 2 * i, 2);
  return u;
}

// Signed order of 16-bit units: transitive, unlike the wrapped difference.
int SignedUnitDiff(uint16_t a, uint16_t b) { return int(int16_t(a)) - int(int16_t(b)); }

uint16_t FoldAsciiUpper(uint16_t u) { return (u >= 'a' && u <= 'z') ? uint16_t(u - 32) : u; }

// Address of p as an integer, so unrelated buffers can be tested for overlap.
uintptr_t Addr(const void* p) { return reinterpret_cast<uintptr_t>(p); }

bool Overlaps(const void* a, int64_t aLen, const void* b, int64_t bLen) {
  return aLen > 0 && bLen > 0 && Addr(a) < Addr(b) + uint64_t(bLen) &&
         Addr(b) < Addr(a) + uint64_t(aLen);
}

// The common core of insert and replace. Layout before: head | del | tail,
// after: head | src[0, n) | tail, all offsets already clamped and bounded.
// When src lies inside the part of buf that changes, its bytes are placed
// without a temporary: the first delCount go over the deleted run and the rest
// behind the tail, each copy ordered so it cannot overwrite the other's source,
// and a rotation then puts the rest before the tail.
int64_t Splice(Bytes* buf, const Bytes* src, int64_t n, int64_t delCount, int64_t pos,
               int64_t tail) {
  const int64_t tailFrom = pos + delCount;
  const int64_t tailEnd = tailFrom + tail;
  const int64_t newEnd = pos + n + tail;
  if (!Overlaps(src, n, buf + pos, std::max(tailEnd, newEnd) - pos)) {
    if (tail && n != delCount) std::memmove(buf + pos + n, buf + tailFrom, size_t(tail));
    if (n) std::memcpy(buf + pos, src, size_t(n));
  } else if (n <= delCount) {
    std::memmove(buf + pos, src, size_t(n));  // stays inside the deleted run
    if (tail && n != delCount) std::memmove(buf + pos + n, buf + tailFrom, size_t(tail));
  } else {
    const int64_t rest = n - delCount;
    const bool headFirst = Addr(src) + uint64_t(delCount) > Addr(buf + tailEnd);
    if (!headFirst) std::memmove(buf + tailEnd, src + delCount, size_t(rest));
    if (delCount) std::memmove(buf + pos, src, size_t(delCount));
    if (headFirst) std::memmove(buf + tailEnd, src + delCount, size_t(rest));
    std::rotate(buf + tailFrom, buf + tailEnd, buf + tailEnd + rest);
  }
  return newEnd;
}

int ReplaceImpl(void* buf, const void* src, int used, int n, int delCount, int pos,
                const int* capacity) {
  int64_t u = std::max(used, 0);
  if (n < 1) return int(u);
  int64_t p = pos < 0 ? 0 : pos;
  int64_t del = std::max(delCount, 0);
  if (p > u) {
    p = u;
    del = 0;
  }
  del = std::min(del, u - p);  // nothing beyond used is deleted or moved
  int64_t count = n;
  int64_t tail = u - p - del;
  if (capacity) {
    const int64_t room = int64_t(*capacity) - p;
    if (room < tail + count) {
      if (room < 0) return 0;
      count = std::min(count, room);
      tail = room - count;
    }
  }
  return int(Splice(static_cast<Bytes*>(buf), static_cast<const Bytes*>(src), count, del, p,
                    tail));
}

}  // namespace

void MemFill16(void* dst, WORD value, DWORD count) { FillPattern<uint16_t>(dst, value, count); }

void MemFill32(void* dst, DWORD value, DWORD count) { FillPattern<uint32_t>(dst, value, count); }

void MemFill64(void* dst, DWORD low, DWORD high, DWORD count) {
  Bytes pattern[8];
  std::memcpy(pattern, &low, 4);
  std::memcpy(pattern + 4, &high, 4);
  uint64_t value;
  std::memcpy(&value, pattern, 8);
  FillPattern<uint64_t>(dst, value, count);
}

int MemCompare16(const void* a, const void* b, DWORD count) {
  for (size_t i = 0; i < count; ++i) {
    const uint16_t ua = LoadUnit(a, i), ub = LoadUnit(b, i);
    if (ua != ub) return SignedUnitDiff(ua, ub);
  }
  return 0;
}

int MemCompare16NoCase(const void* a, const void* b, DWORD count) {
  for (size_t i = 0; i < count; ++i) {
    const uint16_t ua = FoldAsciiUpper(LoadUnit(a, i)), ub = FoldAsciiUpper(LoadUnit(b, i));
    if (ua != ub) return SignedUnitDiff(ua, ub);
  }
  return 0;
}

void MemSwap(void* a, void* b, int n) {
  if (n < 1) return;
  std::swap_ranges(static_cast<Bytes*>(a), static_cast<Bytes*>(a) + n, static_cast<Bytes*>(b));
}

int MemInsert(void* buf, const void* src, int used, int n, int pos) {
  return ReplaceImpl(buf, src, used, n, 0, pos, nullptr);
}

int MemInsertN(void* buf, const void* src, int used, int n, int pos, int capacity) {
  return ReplaceImpl(buf, src, used, n, 0, pos, &capacity);
}

int MemReplace(void* buf, const void* src, int used, int n, int delCount, int pos) {
  return ReplaceImpl(buf, src, used, n, delCount, pos, nullptr);
}

int MemReplaceN(void* buf, const void* src, int used, int n, int delCount, int pos,
                int capacity) {
  return ReplaceImpl(buf, src, used, n, delCount, pos, &capacity);
}

int MemDelete(void* buf, int used, int count, int pos) {
  if (used < 1) return 0;
  int64_t c = count, p = pos;
  if (p < 0) {
    c += p;
    p = 0;
  }
  if (c < 1 || p >= used) return used;
  c = std::min<int64_t>(c, used - p);
  Bytes* b = static_cast<Bytes*>(buf);
  std::memmove(b + p, b + p + c, size_t(used - p - c));
  return int(used - c);
}

int MemMoveBlock(void* buf, int from, int count, int to) {
  if (from < 0 || count < 0 || to < 0) return -1;
  if (to == from || count == 0) return to;
  Bytes* b = static_cast<Bytes*>(buf);
  // The region [first, last) is rotated so that `middle` becomes its start.
  Bytes* first;
  Bytes* middle;
  Bytes* last;
  if (to > from) {
    first = b + from;
    middle = b + from + count;
    last = b + int64_t(to) + count;
  } else {
    first = b + to;
    middle = b + from;
    last = b + int64_t(from) + count;
  }
  const size_t front = size_t(middle - first), back = size_t(last - middle);
  constexpr size_t kLocal = 1024;
  Bytes saved[kLocal];
  if (front <= back && front <= kLocal) {
    std::memcpy(saved, first, front);
    std::memmove(first, middle, back);
    std::memcpy(first + back, saved, front);
  } else if (back <= kLocal) {
    std::memcpy(saved, middle, back);
    std::memmove(first + back, first, front);
    std::memcpy(first, saved, back);
  } else {
    std::rotate(first, middle, last);
  }
  return to;
}

int MemMoveBlockN(void* buf, int from, int count, int to, int size) {
  if (size < 1) return (count == 0 && to <= size) ? 0 : -1;
  if (int64_t(from) + count > size || int64_t(to) + count > size) return -1;
  return MemMoveBlock(buf, from, count, to);
}
