// CTextList: an ordered list of counted texts (NUL bytes allowed), each with a
// fixed-size block of caller data beside it. It serves as a plain string
// list, a text-to-number map, a list of records keyed by text, a sorted list
// found by binary search, and a list of recent items.
//
// Each item is one heap block [u32 length][itemDataSize bytes of data]
// [text][NUL]; items[i] points at the data, the text starts itemDataSize
// bytes behind it. Every text comparison covers the stored length, NULs
// included; the case-blind ones fold like StrCompareNoCaseN.
//
// Indexes of the inserts are unsigned (-1, or any index >= count, appends);
// ranges are half-open, `from` raised to 0, `to` taken as unsigned and lowered
// to count (so -1 is the end). Text from the list's own items may be passed
// to every insert and replacement.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "platform/cstring.h"
#include "toolkit/textlist_flags.h"

// Find modes of Find, FindWithDword and FindWithQword; any other value
// compares case-blind over the whole text.
constexpr uint32_t TEXTLIST_FIND_EXACT = 0;
// Case-blind, but the first 4 or 8 bytes only with bit 5 ignored.
constexpr uint32_t TEXTLIST_FIND_FASTNOCASE = 0x12345678;

// The formatted inserts' output: starts on the caller's buffer and moves to
// the heap (owned) when that is full.
struct TextListFormatState {
  char* buffer;
  int capacity;
  int used;
  bool owned;
};
// FormatOutputFunc that appends n bytes to a TextListFormatState.
int TextListFormatSink(void* state, const char* data, int n);

class CTextList {
 public:
  using CompareFunc = int (*)(CTextList* list, int a, int b);

  explicit CTextList(uint32_t itemDataSize = 0);
  CTextList(const CTextList& other);
  CTextList& operator=(const CTextList& other);
  ~CTextList();

  // -1 reads the size; otherwise sets it while the list is empty.
  int SetItemDataSize(int size);

  // Inserting; the result is the index used.
  int InsertString(const char* text, int index, const void* data);
  int Insert(int len, const char* text, int index, const void* data);
  int InsertList(const CTextList& src, int index, int from, int to);
  int InsertDetached(void* item, int index);
  int Split(char sep, const char* text, int index, const void* data);
  int SplitN(char sep, int len, const char* text, int index, const void* data);

  // Replacing.
  int SetAtString(const char* text, int index, const void* data);
  int SetAt(int len, const char* text, int index, const void* data);
  int AppendToItem(const char* text, int index, const void* data);
  int AppendToItemN(int len, const char* text, int index, const void* data);

  // Removing.
  bool RemoveAt(uint32_t index);
  int RemoveRange(int from, int to);
  int RemoveAll();
  void* DetachAt(uint32_t index);
  static void FreeDetached(void* item);
  int PopLastAlloc(char** out, void* data);
  int PopLast(int size, char* buf, void* data);
  int PopFirstAlloc(char** out, void* data);
  int PopFirst(int size, char* buf, void* data);

  // Reading and small edits.
  int GetText(uint32_t index, char* buf, int size) const;
  int GetTextAlloc(uint32_t index, char** out) const;
  void* GetItemData(uint32_t index, void* out) const;
  void* SetItemData(uint32_t index, const void* data);
  uint16_t SetItemWord(uint32_t index, uint16_t value);
  uint32_t SetItemDword(uint32_t index, uint32_t value);
  uint64_t SetItemQword(uint32_t index, uint64_t value);
  uint16_t SetItemWord(uint32_t index, uint16_t value, uint32_t slot);
  uint32_t SetItemDword(uint32_t index, uint32_t value, uint32_t slot);
  uint64_t SetItemQword(uint32_t index, uint64_t value, uint32_t slot);
  void Swap(uint32_t a, uint32_t b);
  int Move(int from, int to);

  // Linear searches; first match wins.
  int Find(int len, const char* text, int from, int to, uint32_t mode) const;
  int FindWithDword(uint32_t key, int len, const char* text, int from, int to, uint32_t mode) const;
  int FindWithQword(uint64_t key, int len, const char* text, int from, int to, uint32_t mode) const;
  int FindDword(uint32_t value, int from, int to) const;
  int FindQword(uint64_t value, int from, int to) const;
  int FindDwordAt(uint32_t value, uint32_t offset, int from, int to) const;
  int FindQwordAt(uint64_t value, uint32_t offset, int from, int to) const;

  // Joining; the caller frees *out with delete[].
  uint32_t GetMultiString(int from, int to, char** out) const;
  int Join(int from, int to, char** out, char sep) const;
  int JoinToString(int from, int to, CString& out, char sep) const;
  int JoinLines(int from, int to, char** out, int maxSize, int perLine) const;

  // In-place edits of the texts in [from, to).
  void MakeLower(int from, int to);
  void MakeUpper(int from, int to);
  void TrimLeft(int from, int to);
  void TrimRight(int from, int to);

  // Formatted inserts (FormatCore); the result is the index, or -1.
  int InsertFormat(const void* data, int index, const char* format, ...);
  int InsertFormatV(const void* data, int index, const char* format, va_list args);
  int InsertFormat(int index, const char* format, ...);
  int AddFormat(const char* format, ...);
  int SetAtFormat(const void* data, uint32_t index, const char* format, ...);
  int SetAtFormat(uint32_t index, const char* format, ...);
  int AppendFormatToItem(const void* data, uint32_t index, const char* format, ...);
  int AppendFormatToItem(uint32_t index, const char* format, ...);

  // Sorted searches (flags FIND_*).
  int FindSorted(int len, const char* text, int from, int to, uint32_t flags) const;
  int FindSortedWithDword(uint32_t key, int len, const char* text, int from, int to,
                          uint32_t flags) const;
  int FindSortedWithQword(uint64_t key, int len, const char* text, int from, int to,
                          uint32_t flags) const;
  int FindSortedDword(uint32_t key, int from, int to, uint32_t flags) const;
  int FindSortedQword(uint64_t key, int from, int to, uint32_t flags) const;
  int FindSortedDwordAt(uint32_t key, uint32_t offset, int from, int to, uint32_t flags) const;
  int FindSortedQwordAt(uint64_t key, uint32_t offset, int from, int to, uint32_t flags) const;
  int FindSortedByKey(uintptr_t key, int from, int to, uint32_t flags,
                      int (*compare)(uintptr_t key, void* itemData)) const;
  int FindSortedCallback(uintptr_t ctxA, uintptr_t ctxB, int from, int to, uint32_t flags,
                         int (*compare)(uintptr_t ctxB, void* itemData, uintptr_t ctxA)) const;
  int FindSortedByText(uintptr_t key, int from, int to, uint32_t flags,
                       int (*compare)(uintptr_t key, const char* itemText)) const;
  int FindSortedTextCallback(int len, uintptr_t key, int from, int to, uint32_t flags,
                             int (*compare)(uintptr_t key, const char* itemText, int n)) const;

  // Sorts [from, to) in place; the order of equal items is not kept.
  void Sort(int from, int to, CompareFunc compare, bool descending);
  void SortByKeyCallback(int (*compare)(uintptr_t ctx, void* a, void* b), uintptr_t ctx,
                         uint32_t offset, int from, int to, bool descending);
  void SortByTextCallback(int (*compare)(const char* a, const char* b), int from, int to,
                          bool descending);

  // Ready-made comparators for Sort: -1, 0 or 1. User-data numbers read only
  // the bytes the items have (missing bytes count as 0).
  static int CompareText(CTextList* list, int a, int b);
  static int CompareTextNoCase(CTextList* list, int a, int b);
  static int CompareInt32(CTextList* list, int a, int b);
  static int CompareInt32Text(CTextList* list, int a, int b);
  static int CompareInt32TextNoCase(CTextList* list, int a, int b);
  static int CompareInt64(CTextList* list, int a, int b);
  static int CompareInt64Text(CTextList* list, int a, int b);
  static int CompareInt64TextNoCase(CTextList* list, int a, int b);
  static int CompareUInt32(CTextList* list, int a, int b);
  static int CompareUInt32Text(CTextList* list, int a, int b);
  static int CompareUInt32TextNoCase(CTextList* list, int a, int b);
  static int CompareUInt64(CTextList* list, int a, int b);
  static int CompareUInt64Text(CTextList* list, int a, int b);
  static int CompareUInt64TextNoCase(CTextList* list, int a, int b);
  static int CompareLength(CTextList* list, int a, int b);
  static int CompareLengthText(CTextList* list, int a, int b);
  static int CompareLengthTextNoCase(CTextList* list, int a, int b);

  // Formatted inserts into a sorted list: the item goes where the search
  // (always with FIND_INSERTPOS) puts it; data is also the new item's data.
  // -1 when data is null or too small for the key.
  int InsertSortedWithDwordFormat(const void* data, uint32_t flags, const char* format, ...);
  int InsertSortedFormat(const void* data, uint32_t flags, const char* format, ...);
  int InsertSortedFormat(uint32_t flags, const char* format, ...);
  int InsertSortedDwordFormat(const void* data, uint32_t flags, const char* format, ...);
  int InsertSortedQwordFormat(const void* data, uint32_t flags, const char* format, ...);

  // Recent items.
  int SetMruLimit(int max, uint32_t findMode);
  int MoveToFront(const char* text);

  // The item's text and length (no range check).
  const char* TextAt(uint32_t index) const {
    return static_cast<const char*>(items[index]) + itemDataSize;
  }
  uint32_t LengthAt(uint32_t index) const;

  uint32_t count = 0;
  uint32_t capacity = 0;
  uint32_t itemDataSize = 0;
  int32_t mruMax = 16;
  uint32_t mruFindMode = 0;
  uint32_t reserved = 0;
  void** items = nullptr;

 private:
  void* NewItem(const char* text, uint32_t len, const void* data, const void* dataFallback) const;
  int Place(void* item, uint32_t index);
  void MakeRoom(uint32_t index, uint32_t n);
  void ChangeCase(int from, int to, bool upper);
  int InsertFormatted(const void* data, uint32_t index, const char* format, va_list args);
  int SetAtFormatted(const void* data, uint32_t index, const char* format, va_list args);
  int AppendFormatted(const void* data, uint32_t index, const char* format, va_list args);
  int InsertSortedFormatted(int keyKind, const void* data, uint32_t flags, const char* format,
                            va_list args);
  int Pop(bool last, int size, char* buf, char** out, void* data);
};
