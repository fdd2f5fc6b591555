#include "formula_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

using namespace formula_test;

namespace {

constexpr uint16_t X = LoadWord(0);  // x
constexpr uint16_t Y = LoadWord(1);  // y

std::vector<uint16_t> CodeOf(const CFormulaProgram& p) {
  return std::vector<uint16_t>(p.Code(), p.Code() + p.CodeLength());
}

// A load of a constant (index at or above the variables) holding value.
::testing::AssertionResult IsConstant(const CFormulaProgram& p, uint16_t word, double value) {
  if (!IsLoadWord(word)) return ::testing::AssertionFailure() << "not a load: " << word;
  const uint32_t index = word & FormulaIndexMask;
  if (index < p.VariableCount()) return ::testing::AssertionFailure() << "a variable: " << index;
  if (p.Values()[index] != value)
    return ::testing::AssertionFailure() << "holds " << p.Values()[index] << ", not " << value;
  return ::testing::AssertionSuccess();
}

CFormulaProgram Optimized(const std::string& text, const uint8_t* flags = nullptr, uint32_t count = 0) {
  CFormulaProgram p;
  EXPECT_TRUE(CompileText(p, text)) << text;
  const std::vector<double> values = DefaultValues();
  p.SetValues(values.data(), static_cast<int>(values.size()));
  p.Optimize(flags, count);
  return p;
}

TEST(FormulaOptimize, FoldsLeadingConstantsIntoOne) {
  CFormulaProgram p = Optimized("2*3*x");
  const auto code = CodeOf(p);
  ASSERT_EQ(code.size(), 4u);
  EXPECT_TRUE(IsConstant(p, code[0], 6));
  EXPECT_EQ(code[1], ACT_UP);
  EXPECT_EQ(code[2], X);
  EXPECT_EQ(code[3], ACT_MUL);
}

TEST(FormulaOptimize, CombinesTrailingFactors) {
  CFormulaProgram p = Optimized("x*2*3");
  const auto code = CodeOf(p);
  ASSERT_EQ(code.size(), 4u);
  EXPECT_EQ(code[0], X);
  EXPECT_TRUE(IsConstant(p, code[2], 6));
  EXPECT_EQ(code[3], ACT_MUL);
}

TEST(FormulaOptimize, TurnsDivisionByAPowerOfTwoIntoAProduct) {
  const struct {
    const char* text;
    uint16_t op;
    double constant;
  } rows[] = {{"x/4", ACT_MUL, 0.25}, {"x/-0.5", ACT_MUL, -2}, {"x/49", ACT_DIV, 49}, {"x/3", ACT_DIV, 3}};
  for (const auto& r : rows) {
    CFormulaProgram p = Optimized(r.text);
    const auto code = CodeOf(p);
    ASSERT_EQ(code.size(), 4u) << r.text;
    EXPECT_TRUE(IsConstant(p, code[2], r.constant)) << r.text;
    EXPECT_EQ(code[3], r.op) << r.text;
  }
}

TEST(FormulaOptimize, SimplifiesNegations) {
  const struct {
    const char* text;
    std::vector<uint16_t> code;
  } rows[] = {
      {"x + -y", {X, ACT_UP, Y, ACT_SUB}},
      {"x - -y", {X, ACT_UP, Y, ACT_ADD}},
      {"--x", {X}},
      {"~~x", {X, ACT_NOT, ACT_NOT}},
      {"~~~~x", {X, ACT_NOT, ACT_NOT}},
      {"~~~~~x", {X, ACT_NOT, ACT_NOT, ACT_NOT}},
  };
  for (const auto& r : rows) EXPECT_EQ(CodeOf(Optimized(r.text)), r.code) << r.text;
}

TEST(FormulaOptimize, MovesConstantsTogetherAcrossVariables) {
  CFormulaProgram p = Optimized("x + 1 + y + 2");
  const auto code = CodeOf(p);
  ASSERT_EQ(code.size(), 7u);
  EXPECT_EQ(code[0], X);
  EXPECT_TRUE(IsConstant(p, code[2], 3));
  EXPECT_EQ(code[3], ACT_ADD);
  EXPECT_EQ(code[5], Y);
  EXPECT_EQ(code[6], ACT_ADD);
  const Outcome o = Interpret(p);
  EXPECT_EQ(o.value, 0.75 + 1 - 1.25 + 2);
}

TEST(FormulaOptimize, KeepsErrorsOfTheOriginal) {
  CFormulaProgram kept = Optimized("x*2/0");
  EXPECT_EQ(CodeOf(kept).back(), ACT_DIV);
  EXPECT_EQ(Interpret(kept).ok, 0);

  CFormulaProgram folded = Optimized("1/0");
  EXPECT_EQ(CodeOf(folded), std::vector<uint16_t>{FormulaErrorWord});
  const Outcome o = Interpret(folded);
  EXPECT_EQ(o.ok, 0);
  EXPECT_TRUE(std::isnan(o.value));
}

TEST(FormulaOptimize, TakesFlaggedVariablesAtTheirCurrentValue) {
  const uint8_t flags[] = {0, 0, 1, 1};  // a and b stay constant
  CFormulaProgram p = Optimized("a*b*x", flags, 4);
  const auto code = CodeOf(p);
  ASSERT_EQ(code.size(), 4u);
  EXPECT_TRUE(IsConstant(p, code[0], 6));
  // Without the flags nothing folds; a flag beyond count is not read.
  EXPECT_EQ(CodeOf(Optimized("a*b*x", flags, 2)).size(), 7u);
}

TEST(FormulaOptimize, KeepsConditionals) {
  CFormulaProgram p = Optimized("1 ? 2 : 3 + 4");
  const auto code = CodeOf(p);
  EXPECT_EQ(code[1], ACT_IF | 0);
  const Outcome o = Interpret(p);
  EXPECT_EQ(o.value, 2);
  EXPECT_EQ(o.ok, 1);
}

// Folds that would overflow, underflow or round differently are skipped, so
// the optimised code gives the unoptimised value.
TEST(FormulaOptimize, KeepsValuesWhereAFoldWouldChangeThem) {
  const struct {
    const char* text;
    double x;
  } rows[] = {{"x/1e-310", 1e-300},     {"(x/1e-300)*1e300", 1e-300}, {"(x*1e300)*1e300", 1e-300},
              {"(x*1e-300)/1e300", 1e300}, {"floor(x/49)", 49},         {"(x/3)/3", 27},
              {"(x*1e-200)*1e-200", 1e300}, {"x/2'-1074", 1}};
  for (const auto& r : rows) {
    CFormulaProgram original;
    ASSERT_TRUE(CompileText(original, r.text)) << r.text;
    std::vector<double> values = DefaultValues();
    values[0] = r.x;
    original.SetValues(values.data(), static_cast<int>(values.size()));
    CFormulaProgram optimized;
    CFormulaProgram::CopyTo(&original, &optimized);
    optimized.Optimize(nullptr, 0);
    const Outcome before = Interpret(original);
    const Outcome after = Interpret(optimized);
    EXPECT_EQ(after.ok, before.ok) << r.text;
    EXPECT_EQ(Bits(after.value), Bits(before.value)) << r.text << ": " << after.value << " vs " << before.value;
  }
}

TEST(FormulaOptimize, NeverPassesTheLastValueIndex) {
  std::string text = "x";
  for (int i = 0; i < 4000; ++i) text += "*1.0001";
  CFormulaProgram p;
  ASSERT_TRUE(CompileText(p, text));
  const std::vector<double> values = DefaultValues();
  p.SetValues(values.data(), static_cast<int>(values.size()));
  const double before = Interpret(p).value;
  p.Optimize(nullptr, 0);
  EXPECT_LE(p.ValueCount(), FormulaMaxValues);
  for (uint32_t i = 0; i < p.CodeLength(); ++i) {
    if (IsLoadWord(p.Code()[i])) {
      EXPECT_LT(p.Code()[i] & FormulaIndexMask, p.ValueCount());
    }
  }
  EXPECT_LT(p.CodeLength(), 12001u);  // folded until the indices ran out
  EXPECT_NEAR(Interpret(p).value, before, 1e-9 * before);
}

// The reordering walk as it was first written, restarting at its chain's
// start after every swap: the reference for the walk that resumes.
int RestartingReorder(std::vector<uint16_t>& c, const CFormulaProgram& p, const uint8_t* flags,
                      uint32_t count) {
  const size_t n = c.size();
  if (n < 6) return 0;
  auto isConst = [&](uint16_t w) {
    if (!IsLoadWord(w)) return false;
    const uint32_t index = w & FormulaIndexMask;
    return index >= p.VariableCount() || (flags != nullptr && index < count && flags[index] != 0);
  };
  auto family = [](uint16_t w) {
    if (w == ACT_ADD || w == ACT_SUB) return 1;
    if (w == ACT_MUL || w == ACT_DIV) return 2;
    return 0;
  };
  int swaps = 0;
  for (size_t i = 0; i + 4 < n; ++i) {
    if (!(c[i] == ACT_UP && IsLoadWord(c[i + 1]) && c[i + 3] == ACT_UP && IsLoadWord(c[i + 4]))) continue;
    size_t q = i + 3;
    while (q + 2 < n && c[q] == ACT_UP && IsLoadWord(c[q + 1])) {
      if (isConst(c[q + 1]) && !isConst(c[q - 2]) && family(c[q - 1]) != 0 &&
          family(c[q - 1]) == family(c[q + 2])) {
        std::swap(c[q - 2], c[q + 1]);
        std::swap(c[q - 1], c[q + 2]);
        ++swaps;
        q = i + 3;
        continue;
      }
      q += 3;
    }
    i = q - 1;
  }
  return swaps;
}

// Random chains of sums and products over variables, flagged variables
// and numbers, with nested groups, through every round of Optimize.
TEST(FormulaOptimize, ResumingReorderMatchesTheRestartingWalk) {
  std::mt19937 rng(19);
  const char* const operands[] = {"x", "y", "a", "b", "2", "0.5", "3", "sin x", "-y", "(x - 1)"};
  const char* const operators[] = {" + ", " - ", " * ", " / ", " + ", " * "};
  const uint8_t flags[] = {0, 0, 1, 1};
  int totalSwaps = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    std::string text;
    const int terms = 2 + static_cast<int>(rng() % 40);
    int open = 0;
    for (int t = 0; t < terms; ++t) {
      if (t != 0) text += operators[rng() % 6];
      if (rng() % 5 == 0) {
        text += "(";
        ++open;
      }
      text += operands[rng() % 10];
      if (open != 0 && rng() % 4 == 0) {
        text += ")";
        --open;
      }
    }
    text.append(static_cast<size_t>(open), ')');
    CFormulaProgram p;
    ASSERT_TRUE(CompileText(p, text)) << text;
    const std::vector<double> values = DefaultValues();
    p.SetValues(values.data(), static_cast<int>(values.size()));
    for (int round = 0; round < 100; ++round) {
      const int folded = p.FoldConstants(flags, 4);
      std::vector<uint16_t> expected = CodeOf(p);
      const int expectedSwaps = RestartingReorder(expected, p, flags, 4);
      ASSERT_EQ(p.ReorderOperands(flags, 4), expectedSwaps) << text;
      ASSERT_EQ(CodeOf(p), expected) << text;
      totalSwaps += expectedSwaps;
      if (folded == 0 && expectedSwaps == 0) break;
    }
  }
  EXPECT_GT(totalSwaps, 2000);
}

TEST(FormulaOptimize, LeavesShortCodeAlone) {
  CFormulaProgram p;
  ASSERT_TRUE(CompileText(p, "x"));
  EXPECT_EQ(p.FoldConstants(nullptr, 0), 0);
  ASSERT_TRUE(CompileText(p, "x + 1"));
  EXPECT_EQ(p.ReorderOperands(nullptr, 0), 0);
}

}  // namespace
