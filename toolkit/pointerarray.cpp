// The pointer array: owning copies, edits and its searches and sorts.
#include "toolkit/pointerarray.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "toolkit/detail/array_store.h"

namespace as = array_store;

CPointerArray::CPointerArray(uint32_t ownsItems, uint32_t step) : mode(ownsItems), growStep(step) {}

CPointerArray::CPointerArray(CPointerArray&& other) noexcept { as::TakeFields(*this, other); }

CPointerArray& CPointerArray::operator=(CPointerArray&& other) noexcept {
  if (this != &other) {
    RemoveAll();
    as::TakeFields(*this, other);
  }
  return *this;
}

CPointerArray::~CPointerArray() { RemoveAll(); }

void* CPointerArray::Own(const void* item, uint32_t size) const {
  if (!mode || size == 0 || !item) return const_cast<void*>(item);
  void* copy = ::operator new(size);
  std::memcpy(copy, item, size);
  return copy;
}

void CPointerArray::Release(void* item) const {
  if (mode) ::operator delete(item);
}

void CPointerArray::Open(uint32_t index, uint32_t n, bool single) {
  void* arr = items;
  arr = as::OpenGap(arr, count, capacity, retired, sizeof(void*), index, n, growStep,
                    single ? as::Rule::kPointer : as::Rule::kBlock);
  items = static_cast<void**>(arr);
}

void CPointerArray::RemoveAll() {
  for (uint32_t i = 0; i < count; ++i) Release(items[i]);
  count = capacity = 0;
  void* arr = items;
  as::FreeArrays(arr, retired);
  items = nullptr;
}

bool CPointerArray::SetOwnership(uint32_t ownsItems, int step) {
  if (ownsItems && count != 0) return false;
  if (step >= 0) growStep = static_cast<uint32_t>(step);
  if (ownsItems) mode = ownsItems;
  return true;
}

uint32_t CPointerArray::InsertAt(const void* item, uint32_t index, uint32_t size) {
  if (index > count) index = count;
  void* stored = Own(item, size);  // copied before the array changes
  Open(index, 1, true);
  items[index] = stored;
  return index;
}

uint32_t CPointerArray::InsertArray(void* const* src, uint32_t index, int n) {
  if (index > count) index = count;
  if (n < 1 || !src) return index;
  size_t bytes = sizeof(void*) * static_cast<uint32_t>(n);
  as::StableCopy stable(src, bytes, items, sizeof(void*) * size_t{capacity});
  Open(index, static_cast<uint32_t>(n), false);
  std::memcpy(items + index, stable.get(), bytes);
  return index;
}

uint32_t CPointerArray::SetAt(const void* item, uint32_t index, uint32_t size) {
  if (index >= count) {
    // Taken over as it is, also by an owning array.
    uint32_t at = count;
    Open(at, 1, true);
    items[at] = const_cast<void*>(item);
    return at;
  }
  void* stored = Own(item, size);
  void* old = items[index];
  items[index] = stored;
  if (old != stored) Release(old);
  return index;
}

uint32_t CPointerArray::SetArray(void* const* src, uint32_t index, int n) {
  if (n < 1 || !src) return index < count ? index : count;
  if (index >= count) return InsertArray(src, index, n);
  uint32_t total = static_cast<uint32_t>(n);
  as::StableCopy stable(src, sizeof(void*) * size_t{total}, items, sizeof(void*) * size_t{capacity});
  void* const* from = static_cast<void* const*>(stable.get());
  uint32_t overwrite = std::min(total, count - index);
  std::vector<void*> old;
  if (mode) old.assign(items + index, items + index + overwrite);
  std::memcpy(items + index, from, sizeof(void*) * overwrite);
  if (overwrite < total) InsertArray(from + overwrite, count, static_cast<int>(total - overwrite));
  if (mode) {
    // A block that the new pointers still name stays.
    std::vector<void*> kept(from, from + total);
    std::sort(kept.begin(), kept.end());
    for (void* p : old) {
      if (!std::binary_search(kept.begin(), kept.end(), p)) Release(p);
    }
  }
  return index;
}

void* CPointerArray::Detach(uint32_t index) {
  if (index >= count) return nullptr;
  void* item = items[index];
  std::memmove(items + index, items + index + 1, sizeof(void*) * (count - index - 1));
  --count;
  return item;
}

int CPointerArray::RemoveRange(uint32_t from, uint32_t to) {
  if (to > count) to = count;
  if (from >= to) return 0;
  for (uint32_t i = from; i < to; ++i) Release(items[i]);
  void* arr = items;
  arr = as::CloseGap(arr, count, capacity, retired, sizeof(void*), from, to, growStep, 4);
  items = static_cast<void**>(arr);
  return static_cast<int>(to - from);
}

void* CPointerArray::GetItemCopy(uint32_t index, void* out, uint32_t size) const {
  if (index >= count || !out || !items[index]) return nullptr;
  std::memcpy(out, items[index], size);
  return items[index];
}

uint32_t CPointerArray::GetDwordAt(uint32_t index, uint32_t offset) const {
  uint32_t v = 0;
  if (index < count && items[index]) std::memcpy(&v, static_cast<char*>(items[index]) + offset, 4);
  return v;
}

uint64_t CPointerArray::GetQwordAt(uint32_t index, uint32_t offset) const {
  uint64_t v = 0;
  if (index < count && items[index]) std::memcpy(&v, static_cast<char*>(items[index]) + offset, 8);
  return v;
}

int CPointerArray::FindBytes(const void* key, uint32_t from, uint32_t to, int len,
                             uint32_t offset) const {
  return as::FindBytes(count, as::kUnknownSize, key, from, to, len, offset, as::SlotAt{items});
}

int CPointerArray::FindCallback(uintptr_t key, uint32_t from, uint32_t to,
                                int (*equal)(uintptr_t key, void* item)) const {
  return as::FindCallback(count, key, from, to, equal, as::SlotAt{items});
}

int CPointerArray::FindDwordAt(uint32_t value, uint32_t from, uint32_t to, uint32_t offset) const {
  return as::FindNumberAt(count, as::kUnknownSize, value, from, to, offset, as::SlotAt{items});
}

int CPointerArray::FindQwordAt(uint64_t value, uint32_t from, uint32_t to, uint32_t offset) const {
  return as::FindNumberAt(count, as::kUnknownSize, value, from, to, offset, as::SlotAt{items});
}

int CPointerArray::FindSortedDwordAt(uint32_t key, uint32_t from, uint32_t to, uint32_t offset,
                                     uint32_t flags) const {
  return as::FindSortedNumber<uint32_t, int32_t>(count, as::kUnknownSize, key, from, to, offset,
                                                 flags, as::SlotAt{items});
}

int CPointerArray::FindSortedQwordAt(uint64_t key, uint32_t from, uint32_t to, uint32_t offset,
                                     uint32_t flags) const {
  return as::FindSortedNumber<uint64_t, int64_t>(count, as::kUnknownSize, key, from, to, offset,
                                                 flags, as::SlotAt{items});
}

int CPointerArray::FindSortedBytes(const void* key, uint32_t from, uint32_t to, int len,
                                   uint32_t offset, uint32_t flags) const {
  return as::FindSortedBytes(count, as::kUnknownSize, key, from, to, len, offset, flags,
                             as::SlotAt{items});
}

int CPointerArray::FindSortedCallback(uintptr_t key, uint32_t from, uint32_t to, uint32_t flags,
                                      int (*compare)(uintptr_t key, void* item)) const {
  return as::FindSortedCallback(count, key, from, to, flags, compare, as::SlotAt{items});
}

void CPointerArray::Sort(int (*compare)(CPointerArray* array, int a, int b), int from, int to,
                         bool descending) {
  as::SortSlots(this, compare, from, to, descending);
}

void CPointerArray::SortBytes(uint32_t offset, int len, int from, int to, bool descending) {
  as::SortSlotBytes(items, count, offset, len, from, to, descending);
}

void CPointerArray::SortCallback(int (*compare)(uintptr_t ctx, void* a, void* b), uintptr_t ctx,
                                 uint32_t offset, int from, int to, bool descending) {
  as::SortSlotCallback(items, count, compare, ctx, offset, from, to, descending);
}
