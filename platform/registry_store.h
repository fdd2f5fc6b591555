// The process's side of the registry: its handles, the failure injection
// and the one connection to the store, all under one lock.
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/registry_db.h"

namespace platform::registry_detail {

struct OpenKey {
  KeyId id = 0;
  REGSAM access = 0;
  int depth = 0;            // levels below its root; keys never move
  unsigned generation = 0;  // the store it was opened in
};

// Where the last enumeration of a key's subkeys or values stood, so that
// the next index is one step from there rather than counted from the start.
// It holds only while the store is unchanged since (same connection, same
// data version, no change of this connection).
struct Cursor {
  DWORD index = 0;
  std::string folded;  // subkeys: the folded name at index
  int64_t ord = 0;     // values: the order number at index
  StoreVersion version;
  bool gone = false;  // the entry at index was deleted: index is the next one
};

struct Store {
  std::mutex lock;
  bool chosenPath = false;
  bool closeAtExit = false;  // the connection is closed when the process ends
  std::string path;
  unsigned generation = 0;
  Database db;
  std::unordered_map<uintptr_t, OpenKey> handles;
  uintptr_t nextHandle = 0x1000;
  std::unordered_map<KeyId, Cursor> subkeyCursors, valueCursors;
  bool faultPending[static_cast<unsigned>(RegistryFault::Count)] = {};
  LONG faultError[static_cast<unsigned>(RegistryFault::Count)] = {};
};

Store& TheStore();
bool TakeFault(Store& s, RegistryFault point, LONG* error);
// The store's connection, opened on first use (and anew in a forked child).
Database& Db(Store& s);
// The key behind a handle; false with *error set for an unknown handle or
// one of an earlier store. The key itself may since have been deleted.
bool Resolve(Store& s, HKEY handle, OpenKey* key, LONG* error);
// 0 when the key exists, ERROR_KEY_DELETED when not, else a read error.
LONG KeyExists(Database& db, KeyId id);
// Splits a path into its components; false for a component that is too long.
bool SplitPath(const char* path, std::vector<std::string>* parts);
// The subkey of `parent` named `name`: 0, ERROR_FILE_NOT_FOUND or an error.
LONG FindChild(Database& db, KeyId parent, const std::string& name, KeyId* id);

// The key behind a handle for one operation: an injected fault first, then
// the handle, then the access the operation needs.
bool ResolveFor(Store& s, HKEY handle, RegistryFault point, REGSAM need, OpenKey* key,
                LONG* error);
// Why a row of `id` was not found: the key is gone, or `missing`.
LONG Absent(Database& db, KeyId id, LONG missing);
// Value data into the caller's buffer; a short buffer learns the size needed.
LONG CopyData(std::string_view bytes, BYTE* data, DWORD* size);
// Copies a name into the caller's room; ERROR_MORE_DATA when it does not fit.
LONG CopyName(const std::string& text, char* name, DWORD* nameLen);
// Stored data into the caller's buffer as the caller's width sees it.
LONG CopyAsRead(DWORD type, std::string_view stored, bool wide, BYTE* data, DWORD* size);

// Keeps a cursor of key `id` exact across this process's deletion of the
// entry at `folded` (subkeys) or `ord` (values), committed in a transaction
// that saw the store at `before`.
void AfterDelete(Store& s, std::unordered_map<KeyId, Cursor>& cursors, KeyId id,
                 const StoreVersion& before, const std::string& folded, int64_t ord);

// Runs `change` as one committed transaction on the existing key `id`: an
// injected write failure or the store's own error first, and the key's
// deletion by anyone gives ERROR_KEY_DELETED.
template <class Change>
LONG Commit(Store& s, KeyId id, Change&& change) {
  Database& db = Db(s);
  LONG rc = ERROR_SUCCESS;
  if (TakeFault(s, RegistryFault::WriteFile, &rc)) return rc;
  if (db.WriteError() != ERROR_SUCCESS) return db.WriteError();
  rc = db.Begin();
  if (rc != ERROR_SUCCESS) return rc;
  rc = KeyExists(db, id);
  if (rc == ERROR_SUCCESS) rc = change(db);
  if (rc != ERROR_SUCCESS) {
    db.Rollback();
    return rc;
  }
  return db.Commit();
}

}  // namespace platform::registry_detail
