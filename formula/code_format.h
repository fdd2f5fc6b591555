// The code words of a compiled formula: a small stack machine over doubles.
//
// A word is either a load (0x8000 + value index), one of the three
// conditional words carrying a 12-bit label, or an opcode 0-51. Everything
// else is invalid and stops an evaluation with the error result.
#pragma once

#include "platform/types.h"

#include <array>
#include <cstdint>

enum FormulaOpcode : uint16_t {
  ACT_END = 0,
  // 1 has no name: the optimiser writes it in place of a constant part that
  // cannot be evaluated.
  ACT_UP = 2,
  ACT_NEG = 3,
  ACT_NOT = 4,
  ACT_LOGIC_NOT = 5,
  ACT_ACOS = 6,
  ACT_ASIN = 7,
  ACT_ATAN = 8,
  ACT_ACOT = 9,
  ACT_ACOSH = 10,
  ACT_ASINH = 11,
  ACT_ATANH = 12,
  ACT_ACOTH = 13,
  ACT_COS = 14,
  ACT_SIN = 15,
  ACT_TAN = 16,
  ACT_COT = 17,
  ACT_COSH = 18,
  ACT_SINH = 19,
  ACT_TANH = 20,
  ACT_COTH = 21,
  ACT_LOG = 22,
  ACT_LOGX = 23,
  ACT_LOG10 = 24,
  ACT_ROOT = 25,
  ACT_SQRT = 26,
  ACT_EQ = 27,
  ACT_NEQ = 28,
  ACT_LOWER = 29,
  ACT_LOWER_EQ = 30,
  ACT_UPPER = 31,
  ACT_UPPER_EQ = 32,
  ACT_SHR = 33,
  ACT_SHL = 34,
  ACT_LOGIC_OR = 35,
  ACT_LOGIC_AND = 36,
  ACT_OR = 37,
  ACT_AND = 38,
  ACT_XOR = 39,
  ACT_ADD = 40,
  ACT_SUB = 41,
  ACT_MUL = 42,
  ACT_DIV = 43,
  ACT_MOD = 44,
  ACT_POW = 45,
  ACT_POW2 = 46,
  ACT_POW3 = 47,
  ACT_ABS = 48,
  ACT_FLOOR = 49,
  ACT_ROUND = 50,
  ACT_CEIL = 51,

  ACT_IF = 0x1000,
  ACT_ENDIF = 0x2000,
  ACT_ELSE = 0x4000,
  ACT_VALUE = 0x8000,
};

// The word the optimiser leaves where a constant part fails to evaluate.
inline constexpr uint16_t FormulaErrorWord = 1;
// Number of opcodes below the conditional and load words.
inline constexpr uint32_t FormulaOpcodeCount = 52;
// Value indices and labels are 12 bits wide.
inline constexpr uint32_t FormulaMaxValues = 4096;
inline constexpr uint16_t FormulaIndexMask = 0x0FFF;
// The evaluation stack.
inline constexpr uint32_t FormulaStackSlots = 512;

// The kind of a code word, from its upper four bits.
inline constexpr bool IsLoadWord(uint16_t w) { return (w & 0xF000) == ACT_VALUE; }
inline constexpr bool IsIfWord(uint16_t w) { return (w & 0xF000) == ACT_IF; }
inline constexpr bool IsElseWord(uint16_t w) { return (w & 0xF000) == ACT_ELSE; }
inline constexpr bool IsEndifWord(uint16_t w) { return (w & 0xF000) == ACT_ENDIF; }
inline constexpr bool IsConditionalWord(uint16_t w) {
  return IsIfWord(w) || IsElseWord(w) || IsEndifWord(w);
}
inline constexpr bool IsOpcodeWord(uint16_t w) { return w < FormulaOpcodeCount; }
inline constexpr uint16_t LoadWord(uint32_t index) {
  return static_cast<uint16_t>(ACT_VALUE | (index & FormulaIndexMask));
}

// Index of the first word equal to target in code[from, length), or length:
// how a conditional finds its ELSE and ENDIF.
inline uint32_t FindCodeWord(const uint16_t* code, uint32_t from, uint32_t length, uint16_t target) {
  for (uint32_t i = from; i < length; ++i)
    if (code[i] == target) return i;
  return length;
}

// One row of the opcode table.
struct OpcodeInfo {
  uint32_t code;
  const char* name;
  int32_t stackDelta;  // +1 push, 0 on the top slot, -1 two slots into one
  uint32_t operands;
};

// Codes 0 and 2-48. Codes 1 and 49-51 (the error word and the rounding codes)
// have no row, so their delta and operand count read as 0.
inline constexpr std::array<OpcodeInfo, 48> OpcodeInfoTable = {{
    {ACT_END, "ACT_END", 0, 0},
    {ACT_UP, "ACT_UP", 1, 0},
    {ACT_NEG, "ACT_NEG", 0, 1},
    {ACT_NOT, "ACT_NOT", 0, 1},
    {ACT_LOGIC_NOT, "ACT_LOGIC_NOT", 0, 1},
    {ACT_ACOS, "ACT_ACOS", 0, 1},
    {ACT_ASIN, "ACT_ASIN", 0, 1},
    {ACT_ATAN, "ACT_ATAN", 0, 1},
    {ACT_ACOT, "ACT_ACOT", 0, 1},
    {ACT_ACOSH, "ACT_ACOSH", 0, 1},
    {ACT_ASINH, "ACT_ASINH", 0, 1},
    {ACT_ATANH, "ACT_ATANH", 0, 1},
    {ACT_ACOTH, "ACT_ACOTH", 0, 1},
    {ACT_COS, "ACT_COS", 0, 1},
    {ACT_SIN, "ACT_SIN", 0, 1},
    {ACT_TAN, "ACT_TAN", 0, 1},
    {ACT_COT, "ACT_COT", 0, 1},
    {ACT_COSH, "ACT_COSH", 0, 1},
    {ACT_SINH, "ACT_SINH", 0, 1},
    {ACT_TANH, "ACT_TANH", 0, 1},
    {ACT_COTH, "ACT_COTH", 0, 1},
    {ACT_LOG, "ACT_LOG", 0, 1},
    {ACT_LOGX, "ACT_LOGX", -1, 2},
    {ACT_LOG10, "ACT_LOG10", 0, 1},
    {ACT_ROOT, "ACT_ROOT", -1, 2},
    {ACT_SQRT, "ACT_SQRT", 0, 1},
    {ACT_EQ, "ACT_EQ", -1, 2},
    {ACT_NEQ, "ACT_NEQ", -1, 2},
    {ACT_LOWER, "ACT_LOWER", -1, 2},
    {ACT_LOWER_EQ, "ACT_LOWER_EQ", -1, 2},
    {ACT_UPPER, "ACT_UPPER", -1, 2},
    {ACT_UPPER_EQ, "ACT_UPPER_EQ", -1, 2},
    {ACT_SHR, "ACT_SHR", -1, 2},
    {ACT_SHL, "ACT_SHL", -1, 2},
    {ACT_LOGIC_OR, "ACT_LOGIC_OR", -1, 2},
    {ACT_LOGIC_AND, "ACT_LOGIC_AND", -1, 2},
    {ACT_OR, "ACT_OR", -1, 2},
    {ACT_AND, "ACT_AND", -1, 2},
    {ACT_XOR, "ACT_XOR", -1, 2},
    {ACT_ADD, "ACT_ADD", -1, 2},
    {ACT_SUB, "ACT_SUB", -1, 2},
    {ACT_MUL, "ACT_MUL", -1, 2},
    {ACT_DIV, "ACT_DIV", -1, 2},
    {ACT_MOD, "ACT_MOD", -1, 2},
    {ACT_POW, "ACT_POW", -1, 2},
    {ACT_POW2, "ACT_POW2", 0, 1},
    {ACT_POW3, "ACT_POW3", 0, 1},
    {ACT_ABS, "ACT_ABS", 0, 1},
}};

namespace formula_detail {
template <typename T, typename F>
constexpr std::array<T, FormulaOpcodeCount> ByCode(F field) {
  std::array<T, FormulaOpcodeCount> out{};
  for (const OpcodeInfo& row : OpcodeInfoTable) out[row.code] = field(row);
  return out;
}
}  // namespace formula_detail

// The table re-indexed by code (null name, delta 0 and no operands where no
// row exists).
inline constexpr std::array<const char*, FormulaOpcodeCount> OpcodeNames =
    formula_detail::ByCode<const char*>([](const OpcodeInfo& r) { return r.name; });
inline constexpr std::array<int32_t, FormulaOpcodeCount> OpcodeStackDeltas =
    formula_detail::ByCode<int32_t>([](const OpcodeInfo& r) { return r.stackDelta; });
inline constexpr std::array<uint32_t, FormulaOpcodeCount> OpcodeOperandCounts =
    formula_detail::ByCode<uint32_t>([](const OpcodeInfo& r) { return r.operands; });

// The application's resolver for names the compiler does not know: returns
// the number of characters of the name at the start of text (0 or less for
// none) and stores the variable's value index in *index.
using FormulaLookupProc = int (*)(void* context, const char* text, double* value,
                                  unsigned* index);
