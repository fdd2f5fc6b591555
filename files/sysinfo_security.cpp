// Administrator membership, object owners, registry paths for the security
// functions, and token privileges.
#include <algorithm>
#include <vector>

#include "files/sysinfo.h"
#include "files/sysinfo_impl.h"
#include "platform/globalmem.h"
#include "toolkit/strcopy.h"

using namespace sysinfo_detail;

namespace {

// BUILTIN\Administrators, freed with SysFreeSid; null when it cannot be made.
PSID administratorsSid() {
  PSID sid = nullptr;
  if (!SysAllocateAndInitializeSid(&SECURITY_NT_AUTHORITY, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                   DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &sid))
    return nullptr;
  return sid;
}

// The token's groups in an array of 8-byte words (aligned for the record's
// pointers): 4,096 bytes, or as many as the token asks for when it has more
// groups than fit there.
bool readTokenGroups(HANDLE token, std::vector<uint64_t>& buffer) {
  DWORD size = 4096, needed = 0;
  buffer.assign(size / 8, 0);
  if (SysGetTokenInformation(token, TokenGroups, buffer.data(), size, &needed)) return true;
  if (SysGetLastError() != SYS_ERROR_INSUFFICIENT_BUFFER || needed <= size) return false;
  size = needed;
  buffer.assign((size + 7) / 8, 0);
  return SysGetTokenInformation(token, TokenGroups, buffer.data(), size, &needed);
}

// Text-width dispatch for the owner lookup.
DWORD namedSecurityInfo(const char* name, int type, PSID* owner, PSECURITY_DESCRIPTOR* sd) {
  return SysGetNamedSecurityInfoA(name, type, OWNER_SECURITY_INFORMATION, owner, nullptr,
                                  nullptr, nullptr, sd);
}
DWORD namedSecurityInfo(const wchar16* name, int type, PSID* owner, PSECURITY_DESCRIPTOR* sd) {
  return SysGetNamedSecurityInfoW(name, type, OWNER_SECURITY_INFORMATION, owner, nullptr,
                                  nullptr, nullptr, sd);
}
BOOL lookupAccountSid(PSID sid, char* name, DWORD* nameSize, char* domain, DWORD* domainSize,
                      int* use) {
  return SysLookupAccountSidA(nullptr, sid, name, nameSize, domain, domainSize, use);
}
BOOL lookupAccountSid(PSID sid, wchar16* name, DWORD* nameSize, wchar16* domain,
                      DWORD* domainSize, int* use) {
  return SysLookupAccountSidW(nullptr, sid, name, nameSize, domain, domainSize, use);
}
void copyText(char* dst, const char* src, DWORD size) {
  StrCopyN(dst, src, static_cast<int>(std::min<DWORD>(size, 0x7FFFFFFF)));
}
void copyText(wchar16* dst, const wchar16* src, DWORD size) {
  StrCopyNW(dst, src, static_cast<int>(std::min<DWORD>(size, 0x7FFFFFFF)));
}

// A temporary block of `chars` characters, freed at the end of the scope.
template <typename Char>
struct TempText {
  HGLOBAL block = nullptr;
  Char* text = nullptr;

  explicit TempText(DWORD chars) {
    block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, (chars ? chars : 1) * sizeof(Char));
    if (block) text = static_cast<Char*>(GlobalLock(block));
  }
  ~TempText() {
    if (!block) return;
    if (text) GlobalUnlock(block);
    GlobalFree(block);
  }
  TempText(const TempText&) = delete;
  TempText& operator=(const TempText&) = delete;
};

template <typename Char>
int objectOwner(const void* object, DWORD objectType, Char* account, DWORD accountSize,
                Char* domain, DWORD domainSize) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  DWORD rc;
  if (objectType & OWNER_BY_HANDLE) {
    rc = SysGetSecurityInfo(const_cast<void*>(object), static_cast<int>(objectType & 127),
                            OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                            &descriptor);
  } else {
    const Char* name = static_cast<const Char*>(object);
    if (objectType == SE_REGISTRY_KEY) {
      if constexpr (sizeof(Char) == 1) name = SkipRegistryRootPrefix(name);
      else name = SkipRegistryRootPrefixW(name);
    }
    rc = namedSecurityInfo(name, static_cast<int>(objectType), &owner, &descriptor);
  }
  if (rc != 0 || !owner) {
    if (descriptor) SysLocalFree(descriptor);
    return OWNER_NO_SECURITY_INFO;
  }
  struct DescriptorGuard {
    PSECURITY_DESCRIPTOR d;
    ~DescriptorGuard() { SysLocalFree(d); }
  } guard{descriptor};

  // Asked without buffers, the lookup gives both sizes with their terminators.
  DWORD accountNeed = 0, domainNeed = 0;
  int use = 0;
  if (!lookupAccountSid(owner, static_cast<Char*>(nullptr), &accountNeed,
                        static_cast<Char*>(nullptr), &domainNeed, &use) &&
      SysGetLastError() != SYS_ERROR_INSUFFICIENT_BUFFER)
    return OWNER_LOOKUP_FAILED;
  if ((account && accountNeed > accountSize) || (domain && domainNeed > domainSize))
    return OWNER_BUFFER_TOO_SMALL;
  TempText<Char> accountText(accountNeed), domainText(domainNeed);
  if (!accountText.text || !domainText.text) return OWNER_NO_MEMORY;
  DWORD accountLen = accountNeed ? accountNeed : 1, domainLen = domainNeed ? domainNeed : 1;
  if (!lookupAccountSid(owner, accountText.text, &accountLen, domainText.text, &domainLen, &use))
    return OWNER_SECOND_LOOKUP_FAILED;
  if (account) copyText(account, accountText.text, accountSize);
  if (domain) copyText(domain, domainText.text, domainSize);
  return OWNER_OK;
}

// Whether text starts with the ASCII prefix, letters compared without
// regard to case.
template <typename Char>
bool startsNoCase(const Char* text, const char* prefix) {
  for (; *prefix; ++text, ++prefix) {
    unsigned c = static_cast<std::make_unsigned_t<Char>>(*text);
    if (c >= 'a' && c <= 'z') c -= 'a' - 'A';
    if (c != static_cast<unsigned char>(*prefix)) return false;
  }
  return true;
}

template <typename Char>
const Char* skipRegistryRoot(const Char* path) {
  if (!path || !startsNoCase(path, "HKEY_")) return path;
  const Char* rest = path + 5;
  if (startsNoCase(rest, "LOCAL_")) rest += 6;
  // "CURRENT_CONFIG" is spelt "CONFIG".
  if (startsNoCase(rest, "CURRENT_C")) return rest + 8;
  return rest;
}

}  // namespace

bool IsTokenAdmin(HANDLE token) {
  HANDLE own = nullptr;
  if (!token) {
    if (!SysOpenProcessToken(SysGetCurrentProcess(), TOKEN_QUERY | READ_CONTROL, &own))
      return false;
    token = own;
  }
  bool admin = false;
  std::vector<uint64_t> buffer;
  if (readTokenGroups(token, buffer)) {
    if (PSID admins = administratorsSid()) {
      const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
      const SID_AND_ATTRIBUTES* entry = groups->Groups;
      for (DWORD i = 0; i < groups->GroupCount && !admin; ++i)
        admin = SysEqualSid(entry[i].Sid, admins) != FALSE;
      SysFreeSid(admins);
    }
  }
  if (own) SysCloseHandle(own);
  return admin;
}

bool IsUserAdmin() {
  Cache& c = cache();
  if (!c.advapiLooked) {
    c.advapiLooked = true;
    c.checkTokenMembership =
        Proc<CheckTokenMembershipProc>(LoadedModule("Advapi32.dll"), "CheckTokenMembership");
  }
  if (!c.checkTokenMembership) return false;
  PSID admins = administratorsSid();
  if (!admins) return false;
  BOOL member = FALSE;
  const bool admin = c.checkTokenMembership(nullptr, admins, &member) && member;
  SysFreeSid(admins);
  return admin;
}

int GetObjectOwnerA(const void* object, DWORD objectType, char* account, DWORD accountSize,
                    char* domain, DWORD domainSize) {
  return objectOwner(object, objectType, account, accountSize, domain, domainSize);
}

int GetObjectOwnerW(const void* object, DWORD objectType, wchar16* account, DWORD accountSize,
                    wchar16* domain, DWORD domainSize) {
  return objectOwner(object, objectType, account, accountSize, domain, domainSize);
}

const char* SkipRegistryRootPrefix(const char* path) { return skipRegistryRoot(path); }

const wchar16* SkipRegistryRootPrefixW(const wchar16* path) { return skipRegistryRoot(path); }

bool SetTokenPrivilege(HANDLE token, const char* privilege, bool enable) {
  LUID luid;
  if (!SysLookupPrivilegeValueA(nullptr, privilege, &luid)) return false;
  TOKEN_PRIVILEGES change;
  change.PrivilegeCount = 1;
  change.Privileges[0].Luid = luid;
  change.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
  if (!SysAdjustTokenPrivileges(token, FALSE, &change, sizeof change, nullptr, nullptr))
    return false;
  return SysGetLastError() != SYS_ERROR_NOT_ALL_ASSIGNED;
}
