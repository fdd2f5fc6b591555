// Versions, the WOW64 state and the switch of its file-system redirection.
#include "files/sysinfo.h"

#include <cstring>

#include "files/sysinfo_impl.h"

namespace sysinfo_detail {

Cache& cache() {
  static Cache c;
  return c;
}

void ForgetCaches() { cache() = Cache{}; }

HMODULE Kernel32() {
  Cache& c = cache();
  if (!c.kernel32) c.kernel32 = SysGetModuleHandleA("KERNEL32");
  return c.kernel32;
}

HMODULE LoadedModule(const char* name) {
  HMODULE m = SysGetModuleHandleA(name);
  return m ? m : SysLoadLibraryA(name);
}

DWORD ProductVersionFromResource(const void* data, DWORD size) {
  static const char key[] = "VS_VERSION_INFO";
  constexpr DWORD keyAt = 6, keyChars = sizeof key - 1;
  constexpr DWORD signature = 0xFEEF04BD;
  const auto* bytes = static_cast<const BYTE*>(data);
  if (!bytes || size < keyAt + 2 * keyChars) return 0;
  for (DWORD i = 0; i < keyChars; ++i) {
    WORD ch;
    std::memcpy(&ch, bytes + keyAt + 2 * i, 2);
    if (ch != static_cast<BYTE>(key[i])) return 0;
  }
  // The fixed block follows the key's terminator and padding: look at the
  // next 18 word positions behind the key.
  for (DWORD at = keyAt + 2 * keyChars, n = 0; n < 18 && at + 4 <= size; at += 2, ++n) {
    DWORD word;
    std::memcpy(&word, bytes + at, 4);
    if (word != signature) continue;
    if (at + 20 > size) return 0;
    DWORD productMs;
    std::memcpy(&productMs, bytes + at + 16, 4);
    return productMs;
  }
  return 0;
}

}  // namespace sysinfo_detail

using namespace sysinfo_detail;

DWORD GetKernel32Version() {
  Cache& c = cache();
  if (c.kernel32Version) return c.kernel32Version;
  DWORD size = 0;
  const void* data = SysLoadModuleResource(Kernel32(), SYS_RT_VERSION, 1, &size);
  c.kernel32Version = data ? ProductVersionFromResource(data, size) : 0;
  return c.kernel32Version;
}

DWORD GetWindowsVersion() {
  Cache& c = cache();
  if (!c.haveOsVersion) {
    c.osVersion = OSVERSIONINFOA{};
    c.osVersion.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    c.haveOsVersion = SysGetVersionExA(&c.osVersion) != FALSE;
    if (!c.haveOsVersion) return 0;
  }
  return (c.osVersion.dwMajorVersion << 16) | (c.osVersion.dwMinorVersion & 0xFFFF);
}

bool IsWow64() {
  Cache& c = cache();
  if (!c.wow64Known) {
    c.wow64Known = true;
    auto isWow64Process = Proc<IsWow64ProcessProc>(Kernel32(), "IsWow64Process");
    BOOL answer = FALSE;
    c.wow64 = isWow64Process && isWow64Process(SysGetCurrentProcess(), &answer) && answer;
  }
  return c.wow64;
}

bool SetWow64FsRedirection(int mode) {
  Cache& c = cache();
  if (!c.redirectionLooked) {
    c.redirectionLooked = true;
    HMODULE k = Kernel32();
    c.disableRedirection =
        Proc<Wow64DisableWow64FsRedirectionProc>(k, "Wow64DisableWow64FsRedirection");
    c.enableRedirection =
        Proc<Wow64EnableWow64FsRedirectionProc>(k, "Wow64EnableWow64FsRedirection");
    c.revertRedirection =
        Proc<Wow64RevertWow64FsRedirectionProc>(k, "Wow64RevertWow64FsRedirection");
  }
  if (mode != 0) {
    if (++c.redirectionUses != 1) return true;
    bool switched;
    if (mode > 0) {
      switched = c.disableRedirection && c.disableRedirection(&c.savedRedirection);
    } else {
      c.savedRedirection = nullptr;
      switched = c.enableRedirection && c.enableRedirection(TRUE);
    }
    // A switch that did not happen holds nothing, so that the caller's
    // release does not revert to a state that was never saved.
    if (!switched) c.redirectionUses = 0;
    return switched;
  }
  if (c.redirectionUses < 1) return false;
  if (--c.redirectionUses != 0) return true;
  return c.revertRedirection && c.revertRedirection(c.savedRedirection);
}
