// Paths of the browser: what Open makes of a path and its patterns, single
// paths added as items, and the paths handed out by the listing.
#include <cstring>
#include <new>

#include "files/filebrowser.h"
#include "files/filebrowser_impl.h"
#include "files/filefind.h"
#include "files/shares.h"
#include "toolkit/wildcard_fold.h"

using namespace filebrowser_detail;

namespace {

// Longest full path the browser keeps; deep host paths are longer than the
// 260 characters of a Windows path.
constexpr int kPathMax = 4096;


// Makes path full in out (with its trailing separator kept); false when it
// names nothing sensible or does not fit.
bool MakeFull(const char* path, char* out, int size) {
  if (GetFullPath(path, out, size) == 0) return false;
  // Drive and server paths use '\' throughout; host paths keep '/'.
  char sep = SeparatorOf(out);
  for (char* p = out; *p; ++p) {
    if (IsSeparator(*p)) *p = sep;
  }
  return true;
}

// Whether a '\\'-style path is the network root itself ("\\" or
// "\\Netzwerksumgebung").
bool IsNetworkRoot(const char* parts) {
  while (IsSeparator(*parts)) ++parts;
  if (!*parts) return true;
  size_t n = std::strlen(kNetworkName);
  if (StrCompareNoCaseN(parts, kNetworkName, static_cast<int>(n)) != 0) return false;
  parts += n;
  while (IsSeparator(*parts)) ++parts;
  return !*parts;
}

// The number of parts of a server path behind its two separators.
int ServerPathParts(const char* path) {
  int parts = 0;
  const char* p = path;
  while (*p) {
    while (IsSeparator(*p)) ++p;
    if (!*p) break;
    ++parts;
    while (*p && !IsSeparator(*p)) ++p;
  }
  return parts;
}

// Adds the ';'-separated pieces of text to list, empty ones skipped. With
// starMeansAll a piece "*" or "*.*" empties the list and ends the split:
// true then.
bool SplitPatterns(const char* text, CTextList& list, bool starMeansAll) {
  if (!text) return false;
  const char* p = text;
  while (*p) {
    const char* end = std::strchr(p, ';');
    int n = end ? static_cast<int>(end - p) : static_cast<int>(std::strlen(p));
    if (n > 0) {
      if (starMeansAll && ((n == 1 && p[0] == '*') || (n == 3 && std::memcmp(p, "*.*", 3) == 0))) {
        list.RemoveAll();
        return true;
      }
      list.Insert(n, p, -1, nullptr);
    }
    p += n;
    if (*p == ';') ++p;
  }
  return false;
}

}  // namespace

bool CFileBrowser::ParseBrowserPatterns(const char* text, CTextList& list) {
  return SplitPatterns(text, list, true);
}

void CFileBrowser::CloseSearch() {
  if (search) FindCloseInfo(search);
  search = nullptr;
  searchFolder = -1;
}

bool CFileBrowser::Open(const char* newPath, const char* patterns, const char* excludePatterns,
                        DWORD flags) {
  CloseSearch();
  includes.RemoveAll();
  excludes.RemoveAll();
  char* previous = nullptr;
  if (!(flags & BROWSE_KEEP_ITEMS) || !newPath) {
    int count = static_cast<int>(items.count);
    Notify(0, count, notifyFlags[0]);
    FreeAllItems();
    ClearFolders();
    typeTexts.RemoveAll();
    Notify(0, 0, notifyFlags[1]);
  } else {
    previous = path;
    path = nullptr;
  }
  delete[] path;
  path = nullptr;
  openFolder = -1;
  finished = false;
  listFlags = flags & ~(BROWSE_KEEP_SORTED | BROWSE_SEARCH_PATTERN);
  if (!newPath) {
    delete[] previous;
    return true;
  }

  // An empty path is a slip, not the current folder.
  bool ok = newPath[0] != 0 && ResolveOpenPath(newPath, flags);
  if (ok) {
    bool all = ParseBrowserPatterns(pendingPatterns, includes);
    if (ParseBrowserPatterns(patterns, includes)) all = true;
    if (all) includes.RemoveAll();
    // Excludes are taken as written: "*" there excludes everything.
    SplitPatterns(excludePatterns, excludes, false);
    flags = (flags & ~openFlagsDropped) | openFlagsAdded;
    if (includes.count == 1 && !(flags & (BROWSE_COLLECT_FOLDERS | BROWSE_FOLDERS))) {
      flags |= BROWSE_SEARCH_PATTERN;
    }
  }
  delete[] pendingPatterns;
  pendingPatterns = nullptr;

  if (previous && path && StrCompareNoCase(previous, path) != 0) nextItem = 0;
  delete[] previous;

  if ((flags & BROWSE_KEEP_SORTED) && !(items.count < 2 || sortSet)) flags &= ~BROWSE_KEEP_SORTED;
  listFlags = flags;
  if (!ok) {
    finished = true;
    return false;
  }
  return true;
}

// Steps of Open that turn the path into the folder to read: sets path,
// openFolder, pendingPatterns and the flag changes.
bool CFileBrowser::ResolveOpenPath(const char* raw, DWORD flags) {
  openFlagsAdded = 0;
  openFlagsDropped = 0;
  pendingPatterns = nullptr;
  auto keepPatterns = [this](const char* text, size_t n) {
    pendingPatterns = new char[n + 1];
    std::memcpy(pendingPatterns, text, n);
    pendingPatterns[n] = 0;
  };

  // ":..." names a pseudo folder; what follows its last separator or colon
  // are patterns.
  if (raw[0] == ':') {
    const char* last = raw;
    for (const char* p = raw; *p; ++p) {
      if (IsSeparator(*p) || *p == ':') last = p;
    }
    keepPatterns(last + 1, std::strlen(last + 1));
    SetPath(":", 1);
    openFolder = FindOrAddFolder(":", 1, BROWSE_FOLDER_PSEUDO);
    return true;
  }

  // Patterns begin at the first ';', '*' or '?'; the folder ends at the last
  // separator (or drive colon) before them.
  size_t cut = std::strcspn(raw, ";*?");
  size_t folderEnd = 0;
  for (size_t i = 0; i < cut; ++i) {
    if (IsSeparator(raw[i]) || (raw[i] == ':' && i == 1)) folderEnd = i + 1;
  }
  bool hasPattern = raw[cut] != 0;
  if (hasPattern) keepPatterns(raw + folderEnd, std::strlen(raw + folderEnd));
  size_t folderLength = hasPattern ? folderEnd : std::strlen(raw);
  if (folderLength >= static_cast<size_t>(kPathMax)) return false;
  char folder[kPathMax];
  std::memcpy(folder, raw, folderLength);
  folder[folderLength] = 0;
  if (folderLength == 0) std::strcpy(folder, ".");

  bool server = IsSeparator(folder[0]) && IsSeparator(folder[1]);
  if (server && (flags & BROWSE_SHELL)) {
    int f = OpenNetworkPath(folder);
    if (f < 0) return false;
    openFolder = f;
    const char* text = folders.TextAt(static_cast<uint32_t>(f));
    SetPath(text, static_cast<int>(folders.LengthAt(static_cast<uint32_t>(f))));
    return true;
  }

  char full[kPathMax];
  if (!MakeFull(folder, full, kPathMax)) return false;
  int length = static_cast<int>(std::strlen(full));
  char sep = SeparatorOf(full);
  if (!hasPattern && !IsSeparator(full[length - 1])) {
    FileFindInfo info;
    if (GetFileFindInfo(full, &info) == FILEFIND_OK) {
      if (!(info.flags & FILEINFO_DIRECTORY)) {
        // One file: its folder is read, its name is the only pattern.
        const char* name = full;
        for (const char* p = full; *p; ++p) {
          if (IsSeparator(*p)) name = p + 1;
        }
        keepPatterns(name, std::strlen(name));
        length = static_cast<int>(name - full);
        full[length] = 0;
        openFlagsDropped |= BROWSE_COLLECT_FOLDERS;
        if (!(flags & BROWSE_FOLDERS)) openFlagsAdded |= BROWSE_SEARCH_PATTERN;
      }
    } else if (!server) {
      return false;
    } else if (!(flags & BROWSE_SHELL)) {
      // A server path the attribute query does not know may still list.
      char probe[kPathMax + 2];
      std::memcpy(probe, full, static_cast<size_t>(length));
      probe[length] = sep;
      probe[length + 1] = '*';
      probe[length + 2] = 0;
      if (length + 2 >= kPathMax) return false;
      int error = 0;
      HANDLE h = FindFirstFileInfo(probe, &info, &error);
      if (!h && error != FILEFIND_NOT_FOUND) return false;
      if (h) FindCloseInfo(h);
    }
  }
  if (length == 0 || !IsSeparator(full[length - 1])) {
    if (length + 1 >= kPathMax) return false;
    full[length++] = sep;
    full[length] = 0;
  }
  SetPath(full, length);
  openFolder = FindOrAddFolder(full, length, BROWSE_FOLDER_FILES);
  return true;
}

void CFileBrowser::SetPath(const char* text, int length) {
  delete[] path;
  path = new char[static_cast<size_t>(length) + 1];
  std::memcpy(path, text, static_cast<size_t>(length));
  path[length] = 0;
}

int CFileBrowser::FindOrAddFolder(const char* text, int length, DWORD kind) {
  int f = folders.Find(length, text, 0, -1, TEXTLIST_FIND_FASTNOCASE);
  if (f >= 0) {
    // Listed again: read it again.
    FolderEntry entry = LoadFolder(f);
    entry.read = 0;
    StoreFolder(f, entry);
    if (f < nextFolder) nextFolder = f;
    return f;
  }
  return AddFolder(text, length, nullptr, kind);
}

// A server path with shell access: the network root, a server's shares, or
// a folder below a share.
int CFileBrowser::OpenNetworkPath(const char* folder) {
  if (IsNetworkRoot(folder)) return AddNetworkFolder(folder);
  if (ServerPathParts(folder) == 1) {
    const char* p = folder;
    while (IsSeparator(*p)) ++p;
    ShareEnum* shares = OpenShareEnum(folder);
    if (shares) {
      CloseShareEnum(shares);
      char text[kPathMax];
      size_t n = std::strlen(p);
      while (n > 0 && IsSeparator(p[n - 1])) --n;
      if (n + 4 > sizeof text) return -1;
      text[0] = text[1] = '\\';
      std::memcpy(text + 2, p, n);
      text[n + 2] = '\\';
      text[n + 3] = 0;
      return FindOrAddFolder(text, static_cast<int>(n + 3), BROWSE_FOLDER_SHARES);
    }
  }
  return AddNetworkFolder(folder);
}

int CFileBrowser::AddPath(const char* itemPath, int index, DWORD flags) {
  if (!itemPath || std::strchr(itemPath, '*')) return -1;
  char full[kPathMax];
  if (!MakeFull(itemPath, full, kPathMax)) return -1;
  int length = static_cast<int>(std::strlen(full));
  FileFindInfo info{};
  bool drive = length >= 2 && full[1] == ':' && (length == 2 || (length == 3 && IsSeparator(full[2])));
  if (drive) {
    if (flags & BROWSE_ADD_NO_FOLDERS) return -1;
    length = 2;
    full[2] = 0;
  } else {
    if (GetFileFindInfo(full, &info) != FILEFIND_OK) return -1;
    bool directory = (info.flags & FILEINFO_DIRECTORY) != 0;
    if (directory && (flags & BROWSE_ADD_NO_FOLDERS)) return -1;
    if (!directory && (flags & BROWSE_ADD_NO_FILES)) return -1;
    while (length > 1 && IsSeparator(full[length - 1])) full[--length] = 0;
  }
  // The folder part ends at the last separator; a drive or a host root is a
  // name of its own in the empty folder.
  int nameStart = 0;
  if (!drive) {
    for (int i = 0; i < length; ++i) {
      if (IsSeparator(full[i])) nameStart = i + 1;
    }
    if (nameStart == length) nameStart = 0;
  }
  int f = folders.Find(nameStart, full, 0, -1, TEXTLIST_FIND_FASTNOCASE);
  if (f < 0) {
    f = AddFolder(full, nameStart, nullptr, BROWSE_FOLDER_FILES);
    FolderEntry entry = LoadFolder(f);
    entry.read = 1;  // known from its items, not to be listed
    StoreFolder(f, entry);
  }
  const char* name = full + nameStart;
  int nameLength = length - nameStart;
  if ((flags & BROWSE_ADD_UNIQUE) && FindItem(name, f, nameLength) >= 0) return -1;
  BrowserItem rec = RecordFromInfo(info, f);
  if (drive) rec.flags = BROWSE_ITEM_DRIVE | BROWSE_ITEM_DIRECTORY;
  Notify(index, static_cast<int>(items.count), notifyFlags[2]);
  int at = InsertItem(name, static_cast<DWORD>(nameLength), rec, index);
  Notify(at, at >= 0 ? 1 : 0, notifyFlags[3]);
  return at;
}

const char* CFileBrowser::BuildPath(int folder, const char* name, DWORD nameLength, int mode) {
  if (mode == 0) return name;
  const char* dir = GetFolderPath(folder);
  int dirLength = dir ? static_cast<int>(folders.LengthAt(static_cast<uint32_t>(folder))) : 0;
  if (mode == 2 && dir && openFolder >= 0 && static_cast<uint32_t>(openFolder) < folders.count &&
      folder != openFolder) {
    // Below the opened folder: only the part behind it.
    const char* top = folders.TextAt(static_cast<uint32_t>(openFolder));
    int topLength = static_cast<int>(folders.LengthAt(static_cast<uint32_t>(openFolder)));
    if (topLength <= dirLength && StrCompareNoCaseN(dir, top, topLength) == 0) {
      dir += topLength;
      dirLength -= topLength;
    }
  } else if (mode == 2 && folder == openFolder) {
    dirLength = 0;
  }
  int need = dirLength + static_cast<int>(nameLength) + 1;
  if (need > bufferSize) {
    int grown = bufferSize + bufferSize / 2 + 64;
    if (grown < need) grown = need;
    delete[] buffer;
    buffer = new char[static_cast<size_t>(grown)];
    bufferSize = grown;
  }
  if (dirLength) std::memcpy(buffer, dir, static_cast<size_t>(dirLength));
  std::memcpy(buffer + dirLength, name, nameLength);
  buffer[dirLength + static_cast<int>(nameLength)] = 0;
  return buffer;
}

const char* CFileBrowser::GetNextItem(int mode, DWORD* length) {
  if (length) *length = 0;
  if (!path) return nullptr;
  // A list kept sorted changes order while it fills, so it is read whole
  // before its first item is handed out.
  bool whole = (listFlags & BROWSE_KEEP_SORTED) != 0;
  while (static_cast<uint32_t>(nextItem) >= items.count || (whole && !finished)) {
    if (finished) {
      if (static_cast<uint32_t>(nextItem) < items.count) break;
      return nullptr;
    }
    ReadMore(whole);
  }
  int i = nextItem++;
  DWORD n = items.LengthAt(static_cast<uint32_t>(i));
  const char* name = items.TextAt(static_cast<uint32_t>(i));
  const char* out = BuildPath(LoadRecord(i).folder, name, n, mode);
  if (length) *length = static_cast<DWORD>(std::strlen(out));
  return out;
}
