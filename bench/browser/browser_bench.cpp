// CFileBrowser over large folders: reading a folder of n files with
// BROWSE_KEEP_ITEMS (a first read into an empty browser, then a second
// read of the same folder, where every name is found listed), and AddPath
// with BROWSE_ADD_UNIQUE of n paths (then of the same n paths again, each
// refused). Prints seconds per workload for n = 10,000, 20,000 and 40,000
// and the growth from 10,000 to 40,000 (4.0 is linear; the target is below
// 0.5 s at 40,000).
//
//   browser_bench [--check] [folder]
// --check uses 2,000 files and verifies the counts instead of timing.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_args.h"
#include "files/filebrowser.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

bool g_ok = true;

void Require(bool cond, const char* what, long got, long want) {
  if (!cond) {
    std::fprintf(stderr, "%s: %ld, expected %ld\n", what, got, want);
    g_ok = false;
  }
}

// Names of varied case and shared prefixes, as a folder of exports has them.
std::string Name(int i) {
  char name[32];
  std::snprintf(name, sizeof name, "%s%06d.%s", i % 3 ? "Plot_" : "plot-", i, i % 2 ? "zlv" : "PNG");
  return name;
}

int ReadAll(CFileBrowser& b, const std::string& dir) {
  if (!b.Open(dir.c_str(), nullptr, nullptr, BROWSE_FILES | BROWSE_KEEP_ITEMS)) return -1;
  DWORD length = 0;
  int n = 0;
  while (b.GetNextItem(0, &length)) ++n;
  return n;
}

struct Times {
  double firstRead, secondRead, addPaths, addAgain;
};

Times Measure(const std::string& base, int n) {
  std::string dir = base + "/n" + std::to_string(n);
  ::mkdir(dir.c_str(), 0777);
  std::vector<std::string> paths;
  for (int i = 0; i < n; ++i) {
    paths.push_back(dir + "/" + Name(i));
    ::close(::open(paths.back().c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
  }
  Times t{};
  {
    CFileBrowser b;
    auto start = std::chrono::steady_clock::now();
    int first = ReadAll(b, dir);
    t.firstRead = Seconds(start);
    Require(first == n && b.GetItemCount() == n, "first read", first, n);
    start = std::chrono::steady_clock::now();
    int second = ReadAll(b, dir);
    t.secondRead = Seconds(start);
    Require(b.GetItemCount() == n, "items after the second read", b.GetItemCount(), n);
    (void)second;
  }
  {
    CFileBrowser b;
    auto start = std::chrono::steady_clock::now();
    int added = 0;
    for (const std::string& p : paths) added += b.AddPath(p.c_str(), -1, BROWSE_ADD_UNIQUE) >= 0;
    t.addPaths = Seconds(start);
    Require(added == n, "paths added", added, n);
    start = std::chrono::steady_clock::now();
    int again = 0;
    for (const std::string& p : paths) again += b.AddPath(p.c_str(), -1, BROWSE_ADD_UNIQUE) >= 0;
    t.addAgain = Seconds(start);
    Require(again == 0, "paths added twice", again, 0);
  }
  for (const std::string& p : paths) ::unlink(p.c_str());
  ::rmdir(dir.c_str());
  return t;
}

}  // namespace

int main(int argc, char** argv) {
  const BenchArgs args(argc, argv, "usage: browser_bench [--check] [folder]\n"
                       "  CFileBrowser over 10,000-40,000 files in a new folder in `folder`/$TMPDIR/tmp\n"
                       "  --check  2,000 files, verify the counts instead of timing\n", {"--check"}, 1);
  const bool check = args.Has("--check");
  const char* parent = args.Plain(0, nullptr);
  if (parent == nullptr) parent = std::getenv("TMPDIR");
  std::string base = std::string(parent && *parent ? parent : "/tmp") + "/zelvaro-browser-XXXXXX";
  if (::mkdtemp(&base[0]) == nullptr) {
    std::perror("mkdtemp");
    return 2;
  }
  if (check) {
    Measure(base, 2000);
  } else {
    Times at[3];
    const int sizes[3] = {10000, 20000, 40000};
    for (int k = 0; k < 3; ++k) {
      at[k] = Measure(base, sizes[k]);
      std::printf("%6d files: read %.3f s, read again %.3f s, AddPath %.3f s, AddPath again %.3f s\n", sizes[k],
                  at[k].firstRead, at[k].secondRead, at[k].addPaths, at[k].addAgain);
    }
    std::printf("growth 10,000 -> 40,000 (4.0 is linear): read %.1f, read again %.1f, AddPath %.1f, again %.1f\n",
                at[2].firstRead / at[0].firstRead, at[2].secondRead / at[0].secondRead,
                at[2].addPaths / at[0].addPaths, at[2].addAgain / at[0].addAgain);
  }
  ::rmdir(base.c_str());
  std::printf("%s\n", g_ok ? "counts agree" : "COUNTS DISAGREE");
  return g_ok ? 0 : 1;
}
