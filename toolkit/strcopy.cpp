// Bounded copy, append, trim and prepend, written once for both widths.
#include "toolkit/strcopy.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "toolkit/charclass.h"
#include "toolkit/detail/textchar.h"

namespace {

using toolkit_detail::TextLength;

template <class Ch>
int LenN(const Ch* text, int maxLen) {
  if (maxLen < 1) return 0;
  if constexpr (sizeof(Ch) == 1) {
    return int(strnlen(text, size_t(maxLen)));
  } else {
    int n = 0;
    while (n < maxLen && text[n] != 0) ++n;
    return n;
  }
}

template <class Ch>
void Move(Ch* dst, const Ch* src, int count) {
  if (count > 0) std::memmove(dst, src, size_t(count) * sizeof(Ch));
}

// Copies at most limit - 1 characters (limit >= 1) and terminates.
template <class Ch>
int CopyLimited(Ch* dst, const Ch* src, int64_t limit) {
  if constexpr (sizeof(Ch) == 1) {  // as AppendN: straight from strnlen
    const size_t n = strnlen(src, size_t(limit) - 1);  // reads nothing when limit is 1
    std::memcpy(dst, src, n);
    dst[n] = 0;
    return int(n);
  } else {
    const int n = LenN(src, int(limit - 1));
    if (n > 0) std::memcpy(dst, src, size_t(n) * sizeof(Ch));
    dst[n] = 0;
    return n;
  }
}

template <class Ch>
int CopyN(Ch* dst, const Ch* src, int dstSize) {
  return dstSize < 1 ? 0 : CopyLimited(dst, src, dstSize);
}

template <class Ch>
int CopyMax(Ch* dst, const Ch* src, int dstSize, int maxChars) {
  if (dstSize < 1) return 0;
  // At most maxChars + 1 characters with the terminator; 64-bit, so INT_MAX
  // does not wrap.
  return CopyLimited(dst, src, std::min<int64_t>(int64_t(std::max(maxChars, 0)) + 1, dstSize));
}

template <bool Bounded, class Ch>
int AppendN(Ch* dst, const Ch* src, int dstSize, int maxChars) {
  // Narrow text counts in size_t straight from strnlen: appends are called
  // often on short texts, where each conversion and test shows.
  if constexpr (sizeof(Ch) == 1) {
    if (dstSize < 1) return 0;
    const size_t used = strnlen(dst, size_t(dstSize));
    if (used >= size_t(dstSize)) return int(used);
    size_t room = size_t(dstSize) - used - 1;
    if constexpr (Bounded) room = std::min(room, size_t(std::max(maxChars, 0)));
    const size_t n = strnlen(src, room);
    std::memcpy(dst + used, src, n);
    dst[used + n] = 0;
    return int(used + n);
  } else {
    const int n = LenN(dst, dstSize);
    if (n >= dstSize) return n;
    if constexpr (Bounded) return n + CopyMax(dst + n, src, dstSize - n, maxChars);
    else return n + CopyN(dst + n, src, dstSize - n);
  }
}

// Writes text[lead, lead + len) minus its trailing white space to dst.
template <class Ch>
int TrimTail(Ch* dst, const Ch* src, int lead, int len) {
  const Ch* start = src + lead;
  const int trail = [&] {
    if constexpr (sizeof(Ch) == 1) return StrSpanClassBack(start + len, CHC_WHITE, len);
    else return StrSpanClassBackW(start + len, CHC_WHITE, len);
  }();
  const int n = len - trail;
  Move(dst, start, n);
  dst[n] = 0;
  return n;
}

template <class Ch>
int LeadingWhite(const Ch* src) {
  if constexpr (sizeof(Ch) == 1) return StrSpanClass(src, CHC_WHITE);
  else return StrSpanClassW(src, CHC_WHITE);
}

template <class Ch>
int TrimCopy(Ch* dst, const Ch* src) {
  const int lead = LeadingWhite(src);
  return TrimTail(dst, src, lead, TextLength(src + lead));
}

template <class Ch>
int TrimCopyN(Ch* dst, const Ch* src, int dstSize) {
  if (dstSize < 1) return 0;
  const int lead = LeadingWhite(src);
  return TrimTail(dst, src, lead, LenN(src + lead, dstSize - 1));
}

// Places the first f characters of front at text after text's first t
// characters have moved up by f. front may be a part of text (its tail); it
// is then read from where the move put it.
template <class Ch>
void ShiftAndPlace(Ch* text, const Ch* front, int f, int t) {
  const uintptr_t a = reinterpret_cast<uintptr_t>(front), lo = reinterpret_cast<uintptr_t>(text);
  const bool inside = a >= lo && a < lo + uintptr_t(t) * sizeof(Ch);
  Move(text + f, text, t);
  Move(text, inside ? front + f : front, f);
  text[f + t] = 0;
}

template <class Ch>
int Prepend(Ch* text, const Ch* front) {
  const int f = TextLength(front), t = TextLength(text);
  ShiftAndPlace(text, front, f, t);
  return f + t + 1;
}

template <class Ch>
int PrependN(Ch* text, const Ch* front, int size) {
  if (size < 1) return 0;
  const int f = LenN(front, size);
  if (f >= size) {
    Move(text, front, size - 1);
    text[size - 1] = 0;
    return size - 1;
  }
  int t = LenN(text, size);
  if (int64_t(f) + t >= size) t = size - f - 1;
  ShiftAndPlace(text, front, f, t);
  return f + t;
}

}  // namespace

int StrLenN(const char* text, int maxLen) { return LenN(text, maxLen); }
int StrLenNW(const wchar16* text, int maxLen) { return LenN(text, maxLen); }

int StrCopyN(char* dst, const char* src, int dstSize) { return CopyN(dst, src, dstSize); }
int StrCopyNW(wchar16* dst, const wchar16* src, int dstSize) { return CopyN(dst, src, dstSize); }

int StrCopyMax(char* dst, const char* src, int dstSize, int maxChars) {
  return CopyMax(dst, src, dstSize, maxChars);
}
int StrCopyMaxW(wchar16* dst, const wchar16* src, int dstSize, int maxChars) {
  return CopyMax(dst, src, dstSize, maxChars);
}

int StrAppendN(char* dst, const char* src, int dstSize) { return AppendN<false>(dst, src, dstSize, 0); }
int StrAppendNW(wchar16* dst, const wchar16* src, int dstSize) {
  return AppendN<false>(dst, src, dstSize, 0);
}
int StrAppendMax(char* dst, const char* src, int dstSize, int maxChars) {
  return AppendN<true>(dst, src, dstSize, maxChars);
}
int StrAppendMaxW(wchar16* dst, const wchar16* src, int dstSize, int maxChars) {
  return AppendN<true>(dst, src, dstSize, maxChars);
}

int StrTrimCopy(char* dst, const char* src) { return TrimCopy(dst, src); }
int StrTrimCopyW(wchar16* dst, const wchar16* src) { return TrimCopy(dst, src); }
int StrTrimCopyN(char* dst, const char* src, int dstSize) { return TrimCopyN(dst, src, dstSize); }
int StrTrimCopyNW(wchar16* dst, const wchar16* src, int dstSize) { return TrimCopyN(dst, src, dstSize); }

int StrPrepend(char* text, const char* front) { return Prepend(text, front); }
int StrPrependW(wchar16* text, const wchar16* front) { return Prepend(text, front); }
int StrPrependN(char* text, const char* front, int size) { return PrependN(text, front, size); }
int StrPrependNW(wchar16* text, const wchar16* front, int size) { return PrependN(text, front, size); }
