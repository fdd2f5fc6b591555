// Compiles fuzzed formula text and checks the code the compiler and the
// optimiser leave behind. Input: one flag byte, then the text.
//   flag bits 0-3: X, Y, A, B stay constant for the optimiser
//   flag bits 4-5: which set of variable values to evaluate with
#include "formula/fast_path.h"
#include "formula/formula.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kVariables = 4;  // X, Y, A, B

int Lookup(void*, const char* text, double* value, unsigned* index) {
  static const char kNames[] = "XYAB";
  for (int i = 0; i < kVariables; ++i) {
    if (text[0] == kNames[i]) {
      *index = static_cast<unsigned>(i);
      *value = 0;
      return 1;
    }
  }
  return 0;
}

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "formula_compile: %s\n", what);
  std::abort();
}

bool SameOutcome(double a, int okA, double b, int okB) {
  if (okA != okB) return false;
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
  uint64_t x, y;
  std::memcpy(&x, &a, sizeof x);
  std::memcpy(&y, &b, sizeof y);
  return x == y;
}

void CheckCode(const CFormulaProgram& p) {
  if (p.ValueCount() > FormulaMaxValues) Fail("value count above 4096");
  const uint16_t* code = p.Code();
  const uint32_t n = p.CodeLength();
  int depth = 0;
  int deepest = 0;
  std::vector<std::pair<uint16_t, int>> open;  // label, words seen (IF = 1, ELSE = 2)
  for (uint32_t i = 0; i < n; ++i) {
    const uint16_t w = code[i];
    if (IsLoadWord(w)) {
      if ((w & FormulaIndexMask) >= p.ValueCount()) Fail("load index beyond the values");
    } else if (IsIfWord(w)) {
      open.emplace_back(w & FormulaIndexMask, 1);
    } else if (IsElseWord(w)) {
      if (open.empty() || open.back().first != (w & FormulaIndexMask) || open.back().second != 1)
        Fail("ELSE out of order");
      open.back().second = 2;
    } else if (IsEndifWord(w)) {
      if (open.empty() || open.back().first != (w & FormulaIndexMask) || open.back().second != 2)
        Fail("ENDIF out of order");
      open.pop_back();
    } else if (IsOpcodeWord(w)) {
      depth += OpcodeStackDeltas[w];
      deepest = depth > deepest ? depth : deepest;
    }
  }
  if (!open.empty()) Fail("conditional left open");
  if (deepest >= static_cast<int>(FormulaStackSlots)) Fail("stack deeper than 512 slots");
}

void CheckEvaluation(CFormulaProgram& p, const double* values) {
  p.SetValues(values, kVariables);
  int okFast = 1, okPlain = 1;
  const double fast = p.Evaluate(&okFast);
  const double plain = EvaluateCode(p.Code(), p.CodeLength(), p.Values(), &okPlain);
  if (!SameOutcome(fast, okFast, plain, okPlain)) Fail("Evaluate differs from the interpreter");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 4096) return 0;
  const uint8_t flags = data[0];
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  static const double kValueSets[4][kVariables] = {
      {0.5, -2.0, 3.0, 1e-3}, {0.0, -0.0, 1.0, -1.0}, {1e300, -1e-300, 49.0, 2.0}, {-7.25, 64.0, 0.0, 1e9}};
  const double* values = kValueSets[(flags >> 4) & 3];

  CFormulaProgram p;
  p.Reset(kVariables, Lookup, nullptr);
  const uint32_t before = p.CodeLength();
  const char* error = nullptr;
  const BOOL compiled = p.Compile(text.c_str(), &error);
  if (!compiled) {
    if (p.CodeLength() != before) Fail("failed compile changed the code length");
    if (error < text.c_str() || error > text.c_str() + std::strlen(text.c_str())) Fail("error outside the text");
    return 0;
  }
  CheckCode(p);
  CheckEvaluation(p, values);

  CFormulaProgram copy;
  CFormulaProgram::CopyTo(&p, &copy);
  copy.SetValues(values, kVariables);
  uint8_t constant[kVariables];
  for (int i = 0; i < kVariables; ++i) constant[i] = (flags >> i) & 1;
  copy.Optimize(constant, kVariables);
  CheckCode(copy);
  CheckEvaluation(copy, values);
  return 0;
}
