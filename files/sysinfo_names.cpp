// The computer's network names and the program files of processes.
#include "files/sysinfo.h"
#include "files/sysinfo_impl.h"

using namespace sysinfo_detail;

namespace {

int fail(char* buffer, DWORD error) {
  buffer[0] = 0;
  SysSetLastError(error);
  return 0;
}

int workgroupName(char* buffer, int size) {
  Cache& c = cache();
  if (!c.netapiLooked) {
    c.netapiLooked = true;
    HMODULE netapi = LoadedModule("NETAPI32");
    c.netWkstaGetInfo = Proc<NetWkstaGetInfoProc>(netapi, "NetWkstaGetInfo");
    c.netApiBufferFree = Proc<NetApiBufferFreeProc>(netapi, "NetApiBufferFree");
  }
  if (!c.netWkstaGetInfo || !c.netApiBufferFree)
    return fail(buffer, SYS_ERROR_CALL_NOT_IMPLEMENTED);
  BYTE* answer = nullptr;
  const DWORD rc = c.netWkstaGetInfo(nullptr, 100, &answer);
  if (rc != 0 || !answer) {
    if (answer) c.netApiBufferFree(answer);
    return fail(buffer, rc ? rc : SYS_ERROR_OTHER);
  }
  const wchar16* group = reinterpret_cast<const WKSTA_INFO_100*>(answer)->wki100_langroup;
  int length = 0;
  if (group)
    while (group[length] && length < size) ++length;
  int result;
  if (!group || !group[0]) {
    buffer[0] = 0;
    result = 0;
  } else if (length >= size) {
    result = fail(buffer, SYS_ERROR_BUFFER_OVERFLOW);
  } else {
    // Narrow text is Latin-1: a character beyond it cannot be kept.
    for (int i = 0; i < length; ++i)
      buffer[i] = static_cast<char>(group[i] <= 0xFF ? group[i] : '?');
    buffer[length] = 0;
    result = length;
  }
  c.netApiBufferFree(answer);
  return result;
}

template <typename Char>
int imagePath(DWORD processId, Char* buffer, int size) {
  if (!buffer || size <= 2) {
    if (buffer && size >= 1) buffer[0] = 0;
    SysSetLastError(SYS_ERROR_INVALID_PARAMETER);
    return 0;
  }
  buffer[0] = 0;
  Cache& c = cache();
  if (!c.processLooked) {
    c.processLooked = true;
    HMODULE k = Kernel32();
    c.queryImageNameA = Proc<QueryFullProcessImageNameAProc>(k, "QueryFullProcessImageNameA");
    c.queryImageNameW = Proc<QueryFullProcessImageNameWProc>(k, "QueryFullProcessImageNameW");
    c.isWow64Process = Proc<IsWow64ProcessProc>(k, "IsWow64Process");
    HMODULE psapi = LoadedModule("Psapi.dll");
    c.moduleFileNameA = Proc<GetModuleFileNameExAProc>(psapi, "GetModuleFileNameExA");
    c.moduleFileNameW = Proc<GetModuleFileNameExWProc>(psapi, "GetModuleFileNameExW");
  }
  HANDLE process = SysOpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  if (!process) process = SysOpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId);
  if (!process) return 0;

  const DWORD room = static_cast<DWORD>(size - 2);
  DWORD length = 0;
  bool found = false;
  auto query = [&](auto queryImageName, auto moduleFileName) {
    if (!queryImageName && !moduleFileName) {
      SysSetLastError(SYS_ERROR_NOT_SUPPORTED);
      return;
    }
    DWORD n = room;
    if (queryImageName && queryImageName(process, 0, buffer, &n)) {
      length = n;
      found = true;
      return;
    }
    if (!moduleFileName) return;
    n = moduleFileName(process, nullptr, buffer, room);
    // A path cut short to fit is not the process's path.
    if (n >= room && n > 0) SysSetLastError(SYS_ERROR_INSUFFICIENT_BUFFER);
    else if (n > 0) length = n, found = true;
  };
  if constexpr (sizeof(Char) == 1) query(c.queryImageNameA, c.moduleFileNameA);
  else query(c.queryImageNameW, c.moduleFileNameW);
  if (!found) {
    length = 0;
    buffer[0] = 0;
  }
  BOOL wow64 = FALSE;
  if (!c.isWow64Process || !c.isWow64Process(process, &wow64)) wow64 = FALSE;
  buffer[length + 1] = wow64 ? 1 : 0;
  SysCloseHandle(process);
  return static_cast<int>(length);
}

}  // namespace

int GetNetworkComputerName(char* buffer, int size, int format) {
  if (!buffer || size < 1) {
    SysSetLastError(SYS_ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (format == COMPUTER_NAME_WORKGROUP) return workgroupName(buffer, size);
  Cache& c = cache();
  if (!c.computerNameLooked) {
    c.computerNameLooked = true;
    c.getComputerNameExA = Proc<GetComputerNameExAProc>(Kernel32(), "GetComputerNameExA");
  }
  if (!c.getComputerNameExA) return fail(buffer, SYS_ERROR_CALL_NOT_IMPLEMENTED);
  DWORD n = static_cast<DWORD>(size);
  if (!c.getComputerNameExA(format, buffer, &n)) {
    buffer[0] = 0;
    return 0;
  }
  return static_cast<int>(n);
}

int GetNetworkComputerNameW(wchar16* buffer, int size, int format) {
  if (!buffer || size < 1) {
    SysSetLastError(SYS_ERROR_INVALID_PARAMETER);
    return 0;
  }
  // The narrow name needs half of the buffer; widened from its end, no
  // character is overwritten before it is read.
  char* narrow = reinterpret_cast<char*>(buffer);
  const int length = GetNetworkComputerName(narrow, size, format);
  for (int i = length; i >= 0; --i) buffer[i] = static_cast<unsigned char>(narrow[i]);
  return length;
}

int GetProcessImagePath(DWORD processId, char* buffer, int size) {
  return imagePath(processId, buffer, size);
}

int GetProcessImagePathW(DWORD processId, wchar16* buffer, int size) {
  return imagePath(processId, buffer, size);
}
