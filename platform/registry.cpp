// The registry calls over the store's database. One lock guards the handle
// table, the failure injection and the connection.
#include <pthread.h>
#include <sqlite3.h>

#include <cstdlib>
#include <cstring>

#include "platform/registry_store.h"

namespace platform {
namespace registry_detail {

namespace {

Store* made = nullptr;

// A fork waits for the call in progress: a child must not find the lock
// held by a thread it does not have, nor SQLite in the middle of a call.
void HoldForFork() { made->lock.lock(); }
void ReleaseAfterFork() { made->lock.unlock(); }

// The process's connection closes as the process ends: the last one to
// close writes the journal into the store and removes it, so that whenever
// no process has the store open, the store file alone holds all of it.
void CloseAtExit() {
  std::lock_guard<std::mutex> guard(made->lock);
  made->closeAtExit = false;
  made->db.CloseWhole();
}

}  // namespace

Store& TheStore() {
  static Store* store = [] {
    made = new Store;  // outlives every static destructor that may close keys
    pthread_atfork(HoldForFork, ReleaseAfterFork, ReleaseAfterFork);
    return made;
  }();
  return *store;
}

bool TakeFault(Store& s, RegistryFault point, LONG* error) {
  const auto i = static_cast<unsigned>(point);
  if (!s.faultPending[i]) return false;
  s.faultPending[i] = false;
  *error = s.faultError[i];
  return true;
}

Database& Db(Store& s) {
  if (!s.db.IsOpen()) {
    if (!s.chosenPath) s.path = DefaultStorePath();
    LONG fault = ERROR_SUCCESS;
    TakeFault(s, RegistryFault::ReadFile, &fault);
    s.db.Open(s.path, fault);
    // Registered anew when a call during the process's end opened it again.
    if (!s.closeAtExit) s.closeAtExit = std::atexit(CloseAtExit) == 0;
  }
  return s.db;
}

bool Resolve(Store& s, HKEY handle, OpenKey* key, LONG* error) {
  const auto value = reinterpret_cast<uintptr_t>(handle);
  for (size_t i = 0; i < kRootCount; ++i) {
    if (value == kRootHandles[i]) {
      *key = OpenKey{RootId(i), KEY_ALL_ACCESS, 0, s.generation};
      return true;
    }
  }
  const auto it = s.handles.find(value);
  if (it == s.handles.end()) {
    *error = ERROR_INVALID_HANDLE;
    return false;
  }
  if (it->second.generation != s.generation) {
    *error = ERROR_KEY_DELETED;
    return false;
  }
  *key = it->second;
  return true;
}

LONG KeyExists(Database& db, KeyId id) {
  Stmt q(db, kKeyExists);
  q.Int(id);
  const int rc = q.Step();
  if (rc == SQLITE_ROW) return ERROR_SUCCESS;
  return rc == SQLITE_DONE ? ERROR_KEY_DELETED : db.ErrorOf(rc);
}

bool SplitPath(const char* path, std::vector<std::string>* parts) {
  if (path == nullptr) return true;
  const char* p = path;
  while (*p != '\0') {
    const char* end = std::strchr(p, '\\');
    const size_t len = end != nullptr ? static_cast<size_t>(end - p) : std::strlen(p);
    if (len > kMaxKeyName) return false;
    if (len > 0) parts->emplace_back(p, len);
    p += len;
    if (*p == '\\') ++p;
  }
  return true;
}

LONG FindChild(Database& db, KeyId parent, const std::string& name, KeyId* id) {
  Stmt q(db, kFindChild);
  q.Int(parent).Blob(Folded(name));
  const int rc = q.Step();
  if (rc == SQLITE_ROW) {
    *id = q.IntAt(0);
    return ERROR_SUCCESS;
  }
  return rc == SQLITE_DONE ? ERROR_FILE_NOT_FOUND : db.ErrorOf(rc);
}

bool ResolveFor(Store& s, HKEY handle, RegistryFault point, REGSAM need, OpenKey* key,
                LONG* error) {
  if (TakeFault(s, point, error)) return false;
  if (!Resolve(s, handle, key, error)) return false;
  if ((key->access & need) == 0) {
    *error = ERROR_ACCESS_DENIED;
    return false;
  }
  return true;
}

LONG Absent(Database& db, KeyId id, LONG missing) {
  const LONG rc = KeyExists(db, id);
  return rc == ERROR_SUCCESS ? missing : rc;
}

LONG CopyData(std::string_view bytes, BYTE* data, DWORD* size) {
  const auto needed = static_cast<DWORD>(bytes.size());
  if (data != nullptr && *size < needed) {
    *size = needed;
    return ERROR_MORE_DATA;
  }
  if (data != nullptr && needed > 0) std::memcpy(data, bytes.data(), needed);
  *size = needed;
  return ERROR_SUCCESS;
}

LONG CopyName(const std::string& text, char* name, DWORD* nameLen) {
  if (name == nullptr || nameLen == nullptr) return ERROR_INVALID_PARAMETER;
  if (static_cast<size_t>(*nameLen) < text.size() + 1) return ERROR_MORE_DATA;
  std::memcpy(name, text.data(), text.size());
  name[text.size()] = '\0';
  *nameLen = static_cast<DWORD>(text.size());
  return ERROR_SUCCESS;
}

LONG CopyAsRead(DWORD type, std::string_view stored, bool wide, BYTE* data, DWORD* size) {
  if (!wide && IsTextType(type)) return CopyData(Narrow(stored), data, size);
  return CopyData(stored, data, size);
}

}  // namespace registry_detail

namespace {

using namespace registry_detail;

std::string ValueName(const char* name) { return name != nullptr ? std::string(name) : std::string(); }

// Narrows a wide name; false when a unit has no 8-bit form.
bool NarrowName(const wchar16* name, std::string* out) {
  out->clear();
  if (name == nullptr) return true;
  for (const wchar16* p = name; *p != 0; ++p) {
    if (*p > 0xFF) return false;
    out->push_back(static_cast<char>(*p));
  }
  return true;
}

HKEY NewHandle(Store& s, KeyId id, REGSAM access, int depth) {
  const uintptr_t value = s.nextHandle;
  s.nextHandle += 4;
  s.handles[value] = OpenKey{id, access, depth, s.generation};
  return reinterpret_cast<HKEY>(value);
}

// Follows `parts` below `base` as far as they exist: the last key found and
// how many parts it took.
LONG Follow(Database& db, KeyId base, const std::vector<std::string>& parts, KeyId* id,
            size_t* found) {
  *id = base;
  for (*found = 0; *found < parts.size(); ++*found) {
    KeyId next = 0;
    const LONG rc = FindChild(db, *id, parts[*found], &next);
    if (rc == ERROR_FILE_NOT_FOUND) break;
    if (rc != ERROR_SUCCESS) return rc;
    *id = next;
  }
  return ERROR_SUCCESS;
}

LONG OpenLocked(Store& s, HKEY base, const char* subKey, REGSAM access, bool create,
                HKEY* result, DWORD* disposition) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  LONG rc = 0;
  OpenKey from;
  if (!Resolve(s, base, &from, &rc)) return rc;
  std::vector<std::string> parts;
  if (!SplitPath(subKey, &parts)) return ERROR_INVALID_PARAMETER;
  Database& db = Db(s);
  KeyId id = 0;
  size_t found = 0;
  rc = Follow(db, from.id, parts, &id, &found);
  if (rc != ERROR_SUCCESS) return rc;
  bool created = false;
  if (found == 0 && (rc = KeyExists(db, from.id)) != ERROR_SUCCESS) return rc;
  if (found < parts.size()) {
    if (!create) return ERROR_FILE_NOT_FOUND;
    if ((from.access & KEY_CREATE_SUB_KEY) == 0) return ERROR_ACCESS_DENIED;
    if (from.depth + static_cast<int>(parts.size()) > kMaxDepth) return ERROR_BADKEY;
    // Another process may create or delete keys on the way meanwhile, so the
    // walk is repeated inside the transaction.
    rc = Commit(s, from.id, [&](Database& d) {
      LONG error = Follow(d, from.id, parts, &id, &found);
      for (; error == ERROR_SUCCESS && found < parts.size(); ++found) {
        Stmt q(d, "INSERT INTO keys(parent, name, folded) VALUES (?, ?, ?)");
        q.Int(id).Blob(parts[found]).Blob(Folded(parts[found]));
        const int step = q.Step();
        if (step != SQLITE_DONE) return d.ErrorOf(step);
        id = sqlite3_last_insert_rowid(d.Handle());
        created = true;
      }
      return error;
    });
    if (rc != ERROR_SUCCESS) return rc;
  }
  if (disposition != nullptr) {
    *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  }
  *result = NewHandle(s, id, access, from.depth + static_cast<int>(parts.size()));
  return ERROR_SUCCESS;
}

LONG QueryLocked(Store& s, HKEY handle, const std::string& name, bool wide, DWORD* type,
                 BYTE* data, DWORD* size) {
  LONG rc = 0;
  OpenKey key;
  if (!ResolveFor(s, handle, RegistryFault::Query, KEY_QUERY_VALUE, &key, &rc)) return rc;
  if (data != nullptr && size == nullptr) return ERROR_INVALID_PARAMETER;
  Database& db = Db(s);
  Stmt q(db, kGetValue);
  q.Int(key.id).Blob(Folded(name));
  const int step = q.Step();
  if (step == SQLITE_DONE) return Absent(db, key.id, ERROR_FILE_NOT_FOUND);
  if (step != SQLITE_ROW) return db.ErrorOf(step);
  const auto stored = static_cast<DWORD>(q.IntAt(0));
  if (type != nullptr) *type = stored;
  if (size == nullptr) return ERROR_SUCCESS;
  return CopyAsRead(stored, q.BlobView(1), wide, data, size);
}

LONG SetLocked(Store& s, HKEY handle, const std::string& name, bool wide, DWORD type,
               const BYTE* data, DWORD size) {
  LONG rc = 0;
  OpenKey key;
  if (!ResolveFor(s, handle, RegistryFault::Set, KEY_SET_VALUE, &key, &rc)) return rc;
  if (name.size() > kMaxValueName) return ERROR_INVALID_PARAMETER;
  if (data == nullptr && size > 0) return ERROR_INVALID_PARAMETER;
  if (size > kMaxValueData) return ERROR_OUTOFMEMORY;
  std::string widened;
  std::string_view stored(reinterpret_cast<const char*>(data), data != nullptr ? size : 0);
  if (!wide && IsTextType(type) && size > 0) stored = widened = Widen(data, size);
  return Commit(s, key.id, [&](Database& db) {
    Stmt q(db, kSetValue);
    q.Int(key.id).Blob(Folded(name)).Blob(name).Int(type).Blob(stored);
    const int step = q.Step();
    return step == SQLITE_DONE ? ERROR_SUCCESS : db.ErrorOf(step);
  });
}

}  // namespace

void RegistryUseStoreFile(const char* path) {
  Store& s = TheStore();
  std::lock_guard<std::mutex> guard(s.lock);
  s.chosenPath = path != nullptr;
  s.path = path != nullptr ? path : "";
  s.db.CloseWhole();
  ++s.generation;  // handles of the store left behind
}

std::string RegistryStoreFile() {
  Store& s = TheStore();
  std::lock_guard<std::mutex> guard(s.lock);
  return s.chosenPath ? s.path : DefaultStorePath();
}

LONG RegistryLoadError() {
  Store& s = TheStore();
  std::lock_guard<std::mutex> guard(s.lock);
  return Db(s).LoadError();
}

void RegistryFailNextCall(RegistryFault point, LONG error) {
  Store& s = TheStore();
  std::lock_guard<std::mutex> guard(s.lock);
  const auto i = static_cast<unsigned>(point);
  if (i >= static_cast<unsigned>(RegistryFault::Count)) return;
  s.faultPending[i] = true;
  s.faultError[i] = error;
}

void RegistryClearFaults() {
  Store& s = TheStore();
  std::lock_guard<std::mutex> guard(s.lock);
  for (bool& pending : s.faultPending) pending = false;
}

LONG RegistryReformatStoreImage(const BYTE* data, size_t size, std::string* out) {
  std::shared_ptr<Key> roots[kRootCount];
  if (!ReadStoreImage(data, size, roots)) return ERROR_BADDB;
  *out = WriteStoreImage(roots);
  return ERROR_SUCCESS;
}

}  // namespace platform

using platform::RegistryFault;
using namespace platform::registry_detail;

LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD, REGSAM access, HKEY* result) {
  Store& s = TheStore();
  std::lock_guard<std::mutex> guard(s.lock);
  LONG rc = 0;
  if (TakeFault(s, RegistryFault::Open, &rc)) return rc;
  return platform::OpenLocked(s, key, subKey, access, false, result, nullptr);
}

LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD, char*, DWORD, REGSAM access,
                     const void*, HKEY* result, DWORD* disposition) {
  Store& s = TheStore();
  std::lock_guard<std::mutex> guard(s.lock);
  LONG rc = 0;
  if (TakeFault(s, RegistryFault::Create, &rc)) return rc;
  return platform::OpenLocked(s, key, subKey, access, true, result, disposition);
}

LONG RegCloseKey(HKEY key) {
  Store& s = TheStore();
  std::lock_guard<std::mutex> guard(s.lock);
  LONG rc = 0;
  if (TakeFault(s, RegistryFault::Close, &rc)) return rc;
  const auto value = reinterpret_cast<uintptr_t>(key);
  bool predefined = false;
  for (uintptr_t root : kRootHandles) predefined |= value == root;
  if (!predefined && s.handles.erase(value) == 0) return ERROR_INVALID_HANDLE;
  return ERROR_SUCCESS;
}

LONG RegFlushKey(HKEY key) {
  Store& s = TheStore();
  std::lock_guard<std::mutex> guard(s.lock);
  LONG rc = 0;
  OpenKey k;
  if (!Resolve(s, key, &k, &rc)) return rc;
  Database& db = Db(s);
  rc = KeyExists(db, k.id);
  if (rc != ERROR_SUCCESS) return rc;
  if (db.WriteError() != ERROR_SUCCESS) return db.WriteError();
  // Everything is committed already; this only spares later readers the journal.
  sqlite3_wal_checkpoint_v2(db.Handle(), nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
  return ERROR_SUCCESS;
}

LONG RegDeleteKeyA(HKEY key, const char* subKey) {
  Store& s = TheStore();
  std::lock_guard<std::mutex> guard(s.lock);
  LONG rc = 0;
  if (TakeFault(s, RegistryFault::Delete, &rc)) return rc;
  OpenKey base;
  if (!Resolve(s, key, &base, &rc)) return rc;
  std::vector<std::string> parts;
  if (subKey == nullptr || !SplitPath(subKey, &parts)) return ERROR_INVALID_PARAMETER;
  if (parts.empty()) return ERROR_ACCESS_DENIED;  // a key cannot delete itself
  KeyId parent = 0;
  StoreVersion before;
  rc = Commit(s, base.id, [&](Database& db) {
    before = db.Version();
    const std::vector<std::string> path(parts.begin(), parts.end() - 1);
    KeyId victim = 0;
    size_t found = 0;
    LONG error = platform::Follow(db, base.id, path, &parent, &found);
    if (error != ERROR_SUCCESS) return error;
    if (found < path.size()) return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
    error = FindChild(db, parent, parts.back(), &victim);
    if (error != ERROR_SUCCESS) return error;
    {
      Stmt q(db, "SELECT 1 FROM keys WHERE parent = ? LIMIT 1");
      q.Int(victim);
      const int step = q.Step();
      if (step == SQLITE_ROW) return static_cast<LONG>(ERROR_ACCESS_DENIED);
      if (step != SQLITE_DONE) return db.ErrorOf(step);
    }
    error = EmptyKey(db, victim);
    if (error != ERROR_SUCCESS) return error;
    Stmt q(db, "DELETE FROM keys WHERE id = ?");
    q.Int(victim);
    const int step = q.Step();
    return step == SQLITE_DONE ? ERROR_SUCCESS : db.ErrorOf(step);
  });
  if (rc == ERROR_SUCCESS) AfterDelete(s, s.subkeyCursors, parent, before, Folded(parts.back()), 0);
  return rc;
}

LONG RegDeleteValueA(HKEY key, const char* name) {
  Store& s = TheStore();
  std::lock_guard<std::mutex> guard(s.lock);
  LONG rc = 0;
  OpenKey k;
  if (!ResolveFor(s, key, RegistryFault::Delete, KEY_SET_VALUE, &k, &rc)) return rc;
  const std::string folded = Folded(platform::ValueName(name));
  StoreVersion before;
  int64_t ord = 0;
  rc = Commit(s, k.id, [&](Database& db) {
    before = db.Version();
    Stmt q(db, "DELETE FROM vals WHERE key = ? AND folded = ? RETURNING ord");
    q.Int(k.id).Blob(folded);
    int step = q.Step();
    if (step == SQLITE_DONE) return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
    if (step == SQLITE_ROW) {
      ord = q.IntAt(0);
      step = q.Step();
    }
    return step == SQLITE_DONE ? ERROR_SUCCESS : db.ErrorOf(step);
  });
  if (rc == ERROR_SUCCESS) AfterDelete(s, s.valueCursors, k.id, before, std::string(), ord);
  return rc;
}

LONG RegQueryValueExA(HKEY key, const char* name, DWORD*, DWORD* type, BYTE* data, DWORD* size) {
  Store& s = TheStore();
  std::lock_guard<std::mutex> guard(s.lock);
  return platform::QueryLocked(s, key, platform::ValueName(name), false, type, data, size);
}

LONG RegQueryValueExW(HKEY key, const wchar16* name, DWORD*, DWORD* type, BYTE* data,
                      DWORD* size) {
  Store& s = TheStore();
  std::lock_guard<std::mutex> guard(s.lock);
  std::string narrow;
  if (!platform::NarrowName(name, &narrow)) return ERROR_FILE_NOT_FOUND;
  return platform::QueryLocked(s, key, narrow, true, type, data, size);
}

LONG RegSetValueExA(HKEY key, const char* name, DWORD, DWORD type, const BYTE* data, DWORD size) {
  Store& s = TheStore();
  std::lock_guard<std::mutex> guard(s.lock);
  return platform::SetLocked(s, key, platform::ValueName(name), false, type, data, size);
}

LONG RegSetValueExW(HKEY key, const wchar16* name, DWORD, DWORD type, const BYTE* data,
                    DWORD size) {
  Store& s = TheStore();
  std::lock_guard<std::mutex> guard(s.lock);
  std::string narrow;
  if (!platform::NarrowName(name, &narrow)) return ERROR_INVALID_PARAMETER;
  return platform::SetLocked(s, key, narrow, true, type, data, size);
}

LONG RegQueryInfoKeyA(HKEY key, DWORD* subKeys, DWORD* maxSubKeyLen, DWORD* values,
                      DWORD* maxValueNameLen, DWORD* maxValueLen) {
  Store& s = TheStore();
  std::lock_guard<std::mutex> guard(s.lock);
  LONG rc = 0;
  OpenKey k;
  if (!Resolve(s, key, &k, &rc)) return rc;
  Database& db = Db(s);
  // Text lengths as the 8-bit calls read them.
  Stmt q(db, "SELECT (SELECT count(*) FROM keys WHERE parent = ?1),"
             " (SELECT coalesce(max(length(name)), 0) FROM keys WHERE parent = ?1),"
             " count(*), coalesce(max(length(name)), 0),"
             " coalesce(max(CASE WHEN type IN (1, 2, 7) THEN length(data) / 2"
             " ELSE length(data) END), 0),"
             " (SELECT count(*) FROM keys WHERE id = ?1)"
             " FROM vals WHERE key = ?1");
  q.Int(k.id);
  const int step = q.Step();
  if (step != SQLITE_ROW) return db.ErrorOf(step);
  if (q.IntAt(5) == 0) return ERROR_KEY_DELETED;
  const auto at = [&](int col) { return static_cast<DWORD>(q.IntAt(col)); };
  if (subKeys != nullptr) *subKeys = at(0);
  if (maxSubKeyLen != nullptr) *maxSubKeyLen = at(1);
  if (values != nullptr) *values = at(2);
  if (maxValueNameLen != nullptr) *maxValueNameLen = at(3);
  if (maxValueLen != nullptr) *maxValueLen = at(4);
  return ERROR_SUCCESS;
}
