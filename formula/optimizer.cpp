// Constant folding and operand reordering of compiled code, in place.
#include "formula/program.h"

#include "formula/operations.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <utility>

namespace {

bool IsAdditive(uint16_t w) { return w == ACT_ADD || w == ACT_SUB; }
bool IsMultiplicative(uint16_t w) { return w == ACT_MUL || w == ACT_DIV; }

// A folded constant must not trade a result for an overflow, a NaN, or an
// underflow that the separate operations would not have produced.
bool FoldKeepsValue(double folded) { return std::isfinite(folded); }
bool ProductFoldKeepsValue(double folded, double in1, double in2) {
  if (!std::isfinite(folded)) return false;
  if (in1 != 0.0 && in2 != 0.0 && std::fabs(folded) < DBL_MIN) return false;
  return true;
}

// x / c equals x * (1 / c) bit for bit only when 1 / c is exact.
bool IsPowerOfTwo(double c) {
  int exponent;
  return std::fabs(std::frexp(c, &exponent)) == 0.5;
}

}  // namespace

int CFormulaProgram::FoldConstants(const uint8_t* isConstant, uint32_t count) {
  if (m_codeLength < 2) return 0;
  uint16_t* c = m_code;
  const uint32_t n = m_codeLength;
  int changes = 0;
  auto isConst = [&](uint16_t w) { return IsConstantLoad(w, isConstant, count); };
  auto valueOf = [&](uint16_t w) { return m_values[w & FormulaIndexMask]; };
  // Replaces the load at c[at] by a load of a new constant; false when no
  // index is left.
  auto replaceLoad = [&](uint32_t at, double value) {
    const int index = AddConstant(value);
    if (index < 0) return false;
    c[at] = LoadWord(static_cast<uint32_t>(index));
    ++changes;
    return true;
  };

  // Pass 1: peephole rules, writing behind the reading position.
  uint32_t o = 1;
  for (uint32_t i = 1; i < n; ++i) {
    uint16_t w = c[i];
    const uint16_t prev = c[o - 1];
    if (w == ACT_NEG) {
      if (i + 1 < n && c[i + 1] == ACT_NEG) {  // --x
        ++i;
        ++changes;
        continue;
      }
      if (isConst(prev)) {
        const double folded = -valueOf(prev);
        if (FoldKeepsValue(folded) && replaceLoad(o - 1, folded)) continue;
      } else if (IsLoadWord(prev) && i + 1 < n && IsAdditive(c[i + 1])) {  // a + -x
        c[i + 1] = c[i + 1] == ACT_ADD ? ACT_SUB : ACT_ADD;
        ++changes;
        continue;
      }
    } else if (w == ACT_NOT) {
      // Two integer negations truncate once, so four equal two.
      if (prev == ACT_NOT && i + 2 < n && c[i + 1] == ACT_NOT && c[i + 2] == ACT_NOT) {
        ++i;
        ++changes;
        continue;
      }
      if (isConst(prev) && replaceLoad(o - 1, formula_ops::BitNot(valueOf(prev)))) continue;
    } else {
      if (w == ACT_DIV && isConst(prev)) {
        const double c1 = valueOf(prev);
        if (c1 != 0.0 && IsPowerOfTwo(c1)) {
          const double inverse = 1.0 / c1;
          if (ProductFoldKeepsValue(inverse, 1.0, c1) && replaceLoad(o - 1, inverse)) w = ACT_MUL;
        }
      }
      const uint16_t left = c[o - 1];
      if (i + 3 < n && isConst(left) && c[i + 1] == ACT_UP && isConst(c[i + 2])) {
        const uint16_t op2 = c[i + 3];
        const double c1 = valueOf(left);
        const double c2 = valueOf(c[i + 2]);
        if (IsAdditive(w) && IsAdditive(op2)) {  // (x op c1) op2 c2
          const double s = op2 == ACT_ADD ? c2 : -c2;
          const double folded = w == ACT_ADD ? c1 + s : c1 - s;
          if (FoldKeepsValue(folded) && replaceLoad(o - 1, folded)) {
            c[o++] = w;
            i += 3;
            continue;
          }
        } else if (IsMultiplicative(w) && IsMultiplicative(op2) && c2 != 0.0) {
          const double folded = (w == op2) ? c1 * c2 : c1 / c2;
          if (ProductFoldKeepsValue(folded, c1, c2) && replaceLoad(o - 1, folded)) {
            c[o++] = w;
            i += 3;
            continue;
          }
        }
      }
    }
    c[o++] = w;
  }
  m_codeLength = o;

  // Pass 2: runs of code that read only constants become one constant.
  if (m_codeLength >= 2) {
    const uint32_t len = m_codeLength;
    o = 0;
    for (uint32_t i = 0; i < len; ++i) {
      const uint16_t w = c[i];
      if (!(isConst(w) && (i == 0 || c[i - 1] == ACT_UP))) {
        c[o++] = w;
        continue;
      }
      int depth = 1;
      uint32_t end = i;
      for (uint32_t j = i + 1; j < len; ++j) {
        const uint16_t v = c[j];
        if (IsLoadWord(v)) {
          if (!isConst(v)) break;
          continue;
        }
        if (IsConditionalWord(v) || !IsOpcodeWord(v)) break;
        const int before = depth;
        depth += OpcodeStackDeltas[v];
        if (depth < 0) break;
        const int operands = static_cast<int>(OpcodeOperandCounts[v]);
        if (operands > 0) {
          if (operands > before) break;
          if (operands == before) end = j;
        }
      }
      if (end == i) {
        c[o++] = w;
        continue;
      }
      int ok = 1;
      const double result = EvaluateCode(c + i, end - i + 1, m_values, &ok);
      if (ok) {
        const int index = AddConstant(result);
        if (index < 0) {  // no index left: keep the run
          c[o++] = w;
          continue;
        }
        c[o++] = LoadWord(static_cast<uint32_t>(index));
      } else {
        c[o++] = FormulaErrorWord;
      }
      ++changes;
      i = end;
    }
    m_codeLength = o;
  }
  Invalidate();
  return changes;
}

int CFormulaProgram::ReorderOperands(const uint8_t* isConstant, uint32_t count) {
  if (m_codeLength < 6) return 0;
  uint16_t* c = m_code;
  const uint32_t n = m_codeLength;
  int swaps = 0;
  auto isConst = [&](uint16_t w) { return IsConstantLoad(w, isConstant, count); };
  auto sameFamily = [](uint16_t a, uint16_t b) {
    return (IsAdditive(a) && IsAdditive(b)) || (IsMultiplicative(a) && IsMultiplicative(b));
  };
  for (uint32_t i = 0; i + 4 < n; ++i) {
    if (!(c[i] == ACT_UP && IsLoadWord(c[i + 1]) && c[i + 3] == ACT_UP && IsLoadWord(c[i + 4])))
      continue;
    uint32_t p = i + 3;
    while (p + 2 < n && c[p] == ACT_UP && IsLoadWord(c[p + 1])) {
      // (A op1 x) op2 c becomes (A op2 c) op1 x, so constants move left.
      // A constant keeps moving past every variable whose operator is of
      // its own operator's family; one swap at a time and a walk restarted
      // after each swap come to the same code, in time cubic in the
      // length. Here the constant moves to the end of its way at once, the
      // variables it passes each one group right, and the walk goes on
      // behind the place it came from: the pairs it passed hold variables
      // on their right, which never swap.
      const uint16_t load = c[p + 1];
      const uint16_t op = c[p + 2];
      uint32_t q = p;
      if (isConst(load)) {
        while (q >= i + 3 && !isConst(c[q - 2]) && sameFamily(c[q - 1], op)) q -= 3;
      }
      if (q != p) {
        for (uint32_t g = p; g > q; g -= 3) {
          c[g + 1] = c[g - 2];
          c[g + 2] = c[g - 1];
        }
        c[q + 1] = load;
        c[q + 2] = op;
        // Saturates: only "some" against "none" matters to the caller.
        const uint32_t moved = (p - q) / 3;
        swaps = moved > static_cast<uint32_t>(INT_MAX - swaps) ? INT_MAX : swaps + static_cast<int>(moved);
      }
      p += 3;
    }
    i = p - 1;
  }
  if (swaps != 0) Invalidate();
  return swaps;
}

void CFormulaProgram::Optimize(const uint8_t* isConstant, uint32_t count) {
  for (;;) {
    const int folded = FoldConstants(isConstant, count);
    const int swapped = ReorderOperands(isConstant, count);
    if (folded == 0 && swapped == 0) break;
  }
  Invalidate();
}
