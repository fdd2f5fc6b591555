// Process handles, image paths, the WOW64 state and the computer's names.
#include <fcntl.h>
#include <netdb.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <unordered_map>

#include "platform/sysinfo.h"
#include "platform/sysinfo_exports.h"

namespace ps = platform::sysinfo;

namespace {

const HANDLE currentProcess = reinterpret_cast<HANDLE>(intptr_t{-1});

struct HandleTable {
  std::mutex lock;
  std::unordered_map<uintptr_t, ps::KernelObject> objects;
  uintptr_t nextId = 0x3000;
};

HandleTable& handles() {
  static HandleTable* t = new HandleTable;
  return *t;
}

bool processExists(int pid) {
  struct stat st;
  return pid > 0 && stat(("/proc/" + std::to_string(pid)).c_str(), &st) == 0;
}

DWORD errorOf(int error) {
  switch (error) {
    case EACCES: case EPERM: return SYS_ERROR_ACCESS;
    case ENOENT: case ESRCH: return SYS_ERROR_INVALID_PARAMETER;  // the process has gone
    default: return SYS_ERROR_OTHER;
  }
}

// The program file of a process: its path (readlink of /proc/<pid>/exe,
// grown until the whole link fits), or false with the last error set.
bool programPath(HANDLE process, std::string* path) {
  ps::KernelObject object;
  if (!ps::FindKernelObject(process, &object) || object.kind != ps::KernelObject::Process) {
    SysSetLastError(SYS_ERROR_INVALID_HANDLE);
    return false;
  }
  const std::string link = "/proc/" + std::to_string(object.pid) + "/exe";
  std::string buffer(256, '\0');
  for (;;) {
    const ssize_t n = readlink(link.c_str(), buffer.data(), buffer.size());
    if (n < 0) {
      SysSetLastError(errorOf(errno));
      return false;
    }
    if (static_cast<size_t>(n) < buffer.size()) {
      buffer.resize(static_cast<size_t>(n));
      *path = buffer;
      return true;
    }
    buffer.resize(buffer.size() * 2);
  }
}

bool kernelIs64Bit() {
  struct utsname u;
  if (uname(&u) != 0) return sizeof(void*) == 8;
  return std::strstr(u.machine, "64") != nullptr || std::strcmp(u.machine, "s390x") == 0;
}

}  // namespace

namespace platform::sysinfo {

bool FindKernelObject(HANDLE handle, KernelObject* object) {
  if (handle == currentProcess) {
    *object = KernelObject{KernelObject::Process, static_cast<int>(getpid()), 0x1FFFFF};
    return true;
  }
  HandleTable& t = handles();
  std::lock_guard guard(t.lock);
  auto it = t.objects.find(reinterpret_cast<uintptr_t>(handle));
  if (it == t.objects.end()) return false;
  *object = it->second;
  return true;
}

HANDLE AddKernelObject(const KernelObject& object) {
  HandleTable& t = handles();
  std::lock_guard guard(t.lock);
  const uintptr_t id = t.nextId;
  t.nextId += 4;
  t.objects.emplace(id, object);
  return reinterpret_cast<HANDLE>(id);
}

// --- WOW64 ------------------------------------------------------------------

BOOL IsWow64Process(HANDLE process, BOOL* wow64) {
  KernelObject object;
  if (!wow64 || !FindKernelObject(process, &object) || object.kind != KernelObject::Process) {
    SysSetLastError(SYS_ERROR_INVALID_HANDLE);
    return FALSE;
  }
  // Byte 4 of an ELF file is its class: 1 for 32-bit programs.
  const std::string link = "/proc/" + std::to_string(object.pid) + "/exe";
  const int fd = open(link.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    SysSetLastError(errorOf(errno));
    return FALSE;
  }
  unsigned char ident[5] = {0, 0, 0, 0, 0};
  const ssize_t n = read(fd, ident, sizeof ident);
  close(fd);
  const bool elf32 = n == 5 && std::memcmp(ident, "\177ELF", 4) == 0 && ident[4] == 1;
  *wow64 = elf32 && kernelIs64Bit();
  return TRUE;
}

// Nothing is redirected on Linux, so each switch succeeds and changes nothing.
BOOL Wow64DisableWow64FsRedirection(void** oldValue) {
  if (!oldValue) {
    SysSetLastError(SYS_ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *oldValue = nullptr;
  return TRUE;
}

BYTE Wow64EnableWow64FsRedirection(BYTE) { return TRUE; }

BOOL Wow64RevertWow64FsRedirection(void*) { return TRUE; }

// --- image paths ------------------------------------------------------------

BOOL QueryFullProcessImageNameA(HANDLE process, DWORD, char* buffer, DWORD* size) {
  std::string path;
  if (!size || !programPath(process, &path)) {
    if (!size) SysSetLastError(SYS_ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return CopyOut(path, buffer, size, SYS_ERROR_INSUFFICIENT_BUFFER);
}

BOOL QueryFullProcessImageNameW(HANDLE process, DWORD, wchar16* buffer, DWORD* size) {
  std::string path;
  if (!size || !programPath(process, &path)) {
    if (!size) SysSetLastError(SYS_ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return CopyOut(Utf8ToUtf16(path), buffer, size, SYS_ERROR_INSUFFICIENT_BUFFER);
}

// Checks GetModuleFileNameEx's arguments and finds the path; false with the
// last error set.
static bool moduleFileName(HANDLE process, HMODULE module, bool haveBuffer, DWORD size,
                           std::string* path) {
  if (module) {
    SysSetLastError(SYS_ERROR_INVALID_HANDLE);  // only the main module is known
    return false;
  }
  if (!haveBuffer || size < 1) {
    SysSetLastError(SYS_ERROR_INSUFFICIENT_BUFFER);
    return false;
  }
  return programPath(process, path);
}

// As the system's: a name that does not fit is cut to size - 1 characters
// and terminated, the result is size and the last error
// SYS_ERROR_INSUFFICIENT_BUFFER.
template <typename Char>
static DWORD copyTruncated(const std::basic_string<Char>& text, Char* buffer, DWORD size) {
  if (text.size() < size) {
    std::memcpy(buffer, text.c_str(), (text.size() + 1) * sizeof(Char));
    return static_cast<DWORD>(text.size());
  }
  std::memcpy(buffer, text.data(), (size - 1) * sizeof(Char));
  buffer[size - 1] = 0;
  SysSetLastError(SYS_ERROR_INSUFFICIENT_BUFFER);
  return size;
}

DWORD GetModuleFileNameExA(HANDLE process, HMODULE module, char* buffer, DWORD size) {
  std::string path;
  if (!moduleFileName(process, module, buffer != nullptr, size, &path)) return 0;
  return copyTruncated(path, buffer, size);
}

DWORD GetModuleFileNameExW(HANDLE process, HMODULE module, wchar16* buffer, DWORD size) {
  std::string path;
  if (!moduleFileName(process, module, buffer != nullptr, size, &path)) return 0;
  return copyTruncated(Utf8ToUtf16(path), buffer, size);
}

// --- computer names ---------------------------------------------------------

// The canonical name of this host, or the host name when it does not resolve.
static std::string canonicalName(const std::string& host) {
  struct addrinfo hints;
  std::memset(&hints, 0, sizeof hints);
  hints.ai_family = AF_UNSPEC;
  hints.ai_flags = AI_CANONNAME;
  struct addrinfo* found = nullptr;
  std::string name = host;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &found) == 0) {
    if (found && found->ai_canonname && found->ai_canonname[0]) name = found->ai_canonname;
    freeaddrinfo(found);
  }
  return name;
}

// The name of a kind, or false (SYS_ERROR_INVALID_PARAMETER) for a kind
// that does not exist.
static bool computerName(int format, std::string* name) {
  if (format < ComputerNameNetBIOS || format > ComputerNamePhysicalDnsFullyQualified) {
    SysSetLastError(SYS_ERROR_INVALID_PARAMETER);
    return false;
  }
  const std::string host = HostName();
  const std::string shortName = host.substr(0, host.find('.'));
  switch (format % 4) {
    case ComputerNameNetBIOS: {
      std::string s = shortName.substr(0, 15);
      for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      *name = s;
      return true;
    }
    case ComputerNameDnsHostname:
      *name = shortName;
      return true;
    case ComputerNameDnsDomain: {
      const std::string full = canonicalName(host);
      const size_t dot = full.find('.');
      *name = dot == std::string::npos ? std::string() : full.substr(dot + 1);
      return true;
    }
    default:
      *name = canonicalName(host);
      return true;
  }
}

BOOL GetComputerNameExA(int format, char* buffer, DWORD* size) {
  std::string name;
  if (!size) {
    SysSetLastError(SYS_ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!computerName(format, &name)) return FALSE;
  return CopyOut(name, buffer, size, SYS_ERROR_MORE_DATA);
}

BOOL GetComputerNameExW(int format, wchar16* buffer, DWORD* size) {
  std::string name;
  if (!size) {
    SysSetLastError(SYS_ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!computerName(format, &name)) return FALSE;
  return CopyOut(Utf8ToUtf16(name), buffer, size, SYS_ERROR_MORE_DATA);
}

DWORD NetWkstaGetInfo(wchar16* server, DWORD level, BYTE** buffer) {
  if (!buffer) return SYS_ERROR_INVALID_PARAMETER;
  *buffer = nullptr;
  if (server && server[0]) return SYS_ERROR_NOT_SUPPORTED;  // only this computer
  if (level != 100) return SYS_ERROR_INVALID_LEVEL;
  std::string netbios;
  computerName(ComputerNameNetBIOS, &netbios);
  struct utsname u;
  std::string group;
  if (uname(&u) == 0 && std::strcmp(u.domainname, "(none)") != 0) group = u.domainname;
  const std::u16string name16 = Utf8ToUtf16(netbios);
  const std::u16string group16 = Utf8ToUtf16(group);
  // One block: the record, then both texts with their terminators.
  const size_t bytes = sizeof(WKSTA_INFO_100) + (name16.size() + 1 + group16.size() + 1) * 2;
  auto* block = static_cast<BYTE*>(std::calloc(bytes, 1));
  if (!block) return 8;  // not enough memory
  auto* info = reinterpret_cast<WKSTA_INFO_100*>(block);
  auto* text = reinterpret_cast<wchar16*>(block + sizeof(WKSTA_INFO_100));
  DWORD build;
  KernelVersion(&info->wki100_ver_major, &info->wki100_ver_minor, &build);
  info->wki100_platform_id = PLATFORM_ID_NT;
  info->wki100_computername = text;
  std::memcpy(text, name16.c_str(), (name16.size() + 1) * 2);
  if (!group16.empty()) {
    info->wki100_langroup = text + name16.size() + 1;
    std::memcpy(info->wki100_langroup, group16.c_str(), (group16.size() + 1) * 2);
  }
  *buffer = block;
  return 0;
}

DWORD NetApiBufferFree(void* buffer) {
  std::free(buffer);
  return 0;
}

}  // namespace platform::sysinfo

// --- process handles --------------------------------------------------------

HANDLE SysGetCurrentProcess() { return currentProcess; }

DWORD SysGetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

HANDLE SysOpenProcess(DWORD access, BOOL, DWORD processId) {
  const int pid = static_cast<int>(processId);
  if (access == 0 || processId > 0x7FFFFFFF || !processExists(pid)) {
    SysSetLastError(SYS_ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return ps::AddKernelObject(ps::KernelObject{ps::KernelObject::Process, pid, access});
}

BOOL SysCloseHandle(HANDLE handle) {
  if (handle == currentProcess) return TRUE;
  HandleTable& t = handles();
  std::lock_guard guard(t.lock);
  if (t.objects.erase(reinterpret_cast<uintptr_t>(handle)) == 0) {
    SysSetLastError(SYS_ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
