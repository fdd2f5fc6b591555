// The integer parser behind every StrToInt member, shared with the number
// list reader, which also needs to know whether any digit was read.
#pragma once

#include <climits>
#include <cstdint>

#include "toolkit/detail/textchar.h"

namespace toolkit_detail {

template <class U>
struct ParsedInt {
  U value;
  int used;    // characters read, trailing blanks included when asked for
  int digits;  // digits read (a lone leading '0' taken as a prefix counts)
};

constexpr unsigned ClampRadix(unsigned radix) {
  return radix < 2 ? 2 : (radix > 36 ? 36 : radix);
}

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

constexpr unsigned PrefixRadix(unsigned letter, bool withDecimal, bool withOctal, bool withBinary) {
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
ParsedInt<U> ParseInt(const Ch* text, int limit, uint32_t flags) {
  if (limit < 1) return {0, 0, 0};
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
  int loneZero = 0;
  switch (mode) {
    case INTPARSE_AUTO:
      if (leadingZero) {
        unsigned r = prefixFits ? PrefixRadix(afterZero, true, true, true) : 0;
        if (r != 0) {
          radix = r;
          i += 2;
        } else {
          i += 1;
          loneZero = 1;
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
          // A lone '0' is a digit of whatever radix follows ("0h", "017o").
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
          loneZero = 1;
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
  int digits = loneZero;
  for (; i < limit; ++i) {
    unsigned code = cur.At(i);
    unsigned digit = DigitOfCode(code);
    if (digit < radix) {
      value = static_cast<U>(value * radix + digit);
      ++digits;
    } else if ((toolkit_detail::ClassOfCode(code) & separators) == 0) {
      break;
    }
  }
  if (suffix) ++i;  // the digit loop stopped on the suffix letter
  if (negative) value = static_cast<U>(U{0} - value);

  if ((flags & INTPARSE_TRAILING_BLANKS) != 0) i = cur.SkipClass(i, CHC_WHITE);
  return {value, i, digits};
}

}  // namespace toolkit_detail
