// What the growable arrays share: growth and shrink arithmetic, the
// reallocation that keeps the previous array alive until the next one, and
// the linear and binary searches and sorts over entries seen as byte blocks.
#pragma once

#include <cstdint>
#include <cstring>
#include <new>

#include "toolkit/detail/sortsearch.h"

namespace array_store {

// Capacity after growing to hold count + n entries. singleRule applies to
// one-entry inserts when growStep is 0: kPointer (capacity * 3 + 3) / 2,
// kRecord capacity * 3 / 2; kBlock (capacity + n) * 3 / 2 otherwise. At
// least 16 with growStep 0; multiples of growStep otherwise.
enum class Rule { kBlock, kPointer, kRecord };
uint32_t GrownCapacity(uint32_t capacity, uint32_t count, uint32_t n, uint32_t growStep, Rule rule);

// Capacity after a removal left `count` entries, or `capacity` when it stays.
// factor is 4 for the pointer and record arrays, 2 for the inline array.
uint32_t ShrunkCapacity(uint32_t capacity, uint32_t count, uint32_t growStep, uint32_t factor);

// Moves the entries into a new array of newCapacity entries of elemBytes,
// leaving a gap of `gap` entries at index; the old array becomes the retired
// one (the one retired before it is freed). Returns the new array.
void* Reallocate(void* items, uint32_t count, size_t elemBytes, uint32_t newCapacity,
                 uint32_t index, uint32_t gap, void*& retired);

// Opens a gap of n entries at index (<= count), growing through Reallocate
// when needed; count grows by n. Returns the (maybe new) array.
void* OpenGap(void* items, uint32_t& count, uint32_t& capacity, void*& retired, size_t elemBytes,
              uint32_t index, uint32_t n, uint32_t growStep, Rule rule);

// Closes [from, to) and shrinks by the factor's rule. Returns the array.
void* CloseGap(void* items, uint32_t& count, uint32_t& capacity, void*& retired, size_t elemBytes,
               uint32_t from, uint32_t to, uint32_t growStep, uint32_t factor);

// Moves every field of one array object to another of its kind; the source
// is left empty with its settings kept.
template <class A>
void TakeFields(A& dst, A& src) {
  dst.count = src.count;
  dst.mode = src.mode;
  dst.growStep = src.growStep;
  dst.capacity = src.capacity;
  dst.items = src.items;
  dst.retired = src.retired;
  src.count = src.capacity = 0;
  src.items = nullptr;
  src.retired = nullptr;
}

// Frees the array and the retired one.
void FreeArrays(void*& items, void*& retired);

// True when [p, p + bytes) overlaps [base, base + size).
inline bool Overlaps(const void* p, size_t bytes, const void* base, size_t size) {
  auto a = reinterpret_cast<uintptr_t>(p), b = reinterpret_cast<uintptr_t>(base);
  return bytes && size && a < b + size && b < a + bytes;
}

// A heap copy of a source that lies in the container itself, so that a
// shift or reallocation cannot change what is read.
class StableCopy {
 public:
  StableCopy(const void* src, size_t bytes, const void* base, size_t size) : ptr_(src) {
    if (src && Overlaps(src, bytes, base, size)) {
      copy_ = ::operator new(bytes);
      std::memcpy(copy_, src, bytes);
      ptr_ = copy_;
    }
  }
  ~StableCopy() { ::operator delete(copy_); }
  StableCopy(const StableCopy&) = delete;
  StableCopy& operator=(const StableCopy&) = delete;
  const void* get() const { return ptr_; }

 private:
  const void* ptr_;
  void* copy_ = nullptr;
};

// ---- Searches over entries seen as byte blocks ----
// at(i) gives entry i's bytes (null for a null pointer entry); `size` is the
// entry size, or UINT32_MAX when unknown (pointer arrays).

constexpr uint32_t kUnknownSize = 0xFFFFFFFFu;

inline bool Fits(uint32_t size, uint64_t offset, uint64_t width) {
  return size == kUnknownSize || offset + width <= size;
}

// Linear range: from <= count, to lowered to count.
inline bool LinearRange(uint32_t count, uint32_t from, uint32_t to, uint32_t& end) {
  end = to < count ? to : count;
  return from < end;
}

template <class At, class Match>
int FindLinear(uint32_t count, uint32_t from, uint32_t to, At at, Match match) {
  uint32_t end;
  if (!LinearRange(count, from, to, end)) return -1;
  for (uint32_t i = from; i < end; ++i) {
    const uint8_t* p = at(i);
    if (p && match(p)) return static_cast<int>(i);
  }
  return -1;
}

template <class At>
int FindBytes(uint32_t count, uint32_t size, const void* key, uint32_t from, uint32_t to, int len,
              uint32_t offset, At at) {
  if (!key || len < 1 || !Fits(size, offset, static_cast<uint32_t>(len))) return -1;
  return FindLinear(count, from, to, at,
                    [&](const uint8_t* p) { return std::memcmp(p + offset, key, size_t(len)) == 0; });
}

template <class T, class At>
int FindNumberAt(uint32_t count, uint32_t size, T value, uint32_t from, uint32_t to, uint32_t offset,
                 At at) {
  if (!Fits(size, offset, sizeof(T))) return -1;
  return FindLinear(count, from, to, at, [&](const uint8_t* p) {
    T v;
    std::memcpy(&v, p + offset, sizeof(T));
    return v == value;
  });
}

template <class At>
int FindCallback(uint32_t count, uintptr_t key, uint32_t from, uint32_t to,
                 int (*equal)(uintptr_t key, void* item), At at) {
  if (!equal) return -1;
  uint32_t end;
  if (!LinearRange(count, from, to, end)) return -1;
  for (uint32_t i = from; i < end; ++i) {
    if (equal(key, const_cast<uint8_t*>(at(i))) == 0) return static_cast<int>(i);
  }
  return -1;
}

// Sorted searches: a null entry sorts before every key.
template <class U, class S, class At>
int FindSortedNumber(uint32_t count, uint32_t size, U key, uint32_t from, uint32_t to,
                     uint32_t offset, uint32_t flags, At at) {
  if (!Fits(size, offset, sizeof(U))) return -1;
  auto read = [&](uint32_t i, U& v) {
    const uint8_t* p = at(i);
    if (!p) return false;
    std::memcpy(&v, p + offset, sizeof(U));
    return true;
  };
  if (flags & FIND_UNSIGNED) {
    return sortsearch::FindSorted(count, from, to, flags, [&](uint32_t i) {
      U v;
      return read(i, v) ? sortsearch::Order(key, v) : 1;
    });
  }
  return sortsearch::FindSorted(count, from, to, flags, [&](uint32_t i) {
    U v;
    return read(i, v) ? sortsearch::Order(static_cast<S>(key), static_cast<S>(v)) : 1;
  });
}

template <class At>
int FindSortedBytes(uint32_t count, uint32_t size, const void* key, uint32_t from, uint32_t to,
                    int len, uint32_t offset, uint32_t flags, At at) {
  if (!key || len < 1 || !Fits(size, offset, static_cast<uint32_t>(len))) return -1;
  return sortsearch::FindSorted(count, from, to, flags, [&](uint32_t i) {
    const uint8_t* p = at(i);
    return p ? std::memcmp(key, p + offset, size_t(len)) : 1;
  });
}

template <class At>
int FindSortedCallback(uint32_t count, uintptr_t key, uint32_t from, uint32_t to, uint32_t flags,
                       int (*compare)(uintptr_t key, void* item), At at) {
  if (!compare) return -1;
  return sortsearch::FindSorted(count, from, to, flags, [&](uint32_t i) {
    return compare(key, const_cast<uint8_t*>(at(i)));
  });
}

// Entry i of an array of pointers.
struct SlotAt {
  void* const* items;
  const uint8_t* operator()(uint32_t i) const { return static_cast<const uint8_t*>(items[i]); }
};

// Sorts of arrays of pointers: through a comparison of positions, by len
// unsigned bytes at offset, or through a callback on the entries advanced by
// offset (a null entry stays null).
template <class Self>
void SortSlots(Self* self, int (*compare)(Self*, int, int), int from, int to, bool descending);
void SortSlotBytes(void** items, uint32_t count, uint32_t offset, int len, int from, int to,
                   bool descending);
void SortSlotCallback(void** items, uint32_t count, int (*compare)(uintptr_t ctx, void* a, void* b),
                      uintptr_t ctx, uint32_t offset, int from, int to, bool descending);

// Sort range [from, to) of a container: false when fewer than two entries.
inline bool SortRange(uint32_t count, int from, int to, uint32_t& lo, uint32_t& hi) {
  uint32_t first = from < 0 ? 0 : static_cast<uint32_t>(from);
  uint32_t end = static_cast<uint32_t>(to) < count ? static_cast<uint32_t>(to) : count;
  if (first >= end || end - first < 2) return false;
  lo = first;
  hi = end - 1;
  return true;
}

// Null entries sort first; otherwise len unsigned bytes at offset.
inline int CompareBytesAt(const uint8_t* a, const uint8_t* b, uint32_t offset, size_t len) {
  if (!a || !b) return (a != nullptr) - (b != nullptr);
  return std::memcmp(a + offset, b + offset, len);
}

inline void SwapSlots(void** items, uint32_t a, uint32_t b) {
  void* t = items[a];
  items[a] = items[b];
  items[b] = t;
}

template <class Self>
void SortSlots(Self* self, int (*compare)(Self*, int, int), int from, int to, bool descending) {
  uint32_t lo, hi;
  if (!compare || !SortRange(self->count, from, to, lo, hi)) return;
  void** items = self->items;
  sortsearch::SortDirected(
      lo, hi, descending,
      [self, compare](uint32_t a, uint32_t b) {
        return compare(self, static_cast<int>(a), static_cast<int>(b));
      },
      [items](uint32_t a, uint32_t b) { SwapSlots(items, a, b); });
}

}  // namespace array_store
