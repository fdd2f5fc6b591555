// Security identifiers, access tokens, object owners and privileges, shaped
// as the Windows security calls are.
//
// On Linux:
// - Users and groups are the SIDs S-1-22-1-<uid> and S-1-22-2-<gid> (the
//   form Unix ids take in mixed networks). Their names come from the user
//   and group databases; their domain is the host name up to its first dot.
// - BUILTIN\Administrators (S-1-5-32-544) holds every process whose
//   effective user is root (uid 0) or that is in a group named "sudo",
//   "wheel" or "admin": the users allowed to act as root. A token lists the
//   process's effective and supplementary groups, and the administrators'
//   group when that holds; nothing is deny-only.
// - A token belongs to a process (any process whose /proc entry can be
//   read). Privileges are Linux capabilities: enabling one raises its
//   effective bit, which works only while the capability is permitted
//   (otherwise SYS_ERROR_NOT_ALL_ASSIGNED, as for a privilege the token does
//   not hold); disabling clears it. Capabilities belong to each thread, so
//   only the calling thread's change, and only the calling process's token
//   can be adjusted. Privileges with no capability behind them are unknown
//   names (SYS_ERROR_NO_SUCH_PRIVILEGE).
// - Owners: a file's (stat's uid and gid) by name; a registry key's by name
//   (the root spelled CLASSES_ROOT, CURRENT_USER, MACHINE, USERS or CONFIG)
//   is the owner of the registry store file, which keeps every key (the
//   calling user while the file does not exist yet); a process's or a
//   token's by handle is the process's effective user and group.
#pragma once

#include "platform/sysinfo.h"

using PSID = void*;
using PSECURITY_DESCRIPTOR = void*;
struct ACL;
using PACL = ACL*;

struct SID_IDENTIFIER_AUTHORITY {
  BYTE Value[6];
};

inline constexpr SID_IDENTIFIER_AUTHORITY SECURITY_NT_AUTHORITY = {{0, 0, 0, 0, 0, 5}};
inline constexpr DWORD SECURITY_BUILTIN_DOMAIN_RID = 32;
inline constexpr DWORD DOMAIN_ALIAS_RID_ADMINS = 544;
// The authority and first sub-authorities of Unix users and groups.
inline constexpr SID_IDENTIFIER_AUTHORITY SECURITY_UNIX_AUTHORITY = {{0, 0, 0, 0, 0, 22}};
inline constexpr DWORD SECURITY_UNIX_USER_RID = 1;
inline constexpr DWORD SECURITY_UNIX_GROUP_RID = 2;

// A SID of `count` (1 to 8) sub-authorities, freed with SysFreeSid; false
// with SYS_ERROR_INVALID_PARAMETER for another count.
BOOL SysAllocateAndInitializeSid(const SID_IDENTIFIER_AUTHORITY* authority, BYTE count,
                                 DWORD s0, DWORD s1, DWORD s2, DWORD s3, DWORD s4, DWORD s5,
                                 DWORD s6, DWORD s7, PSID* sid);
// Frees a SID made by SysAllocateAndInitializeSid; null.
void* SysFreeSid(PSID sid);
// Revision 1, at most 15 sub-authorities.
BOOL SysIsValidSid(PSID sid);
// 8 + 4 bytes per sub-authority.
DWORD SysGetLengthSid(PSID sid);
// Both valid and alike byte for byte.
BOOL SysEqualSid(PSID a, PSID b);

// --- tokens -----------------------------------------------------------------

inline constexpr DWORD TOKEN_QUERY = 0x0008;
inline constexpr DWORD TOKEN_ADJUST_PRIVILEGES = 0x0020;
inline constexpr DWORD READ_CONTROL = 0x00020000;

inline constexpr DWORD SE_GROUP_MANDATORY = 0x1;
inline constexpr DWORD SE_GROUP_ENABLED_BY_DEFAULT = 0x2;
inline constexpr DWORD SE_GROUP_ENABLED = 0x4;

enum : int { TokenGroups = 2 };

struct SID_AND_ATTRIBUTES {
  PSID Sid;
  DWORD Attributes;
};

struct TOKEN_GROUPS {
  DWORD GroupCount;
  SID_AND_ATTRIBUTES Groups[1];
};

// The token of a process handle; false with SYS_ERROR_INVALID_HANDLE or,
// when the process has gone, SYS_ERROR_INVALID_PARAMETER. Closed with
// SysCloseHandle.
BOOL SysOpenProcessToken(HANDLE process, DWORD access, HANDLE* token);

// TokenGroups (a TOKEN_GROUPS with the SIDs behind it) into info, which must
// be aligned for pointers. A size too small gives false with
// SYS_ERROR_INSUFFICIENT_BUFFER and the size needed in *returnLength; a
// token without TOKEN_QUERY gives SYS_ERROR_ACCESS; another class
// SYS_ERROR_INVALID_PARAMETER.
BOOL SysGetTokenInformation(HANDLE token, int infoClass, void* info, DWORD size,
                            DWORD* returnLength);

// --- owners -----------------------------------------------------------------

inline constexpr int SE_FILE_OBJECT = 1;
inline constexpr int SE_REGISTRY_KEY = 4;
inline constexpr int SE_KERNEL_OBJECT = 6;

inline constexpr DWORD OWNER_SECURITY_INFORMATION = 0x1;
inline constexpr DWORD GROUP_SECURITY_INFORMATION = 0x2;

// Owner and group of an object; their SIDs point into *descriptor, which the
// caller frees with SysLocalFree. dacl and sacl, when given, are set to null:
// access lists are not modelled. Results are Win32 error codes: 0, or
// SYS_ERROR_NOT_FOUND / SYS_ERROR_PATH_NOT_FOUND / SYS_ERROR_ACCESS for a
// name that cannot be reached, SYS_ERROR_INVALID_HANDLE,
// SYS_ERROR_INVALID_PARAMETER for an object type not listed above.
DWORD SysGetSecurityInfo(HANDLE handle, int objectType, DWORD securityInfo, PSID* owner,
                         PSID* group, PACL* dacl, PACL* sacl, PSECURITY_DESCRIPTOR* descriptor);
DWORD SysGetNamedSecurityInfoA(const char* name, int objectType, DWORD securityInfo,
                               PSID* owner, PSID* group, PACL* dacl, PACL* sacl,
                               PSECURITY_DESCRIPTOR* descriptor);
DWORD SysGetNamedSecurityInfoW(const wchar16* name, int objectType, DWORD securityInfo,
                               PSID* owner, PSID* group, PACL* dacl, PACL* sacl,
                               PSECURITY_DESCRIPTOR* descriptor);
// Frees a descriptor; null.
void* SysLocalFree(void* block);

enum : int { SidTypeUser = 1, SidTypeGroup = 2, SidTypeAlias = 4 };

// Name and domain of a SID. The sizes are in characters; when either buffer
// is null or too small for its text and terminator, false with
// SYS_ERROR_INSUFFICIENT_BUFFER and both sizes set to what is needed
// (terminator included). Success sets them to the lengths without
// terminator. An unknown SID: SYS_ERROR_NONE_MAPPED. Only the local system
// (null or empty systemName) is asked.
BOOL SysLookupAccountSidA(const char* systemName, PSID sid, char* name, DWORD* nameSize,
                          char* domain, DWORD* domainSize, int* use);
BOOL SysLookupAccountSidW(const wchar16* systemName, PSID sid, wchar16* name, DWORD* nameSize,
                          wchar16* domain, DWORD* domainSize, int* use);

// --- privileges -------------------------------------------------------------

struct LUID {
  DWORD LowPart;
  LONG HighPart;
};

struct LUID_AND_ATTRIBUTES {
  LUID Luid;
  DWORD Attributes;
};

struct TOKEN_PRIVILEGES {
  DWORD PrivilegeCount;
  LUID_AND_ATTRIBUTES Privileges[1];
};

inline constexpr DWORD SE_PRIVILEGE_ENABLED = 0x2;

// A privilege and the Linux capability that stands for it.
struct PrivilegeCapability {
  const char* name;
  DWORD luid;
  int capability;
};
// Every privilege the stand-in knows, by its Windows name.
extern const PrivilegeCapability kPrivilegeCapabilities[13];

// The LUID of a privilege name (compared without regard to case); false with
// SYS_ERROR_NO_SUCH_PRIVILEGE for one without a capability, and
// SYS_ERROR_NOT_SUPPORTED for another system than the local one.
BOOL SysLookupPrivilegeValueA(const char* systemName, const char* name, LUID* luid);

// Enables (SE_PRIVILEGE_ENABLED) or disables each listed privilege of the
// calling thread; disableAll clears all of them. Success sets the last error
// to 0, or to SYS_ERROR_NOT_ALL_ASSIGNED when a privilege to enable is not
// permitted. Fails with SYS_ERROR_ACCESS for a token without
// TOKEN_ADJUST_PRIVILEGES or of another process, SYS_ERROR_INVALID_HANDLE,
// SYS_ERROR_NO_SUCH_PRIVILEGE for an unknown LUID (nothing changed then).
// The previous state is not reported: previous must be null (else
// SYS_ERROR_INVALID_PARAMETER); *returnLength, when given, is set to 0.
BOOL SysAdjustTokenPrivileges(HANDLE token, BOOL disableAll, const TOKEN_PRIVILEGES* newState,
                              DWORD bufferLength, TOKEN_PRIVILEGES* previous,
                              DWORD* returnLength);
