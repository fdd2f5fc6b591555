// Splitting texts into items and joining items into one text.
#include <cstring>
#include <new>

#include "toolkit/detail/textlist_impl.h"
#include "toolkit/textlist.h"

using namespace textlist_detail;

namespace {

// Inserts the pieces of text[0, limit) at consecutive indexes from `at`.
// sep 0: NUL-terminated strings up to an empty one (or the limit); other
// seps: pieces between separators up to the first NUL (or the limit), a
// trailing separator giving no empty last piece. Returns the number inserted.
uint32_t SplitPieces(CTextList& list, char sep, const char* text, size_t limit, uint32_t at,
                     const void* data) {
  const char* p = text;
  const char* end = text + limit;
  uint32_t inserted = 0;
  auto add = [&](const char* s, const char* e) {
    list.Insert(static_cast<int>(e - s), s, static_cast<int>(at + inserted), data);
    ++inserted;
  };
  if (sep == 0) {
    while (p < end && *p != 0) {
      const char* q = static_cast<const char*>(std::memchr(p, 0, static_cast<size_t>(end - p)));
      if (!q) q = end;
      add(p, q);
      p = q + 1;
    }
    return inserted;
  }
  // The text ends at its first NUL.
  if (const void* nul = std::memchr(p, 0, limit)) end = static_cast<const char*>(nul);
  if (p == end) return 0;
  for (;;) {
    const char* q = static_cast<const char*>(std::memchr(p, sep, static_cast<size_t>(end - p)));
    if (!q) {
      add(p, end);
      return inserted;
    }
    add(p, q);
    p = q + 1;
    if (p == end) return inserted;
  }
}

// Bytes of the joined block: every text with its NUL (sep 0, plus the closing
// NUL) or with the separators between them and one NUL.
size_t JoinedSize(const CTextList& list, uint32_t lo, uint32_t end, char sep) {
  size_t size = 1;
  for (uint32_t i = lo; i < end; ++i) size += list.LengthAt(i) + 1;
  // With a separator: n - 1 separators and one NUL, no final extra NUL.
  if (sep != 0 && end > lo) size -= 1;
  return size;
}

void WriteJoined(const CTextList& list, uint32_t lo, uint32_t end, char sep, char* dst) {
  for (uint32_t i = lo; i < end; ++i) {
    uint32_t len = list.LengthAt(i);
    std::memcpy(dst, list.TextAt(i), len);
    dst += len;
    if (sep == 0 || i + 1 < end) *dst++ = sep;
  }
  *dst = 0;
}

void ClampJoinRange(const CTextList& list, int from, int to, uint32_t& lo, uint32_t& end) {
  lo = from < 0 ? 0 : static_cast<uint32_t>(from);
  if (lo > list.count) lo = list.count;
  end = static_cast<uint32_t>(to) < list.count ? static_cast<uint32_t>(to) : list.count;
  if (end < lo) end = lo;
}

}  // namespace

int CTextList::Split(char sep, const char* text, int index, const void* data) {
  if (!text || text[0] == 0) return -1;
  uint32_t at = static_cast<uint32_t>(index) < count ? static_cast<uint32_t>(index) : count;
  size_t limit;
  if (sep == 0) {
    // The multi-string's length, its closing empty string excluded.
    const char* p = text;
    while (*p) p += std::strlen(p) + 1;
    limit = static_cast<size_t>(p - text);
  } else {
    limit = std::strlen(text);
  }
  SplitPieces(*this, sep, text, limit, at, data);
  return static_cast<int>(at);
}

int CTextList::SplitN(char sep, int len, const char* text, int index, const void* data) {
  if (!text || len < 0) return -1;
  uint32_t at = static_cast<uint32_t>(index) < count ? static_cast<uint32_t>(index) : count;
  SplitPieces(*this, sep, text, static_cast<size_t>(len), at, data);
  return static_cast<int>(at);
}

uint32_t CTextList::GetMultiString(int from, int to, char** out) const {
  return static_cast<uint32_t>(Join(from, to, out, 0));
}

int CTextList::Join(int from, int to, char** out, char sep) const {
  if (!out) return -1;
  uint32_t lo, end;
  ClampJoinRange(*this, from, to, lo, end);
  if (lo == end) {
    char* p = new char[2]{0, 0};
    *out = p;
    return sep == 0 ? 2 : 1;
  }
  size_t size = JoinedSize(*this, lo, end, sep);
  if (size > 0x7FFFFFFF) {
    *out = nullptr;
    return -1;
  }
  char* p = new char[size];
  WriteJoined(*this, lo, end, sep, p);
  *out = p;
  return static_cast<int>(size);
}

int CTextList::JoinToString(int from, int to, CString& out, char sep) const {
  uint32_t lo, end;
  ClampJoinRange(*this, from, to, lo, end);
  if (lo == end) {
    // sep 0: the empty multi-string's first NUL is a character; else empty.
    out.Empty();
    out.GetBuffer(1);
    out.ReleaseBuffer(sep == 0 ? 1 : 0);
    return sep == 0 ? 2 : 1;
  }
  size_t size = JoinedSize(*this, lo, end, sep);
  if (size > 0x7FFFFFFF) {
    out.Empty();
    return -1;
  }
  int length = static_cast<int>(size) - 1;
  out.Empty();
  char* buf = out.GetBuffer(length);
  WriteJoined(*this, lo, end, sep, buf);
  out.ReleaseBuffer(length);
  return static_cast<int>(size);
}

int CTextList::JoinLines(int from, int to, char** out, int maxSize, int perLine) const {
  if (!out) return -1;
  uint32_t lo, end;
  ClampJoinRange(*this, from, to, lo, end);
  const uint64_t limit = maxSize < 0 ? 0x10000000u : static_cast<uint64_t>(maxSize);
  const int64_t every = perLine < 0 ? -int64_t{perLine} : int64_t{perLine};
  const uint32_t breakLen = perLine < 0 ? 1 : 2;
  // First pass: how many items fit, and the text's length.
  uint64_t used = 0;
  uint32_t taken = 0;
  for (uint32_t i = lo; i < end; ++i) {
    uint64_t k = i - lo + 1;
    uint64_t add = LengthAt(i) + ((every == 0 || k % static_cast<uint64_t>(every) == 0) ? breakLen : 0);
    if (1 + used + add > limit) break;
    used += add;
    ++taken;
  }
  char* p = new char[used + 1];
  char* dst = p;
  for (uint32_t k = 1; k <= taken; ++k) {
    uint32_t i = lo + k - 1;
    uint32_t len = LengthAt(i);
    std::memcpy(dst, TextAt(i), len);
    dst += len;
    if (every == 0 || k % static_cast<uint64_t>(every) == 0) {
      if (perLine >= 0) *dst++ = '\r';
      *dst++ = '\n';
    }
  }
  *dst = 0;
  *out = p;
  return static_cast<int>(used);
}
