// x'n for a whole n = 2..8 with the bits std::pow gives, at a fraction of its
// cost. Internal to the formula library.
#pragma once

namespace formula_detail {

using PowerKernel = double (*)(double);

// The function giving std::pow(x, n) bit for bit for every x, chosen by the
// processor; null for n outside 2..8.
PowerKernel IntegerPowerKernel(int n);

// std::pow(x, n) through the kernel; n outside 2..8 goes to std::pow.
double IntegerPower(double x, int n);

// The two kernels IntegerPower chooses from by the processor, for the tests;
// without fused multiply-adds on the processor, the second is the first.
double IntegerPowerWithoutFma(double x, int n);
double IntegerPowerWithFma(double x, int n);

}  // namespace formula_detail
