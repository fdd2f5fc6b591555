// CFileStream against stdio on one file system, both with 32 KiB buffers:
// 64 MiB written byte by byte (WriteU8 / putc) and in 16-byte, 4 KiB and
// 64 KiB blocks (Write / fwrite), and ReadLine into 1024 bytes over a
// 100 MiB text of mixed line lengths (getline). Prints stdio time / stream
// time per workload: above 1.0 the stream is faster.
//
//   stream_bench [--check] [folder]
// --check runs small sizes and compares the outputs instead of timing.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_args.h"
#include "files/stream.h"

namespace {

constexpr int kBuffer = 32768;

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

std::vector<char> Pattern(size_t size) {
  std::vector<char> data(size);
  uint32_t x = 12345;
  for (auto& c : data) {
    x = x * 1103515245u + 12345u;
    c = char(x >> 24);
  }
  return data;
}

bool SameFile(const std::string& a, const std::string& b) {
  FILE* fa = std::fopen(a.c_str(), "rb");
  FILE* fb = std::fopen(b.c_str(), "rb");
  bool same = fa && fb;
  while (same) {
    int ca = std::getc(fa), cb = std::getc(fb);
    if (ca != cb) same = false;
    if (ca == EOF) break;
  }
  if (fa) std::fclose(fa);
  if (fb) std::fclose(fb);
  return same;
}

double StreamWrite(const std::string& path, const std::vector<char>& data, int block) {
  auto start = std::chrono::steady_clock::now();
  CFileStream stream(kBuffer);
  if (!stream.Open(path.c_str(), STREAM_MODE_CREATE)) std::exit(2);
  const int size = int(data.size());
  if (block == 1) {
    for (int i = 0; i < size; ++i) stream.WriteU8(BYTE(data[size_t(i)]));
  } else {
    for (int i = 0; i < size; i += block) stream.Write(data.data() + i, std::min(block, size - i));
  }
  if (!stream.Close()) std::exit(3);
  return Seconds(start);
}

double StdioWrite(const std::string& path, const std::vector<char>& data, int block) {
  auto start = std::chrono::steady_clock::now();
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) std::exit(2);
  std::setvbuf(f, nullptr, _IOFBF, kBuffer);
  const size_t size = data.size();
  if (block == 1) {
    for (size_t i = 0; i < size; ++i) putc(data[i], f);
  } else {
    for (size_t i = 0; i < size; i += size_t(block)) {
      std::fwrite(data.data() + i, 1, std::min(size_t(block), size - i), f);
    }
  }
  if (std::fclose(f) != 0) std::exit(3);
  return Seconds(start);
}

void MakeText(const std::string& path, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  uint32_t x = 99;
  size_t written = 0;
  std::string line;
  while (written < size) {
    x = x * 1103515245u + 12345u;
    size_t length = (x >> 16) % 8 == 0 ? (x >> 8) % 3000 : (x >> 8) % 120;
    line.assign(length, char('a' + (x >> 20) % 26));
    line += (x >> 12) % 16 == 0 ? "\r\n" : "\n";
    std::fwrite(line.data(), 1, line.size(), f);
    written += line.size();
  }
  std::fclose(f);
}

double StreamLines(const std::string& path, long* lines, long* bytes) {
  auto start = std::chrono::steady_clock::now();
  CFileStream stream(kBuffer);
  if (!stream.Open(path.c_str())) std::exit(2);
  char line[1024];
  int n;
  *lines = *bytes = 0;
  while ((n = stream.ReadLine(line, sizeof line)) >= 0) {
    ++*lines;
    *bytes += n;
  }
  stream.Close();
  return Seconds(start);
}

double StdioLines(const std::string& path, long* lines, long* bytes) {
  auto start = std::chrono::steady_clock::now();
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) std::exit(2);
  std::setvbuf(f, nullptr, _IOFBF, kBuffer);
  char* line = nullptr;
  size_t capacity = 0;
  ssize_t n;
  *lines = *bytes = 0;
  while ((n = getline(&line, &capacity, f)) >= 0) {
    ++*lines;
    *bytes += n;
  }
  std::free(line);
  std::fclose(f);
  return Seconds(start);
}

// Best of `rounds` runs each, the two sides taking turns so that a change in
// the machine's load hits both alike.
template <class F, class G>
void BestOfBoth(F mine, G peer, int rounds, double* mineBest, double* peerBest) {
  *mineBest = *peerBest = 1e9;
  for (int i = 0; i < rounds; ++i) {
    *mineBest = std::min(*mineBest, mine());
    *peerBest = std::min(*peerBest, peer());
  }
}

}  // namespace

int main(int argc, char** argv) {
  const BenchArgs args(argc, argv,
                       "usage: stream_bench [--check] [folder]\n"
                       "  CFileStream against stdio, files in `folder` (default a new folder\n"
                       "  in $TMPDIR or /tmp)\n"
                       "  --check  small sizes, compare the outputs instead of timing\n",
                       {"--check"}, 1);
  const bool check = args.Has("--check");
  // Without a folder: a fresh one of our own, so that runs side by side never
  // share their scratch files.
  std::string made;
  if (args.Plain(0, nullptr) == nullptr) {
    const char* tmp = std::getenv("TMPDIR");
    made = std::string(tmp != nullptr && *tmp != 0 ? tmp : "/tmp") + "/zelvaro-bench-stream-XXXXXX";
    if (mkdtemp(&made[0]) == nullptr) {
      std::perror(made.c_str());
      return 2;
    }
  }
  std::string dir = made.empty() ? args.Plain(0, nullptr) : made;
  const std::string ours = dir + "/zelvaro-bench-stream.bin";
  const std::string theirs = dir + "/zelvaro-bench-stdio.bin";
  // A folder that cannot take the files is named here, not after the data
  // is made and by a bare status.
  std::FILE* probe = std::fopen(ours.c_str(), "wb");
  if (probe == nullptr) {
    std::perror(ours.c_str());
    return 2;
  }
  std::fclose(probe);
  const std::vector<char> data = Pattern(check ? (1u << 20) + 77 : 64u << 20);
  const int rounds = check ? 1 : 5;
  bool ok = true;

  for (int block : {1, 16, 4096, 65536}) {
    double mine, peer;
    BestOfBoth([&] { return StreamWrite(ours, data, block); },
               [&] { return StdioWrite(theirs, data, block); }, rounds, &mine, &peer);
    const char* what = block == 1 ? "WriteU8 vs putc, 64 MiB byte by byte" : nullptr;
    char label[80];
    if (what == nullptr) {
      std::snprintf(label, sizeof label, "Write vs fwrite, 64 MiB in %d-byte blocks", block);
      what = label;
    }
    if (check) {
      bool same = SameFile(ours, theirs);
      std::printf("%-48s %s\n", what, same ? "same bytes" : "DIFFERENT BYTES");
      ok &= same;
    } else {
      std::printf("%-48s stream %.3f s, stdio %.3f s, ratio %.2f\n", what, mine, peer, peer / mine);
    }
  }

  MakeText(ours, check ? (2u << 20) : (100u << 20));
  long lines = 0, bytes = 0, peerLines = 0, peerBytes = 0;
  double mine, peer;
  BestOfBoth([&] { return StreamLines(ours, &lines, &bytes); },
             [&] { return StdioLines(ours, &peerLines, &peerBytes); }, 3 * rounds, &mine, &peer);
  const char* what = "ReadLine(1024) vs getline, 100 MiB text";
  if (check) {
    // getline keeps the line ends and whole lines; compare the line counts
    // only where no line is cut (every line here is below 3000 bytes).
    bool sane = lines >= peerLines && bytes < peerBytes && lines > 0;
    std::printf("%-48s %s (%ld lines / %ld)\n", what, sane ? "plausible" : "WRONG", lines, peerLines);
    ok &= sane;
  } else {
    std::printf("%-48s stream %.3f s, stdio %.3f s, ratio %.2f\n", what, mine, peer, peer / mine);
  }
  std::remove(ours.c_str());
  std::remove(theirs.c_str());
  if (!made.empty()) std::remove(made.c_str());
  return ok ? 0 : 1;
}
