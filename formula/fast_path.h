// The fast form behind CFormulaProgram::Evaluate, internal to the library.
//
// The stack code is translated once into three-address instructions whose
// operands point straight at the value array or at temporaries, so loads and
// pushes cost nothing at run time and each operator is one dispatch. Every
// instruction writes its own temporary, which lets repeated sub-expressions
// (same operation on the same operands) be computed once: the operations are
// pure, so the reuse cannot change a bit. A value computed inside a branch of
// a conditional is reused only within that branch.
//
// Only code of the shape the compiler and optimiser produce is translated;
// anything else (error words, stray labels, unbalanced stacks) leaves the
// form unusable and Evaluate interprets. Every domain error leaves the fast
// form and re-runs the interpreter, which therefore decides the error result
// and the ok flag.
//
// Every operation is computed by the same code as the interpreter's
// (formula/operations.h), so the form gives the interpreter's bits. Two
// powers take another way to the same bits: x'n for a constant whole
// n = 2..8 and E'u with the constant E (formula/pow_kernels.h).
#pragma once

#include <cstdint>
#include <vector>

namespace formula_detail {

struct FastIns {
  uint16_t op;
  uint16_t handler;  // op, where its operands come from, whether d is stored
  uint32_t target;  // jump destination (instruction index)
  const double* a;
  const double* b;
  double* d;
  double k;  // a constant folded into the instruction (1/n, ln base, n)
  double (*kernel)(double);  // the function of a power with std::pow's bits
};

struct FastForm {
  // The code it was built from, for the interpreter to take over.
  const uint16_t* code = nullptr;
  uint32_t length = 0;
  const double* values = nullptr;
  std::vector<FastIns> ins;
  std::vector<double> temps;
  bool usable = false;
  bool loadsOutside = false; // the code reads beyond the value array
};

// Translates code; values (valueCount of them, the variables first) must
// stay where they are until the next build.
void BuildFastForm(FastForm& form, const uint16_t* code, uint32_t length, const double* values,
                   uint32_t valueCount, uint32_t variableCount);

// Runs the form (or the interpreter when the form is unusable or meets an
// error); ok as for EvaluateCode. Code that loads beyond the value array
// (only hand-written code can) gives the error result without reading.
double RunFastForm(const FastForm& form, int* ok);

// A form of one addition, subtraction or multiplication of two operands
// needs no dispatch: its opcode, else 0.
uint16_t SingleArithmetic(const FastForm& form);

}  // namespace formula_detail
