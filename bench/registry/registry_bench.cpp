// The registry store's speed, each figure against bare SQLite running the
// same statements in the same run on a file of its own, made the same way
// and holding the same rows (the floor on this machine): values set (each
// committed) and read per second, 100,000 values under 1,000 keys; one key
// of 20,000 values set and read back; the first read of a new process from
// a store of 1,000,000 values once the writer has closed it, which must not
// load the store whole. Then what a large value costs the others: the read
// of its neighbour in a new process, and the store's size once it is
// deleted and the store closed.
//
//   registry_bench [--check] [folder]
// --check runs small sizes and verifies every value instead of timing.
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_args.h"
#include "platform/registry.h"
#include "platform/registry_db.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

struct Sizes {
  int keys;
  int valuesPerKey;
  int wideKeyValues;
  int bigKeys;       // the big store: bigKeys keys of 1,000 values
  size_t largeValue;  // the value whose neighbour is read
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

// Bare SQLite on a store file: a connection set up as the store sets up
// its own, and the statements the store runs for each call.
class Bare {
 public:
  explicit Bare(const std::string& file) {
    ok_ = sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                          nullptr) == SQLITE_OK;
    if (!ok_) return;
    sqlite3_busy_timeout(db_, 5000);
    ok_ = sqlite3_exec(db_, platform::registry_detail::kTuning, nullptr, nullptr, nullptr) ==
          SQLITE_OK;
    using namespace platform::registry_detail;
    for (const char* sql : {"BEGIN IMMEDIATE", "COMMIT", kKeyExists, kSetValue, kGetValue,
                            kFindChild}) {
      sqlite3_stmt* stmt = nullptr;
      ok_ &= sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) ==
             SQLITE_OK;
      stmts_.push_back(stmt);
    }
  }
  ~Bare() {
    for (sqlite3_stmt* stmt : stmts_) sqlite3_finalize(stmt);
    sqlite3_close(db_);
  }
  Bare(const Bare&) = delete;
  Bare& operator=(const Bare&) = delete;

  bool ok() const { return ok_; }

  // A committed set, as RegSetValueExA runs it on binary data.
  bool Set(int64_t key, const std::string& folded, const std::string& name,
           const std::string& data) {
    bool ok = Run(stmts_[0], SQLITE_DONE);
    sqlite3_bind_int64(stmts_[2], 1, key);
    ok &= Run(stmts_[2], SQLITE_ROW);
    sqlite3_stmt* set = stmts_[3];
    sqlite3_bind_int64(set, 1, key);
    sqlite3_bind_blob64(set, 2, folded.data(), folded.size(), SQLITE_TRANSIENT);
    sqlite3_bind_blob64(set, 3, name.data(), name.size(), SQLITE_TRANSIENT);
    sqlite3_bind_int64(set, 4, REG_BINARY);
    sqlite3_bind_blob64(set, 5, data.data(), data.size(), SQLITE_TRANSIENT);
    ok &= Run(set, SQLITE_DONE);
    return Run(stmts_[1], SQLITE_DONE) && ok;
  }
  // A read of type and data into the caller's buffer, as RegQueryValueExA runs it.
  bool Get(int64_t key, const std::string& folded, BYTE* out, DWORD* size) {
    sqlite3_stmt* get = stmts_[4];
    sqlite3_bind_int64(get, 1, key);
    sqlite3_bind_blob64(get, 2, folded.data(), folded.size(), SQLITE_TRANSIENT);
    bool ok = sqlite3_step(get) == SQLITE_ROW && sqlite3_column_int64(get, 0) == REG_BINARY;
    const auto n = static_cast<DWORD>(sqlite3_column_bytes(get, 1));
    ok &= n <= *size;
    if (ok) std::memcpy(out, sqlite3_column_blob(get, 1), n);
    *size = n;
    sqlite3_reset(get);
    return ok;
  }
  // The key below HKEY_CURRENT_USER at a path of folded names; 0 if missing.
  int64_t Find(const std::vector<std::string>& folded) {
    int64_t id = 2;
    for (const std::string& part : folded) {
      sqlite3_stmt* find = stmts_[5];
      sqlite3_bind_int64(find, 1, id);
      sqlite3_bind_blob64(find, 2, part.data(), part.size(), SQLITE_TRANSIENT);
      id = sqlite3_step(find) == SQLITE_ROW ? sqlite3_column_int64(find, 0) : 0;
      sqlite3_reset(find);
      if (id == 0) break;
    }
    return id;
  }

 private:
  static bool Run(sqlite3_stmt* stmt, int want) {
    const bool ok = sqlite3_step(stmt) == want;
    sqlite3_reset(stmt);
    return ok;
  }

  sqlite3* db_ = nullptr;
  bool ok_ = false;
  std::vector<sqlite3_stmt*> stmts_;
};

std::string Upper(std::string name) {
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return name;
}

// Run as a new process: opens the store (bare: the file) and reads one
// value of the big store, printing the milliseconds it took (negative when
// the value is wrong).
int FirstRead(const char* store, int keys, bool bare) {
  const auto start = std::chrono::steady_clock::now();
  const int k = keys / 2;
  const std::string want = Data(k, 777);
  char buf[64];
  DWORD size = sizeof buf;
  bool ok = false;
  if (bare) {
    Bare db(store);
    const int64_t id = db.Find({"BIG", Upper(Name("k", 100000 + k))});
    ok = db.ok() && id != 0 && db.Get(id, "V777", reinterpret_cast<BYTE*>(buf), &size);
  } else {
    platform::RegistryUseStoreFile(store);
    HKEY key = nullptr;
    const std::string path = "Big\\" + Name("k", 100000 + k);
    ok = RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS &&
         RegQueryValueExA(key, "v777", nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size) ==
             ERROR_SUCCESS;
  }
  ok &= std::string(buf, ok ? size : 0) == want;
  const double ms = Seconds(start) * 1000;
  std::printf("%f\n", ok ? ms : -1.0);
  return ok ? 0 : 1;
}

// Run as a new process: reads the value that sorts right after a large one.
int NeighbourRead(const char* store) {
  const auto start = std::chrono::steady_clock::now();
  platform::RegistryUseStoreFile(store);
  HKEY key = nullptr;
  DWORD value = 0, size = sizeof value;
  const bool ok =
      RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Large", 0, KEY_READ, &key) == ERROR_SUCCESS &&
      RegQueryValueExA(key, "d26", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) ==
          ERROR_SUCCESS &&
      value == 26;
  const double ms = Seconds(start) * 1000;
  std::printf("%f\n", ok ? ms : -1.0);
  return ok ? 0 : 1;
}

// Runs this program in a new process with `args` and reads the figure it prints.
double Child(const std::string& args) {
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  self[n > 0 ? n : 0] = '\0';
  FILE* child = popen(("'" + std::string(self) + "' " + args).c_str(), "r");
  double figure = -1;
  if (child == nullptr) return -1;
  if (std::fscanf(child, "%lf", &figure) != 1) figure = -1;
  return pclose(child) == 0 ? figure : -1;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? -1 : v[v.size() / 2];
}

off_t StoreBytes(const std::string& store) {
  off_t total = 0;
  for (const char* suffix : {"", "-wal", "-shm"}) {
    struct stat st {};
    if (stat((store + suffix).c_str(), &st) == 0) total += st.st_size;
  }
  return total;
}

void Report(const char* what, double figure, const char* unit, double target, bool above) {
  const bool met = above ? figure >= target : figure <= target;
  std::printf("%-50s %12.1f %-4s (target %s %g: %s)\n", what, figure, unit, above ? ">=" : "<=",
              target, met ? "met" : "MISSED");
}

// The bare figure under a store figure; `ratio` is store speed / bare speed.
void ReportBare(double figure, const char* unit, double ratio, double target) {
  std::printf("%-50s %12.1f %-4s (store / bare: %.2f", "  bare SQLite, same statements", figure,
              unit, ratio);
  if (target > 0) std::printf(", target >= %.2f: %s", target, ratio >= target ? "met" : "MISSED");
  std::printf(")\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--first-read") == 0) {
    return FirstRead(argv[2], std::atoi(argv[3]), false);
  }
  if (argc == 4 && std::strcmp(argv[1], "--bare-first-read") == 0) {
    return FirstRead(argv[2], std::atoi(argv[3]), true);
  }
  if (argc == 3 && std::strcmp(argv[1], "--neighbour-read") == 0) return NeighbourRead(argv[2]);
  const BenchArgs args(argc, argv,
                       "usage: registry_bench [--check] [folder]\n"
                       "  the registry store against bare SQLite, in a new folder inside\n"
                       "  `folder` (default .)\n"
                       "  --check  small sizes, verify every value instead of timing\n",
                       {"--check"}, 1);
  const bool check = args.Has("--check");
  const char* folder = args.Plain(0, ".");
  const Sizes sizes = check ? Sizes{10, 100, 2000, 10, size_t{1} << 20}
                            : Sizes{1000, 100, 20000, 1000, size_t{64} << 20};
  char dir[4096];
  std::snprintf(dir, sizeof dir, "%s/registry-bench-XXXXXX", folder);
  if (mkdtemp(dir) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::string store = std::string(dir) + "/registry.db";
  const std::string bareFile = std::string(dir) + "/bare/registry.db";
  const std::string wideKey = "Software\\Wide";
  bool ok = true;

  // The bare file is made by the store itself with the same keys, so both
  // files start alike; the values are then written to both in turns.
  std::vector<std::string> names, folded;
  for (int v = 0; v < sizes.valuesPerKey; ++v) {
    names.push_back(Name("v", v));
    folded.push_back(Name("V", v));
  }
  std::vector<HKEY> keys;
  std::vector<int64_t> bareKeys;
  int64_t bareWide = 0;
  for (const std::string* file : {&bareFile, &store}) {
    platform::RegistryUseStoreFile(file->c_str());
    keys.clear();
    for (int k = 0; k < sizes.keys; ++k) keys.push_back(Create("Software\\Bench\\" + Name("k", k)));
    RegCloseKey(Create(wideKey));
  }
  auto bareDb = std::make_unique<Bare>(bareFile);
  Bare& bare = *bareDb;
  ok &= bare.ok();
  for (int k = 0; k < sizes.keys; ++k) {
    bareKeys.push_back(bare.Find({"SOFTWARE", "BENCH", Upper(Name("k", k))}));
    ok &= bareKeys.back() != 0;
  }
  bareWide = bare.Find({"SOFTWARE", "WIDE"});
  ok &= bareWide != 0;

  // Many keys of a hundred values each, every set its own transaction, in
  // turns of one key, so that both meet the same load of the machine. The
  // names are made beforehand, as a program has its names at hand.
  double setTime = 0, bareSets = 0;
  for (int k = 0; k < sizes.keys; ++k) {
    auto start = std::chrono::steady_clock::now();
    for (int v = 0; v < sizes.valuesPerKey; ++v) ok &= Set(keys[k], names[v], Data(k, v));
    setTime += Seconds(start);
    start = std::chrono::steady_clock::now();
    for (int v = 0; v < sizes.valuesPerKey; ++v) {
      ok &= bare.Set(bareKeys[k], folded[v], names[v], Data(k, v));
    }
    bareSets += Seconds(start);
  }
  // Read in the other order, key by key for each name, in turns of one
  // name; checked afterwards.
  const size_t cells = static_cast<size_t>(sizes.keys) * sizes.valuesPerKey;
  std::vector<char> read(cells * 16), bareRead(cells * 16);
  const auto cell = [&](std::vector<char>& in, int k, int v) {
    return reinterpret_cast<BYTE*>(&in[(static_cast<size_t>(k) * sizes.valuesPerKey + v) * 16]);
  };
  double readTime = 0, bareReads = 0;
  for (int v = 0; v < sizes.valuesPerKey; ++v) {
    auto start = std::chrono::steady_clock::now();
    for (int k = 0; k < sizes.keys; ++k) {
      DWORD size = 16;
      ok &= RegQueryValueExA(keys[k], names[v].c_str(), nullptr, nullptr, cell(read, k, v),
                             &size) == 0;
    }
    readTime += Seconds(start);
    start = std::chrono::steady_clock::now();
    for (int k = 0; k < sizes.keys; ++k) {
      DWORD size = 16;
      ok &= bare.Get(bareKeys[k], folded[v], cell(bareRead, k, v), &size);
    }
    bareReads += Seconds(start);
  }
  for (int k = 0; k < sizes.keys; ++k) {
    for (int v = 0; v < sizes.valuesPerKey; ++v) {
      const size_t at = (static_cast<size_t>(k) * sizes.valuesPerKey + v) * 16;
      ok &= std::string(&read[at], 16) == Data(k, v) &&
            std::string(&bareRead[at], 16) == Data(k, v);
    }
    RegCloseKey(keys[k]);
  }

  // One key with many values: each lookup must go by index, not by walking.
  auto start = std::chrono::steady_clock::now();
  HKEY wide = Create(wideKey);
  for (int v = 0; v < sizes.wideKeyValues; ++v) ok &= Set(wide, Name("v", v), Data(0, v));
  for (int v = 0; v < sizes.wideKeyValues; ++v) ok &= Holds(wide, Name("V", v), Data(0, v));
  RegCloseKey(wide);
  const double wideTime = Seconds(start);
  start = std::chrono::steady_clock::now();
  for (int v = 0; v < sizes.wideKeyValues; ++v) {
    ok &= bare.Set(bareWide, Name("V", v), Name("v", v), Data(0, v));
  }
  for (int v = 0; v < sizes.wideKeyValues; ++v) {
    char buf[64];
    DWORD size = sizeof buf;
    ok &= bare.Get(bareWide, Name("V", v), reinterpret_cast<BYTE*>(buf), &size) &&
          std::string(buf, size) == Data(0, v);
  }
  const double bareWideTime = Seconds(start);
  bareDb.reset();  // its writer ends

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

  // The big store, loaded in one transaction into both files; each closed
  // as its writer ends, then read by new processes in turns.
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
  platform::RegistryUseStoreFile(bareFile.c_str());
  ok &= RegLoadKeyA(HKEY_CURRENT_USER, "Big", file.c_str()) == ERROR_SUCCESS;
  platform::RegistryUseStoreFile((std::string(dir) + "/other.db").c_str());
  std::vector<double> firstReads, bareFirstReads;
  for (int round = 0; round < 5; ++round) {
    const std::string big = std::to_string(sizes.bigKeys);
    firstReads.push_back(Child("--first-read '" + store + "' " + big));
    bareFirstReads.push_back(Child("--bare-first-read '" + bareFile + "' " + big));
  }
  const double firstRead = Median(firstReads);
  const double bareFirstRead = Median(bareFirstReads);
  ok &= *std::min_element(firstReads.begin(), firstReads.end()) >= 0 &&
        *std::min_element(bareFirstReads.begin(), bareFirstReads.end()) >= 0;

  // A store of 50 DWORDs and one large value that sorts among them.
  const std::string largeStore = std::string(dir) + "/large/registry.db";
  platform::RegistryUseStoreFile(largeStore.c_str());
  HKEY large = Create("Software\\Large");
  for (DWORD v = 0; v < 50; ++v) {
    ok &= RegSetValueExA(large, Name("d", static_cast<int>(v)).c_str(), 0, REG_DWORD,
                         reinterpret_cast<const BYTE*>(&v), sizeof v) == ERROR_SUCCESS;
  }
  ok &= Set(large, "d25x", std::string(sizes.largeValue, 'L'));
  RegCloseKey(large);
  platform::RegistryUseStoreFile((std::string(dir) + "/other.db").c_str());
  std::vector<double> neighbourReads;
  for (int round = 0; round < 5; ++round) {
    neighbourReads.push_back(Child("--neighbour-read '" + largeStore + "'"));
  }
  const double neighbourRead = Median(neighbourReads);
  ok &= *std::min_element(neighbourReads.begin(), neighbourReads.end()) >= 0;
  // The large value goes; the rest of the store is left as the writer ends.
  platform::RegistryUseStoreFile(largeStore.c_str());
  large = Create("Software\\Large");
  ok &= RegDeleteValueA(large, "d25x") == ERROR_SUCCESS;
  RegCloseKey(large);
  platform::RegistryUseStoreFile((std::string(dir) + "/other.db").c_str());
  const double storeBytes = static_cast<double>(StoreBytes(largeStore));

  if (!check) {
    const double values = static_cast<double>(cells);
    std::printf("registry store, %d values under %d keys\n", sizes.keys * sizes.valuesPerKey,
                sizes.keys);
    Report("values set per second (each committed)", values / setTime, "/s", 20000, true);
    ReportBare(values / bareSets, "/s", bareSets / setTime, 0.9);
    Report("values read per second", values / readTime, "/s", 200000, true);
    ReportBare(values / bareReads, "/s", bareReads / readTime, 0.9);
    Report("one key of 20,000 values, set and read back", wideTime * 1000, "ms", 1000, false);
    ReportBare(bareWideTime * 1000, "ms", bareWideTime / wideTime, 0);
    std::printf("%-50s %12.1f %-4s\n", "one key of 20,000 subkeys, enumerated", enumTime * 1000,
                "ms");
    std::printf("%-50s %12.1f %-4s\n", "  and deleted one by one from the last",
                deleteTime * 1000, "ms");
    std::printf("%-50s %12.1f %-4s\n", "1,000,000 values loaded in one transaction",
                loadTime * 1000, "ms");
    Report("first read of a new process, 1,000,000 values", firstRead, "ms", 2, false);
    ReportBare(bareFirstRead, "ms", bareFirstRead / firstRead, 0);
    Report("neighbour of a 64 MiB value read by a new process", neighbourRead, "ms", 5, false);
    Report("store files once it is deleted and the store closed", storeBytes / 1024, "KiB",
           2048, false);
  }
  std::system(("rm -rf '" + std::string(dir) + "'").c_str());
  if (!ok) std::fprintf(stderr, "a value was not written or read back as written\n");
  return ok ? 0 : 1;
}
