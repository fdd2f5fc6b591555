// The arithmetic behind each opcode, shared by the plain interpreter and the
// fast path so that both compute every exact operation bit for bit alike.
// Internal to the formula library.
#pragma once

#include "formula/code_format.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace formula_ops {

inline constexpr double HalfPi = 1.5707963267948966;

// Truncates toward zero; NaN and values outside the 64-bit range become the
// most negative 64-bit integer (what the x86 conversion yields, but defined).
inline int64_t ToInt64(double x) {
  if (x >= -9223372036854775808.0 && x < 9223372036854775808.0) return static_cast<int64_t>(x);
  return std::numeric_limits<int64_t>::min();
}

inline double FromInt64(int64_t v) { return static_cast<double>(v); }

// Shift counts are the low byte of the truncated count, read unsigned.
inline double ShiftLeft(double a, double b) {
  const unsigned count = static_cast<unsigned>(static_cast<uint64_t>(ToInt64(b)) & 0xFF);
  if (count >= 64) return 0.0;
  return FromInt64(static_cast<int64_t>(static_cast<uint64_t>(ToInt64(a)) << count));
}

inline double ShiftRight(double a, double b) {
  const unsigned count = static_cast<unsigned>(static_cast<uint64_t>(ToInt64(b)) & 0xFF);
  const int64_t v = ToInt64(a);
  if (count >= 64) return v < 0 ? -1.0 : 0.0;
  return FromInt64(v >> count);
}

inline double BitNot(double x) { return FromInt64(~ToInt64(x)); }
inline double BitOr(double a, double b) { return FromInt64(ToInt64(a) | ToInt64(b)); }
inline double BitAnd(double a, double b) { return FromInt64(ToInt64(a) & ToInt64(b)); }
inline double BitXor(double a, double b) { return FromInt64(ToInt64(a) ^ ToInt64(b)); }

inline double Truth(bool b) { return b ? 1.0 : 0.0; }

// Domain checks: true means the operation reports an error.
inline bool AsinAcosFails(double x) { return x > 1.0 || x < -1.0; }
inline bool AcoshFails(double x) { return x < 1.0; }
inline bool AtanhFails(double x) { return std::fabs(x) >= 1.0; }
inline bool AcothFails(double x) { return std::fabs(x) <= 1.0; }
inline bool CothFails(double x) { return x == 0.0; }
inline bool SqrtFails(double x) { return x < 0.0; }
inline bool DivisorFails(double b) { return b == 0.0; }

inline double Acot(double x) { return HalfPi - std::atan(x); }
inline double Cot(double x) { return std::tan(HalfPi - x); }
inline double Coth(double x) { return 1.0 / std::tanh(x); }
inline double Acoth(double x) { return std::atanh(1.0 / x); }
inline double LogBase(double base, double x) { return std::log(x) / std::log(base); }
inline double Root(double n, double x) { return std::pow(x, 1.0 / n); }
inline double Pow2(double x) { return x * x; }
inline double Pow3(double x) { return x * x * x; }
inline double Round(double x) { return std::floor(x + 0.5); }

// The error result: slot 0 made into a NaN by its upper 16 bits, unless it
// already is an infinity or a NaN.
inline double ErrorResult(double slot0) {
  if (!std::isfinite(slot0)) return slot0;
  uint64_t bits;
  std::memcpy(&bits, &slot0, sizeof bits);
  bits = (bits & 0x0000FFFFFFFFFFFFull) | 0x7FFF000000000000ull;
  double out;
  std::memcpy(&out, &bits, sizeof out);
  return out;
}

}  // namespace formula_ops

// Every computing opcode once: a name, the code, the failure test and the
// result over the operand x (binary: left x, right y). The interpreter and
// the fast path both expand these lists.
#define FORMULA_UNARY_OPERATIONS(X)                                           \
  X(op_neg, ACT_NEG, false, -x)                                               \
  X(op_not, ACT_NOT, false, formula_ops::BitNot(x))                           \
  X(op_lnot, ACT_LOGIC_NOT, false, formula_ops::Truth(x == 0.0))              \
  X(op_acos, ACT_ACOS, formula_ops::AsinAcosFails(x), std::acos(x))           \
  X(op_asin, ACT_ASIN, formula_ops::AsinAcosFails(x), std::asin(x))           \
  X(op_atan, ACT_ATAN, false, std::atan(x))                                   \
  X(op_acot, ACT_ACOT, false, formula_ops::Acot(x))                           \
  X(op_acosh, ACT_ACOSH, formula_ops::AcoshFails(x), std::acosh(x))           \
  X(op_asinh, ACT_ASINH, false, std::asinh(x))                                \
  X(op_atanh, ACT_ATANH, formula_ops::AtanhFails(x), std::atanh(x))           \
  X(op_acoth, ACT_ACOTH, formula_ops::AcothFails(x), formula_ops::Acoth(x))   \
  X(op_cos, ACT_COS, false, std::cos(x))                                      \
  X(op_sin, ACT_SIN, false, std::sin(x))                                      \
  X(op_tan, ACT_TAN, false, std::tan(x))                                      \
  X(op_cot, ACT_COT, false, formula_ops::Cot(x))                              \
  X(op_cosh, ACT_COSH, false, std::cosh(x))                                   \
  X(op_sinh, ACT_SINH, false, std::sinh(x))                                   \
  X(op_tanh, ACT_TANH, false, std::tanh(x))                                   \
  X(op_coth, ACT_COTH, formula_ops::CothFails(x), formula_ops::Coth(x))       \
  X(op_log, ACT_LOG, false, std::log(x))                                      \
  X(op_log10, ACT_LOG10, false, std::log10(x))                                \
  X(op_sqrt, ACT_SQRT, formula_ops::SqrtFails(x), std::sqrt(x))               \
  X(op_pow2, ACT_POW2, false, formula_ops::Pow2(x))                           \
  X(op_pow3, ACT_POW3, false, formula_ops::Pow3(x))                           \
  X(op_abs, ACT_ABS, false, std::fabs(x))                                     \
  X(op_floor, ACT_FLOOR, false, std::floor(x))                                \
  X(op_round, ACT_ROUND, false, formula_ops::Round(x))                        \
  X(op_ceil, ACT_CEIL, false, std::ceil(x))

#define FORMULA_BINARY_OPERATIONS(X)                                          \
  X(op_logx, ACT_LOGX, false, formula_ops::LogBase(x, y))                     \
  X(op_root, ACT_ROOT, false, formula_ops::Root(x, y))                        \
  X(op_eq, ACT_EQ, false, formula_ops::Truth(x == y))                         \
  X(op_neq, ACT_NEQ, false, formula_ops::Truth(x != y))                       \
  X(op_lower, ACT_LOWER, false, formula_ops::Truth(x < y))                    \
  X(op_lowereq, ACT_LOWER_EQ, false, formula_ops::Truth(x <= y))              \
  X(op_upper, ACT_UPPER, false, formula_ops::Truth(x > y))                    \
  X(op_uppereq, ACT_UPPER_EQ, false, formula_ops::Truth(x >= y))              \
  X(op_shr, ACT_SHR, false, formula_ops::ShiftRight(x, y))                    \
  X(op_shl, ACT_SHL, false, formula_ops::ShiftLeft(x, y))                     \
  X(op_lor, ACT_LOGIC_OR, false, formula_ops::Truth(x != 0.0 || y != 0.0))    \
  X(op_land, ACT_LOGIC_AND, false, formula_ops::Truth(x != 0.0 && y != 0.0))  \
  X(op_or, ACT_OR, false, formula_ops::BitOr(x, y))                           \
  X(op_and, ACT_AND, false, formula_ops::BitAnd(x, y))                        \
  X(op_xor, ACT_XOR, false, formula_ops::BitXor(x, y))                        \
  X(op_add, ACT_ADD, false, x + y)                                            \
  X(op_sub, ACT_SUB, false, x - y)                                            \
  X(op_mul, ACT_MUL, false, x * y)                                            \
  X(op_div, ACT_DIV, formula_ops::DivisorFails(y), x / y)                     \
  X(op_mod, ACT_MOD, formula_ops::DivisorFails(y), std::fmod(x, y))           \
  X(op_pow, ACT_POW, false, std::pow(x, y))
