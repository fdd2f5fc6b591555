#include "files/shellitem.h"

CShellItemEnum::CShellItemEnum() {}
CShellItemEnum::CShellItemEnum(int) {}
CShellItemEnum::CShellItemEnum(const CShellItemEnum&) {}
CShellItemEnum::~CShellItemEnum() {}
bool CShellItemEnum::Reset() { return false; }
bool CShellItemEnum::OpenSpecial(int) { return false; }
bool CShellItemEnum::OpenChild(const CShellItemEnum&) { return false; }
bool CShellItemEnum::Next() { return false; }
bool CShellItemEnum::GetDisplayName(char* out) const { if (out) out[0] = 0; return false; }
bool CShellItemEnum::GetPath(char* out) const { if (out) out[0] = 0; return false; }
bool CShellItemEnum::GetLinkTarget(char* out) const { if (out) out[0] = 0; return false; }
bool CShellItemEnum::GetTypeName(char* out) const { if (out) out[0] = 0; return false; }
int CShellItemEnum::GetIconIndex(uint32_t) const { return -1; }
bool CShellItemEnum::AppendItem(BYTE* childList) { SysTaskFree(childList); return false; }
long CShellItemEnum::LiveCount() { return 0; }
bool CShellItemEnum::HoldsDesktopFolder() { return false; }
bool CShellItemEnum::SetBuffer(const BYTE*, uint32_t, uint32_t) { return false; }
bool CShellItemEnum::StartEnumeration() { return false; }

CShellItem::~CShellItem() { Clear(); }
bool CShellItem::Assign(const CShellItemEnum&) { return false; }
bool CShellItem::Clear() { return true; }
bool CShellItem::GetPath(char* out) const { if (out) out[0] = 0; return false; }
bool CShellItem::GetTypeName(char* out) const { if (out) out[0] = 0; return false; }
int CShellItem::GetIconIndex(uint32_t) const { return -1; }
const char* CShellItem::LinkPath() const { return ""; }
