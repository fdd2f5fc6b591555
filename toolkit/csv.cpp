#include "toolkit/csv.h"

#include "toolkit/charclass.h"
#include "toolkit/detail/strsearch.h"
#include "toolkit/detail/textchar.h"

namespace {

using toolkit_detail::CodeOf;
using toolkit_detail::InClass;
using toolkit_detail::NulLimited;

template <class Ch>
bool EndsPlainField(Ch c, Ch sep) {
  return c == sep || InClass(c, CHC_NUL | CHC_NEWLINE);
}

template <class Ch>
int GetField(const Ch* text, int* stored, Ch* dst, int dstSize, int textLen, Ch sep) {
  int n = 0;
  const int room = dstSize > 0 ? dstSize - 1 : 0;  // characters dst can hold
  auto store = [&](Ch c) {
    if (n < room) dst[n] = c;
    ++n;
  };
  int i = 0;
  if (textLen >= 1) {
    if (text[0] == Ch('"')) {
      for (i = 1; i < textLen && text[i] != Ch(0);) {
        if (text[i] != Ch('"')) {
          store(text[i++]);
        } else if (i + 1 < textLen && text[i + 1] == Ch('"')) {
          store(Ch('"'));
          i += 2;
        } else {
          ++i;  // the closing quote
          break;
        }
      }
    } else {
      for (; i < textLen && !EndsPlainField(text[i], sep); ++i) store(text[i]);
    }
    // Whatever follows up to sep belongs to this field and is passed over.
    while (i < textLen && text[i] != sep && !InClass(text[i], CHC_NUL | CHC_NEWLINE)) ++i;
    if (i < textLen && text[i] == sep && sep != Ch(0)) ++i;
  }
  if (n > room) n = room;
  if (dstSize >= 1) dst[n] = Ch(0);
  if (stored) *stored = n;
  return i;
}

// Characters that make a field quoted; the edge set may not begin or end it.
constexpr uint32_t kQuoteInside = CHC_TAB | CHC_NEWLINE | CHC_DQUOTE;
constexpr uint32_t kQuoteAtEdge = CHC_SPACE | CHC_TAB | CHC_NEWLINE;

template <class Ch>
bool NeedsQuotes(const Ch* text, size_t len, Ch sep) {
  if (len == 0) return false;
  if (InClass(text[0], kQuoteAtEdge) || InClass(text[len - 1], kQuoteAtEdge)) return true;
  for (size_t i = 0; i < len; ++i) {
    if (text[i] == sep || InClass(text[i], kQuoteInside)) return true;
    if (sizeof(Ch) > 1 && CodeOf(text[i]) > 255) return true;
  }
  return false;
}

template <class Ch>
int PutField(const Ch* text, Ch* dst, int dstSize, int textLen, Ch sep) {
  if (dstSize < 1) return 0;
  if (dstSize < 2) {
    dst[0] = Ch(0);
    return 0;
  }
  const bool empty = textLen < 0;
  const size_t len = empty ? 0 : NulLimited(text, static_cast<size_t>(textLen));
  size_t out = 0;
  if (!empty && !NeedsQuotes(text, len, sep)) {
    // Plain: as much as fits in front of sep and the terminator.
    const size_t room = static_cast<size_t>(dstSize) - 2;
    const size_t n = len < room ? len : room;
    for (; out < n; ++out) dst[out] = text[out];
  } else if (dstSize >= 4) {
    // Quoted: the content may fill up to dstSize-3, leaving the closing
    // quote, sep and the terminator.
    const size_t limit = static_cast<size_t>(dstSize) - 3;
    dst[out++] = Ch('"');
    for (size_t i = 0; i < len; ++i) {
      const bool quote = text[i] == Ch('"');
      if (out + (quote ? 2 : 1) > limit) break;
      dst[out++] = text[i];
      if (quote) dst[out++] = Ch('"');
    }
    dst[out++] = Ch('"');
  }
  dst[out++] = sep;
  dst[out] = Ch(0);
  return static_cast<int>(out);
}

}  // namespace

int CsvGetField(const char* text, int* stored, char* dst, int dstSize, int textLen, char sep) {
  return GetField(text, stored, dst, dstSize, textLen, sep);
}
int CsvGetFieldW(const char16_t* text, int* stored, char16_t* dst, int dstSize, int textLen, char16_t sep) {
  return GetField(text, stored, dst, dstSize, textLen, sep);
}
int CsvPutField(const char* text, char* dst, int dstSize, int textLen, char sep) {
  return PutField(text, dst, dstSize, textLen, sep);
}
int CsvPutFieldW(const char16_t* text, char16_t* dst, int dstSize, int textLen, char16_t sep) {
  return PutField(text, dst, dstSize, textLen, sep);
}
