// The 16-bit forms of the printf engine's converters: the narrow text is made
// first and then widened unit by unit.
#include "toolkit/format_convert.h"

namespace {

constexpr int kScratch = 1200;
// Grouping may lengthen its input by a third plus a fixed point.
constexpr int kGroupInput = 1124;
constexpr int kGroupScratch = kGroupInput + kGroupInput / 3 + 130;

int Widen(const char* from, int n, wchar16* to) {
  for (int i = 0; i < n; ++i) to[i] = static_cast<unsigned char>(from[i]);
  return n;
}

}  // namespace

int FormatFixedW(double value, wchar16* out, const FormatSpec& conv, int precision) {
  char tmp[kScratch];
  return Widen(tmp, FormatFixed(value, tmp, conv, precision), out);
}

int FormatExponentW(double value, wchar16* out, const FormatSpec& conv, int precision) {
  char tmp[kScratch];
  return Widen(tmp, FormatExponent(value, tmp, conv, precision), out);
}

int FormatGeneralW(double value, wchar16* out, const FormatSpec& conv, int precision) {
  char tmp[kScratch];
  return Widen(tmp, FormatGeneral(value, tmp, conv, precision), out);
}

int FormatHexFloatW(double value, wchar16* out, const FormatSpec& conv, int precision,
                    const char* digits) {
  char tmp[kScratch];
  return Widen(tmp, FormatHexFloat(value, tmp, conv, precision, digits), out);
}

int FormatGroupDigitsW(int length, wchar16* text, const FormatSpec& conv, int precision,
                       int width) {
  char tmp[kGroupScratch];
  if (length > kGroupInput) length = kGroupInput;
  for (int i = 0; i < length; ++i) tmp[i] = static_cast<char>(text[i]);
  return Widen(tmp, FormatGroupDigits(length, tmp, conv, precision, width), text);
}

int FormatHexDumpW(const void* data, wchar16* out, const FormatSpec& conv, int precision,
                   int width, const char* digits) {
  char tmp[kScratch];
  return Widen(tmp, FormatHexDump(data, tmp, conv, precision, width, digits), out);
}

int FormatTimeValueW(int64_t value, wchar16* out, const FormatSpec& conv, int precision) {
  char tmp[kScratch];
  return Widen(tmp, FormatTimeValue(value, tmp, conv, precision), out);
}
