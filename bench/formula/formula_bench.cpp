// Formula evaluation speed against muparser, fparser and compiled C++.
//
//   formula_bench          agreement check, then the timing table
//   formula_bench --check  agreement check only (exit 1 on any disagreement)
//
// Every engine evaluates the same precomputed points one at a time, the way
// the plotter samples a curve or a surface.
#include "formula/formula.h"

#include <fparser.hh>
#include <muParser.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr double kE = 2.718281828459045;
constexpr double kPi = 3.141592653589793;

// Sliders, read at run time so the C++ baseline cannot fold them.
struct Sliders {
  double Z, A, B, C, F;
};
volatile double gSliderSource[5] = {0.8, 1.5, 2, 0.5, 3};

Sliders ReadSliders() {
  return {gSliderSource[0], gSliderSource[1], gSliderSource[2], gSliderSource[3], gSliderSource[4]};
}

using CppFormula = double (*)(double X, double Y, const Sliders& s);

struct Formula {
  const char* ours;      // Latin-1, ² and ³ as 0xB2 and 0xB3
  const char* muparser;  // null: not expressible
  const char* fparser;
  CppFormula cpp;
  bool threeD;
};

const Formula kFormulas[] = {
    {"cos(X)*Z", "cos(X)*Z", "cos(X)*Z", [](double X, double, const Sliders& s) { return std::cos(X) * s.Z; }, false},
    {"A*sin(B*X + C)", "A*sin(B*X + C)", "A*sin(B*X + C)",
     [](double X, double, const Sliders& s) { return s.A * std::sin(s.B * X + s.C); }, false},
    {"X\xB3 - 2*X\xB2 + X - 5", "X^3 - 2*X^2 + X - 5", "X^3 - 2*X^2 + X - 5",
     [](double X, double, const Sliders&) { return X * X * X - 2 * (X * X) + X - 5; }, false},
    {"A*X\xB2 + B*X + C", "A*X^2 + B*X + C", "A*X^2 + B*X + C",
     [](double X, double, const Sliders& s) { return s.A * (X * X) + s.B * X + s.C; }, false},
    {"e'(-X\xB2/2)/sqrt(2*pi)", "exp(-X^2/2)/sqrt(2*pi)", "exp(-X^2/2)/sqrt(2*pi)",
     [](double X, double, const Sliders&) { return std::pow(kE, -(X * X) / 2) / std::sqrt(2 * kPi); }, false},
    {"1 - X\xB2/2 + X'4/24 - X'6/720 + X'8/40320", "1 - X^2/2 + X^4/24 - X^6/720 + X^8/40320",
     "1 - X^2/2 + X^4/24 - X^6/720 + X^8/40320",
     [](double X, double, const Sliders&) {
       return 1 - (X * X) / 2 + std::pow(X, 4) / 24 - std::pow(X, 6) / 720 + std::pow(X, 8) / 40320;
     },
     false},
    {"2*pi*F*X", "2*pi*F*X", "2*pi*F*X", [](double X, double, const Sliders& s) { return 2 * kPi * s.F * X; }, false},
    {"(X > 0) ? sqrt X : -sqrt(-X)", "(X > 0) ? sqrt(X) : -sqrt(-X)", "if(X > 0, sqrt(X), -sqrt(-X))",
     [](double X, double, const Sliders&) { return X > 0 ? std::sqrt(X) : -std::sqrt(-X); }, false},
    {"sin(cos(tan(X)))", "sin(cos(tan(X)))", "sin(cos(tan(X)))",
     [](double X, double, const Sliders&) { return std::sin(std::cos(std::tan(X))); }, false},
    {"ln(abs X + 1) + log2 (X\xB2 + 1)", "ln(abs(X) + 1) + log2(X^2 + 1)", "log(abs(X) + 1) + log2(X^2 + 1)",
     [](double X, double, const Sliders&) {
       return std::log(std::fabs(X) + 1) + std::log(X * X + 1) / std::log(2.0);
     },
     false},
    {"atanh(X/6) + acosh(abs X + 1)", "atanh(X/6) + acosh(abs(X) + 1)", "atanh(X/6) + acosh(abs(X) + 1)",
     [](double X, double, const Sliders&) { return std::atanh(X / 6) + std::acosh(std::fabs(X) + 1); }, false},
    {"sin(sqrt(X\xB2 + Y\xB2))/sqrt(X\xB2 + Y\xB2)", "sin(sqrt(X^2 + Y^2))/sqrt(X^2 + Y^2)",
     "sin(sqrt(X^2 + Y^2))/sqrt(X^2 + Y^2)",
     [](double X, double Y, const Sliders&) {
       return std::sin(std::sqrt(X * X + Y * Y)) / std::sqrt(X * X + Y * Y);
     },
     true},
    {"X*Y*e'(-(X\xB2 + Y\xB2))", "X*Y*exp(-(X^2 + Y^2))", "X*Y*exp(-(X^2 + Y^2))",
     [](double X, double Y, const Sliders&) { return X * Y * std::pow(kE, -(X * X + Y * Y)); }, true},
    {"(X*16 & Y*16) ^ 7", nullptr, nullptr,
     [](double X, double Y, const Sliders&) {
       auto toInt = [](double v) {
         return (v >= -9223372036854775808.0 && v < 9223372036854775808.0) ? static_cast<int64_t>(v)
                                                                             : INT64_MIN;
       };
       return static_cast<double>((toInt(X * 16) & toInt(Y * 16)) ^ 7);
     },
     true},
};

// Variables of our engine: X, Y, then the sliders.
const char* const kNames[] = {"X", "Y", "Z", "A", "B", "C", "F"};
constexpr int kNameCount = 7;

int Lookup(void*, const char* text, double*, unsigned* index) {
  for (int i = 0; i < kNameCount; ++i) {
    if (text[0] == kNames[i][0] && !std::isalnum(static_cast<unsigned char>(text[1])) && text[1] != '_') {
      *index = static_cast<unsigned>(i);
      return 1;
    }
  }
  return 0;
}

struct Points {
  std::vector<double> x, y;
};

Points MakePoints(bool threeD) {
  Points p;
  if (!threeD) {
    for (int i = 0; i < 1600; ++i) {
      p.x.push_back(-5 + 10.0 * i / 1599);
      p.y.push_back(0);
    }
    return p;
  }
  for (int j = 0; j < 200; ++j) {
    for (int i = 0; i < 200; ++i) {
      p.x.push_back(-5 + 10.0 * i / 199);
      p.y.push_back(-3 + 6.0 * j / 199);
    }
  }
  return p;
}

// Our engine, per point: the table of X, Y and sliders, SetValues, Evaluate.
struct Ours {
  CFormulaProgram program;
  double table[kNameCount];
  bool Build(const char* text, bool optimize, const Sliders& s) {
    CFormulaProgram compiled;
    compiled.Reset(kNameCount, Lookup, nullptr);
    if (!compiled.Compile(text, nullptr)) return false;
    table[0] = table[1] = 0;
    table[2] = s.Z;
    table[3] = s.A;
    table[4] = s.B;
    table[5] = s.C;
    table[6] = s.F;
    CFormulaProgram::CopyTo(&compiled, &program);
    program.SetValues(table, kNameCount);
    if (optimize) {
      const uint8_t constant[kNameCount] = {0, 0, 1, 1, 1, 1, 1};
      program.Optimize(constant, kNameCount);
    }
    return true;
  }
  void Run(const Points& pts, double* out, int* okOut) {
    for (size_t i = 0; i < pts.x.size(); ++i) {
      table[0] = pts.x[i];
      table[1] = pts.y[i];
      program.SetValues(table, kNameCount);
      int ok;
      out[i] = program.Evaluate(&ok);
      if (okOut != nullptr) okOut[i] = ok;
    }
  }
};

// What the peers learn as constants: the sliders, pi and e (our doubles).
struct NamedConstant {
  const char* name;
  double value;
};
std::vector<NamedConstant> Constants(const Sliders& s) {
  return {{"Z", s.Z}, {"A", s.A}, {"B", s.B}, {"C", s.C}, {"F", s.F}, {"pi", kPi}, {"e", kE}};
}

struct MuParser {
  mu::Parser parser;
  double x = 0, y = 0;
  bool Build(const char* text, const Sliders& s) {
    try {
      parser.DefineVar("X", &x);
      parser.DefineVar("Y", &y);
      for (const NamedConstant& c : Constants(s)) parser.DefineConst(c.name, c.value);
      parser.SetExpr(text);
      parser.Eval();
    } catch (const mu::Parser::exception_type& e) {
      std::printf("muparser: %s\n", e.GetMsg().c_str());
      return false;
    }
    return true;
  }
  void Run(const Points& pts, double* out) {
    for (size_t i = 0; i < pts.x.size(); ++i) {
      x = pts.x[i];
      y = pts.y[i];
      out[i] = parser.Eval();
    }
  }
};

struct FParser {
  FunctionParser parser;
  bool Build(const char* text, const Sliders& s) {
    for (const NamedConstant& c : Constants(s)) parser.AddConstant(c.name, c.value);
    if (parser.Parse(text, "X,Y") >= 0) {
      std::printf("fparser: %s\n", parser.ErrorMsg());
      return false;
    }
    parser.Optimize();
    return true;
  }
  void Run(const Points& pts, double* out) {
    double vars[2];
    for (size_t i = 0; i < pts.x.size(); ++i) {
      vars[0] = pts.x[i];
      vars[1] = pts.y[i];
      out[i] = parser.Eval(vars);
    }
  }
};

// Scalar, one sample at a time, as the plotter would call it.
#if defined(__clang__)
#define BENCH_SCALAR
#define BENCH_SCALAR_LOOP _Pragma("clang loop vectorize(disable) interleave(disable)")
#else
#define BENCH_SCALAR __attribute__((optimize("no-tree-vectorize")))
#define BENCH_SCALAR_LOOP
#endif
__attribute__((noinline)) BENCH_SCALAR void RunCpp(CppFormula f, const Points& pts, const Sliders& s,
                                                   double* out) {
  BENCH_SCALAR_LOOP
  for (size_t i = 0; i < pts.x.size(); ++i) out[i] = f(pts.x[i], pts.y[i], s);
}

// Best of seven passes, in nanoseconds per evaluation.
double Time(size_t points, const std::function<void()>& pass) {
  double best = 1e300;
  for (int k = 0; k < 7; ++k) {
    const auto t0 = std::chrono::steady_clock::now();
    pass();
    const auto t1 = std::chrono::steady_clock::now();
    best = std::min(best, std::chrono::duration<double, std::nano>(t1 - t0).count() / points);
  }
  return best;
}

bool Agree(double ref, double v) {
  if (std::isnan(ref) || std::isnan(v)) return std::isnan(ref) && std::isnan(v);
  if (std::isinf(ref) || std::isinf(v)) return ref == v;
  return std::fabs(ref - v) <= 1e-12 * std::max(std::fabs(ref), std::fabs(v));
}

double GeoMean(const std::vector<double>& v) {
  double s = 0;
  for (double x : v) s += std::log(x);
  return v.empty() ? 0 : std::exp(s / v.size());
}

}  // namespace

int main(int argc, char** argv) {
  const bool checkOnly = argc > 1 && std::strcmp(argv[1], "--check") == 0;
  const Sliders s = ReadSliders();
  const Points points2D = MakePoints(false);
  const Points points3D = MakePoints(true);
  bool agree = true;

  struct Row {
    const char* name;
    double cpp, mu, fp, plain, fast;
    bool peers;
  };
  std::vector<Row> rows;

  for (const Formula& f : kFormulas) {
    const Points& pts = f.threeD ? points3D : points2D;
    const size_t n = pts.x.size();
    Ours plain, fast;
    if (!plain.Build(f.ours, false, s) || !fast.Build(f.ours, true, s)) {
      std::printf("FAIL: ours does not compile %s\n", f.ours);
      return 1;
    }
    std::vector<double> cppOut(n), plainOut(n), fastOut(n), muOut(n), fpOut(n);
    std::vector<int> plainOk(n), fastOk(n);
    RunCpp(f.cpp, pts, s, cppOut.data());
    plain.Run(pts, plainOut.data(), plainOk.data());
    fast.Run(pts, fastOut.data(), fastOk.data());
    MuParser mu;
    FParser fp;
    const bool peers = f.muparser != nullptr;
    if (peers && (!mu.Build(f.muparser, s) || !fp.Build(f.fparser, s))) {
      std::printf("FAIL: a peer does not parse %s\n", f.ours);
      return 1;
    }
    if (peers) {
      mu.Run(pts, muOut.data());
      fp.Run(pts, fpOut.data());
    }
    size_t bad = 0;
    for (size_t i = 0; i < n; ++i) {
      const bool okAll = plainOk[i] && fastOk[i];
      std::vector<double> others = {cppOut[i], fastOut[i]};
      if (peers) {
        others.push_back(muOut[i]);
        others.push_back(fpOut[i]);
      }
      if (okAll) {
        for (double o : others) {
          if (!Agree(plainOut[i], o)) ++bad;
        }
      } else {
        for (size_t k = 2; k < others.size(); ++k)
          if (std::isfinite(others[k])) ++bad;
      }
    }
    // Fast path against the interpreter, point by point.
    size_t fastBad = 0;
    {
      Ours probe;
      probe.Build(f.ours, true, s);
      for (size_t i = 0; i < n; ++i) {
        probe.table[0] = pts.x[i];
        probe.table[1] = pts.y[i];
        probe.program.SetValues(probe.table, kNameCount);
        int okFast = 1, okRef = 1;
        const double v = probe.program.Evaluate(&okFast);
        const double r = EvaluateCode(probe.program.Code(), probe.program.CodeLength(),
                                      probe.program.Values(), &okRef);
        if (okFast != okRef || !Agree(r, v)) ++fastBad;
      }
    }
    if (bad != 0 || fastBad != 0 || n < 200) {
      std::printf("FAIL: %s: %zu disagreements among engines, %zu fast-path mismatches\n", f.ours, bad,
                  fastBad);
      agree = false;
    }
    if (checkOnly) continue;

    Row r{f.ours, 0, 0, 0, 0, 0, peers};
    r.cpp = Time(n, [&] { RunCpp(f.cpp, pts, s, cppOut.data()); });
    r.plain = Time(n, [&] { plain.Run(pts, plainOut.data(), nullptr); });
    r.fast = Time(n, [&] { fast.Run(pts, fastOut.data(), nullptr); });
    if (peers) {
      r.mu = Time(n, [&] { mu.Run(pts, muOut.data()); });
      r.fp = Time(n, [&] { fp.Run(pts, fpOut.data()); });
    }
    rows.push_back(r);
  }
  if (checkOnly) {
    std::printf(agree ? "formula_bench: all engines agree\n" : "formula_bench: disagreement\n");
    return agree ? 0 : 1;
  }

  std::printf("\n%-44s %8s %8s %8s %8s %8s %9s %9s\n", "formula (ns per evaluation)", "C++", "muparser",
              "fparser", "ours", "ours opt", "opt/C++", "peer/opt");
  std::vector<double> vsCpp, vsPeer;
  bool everyFormula = true;
  for (const Row& r : rows) {
    std::string name = r.name;
    for (char& c : name) {
      if (static_cast<unsigned char>(c) == 0xB2) c = '2';
      if (static_cast<unsigned char>(c) == 0xB3) c = '3';
    }
    const double peer = r.peers ? std::min(r.mu, r.fp) : 0;
    std::printf("%-44s %8.2f %8.2f %8.2f %8.2f %8.2f %9.2f %9.2f\n", name.c_str(), r.cpp, r.mu, r.fp, r.plain,
                r.fast, r.fast / r.cpp, r.peers ? peer / r.fast : 0.0);
    vsCpp.push_back(r.fast / r.cpp);
    if (r.peers) {
      vsPeer.push_back(peer / r.fast);
      if (r.fast > peer) everyFormula = false;
    }
  }
  const double gPeer = GeoMean(vsPeer), gCpp = GeoMean(vsCpp);
  std::printf("\ngeometric mean: ours opt / C++ = %.2f (target <= 2), faster peer / ours opt = %.2f (target >= 1.3)\n",
              gCpp, gPeer);
  std::printf("at least as fast as the faster peer on every formula: %s\n", everyFormula ? "yes" : "no");
  const bool met = everyFormula && gPeer >= 1.3 && gCpp <= 2.0;
  std::printf("targets %s\n", met ? "met" : "MISSED");
  return agree ? 0 : 1;
}
