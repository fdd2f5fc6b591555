// The registry calls over the tree in memory. One lock guards the tree, the
// handle table and the store file's state.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "platform/registry_tree.h"

namespace platform {
namespace registry_detail {

unsigned char FoldByte(char c) {
  const auto u = static_cast<unsigned char>(c);
  if ((u >= 'a' && u <= 'z') || (u >= 0xE0 && u <= 0xFE && u != 0xF7)) return u - 0x20;
  return u;
}

int FoldCompare(const std::string& a, const std::string& b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    const unsigned char x = FoldByte(a[i]);
    const unsigned char y = FoldByte(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool FoldEqual(const std::string& a, const std::string& b) {
  return a.size() == b.size() && FoldCompare(a, b) == 0;
}

size_t FindSubKey(const Key& key, const std::string& name, bool* found) {
  size_t lo = 0;
  size_t hi = key.subkeys.size();
  while (lo < hi) {
    const size_t mid = lo + (hi - lo) / 2;
    const int c = FoldCompare(key.subkeys[mid]->name, name);
    if (c == 0) {
      *found = true;
      return mid;
    }
    if (c < 0) lo = mid + 1; else hi = mid;
  }
  *found = false;
  return lo;
}

Value* FindValue(Key& key, const std::string& name) {
  for (Value& v : key.values) {
    if (FoldEqual(v.name, name)) return &v;
  }
  return nullptr;
}

}  // namespace registry_detail

namespace {

using registry_detail::Key;
using registry_detail::Value;
using registry_detail::kRootCount;
using registry_detail::kRootHandles;

struct OpenKey {
  std::shared_ptr<Key> key;
  REGSAM access;
};

struct Store {
  std::mutex lock;
  bool loaded = false;
  bool dirty = false;
  bool chosenPath = false;
  std::string path;
  LONG loadError = ERROR_SUCCESS;
  std::shared_ptr<Key> roots[kRootCount];
  std::unordered_map<uintptr_t, OpenKey> handles;
  uintptr_t nextHandle = 0x1000;
  bool faultPending[static_cast<unsigned>(RegistryFault::Count)] = {};
  LONG faultError[static_cast<unsigned>(RegistryFault::Count)] = {};
};

Store& TheStore() {
  static Store* store = new Store;  // outlives every static destructor that may close keys
  return *store;
}

bool TakeFault(Store& s, RegistryFault point, LONG* error) {
  const auto i = static_cast<unsigned>(point);
  if (!s.faultPending[i]) return false;
  s.faultPending[i] = false;
  *error = s.faultError[i];
  return true;
}

void EmptyRoots(Store& s) {
  for (auto& root : s.roots) root = std::make_shared<Key>();
}

void EnsureLoaded(Store& s) {
  if (s.loaded) return;
  s.loaded = true;
  s.dirty = false;
  if (!s.chosenPath) s.path = registry_detail::DefaultStorePath();
  EmptyRoots(s);
  LONG fault = 0;
  if (TakeFault(s, RegistryFault::ReadFile, &fault)) {
    s.loadError = fault;
    return;
  }
  std::string bytes;
  LONG rc = registry_detail::ReadWholeFile(s.path, &bytes);
  if (rc == ERROR_FILE_NOT_FOUND) rc = ERROR_SUCCESS;
  else if (rc == ERROR_SUCCESS &&
           !registry_detail::ReadStoreImage(reinterpret_cast<const BYTE*>(bytes.data()),
                                            bytes.size(), s.roots)) {
    rc = ERROR_BADDB;
  }
  s.loadError = rc;
}

LONG Persist(Store& s) {
  if (!s.dirty) return ERROR_SUCCESS;
  LONG rc = ERROR_SUCCESS;
  if (TakeFault(s, RegistryFault::WriteFile, &rc)) return rc;
  // A malformed store file is kept aside rather than overwritten; one that
  // could not be read at all may still hold every setting, so it is never
  // replaced by a tree that lacks them.
  if (s.loadError != ERROR_SUCCESS && registry_detail::FileExists(s.path)) {
    if (s.loadError != ERROR_BADDB) return s.loadError;
    // An earlier file kept aside stays too.
    std::string aside = s.path + ".bad";
    for (int n = 1; n < 100 && registry_detail::FileExists(aside); ++n) {
      aside = s.path + ".bad." + std::to_string(n);
    }
    rc = registry_detail::RenameFile(s.path, aside);
    if (rc != ERROR_SUCCESS) return rc;
    s.loadError = ERROR_SUCCESS;
  }
  rc = registry_detail::WriteFileAtomic(s.path, registry_detail::WriteStoreImage(s.roots));
  if (rc == ERROR_SUCCESS) s.dirty = false;
  return rc;
}

// The key behind a handle, or null with *error set.
Key* Resolve(Store& s, HKEY handle, REGSAM* access, LONG* error) {
  const auto value = reinterpret_cast<uintptr_t>(handle);
  for (size_t i = 0; i < kRootCount; ++i) {
    if (value == kRootHandles[i]) {
      *access = KEY_ALL_ACCESS;
      return s.roots[i].get();
    }
  }
  const auto it = s.handles.find(value);
  if (it == s.handles.end()) {
    *error = ERROR_INVALID_HANDLE;
    return nullptr;
  }
  if (it->second.key->deleted) {
    *error = ERROR_KEY_DELETED;
    return nullptr;
  }
  *access = it->second.access;
  return it->second.key.get();
}

// The key behind a handle for one operation: an injected fault first, then
// the handle, then the access the operation needs.
Key* ResolveFor(Store& s, HKEY handle, RegistryFault point, REGSAM need, LONG* error) {
  if (TakeFault(s, point, error)) return nullptr;
  REGSAM access = 0;
  Key* key = Resolve(s, handle, &access, error);
  if (key != nullptr && (access & need) == 0) {
    *error = ERROR_ACCESS_DENIED;
    return nullptr;
  }
  return key;
}

// Value data into the caller's buffer; a short buffer learns the size needed.
LONG CopyData(const std::vector<BYTE>& bytes, BYTE* data, DWORD* size) {
  const auto needed = static_cast<DWORD>(bytes.size());
  if (data != nullptr && *size < needed) {
    *size = needed;
    return ERROR_MORE_DATA;
  }
  if (data != nullptr && needed > 0) std::memcpy(data, bytes.data(), needed);
  *size = needed;
  return ERROR_SUCCESS;
}

int DepthOf(const Key* key) {
  int depth = 0;
  for (const Key* k = key->parent; k != nullptr; k = k->parent) ++depth;
  return depth;
}

// Splits a path into its components; false for a component that is too long.
bool SplitPath(const char* path, std::vector<std::string>* parts) {
  if (path == nullptr) return true;
  const char* p = path;
  while (*p != '\0') {
    const char* end = std::strchr(p, '\\');
    const size_t len = end != nullptr ? static_cast<size_t>(end - p) : std::strlen(p);
    if (len > registry_detail::kMaxKeyName) return false;
    if (len > 0) parts->emplace_back(p, len);
    p += len;
    if (*p == '\\') ++p;
  }
  return true;
}

HKEY NewHandle(Store& s, std::shared_ptr<Key> key, REGSAM access) {
  const uintptr_t value = s.nextHandle;
  s.nextHandle += 4;
  s.handles[value] = OpenKey{std::move(key), access};
  return reinterpret_cast<HKEY>(value);
}

std::shared_ptr<Key> SharedOf(Store& s, Key* key) {
  if (key->parent == nullptr) {
    for (auto& root : s.roots) {
      if (root.get() == key) return root;
    }
    return nullptr;
  }
  bool found = false;
  const size_t at = registry_detail::FindSubKey(*key->parent, key->name, &found);
  return found ? key->parent->subkeys[at] : nullptr;
}

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

LONG QueryLocked(Store& s, HKEY handle, const std::string& name, DWORD* type, BYTE* data,
                 DWORD* size) {
  LONG rc = 0;
  Key* key = ResolveFor(s, handle, RegistryFault::Query, KEY_QUERY_VALUE, &rc);
  if (key == nullptr) return rc;
  if (data != nullptr && size == nullptr) return ERROR_INVALID_PARAMETER;
  const Value* v = registry_detail::FindValue(*key, name);
  if (v == nullptr) return ERROR_FILE_NOT_FOUND;
  if (type != nullptr) *type = v->type;
  if (size == nullptr) return ERROR_SUCCESS;
  return CopyData(v->data, data, size);
}

LONG SetLocked(Store& s, HKEY handle, const std::string& name, DWORD type, const BYTE* data,
               DWORD size) {
  LONG rc = 0;
  Key* key = ResolveFor(s, handle, RegistryFault::Set, KEY_SET_VALUE, &rc);
  if (key == nullptr) return rc;
  if (name.size() > registry_detail::kMaxValueName) return ERROR_INVALID_PARAMETER;
  if (data == nullptr && size > 0) return ERROR_INVALID_PARAMETER;
  Value* v = registry_detail::FindValue(*key, name);
  if (v == nullptr) {
    key->values.push_back(Value{name, type, {}});
    v = &key->values.back();
  }
  v->type = type;
  v->data.assign(data, data + size);
  s.dirty = true;
  return ERROR_SUCCESS;
}

// Copies a name into the caller's room; ERROR_MORE_DATA when it does not fit.
LONG CopyName(const std::string& text, char* name, DWORD* nameLen) {
  if (name == nullptr || nameLen == nullptr) return ERROR_INVALID_PARAMETER;
  if (static_cast<size_t>(*nameLen) < text.size() + 1) return ERROR_MORE_DATA;
  std::memcpy(name, text.data(), text.size());
  name[text.size()] = '\0';
  *nameLen = static_cast<DWORD>(text.size());
  return ERROR_SUCCESS;
}

}  // namespace

void RegistryUseStoreFile(const char* path) {
  Store& s = TheStore();
  std::lock_guard<std::mutex> guard(s.lock);
  s.chosenPath = path != nullptr;
  s.path = path != nullptr ? path : "";
  s.loaded = false;
  s.dirty = false;
  s.loadError = ERROR_SUCCESS;
  for (auto& entry : s.handles) entry.second.key->deleted = true;  // stale handles
}

std::string RegistryStoreFile() {
  Store& s = TheStore();
  std::lock_guard<std::mutex> guard(s.lock);
  return s.chosenPath ? s.path : registry_detail::DefaultStorePath();
}

LONG RegistryLoadError() {
  Store& s = TheStore();
  std::lock_guard<std::mutex> guard(s.lock);
  EnsureLoaded(s);
  return s.loadError;
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
  if (!registry_detail::ReadStoreImage(data, size, roots)) return ERROR_BADDB;
  *out = registry_detail::WriteStoreImage(roots);
  return ERROR_SUCCESS;
}

}  // namespace platform

using platform::RegistryFault;
using platform::registry_detail::Key;

namespace {

platform::Store& S() { return platform::TheStore(); }

// Walks (and with `create`, makes) the path below a key.
LONG Walk(platform::Store& s, HKEY base, const char* subKey, REGSAM access, bool create,
          HKEY* result, DWORD* disposition) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  LONG rc = 0;
  REGSAM baseAccess = 0;
  Key* key = platform::Resolve(s, base, &baseAccess, &rc);
  if (key == nullptr) return rc;
  std::vector<std::string> parts;
  if (!platform::SplitPath(subKey, &parts)) return ERROR_INVALID_PARAMETER;
  int depth = platform::DepthOf(key);
  bool created = false;
  for (const std::string& part : parts) {
    bool found = false;
    const size_t at = platform::registry_detail::FindSubKey(*key, part, &found);
    if (!found) {
      if (!create) return ERROR_FILE_NOT_FOUND;
      if ((baseAccess & KEY_CREATE_SUB_KEY) == 0) return ERROR_ACCESS_DENIED;
      if (depth + 1 > platform::registry_detail::kMaxDepth) return ERROR_BADKEY;
      auto sub = std::make_shared<Key>();
      sub->name = part;
      sub->parent = key;
      key->subkeys.insert(key->subkeys.begin() + static_cast<std::ptrdiff_t>(at), sub);
      created = true;
      s.dirty = true;
    }
    key = key->subkeys[at].get();
    ++depth;
  }
  if (disposition != nullptr) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  *result = platform::NewHandle(s, platform::SharedOf(s, key), access);
  return ERROR_SUCCESS;
}

}  // namespace

LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD, REGSAM access, HKEY* result) {
  platform::Store& s = S();
  std::lock_guard<std::mutex> guard(s.lock);
  platform::EnsureLoaded(s);
  LONG rc = 0;
  if (platform::TakeFault(s, RegistryFault::Open, &rc)) return rc;
  return Walk(s, key, subKey, access, false, result, nullptr);
}

LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD, char*, DWORD, REGSAM access,
                     const void*, HKEY* result, DWORD* disposition) {
  platform::Store& s = S();
  std::lock_guard<std::mutex> guard(s.lock);
  platform::EnsureLoaded(s);
  LONG rc = 0;
  if (platform::TakeFault(s, RegistryFault::Create, &rc)) return rc;
  return Walk(s, key, subKey, access, true, result, disposition);
}

LONG RegCloseKey(HKEY key) {
  platform::Store& s = S();
  std::lock_guard<std::mutex> guard(s.lock);
  LONG rc = 0;
  if (platform::TakeFault(s, RegistryFault::Close, &rc)) return rc;
  const auto value = reinterpret_cast<uintptr_t>(key);
  bool predefined = false;
  for (uintptr_t root : platform::registry_detail::kRootHandles) predefined |= value == root;
  if (!predefined && s.handles.erase(value) == 0) return ERROR_INVALID_HANDLE;
  return s.loaded ? platform::Persist(s) : ERROR_SUCCESS;
}

LONG RegFlushKey(HKEY key) {
  platform::Store& s = S();
  std::lock_guard<std::mutex> guard(s.lock);
  platform::EnsureLoaded(s);
  LONG rc = 0;
  REGSAM access = 0;
  if (platform::Resolve(s, key, &access, &rc) == nullptr) return rc;
  return platform::Persist(s);
}

LONG RegDeleteKeyA(HKEY key, const char* subKey) {
  platform::Store& s = S();
  std::lock_guard<std::mutex> guard(s.lock);
  platform::EnsureLoaded(s);
  LONG rc = 0;
  if (platform::TakeFault(s, RegistryFault::Delete, &rc)) return rc;
  REGSAM access = 0;
  Key* base = platform::Resolve(s, key, &access, &rc);
  if (base == nullptr) return rc;
  std::vector<std::string> parts;
  if (subKey == nullptr || !platform::SplitPath(subKey, &parts)) return ERROR_INVALID_PARAMETER;
  if (parts.empty()) return ERROR_ACCESS_DENIED;  // a key cannot delete itself
  Key* parent = base;
  size_t at = 0;
  for (size_t i = 0; i < parts.size(); ++i) {
    bool found = false;
    at = platform::registry_detail::FindSubKey(*parent, parts[i], &found);
    if (!found) return ERROR_FILE_NOT_FOUND;
    if (i + 1 < parts.size()) parent = parent->subkeys[at].get();
  }
  Key* victim = parent->subkeys[at].get();
  if (!victim->subkeys.empty()) return ERROR_ACCESS_DENIED;
  victim->deleted = true;
  victim->parent = nullptr;
  parent->subkeys.erase(parent->subkeys.begin() + static_cast<std::ptrdiff_t>(at));
  s.dirty = true;
  return ERROR_SUCCESS;
}

LONG RegDeleteValueA(HKEY key, const char* name) {
  platform::Store& s = S();
  std::lock_guard<std::mutex> guard(s.lock);
  platform::EnsureLoaded(s);
  LONG rc = 0;
  Key* k = platform::ResolveFor(s, key, RegistryFault::Delete, KEY_SET_VALUE, &rc);
  if (k == nullptr) return rc;
  const std::string wanted = platform::ValueName(name);
  for (auto it = k->values.begin(); it != k->values.end(); ++it) {
    if (platform::registry_detail::FoldEqual(it->name, wanted)) {
      k->values.erase(it);
      s.dirty = true;
      return ERROR_SUCCESS;
    }
  }
  return ERROR_FILE_NOT_FOUND;
}

LONG RegQueryValueExA(HKEY key, const char* name, DWORD*, DWORD* type, BYTE* data, DWORD* size) {
  platform::Store& s = S();
  std::lock_guard<std::mutex> guard(s.lock);
  platform::EnsureLoaded(s);
  return platform::QueryLocked(s, key, platform::ValueName(name), type, data, size);
}

LONG RegQueryValueExW(HKEY key, const wchar16* name, DWORD*, DWORD* type, BYTE* data,
                      DWORD* size) {
  platform::Store& s = S();
  std::lock_guard<std::mutex> guard(s.lock);
  platform::EnsureLoaded(s);
  std::string narrow;
  if (!platform::NarrowName(name, &narrow)) return ERROR_FILE_NOT_FOUND;
  return platform::QueryLocked(s, key, narrow, type, data, size);
}

LONG RegSetValueExA(HKEY key, const char* name, DWORD, DWORD type, const BYTE* data, DWORD size) {
  platform::Store& s = S();
  std::lock_guard<std::mutex> guard(s.lock);
  platform::EnsureLoaded(s);
  return platform::SetLocked(s, key, platform::ValueName(name), type, data, size);
}

LONG RegSetValueExW(HKEY key, const wchar16* name, DWORD, DWORD type, const BYTE* data,
                    DWORD size) {
  platform::Store& s = S();
  std::lock_guard<std::mutex> guard(s.lock);
  platform::EnsureLoaded(s);
  std::string narrow;
  if (!platform::NarrowName(name, &narrow)) return ERROR_INVALID_PARAMETER;
  return platform::SetLocked(s, key, narrow, type, data, size);
}

LONG RegEnumValueA(HKEY key, DWORD index, char* name, DWORD* nameLen, DWORD*, DWORD* type,
                   BYTE* data, DWORD* size) {
  platform::Store& s = S();
  std::lock_guard<std::mutex> guard(s.lock);
  platform::EnsureLoaded(s);
  LONG rc = 0;
  Key* k = platform::ResolveFor(s, key, RegistryFault::Enum, KEY_QUERY_VALUE, &rc);
  if (k == nullptr) return rc;
  if (index >= k->values.size()) return ERROR_NO_MORE_ITEMS;
  const platform::registry_detail::Value& v = k->values[index];
  if (type != nullptr) *type = v.type;
  rc = platform::CopyName(v.name, name, nameLen);
  if (rc != ERROR_SUCCESS) return rc;
  if (size == nullptr) return ERROR_SUCCESS;
  return platform::CopyData(v.data, data, size);
}

LONG RegEnumKeyExA(HKEY key, DWORD index, char* name, DWORD* nameLen, DWORD*, char* keyClass,
                   DWORD* classLen, void*) {
  platform::Store& s = S();
  std::lock_guard<std::mutex> guard(s.lock);
  platform::EnsureLoaded(s);
  LONG rc = 0;
  Key* k = platform::ResolveFor(s, key, RegistryFault::Enum, KEY_ENUMERATE_SUB_KEYS, &rc);
  if (k == nullptr) return rc;
  if (index >= k->subkeys.size()) return ERROR_NO_MORE_ITEMS;
  rc = platform::CopyName(k->subkeys[index]->name, name, nameLen);
  if (rc == ERROR_SUCCESS && keyClass != nullptr && classLen != nullptr && *classLen > 0) {
    keyClass[0] = '\0';
    *classLen = 0;
  }
  return rc;
}

LONG RegQueryInfoKeyA(HKEY key, DWORD* subKeys, DWORD* maxSubKeyLen, DWORD* values,
                      DWORD* maxValueNameLen, DWORD* maxValueLen) {
  platform::Store& s = S();
  std::lock_guard<std::mutex> guard(s.lock);
  platform::EnsureLoaded(s);
  LONG rc = 0;
  REGSAM access = 0;
  Key* k = platform::Resolve(s, key, &access, &rc);
  if (k == nullptr) return rc;
  size_t longestKey = 0, longestName = 0, longestData = 0;
  for (const auto& sub : k->subkeys) longestKey = std::max(longestKey, sub->name.size());
  for (const auto& v : k->values) {
    longestName = std::max(longestName, v.name.size());
    longestData = std::max(longestData, v.data.size());
  }
  if (subKeys != nullptr) *subKeys = static_cast<DWORD>(k->subkeys.size());
  if (maxSubKeyLen != nullptr) *maxSubKeyLen = static_cast<DWORD>(longestKey);
  if (values != nullptr) *values = static_cast<DWORD>(k->values.size());
  if (maxValueNameLen != nullptr) *maxValueNameLen = static_cast<DWORD>(longestName);
  if (maxValueLen != nullptr) *maxValueLen = static_cast<DWORD>(longestData);
  return ERROR_SUCCESS;
}

LONG RegSaveKeyA(HKEY key, const char* file, const void*) {
  platform::Store& s = S();
  std::lock_guard<std::mutex> guard(s.lock);
  platform::EnsureLoaded(s);
  LONG rc = 0;
  REGSAM access = 0;
  Key* k = platform::Resolve(s, key, &access, &rc);
  if (k == nullptr) return rc;
  if (file == nullptr || file[0] == '\0') return ERROR_INVALID_PARAMETER;
  if (platform::TakeFault(s, RegistryFault::WriteFile, &rc)) return rc;
  return platform::registry_detail::WriteNewFile(file, platform::registry_detail::WriteKeyImage(*k));
}

namespace {

// Reads a saved key file into a fresh key.
LONG ReadSavedKey(platform::Store& s, const char* file, Key* into) {
  if (file == nullptr || file[0] == '\0') return ERROR_INVALID_PARAMETER;
  LONG rc = 0;
  if (platform::TakeFault(s, RegistryFault::ReadFile, &rc)) return rc;
  std::string bytes;
  rc = platform::registry_detail::ReadWholeFile(file, &bytes);
  if (rc != ERROR_SUCCESS) return rc;
  if (!platform::registry_detail::ReadKeyImage(reinterpret_cast<const BYTE*>(bytes.data()),
                                               bytes.size(), *into)) {
    return ERROR_BADDB;
  }
  return ERROR_SUCCESS;
}

// Handles on a detached subtree report the key as deleted from then on.
void MarkDeleted(Key& key) {
  key.deleted = true;
  key.parent = nullptr;
  for (auto& sub : key.subkeys) MarkDeleted(*sub);
}

// Levels below a key: 0 for a key without subkeys.
int HeightOf(const Key& key) {
  int height = 0;
  for (const auto& sub : key.subkeys) height = std::max(height, HeightOf(*sub) + 1);
  return height;
}

// The single-component subkey name of the load and replace calls.
bool OneName(const char* subKey, std::string* name) {
  std::vector<std::string> parts;
  if (subKey == nullptr || !platform::SplitPath(subKey, &parts) || parts.size() != 1) return false;
  *name = parts[0];
  return true;
}

// The key a load or replace works under, the one-component name it gives
// and where that name stands among the key's subkeys. The caller holds the
// store's lock.
struct NamedChild {
  Key* parent = nullptr;
  std::string name;
  size_t at = 0;
  bool found = false;
};

LONG FindNamedChild(platform::Store& s, HKEY key, const char* subKey, NamedChild* out) {
  platform::EnsureLoaded(s);
  LONG rc = 0;
  REGSAM access = 0;
  out->parent = platform::Resolve(s, key, &access, &rc);
  if (out->parent == nullptr) return rc;
  if (!OneName(subKey, &out->name)) return ERROR_INVALID_PARAMETER;
  out->at = platform::registry_detail::FindSubKey(*out->parent, out->name, &out->found);
  return ERROR_SUCCESS;
}

}  // namespace

LONG RegLoadKeyA(HKEY key, const char* subKey, const char* file) {
  platform::Store& s = S();
  std::lock_guard<std::mutex> guard(s.lock);
  NamedChild child;
  LONG rc = FindNamedChild(s, key, subKey, &child);
  if (rc != ERROR_SUCCESS) return rc;
  if (child.found) return ERROR_ALREADY_EXISTS;
  Key* k = child.parent;
  auto sub = std::make_shared<Key>();
  rc = ReadSavedKey(s, file, sub.get());
  if (rc != ERROR_SUCCESS) return rc;
  // A tree the store file could not hold would make the whole store
  // unreadable at the next start.
  if (platform::DepthOf(k) + 1 + HeightOf(*sub) > platform::registry_detail::kMaxDepth) {
    return ERROR_BADKEY;
  }
  sub->name = child.name;
  sub->parent = k;
  k->subkeys.insert(k->subkeys.begin() + static_cast<std::ptrdiff_t>(child.at), sub);
  s.dirty = true;
  return ERROR_SUCCESS;
}

LONG RegReplaceKeyA(HKEY key, const char* subKey, const char* newFile, const char* oldFile) {
  platform::Store& s = S();
  std::lock_guard<std::mutex> guard(s.lock);
  NamedChild child;
  LONG rc = FindNamedChild(s, key, subKey, &child);
  if (rc != ERROR_SUCCESS) return rc;
  if (oldFile == nullptr || oldFile[0] == '\0') return ERROR_INVALID_PARAMETER;
  if (!child.found) return ERROR_FILE_NOT_FOUND;
  Key* target = child.parent->subkeys[child.at].get();
  Key replacement;
  rc = ReadSavedKey(s, newFile, &replacement);
  if (rc != ERROR_SUCCESS) return rc;
  if (platform::DepthOf(target) + HeightOf(replacement) > platform::registry_detail::kMaxDepth) {
    return ERROR_BADKEY;
  }
  if (platform::TakeFault(s, RegistryFault::WriteFile, &rc)) return rc;
  rc = platform::registry_detail::WriteNewFile(oldFile,
                                                platform::registry_detail::WriteKeyImage(*target));
  if (rc != ERROR_SUCCESS) return rc;
  for (auto& sub : target->subkeys) MarkDeleted(*sub);
  target->values = std::move(replacement.values);
  target->subkeys = std::move(replacement.subkeys);
  for (auto& sub : target->subkeys) sub->parent = target;
  s.dirty = true;
  return ERROR_SUCCESS;
}
