// What the store leaves on disk: the store file alone once no process has it
// open, the space of large values given back, a store of the earlier schema
// converted and one of a later schema left alone, and key files that take
// their names only once whole.
#include <signal.h>
#include <sqlite3.h>
#include <sys/ptrace.h>
#include <sys/syscall.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <thread>

#include "registry_test_util.h"

namespace {

class RegistryDiskTest : public RegistryStoreTest {
 protected:
  // Runs `body` in a child that ends as a program ends (through exit), while
  // this process has no connection to the store.
  int InEndingProcess(const std::function<int()>& body) {
    platform::RegistryUseStoreFile((dir_ + "/elsewhere.db").c_str());
    const pid_t pid = fork();
    if (pid == 0) {
      platform::RegistryUseStoreFile(path_.c_str());
      std::exit(body());
    }
    const int status = Reap(pid);
    Reload();
    return status;
  }
  // Runs `body` in a child that is killed as it enters its first rename;
  // its exit status (128 + SIGKILL once killed).
  static int KilledAtRename(const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0) {
      ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
      raise(SIGSTOP);
      _exit(body());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ptrace(PTRACE_SETOPTIONS, pid, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL);
    int signal = 0;
    while (ptrace(PTRACE_SYSCALL, pid, nullptr, signal) == 0 && waitpid(pid, &status, 0) == pid &&
           WIFSTOPPED(status)) {
      signal = WSTOPSIG(status) == (SIGTRAP | 0x80) ? 0 : WSTOPSIG(status);
      __ptrace_syscall_info info {};
      if (signal == 0 && ptrace(PTRACE_GET_SYSCALL_INFO, pid, sizeof info, &info) > 0 &&
          info.op == PTRACE_SYSCALL_INFO_ENTRY && info.entry.nr == SYS_renameat2) {
        kill(pid, SIGKILL);
        return Reap(pid);
      }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  // The bytes of the store's files together.
  off_t StoreBytes() const {
    off_t total = 0;
    for (const char* suffix : {"", "-wal", "-shm"}) {
      struct stat st {};
      if (stat((path_ + suffix).c_str(), &st) == 0) total += st.st_size;
    }
    return total;
  }
  // Runs `sql` on the store file as another program would.
  void Sql(const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path_.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db);
    sqlite3_close(db);
  }
  int64_t SqlInt(const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_stmt* q = nullptr;
    int64_t v = -1;
    if (sqlite3_open(path_.c_str(), &db) == SQLITE_OK &&
        sqlite3_prepare_v2(db, sql.c_str(), -1, &q, nullptr) == SQLITE_OK &&
        sqlite3_step(q) == SQLITE_ROW) {
      v = sqlite3_column_int64(q, 0);
    }
    sqlite3_finalize(q);
    sqlite3_close(db);
    return v;
  }
};

HKEY Key(const char* path) {
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr), ERROR_SUCCESS);
  return key;
}

LONG Put(HKEY key, const std::string& name, const std::string& data) {
  return RegSetValueExA(key, name.c_str(), 0, REG_BINARY,
                        reinterpret_cast<const BYTE*>(data.data()),
                        static_cast<DWORD>(data.size()));
}

std::string Get(HKEY key, const std::string& name) {
  DWORD size = 0;
  if (RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr, &size) != 0) return "<fail>";
  std::string data(size, '\0');
  if (RegQueryValueExA(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()),
                       &size) != 0) {
    return "<fail>";
  }
  return data.substr(0, size);
}

DWORD ValueCount(HKEY key) {
  DWORD values = 0;
  return RegQueryInfoKeyA(key, nullptr, nullptr, &values, nullptr, nullptr) == 0 ? values : ~0u;
}

TEST_F(RegistryDiskTest, StoreFileAloneHoldsEverythingOnceTheWritersHaveEnded) {
  ASSERT_EQ(InEndingProcess([] {
              HKEY key = Key("Software\\Copy");
              for (int i = 0; i < 200; ++i) {
                if (Put(key, "v" + std::to_string(i), std::string(i * 50, 'a' + i % 26)) != 0) {
                  return 1;
                }
              }
              return 0;
            }),
            0);
  EXPECT_FALSE(std::filesystem::exists(path_ + "-wal"));
  EXPECT_FALSE(std::filesystem::exists(path_ + "-shm"));
  const std::string copy = dir_ + "/copy/registry.db";
  std::filesystem::create_directories(dir_ + "/copy");
  std::filesystem::copy_file(path_, copy);
  platform::RegistryUseStoreFile(copy.c_str());
  EXPECT_EQ(platform::RegistryLoadError(), ERROR_SUCCESS);
  HKEY key = Key("Software\\Copy");
  for (int i = 0; i < 200; ++i) {
    ASSERT_EQ(Get(key, "v" + std::to_string(i)), std::string(i * 50, 'a' + i % 26)) << i;
  }
  RegCloseKey(key);
}

// A writer that ends while another process has the store open is not the
// last to close; when that other process is then killed (or ends at the
// same moment), no close is left to write the journal into the store file.
TEST_F(RegistryDiskTest, StoreFileAloneHoldsEverythingWhenTheLastOpenerIsKilled) {
  platform::RegistryUseStoreFile((dir_ + "/elsewhere.db").c_str());
  int gate[2];
  ASSERT_EQ(pipe(gate), 0);
  const pid_t holder = fork();
  if (holder == 0) {
    platform::RegistryUseStoreFile(path_.c_str());
    Get(HKEY_CURRENT_USER, "none");
    (void)!write(gate[1], "o", 1);
    pause();
  }
  char byte;
  ASSERT_EQ(read(gate[0], &byte, 1), 1);
  EXPECT_EQ(InEndingProcess([] {
              HKEY key = Key("Software\\Copy");
              for (int i = 0; i < 200; ++i) {
                if (Put(key, std::to_string(i), "x") != 0) return 1;
              }
              return 0;
            }),
            0);
  kill(holder, SIGKILL);
  Reap(holder);
  close(gate[0]);
  close(gate[1]);
  const std::string copy = dir_ + "/copy/registry.db";
  std::filesystem::create_directories(dir_ + "/copy");
  std::filesystem::copy_file(path_, copy);
  platform::RegistryUseStoreFile(copy.c_str());
  EXPECT_EQ(ValueCount(Key("Software\\Copy")), 200u);
}

TEST_F(RegistryDiskTest, SpaceOfALargeValueIsGivenBackWhenItGoes) {
  struct Case {
    const char* what;
    size_t size;
    bool deleted;  // else written over with a small value
  };
  for (const Case& c : {Case{"deleted", size_t{64} << 20, true},
                        Case{"written over", size_t{16} << 20, false}}) {
    ASSERT_EQ(InEndingProcess([&] {
                HKEY key = Key("Software\\Large");
                if (Put(key, "small", "kept") != 0) return 1;
                if (Put(key, "large", std::string(c.size, 'x')) != 0) return 1;
                const LONG rc = c.deleted ? RegDeleteValueA(key, "large") : Put(key, "large", "y");
                return rc == 0 ? 0 : 2;
              }),
              0)
        << c.what;
    EXPECT_LT(StoreBytes(), 2 << 20) << c.what;
    HKEY key = Key("Software\\Large");
    EXPECT_EQ(Get(key, "small"), "kept") << c.what;
    EXPECT_EQ(Get(key, "large"), c.deleted ? "<fail>" : "y") << c.what;
    RegCloseKey(key);
  }
}

// The store as the first schema made it: values in the search tree of a
// table without row ids.
constexpr const char* kFirstSchema =
    "PRAGMA page_size = 1024; PRAGMA journal_mode = WAL;"
    "CREATE TABLE keys(id INTEGER PRIMARY KEY AUTOINCREMENT, parent INTEGER NOT NULL,"
    " name BLOB NOT NULL, folded BLOB NOT NULL);"
    "CREATE UNIQUE INDEX keys_by_name ON keys(parent, folded);"
    "CREATE TABLE vals(key INTEGER NOT NULL, folded BLOB NOT NULL, name BLOB NOT NULL,"
    " type INTEGER NOT NULL, data BLOB NOT NULL, ord INTEGER NOT NULL,"
    " PRIMARY KEY(key, folded)) WITHOUT ROWID;"
    "CREATE INDEX vals_in_order ON vals(key, ord);"
    "INSERT INTO keys(id, parent, name, folded) VALUES"
    " (1, 0, x'', x'01'), (2, 0, x'', x'02'), (3, 0, x'', x'03'),"
    " (4, 0, x'', x'04'), (5, 0, x'', x'05'), (6, 0, x'', x'06');"
    "PRAGMA application_id = 1514952274; PRAGMA user_version = 1;"
    // HKEY_CURRENT_USER\Old: "b" written before "a", text kept in 16 bits.
    "INSERT INTO keys VALUES (7, 2, x'4F6C64', x'4F4C44');"
    "INSERT INTO vals VALUES (7, x'41', x'61', 4, x'07000000', 5),"
    " (7, x'42', x'62', 1, x'68006900', 2);";

TEST_F(RegistryDiskTest, StoreOfTheFirstSchemaIsConvertedWhole) {
  RemoveStore();
  Sql(kFirstSchema);
  EXPECT_EQ(platform::RegistryLoadError(), ERROR_SUCCESS);
  HKEY key = Key("Old");
  char name[8];
  DWORD len = sizeof name;
  ASSERT_EQ(RegEnumValueA(key, 0, name, &len, nullptr, nullptr, nullptr, nullptr), 0);
  EXPECT_STREQ(name, "b");
  EXPECT_EQ(Get(key, "B"), "hi");
  EXPECT_EQ(Get(key, "a"), std::string("\7\0\0\0", 4));
  ASSERT_EQ(Put(key, "c", "new"), 0);
  len = sizeof name;
  ASSERT_EQ(RegEnumValueA(key, 2, name, &len, nullptr, nullptr, nullptr, nullptr), 0);
  EXPECT_STREQ(name, "c");
  RegCloseKey(key);
  Reload();
  EXPECT_EQ(SqlInt("PRAGMA user_version"), 2);
  EXPECT_EQ(SqlInt("PRAGMA auto_vacuum"), 1);
  EXPECT_EQ(SqlInt("SELECT count(*) FROM vals"), 3);
}

TEST_F(RegistryDiskTest, StoreOfALaterSchemaIsLeftAsItIs) {
  struct Case {
    const char* journal;
    bool left;  // the later program died with changes in its journal
  };
  for (const Case& c : {Case{"WAL", false}, Case{"DELETE", false}, Case{"WAL", true}}) {
    const std::string journal = c.journal + std::string(c.left ? " left" : "");
    RemoveStore();
    ASSERT_EQ(Put(HKEY_CURRENT_USER, "v", "1"), 0);
    Reload();
    Sql(std::string("PRAGMA user_version = 3; PRAGMA journal_mode = ") + c.journal);
    if (c.left) {
      ASSERT_EQ(Reap(Spawn([&] {
                  sqlite3* db = nullptr;
                  sqlite3_open(path_.c_str(), &db);
                  return sqlite3_exec(db, "INSERT INTO facts VALUES ('later', 1)", nullptr,
                                      nullptr, nullptr);
                })),
                0);
      ASSERT_TRUE(std::filesystem::exists(path_ + "-wal"));
    }
    const std::string before = ReadFile(path_) + ReadFile(path_ + "-wal");
    EXPECT_EQ(platform::RegistryLoadError(), ERROR_REVISION_MISMATCH) << journal;
    EXPECT_EQ(Put(HKEY_CURRENT_USER, "w", "2"), ERROR_REVISION_MISMATCH) << journal;
    EXPECT_EQ(Get(HKEY_CURRENT_USER, "v"), "<fail>") << journal;
    Reload();
    EXPECT_TRUE(ReadFile(path_) + ReadFile(path_ + "-wal") == before) << journal;
    EXPECT_FALSE(std::filesystem::exists(path_ + ".bad")) << journal;
  }
}

// Killed after the import's commit and before renaming the old file, a
// process leaves the old file under its name; the next open renames it.
TEST_F(RegistryDiskTest, OldFileTakenOverIsRenamedByTheNextOpenWhenItsMakerDied) {
  RemoveStore();
  const std::string file = std::string("ZLVREG\1\n", 8) + std::string(48, '\0');
  WriteFile(old_, file);
  EXPECT_EQ(platform::RegistryLoadError(), ERROR_SUCCESS);
  Reload();
  ASSERT_EQ(rename((old_ + ".imported").c_str(), old_.c_str()), 0);
  Sql("INSERT INTO facts VALUES ('old file', 'imported')");
  EXPECT_EQ(platform::RegistryLoadError(), ERROR_SUCCESS);
  EXPECT_FALSE(std::filesystem::exists(old_));
  EXPECT_EQ(ReadFile(old_ + ".imported"), file);
  Reload();
  EXPECT_EQ(SqlInt("SELECT count(*) FROM facts"), 0);
}

// What lies under a saved file's temporary name: a leftover of a killed
// save is written over; a link is never written through.
TEST_F(RegistryDiskTest, SavedKeyFileTakesItsNameOnlyWhole) {
  const std::string file = dir_ + "/saved.key";
  const std::string temp = dir_ + "/.saved.key.tmp";
  const std::string victim = dir_ + "/victim";
  HKEY key = Key("Software\\Saved");
  ASSERT_EQ(Put(key, "v", "1"), 0);
  enum Kind { kLeftover, kSymlink, kHardLink };
  struct Case {
    const char* what;
    Kind kind;
    LONG result;
  };
  for (const Case& c : {Case{"leftover", kLeftover, ERROR_SUCCESS},
                        Case{"link", kSymlink, ERROR_ACCESS_DENIED},
                        Case{"hard link", kHardLink, ERROR_ACCESS_DENIED}}) {
    std::filesystem::remove(file);
    WriteFile(victim, "keep");
    if (c.kind == kSymlink) {
      ASSERT_EQ(symlink(victim.c_str(), temp.c_str()), 0);
    } else if (c.kind == kHardLink) {
      ASSERT_EQ(link(victim.c_str(), temp.c_str()), 0);
    } else {
      WriteFile(temp, "left by a killed save");
    }
    EXPECT_EQ(RegSaveKeyA(key, file.c_str(), nullptr), c.result) << c.what;
    EXPECT_EQ(std::filesystem::exists(file), c.result == ERROR_SUCCESS) << c.what;
    EXPECT_EQ(std::filesystem::exists(temp), c.kind != kLeftover) << c.what;
    EXPECT_EQ(ReadFile(victim), "keep") << c.what;
    std::filesystem::remove(temp);
  }
  EXPECT_EQ(RegSaveKeyA(key, file.c_str(), nullptr), ERROR_SUCCESS);
  EXPECT_EQ(RegSaveKeyA(key, file.c_str(), nullptr), ERROR_ALREADY_EXISTS);
  EXPECT_FALSE(std::filesystem::exists(temp));
  RegCloseKey(key);
}

// The temporary of a file whose name takes a whole folder entry is cut to fit.
TEST_F(RegistryDiskTest, KeyFilesOfTheLongestNamesAreSavedAndReplaced) {
  HKEY software = Key("Software");
  HKEY key = Key("Software\\Long");
  ASSERT_EQ(Put(key, "v", "1"), 0);
  const std::string folder = dir_ + "/long";
  for (size_t length : {size_t{249}, size_t{250}, size_t{255}}) {
    std::filesystem::create_directory(folder);
    const std::string saved = folder + "/" + std::string(length, 's');
    const std::string old = folder + "/" + std::string(length, 'o');
    EXPECT_EQ(RegSaveKeyA(key, saved.c_str(), nullptr), ERROR_SUCCESS) << length;
    EXPECT_EQ(RegReplaceKeyA(software, "Long", saved.c_str(), old.c_str()), ERROR_SUCCESS)
        << length;
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      ++files;
      EXPECT_NE(entry.path().filename().string()[0], '.') << length;
    }
    EXPECT_EQ(files, 2u) << length;
    EXPECT_EQ(ReadFile(old), ReadFile(saved)) << length;
    std::filesystem::remove_all(folder);
  }
  RegCloseKey(key);
  RegCloseKey(software);
}

// A replace killed at any moment leaves the key whole, old or new, and its
// old content under the caller's name only beside the new; the retry works.
TEST_F(RegistryDiskTest, ReplaceKilledAtAnyMomentNeverBlocksItsRetry) {
  const std::string fresh = dir_ + "/new.key";
  const std::string old = dir_ + "/old.key";
  const std::string temp = dir_ + "/.old.key.tmp";
  constexpr DWORD kNew = 30000;
  HKEY software = Key("Software");
  {
    HKEY big = Key("Software\\Source");
    for (DWORD i = 0; i < kNew; ++i) ASSERT_EQ(Put(big, "v" + std::to_string(i), "data"), 0);
    ASSERT_EQ(RegSaveKeyA(big, fresh.c_str(), nullptr), 0);
    RegCloseKey(big);
  }
  // The key's original content, saved under "old".
  const auto holdsOriginal = [&](const std::string& what) {
    EXPECT_EQ(RegLoadKeyA(HKEY_USERS, "Check", old.c_str()), 0) << what;
    HKEY check = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_USERS, "Check", 0, KEY_READ, &check), 0) << what;
    EXPECT_EQ(Get(check, "orig"), "1") << what;
    EXPECT_EQ(ValueCount(check), 1u) << what;
    RegCloseKey(check);
    RegDeleteKeyA(HKEY_USERS, "Check");
  };
  // Killed between its commit and naming the old content: the retry, or
  // the next process to open the store, names it, unless the name is taken.
  enum Then { kRetry, kNextOpen, kNameTaken, kLinkedHalfway };
  for (const Then then : {kRetry, kNextOpen, kNameTaken, kLinkedHalfway}) {
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Target");
    HKEY target = Key("Software\\Target");
    ASSERT_EQ(Put(target, "orig", "1"), 0);
    EXPECT_EQ(KilledAtRename([&] {
                return RegReplaceKeyA(software, "Target", fresh.c_str(), old.c_str());
              }), 128 + SIGKILL) << then;
    EXPECT_EQ(ValueCount(target), kNew) << then;
    ASSERT_FALSE(std::filesystem::exists(old)) << then;
    if (then == kNameTaken) {
      WriteFile(old, "taken");
      EXPECT_EQ(RegSaveKeyA(target, old.c_str(), nullptr), ERROR_ALREADY_EXISTS);
      EXPECT_EQ(RegReplaceKeyA(software, "Target", fresh.c_str(), old.c_str()),
                ERROR_ALREADY_EXISTS);
      EXPECT_TRUE(std::filesystem::exists(temp));
      EXPECT_EQ(ReadFile(old), "taken");
      std::filesystem::remove(old);
    }
    // As a rename by link and unlink leaves the file when killed between the two.
    if (then == kLinkedHalfway) {
      ASSERT_EQ(link(temp.c_str(), old.c_str()), 0);
    }
    if (then == kRetry) {
      // The key already holds the new content: the first call is done.
      EXPECT_EQ(RegReplaceKeyA(software, "Target", fresh.c_str(), old.c_str()),
                ERROR_ALREADY_EXISTS);
    } else {
      EXPECT_EQ(Reap(Spawn([] { return platform::RegistryLoadError() == 0 ? 0 : 1; })), 0)
          << then;
    }
    EXPECT_FALSE(std::filesystem::exists(temp)) << then;
    EXPECT_EQ(SqlInt("SELECT count(*) FROM facts"), 0) << then;
    holdsOriginal(std::to_string(then));
    std::filesystem::remove(old);
    RegCloseKey(target);
  }
  WriteFile(temp, "left by a killed save");
  std::mt19937 rng(183);
  int cut = 0;
  for (int round = 0; round < 8; ++round) {
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Target");
    HKEY target = Key("Software\\Target");
    ASSERT_EQ(Put(target, "orig", "1"), 0);
    const pid_t pid = Spawn([&] {
      return RegReplaceKeyA(software, "Target", fresh.c_str(), old.c_str());
    });
    std::this_thread::sleep_for(std::chrono::microseconds(rng() % 150000));
    kill(pid, SIGKILL);
    const int status = Reap(pid);
    cut += status == 128 + SIGKILL;
    const DWORD count = ValueCount(target);
    EXPECT_TRUE(count == 1 || count == kNew) << round << ": " << count;
    // Once another process has opened the store, a committed replace has
    // named the old content.
    EXPECT_EQ(Reap(Spawn([] { return platform::RegistryLoadError() == 0 ? 0 : 1; })), 0);
    EXPECT_EQ(std::filesystem::exists(old), count == kNew) << round;
    if (count == kNew) holdsOriginal(std::to_string(round));
    std::filesystem::remove(old);
    EXPECT_EQ(RegReplaceKeyA(software, "Target", fresh.c_str(), old.c_str()),
              ERROR_SUCCESS) << round;
    EXPECT_EQ(ValueCount(target), kNew) << round;
    EXPECT_FALSE(std::filesystem::exists(temp)) << round;
    if (count == 1) holdsOriginal(std::to_string(round));
    std::filesystem::remove(old);
    RegCloseKey(target);
  }
  EXPECT_GT(cut, 0);
  RegCloseKey(software);
}

}  // namespace
