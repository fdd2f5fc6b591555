// CPointerArray: a growable array of pointers that can own copies of the
// blocks they point to (ownsItems: inserted blocks are copied, and freed by
// the array with the global delete operator).
//
// Growth by half (at least 16) or in multiples of growStep; the array shrinks
// after removals; the previous array is kept (`retired`) until the next
// reallocation. Move-only.
#pragma once

#include <cstdint>

#include "toolkit/textlist_flags.h"

class CPointerArray {
 public:
  explicit CPointerArray(uint32_t ownsItems = 0, uint32_t growStep = 0);
  CPointerArray(CPointerArray&& other) noexcept;
  CPointerArray& operator=(CPointerArray&& other) noexcept;
  CPointerArray(const CPointerArray&) = delete;
  CPointerArray& operator=(const CPointerArray&) = delete;
  ~CPointerArray();

  void RemoveAll();
  bool SetOwnership(uint32_t ownsItems, int growStep);

  uint32_t InsertAt(const void* item, uint32_t index, uint32_t size);
  uint32_t InsertArray(void* const* items, uint32_t index, int n);
  uint32_t SetAt(const void* item, uint32_t index, uint32_t size);
  uint32_t SetArray(void* const* items, uint32_t index, int n);
  void* Detach(uint32_t index);
  int RemoveRange(uint32_t from, uint32_t to);

  void* GetItemCopy(uint32_t index, void* out, uint32_t size) const;
  uint32_t GetDwordAt(uint32_t index, uint32_t offset) const;
  uint64_t GetQwordAt(uint32_t index, uint32_t offset) const;

  int FindBytes(const void* key, uint32_t from, uint32_t to, int len, uint32_t offset) const;
  int FindCallback(uintptr_t key, uint32_t from, uint32_t to,
                   int (*equal)(uintptr_t key, void* item)) const;
  int FindDwordAt(uint32_t value, uint32_t from, uint32_t to, uint32_t offset) const;
  int FindQwordAt(uint64_t value, uint32_t from, uint32_t to, uint32_t offset) const;
  int FindSortedDwordAt(uint32_t key, uint32_t from, uint32_t to, uint32_t offset,
                        uint32_t flags) const;
  int FindSortedQwordAt(uint64_t key, uint32_t from, uint32_t to, uint32_t offset,
                        uint32_t flags) const;
  int FindSortedBytes(const void* key, uint32_t from, uint32_t to, int len, uint32_t offset,
                      uint32_t flags) const;
  int FindSortedCallback(uintptr_t key, uint32_t from, uint32_t to, uint32_t flags,
                         int (*compare)(uintptr_t key, void* item)) const;

  void Sort(int (*compare)(CPointerArray* array, int a, int b), int from, int to, bool descending);
  void SortBytes(uint32_t offset, int len, int from, int to, bool descending);
  void SortCallback(int (*compare)(uintptr_t ctx, void* a, void* b), uintptr_t ctx, uint32_t offset,
                    int from, int to, bool descending);

  uint32_t count = 0;
  uint32_t mode = 0;  // ownsItems
  uint32_t growStep = 0;
  uint32_t capacity = 0;
  void** items = nullptr;
  void* retired = nullptr;

 private:
  void* Own(const void* item, uint32_t size) const;
  void Release(void* item) const;
  void Open(uint32_t index, uint32_t n, bool single);
};
