// Reading folders of the file system into the browser's lists, in batches
// for the listing iterator or whole.
#include <climits>
#include <cstring>

#include "files/filebrowser.h"
#include "files/filebrowser_impl.h"
#include "files/filefind.h"
#include "toolkit/wildcard.h"

using namespace filebrowser_detail;

namespace {

// Items one step of the iterator reads at most before handing out the first.
constexpr int kBatchItems = 256;

constexpr DWORD kPatternMatch = MATCH_NOCASE | MATCH_STARDOTSTAR;

bool MatchesAny(const CTextList& patterns, const char* name, int length) {
  for (uint32_t i = 0; i < patterns.count; ++i) {
    if (MatchFilePattern(patterns.TextAt(i), static_cast<int>(patterns.LengthAt(i)), name, length,
                         kPatternMatch) == 0) {
      return true;
    }
  }
  return false;
}

}  // namespace

BrowserItem CFileBrowser::RecordFromInfo(const FileFindInfo& info, int folder) const {
  BrowserItem rec{};
  // The size's high word leaves the flag word: its bits there would read as
  // the drive and network flags.
  rec.flags = info.flags & ((1u << FILEINFO_SIZE_HIGH_SHIFT) - 1);
  rec.sizeHigh = info.flags >> FILEINFO_SIZE_HIGH_SHIFT;
  rec.size = info.size;
  rec.created = info.created;
  rec.accessed = info.accessed;
  rec.modified = info.modified;
  rec.extension = -1;
  rec.typeIndex = -1;
  rec.folder = folder;
  return rec;
}

int CFileBrowser::AddItem(const char* name, int folder, const FileFindInfo& info, int index) {
  if (!name) return -1;
  BrowserItem rec = RecordFromInfo(info, folder);
  Notify(index, static_cast<int>(items.count), notifyFlags[2]);
  int at = InsertItem(name, static_cast<DWORD>(std::strlen(name)), rec, index);
  Notify(at, at >= 0 ? 1 : 0, notifyFlags[3]);
  return at;
}

bool CFileBrowser::Accepts(const char* name, int length, bool isFolder) const {
  if (MatchesAny(excludes, name, length)) return false;
  return isFolder || includes.count == 0 || MatchesAny(includes, name, length);
}

// One found entry of folder `folder`: collected, listed or passed over.
// True when it became an item.
bool CFileBrowser::TakeFound(const FileFindInfo& info, int folder) {
  const char* name = info.name;
  int length = static_cast<int>(strnlen(name, sizeof info.name));
  if (length == 0 || (name[0] == '.' && (length == 1 || (length == 2 && name[1] == '.')))) {
    return false;
  }
  bool isFolder = (info.flags & FILEINFO_DIRECTORY) != 0;
  if (!Accepts(name, length, isFolder)) return false;
  if (isFolder && (listFlags & BROWSE_COLLECT_FOLDERS)) {
    const char* dir = folders.TextAt(static_cast<uint32_t>(folder));
    int dirLength = static_cast<int>(folders.LengthAt(static_cast<uint32_t>(folder)));
    char* sub = new char[static_cast<size_t>(dirLength + length) + 2];
    std::memcpy(sub, dir, static_cast<size_t>(dirLength));
    std::memcpy(sub + dirLength, name, static_cast<size_t>(length));
    sub[dirLength + length] = SeparatorOf(dir);
    sub[dirLength + length + 1] = 0;
    int subLength = dirLength + length + 1;
    if (!(listFlags & BROWSE_KEEP_ITEMS) || folders.Find(subLength, sub, 0, -1, TEXTLIST_FIND_FASTNOCASE) < 0) {
      AddFolder(sub, subLength, nullptr, BROWSE_FOLDER_FILES);
    }
    delete[] sub;
  }
  if (!(listFlags & (isFolder ? BROWSE_FOLDERS : BROWSE_FILES))) return false;
  if ((listFlags & BROWSE_KEEP_ITEMS) && FindItem(name, folder, length) >= 0) return false;
  return InsertItem(name, static_cast<DWORD>(length), RecordFromInfo(info, folder), -1) >= 0;
}

// Starts reading folder f: a file-system folder gets its search opened and
// its first entry taken; a shell folder or a server's shares are read whole.
// The items added.
int CFileBrowser::StartFolder(int f) {
  FolderEntry entry = LoadFolder(f);
  entry.read = 1;
  StoreFolder(f, entry);
  if (entry.kind == BROWSE_FOLDER_SHELL) return ReadShellFolder(f);
  if (entry.kind == BROWSE_FOLDER_SHARES) return ReadShares(f);
  if (entry.kind != BROWSE_FOLDER_FILES) return 0;
  // With one include pattern and no folders wanted, the search itself
  // filters.
  const char* dir = folders.TextAt(static_cast<uint32_t>(f));
  size_t dirLength = folders.LengthAt(static_cast<uint32_t>(f));
  const char* pattern = "*";
  size_t patternLength = 1;
  if ((listFlags & BROWSE_SEARCH_PATTERN) && includes.count == 1) {
    pattern = includes.TextAt(0);
    patternLength = includes.LengthAt(0);
  }
  char* query = new char[dirLength + patternLength + 1];
  std::memcpy(query, dir, dirLength);
  std::memcpy(query + dirLength, pattern, patternLength + 1);
  FileFindInfo info;
  int error = 0;
  search = FindFirstFileInfo(query, &info, &error);
  delete[] query;
  if (!search) return 0;
  searchFolder = f;
  return TakeFound(info, f) ? 1 : 0;
}

// Reads on in the open search, or starts the next folder not read yet;
// stops after maxItems items or at the end of a folder. The items added.
int CFileBrowser::ReadBatch(int maxItems) {
  int added = 0;
  while (added < maxItems) {
    if (search) {
      FileFindInfo info;
      if (FindNextFileInfo(search, &info) != FILEFIND_OK) {
        CloseSearch();
        break;
      }
      if (TakeFound(info, searchFolder)) ++added;
      continue;
    }
    if (static_cast<uint32_t>(nextFolder) >= folders.count) {
      finished = true;
      break;
    }
    int f = nextFolder++;
    if (LoadFolder(f).read) continue;
    added += StartFolder(f);
    if (!search) break;
  }
  return added;
}

// One step of the iterator's reading, told to the callback.
int CFileBrowser::ReadMore(bool whole) {
  Notify(0, static_cast<int>(items.count), notifyFlags[0]);
  int added = 0;
  if (whole) {
    while (!finished) added += ReadBatch(INT_MAX);
  } else if (listFlags & BROWSE_READ_WHOLE) {
    // The folder being read is finished before its items are handed out.
    do {
      added += ReadBatch(INT_MAX);
    } while (search);
  } else {
    added = ReadBatch(kBatchItems);
  }
  Notify(0, static_cast<int>(items.count), notifyFlags[1]);
  return added;
}

int CFileBrowser::ReadFileFolder(int folder) {
  if (folder < 0 || static_cast<uint32_t>(folder) >= folders.count) return -1;
  CloseSearch();
  Notify(0, static_cast<int>(items.count), notifyFlags[0]);
  int added = StartFolder(folder);
  while (search) {
    FileFindInfo info;
    if (FindNextFileInfo(search, &info) != FILEFIND_OK) {
      CloseSearch();
      break;
    }
    if (TakeFound(info, searchFolder)) ++added;
  }
  Notify(0, static_cast<int>(items.count), notifyFlags[1]);
  return added;
}
