// The shell namespace: folders, their items and item-ID lists.
//
// An item-ID list is a run of item IDs, each a little-endian u16 byte count
// (counting itself) followed by that many bytes less two, ended by a u16 0.
// The IDs of this host's namespace are laid out as
//   u16 cb | u8 kind | name bytes | u8 0        (cb = 4 + name length)
// with kind SYS_ID_SPECIAL (the computer and network folders, named by their
// display names), SYS_ID_ROOT ("C:\" for a drive lent with SysMapDrive, "/"
// for the host's root), SYS_ID_FOLDER and SYS_ID_FILE (one path component),
// SYS_ID_SERVER and SYS_ID_SHARE (lent with SysRegisterShare).
//
// The tree: the desktop (the empty list) holds the computer folder
// "Arbeitsplatz" and the network folder "Netzwerksumgebung"; the computer
// folder holds the lent drives A-Z and then the host root; below them the
// file system, listed as platform/findfile.h lists it. The network folder
// holds the servers with lent shares, a server its disk shares whose names
// do not end in '$', and a share reaching a host directory the file system
// below it. A symbolic link is an item with SYS_SFGAO_LINK and never a
// folder; its target is its host path, made absolute.
//
// Display names: the special folders give UTF-16 text (STRRET wide, freed
// with SysTaskFree), drives and the root C text, files and folders an offset
// into their own ID, servers and shares UTF-16 text.
//
// Results are HRESULT-like: SYS_S_OK 0, SYS_S_FALSE 1 (nothing more), a
// negative value for a failure. Folder and enumerator objects are counted
// references; every list and ID handed out is task memory (SysTaskAlloc).
#pragma once

#include <cstddef>

#include "platform/types.h"

inline constexpr int SYS_S_OK = 0;
inline constexpr int SYS_S_FALSE = 1;
inline constexpr int SYS_E_FAIL = -1;
inline constexpr int SYS_E_INVALIDARG = -2;
inline constexpr int SYS_E_OUTOFMEMORY = -3;

// Special folders.
inline constexpr int SYS_CSIDL_DESKTOP = 0x00;
inline constexpr int SYS_CSIDL_DRIVES = 0x11;
inline constexpr int SYS_CSIDL_NETWORK = 0x12;

// Item kinds (the byte behind an ID's size).
inline constexpr BYTE SYS_ID_SPECIAL = 0x1F;
inline constexpr BYTE SYS_ID_ROOT = 0x2F;
inline constexpr BYTE SYS_ID_FOLDER = 0x31;
inline constexpr BYTE SYS_ID_FILE = 0x32;
inline constexpr BYTE SYS_ID_SERVER = 0x41;
inline constexpr BYTE SYS_ID_SHARE = 0x42;

// Item attributes.
inline constexpr DWORD SYS_SFGAO_LINK = 0x00010000;
inline constexpr DWORD SYS_SFGAO_READONLY = 0x00040000;
inline constexpr DWORD SYS_SFGAO_HIDDEN = 0x00080000;
inline constexpr DWORD SYS_SFGAO_FILESYSANCESTOR = 0x10000000;
inline constexpr DWORD SYS_SFGAO_FOLDER = 0x20000000;
inline constexpr DWORD SYS_SFGAO_FILESYSTEM = 0x40000000;
inline constexpr DWORD SYS_SFGAO_HASSUBFOLDER = 0x80000000;

// What EnumObjects lists.
inline constexpr DWORD SYS_SHCONTF_FOLDERS = 0x20;
inline constexpr DWORD SYS_SHCONTF_NONFOLDERS = 0x40;
inline constexpr DWORD SYS_SHCONTF_INCLUDEHIDDEN = 0x80;

// Display-name forms.
inline constexpr DWORD SYS_SHGDN_NORMAL = 0x0;
inline constexpr DWORD SYS_SHGDN_INFOLDER = 0x1;
inline constexpr DWORD SYS_SHGDN_FORPARSING = 0x8000;

// Kinds of a returned name.
inline constexpr UINT SYS_STRRET_WSTR = 0;
inline constexpr UINT SYS_STRRET_OFFSET = 1;
inline constexpr UINT SYS_STRRET_CSTR = 2;

struct SysStrRet {
  UINT type;
  wchar16* wide;   // SYS_STRRET_WSTR: task memory, the receiver frees it
  UINT offset;     // SYS_STRRET_OFFSET: byte offset into the child ID
  char cStr[260];  // SYS_STRRET_CSTR
};

// Task memory: the blocks of item-ID lists and wide display names.
void* SysTaskAlloc(size_t size);
void SysTaskFree(void* block);
// Blocks allocated and not yet freed (for leak checks).
long SysTaskBlocksLive();

// Byte count of a list including its u16 terminator; 0 for null.
UINT SysIdListSize(const BYTE* list);

class SysEnumIdList {
 public:
  virtual void AddRef() = 0;
  virtual void Release() = 0;
  // The next child ID as a one-ID list in task memory: SYS_S_OK, or
  // SYS_S_FALSE (and *id null) after the last.
  virtual int Next(BYTE** id) = 0;

 protected:
  virtual ~SysEnumIdList() = default;
};

class SysShellFolder {
 public:
  virtual void AddRef() = 0;
  virtual void Release() = 0;
  // The folder that a list relative to this one names (several IDs allowed).
  virtual int BindToObject(const BYTE* list, SysShellFolder** out) = 0;
  // The children selected by SYS_SHCONTF_* flags.
  virtual int EnumObjects(DWORD flags, SysEnumIdList** out) = 0;
  // The attributes of one child: *mask in asks, out answers (asked bits only).
  virtual int GetAttributesOf(const BYTE* child, DWORD* mask) = 0;
  virtual int GetDisplayNameOf(const BYTE* child, DWORD flags, SysStrRet* out) = 0;
  // The link object of a child that is a link, asked for its target path
  // (at most size - 1 bytes): SYS_S_OK with the path; SYS_S_FALSE when the
  // child has no link object; a failure when the target cannot be read.
  virtual int GetLinkTarget(const BYTE* child, char* out, int size) = 0;

 protected:
  virtual ~SysShellFolder() = default;
};

// The desktop folder, a new reference each call.
int SysGetDesktopFolder(SysShellFolder** out);
// The absolute list of a special folder (task memory).
int SysGetSpecialFolderLocation(int csidl, BYTE** list);
// The file-system path an absolute list names (at most 260 bytes with the
// terminator); false (out emptied) for items that have none.
bool SysGetPathFromIdList(const BYTE* list, char* out);

// Counters for tests: desktop fetches, folder and enumerator objects alive.
long SysShellDesktopFetches();
long SysShellLiveObjects();
