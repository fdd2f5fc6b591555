// Sorted searches, sorts and the ready-made comparators of the string list.
#include <cstring>
#include <iterator>

#include "toolkit/detail/sortsearch.h"
#include "toolkit/detail/textlist_impl.h"
#include "toolkit/textlist.h"

using namespace textlist_detail;
using sortsearch::Order;

namespace {

// Warms item i's slot and block for a coming probe.
struct PrefetchItem {
  void* const* items;
  void operator()(uint32_t i) const {
    __builtin_prefetch(static_cast<const char*>(items[i]) - 4);
  }
};

// The sought text against an item text in the order of the text searches.
inline int CompareSought(const char* s, uint32_t ls, const void* item, uint32_t ds, uint32_t flags) {
  uint32_t lt = ItemLength(item);
  const char* t = ItemText(item, ds);
  uint32_t n = ls < lt ? ls : lt;
  int d;
  if (flags & FIND_NOCASE) {
    d = CompareNoCaseCounted(s, t, n);
  } else {
    d = n ? std::memcmp(s, t, n) : 0;
  }
  if (d != 0) return d < 0 ? -1 : 1;
  if (ls == lt) return 0;
  bool shorter = ls < lt;
  if (flags & FIND_PREFIX_LAST) shorter = !shorter;
  return shorter ? -1 : 1;
}

template <class T>
inline T DataAt(const void* item, uint32_t offset) {
  T v;
  std::memcpy(&v, static_cast<const char*>(item) + offset, sizeof(T));
  return v;
}

template <class U, class S>
int FindNumber(const CTextList& list, U key, uint32_t offset, int from, int to, uint32_t flags) {
  if (uint64_t{offset} + sizeof(U) > list.itemDataSize) return -1;
  void* const* items = list.items;
  PrefetchItem pf{items};
  if (flags & FIND_UNSIGNED) {
    return sortsearch::FindSorted(
        list.count, sortsearch::First(from), static_cast<uint32_t>(to), flags,
        [=](uint32_t i) { return Order(key, DataAt<U>(items[i], offset)); }, pf);
  }
  S skey = static_cast<S>(key);
  return sortsearch::FindSorted(
      list.count, sortsearch::First(from), static_cast<uint32_t>(to), flags,
      [=](uint32_t i) { return Order(skey, static_cast<S>(DataAt<U>(items[i], offset))); }, pf);
}

template <class U>
int FindNumberText(const CTextList& list, U key, int len, const char* text, int from, int to,
                   uint32_t flags) {
  if (sizeof(U) > list.itemDataSize) return -1;
  uint32_t ls = TextLength(len, text);
  if (!text) text = "";
  void* const* items = list.items;
  uint32_t ds = list.itemDataSize;
  return sortsearch::FindSorted(
      list.count, sortsearch::First(from), static_cast<uint32_t>(to), flags,
      [=](uint32_t i) {
        int r = Order(key, DataAt<U>(items[i], 0));
        return r != 0 ? r : CompareSought(text, ls, items[i], ds, flags);
      },
      PrefetchItem{items});
}

}  // namespace

int CTextList::FindSorted(int len, const char* text, int from, int to, uint32_t flags) const {
  uint32_t ls = TextLength(len, text);
  if (!text) text = "";
  void* const* it = items;
  uint32_t ds = itemDataSize;
  if (!(flags & (FIND_NOCASE | FIND_PREFIX_LAST))) {
    // The common case, written out so that the byte order inlines.
    return sortsearch::FindSorted(
        count, sortsearch::First(from), static_cast<uint32_t>(to), flags,
        [=](uint32_t i) {
          const void* item = it[i];
          uint32_t lt = ItemLength(item);
          uint32_t n = ls < lt ? ls : lt;
          int d = n ? std::memcmp(text, ItemText(item, ds), n) : 0;
          if (d != 0) return d;
          return static_cast<int>(ls > lt) - static_cast<int>(ls < lt);
        },
        PrefetchItem{it});
  }
  return sortsearch::FindSorted(
      count, sortsearch::First(from), static_cast<uint32_t>(to), flags,
      [=](uint32_t i) { return CompareSought(text, ls, it[i], ds, flags); }, PrefetchItem{it});
}

int CTextList::FindSortedWithDword(uint32_t key, int len, const char* text, int from, int to,
                                   uint32_t flags) const {
  return FindNumberText<uint32_t>(*this, key, len, text, from, to, flags);
}

int CTextList::FindSortedWithQword(uint64_t key, int len, const char* text, int from, int to,
                                   uint32_t flags) const {
  return FindNumberText<uint64_t>(*this, key, len, text, from, to, flags);
}

int CTextList::FindSortedDword(uint32_t key, int from, int to, uint32_t flags) const {
  return FindNumber<uint32_t, int32_t>(*this, key, 0, from, to, flags);
}

int CTextList::FindSortedQword(uint64_t key, int from, int to, uint32_t flags) const {
  return FindNumber<uint64_t, int64_t>(*this, key, 0, from, to, flags);
}

int CTextList::FindSortedDwordAt(uint32_t key, uint32_t offset, int from, int to,
                                 uint32_t flags) const {
  return FindNumber<uint32_t, int32_t>(*this, key, offset, from, to, flags);
}

int CTextList::FindSortedQwordAt(uint64_t key, uint32_t offset, int from, int to,
                                 uint32_t flags) const {
  return FindNumber<uint64_t, int64_t>(*this, key, offset, from, to, flags);
}

int CTextList::FindSortedByKey(uintptr_t key, int from, int to, uint32_t flags,
                               int (*compare)(uintptr_t key, void* itemData)) const {
  if (!compare) return -1;
  void* const* it = items;
  return sortsearch::FindSorted(count, sortsearch::First(from), static_cast<uint32_t>(to), flags,
                                [=](uint32_t i) { return compare(key, it[i]); });
}

int CTextList::FindSortedCallback(uintptr_t ctxA, uintptr_t ctxB, int from, int to, uint32_t flags,
                                  int (*compare)(uintptr_t ctxB, void* itemData,
                                                 uintptr_t ctxA)) const {
  if (!compare) return -1;
  void* const* it = items;
  return sortsearch::FindSorted(count, sortsearch::First(from), static_cast<uint32_t>(to), flags,
                                [=](uint32_t i) { return compare(ctxB, it[i], ctxA); });
}

int CTextList::FindSortedByText(uintptr_t key, int from, int to, uint32_t flags,
                                int (*compare)(uintptr_t key, const char* itemText)) const {
  if (!compare) return -1;
  void* const* it = items;
  uint32_t ds = itemDataSize;
  return sortsearch::FindSorted(count, sortsearch::First(from), static_cast<uint32_t>(to), flags,
                                [=](uint32_t i) { return compare(key, ItemText(it[i], ds)); });
}

int CTextList::FindSortedTextCallback(int len, uintptr_t key, int from, int to, uint32_t flags,
                                      int (*compare)(uintptr_t key, const char* itemText,
                                                     int n)) const {
  if (len < 0 || !compare) return -1;
  void* const* it = items;
  uint32_t ds = itemDataSize;
  uint32_t ls = static_cast<uint32_t>(len);
  return sortsearch::FindSorted(count, sortsearch::First(from), static_cast<uint32_t>(to), flags, [=](uint32_t i) {
    uint32_t lt = ItemLength(it[i]);
    uint32_t n = ls < lt ? ls : lt;
    int r = compare(key, ItemText(it[i], ds), static_cast<int>(n));
    if (r != 0 || lt == ls) return r;
    return lt > ls ? 1 : -1;
  });
}

// ---- Sorting ----

namespace {

enum class Key { kNone, kInt32, kUInt32, kInt64, kUInt64, kLength };
enum class Text { kNone, kBytes, kNoCase };

// The order of one ready-made comparator over two item pointers.
template <Key K, Text T>
struct ItemOrder {
  uint32_t ds;
  int operator()(const void* a, const void* b) const {
    int r = 0;
    if constexpr (K == Key::kInt32) {
      r = Order(static_cast<int32_t>(ReadDataBytes(a, ds, 0, 4)),
                static_cast<int32_t>(ReadDataBytes(b, ds, 0, 4)));
    } else if constexpr (K == Key::kUInt32) {
      r = Order(ReadDataBytes(a, ds, 0, 4), ReadDataBytes(b, ds, 0, 4));
    } else if constexpr (K == Key::kInt64) {
      r = Order(static_cast<int64_t>(ReadDataBytes(a, ds, 0, 8)),
                static_cast<int64_t>(ReadDataBytes(b, ds, 0, 8)));
    } else if constexpr (K == Key::kUInt64) {
      r = Order(ReadDataBytes(a, ds, 0, 8), ReadDataBytes(b, ds, 0, 8));
    } else if constexpr (K == Key::kLength) {
      r = Order(ItemLength(a), ItemLength(b));
    }
    if constexpr (T != Text::kNone) {
      if (r == 0) {
        r = CompareCounted(ItemText(a, ds), ItemLength(a), ItemText(b, ds), ItemLength(b),
                           T == Text::kNoCase);
      }
    }
    return r;
  }
};

template <Key K, Text T>
int CompareItems(CTextList* list, int a, int b) {
  return ItemOrder<K, T>{list->itemDataSize}(list->items[a], list->items[b]);
}

// Sorts item pointers with the comparator's order inlined.
template <Key K, Text T>
void SortItems(void** items, uint32_t ds, uint32_t lo, uint32_t hi, bool descending) {
  ItemOrder<K, T> order{ds};
  sortsearch::SortDirected(
      lo, hi, descending, [=](uint32_t a, uint32_t b) { return order(items[a], items[b]); },
      [=](uint32_t a, uint32_t b) {
        void* t = items[a];
        items[a] = items[b];
        items[b] = t;
      },
      PrefetchItem{items});
}

struct ReadyMade {
  CTextList::CompareFunc compare;
  void (*sort)(void** items, uint32_t ds, uint32_t lo, uint32_t hi, bool descending);
};

#define ZELVARO_READY_MADE(k, t) \
  { &CompareItems<Key::k, Text::t>, &SortItems<Key::k, Text::t> }

const ReadyMade kReadyMade[] = {
    ZELVARO_READY_MADE(kNone, kBytes),     ZELVARO_READY_MADE(kNone, kNoCase),
    ZELVARO_READY_MADE(kInt32, kNone),     ZELVARO_READY_MADE(kInt32, kBytes),
    ZELVARO_READY_MADE(kInt32, kNoCase),   ZELVARO_READY_MADE(kInt64, kNone),
    ZELVARO_READY_MADE(kInt64, kBytes),    ZELVARO_READY_MADE(kInt64, kNoCase),
    ZELVARO_READY_MADE(kUInt32, kNone),    ZELVARO_READY_MADE(kUInt32, kBytes),
    ZELVARO_READY_MADE(kUInt32, kNoCase),  ZELVARO_READY_MADE(kUInt64, kNone),
    ZELVARO_READY_MADE(kUInt64, kBytes),   ZELVARO_READY_MADE(kUInt64, kNoCase),
    ZELVARO_READY_MADE(kLength, kNone),    ZELVARO_READY_MADE(kLength, kBytes),
    ZELVARO_READY_MADE(kLength, kNoCase),
};

#undef ZELVARO_READY_MADE

bool ClampSortRange(const CTextList& list, int from, int to, uint32_t& lo, uint32_t& hi) {
  uint32_t first = from < 0 ? 0 : static_cast<uint32_t>(from);
  uint32_t end = static_cast<uint32_t>(to) < list.count ? static_cast<uint32_t>(to) : list.count;
  if (first >= end || end - first < 2) return false;
  lo = first;
  hi = end - 1;
  return true;
}

void SwapItems(void** items, uint32_t a, uint32_t b) {
  void* t = items[a];
  items[a] = items[b];
  items[b] = t;
}

}  // namespace

int CTextList::CompareText(CTextList* l, int a, int b) { return kReadyMade[0].compare(l, a, b); }
int CTextList::CompareTextNoCase(CTextList* l, int a, int b) { return kReadyMade[1].compare(l, a, b); }
int CTextList::CompareInt32(CTextList* l, int a, int b) { return kReadyMade[2].compare(l, a, b); }
int CTextList::CompareInt32Text(CTextList* l, int a, int b) { return kReadyMade[3].compare(l, a, b); }
int CTextList::CompareInt32TextNoCase(CTextList* l, int a, int b) {
  return kReadyMade[4].compare(l, a, b);
}
int CTextList::CompareInt64(CTextList* l, int a, int b) { return kReadyMade[5].compare(l, a, b); }
int CTextList::CompareInt64Text(CTextList* l, int a, int b) { return kReadyMade[6].compare(l, a, b); }
int CTextList::CompareInt64TextNoCase(CTextList* l, int a, int b) {
  return kReadyMade[7].compare(l, a, b);
}
int CTextList::CompareUInt32(CTextList* l, int a, int b) { return kReadyMade[8].compare(l, a, b); }
int CTextList::CompareUInt32Text(CTextList* l, int a, int b) { return kReadyMade[9].compare(l, a, b); }
int CTextList::CompareUInt32TextNoCase(CTextList* l, int a, int b) {
  return kReadyMade[10].compare(l, a, b);
}
int CTextList::CompareUInt64(CTextList* l, int a, int b) { return kReadyMade[11].compare(l, a, b); }
int CTextList::CompareUInt64Text(CTextList* l, int a, int b) {
  return kReadyMade[12].compare(l, a, b);
}
int CTextList::CompareUInt64TextNoCase(CTextList* l, int a, int b) {
  return kReadyMade[13].compare(l, a, b);
}
int CTextList::CompareLength(CTextList* l, int a, int b) { return kReadyMade[14].compare(l, a, b); }
int CTextList::CompareLengthText(CTextList* l, int a, int b) {
  return kReadyMade[15].compare(l, a, b);
}
int CTextList::CompareLengthTextNoCase(CTextList* l, int a, int b) {
  return kReadyMade[16].compare(l, a, b);
}

void CTextList::Sort(int from, int to, CompareFunc compare, bool descending) {
  uint32_t lo, hi;
  if (!compare || !ClampSortRange(*this, from, to, lo, hi)) return;
  // The ready-made comparators are recognised and sorted with their order
  // inlined; the public functions only forward to the table's entries.
  static const CompareFunc kPublic[] = {
      CompareText,       CompareTextNoCase,      CompareInt32,        CompareInt32Text,
      CompareInt32TextNoCase, CompareInt64,      CompareInt64Text,    CompareInt64TextNoCase,
      CompareUInt32,     CompareUInt32Text,      CompareUInt32TextNoCase, CompareUInt64,
      CompareUInt64Text, CompareUInt64TextNoCase, CompareLength,      CompareLengthText,
      CompareLengthTextNoCase};
  static_assert(std::size(kPublic) == std::size(kReadyMade));
  for (size_t k = 0; k < std::size(kPublic); ++k) {
    if (compare == kPublic[k] || compare == kReadyMade[k].compare) {
      kReadyMade[k].sort(items, itemDataSize, lo, hi, descending);
      return;
    }
  }
  void** it = items;
  sortsearch::SortDirected(
      lo, hi, descending,
      [this, compare](uint32_t a, uint32_t b) {
        return compare(this, static_cast<int>(a), static_cast<int>(b));
      },
      [it](uint32_t a, uint32_t b) { SwapItems(it, a, b); });
}

void CTextList::SortByKeyCallback(int (*compare)(uintptr_t ctx, void* a, void* b), uintptr_t ctx,
                                  uint32_t offset, int from, int to, bool descending) {
  uint32_t lo, hi;
  if (!compare || !ClampSortRange(*this, from, to, lo, hi)) return;
  void** it = items;
  sortsearch::SortDirected(
      lo, hi, descending,
      [=](uint32_t a, uint32_t b) {
        return compare(ctx, static_cast<char*>(it[a]) + offset, static_cast<char*>(it[b]) + offset);
      },
      [it](uint32_t a, uint32_t b) { SwapItems(it, a, b); });
}

void CTextList::SortByTextCallback(int (*compare)(const char* a, const char* b), int from, int to,
                                   bool descending) {
  uint32_t lo, hi;
  if (!compare || !ClampSortRange(*this, from, to, lo, hi)) return;
  void** it = items;
  uint32_t ds = itemDataSize;
  sortsearch::SortDirected(
      lo, hi, descending,
      [=](uint32_t a, uint32_t b) { return compare(ItemText(it[a], ds), ItemText(it[b], ds)); },
      [it](uint32_t a, uint32_t b) { SwapItems(it, a, b); });
}
