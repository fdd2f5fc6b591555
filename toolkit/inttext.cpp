#include "toolkit/inttext.h"

#include <climits>

#include "toolkit/detail/textchar.h"

namespace {

using toolkit_detail::ClassOf;
using toolkit_detail::CodeOf;
using toolkit_detail::DigitOfCode;
using toolkit_detail::LowerAscii;

constexpr unsigned ClampRadix(unsigned radix) { return radix < 2 ? 2 : (radix > 36 ? 36 : radix); }

// Reads characters of text below a limit; past the limit it reads as the
// terminator. Callers look at a character only after every one before it
// was not the terminator, so nothing past the text is touched.
template <class Ch>
class Cursor {
 public:
  Cursor(const Ch* text, int limit) : text_(text), limit_(limit) {}
  unsigned At(int k) const { return k < limit_ ? CodeOf(text_[k]) : 0u; }
  int Remaining(int k) const { return limit_ - k; }
  int Limit() const { return limit_; }

  int SkipClass(int k, uint32_t mask) const {
    while (k < limit_ && (ClassOf(text_[k]) & mask) != 0) ++k;
    return k;
  }

 private:
  const Ch* text_;
  int limit_;
};

// Radix chosen by a trailing 'h', 'b' or 'o' after a run of digits starting
// at k, or 0 when no suffix decides. An empty run never decides.
template <class Ch>
unsigned SuffixRadix(const Cursor<Ch>& cur, int k) {
  struct Rule {
    uint32_t digits;
    unsigned suffix;
    unsigned radix;
  };
  static constexpr Rule kRules[] = {
      {CHC_DIGIT | CHC_HEXLETTER, 'h', 16}, {CHC_BINDIGIT, 'b', 2}, {CHC_OCTDIGIT, 'o', 8}};
  for (const Rule& rule : kRules) {
    int end = cur.SkipClass(k, rule.digits);
    if (end > k && LowerAscii(cur.At(end)) == rule.suffix) return rule.radix;
  }
  return 0;
}

// Radix of a "16#", "10#", "8#" or "2#" form at k, or 0; *length receives
// the characters of the form.
template <class Ch>
unsigned HashRadix(const Cursor<Ch>& cur, int k, int* length) {
  unsigned c0 = cur.At(k);
  if ((c0 == '8' || c0 == '2') && cur.At(k + 1) == '#') {
    *length = 2;
    return c0 - '0';
  }
  if (c0 == '1') {
    unsigned c1 = cur.At(k + 1);
    if ((c1 == '6' || c1 == '0') && cur.At(k + 2) == '#') {
      *length = 3;
      return c1 == '6' ? 16 : 10;
    }
  }
  return 0;
}

unsigned PrefixRadix(unsigned letter, bool withDecimal, bool withOctal, bool withBinary) {
  switch (LowerAscii(letter)) {
    case 'x':
      return 16;
    case 'd':
      return withDecimal ? 10 : 0;
    case 'o':
      return withOctal ? 8 : 0;
    case 'b':
      return withBinary ? 2 : 0;
    default:
      return 0;
  }
}

// The parser behind every StrToInt member; U is the unsigned type of the
// result width, all arithmetic wraps in it.
template <class U, class Ch>
U ParseInt(const Ch* text, int limit, uint32_t flags, int* used) {
  if (limit < 1) {
    if (used != nullptr) *used = 0;
    return 0;
  }
  const Cursor<Ch> cur(text, limit);
  uint32_t separators = NumberSeparatorClasses[(flags >> INTPARSE_SEP_SHIFT) & 3];
  int i = 0;
  if ((flags & INTPARSE_NO_LEADING_BLANKS) == 0) i = cur.SkipClass(i, CHC_BLANK);

  bool negative = false;
  if (cur.At(i) == '-' && (flags & INTPARSE_NO_SIGN) == 0) {
    negative = true;
    ++i;
    if ((flags & (INTPARSE_NO_BLANK_AFTER_SIGN | INTPARSE_NO_LEADING_BLANKS)) == 0) {
      i = cur.SkipClass(i, CHC_BLANK);
    }
  }

  const unsigned mode = flags & INTPARSE_RADIX_MASK;
  unsigned radix = 10;
  bool suffixRule = false;
  // A two-character prefix needs a third character behind it.
  const bool prefixFits = cur.Remaining(i) >= 3;
  const bool leadingZero = cur.At(i) == '0';
  const unsigned afterZero = leadingZero ? cur.At(i + 1) : 0u;
  int hashLength = 0;
  switch (mode) {
    case INTPARSE_AUTO:
      if (leadingZero) {
        unsigned r = prefixFits ? PrefixRadix(afterZero, true, true, true) : 0;
        if (r != 0) {
          radix = r;
          i += 2;
        } else {
          i += 1;
        }
      }
      break;
    case INTPARSE_SUFFIX:
      suffixRule = true;
      break;
    case INTPARSE_ANY_OCTAL:
    case INTPARSE_ANY:
      if (leadingZero) {
        unsigned r = prefixFits ? PrefixRadix(afterZero, true, true, true) : 0;
        // "0Bh" and "0DEADh" are hex numbers with a suffix, not prefixes.
        if (r != 0 && SuffixRadix(cur, i) != 16) {
          radix = r;
          i += 2;
        } else if (r != 0) {
          suffixRule = true;
        } else {
          i += 1;
          if (mode == INTPARSE_ANY_OCTAL) radix = 8;
          suffixRule = true;
        }
      } else if (unsigned r = HashRadix(cur, i, &hashLength); r != 0) {
        radix = r;
        i += hashLength;
        separators |= CHC_UNDERSCORE;
      } else {
        suffixRule = true;
      }
      break;
    case INTPARSE_HASH:
      if (unsigned r = HashRadix(cur, i, &hashLength); r != 0) {
        radix = r;
        i += hashLength;
        separators |= CHC_UNDERSCORE;
      }
      break;
    case INTPARSE_C:
    case INTPARSE_C_NO_BINARY:
      if (leadingZero) {
        unsigned r = prefixFits ? PrefixRadix(afterZero, false, false, mode == INTPARSE_C) : 0;
        if (r != 0) {
          radix = r;
          i += 2;
        } else {
          radix = 8;
          i += 1;
        }
      }
      break;
    default:
      radix = ClampRadix(mode);
      break;
  }

  bool suffix = false;
  if (suffixRule) {
    if (unsigned r = SuffixRadix(cur, i); r != 0) {
      radix = r;
      suffix = true;
    }
  }

  U value = 0;
  for (; i < limit; ++i) {
    unsigned code = cur.At(i);
    unsigned digit = DigitOfCode(code);
    if (digit < radix) {
      value = static_cast<U>(value * radix + digit);
    } else if ((toolkit_detail::ClassOfCode(code) & separators) == 0) {
      break;
    }
  }
  if (suffix) ++i;  // the digit loop stopped on the suffix letter
  if (negative) value = static_cast<U>(U{0} - value);

  if (used != nullptr) {
    if ((flags & INTPARSE_TRAILING_BLANKS) != 0) i = cur.SkipClass(i, CHC_WHITE);
    *used = i;
  }
  return value;
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
constexpr StyleInfo kStyles[] = {
    {10, "", 0, true},    {16, "0x", 0, false},  {2, "0b", 0, false}, {8, "0o", 0, false},
    {16, "", 'h', false}, {2, "", 'b', false},   {8, "", 'o', false}, {16, "16#", 0, false},
    {2, "2#", 0, false},  {8, "8#", 0, false},   {10, "10#", 0, false}};
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

uint32_t HexToIntN(const char* text, int len) { return HexToInt(text, len); }
uint32_t HexToIntNW(const wchar16* text, int len) { return HexToInt(text, len); }

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
