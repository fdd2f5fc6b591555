#include "formula/evaluator.h"

#include "formula/operations.h"

#include <cmath>

double EvaluateCode(const uint16_t* code, uint32_t length, const double* values, int* ok) {
  double stack[FormulaStackSlots];
  stack[0] = 0.0;
  uint32_t top = 0;
  if (code == nullptr || length == 0) goto fail;

  for (uint32_t pc = 0; pc < length; ++pc) {
    const uint16_t word = code[pc];
    switch (word >> 12) {
      case ACT_VALUE >> 12:
        stack[top] = values[word & FormulaIndexMask];
        continue;
      case ACT_IF >> 12:
        if (stack[top] != 0.0) continue;
        pc = FindCodeWord(code, pc + 1, length, static_cast<uint16_t>(ACT_ELSE | (word & FormulaIndexMask)));
        if (pc == length) goto fail;
        continue;
      case ACT_ELSE >> 12:
        pc = FindCodeWord(code, pc + 1, length, static_cast<uint16_t>(ACT_ENDIF | (word & FormulaIndexMask)));
        if (pc == length) goto fail;
        continue;
      case ACT_ENDIF >> 12:
        continue;
      case 0:
        break;
      default:
        goto fail;
    }
    if (word >= FormulaOpcodeCount) goto fail;
    if (OpcodeStackDeltas[word] < 0) {
      // A binary opcode: the lower slot is the left operand and takes the result.
      if (top == 0) goto fail;
      const double x = stack[top - 1];
      const double y = stack[top];
      double result;
      switch (word) {
#define EVALUATE_BINARY(name, code, fails, expr) \
  case code:                                      \
    if (fails) goto fail;                         \
    result = (expr);                              \
    break;
        FORMULA_BINARY_OPERATIONS(EVALUATE_BINARY)
#undef EVALUATE_BINARY
        default: goto fail;
      }
      stack[--top] = result;
      continue;
    }
    if (word == ACT_UP) {
      if (top + 1 >= FormulaStackSlots) goto fail;
      // Cleared so that malformed code reads a defined value.
      stack[++top] = 0.0;
      continue;
    }
    {
      const double x = stack[top];
      double result;
      switch (word) {
#define EVALUATE_UNARY(name, code, fails, expr) \
  case code:                                     \
    if (fails) goto fail;                        \
    result = (expr);                             \
    break;
        FORMULA_UNARY_OPERATIONS(EVALUATE_UNARY)
#undef EVALUATE_UNARY
        default: goto fail;  // ACT_END, the error word
      }
      stack[top] = result;
    }
  }
  return stack[0];

fail:
  if (ok != nullptr) *ok = 0;
  return formula_ops::ErrorResult(stack[0]);
}
