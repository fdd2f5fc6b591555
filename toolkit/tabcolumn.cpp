// Tab columns: one walker over bytes, units, UTF-8 sequences or UTF-16
// characters serves every column function.
#include "toolkit/tabcolumn.h"

#include <climits>
#include <cstdint>

#include "toolkit/unicode.h"

namespace {

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }
int64_t FloorMod(int64_t a, int64_t b) { return a - FloorDiv(a, b) * b; }

int Saturate(int64_t v) { return v > INT_MAX ? INT_MAX : static_cast<int>(v); }

// Column after one character starting at col.
int Step(int col, bool tab, int tabSize) {
  if (!tab) return Saturate(int64_t{col} + 1);
  return Saturate((FloorDiv(col, tabSize) + 1) * tabSize);
}

// How one character is measured: a unit, a UTF-8 sequence or a UTF-16
// character. `left` is the number of units remaining (-1: up to the
// terminator).
enum class Unit { Plain, Utf8, Utf16 };

template <Unit kind, class Ch>
int CharLength(const Ch* p, int left) {
  if constexpr (kind == Unit::Utf8) {
    return left < 0 ? Utf8CharLength(p) : Utf8CharLengthN(p, left);
  } else if constexpr (kind == Unit::Utf16) {
    return left < 0 ? Utf16CharLength(p) : Utf16CharLengthN(p, left);
  } else {
    return 1;
  }
}

struct Walk {
  int col;     // column reached
  int length;  // units taken
};

// Steps through text (len units, or up to the terminator when len < 0) and
// stops before the first character that would end beyond maxCol.
template <Unit kind, class Ch>
Walk TabWalk(const Ch* text, int len, int tabSize, int startCol, int64_t maxCol) {
  if (tabSize < 1) tabSize = 1;
  int col = startCol, i = 0;
  while (len < 0 ? text[i] != 0 : i < len) {
    int next = Step(col, text[i] == '\t', tabSize);
    if (next > maxCol) break;
    col = next;
    i += CharLength<kind>(text + i, len < 0 ? -1 : len - i);
  }
  return {col, i};
}

constexpr int64_t kNoLimit = INT64_MAX;

template <Unit kind, class Ch>
int End(const Ch* text, int len, int tabSize, int startCol) {
  if (len == 0) return startCol;
  return TabWalk<kind>(text, len < 0 ? -1 : len, tabSize, startCol, kNoLimit).col;
}

template <Unit kind, class Ch>
int Fit(int maxCol, const Ch* text, int len, int tabSize, int startCol) {
  if (len == 0) return 0;
  return TabWalk<kind>(text, len < 0 ? -1 : len, tabSize, startCol, maxCol).length;
}

// Bounded forms: a length below 1 takes nothing.
inline int Bound(int len) { return len < 1 ? 0 : len; }

template <class Ch>
int Fill(Ch* dst, int fromCol, int toCol, int tabSize) {
  const int64_t from = fromCol, to = toCol;
  int64_t n = 0;
  auto put = [&](Ch c, int64_t count) {
    for (int64_t k = 0; k < count; ++k) dst[n++] = c;
  };
  if (to > from) {
    if (tabSize < 1 || FloorDiv(from, tabSize) == FloorDiv(to, tabSize)) {
      put(' ', to - from);
    } else {
      // One character to the first stop (a blank does when it is one column
      // away), TABs from stop to stop, blanks from the last stop.
      put(FloorMod(from + 1, tabSize) == 0 ? ' ' : '\t', 1);
      put('\t', FloorDiv(to, tabSize) - FloorDiv(from, tabSize) - 1);
      put(' ', FloorMod(to, tabSize));
    }
  }
  dst[n] = 0;
  return static_cast<int>(n);
}

}  // namespace

int TabColumnEnd(const char* text, int tabSize, int startCol) {
  return End<Unit::Plain>(text, -1, tabSize, startCol);
}
int TabColumnEndW(const wchar16* text, int tabSize, int startCol) {
  return End<Unit::Plain>(text, -1, tabSize, startCol);
}
int TabColumnEndUtf8(const char* text, int tabSize, int startCol) {
  return End<Unit::Utf8>(text, -1, tabSize, startCol);
}
int TabColumnEndUtf16(const wchar16* text, int tabSize, int startCol) {
  return End<Unit::Utf16>(text, -1, tabSize, startCol);
}
int TabColumnEndN(int len, const char* text, int tabSize, int startCol) {
  return End<Unit::Plain>(text, Bound(len), tabSize, startCol);
}
int TabColumnEndNW(int len, const wchar16* text, int tabSize, int startCol) {
  return End<Unit::Plain>(text, Bound(len), tabSize, startCol);
}
int TabColumnEndUtf8N(int len, const char* text, int tabSize, int startCol) {
  return End<Unit::Utf8>(text, Bound(len), tabSize, startCol);
}
int TabColumnEndUtf16N(int len, const wchar16* text, int tabSize, int startCol) {
  return End<Unit::Utf16>(text, Bound(len), tabSize, startCol);
}

int TabColumnFit(int maxCol, const char* text, int tabSize, int startCol) {
  return Fit<Unit::Plain>(maxCol, text, -1, tabSize, startCol);
}
int TabColumnFitW(int maxCol, const wchar16* text, int tabSize, int startCol) {
  return Fit<Unit::Plain>(maxCol, text, -1, tabSize, startCol);
}
int TabColumnFitUtf8(int maxCol, const char* text, int tabSize, int startCol) {
  return Fit<Unit::Utf8>(maxCol, text, -1, tabSize, startCol);
}
int TabColumnFitUtf16(int maxCol, const wchar16* text, int tabSize, int startCol) {
  return Fit<Unit::Utf16>(maxCol, text, -1, tabSize, startCol);
}
int TabColumnFitN(int maxCol, int len, const char* text, int tabSize, int startCol) {
  return Fit<Unit::Plain>(maxCol, text, Bound(len), tabSize, startCol);
}
int TabColumnFitNW(int maxCol, int len, const wchar16* text, int tabSize, int startCol) {
  return Fit<Unit::Plain>(maxCol, text, Bound(len), tabSize, startCol);
}
int TabColumnFitUtf8N(int maxCol, int len, const char* text, int tabSize, int startCol) {
  return Fit<Unit::Utf8>(maxCol, text, Bound(len), tabSize, startCol);
}
int TabColumnFitUtf16N(int maxCol, int len, const wchar16* text, int tabSize, int startCol) {
  return Fit<Unit::Utf16>(maxCol, text, Bound(len), tabSize, startCol);
}

int TabFill(char* dst, int fromCol, int toCol, int tabSize) {
  return Fill(dst, fromCol, toCol, tabSize);
}
int TabFillW(wchar16* dst, int fromCol, int toCol, int tabSize) {
  return Fill(dst, fromCol, toCol, tabSize);
}
