#include <cstring>
#include <new>

#include "files/shellitem.h"
#include "files/shellitem_impl.h"

using shellitem_detail::IdSize;

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
    shellitem_detail::CopyText(out, SHELLITEM_PATH_SIZE, LinkPath(), strlen(LinkPath()));
    return true;
  }
  return SysGetPathFromIdList(list_, out);
}

bool CShellItem::GetTypeName(char* out) const {
  if (out == nullptr) return false;
  out[0] = 0;
  return shellitem_detail::ListTypeName(list_, out);
}

int CShellItem::GetIconIndex(uint32_t flags) const { return shellitem_detail::ListIconIndex(list_, flags); }
