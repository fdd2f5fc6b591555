// Implementation header of the floating-point converters: powers of ten and
// rounding constants in extended precision, exact decimal exponents. Not part
// of the public interface.
#pragma once

#include <array>
#include <cmath>

namespace format_detail {

// 10^0 .. 10^27 are exact in the 64-bit mantissa of a long double.
constexpr int kExactPowers = 28;

constexpr std::array<long double, kExactPowers> MakePowers() {
  std::array<long double, kExactPowers> t{};
  long double v = 1;
  for (int i = 0; i < kExactPowers; ++i, v *= 10) t[i] = v;
  return t;
}
inline constexpr std::array<long double, kExactPowers> kPow10 = MakePowers();

// 10^k for k >= 0 (infinity beyond the long double range).
inline long double Pow10(int k) {
  return k < kExactPowers ? kPow10[k] : std::pow(10.0L, static_cast<long double>(k));
}

// v * 10^k for any k.
inline long double Scale10(long double v, int k) { return k >= 0 ? v * Pow10(k) : v / Pow10(-k); }

// R(p) = 0.499999999999 * 10^-p for every p >= 0.
inline long double RoundingConstant(int p) {
  constexpr long double kHalf = 0.499999999999L;
  if (p < 0) p = 0;
  return p < kExactPowers ? kHalf / kPow10[p] : kHalf / Pow10(p);
}

// floor(log10(v)) for a finite v > 0, exact where the logarithm would
// misjudge a power of ten.
inline int DecimalExponent(long double v) {
  // log10(2) * binary exponent, corrected by one comparison.
  int b = std::ilogb(v);
  int e = static_cast<int>(std::floor(b * 0.30102999566398119521L));
  if (e + 1 >= 0 ? v >= Pow10(e + 1) : v * Pow10(-(e + 1)) >= 1) ++e;
  return e;
}

}  // namespace format_detail
