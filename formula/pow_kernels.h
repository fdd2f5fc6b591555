// Powers with the bits std::pow gives, at a fraction of its cost: x'n for a
// whole n = 2..8, and E'u with the compiler's constant E. Internal to the
// formula library.
#pragma once

namespace formula_detail {

using PowerKernel = double (*)(double);

// The function giving std::pow(x, n) bit for bit for every x, chosen by the
// processor; null for n outside 2..8.
PowerKernel IntegerPowerKernel(int n);
// std::pow(x, n) through the kernel; n outside 2..8 goes to std::pow.
double IntegerPower(double x, int n);

// The compiler's E, 2.718281828459045, which lies 1.4e-16 below e.
inline constexpr double kFormulaE = 2.718281828459045;
// The function giving std::pow(kFormulaE, u) bit for bit for every u,
// chosen by the processor.
PowerKernel PowerOfEKernel();
double PowerOfE(double u);

// The kernels without fused multiply-adds, for the tests (the chosen ones
// must give the same bits).
double IntegerPowerWithoutFma(double x, int n);
double PowerOfEWithoutFma(double u);

}  // namespace formula_detail
