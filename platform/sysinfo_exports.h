// Inside the system-information stand-in: the entry points its modules
// export, the table of process and token handles, and the small text and
// kernel facts its files share. Not for use outside platform/.
#pragma once

#include <string>

#include "platform/sysinfo.h"

namespace platform::sysinfo {

// Entry points, exported by name from the module table.
BOOL IsWow64Process(HANDLE process, BOOL* wow64);
BOOL Wow64DisableWow64FsRedirection(void** oldValue);
BYTE Wow64EnableWow64FsRedirection(BYTE enable);
BOOL Wow64RevertWow64FsRedirection(void* oldValue);
BOOL GetComputerNameExA(int format, char* buffer, DWORD* size);
BOOL GetComputerNameExW(int format, wchar16* buffer, DWORD* size);
BOOL QueryFullProcessImageNameA(HANDLE process, DWORD flags, char* buffer, DWORD* size);
BOOL QueryFullProcessImageNameW(HANDLE process, DWORD flags, wchar16* buffer, DWORD* size);
BOOL CheckTokenMembership(HANDLE token, void* sid, BOOL* isMember);
DWORD NetWkstaGetInfo(wchar16* server, DWORD level, BYTE** buffer);
DWORD NetApiBufferFree(void* buffer);
DWORD GetModuleFileNameExA(HANDLE process, HMODULE module, char* buffer, DWORD size);
DWORD GetModuleFileNameExW(HANDLE process, HMODULE module, wchar16* buffer, DWORD size);

// A process or token handle's facts.
struct KernelObject {
  enum Kind { Process, Token } kind;
  int pid;
  DWORD access;
};
// The object behind a handle (the pseudo handle is the calling process with
// every right); false for anything else.
bool FindKernelObject(HANDLE handle, KernelObject* object);
HANDLE AddKernelObject(const KernelObject& object);

// The kernel release (uname -r) and its first three numbers.
std::string KernelRelease();
void KernelVersion(DWORD* major, DWORD* minor, DWORD* build);
// The host name as gethostname gives it; empty when unknown.
std::string HostName();

// UTF-8 bytes as UTF-16; bytes that do not decode stand for themselves.
std::u16string Utf8ToUtf16(const std::string& text);

// Copies text with its terminator into a caller's buffer of *size units when
// it fits: true and *size = its length; else false, *size = its length + 1
// and SYS_ERROR_MORE_DATA or `tooSmallError`.
bool CopyOut(const std::string& text, char* buffer, DWORD* size, DWORD tooSmallError);
bool CopyOut(const std::u16string& text, wchar16* buffer, DWORD* size, DWORD tooSmallError);

}  // namespace platform::sysinfo
