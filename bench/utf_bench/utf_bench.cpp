// Utf8ToWide and WideToUtf8 against glibc iconv (UTF-8 <-> UTF-16LE) on a
// 1 MiB mixed-language corpus. Prints the speed ratio of each direction; the
// target is at least 2.0x iconv. --check only verifies that both produce the
// same output on a smaller corpus (for ctest).
#include <iconv.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_args.h"
#include "toolkit/unicode.h"
#include "toolkit/unicode_vector.h"

namespace {

// Paragraphs of 40-120 words, taking turns in English, German, Russian,
// Greek, Chinese and kana with an emoji now and then.
std::string MakeCorpus(size_t bytes, unsigned seed) {
  std::mt19937 rng(seed);
  auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  std::u32string text;
  const std::u32string umlauts = U"\u00E4\u00F6\u00FC\u00C4\u00D6\u00DC\u00DF";
  std::string utf8;
  for (int para = 0; utf8.size() < bytes; ++para) {
    std::u32string p;
    int words = 40 + pick(81);
    int lang = para % 6;
    for (int w = 0; w < words; ++w) {
      int len = 2 + pick(8);
      std::u32string word;
      for (int k = 0; k < len; ++k) {
        char32_t c;
        switch (lang) {
          case 0: c = U'a' + pick(26); break;
          case 1: c = pick(12) == 0 ? umlauts[pick(7)] : U'a' + pick(26); break;
          case 2: c = 0x430 + pick(32); break;
          case 3: c = 0x3B1 + pick(25); break;
          case 4: c = 0x4E00 + pick(0x5200); break;
          default: c = pick(8) == 0 ? 0x1F600 + pick(0x50) : 0x3041 + pick(0x56) + (pick(2) ? 0x60 : 0);
        }
        word += c;
      }
      if (w == 0 && lang < 4) word[0] = lang < 2 ? word[0] - 32 : word[0] - 32;
      p += word;
      if (lang >= 4) {
        p += (w % 7 == 6) ? U"\u3002" : U"";
      } else {
        p += (w % 9 == 8) ? U", " : U" ";
      }
    }
    p += U".\n";
    text += p;
    // Encode as we go so the size check is cheap.
    utf8.clear();
    for (char32_t c : text) {
      char buf[4];
      utf8.append(buf, static_cast<size_t>(Utf8EncodeChar(buf, c)));
    }
  }
  return utf8;
}

template <class F>
double BestOf9(F&& f) {
  double best = 1e30;
  for (int run = 0; run < 9; ++run) {
    auto t0 = std::chrono::steady_clock::now();
    f();
    auto t1 = std::chrono::steady_clock::now();
    best = std::min(best, std::chrono::duration<double>(t1 - t0).count());
  }
  return best;
}

size_t IconvRun(iconv_t cd, const void* in, size_t inLen, void* out, size_t outLen) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* ip = const_cast<char*>(static_cast<const char*>(in));
  char* op = static_cast<char*>(out);
  size_t il = inLen, ol = outLen;
  iconv(cd, &ip, &il, &op, &ol);
  return outLen - ol;
}

}  // namespace

int main(int argc, char** argv) {
  const BenchArgs args(argc, argv, "usage: utf_bench [--check]\n"
                       "  Utf8ToWide and WideToUtf8 against iconv\n"
                       "  --check  only verify that both convert alike, on a smaller corpus\n", {"--check"});
  const bool check = args.Has("--check");
  std::string utf8 = MakeCorpus(check ? 64 * 1024 : 1024 * 1024, 2024);
  const int n8 = static_cast<int>(utf8.size());

  iconv_t toWide = iconv_open("UTF-16LE", "UTF-8");
  iconv_t toUtf8 = iconv_open("UTF-8", "UTF-16LE");
  std::vector<wchar16> wide(utf8.size() + 2), peerWide(utf8.size() + 2);
  std::vector<char> narrow(utf8.size() * 2 + 8), peerNarrow(utf8.size() * 2 + 8);

  int n16 = Utf8ToWide(wide.data(), utf8.data(), static_cast<int>(wide.size()), n8);
  size_t peer16 = IconvRun(toWide, utf8.data(), utf8.size(), peerWide.data(), peerWide.size() * 2);
  int back = WideToUtf8N(narrow.data(), wide.data(), static_cast<int>(narrow.size()), n16);
  size_t peer8 = IconvRun(toUtf8, peerWide.data(), peer16, peerNarrow.data(), peerNarrow.size());
  bool same = peer16 == static_cast<size_t>(n16) * 2 &&
              std::memcmp(wide.data(), peerWide.data(), peer16) == 0 && peer8 == static_cast<size_t>(back) &&
              std::memcmp(narrow.data(), peerNarrow.data(), peer8) == 0 && back == n8;
  if (!same || check) {
    iconv_close(toWide);
    iconv_close(toUtf8);
  }
  if (!same) {
    std::printf("FAIL: output differs from iconv\n");
    return 1;
  }
  if (check) {
    std::printf("utf_bench: output identical to iconv (%d bytes, %d units)\n", n8, n16);
    return 0;
  }

  std::printf("corpus: %d bytes UTF-8, %d UTF-16 units\n", n8, n16);
  using unicode_detail::VectorLevel;
  for (VectorLevel level : {VectorLevel::Best, VectorLevel::Sse2, VectorLevel::None}) {
    unicode_detail::SetVectorLevel(level);
    double tOurs16 = BestOf9([&] { Utf8ToWide(wide.data(), utf8.data(), static_cast<int>(wide.size()), n8); });
    double tPeer16 = BestOf9([&] { IconvRun(toWide, utf8.data(), utf8.size(), peerWide.data(), peerWide.size() * 2); });
    double tOurs8 = BestOf9([&] { WideToUtf8N(narrow.data(), wide.data(), static_cast<int>(narrow.size()), n16); });
    double tPeer8 = BestOf9([&] { IconvRun(toUtf8, peerWide.data(), peer16, peerNarrow.data(), peerNarrow.size()); });
    const char* mode = level == VectorLevel::Best ? "best" : level == VectorLevel::Sse2 ? "sse2" : "scalar";
    std::printf("%-6s Utf8ToWide  %8.1f MB/s  iconv %8.1f MB/s  ratio %.2fx\n", mode, n8 / tOurs16 / 1e6,
                n8 / tPeer16 / 1e6, tPeer16 / tOurs16);
    std::printf("%-6s WideToUtf8  %8.1f MB/s  iconv %8.1f MB/s  ratio %.2fx\n", mode, n8 / tOurs8 / 1e6,
                n8 / tPeer8 / 1e6, tPeer8 / tOurs8);
  }
  iconv_close(toWide);
  iconv_close(toUtf8);
  return 0;
}
