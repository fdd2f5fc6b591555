// Formatted inserts of the string list: FormatCore writes into a buffer on
// the caller's stack that moves to the heap when it fills up.
#include <climits>
#include <cstring>

#include "toolkit/detail/textlist_impl.h"
#include "toolkit/format.h"
#include "toolkit/textlist.h"

int TextListFormatSink(void* state, const char* data, int n) {
  auto* s = static_cast<TextListFormatState*>(state);
  if (n < 1) return 0;
  if (s->used + int64_t{n} > s->capacity) {
    int64_t grown = int64_t{s->used} + n + s->capacity / 2 + 256;
    if (grown > INT_MAX) grown = INT_MAX;
    // Beyond that the text is not representable; the bytes are dropped.
    if (s->used + int64_t{n} > grown) return 0;
    char* p = new char[static_cast<size_t>(grown)];
    if (s->used) std::memcpy(p, s->buffer, static_cast<size_t>(s->used));
    if (s->owned) delete[] s->buffer;
    s->buffer = p;
    s->capacity = static_cast<int>(grown);
    s->owned = true;
  }
  std::memcpy(s->buffer + s->used, data, static_cast<size_t>(n));
  s->used += n;
  return n;
}

namespace {

// The formatted text of one call; frees a heap buffer when done.
class Formatted {
 public:
  Formatted(const char* format, va_list args) : state_{stack_, sizeof stack_, 0, false} {
    if (format) FormatCore(&state_, TextListFormatSink, format, args);
  }
  ~Formatted() {
    if (state_.owned) delete[] state_.buffer;
  }
  Formatted(const Formatted&) = delete;
  Formatted& operator=(const Formatted&) = delete;
  const char* data() const { return state_.buffer; }
  int size() const { return state_.used; }

 private:
  char stack_[1024];
  TextListFormatState state_;
};

}  // namespace

int CTextList::InsertFormatted(const void* data, uint32_t index, const char* format, va_list args) {
  Formatted text(format, args);
  return Insert(text.size(), text.data(), static_cast<int>(index), data);
}

int CTextList::SetAtFormatted(const void* data, uint32_t index, const char* format, va_list args) {
  if (index >= count) return -1;
  Formatted text(format, args);
  return SetAt(text.size(), text.data(), static_cast<int>(index), data);
}

int CTextList::AppendFormatted(const void* data, uint32_t index, const char* format, va_list args) {
  if (index >= count) return -1;
  Formatted text(format, args);
  return AppendToItemN(text.size(), text.data(), static_cast<int>(index), data);
}

int CTextList::InsertFormatV(const void* data, int index, const char* format, va_list args) {
  return InsertFormatted(data, static_cast<uint32_t>(index), format, args);
}

int CTextList::InsertFormat(const void* data, int index, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int r = InsertFormatted(data, static_cast<uint32_t>(index), format, args);
  va_end(args);
  return r;
}

int CTextList::InsertFormat(int index, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int r = InsertFormatted(nullptr, static_cast<uint32_t>(index), format, args);
  va_end(args);
  return r;
}

int CTextList::AddFormat(const char* format, ...) {
  va_list args;
  va_start(args, format);
  int r = InsertFormatted(nullptr, count, format, args);
  va_end(args);
  return r;
}

int CTextList::SetAtFormat(const void* data, uint32_t index, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int r = SetAtFormatted(data, index, format, args);
  va_end(args);
  return r;
}

int CTextList::SetAtFormat(uint32_t index, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int r = SetAtFormatted(nullptr, index, format, args);
  va_end(args);
  return r;
}

int CTextList::AppendFormatToItem(const void* data, uint32_t index, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int r = AppendFormatted(data, index, format, args);
  va_end(args);
  return r;
}

int CTextList::AppendFormatToItem(uint32_t index, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int r = AppendFormatted(nullptr, index, format, args);
  va_end(args);
  return r;
}

// ---- Sorted formatted inserts ----

namespace {
enum KeyKind { kTextOnly, kDwordText, kDword, kQword };
}  // namespace

int CTextList::InsertSortedFormatted(int keyKind, const void* data, uint32_t flags,
                                     const char* format, va_list args) {
  uint32_t keyBytes = keyKind == kQword ? 8 : keyKind == kTextOnly ? 0 : 4;
  if (keyBytes && (!data || itemDataSize < keyBytes)) return -1;
  Formatted text(format, args);
  flags |= FIND_INSERTPOS;
  int at;
  switch (keyKind) {
    case kDwordText: {
      uint32_t key;
      std::memcpy(&key, data, 4);
      at = FindSortedWithDword(key, text.size(), text.data(), 0, -1, flags);
      break;
    }
    case kDword: {
      uint32_t key;
      std::memcpy(&key, data, 4);
      at = FindSortedDword(key, 0, -1, flags);
      break;
    }
    case kQword: {
      uint64_t key;
      std::memcpy(&key, data, 8);
      at = FindSortedQword(key, 0, -1, flags);
      break;
    }
    default:
      at = FindSorted(text.size(), text.data(), 0, -1, flags);
      break;
  }
  if (at < 0) return -1;
  return Insert(text.size(), text.data(), at, data);
}

int CTextList::InsertSortedWithDwordFormat(const void* data, uint32_t flags, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int r = InsertSortedFormatted(kDwordText, data, flags, format, args);
  va_end(args);
  return r;
}

int CTextList::InsertSortedFormat(const void* data, uint32_t flags, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int r = InsertSortedFormatted(kTextOnly, data, flags, format, args);
  va_end(args);
  return r;
}

int CTextList::InsertSortedFormat(uint32_t flags, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int r = InsertSortedFormatted(kTextOnly, nullptr, flags, format, args);
  va_end(args);
  return r;
}

int CTextList::InsertSortedDwordFormat(const void* data, uint32_t flags, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int r = InsertSortedFormatted(kDword, data, flags, format, args);
  va_end(args);
  return r;
}

int CTextList::InsertSortedQwordFormat(const void* data, uint32_t flags, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int r = InsertSortedFormatted(kQword, data, flags, format, args);
  va_end(args);
  return r;
}
