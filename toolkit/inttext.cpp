#include "toolkit/inttext.h"

#include <climits>

#include "toolkit/detail/intparse.h"

namespace {

using toolkit_detail::ClampRadix;
using toolkit_detail::Cursor;
using toolkit_detail::DigitOfCode;

template <class U, class Ch>
U ParseInt(const Ch* text, int limit, uint32_t flags, int* used) {
  const toolkit_detail::ParsedInt<U> parsed = toolkit_detail::ParseInt<U>(text, limit, flags);
  if (used != nullptr) *used = parsed.used;
  return parsed.value;
}

template <class Ch>
uint32_t HexToInt(const Ch* text, int len) {
  if (len == 0) return 0;
  const Cursor<Ch> cur(text, len < 0 ? INT_MAX : len);
  int i = cur.SkipClass(0, CHC_BLANK);
  uint32_t value = 0;
  for (; i < cur.Limit(); ++i) {
    unsigned digit = DigitOfCode(cur.At(i));
    if (digit >= 16) break;
    value = value * 16 + digit;
  }
  return value;
}

struct StyleInfo {
  unsigned radix;
  char prefix[4];
  char suffix;
  bool isSigned;
};

// Styles 0-10; every higher style is unsigned decimal.
constexpr StyleInfo kStyles[] = {{10, "", 0, true},   {16, "0x", 0, false},  {2, "0b", 0, false},
                                 {8, "0o", 0, false}, {16, "", 'h', false},  {2, "", 'b', false},
                                 {8, "", 'o', false}, {16, "16#", 0, false}, {2, "2#", 0, false},
                                 {8, "8#", 0, false}, {10, "10#", 0, false}};
constexpr StyleInfo kUnsignedDecimal = {10, "", 0, false};

// Formats a value given both ways: as the unsigned pattern of the caller's
// width (for the unsigned styles) and as a signed number (for style 0).
template <class Ch>
int FormatInt(uint64_t bits, int64_t signedValue, Ch* buffer, uint32_t flags) {
  const unsigned styleCode = flags & INTFMT_STYLE_MASK;
  StyleInfo style = kUnsignedDecimal;
  if ((flags & INTFMT_RADIX) != 0) {
    style.radix = ClampRadix(styleCode);
  } else if (styleCode < sizeof(kStyles) / sizeof(kStyles[0])) {
    style = kStyles[styleCode];
  }

  const bool negative = style.isSigned && signedValue < 0;
  uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(signedValue) : bits;

  int minDigits = 1;
  int maxDigits = 64;  // every digit of a 64-bit value, even in binary
  int padWidth = 0;
  const int width = static_cast<int>((flags & INTFMT_WIDTH_MASK) >> INTFMT_WIDTH_SHIFT);
  if (width != 0) {
    minDigits = (negative && width >= 3) ? width - 1 : width;
    if ((flags & INTFMT_EXACT_WIDTH) != 0) maxDigits = minDigits;
    if ((flags & INTFMT_PAD_BLANKS) != 0) {
      padWidth = minDigits;
      minDigits = 1;
    }
  }

  // Lead: sign, prefix, leading zero.
  Ch lead[5];
  int leadLength = 0;
  if (negative) lead[leadLength++] = '-';
  for (const char* p = style.prefix; *p != 0; ++p) lead[leadLength++] = static_cast<Ch>(*p);

  // Digits, lowest first; a suffix is the lowest entry.
  Ch digits[66];
  int count = 0;
  if (style.suffix != 0) {
    digits[count++] = static_cast<Ch>(style.suffix);
    ++minDigits;
    ++maxDigits;
  }
  const int suffixCount = count;
  do {
    unsigned d = static_cast<unsigned>(magnitude % style.radix);
    magnitude /= style.radix;
    digits[count++] = static_cast<Ch>(d < 10 ? '0' + d : 'A' + d - 10);
  } while (count < maxDigits && (count < minDigits || magnitude != 0));

  if (style.suffix == 'h' && digits[count - 1] > '9' && count < maxDigits) lead[leadLength++] = '0';

  int pos = 0;
  const int digitCount = count - suffixCount;
  for (int blanks = padWidth - digitCount; blanks > 0; --blanks) buffer[pos++] = ' ';
  for (int k = 0; k < leadLength; ++k) buffer[pos++] = lead[k];
  while (count > 0) buffer[pos++] = digits[--count];
  buffer[pos] = 0;
  return pos;
}

}  // namespace

int StrToInt(const char* text, uint32_t flags, int* used) {
  return static_cast<int>(ParseInt<uint32_t>(text, INT_MAX, flags, used));
}
int StrToIntW(const wchar16* text, uint32_t flags, int* used) {
  return static_cast<int>(ParseInt<uint32_t>(text, INT_MAX, flags, used));
}
int StrToIntN(const char* text, int maxLen, uint32_t flags, int* used) {
  return static_cast<int>(ParseInt<uint32_t>(text, maxLen, flags, used));
}
int StrToIntNW(const wchar16* text, int maxLen, uint32_t flags, int* used) {
  return static_cast<int>(ParseInt<uint32_t>(text, maxLen, flags, used));
}
int64_t StrToInt64(const char* text, uint32_t flags, int* used) {
  return static_cast<int64_t>(ParseInt<uint64_t>(text, INT_MAX, flags, used));
}
int64_t StrToInt64W(const wchar16* text, uint32_t flags, int* used) {
  return static_cast<int64_t>(ParseInt<uint64_t>(text, INT_MAX, flags, used));
}
int64_t StrToInt64N(const char* text, int maxLen, uint32_t flags, int* used) {
  return static_cast<int64_t>(ParseInt<uint64_t>(text, maxLen, flags, used));
}
int64_t StrToInt64NW(const wchar16* text, int maxLen, uint32_t flags, int* used) {
  return static_cast<int64_t>(ParseInt<uint64_t>(text, maxLen, flags, used));
}

uint32_t HexToIntN(const char* text, int len) {
  return HexToInt(text, len);
}
uint32_t HexToIntNW(const wchar16* text, int len) {
  return HexToInt(text, len);
}

int IntToStr(int value, char* buffer, uint32_t flags) {
  return FormatInt(static_cast<uint32_t>(value), value, buffer, flags);
}
int IntToStrW(int value, wchar16* buffer, uint32_t flags) {
  return FormatInt(static_cast<uint32_t>(value), value, buffer, flags);
}
int Int64ToStr(int64_t value, char* buffer, uint32_t flags) {
  return FormatInt(static_cast<uint64_t>(value), value, buffer, flags);
}
int Int64ToStrW(int64_t value, wchar16* buffer, uint32_t flags) {
  return FormatInt(static_cast<uint64_t>(value), value, buffer, flags);
}
