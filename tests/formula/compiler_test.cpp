#include "formula_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace formula_test;

namespace {

constexpr double kE = 2.718281828459045;
constexpr double kPi = 3.141592653589793;
// The test values (see DefaultValues), read at run time so that libm, not
// the compiler's own arithmetic, computes the expected values.
volatile double kRuntime[] = {0.75, 2, 3, 5, -0.5, 1.5};
const double x = kRuntime[0], a = kRuntime[1], b = kRuntime[2], c = kRuntime[3],
             d = kRuntime[4], X = kRuntime[5];

struct ValueRow {
  const char* text;
  double expected;
};

// Expected values are written out with <cmath> in the intended reading.
const ValueRow kValueRows[] = {
    {"1 + 2*3'2", 19},
    {"2*3'2", 18},
    {"2'3'2", 64},
    {"1 + 2*x\xB2", 1 + 2 * (x * x)},
    {"x\xB3", x * x * x},
    {"pi\xB2", kPi * kPi},
    {"E\xB3", kE * kE * kE},
    {"a + b == c", 1},
    {"a < b && b < c", 1},
    {"a > b || c < b", 0},
    {"a != b", 1},
    {"a <= 2", 1},
    {"a >= 2.5", 0},
    {"5 >> 1", 2},
    {"-5 >> 1", -3},
    {"1 << 4", 16},
    {"3.9 | 0", 3},
    {"~0", -1},
    {"6 & 3", 2},
    {"6 ^ 3", 5},
    {"7 % 4", 3},
    {"-7 % 4", -3},
    {"1 - 2 - 3", -4},
    {"8 / 4 / 2", 1},
    // Unary operators inside a tighter operator's operand.
    {"1/-2/4", -0.125},
    {"8/-2*2", -8},
    {"2'-1*3", 1.5},
    {"a*~b+c", a * -4 + c},
    {"1+!0+1", 3},
    {"sin -x*2", std::sin(-x) * 2},
    // Powers and squares belong to a unary operand, in an exponent and a
    // function operand too.
    {"2'-x\xB2", std::pow(2, -(x * x))},
    {"E'-X\xB2", std::pow(kE, -(X * X))},
    {"2'-b'2", std::pow(2, -std::pow(b, 2))},
    {"2'~a\xB3", std::pow(2, -9)},
    {"sin -b\xB2", std::sin(-(b * b))},
    {"sin -b'2*2", std::sin(-std::pow(b, 2)) * 2},
    {"sqrt !d\xB2 + 1", 1},
    {"-x'2", -std::pow(x, 2)},
    {"-x\xB2", -(x * x)},
    {"x*-x\xB2", x * -(x * x)},
    {"!a == b", 1},
    {"~a<<b", -17},
    {"--x", x},
    {"+x", x},
    // The conditional binds tighter than every binary operator.
    {"(x > 0) ? 1 : 2 + 3", 1},
    {"(d > 0) ? 1 : 2 + 3", 5},
    {"x > 0 ? 1 : 2", 0},
    {"c ? a + b : d", 5},
    {"0 ? 1 : 0 ? 2 : 3", 3},
    // Keywords, case-blind, with one operand each.
    {"sin x", std::sin(x)},
    {"SIN(X)", std::sin(X)},
    {"sIn(x)", std::sin(x)},
    {"sin x + 1", std::sin(x) + 1},
    {"sin x'2", std::pow(std::sin(x), 2)},
    {"sin sin x", std::sin(std::sin(x))},
    {"cos x", std::cos(x)},
    {"tan x", std::tan(x)},
    {"cot x", std::tan(kPi / 2 - x)},
    {"asin d", std::asin(d)},
    {"acos d", std::acos(d)},
    {"atan x", std::atan(x)},
    {"acot x", kPi / 2 - std::atan(x)},
    {"sinh x", std::sinh(x)},
    {"cosh x", std::cosh(x)},
    {"tanh x", std::tanh(x)},
    {"coth x", 1 / std::tanh(x)},
    {"asinh x", std::asinh(x)},
    {"acosh a", std::acosh(a)},
    {"acosh 1", 0},
    {"atanh d", std::atanh(d)},
    {"acoth a", std::atanh(1 / a)},
    {"abs d", 0.5},
    {"floor 2.5", 2},
    {"floor -2.5", -3},
    {"round 2.5", 3},
    {"round -2.5", -2},
    {"ceil 2.1", 3},
    {"sqrt 16", 4},
    {"ln x", std::log(x)},
    {"log 1000", 3},
    {"log2 x", std::log(x) / std::log(2.0)},
    {"log2x", std::log(x) / std::log(2.0)},
    {"LOG10 c", std::log(c) / std::log(10.0)},
    {"root3 8", std::pow(8, 1 / 3.0)},
    {"e", kE},
    {"pi", kPi},
    {"PI*e", kPi * kE},
    // Number forms.
    {"0x1F", 31},
    {"0b101", 5},
    {"0o17", 15},
    {"0d12", 12},
    {"2,5", 2.5},
    {"1.5e3", 1500},
    {".5", 0.5},
    {"'\\n'", 10},
    {"'A'", 65},
    {"'\\x41'", 65},
    {"'\\''", 39},
    {"'\xE4'", 0xE4},
    // Blanks around everything.
    {" \t x \t+\t 1 ", x + 1},
    {"( x )", x},
};

TEST(FormulaCompile, ComputesEveryLevelInTheIntendedOrder) {
  for (const ValueRow& row : kValueRows) {
    CFormulaProgram p;
    int errorOffset = 0;
    ASSERT_TRUE(CompileText(p, row.text, &errorOffset)) << row.text << " failed at " << errorOffset;
    const std::vector<double> values = DefaultValues();
    p.SetValues(values.data(), static_cast<int>(values.size()));
    const Outcome r = Interpret(p);
    EXPECT_EQ(r.ok, 1) << row.text;
    EXPECT_EQ(Bits(r.value), Bits(row.expected)) << row.text << " gave " << r.value;
    int ok = 1;
    const double fast = p.Evaluate(&ok);
    EXPECT_EQ(ok, 1) << row.text;
    EXPECT_EQ(Bits(fast), Bits(row.expected)) << row.text << " fast path gave " << fast;
  }
}

struct ErrorRow {
  const char* text;
  int offset;
};

const ErrorRow kErrorRows[] = {
    {"", 0},
    {"   ", 3},
    {"x y", 2},
    {"x +", 3},
    {"1 +* 2", 3},
    {"(x", 2},
    {"x)", 1},
    {"a ? b", 5},
    {"a : b", 2},
    {"(a ? b : c)", 10},
    {"a ? b ? c : d : x", 14},
    {"x = 1", 2},
    {"x ! 1", 2},
    {"x\n", 1},
    {"x\r+1", 1},
    {"'ab'", 0},
    {"'", 0},
    {"''", 0},
    {"0x", 0},
    {"1 + 0b", 4},
    {"log0 x", 0},
    {"log1 x", 0},
    {"2*root0 x", 2},
    {"sinx", 0},
    {"q", 0},
    {"sin", 3},
    {"x\xB4", 1},
};

TEST(FormulaCompile, ReportsTheOffsetWhereParsingStopped) {
  for (const ErrorRow& row : kErrorRows) {
    CFormulaProgram p;
    int errorOffset = -1;
    EXPECT_FALSE(CompileText(p, row.text, &errorOffset)) << row.text;
    EXPECT_EQ(errorOffset, row.offset) << row.text;
  }
}

TEST(FormulaCompile, EmitsOneUpPerBinaryOperator) {
  CFormulaProgram p;
  ASSERT_TRUE(CompileText(p, "a + b == c"));
  // a, UP, b, ADD, UP, c, EQ
  const std::vector<uint16_t> expected = {LoadWord(2), ACT_UP, LoadWord(3), ACT_ADD,
                                          ACT_UP,      LoadWord(4), ACT_EQ};
  EXPECT_EQ(std::vector<uint16_t>(p.Code(), p.Code() + p.CodeLength()), expected);
}

TEST(FormulaCompile, WritesConditionalsWithOneLabelEach) {
  CFormulaProgram p;
  ASSERT_TRUE(CompileText(p, "x ? 1 : y ? 2 : 3"));
  const uint16_t* w = p.Code();
  ASSERT_EQ(p.CodeLength(), 11u);
  EXPECT_EQ(w[0], LoadWord(0));
  EXPECT_EQ(w[1], ACT_IF | 0);
  EXPECT_EQ(w[3], ACT_ELSE | 0);
  EXPECT_EQ(w[4], LoadWord(1));
  EXPECT_EQ(w[5], ACT_IF | 1);
  EXPECT_EQ(w[7], ACT_ELSE | 1);
  EXPECT_EQ(w[9], ACT_ENDIF | 1);
  EXPECT_EQ(w[10], ACT_ENDIF | 0);
  EXPECT_EQ(p.LabelCounter(), 2u);
}

TEST(FormulaCompile, LabelCounterRunsAcrossCompilesAndWraps) {
  CFormulaProgram p;
  for (int i = 0; i < 4097; ++i) ASSERT_TRUE(CompileText(p, "x ? 1 : 2"));
  EXPECT_EQ(p.LabelCounter(), 4097u);
  EXPECT_EQ(p.Code()[1], ACT_IF | 0);  // label 4096 is written as 0
}

TEST(FormulaCompile, HandsUnknownNamesToTheCallbackWithTheirText) {
  struct Seen {
    std::string text;
  } seen;
  auto lookup = [](void* ctx, const char* text, double*, unsigned* index) -> int {
    static_cast<Seen*>(ctx)->text = text;
    if (std::string(text).rfind("sinx", 0) == 0) {
      *index = 1;
      return 4;
    }
    return 0;
  };
  CFormulaProgram p;
  p.Reset(2, lookup, &seen);
  ASSERT_TRUE(p.Compile("sinx*2", nullptr));
  EXPECT_EQ(seen.text, "sinx*2");
  EXPECT_EQ(p.Code()[0], LoadWord(1));
}

TEST(FormulaCompile, RefusesCallbackIndicesAndCountsOutOfRange) {
  auto lookup = [](void* ctx, const char*, double*, unsigned* index) -> int {
    const int* answer = static_cast<const int*>(ctx);
    *index = static_cast<unsigned>(answer[0]);
    return answer[1];
  };
  const struct {
    int index, count;
    bool ok;
  } rows[] = {{2, 1, true}, {3, 1, false}, {0, 2, false}, {0, 0, false}, {0, -1, false}};
  for (const auto& row : rows) {
    CFormulaProgram p;
    int answer[2] = {row.index, row.count};
    p.Reset(3, lookup, answer);
    // The constants behind the variables are not names.
    p.AddConstant(7);
    EXPECT_EQ(p.Compile("v", nullptr) != FALSE, row.ok) << row.index << " " << row.count;
  }
}

TEST(FormulaCompile, NameCountsAreMeasuredFromTheNameToTheTextEnd) {
  // The callback claims every character left after the operator; one more
  // would read beyond the text.
  auto lookup = [](void* ctx, const char* text, double*, unsigned* index) -> int {
    *index = 0;
    return static_cast<int>(std::string(text).size()) + *static_cast<const int*>(ctx);
  };
  const struct {
    const char* text;
    int extra;
    bool ok;
  } rows[] = {{"1 + name", 0, true}, {"1 + name", 1, false}, {"name", 0, true},
              {"name", 1, false},    {"2*(1+nm", 0, false}, {"((((n", 0, false}};
  for (const auto& row : rows) {
    CFormulaProgram p;
    int extra = row.extra;
    p.Reset(1, lookup, &extra);
    EXPECT_EQ(p.Compile(row.text, nullptr) != FALSE, row.ok) << row.text << " +" << row.extra;
  }
}

TEST(FormulaCompile, FailureRestoresTheCodeLength) {
  CFormulaProgram p;
  ASSERT_TRUE(CompileText(p, "x"));
  const uint32_t before = p.CodeLength();
  const char* error = nullptr;
  EXPECT_FALSE(p.Compile("x + (y *", &error));
  EXPECT_EQ(p.CodeLength(), before);
  int ok = 1;
  EXPECT_EQ(p.Evaluate(&ok), 0.0);  // x was never given a value
  EXPECT_EQ(ok, 1);
  ASSERT_TRUE(p.Compile("x", &error));
  EXPECT_STREQ(error, "");
}

TEST(FormulaCompile, FailedTextAloneEvaluatesToTheErrorResult) {
  CFormulaProgram p;
  EXPECT_FALSE(CompileText(p, "x +"));
  EXPECT_EQ(p.CodeLength(), 0u);
  int ok = 1;
  EXPECT_EQ(Bits(p.Evaluate(&ok)), 0x7FFF000000000000u);
  EXPECT_EQ(ok, 0);
}

TEST(FormulaCompile, LimitsNestingTo256) {
  CFormulaProgram p;
  const std::string deep200 = std::string(200, '(') + "x" + std::string(200, ')');
  EXPECT_TRUE(CompileText(p, deep200));
  const std::string deep300 = std::string(300, '(') + "x" + std::string(300, ')');
  EXPECT_FALSE(CompileText(p, deep300));
  std::string functions;
  for (int i = 0; i < 300; ++i) functions += "sin ";
  EXPECT_FALSE(CompileText(p, functions + "x"));
  std::string negations(100000, '-');
  EXPECT_FALSE(CompileText(p, negations + "x"));
}

TEST(FormulaCompile, FailsWhenValueIndicesRunOut) {
  std::string sum = "1";
  for (int i = 0; i < 4100; ++i) sum += "+1";
  CFormulaProgram p;
  int offset = 0;
  EXPECT_FALSE(CompileText(p, sum, &offset));
  // 13 variables and 4083 constants fill the 4096 values; the next number fails.
  EXPECT_EQ(offset, 2 * (4096 - kVariableCount));
  EXPECT_EQ(p.CodeLength(), 0u);
}

}  // namespace
