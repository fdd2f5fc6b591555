// The record array: one owned heap block per record.
#include "toolkit/recordarray.h"

#include <cstring>
#include <utility>

#include "toolkit/detail/array_store.h"

namespace as = array_store;

CRecordArray::CRecordArray(uint32_t recordSize, uint32_t step) : mode(recordSize), growStep(step) {}

CRecordArray::CRecordArray(CRecordArray&& other) noexcept { as::TakeFields(*this, other); }

CRecordArray& CRecordArray::operator=(CRecordArray&& other) noexcept {
  if (this != &other) {
    RemoveAll();
    as::TakeFields(*this, other);
  }
  return *this;
}

CRecordArray::~CRecordArray() { RemoveAll(); }

void CRecordArray::RemoveAll() {
  for (uint32_t i = 0; i < count; ++i) ::operator delete(items[i]);
  count = capacity = 0;
  void* arr = items;
  as::FreeArrays(arr, retired);
  items = nullptr;
}

bool CRecordArray::SetRecordSize(uint32_t recordSize, int step) {
  if (count != 0) return false;
  if (recordSize) mode = recordSize;
  if (step >= 0) growStep = static_cast<uint32_t>(step);
  return true;
}

// A record block holding a copy of src, or zeros.
void* CRecordArray::NewRecord(const void* src) const {
  void* p = ::operator new(mode ? mode : 1);
  if (src) {
    std::memcpy(p, src, mode);
  } else {
    std::memset(p, 0, mode ? mode : 1);
  }
  return p;
}

void CRecordArray::Open(uint32_t index, uint32_t n, bool single) {
  void* arr = items;
  items = static_cast<void**>(as::OpenGap(arr, count, capacity, retired, sizeof(void*), index, n,
                                          growStep, single ? as::Rule::kRecord : as::Rule::kBlock));
}

uint32_t CRecordArray::InsertAt(const void* records, uint32_t index, int n) {
  if (index > count) index = count;
  if (n < 1 || !records) return index;
  uint32_t total = static_cast<uint32_t>(n);
  // The blocks are made first: the source may be one of the records.
  void** made = static_cast<void**>(::operator new(sizeof(void*) * total));
  for (uint32_t k = 0; k < total; ++k) {
    made[k] = NewRecord(static_cast<const uint8_t*>(records) + size_t{k} * mode);
  }
  Open(index, total, false);
  std::memcpy(items + index, made, sizeof(void*) * total);
  ::operator delete(made);
  return index;
}

uint32_t CRecordArray::InsertPointers(void* const* records, uint32_t index, int n) {
  if (index > count) index = count;
  if (n < 1 || !records) return index;
  uint32_t total = static_cast<uint32_t>(n);
  void** made = static_cast<void**>(::operator new(sizeof(void*) * total));
  for (uint32_t k = 0; k < total; ++k) made[k] = NewRecord(records[k]);
  Open(index, total, false);
  std::memcpy(items + index, made, sizeof(void*) * total);
  ::operator delete(made);
  return index;
}

void* CRecordArray::InsertNew(uint32_t index, uint32_t* outIndex) {
  if (index > count) index = count;
  void* record = NewRecord(nullptr);
  Open(index, 1, true);
  items[index] = record;
  if (outIndex) *outIndex = index;
  return record;
}

uint32_t CRecordArray::AttachAt(void* record, uint32_t index) {
  if (index > count) index = count;
  if (!record) record = NewRecord(nullptr);
  Open(index, 1, true);
  items[index] = record;
  return index;
}

void* CRecordArray::ReplacePointer(void* record, uint32_t index) {
  if (index >= count) {
    AttachAt(record, index);
    return nullptr;
  }
  if (!record) return nullptr;
  void* old = items[index];
  items[index] = record;
  return old;
}

template <class Source>
uint32_t CRecordArray::Overwrite(uint32_t index, uint32_t n, Source source) {
  if (index > count) index = count;
  uint32_t overwrite = count - index < n ? count - index : n;
  for (uint32_t k = 0; k < overwrite; ++k) {
    const void* src = source(k);
    if (src) {
      std::memmove(items[index + k], src, mode);
    } else {
      std::memset(items[index + k], 0, mode);
    }
  }
  if (overwrite < n) {
    uint32_t rest = n - overwrite;
    void** made = static_cast<void**>(::operator new(sizeof(void*) * rest));
    for (uint32_t k = 0; k < rest; ++k) made[k] = NewRecord(source(overwrite + k));
    uint32_t at = count;
    Open(at, rest, rest == 1);
    std::memcpy(items + at, made, sizeof(void*) * rest);
    ::operator delete(made);
  }
  return index;
}

uint32_t CRecordArray::SetAt(const void* records, uint32_t index, int n) {
  if (n < 1 || !records) return index < count ? index : count;
  // A source inside one of the records is one record long, and memmove
  // copies it over itself correctly.
  const uint8_t* base = static_cast<const uint8_t*>(records);
  uint32_t size = mode;
  return Overwrite(index, static_cast<uint32_t>(n),
                   [=](uint32_t k) { return static_cast<const void*>(base + size_t{k} * size); });
}

uint32_t CRecordArray::SetPointers(void* const* records, uint32_t index, int n) {
  if (n < 1 || !records) return index < count ? index : count;
  uint32_t total = static_cast<uint32_t>(n);
  // Gather the sources first: a pointer may name a record this call overwrites.
  as::StableCopy stable(records, sizeof(void*) * total, items, sizeof(void*) * size_t{capacity});
  uint8_t* gathered = static_cast<uint8_t*>(::operator new(size_t{mode} * total + 1));
  void* const* ptrs = static_cast<void* const*>(stable.get());
  for (uint32_t k = 0; k < total; ++k) {
    if (ptrs[k]) {
      std::memcpy(gathered + size_t{k} * mode, ptrs[k], mode);
    } else {
      std::memset(gathered + size_t{k} * mode, 0, mode);
    }
  }
  uint32_t size = mode;
  uint32_t r = Overwrite(index, total, [=](uint32_t k) {
    return static_cast<const void*>(gathered + size_t{k} * size);
  });
  ::operator delete(gathered);
  return r;
}

int CRecordArray::RemoveRange(uint32_t from, uint32_t to) {
  if (to > count) to = count;
  if (from >= to) return 0;
  for (uint32_t i = from; i < to; ++i) ::operator delete(items[i]);
  void* arr = items;
  items = static_cast<void**>(
      as::CloseGap(arr, count, capacity, retired, sizeof(void*), from, to, growStep, 4));
  return static_cast<int>(to - from);
}

bool CRecordArray::RemoveAt(uint32_t index) {
  if (index >= count) return false;
  return RemoveRange(index, index + 1) == 1;
}

void* CRecordArray::GetAt(uint32_t index, void* out) const {
  if (index >= count || !out) return nullptr;
  std::memcpy(out, items[index], mode);
  return items[index];
}

uint32_t CRecordArray::GetDwordAt(uint32_t index, uint32_t offset) const {
  uint32_t v = 0;
  if (index < count && uint64_t{offset} + 4 <= mode) {
    std::memcpy(&v, static_cast<const uint8_t*>(items[index]) + offset, 4);
  }
  return v;
}

uint64_t CRecordArray::GetQwordAt(uint32_t index, uint32_t offset) const {
  uint64_t v = 0;
  if (index < count && uint64_t{offset} + 8 <= mode) {
    std::memcpy(&v, static_cast<const uint8_t*>(items[index]) + offset, 8);
  }
  return v;
}

int CRecordArray::FindBytes(const void* key, uint32_t from, uint32_t to, int len,
                            uint32_t offset) const {
  return as::FindBytes(count, mode, key, from, to, len, offset, as::SlotAt{items});
}

int CRecordArray::FindCallback(uintptr_t key, uint32_t from, uint32_t to,
                               int (*equal)(uintptr_t key, void* record)) const {
  return as::FindCallback(count, key, from, to, equal, as::SlotAt{items});
}

int CRecordArray::FindDwordAt(uint32_t value, uint32_t from, uint32_t to, uint32_t offset) const {
  return as::FindNumberAt(count, mode, value, from, to, offset, as::SlotAt{items});
}

int CRecordArray::FindQwordAt(uint64_t value, uint32_t from, uint32_t to, uint32_t offset) const {
  return as::FindNumberAt(count, mode, value, from, to, offset, as::SlotAt{items});
}

int CRecordArray::FindSortedDword(uint32_t key, uint32_t from, uint32_t to, uint32_t offset,
                                  uint32_t flags) const {
  return as::FindSortedNumber<uint32_t, int32_t>(count, mode, key, from, to, offset, flags,
                                                 as::SlotAt{items});
}

int CRecordArray::FindSortedQwordAt(uint64_t key, uint32_t from, uint32_t to, uint32_t offset,
                                    uint32_t flags) const {
  return as::FindSortedNumber<uint64_t, int64_t>(count, mode, key, from, to, offset, flags,
                                                 as::SlotAt{items});
}

int CRecordArray::FindSortedBytes(const void* key, uint32_t from, uint32_t to, int keyLen,
                                  uint32_t offset, uint32_t flags) const {
  if (keyLen < 1) keyLen = offset < mode ? static_cast<int>(mode - offset) : 0;
  return as::FindSortedBytes(count, mode, key, from, to, keyLen, offset, flags, as::SlotAt{items});
}

int CRecordArray::FindSortedCallback(uintptr_t key, uint32_t from, uint32_t to, uint32_t flags,
                                     int (*compare)(uintptr_t key, void* record)) const {
  return as::FindSortedCallback(count, key, from, to, flags, compare, as::SlotAt{items});
}

void CRecordArray::Sort(int (*compare)(CRecordArray* array, int a, int b), int from, int to,
                        bool descending) {
  as::SortSlots(this, compare, from, to, descending);
}

void CRecordArray::SortBytes(uint32_t offset, int len, int from, int to, bool descending) {
  // A key beyond the record sorts nothing.
  if (len < 1 || uint64_t{offset} + static_cast<uint32_t>(len) > mode) return;
  as::SortSlotBytes(items, count, offset, len, from, to, descending);
}

void CRecordArray::SortCallback(int (*compare)(uintptr_t ctx, void* a, void* b), uintptr_t ctx,
                                uint32_t offset, int from, int to, bool descending) {
  as::SortSlotCallback(items, count, compare, ctx, offset, from, to, descending);
}
