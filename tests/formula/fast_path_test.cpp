#include "formula_test_support.h"

#include "formula/pow_kernels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>

using namespace formula_test;

namespace {

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

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
        int ok = 1;
        const double fast = p.Evaluate(&ok);
        ASSERT_EQ(ok, plain.ok) << text;
        ASSERT_EQ(Bits(fast), Bits(plain.value)) << text << " at X = " << values[6];
      }
    }
  }
}

// Powers whose last bit decides a floor, a comparison or a remainder: the
// values a plot draws must be the values its table lists.
TEST(FormulaFastPath, PowersGiveTheInterpretersBits) {
  const struct {
    const char* text;
    double X;
    double expected;
  } rows[] = {
      {"floor(X'5)", 2.3045316198021406, 65},  {"X'5 >= 65", 2.3045316198021406, 1},
      {"floor(e'X)", 6.5453496603344199, 695}, {"e'X < 696", 6.5453496603344199, 1},
      // Here std::pow misses the correctly rounded square by one unit.
      {"X'2 == X\xB2", 0x1.72ae83ede4dadp-4, 0},
  };
  for (const auto& r : rows) {
    CFormulaProgram p;
    ASSERT_TRUE(CompileText(p, r.text)) << r.text;
    std::vector<double> values = DefaultValues();
    values[6] = r.X;
    p.SetValues(values.data(), kVariableCount);
    int ok = 1;
    EXPECT_EQ(p.Evaluate(&ok), r.expected) << r.text;
    EXPECT_EQ(Interpret(p).value, r.expected) << r.text;
  }
  // Every shape of power over values of every kind, optimised or not.
  const char* const shapes[] = {"X'2", "X'3", "X'4", "X'5", "X'6", "X'7", "X'8", "X'9", "X'2.5",
                                "X'-3", "e'X", "e'-X\xB2", "X'e", "2'X", "X'Y", "(X'8)'8", "-X'4"};
  std::mt19937_64 rng(11);
  for (const char* shape : shapes) {
    CFormulaProgram compiled;
    ASSERT_TRUE(CompileText(compiled, shape)) << shape;
    for (bool optimize : {false, true}) {
      CFormulaProgram p;
      CFormulaProgram::CopyTo(&compiled, &p);
      if (optimize) p.Optimize(nullptr, 0);
      std::vector<double> values = DefaultValues();
      for (int i = 0; i < 20000; ++i) {
        values[6] = i < 10000 ? FromBits(rng()) : std::ldexp(static_cast<double>(rng() >> 11), -53 - i % 20);
        values[7] = 1.0 + i % 9;
        p.SetValues(values.data(), kVariableCount);
        const Outcome plain = Interpret(p);
        int ok = 1;
        const double fast = p.Evaluate(&ok);
        ASSERT_EQ(ok, plain.ok) << shape << " at " << values[6];
        ASSERT_EQ(Bits(fast), Bits(plain.value)) << shape << " at " << values[6];
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

// x'n against std::pow itself: random bit patterns (every exponent,
// subnormals, NaNs), values near one, and values whose power lies exactly
// halfway between two doubles, through both kernels.
TEST(FormulaFastPath, IntegerPowersGivePowsBits) {
  std::mt19937_64 rng(3);
  std::vector<double> xs = {0.0, -0.0, kInf, -kInf, kNaN, 1e300, -1e300, 1e-300, 4.9e-324, 1e-40, 1e38,
                            -1e39, 2.2250738585072014e-308, 1.3407807929942596e154, 1.0, -1.0, 2.0};
  for (int i = 0; i < 300000; ++i) {
    const uint64_t bits = rng();
    xs.push_back(FromBits(bits));
    // Exponents where every power stays a normal number.
    xs.push_back(FromBits((bits & 0x800FFFFFFFFFFFFFull) | (uint64_t{1023 - 60 + bits % 120} << 52)));
    xs.push_back(1.0 + std::ldexp(static_cast<double>(bits >> 40), -60));
  }
  // (2^k - 1)^n needs k*n bits; one more than a double holds is a tie.
  for (int k = 2; k <= 27; ++k) xs.push_back(std::ldexp(1.0, k) - 1);
  int64_t checked = 0;
  for (int n = 2; n <= 8; ++n) {
    // Read at run time: the compiler would make pow(x, 2) a square.
    const volatile double exponent = n;
    for (double x : xs) {
      const uint64_t want = Bits(std::pow(x, exponent));
      ASSERT_EQ(Bits(formula_detail::IntegerPowerWithoutFma(x, n)), want) << std::hexfloat << x << "'" << n;
      ASSERT_EQ(Bits(formula_detail::IntegerPower(x, n)), want) << std::hexfloat << x << "'" << n;
      ++checked;
    }
  }
  EXPECT_GT(checked, 6000000);
}

// E'u against std::pow(E, u): every u where the power is a normal number,
// densely near 0 and near the ends, random bit patterns, and the specials.
TEST(FormulaFastPath, PowersOfEGivePowsBits) {
  std::mt19937_64 rng(5);
  std::uniform_real_distribution<double> range(-760, 720);
  std::vector<double> us = {0.0, -0.0, kInf, -kInf, kNaN, 1e-320, 600, -600, 600.0000000000001, 709.78, -745.2};
  for (int i = 0; i < 1000000; ++i) {
    us.push_back(range(rng));
    us.push_back(std::ldexp(range(rng), -static_cast<int>(rng() % 60)));
  }
  for (int i = 0; i < 100000; ++i) us.push_back(FromBits(rng()));
  const volatile double base = 2.718281828459045;
  for (double u : us) {
    const uint64_t want = Bits(std::pow(base, u));
    ASSERT_EQ(Bits(formula_detail::PowerOfE(u)), want) << std::hexfloat << u;
    ASSERT_EQ(Bits(formula_detail::PowerOfEWithoutFma(u)), want) << std::hexfloat << u;
  }
}

}  // namespace
