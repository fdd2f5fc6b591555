// Shared helpers of the formula tests: a variable table behind the lookup
// callback, and compile-and-evaluate shortcuts.
#pragma once

#include "formula/formula.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace formula_test {

// Variables x, y, a, b, c, d (indices 0-5) and X, Y, Z, A, B, C, F (6-12).
inline const char* const kVariableNames[] = {"x", "y", "a", "b", "c", "d", "X",
                                             "Y", "Z", "A", "B", "C", "F"};
inline constexpr int kVariableCount = 13;

inline int LookupVariable(void*, const char* text, double*, unsigned* index) {
  const unsigned char next = static_cast<unsigned char>(text[0] == '\0' ? 0 : text[1]);
  const bool nameEnds = !((next >= '0' && next <= '9') || (next >= 'a' && next <= 'z') ||
                          (next >= 'A' && next <= 'Z') || next == '_');
  if (!nameEnds) return 0;
  for (int i = 0; i < kVariableCount; ++i) {
    if (text[0] == kVariableNames[i][0]) {
      *index = static_cast<unsigned>(i);
      return 1;
    }
  }
  return 0;
}

inline uint64_t Bits(double v) {
  uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

inline double FromBits(uint64_t b) {
  double v;
  std::memcpy(&v, &b, sizeof v);
  return v;
}

// Compiles text over the test variables; false on a compile error, with the
// error offset in *errorOffset.
inline bool CompileText(CFormulaProgram& p, const std::string& text, int* errorOffset = nullptr) {
  p.Reset(kVariableCount, LookupVariable, nullptr);
  const char* error = nullptr;
  const BOOL ok = p.Compile(text.c_str(), &error);
  if (errorOffset != nullptr) *errorOffset = ok ? -1 : static_cast<int>(error - text.c_str());
  return ok != FALSE;
}

// The default test values: x = 0.75, y = -1.25, a = 2, b = 3, c = 5, d = -0.5,
// X = 1.5, Y = 2.5, Z = 0.8, A = 1.5, B = 2, C = 0.5, F = 3.
inline std::vector<double> DefaultValues() {
  return {0.75, -1.25, 2, 3, 5, -0.5, 1.5, 2.5, 0.8, 1.5, 2, 0.5, 3};
}

struct Outcome {
  double value;
  int ok;
};

// Runs the plain interpreter over the program's code and values.
inline Outcome Interpret(const CFormulaProgram& p) {
  int ok = 1;
  const double v = EvaluateCode(p.Code(), p.CodeLength(), p.Values(), &ok);
  return {v, ok};
}

}  // namespace formula_test
