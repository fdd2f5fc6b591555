#include "formula_test_support.h"

#include <gtest/gtest.h>

#include <thread>
#include <type_traits>
#include <vector>

using namespace formula_test;

namespace {

TEST(FormulaOpcodeTable, PinsEveryRow) {
  EXPECT_EQ(OpcodeInfoTable.size(), 48u);
  for (uint32_t code = 0; code < FormulaOpcodeCount; ++code) {
    int32_t delta = 0;
    uint32_t operands = 0;
    if (code == ACT_UP) delta = 1;
    if (code >= ACT_NEG && code <= ACT_ABS && code != ACT_UP) operands = 1;
    const bool binary = code == ACT_LOGX || code == ACT_ROOT || (code >= ACT_EQ && code <= ACT_POW);
    if (binary) {
      delta = -1;
      operands = 2;
    }
    EXPECT_EQ(OpcodeStackDeltas[code], delta) << code;
    EXPECT_EQ(OpcodeOperandCounts[code], operands) << code;
    const bool named = code != 1 && code < ACT_FLOOR;
    EXPECT_EQ(OpcodeNames[code] != nullptr, named) << code;
  }
  EXPECT_STREQ(OpcodeNames[ACT_END], "ACT_END");
  EXPECT_STREQ(OpcodeNames[ACT_ADD], "ACT_ADD");
  EXPECT_STREQ(OpcodeNames[ACT_ABS], "ACT_ABS");
  for (const OpcodeInfo& row : OpcodeInfoTable) EXPECT_STREQ(OpcodeNames[row.code], row.name);
}

TEST(FormulaProgram, SizesValuesInBlocksOf256) {
  CFormulaProgram p;
  ASSERT_TRUE(p.Reset(1, nullptr, nullptr));
  EXPECT_EQ(p.ValueCapacity(), 256u);
  EXPECT_EQ(p.Values()[0], 0.0);
  ASSERT_TRUE(p.Reset(257, nullptr, nullptr));
  EXPECT_EQ(p.ValueCapacity(), 512u);
  const double v[] = {4.5, 6.5};
  p.SetValues(v, 2);
  ASSERT_TRUE(p.Reset(10, nullptr, nullptr));
  EXPECT_EQ(p.ValueCapacity(), 512u);
  EXPECT_EQ(p.Values()[1], 6.5);  // kept
  EXPECT_EQ(p.ValueCount(), 10u);
}

TEST(FormulaProgram, RefusesVariableCountsOutsideTheIndexRange) {
  for (int count : {-1, 4097, 1 << 30}) {
    CFormulaProgram p;
    EXPECT_FALSE(p.Reset(count, nullptr, nullptr)) << count;
    EXPECT_EQ(p.VariableCount(), 0u);
    EXPECT_EQ(p.ValueCount(), 0u);
  }
  CFormulaProgram p;
  EXPECT_TRUE(p.Reset(4096, nullptr, nullptr));
  EXPECT_EQ(p.AddConstant(1.0), -1);
}

TEST(FormulaProgram, GrowsByHalfPlus32) {
  CFormulaProgram p;
  std::vector<uint32_t> capacities = {p.CodeCapacity()};
  for (int i = 0; i < 153; ++i) {
    EXPECT_EQ(p.Emit(ACT_UP), static_cast<uint32_t>(i + 1));
    if (p.CodeCapacity() != capacities.back()) capacities.push_back(p.CodeCapacity());
  }
  EXPECT_EQ(capacities, (std::vector<uint32_t>{0, 32, 80, 152, 260}));
  CFormulaProgram q;
  q.Reset(0, nullptr, nullptr);
  for (int i = 0; i < 33; ++i) EXPECT_EQ(q.AddConstant(i), i);
  EXPECT_EQ(q.ValueCapacity(), 80u);
  EXPECT_EQ(q.Values()[32], 32.0);
}

TEST(FormulaProgram, SetValuesWritesOnlyVariables) {
  CFormulaProgram p;
  p.Reset(2, nullptr, nullptr);
  const int k = p.AddConstant(9.0);
  const double v[] = {1, 2, 3, 4};
  p.SetValues(v, 4);
  EXPECT_EQ(p.Values()[0], 1);
  EXPECT_EQ(p.Values()[1], 2);
  EXPECT_EQ(p.Values()[k], 9.0);
  p.SetValues(v + 2, 1);
  EXPECT_EQ(p.Values()[0], 3);
  EXPECT_EQ(p.Values()[1], 2);
  p.SetValues(nullptr, 2);
  p.SetValues(v, -3);
  EXPECT_EQ(p.Values()[0], 3);
}

TEST(FormulaProgram, SwapVariablesChecksBothIndices) {
  CFormulaProgram p;
  ASSERT_TRUE(CompileText(p, "x - y*x"));
  const std::vector<uint16_t> before(p.Code(), p.Code() + p.CodeLength());
  EXPECT_EQ(CFormulaProgram::SwapVariables(nullptr, 0, 1), 1);
  EXPECT_EQ(CFormulaProgram::SwapVariables(&p, 3, 3), 0);
  EXPECT_EQ(CFormulaProgram::SwapVariables(&p, kVariableCount, 0), 2);
  EXPECT_EQ(CFormulaProgram::SwapVariables(&p, 0, kVariableCount), 3);
  EXPECT_EQ(std::vector<uint16_t>(p.Code(), p.Code() + p.CodeLength()), before);
  const std::vector<double> v = DefaultValues();
  p.SetValues(v.data(), kVariableCount);
  int ok = 1;
  EXPECT_EQ(p.Evaluate(&ok), 0.75 - (-1.25 * 0.75));
  EXPECT_EQ(CFormulaProgram::SwapVariables(&p, 0, 1), 0);
  EXPECT_EQ(p.Evaluate(&ok), -1.25 - (0.75 * -1.25));
}

TEST(FormulaProgram, MarksOnlyVariablesBelowTheBitCount) {
  CFormulaProgram p;
  p.Reset(45, nullptr, nullptr);
  p.AddConstant(1.0);  // index 45
  for (uint16_t w : std::initializer_list<uint16_t>{LoadWord(40), ACT_UP, LoadWord(45), ACT_ADD, ACT_UP, LoadWord(3), ACT_ADD,
                     ACT_UP, LoadWord(3), ACT_ADD})
    p.Emit(w);
  uint32_t bits[2] = {0xFFFFFFFF, 0xFFFFFFFF};
  EXPECT_EQ(CFormulaProgram::MarkUsedVariables(&p, bits, 32, true), 2);  // 3 twice
  EXPECT_EQ(bits[0], 1u << 3);
  EXPECT_EQ(bits[1], 0xFFFFFFFFu);  // only (32 + 7) / 8 bytes cleared
  bits[1] = 0;
  EXPECT_EQ(CFormulaProgram::MarkUsedVariables(&p, bits, 64, false), 3);
  EXPECT_EQ(bits[1], 1u << 8);  // 40, not the constant 45
  uint32_t word = 0xFFFF;
  EXPECT_EQ(CFormulaProgram::MarkUsedVariables(nullptr, &word, 4, true), 0);
  EXPECT_EQ(word, 0xFF00u);  // cleared a byte though the program is null
}

TEST(FormulaProgram, TwoThreadsMarkOneBitset) {
  std::vector<CFormulaProgram> programs(2);
  for (int t = 0; t < 2; ++t) {
    programs[t].Reset(64, nullptr, nullptr);
    for (int i = t; i < 64; i += 2) programs[t].Emit(LoadWord(static_cast<uint32_t>(i)));
  }
  for (int round = 0; round < 200; ++round) {
    uint32_t bits[2] = {0, 0};
    std::thread a([&] { CFormulaProgram::MarkUsedVariables(&programs[0], bits, 64, false); });
    std::thread b([&] { CFormulaProgram::MarkUsedVariables(&programs[1], bits, 64, false); });
    a.join();
    b.join();
    ASSERT_EQ(bits[0], 0xFFFFFFFFu);
    ASSERT_EQ(bits[1], 0xFFFFFFFFu);
  }
}

TEST(FormulaProgram, CopyToMakesAnIndependentProgram) {
  static_assert(!std::is_copy_constructible_v<CFormulaProgram>);
  static_assert(std::is_nothrow_move_constructible_v<CFormulaProgram>);
  CFormulaProgram source;
  ASSERT_TRUE(CompileText(source, "x*2 + 1"));
  const std::vector<double> v = DefaultValues();
  source.SetValues(v.data(), kVariableCount);
  CFormulaProgram copy;
  CFormulaProgram::CopyTo(&source, &copy);
  CFormulaProgram::CopyTo(nullptr, &copy);
  CFormulaProgram::CopyTo(&source, nullptr);
  EXPECT_EQ(copy.CodeLength(), source.CodeLength());
  EXPECT_EQ(copy.ValueCount(), source.ValueCount());
  EXPECT_EQ(copy.VariableCount(), source.VariableCount());
  EXPECT_EQ(copy.LabelCounter(), source.LabelCounter());
  EXPECT_NE(copy.Code(), source.Code());
  copy.Optimize(nullptr, 0);
  const double x = 4;
  copy.SetValues(&x, 1);
  int ok = 1;
  EXPECT_EQ(copy.Evaluate(&ok), 9);
  EXPECT_EQ(source.Evaluate(&ok), 2.5);
  EXPECT_EQ(source.CodeLength(), 7u);

  CFormulaProgram moved(std::move(copy));
  EXPECT_EQ(moved.Evaluate(&ok), 9);
  EXPECT_EQ(copy.CodeLength(), 0u);
  source = std::move(moved);
  EXPECT_EQ(source.Evaluate(&ok), 9);
}

TEST(FormulaProgram, FreeZeroesEverything) {
  CFormulaProgram p;
  ASSERT_TRUE(CompileText(p, "x ? 1 : 2"));
  p.Free();
  EXPECT_EQ(p.Code(), nullptr);
  EXPECT_EQ(p.Values(), nullptr);
  EXPECT_EQ(p.CodeCapacity(), 0u);
  EXPECT_EQ(p.ValueCapacity(), 0u);
  EXPECT_EQ(p.LabelCounter(), 0u);
  int ok = 1;
  EXPECT_EQ(Bits(p.Evaluate(&ok)), 0x7FFF000000000000u);
  EXPECT_EQ(ok, 0);
}

}  // namespace
