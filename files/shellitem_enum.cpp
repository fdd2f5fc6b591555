#include <cstring>

#include "files/shellitem.h"
#include "files/shellitem_impl.h"
#include "platform/shellinfo.h"
#include "toolkit/unicode.h"

namespace {

constexpr uint32_t kSpare = 260;       // room for a child behind the prefix
constexpr uint32_t kTerminator = 4;    // zero bytes behind the list
constexpr DWORD kListAll = SYS_SHCONTF_FOLDERS | SYS_SHCONTF_NONFOLDERS | SYS_SHCONTF_INCLUDEHIDDEN;

// The desktop folder shared by every enumerator, and how many live. Shell
// folders belong to the thread that uses them (the UI thread), so these are
// plain values: of this library only the file-icon cache locks.
SysShellFolder* g_desktop = nullptr;
long g_live = 0;

SysShellFolder* SharedDesktop() {
  if (g_desktop == nullptr) SysGetDesktopFolder(&g_desktop);
  return g_desktop;
}

}  // namespace

namespace shellitem_detail {

void CopyText(char* out, int size, const char* text, size_t length) {
  if (length > size_t(size - 1)) length = size_t(size - 1);
  memcpy(out, text, length);
  out[length] = 0;
}

bool ListTypeName(const BYTE* list, char* out) {
  SysShellFileInfo info;
  if (list == nullptr || SysGetFileInfoOfList(list, &info, SYS_SHGFI_TYPENAME | SYS_SHGFI_PIDL) == 0)
    return false;
  CopyText(out, SHELLITEM_TYPE_SIZE, info.typeName, strnlen(info.typeName, sizeof info.typeName));
  return true;
}

int ListIconIndex(const BYTE* list, uint32_t flags) {
  SysShellFileInfo info;
  if (list == nullptr ||
      SysGetFileInfoOfList(list, &info, flags | SYS_SHGFI_SYSICONINDEX | SYS_SHGFI_PIDL) == 0)
    return -1;
  return info.iconIndex;
}

}  // namespace shellitem_detail

using shellitem_detail::CopyText;
using shellitem_detail::IdSize;

CShellItemEnum::CShellItemEnum() {
  ++g_live;
  Reset();
}

CShellItemEnum::CShellItemEnum(int csidl) : CShellItemEnum() { OpenSpecial(csidl); }

CShellItemEnum::CShellItemEnum(const CShellItemEnum& parent) : CShellItemEnum() { OpenChild(parent); }

CShellItemEnum::~CShellItemEnum() {
  SysTaskFree(list_);
  if (enum_) enum_->Release();
  if (folder_) folder_->Release();
  if (--g_live == 0 && g_desktop != nullptr) {
    g_desktop->Release();
    g_desktop = nullptr;
  }
}

long CShellItemEnum::LiveCount() { return g_live; }

bool CShellItemEnum::HoldsDesktopFolder() {
  return g_desktop != nullptr;
}

bool CShellItemEnum::Reset() {
  SysTaskFree(list_);
  list_ = child_ = nullptr;
  capacity_ = prefixLength_ = 0;
  if (enum_) enum_->Release();
  if (folder_) folder_->Release();
  enum_ = nullptr;
  folder_ = nullptr;
  attributes_ = 0;
  parent_ = nullptr;
  return SharedDesktop() != nullptr;
}

bool CShellItemEnum::SetBuffer(const BYTE* prefix, uint32_t prefixLength, uint32_t capacity) {
  auto* buffer = static_cast<BYTE*>(SysTaskAlloc(capacity));
  if (buffer == nullptr) return false;
  memcpy(buffer, prefix, prefixLength);
  memset(buffer + prefixLength, 0, kTerminator);
  SysTaskFree(list_);
  list_ = buffer;
  capacity_ = capacity;
  prefixLength_ = prefixLength;
  child_ = nullptr;
  return true;
}

bool CShellItemEnum::StartEnumeration() {
  if (folder_->EnumObjects(kListAll, &enum_) == SYS_S_OK && enum_ != nullptr) return true;
  enum_ = nullptr;
  return false;
}

bool CShellItemEnum::OpenSpecial(int csidl) {
  if (!Reset()) return false;
  BYTE* location = nullptr;
  if (SysGetSpecialFolderLocation(csidl, &location) != SYS_S_OK) return false;
  bool ok = SharedDesktop()->BindToObject(location, &folder_) == SYS_S_OK && folder_ != nullptr;
  uint32_t length = SysIdListSize(location) - 2;
  ok = ok && SetBuffer(location, length, length + kSpare) && StartEnumeration();
  SysTaskFree(location);
  if (!ok) Reset();
  return ok;
}

bool CShellItemEnum::OpenChild(const CShellItemEnum& parent) {
  // An enumerator cannot descend into its own item: Reset would free it.
  if (&parent == this || !Reset() || parent.folder_ == nullptr || parent.child_ == nullptr)
    return false;
  DWORD attributes = SYS_SFGAO_FOLDER;
  if (parent.folder_->GetAttributesOf(parent.child_, &attributes) != SYS_S_OK) return false;
  uint32_t length = parent.prefixLength_ + IdSize(parent.child_);
  if (!SetBuffer(parent.list_, length, length + kSpare)) return false;
  if (!(attributes & SYS_SFGAO_FOLDER)) return false;
  if (parent.folder_->BindToObject(parent.child_, &folder_) != SYS_S_OK || folder_ == nullptr) {
    folder_ = nullptr;
    return false;
  }
  parent_ = &parent;
  if (StartEnumeration()) return true;
  Reset();
  return false;
}

bool CShellItemEnum::AppendItem(BYTE* childList) {
  uint32_t size = childList ? IdSize(childList) : 0;
  if (size < 2 || list_ == nullptr) {
    SysTaskFree(childList);
    return false;
  }
  uint32_t need = prefixLength_ + size + kTerminator;
  if (need > capacity_) {
    auto* buffer = static_cast<BYTE*>(SysTaskAlloc(need));
    if (buffer == nullptr) {
      SysTaskFree(childList);
      return false;
    }
    memcpy(buffer, list_, prefixLength_);
    SysTaskFree(list_);
    list_ = buffer;
    capacity_ = need;
  }
  child_ = list_ + prefixLength_;
  memcpy(child_, childList, size);
  memset(child_ + size, 0, kTerminator);
  SysTaskFree(childList);
  return true;
}

bool CShellItemEnum::Next() {
  if (folder_ == nullptr || enum_ == nullptr) return false;
  BYTE* id = nullptr;
  if (enum_->Next(&id) != SYS_S_OK || id == nullptr) {
    SysTaskFree(id);
    return false;
  }
  if (!AppendItem(id)) return false;
  DWORD attributes = 0xFFFFFFFFu;
  attributes_ = folder_->GetAttributesOf(child_, &attributes) == SYS_S_OK ? attributes : 0;
  return true;
}

bool CShellItemEnum::GetDisplayName(char* out) const {
  if (out == nullptr) return false;
  out[0] = 0;
  SysStrRet name;
  if (folder_ == nullptr || child_ == nullptr ||
      folder_->GetDisplayNameOf(child_, SYS_SHGDN_INFOLDER, &name) != SYS_S_OK)
    return false;
  switch (name.type) {
    case SYS_STRRET_WSTR:
      WideToUtf8(out, name.wide, SHELLITEM_NAME_SIZE);
      SysTaskFree(name.wide);
      return true;
    case SYS_STRRET_OFFSET: {
      uint32_t size = IdSize(child_);
      if (name.offset >= size) return false;
      const char* text = reinterpret_cast<const char*>(child_ + name.offset);
      CopyText(out, SHELLITEM_NAME_SIZE, text, strnlen(text, size - name.offset));
      return true;
    }
    case SYS_STRRET_CSTR:
      CopyText(out, SHELLITEM_NAME_SIZE, name.cStr, strnlen(name.cStr, sizeof name.cStr));
      return true;
    default:
      return false;
  }
}

bool CShellItemEnum::GetPath(char* out) const {
  if (out == nullptr) return false;
  out[0] = 0;
  if (!(attributes_ & SYS_SFGAO_FILESYSTEM) || child_ == nullptr) return false;
  return SysGetPathFromIdList(list_, out);
}

bool CShellItemEnum::GetLinkTarget(char* out) const {
  if (out == nullptr) return false;
  out[0] = 0;
  if (!(attributes_ & SYS_SFGAO_LINK) || folder_ == nullptr || child_ == nullptr) return false;
  int result = folder_->GetLinkTarget(child_, out, SHELLITEM_PATH_SIZE);
  if (result == SYS_S_OK || result == SYS_S_FALSE) return true;
  out[0] = 0;
  return false;
}

bool CShellItemEnum::GetTypeName(char* out) const {
  if (out == nullptr) return false;
  out[0] = 0;
  return child_ != nullptr && shellitem_detail::ListTypeName(list_, out);
}

int CShellItemEnum::GetIconIndex(uint32_t flags) const {
  return child_ != nullptr ? shellitem_detail::ListIconIndex(list_, flags) : -1;
}
