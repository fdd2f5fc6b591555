#include "platform/shellns.h"

#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <vector>

#include "platform/findfile.h"
#include "platform/netshare.h"
#include "platform/pathconv.h"
#include "platform/pathsys.h"

namespace {

constexpr const char kComputerName[] = "Arbeitsplatz";
constexpr const char kNetworkName[] = "Netzwerksumgebung";
constexpr size_t kNameOffset = 3;  // u16 size, kind byte

std::atomic<long> g_taskBlocks{0};
std::atomic<long> g_desktopFetches{0};
std::atomic<long> g_liveObjects{0};

struct Id {
  BYTE kind;
  std::string name;
};
using Location = std::vector<Id>;

WORD ReadSize(const BYTE* p) { return WORD(p[0] | (p[1] << 8)); }

// Appends the IDs of list to out; false for an ID that is not ours.
bool Decode(const BYTE* list, Location& out) {
  if (list == nullptr) return false;
  for (const BYTE* p = list;;) {
    WORD cb = ReadSize(p);
    if (cb == 0) return true;
    if (cb < kNameOffset + 1 || p[cb - 1] != 0) return false;
    const char* name = reinterpret_cast<const char*>(p + kNameOffset);
    size_t length = strnlen(name, cb - kNameOffset);
    if (length != size_t(cb) - kNameOffset - 1) return false;
    out.push_back(Id{p[2], std::string(name, length)});
    p += cb;
  }
}

void Encode(const Id& id, std::string& bytes) {
  size_t cb = kNameOffset + id.name.size() + 1;
  bytes += char(cb & 0xFF);
  bytes += char(cb >> 8);
  bytes += char(id.kind);
  bytes += id.name;
  bytes += '\0';
}

BYTE* ToTaskList(const std::string& bytes) {
  auto* list = static_cast<BYTE*>(SysTaskAlloc(bytes.size() + 2));
  if (list == nullptr) return nullptr;
  memcpy(list, bytes.data(), bytes.size());
  list[bytes.size()] = list[bytes.size() + 1] = 0;
  return list;
}

bool IsNetwork(const Id& id) { return id.kind == SYS_ID_SPECIAL && id.name == kNetworkName; }
bool IsComputer(const Id& id) { return id.kind == SYS_ID_SPECIAL && id.name == kComputerName; }

// Whether the IDs follow the tree: computer, root, components; or network,
// server, share, components. Only the last component may be a file.
bool IsValid(const Location& at) {
  for (size_t i = 0; i < at.size(); ++i) {
    const Id& id = at[i];
    bool ok = false;
    if (i == 0) ok = id.kind == SYS_ID_SPECIAL && (IsComputer(id) || IsNetwork(id));
    else if (i == 1 && IsComputer(at[0])) ok = id.kind == SYS_ID_ROOT;
    else if (i == 1) ok = id.kind == SYS_ID_SERVER;
    else if (i == 2 && IsNetwork(at[0])) ok = id.kind == SYS_ID_SHARE;
    else ok = id.kind == SYS_ID_FOLDER || (id.kind == SYS_ID_FILE && i + 1 == at.size());
    if (!ok || id.name.empty()) return false;
    if ((id.kind == SYS_ID_FOLDER || id.kind == SYS_ID_FILE) &&
        (id.name.find_first_of("\\/") != std::string::npos || id.name == "." || id.name == ".."))
      return false;
  }
  return true;
}

// The file-system path of a location ("C:\a\b", "/a/b", "\\srv\share\a");
// false for the desktop, the special folders and servers.
bool PathOf(const Location& at, std::string& out) {
  out.clear();
  size_t first;
  char sep;
  if (at.size() >= 2 && IsComputer(at[0])) {
    out = at[1].name;
    sep = out == "/" ? '/' : '\\';
    first = 2;
  } else if (at.size() >= 3 && IsNetwork(at[0])) {
    out = "\\\\" + at[1].name + "\\" + at[2].name;
    sep = '\\';
    first = 3;
  } else {
    return false;
  }
  for (size_t i = first; i < at.size(); ++i) {
    if (out.back() != sep) out += sep;
    out += at[i].name;
  }
  return true;
}

bool HostOf(const Location& at, std::string& host) {
  std::string path;
  return PathOf(at, path) && SysHostPathOf(path.c_str(), host);
}

bool IsLinkAt(const std::string& host) {
  struct stat st;
  return lstat(host.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// The shares of a server that the namespace shows: disk shares whose names
// do not end in '$'.
std::vector<std::string> ServerShares(const std::string& server) {
  std::vector<std::string> names;
  std::u16string wide = SysWidenUtf8(server);
  DWORD resume = 0;
  for (;;) {
    SysShareInfo* buffer = nullptr;
    DWORD read = 0, total = 0;
    DWORD status = SysNetShareEnum(wide.c_str(), &buffer, &read, &total, &resume);
    if (status != SYS_NET_OK && status != SYS_NET_MORE_DATA) break;
    for (DWORD i = 0; i < read; ++i) {
      std::string name;
      if (!PathToUtf8(buffer[i].name, name)) continue;
      if ((buffer[i].type & 0xFF) == SYS_SHARE_DISK && !name.empty() && name.back() != '$')
        names.push_back(name);
    }
    SysNetApiBufferFree(buffer);
    if (status != SYS_NET_MORE_DATA) break;
  }
  return names;
}

// The attributes of the item at the end of a location; false when it is
// not there.
bool AttributesOf(const Location& at, DWORD* attributes) {
  if (at.empty() || !IsValid(at)) return false;
  const Id& id = at.back();
  DWORD a = 0;
  std::string host;
  struct stat st;
  switch (id.kind) {
    case SYS_ID_SPECIAL:
      a = SYS_SFGAO_FOLDER | SYS_SFGAO_HASSUBFOLDER | (IsComputer(id) ? SYS_SFGAO_FILESYSANCESTOR : 0);
      break;
    case SYS_ID_SERVER:
      a = SYS_SFGAO_FOLDER | SYS_SFGAO_HASSUBFOLDER;
      break;
    case SYS_ID_ROOT:
    case SYS_ID_SHARE:
      a = SYS_SFGAO_FOLDER;
      if (HostOf(at, host) && stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        a |= SYS_SFGAO_FILESYSTEM | SYS_SFGAO_FILESYSANCESTOR | SYS_SFGAO_HASSUBFOLDER;
      else if (id.kind == SYS_ID_ROOT)
        return false;
      break;
    default: {
      if (!HostOf(at, host) || lstat(host.c_str(), &st) != 0) return false;
      a = SYS_SFGAO_FILESYSTEM;
      if (S_ISLNK(st.st_mode)) a |= SYS_SFGAO_LINK;
      else if (S_ISDIR(st.st_mode)) a |= SYS_SFGAO_FOLDER | SYS_SFGAO_FILESYSANCESTOR;
      else if (!(st.st_mode & S_IWUSR)) a |= SYS_SFGAO_READONLY;
      if (id.name[0] == '.') a |= SYS_SFGAO_HIDDEN;
      break;
    }
  }
  *attributes = a;
  return true;
}

class EnumIdList final : public SysEnumIdList {
 public:
  explicit EnumIdList(std::vector<std::string> ids) : ids_(std::move(ids)) { ++g_liveObjects; }
  void AddRef() override { ++refs_; }
  void Release() override {
    if (--refs_ == 0) delete this;
  }
  int Next(BYTE** id) override {
    if (id == nullptr) return SYS_E_INVALIDARG;
    *id = nullptr;
    if (next_ >= ids_.size()) return SYS_S_FALSE;
    *id = ToTaskList(ids_[next_]);
    if (*id == nullptr) return SYS_E_OUTOFMEMORY;
    ++next_;
    return SYS_S_OK;
  }

 private:
  ~EnumIdList() override { --g_liveObjects; }
  std::vector<std::string> ids_;  // encoded single IDs
  size_t next_ = 0;
  std::atomic<long> refs_{1};
};

class ShellFolder final : public SysShellFolder {
 public:
  explicit ShellFolder(Location at) : at_(std::move(at)) { ++g_liveObjects; }
  void AddRef() override { ++refs_; }
  void Release() override {
    if (--refs_ == 0) delete this;
  }

  int BindToObject(const BYTE* list, SysShellFolder** out) override {
    if (out == nullptr) return SYS_E_INVALIDARG;
    *out = nullptr;
    Location at = at_;
    if (!Decode(list, at) || !IsValid(at)) return SYS_E_INVALIDARG;
    if (!at.empty()) {
      DWORD a = 0;
      if (!AttributesOf(at, &a) || !(a & SYS_SFGAO_FOLDER)) return SYS_E_FAIL;
      if (at.back().kind == SYS_ID_SHARE && !(a & SYS_SFGAO_FILESYSTEM)) return SYS_E_FAIL;
    }
    *out = new ShellFolder(std::move(at));
    return SYS_S_OK;
  }

  int EnumObjects(DWORD flags, SysEnumIdList** out) override {
    if (out == nullptr) return SYS_E_INVALIDARG;
    *out = nullptr;
    std::vector<std::string> ids;
    bool folders = flags & SYS_SHCONTF_FOLDERS, files = flags & SYS_SHCONTF_NONFOLDERS;
    auto add = [&ids](BYTE kind, const std::string& name) {
      std::string bytes;
      Encode(Id{kind, name}, bytes);
      ids.push_back(std::move(bytes));
    };
    BYTE kind = at_.empty() ? 0 : at_.back().kind;
    if (at_.empty()) {
      if (folders) add(SYS_ID_SPECIAL, kComputerName), add(SYS_ID_SPECIAL, kNetworkName);
    } else if (IsComputer(at_.back())) {
      DWORD drives = SysGetLogicalDrives();
      for (int i = 0; i < 26 && folders; ++i)
        if (drives & (DWORD(1) << i)) add(SYS_ID_ROOT, std::string(1, char('A' + i)) + ":\\");
      if (folders) add(SYS_ID_ROOT, "/");
    } else if (IsNetwork(at_.back())) {
      std::string server;
      for (int i = 0; folders && SysShareServerName(i, server); ++i) add(SYS_ID_SERVER, server);
    } else if (kind == SYS_ID_SERVER) {
      if (folders)
        for (const std::string& share : ServerShares(at_.back().name)) add(SYS_ID_SHARE, share);
    } else if (!ListFiles(folders, files, flags & SYS_SHCONTF_INCLUDEHIDDEN, add)) {
      return SYS_E_FAIL;
    }
    *out = new EnumIdList(std::move(ids));
    return SYS_S_OK;
  }

  int GetAttributesOf(const BYTE* child, DWORD* mask) override {
    Location at = at_;
    DWORD a = 0;
    if (mask == nullptr || !DecodeOne(child, at) || !AttributesOf(at, &a)) return SYS_E_FAIL;
    *mask &= a;
    return SYS_S_OK;
  }

  int GetDisplayNameOf(const BYTE* child, DWORD flags, SysStrRet* out) override {
    Location at = at_;
    if (out == nullptr || !DecodeOne(child, at) || !IsValid(at)) return SYS_E_INVALIDARG;
    memset(out, 0, sizeof *out);
    const Id& id = at.back();
    std::string path;
    if ((flags & SYS_SHGDN_FORPARSING) && PathOf(at, path) && path.size() < sizeof out->cStr) {
      out->type = SYS_STRRET_CSTR;
      memcpy(out->cStr, path.c_str(), path.size() + 1);
      return SYS_S_OK;
    }
    switch (id.kind) {
      case SYS_ID_FOLDER:
      case SYS_ID_FILE:
        out->type = SYS_STRRET_OFFSET;
        out->offset = kNameOffset;
        return SYS_S_OK;
      case SYS_ID_ROOT:
        out->type = SYS_STRRET_CSTR;
        memcpy(out->cStr, id.name.c_str(), id.name.size() + 1);
        return SYS_S_OK;
      default: {
        std::u16string wide = SysWidenUtf8(id.name);
        auto* text = static_cast<wchar16*>(SysTaskAlloc((wide.size() + 1) * sizeof(wchar16)));
        if (text == nullptr) return SYS_E_OUTOFMEMORY;
        memcpy(text, wide.c_str(), (wide.size() + 1) * sizeof(wchar16));
        out->type = SYS_STRRET_WSTR;
        out->wide = text;
        return SYS_S_OK;
      }
    }
  }

  int GetLinkTarget(const BYTE* child, char* out, int size) override {
    Location at = at_;
    std::string host;
    if (out == nullptr || size < 1 || !DecodeOne(child, at) || !IsValid(at)) return SYS_E_INVALIDARG;
    out[0] = 0;
    if (at.back().kind != SYS_ID_FILE || !HostOf(at, host) || !IsLinkAt(host)) return SYS_S_FALSE;
    std::string target(4096, '\0');
    ssize_t n = readlink(host.c_str(), &target[0], target.size());
    if (n <= 0 || size_t(n) >= target.size()) return SYS_E_FAIL;
    target.resize(size_t(n));
    if (target[0] != '/') target = host.substr(0, host.rfind('/') + 1) + target;
    if (target.size() >= size_t(size)) return SYS_E_FAIL;
    memcpy(out, target.c_str(), target.size() + 1);
    return SYS_S_OK;
  }

 private:
  ~ShellFolder() override { --g_liveObjects; }

  // Appends the single ID of child; false unless child holds exactly one.
  static bool DecodeOne(const BYTE* child, Location& at) {
    size_t before = at.size();
    return Decode(child, at) && at.size() == before + 1;
  }

  template <class Add>
  bool ListFiles(bool folders, bool files, bool hidden, Add add) {
    std::string path;
    if (!PathOf(at_, path)) return false;
    char sep = path[0] == '/' ? '/' : '\\';
    if (path.back() != sep) path += sep;
    path += '*';
    SysFindData data;
    int error = 0;
    HANDLE search = SysFindFirstFile(path.c_str(), &data, &error);
    if (search == nullptr) return error == SYS_ERROR_NOT_FOUND;
    std::string host;
    HostOf(at_, host);
    if (host.back() != '/') host += '/';
    do {
      if ((data.attributes & SYS_ATTR_HIDDEN) && !hidden) continue;
      bool isFolder = (data.attributes & SYS_ATTR_DIRECTORY) && !IsLinkAt(host + data.name);
      if (isFolder ? folders : files) add(isFolder ? SYS_ID_FOLDER : SYS_ID_FILE, data.name);
    } while (SysFindNextFile(search, &data, nullptr));
    SysFindClose(search);
    return true;
  }

  Location at_;
  std::atomic<long> refs_{1};
};

}  // namespace

void* SysTaskAlloc(size_t size) {
  void* block = malloc(size ? size : 1);
  if (block) ++g_taskBlocks;
  return block;
}

void SysTaskFree(void* block) {
  if (block == nullptr) return;
  --g_taskBlocks;
  free(block);
}

long SysTaskBlocksLive() { return g_taskBlocks.load(); }

UINT SysIdListSize(const BYTE* list) {
  if (list == nullptr) return 0;
  UINT size = 0;
  for (WORD cb; (cb = ReadSize(list + size)) != 0;) size += cb;
  return size + 2;
}

int SysGetDesktopFolder(SysShellFolder** out) {
  if (out == nullptr) return SYS_E_INVALIDARG;
  *out = new ShellFolder(Location());
  ++g_desktopFetches;
  return SYS_S_OK;
}

int SysGetSpecialFolderLocation(int csidl, BYTE** list) {
  if (list == nullptr) return SYS_E_INVALIDARG;
  *list = nullptr;
  std::string bytes;
  switch (csidl) {
    case SYS_CSIDL_DESKTOP: break;
    case SYS_CSIDL_DRIVES: Encode(Id{SYS_ID_SPECIAL, kComputerName}, bytes); break;
    case SYS_CSIDL_NETWORK: Encode(Id{SYS_ID_SPECIAL, kNetworkName}, bytes); break;
    default: return SYS_E_INVALIDARG;
  }
  *list = ToTaskList(bytes);
  return *list ? SYS_S_OK : SYS_E_OUTOFMEMORY;
}

bool SysGetPathFromIdList(const BYTE* list, char* out) {
  if (out == nullptr) return false;
  out[0] = 0;
  Location at;
  std::string path;
  if (!Decode(list, at) || !IsValid(at) || !PathOf(at, path) || path.size() >= size_t(SYS_MAX_PATH))
    return false;
  memcpy(out, path.c_str(), path.size() + 1);
  return true;
}

long SysShellDesktopFetches() { return g_desktopFetches.load(); }
long SysShellLiveObjects() { return g_liveObjects.load(); }
