#include "platform/sysinfo.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/sysinfo_exports.h"

namespace ps = platform::sysinfo;

// --- last error ----------------------------------------------------------

namespace {
thread_local DWORD lastError = 0;
}

DWORD SysGetLastError() { return lastError; }
void SysSetLastError(DWORD error) { lastError = error; }

// --- modules ----------------------------------------------------------------

namespace {

struct Export {
  std::string name;
  FARPROC proc;
};

struct Resource {
  WORD type;
  WORD id;
  std::vector<BYTE> bytes;
};

struct Module {
  std::string name;  // upper case, without ".DLL"
  std::vector<Export> exports;
  std::vector<Resource> resources;
  int loads = 0;
  bool permanent = false;  // loaded from the start and never unloaded
  bool missing = false;
};

template <typename F>
FARPROC proc(F f) {
  return reinterpret_cast<FARPROC>(f);
}

std::string upper(const char* text) {
  std::string s = text ? text : "";
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

std::string moduleKey(const char* name) {
  std::string s = upper(name);
  if (s.size() > 4 && s.compare(s.size() - 4, 4, ".DLL") == 0) s.resize(s.size() - 4);
  return s;
}

void putWord(std::vector<BYTE>& out, size_t at, WORD v) {
  std::memcpy(out.data() + at, &v, sizeof v);
}
void putDword(std::vector<BYTE>& out, size_t at, DWORD v) {
  std::memcpy(out.data() + at, &v, sizeof v);
}

// The VS_VERSIONINFO block of a library: the header words, the wide key
// "VS_VERSION_INFO" with its terminator, padding to 32 bits, and the fixed
// block (signature 0xFEEF04BD) giving the kernel release as file and
// product version.
std::vector<BYTE> kernelVersionResource() {
  DWORD major, minor, build;
  ps::KernelVersion(&major, &minor, &build);
  const char key[] = "VS_VERSION_INFO";
  std::vector<BYTE> r(92, 0);
  putWord(r, 0, 92);   // whole length
  putWord(r, 2, 52);   // the fixed block's length
  putWord(r, 4, 0);    // binary value
  for (size_t i = 0; i < sizeof key; ++i) putWord(r, 6 + 2 * i, static_cast<BYTE>(key[i]));
  const DWORD ms = (major << 16) | minor;
  const DWORD ls = build << 16;
  putDword(r, 40, 0xFEEF04BD);   // signature
  putDword(r, 44, 0x00010000);   // structure version 1.0
  putDword(r, 48, ms);           // file version
  putDword(r, 52, ls);
  putDword(r, 56, ms);           // product version
  putDword(r, 60, ls);
  putDword(r, 64, 0x3F);         // flags mask
  putDword(r, 72, 0x00040004);   // 32-bit NT-style system library
  putDword(r, 76, 2);            // a library
  return r;
}

std::vector<Module> ownModules() {
  std::vector<Module> m(4);
  m[0].name = "KERNEL32";
  m[0].permanent = true;
  m[0].loads = 1;
  m[0].exports = {
      {"IsWow64Process", proc(&ps::IsWow64Process)},
      {"Wow64DisableWow64FsRedirection", proc(&ps::Wow64DisableWow64FsRedirection)},
      {"Wow64EnableWow64FsRedirection", proc(&ps::Wow64EnableWow64FsRedirection)},
      {"Wow64RevertWow64FsRedirection", proc(&ps::Wow64RevertWow64FsRedirection)},
      {"GetComputerNameExA", proc(&ps::GetComputerNameExA)},
      {"GetComputerNameExW", proc(&ps::GetComputerNameExW)},
      {"QueryFullProcessImageNameA", proc(&ps::QueryFullProcessImageNameA)},
      {"QueryFullProcessImageNameW", proc(&ps::QueryFullProcessImageNameW)},
  };
  m[0].resources.push_back({SYS_RT_VERSION, 1, kernelVersionResource()});
  m[1].name = "ADVAPI32";
  m[1].exports = {{"CheckTokenMembership", proc(&ps::CheckTokenMembership)}};
  m[2].name = "NETAPI32";
  m[2].exports = {{"NetWkstaGetInfo", proc(&ps::NetWkstaGetInfo)},
                  {"NetApiBufferFree", proc(&ps::NetApiBufferFree)}};
  m[3].name = "PSAPI";
  m[3].exports = {{"GetModuleFileNameExA", proc(&ps::GetModuleFileNameExA)},
                  {"GetModuleFileNameExW", proc(&ps::GetModuleFileNameExW)}};
  return m;
}

struct ModuleTable {
  std::mutex lock;
  std::vector<Module> modules = ownModules();
};

ModuleTable& modules() {
  static ModuleTable* t = new ModuleTable;
  return *t;
}

// Handles are 16 * (index + 1): never null, never a real address.
HMODULE handleOf(size_t index) { return reinterpret_cast<HMODULE>((index + 1) * 16); }

Module* byHandle(ModuleTable& t, HMODULE h) {
  const uintptr_t v = reinterpret_cast<uintptr_t>(h);
  if (v == 0 || v % 16 != 0 || v / 16 > t.modules.size()) return nullptr;
  return &t.modules[v / 16 - 1];
}

// A loaded module, else null with SYS_ERROR_MOD_NOT_FOUND.
Module* loadedByHandle(ModuleTable& t, HMODULE h) {
  Module* m = byHandle(t, h);
  if (m && m->loads > 0) return m;
  SysSetLastError(SYS_ERROR_MOD_NOT_FOUND);
  return nullptr;
}

Module* byName(ModuleTable& t, const char* name, size_t* index = nullptr) {
  const std::string key = moduleKey(name);
  for (size_t i = 0; i < t.modules.size(); ++i)
    if (t.modules[i].name == key) {
      if (index) *index = i;
      return &t.modules[i];
    }
  return nullptr;
}

Module& makeModule(ModuleTable& t, const char* name) {
  if (Module* m = byName(t, name)) return *m;
  t.modules.push_back(Module{});
  t.modules.back().name = moduleKey(name);
  return t.modules.back();
}

}  // namespace

HMODULE SysGetModuleHandleA(const char* name) {
  ModuleTable& t = modules();
  std::lock_guard guard(t.lock);
  size_t i;
  Module* m = name ? byName(t, name, &i) : nullptr;
  if (!m || m->loads < 1) {
    SysSetLastError(SYS_ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  return handleOf(i);
}

HMODULE SysLoadLibraryA(const char* name) {
  ModuleTable& t = modules();
  std::lock_guard guard(t.lock);
  size_t i;
  Module* m = name ? byName(t, name, &i) : nullptr;
  if (!m || (m->missing && m->loads < 1)) {
    SysSetLastError(SYS_ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  if (!m->permanent) ++m->loads;
  return handleOf(i);
}

BOOL SysFreeLibrary(HMODULE module) {
  ModuleTable& t = modules();
  std::lock_guard guard(t.lock);
  Module* m = loadedByHandle(t, module);
  if (!m) return FALSE;
  if (!m->permanent) --m->loads;
  return TRUE;
}

FARPROC SysGetProcAddress(HMODULE module, const char* name) {
  ModuleTable& t = modules();
  std::lock_guard guard(t.lock);
  Module* m = loadedByHandle(t, module);
  if (!m) return nullptr;
  // Entry-point names are case-sensitive, as the system's are.
  for (const Export& e : m->exports)
    if (name && e.name == name) return e.proc;
  SysSetLastError(SYS_ERROR_PROC_NOT_FOUND);
  return nullptr;
}

const void* SysLoadModuleResource(HMODULE module, WORD type, WORD id, DWORD* size) {
  if (size) *size = 0;
  ModuleTable& t = modules();
  std::lock_guard guard(t.lock);
  Module* m = loadedByHandle(t, module);
  if (!m) return nullptr;
  for (const Resource& r : m->resources)
    if (r.type == type && r.id == id) {
      if (size) *size = static_cast<DWORD>(r.bytes.size());
      return r.bytes.data();
    }
  SysSetLastError(SYS_ERROR_RESOURCE_NAME_NOT_FOUND);
  return nullptr;
}

namespace platform {

void SetStandInExport(const char* module, const char* name, FARPROC proc) {
  ModuleTable& t = modules();
  std::lock_guard guard(t.lock);
  Module& m = makeModule(t, module);
  for (size_t i = 0; i < m.exports.size(); ++i)
    if (m.exports[i].name == name) {
      if (proc) m.exports[i].proc = proc;
      else m.exports.erase(m.exports.begin() + static_cast<ptrdiff_t>(i));
      return;
    }
  if (proc) m.exports.push_back({name, proc});
}

void SetStandInModuleMissing(const char* module, bool missing) {
  ModuleTable& t = modules();
  std::lock_guard guard(t.lock);
  makeModule(t, module).missing = missing;
}

void SetStandInResource(const char* module, WORD type, WORD id, const void* data, DWORD size) {
  ModuleTable& t = modules();
  std::lock_guard guard(t.lock);
  Module& m = makeModule(t, module);
  for (size_t i = 0; i < m.resources.size(); ++i)
    if (m.resources[i].type == type && m.resources[i].id == id) {
      m.resources.erase(m.resources.begin() + static_cast<ptrdiff_t>(i));
      break;
    }
  if (data) {
    const BYTE* b = static_cast<const BYTE*>(data);
    m.resources.push_back({type, id, std::vector<BYTE>(b, b + size)});
  }
}

void ResetStandInModules() {
  ModuleTable& t = modules();
  std::lock_guard guard(t.lock);
  t.modules = ownModules();
}

int StandInModuleLoadCount(const char* module) {
  ModuleTable& t = modules();
  std::lock_guard guard(t.lock);
  Module* m = byName(t, module);
  return m ? m->loads : 0;
}

}  // namespace platform

// --- versions ---------------------------------------------------------------

namespace platform::sysinfo {

std::string KernelRelease() {
  struct utsname u;
  if (uname(&u) != 0) return std::string();
  return u.release;
}

void KernelVersion(DWORD* major, DWORD* minor, DWORD* build) {
  const std::string release = KernelRelease();
  DWORD parts[3] = {0, 0, 0};
  size_t at = 0;
  for (int i = 0; i < 3; ++i) {
    if (at >= release.size() || release[at] < '0' || release[at] > '9') break;
    DWORD v = 0;
    while (at < release.size() && release[at] >= '0' && release[at] <= '9') {
      // Words of the version block hold 16 bits; larger numbers saturate.
      v = v * 10 + static_cast<DWORD>(release[at++] - '0');
      if (v > 0xFFFF) v = 0xFFFF;
    }
    parts[i] = v;
    if (at >= release.size() || release[at] != '.') break;
    ++at;
  }
  *major = parts[0];
  *minor = parts[1];
  *build = parts[2];
}

std::string HostName() {
  char name[256];
  if (gethostname(name, sizeof name) != 0) return std::string();
  name[sizeof name - 1] = 0;
  return name;
}

std::u16string Utf8ToUtf16(const std::string& text) {
  std::u16string out;
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  for (size_t i = 0; i < n;) {
    unsigned c = s[i];
    int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    unsigned cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
    bool ok = len > 0 && i + static_cast<size_t>(len) <= n;
    for (int k = 1; ok && k < len; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) ok = false;
      else cp = (cp << 6) | (s[i + k] & 0x3F);
    }
    if (!ok || cp > 0x10FFFF) {
      out.push_back(static_cast<char16_t>(c));
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += static_cast<size_t>(len);
  }
  return out;
}

template <typename Char>
static bool copyOut(const std::basic_string<Char>& text, Char* buffer, DWORD* size,
                    DWORD tooSmallError) {
  const size_t need = text.size() + 1;
  if (!buffer || *size < need) {
    *size = static_cast<DWORD>(need);
    SysSetLastError(tooSmallError);
    return false;
  }
  std::memcpy(buffer, text.c_str(), need * sizeof(Char));
  *size = static_cast<DWORD>(text.size());
  return true;
}

bool CopyOut(const std::string& text, char* buffer, DWORD* size, DWORD tooSmallError) {
  return copyOut(text, buffer, size, tooSmallError);
}

bool CopyOut(const std::u16string& text, wchar16* buffer, DWORD* size, DWORD tooSmallError) {
  return copyOut(text, buffer, size, tooSmallError);
}

}  // namespace platform::sysinfo

BOOL SysGetVersionExA(OSVERSIONINFOA* info) {
  if (!info || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) {
    SysSetLastError(SYS_ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  ps::KernelVersion(&info->dwMajorVersion, &info->dwMinorVersion, &info->dwBuildNumber);
  info->dwPlatformId = VER_PLATFORM_WIN32_NT;
  std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
  const std::string release = ps::KernelRelease();
  std::memcpy(info->szCSDVersion, release.data(),
              release.size() < sizeof info->szCSDVersion ? release.size()
                                                         : sizeof info->szCSDVersion - 1);
  return TRUE;
}
