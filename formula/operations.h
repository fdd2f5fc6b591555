// The arithmetic behind each opcode, shared by the plain interpreter and the
// fast path so that both compute every exact operation bit for bit alike.
// Internal to the formula library.
#pragma once

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
