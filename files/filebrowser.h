// CFileBrowser: the folder-listing engine under file lists and folder trees.
// It reads the entries of a folder (from the file system, from the shell
// namespace for folders that are no file-system folders, or the visible
// shares of a network server) into an item list, filters them with file
// patterns, gives each item its type text and system icon, and sorts the
// items by one of nine keys.
//
// Every item of the item list is one CTextList item: its text is the item's
// name, its data the caller's bytes (SetUserDataSize) followed by a
// BrowserItem record. Folders reached by the listing sit in a folder list;
// each item names its folder by index, so the full path of an item is its
// folder's text (ending in a separator) followed by its name.
//
// Paths are the library's Windows-kind paths: drive and server paths with
// '\', host paths as the host writes them (see platform/pathsys.h).
#pragma once

#include <cstdint>
#include <memory>

#include "platform/types.h"
#include "toolkit/textlist.h"

struct FileFindInfo;
class CShellItem;
class CShellItemEnum;
namespace filebrowser_detail {
class NameIndex;
}

// ---- Listing flags (Open) ---------------------------------------------------
// Set by Open itself: the one include pattern is handed to the file-system
// search instead of reading every entry and filtering.
inline constexpr DWORD BROWSE_SEARCH_PATTERN = 0x1;
// Items carry their own type texts, asked while they are read (either bit).
inline constexpr DWORD BROWSE_TYPE_TEXTS = 0x1002;
// Keep the item list sorted: new items go to their sorted position.
inline constexpr DWORD BROWSE_KEEP_SORTED = 0x100;
// Server paths ("\\server\...") may be resolved through the shell's network
// folder; items of shell folders are shell items.
inline constexpr DWORD BROWSE_SHELL = 0x400;
// Keep the items of the previous listing; reading skips names already listed
// in the same folder.
inline constexpr DWORD BROWSE_KEEP_ITEMS = 0x800;
// Found folders are collected into the folder list, and read in turn.
inline constexpr DWORD BROWSE_COLLECT_FOLDERS = 0x2000;
// Folders (and network shares) become items.
inline constexpr DWORD BROWSE_FOLDERS = 0x4000;
// Files become items.
inline constexpr DWORD BROWSE_FILES = 0x8000;
// GetNextItem reads a folder whole before it hands out its first item.
inline constexpr DWORD BROWSE_READ_WHOLE = 0x20000;

// ---- Item record flags (besides the FILEINFO_* bits) -------------------------
inline constexpr DWORD BROWSE_ITEM_DIRECTORY = 0x10;  // as FILEINFO_DIRECTORY
inline constexpr DWORD BROWSE_ITEM_DRIVE = 0x4000;    // a drive root
inline constexpr DWORD BROWSE_ITEM_NETWORK = 0x8000;  // a share or other network item

// ---- Sort mode word (SetSortMode) --------------------------------------------
// Low byte: the key; 0 and keys above 9 sort by name only.
inline constexpr DWORD BROWSE_SORT_NAME = 0;
inline constexpr DWORD BROWSE_SORT_TYPE = 1;
inline constexpr DWORD BROWSE_SORT_CREATED = 2;
inline constexpr DWORD BROWSE_SORT_ACCESSED = 3;
inline constexpr DWORD BROWSE_SORT_MODIFIED = 4;
inline constexpr DWORD BROWSE_SORT_SIZE = 5;
inline constexpr DWORD BROWSE_SORT_SECOND_TEXT = 6;
inline constexpr DWORD BROWSE_SORT_EXTENSION = 7;
inline constexpr DWORD BROWSE_SORT_FLAGS = 8;       // the low nine flag bits
inline constexpr DWORD BROWSE_SORT_USER_WORD = 9;   // the first word of the caller's data
inline constexpr DWORD BROWSE_SORT_NATURAL = 0x2000;        // digit runs compare as numbers
inline constexpr DWORD BROWSE_SORT_NO_FOLDERS_FIRST = 0x4000;
inline constexpr DWORD BROWSE_SORT_DESCENDING = 0x8000;

// AddPath flags.
inline constexpr DWORD BROWSE_ADD_UNIQUE = 0x2;       // fail when the name is listed in its folder
inline constexpr DWORD BROWSE_ADD_NO_FOLDERS = 0x4;   // refuse directories and drive roots
inline constexpr DWORD BROWSE_ADD_NO_FILES = 0x8;     // refuse everything else

// Flag of ConvertCase besides the StrCaseConvert bits: folders and the path too.
inline constexpr DWORD BROWSE_CASE_FOLDERS = 0x100;

// The type text of a folder that has none of its own.
inline constexpr char kBrowserFolderTypeName[] = "Dateiordner";

// The record behind the caller's data of every item (not aligned there: use
// GetItem for a copy).
struct BrowserItem {
  DWORD flags;      // FILEINFO_* bits and BROWSE_ITEM_*; no size bits
  DWORD size;       // low word of the size
  DWORD created;    // seconds since 1970; 0xFFFFFFFF unknown
  DWORD accessed;
  DWORD modified;
  DWORD sizeHigh;   // high word of the size
  int32_t extension;  // offset of the extension in the name; -1 not computed yet
  int32_t folder;     // index in the folder list
  int32_t typeIndex;       // the type text's index in the browser's type texts; -1 not asked
  char* secondText;        // owned; null for none
  CShellItem* shellItem;   // owned; shell items only
};

// (user, index, count, flag): told before and after reading, sorting and
// every change of the item list.
using BrowserNotifyFunc = void (*)(uintptr_t user, int index, int count, DWORD flag);

class CFileBrowser {
 public:
  CFileBrowser();
  ~CFileBrowser();
  CFileBrowser(const CFileBrowser&) = delete;
  CFileBrowser& operator=(const CFileBrowser&) = delete;

  // Prepares the listing of a folder. path may end in include patterns
  // ("C:\plots\*.zlv;*.txt") or name one file (which then is the only
  // pattern); patterns and excludes are ';'-separated pattern texts added to
  // the include and exclude lists. A null path only empties the browser.
  // False when the path names nothing or is too long.
  bool Open(const char* path, const char* patterns, const char* excludes, DWORD flags);
  // Splits a ';'-separated pattern text into list (empty pieces skipped); a
  // piece "*" or "*.*" means everything: the list is emptied and true
  // returned.
  static bool ParseBrowserPatterns(const char* text, CTextList& list);

  // Reads the whole of folder `folder` (any kind; an open search of the
  // listing is closed first); the number of items added, -1 for no folder.
  int ReadFileFolder(int folder);
  // The same for a shell folder only (-1 for any other).
  int ReadShellFolder(int folder);
  // The next item of the listing, reading on when the items read so far are
  // used up; null at the end. mode 0: the name (length in *length); 1: the
  // full path; 2: the path below the opened folder. Built paths live in the
  // browser's path buffer until the next one is built. A list kept sorted
  // is read whole before its first item is handed out.
  const char* GetNextItem(int mode, DWORD* length);

  // Sorting.
  void SetSortMode(DWORD mode);
  DWORD GetSortMode() const { return sortMode; }
  void Sort();
  // Order of items a and b under mode (negative, 0, positive).
  int CompareBrowserItems(int a, int b, DWORD mode);

  // Items.
  int GetItemCount() const { return static_cast<int>(items.count); }
  // The name, or with withFolder the full path (in the path buffer).
  const char* GetItemName(int i, bool withFolder = false);
  DWORD GetItemNameLength(int i) const;
  // A copy of item i's record; false for no item.
  bool GetItem(int i, BrowserItem* out) const;
  void* GetItemUserData(int i) const;
  const char* GetItemExtension(int i);
  const char* GetItemTypeText(int i);
  int64_t GetItemSize(int i) const;
  // kind 1 created, 2 accessed, other modified; a missing time falls back
  // to modified, created, accessed in turn. -1 for no item.
  int64_t GetItemTime(int i, int kind = 0) const;
  int GetItemIconIndex(int i, DWORD flags);
  uint64_t GetTotalSize() const;
  // The first item of folder `folder` named `name` (compared without regard
  // to case; a negative nameLength: up to the terminator), or -1.
  int FindItem(const char* name, int folder, int nameLength) const;

  // Folders.
  int GetFolderCount() const { return static_cast<int>(folders.count); }
  const char* GetFolderPath(int folder) const;
  const char* GetPath() const { return path; }

  // List maintenance.
  void SetCallback(BrowserNotifyFunc callback, uintptr_t user, DWORD beginFlag, DWORD endFlag,
                   DWORD changeFlag, DWORD changedFlag);
  int AddItem(const char* name, int folder, const FileFindInfo& info, int index);
  int AddItem(const char* name, int folder, DWORD attributes, uint64_t size, DWORD created,
              DWORD accessed, DWORD modified, int index);
  bool SetItemText(int i, const char* name);
  bool SetItemSecondText(int i, const char* text);
  bool RemoveItem(int i);
  void RemoveAllItems();
  void ConvertCase(DWORD flags);
  // One file, folder or drive root as an item at index (-1 appends); its
  // folder joins the folder list without being read. The index, or -1 for
  // a path with '*', one that names nothing, or one refused by flags.
  int AddPath(const char* path, int index, DWORD flags);
  // A server path (with or without "\\Netzwerksumgebung" in front) as a
  // folder: a file-system folder where the file system knows it, else the
  // shell folder reached by display names; the folder's index, or -1.
  int AddNetworkFolder(const char* path);
  // 4 <= size <= 4100 while no item is listed; the size is rounded up to a
  // multiple of 4.
  bool SetUserDataSize(DWORD size);
  DWORD GetUserDataSize() const { return userDataSize; }

  DWORD GetFlags() const { return listFlags; }
  const CTextList& Items() const { return items; }
  const CTextList& Folders() const { return folders; }
  const CTextList& IncludePatterns() const { return includes; }
  const CTextList& ExcludePatterns() const { return excludes; }

 private:
  struct FolderEntry;
  // Records sit unaligned behind the caller's data: copied in and out.
  BrowserItem LoadRecord(int i) const;
  void StoreRecord(int i, const BrowserItem& rec);
  int InsertItem(const char* name, DWORD nameLength, const BrowserItem& rec, int index);
  bool ItemIs(uint32_t i, const char* name, uint32_t length, int folder) const;
  uint64_t ItemKey(uint32_t i) const;
  void RebuildNames() const;
  int SortedPosition(int newItem);
  void FreeRecord(int i);
  void FreeAllItems();
  void ClearFolders();
  void CloseSearch();
  int AddFolder(const char* text, int length, CShellItemEnum* shellEnum, DWORD kind);
  bool Accepts(const char* name, int length, bool isFolder) const;
  FolderEntry LoadFolder(int f) const;
  void StoreFolder(int f, const FolderEntry& entry);
  int FindOrAddFolder(const char* text, int length, DWORD kind);
  void SetPath(const char* text, int length);
  bool ResolveOpenPath(const char* raw, DWORD flags);
  int OpenNetworkPath(const char* folder);
  int AddShellFolder(CShellItemEnum* shellEnum, const char* text, int length);
  BrowserItem RecordFromInfo(const FileFindInfo& info, int folder) const;
  bool TakeFound(const FileFindInfo& info, int folder);
  int ReadMore(bool whole);
  int StartFolder(int f);
  int ReadBatch(int maxItems);
  int ReadShares(int folder);
  int ReadShellItems(int folder);
  const char* BuildPath(int folder, const char* name, DWORD nameLength, int mode);
  // Item blocks (the pointers of the item list).
  int CompareBlocks(void* a, void* b, DWORD mode);
  static int CompareBlocksCallback(uintptr_t self, void* a, void* b);
  const char* TypeTextOf(void* block);
  int InternType(const char* text, int length);
  void Notify(int index, int count, DWORD flag) const;

  CTextList shellItems;   // CShellItem* kept for items
  CTextList childEnums;   // CShellItemEnum* opened for folders
  CTextList folders;      // folder paths, each with a FolderEntry
  CTextList items;        // names with caller data and BrowserItem
  CTextList excludes;
  CTextList includes;
  CTextList typeTexts;    // every type text an item carries, once
  // The names of the item list by folder; kept by every change of the list.
  std::unique_ptr<filebrowser_detail::NameIndex> names;

  void* search = nullptr;     // open file-system search
  int searchFolder = -1;      // the folder the open search reads
  int nextFolder = 0;         // the next folder to read
  int nextItem = 0;           // GetNextItem's position
  int openFolder = -1;        // the folder Open named
  char* pendingPatterns = nullptr;  // patterns of the path, while Open runs
  DWORD openFlagsAdded = 0;
  DWORD openFlagsDropped = 0;
  bool finished = false;
  bool sortSet = false;        // a sort mode was set, or the list sorted
  DWORD listFlags = 0;
  DWORD sortMode = 0;
  DWORD userDataSize = 4;
  char* path = nullptr;       // the opened path
  char* buffer = nullptr;     // built paths
  int bufferSize = 0;

  BrowserNotifyFunc notify = nullptr;
  uintptr_t notifyUser = 0;
  DWORD notifyFlags[4] = {};
};
