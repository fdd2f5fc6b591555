// The inline array: elements copied into one block.
#include "toolkit/arrays_inline.h"

#include <cstring>
#include <utility>

#include "toolkit/detail/array_store.h"

namespace as = array_store;

namespace {

struct ElementAtFn {
  const CInlineArray* a;
  const uint8_t* operator()(uint32_t i) const { return a->ElementAt(i); }
};

}  // namespace

CInlineArray::CInlineArray(uint32_t elementSize, uint32_t step) : mode(elementSize), growStep(step) {}

CInlineArray::CInlineArray(CInlineArray&& other) noexcept { as::TakeFields(*this, other); }

CInlineArray& CInlineArray::operator=(CInlineArray&& other) noexcept {
  if (this != &other) {
    RemoveAll();
    as::TakeFields(*this, other);
  }
  return *this;
}

CInlineArray::~CInlineArray() { RemoveAll(); }

void CInlineArray::RemoveAll() {
  count = capacity = 0;
  void* arr = items;
  as::FreeArrays(arr, retired);
  items = nullptr;
}

bool CInlineArray::SetElementSize(uint32_t elementSize, int step) {
  if (count != 0) return false;
  if (elementSize) mode = elementSize;
  if (step >= 0) growStep = static_cast<uint32_t>(step);
  return true;
}

uint8_t* CInlineArray::Open(uint32_t index, uint32_t n) {
  void* arr = items;
  items = static_cast<uint8_t*>(
      as::OpenGap(arr, count, capacity, retired, mode, index, n, growStep, as::Rule::kBlock));
  return ElementAt(index);
}

uint32_t CInlineArray::InsertAt(const void* elements, uint32_t index, int n) {
  if (index > count) index = count;
  if (n < 1 || !elements) return index;
  size_t bytes = size_t{mode} * static_cast<uint32_t>(n);
  as::StableCopy stable(elements, bytes, items, size_t{capacity} * mode);
  if (bytes) std::memcpy(Open(index, static_cast<uint32_t>(n)), stable.get(), bytes);
  else Open(index, static_cast<uint32_t>(n));
  return index;
}

uint32_t CInlineArray::InsertPointers(void* const* elements, uint32_t index, int n) {
  if (index > count) index = count;
  if (n < 1 || !elements) return index;
  uint32_t total = static_cast<uint32_t>(n);
  // Gather first: the pointers may name elements of this array.
  uint8_t* gathered = static_cast<uint8_t*>(::operator new(size_t{mode} * total + 1));
  for (uint32_t k = 0; k < total; ++k) {
    uint8_t* dst = gathered + size_t{k} * mode;
    if (elements[k]) {
      std::memcpy(dst, elements[k], mode);
    } else {
      std::memset(dst, 0, mode);
    }
  }
  uint8_t* dst = Open(index, total);
  if (mode) std::memcpy(dst, gathered, size_t{mode} * total);
  ::operator delete(gathered);
  return index;
}

void* CInlineArray::InsertNew(uint32_t index, int n, uint32_t* outIndex) {
  if (n < 1) return nullptr;
  if (index > count) index = count;
  uint8_t* p = Open(index, static_cast<uint32_t>(n));
  if (mode) std::memset(p, 0, size_t{mode} * static_cast<uint32_t>(n));
  if (outIndex) *outIndex = index;
  return p;
}

uint32_t CInlineArray::SetAt(const void* elements, uint32_t index, int n) {
  if (index >= count) return InsertAt(elements, index, n);
  if (n < 1 || !elements) return index;
  uint32_t total = static_cast<uint32_t>(n);
  as::StableCopy stable(elements, size_t{mode} * total, items, size_t{capacity} * mode);
  const uint8_t* src = static_cast<const uint8_t*>(stable.get());
  uint32_t overwrite = count - index < total ? count - index : total;
  if (mode) std::memcpy(ElementAt(index), src, size_t{mode} * overwrite);
  if (overwrite < total) {
    InsertAt(src + size_t{mode} * overwrite, count, static_cast<int>(total - overwrite));
  }
  return index;
}

int CInlineArray::RemoveRange(uint32_t from, uint32_t to) {
  if (to > count) to = count;
  if (from >= to) return 0;
  void* arr = items;
  items = static_cast<uint8_t*>(
      as::CloseGap(arr, count, capacity, retired, mode, from, to, growStep, 2));
  return static_cast<int>(to - from);
}

void* CInlineArray::GetAt(uint32_t index, void* out) const {
  if (index >= count || !out) return nullptr;
  if (mode) std::memcpy(out, ElementAt(index), mode);
  return ElementAt(index);
}

uint32_t CInlineArray::GetDwordAt(uint32_t index, uint32_t offset) const {
  uint32_t v = 0;
  if (index < count && uint64_t{offset} + 4 <= mode) std::memcpy(&v, ElementAt(index) + offset, 4);
  return v;
}

int CInlineArray::FindBytes(const void* key, uint32_t from, uint32_t to, int len,
                            uint32_t offset) const {
  return as::FindBytes(count, mode, key, from, to, len, offset, ElementAtFn{this});
}

int CInlineArray::FindCallback(uintptr_t key, uint32_t from, uint32_t to,
                               int (*equal)(uintptr_t key, void* element)) const {
  return as::FindCallback(count, key, from, to, equal, ElementAtFn{this});
}

int CInlineArray::FindDwordAt(uint32_t value, uint32_t from, uint32_t to, uint32_t offset) const {
  return as::FindNumberAt(count, mode, value, from, to, offset, ElementAtFn{this});
}

int CInlineArray::FindQwordAt(uint64_t value, uint32_t from, uint32_t to, uint32_t offset) const {
  return as::FindNumberAt(count, mode, value, from, to, offset, ElementAtFn{this});
}

int CInlineArray::FindSortedDwordAt(uint32_t key, uint32_t from, uint32_t to, uint32_t offset,
                                    uint32_t flags) const {
  return as::FindSortedNumber<uint32_t, int32_t>(count, mode, key, from, to, offset, flags,
                                                 ElementAtFn{this});
}

int CInlineArray::FindSortedQwordAt(uint64_t key, uint32_t from, uint32_t to, uint32_t offset,
                                    uint32_t flags) const {
  return as::FindSortedNumber<uint64_t, int64_t>(count, mode, key, from, to, offset, flags,
                                                 ElementAtFn{this});
}

int CInlineArray::FindSortedBytes(const void* key, uint32_t from, uint32_t to, int len,
                                  uint32_t offset, uint32_t flags) const {
  if (len < 1) len = offset < mode ? static_cast<int>(mode - offset) : 0;
  return as::FindSortedBytes(count, mode, key, from, to, len, offset, flags, ElementAtFn{this});
}

int CInlineArray::FindSortedCallback(uintptr_t key, uint32_t from, uint32_t to, uint32_t flags,
                                     int (*compare)(uintptr_t key, void* element)) const {
  return as::FindSortedCallback(count, key, from, to, flags, compare, ElementAtFn{this});
}

void CInlineArray::SortCallback(int (*compare)(uintptr_t ctx, void* a, void* b), uintptr_t ctx,
                                uint32_t offset, int from, int to, bool descending) {
  uint32_t lo, hi;
  if (!compare || !as::SortRange(count, from, to, lo, hi)) return;
  const uint32_t size = mode;
  uint8_t* base = items;
  sortsearch::SortDirected(
      lo, hi, descending,
      [=](uint32_t a, uint32_t b) {
        return compare(ctx, base + size_t{a} * size + offset, base + size_t{b} * size + offset);
      },
      [=](uint32_t a, uint32_t b) {
        uint8_t* x = base + size_t{a} * size;
        uint8_t* y = base + size_t{b} * size;
        uint8_t tmp[64];
        for (uint32_t done = 0; done < size;) {
          uint32_t n = size - done < sizeof tmp ? size - done : static_cast<uint32_t>(sizeof tmp);
          std::memcpy(tmp, x + done, n);
          std::memcpy(x + done, y + done, n);
          std::memcpy(y + done, tmp, n);
          done += n;
        }
      });
}
