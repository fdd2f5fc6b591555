// Growth, shrink and reallocation shared by the growable arrays.
#include "toolkit/detail/array_store.h"

namespace array_store {

namespace {

uint32_t CheckedCapacity(uint64_t cap) {
  if (cap > 0xFFFFFFFFull) throw std::bad_alloc();
  return static_cast<uint32_t>(cap);
}

}  // namespace

uint32_t GrownCapacity(uint32_t capacity, uint32_t count, uint32_t n, uint32_t growStep, Rule rule) {
  const uint64_t need = uint64_t{count} + n;
  uint64_t cap;
  if (growStep == 0) {
    if (n == 1 && rule == Rule::kPointer) {
      cap = (uint64_t{capacity} * 3 + 3) / 2;
    } else if (n == 1 && rule == Rule::kRecord) {
      cap = uint64_t{capacity} * 3 / 2;
    } else {
      cap = (uint64_t{capacity} + n) * 3 / 2;
    }
    if (cap < 16) cap = 16;
  } else {
    cap = ((uint64_t{capacity} + n) / growStep + 1) * growStep;
  }
  if (cap < need) cap = need;
  return CheckedCapacity(cap);
}

uint32_t ShrunkCapacity(uint32_t capacity, uint32_t count, uint32_t growStep, uint32_t factor) {
  if (count == 0) return 0;
  if (growStep == 0) {
    if (uint64_t{count} * factor <= capacity) return static_cast<uint32_t>(uint64_t{count} * 3 / 2);
  } else if (uint64_t{count} + uint64_t{factor} * growStep <= capacity) {
    return count + growStep;
  }
  return capacity;
}

void* Reallocate(void* items, uint32_t count, size_t elemBytes, uint32_t newCapacity,
                 uint32_t index, uint32_t gap, void*& retired) {
  char* grown = newCapacity ? static_cast<char*>(::operator new(size_t{newCapacity} * elemBytes))
                            : nullptr;
  const char* old = static_cast<const char*>(items);
  if (index > count) index = count;
  if (grown && old) {
    std::memcpy(grown, old, index * elemBytes);
    std::memcpy(grown + (size_t{index} + gap) * elemBytes, old + size_t{index} * elemBytes,
                (count - index) * elemBytes);
  }
  // The previous array stays readable until the next reallocation.
  ::operator delete(retired);
  retired = items;
  return grown;
}

void* OpenGap(void* items, uint32_t& count, uint32_t& capacity, void*& retired, size_t elemBytes,
              uint32_t index, uint32_t n, uint32_t growStep, Rule rule) {
  if (index > count) index = count;
  if (uint64_t{count} + n > capacity) {
    uint32_t cap = GrownCapacity(capacity, count, n, growStep, rule);
    items = Reallocate(items, count, elemBytes, cap, index, n, retired);
    capacity = cap;
  } else if (index < count) {
    char* p = static_cast<char*>(items);
    std::memmove(p + (size_t{index} + n) * elemBytes, p + size_t{index} * elemBytes,
                 (count - index) * elemBytes);
  }
  count += n;
  return items;
}

void* CloseGap(void* items, uint32_t& count, uint32_t& capacity, void*& retired, size_t elemBytes,
               uint32_t from, uint32_t to, uint32_t growStep, uint32_t factor) {
  char* p = static_cast<char*>(items);
  if (to < count) {
    std::memmove(p + size_t{from} * elemBytes, p + size_t{to} * elemBytes, (count - to) * elemBytes);
  }
  count -= to - from;
  uint32_t cap = ShrunkCapacity(capacity, count, growStep, factor);
  if (cap != capacity) {
    items = Reallocate(items, count, elemBytes, cap, count, 0, retired);
    capacity = cap;
  }
  return items;
}

void FreeArrays(void*& items, void*& retired) {
  ::operator delete(items);
  ::operator delete(retired);
  items = retired = nullptr;
}

void SortSlotBytes(void** items, uint32_t count, uint32_t offset, int len, int from, int to,
                   bool descending) {
  uint32_t lo, hi;
  if (len < 1 || !SortRange(count, from, to, lo, hi)) return;
  sortsearch::SortDirected(
      lo, hi, descending,
      [items, offset, len](uint32_t a, uint32_t b) {
        return CompareBytesAt(static_cast<const uint8_t*>(items[a]),
                              static_cast<const uint8_t*>(items[b]), offset, size_t(len));
      },
      [items](uint32_t a, uint32_t b) { SwapSlots(items, a, b); });
}

void SortSlotCallback(void** items, uint32_t count, int (*compare)(uintptr_t ctx, void* a, void* b),
                      uintptr_t ctx, uint32_t offset, int from, int to, bool descending) {
  uint32_t lo, hi;
  if (!compare || !SortRange(count, from, to, lo, hi)) return;
  auto at = [items, offset](uint32_t i) -> void* {
    return items[i] ? static_cast<char*>(items[i]) + offset : nullptr;
  };
  sortsearch::SortDirected(
      lo, hi, descending, [=](uint32_t a, uint32_t b) { return compare(ctx, at(a), at(b)); },
      [items](uint32_t a, uint32_t b) { SwapSlots(items, a, b); });
}

}  // namespace array_store
