// The product x·x·…·x is carried as an unevaluated sum hi + lo of two
// doubles, each step splitting off its rounding error exactly, so the sum
// stays within 2^-100 of the true power. Rounded once, that is the correctly
// rounded power. std::pow is not always correctly rounded: measured against
// this sum, it rounds the other way in about one case in 1200 (n = 2 too),
// always where the true power lies within 0.003 units in the last place of
// halfway between two doubles. So a sum closer than 1/32 unit to halfway
// (one call in sixteen) is handed to std::pow itself; everywhere else both
// round alike. Results outside [2^-900, 2^900], where the split-off errors
// could underflow or the splitting overflow, also go to std::pow, and so do
// zeros, infinities and NaNs.
#include "formula/integer_power.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace formula_detail {
namespace {

// std::pow as the interpreter calls it, with an exponent read at run time:
// a compiler may rewrite pow(x, 2) with a constant 2 as x*x, which is not
// what the library computes.
double LibraryPow(double x, int n) {
  volatile double exponent = n;
  return std::pow(x, exponent);
}

struct Sum {
  double hi, lo;
};

// Multiplication without fused operations: Veltkamp's split makes the
// product's error exact all the same.
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

struct FusedArithmetic {
  static Sum TwoProduct(double a, double b) {
    const double p = a * b;
    return {p, __builtin_fma(a, b, -p)};
  }
  static double MulAdd(double a, double b, double c) { return __builtin_fma(a, b, c); }
};

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

template <typename A, int N>
inline Sum PowerSum(double x) {
  const Sum s = A::TwoProduct(x, x);
  if constexpr (N == 2) return s;
  if constexpr (N == 3) return Times<A>(s, x);
  if constexpr (N == 4) return Times<A>(s, s);
  if constexpr (N == 5) return Times<A>(Times<A>(s, s), x);
  if constexpr (N == 6) return Times<A>(Times<A>(s, s), s);
  if constexpr (N == 7) return Times<A>(Times<A>(s, s), Times<A>(s, x));
  if constexpr (N == 8) {
    const Sum q = Times<A>(s, s);
    return Times<A>(q, q);
  }
}

// How close to halfway the sum may come before std::pow decides, in units
// in the last place: twelve times the widest miss of std::pow measured over
// seventy million powers.
constexpr double kBand = 1.0 / 32;

template <typename A, int N>
inline double Power(double x) {
  const Sum s = PowerSum<A, N>(x);
  const double r = s.hi + s.lo;
  const double rest = (s.hi - r) + s.lo;  // exact: s.hi + s.lo = r + rest
  const double magnitude = std::fabs(r);
  if (!(magnitude >= 0x1p-900 && magnitude <= 0x1p900)) return LibraryPow(x, N);
  uint64_t bits;
  std::memcpy(&bits, &magnitude, sizeof bits);
  const uint64_t exponentBits = bits & 0x7FF0000000000000u;
  double unit;
  std::memcpy(&unit, &exponentBits, sizeof unit);
  unit *= 0x1p-52;
  // Below a power of two the doubles lie twice as close.
  if (bits == exponentBits && rest != 0.0 && (rest < 0.0) != (r < 0.0)) unit *= 0.5;
  if (std::fabs(rest) <= unit * (0.5 - kBand)) return r;
  return LibraryPow(x, N);
}

template <int N>
__attribute__((target("fma"))) double PowerFused(double x) {
  return Power<FusedArithmetic, N>(x);
}
template <int N>
double PowerPlain(double x) {
  return Power<PlainArithmetic, N>(x);
}

constexpr PowerKernel kFused[] = {PowerFused<2>, PowerFused<3>, PowerFused<4>, PowerFused<5>,
                                  PowerFused<6>, PowerFused<7>, PowerFused<8>};
constexpr PowerKernel kPlain[] = {PowerPlain<2>, PowerPlain<3>, PowerPlain<4>, PowerPlain<5>,
                                  PowerPlain<6>, PowerPlain<7>, PowerPlain<8>};

bool HasFma() {
  static const bool fma = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("fma") != 0;
  }();
  return fma;
}

}  // namespace

// Both kernels give the same bits: they differ only far below 2^-100,
// deep inside the band.
PowerKernel IntegerPowerKernel(int n) {
  if (n < 2 || n > 8) return nullptr;
  return (HasFma() ? kFused : kPlain)[n - 2];
}

double IntegerPower(double x, int n) {
  const PowerKernel kernel = IntegerPowerKernel(n);
  return kernel != nullptr ? kernel(x) : LibraryPow(x, n);
}

double IntegerPowerWithoutFma(double x, int n) {
  return n >= 2 && n <= 8 ? kPlain[n - 2](x) : LibraryPow(x, n);
}
double IntegerPowerWithFma(double x, int n) {
  return n >= 2 && n <= 8 ? (HasFma() ? kFused : kPlain)[n - 2](x) : LibraryPow(x, n);
}

}  // namespace formula_detail
