// Floating-point converters of the printf engine. Digits come from the
// engine's own extended-precision arithmetic (powers of ten, repeated
// multiplication), not from the platform's number formatting. Rounding adds
// 0.499999999999 units of the last written digit, so exact ties go toward
// zero at every precision.
#include <cmath>
#include <cstring>

#include "toolkit/format_convert.h"
#include "toolkit/format_digits.h"
#include "toolkit/format_float_impl.h"

namespace {

using format_detail::DecimalExponent;
using format_detail::kPow10;
using format_detail::Pow10;
using format_detail::RoundingConstant;
using format_detail::Scale10;

// Sign, then nothing else: the caller goes on with the magnitude.
char* WriteSign(double value, char* o, const FormatSpec& conv) {
  if (std::signbit(value))
    *o++ = '-';
  else if (conv.signChar)
    *o++ = conv.signChar;
  return o;
}

int Precision(const FormatSpec& conv, int precision) {
  return conv.precisionGiven && precision >= 0 ? precision : 6;
}

// Fraction digits up to this count come from one 64-bit integer.
constexpr int kBatchDigits = 19;

inline int Digit(long double v) {
  if (!(v > 0)) return 0;
  if (v >= 9) return 9;
  return static_cast<int>(v);
}

// "1.#INF00", "1.#NAN", "1.$$" ...
char* NonFinite(double value, char* o, const FormatSpec& conv, int p) {
  if (p > 900) p = 900;
  const char* word = std::isinf(value) ? "#INF" : "#NAN";
  *o++ = '1';
  if (p == 0) {
    if (conv.alternate) *o++ = '.';
  } else if (p >= 4) {
    *o++ = '.';
    std::memcpy(o, word, 4);
    o += 4;
    std::memset(o, '0', static_cast<size_t>(p - 4));
    o += p - 4;
  } else {
    *o++ = '.';
    std::memset(o, '$', static_cast<size_t>(p));
    o += p;
  }
  return o;
}

// p fraction digits of v (0 <= v < 1), one multiplication by ten each.
char* Fraction(long double v, char* o, int p) {
  for (int i = 0; i < p; ++i) {
    v *= 10;
    int d = Digit(v);
    *o++ = static_cast<char>('0' + d);
    v -= d;
  }
  return o;
}

int StripExponentForm(char* out, int n) {
  if (n > 6 && (out[n - 5] == 'e' || out[n - 5] == 'E')) {
    int m = n - 5;
    while (m > 1 && out[m - 1] == '0') --m;
    if (m > 1 && out[m - 1] == '.') --m;
    std::memmove(out + m, out + n - 5, 5);
    n = m + 5;
  }
  return n;
}

// Up to 19 fraction digits of v (0 <= v < 1) from one scaling: p digits,
// leading zeros included.
char* FractionBatch(long double v, char* o, int p) {
  // Clamped before the conversion: a remainder the digit loop left at 1 or
  // more would scale past 2^64.
  const long double scaled = v * Pow10(p);
  const uint64_t limit = static_cast<uint64_t>(kPow10[p]) - 1;
  uint64_t f = !(scaled > 0)                                ? 0
               : scaled >= static_cast<long double>(limit) ? limit
                                                           : static_cast<uint64_t>(scaled);
  for (int i = p - 1; i >= 0; --i) {
    o[i] = static_cast<char>('0' + f % 10);
    f /= 10;
  }
  return o + p;
}

// p fraction digits of v, batched where a 64-bit integer holds them.
char* FractionDigits(long double v, char* o, int p) {
  return p <= kBatchDigits ? FractionBatch(v, o, p) : Fraction(v, o, p);
}

}  // namespace

// Definition of the large powers: 10^(32i) rounded once, times 10^j.
long double format_detail::Pow10Large(int k) {
  struct Tables {
    long double big[160];
    long double small[32];
    Tables() {
      for (int i = 0; i < 160; ++i) big[i] = std::pow(10.0L, static_cast<long double>(32 * i));
      for (int j = 0; j < 32; ++j) small[j] = std::pow(10.0L, static_cast<long double>(j));
    }
  };
  static const Tables t;
  if (k >= 160 * 32) return HUGE_VALL;
  return t.big[k >> 5] * t.small[k & 31];
}

int FormatFixed(double value, char* out, const FormatSpec& conv, int precision) {
  int p = Precision(conv, precision);
  char* o = WriteSign(value, out, conv);
  if (!std::isfinite(value)) return static_cast<int>(NonFinite(value, o, conv, p) - out);
  long double v = std::fabs(static_cast<long double>(value));
  v += RoundingConstant(p);
  if (v < 1e19L) {
    // The integer part fits in 64 bits: its digits come from one integer.
    const uint64_t whole = static_cast<uint64_t>(v);
    v -= static_cast<long double>(whole);
    const int n = whole ? WriteDecimalDigits(whole, o) : (*o = '0', 1);
    o += n;
    if (p >= 901 - n) p = 901 - n;
  } else {
    const int e = DecimalExponent(v);
    if (p >= 900 - e) p = 900 - e;
    for (int k = e; k >= 0; --k) {
      long double pk = Pow10(k);
      int d = Digit(v / pk);
      *o++ = static_cast<char>('0' + d);
      v -= d * pk;
    }
  }
  if (p > 0) {
    *o++ = '.';
    o = FractionDigits(v, o, p);
  } else if (conv.alternate) {
    *o++ = '.';
  }
  return static_cast<int>(o - out);
}

int FormatExponent(double value, char* out, const FormatSpec& conv, int precision) {
  int p = Precision(conv, precision);
  if (p > 900) p = 900;
  char* o = WriteSign(value, out, conv);
  if (!std::isfinite(value)) return static_cast<int>(NonFinite(value, o, conv, p) - out);
  long double v = std::fabs(static_cast<long double>(value));
  int e = 0;
  if (v > 0) {
    e = DecimalExponent(v);
    v = Scale10(v, -e);
    // The scaling rounds; keep 1 <= v < 10 so the lead digit is one digit.
    if (v >= 10) {
      v /= 10;
      ++e;
    } else if (v < 1) {
      v *= 10;
      --e;
    }
  }
  v += RoundingConstant(p);
  if (v >= 10) {
    v /= 10;
    ++e;
  }
  int d = Digit(v);
  *o++ = static_cast<char>('0' + d);
  v -= d;
  if (p > 0 || conv.alternate) *o++ = '.';
  o = FractionDigits(v, o, p);
  *o++ = conv.lowerExp ? 'e' : 'E';
  *o++ = e < 0 ? '-' : '+';
  int a = e < 0 ? -e : e;
  *o++ = static_cast<char>('0' + a / 100 % 10);
  *o++ = static_cast<char>('0' + a / 10 % 10);
  *o++ = static_cast<char>('0' + a % 10);
  return static_cast<int>(o - out);
}

int FormatGeneral(double value, char* out, const FormatSpec& conv, int precision) {
  int p = Precision(conv, precision);
  if (p > 2000) p = 2000;  // both forms cut far below; keeps p - x in range
  FormatSpec given = conv;
  given.precisionGiven = true;
  bool exponentForm = !std::isfinite(value);
  int fraction = 0;
  if (!exponentForm) {
    long double a = std::fabs(static_cast<long double>(value));
    // x: digits before the point (a >= 1), or one more than the negative
    // integer part of log10(a) (a < 1).
    int x = 1;
    if (a > 0) {
      int f = DecimalExponent(a);
      x = a >= 1 ? f + 1 : f + 2;
    }
    if (x < -2 || x > p) {
      exponentForm = true;
    } else {
      long double scaled = Scale10(a, -x);
      if (scaled + RoundingConstant(p) >= 1) ++x;
      // Precision 0 still shows one significant digit (C's rule); it only
      // reaches here for values below 0.1, which the exponent test let through.
      fraction = (p > 0 ? p : 1) - x + (a < 1 ? 1 : 0);
      // Rounding up to 10^p leaves no room for the digits: C's exponent form.
      if (fraction < 0) exponentForm = true;
    }
  }
  if (exponentForm) {
    int n = FormatExponent(value, out, given, p > 0 ? p - 1 : p);
    return conv.alternate ? n : StripExponentForm(out, n);
  }
  int n = FormatFixed(value, out, given, fraction);
  if (!conv.alternate && n > 1 && fraction > 0) {
    while (n > 1 && out[n - 1] == '0') --n;
    if (n > 1 && out[n - 1] == '.') --n;
  }
  return n;
}

int FormatHexFloat(double value, char* out, const FormatSpec& conv, int precision,
                   const char* digits) {
  int p = conv.precisionGiven ? precision : 6;
  if (conv.precisionGiven && precision < 0) p = 6;
  char* o = WriteSign(value, out, conv);
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  const int biased = static_cast<int>(bits >> 52 & 0x7FF);
  const uint64_t mantissa = bits & ((uint64_t{1} << 52) - 1);
  *o++ = '0';
  *o++ = digits[16];
  if (biased == 0x7FF) {
    const char* word = mantissa == 0 ? "#INF" : "#QNAN";
    const int len = mantissa == 0 ? 4 : 5;
    *o++ = '1';
    if (p >= len) {
      *o++ = '.';
      std::memcpy(o, word, static_cast<size_t>(len));
      o += len;
      int zeros = (p < 900 ? p : 900) - len;
      std::memset(o, '0', static_cast<size_t>(zeros));
      o += zeros;
    } else if (p >= 1) {
      *o++ = '.';
      std::memset(o, '$', static_cast<size_t>(p));
      o += p;
    }
    *o++ = digits[17];
    *o++ = '+';
    *o++ = '0';
    return static_cast<int>(o - out);
  }
  *o++ = biased ? '1' : '0';
  if (p < 900) {
    if (p > 0) {
      *o++ = '.';
      for (int i = 0; i < p; ++i)
        *o++ = i < 13 ? digits[mantissa >> (48 - 4 * i) & 15] : '0';
    }
  } else {
    *o++ = '.';
  }
  *o++ = digits[17];
  const int exponent = biased ? biased - 1023 : -1022;
  if ((biased == 0 && mantissa == 0) || exponent == 0) {
    *o++ = '+';
    *o++ = '0';
  } else {
    *o++ = exponent < 0 ? '-' : '+';
    int a = exponent < 0 ? -exponent : exponent;
    char tmp[8];
    int n = 0;
    do {
      tmp[n++] = static_cast<char>('0' + a % 10);
      a /= 10;
    } while (a);
    while (n) *o++ = tmp[--n];
  }
  return static_cast<int>(o - out);
}
