// Block benchmark: our fills, bounded copies and bit-array operations against
// plain standard-library peers on the same precomputed data. Each row prints
// the best of 7 runs for both sides and the ratio peer time / our time.
//   block_bench          full run
//   block_bench --check  only check that every pair agrees, exit 1 if not
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_args.h"
#include "peers.h"
#include "toolkit/bitarray.h"
#include "toolkit/memblock.h"
#include "toolkit/strcopy.h"

namespace {

bool g_check = false;
int g_failures = 0;
volatile uint64_t g_sink = 0;
void Keep(uint64_t v) { g_sink = g_sink + v; }

void Expect(bool ok, const std::string& what) {
  if (!ok) {
    ++g_failures;
    std::printf("MISMATCH: %s\n", what.c_str());
  }
}

template <class F>
double Time(F&& run) {
  const auto t0 = std::chrono::steady_clock::now();
  run();
  const auto t1 = std::chrono::steady_clock::now();
  return std::chrono::duration<double, std::micro>(t1 - t0).count();
}

// Times both sides (ours first) and prints one row.
template <class Ours, class Peer>
void Row(const std::string& name, Ours&& ours, Peer&& peer) {
  if (g_check) return;
  ours();  // warm both
  peer();
  // Best of 7, the two sides taking turns so neither inherits a warmer state.
  double a = 1e300, b = 1e300;
  for (int i = 0; i < 7; ++i) {
    if (i % 2) {
      a = std::min(a, Time(ours));
      b = std::min(b, Time(peer));
    } else {
      b = std::min(b, Time(peer));
      a = std::min(a, Time(ours));
    }
  }
  std::printf("%-52s %11.1f %11.1f %7.2f\n", name.c_str(), a, b, b / a);
}

// --- z-buffer reset -------------------------------------------------------------

void FillRows() {
  const double far = 1.0e30;
  DWORD low, high;
  uint64_t bits;
  std::memcpy(&bits, &far, 8);
  low = DWORD(bits);
  high = DWORD(bits >> 32);
  for (auto [w, h] : {std::pair{640, 480}, std::pair{1920, 1080}}) {
    const size_t n = size_t(w) * size_t(h);
    std::vector<double> ours(n, 0.0), peer(n, 0.0);
    MemFill64(ours.data(), low, high, DWORD(n));
    peer::FillDoubles(peer.data(), far, n);
    Expect(std::memcmp(ours.data(), peer.data(), n * 8) == 0, "MemFill64");
    Row("MemFill64 vs fill_n " + std::to_string(w) + "x" + std::to_string(h),
        [&] { MemFill64(ours.data(), low, high, DWORD(n)); },
        [&] { peer::FillDoubles(peer.data(), far, n); });
  }
}

// --- bounded copies -------------------------------------------------------------

// Each timed loop is one function that both sides run through a pointer, so
// they share the loop's code and pay the same call.
using CopyFn = int (*)(char*, const char*, int);
using CopyMaxFn = int (*)(char*, const char*, int, int);
using LenFn = int (*)(const char*, int);

constexpr int kReps = 100000;

[[gnu::noinline]] void RepeatCopy(CopyFn f, char* dst, const char* src, int size) {
  for (int i = 0; i < kReps; ++i) Keep(uint64_t(f(dst, src, size)));
}
[[gnu::noinline]] void RepeatCopyMax(CopyMaxFn f, char* dst, const char* src, int size, int maxChars) {
  for (int i = 0; i < kReps; ++i) Keep(uint64_t(f(dst, src, size, maxChars)));
}
// dst starts with an 8-character text that every round appends to afresh.
[[gnu::noinline]] void RepeatAppend(CopyFn f, char* dst, const char* src, int size) {
  for (int i = 0; i < kReps; ++i) {
    dst[8] = 0;
    Keep(uint64_t(f(dst, src, size)));
  }
}
[[gnu::noinline]] void RepeatLen(LenFn f, const char* src, int size) {
  for (int i = 0; i < kReps; ++i) Keep(uint64_t(f(src, size)));
}

void CopyRows() {
  std::mt19937 rng(1);
  for (size_t len : {8u, 40u, 260u, 4000u}) {
    std::string text(len, 'x');
    for (auto& c : text) c = char(' ' + rng() % 95);
    const char* src = text.c_str();
    for (int size : {64, 1024}) {
      std::vector<char> a(size_t(size) + 64, 0), b(size_t(size) + 64, 0);
      const std::string tag = " len " + std::to_string(len) + " dst " + std::to_string(size);
      const int maxChars = int(len / 2 + 1);
      // Agreement in results and bytes.
      Expect(StrCopyN(a.data(), src, size) == peer::CopyN(b.data(), src, size) && a == b,
             "StrCopyN" + tag);
      Expect(StrCopyMax(a.data(), src, size, maxChars) ==
                     peer::CopyMax(b.data(), src, size, maxChars) &&
                 a == b,
             "StrCopyMax" + tag);
      std::strcpy(a.data(), "prefix: ");
      std::strcpy(b.data(), "prefix: ");
      Expect(StrAppendN(a.data(), src, size) == peer::AppendN(b.data(), src, size) && a == b,
             "StrAppendN" + tag);
      Expect(StrLenN(src, size) == peer::LenN(src, size), "StrLenN" + tag);

      // Both sides write into the same destination.
      char* d = a.data();
      Row("StrCopyN vs strnlen+memcpy" + tag, [&] { RepeatCopy(StrCopyN, d, src, size); },
          [&] { RepeatCopy(peer::CopyN, d, src, size); });
      Row("StrCopyMax vs strnlen+memcpy" + tag,
          [&] { RepeatCopyMax(StrCopyMax, d, src, size, maxChars); },
          [&] { RepeatCopyMax(peer::CopyMax, d, src, size, maxChars); });
      std::strcpy(d, "prefix: ");
      Row("StrAppendN vs strnlen+memcpy" + tag, [&] { RepeatAppend(StrAppendN, d, src, size); },
          [&] { RepeatAppend(peer::AppendN, d, src, size); });
      Row("StrLenN vs strnlen" + tag, [&] { RepeatLen(StrLenN, src, size); },
          [&] { RepeatLen(peer::LenN, src, size); });
    }
  }
}

// --- bit arrays -------------------------------------------------------------------

constexpr uint32_t kBits = 1u << 20;

std::vector<uint64_t> RandomBits(std::mt19937_64& rng, uint32_t oneIn) {
  std::vector<uint64_t> w(kBits / 64, 0);
  for (uint32_t i = 0; i < kBits; ++i)
    if (rng() % oneIn == 0) w[i / 64] |= uint64_t(1) << (i % 64);
  return w;
}

struct Range {
  uint32_t start, limit;
};

std::vector<Range> RandomRanges(std::mt19937_64& rng, size_t n, uint32_t maxLen) {
  std::vector<Range> out;
  for (size_t i = 0; i < n; ++i) {
    const uint32_t len = 1 + uint32_t(rng() % maxLen);
    const uint32_t start = uint32_t(rng() % (kBits - len + 1));
    out.push_back({start, start + len});
  }
  return out;
}

using ScanFn = DWORD (*)(const void*, DWORD, DWORD);
using RangeFn = void (*)(void*, int, int);

[[gnu::noinline]] uint64_t CountAll(ScanFn f, const void* bits, const std::vector<Range>& ranges) {
  uint64_t sum = 0;
  for (const Range& r : ranges) sum += f(bits, r.limit, r.start);
  return sum;
}

// Visits every hit from the start of the array.
[[gnu::noinline]] uint64_t VisitAll(ScanFn f, const void* bits) {
  uint64_t sum = 0;
  for (uint32_t p = f(bits, kBits, 0); p < kBits; p = f(bits, kBits, p + 1)) sum += p;
  return sum;
}

[[gnu::noinline]] void ApplyAll(RangeFn f, void* bits, const std::vector<Range>& ranges) {
  for (const Range& r : ranges) f(bits, int(r.start), int(r.limit - r.start));
}

void CountRows() {
  std::mt19937_64 rng(2);
  const std::vector<uint64_t> words = RandomBits(rng, 2);
  for (const auto& row : {std::pair{"1-64 bits", RandomRanges(rng, 20000, 64)},
                               std::pair{"up to 1 Mbit", RandomRanges(rng, 200, kBits)}}) {
    const std::string label = row.first;
    const std::vector<Range>& ranges = row.second;
    Expect(CountAll(BitCount, words.data(), ranges) == CountAll(peer::BitCount, words.data(), ranges),
           std::string("BitCount ") + label);
    Row(std::string("BitCount vs popcount loop, ") + label,
        [&] { Keep(CountAll(BitCount, words.data(), ranges)); },
        [&] { Keep(CountAll(peer::BitCount, words.data(), ranges)); });
  }
}

void FindRows() {
  std::mt19937_64 rng(3);
  for (uint32_t oneIn : {2u, 64u, 4096u}) {
    const std::vector<uint64_t> sparse = RandomBits(rng, oneIn);
    std::vector<uint64_t> inverted = sparse;
    for (auto& w : inverted) w = ~w;
    const std::string tag = ", density 1/" + std::to_string(oneIn);
    Expect(VisitAll(BitFindNextSet, sparse.data()) == VisitAll(peer::FindNextSet, sparse.data()),
           "BitFindNextSet" + tag);
    Expect(VisitAll(BitFindNextClear, inverted.data()) == VisitAll(peer::FindNextClear, inverted.data()),
           "BitFindNextClear" + tag);
    Row("BitFindNextSet vs countr_zero loop" + tag,
        [&] { Keep(VisitAll(BitFindNextSet, sparse.data())); },
        [&] { Keep(VisitAll(peer::FindNextSet, sparse.data())); });
    Row("BitFindNextClear vs countr_zero loop" + tag,
        [&] { Keep(VisitAll(BitFindNextClear, inverted.data())); },
        [&] { Keep(VisitAll(peer::FindNextClear, inverted.data())); });
  }
}

std::vector<uint8_t> BytesOf(const std::vector<bool>& v) {
  std::vector<uint8_t> out(v.size() / 8, 0);
  for (size_t i = 0; i < v.size(); ++i)
    if (v[i]) out[i / 8] |= uint8_t(1 << (i % 8));
  return out;
}

void RangeRows() {
  std::mt19937_64 rng(4);
  for (const auto& row : {std::pair{"1-64 bits", RandomRanges(rng, 20000, 64)},
                               std::pair{"up to 1 Mbit", RandomRanges(rng, 200, kBits)}}) {
    const std::string label = row.first;
    const std::vector<Range>& ranges = row.second;
    std::vector<uint8_t> bytes(kBits / 8, 0);
    std::vector<bool> bools(kBits, false);
    std::vector<uint64_t> words(kBits / 64, 0);
    // Agreement: alternate set and clear, then toggles.
    for (size_t i = 0; i < ranges.size(); ++i) {
      const int s = int(ranges[i].start), c = int(ranges[i].limit - ranges[i].start);
      if (i % 2 == 0) {
        BitSetRange(bytes.data(), s, c);
        peer::SetRange(bools, s, c);
      } else {
        BitClearRange(bytes.data(), s, c);
        peer::ClearRange(bools, s, c);
      }
    }
    Expect(bytes == BytesOf(bools), std::string("BitSetRange/BitClearRange ") + label);
    std::memcpy(words.data(), bytes.data(), bytes.size());
    for (const Range& r : ranges) {
      BitToggleRange(bytes.data(), int(r.start), int(r.limit - r.start));
      peer::ToggleRange(words.data(), int(r.start), int(r.limit - r.start));
    }
    Expect(std::memcmp(bytes.data(), words.data(), bytes.size()) == 0,
           std::string("BitToggleRange ") + label);

    Row(std::string("BitSetRange vs fill on vector<bool>, ") + label,
        [&] { ApplyAll(BitSetRange, bytes.data(), ranges); },
        [&] { for (const Range& r : ranges) peer::SetRange(bools, int(r.start), int(r.limit - r.start)); });
    Row(std::string("BitClearRange vs fill on vector<bool>, ") + label,
        [&] { ApplyAll(BitClearRange, bytes.data(), ranges); },
        [&] { for (const Range& r : ranges) peer::ClearRange(bools, int(r.start), int(r.limit - r.start)); });
    Row(std::string("BitToggleRange vs masked XOR loop, ") + label,
        [&] { ApplyAll(BitToggleRange, bytes.data(), ranges); },
        [&] { ApplyAll(peer::ToggleRange, words.data(), ranges); });
  }
}

}  // namespace

int main(int argc, char** argv) {
  const BenchArgs args(argc, argv, "usage: block_bench [--check]\n"
                       "  fills, bounded copies and bit-array operations against standard peers\n"
                       "  --check  only check that every pair agrees\n", {"--check"});
  g_check = args.Has("--check");
  if (!g_check) std::printf("%-52s %11s %11s %7s\n", "row (times in us, best of 7)", "ours", "peer", "ratio");
  FillRows();
  CopyRows();
  CountRows();
  FindRows();
  RangeRows();
  if (g_failures) {
    std::printf("%d mismatches\n", g_failures);
    return 1;
  }
  if (g_check) std::printf("all pairs agree\n");
  return 0;
}
