// What the kernels with std::pow's bits share: sums of two doubles built
// with exact products, and the rounding test that hands a result too close
// to halfway between two doubles to std::pow itself. Internal to the
// formula library.
//
// std::pow is not always correctly rounded: measured against quadruple
// precision over 110 million powers (x'2 to x'8 and E'u), it rounds the
// other way in about one case in 1200 (x'2 too), always where the true
// value lies within 0.009 units in the last place of halfway between two
// doubles. A kernel that carries its value closely and rounds
// it itself therefore agrees with std::pow wherever the value lies clear of
// halfway by a band wider than both misses; inside the band (one call in
// sixteen) std::pow decides.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

namespace formula_detail::pow_rounding {

// An unevaluated sum hi + lo, |lo| far below |hi|.
struct Sum {
  double hi, lo;
};

// Multiplication without fused operations: Veltkamp's split makes the
// product's error exact all the same (no overflow below 2^995).
struct PlainArithmetic {
  static Sum TwoProduct(double a, double b) {
    constexpr double kSplit = 134217729.0;  // 2^27 + 1
    const double p = a * b;
    const double ta = kSplit * a, tb = kSplit * b;
    const double ah = ta - (ta - a), bh = tb - (tb - b);
    const double al = a - ah, bl = b - bh;
    return {p, ((ah * bh - p) + ah * bl + al * bh) + al * bl};
  }
  static double MulAdd(double a, double b, double c) { return a * b + c; }
};

// The same with fused multiply-adds; only code compiled for processors that
// have them may use it.
struct FusedArithmetic {
  static Sum TwoProduct(double a, double b) {
    const double p = a * b;
    return {p, __builtin_fma(a, b, -p)};
  }
  static double MulAdd(double a, double b, double c) { return __builtin_fma(a, b, c); }
};

// a + b exactly, |a| >= |b| or a zero.
inline Sum FastTwoSum(double a, double b) {
  const double s = a + b;
  return {s, (a - s) + b};
}

// a·b, the low parts' product (below 2^-104 of the whole) left out.
template <typename A>
inline Sum Times(Sum a, double b) {
  Sum p = A::TwoProduct(a.hi, b);
  p.lo = A::MulAdd(a.lo, b, p.lo);
  return p;
}
template <typename A>
inline Sum Times(Sum a, Sum b) {
  Sum p = A::TwoProduct(a.hi, b.hi);
  p.lo += A::MulAdd(a.hi, b.lo, a.lo * b.hi);
  return p;
}

// How close to halfway a sum may come before std::pow decides, in units in
// the last place: 3.6 times the widest miss of std::pow measured, and above
// 0.02, the most a std::pow within 0.52 units could miss by.
inline constexpr double kBand = 1.0 / 32;

// Rounds s into *out and returns true when s lies between 2^-900 and 2^900
// in magnitude and clear of halfway by the band; false leaves the value to
// std::pow.
inline bool Settle(Sum s, double* out) {
  const Sum r = FastTwoSum(s.hi, s.lo);
  const double magnitude = std::fabs(r.hi);
  if (!(magnitude >= 0x1p-900 && magnitude <= 0x1p900)) return false;
  uint64_t bits;
  std::memcpy(&bits, &magnitude, sizeof bits);
  const uint64_t exponentBits = bits & 0x7FF0000000000000u;
  double unit;
  std::memcpy(&unit, &exponentBits, sizeof unit);
  unit *= 0x1p-52;
  // Below a power of two the doubles lie twice as close.
  if (bits == exponentBits && r.lo != 0.0 && (r.lo < 0.0) != (r.hi < 0.0)) unit *= 0.5;
  if (!(std::fabs(r.lo) <= unit * (0.5 - kBand))) return false;
  *out = r.hi;
  return true;
}

// std::pow as the interpreter calls it, with the exponent read at run time:
// a compiler may rewrite pow(x, 2) as x*x, which is not what the library
// computes.
inline double LibraryPow(double x, double y) {
  volatile double exponent = y;
  return std::pow(x, exponent);
}

// Whether the processor has fused multiply-adds.
inline bool HasFma() {
  static const bool fma = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("fma") != 0;
  }();
  return fma;
}

}  // namespace formula_detail::pow_rounding
