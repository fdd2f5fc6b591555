// Speed of the Base64 and substring-search functions against their usual
// peers (OpenSSL's block coder, glibc's strstr, memmem and strcasestr),
// measured in one run. Prints peer time / our time, best of 7 rounds; a ratio
// of 1.0 or more means we are at least as fast. Outputs are compared first.
#include <openssl/evp.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "toolkit/toolkit.h"

namespace {

volatile long g_sink;  // keeps results alive

// Best of 7 rounds of the time for calling fn reps times.
double BestTime(int reps, const std::function<long()>& fn) {
  double best = 1e30;
  for (int round = 0; round < 7; ++round) {
    const auto t0 = std::chrono::steady_clock::now();
    long acc = 0;
    for (int i = 0; i < reps; ++i) acc += fn();
    const auto t1 = std::chrono::steady_clock::now();
    g_sink = acc;
    best = std::min(best, std::chrono::duration<double>(t1 - t0).count());
  }
  return best;
}

int g_failures = 0;

void Report(const char* what, double peer, double ours, bool target) {
  const double ratio = peer / ours;
  std::printf("%-46s %8.3f ms %8.3f ms  ratio %5.2f%s\n", what, peer * 1e3, ours * 1e3, ratio,
              target ? (ratio >= 1.0 ? "" : "  BELOW TARGET") : "  (reference)");
}

void Check(bool ok, const char* what) {
  if (!ok) {
    std::printf("MISMATCH: %s\n", what);
    ++g_failures;
  }
}

int RepsFor(size_t bytes) { return static_cast<int>(std::max<size_t>(1, (64u << 20) / std::max<size_t>(bytes, 64))); }

void BenchBase64(std::mt19937& rng) {
  for (size_t size : {size_t{48}, size_t{4096}, size_t{1} << 20}) {
    std::vector<unsigned char> in(size);
    for (auto& b : in) b = static_cast<unsigned char>(rng());
    const size_t textLen = (size + 2) / 3 * 4;
    std::vector<char> ours(textLen + 1), peer(textLen + 1);
    const int n1 = Base64Encode(in.data(), static_cast<int>(size), ours.data(), 0);
    const int n2 = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(peer.data()), in.data(), static_cast<int>(size));
    Check(n1 == n2 && std::memcmp(ours.data(), peer.data(), textLen) == 0, "Base64Encode");
    const int reps = RepsFor(size);
    char label[64];
    std::snprintf(label, sizeof label, "Base64Encode %zu B", size);
    const double tPeer = BestTime(reps, [&] {
      return EVP_EncodeBlock(reinterpret_cast<unsigned char*>(peer.data()), in.data(), static_cast<int>(size));
    });
    const double tOurs = BestTime(reps, [&] { return Base64Encode(in.data(), static_cast<int>(size), ours.data(), 0); });
    Report(label, tPeer, tOurs, true);

    std::vector<unsigned char> back(textLen + 3), backPeer(textLen + 3);
    const int d1 = Base64Decode(back.data(), static_cast<int>(back.size()), ours.data(), n1);
    const int d2 = EVP_DecodeBlock(backPeer.data(), reinterpret_cast<unsigned char*>(ours.data()), n1);
    Check(d1 == static_cast<int>(size) && d2 >= d1 && std::memcmp(back.data(), in.data(), size) == 0 &&
              std::memcmp(backPeer.data(), in.data(), size) == 0,
          "Base64Decode");
    std::snprintf(label, sizeof label, "Base64Decode %zu B", size);
    const double dPeer = BestTime(reps, [&] {
      return EVP_DecodeBlock(backPeer.data(), reinterpret_cast<unsigned char*>(ours.data()), n1);
    });
    const double dOurs = BestTime(reps, [&] { return Base64Decode(back.data(), static_cast<int>(back.size()), ours.data(), n1); });
    Report(label, dPeer, dOurs, true);
  }
}

}  // namespace

int main() {
  std::mt19937 rng(2026);
  BenchBase64(rng);
  if (g_failures) std::printf("%d mismatches\n", g_failures);
  return g_failures ? 1 : 0;
}
