// The registry's database: one SQLite file per user that every process
// opens for itself, so each committed change is at once what all of them see.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/registry_tree.h"

struct sqlite3;
struct sqlite3_stmt;

namespace platform::registry_detail {

using KeyId = int64_t;

// The predefined roots are the rows 1..kRootCount, in the order of their
// handle values.
inline KeyId RootId(size_t index) { return static_cast<KeyId>(index) + 1; }

struct StoreVersion {
  unsigned connection = 0;
  unsigned data = 0;  // the file's data version as this connection saw it
  int64_t own = 0;    // rows this connection changed
  bool operator==(const StoreVersion&) const = default;
};

// One connection with its prepared statements. A connection belongs to the
// process that made it: after a fork the child closes the parent's (leaving
// its files alone) and opens its own.
class Database {
 public:
  Database() = default;
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;
  ~Database() { Close(); }

  // Opens (creating, converting or moving aside as needed) the store at
  // `path`; `readFault` non-zero makes the store unusable with that error.
  void Open(const std::string& path, LONG readFault);
  void Close();
  // Close, once the journal is written into the store file.
  void CloseWhole();
  bool IsOpen() const;

  // Why the store was found empty: 0, ERROR_BADDB when a malformed store or
  // old file was moved aside, else the error that keeps the store shut.
  LONG LoadError() const { return loadError_; }
  // Non-zero when the store could not be opened: every change reports it
  // and reads see empty roots.
  LONG WriteError() const { return writeError_; }

  // The statement, kept for the connection's life; null with *rc set when
  // it cannot be compiled (SQLITE_ERROR: the tables do not fit it).
  sqlite3_stmt* Prepare(const char* sql, int* rc);
  sqlite3* Handle() const { return db_; }
  // Differs whenever the store may have changed since: a commit by anyone,
  // or another connection. Read inside a read transaction.
  StoreVersion Version() const;

  // BEGIN IMMEDIATE (waiting up to the busy timeout), COMMIT, ROLLBACK.
  LONG Begin();
  LONG Commit();
  void Rollback();
  // Error code of a failed SQLite call.
  LONG ErrorOf(int rc) const;

  // Records, inside the caller's transaction, that the held temporary
  // `temp` is to take the name `path` once that commits.
  LONG NoteRename(const std::string& temp, const std::string& path);
  // Gives the recorded temporaries their names (all of them, or the one of
  // `temp`) and forgets those done or gone; one whose name is taken
  // meanwhile stays, and is what this returns (ERROR_ALREADY_EXISTS).
  LONG FinishRenames(const std::string& temp = std::string());

 private:
  LONG Connect(const std::string& path, bool empty);
  LONG Check(int* version);
  LONG Exec(const char* sql);
  template <size_t N>
  LONG Exec(const char* const (&steps)[N]);
  LONG Create(const std::string& old);
  LONG Initialize(const std::string& path);
  void Tidy(const std::string& path);

  sqlite3* db_ = nullptr;
  unsigned owner_ = 0;  // the fork count when it was made
  unsigned serial_ = 0;  // which of the process's connections this is
  LONG loadError_ = ERROR_SUCCESS;
  LONG writeError_ = ERROR_SUCCESS;
  std::unordered_map<const char*, sqlite3_stmt*> statements_;
};

// A prepared statement for one use: binds from left to right and is reset
// when it goes out of scope.
class Stmt {
 public:
  Stmt(Database& db, const char* sql);
  Stmt(const Stmt&) = delete;
  Stmt& operator=(const Stmt&) = delete;
  ~Stmt();

  // SQLITE_OK, or why the statement could not be compiled.
  int PrepareError() const { return prepared_; }
  Stmt& Int(int64_t v);
  Stmt& Blob(const void* data, size_t size);
  Stmt& Blob(std::string_view bytes) { return Blob(bytes.data(), bytes.size()); }
  // SQLITE_ROW, SQLITE_DONE or an error.
  int Step();
  int64_t IntAt(int col) const;
  std::string BlobAt(int col) const { return std::string(BlobView(col)); }
  // Valid until the statement steps again or is reset.
  std::string_view BlobView(int col) const;

 private:
  int prepared_ = 0;
  sqlite3_stmt* stmt_;
  int next_ = 1;
};

// Text types travel in 16-bit units inside the store: what the 8-bit calls
// write is widened, what they read is narrowed (units above 0xFF become '?',
// an odd last byte is dropped).
bool IsTextType(DWORD type);
std::string Widen(const BYTE* data, size_t size);
std::string Narrow(std::string_view units);

// The name with its Latin-1 letters in capitals; names compare by it.
std::string Folded(const std::string& name);

// How a connection to a store is set up. The file settings shape a new
// store (run only on an empty file: on a store they would write): small
// pages keep each commit's journal short, and pages a change frees go back
// to the file system when it commits. Then, on every connection: a process that
// dies loses nothing it committed (only a power loss may take the last
// moments' changes); fewer, larger checkpoints (each syncs the database);
// room for the pages a process reads again and again; and a journal grown
// by a large transaction shrinks again once it is written into the store.
inline constexpr const char* kFileSettings = "PRAGMA page_size = 1024; PRAGMA auto_vacuum = FULL";
inline constexpr const char* kTuning =
    "PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL; PRAGMA wal_autocheckpoint = 16000;"
    " PRAGMA cache_size = -16384; PRAGMA journal_size_limit = 1048576";

// Whether a key exists. Binds: key.
inline constexpr const char* kKeyExists = "SELECT 1 FROM keys WHERE id = ?";
// The subkey of a key by name. Binds: parent, folded name.
inline constexpr const char* kFindChild = "SELECT id FROM keys WHERE parent = ? AND folded = ?";
// Reads one value. Binds: key, folded name.
inline constexpr const char* kGetValue = "SELECT type, data FROM vals WHERE key = ? AND folded = ?";

// Writes one value: a new one goes behind the key's others, one written
// again keeps its name's spelling and its place. Binds: key, folded name,
// name, type, data.
inline constexpr const char* kSetValue =
    "INSERT INTO vals(key, folded, name, type, data, ord) VALUES (?1, ?2, ?3, ?4, ?5,"
    " (SELECT coalesce(max(ord), 0) + 1 FROM vals WHERE key = ?1))"
    " ON CONFLICT(key, folded) DO UPDATE SET type = excluded.type, data = excluded.data";

// The whole tree below `id` in the saved-key form (text in 8 bits).
LONG ReadTree(Database& db, KeyId id, Key* key);
// Adds `key`'s values and subkeys to the key `id` (inside a transaction).
// Its text is 8-bit, or, with `guessWidth`, as an older store file kept it:
// in the width its caller wrote, told apart by LooksWide.
LONG WriteTree(Database& db, KeyId id, const Key& key, bool guessWidth = false);
bool LooksWide(DWORD type, const std::vector<BYTE>& data);
// Removes every subkey of `id` and everything below them, and its values.
LONG EmptyKey(Database& db, KeyId id);

// Where an older store file of this store would lie ("registry.dat" beside
// "registry.db"), or empty.
std::string OldStorePath(const std::string& path);
// Moves `from` to `to`, `to`.1, `to`.2, ..., never over an existing file;
// *placed learns the name taken.
LONG MoveAside(const std::string& from, const std::string& to, std::string* placed = nullptr);

}  // namespace platform::registry_detail
