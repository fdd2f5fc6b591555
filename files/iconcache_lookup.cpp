// Icons and type names of files by extension: the shell is asked once per
// extension (and icon kind), the answers live in the icon cache's entries.
// Entries are read and written without the cache's lock, so every field
// goes through an atomic reference.
#include <atomic>
#include <cstring>

#include "files/iconcache.h"
#include "platform/findfile.h"

namespace {

// The extension of the last component of name ("" when it has none).
const char* ExtensionOf(const char* name) {
  const char* ext = "";
  for (const char* p = name; *p; ++p) {
    if (*p == '\\' || *p == '/') ext = "";
    else if (*p == '.') ext = p + 1;
  }
  return ext;
}

}  // namespace

int GetFileIconIndex(const char* name, DWORD attributes, uint32_t flags) {
  if (name == nullptr) return -1;
  if (attributes != SYS_ATTR_INVALID && (attributes & SYS_ATTR_DIRECTORY))
    return GetDirectoryIconIndex(flags & 3);
  FileIconEntry* entry = g_fileIconCache.GetEntry(ExtensionOf(name));
  if (entry == nullptr) return -1;
  std::atomic_ref<int> slot(entry->icon[flags & 3]);
  int icon = slot.load(std::memory_order_acquire);
  if (icon != -1) return icon;
  SysShellFileInfo info;
  UINT ask = SYS_SHGFI_SYSICONINDEX | SYS_SHGFI_USEFILEATTRIBUTES | (flags & 3);
  if (SysGetFileInfo(name, attributes, &info, ask) == 0) return -1;
  slot.store(info.iconIndex, std::memory_order_release);
  return info.iconIndex;
}

const char* GetFileTypeName(const char* name, DWORD attributes) {
  if (name == nullptr) return "";
  FileIconEntry* entry = g_fileIconCache.GetEntry(ExtensionOf(name));
  if (entry == nullptr) return "";
  std::atomic_ref<const char*> slot(entry->typeName);
  if (const char* known = slot.load(std::memory_order_acquire)) return known;
  SysShellFileInfo info;
  if (SysGetFileInfo(name, attributes & ~SYS_ATTR_DIRECTORY, &info,
                     SYS_SHGFI_TYPENAME | SYS_SHGFI_USEFILEATTRIBUTES) == 0)
    return "";
  const char* stored = g_fileIconCache.InternString(info.typeName, uint32_t(strlen(info.typeName)));
  if (stored == nullptr) return "";
  const char* expected = nullptr;
  // Another thread may have stored its answer first; both are the same text.
  if (!slot.compare_exchange_strong(expected, stored, std::memory_order_acq_rel)) return expected;
  return stored;
}
