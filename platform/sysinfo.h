// What the system tells about itself and its processes, reached the way the
// Windows libraries reach it: modules loaded by name whose optional entry
// points are looked up by name, the kernel library's version resource,
// process handles, the thread's last error and the computer's names.
//
// On Linux each answer comes from its natural source:
// - Versions: the kernel release from uname ("6.1.0-18-amd64" is 6.1, build
//   0). KERNEL32's version resource is made from the same release, so the
//   system and kernel-library versions agree, as they do on Windows.
// - WOW64: a process is a 32-bit guest when its program file is a 32-bit ELF
//   and the running kernel's machine is a 64-bit one; a native 64-bit
//   process never is. The redirection switches succeed and change nothing:
//   Linux has no second system folder to redirect to.
// - Process handles name a process id; image paths come from
//   /proc/<pid>/exe (UTF-8 bytes for the narrow calls, UTF-16 for the wide).
// - Computer names: gethostname and the canonical name getaddrinfo gives for
//   it; the workgroup is the kernel's NIS domain name (uname), absent when
//   unset or "(none)".
//
// Every module but KERNEL32 starts unloaded. Tests may replace or remove
// entry points and modules (platform::SetStandInExport and friends) to
// reach the paths a caller takes when a system lacks them.
#pragma once

#include "platform/handles.h"
#include "platform/pathsys.h"

// --- last error ----------------------------------------------------------

// The calling thread's last error, as the Win32 calls leave it.
DWORD SysGetLastError();
void SysSetLastError(DWORD error);

// Win32 error codes the calls below report (with SYS_ERROR_NOT_FOUND 2,
// SYS_ERROR_ACCESS 5 and SYS_ERROR_OTHER 31 of pathsys.h).
inline constexpr int SYS_ERROR_INVALID_HANDLE = 6;
inline constexpr int SYS_ERROR_NOT_SUPPORTED = 50;
inline constexpr int SYS_ERROR_INVALID_PARAMETER = 87;
inline constexpr int SYS_ERROR_BUFFER_OVERFLOW = 111;
inline constexpr int SYS_ERROR_CALL_NOT_IMPLEMENTED = 120;
inline constexpr int SYS_ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr int SYS_ERROR_INVALID_LEVEL = 124;
inline constexpr int SYS_ERROR_MOD_NOT_FOUND = 126;
inline constexpr int SYS_ERROR_PROC_NOT_FOUND = 127;
inline constexpr int SYS_ERROR_MORE_DATA = 234;
inline constexpr int SYS_ERROR_NOT_ALL_ASSIGNED = 1300;
inline constexpr int SYS_ERROR_NO_SUCH_PRIVILEGE = 1313;
inline constexpr int SYS_ERROR_NONE_MAPPED = 1332;
inline constexpr int SYS_ERROR_RESOURCE_NAME_NOT_FOUND = 1814;

// --- modules and entry points ----------------------------------------------

struct HINSTANCE__;
using HMODULE = HINSTANCE__*;
// An entry point as looked up; cast to its own type (below) before calling.
using FARPROC = void (*)();

// Module names compare without regard to case, with or without ".dll". The
// stand-in has "KERNEL32" (always loaded), "ADVAPI32", "NETAPI32" and
// "PSAPI"; there is no "gdiplus".
// A loaded module's handle, else null.
HMODULE SysGetModuleHandleA(const char* name);
// Loads the module (counting the load): its handle, or null with
// SYS_ERROR_MOD_NOT_FOUND.
HMODULE SysLoadLibraryA(const char* name);
// Counts one load less; false for a module that is not loaded.
BOOL SysFreeLibrary(HMODULE module);
// The named entry point, or null with SYS_ERROR_PROC_NOT_FOUND.
FARPROC SysGetProcAddress(HMODULE module, const char* name);

inline constexpr WORD SYS_RT_VERSION = 16;
// A module's resource (found, loaded and locked at once): its bytes, alive
// while the module stays loaded, and size; null with
// SYS_ERROR_RESOURCE_NAME_NOT_FOUND when the module has no such resource.
const void* SysLoadModuleResource(HMODULE module, WORD type, WORD id, DWORD* size);

// Entry points of the stand-in's modules, by module.
// KERNEL32:
using IsWow64ProcessProc = BOOL (*)(HANDLE process, BOOL* wow64);
using Wow64DisableWow64FsRedirectionProc = BOOL (*)(void** oldValue);
using Wow64EnableWow64FsRedirectionProc = BYTE (*)(BYTE enable);
using Wow64RevertWow64FsRedirectionProc = BOOL (*)(void* oldValue);
using GetComputerNameExAProc = BOOL (*)(int format, char* buffer, DWORD* size);
using QueryFullProcessImageNameAProc = BOOL (*)(HANDLE process, DWORD flags, char* buffer,
                                                DWORD* size);
using QueryFullProcessImageNameWProc = BOOL (*)(HANDLE process, DWORD flags, wchar16* buffer,
                                                DWORD* size);
// ADVAPI32 (PSID is the security identifier of sysinfo_security.h):
using CheckTokenMembershipProc = BOOL (*)(HANDLE token, void* sid, BOOL* isMember);
// NETAPI32 (results are network-API status codes, 0 for success):
using NetWkstaGetInfoProc = DWORD (*)(wchar16* server, DWORD level, BYTE** buffer);
using NetApiBufferFreeProc = DWORD (*)(void* buffer);
// PSAPI:
using GetModuleFileNameExAProc = DWORD (*)(HANDLE process, HMODULE module, char* buffer,
                                           DWORD size);
using GetModuleFileNameExWProc = DWORD (*)(HANDLE process, HMODULE module, wchar16* buffer,
                                           DWORD size);

namespace platform {
// Gives `module` (made when unknown) the entry point `name`; a null proc
// removes it. A module made here starts unloaded.
void SetStandInExport(const char* module, const char* name, FARPROC proc);
// A missing module cannot be loaded; a loaded one stays loaded.
void SetStandInModuleMissing(const char* module, bool missing);
// Replaces a module's resource; null data removes it.
void SetStandInResource(const char* module, WORD type, WORD id, const void* data, DWORD size);
// Back to the stand-in's own modules, entry points and resources, load
// counts included.
void ResetStandInModules();
// How many loads of the module are outstanding (KERNEL32 counts its own).
int StandInModuleLoadCount(const char* module);
}  // namespace platform

// --- versions ---------------------------------------------------------------

struct OSVERSIONINFOA {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  char szCSDVersion[128];
};
static_assert(sizeof(OSVERSIONINFOA) == 148);

inline constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

// Fills the block, whose size field must say 148 (else
// SYS_ERROR_INVALID_PARAMETER): the kernel release's first three numbers as
// major, minor and build, platform VER_PLATFORM_WIN32_NT, and the whole
// release text (cut to 127 bytes) in szCSDVersion.
BOOL SysGetVersionExA(OSVERSIONINFOA* info);

// --- processes --------------------------------------------------------------

inline constexpr DWORD PROCESS_VM_READ = 0x0010;
inline constexpr DWORD PROCESS_QUERY_INFORMATION = 0x0400;
inline constexpr DWORD PROCESS_QUERY_LIMITED_INFORMATION = 0x1000;

// The pseudo handle (-1) of the calling process; it needs no closing.
HANDLE SysGetCurrentProcess();
DWORD SysGetCurrentProcessId();
// A handle of the process with that id: null with SYS_ERROR_INVALID_PARAMETER
// when there is none, SYS_ERROR_INVALID_PARAMETER also for access 0.
HANDLE SysOpenProcess(DWORD access, BOOL inherit, DWORD processId);
// Closes a process or token handle; false with SYS_ERROR_INVALID_HANDLE for
// anything else. Closing the pseudo handle does nothing and succeeds.
BOOL SysCloseHandle(HANDLE handle);

// --- computer names ---------------------------------------------------------

// The name kinds of GetComputerNameEx. The NetBIOS name is the host name up
// to its first dot, upper case, at most 15 characters; the DNS host name is
// the host name up to its first dot; the DNS domain is what follows the first
// dot of the canonical name; the fully qualified name is the canonical name
// (the host name itself when it does not resolve). The physical kinds give
// the same as the plain ones.
enum : int {
  ComputerNameNetBIOS = 0,
  ComputerNameDnsHostname = 1,
  ComputerNameDnsDomain = 2,
  ComputerNameDnsFullyQualified = 3,
  ComputerNamePhysicalNetBIOS = 4,
  ComputerNamePhysicalDnsHostname = 5,
  ComputerNamePhysicalDnsDomain = 6,
  ComputerNamePhysicalDnsFullyQualified = 7,
};

// What NetWkstaGetInfo gives at level 100; one block with its texts, freed
// with NetApiBufferFree.
struct WKSTA_INFO_100 {
  DWORD wki100_platform_id;
  wchar16* wki100_computername;
  wchar16* wki100_langroup;  // null when the computer is in no workgroup
  DWORD wki100_ver_major;
  DWORD wki100_ver_minor;
};

inline constexpr DWORD PLATFORM_ID_NT = 500;
