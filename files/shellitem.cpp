#include <cstring>
#include <new>

#include "files/shellitem.h"
#include "platform/shellinfo.h"

namespace {

uint32_t IdSize(const BYTE* id) { return uint32_t(id[0] | (id[1] << 8)); }

void CopyText(char* out, int size, const char* text) {
  size_t length = strnlen(text, size_t(size));
  if (length > size_t(size - 1)) length = size_t(size - 1);
  memcpy(out, text, length);
  out[length] = 0;
}

}  // namespace

CShellItem::~CShellItem() { Clear(); }

bool CShellItem::Clear() {
  SysTaskFree(list_);
  list_ = nullptr;
  delete[] text_;
  text_ = nullptr;
  attributes_ = 0;
  return true;
}

bool CShellItem::Assign(const CShellItemEnum& source) {
  Clear();
  const BYTE* child = source.CurrentChild();
  if (child == nullptr) return false;
  uint32_t size = source.PrefixLength() + IdSize(child) + 4;
  list_ = static_cast<BYTE*>(SysTaskAlloc(size));
  if (list_ == nullptr) return false;
  memcpy(list_, source.AbsoluteList(), size);
  attributes_ = source.Attributes();
  char name[SHELLITEM_NAME_SIZE];
  char path[SHELLITEM_PATH_SIZE + 1] = "";
  source.GetDisplayName(name);
  constexpr DWORD kFileLink = SYS_SFGAO_FILESYSTEM | SYS_SFGAO_LINK;
  if ((attributes_ & kFileLink) == kFileLink && source.GetPath(path)) {
    // Host paths keep their own separator.
    size_t length = strlen(path);
    path[length] = path[0] == '/' ? '/' : '\\';
    path[length + 1] = 0;
  }
  size_t nameLength = strlen(name), pathLength = strlen(path);
  text_ = new (std::nothrow) char[nameLength + pathLength + 2];
  if (text_ == nullptr) {
    Clear();
    return false;
  }
  memcpy(text_, name, nameLength + 1);
  memcpy(text_ + nameLength + 1, path, pathLength + 1);
  return true;
}

const char* CShellItem::LinkPath() const { return text_ ? text_ + strlen(text_) + 1 : ""; }

bool CShellItem::GetPath(char* out) const {
  if (out == nullptr) return false;
  out[0] = 0;
  if (list_ == nullptr || !(attributes_ & SYS_SFGAO_FILESYSTEM)) return false;
  if ((attributes_ & SYS_SFGAO_LINK) && LinkPath()[0] != 0) {
    CopyText(out, SHELLITEM_PATH_SIZE, LinkPath());
    return true;
  }
  return SysGetPathFromIdList(list_, out);
}

bool CShellItem::GetTypeName(char* out) const {
  if (out == nullptr) return false;
  out[0] = 0;
  SysShellFileInfo info;
  if (list_ == nullptr || SysGetFileInfoOfList(list_, &info, SYS_SHGFI_TYPENAME | SYS_SHGFI_PIDL) == 0)
    return false;
  CopyText(out, SHELLITEM_TYPE_SIZE, info.typeName);
  return true;
}

int CShellItem::GetIconIndex(uint32_t flags) const {
  SysShellFileInfo info;
  if (list_ == nullptr ||
      SysGetFileInfoOfList(list_, &info, flags | SYS_SHGFI_SYSICONINDEX | SYS_SHGFI_PIDL) == 0)
    return -1;
  return info.iconIndex;
}
