// The network shares of servers. This host has no network neighbourhood of
// its own: a server has shares only when SysRegisterShare lent them, each
// standing for a host directory (or for nothing reachable). A lent share is
// reachable as \\server\share\... by the find and attribute functions of
// platform/findfile.h. Server and share names compare without regard to
// ASCII case.
#pragma once

#include <string>

#include "platform/types.h"

// Status codes of SysNetShareEnum, as the network API gives them.
inline constexpr DWORD SYS_NET_OK = 0;
inline constexpr DWORD SYS_NET_ACCESS_DENIED = 5;
inline constexpr DWORD SYS_NET_BAD_NETPATH = 53;
inline constexpr DWORD SYS_NET_MORE_DATA = 234;
inline constexpr DWORD SYS_NET_NO_MEMORY = 8;

// Share types of the network API.
inline constexpr DWORD SYS_SHARE_DISK = 0;
inline constexpr DWORD SYS_SHARE_PRINTER = 1;
inline constexpr DWORD SYS_SHARE_IPC = 3;
inline constexpr DWORD SYS_SHARE_SPECIAL = 0x80000000;

// One share as the level-502 listing gives it (the fields read here).
struct SysShareInfo {
  const wchar16* name;    // the share's name
  DWORD type;             // SYS_SHARE_*
  const wchar16* remark;  // empty when none
  const wchar16* path;    // the server's local path, empty when none
};

// Lists the shares of server (its name without leading separators). The
// buffer holds entriesRead records and their texts, freed with
// SysNetApiBufferFree. When the listing is cut (see SysSetShareBatchLimit)
// the status is SYS_NET_MORE_DATA and *resume tells where the next call goes
// on. A server that has no share lent: SYS_NET_BAD_NETPATH and no buffer.
DWORD SysNetShareEnum(const wchar16* server, SysShareInfo** buffer, DWORD* entriesRead,
                      DWORD* totalEntries, DWORD* resume);
void SysNetApiBufferFree(void* buffer);

// The test seam: lends share `name` of `server` standing for host directory
// hostDir (null: a share that is listed but reaches nothing). False for an
// empty or too long name (servers up to 64, shares up to 80 characters) or a
// share of that name already lent.
bool SysRegisterShare(const char* server, const char* name, const char* hostDir,
                      DWORD type = SYS_SHARE_DISK);
// Takes every share of every server back and resets the batch limit.
void SysClearShares();
// At most n entries per listing call (0: no limit), so that callers meet
// SYS_NET_MORE_DATA; a failure injected with failAfter > 0 makes the
// failAfter-th listing call answer SYS_NET_ACCESS_DENIED.
void SysSetShareBatchLimit(DWORD n, int failAfter = 0);
// The number of listing calls so far and of buffers not yet freed.
int SysShareEnumCalls();
int SysShareBuffersLive();

// The host directory of \\server\share\rest (separators either way); false
// when no lent share matches or it reaches nothing.
bool SysShareHostPath(const char* uncPath, std::string& out);
// UTF-8 to UTF-16; a byte that starts no valid sequence stands for itself
// (as Latin-1), so every name gets some spelling.
std::u16string SysWidenUtf8(const std::string& text);

// The servers that have shares lent, in the order they were first lent.
int SysShareServerCount();
bool SysShareServerName(int index, std::string& out);
