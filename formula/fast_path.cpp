#include "formula/fast_path.h"

#include "formula/code_format.h"
#include "formula/evaluator.h"
#include "formula/pow_kernels.h"
#include "formula/operations.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <map>
#include <tuple>

namespace formula_detail {
namespace {

// Instructions beyond the opcodes, which keep their own numbers.
enum FastExtra : uint16_t {
  F_MOV = FormulaOpcodeCount,  // d = *a
  F_IFZ,                       // if *a == 0 jump to target
  F_JMP,                       // jump to target
  F_RET,                       // return *a
  F_POWI,                      // d = (*a)'n by kernel, n = k, a whole number 2..8
  F_POWE,                      // d = E'(*a) by kernel
  F_LOGXK,                     // d = ln(*a) / k, k = ln of a constant base
  F_POWK,                      // d = pow(*a, k), k = 1 / a constant root
  F_COUNT
};

// Each instruction has nine handlers: operands from memory, the left (or
// only) operand from the accumulator, or the right operand from it; each
// then storing the result, keeping it only in the accumulator, or
// returning it. The accumulator holds the previous instruction's result, so
// a chain of dependent operations passes its values in a register, a result
// nothing reads from memory is not stored at all, and the last operation
// returns without another dispatch.
enum Variant : uint16_t { kFromMemory, kLeftInAcc, kRightInAcc };
enum Tail : uint16_t { kStore, kKeep, kReturn };
constexpr unsigned kHandlersPerOp = 9;

// What a stack slot holds while the code is translated.
enum SlotState : uint8_t { kEmpty, kFull, kCondition };

struct Slot {
  SlotState state = kEmpty;
  const double* where = nullptr;  // the value array or a temporary
  int constIndex = -1;            // a constant's index when where points at one
};

// One open conditional.
struct Branch {
  uint32_t slot;
  uint32_t elsePos;
  uint32_t endifPos;
  uint32_t ifIns;   // the F_IFZ to patch
  uint32_t jmpIns;  // the F_JMP to patch
  double* result;   // where both branches leave their value
  size_t reuseMark; // reusable values known before the branch
  bool inFalse;
};

bool IsBinary(uint16_t op) { return op < FormulaOpcodeCount && OpcodeStackDeltas[op] < 0; }

// An instruction's identity: equal keys compute equal bits.
using ReuseKey = std::tuple<uint16_t, const double*, const double*, uint64_t>;

class Translator {
 public:
  Translator(FastForm& form, const double* values, uint32_t variableCount)
      : m_form(form), m_values(values), m_variables(variableCount) {}

  bool Run(const uint16_t* code, uint32_t length);

 private:
  double* NewTemp() { return m_form.temps.data() + m_nextTemp++; }
  uint32_t Control(uint16_t op, const double* a, double* d) {
    FastIns ins{};
    ins.op = op;
    ins.a = a;
    ins.d = d;
    m_form.ins.push_back(ins);
    return static_cast<uint32_t>(m_form.ins.size() - 1);
  }
  // The value of op over a and b: an earlier instruction's when one computed
  // it already in scope, else a new instruction's temporary.
  const double* Compute(uint16_t op, const double* a, const double* b, double k = 0.0,
                        double (*kernel)(double) = nullptr) {
    uint64_t kBits;
    std::memcpy(&kBits, &k, sizeof kBits);
    const ReuseKey key{op, a, b, kBits};
    const auto found = m_known.find(key);
    if (found != m_known.end()) return found->second;
    FastIns ins{};
    ins.op = op;
    ins.a = a;
    ins.b = b;
    ins.d = NewTemp();
    ins.k = k;
    ins.kernel = kernel;
    m_form.ins.push_back(ins);
    m_known.emplace(key, ins.d);
    m_knownLog.push_back(key);
    return ins.d;
  }
  // Leaves a branch's value in its conditional's result: the branch's last
  // instruction writes there itself when it alone computed the value
  // (nothing in the branch reads it after, and its reuse ends with the
  // branch). A value that two branches of an inner conditional wrote, the
  // last before the merge, is copied.
  void LeaveIn(const double* value, double* result) {
    const size_t lastIndex = m_form.ins.size() - 1;
    FastIns& last = m_form.ins.back();
    const bool control = last.op == F_IFZ || last.op == F_JMP;
    if (!control && last.d == value && lastIndex >= m_lastMerge) {
      last.d = result;
    } else {
      Control(F_MOV, value, result);
    }
    m_lastMerge = m_form.ins.size();
  }
  void Forget(size_t mark) {
    while (m_knownLog.size() > mark) {
      m_known.erase(m_knownLog.back());
      m_knownLog.pop_back();
    }
  }
  bool ConstantValue(const Slot& s, double* value) const {
    if (s.constIndex < 0) return false;
    *value = m_values[s.constIndex];
    return true;
  }
  const double* Binary(uint16_t op, const Slot& left, const Slot& right);

  FastForm& m_form;
  const double* m_values;
  uint32_t m_variables;
  uint32_t m_nextTemp = 0;
  size_t m_lastMerge = 0;  // the first instruction after the latest branch end
  Slot m_slots[FormulaStackSlots];
  std::vector<Branch> m_branches;
  std::map<ReuseKey, const double*> m_known;
  std::vector<ReuseKey> m_knownLog;
};

const double* Translator::Binary(uint16_t op, const Slot& left, const Slot& right) {
  double c;
  if (op == ACT_POW && ConstantValue(right, &c) && c >= 2.0 && c <= 8.0 && c == std::floor(c))
    return Compute(F_POWI, left.where, nullptr, c, IntegerPowerKernel(static_cast<int>(c)));
  if (op == ACT_POW && ConstantValue(left, &c) && c == kFormulaE)
    return Compute(F_POWE, right.where, nullptr, 0.0, PowerOfEKernel());
  if (op == ACT_LOGX && ConstantValue(left, &c)) return Compute(F_LOGXK, right.where, nullptr, std::log(c));
  if (op == ACT_ROOT && ConstantValue(left, &c)) return Compute(F_POWK, right.where, nullptr, 1.0 / c);
  return Compute(op, left.where, right.where);
}

bool Translator::Run(const uint16_t* code, uint32_t length) {
  uint32_t top = 0;
  for (uint32_t pc = 0; pc < length; ++pc) {
    const uint16_t w = code[pc];
    Slot& s = m_slots[top];
    if (IsLoadWord(w)) {
      const uint32_t index = w & FormulaIndexMask;
      // A load starts an operand, or a branch in the slot of its condition.
      if (s.state == kFull) return false;
      s.state = kFull;
      s.where = m_values + index;
      s.constIndex = index >= m_variables ? static_cast<int>(index) : -1;
      continue;
    }
    if (IsIfWord(w)) {
      if (s.state != kFull) return false;
      const uint16_t label = w & FormulaIndexMask;
      Branch b{};
      b.slot = top;
      b.elsePos = FindCodeWord(code, pc + 1, length, static_cast<uint16_t>(ACT_ELSE | label));
      if (b.elsePos == length) return false;
      b.endifPos = FindCodeWord(code, b.elsePos + 1, length, static_cast<uint16_t>(ACT_ENDIF | label));
      if (b.endifPos == length) return false;
      if (!m_branches.empty()) {
        const Branch& outer = m_branches.back();
        if (b.endifPos >= (outer.inFalse ? outer.endifPos : outer.elsePos)) return false;
      }
      b.result = NewTemp();
      b.ifIns = Control(F_IFZ, s.where, nullptr);
      b.reuseMark = m_knownLog.size();
      b.inFalse = false;
      m_branches.push_back(b);
      s.state = kCondition;
      continue;
    }
    if (IsElseWord(w)) {
      if (m_branches.empty()) return false;
      Branch& b = m_branches.back();
      if (b.inFalse || b.elsePos != pc || b.slot != top || s.state != kFull) return false;
      LeaveIn(s.where, b.result);
      b.jmpIns = Control(F_JMP, nullptr, nullptr);
      m_form.ins[b.ifIns].target = static_cast<uint32_t>(m_form.ins.size());
      Forget(b.reuseMark);
      b.inFalse = true;
      s.state = kCondition;
      continue;
    }
    if (IsEndifWord(w)) {
      if (m_branches.empty()) return false;
      Branch& b = m_branches.back();
      if (!b.inFalse || b.endifPos != pc || b.slot != top || s.state != kFull) return false;
      LeaveIn(s.where, b.result);
      m_form.ins[b.jmpIns].target = static_cast<uint32_t>(m_form.ins.size());
      Forget(b.reuseMark);
      s.where = b.result;
      s.constIndex = -1;
      m_branches.pop_back();
      continue;
    }
    // Error words and invalid words are left to the interpreter.
    if (w >= FormulaOpcodeCount || w == ACT_END || w == FormulaErrorWord) return false;
    if (w == ACT_UP) {
      if (s.state != kFull || top + 1 >= FormulaStackSlots) return false;
      ++top;
      m_slots[top] = Slot{};
      continue;
    }
    if (IsBinary(w)) {
      if (top == 0 || m_slots[top - 1].state != kFull || s.state != kFull) return false;
      Slot& left = m_slots[top - 1];
      left.where = Binary(w, left, s);
      left.constIndex = -1;
      s = Slot{};
      --top;
    } else {
      if (s.state != kFull) return false;
      s.where = Compute(w, s.where, nullptr);
      s.constIndex = -1;
    }
  }
  if (top != 0 || !m_branches.empty() || m_slots[0].state != kFull) return false;
  Control(F_RET, m_slots[0].where, nullptr);
  return true;
}

// Picks each instruction's handler: an operand that the previous
// instruction just computed comes from the accumulator, unless the
// instruction can be reached by a jump; a result that no instruction reads
// from memory is not stored.
void AssignHandlers(FastForm& form) {
  const size_t n = form.ins.size();
  std::vector<bool> jumpedTo(n + 1, false);
  for (const FastIns& ins : form.ins)
    if (ins.op == F_IFZ || ins.op == F_JMP) jumpedTo[ins.target] = true;
  std::vector<uint16_t> variants(n, kFromMemory);
  for (size_t i = 1; i < n; ++i) {
    if (jumpedTo[i]) continue;
    const FastIns& ins = form.ins[i];
    const FastIns& prev = form.ins[i - 1];
    if (prev.op == F_IFZ || prev.op == F_JMP || prev.op == F_RET) continue;
    if (ins.a != nullptr && ins.a == prev.d)
      variants[i] = kLeftInAcc;
    else if (ins.b != nullptr && ins.b == prev.d)
      variants[i] = kRightInAcc;
  }
  // Temporaries read from memory.
  std::vector<const double*> readFromMemory;
  for (size_t i = 0; i < n; ++i) {
    const FastIns& ins = form.ins[i];
    if (ins.a != nullptr && variants[i] != kLeftInAcc) readFromMemory.push_back(ins.a);
    if (ins.b != nullptr && variants[i] != kRightInAcc) readFromMemory.push_back(ins.b);
  }
  std::sort(readFromMemory.begin(), readFromMemory.end());
  for (size_t i = 0; i < n; ++i) {
    FastIns& ins = form.ins[i];
    uint16_t tail = kStore;
    const bool control = ins.op == F_IFZ || ins.op == F_JMP || ins.op == F_RET;
    // The instruction that runs next, past an unconditional jump.
    size_t next = i + 1;
    if (next < n && form.ins[next].op == F_JMP) next = form.ins[next].target;
    if (!control && next < n && form.ins[next].op == F_RET && form.ins[next].a == ins.d) {
      tail = kReturn;
    } else if (ins.d != nullptr &&
               !std::binary_search(readFromMemory.begin(), readFromMemory.end(), ins.d)) {
      tail = kKeep;
    }
    ins.handler = static_cast<uint16_t>(ins.op * kHandlersPerOp + variants[i] * 3u + tail);
  }
}

}  // namespace

void BuildFastForm(FastForm& form, const uint16_t* code, uint32_t length, const double* values,
                   uint32_t valueCount, uint32_t variableCount) {
  form.ins.clear();
  form.usable = false;
  form.loadsOutside = false;
  for (uint32_t i = 0; i < length; ++i) {
    if (IsLoadWord(code[i]) && (code[i] & FormulaIndexMask) >= valueCount) {
      form.loadsOutside = true;
      return;
    }
  }
  form.code = code;
  form.length = length;
  form.values = values;
  if (code == nullptr || length == 0 || values == nullptr) return;
  // Every word makes at most one temporary; a conditional makes one more.
  form.temps.assign(size_t{length} + 1, 0.0);
  Translator t(form, values, variableCount);
  if (!t.Run(code, length)) {
    form.ins.clear();
      return;
  }
  AssignHandlers(form);
  form.usable = true;
}

uint16_t SingleArithmetic(const FastForm& form) {
  if (!form.usable || form.ins.size() != 2) return 0;
  const FastIns& op = form.ins[0];
  const FastIns& ret = form.ins[1];
  if (ret.op != F_RET || ret.a != op.d) return 0;
  return (op.op == ACT_ADD || op.op == ACT_SUB || op.op == ACT_MUL) ? op.op : 0;
}

// Threaded dispatch: every handler ends in its own indirect jump, which
// predicts far better than one shared switch.
double RunFastForm(const FastForm& form, int* ok) {
#define FAST_U(name) \
  &&name##_ms, &&name##_mn, &&name##_mx, &&name##_rs, &&name##_rn, &&name##_rx, &&bail, &&bail, &&bail
#define FAST_B(name)                                                                              \
  &&name##_ms, &&name##_mn, &&name##_mx, &&name##_rs, &&name##_rn, &&name##_rx, &&name##_ls, \
      &&name##_ln, &&name##_lx
#define FAST_NONE &&bail, &&bail, &&bail, &&bail, &&bail, &&bail, &&bail, &&bail, &&bail
  static const void* const kHandlers[] = {
      FAST_NONE,          FAST_NONE,        FAST_NONE,         FAST_U(op_neg),     FAST_U(op_not),
      FAST_U(op_lnot),    FAST_U(op_acos),  FAST_U(op_asin),   FAST_U(op_atan),    FAST_U(op_acot),
      FAST_U(op_acosh),   FAST_U(op_asinh), FAST_U(op_atanh),  FAST_U(op_acoth),   FAST_U(op_cos),
      FAST_U(op_sin),     FAST_U(op_tan),   FAST_U(op_cot),    FAST_U(op_cosh),    FAST_U(op_sinh),
      FAST_U(op_tanh),    FAST_U(op_coth),  FAST_U(op_log),    FAST_B(op_logx),    FAST_U(op_log10),
      FAST_B(op_root),    FAST_U(op_sqrt),  FAST_B(op_eq),     FAST_B(op_neq),     FAST_B(op_lower),
      FAST_B(op_lowereq), FAST_B(op_upper), FAST_B(op_uppereq), FAST_B(op_shr),    FAST_B(op_shl),
      FAST_B(op_lor),     FAST_B(op_land),  FAST_B(op_or),     FAST_B(op_and),     FAST_B(op_xor),
      FAST_B(op_add),     FAST_B(op_sub),   FAST_B(op_mul),    FAST_B(op_div),     FAST_B(op_mod),
      FAST_B(op_pow),     FAST_U(op_pow2),  FAST_U(op_pow3),   FAST_U(op_abs),     FAST_U(op_floor),
      FAST_U(op_round),   FAST_U(op_ceil),  FAST_U(op_mov),    FAST_U(op_ifz),     FAST_U(op_jmp),
      FAST_U(op_ret),     FAST_U(op_powi),  FAST_U(op_powe),   FAST_U(op_logxk),   FAST_U(op_powk),
  };
#undef FAST_U
#undef FAST_B
#undef FAST_NONE
  static_assert(sizeof kHandlers / sizeof kHandlers[0] == F_COUNT * kHandlersPerOp);
  if (!form.usable) {
    if (!form.loadsOutside) return EvaluateCode(form.code, form.length, form.values, ok);
    if (ok != nullptr) *ok = 0;
    return formula_ops::ErrorResult(0.0);
  }
  const FastIns* const base = form.ins.data();
  const FastIns* ip = base;
  double acc = 0.0;

#define FAST_NEXT                  \
  do {                             \
    ++ip;                          \
    goto* kHandlers[ip->handler];  \
  } while (0)
  // One handler: operands x and y, a failure test on them, the result.
#define FAST_HANDLER(label, X, Y, fails, expr, tail) \
  label : {                                          \
    const double x = (X);                            \
    const double y = (Y);                            \
    (void)y;                                         \
    if (fails) goto bail;                            \
    acc = (expr);                                    \
    tail;                                            \
  }
#define FAST_STORE \
  *ip->d = acc;    \
  FAST_NEXT
#define FAST_KEEP FAST_NEXT
#define FAST_RETURN return acc
#define FAST_THREE(name, X, Y, fails, expr)              \
  FAST_HANDLER(name##s, X, Y, fails, expr, FAST_STORE)   \
  FAST_HANDLER(name##n, X, Y, fails, expr, FAST_KEEP)    \
  FAST_HANDLER(name##x, X, Y, fails, expr, FAST_RETURN)
#define FAST_UNARY_CHECKED(name, fails, expr)        \
  FAST_THREE(name##_m, *ip->a, 0.0, fails, expr)     \
  FAST_THREE(name##_r, acc, 0.0, fails, expr)
#define FAST_UNARY(name, expr) FAST_UNARY_CHECKED(name, false, expr)
#define FAST_BINARY_CHECKED(name, fails, expr)       \
  FAST_THREE(name##_m, *ip->a, *ip->b, fails, expr)  \
  FAST_THREE(name##_r, acc, *ip->b, fails, expr)     \
  FAST_THREE(name##_l, *ip->a, acc, fails, expr)

  goto* kHandlers[ip->handler];

#define FAST_UNARY_OP(name, code, fails, expr) FAST_UNARY_CHECKED(name, fails, expr)
#define FAST_BINARY_OP(name, code, fails, expr) FAST_BINARY_CHECKED(name, fails, expr)
  FORMULA_UNARY_OPERATIONS(FAST_UNARY_OP)
  FORMULA_BINARY_OPERATIONS(FAST_BINARY_OP)
#undef FAST_UNARY_OP
#undef FAST_BINARY_OP
  FAST_UNARY(op_mov, x)
  FAST_UNARY(op_powi, ip->kernel(x))
  FAST_UNARY(op_powe, ip->kernel(x))
  FAST_UNARY(op_logxk, std::log(x) / ip->k)
  FAST_UNARY(op_powk, std::pow(x, ip->k))
op_ifz_ms:
op_ifz_mn:
op_ifz_mx:
  if (*ip->a == 0.0) goto jump;
  FAST_NEXT;
op_ifz_rs:
op_ifz_rn:
op_ifz_rx:
  if (acc == 0.0) goto jump;
  FAST_NEXT;
op_jmp_ms:
op_jmp_mn:
op_jmp_mx:
op_jmp_rs:
op_jmp_rn:
op_jmp_rx:
jump:
  ip = base + ip->target;
  goto* kHandlers[ip->handler];
op_ret_ms:
op_ret_mn:
op_ret_mx:
  return *ip->a;
op_ret_rs:
op_ret_rn:
op_ret_rx:
  return acc;
#undef FAST_NEXT
#undef FAST_HANDLER
#undef FAST_STORE
#undef FAST_KEEP
#undef FAST_RETURN
#undef FAST_THREE
#undef FAST_UNARY_CHECKED
#undef FAST_UNARY
#undef FAST_BINARY_CHECKED
bail:
  return EvaluateCode(form.code, form.length, form.values, ok);
}

}  // namespace formula_detail
