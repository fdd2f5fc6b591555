// CRecordArray: fixed-size records, each in its own heap block, held by an
// array of pointers that owns them. Growth, shrink and the kept previous
// array (`retired`) as in CPointerArray. Record sources may lie in the
// array's own records. Move-only.
#pragma once

#include <cstdint>

#include "toolkit/textlist_flags.h"

class CRecordArray {
 public:
  explicit CRecordArray(uint32_t recordSize = 0, uint32_t growStep = 0);
  CRecordArray(CRecordArray&& other) noexcept;
  CRecordArray& operator=(CRecordArray&& other) noexcept;
  CRecordArray(const CRecordArray&) = delete;
  CRecordArray& operator=(const CRecordArray&) = delete;
  ~CRecordArray();

  void RemoveAll();
  // recordSize 0 keeps the size; growStep >= 0 sets the step. Refused while
  // records exist.
  bool SetRecordSize(uint32_t recordSize, int growStep);

  uint32_t InsertAt(const void* records, uint32_t index, int n);
  uint32_t InsertPointers(void* const* records, uint32_t index, int n);
  void* InsertNew(uint32_t index, uint32_t* outIndex);
  uint32_t AttachAt(void* record, uint32_t index);
  void* ReplacePointer(void* record, uint32_t index);
  uint32_t SetAt(const void* records, uint32_t index, int n);
  uint32_t SetPointers(void* const* records, uint32_t index, int n);
  int RemoveRange(uint32_t from, uint32_t to);
  bool RemoveAt(uint32_t index);

  void* GetAt(uint32_t index, void* out) const;
  uint32_t GetDwordAt(uint32_t index, uint32_t offset) const;
  uint64_t GetQwordAt(uint32_t index, uint32_t offset) const;

  int FindBytes(const void* key, uint32_t from, uint32_t to, int len, uint32_t offset) const;
  int FindCallback(uintptr_t key, uint32_t from, uint32_t to,
                   int (*equal)(uintptr_t key, void* record)) const;
  int FindDwordAt(uint32_t value, uint32_t from, uint32_t to, uint32_t offset) const;
  int FindQwordAt(uint64_t value, uint32_t from, uint32_t to, uint32_t offset) const;
  int FindSortedDword(uint32_t key, uint32_t from, uint32_t to, uint32_t offset,
                      uint32_t flags) const;
  int FindSortedQwordAt(uint64_t key, uint32_t from, uint32_t to, uint32_t offset,
                        uint32_t flags) const;
  // keyLen < 1 compares to the record's end.
  int FindSortedBytes(const void* key, uint32_t from, uint32_t to, int keyLen, uint32_t offset,
                      uint32_t flags) const;
  int FindSortedCallback(uintptr_t key, uint32_t from, uint32_t to, uint32_t flags,
                         int (*compare)(uintptr_t key, void* record)) const;

  void Sort(int (*compare)(CRecordArray* array, int a, int b), int from, int to, bool descending);
  void SortBytes(uint32_t offset, int len, int from, int to, bool descending);
  void SortCallback(int (*compare)(uintptr_t ctx, void* a, void* b), uintptr_t ctx, uint32_t offset,
                    int from, int to, bool descending);

  uint32_t count = 0;
  uint32_t mode = 0;  // recordSize
  uint32_t growStep = 0;
  uint32_t capacity = 0;
  void** items = nullptr;
  void* retired = nullptr;

 private:
  void* NewRecord(const void* src) const;
  void Open(uint32_t index, uint32_t n, bool single);
  template <class Source>
  uint32_t Overwrite(uint32_t index, uint32_t n, Source source);
};
