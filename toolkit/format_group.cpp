// Digit groups for the printf engine's D, U and F conversions: a decimal
// text gets a separator before every third integer digit, an optional fixed
// point, and is padded to the width with grouped zeros or blanks.
#include <cstring>

#include "toolkit/format_convert.h"

namespace {

constexpr int kMaxWidth = 1024;
// The engine's texts are far shorter; a longer one is cut here so the
// scratch areas below always suffice.
constexpr int kMaxInput = 1124;

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

int FormatGroupDigits(int length, char* text, const FormatSpec& conv, int precision, int width) {
  if (length <= 0) {
    text[0] = '0';
    length = 1;
  }
  if (length > kMaxInput) length = kMaxInput;
  if (precision <= 0 && text[length - 1] == '.') --length;
  int point = 0;
  while (point < length && text[point] != '.') ++point;
  int begin = point;
  while (begin > 0 && IsDigit(text[begin - 1])) --begin;
  int d = point - begin;

  // The pieces from the right: the fraction (from the point on), then the
  // integer digits. A fixed point moves integer digits into the fraction.
  char fraction[kMaxInput + 129];  // the text from the point on, 127 zeros, a point
  int fractionLen = 0;
  char integer[kMaxInput];
  int integerLen = 0;
  if (precision >= 1 && precision <= 127) {
    fraction[fractionLen++] = '.';
    if (d > precision) {
      std::memcpy(fraction + fractionLen, text + point - precision, static_cast<size_t>(precision));
      fractionLen += precision;
      d -= precision;
      std::memcpy(integer, text + begin, static_cast<size_t>(d));
      integerLen = d;
    } else {
      std::memset(fraction + fractionLen, '0', static_cast<size_t>(precision - d));
      fractionLen += precision - d;
      std::memcpy(fraction + fractionLen, text + begin, static_cast<size_t>(d));
      fractionLen += d;
      integer[0] = '0';
      integerLen = 1;
      d = 0;
    }
    std::memcpy(fraction + fractionLen, text + point, static_cast<size_t>(length - point));
    fractionLen += length - point;
  } else {
    std::memcpy(fraction, text + point, static_cast<size_t>(length - point));
    fractionLen = length - point;
    std::memcpy(integer, text + begin, static_cast<size_t>(d));
    integerLen = d;
  }
  const int separators = d > 1 ? (d - 1) / 3 : 0;
  const char separator = conv.alternate ? '.' : ' ';
  int total = begin + integerLen + separators + fractionLen;
  const int w = width < kMaxWidth ? width : kMaxWidth;
  if (total < w && (!conv.leftAlign || conv.zeroPad)) total = w;

  char out[kMaxInput + kMaxInput / 3 + 130];
  int at = total;
  at -= fractionLen;
  std::memcpy(out + at, fraction, static_cast<size_t>(fractionLen));
  int inGroup = 0;
  for (int i = integerLen - 1; i >= 0; --i) {
    if (inGroup == 3) {
      out[--at] = separator;
      inGroup = 0;
    }
    out[--at] = integer[i];
    ++inGroup;
  }
  if (conv.zeroPad) {
    // Zeros go on in the same groups up to the sign; a separator never sits
    // right behind it.
    while (at > begin) {
      if (inGroup == 3) {
        if (at - 1 == begin) break;
        out[--at] = separator;
        inGroup = 0;
        continue;
      }
      out[--at] = '0';
      ++inGroup;
    }
  }
  at -= begin;
  std::memcpy(out + at, text, static_cast<size_t>(begin));
  std::memset(out, ' ', static_cast<size_t>(at));
  std::memcpy(text, out, static_cast<size_t>(total));
  return total;
}
