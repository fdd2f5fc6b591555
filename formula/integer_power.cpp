// x'n as a product carried in a sum of two doubles: each multiplication
// splits off its rounding error exactly, so the sum stays within 2^-100 of
// the true power and rounds as std::pow does (formula/pow_rounding.h).
#include "formula/pow_kernels.h"

#include "formula/pow_rounding.h"

namespace formula_detail {
namespace {

using namespace pow_rounding;

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

// Zeros, infinities, NaNs and powers beyond 2^±900 (where the split-off
// errors could underflow or the split overflow) fail to settle and go to
// std::pow.
template <typename A, int N>
inline double Power(double x) {
  double r;
  if (Settle(PowerSum<A, N>(x), &r)) return r;
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

}  // namespace

// Both kernels give the same bits: they differ only far below 2^-100, deep
// inside the band.
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

}  // namespace formula_detail
