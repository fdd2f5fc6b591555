// Inside the system-information functions: the process-wide caches and the
// entry-point lookups they share. Not part of the library's interface.
#pragma once

#include "files/sysinfo.h"

namespace sysinfo_detail {

// Everything the functions keep between calls. A flag per group of entry
// points tells whether the group was looked up; a missing entry point stays
// null.
struct Cache {
  HMODULE kernel32 = nullptr;
  DWORD kernel32Version = 0;
  bool haveOsVersion = false;
  OSVERSIONINFOA osVersion = {};

  bool wow64Known = false;
  bool wow64 = false;

  bool redirectionLooked = false;
  Wow64DisableWow64FsRedirectionProc disableRedirection = nullptr;
  Wow64EnableWow64FsRedirectionProc enableRedirection = nullptr;
  Wow64RevertWow64FsRedirectionProc revertRedirection = nullptr;
  int redirectionUses = 0;
  void* savedRedirection = nullptr;

  bool advapiLooked = false;
  CheckTokenMembershipProc checkTokenMembership = nullptr;

  bool netapiLooked = false;
  NetWkstaGetInfoProc netWkstaGetInfo = nullptr;
  NetApiBufferFreeProc netApiBufferFree = nullptr;

  bool computerNameLooked = false;
  GetComputerNameExAProc getComputerNameExA = nullptr;

  bool processLooked = false;
  QueryFullProcessImageNameAProc queryImageNameA = nullptr;
  QueryFullProcessImageNameWProc queryImageNameW = nullptr;
  IsWow64ProcessProc isWow64Process = nullptr;
  GetModuleFileNameExAProc moduleFileNameA = nullptr;
  GetModuleFileNameExWProc moduleFileNameW = nullptr;

  // 0 not started, 1 not available, 2 loaded.
  int smoothState = 0;
  int smoothExtraUses = 0;
  UINT_PTR gdiplusToken = 0;
  HMODULE gdiplus = nullptr;
  GdipCreateFromHDCProc createFromHdc = nullptr;
  GdipDeleteGraphicsProc deleteGraphics = nullptr;
  GdipSetSmoothingModeProc setSmoothingMode = nullptr;
  GdipDrawEllipseIProc drawEllipse = nullptr;
  GdipDrawLineIProc drawLine = nullptr;
  GdipCreatePen1Proc createPen = nullptr;
  GdipSetPenColorProc setPenColor = nullptr;
  GdipDeletePenProc deletePen = nullptr;
};

Cache& cache();

// Forgets every cached value and entry point, so that tests can change what
// the system offers between calls.
void ForgetCaches();

// The cached KERNEL32 handle.
HMODULE Kernel32();
// A module's handle: the loaded one, else it is loaded now; null when it
// cannot be.
HMODULE LoadedModule(const char* name);

// An entry point of `module` as its own type; null when either is missing.
template <typename F>
F Proc(HMODULE module, const char* name) {
  return module ? reinterpret_cast<F>(SysGetProcAddress(module, name)) : nullptr;
}

// The product version (dwProductVersionMS) in a VS_VERSIONINFO block: 0
// when its key is not "VS_VERSION_INFO" or the fixed block's signature is
// not found where it can be; nothing is read beyond size bytes.
DWORD ProductVersionFromResource(const void* data, DWORD size);

}  // namespace sysinfo_detail
