// Times FormatToBuffer (and FormatCore behind it) against glibc's snprintf
// and {fmt}'s format_to_n, all into the same 256-byte buffer, and prints the
// time ratios. Target: at most 1.2x snprintf on each format and a geometric
// mean of at most 1.0x. `--check` compares the texts only.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "bench/bench_args.h"
#include "toolkit/format_print.h"

#if ZELVARO_BENCH_FMT
#include <fmt/format.h>
#endif

namespace {

constexpr int kValues = 64;
constexpr size_t kSize = 256;

struct Inputs {
  int ints[kValues];
  unsigned uints[kValues];
  double reals[kValues];
  const char* words[kValues];
};

Inputs MakeInputs() {
  static const char* const kWords[] = {"x", "alpha", "Temperatur", "Y", "cos(X)*Z",
                                       "Geschwindigkeit", "m/s", "Hz"};
  Inputs in;
  unsigned seed = 12345;
  auto next = [&] { return seed = seed * 1103515245u + 12345u; };
  for (int i = 0; i < kValues; ++i) {
    in.ints[i] = static_cast<int>(next() % 200000) - 100000;
    in.uints[i] = next() % 100000000u;
    in.reals[i] = (static_cast<double>(next() % 2000000) - 1000000) / 997.0;
    in.words[i] = kWords[next() % 8];
  }
  return in;
}

// One format in the three libraries' spellings.
struct Case {
  const char* name;
  void (*ours)(char*, const Inputs&, int);
  void (*glibc)(char*, const Inputs&, int);
  void (*fmtlib)(char*, const Inputs&, int);
};

#if ZELVARO_BENCH_FMT
#define FMT_CALL(...)                                                  \
  [](char* b, const Inputs& in, int i) {                               \
    auto r = fmt::format_to_n(b, kSize - 1, __VA_ARGS__);              \
    *r.out = 0;                                                        \
  }
#else
#define FMT_CALL(...) nullptr
#endif

#define CASE(name, ourFmt, fmtFmt, ...)                                                        \
  Case {                                                                                       \
    name, [](char* b, const Inputs& in, int i) { FormatToBuffer(b, kSize, ourFmt, __VA_ARGS__); }, \
        [](char* b, const Inputs& in, int i) { snprintf(b, kSize, ourFmt, __VA_ARGS__); },    \
        FMT_CALL(fmtFmt, __VA_ARGS__)                                                          \
  }

const Case kCases[] = {
    CASE("%5d", "%5d", "{:5}", in.ints[i]),
    CASE("%-8u", "%-8u", "{:<8}", in.uints[i]),
    CASE("%s", "%s", "{}", in.words[i]),
    CASE("%.3f", "%.3f", "{:.3f}", in.reals[i]),
    CASE("%g", "%g", "{:g}", in.reals[i]),
    CASE("%08X", "%08X", "{:08X}", in.uints[i]),
    CASE("label", "%s = %7.3f %s", "{} = {:7.3f} {}", in.words[i], in.reals[i],
         in.words[(i + 1) % kValues]),
    CASE("eps matrix", "[ %i 0 0 -%i 0 %i ]\n", "[ {} 0 0 -{} 0 {} ]\n", in.uints[i] % 4096,
         in.uints[(i + 1) % kValues] % 4096, in.uints[(i + 2) % kValues] % 4096),
    CASE("eps translate", "%g %g translate\n", "{:g} {:g} translate\n", in.reals[i],
         in.reals[(i + 7) % kValues]),
    CASE("xpm colour", "\"%s\tc #%06X\",\n", "\"{}\tc #{:06X}\",\n", in.words[i],
         in.uints[i] & 0xFFFFFF),
};

// Processor time per call in nanoseconds for one run. Processor time rather
// than wall time: the benchmark often shares the machine.
double RunOnce(void (*fn)(char*, const Inputs&, int), const Inputs& in) {
  constexpr int kCalls = 100000;
  char buf[kSize];
  const std::clock_t t0 = std::clock();
  for (int n = 0; n < kCalls; ++n) {
    fn(buf, in, n % kValues);
    asm volatile("" : : "r"(buf) : "memory");
  }
  const std::clock_t t1 = std::clock();
  return 1e9 * static_cast<double>(t1 - t0) / CLOCKS_PER_SEC / kCalls;
}

// Best of several runs of each contender, taken in turn so that both see the
// same conditions.
void Time(const Case& c, const Inputs& in, double best[3]) {
  best[0] = best[1] = best[2] = 1e30;
  for (int run = 0; run < 15; ++run) {
    best[0] = std::min(best[0], RunOnce(c.ours, in));
    best[1] = std::min(best[1], RunOnce(c.glibc, in));
    if (c.fmtlib) best[2] = std::min(best[2], RunOnce(c.fmtlib, in));
  }
  if (!c.fmtlib) best[2] = 0;
}

// glibc writes two exponent digits, the engine three; %g here never has one.
int Check(const Inputs& in) {
  int bad = 0;
  for (const Case& c : kCases) {
    for (int i = 0; i < kValues; ++i) {
      char a[kSize], b[kSize];
      c.ours(a, in, i);
      c.glibc(b, in, i);
      if (std::strcmp(a, b) != 0) {
        std::printf("MISMATCH %s: \"%s\" vs glibc \"%s\"\n", c.name, a, b);
        ++bad;
      }
    }
  }
  return bad;
}

}  // namespace

int main(int argc, char** argv) {
  const BenchArgs args(argc, argv, "usage: format_bench [--check]\n"
                       "  FormatToBuffer against snprintf and {fmt}\n"
                       "  --check  only compare the texts\n", {"--check"});
  const Inputs in = MakeInputs();
  if (Check(in) != 0) return 1;
  if (args.Has("--check")) return 0;
  std::printf("%-14s %10s %10s %10s %9s %9s\n", "format", "ours ns", "snprintf", "{fmt}",
              "ours/snp", "fmt/snp");
  double logSum = 0;
  for (const Case& c : kCases) {
    double best[3];
    Time(c, in, best);
    const double ours = best[0], glibc = best[1], fmtlib = best[2];
    logSum += std::log(ours / glibc);
    std::printf("%-14s %10.1f %10.1f %10.1f %8.2fx %8.2fx\n", c.name, ours, glibc, fmtlib,
                ours / glibc, fmtlib / glibc);
  }
  const int n = static_cast<int>(sizeof kCases / sizeof kCases[0]);
  std::printf("geometric mean ours/snprintf: %.2fx (target <= 1.0x, each <= 1.2x)\n",
              std::exp(logSum / n));
  return 0;
}
