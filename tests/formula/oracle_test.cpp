// Random formulas against a tree oracle: a random expression tree is
// printed as formula text, compiled, and evaluated both by the engine and
// directly with <cmath> in the same order.
#include "formula_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <random>
#include <string>

using namespace formula_test;

namespace {

enum class Kind { Variable, Number, Prefix, Postfix, Function, Binary, Conditional };

struct Node {
  Kind kind;
  int index = 0;  // variable index, or the operator/function table row
  double number = 0;
  std::unique_ptr<Node> a, b, c;
};

struct BinaryRow {
  const char* text;
  int level;
};
// Level as the compiler reads them; the oracle applies the same operations.
const BinaryRow kBinary[] = {{"&&", 0}, {"||", 0}, {"==", 1}, {"!=", 1}, {"<", 1},  {"<=", 1},
                             {">", 1},  {">=", 1}, {"&", 2},  {"|", 2},  {"^", 2},  {"<<", 3},
                             {">>", 3}, {"+", 4},  {"-", 4},  {"*", 5},  {"/", 5},  {"%", 5},
                             {"'", 6}};
const char* const kPrefix[] = {"-", "+", "~", "!"};
const char* const kFunctions[] = {"abs",  "acos",  "asin",  "atan",  "acot", "acosh", "asinh", "atanh",
                                  "acoth", "cos",  "sin",   "tan",   "cot",  "cosh",  "sinh",  "tanh",
                                  "coth",  "ceil", "floor", "round", "ln",   "log",   "sqrt",  "log2",
                                  "log10", "root3", "e"};
constexpr int kFunctionCount = 23;  // then log2, log10, root3 (indexed), and the constant e
const double kNumbers[] = {0.5, 2, 3, 10, 0.1, 1e-3, 7.25, 100, 0, 1, 64, 1e300};

const double kHalfPi = 1.5707963267948966;
const double kE = 2.718281828459045;

struct Generator {
  std::mt19937_64 rng;
  bool smoothOnly;  // no rounding, comparisons, integer operators or conditionals

  int Pick(int n) { return static_cast<int>(rng() % static_cast<uint64_t>(n)); }

  std::unique_ptr<Node> Leaf() {
    auto n = std::make_unique<Node>();
    if (Pick(3) != 0) {
      n->kind = Kind::Variable;
      n->index = Pick(6);
    } else {
      n->kind = Kind::Number;
      n->number = kNumbers[Pick(smoothOnly ? 8 : 12)];
    }
    return n;
  }

  // A conditional's false branch runs to the end of the text, so it may
  // stand only where nothing follows and nothing wraps it in parentheses:
  // as the whole formula, as a false branch, or as a right operand there.
  std::unique_ptr<Node> Conditional(int depth) {
    auto n = std::make_unique<Node>();
    n->kind = Kind::Conditional;
    n->a = Make(depth - 1, false);
    n->b = Make(depth - 1, false);
    n->c = Make(depth - 1, true);
    return n;
  }

  std::unique_ptr<Node> Make(int depth, bool rightmost) {
    if (depth <= 0 || Pick(4) == 0) return Leaf();
    if (rightmost && !smoothOnly && Pick(6) == 0) return Conditional(depth);
    auto n = std::make_unique<Node>();
    const int choice = Pick(8);
    if (choice < 4) {
      n->kind = Kind::Binary;
      if (smoothOnly) {
        const int smooth[] = {13, 14, 15, 16, 18};  // + - * / '
        n->index = smooth[Pick(5)];
      } else {
        n->index = Pick(19);
      }
      n->a = Make(depth - 1, false);
      n->b = (rightmost && !smoothOnly && Pick(4) == 0) ? Conditional(depth - 1) : Make(depth - 1, false);
    } else if (choice < 5) {
      n->kind = Kind::Prefix;
      n->index = smoothOnly ? (Pick(2) == 0 ? 0 : 1) : Pick(4);
      n->a = Make(depth - 1, false);
    } else if (choice < 6) {
      n->kind = Kind::Postfix;
      n->index = Pick(2);
      n->a = Make(depth - 1, false);
    } else {
      n->kind = Kind::Function;
      if (smoothOnly) {
        const int smooth[] = {0, 3, 4, 6, 9, 10, 13, 14, 15, 26};  // no domain edges, no rounding; 26 is e
        n->index = smooth[Pick(10)];
      } else {
        n->index = Pick(kFunctionCount + 4);
      }
      if (n->index != kFunctionCount + 3) n->a = Make(depth - 1, false);
    }
    return n;
  }
};

bool IsLeaf(const Node& n) { return n.kind == Kind::Variable || n.kind == Kind::Number; }

std::string Print(const Node& n);

std::string Wrapped(const Node& n) { return IsLeaf(n) ? Print(n) : "(" + Print(n) + ")"; }

std::string Print(const Node& n) {
  switch (n.kind) {
    case Kind::Variable: return kVariableNames[n.index];
    case Kind::Number: {
      char buf[40];
      std::snprintf(buf, sizeof buf, "%.17g", n.number);
      return buf;
    }
    case Kind::Prefix: return std::string(kPrefix[n.index]) + Wrapped(*n.a);
    case Kind::Postfix: return Wrapped(*n.a) + (n.index == 0 ? "\xB2" : "\xB3");
    case Kind::Function:
      if (n.index == kFunctionCount + 3) return "e";
      return std::string(kFunctions[n.index]) + (IsLeaf(*n.a) ? " " + Print(*n.a) : Wrapped(*n.a));
    case Kind::Conditional: return Wrapped(*n.a) + " ? " + Print(*n.b) + " : " + Print(*n.c);
    case Kind::Binary: {
      const int level = kBinary[n.index].level;
      std::string left = Print(*n.a);
      // Left operands bind unless they are looser binaries or prefix forms.
      const bool wrapLeft = (n.a->kind == Kind::Binary && kBinary[n.a->index].level < level) ||
                            n.a->kind == Kind::Prefix;
      // Right operands: anything but a leaf, a function or a postfix form of
      // a leaf is wrapped when it could bind looser; a conditional never is.
      bool wrapRight = false;
      if (n.b->kind == Kind::Binary) wrapRight = kBinary[n.b->index].level <= level;
      if (n.b->kind == Kind::Postfix) wrapRight = level >= 6;
      if (n.b->kind == Kind::Prefix) wrapRight = level >= 6;
      const std::string right = Print(*n.b);
      return (wrapLeft ? "(" + left + ")" : left) + " " + kBinary[n.index].text + " " +
             (wrapRight ? "(" + right + ")" : right);
    }
  }
  return "";
}

int64_t Truncated(double v) {
  if (!(v >= -9223372036854775808.0 && v < 9223372036854775808.0)) return INT64_MIN;
  return static_cast<int64_t>(v);
}

// Evaluates in the engine's order; slot tracks what its stack slot 0 holds,
// so an error gives the same NaN as the engine.
struct Oracle {
  const std::vector<double>& values;
  double slot0 = 0;
  bool failed = false;
  double largest = 0;

  double Done(double v, int slot) {
    if (slot == 0) slot0 = v;
    if (std::isfinite(v)) largest = std::max(largest, std::fabs(v));
    return v;
  }
  double Fail() {
    failed = true;
    return 0;
  }

  double Eval(const Node& n, int slot) {
    if (failed) return 0;
    switch (n.kind) {
      case Kind::Variable: return Done(values[n.index], slot);
      case Kind::Number: return Done(n.number, slot);
      case Kind::Prefix: {
        const double x = Eval(*n.a, slot);
        if (failed) return 0;
        const double r[] = {-x, x, static_cast<double>(~Truncated(x)), x == 0 ? 1.0 : 0.0};
        // A leading '+' emits no code, so the operand's value stands.
        return n.index == 1 ? x : Done(r[n.index], slot);
      }
      case Kind::Postfix: {
        const double x = Eval(*n.a, slot);
        if (failed) return 0;
        return Done(n.index == 0 ? x * x : x * x * x, slot);
      }
      case Kind::Function: return Function(n, slot);
      case Kind::Conditional: {
        const double c = Eval(*n.a, slot);
        if (failed) return 0;
        return c != 0 ? Eval(*n.b, slot) : Eval(*n.c, slot);
      }
      case Kind::Binary: {
        const double a = Eval(*n.a, slot);
        if (failed) return 0;
        const double b = Eval(*n.b, slot + 1);
        if (failed) return 0;
        const int64_t ia = Truncated(a), ib = Truncated(b);
        const unsigned shift = static_cast<unsigned>(static_cast<uint64_t>(ib) & 0xFF);
        double r = 0;
        switch (n.index) {
          case 0: r = (a != 0 && b != 0) ? 1 : 0; break;
          case 1: r = (a != 0 || b != 0) ? 1 : 0; break;
          case 2: r = a == b; break;
          case 3: r = a != b; break;
          case 4: r = a < b; break;
          case 5: r = a <= b; break;
          case 6: r = a > b; break;
          case 7: r = a >= b; break;
          case 8: r = static_cast<double>(ia & ib); break;
          case 9: r = static_cast<double>(ia | ib); break;
          case 10: r = static_cast<double>(ia ^ ib); break;
          case 11: r = shift >= 64 ? 0.0 : static_cast<double>(static_cast<int64_t>(static_cast<uint64_t>(ia) << shift)); break;
          case 12: r = shift >= 64 ? (ia < 0 ? -1.0 : 0.0) : static_cast<double>(ia >> shift); break;
          case 13: r = a + b; break;
          case 14: r = a - b; break;
          case 15: r = a * b; break;
          case 16:
            if (b == 0) return Fail();
            r = a / b;
            break;
          case 17:
            if (b == 0) return Fail();
            r = std::fmod(a, b);
            break;
          case 18: r = std::pow(a, b); break;
        }
        return Done(r, slot);
      }
    }
    return 0;
  }

  double Function(const Node& n, int slot) {
    if (n.index == kFunctionCount + 3) return Done(kE, slot);
    if (n.index >= kFunctionCount) {  // log2, log10, root3: the constant loads first
      const double base = n.index == kFunctionCount ? 2 : n.index == kFunctionCount + 1 ? 10 : 3;
      Done(base, slot);
      const double x = Eval(*n.a, slot + 1);
      if (failed) return 0;
      return Done(n.index == kFunctionCount + 2 ? std::pow(x, 1 / base) : std::log(x) / std::log(base), slot);
    }
    const double x = Eval(*n.a, slot);
    if (failed) return 0;
    double r = 0;
    switch (n.index) {
      case 0: r = std::fabs(x); break;
      case 1: if (x > 1 || x < -1) return Fail(); r = std::acos(x); break;
      case 2: if (x > 1 || x < -1) return Fail(); r = std::asin(x); break;
      case 3: r = std::atan(x); break;
      case 4: r = kHalfPi - std::atan(x); break;
      case 5: if (x < 1) return Fail(); r = std::acosh(x); break;
      case 6: r = std::asinh(x); break;
      case 7: if (std::fabs(x) >= 1) return Fail(); r = std::atanh(x); break;
      case 8: if (std::fabs(x) <= 1) return Fail(); r = std::atanh(1 / x); break;
      case 9: r = std::cos(x); break;
      case 10: r = std::sin(x); break;
      case 11: r = std::tan(x); break;
      case 12: r = std::tan(kHalfPi - x); break;
      case 13: r = std::cosh(x); break;
      case 14: r = std::sinh(x); break;
      case 15: r = std::tanh(x); break;
      case 16: if (x == 0) return Fail(); r = 1 / std::tanh(x); break;
      case 17: r = std::ceil(x); break;
      case 18: r = std::floor(x); break;
      case 19: r = std::floor(x + 0.5); break;
      case 20: r = std::log(x); break;
      case 21: r = std::log10(x); break;
      case 22: if (x < 0) return Fail(); r = std::sqrt(x); break;
    }
    return Done(r, slot);
  }
};

double ErrorOf(double slot0) {
  if (!std::isfinite(slot0)) return slot0;
  return FromBits((Bits(slot0) & 0x0000FFFFFFFFFFFFull) | 0x7FFF000000000000ull);
}

bool SameBits(double a, double b) {
  // NaNs agree as NaNs: which operand's NaN survives an operation is up to
  // the instruction order the C++ compiler picked.
  if (std::isnan(a) && std::isnan(b)) return true;
  return Bits(a) == Bits(b);
}

std::vector<std::vector<double>> ValueSets() {
  std::vector<std::vector<double>> sets = {DefaultValues()};
  sets.push_back({0, -0.0, 1, -1, 0.5, 1e-300, 0, 0, 0, 0, 0, 0, 0});
  sets.push_back({3.5, 1e10, -7, 0.999, 64, -2.5, 0, 0, 0, 0, 0, 0, 0});
  return sets;
}

TEST(FormulaOracle, InterpreterAndFastPathMatchTheTreeBitForBit) {
  Generator gen{std::mt19937_64(20261207), false};
  const auto sets = ValueSets();
  int compiled = 0, failures = 0;
  for (int round = 0; round < 6000; ++round) {
    const auto tree = gen.Make(1 + round % 6, true);
    const std::string text = Print(*tree);
    CFormulaProgram p;
    int offset = 0;
    ASSERT_TRUE(CompileText(p, text, &offset)) << text << " fails at " << offset;
    ++compiled;
    for (const auto& values : sets) {
      p.SetValues(values.data(), static_cast<int>(values.size()));
      Oracle oracle{values};
      double want = oracle.Eval(*tree, 0);
      const int wantOk = oracle.failed ? 0 : 1;
      if (oracle.failed) want = ErrorOf(oracle.slot0);
      const Outcome got = Interpret(p);
      int fastOk = 1;
      const double fast = p.Evaluate(&fastOk);
      const bool good = got.ok == wantOk && SameBits(got.value, want);
      const bool fastGood = fastOk == got.ok && SameBits(fast, got.value);
      EXPECT_TRUE(good) << text << " gave " << got.value << " ok " << got.ok << ", tree " << want
                        << " ok " << wantOk;
      EXPECT_TRUE(fastGood) << text << " fast " << fast << " ok " << fastOk;
      if (!good || !fastGood) ++failures;
      if (failures > 10) return;
    }
  }
  EXPECT_EQ(compiled, 6000);
}

TEST(FormulaOracle, OptimisedFormulasStayWithinRounding) {
  Generator gen{std::mt19937_64(77), true};
  std::mt19937 flagsRng(5);
  const auto sets = ValueSets();
  int failures = 0;
  for (int round = 0; round < 4000; ++round) {
    const auto tree = gen.Make(1 + round % 6, true);
    const std::string text = Print(*tree);
    CFormulaProgram compiled;
    ASSERT_TRUE(CompileText(compiled, text)) << text;
    for (const auto& values : sets) {
      Oracle oracle{values};
      const double want = oracle.Eval(*tree, 0);
      CFormulaProgram p;
      CFormulaProgram::CopyTo(&compiled, &p);
      p.SetValues(values.data(), static_cast<int>(values.size()));
      uint8_t flags[6];
      for (uint8_t& f : flags) f = static_cast<uint8_t>(flagsRng() & 1);
      p.Optimize(flags, 6);
      const Outcome got = Interpret(p);
      int fastOk = 1;
      const double fast = p.Evaluate(&fastOk);
      const double tolerance = 1e-9 * std::max(oracle.largest, 1.0);
      bool good = got.ok == (oracle.failed ? 0 : 1) && fastOk == got.ok && SameBits(fast, got.value);
      if (good && !oracle.failed) {
        if (std::isnan(want) || std::isinf(want))
          good = SameBits(got.value, want) || (std::isinf(want) && std::fabs(got.value) > 1e300);
        else
          good = std::fabs(got.value - want) <= tolerance && std::fabs(fast - want) <= tolerance;
      }
      EXPECT_TRUE(good) << text << " optimised gave " << got.value << " (fast " << fast << ") ok "
                        << got.ok << ", tree " << want << " ok " << !oracle.failed;
      if (!good && ++failures > 10) return;
    }
  }
}

}  // namespace
