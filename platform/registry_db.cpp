// Opening the registry's database. The schema, in full (version 2):
//   keys(id, parent, name, folded): one row per key, found by (parent,
//        folded) and enumerated in that order; the six roots are rows 1..6
//        with parent 0; ids are never reused, so a handle of a deleted key
//        finds no row.
//   vals(id, key, folded, name, type, ord, data): one row per value, found
//        through its own index on (key, folded); ord numbers a key's values
//        in the order they were first written and enumerates them through
//        another index. The data stays out of both indexes, so a search
//        never reads a large value it passes.
//   facts(name, value): what the store knows about itself; "old file": the
//        older store file beside it was taken over ("imported") or found
//        malformed ("bad") when the store was made, and still waits to be
//        renamed so (the row goes once it is); "rename " and a temporary's
//        host path (bytes): a replace committed, and the temporary holding
//        the old content still waits to take the name in `value`.
// Version 1 kept vals WITHOUT ROWID, its data in the search tree; it is
// converted in one transaction when first opened. `folded` is the name with
// its Latin-1 letters in capitals, compared as bytes. Writes run in BEGIN
// IMMEDIATE transactions on a WAL journal, so readers never wait and
// writers wait for each other up to the busy timeout. Pages freed by a
// change go back to the file system when it commits (auto_vacuum).
#include "platform/registry_db.h"

#include <fcntl.h>
#include <pthread.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>

namespace platform::registry_detail {
namespace {

constexpr int kBusyTimeoutMs = 5000;
constexpr int kApplicationId = 0x5A4C5652;  // "ZLVR"
constexpr int kSchemaVersion = 2;

// A new store: the tables of keys with the six roots, then those of values.
constexpr const char* kKeyTables =
    "CREATE TABLE keys(id INTEGER PRIMARY KEY AUTOINCREMENT, parent INTEGER NOT NULL,"
    " name BLOB NOT NULL, folded BLOB NOT NULL);"
    "CREATE UNIQUE INDEX keys_by_name ON keys(parent, folded);"
    "INSERT INTO keys(id, parent, name, folded) VALUES"
    " (1, 0, x'', x'01'), (2, 0, x'', x'02'), (3, 0, x'', x'03'),"
    " (4, 0, x'', x'04'), (5, 0, x'', x'05'), (6, 0, x'', x'06');"
    "PRAGMA application_id = 1514952274;";
constexpr const char* kValueTables =
    "CREATE TABLE vals(id INTEGER PRIMARY KEY, key INTEGER NOT NULL, folded BLOB NOT NULL,"
    " name BLOB NOT NULL, type INTEGER NOT NULL, ord INTEGER NOT NULL, data BLOB NOT NULL);"
    "CREATE UNIQUE INDEX vals_by_name ON vals(key, folded);"
    "CREATE INDEX vals_in_order ON vals(key, ord);"
    "CREATE TABLE facts(name TEXT PRIMARY KEY, value NOT NULL) WITHOUT ROWID;"
    "PRAGMA user_version = 2;";
constexpr const char* kSchema[] = {kKeyTables, kValueTables};

// Version 1 to 2, step by step inside the caller's transaction.
constexpr const char* kUpgradeFrom1[] = {
    "DROP INDEX vals_in_order; ALTER TABLE vals RENAME TO vals_v1;",
    kValueTables,
    "INSERT INTO vals(key, folded, name, type, ord, data)"
    " SELECT key, folded, name, type, ord, data FROM vals_v1 ORDER BY key, ord;"
    "DROP TABLE vals_v1;",
};

// The facts of renames left to do: their names, the prefix and a path.
constexpr char kRenamePrefix[] = "rename ";
constexpr const char* kRenames =
    "SELECT name, value FROM facts WHERE substr(name, 1, 7) = CAST('rename ' AS BLOB)";
constexpr const char* kRenameOf = "SELECT name, value FROM facts WHERE name = ?";

static_assert(kRootCount == 6, "the schema creates six roots");
static_assert(kApplicationId == 1514952274, "the schema writes the same id");

// Holds an exclusive lock on the store's folder while a process opens the
// store, so no two processes move a malformed store aside at once (the
// second would move the first one's fresh store).
class FolderLock {
 public:
  explicit FolderLock(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "."
                            : slash == 0                ? "/"
                                                        : path.substr(0, slash);
    fd_ = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ >= 0) {
      while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
      }
    }
  }
  ~FolderLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  int fd_ = -1;
};

// Counts the forks this process came out of; a connection made under an
// earlier count belongs to a parent. Cheaper than asking for the process id
// on every call.
std::atomic<unsigned> forks{0};

void CountFork() { forks.fetch_add(1, std::memory_order_relaxed); }

unsigned Forks() {
  static const bool registered = pthread_atfork(nullptr, nullptr, CountFork) == 0;
  (void)registered;
  return forks.load(std::memory_order_relaxed);
}

}  // namespace

StoreVersion Database::Version() const {
  StoreVersion v;
  v.connection = serial_;
  sqlite3_file_control(db_, "main", SQLITE_FCNTL_DATA_VERSION, &v.data);
  v.own = sqlite3_total_changes64(db_);
  return v;
}

// A store that was only busy while being opened is tried again at the next
// call, rather than read as empty for the rest of the process.
bool Database::IsOpen() const {
  return db_ != nullptr && owner_ == Forks() && writeError_ != ERROR_BUSY;
}

void Database::Close() {
  if (db_ != nullptr && owner_ != Forks()) {
    // Inherited from the parent. SQLite keeps one record of a file's locks
    // per process, so while this connection lives a new one of the child
    // would take the parent's locks for its own and hold none: the parent's
    // last close would then checkpoint and delete the journal the child
    // still commits to. It is closed first, without the checkpoint a close
    // runs, so nothing of the parent's files is touched.
    sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
  }
  for (auto& entry : statements_) sqlite3_finalize(entry.second);
  statements_.clear();
  if (db_ != nullptr) sqlite3_close_v2(db_);
  db_ = nullptr;
}

// The last connection to close writes the journal into the store file and
// removes it, but processes closing at the same moment each see another
// still open and all leave it. So each writes the journal into the store
// first, waiting only for another process's checkpoint, not for readers or
// writers: a process inside a transaction is alive and closes later.
void Database::CloseWhole() {
  if (IsOpen() && writeError_ == ERROR_SUCCESS) {
    sqlite3_busy_timeout(db_, 0);
    for (int waited = 0; waited < kBusyTimeoutMs; ++waited) {
      int log = -1, written = -1;
      const int rc =
          sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_TRUNCATE, &log, &written);
      if (rc != SQLITE_BUSY || log >= 0) break;  // -1: another checkpoint held the journal
      ::usleep(1000);
    }
  }
  Close();
}

LONG Database::ErrorOf(int rc) const {
  const int err = db_ != nullptr ? sqlite3_system_errno(db_) : 0;
  switch (rc & 0xFF) {
    case SQLITE_OK: case SQLITE_ROW: case SQLITE_DONE: return ERROR_SUCCESS;
    case SQLITE_BUSY: case SQLITE_LOCKED: return ERROR_BUSY;
    case SQLITE_FULL: return ERROR_DISK_FULL;
    case SQLITE_NOMEM: case SQLITE_TOOBIG: return ERROR_OUTOFMEMORY;
    case SQLITE_READONLY: case SQLITE_PERM: case SQLITE_AUTH: return ERROR_ACCESS_DENIED;
    case SQLITE_CORRUPT: case SQLITE_NOTADB: case SQLITE_ERROR: return ERROR_BADDB;
    case SQLITE_CANTOPEN: return FromErrno(err, ERROR_ACCESS_DENIED);
    default: return FromErrno(err, ERROR_WRITE_FAULT);
  }
}

sqlite3_stmt* Database::Prepare(const char* sql, int* rc) {
  *rc = SQLITE_OK;
  const auto it = statements_.find(sql);
  if (it != statements_.end()) return it->second;
  sqlite3_stmt* stmt = nullptr;
  *rc = db_ != nullptr ? sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr)
                       : SQLITE_MISUSE;
  if (*rc != SQLITE_OK) {
    sqlite3_finalize(stmt);
    return nullptr;
  }
  statements_[sql] = stmt;
  return stmt;
}

LONG Database::Begin() {
  Stmt begin(*this, "BEGIN IMMEDIATE");
  const int rc = begin.Step();
  return rc == SQLITE_DONE ? ERROR_SUCCESS : ErrorOf(rc);
}

LONG Database::Commit() {
  int rc = SQLITE_DONE;
  {
    Stmt commit(*this, "COMMIT");
    rc = commit.Step();
  }
  if (rc == SQLITE_DONE) return ERROR_SUCCESS;
  const LONG error = ErrorOf(rc);
  Rollback();
  return error;
}

void Database::Rollback() {
  if (sqlite3_get_autocommit(db_) != 0) return;
  Stmt rollback(*this, "ROLLBACK");
  rollback.Step();
}

LONG Database::NoteRename(const std::string& temp, const std::string& path) {
  Stmt q(*this, "INSERT OR REPLACE INTO facts VALUES (?, ?)");
  const int rc = q.Blob(kRenamePrefix + temp).Blob(path).Step();
  return rc == SQLITE_DONE ? ERROR_SUCCESS : ErrorOf(rc);
}

LONG Database::FinishRenames(const std::string& temp) {
  std::vector<std::pair<std::string, std::string>> pending;
  {
    Stmt q(*this, temp.empty() ? kRenames : kRenameOf);
    if (!temp.empty()) q.Blob(kRenamePrefix + temp);
    int rc = SQLITE_ROW;
    while ((rc = q.Step()) == SQLITE_ROW) pending.emplace_back(q.BlobAt(0), q.BlobAt(1));
    if (rc != SQLITE_DONE) return ErrorOf(rc);
  }
  LONG result = ERROR_SUCCESS;
  for (const auto& [name, path] : pending) {
    const LONG rc = PlaceLeftover(name.substr(sizeof kRenamePrefix - 1), path);
    if (rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) {
      // A fact that stays (the store busy) finds nothing left to name next time.
      Stmt done(*this, "DELETE FROM facts WHERE name = ?");
      done.Blob(name).Step();
    } else if (rc != ERROR_BUSY && result == ERROR_SUCCESS) {
      // Busy: a live call between its commit and the rename names it itself.
      result = rc;
    }
  }
  return result;
}

LONG Database::Connect(const std::string& path, bool empty) {
  owner_ = Forks();
  const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
  int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
  if (rc == SQLITE_OK) {
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    // Until the file is known to be a store this program uses, closing
    // writes no journal into it: a later program's store stays byte for
    // byte, and a spoilt one is kept aside as it was found.
    sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    if (empty) rc = sqlite3_exec(db_, kFileSettings, nullptr, nullptr, nullptr);
  }
  if (rc == SQLITE_OK) return ERROR_SUCCESS;
  const LONG error = db_ != nullptr ? ErrorOf(rc) : ERROR_OUTOFMEMORY;
  Close();
  return error;
}

// What the open file is: a store of ours in *version (0: a fresh empty
// database), or ERROR_BADDB, or the error that kept it unread.
LONG Database::Check(int* version) {
  *version = -1;
  int64_t appId = -1, objects = -1;
  {
    Stmt q(*this, "SELECT (SELECT application_id FROM pragma_application_id),"
                  " (SELECT user_version FROM pragma_user_version),"
                  " (SELECT count(*) FROM sqlite_schema)");
    const int rc = q.Step();
    if (rc != SQLITE_ROW) return ErrorOf(rc);
    appId = q.IntAt(0);
    *version = static_cast<int>(q.IntAt(1));
    objects = q.IntAt(2);
  }
  if (appId == 0 && objects == 0) {
    *version = 0;
    return ERROR_SUCCESS;
  }
  if (appId != kApplicationId || *version < 1) return ERROR_BADDB;
  // A later program's store is left as it is; an earlier one's is
  // converted, and one whose tables do not fit fails that.
  if (*version > kSchemaVersion) return ERROR_REVISION_MISMATCH;
  if (*version < kSchemaVersion) return ERROR_SUCCESS;
  // Every statement the store runs must compile against the tables found.
  Stmt roots(*this, "SELECT count(*) FROM keys WHERE id BETWEEN 1 AND 6 AND parent = 0");
  Stmt vals(*this, "SELECT id, key, folded, name, type, ord, data FROM vals LIMIT 0");
  Stmt keys(*this, "SELECT id, parent, name, folded FROM keys LIMIT 0");
  Stmt facts(*this, "SELECT name, value FROM facts LIMIT 0");
  // Only tables that do not fit make the file no store; a busy or failing
  // file is not moved aside for that.
  for (const Stmt* q : {&roots, &vals, &keys, &facts}) {
    const int failed = q->PrepareError();
    if (failed != SQLITE_OK) return (failed & 0xFF) == SQLITE_ERROR ? ERROR_BADDB : ErrorOf(failed);
  }
  const int rc = roots.Step();
  if (rc != SQLITE_ROW) return ErrorOf(rc);
  return roots.IntAt(0) == static_cast<int64_t>(kRootCount) ? ERROR_SUCCESS : ERROR_BADDB;
}

LONG Database::Exec(const char* sql) {
  const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
  return rc == SQLITE_OK ? ERROR_SUCCESS : ErrorOf(rc);
}

template <size_t N>
LONG Database::Exec(const char* const (&steps)[N]) {
  LONG error = ERROR_SUCCESS;
  for (size_t i = 0; i < N && error == ERROR_SUCCESS; ++i) error = Exec(steps[i]);
  return error;
}

// Fills a fresh database; an older store file is taken over once, with the
// store's creation, and marked to be renamed once that has committed.
// Inside the caller's transaction.
LONG Database::Create(const std::string& old) {
  LONG error = Exec(kSchema);
  if (error != ERROR_SUCCESS || old.empty()) return error;
  std::string bytes;
  error = ReadWholeFile(old, &bytes);
  std::shared_ptr<Key> roots[kRootCount];
  if (error == ERROR_SUCCESS &&
      ReadStoreImage(reinterpret_cast<const BYTE*>(bytes.data()), bytes.size(), roots)) {
    for (size_t i = 0; i < kRootCount && error == ERROR_SUCCESS; ++i) {
      error = WriteTree(*this, RootId(i), *roots[i], /*guessWidth=*/true);
    }
    return error == ERROR_SUCCESS ? Exec("INSERT INTO facts VALUES ('old file', 'imported')")
                                  : error;
  }
  if (error == ERROR_SUCCESS || error == ERROR_BADDB) {
    loadError_ = ERROR_BADDB;
    return Exec("INSERT INTO facts VALUES ('old file', 'bad')");
  }
  // Any other error: the old file may hold every setting, so no store is
  // made without them.
  return error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;
}

// Makes a fresh database a store, or converts an earlier version's, in one
// transaction; another process may have done either meanwhile.
LONG Database::Initialize(const std::string& path) {
  LONG error = Begin();
  if (error != ERROR_SUCCESS) return error;
  int version = 0;
  error = Check(&version);
  if (error == ERROR_SUCCESS && version == 0) {
    error = Create(OldStorePath(path));
  } else if (error == ERROR_SUCCESS && version == 1) {
    error = Exec(kUpgradeFrom1);
  }
  if (error != ERROR_SUCCESS) {
    Rollback();
    return error;
  }
  error = Commit();
  if (error != ERROR_SUCCESS) loadError_ = ERROR_SUCCESS;
  return error;
}

// What is left to do after the store's transactions: the older store file
// renamed after the store that took it over (also when the process that
// made the store was killed before), the old content of replaces killed
// after their commit given its name, and pages given back in a store made
// without auto_vacuum, which only a rebuild turns on. What fails is left
// for the next open.
void Database::Tidy(const std::string& path) {
  FinishRenames();
  std::string suffix;
  {
    Stmt q(*this, "SELECT value FROM facts WHERE name = 'old file'");
    if (q.Step() == SQLITE_ROW) suffix = "." + q.BlobAt(0);
  }
  const std::string old = OldStorePath(path);
  if (!suffix.empty() && (!FileExists(old) || MoveAside(old, old + suffix) == ERROR_SUCCESS)) {
    Exec("DELETE FROM facts WHERE name = 'old file'");
  }
  int mode = -1;
  {
    Stmt q(*this, "PRAGMA auto_vacuum");
    if (q.Step() == SQLITE_ROW) mode = static_cast<int>(q.IntAt(0));
  }
  if (mode == 0) Exec("PRAGMA auto_vacuum = FULL; VACUUM");
}

void Database::Open(const std::string& path, LONG readFault) {
  static unsigned connections = 0;
  Close();
  serial_ = ++connections;
  loadError_ = ERROR_SUCCESS;
  writeError_ = readFault;
  if (readFault == ERROR_SUCCESS) {
    MakeParents(path);
    FolderLock lock(path);
    for (int attempt = 0; attempt < 2; ++attempt) {
      // The store is private to the user; SQLite would make it readable to all.
      const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
      if (fd < 0) {
        writeError_ = FromErrno(errno, ERROR_READ_FAULT);
        break;
      }
      struct stat st {};
      const bool empty = ::fstat(fd, &st) == 0 && st.st_size == 0;
      ::close(fd);
      int version = 0;
      writeError_ = Connect(path, empty);
      if (writeError_ == ERROR_SUCCESS) writeError_ = Check(&version);
      // Set up (and so turned to WAL) only once known to be a store this
      // program can use: a later program's store or a foreign file stays as
      // it is.
      if (writeError_ == ERROR_SUCCESS) writeError_ = Exec(kTuning);
      if (writeError_ == ERROR_SUCCESS && version != kSchemaVersion) writeError_ = Initialize(path);
      if (writeError_ == ERROR_SUCCESS) {
        sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 0, nullptr);
        Tidy(path);
      }
      if (writeError_ != ERROR_BADDB || attempt > 0) break;
      // Not a store of ours: kept aside whole, with its journal.
      Close();
      std::string aside;
      writeError_ = MoveAside(path, path + ".bad", &aside);
      if (writeError_ != ERROR_SUCCESS) break;
      if (FileExists(path + "-wal")) MoveAside(path + "-wal", aside + "-wal");
      ::unlink((path + "-shm").c_str());
      loadError_ = ERROR_BADDB;
    }
  }
  if (writeError_ == ERROR_SUCCESS) return;
  // An unusable store reads as empty roots; writes report why.
  Close();
  loadError_ = writeError_;
  owner_ = Forks();
  if (sqlite3_open_v2(":memory:", &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) ==
      SQLITE_OK) {
    Exec(kSchema);
  }
}

Stmt::Stmt(Database& db, const char* sql) : stmt_(db.Prepare(sql, &prepared_)) {
  // The same statement may have served a caller further up that is done with it.
  if (stmt_ != nullptr) sqlite3_reset(stmt_);
}

Stmt::~Stmt() {
  if (stmt_ != nullptr) {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
}

Stmt& Stmt::Int(int64_t v) {
  if (stmt_ != nullptr) sqlite3_bind_int64(stmt_, next_, v);
  ++next_;
  return *this;
}

Stmt& Stmt::Blob(const void* data, size_t size) {
  // A zero-length blob still binds as a blob, never as NULL. The bytes are
  // copied: callers bind temporaries.
  if (stmt_ != nullptr) {
    sqlite3_bind_blob64(stmt_, next_, size > 0 ? data : "", size, SQLITE_TRANSIENT);
  }
  ++next_;
  return *this;
}

int Stmt::Step() { return stmt_ != nullptr ? sqlite3_step(stmt_) : prepared_; }

int64_t Stmt::IntAt(int col) const { return sqlite3_column_int64(stmt_, col); }

std::string_view Stmt::BlobView(int col) const {
  const void* data = sqlite3_column_blob(stmt_, col);
  const int size = sqlite3_column_bytes(stmt_, col);
  return data != nullptr && size > 0
             ? std::string_view(static_cast<const char*>(data), static_cast<size_t>(size))
             : std::string_view();
}

}  // namespace platform::registry_detail
