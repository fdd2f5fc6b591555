// Enumeration of a key's subkeys and values by index. A walk over the
// indexes goes one row from where the last call stood while the store is
// unchanged, so reading every entry of a large key stays linear; any other
// index is counted from the start.
#include <sqlite3.h>

#include <optional>

#include "platform/registry_store.h"

using platform::RegistryFault;
using namespace platform::registry_detail;

namespace {

// The statements that reach a row of an ordered list, by how the index
// stands to the cursor's: counted, one after, one before, the same.
struct Steps {
  const char* counted;  // binds: key, index
  const char* after;    // binds: key, position
  const char* before;
  const char* same;
};

constexpr Steps kSubkeySteps = {
    "SELECT name, folded FROM keys WHERE parent = ? ORDER BY folded LIMIT 1 OFFSET ?",
    "SELECT name, folded FROM keys WHERE parent = ? AND folded > ? ORDER BY folded LIMIT 1",
    "SELECT name, folded FROM keys WHERE parent = ? AND folded < ? ORDER BY folded DESC LIMIT 1",
    "SELECT name, folded FROM keys WHERE parent = ? AND folded = ?",
};

constexpr Steps kValueSteps = {
    "SELECT name, type, data, ord FROM vals WHERE key = ? ORDER BY ord LIMIT 1 OFFSET ?",
    "SELECT name, type, data, ord FROM vals WHERE key = ? AND ord > ? ORDER BY ord LIMIT 1",
    "SELECT name, type, data, ord FROM vals WHERE key = ? AND ord < ? ORDER BY ord DESC LIMIT 1",
    "SELECT name, type, data, ord FROM vals WHERE key = ? AND ord = ?",
};

// Holds one read transaction, so the version seen and the row read belong
// to the same state of the store.
class ReadSnapshot {
 public:
  explicit ReadSnapshot(Database& db) : db_(db) {
    Stmt begin(db, "BEGIN");
    ok_ = begin.Step() == SQLITE_DONE;
  }
  ~ReadSnapshot() {
    if (ok_) db_.Rollback();
  }
  ReadSnapshot(const ReadSnapshot&) = delete;
  ReadSnapshot& operator=(const ReadSnapshot&) = delete;

 private:
  Database& db_;
  bool ok_ = false;
};

// Positions `row` on entry `index` of key `id`'s list. SQLITE_ROW, SQLITE_DONE
// past the end, or an error.
int StepTo(Database& db, std::unordered_map<KeyId, Cursor>& cursors, KeyId id, DWORD index,
           const StoreVersion& version, const Steps& steps, bool byName,
           std::optional<Stmt>& row) {
  const auto it = cursors.find(id);
  const Cursor* c = it != cursors.end() && it->second.version == version ? &it->second : nullptr;
  const char* sql = steps.counted;
  if (c != nullptr && !c->gone && index == c->index + 1) sql = steps.after;
  if (c != nullptr && c->index > 0 && index == c->index - 1) sql = steps.before;
  if (c != nullptr && index == c->index) sql = c->gone ? steps.after : steps.same;
  row.emplace(db, sql);
  row->Int(id);
  if (sql == steps.counted) {
    row->Int(index);
  } else if (byName) {
    row->Blob(c->folded);
  } else {
    row->Int(c->ord);
  }
  return row->Step();
}

}  // namespace

void platform::registry_detail::AfterDelete(Store& s, std::unordered_map<KeyId, Cursor>& cursors,
                                            KeyId id, const StoreVersion& before,
                                            const std::string& folded, int64_t ord) {
  const auto it = cursors.find(id);
  if (it == cursors.end()) return;
  Cursor& c = it->second;
  // Changed by anyone else since the cursor was made: it is left to lapse.
  if (!(c.version == before)) return;
  const bool byName = !folded.empty();
  const int order = byName ? folded.compare(c.folded) : (ord < c.ord ? -1 : ord > c.ord ? 1 : 0);
  if (order == 0) {
    c.gone = true;  // index now names the entry after the deleted one
  } else if (order < 0) {
    if (c.index == 0) {
      cursors.erase(it);
      return;
    }
    --c.index;  // an entry before it is gone
  }
  c.version = s.db.Version();
}

namespace {

// Remembers where an enumeration stands; a few keys at a time, enough for
// walks nested in walks.
void Remember(std::unordered_map<KeyId, Cursor>& cursors, KeyId id, Cursor cursor) {
  if (cursors.size() >= 64 && cursors.find(id) == cursors.end()) cursors.clear();
  cursors[id] = std::move(cursor);
}

// Runs `use` on entry `index` of a key's subkeys or values, read in one
// snapshot with the cursor moved there: the handle and its access first,
// ERROR_NO_MORE_ITEMS past the end.
template <class Use>
LONG AtEntry(HKEY key, bool subkeys, DWORD index, Use&& use) {
  Store& s = TheStore();
  std::lock_guard<std::mutex> guard(s.lock);
  LONG rc = 0;
  OpenKey k;
  const REGSAM need = subkeys ? KEY_ENUMERATE_SUB_KEYS : KEY_QUERY_VALUE;
  if (!ResolveFor(s, key, RegistryFault::Enum, need, &k, &rc)) return rc;
  Database& db = Db(s);
  ReadSnapshot snapshot(db);
  rc = KeyExists(db, k.id);
  if (rc != ERROR_SUCCESS) return rc;
  auto& cursors = subkeys ? s.subkeyCursors : s.valueCursors;
  const StoreVersion version = db.Version();
  std::optional<Stmt> row;
  const int step = StepTo(db, cursors, k.id, index, version, subkeys ? kSubkeySteps : kValueSteps,
                          subkeys, row);
  if (step == SQLITE_DONE) return ERROR_NO_MORE_ITEMS;
  if (step != SQLITE_ROW) return db.ErrorOf(step);
  Remember(cursors, k.id,
           subkeys ? Cursor{index, row->BlobAt(1), 0, version, false}
                   : Cursor{index, std::string(), row->IntAt(3), version, false});
  return use(*row);
}

}  // namespace

LONG RegEnumValueA(HKEY key, DWORD index, char* name, DWORD* nameLen, DWORD*, DWORD* type,
                   BYTE* data, DWORD* size) {
  return AtEntry(key, false, index, [&](const Stmt& row) {
    const auto stored = static_cast<DWORD>(row.IntAt(1));
    if (type != nullptr) *type = stored;
    const LONG rc = CopyName(row.BlobAt(0), name, nameLen);
    if (rc != ERROR_SUCCESS || size == nullptr) return rc;
    return CopyAsRead(stored, row.BlobView(2), false, data, size);
  });
}

LONG RegEnumKeyExA(HKEY key, DWORD index, char* name, DWORD* nameLen, DWORD*, char* keyClass,
                   DWORD* classLen, void*) {
  return AtEntry(key, true, index, [&](const Stmt& row) {
    const LONG rc = CopyName(row.BlobAt(0), name, nameLen);
    if (rc == ERROR_SUCCESS && keyClass != nullptr && classLen != nullptr && *classLen > 0) {
      keyClass[0] = '\0';
      *classLen = 0;
    }
    return rc;
  });
}
