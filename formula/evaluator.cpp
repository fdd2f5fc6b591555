#include "formula/evaluator.h"

#include "formula/operations.h"

#include <cmath>

namespace {

// Index of the first word equal to target after from, or length.
uint32_t FindWord(const uint16_t* code, uint32_t from, uint32_t length, uint16_t target) {
  for (uint32_t i = from; i < length; ++i)
    if (code[i] == target) return i;
  return length;
}

}  // namespace

double EvaluateCode(const uint16_t* code, uint32_t length, const double* values, int* ok) {
  namespace ops = formula_ops;
  double stack[FormulaStackSlots];
  stack[0] = 0.0;
  uint32_t top = 0;
  if (code == nullptr || length == 0) goto fail;

  for (uint32_t pc = 0; pc < length; ++pc) {
    const uint16_t word = code[pc];
    double& x = stack[top];
    switch (word >> 12) {
      case ACT_VALUE >> 12:
        x = values[word & FormulaIndexMask];
        continue;
      case ACT_IF >> 12:
        if (x != 0.0) continue;
        pc = FindWord(code, pc + 1, length, static_cast<uint16_t>(ACT_ELSE | (word & FormulaIndexMask)));
        if (pc == length) goto fail;
        continue;
      case ACT_ELSE >> 12:
        pc = FindWord(code, pc + 1, length, static_cast<uint16_t>(ACT_ENDIF | (word & FormulaIndexMask)));
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
      const double b = x;
      double& a = stack[top - 1];
      switch (word) {
        case ACT_LOGX: a = ops::LogBase(a, b); break;
        case ACT_ROOT: a = ops::Root(a, b); break;
        case ACT_EQ: a = ops::Truth(a == b); break;
        case ACT_NEQ: a = ops::Truth(a != b); break;
        case ACT_LOWER: a = ops::Truth(a < b); break;
        case ACT_LOWER_EQ: a = ops::Truth(a <= b); break;
        case ACT_UPPER: a = ops::Truth(a > b); break;
        case ACT_UPPER_EQ: a = ops::Truth(a >= b); break;
        case ACT_SHR: a = ops::ShiftRight(a, b); break;
        case ACT_SHL: a = ops::ShiftLeft(a, b); break;
        case ACT_LOGIC_OR: a = ops::Truth(a != 0.0 || b != 0.0); break;
        case ACT_LOGIC_AND: a = ops::Truth(a != 0.0 && b != 0.0); break;
        case ACT_OR: a = ops::BitOr(a, b); break;
        case ACT_AND: a = ops::BitAnd(a, b); break;
        case ACT_XOR: a = ops::BitXor(a, b); break;
        case ACT_ADD: a = a + b; break;
        case ACT_SUB: a = a - b; break;
        case ACT_MUL: a = a * b; break;
        case ACT_DIV:
          if (ops::DivisorFails(b)) goto fail;
          a = a / b;
          break;
        case ACT_MOD:
          if (ops::DivisorFails(b)) goto fail;
          a = std::fmod(a, b);
          break;
        case ACT_POW: a = std::pow(a, b); break;
        default: goto fail;
      }
      --top;
      continue;
    }
    switch (word) {
      case ACT_UP:
        if (top + 1 >= FormulaStackSlots) goto fail;
        // Cleared so that malformed code reads a defined value.
        stack[++top] = 0.0;
        break;
      case ACT_NEG: x = -x; break;
      case ACT_NOT: x = ops::BitNot(x); break;
      case ACT_LOGIC_NOT: x = ops::Truth(x == 0.0); break;
      case ACT_ACOS:
        if (ops::AsinAcosFails(x)) goto fail;
        x = std::acos(x);
        break;
      case ACT_ASIN:
        if (ops::AsinAcosFails(x)) goto fail;
        x = std::asin(x);
        break;
      case ACT_ATAN: x = std::atan(x); break;
      case ACT_ACOT: x = ops::Acot(x); break;
      case ACT_ACOSH:
        if (ops::AcoshFails(x)) goto fail;
        x = std::acosh(x);
        break;
      case ACT_ASINH: x = std::asinh(x); break;
      case ACT_ATANH:
        if (ops::AtanhFails(x)) goto fail;
        x = std::atanh(x);
        break;
      case ACT_ACOTH:
        if (ops::AcothFails(x)) goto fail;
        x = ops::Acoth(x);
        break;
      case ACT_COS: x = std::cos(x); break;
      case ACT_SIN: x = std::sin(x); break;
      case ACT_TAN: x = std::tan(x); break;
      case ACT_COT: x = ops::Cot(x); break;
      case ACT_COSH: x = std::cosh(x); break;
      case ACT_SINH: x = std::sinh(x); break;
      case ACT_TANH: x = std::tanh(x); break;
      case ACT_COTH:
        if (ops::CothFails(x)) goto fail;
        x = ops::Coth(x);
        break;
      case ACT_LOG: x = std::log(x); break;
      case ACT_LOG10: x = std::log10(x); break;
      case ACT_SQRT:
        if (ops::SqrtFails(x)) goto fail;
        x = std::sqrt(x);
        break;
      case ACT_POW2: x = ops::Pow2(x); break;
      case ACT_POW3: x = ops::Pow3(x); break;
      case ACT_ABS: x = std::fabs(x); break;
      case ACT_FLOOR: x = std::floor(x); break;
      case ACT_ROUND: x = ops::Round(x); break;
      case ACT_CEIL: x = std::ceil(x); break;
      default: goto fail;  // ACT_END, the error word
    }
  }
  return stack[0];

fail:
  if (ok != nullptr) *ok = 0;
  return formula_ops::ErrorResult(stack[0]);
}
