// CInlineArray: fixed-size elements stored one after another in one growable
// block. Growth by half (at least 16) or in multiples of growStep; shrinks
// after removals; the previous block is kept (`retired`) until the next
// reallocation. Element sources may lie in the array itself. Move-only.
#pragma once

#include <cstddef>
#include <cstdint>

#include "toolkit/textlist_flags.h"

class CInlineArray {
 public:
  explicit CInlineArray(uint32_t elementSize = 0, uint32_t growStep = 0);
  CInlineArray(CInlineArray&& other) noexcept;
  CInlineArray& operator=(CInlineArray&& other) noexcept;
  CInlineArray(const CInlineArray&) = delete;
  CInlineArray& operator=(const CInlineArray&) = delete;
  ~CInlineArray();

  void RemoveAll();
  // elementSize 0 keeps the size; growStep >= 0 sets the step. Refused while
  // elements exist.
  bool SetElementSize(uint32_t elementSize, int growStep);

  // Each returns the index of the first element written.
  uint32_t InsertAt(const void* elements, uint32_t index, int n);
  uint32_t InsertPointers(void* const* elements, uint32_t index, int n);
  void* InsertNew(uint32_t index, int n, uint32_t* outIndex);
  uint32_t SetAt(const void* elements, uint32_t index, int n);
  int RemoveRange(uint32_t from, uint32_t to);
  void* GetAt(uint32_t index, void* out) const;
  uint32_t GetDwordAt(uint32_t index, uint32_t offset) const;

  int FindBytes(const void* key, uint32_t from, uint32_t to, int len, uint32_t offset) const;
  int FindCallback(uintptr_t key, uint32_t from, uint32_t to,
                   int (*equal)(uintptr_t key, void* element)) const;
  int FindDwordAt(uint32_t value, uint32_t from, uint32_t to, uint32_t offset) const;
  int FindQwordAt(uint64_t value, uint32_t from, uint32_t to, uint32_t offset) const;
  int FindSortedDwordAt(uint32_t key, uint32_t from, uint32_t to, uint32_t offset,
                        uint32_t flags) const;
  int FindSortedQwordAt(uint64_t key, uint32_t from, uint32_t to, uint32_t offset,
                        uint32_t flags) const;
  // len < 1 compares to the element's end.
  int FindSortedBytes(const void* key, uint32_t from, uint32_t to, int len, uint32_t offset,
                      uint32_t flags) const;
  int FindSortedCallback(uintptr_t key, uint32_t from, uint32_t to, uint32_t flags,
                         int (*compare)(uintptr_t key, void* element)) const;
  void SortCallback(int (*compare)(uintptr_t ctx, void* a, void* b), uintptr_t ctx, uint32_t offset,
                    int from, int to, bool descending);

  uint8_t* ElementAt(uint32_t index) const { return items + std::size_t{index} * mode; }

  uint32_t count = 0;
  uint32_t mode = 0;  // elementSize
  uint32_t growStep = 0;
  uint32_t capacity = 0;
  uint8_t* items = nullptr;
  void* retired = nullptr;

 private:
  uint8_t* Open(uint32_t index, uint32_t n);
};
