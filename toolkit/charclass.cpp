#include "toolkit/charclass.h"

#include "toolkit/detail/textchar.h"

namespace {

using toolkit_detail::ClassOf;
using toolkit_detail::CodeOf;

// Counts characters in the class (mask without bit 31: the terminator is never
// in it, so the scan always ends there).
template <class Ch>
int SpanClass(const Ch* text, uint32_t mask) {
  mask &= ~CHC_NUL;
  int n = 0;
  while ((ClassOf(text[n]) & mask) != 0) ++n;
  return n;
}

// Counts characters outside the class; the terminator always counts as a
// member, so the scan ends there.
template <class Ch>
int SpanNotClass(const Ch* text, uint32_t mask) {
  mask |= CHC_NUL;
  int n = 0;
  while ((ClassOf(text[n]) & mask) == 0) ++n;
  return n;
}

template <class Ch>
int SpanClassN(const Ch* text, uint32_t mask, int maxLen) {
  int n = 0;
  while (n < maxLen && (ClassOf(text[n]) & mask) != 0) ++n;
  return n;
}

// Bit 31 is inverted as given: with CHC_NUL clear the terminator stops the
// scan, with it set the scan may run over the terminator up to maxLen.
template <class Ch>
int SpanNotClassN(const Ch* text, uint32_t mask, int maxLen) {
  mask ^= CHC_NUL;
  int n = 0;
  while (n < maxLen && (ClassOf(text[n]) & mask) == 0) ++n;
  return n;
}

template <class Ch>
int SpanBack(const Ch* end, uint32_t mask, int maxLen, bool member) {
  int n = 0;
  while (n < maxLen && ((ClassOf(end[-1 - n]) & mask) != 0) == member) ++n;
  return n;
}

// Membership set of a NUL-terminated character list: a 256-bit set for the
// codes up to 255, and for wide lists the stretch of the list from its first
// to its last character above 255, compared one by one.
template <class Ch>
class CharList {
 public:
  explicit CharList(const Ch* set) {
    if (set == nullptr) return;
    for (const Ch* p = set; *p != 0; ++p) {
      unsigned code = CodeOf(*p);
      if (code < 256) {
        bits_[code >> 5] |= 1u << (code & 31);
      } else {
        if (wideFirst_ == nullptr) wideFirst_ = p;
        wideEnd_ = p + 1;
      }
    }
  }

  bool Has(Ch c) const {
    unsigned code = CodeOf(c);
    if (code < 256) return ((bits_[code >> 5] >> (code & 31)) & 1u) != 0;
    for (const Ch* p = wideFirst_; p != wideEnd_; ++p) {
      if (*p == c) return true;
    }
    return false;
  }

 private:
  uint32_t bits_[8] = {};
  const Ch* wideFirst_ = nullptr;
  const Ch* wideEnd_ = nullptr;
};

// Index of the last character of text[0..len) whose membership equals
// member; the split forms never test index 0 and give 0 instead of -1.
template <class Ch>
int FindLast(const Ch* text, const Ch* set, int len, bool member, bool split) {
  const int none = split ? 0 : -1;
  if (text == nullptr) return none;
  if (len < 0) len = toolkit_detail::TextLength(text);
  CharList<Ch> list(set);
  const int stop = split ? 1 : 0;
  for (int i = len - 1; i >= stop; --i) {
    if (list.Has(text[i]) == member) return i;
  }
  return none;
}

}  // namespace

int StrSpanClass(const char* text, uint32_t mask) {
  return SpanClass(text, mask);
}
int StrSpanClassW(const wchar16* text, uint32_t mask) {
  return SpanClass(text, mask);
}
int StrSpanClassN(const char* text, uint32_t mask, int maxLen) {
  return SpanClassN(text, mask, maxLen);
}
int StrSpanClassNW(const wchar16* text, uint32_t mask, int maxLen) {
  return SpanClassN(text, mask, maxLen);
}
int StrSpanNotClass(const char* text, uint32_t mask) {
  return SpanNotClass(text, mask);
}
int StrSpanNotClassW(const wchar16* text, uint32_t mask) {
  return SpanNotClass(text, mask);
}
int StrSpanNotClassN(const char* text, uint32_t mask, int maxLen) {
  return SpanNotClassN(text, mask, maxLen);
}
int StrSpanNotClassNW(const wchar16* text, uint32_t mask, int maxLen) {
  return SpanNotClassN(text, mask, maxLen);
}

int StrSpanClassBack(const char* end, uint32_t mask, int maxLen) {
  return SpanBack(end, mask, maxLen, true);
}
int StrSpanClassBackW(const wchar16* end, uint32_t mask, int maxLen) {
  return SpanBack(end, mask, maxLen, true);
}
int StrSpanNotClassBack(const char* end, uint32_t mask, int maxLen) {
  return SpanBack(end, mask, maxLen, false);
}
int StrSpanNotClassBackW(const wchar16* end, uint32_t mask, int maxLen) {
  return SpanBack(end, mask, maxLen, false);
}

int StrFindLastOf(const char* text, const char* set, int len) {
  return FindLast(text, set, len, true, false);
}
int StrFindLastOfW(const wchar16* text, const wchar16* set, int len) {
  return FindLast(text, set, len, true, false);
}
int StrFindLastNotOf(const char* text, const char* set, int len) {
  return FindLast(text, set, len, false, false);
}
int StrFindLastNotOfW(const wchar16* text, const wchar16* set, int len) {
  return FindLast(text, set, len, false, false);
}
int StrSplitPosLastOf(const char* text, const char* set, int len) {
  return FindLast(text, set, len, true, true);
}
int StrSplitPosLastOfW(const wchar16* text, const wchar16* set, int len) {
  return FindLast(text, set, len, true, true);
}
int StrSplitPosLastNotOf(const char* text, const char* set, int len) {
  return FindLast(text, set, len, false, true);
}
int StrSplitPosLastNotOfW(const wchar16* text, const wchar16* set, int len) {
  return FindLast(text, set, len, false, true);
}
