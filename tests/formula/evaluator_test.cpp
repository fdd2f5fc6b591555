#include "formula_test_support.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <functional>
#include <limits>

using namespace formula_test;

namespace {

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kTwo63 = 9223372036854775808.0;
const double kHalfPi = 1.5707963267948966;

// Operands that probe signs, classes, domain edges and integer limits.
const double kOperands[] = {0.0,     -0.0,   1.0,     -1.0,          0.5,    -0.5,    2.0,
                            3.9,     -3.9,   7.0,     -7.0,          1e300,  -1e300,  5e-324,
                            -1e-310, kInf,   -kInf,   kNaN,          kTwo63, -kTwo63, 1.0 + DBL_EPSILON,
                            63.0,    64.0,   255.0,   256.0,         -1.5,   1e-17,   710.0,
                            4.5e15,  -2.5,   -kTwo63 * 2, 0.9999999999999999};

// The error result as the evaluator's contract states it.
double ErrorOf(double slot0) {
  if (std::isnan(slot0) || std::isinf(slot0)) return slot0;
  return FromBits((Bits(slot0) & 0x0000FFFFFFFFFFFFull) | 0x7FFF000000000000ull);
}

int64_t Truncated(double v) {
  if (!(v >= -kTwo63 && v < kTwo63)) return INT64_MIN;
  return static_cast<int64_t>(std::trunc(v));
}

struct Expect {
  bool error;
  double value;
};

Expect Ok(double v) { return {false, v}; }
Expect Err() { return {true, 0}; }

using Unary = std::function<Expect(double)>;
using Binary = std::function<Expect(double, double)>;

const struct {
  uint16_t op;
  Unary f;
} kUnary[] = {
    {ACT_NEG, [](double x) { return Ok(-x); }},
    {ACT_NOT, [](double x) { return Ok(static_cast<double>(~Truncated(x))); }},
    {ACT_LOGIC_NOT, [](double x) { return Ok(x == 0 ? 1.0 : 0.0); }},
    {ACT_ACOS, [](double x) { return (x > 1 || x < -1) ? Err() : Ok(std::acos(x)); }},
    {ACT_ASIN, [](double x) { return (x > 1 || x < -1) ? Err() : Ok(std::asin(x)); }},
    {ACT_ATAN, [](double x) { return Ok(std::atan(x)); }},
    {ACT_ACOT, [](double x) { return Ok(kHalfPi - std::atan(x)); }},
    {ACT_ACOSH, [](double x) { return x < 1 ? Err() : Ok(std::acosh(x)); }},
    {ACT_ASINH, [](double x) { return Ok(std::asinh(x)); }},
    {ACT_ATANH, [](double x) { return std::fabs(x) >= 1 ? Err() : Ok(std::atanh(x)); }},
    {ACT_ACOTH, [](double x) { return std::fabs(x) <= 1 ? Err() : Ok(std::atanh(1 / x)); }},
    {ACT_COS, [](double x) { return Ok(std::cos(x)); }},
    {ACT_SIN, [](double x) { return Ok(std::sin(x)); }},
    {ACT_TAN, [](double x) { return Ok(std::tan(x)); }},
    {ACT_COT, [](double x) { return Ok(std::tan(kHalfPi - x)); }},
    {ACT_COSH, [](double x) { return Ok(std::cosh(x)); }},
    {ACT_SINH, [](double x) { return Ok(std::sinh(x)); }},
    {ACT_TANH, [](double x) { return Ok(std::tanh(x)); }},
    {ACT_COTH, [](double x) { return x == 0 ? Err() : Ok(1 / std::tanh(x)); }},
    {ACT_LOG, [](double x) { return Ok(std::log(x)); }},
    {ACT_LOG10, [](double x) { return Ok(std::log10(x)); }},
    {ACT_SQRT, [](double x) { return x < 0 ? Err() : Ok(std::sqrt(x)); }},
    {ACT_POW2, [](double x) { return Ok(x * x); }},
    {ACT_POW3, [](double x) { return Ok(x * x * x); }},
    {ACT_ABS, [](double x) { return Ok(std::fabs(x)); }},
    {ACT_FLOOR, [](double x) { return Ok(std::floor(x)); }},
    {ACT_ROUND, [](double x) { return Ok(std::floor(x + 0.5)); }},
    {ACT_CEIL, [](double x) { return Ok(std::ceil(x)); }},
};

double Shift(double a, double b, bool left) {
  const unsigned n = static_cast<unsigned>(static_cast<uint64_t>(Truncated(b)) & 0xFF);
  const int64_t v = Truncated(a);
  if (left) return n >= 64 ? 0.0 : static_cast<double>(static_cast<int64_t>(static_cast<uint64_t>(v) << n));
  if (n >= 64) return v < 0 ? -1.0 : 0.0;
  return static_cast<double>(v >> n);
}

const struct {
  uint16_t op;
  Binary f;
} kBinary[] = {
    {ACT_LOGX, [](double a, double b) { return Ok(std::log(b) / std::log(a)); }},
    {ACT_ROOT, [](double a, double b) { return Ok(std::pow(b, 1 / a)); }},
    {ACT_EQ, [](double a, double b) { return Ok(a == b ? 1.0 : 0.0); }},
    {ACT_NEQ, [](double a, double b) { return Ok(a != b ? 1.0 : 0.0); }},
    {ACT_LOWER, [](double a, double b) { return Ok(a < b ? 1.0 : 0.0); }},
    {ACT_LOWER_EQ, [](double a, double b) { return Ok(a <= b ? 1.0 : 0.0); }},
    {ACT_UPPER, [](double a, double b) { return Ok(a > b ? 1.0 : 0.0); }},
    {ACT_UPPER_EQ, [](double a, double b) { return Ok(a >= b ? 1.0 : 0.0); }},
    {ACT_SHR, [](double a, double b) { return Ok(Shift(a, b, false)); }},
    {ACT_SHL, [](double a, double b) { return Ok(Shift(a, b, true)); }},
    {ACT_LOGIC_OR, [](double a, double b) { return Ok((a != 0 || b != 0) ? 1.0 : 0.0); }},
    {ACT_LOGIC_AND, [](double a, double b) { return Ok((a != 0 && b != 0) ? 1.0 : 0.0); }},
    {ACT_OR, [](double a, double b) { return Ok(static_cast<double>(Truncated(a) | Truncated(b))); }},
    {ACT_AND, [](double a, double b) { return Ok(static_cast<double>(Truncated(a) & Truncated(b))); }},
    {ACT_XOR, [](double a, double b) { return Ok(static_cast<double>(Truncated(a) ^ Truncated(b))); }},
    {ACT_ADD, [](double a, double b) { return Ok(a + b); }},
    {ACT_SUB, [](double a, double b) { return Ok(a - b); }},
    {ACT_MUL, [](double a, double b) { return Ok(a * b); }},
    {ACT_DIV, [](double a, double b) { return b == 0 ? Err() : Ok(a / b); }},
    {ACT_MOD, [](double a, double b) { return b == 0 ? Err() : Ok(std::fmod(a, b)); }},
    {ACT_POW, [](double a, double b) { return Ok(std::pow(a, b)); }},
};

// Compares like the contract: bit for bit, ok included.
void ExpectOutcome(const std::vector<uint16_t>& code, const std::vector<double>& values,
                   const Expect& e, double slot0, const std::string& what) {
  int ok = 1;
  const double got = EvaluateCode(code.data(), static_cast<uint32_t>(code.size()), values.data(), &ok);
  const double want = e.error ? ErrorOf(slot0) : e.value;
  EXPECT_EQ(ok, e.error ? 0 : 1) << what;
  EXPECT_EQ(Bits(got), Bits(want)) << what << " got " << got << " want " << want;
}

TEST(EvaluateCode, UnaryOpcodesMatchTheMathLibrary) {
  for (const auto& u : kUnary) {
    for (double x : kOperands) {
      ExpectOutcome({LoadWord(0), u.op}, {x}, u.f(x), x,
                    "opcode " + std::to_string(u.op) + " of " + std::to_string(x));
    }
  }
}

TEST(EvaluateCode, BinaryOpcodesMatchTheMathLibrary) {
  for (const auto& o : kBinary) {
    for (double a : kOperands) {
      for (double b : kOperands) {
        ExpectOutcome({LoadWord(0), ACT_UP, LoadWord(1), o.op}, {a, b}, o.f(a, b), a,
                      "opcode " + std::to_string(o.op) + " of " + std::to_string(a) + ", " +
                          std::to_string(b));
      }
    }
  }
}

TEST(EvaluateCode, ShiftCountsUseTheLowByte) {
  const struct {
    double a, b, shl, shr;
  } rows[] = {
      {1, 63, -9223372036854775808.0, 0},  {1, 64, 0, 0},   {-8, 64, 0, -1},
      {1, 255, 0, 0},                      {-1, 255, 0, -1}, {1, -1, 0, 0},  // -1 reads as 255
      {5, 1, 10, 2},                       {-5, 1, -10, -3}, {1, 256, 1, 1},  // 256 reads as 0
  };
  for (const auto& r : rows) {
    int ok = 1;
    const std::vector<double> v = {r.a, r.b};
    const uint16_t shl[] = {LoadWord(0), ACT_UP, LoadWord(1), ACT_SHL};
    const uint16_t shr[] = {LoadWord(0), ACT_UP, LoadWord(1), ACT_SHR};
    EXPECT_EQ(EvaluateCode(shl, 4, v.data(), &ok), r.shl) << r.a << " << " << r.b;
    EXPECT_EQ(EvaluateCode(shr, 4, v.data(), &ok), r.shr) << r.a << " >> " << r.b;
    EXPECT_EQ(ok, 1);
  }
}

TEST(EvaluateCode, ConditionalTakesTheBranchOfItsTest) {
  // c ? 10 : 20 with labels 7
  const uint16_t code[] = {LoadWord(0), ACT_IF | 7, LoadWord(1), ACT_ELSE | 7, LoadWord(2), ACT_ENDIF | 7};
  const struct {
    double c, want;
  } rows[] = {{1, 10}, {-1, 10}, {0, 20}, {-0.0, 20}, {kNaN, 10}};
  for (const auto& r : rows) {
    const double v[] = {r.c, 10, 20};
    int ok = 1;
    EXPECT_EQ(EvaluateCode(code, 6, v, &ok), r.want) << r.c;
    EXPECT_EQ(ok, 1);
  }
}

TEST(EvaluateCode, ErrorsGiveTheExactNaNOfSlotZero) {
  const double v[] = {1.1, 0.0, kInf};
  const uint64_t nanOf11 = (Bits(1.1) & 0xFFFFFFFFFFFFull) | 0x7FFF000000000000ull;
  std::vector<uint16_t> ups = {LoadWord(0)};
  for (int i = 0; i < 600; ++i) ups.push_back(ACT_UP);
  const struct {
    std::vector<uint16_t> code;
    uint64_t bits;
  } rows[] = {
      {{LoadWord(0), 0x9000}, nanOf11},
      {{LoadWord(0), 0xFFFF}, nanOf11},
      {{LoadWord(0), 0x3005}, nanOf11},
      {{LoadWord(0), 52}, nanOf11},
      {{LoadWord(0), 1}, nanOf11},
      {{LoadWord(0), ACT_END}, nanOf11},
      {{ACT_END}, 0x7FFF000000000000ull},
      {{}, 0x7FFF000000000000ull},
      {{LoadWord(1), ACT_IF | 3, LoadWord(0), ACT_ELSE | 4}, 0x7FFF000000000000ull},  // no ELSE 3
      {{LoadWord(0), ACT_IF | 3, LoadWord(0), ACT_ELSE | 3, LoadWord(1)}, nanOf11},    // no ENDIF 3
      {ups, nanOf11},
      {{LoadWord(0), ACT_ADD}, nanOf11},
      {{LoadWord(0), ACT_UP, LoadWord(1), ACT_DIV}, nanOf11},
      {{LoadWord(2), ACT_UP, LoadWord(1), ACT_MOD}, Bits(kInf)},  // slot 0 infinite stays
  };
  for (const auto& r : rows) {
    int ok = 1;
    const double got = EvaluateCode(r.code.data(), static_cast<uint32_t>(r.code.size()), v, &ok);
    EXPECT_EQ(ok, 0) << r.code.size();
    EXPECT_EQ(Bits(got), r.bits) << r.code.size();
  }
}

TEST(EvaluateCode, AcceptsANullOkFlag) {
  const uint16_t code[] = {ACT_END};
  EXPECT_EQ(Bits(EvaluateCode(code, 1, nullptr, nullptr)), 0x7FFF000000000000u);
}

TEST(EvaluateCode, LogarithmsAndPowersOfNegativesFollowIeee) {
  const struct {
    const char* text;
    double want;
    bool nan;
  } rows[] = {{"ln 0", -kInf, false}, {"ln -1", 0, true}, {"(-8)'(1/3)", 0, true}, {"log2 0", -kInf, false}};
  for (const auto& r : rows) {
    CFormulaProgram p;
    ASSERT_TRUE(CompileText(p, r.text)) << r.text;
    const Outcome o = Interpret(p);
    EXPECT_EQ(o.ok, 1) << r.text;
    if (r.nan)
      EXPECT_TRUE(std::isnan(o.value)) << r.text;
    else
      EXPECT_EQ(o.value, r.want) << r.text;
  }
}

TEST(EvaluateCode, SpecifiedDomainErrors) {
  const char* const failing[] = {"1/0", "sqrt -1", "asin 2", "atanh 1", "acoth 0.5", "coth 0", "5 % 0",
                                 "acosh 0.5"};
  for (const char* text : failing) {
    CFormulaProgram p;
    ASSERT_TRUE(CompileText(p, text)) << text;
    const Outcome o = Interpret(p);
    EXPECT_EQ(o.ok, 0) << text;
    EXPECT_TRUE(std::isnan(o.value)) << text;
  }
}

}  // namespace
