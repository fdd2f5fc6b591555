// The registry store's speed: values set (each committed) and read per
// second, 100,000 values under 1,000 keys; one key of 20,000 values set and
// read back; and the first read of a new process from a store of 1,000,000
// values, which must not load the store whole. Prints each figure with its
// target; sets and reads also against bare SQLite doing the same statements
// on the same file in the same run (the floor on this machine).
//
//   registry_bench [--check] [folder]
// --check runs small sizes and verifies every value instead of timing.
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_args.h"
#include "platform/registry.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

struct Sizes {
  int keys;
  int valuesPerKey;
  int wideKeyValues;
  int bigKeys;  // the big store: bigKeys keys of 1,000 values
};

std::string Name(const char* prefix, int i) { return prefix + std::to_string(i); }

// The value each benchmark writes: 16 bytes that tell key and value apart.
std::string Data(int key, int value) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%07d:%08d", key, value);
  return buf;
}

HKEY Create(const std::string& path) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      &key, nullptr) != ERROR_SUCCESS) {
    std::fprintf(stderr, "cannot create %s\n", path.c_str());
    std::exit(1);
  }
  return key;
}

bool Set(HKEY key, const std::string& name, const std::string& data) {
  return RegSetValueExA(key, name.c_str(), 0, REG_BINARY,
                        reinterpret_cast<const BYTE*>(data.data()),
                        static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

bool Holds(HKEY key, const std::string& name, const std::string& data) {
  char buf[64];
  DWORD size = sizeof buf;
  return RegQueryValueExA(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(buf),
                          &size) == ERROR_SUCCESS &&
         std::string(buf, size) == data;
}

void Put16(std::string& out, unsigned v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8));
}

void Put32(std::string& out, uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

// A saved key file of `keys` subkeys with 1,000 values each, for RegLoadKeyA.
std::string BigKeyFile(int keys) {
  std::string out("ZLVKEY\1\n", 8);
  Put32(out, 0);
  Put32(out, static_cast<uint32_t>(keys));
  for (int k = 0; k < keys; ++k) {
    const std::string key = Name("k", 100000 + k);  // written in name order
    Put16(out, static_cast<unsigned>(key.size()));
    out += key;
    Put32(out, 1000);
    for (int v = 0; v < 1000; ++v) {
      const std::string name = Name("v", v);
      const std::string data = Data(k, v);
      Put16(out, static_cast<unsigned>(name.size()));
      out += name;
      Put32(out, REG_BINARY);
      Put32(out, static_cast<uint32_t>(data.size()));
      out += data;
    }
    Put32(out, 0);
  }
  return out;
}

// Run as a new process: opens the store and reads one value of the big
// store, printing the milliseconds it took (negative when the value is wrong).
int FirstRead(const char* store, int keys) {
  const auto start = std::chrono::steady_clock::now();
  platform::RegistryUseStoreFile(store);
  HKEY key = nullptr;
  const int k = keys / 2;
  const std::string path = "Big\\" + Name("k", 100000 + k);
  bool ok = RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS &&
            Holds(key, "v777", Data(k, 777));
  const double ms = Seconds(start) * 1000;
  std::printf("%f\n", ok ? ms : -1.0);
  return ok ? 0 : 1;
}

// Bare SQLite on the store's file: the same write transactions and point
// reads the store runs, on rows of keys no path reaches (removed after).
// Seconds for the sets and for the reads; negative when a call failed.
std::pair<double, double> BarePeer(const std::string& store, const Sizes& sizes) {
  sqlite3* db = nullptr;
  if (sqlite3_open(store.c_str(), &db) != SQLITE_OK) return {-1, -1};
  sqlite3_busy_timeout(db, 5000);
  sqlite3_exec(db,
               "PRAGMA synchronous = NORMAL; PRAGMA wal_autocheckpoint = 16000;"
               " PRAGMA cache_size = -16384",
               nullptr, nullptr, nullptr);
  sqlite3_stmt *begin = nullptr, *commit = nullptr, *set = nullptr, *get = nullptr;
  sqlite3_prepare_v2(db, "BEGIN IMMEDIATE", -1, &begin, nullptr);
  sqlite3_prepare_v2(db, "COMMIT", -1, &commit, nullptr);
  sqlite3_prepare_v2(db,
                     "INSERT INTO vals(key, folded, name, type, data, ord) VALUES (?1, ?2, ?3, ?4,"
                     " ?5, (SELECT coalesce(max(ord), 0) + 1 FROM vals WHERE key = ?1))"
                     " ON CONFLICT(key, folded) DO UPDATE SET type = excluded.type,"
                     " data = excluded.data",
                     -1, &set, nullptr);
  sqlite3_prepare_v2(db, "SELECT type, data FROM vals WHERE key = ? AND folded = ?", -1, &get,
                     nullptr);
  bool ok = begin && commit && set && get;
  std::vector<std::string> names, folded;
  for (int v = 0; v < sizes.valuesPerKey; ++v) {
    names.push_back(Name("v", v));
    folded.push_back(Name("V", v));
  }
  const auto run = [&ok](sqlite3_stmt* stmt, int want) {
    ok &= sqlite3_step(stmt) == want;
    sqlite3_reset(stmt);
  };
  auto start = std::chrono::steady_clock::now();
  for (int k = 0; k < sizes.keys && ok; ++k) {
    for (int v = 0; v < sizes.valuesPerKey; ++v) {
      const std::string data = Data(k, v);
      run(begin, SQLITE_DONE);
      sqlite3_bind_int64(set, 1, -1 - k);
      sqlite3_bind_blob(set, 2, folded[v].data(), static_cast<int>(folded[v].size()),
                        SQLITE_TRANSIENT);
      sqlite3_bind_blob(set, 3, names[v].data(), static_cast<int>(names[v].size()),
                        SQLITE_TRANSIENT);
      sqlite3_bind_int64(set, 4, REG_BINARY);
      sqlite3_bind_blob(set, 5, data.data(), static_cast<int>(data.size()), SQLITE_TRANSIENT);
      run(set, SQLITE_DONE);
      run(commit, SQLITE_DONE);
    }
  }
  const double sets = Seconds(start);
  start = std::chrono::steady_clock::now();
  for (int v = 0; v < sizes.valuesPerKey && ok; ++v) {
    for (int k = 0; k < sizes.keys; ++k) {
      sqlite3_bind_int64(get, 1, -1 - k);
      sqlite3_bind_blob(get, 2, folded[v].data(), static_cast<int>(folded[v].size()),
                        SQLITE_TRANSIENT);
      ok &= sqlite3_step(get) == SQLITE_ROW && sqlite3_column_bytes(get, 1) == 16;
      sqlite3_reset(get);
    }
  }
  const double reads = Seconds(start);
  ok &= sqlite3_exec(db, "DELETE FROM vals WHERE key < 0", nullptr, nullptr, nullptr) == SQLITE_OK;
  for (sqlite3_stmt* stmt : {begin, commit, set, get}) sqlite3_finalize(stmt);
  sqlite3_close(db);
  return ok ? std::make_pair(sets, reads) : std::make_pair(-1.0, -1.0);
}

void Report(const char* what, double figure, const char* unit, double target, bool above) {
  const bool met = above ? figure >= target : figure <= target;
  std::printf("%-46s %12.1f %-4s (target %s %.0f: %s)\n", what, figure, unit, above ? ">=" : "<=",
              target, met ? "met" : "MISSED");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--first-read") == 0) {
    return FirstRead(argv[2], std::atoi(argv[3]));
  }
  const BenchArgs args(argc, argv,
                       "usage: registry_bench [--check] [folder]\n"
                       "  the registry store against bare SQLite, in a new folder inside\n"
                       "  `folder` (default .)\n"
                       "  --check  small sizes, verify every value instead of timing\n",
                       {"--check"}, 1);
  const bool check = args.Has("--check");
  const char* folder = args.Plain(0, ".");
  const Sizes sizes = check ? Sizes{10, 100, 2000, 10} : Sizes{1000, 100, 20000, 1000};
  char dir[4096];
  std::snprintf(dir, sizeof dir, "%s/registry-bench-XXXXXX", folder);
  if (mkdtemp(dir) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::string store = std::string(dir) + "/registry.db";
  platform::RegistryUseStoreFile(store.c_str());
  bool ok = true;

  // Many keys of a hundred values each, every set its own transaction. The
  // names are made beforehand, as a program has its names at hand.
  std::vector<std::string> names;
  for (int v = 0; v < sizes.valuesPerKey; ++v) names.push_back(Name("v", v));
  std::vector<HKEY> keys;
  auto start = std::chrono::steady_clock::now();
  for (int k = 0; k < sizes.keys; ++k) {
    keys.push_back(Create("Software\\Bench\\" + Name("k", k)));
    for (int v = 0; v < sizes.valuesPerKey; ++v) ok &= Set(keys[k], names[v], Data(k, v));
  }
  const double setTime = Seconds(start);
  // Read in the other order, key by key for each name; checked afterwards.
  std::vector<char> read(static_cast<size_t>(sizes.keys) * sizes.valuesPerKey * 16);
  start = std::chrono::steady_clock::now();
  for (int v = 0; v < sizes.valuesPerKey; ++v) {
    for (int k = 0; k < sizes.keys; ++k) {
      DWORD size = 16;
      BYTE* at = reinterpret_cast<BYTE*>(&read[(static_cast<size_t>(k) * sizes.valuesPerKey + v) * 16]);
      ok &= RegQueryValueExA(keys[k], names[v].c_str(), nullptr, nullptr, at, &size) == 0;
    }
  }
  const double readTime = Seconds(start);
  for (int k = 0; k < sizes.keys; ++k) {
    for (int v = 0; v < sizes.valuesPerKey; ++v) {
      const size_t at = (static_cast<size_t>(k) * sizes.valuesPerKey + v) * 16;
      ok &= std::string(&read[at], 16) == Data(k, v);
    }
    RegCloseKey(keys[k]);
  }

  const auto [bareSets, bareReads] = BarePeer(store, sizes);
  ok &= bareSets >= 0;

  // One key with many values: each lookup must go by index, not by walking.
  start = std::chrono::steady_clock::now();
  HKEY wide = Create("Software\\Wide");
  for (int v = 0; v < sizes.wideKeyValues; ++v) ok &= Set(wide, Name("v", v), Data(0, v));
  for (int v = 0; v < sizes.wideKeyValues; ++v) ok &= Holds(wide, Name("V", v), Data(0, v));
  RegCloseKey(wide);
  const double wideTime = Seconds(start);

  // One key of as many subkeys: enumerated, then deleted from the last one
  // down as a whole-tree delete walks them.
  HKEY parent = Create("Software\\Subkeys");
  for (int k = 0; k < sizes.wideKeyValues; ++k) {
    HKEY sub = Create("Software\\Subkeys\\" + Name("s", k));
    ok &= sub != nullptr;
    RegCloseKey(sub);
  }
  start = std::chrono::steady_clock::now();
  int listed = 0;
  char subName[64];
  for (DWORD i = 0;; ++i) {
    DWORD len = sizeof subName;
    if (RegEnumKeyExA(parent, i, subName, &len, nullptr, nullptr, nullptr, nullptr) != 0) break;
    ++listed;
  }
  ok &= listed == sizes.wideKeyValues;
  const double enumTime = Seconds(start);
  start = std::chrono::steady_clock::now();
  for (int i = sizes.wideKeyValues - 1; i >= 0; --i) {
    DWORD len = sizeof subName;
    ok &= RegEnumKeyExA(parent, static_cast<DWORD>(i), subName, &len, nullptr, nullptr, nullptr,
                        nullptr) == ERROR_SUCCESS &&
          RegDeleteKeyA(parent, subName) == ERROR_SUCCESS;
  }
  const double deleteTime = Seconds(start);
  RegCloseKey(parent);

  // The big store, loaded in one transaction, then read by a new process.
  const std::string file = std::string(dir) + "/big.key";
  {
    const std::string image = BigKeyFile(sizes.bigKeys);
    FILE* out = std::fopen(file.c_str(), "wb");
    ok &= out != nullptr && std::fwrite(image.data(), 1, image.size(), out) == image.size();
    if (out != nullptr) ok &= std::fclose(out) == 0;
  }
  start = std::chrono::steady_clock::now();
  ok &= RegLoadKeyA(HKEY_CURRENT_USER, "Big", file.c_str()) == ERROR_SUCCESS;
  const double loadTime = Seconds(start);
  RegFlushKey(HKEY_CURRENT_USER);
  platform::RegistryUseStoreFile((std::string(dir) + "/other.db").c_str());
  double firstRead = -1;
  {
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    self[n > 0 ? n : 0] = '\0';
    const std::string run = "'" + std::string(self) + "' --first-read '" + store + "' " +
                            std::to_string(sizes.bigKeys);
    FILE* child = popen(run.c_str(), "r");
    ok &= child != nullptr && std::fscanf(child, "%lf", &firstRead) == 1 && firstRead >= 0;
    if (child != nullptr) ok &= pclose(child) == 0;
  }

  const double values = static_cast<double>(sizes.keys) * sizes.valuesPerKey;
  if (!check) {
    std::printf("registry store, %d values under %d keys\n", sizes.keys * sizes.valuesPerKey,
                sizes.keys);
    Report("values set per second (each committed)", values / setTime, "/s", 20000, true);
    std::printf("%-46s %12.1f %-4s (store / bare: %.2f)\n", "  bare SQLite, same statements",
                values / bareSets, "/s", bareSets / setTime);
    Report("values read per second", values / readTime, "/s", 200000, true);
    std::printf("%-46s %12.1f %-4s (store / bare: %.2f)\n", "  bare SQLite, same statements",
                values / bareReads, "/s", bareReads / readTime);
    Report("one key of 20,000 values, set and read back", wideTime * 1000, "ms", 1000, false);
    std::printf("%-46s %12.1f %-4s\n", "one key of 20,000 subkeys, enumerated", enumTime * 1000,
                "ms");
    std::printf("%-46s %12.1f %-4s\n", "  and deleted one by one from the last",
                deleteTime * 1000, "ms");
    std::printf("%-46s %12.1f %-4s\n", "1,000,000 values loaded in one transaction",
                loadTime * 1000, "ms");
    Report("first read of a new process, 1,000,000 values", firstRead, "ms", 50, false);
  }
  std::system(("rm -rf '" + std::string(dir) + "'").c_str());
  if (!ok) std::fprintf(stderr, "a value was not written or read back as written\n");
  return ok ? 0 : 1;
}
