// Pieces shared by the browser's files: the folder list's entry and small
// text helpers.
#pragma once

#include <cstdint>

#include "files/filebrowser.h"

// What a folder of the folder list is read from.
enum : DWORD {
  BROWSE_FOLDER_FILES = 0,   // the file system
  BROWSE_FOLDER_SHELL = 1,   // a shell folder (its enumerator)
  BROWSE_FOLDER_SHARES = 2,  // the shares of a server
  BROWSE_FOLDER_PSEUDO = 3,  // nothing to read (":" and the like)
};

// The data of a folder-list item; stored unaligned, copied in and out.
struct CFileBrowser::FolderEntry {
  CShellItemEnum* shellEnum;  // owned by the child-enumerator list
  DWORD kind;
  DWORD read;                 // 1 once the folder has been read
};

namespace filebrowser_detail {

inline bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// The separator a full path uses: '/' for host paths, else '\'.
inline char SeparatorOf(const char* path) {
  return path[0] == '/' && path[1] != '/' ? '/' : '\\';
}

// Offset of the extension (behind the last '.') in a name of n bytes; n when
// there is none.
inline int ExtensionOffset(const char* name, int n) {
  for (int i = n; i-- > 0;) {
    if (name[i] == '.') return i + 1;
  }
  return n;
}

// Folder test of a record's flags.
inline bool IsFolderFlags(DWORD flags) { return (flags & BROWSE_ITEM_DIRECTORY) != 0; }

// The network folder's display name, also taken as a server path's first
// part.
inline constexpr char kNetworkName[] = "Netzwerksumgebung";

// The unknown time.
inline constexpr DWORD kNoTime = 0xFFFFFFFF;

// Frees what the shell side made (null is ignored).
void DeleteShellItem(CShellItem* item);
void DeleteShellEnum(CShellItemEnum* shellEnum);

}  // namespace filebrowser_detail
