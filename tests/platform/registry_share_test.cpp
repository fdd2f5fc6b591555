// Several processes on one store: writers side by side, writers killed in
// the middle of a call, readers while others write, and keys deleted under
// another process's handle.
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "registry_test_util.h"

namespace {

class RegistryShareTest : public RegistryStoreTest {
 protected:
  void SetUp() override {
    RegistryStoreTest::SetUp();
    // The parent's connection is open before any fork, so each child must
    // leave it alone and open its own.
    ASSERT_EQ(platform::RegistryLoadError(), ERROR_SUCCESS);
  }
};

LONG SetText(HKEY key, const std::string& name, const std::string& text) {
  return RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.data()),
                        static_cast<DWORD>(text.size()));
}

std::string GetText(HKEY key, const std::string& name) {
  char buf[256];
  DWORD size = sizeof buf;
  if (RegQueryValueExA(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(buf),
                       &size) != ERROR_SUCCESS) {
    return "<missing>";
  }
  return std::string(buf, size);
}

HKEY Create(const std::string& path) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      &key, nullptr) != ERROR_SUCCESS) {
    return nullptr;
  }
  return key;
}

TEST_F(RegistryShareTest, WritersSideBySideLoseNoWriteThatReturned) {
  struct Case {
    int writers;
    int rounds;
  };
  for (const Case c : {Case{2, 2000}, Case{4, 1000}}) {
    const std::string base = "Software\\Share" + std::to_string(c.writers);
    std::vector<pid_t> pids;
    for (int w = 0; w < c.writers; ++w) {
      pids.push_back(Spawn([&, w] {
        int failures = 0;
        HKEY same = Create(base + "\\Same");
        for (int i = 0; i < c.rounds; ++i) {
          const std::string text = std::to_string(w) + ":" + std::to_string(i);
          HKEY own = Create(base + "\\W" + std::to_string(w) + "\\k" + std::to_string(i % 40));
          failures += own == nullptr || SetText(own, "v" + std::to_string(i), text) != 0;
          failures += RegCloseKey(own) != 0;
          failures += SetText(same, "last", text) != 0;
          failures += SetText(same, "n" + std::to_string(i % 10), text) != 0;
        }
        return failures > 100 ? 100 : failures;
      }));
    }
    for (pid_t pid : pids) EXPECT_EQ(Reap(pid), 0) << c.writers;
    Reload();
    for (int w = 0; w < c.writers; ++w) {
      int missing = 0;
      for (int i = 0; i < c.rounds; ++i) {
        HKEY own = nullptr;
        const std::string path = base + "\\W" + std::to_string(w) + "\\k" + std::to_string(i % 40);
        ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &own), 0);
        missing += GetText(own, "v" + std::to_string(i)) != std::to_string(w) + ":" +
                                                              std::to_string(i);
        RegCloseKey(own);
      }
      EXPECT_EQ(missing, 0) << c.writers << " writers, writer " << w;
    }
    // The same values hold one writer's last write each.
    HKEY same = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, (base + "\\Same").c_str(), 0, KEY_READ, &same), 0);
    const std::string last = GetText(same, "last");
    EXPECT_EQ(last.substr(last.find(':') + 1), std::to_string(c.rounds - 1)) << last;
    for (int n = 0; n < 10; ++n) {
      const std::string text = GetText(same, "n" + std::to_string(n));
      EXPECT_EQ(text.substr(text.find(':') + 1), std::to_string(c.rounds - 10 + n)) << text;
    }
    RegCloseKey(same);
  }
}

TEST_F(RegistryShareTest, WriterKilledAtRandomKeepsEveryValueWhoseCallReturned) {
  std::mt19937 rng(1018);
  int reported = 0;
  // Made here, so a writer killed before its first call still leaves a key to open.
  RegCloseKey(Create("Software\\Kill"));
  for (int round = 0; round < 8; ++round) {
    int pipefd[2];
    ASSERT_EQ(pipe(pipefd), 0);
    const std::string prefix = "r" + std::to_string(round) + "v";
    const pid_t pid = Spawn([&] {
      close(pipefd[0]);
      HKEY key = Create("Software\\Kill");
      for (int i = 0;; ++i) {
        // Every fifth value is large enough to span several pages.
        const std::string text(i % 5 == 0 ? 20000 : 10, static_cast<char>('a' + i % 26));
        if (key == nullptr || SetText(key, prefix + std::to_string(i), text) != 0) return 1;
        if (write(pipefd[1], &i, sizeof i) != sizeof i) return 2;
      }
    });
    close(pipefd[1]);
    std::this_thread::sleep_for(std::chrono::milliseconds(5 + rng() % 60));
    kill(pid, SIGKILL);
    EXPECT_EQ(Reap(pid), 128 + SIGKILL);
    int last = -1, i = 0;
    while (read(pipefd[0], &i, sizeof i) == sizeof i) last = i;
    close(pipefd[0]);
    reported += last + 1;
    Reload();
    ASSERT_EQ(platform::RegistryLoadError(), ERROR_SUCCESS);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Kill", 0, KEY_READ, &key), 0);
    for (int v = 0; v <= last; ++v) {
      const std::string text(v % 5 == 0 ? 20000 : 10, static_cast<char>('a' + v % 26));
      char buf[20001];
      DWORD size = sizeof buf;
      ASSERT_EQ(RegQueryValueExA(key, (prefix + std::to_string(v)).c_str(), nullptr, nullptr,
                                 reinterpret_cast<BYTE*>(buf), &size), 0) << round << " " << v;
      ASSERT_EQ(std::string(buf, size), text) << round << " " << v;
    }
    // The call in flight may or may not have committed; nothing after it.
    EXPECT_EQ(GetText(key, prefix + std::to_string(last + 2)), "<missing>");
    RegCloseKey(key);
  }
  EXPECT_GT(reported, 100);
}

TEST_F(RegistryShareTest, ReadersSeeEachCommittedValueAtOnce) {
  constexpr int kWrites = 1500;
  HKEY counter = Create("Software\\Count");
  ASSERT_EQ(SetText(counter, "n", "0"), 0);
  int pipefd[2];
  ASSERT_EQ(pipe(pipefd), 0);
  const pid_t writer = Spawn([&] {
    close(pipefd[0]);
    for (int i = 1; i <= kWrites; ++i) {
      if (SetText(counter, "n", std::to_string(i)) != 0) return 1;
      if (write(pipefd[1], &i, sizeof i) != sizeof i) return 2;
    }
    return 0;
  });
  close(pipefd[1]);
  // A second reader process: the counter never goes back and reaches the end.
  const pid_t reader = Spawn([&] {
    int seen = 0, changes = 0;
    // A writer that fails stops short of the end; the reader gives up then.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (seen < kWrites) {
      if (std::chrono::steady_clock::now() > deadline) return 4;
      const std::string text = GetText(counter, "n");
      const int now = text == "<missing>" ? -1 : std::stoi(text);
      if (now < seen) return 1;
      changes += now > seen;
      seen = now;
    }
    return changes > 1 ? 0 : 3;
  });
  int behind = 0, reports = 0, i = 0;
  while (read(pipefd[0], &i, sizeof i) == sizeof i) {
    ++reports;
    behind += std::stoi(GetText(counter, "n")) < i;
  }
  close(pipefd[0]);
  EXPECT_EQ(Reap(writer), 0);
  EXPECT_EQ(Reap(reader), 0);
  EXPECT_EQ(reports, kWrites);
  EXPECT_EQ(behind, 0);
  RegCloseKey(counter);
}

TEST_F(RegistryShareTest, KeyDeletedByAnotherProcessGivesKeyDeleted) {
  HKEY gone = Create("Software\\Gone");
  ASSERT_EQ(SetText(gone, "v", "x"), 0);
  const pid_t pid = Spawn([] { return RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Gone"); });
  ASSERT_EQ(Reap(pid), 0);
  char name[8];
  DWORD len = sizeof name, size = 0;
  HKEY sub = nullptr;
  BYTE data[4] = {};
  struct Case {
    const char* call;
    LONG rc;
  };
  const Case cases[] = {
      {"query", RegQueryValueExA(gone, "v", nullptr, nullptr, nullptr, &size)},
      {"set", SetText(gone, "w", "y")},
      {"delete value", RegDeleteValueA(gone, "v")},
      {"enum value", RegEnumValueA(gone, 0, name, &len, nullptr, nullptr, nullptr, nullptr)},
      {"enum key", RegEnumKeyExA(gone, 0, name, &len, nullptr, nullptr, nullptr, nullptr)},
      {"info", RegQueryInfoKeyA(gone, nullptr, nullptr, nullptr, nullptr, nullptr)},
      {"open", RegOpenKeyExA(gone, nullptr, 0, KEY_READ, &sub)},
      {"create below", RegCreateKeyExA(gone, "x", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub,
                                       nullptr)},
      {"flush", RegFlushKey(gone)},
      {"save", RegSaveKeyA(gone, (dir_ + "/gone.key").c_str(), nullptr)},
      {"wide set", RegSetValueExW(gone, u"w", 0, REG_BINARY, data, 1)},
      {"load", RegLoadKeyA(gone, "x", (dir_ + "/none.key").c_str())},
      {"replace", RegReplaceKeyA(gone, "x", (dir_ + "/none.key").c_str(),
                                 (dir_ + "/old.key").c_str())},
  };
  for (const Case& c : cases) EXPECT_EQ(c.rc, ERROR_KEY_DELETED) << c.call;
  EXPECT_EQ(RegCloseKey(gone), ERROR_SUCCESS);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Gone", 0, KEY_READ, &sub),
            ERROR_FILE_NOT_FOUND);
}

// A child's connection holds its own locks on the store: the parent leaving
// the store (its connection the last that SQLite knew of) must not take the
// journal from under the child's later commits.
TEST_F(RegistryShareTest, ChildKeepsItsCommitsWhenTheParentLeavesTheStore) {
  RegCloseKey(Create("Software\\Fork"));
  int up[2], down[2];
  ASSERT_EQ(pipe(up), 0);
  ASSERT_EQ(pipe(down), 0);
  const pid_t child = Spawn([&] {
    char c = 0;
    HKEY key = Create("Software\\Fork");
    if (key == nullptr || SetText(key, "before", "x") != 0) return 1;
    if (write(up[1], &c, 1) != 1 || read(down[0], &c, 1) != 1) return 2;
    return SetText(key, "after", "y") == 0 ? 0 : 3;
  });
  char c = 0;
  ASSERT_EQ(read(up[0], &c, 1), 1);
  platform::RegistryUseStoreFile((dir_ + "/elsewhere.db").c_str());
  EXPECT_EQ(platform::RegistryLoadError(), ERROR_SUCCESS);
  ASSERT_EQ(write(down[1], &c, 1), 1);
  ASSERT_EQ(Reap(child), 0);
  for (int fd : {up[0], up[1], down[0], down[1]}) close(fd);
  Reload();
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Fork", 0, KEY_READ, &key), 0);
  EXPECT_EQ(GetText(key, "before"), "x");
  EXPECT_EQ(GetText(key, "after"), "y");
  RegCloseKey(key);
}

// A fork while another thread is inside a call waits for it, so the child
// never inherits the store's lock held by a thread it does not have.
TEST_F(RegistryShareTest, ForkDuringACallOfAnotherThreadLeavesTheChildWorking) {
  HKEY key = Create("Software\\Busy");
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(path_.c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  // The writer waits on the busy store, inside the call, until the release.
  std::thread writer([&] { EXPECT_EQ(SetText(key, "v", "x"), 0); });
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const pid_t child = Spawn([] {
    HKEY k = Create("Software\\Busy");
    return k != nullptr && GetText(k, "v") != "" ? 0 : 1;
  });
  // A child stuck on the inherited lock is killed after ten seconds.
  int status = 0;
  for (int waited = 0; waitpid(child, &status, WNOHANG) == 0; ++waited) {
    if (waited == 200) kill(child, SIGKILL);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  writer.join();
  release.join();
  sqlite3_close(other);
  RegCloseKey(key);
}

// A database of another program still open there (its journal holding what
// it wrote) goes aside whole: each aside file keeps its own journal, none
// written over an earlier one's.
TEST_F(RegistryShareTest, DatabaseInUseElsewhereGoesAsideWithItsOwnJournal) {
  WriteFile(path_ + ".bad.1", "kept from before");
  const char* const aside[] = {".bad", ".bad.2"};
  for (int round = 0; round < 2; ++round) {
    RemoveStore();
    int up[2];
    ASSERT_EQ(pipe(up), 0);
    const pid_t holder = Spawn([&] {
      sqlite3* db = nullptr;
      if (sqlite3_open(path_.c_str(), &db) != SQLITE_OK) return 1;
      const std::string sql =
          "PRAGMA journal_mode = WAL; PRAGMA wal_autocheckpoint = 0; CREATE TABLE t(x);"
          " INSERT INTO t VALUES(" + std::to_string(round) + ");";
      if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) return 2;
      char c = 0;
      if (write(up[1], &c, 1) != 1) return 3;
      pause();  // killed while it holds the database
      return 0;
    });
    char c = 0;
    ASSERT_EQ(read(up[0], &c, 1), 1);
    close(up[0]);
    close(up[1]);
    EXPECT_EQ(platform::RegistryLoadError(), ERROR_BADDB);
    kill(holder, SIGKILL);
    EXPECT_EQ(Reap(holder), 128 + SIGKILL);
  }
  EXPECT_EQ(ReadFile(path_ + ".bad.1"), "kept from before");
  for (int round = 0; round < 2; ++round) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2((path_ + aside[round]).c_str(), &db, SQLITE_OPEN_READWRITE,
                              nullptr), SQLITE_OK);
    sqlite3_stmt* q = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT x FROM t", -1, &q, nullptr), SQLITE_OK)
        << aside[round] << ": " << sqlite3_errmsg(db);
    EXPECT_EQ(sqlite3_step(q), SQLITE_ROW) << aside[round];
    EXPECT_EQ(sqlite3_column_int(q, 0), round) << aside[round];
    sqlite3_finalize(q);
    sqlite3_close(db);
  }
}

TEST_F(RegistryShareTest, ProcessesStartingTogetherTakeOverTheOldFileOnce) {
  // An older store file: HKEY_CURRENT_USER\A holding z = "hi".
  const std::string empty(8, '\0');
  std::string file = std::string("ZLVREG\1\n", 8) + empty;
  file += std::string("\0\0\0\0\1\0\0\0\1\0A\1\0\0\0\1\0z\1\0\0\0\2\0\0\0hi\0\0\0\0", 32);
  for (int i = 0; i < 4; ++i) file += empty;
  RemoveStore();
  WriteFile(old_, file);
  std::vector<pid_t> pids;
  for (int c = 0; c < 4; ++c) {
    pids.push_back(Spawn([c] {
      HKEY key = Create("A");
      if (key == nullptr || GetText(key, "z") != "hi") return 1;
      return SetText(key, "w" + std::to_string(c), "x") == 0 ? 0 : 2;
    }));
  }
  for (pid_t pid : pids) EXPECT_EQ(Reap(pid), 0);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "A", 0, KEY_READ, &key), 0);
  DWORD values = 0;
  EXPECT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, &values, nullptr, nullptr), 0);
  EXPECT_EQ(values, 5u);
  RegCloseKey(key);
  EXPECT_EQ(ReadFile(old_ + ".imported"), file);
  EXPECT_NE(access(old_.c_str(), F_OK), 0);
}

// An enumeration walked index by index sees the changes made between its
// steps, by this process or another, as a count from the start would.
TEST_F(RegistryShareTest, EnumerationStepsFollowChangesMadeBetweenThem) {
  HKEY key = Create("Walk");
  for (const char* sub : {"b", "d", "f", "h"}) RegCloseKey(Create(std::string("Walk\\") + sub));
  for (const char* value : {"v1", "v2", "v3"}) ASSERT_EQ(SetText(key, value, "x"), 0);
  const auto subkey = [&](DWORD i) {
    char name[16];
    DWORD len = sizeof name;
    return RegEnumKeyExA(key, i, name, &len, nullptr, nullptr, nullptr, nullptr) == 0
               ? std::string(name) : std::string("<end>");
  };
  const auto value = [&](DWORD i) {
    char name[16];
    DWORD len = sizeof name;
    return RegEnumValueA(key, i, name, &len, nullptr, nullptr, nullptr, nullptr) == 0
               ? std::string(name) : std::string("<end>");
  };
  const auto elsewhere = [](const std::function<int()>& change) { return Reap(Spawn(change)); };
  struct Step {
    const char* what;
    std::function<void()> change;  // made before the step
    bool values;
    DWORD index;
    const char* expected;
  };
  const Step steps[] = {
      {"first", nullptr, false, 0, "b"},
      {"next", nullptr, false, 1, "d"},
      {"after a key added here", [] { RegCloseKey(Create("Walk\\a")); }, false, 2, "d"},
      {"after a key added elsewhere",
       [&] { ASSERT_EQ(elsewhere([] { return Create("Walk\\C") == nullptr; }), 0); }, false, 3,
       "d"},
      {"same again", nullptr, false, 3, "d"},
      {"back one", nullptr, false, 2, "C"},
      {"after a key deleted elsewhere",
       [&] { ASSERT_EQ(elsewhere([] { return RegDeleteKeyA(HKEY_CURRENT_USER, "Walk\\b"); }), 0); },
       false, 2, "d"},
      {"last", nullptr, false, 4, "h"},
      {"after the entry there deleted here",
       [&] { ASSERT_EQ(RegDeleteKeyA(key, "H"), 0); }, false, 3, "f"},
      {"after an entry before deleted here",
       [&] { ASSERT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Walk\\c"), 0); }, false, 1, "d"},
      {"past the end", nullptr, false, 3, "<end>"},
      {"first value", nullptr, true, 0, "v1"},
      {"next value", nullptr, true, 1, "v2"},
      {"after a value deleted elsewhere",
       [&] {
         ASSERT_EQ(elsewhere([] {
                     HKEY k = Create("Walk");
                     return k == nullptr ? 1 : static_cast<int>(RegDeleteValueA(k, "v1"));
                   }), 0);
       },
       true, 1, "v3"},
      {"after a value added here", [&] { ASSERT_EQ(SetText(key, "v0", "y"), 0); }, true, 2, "v0"},
      {"value back one", nullptr, true, 1, "v3"},
      {"after the value there deleted here", [&] { ASSERT_EQ(RegDeleteValueA(key, "V3"), 0); },
       true, 1, "v0"},
      {"after a value before deleted here", [&] { ASSERT_EQ(RegDeleteValueA(key, "v2"), 0); },
       true, 0, "v0"},
      {"past the last value", nullptr, true, 1, "<end>"},
  };
  for (const Step& step : steps) {
    if (step.change) step.change();
    EXPECT_EQ(step.values ? value(step.index) : subkey(step.index), step.expected) << step.what;
  }
  RegCloseKey(key);
}

TEST_F(RegistryShareTest, StoreBusyPastTheTimeoutFailsTheChangeAndKeepsReadsGoing) {
  HKEY key = Create("Software\\Busy");
  ASSERT_EQ(SetText(key, "v", "before"), 0);
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(path_.c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(SetText(key, "v", "during"), ERROR_BUSY);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(GetText(key, "v"), "before");
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  EXPECT_EQ(SetText(key, "v", "after"), 0);
  EXPECT_EQ(GetText(key, "v"), "after");
  RegCloseKey(key);
}

TEST_F(RegistryShareTest, StoreBusyWhileOpeningIsOpenedAgainAtTheNextCall) {
  RegCloseKey(Create("Software\\Kept"));
  platform::RegistryUseStoreFile((path_ + ".elsewhere").c_str());  // lets go of the store
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(path_.c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "PRAGMA locking_mode = EXCLUSIVE; BEGIN EXCLUSIVE; "
                                "SELECT count(*) FROM keys", nullptr, nullptr, nullptr), SQLITE_OK);
  Reload();
  EXPECT_EQ(platform::RegistryLoadError(), ERROR_BUSY);
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Kept", 0, KEY_READ, &key), 0);
  RegCloseKey(key);
  EXPECT_EQ(RegCloseKey(Create("Software\\After")), ERROR_SUCCESS);
}

}  // namespace
