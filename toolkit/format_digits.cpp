// Digit writers of the printf engine, written once for both text widths.
#include "toolkit/format_digits.h"

#include <cstring>

namespace {

constexpr char kDecimalPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";
constexpr char kHexLower[] = "0123456789abcdef";
constexpr char kHexUpper[] = "0123456789ABCDEF";

// Digits are made from the least significant end into a scratch area, then
// copied to `out` in reading order.
template <class Ch, class U>
int Decimal(U value, Ch* out) {
  char tmp[24];
  char* end = tmp + sizeof(tmp);
  char* p = end;
  while (value >= 100) {
    unsigned pair = static_cast<unsigned>(value % 100) * 2;
    value /= 100;
    *--p = kDecimalPairs[pair + 1];
    *--p = kDecimalPairs[pair];
  }
  if (value >= 10) {
    unsigned pair = static_cast<unsigned>(value) * 2;
    *--p = kDecimalPairs[pair + 1];
    *--p = kDecimalPairs[pair];
  } else if (value > 0) {
    *--p = static_cast<char>('0' + value);
  }
  int n = static_cast<int>(end - p);
  for (int i = 0; i < n; ++i) out[i] = static_cast<Ch>(p[i]);
  return n;
}

// Radix 2, 8 or 16 by shifting `bits` at a time.
template <class Ch, class U>
int PowerOfTwo(U value, Ch* out, int bits, const char* digits) {
  char tmp[64];
  char* end = tmp + sizeof(tmp);
  char* p = end;
  const U mask = static_cast<U>((1u << bits) - 1);
  while (value != 0) {
    *--p = digits[value & mask];
    value >>= bits;
  }
  int n = static_cast<int>(end - p);
  for (int i = 0; i < n; ++i) out[i] = static_cast<Ch>(p[i]);
  return n;
}

}  // namespace

int WriteDecimalDigits(uint32_t value, char* out) { return Decimal(value, out); }
int WriteDecimalDigits(uint64_t value, char* out) { return Decimal(value, out); }
int WriteHexDigits(uint32_t value, char* out, bool upper) {
  return PowerOfTwo(value, out, 4, upper ? kHexUpper : kHexLower);
}
int WriteHexDigits(uint64_t value, char* out, bool upper) {
  return PowerOfTwo(value, out, 4, upper ? kHexUpper : kHexLower);
}
int WriteOctalDigits(uint32_t value, char* out) { return PowerOfTwo(value, out, 3, kHexLower); }
int WriteOctalDigits(uint64_t value, char* out) { return PowerOfTwo(value, out, 3, kHexLower); }
int WriteBinaryDigits(uint32_t value, char* out) { return PowerOfTwo(value, out, 1, kHexLower); }
int WriteBinaryDigits(uint64_t value, char* out) { return PowerOfTwo(value, out, 1, kHexLower); }

int WriteDecimalDigitsW(uint32_t value, wchar16* out) { return Decimal(value, out); }
int WriteDecimalDigitsW(uint64_t value, wchar16* out) { return Decimal(value, out); }
int WriteHexDigitsW(uint32_t value, wchar16* out, bool upper) {
  return PowerOfTwo(value, out, 4, upper ? kHexUpper : kHexLower);
}
int WriteHexDigitsW(uint64_t value, wchar16* out, bool upper) {
  return PowerOfTwo(value, out, 4, upper ? kHexUpper : kHexLower);
}
int WriteOctalDigitsW(uint32_t value, wchar16* out) {
  return PowerOfTwo(value, out, 3, kHexLower);
}
int WriteOctalDigitsW(uint64_t value, wchar16* out) {
  return PowerOfTwo(value, out, 3, kHexLower);
}
int WriteBinaryDigitsW(uint32_t value, wchar16* out) {
  return PowerOfTwo(value, out, 1, kHexLower);
}
int WriteBinaryDigitsW(uint64_t value, wchar16* out) {
  return PowerOfTwo(value, out, 1, kHexLower);
}
