// The string list's storage: item blocks, growth, inserts, replacements,
// removals and reading.
#include "toolkit/textlist.h"

#include <bit>
#include <cstring>
#include <new>

#include "toolkit/detail/textlist_impl.h"

static_assert(std::endian::native == std::endian::little, "item data numbers are little-endian");

using namespace textlist_detail;

namespace textlist_detail {

void* AllocItem(uint32_t len, uint32_t dataSize) {
  size_t bytes = size_t{4} + dataSize + len + 1;
  char* block = static_cast<char*>(::operator new(bytes));
  std::memcpy(block, &len, 4);
  block[4 + size_t{dataSize} + len] = 0;
  return block + 4;
}

void FreeItem(void* item) {
  if (item) ::operator delete(static_cast<char*>(item) - 4);
}

uint32_t TextLength(int len, const char* text) {
  if (!text) return 0;
  if (len < 0) return static_cast<uint32_t>(std::strlen(text));
  return static_cast<uint32_t>(len);
}

}  // namespace textlist_detail

CTextList::CTextList(uint32_t dataSize) : itemDataSize(dataSize) {}

CTextList::CTextList(const CTextList& other)
    : itemDataSize(other.itemDataSize),
      mruMax(other.mruMax),
      mruFindMode(other.mruFindMode),
      reserved(other.reserved) {
  InsertList(other, -1, 0, -1);
}

CTextList& CTextList::operator=(const CTextList& other) {
  if (this == &other) return *this;
  RemoveAll();
  itemDataSize = other.itemDataSize;
  mruMax = other.mruMax;
  mruFindMode = other.mruFindMode;
  reserved = other.reserved;
  InsertList(other, -1, 0, -1);
  return *this;
}

CTextList::~CTextList() { RemoveAll(); }

uint32_t CTextList::LengthAt(uint32_t index) const { return ItemLength(items[index]); }

int CTextList::SetItemDataSize(int size) {
  if (size == -1) return static_cast<int>(itemDataSize);
  if (size < 0 || count != 0) return -1;
  itemDataSize = static_cast<uint32_t>(size);
  return size;
}

// A new block holding the text and data (or, when data is null, the bytes of
// dataFallback, or zeros). Built before anything of the list changes, so the
// sources may lie in the list's own items.
void* CTextList::NewItem(const char* text, uint32_t len, const void* data,
                         const void* dataFallback) const {
  void* item = AllocItem(len, itemDataSize);
  const void* src = data ? data : dataFallback;
  if (itemDataSize) {
    if (src) {
      std::memcpy(item, src, itemDataSize);
    } else {
      std::memset(item, 0, itemDataSize);
    }
  }
  if (len) std::memcpy(ItemText(item, itemDataSize), text, len);
  return item;
}

// Opens a gap of n slots at index (<= count), growing the array as needed.
void CTextList::MakeRoom(uint32_t index, uint32_t n) {
  uint64_t need = uint64_t{count} + n;
  if (need >= capacity) {
    uint64_t cap = n == 1 ? (uint64_t{capacity} * 3 + 35) / 2 : ((uint64_t{capacity} + n) * 3 + 32) / 2;
    if (cap <= need) cap = need + 1;
    if (cap > 0xFFFFFFFFull) throw std::bad_alloc();
    void** grown = static_cast<void**>(::operator new(cap * sizeof(void*)));
    if (count) std::memcpy(grown, items, sizeof(void*) * count);
    ::operator delete(items);
    items = grown;
    capacity = static_cast<uint32_t>(cap);
  }
  if (index < count) std::memmove(items + index + n, items + index, sizeof(void*) * (count - index));
  count += n;
}

int CTextList::Place(void* item, uint32_t index) {
  if (index > count) index = count;
  MakeRoom(index, 1);
  items[index] = item;
  return static_cast<int>(index);
}

int CTextList::InsertString(const char* text, int index, const void* data) {
  return Insert(-1, text, index, data);
}

int CTextList::Insert(int len, const char* text, int index, const void* data) {
  uint32_t n = TextLength(len, text);
  return Place(NewItem(text, n, data, nullptr), static_cast<uint32_t>(index));
}

int CTextList::InsertList(const CTextList& src, int index, int from, int to) {
  uint32_t lo = from < 0 ? 0 : static_cast<uint32_t>(from);
  uint32_t end = static_cast<uint32_t>(to) < src.count ? static_cast<uint32_t>(to) : src.count;
  if (src.count == 0 || lo >= end) return -1;
  uint32_t n = end - lo;
  uint32_t at = static_cast<uint32_t>(index) < count ? static_cast<uint32_t>(index) : count;
  MakeRoom(at, n);
  const bool self = &src == this;
  const uint32_t srcSize = src.itemDataSize;
  for (uint32_t k = 0; k < n; ++k) {
    uint32_t s = lo + k;
    // In the list itself, items from the insert position on moved up by n.
    if (self && s >= at) s += n;
    const void* from_item = src.items[s];
    uint32_t len = ItemLength(from_item);
    void* item = AllocItem(len, itemDataSize);
    uint32_t copied = srcSize < itemDataSize ? srcSize : itemDataSize;
    if (copied) std::memcpy(item, from_item, copied);
    if (itemDataSize > copied) std::memset(static_cast<char*>(item) + copied, 0, itemDataSize - copied);
    if (len) std::memcpy(ItemText(item, itemDataSize), ItemText(from_item, srcSize), len);
    items[at + k] = item;
  }
  return static_cast<int>(at);
}

int CTextList::InsertDetached(void* item, int index) {
  if (!item) return -1;
  return Place(item, static_cast<uint32_t>(index));
}

int CTextList::SetAtString(const char* text, int index, const void* data) {
  return SetAt(-1, text, index, data);
}

int CTextList::SetAt(int len, const char* text, int index, const void* data) {
  uint32_t i = static_cast<uint32_t>(index);
  if (i >= count) return -1;
  void* old = items[i];
  items[i] = NewItem(text, TextLength(len, text), data, old);
  FreeItem(old);
  return index;
}

int CTextList::AppendToItem(const char* text, int index, const void* data) {
  return AppendToItemN(-1, text, index, data);
}

int CTextList::AppendToItemN(int len, const char* text, int index, const void* data) {
  uint32_t i = static_cast<uint32_t>(index);
  uint32_t n = TextLength(len, text);
  if (i >= count) return Place(NewItem(text, n, data, nullptr), i);
  if (n == 0) return index;
  void* old = items[i];
  uint32_t oldLen = ItemLength(old);
  uint64_t total = uint64_t{oldLen} + n;
  if (total > 0xFFFFFFFFull - 8 - itemDataSize) throw std::bad_alloc();
  void* item = AllocItem(static_cast<uint32_t>(total), itemDataSize);
  if (itemDataSize) std::memcpy(item, old, itemDataSize);
  char* dst = ItemText(item, itemDataSize);
  if (oldLen) std::memcpy(dst, ItemText(old, itemDataSize), oldLen);
  std::memcpy(dst + oldLen, text, n);
  items[i] = item;
  FreeItem(old);
  return index;
}

bool CTextList::RemoveAt(uint32_t index) {
  if (index >= count) return false;
  FreeItem(DetachAt(index));
  return true;
}

int CTextList::RemoveRange(int from, int to) {
  uint32_t lo = from < 0 ? 0 : static_cast<uint32_t>(from);
  uint32_t end = static_cast<uint32_t>(to) < count ? static_cast<uint32_t>(to) : count;
  if (lo >= end) return 0;
  for (uint32_t i = lo; i < end; ++i) FreeItem(items[i]);
  std::memmove(items + lo, items + end, sizeof(void*) * (count - end));
  count -= end - lo;
  return static_cast<int>(end - lo);
}

int CTextList::RemoveAll() {
  for (uint32_t i = count; i-- > 0;) FreeItem(items[i]);
  ::operator delete(items);
  items = nullptr;
  count = capacity = 0;
  return 1;
}

void* CTextList::DetachAt(uint32_t index) {
  if (index >= count) return nullptr;
  void* item = items[index];
  std::memmove(items + index, items + index + 1, sizeof(void*) * (count - index - 1));
  --count;
  return item;
}

void CTextList::FreeDetached(void* item) { FreeItem(item); }

int CTextList::Pop(bool last, int size, char* buf, char** out, void* data) {
  if (count == 0) {
    if (out) *out = nullptr;
    if (buf && size > 0) buf[0] = 0;
    return -1;
  }
  uint32_t index = last ? count - 1 : 0;
  int len = out ? GetTextAlloc(index, out) : GetText(index, buf, size);
  if (len < 0) return -1;
  if (data && itemDataSize) std::memcpy(data, items[index], itemDataSize);
  RemoveAt(index);
  return len;
}

int CTextList::PopLastAlloc(char** out, void* data) {
  if (!out) return -1;
  return Pop(true, 0, nullptr, out, data);
}
int CTextList::PopLast(int size, char* buf, void* data) { return Pop(true, size, buf, nullptr, data); }
int CTextList::PopFirstAlloc(char** out, void* data) {
  if (!out) return -1;
  return Pop(false, 0, nullptr, out, data);
}
int CTextList::PopFirst(int size, char* buf, void* data) {
  return Pop(false, size, buf, nullptr, data);
}

int CTextList::GetText(uint32_t index, char* buf, int size) const {
  if (!buf) return -1;
  if (index >= count || uint64_t{LengthAt(index)} + 1 > static_cast<uint64_t>(size < 0 ? 0 : size)) {
    if (size >= 1) buf[0] = 0;
    return -1;
  }
  uint32_t len = LengthAt(index);
  std::memcpy(buf, TextAt(index), size_t{len} + 1);
  return static_cast<int>(len);
}

int CTextList::GetTextAlloc(uint32_t index, char** out) const {
  if (!out) return -1;
  if (index >= count) {
    *out = nullptr;
    return -1;
  }
  uint32_t len = LengthAt(index);
  char* p = new char[size_t{len} + 1];
  std::memcpy(p, TextAt(index), size_t{len} + 1);
  *out = p;
  return static_cast<int>(len);
}

void* CTextList::GetItemData(uint32_t index, void* out) const {
  if (index >= count) return nullptr;
  if (out && itemDataSize) std::memcpy(out, items[index], itemDataSize);
  return items[index];
}

void* CTextList::SetItemData(uint32_t index, const void* data) {
  if (index >= count) return nullptr;
  if (data && itemDataSize) std::memmove(items[index], data, itemDataSize);
  return items[index];
}

namespace {

// Stores value at byte offset of the item data and returns the old one;
// 0 and nothing stored when the index or the data size does not allow it.
template <class T>
T ExchangeData(const CTextList& list, uint32_t index, T value, uint64_t offset) {
  if (index >= list.count || offset + sizeof(T) > list.itemDataSize) return 0;
  char* p = static_cast<char*>(list.items[index]) + offset;
  T old;
  std::memcpy(&old, p, sizeof(T));
  std::memcpy(p, &value, sizeof(T));
  return old;
}

}  // namespace

uint16_t CTextList::SetItemWord(uint32_t index, uint16_t value) {
  return ExchangeData(*this, index, value, 0);
}
uint32_t CTextList::SetItemDword(uint32_t index, uint32_t value) {
  return ExchangeData(*this, index, value, 0);
}
uint64_t CTextList::SetItemQword(uint32_t index, uint64_t value) {
  return ExchangeData(*this, index, value, 0);
}
uint16_t CTextList::SetItemWord(uint32_t index, uint16_t value, uint32_t slot) {
  return ExchangeData(*this, index, value, uint64_t{slot} * 2);
}
uint32_t CTextList::SetItemDword(uint32_t index, uint32_t value, uint32_t slot) {
  return ExchangeData(*this, index, value, uint64_t{slot} * 4);
}
uint64_t CTextList::SetItemQword(uint32_t index, uint64_t value, uint32_t slot) {
  return ExchangeData(*this, index, value, uint64_t{slot} * 8);
}

void CTextList::Swap(uint32_t a, uint32_t b) {
  if (count == 0) return;
  if (a >= count) a = count - 1;
  if (b >= count) b = count - 1;
  void* t = items[a];
  items[a] = items[b];
  items[b] = t;
}

int CTextList::Move(int from, int to) {
  if (count == 0) return 0;
  if (from == -1) from = static_cast<int>(count - 1);
  if (to == -1) to = static_cast<int>(count - 1);
  if (from == to) return to;
  if (from < 0 || to < 0 || static_cast<uint32_t>(from) >= count ||
      static_cast<uint32_t>(to) >= count) {
    return -1;
  }
  void* item = items[from];
  if (from < to) {
    std::memmove(items + from, items + from + 1, sizeof(void*) * static_cast<uint32_t>(to - from));
  } else {
    std::memmove(items + to + 1, items + to, sizeof(void*) * static_cast<uint32_t>(from - to));
  }
  items[to] = item;
  return to;
}

void CTextList::ChangeCase(int from, int to, bool upper) {
  uint32_t lo = from < 0 ? 0 : static_cast<uint32_t>(from);
  uint32_t end = static_cast<uint32_t>(to) < count ? static_cast<uint32_t>(to) : count;
  for (uint32_t i = lo; i < end; ++i) {
    char* p = ItemText(items[i], itemDataSize);
    uint32_t len = ItemLength(items[i]);
    for (uint32_t k = 0; k < len && p[k] != 0; ++k) {
      unsigned char c = static_cast<unsigned char>(p[k]);
      if (upper ? (c >= 'a' && c <= 'z') : (c >= 'A' && c <= 'Z')) p[k] = static_cast<char>(c ^ 0x20);
    }
  }
}

void CTextList::MakeLower(int from, int to) { ChangeCase(from, to, false); }
void CTextList::MakeUpper(int from, int to) { ChangeCase(from, to, true); }

namespace {
inline bool IsTrimByte(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
}  // namespace

void CTextList::TrimLeft(int from, int to) {
  uint32_t lo = from < 0 ? 0 : static_cast<uint32_t>(from);
  uint32_t end = static_cast<uint32_t>(to) < count ? static_cast<uint32_t>(to) : count;
  for (uint32_t i = lo; i < end; ++i) {
    char* p = ItemText(items[i], itemDataSize);
    uint32_t len = ItemLength(items[i]);
    uint32_t k = 0;
    while (k < len && IsTrimByte(p[k])) ++k;
    if (k == 0) continue;
    std::memmove(p, p + k, size_t{len - k} + 1);
    SetItemLength(items[i], len - k);
  }
}

void CTextList::TrimRight(int from, int to) {
  uint32_t lo = from < 0 ? 0 : static_cast<uint32_t>(from);
  uint32_t end = static_cast<uint32_t>(to) < count ? static_cast<uint32_t>(to) : count;
  for (uint32_t i = lo; i < end; ++i) {
    char* p = ItemText(items[i], itemDataSize);
    uint32_t len = ItemLength(items[i]);
    while (len > 0 && IsTrimByte(p[len - 1])) --len;
    p[len] = 0;
    SetItemLength(items[i], len);
  }
}
