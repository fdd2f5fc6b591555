// CRegistryKey: opening, the key stack, subkeys, enumeration and paths.
#include "files/registry.h"

#include <cstring>
#include <string>

namespace {

struct RootName {
  const char* name;
  HKEY key;
};

// Also the order in which RegistryParseRootKey tries them.
const RootName kRootNames[] = {
    {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},     {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},   {"HKEY_USERS", HKEY_USERS},
    {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG}, {"HKEY_DYN_DATA", HKEY_DYN_DATA},
};

constexpr DWORD kModeMask = 63;
constexpr DWORD kNameRoom = 256;
constexpr int kDefaultPathSize = 1024;

unsigned char FoldLatin1(char c) {
  const auto u = static_cast<unsigned char>(c);
  if ((u >= 'a' && u <= 'z') || (u >= 0xE0 && u <= 0xFE && u != 0xF7)) return u - 0x20;
  return u;
}

bool EqualNoCase(const char* a, const char* b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (FoldLatin1(a[i]) != FoldLatin1(b[i])) return false;
  }
  return true;
}

// REGKEY_NEXT and REGKEY_ALL, where an operation gives them no meaning.
bool IsSpecialName(const char* name) { return name == REGKEY_NEXT || name == REGKEY_ALL; }

char* HeapCopy(const char* text, size_t len) {
  char* copy = new char[len + 1];
  std::memcpy(copy, text, len);
  copy[len] = '\0';
  return copy;
}

// The path used when the caller gives none.
std::string DefaultPathFor(HKEY root) {
  if (root != HKEY_CURRENT_USER && root != HKEY_LOCAL_MACHINE && root != HKEY_CURRENT_CONFIG) {
    return std::string();
  }
  char buf[kDefaultPathSize];
  RegistryDefaultPath(buf, kDefaultPathSize, nullptr);
  return buf;
}

}  // namespace

int RegistryDefaultPath(char* buf, int size, const char* subKey) {
  if (buf == nullptr || size < 1) return 0;
  std::string path = "Software";
  for (const char* part : {platform::AppRegistryKey(), platform::AppName(), subKey}) {
    if (part != nullptr && part[0] != '\0') path.append("\\").append(part);
  }
  const size_t len = path.size() < static_cast<size_t>(size - 1) ? path.size()
                                                                   : static_cast<size_t>(size - 1);
  std::memcpy(buf, path.data(), len);
  buf[len] = '\0';
  return static_cast<int>(len);
}

int RegistryParseRootKey(HKEY* root, const char* path) {
  if (path != nullptr) {
    for (const RootName& entry : kRootNames) {
      const size_t len = std::strlen(entry.name);
      // A shorter path mismatches at its terminator before anything behind it is read.
      if (EqualNoCase(path, entry.name, len) && (path[len] == '\\' || path[len] == '\0')) {
        if (root != nullptr) *root = entry.key;
        return static_cast<int>(path[len] == '\\' ? len + 1 : len);
      }
    }
  }
  if (root != nullptr) *root = HKEY_CURRENT_USER;
  return 0;
}

CRegistryKey::CRegistryKey() = default;

CRegistryKey::~CRegistryKey() {
  if (depth >= 0) CloseAll();
}

bool CRegistryKey::NeedOpen() {
  if (depth >= 0) return true;
  lastError = REGKEY_ERR_NOT_OPEN;
  return false;
}

bool CRegistryKey::NeedValueDepth() {
  if (!NeedOpen()) return false;
  if (depth < kLevels - 1) return true;
  lastError = REGKEY_ERR_TOO_DEEP;
  return false;
}

bool CRegistryKey::NeedWriteMode() {
  if (openMode != REGKEY_MODE_READ) return true;
  lastError = REGKEY_ERR_OPEN_FAILED;
  return false;
}

void CRegistryKey::Push(HKEY key, const char* path) {
  ++depth;
  keyStack[depth] = key;
  levelPaths[depth] = HeapCopy(path, std::strlen(path));
  currentKey = key;
  valueEnumPos[depth] = 0;
  subKeyEnumPos[depth] = 0;
}

bool CRegistryKey::FinishOpen(HKEY root, const char* path, HKEY key) {
  depth = -1;
  Push(key, path);
  rootKey = root;
  return true;
}

bool CRegistryKey::Open(HKEY root, const char* path, DWORD flags) {
  if (depth >= 0) CloseAll();
  openMode = flags & kModeMask;
  accessMask = (openMode != 0 ? KEY_ALL_ACCESS : KEY_READ) | (flags & 0x7FFFFFC0);
  if ((flags & ~kModeMask) == 0 && root == HKEY_LOCAL_MACHINE) {
    accessMask |= KEY_WOW64_64KEY;
  } else if (root == nullptr) {
    const int skip = RegistryParseRootKey(&root, path);
    if (path != nullptr) path += skip;
  }
  const std::string fallback = path == nullptr ? DefaultPathFor(root) : std::string();
  if (path == nullptr) path = fallback.c_str();
  HKEY key = nullptr;
  LONG rc = RegOpenKeyExA(root, path, 0, accessMask, &key);
  if (rc == ERROR_ACCESS_DENIED && root == HKEY_LOCAL_MACHINE &&
      (accessMask & KEY_WOW64_64KEY) != 0) {
    accessMask &= ~KEY_WOW64_64KEY;
    rc = RegOpenKeyExA(root, path, 0, accessMask, &key);
  }
  lastError = static_cast<DWORD>(rc);
  if (rc != ERROR_SUCCESS) {
    if (openMode == REGKEY_MODE_CREATE) return Create(root, path, flags & ~kModeMask);
    lastError = REGKEY_ERR_OPEN_FAILED;
    return false;
  }
  return FinishOpen(root, path, key);
}

bool CRegistryKey::Create(HKEY root, const char* path, DWORD flags) {
  if (depth >= 0) CloseAll();
  openMode = REGKEY_MODE_CREATE;
  accessMask = (flags & 0x7FF0FFC0) | KEY_ALL_ACCESS;
  if (root == HKEY_LOCAL_MACHINE) {
    accessMask |= KEY_WOW64_64KEY;
  } else if (root == nullptr) {
    const int skip = RegistryParseRootKey(&root, path);
    if (path != nullptr) path += skip;
  }
  const std::string fallback = path == nullptr ? DefaultPathFor(root) : std::string();
  if (path == nullptr) path = fallback.c_str();
  HKEY key = nullptr;
  const LONG rc = RegCreateKeyExA(root, path, 0, nullptr, 0, accessMask, nullptr, &key, nullptr);
  lastError = static_cast<DWORD>(rc);
  if (rc != ERROR_SUCCESS) return false;
  return FinishOpen(root, path, key);
}

bool CRegistryKey::OpenSubKey(const char* subKey, DWORD noCreate) {
  if (!NeedValueDepth()) return false;
  if (subKey == REGKEY_ALL) {  // only the deletions take every subkey
    lastError = ERROR_NOT_SUPPORTED;
    return false;
  }
  char next[kNameSize];
  if (subKey == nullptr || subKey == REGKEY_NEXT) {
    DWORD len = kNameRoom;
    const LONG rc = RegEnumKeyExA(currentKey, subKeyEnumPos[depth], next, &len, nullptr, nullptr,
                                  nullptr, nullptr);
    ++subKeyEnumPos[depth];
    if (rc != ERROR_SUCCESS) {
      lastError = static_cast<DWORD>(rc);
      return false;
    }
    subKey = next;
  }
  HKEY key = nullptr;
  const LONG rc = RegOpenKeyExA(currentKey, subKey, 0, accessMask, &key);
  lastError = static_cast<DWORD>(rc);
  if (rc == ERROR_SUCCESS) {
    Push(key, subKey);
    return true;
  }
  if (openMode == REGKEY_MODE_CREATE && noCreate == 0) return CreateSubKey(subKey);
  if (rc != ERROR_ACCESS_DENIED) lastError = REGKEY_ERR_OPEN_FAILED;
  return false;
}

bool CRegistryKey::CreateSubKey(const char* subKey) {
  if (!NeedValueDepth()) return false;
  if (openMode != REGKEY_MODE_CREATE) {
    lastError = REGKEY_ERR_OPEN_FAILED;
    return false;
  }
  if (IsSpecialName(subKey)) {
    lastError = ERROR_NOT_SUPPORTED;
    return false;
  }
  if (subKey == nullptr) {
    subKey = platform::AppRegistryKey();
    if (subKey == nullptr) {  // no name to stand in: refuse rather than push the same key
      lastError = ERROR_INVALID_PARAMETER;
      return false;
    }
  }
  HKEY key = nullptr;
  const LONG rc =
      RegCreateKeyExA(currentKey, subKey, 0, nullptr, 0, accessMask, nullptr, &key, nullptr);
  lastError = static_cast<DWORD>(rc);
  if (rc != ERROR_SUCCESS) return false;
  Push(key, subKey);
  return true;
}

bool CRegistryKey::Close() {
  if (!NeedOpen()) return false;
  const LONG rc = RegCloseKey(keyStack[depth]);
  delete[] levelPaths[depth];
  levelPaths[depth] = nullptr;
  keyStack[depth] = nullptr;
  --depth;
  currentKey = depth >= 0 ? keyStack[depth] : nullptr;
  lastError = static_cast<DWORD>(rc);
  return rc == ERROR_SUCCESS;
}

bool CRegistryKey::CloseAll() {
  if (!NeedOpen()) return false;
  DWORD failure = 0;
  while (depth >= 0) {
    if (!Close()) failure = lastError;
  }
  lastError = failure;
  rootKey = nullptr;
  currentKey = nullptr;
  return failure == 0;
}

bool CRegistryKey::DeleteKey(const char* subKey) {
  if (!NeedValueDepth()) return false;
  if (subKey == REGKEY_ALL) {
    bool all = true;
    for (DWORD i = GetSubKeyCount(); i-- > 0;) {
      char buf[kNameSize];
      if (GetSubKeyName(buf, kNameSize, i) <= 0 || !DeleteKey(buf)) all = false;
    }
    return all;
  }
  // A name of no key would open the key itself (or, null, the subkey at
  // the enumeration position) and empty it before failing.
  if (subKey == nullptr || (subKey != REGKEY_NEXT && subKey[std::strspn(subKey, "\\")] == '\0')) {
    lastError = ERROR_INVALID_PARAMETER;
    return false;
  }
  char next[kNameSize];
  const bool walking = subKey == REGKEY_NEXT;
  if (walking) {
    if (GetSubKeyName(next, kNameSize, subKeyEnumPos[depth]) <= 0) return false;
    subKey = next;
  }
  LONG rc = RegDeleteKeyA(currentKey, subKey);
  lastError = static_cast<DWORD>(rc);
  if (rc == ERROR_SUCCESS) return true;
  bool ok = OpenSubKey(subKey, 1);
  if (ok) {
    const bool emptied = DeleteKey(REGKEY_ALL);
    const DWORD emptyError = lastError;
    ok = Close();
    if (ok) {
      rc = RegDeleteKeyA(currentKey, subKey);
      lastError = static_cast<DWORD>(rc != ERROR_SUCCESS && !emptied ? emptyError : rc);
      ok = rc == ERROR_SUCCESS;
    }
  }
  if (!ok && walking) ++subKeyEnumPos[depth];
  return ok;
}

DWORD CRegistryKey::GetValueCount() {
  if (!NeedOpen()) return 0;
  DWORD count = 0;
  const LONG rc = RegQueryInfoKeyA(currentKey, nullptr, nullptr, &count, nullptr, nullptr);
  lastError = static_cast<DWORD>(rc);
  return rc == ERROR_SUCCESS ? count : 0;
}

DWORD CRegistryKey::GetSubKeyCount() {
  if (!NeedOpen()) return 0;
  DWORD count = 0;
  const LONG rc = RegQueryInfoKeyA(currentKey, &count, nullptr, nullptr, nullptr, nullptr);
  lastError = static_cast<DWORD>(rc);
  return rc == ERROR_SUCCESS ? count : 0;
}

char* CRegistryKey::EnumValueName(DWORD index) { return EnumValueName(index, nullptr); }

char* CRegistryKey::EnumValueName(DWORD index, int* len) {
  if (len != nullptr) *len = 0;
  if (!NeedOpen()) return nullptr;
  if (index == 0xFFFFFFFF) index = valueEnumPos[depth];
  DWORD room = kNameRoom + 1;
  DWORD type = 0;
  DWORD size = 0;
  const LONG rc = RegEnumValueA(currentKey, index, name, &room, nullptr, &type, nullptr, &size);
  lastError = static_cast<DWORD>(rc);
  // A name longer than the field holds does not come back; that is a failure
  // here, not a name to act on.
  if (rc != ERROR_SUCCESS) {
    name[0] = '\0';
    nameLength = 0;
    return nullptr;
  }
  valueType = type;
  dataSize = size;
  nameLength = room;
  if (len != nullptr) *len = static_cast<int>(room);
  return name;
}

namespace {

// The enumerated name as a heap block for the caller (0 is a valid length, so
// a failure is -1).
int HandOverName(const char* text, int len, char** out) {
  if (out != nullptr) *out = text != nullptr ? HeapCopy(text, static_cast<size_t>(len)) : nullptr;
  return text != nullptr ? len : -1;
}

// The enumerated name into the caller's buffer; one that does not fit whole
// leaves the buffer empty.
int CopyName(const char* text, int len, char* buf, int size) {
  if (buf == nullptr || size < 1) return 0;
  if (text == nullptr || len + 1 > size) {
    buf[0] = '\0';
    return 0;
  }
  std::memcpy(buf, text, static_cast<size_t>(len) + 1);
  return len;
}

}  // namespace

int CRegistryKey::EnumValueNameAlloc(char** out, DWORD index) {
  int len = 0;
  const char* text = EnumValueName(index, &len);
  return HandOverName(text, len, out);
}

int CRegistryKey::GetValueName(char* buf, int size, DWORD index) {
  int len = 0;
  const char* text = EnumValueName(index, &len);
  return CopyName(text, len, buf, size);
}

char* CRegistryKey::EnumSubKey(DWORD index) { return EnumSubKey(index, nullptr); }

char* CRegistryKey::EnumSubKey(DWORD index, int* len) {
  if (len != nullptr) *len = 0;
  if (!NeedOpen()) return nullptr;
  if (index == 0xFFFFFFFF) index = subKeyEnumPos[depth];
  DWORD room = kNameRoom + 1;
  const LONG rc =
      RegEnumKeyExA(currentKey, index, name, &room, nullptr, nullptr, nullptr, nullptr);
  lastError = static_cast<DWORD>(rc);
  if (rc != ERROR_SUCCESS) {
    name[0] = '\0';
    nameLength = 0;
    return nullptr;
  }
  nameLength = room;
  if (len != nullptr) *len = static_cast<int>(room);
  return name;
}

int CRegistryKey::EnumSubKeyAlloc(char** out, DWORD index) {
  int len = 0;
  const char* text = EnumSubKey(index, &len);
  return HandOverName(text, len, out);
}

int CRegistryKey::GetSubKeyName(char* buf, int size, DWORD index) {
  int len = 0;
  const char* text = EnumSubKey(index, &len);
  return CopyName(text, len, buf, size);
}

bool CRegistryKey::ResetSubKeyEnum() {
  if (!NeedValueDepth()) return false;
  subKeyEnumPos[depth] = 0;
  lastError = 0;
  return true;
}

const char* CRegistryKey::GetLevelPath(int level) { return GetLevelPath(level, nullptr); }

const char* CRegistryKey::GetLevelPath(int level, int* len) {
  if (len != nullptr) *len = 0;
  if (!NeedOpen()) return nullptr;
  if (level == -1) level = depth;
  if (level < 0 || level > depth) {
    lastError = ERROR_INVALID_LEVEL;
    return nullptr;
  }
  lastError = 0;
  if (len != nullptr) *len = static_cast<int>(std::strlen(levelPaths[level]));
  return levelPaths[level];
}

int CRegistryKey::CopyLevelPath(char* buf, int size, int level) {
  if (buf == nullptr || size < 1) return 0;
  int len = 0;
  const char* text = GetLevelPath(level, &len);
  if (text == nullptr || len + 1 > size) {
    buf[0] = '\0';
    return 0;
  }
  std::memcpy(buf, text, static_cast<size_t>(len) + 1);
  return len;
}

int CRegistryKey::GetLevelPathAlloc(char** out, int level) {
  int len = 0;
  const char* text = GetLevelPath(level, &len);
  if (out != nullptr) *out = text != nullptr ? HeapCopy(text, static_cast<size_t>(len)) : nullptr;
  return text != nullptr ? len : -1;
}

int CRegistryKey::GetKeyPath(char* buf, int size, int mode) {
  if (buf == nullptr || size < 1) return -1;
  buf[0] = '\0';
  if (!NeedOpen()) return -1;
  std::string text;
  if (mode == 0) {
    const RootName* root = nullptr;
    for (const RootName& entry : kRootNames) {
      if (entry.key == rootKey) root = &entry;
    }
    if (root == nullptr) return -1;
    text = root->name;
  }
  // Empty level paths add nothing, not even a backslash, so a key opened
  // with an empty path still gets one between the root and its subkey.
  for (int level = mode >= 2 ? 1 : 0; level <= depth; ++level) {
    const size_t len = std::strlen(levelPaths[level]);
    if (len == 0) continue;
    if (!text.empty()) text += '\\';
    if (len + text.size() + 2 > static_cast<size_t>(size)) return -1;
    text += levelPaths[level];
  }
  // The root name and its backslash are checked here too, so a buffer that
  // holds the name but not the backslash is never written past.
  if (text.size() + 1 > static_cast<size_t>(size)) return -1;
  std::memcpy(buf, text.c_str(), text.size() + 1);
  return 0;
}

int CRegistryKey::FindSubKeyIndex(int level) {
  if (!NeedOpen()) return -1;
  if (level == -1) level = depth - 1;
  if (depth < 1 || level < 0 || level > depth - 1) {
    lastError = ERROR_INVALID_LEVEL;
    return -1;
  }
  const char* wanted = levelPaths[level + 1];
  const size_t wantedLen = std::strlen(wanted);
  char found[kNameSize];
  for (DWORD i = 0;; ++i) {
    DWORD room = kNameRoom + 1;
    const LONG rc =
        RegEnumKeyExA(keyStack[level], i, found, &room, nullptr, nullptr, nullptr, nullptr);
    lastError = static_cast<DWORD>(rc);
    if (rc != ERROR_SUCCESS) return -1;
    if (room == wantedLen && EqualNoCase(found, wanted, wantedLen)) {
      subKeyEnumPos[level] = i + 1;
      return static_cast<int>(i);
    }
  }
}

bool CRegistryKey::SaveKey(const char* file) {
  if (!NeedOpen()) return false;
  const LONG rc = RegSaveKeyA(currentKey, file, nullptr);
  lastError = static_cast<DWORD>(rc);
  return rc == ERROR_SUCCESS;
}

bool CRegistryKey::LoadKey(const char* subKey, const char* file) {
  if (!NeedOpen()) return false;
  if (IsSpecialName(subKey)) {
    lastError = ERROR_NOT_SUPPORTED;
    return false;
  }
  if (openMode != REGKEY_MODE_CREATE) {
    lastError = REGKEY_ERR_OPEN_FAILED;
    return false;
  }
  const LONG rc = RegLoadKeyA(currentKey, subKey, file);
  lastError = static_cast<DWORD>(rc);
  return rc == ERROR_SUCCESS;
}

bool CRegistryKey::ReplaceKey(const char* subKey, const char* newFile, const char* oldFile) {
  if (!NeedOpen()) return false;
  if (IsSpecialName(subKey)) {
    lastError = ERROR_NOT_SUPPORTED;
    return false;
  }
  if (openMode != REGKEY_MODE_CREATE) {
    lastError = REGKEY_ERR_OPEN_FAILED;
    return false;
  }
  const LONG rc = RegReplaceKeyA(currentKey, subKey, newFile, oldFile);
  lastError = static_cast<DWORD>(rc);
  return rc == ERROR_SUCCESS;
}
