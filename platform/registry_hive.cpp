// Keys saved to files of their own, loaded as new subkeys and replaced from
// them. A load or replace is one transaction: all of the file or nothing.
#include <sqlite3.h>

#include <algorithm>

#include "platform/registry_store.h"

using platform::RegistryFault;
using namespace platform::registry_detail;

namespace {

// Levels below a key: 0 for a key without subkeys.
int HeightOf(const Key& key) {
  int height = 0;
  for (const auto& sub : key.subkeys) height = std::max(height, HeightOf(*sub) + 1);
  return height;
}

// Reads a saved key file into a fresh key, to become a subkey of a key
// `depth` levels below its root.
LONG ReadSavedKey(Store& s, const char* file, int depth, Key* into) {
  if (file == nullptr || file[0] == '\0') return ERROR_INVALID_PARAMETER;
  LONG rc = 0;
  if (TakeFault(s, RegistryFault::ReadFile, &rc)) return rc;
  std::string bytes;
  rc = ReadWholeFile(file, &bytes);
  if (rc != ERROR_SUCCESS) return rc;
  if (!ReadKeyImage(reinterpret_cast<const BYTE*>(bytes.data()), bytes.size(), *into)) {
    return ERROR_BADDB;
  }
  return depth + 1 + HeightOf(*into) > kMaxDepth ? ERROR_BADKEY : ERROR_SUCCESS;
}

// Writes the tree below `id` whole to the temporary of `file`, which must
// not exist yet; what could not be read back is refused.
LONG SaveTree(Database& db, KeyId id, const std::string& file, HeldTemporary* out) {
  if (FileExists(file)) return ERROR_ALREADY_EXISTS;
  Key key;
  LONG rc = ReadTree(db, id, &key);
  if (rc != ERROR_SUCCESS) return rc;
  const std::string image = WriteKeyImage(key);
  if (image.size() > kMaxFileSize) return ERROR_OUTOFMEMORY;
  return out->Write(file, image);
}

// The key a load or replace works under and the one-component name it gives.
LONG NamedChild(Store& s, HKEY key, const char* subKey, OpenKey* parent, std::string* name) {
  LONG rc = 0;
  if (!Resolve(s, key, parent, &rc)) return rc;
  std::vector<std::string> parts;
  if (subKey == nullptr || !SplitPath(subKey, &parts) || parts.size() != 1) {
    return ERROR_INVALID_PARAMETER;
  }
  *name = parts[0];
  return ERROR_SUCCESS;
}

}  // namespace

LONG RegSaveKeyA(HKEY key, const char* file, const void*) {
  Store& s = TheStore();
  std::lock_guard<std::mutex> guard(s.lock);
  LONG rc = 0;
  OpenKey k;
  if (!Resolve(s, key, &k, &rc)) return rc;
  if (file == nullptr || file[0] == '\0') return ERROR_INVALID_PARAMETER;
  if (TakeFault(s, RegistryFault::WriteFile, &rc)) return rc;
  Database& db = Db(s);
  const std::string path = HostPath(file);
  rc = db.FinishRenames(HeldTemporary::NameFor(path));
  if (rc != ERROR_SUCCESS) return rc;
  // One snapshot of the tree, whatever other processes change meanwhile.
  const int begun = sqlite3_exec(db.Handle(), "BEGIN", nullptr, nullptr, nullptr);
  if (begun != SQLITE_OK) return db.ErrorOf(begun);
  HeldTemporary saved;
  rc = KeyExists(db, k.id);
  if (rc == ERROR_SUCCESS) rc = SaveTree(db, k.id, path, &saved);
  db.Rollback();
  return rc == ERROR_SUCCESS ? saved.Place(path) : rc;
}

LONG RegLoadKeyA(HKEY key, const char* subKey, const char* file) {
  Store& s = TheStore();
  std::lock_guard<std::mutex> guard(s.lock);
  OpenKey parent;
  std::string name;
  LONG rc = NamedChild(s, key, subKey, &parent, &name);
  if (rc != ERROR_SUCCESS) return rc;
  KeyId existing = 0;
  rc = FindChild(Db(s), parent.id, name, &existing);
  if (rc == ERROR_SUCCESS) return ERROR_ALREADY_EXISTS;
  if (rc == ERROR_FILE_NOT_FOUND) rc = Absent(Db(s), parent.id, ERROR_SUCCESS);
  if (rc != ERROR_SUCCESS) return rc;
  Key loaded;
  rc = ReadSavedKey(s, file, parent.depth, &loaded);
  if (rc != ERROR_SUCCESS) return rc;
  return Commit(s, parent.id, [&](Database& db) {
    KeyId id = 0;
    LONG error = FindChild(db, parent.id, name, &id);
    if (error == ERROR_SUCCESS) return static_cast<LONG>(ERROR_ALREADY_EXISTS);
    if (error != ERROR_FILE_NOT_FOUND) return error;
    {
      Stmt q(db, "INSERT INTO keys(parent, name, folded) VALUES (?, ?, ?)");
      q.Int(parent.id).Blob(name).Blob(Folded(name));
      const int step = q.Step();
      if (step != SQLITE_DONE) return db.ErrorOf(step);
      id = sqlite3_last_insert_rowid(db.Handle());
    }
    return WriteTree(db, id, loaded);
  });
}

LONG RegReplaceKeyA(HKEY key, const char* subKey, const char* newFile, const char* oldFile) {
  Store& s = TheStore();
  std::lock_guard<std::mutex> guard(s.lock);
  OpenKey parent;
  std::string name;
  LONG rc = NamedChild(s, key, subKey, &parent, &name);
  if (rc != ERROR_SUCCESS) return rc;
  if (oldFile == nullptr || oldFile[0] == '\0') return ERROR_INVALID_PARAMETER;
  // The old content of an earlier call killed after its commit is named
  // first: written over, it would be lost.
  const std::string old = HostPath(oldFile);
  const std::string temp = HeldTemporary::NameFor(old);
  rc = Db(s).FinishRenames(temp);
  if (rc != ERROR_SUCCESS) return rc;
  KeyId target = 0;
  rc = FindChild(Db(s), parent.id, name, &target);
  if (rc == ERROR_FILE_NOT_FOUND) rc = Absent(Db(s), parent.id, rc);
  if (rc != ERROR_SUCCESS) return rc;
  Key replacement;
  rc = ReadSavedKey(s, newFile, parent.depth, &replacement);
  if (rc != ERROR_SUCCESS) return rc;
  // The old content takes its name only once the replacement has
  // committed: a call cut short before leaves the file missing, never one
  // that makes the retry fail; one cut short after leaves the rename to the
  // store's next user.
  HeldTemporary saved;
  rc = Commit(s, parent.id, [&](Database& db) {
    LONG error = FindChild(db, parent.id, name, &target);
    if (error == ERROR_SUCCESS) error = SaveTree(db, target, old, &saved);
    if (error == ERROR_SUCCESS) error = db.NoteRename(temp, old);
    if (error == ERROR_SUCCESS) error = EmptyKey(db, target);
    return error == ERROR_SUCCESS ? WriteTree(db, target, replacement) : error;
  });
  if (rc != ERROR_SUCCESS) return rc;
  rc = saved.Place(old);
  // Done, the record finds its temporary gone and goes too.
  if (rc == ERROR_SUCCESS) Db(s).FinishRenames(temp);
  return rc;
}
