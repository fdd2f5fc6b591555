#include "formula/fast_path.h"

#include "formula/code_format.h"
#include "formula/evaluator.h"
#include "formula/operations.h"

#include <cfloat>
#include <cmath>

namespace formula_detail {
namespace {

namespace ops = formula_ops;

// Instructions beyond the opcodes, which keep their own numbers.
enum FastExtra : uint16_t {
  F_MOV = FormulaOpcodeCount,  // d = *a
  F_IFZ,                       // if *a == 0 jump to target
  F_JMP,                       // jump to target
  F_RET,                       // return *a
  F_POWI,                      // d = (*a)'n, n = k, by multiplication
  F_POWE,                      // d = E'(*b)
  F_LOGXK,                     // d = ln(*b) / k, k = ln of a constant base
  F_POWK,                      // d = pow(*b, k), k = 1 / a constant root
};

// The constant E as the compiler loads it.
constexpr double kE = 2.718281828459045;
// ln(kE) - 1: kE lies 1.4456e-16 below e.
constexpr double kLnEMinusOne = -5.318237706605891e-17;

// What a stack slot holds while the code is translated.
enum SlotState : uint8_t { kEmpty, kFull, kCondition };

struct Slot {
  SlotState state = kEmpty;
  const double* where = nullptr;  // the value array or the slot's temporary
  int constIndex = -1;            // a constant's index when where points at one
};

// One open conditional.
struct Branch {
  uint32_t slot;
  uint32_t elsePos;
  uint32_t endifPos;
  uint32_t ifIns;   // the F_IFZ to patch
  uint32_t jmpIns;  // the F_JMP to patch
  bool inFalse;
};

uint32_t FindWord(const uint16_t* code, uint32_t from, uint32_t length, uint16_t target) {
  for (uint32_t i = from; i < length; ++i)
    if (code[i] == target) return i;
  return length;
}

bool IsBinary(uint16_t op) { return op < FormulaOpcodeCount && OpcodeStackDeltas[op] < 0; }

class Translator {
 public:
  Translator(FastForm& form, const double* values, uint32_t variableCount, bool approximate)
      : m_form(form), m_values(values), m_variables(variableCount), m_approximate(approximate) {}

  bool Run(const uint16_t* code, uint32_t length);

 private:
  FastIns& Add(uint16_t op, const double* a, const double* b, uint32_t slot) {
    FastIns ins{};
    ins.op = op;
    ins.a = a;
    ins.b = b;
    ins.d = TempOf(slot);
    m_form.ins.push_back(ins);
    return m_form.ins.back();
  }
  // Temporaries are addressed by slot; the array is sized before translation.
  double* TempOf(uint32_t slot) { return m_form.temps.data() + slot; }
  void Materialize(uint32_t slot) {
    Slot& s = m_slots[slot];
    if (s.where != TempOf(slot)) Add(F_MOV, s.where, nullptr, slot);
    s.where = TempOf(slot);
    s.constIndex = -1;
  }
  bool ConstantValue(const Slot& s, double* value) const {
    if (s.constIndex < 0) return false;
    *value = m_values[s.constIndex];
    return true;
  }
  void EmitBinary(uint16_t op, uint32_t top);

  FastForm& m_form;
  const double* m_values;
  uint32_t m_variables;
  bool m_approximate;
  Slot m_slots[FormulaStackSlots];
  std::vector<Branch> m_branches;
};

void Translator::EmitBinary(uint16_t op, uint32_t top) {
  const Slot& left = m_slots[top - 1];
  const Slot& right = m_slots[top];
  double c;
  if (op == ACT_POW && m_approximate) {
    if (ConstantValue(left, &c) && c == kE) {
      Add(F_POWE, nullptr, right.where, top - 1);
      m_form.exact = false;
      return;
    }
    if (ConstantValue(right, &c) && c >= 2.0 && c <= 8.0 && c == std::floor(c)) {
      Add(F_POWI, left.where, nullptr, top - 1).k = c;
      m_form.exact = false;
      return;
    }
  }
  if (op == ACT_LOGX && ConstantValue(left, &c)) {
    Add(F_LOGXK, nullptr, right.where, top - 1).k = std::log(c);
    return;
  }
  if (op == ACT_ROOT && ConstantValue(left, &c)) {
    Add(F_POWK, nullptr, right.where, top - 1).k = 1.0 / c;
    return;
  }
  Add(op, left.where, right.where, top - 1);
}

bool Translator::Run(const uint16_t* code, uint32_t length) {
  // The deepest slot bounds the temporaries.
  uint32_t top = 0;
  for (uint32_t pc = 0; pc < length; ++pc) {
    const uint16_t w = code[pc];
    if (IsLoadWord(w)) {
      const uint32_t index = w & FormulaIndexMask;
      Slot& s = m_slots[top];
      // A load starts an operand, or a branch in the slot of its condition.
      if (s.state == kFull) return false;
      s.state = kFull;
      s.where = m_values + index;
      s.constIndex = index >= m_variables ? static_cast<int>(index) : -1;
      continue;
    }
    if (IsIfWord(w)) {
      Slot& s = m_slots[top];
      if (s.state != kFull) return false;
      const uint16_t label = w & FormulaIndexMask;
      Branch b{};
      b.slot = top;
      b.elsePos = FindWord(code, pc + 1, length, static_cast<uint16_t>(ACT_ELSE | label));
      if (b.elsePos == length) return false;
      b.endifPos = FindWord(code, b.elsePos + 1, length, static_cast<uint16_t>(ACT_ENDIF | label));
      if (b.endifPos == length) return false;
      if (!m_branches.empty()) {
        const Branch& outer = m_branches.back();
        if (b.endifPos >= (outer.inFalse ? outer.endifPos : outer.elsePos)) return false;
      }
      b.ifIns = static_cast<uint32_t>(m_form.ins.size());
      Add(F_IFZ, s.where, nullptr, top);
      b.inFalse = false;
      m_branches.push_back(b);
      s.state = kCondition;
      continue;
    }
    if (IsElseWord(w)) {
      if (m_branches.empty()) return false;
      Branch& b = m_branches.back();
      if (b.inFalse || b.elsePos != pc || b.slot != top || m_slots[top].state != kFull) return false;
      Materialize(top);
      b.jmpIns = static_cast<uint32_t>(m_form.ins.size());
      Add(F_JMP, nullptr, nullptr, top);
      m_form.ins[b.ifIns].target = static_cast<uint32_t>(m_form.ins.size());
      b.inFalse = true;
      m_slots[top].state = kCondition;
      continue;
    }
    if (IsEndifWord(w)) {
      if (m_branches.empty()) return false;
      Branch& b = m_branches.back();
      if (!b.inFalse || b.endifPos != pc || b.slot != top || m_slots[top].state != kFull) return false;
      Materialize(top);
      m_form.ins[b.jmpIns].target = static_cast<uint32_t>(m_form.ins.size());
      m_branches.pop_back();
      continue;
    }
    // Error words and invalid words are left to the interpreter.
    if (w >= FormulaOpcodeCount || w == ACT_END || w == FormulaErrorWord) return false;
    if (w == ACT_UP) {
      if (m_slots[top].state != kFull || top + 1 >= FormulaStackSlots) return false;
      ++top;
      m_slots[top] = Slot{};
      continue;
    }
    if (IsBinary(w)) {
      if (top == 0 || m_slots[top - 1].state != kFull || m_slots[top].state != kFull) return false;
      EmitBinary(w, top);
      m_slots[top] = Slot{};
      --top;
    } else {
      if (m_slots[top].state != kFull) return false;
      Add(w, m_slots[top].where, nullptr, top);
    }
    m_slots[top].where = TempOf(top);
    m_slots[top].constIndex = -1;
  }
  if (top != 0 || !m_branches.empty() || m_slots[0].state != kFull) return false;
  Add(F_RET, m_slots[0].where, nullptr, 0);
  return true;
}

}  // namespace

double FastIntegerPower(double x, int n) {
  const double s = x * x;
  double r;
  switch (n) {
    case 2: r = s; break;
    case 3: r = s * x; break;
    case 4: r = s * s; break;
    case 5: r = (s * s) * x; break;
    case 6: r = (s * s) * s; break;
    case 7: r = ((s * s) * s) * x; break;
    case 8: { const double q = s * s; r = q * q; break; }
    default: return std::pow(x, n);
  }
  // Zero, subnormal and non-finite results (and NaN inputs) are pow's to
  // decide: rounding of intermediates must not turn into a changed class.
  if (!(std::fabs(r) >= DBL_MIN && std::fabs(r) <= DBL_MAX)) return std::pow(x, n);
  return r;
}

double FastPowerOfE(double u) {
  if (std::fabs(u) <= 700.0) return std::exp(u) * (1.0 + u * kLnEMinusOne);
  return std::pow(kE, u);
}

void BuildFastForm(FastForm& form, const uint16_t* code, uint32_t length, const double* values,
                   uint32_t variableCount, bool approximate) {
  form.ins.clear();
  form.usable = false;
  form.exact = true;
  if (code == nullptr || length == 0 || values == nullptr) return;
  form.temps.assign(FormulaStackSlots, 0.0);
  Translator t(form, values, variableCount, approximate);
  if (!t.Run(code, length)) {
    form.ins.clear();
    form.exact = true;
    return;
  }
  form.usable = true;
}

double RunFastForm(const FastForm& form, const uint16_t* code, uint32_t length,
                   const double* values, int* ok) {
  if (!form.usable) return EvaluateCode(code, length, values, ok);
  const FastIns* const base = form.ins.data();
  const FastIns* ip = base;
  for (;; ++ip) {
    const double* a = ip->a;
    const double* b = ip->b;
    double* d = ip->d;
    switch (ip->op) {
      case ACT_NEG: *d = -*a; break;
      case ACT_NOT: *d = ops::BitNot(*a); break;
      case ACT_LOGIC_NOT: *d = ops::Truth(*a == 0.0); break;
      case ACT_ACOS:
        if (ops::AsinAcosFails(*a)) goto bail;
        *d = std::acos(*a);
        break;
      case ACT_ASIN:
        if (ops::AsinAcosFails(*a)) goto bail;
        *d = std::asin(*a);
        break;
      case ACT_ATAN: *d = std::atan(*a); break;
      case ACT_ACOT: *d = ops::Acot(*a); break;
      case ACT_ACOSH:
        if (ops::AcoshFails(*a)) goto bail;
        *d = std::acosh(*a);
        break;
      case ACT_ASINH: *d = std::asinh(*a); break;
      case ACT_ATANH:
        if (ops::AtanhFails(*a)) goto bail;
        *d = std::atanh(*a);
        break;
      case ACT_ACOTH:
        if (ops::AcothFails(*a)) goto bail;
        *d = ops::Acoth(*a);
        break;
      case ACT_COS: *d = std::cos(*a); break;
      case ACT_SIN: *d = std::sin(*a); break;
      case ACT_TAN: *d = std::tan(*a); break;
      case ACT_COT: *d = ops::Cot(*a); break;
      case ACT_COSH: *d = std::cosh(*a); break;
      case ACT_SINH: *d = std::sinh(*a); break;
      case ACT_TANH: *d = std::tanh(*a); break;
      case ACT_COTH:
        if (ops::CothFails(*a)) goto bail;
        *d = ops::Coth(*a);
        break;
      case ACT_LOG: *d = std::log(*a); break;
      case ACT_LOGX: *d = ops::LogBase(*a, *b); break;
      case ACT_LOG10: *d = std::log10(*a); break;
      case ACT_ROOT: *d = ops::Root(*a, *b); break;
      case ACT_SQRT:
        if (ops::SqrtFails(*a)) goto bail;
        *d = std::sqrt(*a);
        break;
      case ACT_EQ: *d = ops::Truth(*a == *b); break;
      case ACT_NEQ: *d = ops::Truth(*a != *b); break;
      case ACT_LOWER: *d = ops::Truth(*a < *b); break;
      case ACT_LOWER_EQ: *d = ops::Truth(*a <= *b); break;
      case ACT_UPPER: *d = ops::Truth(*a > *b); break;
      case ACT_UPPER_EQ: *d = ops::Truth(*a >= *b); break;
      case ACT_SHR: *d = ops::ShiftRight(*a, *b); break;
      case ACT_SHL: *d = ops::ShiftLeft(*a, *b); break;
      case ACT_LOGIC_OR: *d = ops::Truth(*a != 0.0 || *b != 0.0); break;
      case ACT_LOGIC_AND: *d = ops::Truth(*a != 0.0 && *b != 0.0); break;
      case ACT_OR: *d = ops::BitOr(*a, *b); break;
      case ACT_AND: *d = ops::BitAnd(*a, *b); break;
      case ACT_XOR: *d = ops::BitXor(*a, *b); break;
      case ACT_ADD: *d = *a + *b; break;
      case ACT_SUB: *d = *a - *b; break;
      case ACT_MUL: *d = *a * *b; break;
      case ACT_DIV:
        if (ops::DivisorFails(*b)) goto bail;
        *d = *a / *b;
        break;
      case ACT_MOD:
        if (ops::DivisorFails(*b)) goto bail;
        *d = std::fmod(*a, *b);
        break;
      case ACT_POW: *d = std::pow(*a, *b); break;
      case ACT_POW2: *d = ops::Pow2(*a); break;
      case ACT_POW3: *d = ops::Pow3(*a); break;
      case ACT_ABS: *d = std::fabs(*a); break;
      case ACT_FLOOR: *d = std::floor(*a); break;
      case ACT_ROUND: *d = ops::Round(*a); break;
      case ACT_CEIL: *d = std::ceil(*a); break;
      case F_MOV: *d = *a; break;
      case F_IFZ:
        if (*a == 0.0) ip = base + ip->target - 1;
        break;
      case F_JMP: ip = base + ip->target - 1; break;
      case F_RET: return *a;
      case F_POWI: *d = FastIntegerPower(*a, static_cast<int>(ip->k)); break;
      case F_POWE: *d = FastPowerOfE(*b); break;
      case F_LOGXK: *d = std::log(*b) / ip->k; break;
      case F_POWK: *d = std::pow(*b, ip->k); break;
      default: goto bail;  // never translated
    }
  }
bail:
  return EvaluateCode(code, length, values, ok);
}

}  // namespace formula_detail
