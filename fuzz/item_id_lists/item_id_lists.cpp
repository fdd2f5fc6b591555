// Item-ID lists of any content and find patterns against names: the
// namespace stand-in must refuse what is not its own and never read or
// write outside a list, and the matcher must stop on any pattern.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "../exact_block.h"
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
