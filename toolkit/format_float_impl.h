// Implementation header of the floating-point converters: powers of ten and
// rounding constants in extended precision, exact decimal exponents. Not part
// of the public interface.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>

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

// 10^k for k >= 0 (infinity beyond the long double range): exact below
// 10^28, else the product of two correctly rounded table entries.
long double Pow10Large(int k);

inline long double Pow10(int k) { return k < kExactPowers ? kPow10[k] : Pow10Large(k); }

// v * 10^k for any k.
inline long double Scale10(long double v, int k) { return k >= 0 ? v * Pow10(k) : v / Pow10(-k); }

// R(p) = 0.499999999999 * 10^-p for every p >= 0.
inline long double RoundingConstant(int p) {
  constexpr long double kHalf = 0.499999999999L;
  if (p < 0) p = 0;
  return kHalf / Pow10(p);
}

// floor(log10(v)) for a finite v > 0, exact where a logarithm would misjudge
// a power of ten.
inline int DecimalExponent(long double v) {
  // floor(b * log10(2)) from the binary exponent, then at most one step.
  // The exponent comes from the value as a double (whose rounding may add
  // one), read from its bits; only subnormals take the library call.
  const double d = static_cast<double>(v);
  uint64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  const int biased = static_cast<int>(bits >> 52 & 0x7FF);
  const int b = biased ? biased - 1023 : std::ilogb(d);
  int e = (b * 78913) >> 18;
  if (e >= 0 ? v < Pow10(e) : v * Pow10(-e) < 1) --e;
  if (e + 1 >= 0 ? v >= Pow10(e + 1) : v * Pow10(-(e + 1)) >= 1) ++e;
  return e;
}

}  // namespace format_detail
