#include "toolkit/numtext.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <limits>
#include <string>

#include "toolkit/detail/intparse.h"

namespace {

using toolkit_detail::ClassOf;
using toolkit_detail::CodeOf;
using toolkit_detail::DigitOf;
using toolkit_detail::DigitOfCode;
using toolkit_detail::LowerAscii;

template <class Ch>
int ParseEscape(const Ch* text, int* used, unsigned hexModulus) {
  int n = 1;
  unsigned value = CodeOf(text[0]);
  if (value == '\\') {
    const unsigned next = CodeOf(text[1]);
    const unsigned meaning = next < 128 ? EscapeCharTable[next] : 0u;
    if (meaning == ESCAPE_HEX) {
      n = 2;
      value = 0;
      for (unsigned d; n < 5 && (d = DigitOf(text[n])) < 16; ++n) value = value * 16 + d;
      value %= hexModulus;
    } else if (meaning == ESCAPE_OCTAL) {
      value = 0;
      for (unsigned d; n < 4 && (d = DigitOf(text[n])) < 8; ++n) value = value * 8 + d;
      value %= 256;
    } else if (meaning != 0) {
      n = 2;
      value = meaning;
    }
  }
  if (used != nullptr) *used = n;
  return static_cast<int>(value);
}

// Two-letter escapes written for control characters and quoting.
constexpr char EscapeLetter(unsigned c) {
  switch (c) {
    case '\t':
      return 't';
    case '\r':
      return 'r';
    case '\n':
      return 'n';
    case '\a':
      return 'a';
    case '\b':
      return 'b';
    case '\f':
      return 'f';
    case '\v':
      return 'v';
    case '\\':
      return '\\';
    case '\'':
      return '\'';
    case '"':
      return '"';
    default:
      return 0;
  }
}

template <class Ch>
int EscapeLiteral(unsigned c, Ch* buffer, BOOL noQuotes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  int n = 0;
  if (!noQuotes) buffer[n++] = '\'';
  if (char letter = EscapeLetter(c); letter != 0) {
    buffer[n++] = '\\';
    buffer[n++] = static_cast<Ch>(letter);
  } else if (c < 32) {
    buffer[n++] = '\\';
    buffer[n++] = 'x';
    // Unquoted, a following hex digit must not extend the escape.
    if (noQuotes) buffer[n++] = '0';
    buffer[n++] = static_cast<Ch>(kHex[c >> 4]);
    buffer[n++] = static_cast<Ch>(kHex[c & 15]);
  } else {
    buffer[n++] = static_cast<Ch>(c);
  }
  if (!noQuotes) buffer[n++] = '\'';
  buffer[n] = 0;
  return n;
}

constexpr bool IsDigitCode(unsigned code) {
  return code - '0' < 10u;
}

// Special values that may follow a decimal point.
struct SpecialText {
  const char* letters;  // after the '#', lower case
  int length;           // with the '#'
  bool infinite;
};
constexpr SpecialText kSpecials[] = {
    {"inf", 4, true}, {"ind", 4, false}, {"qnan", 5, false}, {"nan", 4, false}};

using toolkit_detail::Cursor;

template <class Ch>
int SkipBlanks(const Cursor<Ch>& in, int k) {
  return in.SkipClass(k, CHC_BLANK);
}

template <class Ch>
int SkipDigits(const Cursor<Ch>& in, int k) {
  return in.SkipClass(k, CHC_DIGIT);
}

// The special text at k ('#' first), or null when none fits below the limit.
template <class Ch>
const SpecialText* Special(const Cursor<Ch>& in, int k) {
  if (in.At(k) != '#') return nullptr;
  for (const SpecialText& s : kSpecials) {
    int j = 0;
    while (s.letters[j] != 0 && LowerAscii(in.At(k + 1 + j)) == static_cast<unsigned>(s.letters[j]))
      ++j;
    if (s.letters[j] == 0) return &s;
  }
  return nullptr;
}

constexpr uint8_t Position(int index) {
  return static_cast<uint8_t>(index + 1 > 255 ? 255 : index + 1);
}

template <class Ch>
int ScanNumber(const Ch* text, int maxLen, uint32_t flags, uint8_t* positions) {
  uint8_t pos[4] = {0, 0, 0, 0};
  int i = 0;
  if (maxLen >= 1) {
    if ((flags & NUMSCAN_DECIMAL_COMMA) == 0) flags &= ~NUMSCAN_GROUP_DOT;
    const Cursor<Ch> in(text, maxLen);
    if ((flags & NUMSCAN_NO_LEADING_BLANKS) == 0) i = SkipBlanks(in, i);
    const int blanks = i;

    if ((flags & NUMSCAN_SIGN) != 0 && (in.At(i) == '+' || in.At(i) == '-')) {
      pos[NUMPOS_SIGN] = Position(i);
      ++i;
      if ((flags & NUMSCAN_BLANK_AFTER_SIGN) != 0) i = SkipBlanks(in, i);
    }

    int integerDigits = 0;
    for (;; ++i) {
      const unsigned c = in.At(i);
      if (IsDigitCode(c)) {
        if (integerDigits++ == 0) pos[NUMPOS_INTEGER] = Position(i);
      } else if (integerDigits == 0 || !((c == ' ' && (flags & NUMSCAN_GROUP_SPACE) != 0) ||
                                         (c == '.' && (flags & NUMSCAN_GROUP_DOT) != 0) ||
                                         (c == '_' && (flags & NUMSCAN_GROUP_UNDERSCORE) != 0))) {
        break;
      }
    }

    int fractionDigits = 0;
    const unsigned point = in.At(i);
    if (point == '.' || (point == ',' && (flags & NUMSCAN_DECIMAL_COMMA) != 0)) {
      int k = i + 1;
      if (IsDigitCode(in.At(k)) || in.At(k) == '#') pos[NUMPOS_FRACTION] = Position(k);
      if ((flags & NUMSCAN_SPECIAL) != 0) {
        if (const SpecialText* s = Special(in, k)) k += s->length;
      }
      const int end = SkipDigits(in, k);
      fractionDigits = end - k;
      if (integerDigits > 0 || fractionDigits > 0) i = end;
    }

    if (integerDigits == 0 && fractionDigits == 0) {
      pos[NUMPOS_SIGN] = pos[NUMPOS_FRACTION] = 0;
      i = blanks;
    } else {
      const unsigned e = in.At(i);
      if ((e == 'e' || e == 'E') && (flags & NUMSCAN_EXPONENT) != 0) {
        ++i;
        if (i < maxLen) pos[NUMPOS_EXPONENT] = Position(i);
        if (in.At(i) == '+' || in.At(i) == '-') ++i;
        i = SkipDigits(in, i);
      }
      if ((flags & NUMSCAN_TRAILING_BLANKS) != 0) i = SkipBlanks(in, i);
    }
  }
  if (positions != nullptr) {
    for (int k = 0; k < 4; ++k) positions[k] = pos[k];
  }
  return i;
}

// Value of a cleaned decimal text that from_chars reported out of range:
// infinite when its decimal exponent is positive, else zero.
double OutOfRangeValue(const std::string& digits) {
  const size_t e = digits.find_first_of("eE");
  const std::string mantissa = digits.substr(0, e);
  long long exponent = 0;
  if (e != std::string::npos) {
    size_t k = e + 1;
    bool negative = false;
    if (k < digits.size() && (digits[k] == '+' || digits[k] == '-')) negative = digits[k++] == '-';
    for (; k < digits.size() && exponent < 100000000; ++k)
      exponent = exponent * 10 + (digits[k] - '0');
    if (negative) exponent = -exponent;
  }
  // Position of the first significant digit relative to the point.
  const size_t point = mantissa.find('.');
  const size_t integerEnd = point == std::string::npos ? mantissa.size() : point;
  const size_t first = mantissa.find_first_of("123456789");
  long long magnitude = first < integerEnd ? static_cast<long long>(integerEnd - first)
                                           : -static_cast<long long>(first - integerEnd);
  const bool huge = magnitude + exponent > 0;
  const double value = huge ? std::numeric_limits<double>::infinity() : 0.0;
  return mantissa[0] == '-' ? -value : value;
}

template <class Ch>
double ToDouble(const Ch* text, int* used, uint32_t flags) {
  uint8_t pos[4];
  const int length = ScanNumber(text, INT_MAX, flags, pos);
  if (used != nullptr) *used = length;
  if (length < 1 || (pos[NUMPOS_INTEGER] == 0 && pos[NUMPOS_FRACTION] == 0)) return 0.0;

  const bool comma = (flags & NUMSCAN_DECIMAL_COMMA) != 0;
  const bool dotGroups = comma && (flags & NUMSCAN_GROUP_DOT) != 0;
  bool negative = false;
  std::string clean;
  clean.reserve(static_cast<size_t>(length) + 1);
  for (int k = 0; k < length; ++k) {
    const unsigned c = CodeOf(text[k]);
    if (c == ' ' || c == '\t' || c == '_' || c == '+' || (c == '.' && dotGroups)) continue;
    if (c == '-' && clean.empty()) negative = true;
    if (c == '#') {
      // A special value after the point.
      const Cursor<Ch> in(text + k, length - k);
      const SpecialText* s = Special(in, 0);
      if (s != nullptr) {
        const double special = s->infinite ? std::numeric_limits<double>::infinity()
                                           : std::numeric_limits<double>::quiet_NaN();
        return negative ? -special : special;
      }
    }
    clean.push_back(c == ',' && comma ? '.' : static_cast<char>(c));
  }
  // from_chars stops before a trailing exponent letter that has no digits,
  // which the scan counts but which adds nothing to the value.
  double value = 0.0;
  const auto result =
      std::from_chars(clean.data(), clean.data() + clean.size(), value, std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) return OutOfRangeValue(clean);
  if (result.ec != std::errc{}) return 0.0;
  return value;
}

template <class Ch>
int NumberLength(const Ch* text, int maxLen) {
  if (maxLen < 1) return 0;
  const Cursor<Ch> in(text, maxLen);
  int i = SkipBlanks(in, 0);
  if (in.At(i) == '+' || in.At(i) == '-') ++i;
  i = SkipDigits(in, i);
  if (in.At(i) == '.') {
    ++i;
    if (const SpecialText* s = Special(in, i)) i += s->length;
    i = SkipDigits(in, i);
  }
  if (in.At(i) == 'e' || in.At(i) == 'E') {
    ++i;
    if (in.At(i) == '+' || in.At(i) == '-') ++i;
    i = SkipDigits(in, i);
  }
  return i;
}

template <class Ch>
int DigitSpan(const Ch* text, int radix, int maxLen) {
  if (maxLen < 1) return 0;
  int n = 0;
  unsigned base = radix < 0 ? 0u - static_cast<unsigned>(radix) : static_cast<unsigned>(radix);
  base = base < 2 ? 2 : (base > 36 ? 36 : base);
  if (radix < 0 && text[0] == '-') ++n;
  while (n < maxLen && DigitOf(text[n]) < base) ++n;
  return n;
}

}  // namespace

int StrParseEscape(const char* text, int* used) {
  return ParseEscape(text, used, 256);
}
int StrParseEscapeW(const wchar16* text, int* used) {
  return ParseEscape(text, used, 65536);
}

int CharToEscapeLiteral(int ch, char* buffer, BOOL noQuotes) {
  return EscapeLiteral(static_cast<unsigned>(ch) & 0xFFu, buffer, noQuotes);
}
int CharToEscapeLiteralW(int ch, wchar16* buffer, BOOL noQuotes) {
  return EscapeLiteral(static_cast<unsigned>(ch) & 0xFFFFu, buffer, noQuotes);
}

int StrScanNumber(const char* text, int maxLen, uint32_t flags, uint8_t* positions) {
  return ScanNumber(text, maxLen, flags, positions);
}
int StrScanNumberW(const wchar16* text, int maxLen, uint32_t flags, uint8_t* positions) {
  return ScanNumber(text, maxLen, flags, positions);
}

double StrToDouble(const char* text, int* used, uint32_t flags) {
  return ToDouble(text, used, flags);
}
double StrToDoubleW(const wchar16* text, int* used, uint32_t flags) {
  return ToDouble(text, used, flags);
}

int StrNumberLength(const char* text) {
  return NumberLength(text, INT_MAX);
}
int StrNumberLengthW(const wchar16* text) {
  return NumberLength(text, INT_MAX);
}
int StrNumberLengthN(const char* text, int maxLen) {
  return NumberLength(text, maxLen);
}
int StrNumberLengthNW(const wchar16* text, int maxLen) {
  return NumberLength(text, maxLen);
}

int StrDigitSpan(const char* text, int radix, int maxLen) {
  return DigitSpan(text, radix, maxLen);
}
int StrDigitSpanW(const wchar16* text, int radix, int maxLen) {
  return DigitSpan(text, radix, maxLen);
}
