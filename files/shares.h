// The visible disk shares of a server: shares whose names do not end in '$'
// and whose \\server\share path is a directory.
#pragma once

#include "platform/netshare.h"
#include "platform/types.h"

inline constexpr int SHARE_SERVER_MAX = 64;

struct ShareEnum {
  DWORD status;              // of the last listing call
  SysShareInfo* buffer;      // the listing's entries
  DWORD entriesRead;
  DWORD totalEntries;
  DWORD resume;
  DWORD next;                // index of the next entry
  int serverLength;          // characters of "\\server"
  wchar16 path[260];         // "\\server\share" being tested
};

// Starts listing the shares of the server of uncPath ("\\server..." with
// either separator); null when the server name is empty, longer than
// SHARE_SERVER_MAX characters or the server cannot be listed.
ShareEnum* OpenShareEnum(const char* uncPath);
// The next visible share's name into name: its length with the terminator;
// 0 at the end, on failure or for size < 1 (name emptied when size >= 1);
// -1 for a name that does not fit into size (that share is passed over, the
// next call goes on behind it).
int NextShareName(ShareEnum* state, char* name, int size);
// Frees the state; false for null.
bool CloseShareEnum(ShareEnum* state);
