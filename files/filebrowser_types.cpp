// Type texts and system icons of the browser's items, asked from the shell
// through the per-extension icon cache where the extension decides.
#include <cstring>
#include <string>

#include "files/filebrowser.h"
#include "files/filebrowser_impl.h"
#include "files/filefind.h"
#include "files/iconcache.h"
#include "files/shellitem.h"
#include "platform/findfile.h"
#include "platform/pathsys.h"
#include "platform/shellinfo.h"

using namespace filebrowser_detail;

namespace {

// The attributes the shell is asked with, made from an item's flags.
DWORD AttributesOf(DWORD flags) {
  static constexpr struct {
    DWORD item;
    DWORD attribute;
  } kMap[] = {
      {FILEINFO_DIRECTORY, SYS_ATTR_DIRECTORY},
      {FILEINFO_HIDDEN, SYS_ATTR_HIDDEN},
      {FILEINFO_SYSTEM, SYS_ATTR_SYSTEM},
      {FILEINFO_ARCHIVE, SYS_ATTR_ARCHIVE},
  };
  DWORD attributes = 0;
  for (const auto& m : kMap) {
    if (flags & m.item) attributes |= m.attribute;
  }
  if (!(flags & FILEINFO_WRITABLE)) attributes |= SYS_ATTR_READONLY;
  return attributes ? attributes : SYS_ATTR_NORMAL;
}

// Files whose icons are their own, not their extension's: the last four
// characters of the name, upper-cased.
bool HasOwnIcon(const char* name, size_t length) {
  if (length < 4) return false;
  char tail[5];
  for (int i = 0; i < 4; ++i) {
    char c = name[length - 4 + static_cast<size_t>(i)];
    tail[i] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
  }
  tail[4] = 0;
  static constexpr const char* kOwn[] = {".EXE", ".ICO", ".HTM", "HTML", ".LNK"};
  for (const char* own : kOwn) {
    if (std::memcmp(tail, own, 4) == 0) return true;
  }
  return false;
}

}  // namespace

int CFileBrowser::InternType(const char* text, int length) {
  int i = typeTexts.Find(length, text, 0, -1, TEXTLIST_FIND_EXACT);
  return i >= 0 ? i : typeTexts.Insert(length, text, -1, nullptr);
}

const char* CFileBrowser::TypeTextOf(void* block) {
  BrowserItem rec;
  std::memcpy(&rec, static_cast<char*>(block) + userDataSize, sizeof rec);
  if (rec.typeIndex >= 0 && static_cast<uint32_t>(rec.typeIndex) < typeTexts.count) {
    return typeTexts.TextAt(static_cast<uint32_t>(rec.typeIndex));
  }
  const char* name = static_cast<char*>(block) + items.itemDataSize;
  SysShellFileInfo info{};
  const char* text = nullptr;
  if (rec.shellItem) {
    char type[SHELLITEM_TYPE_SIZE];
    if (rec.shellItem->GetTypeName(type)) {
      rec.typeIndex = InternType(type, static_cast<int>(std::strlen(type)));
    }
  } else if (rec.flags & (BROWSE_ITEM_DRIVE | BROWSE_ITEM_NETWORK)) {
    // Drives and shares are named by what they are, not as folders.
    std::string where = GetFolderPath(rec.folder) ? GetFolderPath(rec.folder) : "";
    where += name;
    if (rec.flags & BROWSE_ITEM_DRIVE) where += '\\';
    if (SysGetFileInfo(where.c_str(), SYS_ATTR_DIRECTORY, &info, SYS_SHGFI_TYPENAME) && info.typeName[0]) {
      rec.typeIndex = InternType(info.typeName, static_cast<int>(strnlen(info.typeName, sizeof info.typeName)));
    }
  } else if (!IsFolderFlags(rec.flags)) {
    text = GetFileTypeName(name, AttributesOf(rec.flags));
    if (text) rec.typeIndex = InternType(text, static_cast<int>(std::strlen(text)));
  }
  if (rec.typeIndex < 0) return IsFolderFlags(rec.flags) ? kBrowserFolderTypeName : "";
  std::memcpy(static_cast<char*>(block) + userDataSize, &rec, sizeof rec);
  return typeTexts.TextAt(static_cast<uint32_t>(rec.typeIndex));
}

const char* CFileBrowser::GetItemTypeText(int i) {
  if (i < 0 || static_cast<uint32_t>(i) >= items.count) return nullptr;
  return TypeTextOf(items.items[i]);
}

int CFileBrowser::GetItemIconIndex(int i, DWORD flags) {
  if (i < 0 || static_cast<uint32_t>(i) >= items.count) return -1;
  BrowserItem rec = LoadRecord(i);
  const char* name = items.TextAt(static_cast<uint32_t>(i));
  size_t length = items.LengthAt(static_cast<uint32_t>(i));
  UINT size = flags & (SYS_SHGFI_SMALLICON | SYS_SHGFI_OPENICON);
  SysShellFileInfo info{};
  if (rec.shellItem) return rec.shellItem->GetIconIndex(flags & ~DWORD{0x10});
  if (rec.flags & BROWSE_ITEM_DRIVE) {
    int icon = GetDriveIconIndex(name[0], flags);
    if (icon >= 0) return icon;
    char root[4] = {name[0], ':', '\\', 0};
    if (!SysGetFileInfo(root, SYS_ATTR_DIRECTORY, &info,
                        SYS_SHGFI_SYSICONINDEX | SYS_SHGFI_USEFILEATTRIBUTES | size)) {
      return -1;
    }
    return info.iconIndex;
  }
  if (rec.flags & BROWSE_ITEM_NETWORK) {
    const char* full = GetItemName(i, true);
    if (SysGetFileInfo(full, SYS_ATTR_DIRECTORY, &info, SYS_SHGFI_SYSICONINDEX | size)) return info.iconIndex;
    return GetDirectoryIconIndex(size);
  }
  // A folder's icon never depends on its name: a folder "x.txt" must neither
  // take nor spoil the icon of the txt extension.
  if (IsFolderFlags(rec.flags)) return GetDirectoryIconIndex(size);
  if (HasOwnIcon(name, length)) {
    const char* full = GetItemName(i, true);
    if (SysGetFileInfo(full, 0, &info, SYS_SHGFI_SYSICONINDEX | size)) return info.iconIndex;
  }
  return GetFileIconIndex(name, AttributesOf(rec.flags), size);
}
