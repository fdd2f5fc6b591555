#include "toolkit/keyword.h"

#include <cstddef>

#include "toolkit/detail/strsearch.h"
#include "toolkit/detail/textchar.h"

namespace {

using toolkit_detail::FoldedCode;
using toolkit_detail::Length;

template <class Ch>
bool SameText(const Ch* a, const Ch* b, size_t n, bool noCase) {
  for (size_t i = 0; i < n; ++i) {
    if (FoldedCode(a[i], noCase) != FoldedCode(b[i], noCase)) return false;
  }
  return true;
}

// End of the entry that starts at pos: the next separator or the terminator.
template <class Ch>
size_t EntryEnd(const Ch* list, size_t pos, Ch sep) {
  while (list[pos] != Ch(0) && list[pos] != sep) ++pos;
  return pos;
}

// Calls visit(i, begin, length) for each entry of a list until it returns
// false. An empty list has no entries.
template <class Ch, class Visit>
void ForEachEntry(const Ch* list, Ch sep, Visit visit) {
  if (list[0] == Ch(0)) return;
  size_t pos = 0;
  for (int i = 0;; ++i) {
    const size_t end = EntryEnd(list, pos, sep);
    if (!visit(i, pos, end - pos) || list[end] == Ch(0)) return;
    pos = end + 1;
  }
}

// The same over an array of strings: a null entry or count ends it.
template <class Ch, class Visit>
int ForEachArrayEntry(const Ch* const* array, int count, Visit visit) {
  int i = 0;
  for (; i < count && array[i] != nullptr; ++i) {
    if (!visit(i, array[i], Length(array[i]))) break;
  }
  return i;
}

template <class Ch>
int FindKeyword(const Ch* word, size_t wordLen, const Ch* list, Ch sep, bool noCase) {
  int found = -1;
  ForEachEntry(list, sep, [&](int i, size_t begin, size_t len) {
    if (len == wordLen && SameText(list + begin, word, len, noCase)) found = i;
    return found < 0;
  });
  return found;
}

template <class Ch>
int FindInArray(const Ch* word, size_t wordLen, const Ch* const* array, int count, bool noCase) {
  int found = -1;
  ForEachArrayEntry(array, count, [&](int i, const Ch* entry, size_t len) {
    if (len == wordLen && SameText(entry, word, len, noCase)) found = i;
    return found < 0;
  });
  return found;
}

template <class Ch>
size_t WordLength(const Ch* word, int wordLen) {
  return wordLen < 0 ? Length(word) : static_cast<size_t>(wordLen);
}

// An index, or (negative) a mask whose bit i selects field i.
class FieldSelector {
 public:
  explicit FieldSelector(int sel) : byMask_(sel < 0), index_(sel), mask_(static_cast<uint32_t>(sel) & 0x7FFFFFFF) {}
  bool Selected(int i) const { return byMask_ ? i < 31 && ((mask_ >> i) & 1) != 0 : i == index_; }
  // No field after field i is selected.
  bool Done(int i) const { return byMask_ ? i >= 30 || (mask_ >> (i + 1)) == 0 : i >= index_; }

 private:
  bool byMask_;
  int index_;
  uint32_t mask_;
};

// Appends selected pieces to dst, cut at dstSize-1.
template <class Ch>
class FieldWriter {
 public:
  FieldWriter(Ch* dst, int dstSize) : dst_(dst), limit_(static_cast<size_t>(dstSize) - 1) {}
  bool Put(const Ch* s, size_t n) {
    const size_t room = limit_ - out_;
    const size_t c = n < room ? n : room;
    for (size_t k = 0; k < c; ++k) dst_[out_ + k] = s[k];
    out_ += c;
    return c == n;
  }
  int Finish() {
    dst_[out_] = Ch(0);
    return static_cast<int>(out_);
  }

 private:
  Ch* dst_;
  size_t limit_;
  size_t out_ = 0;
};

template <class Ch>
int GetFields(Ch* dst, const Ch* list, int dstSize, int fieldSel, Ch sep) {
  if (dstSize < 1) return 0;
  const FieldSelector sel(fieldSel);
  FieldWriter<Ch> out(dst, dstSize);
  ForEachEntry(list, sep, [&](int i, size_t begin, size_t len) {
    if (sel.Selected(i) && !out.Put(list + begin, len)) return false;
    return !sel.Done(i);
  });
  return out.Finish();
}

template <class Ch>
int JoinArrayFields(Ch* dst, const Ch* const* array, int dstSize, int fieldSel, int count) {
  if (dstSize < 1) return 0;
  const FieldSelector sel(fieldSel);
  FieldWriter<Ch> out(dst, dstSize);
  ForEachArrayEntry(array, count, [&](int i, const Ch* entry, size_t len) {
    if (sel.Selected(i) && !out.Put(entry, len)) return false;
    return !sel.Done(i);
  });
  return out.Finish();
}

template <class Ch>
const Ch* FieldPtr(const Ch* list, int index, Ch sep, int* len, const Ch* dflt) {
  if (index >= 0 && list[0] != Ch(0)) {
    size_t pos = 0;
    for (int i = 0;; ++i) {
      if (i == index && len == nullptr) return list + pos;
      const size_t end = EntryEnd(list, pos, sep);
      if (i == index) {
        *len = static_cast<int>(end - pos);
        return list + pos;
      }
      if (list[end] == Ch(0)) break;
      pos = end + 1;
    }
  }
  if (len) *len = dflt ? static_cast<int>(Length(dflt)) : 0;
  return dflt;
}

template <class Ch>
int FieldsLength(const Ch* list, int fieldSel, Ch sep, int* firstOffset) {
  const FieldSelector sel(fieldSel);
  size_t total = 0;
  long first = -1;
  ForEachEntry(list, sep, [&](int i, size_t begin, size_t len) {
    if (sel.Selected(i)) {
      total += len;
      if (first < 0) first = static_cast<long>(begin);
    }
    return !sel.Done(i);
  });
  if (firstOffset) *firstOffset = first >= 0 ? static_cast<int>(first) : static_cast<int>(Length(list));
  return static_cast<int>(total);
}

template <class Ch>
int ArrayLength(const Ch* const* array, int fieldSel, int count, int* firstIndex) {
  const FieldSelector sel(fieldSel);
  size_t total = 0;
  int first = -1;
  const int walked = ForEachArrayEntry(array, count, [&](int i, const Ch*, size_t len) {
    if (sel.Selected(i)) {
      total += len;
      if (first < 0) first = i;
    }
    return true;
  });
  if (firstIndex) *firstIndex = first >= 0 ? first : walked;
  return static_cast<int>(total);
}

}  // namespace

int KeywordIndex(const char* word, const char* list, char sep) {
  return FindKeyword(word, Length(word), list, sep, false);
}
int KeywordIndexW(const char16_t* word, const char16_t* list, char16_t sep) {
  return FindKeyword(word, Length(word), list, sep, false);
}
int KeywordIndexLen(const char* word, const char* list, int wordLen, char sep) {
  return FindKeyword(word, WordLength(word, wordLen), list, sep, false);
}
int KeywordIndexLenW(const char16_t* word, const char16_t* list, int wordLen, char16_t sep) {
  return FindKeyword(word, WordLength(word, wordLen), list, sep, false);
}
int KeywordIndexNoCase(const char* word, const char* list, char sep) {
  return FindKeyword(word, Length(word), list, sep, true);
}
int KeywordIndexNoCaseW(const char16_t* word, const char16_t* list, char16_t sep) {
  return FindKeyword(word, Length(word), list, sep, true);
}
int KeywordIndexLenNoCase(const char* word, const char* list, int wordLen, char sep) {
  return FindKeyword(word, WordLength(word, wordLen), list, sep, true);
}
int KeywordIndexLenNoCaseW(const char16_t* word, const char16_t* list, int wordLen, char16_t sep) {
  return FindKeyword(word, WordLength(word, wordLen), list, sep, true);
}

int KeywordIndexArray(const char* word, const char* const* array, int count) {
  return FindInArray(word, Length(word), array, count, false);
}
int KeywordIndexArrayW(const char16_t* word, const char16_t* const* array, int count) {
  return FindInArray(word, Length(word), array, count, false);
}
int KeywordIndexArrayNoCase(const char* word, const char* const* array, int count) {
  return FindInArray(word, Length(word), array, count, true);
}
int KeywordIndexArrayNoCaseW(const char16_t* word, const char16_t* const* array, int count) {
  return FindInArray(word, Length(word), array, count, true);
}
int KeywordIndexArrayLen(const char* word, const char* const* array, int wordLen, int count) {
  return FindInArray(word, WordLength(word, wordLen), array, count, false);
}
int KeywordIndexArrayLenW(const char16_t* word, const char16_t* const* array, int wordLen, int count) {
  return FindInArray(word, WordLength(word, wordLen), array, count, false);
}
int KeywordIndexArrayLenNoCase(const char* word, const char* const* array, int wordLen, int count) {
  return FindInArray(word, WordLength(word, wordLen), array, count, true);
}
int KeywordIndexArrayLenNoCaseW(const char16_t* word, const char16_t* const* array, int wordLen, int count) {
  return FindInArray(word, WordLength(word, wordLen), array, count, true);
}

int StrGetFields(char* dst, const char* list, int dstSize, int fieldSel, char sep) {
  return GetFields(dst, list, dstSize, fieldSel, sep);
}
int StrGetFieldsW(char16_t* dst, const char16_t* list, int dstSize, int fieldSel, char16_t sep) {
  return GetFields(dst, list, dstSize, fieldSel, sep);
}
int StrJoinArrayFields(char* dst, const char* const* array, int dstSize, int fieldSel, int count) {
  return JoinArrayFields(dst, array, dstSize, fieldSel, count);
}
int StrJoinArrayFieldsW(char16_t* dst, const char16_t* const* array, int dstSize, int fieldSel, int count) {
  return JoinArrayFields(dst, array, dstSize, fieldSel, count);
}
const char* StrFieldPtr(const char* list, int index, char sep, int* len, const char* dflt) {
  return FieldPtr(list, index, sep, len, dflt);
}
const char16_t* StrFieldPtrW(const char16_t* list, int index, char16_t sep, int* len, const char16_t* dflt) {
  return FieldPtr(list, index, sep, len, dflt);
}
int StrFieldsLength(const char* list, int fieldSel, char sep, int* firstOffset) {
  return FieldsLength(list, fieldSel, sep, firstOffset);
}
int StrFieldsLengthW(const char16_t* list, int fieldSel, char16_t sep, int* firstOffset) {
  return FieldsLength(list, fieldSel, sep, firstOffset);
}
int ArrayFieldsLength(const char* const* array, int fieldSel, int count, int* firstIndex) {
  return ArrayLength(array, fieldSel, count, firstIndex);
}
int ArrayFieldsLengthW(const char16_t* const* array, int fieldSel, int count, int* firstIndex) {
  return ArrayLength(array, fieldSel, count, firstIndex);
}
