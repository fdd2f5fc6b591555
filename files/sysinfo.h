// What the system says about itself and the current process: versions, the
// WOW64 state and its file-system redirection, administrator rights, object
// owners and privileges, the computer's names, GDI bitmap headers, optional
// antialiased lines, and a process's program file.
//
// Entry points that older systems lack are looked up by name on first use
// and kept; without them the one call reports failure. The caches belong to
// the process and take no lock: call these functions from one thread (the
// UI thread). What each answer means on Linux is told in
// platform/sysinfo.h, platform/sysinfo_security.h and platform/sysinfo_gdi.h.
#pragma once

#include "platform/bitmap.h"
#include "platform/sysinfo.h"
#include "platform/sysinfo_gdi.h"
#include "platform/sysinfo_security.h"

// --- versions ---------------------------------------------------------------

// The product version of KERNEL32's version resource, (major << 16) | minor;
// 0 when it cannot be read (asked again next time).
DWORD GetKernel32Version();
// (major << 16) | minor of the running system, read once.
DWORD GetWindowsVersion();

// --- WOW64 ------------------------------------------------------------------

// The process is a 32-bit process on a 64-bit system; asked once.
bool IsWow64();
// A counted switch of file-system redirection shared by all callers:
// mode > 0 turns redirection off and mode < 0 on when no switch is held
// (the first one holds it); mode 0 releases a switch, and the last release
// restores the state saved by the first. A switch that calls nothing (one
// already held, a release that is not the last) succeeds; a release with no
// switch held, or a first switch whose call fails or is missing, fails and
// is not counted.
bool SetWow64FsRedirection(int mode);

// --- administrators ---------------------------------------------------------

// The token (the process's own when null) lists BUILTIN\Administrators
// among its groups, whatever the group's attributes.
bool IsTokenAdmin(HANDLE token);
// The system counts the current user among BUILTIN\Administrators; false
// where it cannot be asked.
bool IsUserAdmin();

// --- owners and privileges ----------------------------------------------------

// Results of GetObjectOwnerA/W.
enum : int {
  OWNER_OK = 0,
  OWNER_NO_SECURITY_INFO = -1,   // the object's security information cannot be had
  OWNER_LOOKUP_FAILED = -2,      // the owner's account cannot be looked up
  OWNER_BUFFER_TOO_SMALL = -3,   // account or domain does not fit with its terminator
  OWNER_NO_MEMORY = -4,
  OWNER_SECOND_LOOKUP_FAILED = -5,
};

// Flag of objectType: object is a HANDLE, asked with objectType & 127.
inline constexpr DWORD OWNER_BY_HANDLE = 0x80;

// The owner's account and domain of a securable object. object is a name
// (const char*; wide for GetObjectOwnerW), or a HANDLE when objectType has
// OWNER_BY_HANDLE. A registry key's name (SE_REGISTRY_KEY) may start with
// its root as "HKEY_..." (see SkipRegistryRootPrefix). account and domain
// may each be null; sizes are in characters and must leave room for the
// terminator. Returns OWNER_OK or a negative OWNER_* code; the buffers are
// written only on success.
int GetObjectOwnerA(const void* object, DWORD objectType, char* account, DWORD accountSize,
                    char* domain, DWORD domainSize);
int GetObjectOwnerW(const void* object, DWORD objectType, wchar16* account, DWORD accountSize,
                    wchar16* domain, DWORD domainSize);

// A registry path as the security functions spell it: "HKEY_LOCAL_MACHINE\X"
// gives "MACHINE\X", "HKEY_CURRENT_CONFIG\X" gives "CONFIG\X", the other
// roots lose only "HKEY_"; the prefix is matched without regard to case and
// the result points into path. Any other path (and null) comes back as is.
const char* SkipRegistryRootPrefix(const char* path);
const wchar16* SkipRegistryRootPrefixW(const wchar16* path);

// Enables or disables one privilege of the token (opened with
// TOKEN_ADJUST_PRIVILEGES): false when the name is unknown, the adjustment
// fails, or the token does not hold the privilege.
bool SetTokenPrivilege(HANDLE token, const char* privilege, bool enable);

// --- computer names ---------------------------------------------------------

// The workgroup instead of a name kind.
inline constexpr int COMPUTER_NAME_WORKGROUP = -1;

// The computer's name of a kind (ComputerNameNetBIOS ...
// ComputerNamePhysicalDnsFullyQualified) or, for COMPUTER_NAME_WORKGROUP,
// its workgroup, into buffer of size characters: its length, or 0 with the
// buffer emptied (when size >= 1) and the last error set:
// SYS_ERROR_INVALID_PARAMETER (size < 1 or no buffer),
// SYS_ERROR_CALL_NOT_IMPLEMENTED (the system cannot tell),
// SYS_ERROR_BUFFER_OVERFLOW (the workgroup does not fit), or what the system
// said. A workgroup character beyond Latin-1 reads '?' in the narrow form.
int GetNetworkComputerName(char* buffer, int size, int format);
int GetNetworkComputerNameW(wchar16* buffer, int size, int format);

// --- bitmaps ----------------------------------------------------------------

// The bitmap's header and its first min(colours, maxColours, 256) colour-
// table entries into out (which has room for them): the colours are the
// header's biClrUsed, or 2^bits at 8 bits per pixel or fewer. false with 40
// zero bytes in out for a null or unknown bitmap.
bool GetBitmapHeader(HBITMAP bmp, BITMAPINFO* out, DWORD maxColours);
// The bitmap's width, height and bits per pixel; 0, 0, 0 and false when it
// cannot be read. Every output may be null.
bool GetBitmapDimensions(HBITMAP bmp, DWORD* width, DWORD* height, DWORD* bitCount);
bool GetBitmapDimensions(HBITMAP bmp, SIZE* size);

// --- antialiased lines ----------------------------------------------------------

// Counted start of the antialiasing library: 1 when it is loaded, 0 when it
// is not available (lines are then drawn by the device context's plain
// pens). Each start is ended by one SmoothDrawShutdown.
int SmoothDrawStartup();
// Ends one start: 1, or 0 when none is outstanding. The last one unloads
// the library.
int SmoothDrawShutdown();
// A drawing handle on dc, antialiased when the library is loaded; the dc
// itself when it is not; null on failure.
HANDLE CreateSmoothGraphics(HDC dc);
// Frees a drawing handle; without the library nothing is freed and the
// result tells whether the library was started at all.
bool DeleteSmoothGraphics(HANDLE graphics);
// A solid pen of width pixels and a COLORREF colour (0x00BBGGRR); null on
// failure.
HANDLE CreateSmoothPen(int width, COLORREF colour);
bool DeleteSmoothPen(HANDLE pen);
// One line from (x1, y1) to (x2, y2) with the pen.
bool SmoothDrawLine(HANDLE graphics, HANDLE pen, int x1, int y1, int x2, int y2);

// --- processes --------------------------------------------------------------

// The full path of the program file of the process into buffer (size
// characters): its length. The character behind the terminator receives 1
// when the process is a 32-bit process on a 64-bit system, else 0; the path
// must therefore fit into size - 2 characters. On failure 0 with the buffer
// emptied (when size >= 1) and the last error set: SYS_ERROR_INVALID_PARAMETER
// (size <= 2, no buffer, no such process), SYS_ERROR_NOT_SUPPORTED (the
// system cannot tell), SYS_ERROR_INSUFFICIENT_BUFFER (the path does not
// fit), or what the system said.
int GetProcessImagePath(DWORD processId, char* buffer, int size);
int GetProcessImagePathW(DWORD processId, wchar16* buffer, int size);
