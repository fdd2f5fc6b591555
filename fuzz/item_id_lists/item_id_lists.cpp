// Item-ID lists of any content and find patterns against names: the
// namespace stand-in must refuse what is not its own and never read or
// write outside a list, the matcher must stop on any pattern, and an
// enumerator given any child ID keeps its buffer as the folder's list, the
// child, then four zero bytes.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "../exact_block.h"
#include "files/shellitem.h"
#include "platform/findfile.h"
#include "platform/shellinfo.h"
#include "platform/shellns.h"

namespace {

// The input as IDs: each takes its size from one input byte (at least 2,
// at most what is left), so the framing stays inside the block while the
// content is anything.
std::vector<BYTE> Frame(const uint8_t* data, size_t size) {
  std::vector<BYTE> list;
  size_t at = 0;
  while (at < size) {
    size_t cb = data[at++];
    if (cb < 2) cb = 2;
    if (cb - 2 > size - at) cb = size - at + 2;
    list.push_back(BYTE(cb));
    list.push_back(0);
    list.insert(list.end(), data + at, data + at + (cb - 2));
    at += cb - 2;
  }
  list.push_back(0);
  list.push_back(0);
  return list;
}

// The first ID of list as the current child of an enumerator on a special
// folder: the folder's own list stays in front, the child follows, four zero
// bytes end it, and a buffer too small is replaced by one of exactly that
// size.
void EnumeratorTakes(const std::vector<BYTE>& list, int which) {
  static const int kFolders[] = {SYS_CSIDL_DESKTOP, SYS_CSIDL_DRIVES, SYS_CSIDL_NETWORK};
  CShellItemEnum walk(kFolders[which % 3]);
  if (!walk.IsOpen()) return;
  const uint32_t prefix = walk.PrefixLength();
  const uint32_t capacity = walk.Capacity();
  std::vector<BYTE> folder(walk.AbsoluteList(), walk.AbsoluteList() + prefix);
  const uint32_t cb = uint32_t(list[0] | (list[1] << 8));
  auto* child = static_cast<BYTE*>(SysTaskAlloc(list.size()));
  if (child == nullptr) return;
  memcpy(child, list.data(), list.size());
  bool taken = walk.AppendItem(child);
  fuzz_support::Require(taken == (cb >= 2));
  if (!taken) return;
  const uint32_t need = prefix + cb + 4;
  fuzz_support::Require(walk.PrefixLength() == prefix);
  fuzz_support::Require(walk.Capacity() == (need > capacity ? need : capacity));
  const BYTE* buffer = walk.AbsoluteList();
  fuzz_support::Require(prefix == 0 || memcmp(buffer, folder.data(), prefix) == 0);
  fuzz_support::Require(walk.CurrentChild() == buffer + prefix);
  fuzz_support::Require(memcmp(buffer + prefix, list.data(), cb) == 0);
  for (uint32_t k = 0; k < 4; ++k) fuzz_support::Require(buffer[prefix + cb + k] == 0);
  char text[SHELLITEM_PATH_SIZE];
  walk.GetDisplayName(text);
  fuzz_support::Require(strlen(text) < size_t(SHELLITEM_NAME_SIZE));
  walk.GetTypeName(text);
  fuzz_support::Require(strlen(text) < size_t(SHELLITEM_TYPE_SIZE));
  walk.GetIconIndex(0);
  CShellItem kept;
  if (kept.Assign(walk)) fuzz_support::Require(memcmp(kept.List(), buffer, need) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  if (data[0] & 1) {
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    size_t split = text.find('\0');
    std::string pattern = text.substr(0, split);
    std::string name = split == std::string::npos ? "" : text.substr(split + 1);
    name = name.c_str();
    bool all = SysMatchFindPattern("*", name.c_str());
    fuzz_support::Require(all == !name.empty());
    SysMatchFindPattern(pattern.c_str(), name.c_str());
    return 0;
  }
  std::vector<BYTE> list = Frame(data + 1, size - 1);
  if (data[0] & 2) EnumeratorTakes(list, data[0] >> 2);
  fuzz_support::Require(SysIdListSize(list.data()) == list.size());
  char path[SYS_MAX_PATH];
  if (SysGetPathFromIdList(list.data(), path)) fuzz_support::Require(strlen(path) < SYS_MAX_PATH);
  SysShellFileInfo info;
  SysGetFileInfoOfList(list.data(), &info, SYS_SHGFI_TYPENAME | SYS_SHGFI_PIDL);
  SysShellFolder* desktop = nullptr;
  if (SysGetDesktopFolder(&desktop) != SYS_S_OK) return 0;
  DWORD attributes = 0xFFFFFFFFu;
  desktop->GetAttributesOf(list.data(), &attributes);
  SysStrRet name;
  if (desktop->GetDisplayNameOf(list.data(), SYS_SHGDN_INFOLDER, &name) == SYS_S_OK &&
      name.type == SYS_STRRET_WSTR)
    SysTaskFree(name.wide);
  SysShellFolder* folder = nullptr;
  if (desktop->BindToObject(list.data(), &folder) == SYS_S_OK) folder->Release();
  desktop->Release();
  return 0;
}
