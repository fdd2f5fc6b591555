// Speed of the Base64 and substring-search functions against their usual
// peers (OpenSSL's block coder, glibc's strstr, memmem and strcasestr),
// measured in one run. Prints peer time / our time, best of 7 rounds; a ratio
// of 1.0 or more means we are at least as fast. Outputs are compared first.
#include <openssl/evp.h>
#include <string.h>
#include <strings.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_args.h"
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
  std::printf("%-62s %8.3f ms %8.3f ms  ratio %5.2f%s\n", what, peer * 1e3, ours * 1e3, ratio,
              target ? (ratio >= 1.0 ? "" : "  BELOW TARGET") : "  (no target)");
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

struct SearchCase {
  std::string name;
  std::string text;  // one text, or the paths joined by NUL
  std::string key;
  int texts;         // 1, or the number of paths
};

std::vector<SearchCase> MakeSearchCases(std::mt19937& rng) {
  std::vector<SearchCase> cases;
  const size_t mib = size_t{1} << 20;
  std::string text(mib, ' ');
  for (auto& c : text) c = static_cast<char>('a' + rng() % 26);
  auto keyNearEnd = [&](size_t len, const char* name) {
    std::string key(len, ' ');
    for (auto& c : key) c = static_cast<char>('A' + rng() % 26);
    std::string t = text;
    t.replace(mib - 100 - len, len, key);
    cases.push_back({name, t, key, 1});
  };
  keyNearEnd(8, "8-byte key near the end of 1 MiB");
  keyNearEnd(1, "1-byte key near the end of 1 MiB");
  keyNearEnd(64, "64-byte key near the end of 1 MiB");
  cases.push_back({"999 'a' and 'b' in 1 MiB of 'a'", std::string(mib, 'a'), std::string(999, 'a') + "b", 1});
  const char* parts[] = {"usr", "local", "share", "lib", "home", "user", "projects", "include",
                         "bin", "doc", "src", "build", "tmp", "var", "opt", "cache"};
  std::string paths;
  for (int i = 0; i < 100000; ++i) {
    std::string p;
    while (p.size() < 55) p += std::string("/") + parts[rng() % 16];
    paths += p;
    paths.push_back('\0');
  }
  cases.push_back({"\"/src/\" in 100,000 paths", paths, "/src/", 100000});
  return cases;
}

// Calls fn(text, length) for each text of a case and sums the results.
template <class Fn>
long ForEachText(const SearchCase& c, Fn fn) {
  long sum = 0;
  const char* p = c.text.c_str();
  const char* end = p + c.text.size();
  for (int i = 0; i < c.texts && p < end; ++i) {
    const size_t len = c.texts == 1 ? c.text.size() : std::strlen(p);
    sum += fn(p, len);
    p += len + 1;
  }
  return sum;
}

long Pos(const char* base, const void* hit) { return hit ? static_cast<const char*>(hit) - base : -1; }

std::u16string Widen(const std::string& s) {
  std::u16string w(s.size(), u' ');
  for (size_t i = 0; i < s.size(); ++i) w[i] = static_cast<unsigned char>(s[i]);
  return w;
}

void BenchSearch(std::mt19937& rng) {
  for (const auto& c : MakeSearchCases(rng)) {
    const char* key = c.key.c_str();
    const int klen = static_cast<int>(c.key.size());
    const int reps = c.texts > 1 ? 3 : 50;
    auto viaStrstr = [&](const char* t, size_t) { return Pos(t, strstr(t, key)); };
    auto viaOurs = [&](const char* t, size_t) { return static_cast<long>(StrFindStr(t, key)); };
    Check(ForEachText(c, viaStrstr) == ForEachText(c, viaOurs), c.name.c_str());
    // StrFindStr hands its work to strstr itself: the ratio shows the cost of
    // the call around it, and is no target.
    Report(("StrFindStr (strstr inside), " + c.name).c_str(),
           BestTime(reps, [&] { return ForEachText(c, viaStrstr); }),
           BestTime(reps, [&] { return ForEachText(c, viaOurs); }), false);

    auto viaMemmem = [&](const char* t, size_t n) { return Pos(t, memmem(t, n, key, c.key.size())); };
    auto viaOursN = [&](const char* t, size_t n) {
      return static_cast<long>(StrFindStrLenN(t, key, static_cast<int>(n), klen));
    };
    Check(ForEachText(c, viaMemmem) == ForEachText(c, viaOursN), c.name.c_str());
    Report(("StrFindStrLenN, " + c.name).c_str(), BestTime(reps, [&] { return ForEachText(c, viaMemmem); }),
           BestTime(reps, [&] { return ForEachText(c, viaOursN); }), true);

    auto viaCase = [&](const char* t, size_t) { return Pos(t, strcasestr(t, key)); };
    auto viaOursCase = [&](const char* t, size_t) { return static_cast<long>(StrFindStrNoCase(t, key)); };
    Check(ForEachText(c, viaCase) == ForEachText(c, viaOursCase), c.name.c_str());
    Report(("StrFindStrNoCase, " + c.name).c_str(), BestTime(1, [&] { return ForEachText(c, viaCase); }),
           BestTime(1, [&] { return ForEachText(c, viaOursCase); }), false);

    if (c.texts == 1) {
      const std::u16string wt = Widen(c.text), wk = Widen(c.key);
      Check(StrFindStrW(wt.c_str(), wk.c_str()) == viaStrstr(c.text.c_str(), 0), c.name.c_str());
      Report(("StrFindStrW, " + c.name).c_str(), BestTime(reps, [&] { return viaStrstr(c.text.c_str(), 0); }),
             BestTime(reps, [&] { return static_cast<long>(StrFindStrW(wt.c_str(), wk.c_str())); }), false);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  const BenchArgs args(argc, argv,
                       "usage: text_bench\n"
                       "  Base64 and substring search against OpenSSL and glibc\n",
                       {});
  std::mt19937 rng(2026);
  BenchBase64(rng);
  BenchSearch(rng);
  if (g_failures) std::printf("%d mismatches\n", g_failures);
  return g_failures ? 1 : 0;
}
