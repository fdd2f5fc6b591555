// Time and date text for the printf engine's k and K conversions.
#include "platform/localtime.h"
#include "toolkit/format_convert.h"

namespace {

char* Decimal(int v, char* o) {
  char tmp[12];
  int n = 0;
  unsigned u = v < 0 ? 0u - static_cast<unsigned>(v) : static_cast<unsigned>(v);
  if (v < 0) *o++ = '-';
  do {
    tmp[n++] = static_cast<char>('0' + u % 10);
    u /= 10;
  } while (u);
  while (n) *o++ = tmp[--n];
  return o;
}

char* TwoDigits(int v, char* o) {
  *o++ = static_cast<char>('0' + v / 10 % 10);
  *o++ = static_cast<char>('0' + v % 10);
  return o;
}

}  // namespace

int FormatTimeValue(int64_t value, char* out, const FormatSpec& conv, int precision) {
  int separators = conv.precisionGiven ? precision : 1;
  if (separators < 0) separators = 1;
  if (separators > 256) separators = 256;
  PlatformTimeParts t;
  if (!PlatformLocalTime(value, &t)) {
    for (int i = 0; i < 6; ++i) out[i] = "(null)"[i];
    return 6;
  }
  char* o = out;
  if (conv.kVariant) {
    if (conv.alternate) {
      o = Decimal(t.day, o);
      *o++ = '.';
      o = Decimal(t.month, o);
      *o++ = '.';
      o = Decimal(t.year, o);
    } else {
      o = Decimal(t.year, o);
      *o++ = '-';
      o = TwoDigits(t.month, o);
      *o++ = '-';
      o = TwoDigits(t.day, o);
    }
    if (separators == 0) return static_cast<int>(o - out);
    for (int i = 0; i < separators; ++i) *o++ = conv.blankGiven ? '_' : ' ';
  }
  const bool colons = !conv.zeroFlag;
  o = TwoDigits(t.hour, o);
  if (colons) *o++ = ':';
  o = TwoDigits(t.minute, o);
  if (!conv.plusGiven) {
    if (colons) *o++ = ':';
    o = TwoDigits(t.second, o);
  }
  return static_cast<int>(o - out);
}
