#include "formula_test_support.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>

using namespace formula_test;

namespace {

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kE = 2.718281828459045;

// Distance in units in the last place, over the ordered bit patterns.
int64_t UlpDistance(double a, double b) {
  auto ordered = [](double v) {
    const int64_t bits = static_cast<int64_t>(Bits(v));
    return bits < 0 ? INT64_MIN - bits : bits;
  };
  const int64_t d = ordered(a) - ordered(b);
  return d < 0 ? -d : d;
}

// The formulas of the benchmark, in the engine's syntax.
const char* const kBenchFormulas[] = {
    "cos(X)*Z",
    "A*sin(B*X + C)",
    "X\xB3 - 2*X\xB2 + X - 5",
    "A*X\xB2 + B*X + C",
    "e'(-X\xB2/2)/sqrt(2*pi)",
    "1 - X\xB2/2 + X'4/24 - X'6/720 + X'8/40320",
    "2*pi*F*X",
    "(X > 0) ? sqrt X : -sqrt(-X)",
    "sin(cos(tan(X)))",
    "ln(abs X + 1) + log2 (X\xB2 + 1)",
    "atanh(X/6) + acosh(abs X + 1)",
    "sin(sqrt(X\xB2 + Y\xB2))/sqrt(X\xB2 + Y\xB2)",
    "X*Y*e'(-(X\xB2 + Y\xB2))",
    "(X*16 & Y*16) ^ 7",
};

TEST(FormulaFastPath, MatchesTheInterpreterOnTheBenchmarkFormulas) {
  for (const char* text : kBenchFormulas) {
    CFormulaProgram compiled;
    ASSERT_TRUE(CompileText(compiled, text)) << text;
    for (bool optimize : {false, true}) {
      CFormulaProgram p;
      CFormulaProgram::CopyTo(&compiled, &p);
      std::vector<double> values = DefaultValues();
      p.SetValues(values.data(), kVariableCount);
      if (optimize) {
        const uint8_t sliders[kVariableCount] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1};
        p.Optimize(sliders, kVariableCount);
      }
      for (int i = 0; i < 400; ++i) {
        values[6] = -5 + 10.0 * i / 399;       // X
        values[7] = -3 + 6.0 * (i % 37) / 36;  // Y
        p.SetValues(values.data(), kVariableCount);
        const Outcome plain = Interpret(p);
        const Outcome exact = RunExactFastForm(p);
        int ok = 1;
        const double fast = p.Evaluate(&ok);
        ASSERT_EQ(exact.ok, plain.ok) << text;
        ASSERT_EQ(Bits(exact.value), Bits(plain.value)) << text << " at X = " << values[6];
        ASSERT_EQ(ok, plain.ok) << text;
        if (UsesApproximation(p)) {
          // A few ulp per replaced call, which cancellation may magnify.
          ASSERT_LE(std::fabs(fast - plain.value), 1e-13 * std::max(1.0, std::fabs(plain.value)))
              << text << " at X = " << values[6];
        } else {
          ASSERT_EQ(Bits(fast), Bits(plain.value)) << text << " at X = " << values[6];
        }
      }
    }
  }
}

TEST(FormulaFastPath, ErrorsGiveTheInterpretersResult) {
  const char* const texts[] = {"x + 1.1/(y - y)", "x*3 + sqrt(y)", "1.1 + (x > 0) ? asin 2 : 1", "c % (a - 2)",
                               "x + coth(y - y) * 2", "acosh(x) + 1", "atanh(a) - acoth(x)"};
  for (const char* text : texts) {
    CFormulaProgram p;
    ASSERT_TRUE(CompileText(p, text)) << text;
    const std::vector<double> values = DefaultValues();
    p.SetValues(values.data(), kVariableCount);
    const Outcome plain = Interpret(p);
    int ok = 1;
    const double fast = p.Evaluate(&ok);
    EXPECT_EQ(plain.ok, 0) << text;
    EXPECT_EQ(ok, 0) << text;
    EXPECT_EQ(Bits(fast), Bits(plain.value)) << text;
  }
}

TEST(FormulaFastPath, FollowsEveryChangeOfCodeOrConstants) {
  CFormulaProgram p;
  ASSERT_TRUE(CompileText(p, "x - y"));
  std::vector<double> values = DefaultValues();
  p.SetValues(values.data(), kVariableCount);
  int ok = 1;
  EXPECT_EQ(p.Evaluate(&ok), 2.0);
  CFormulaProgram::SwapVariables(&p, 0, 1);
  EXPECT_EQ(p.Evaluate(&ok), -2.0);
  p.Emit(ACT_NEG);
  EXPECT_EQ(p.Evaluate(&ok), 2.0);
  ASSERT_TRUE(p.Compile("*3", nullptr) == FALSE);  // a failed compile keeps the code
  EXPECT_EQ(p.Evaluate(&ok), 2.0);
  p.Optimize(nullptr, 0);
  EXPECT_EQ(p.Evaluate(&ok), 2.0);
  CFormulaProgram q;
  ASSERT_TRUE(CompileText(q, "x*4"));
  q.SetValues(values.data(), kVariableCount);
  EXPECT_EQ(q.Evaluate(&ok), 3.0);
  CFormulaProgram::CopyTo(&p, &q);
  EXPECT_EQ(q.Evaluate(&ok), 2.0);
  values[0] = 10;
  q.SetValues(values.data(), kVariableCount);
  EXPECT_EQ(q.Evaluate(&ok), 11.25);  // -(y - x)
  // Growing the value array moves it; the fast form must follow.
  for (int i = 0; i < 300; ++i) q.AddConstant(i);
  EXPECT_EQ(q.Evaluate(&ok), 11.25);
  q.Reset(kVariableCount, LookupVariable, nullptr);
  EXPECT_EQ(Bits(q.Evaluate(&ok)), 0x7FFF000000000000u);
  EXPECT_EQ(ok, 0);
}

TEST(FormulaFastPath, InterpretsCodeOfOtherShapes) {
  // Hand-written code the compiler never emits: two values left on the
  // stack, a stray ENDIF, a binary opcode at slot 0.
  const std::vector<std::vector<uint16_t>> codes = {
      {LoadWord(0), ACT_UP, LoadWord(1)},
      {LoadWord(0), ACT_ENDIF | 5, ACT_NEG},
      {LoadWord(0), ACT_ADD},
      {LoadWord(0), LoadWord(1), ACT_NEG},
      {LoadWord(0), ACT_UP, ACT_NEG},
      {LoadWord(0), ACT_IF | 1, LoadWord(1), ACT_ELSE | 1, ACT_ELSE | 1, LoadWord(0), ACT_ENDIF | 1},
  };
  for (const auto& code : codes) {
    CFormulaProgram p;
    p.Reset(2, nullptr, nullptr);
    for (uint16_t w : code) p.Emit(w);
    const double v[] = {1.5, -4};
    p.SetValues(v, 2);
    const Outcome plain = Interpret(p);
    int ok = 1;
    const double fast = p.Evaluate(&ok);
    EXPECT_EQ(ok, plain.ok) << code.size();
    EXPECT_EQ(Bits(fast), Bits(plain.value)) << code.size();
  }
}

TEST(FormulaFastPath, RefusesLoadsBeyondTheValues) {
  CFormulaProgram p;
  p.Reset(0, nullptr, nullptr);  // no value array at all
  p.Emit(LoadWord(5));
  int ok = 1;
  EXPECT_EQ(Bits(p.Evaluate(&ok)), 0x7FFF000000000000u);
  EXPECT_EQ(ok, 0);
  p.Reset(2, nullptr, nullptr);
  p.Emit(LoadWord(1));
  p.Emit(ACT_UP);
  p.Emit(LoadWord(2));
  p.Emit(ACT_ADD);
  EXPECT_EQ(Bits(p.Evaluate(&ok)), 0x7FFF000000000000u);
  EXPECT_EQ(ok, 0);
}

TEST(FormulaFastPath, IntegerPowersStayWithinEightUlp) {
  std::mt19937_64 rng(3);
  std::uniform_real_distribution<double> mantissa(0.5, 1.0);
  std::uniform_int_distribution<int> exponent(-140, 140);
  for (int n = 2; n <= 8; ++n) {
    for (int i = 0; i < 20000; ++i) {
      const double x = std::ldexp(mantissa(rng), exponent(rng)) * (i % 2 ? -1 : 1);
      const double want = std::pow(x, n);
      EXPECT_LE(UlpDistance(formula_detail::FastIntegerPower(x, n), want), 8) << x << "'" << n;
    }
  }
}

TEST(FormulaFastPath, IntegerPowersAreExactOnSpecialValues) {
  const double specials[] = {0.0, -0.0, kInf, -kInf, kNaN, 1e300, -1e300, 1e-300, 4.9e-324,
                             1e-40, 1e38, -1e39, 2.2250738585072014e-308, 1.3407807929942596e154};
  for (int n = 2; n <= 8; ++n) {
    for (double x : specials) {
      const double want = std::pow(x, n);
      const double got = formula_detail::FastIntegerPower(x, n);
      if (std::isnan(want)) {
        EXPECT_TRUE(std::isnan(got)) << x << "'" << n;
      } else if (want == 0 || std::isinf(want) || std::fabs(want) < DBL_MIN) {
        EXPECT_EQ(Bits(got), Bits(want)) << x << "'" << n;
      } else {
        EXPECT_LE(UlpDistance(got, want), 8) << x << "'" << n;
      }
    }
  }
}

TEST(FormulaFastPath, PowersOfEStayWithinTwoUlp) {
  for (int i = 0; i <= 40000; ++i) {
    const double u = -705 + 1410.0 * i / 40000;
    EXPECT_LE(UlpDistance(formula_detail::FastPowerOfE(u), std::pow(kE, u)), 2) << u;
  }
  for (double u : {0.0, -0.0, kInf, -kInf, kNaN, 709.5, -745.0, -760.0, 710.0, 1e-320}) {
    const double want = std::pow(kE, u);
    const double got = formula_detail::FastPowerOfE(u);
    if (std::isnan(want))
      EXPECT_TRUE(std::isnan(got)) << u;
    else
      EXPECT_EQ(Bits(got), Bits(want)) << u;
  }
}

TEST(FormulaFastPath, ReplacesOnlyPowersOfConstantShape) {
  const struct {
    const char* text;
    bool approximated;
  } rows[] = {{"x'4", true},   {"x'9", false}, {"x'2.5", false}, {"e'x", true},
              {"x'e", false},  {"2'x", false}, {"x'y", false},   {"x\xB2", false}};
  for (const auto& r : rows) {
    CFormulaProgram p;
    ASSERT_TRUE(CompileText(p, r.text)) << r.text;
    EXPECT_EQ(UsesApproximation(p), r.approximated) << r.text;
  }
}

}  // namespace
