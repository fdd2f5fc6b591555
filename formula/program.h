// One compiled formula: its code words, the value array (variables first,
// the constants the compiler and optimiser found behind them), the name
// lookup, and a cached fast form of the code behind Evaluate.
#pragma once

#include "formula/code_format.h"
#include "formula/evaluator.h"
#include "platform/types.h"

#include <cstdint>

namespace formula_detail {
struct FastForm;
}

class CFormulaProgram {
 public:
  CFormulaProgram();
  ~CFormulaProgram();
  // CopyTo is the copy; an implicit copy would share and double-free arrays.
  CFormulaProgram(const CFormulaProgram&) = delete;
  CFormulaProgram& operator=(const CFormulaProgram&) = delete;
  CFormulaProgram(CFormulaProgram&& other) noexcept;
  CFormulaProgram& operator=(CFormulaProgram&& other) noexcept;

  // Releases both arrays and zeroes every field.
  void Free();

  // Starts a new formula over valueCount variables (0-4096): stores the
  // lookup and its context, empties the code, and sizes the value array
  // (multiples of 256; a larger array and its contents are kept). Any other
  // count returns false and leaves no variables.
  bool Reset(int valueCount, FormulaLookupProc lookup, void* context);

  // Appends the code of one formula. On failure the code length is restored
  // and *errorPosition points into text where parsing stopped; on success it
  // receives an empty string.
  BOOL Compile(const char* text, const char** errorPosition);

  // Rewrites the code with the flagged variables (index < count) held
  // constant; every index at or above the variable count is a constant.
  void Optimize(const uint8_t* isConstant, uint32_t count);
  int FoldConstants(const uint8_t* isConstant, uint32_t count);
  int ReorderOperands(const uint8_t* isConstant, uint32_t count);

  // Appends a value; returns its index, or -1 when all 4096 are taken.
  int AddConstant(double value);
  // Appends a code word; returns the new code length.
  uint32_t Emit(uint16_t word);

  // Copies source into destination (both may be null, then nothing happens).
  static void CopyTo(const CFormulaProgram* source, CFormulaProgram* destination);
  // Sets, atomically, the bit of every variable the code loads below bits;
  // returns how many loads were marked. clearFirst clears (bits + 7) / 8
  // bytes first, also for a null program.
  static int MarkUsedVariables(const CFormulaProgram* program, uint32_t* bitset, uint32_t bits,
                               bool clearFirst);
  // Exchanges indices a and b in every load: 0 done, 1 null program, 2 or 3
  // when a or b is not below the value count.
  static int SwapVariables(CFormulaProgram* program, uint32_t a, uint32_t b);

  // Copies min(n, variable count) values to the variables.
  void SetValues(const double* values, int n) {
    if (values == nullptr || n <= 0) return;
    const uint32_t count = static_cast<uint32_t>(n) < m_variableCount ? static_cast<uint32_t>(n)
                                                                      : m_variableCount;
    double* to = m_values;
    // Straight-line copies for the usual handful of variables (it runs once
    // per plotted point).
    switch (count > 8 ? 9u : count) {
      case 9:
        for (uint32_t i = 8; i < count; ++i) CopyDouble(to + i, values + i);
        [[fallthrough]];
      case 8: CopyDouble(to + 7, values + 7); [[fallthrough]];
      case 7: CopyDouble(to + 6, values + 6); [[fallthrough]];
      case 6: CopyDouble(to + 5, values + 5); [[fallthrough]];
      case 5: CopyDouble(to + 4, values + 4); [[fallthrough]];
      case 4: CopyDouble(to + 3, values + 3); [[fallthrough]];
      case 3: CopyDouble(to + 2, values + 2); [[fallthrough]];
      case 2: CopyDouble(to + 1, values + 1); [[fallthrough]];
      case 1: CopyDouble(to, values); break;
      default: break;
    }
  }
  // Sets *ok to 1 and evaluates: the result and the ok flag are
  // EvaluateCode's over the same code and values, bit for bit. The first
  // call after a change of code or constants builds the fast form.
  double Evaluate(int* ok) {
    if (ok != nullptr) *ok = 1;
    // A lone product (what a scaled variable optimises to) needs no call.
    if (m_productA != nullptr) return *m_productA * *m_productB;
    return m_run(*this, ok);
  }

  const char* Position() const { return m_position; }
  void* LookupContext() const { return m_lookupContext; }
  FormulaLookupProc Lookup() const { return m_lookup; }
  const double* Values() const { return m_values; }
  uint32_t ValueCount() const { return m_valueCount; }
  uint32_t ValueCapacity() const { return m_valueCapacity; }
  uint32_t VariableCount() const { return m_variableCount; }
  const uint16_t* Code() const { return m_code; }
  uint32_t CodeLength() const { return m_codeLength; }
  uint32_t CodeCapacity() const { return m_codeCapacity; }
  uint32_t LabelCounter() const { return m_labelCounter; }

 private:
  friend class FormulaCompiler;

  // Copies one double through a register of its own. The caller has just
  // stored these doubles one by one; a compiler that merged neighbouring
  // copies into one wide load would stall on store forwarding.
  static void CopyDouble(double* to, const double* from) {
    double v = *from;
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    __asm__("" : "+x"(v));
#endif
    *to = v;
  }

  // Inline: the optimiser asks it for every word it walks past.
  bool IsConstantLoad(uint16_t word, const uint8_t* isConstant, uint32_t count) const {
    if (!IsLoadWord(word)) return false;
    const uint32_t index = word & FormulaIndexMask;
    if (index >= m_variableCount) return true;
    return isConstant != nullptr && index < count && isConstant[index] != 0;
  }
  using Runner = double (*)(CFormulaProgram& program, int* ok);
  void Invalidate() {
    m_run = &RunStale;
    m_productA = nullptr;
  }
  static double RunStale(CFormulaProgram& program, int* ok);
  static double RunForm(CFormulaProgram& program, int* ok);
  static double RunAdd(CFormulaProgram& program, int* ok);
  static double RunSub(CFormulaProgram& program, int* ok);

  const char* m_position;
  void* m_lookupContext;
  FormulaLookupProc m_lookup;
  double* m_values;
  uint32_t m_valueCount;
  uint32_t m_valueCapacity;
  uint16_t* m_code;
  uint32_t m_codeLength;
  uint32_t m_codeCapacity;
  uint32_t m_labelCounter;
  // Reset's count: the slots SetValues may write and the callback may name.
  uint32_t m_variableCount;
  // The fast form, and its entry: RunStale while the form must be rebuilt.
  formula_detail::FastForm* m_fast;
  Runner m_run;
  // The operands of a form that is one addition or subtraction, and of one
  // that is a product (null when it is not).
  const double* m_kernelA;
  const double* m_kernelB;
  const double* m_productA;
  const double* m_productB;
};
