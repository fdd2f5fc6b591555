// The browser's lists: item records, folders, list maintenance with its
// notifications, and the item accessors.
#include "files/filebrowser.h"

#include <cstring>
#include <new>

#include "files/filebrowser_impl.h"
#include "files/filebrowser_index.h"
#include "toolkit/strcase.h"
#include "toolkit/wildcard_fold.h"

using namespace filebrowser_detail;

namespace {

constexpr int kPointerData = static_cast<int>(sizeof(void*));

// A copy of text on the heap (null for none).
char* CopyText(const char* text) {
  if (!text) return nullptr;
  size_t n = std::strlen(text);
  char* copy = new char[n + 1];
  std::memcpy(copy, text, n + 1);
  return copy;
}

void* PointerAt(const CTextList& list, uint32_t i) {
  void* p;
  std::memcpy(&p, list.items[i], sizeof p);
  return p;
}

int FindPointer(const CTextList& list, const void* p) {
  for (uint32_t i = 0; i < list.count; ++i) {
    if (PointerAt(list, i) == p) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace

CFileBrowser::CFileBrowser()
    : shellItems(kPointerData),
      childEnums(kPointerData),
      folders(sizeof(FolderEntry)),
      items(4 + sizeof(BrowserItem)),
      excludes(4),
      includes(4),
      typeTexts(0),
      names(new NameIndex) {
  Open(nullptr, nullptr, nullptr, 0);
}

CFileBrowser::~CFileBrowser() {
  // The owner of the callback is usually on its way out too.
  notify = nullptr;
  Open(nullptr, nullptr, nullptr, 0);
  delete[] buffer;
}

void CFileBrowser::Notify(int index, int count, DWORD flag) const {
  if (notify) notify(notifyUser, index, count, flag);
}

void CFileBrowser::SetCallback(BrowserNotifyFunc callback, uintptr_t user, DWORD beginFlag,
                               DWORD endFlag, DWORD changeFlag, DWORD changedFlag) {
  notify = callback;
  notifyUser = user;
  notifyFlags[0] = beginFlag;
  notifyFlags[1] = endFlag;
  notifyFlags[2] = changeFlag;
  notifyFlags[3] = changedFlag;
}

bool CFileBrowser::SetUserDataSize(DWORD size) {
  if (size < 4 || size > 4100 || items.count != 0) return false;
  userDataSize = (size + 3) & ~DWORD{3};
  items.SetItemDataSize(static_cast<int>(userDataSize + sizeof(BrowserItem)));
  return true;
}

// ---- Records ------------------------------------------------------------------

BrowserItem CFileBrowser::LoadRecord(int i) const {
  BrowserItem rec;
  std::memcpy(&rec, static_cast<const char*>(items.items[i]) + userDataSize, sizeof rec);
  return rec;
}

void CFileBrowser::StoreRecord(int i, const BrowserItem& rec) {
  std::memcpy(static_cast<char*>(items.items[i]) + userDataSize, &rec, sizeof rec);
}

bool CFileBrowser::GetItem(int i, BrowserItem* out) const {
  if (i < 0 || static_cast<uint32_t>(i) >= items.count || !out) return false;
  *out = LoadRecord(i);
  return true;
}

void* CFileBrowser::GetItemUserData(int i) const {
  if (i < 0 || static_cast<uint32_t>(i) >= items.count) return nullptr;
  return items.items[i];
}

void CFileBrowser::FreeRecord(int i) {
  BrowserItem rec = LoadRecord(i);
  delete[] rec.secondText;
  if (rec.shellItem) {
    int k = FindPointer(shellItems, rec.shellItem);
    if (k >= 0) shellItems.RemoveAt(static_cast<uint32_t>(k));
    DeleteShellItem(rec.shellItem);
  }
  rec.secondText = nullptr;
  rec.shellItem = nullptr;
  StoreRecord(i, rec);
}

void CFileBrowser::FreeAllItems() {
  for (uint32_t i = 0; i < items.count; ++i) FreeRecord(static_cast<int>(i));
  items.RemoveAll();
  names->Reset();
  // Shell items not (or no longer) held by an item.
  for (uint32_t i = 0; i < shellItems.count; ++i) {
    DeleteShellItem(static_cast<CShellItem*>(PointerAt(shellItems, i)));
  }
  shellItems.RemoveAll();
  nextItem = 0;
}

void CFileBrowser::ClearFolders() {
  CloseSearch();
  folders.RemoveAll();
  // Children before the parents they were opened from.
  for (uint32_t i = childEnums.count; i-- > 0;) {
    DeleteShellEnum(static_cast<CShellItemEnum*>(PointerAt(childEnums, i)));
  }
  childEnums.RemoveAll();
  nextFolder = 0;
  // The opened folder went with the list; paths below it mean nothing now.
  openFolder = -1;
  finished = false;
}

int CFileBrowser::AddFolder(const char* text, int length, CShellItemEnum* shellEnum, DWORD kind) {
  FolderEntry entry{shellEnum, kind, 0};
  if (shellEnum) childEnums.Insert(0, nullptr, -1, &shellEnum);
  return folders.Insert(length, text, -1, &entry);
}

CFileBrowser::FolderEntry CFileBrowser::LoadFolder(int f) const {
  FolderEntry entry;
  std::memcpy(&entry, folders.items[f], sizeof entry);
  return entry;
}

void CFileBrowser::StoreFolder(int f, const FolderEntry& entry) {
  std::memcpy(folders.items[f], &entry, sizeof entry);
}

const char* CFileBrowser::GetFolderPath(int folder) const {
  if (folder < 0 || static_cast<uint32_t>(folder) >= folders.count) return nullptr;
  return folders.TextAt(static_cast<uint32_t>(folder));
}

// ---- Inserting and removing ------------------------------------------------------

int CFileBrowser::InsertItem(const char* name, DWORD nameLength, const BrowserItem& rec, int index) {
  char* data = new char[items.itemDataSize];
  std::memset(data, 0, userDataSize);
  std::memcpy(data + userDataSize, &rec, sizeof rec);
  int at = items.Insert(static_cast<int>(nameLength), name, index, data);
  delete[] data;
  if (at >= 0 && (listFlags & BROWSE_KEEP_SORTED)) at = SortedPosition(at);
  if (at >= 0) {
    names->Added(NameIndex::KeyOf(name, nameLength, rec.folder), uint32_t(at),
                 uint32_t(at) + 1 == items.count);
  }
  if (at >= 0 && at < nextItem) ++nextItem;
  return at;
}

int CFileBrowser::AddItem(const char* name, int folder, DWORD attributes, uint64_t size,
                          DWORD created, DWORD accessed, DWORD modified, int index) {
  if (!name) return -1;
  BrowserItem rec{};
  rec.flags = attributes;
  rec.size = static_cast<DWORD>(size);
  rec.sizeHigh = static_cast<DWORD>(size >> 32);
  rec.created = created;
  rec.accessed = accessed;
  rec.modified = modified;
  rec.extension = -1;
  rec.typeIndex = -1;
  rec.folder = folder;
  int count = static_cast<int>(items.count);
  Notify(index, count, notifyFlags[2]);
  int at = InsertItem(name, static_cast<DWORD>(std::strlen(name)), rec, index);
  Notify(at, at >= 0 ? 1 : 0, notifyFlags[3]);
  return at;
}

bool CFileBrowser::SetItemText(int i, const char* name) {
  if (i < 0 || static_cast<uint32_t>(i) >= items.count || !name) return false;
  Notify(i, static_cast<int>(items.count), notifyFlags[2]);
  items.SetAt(-1, name, i, nullptr);
  names->Drop();
  BrowserItem rec = LoadRecord(i);
  rec.extension = -1;
  rec.typeIndex = -1;
  StoreRecord(i, rec);
  Notify(i, 1, notifyFlags[3]);
  return true;
}

bool CFileBrowser::SetItemSecondText(int i, const char* text) {
  if (i < 0 || static_cast<uint32_t>(i) >= items.count) return false;
  BrowserItem rec = LoadRecord(i);
  delete[] rec.secondText;
  rec.secondText = CopyText(text);
  StoreRecord(i, rec);
  return true;
}

bool CFileBrowser::RemoveItem(int i) {
  int count = static_cast<int>(items.count);
  Notify(i, count, notifyFlags[2]);
  bool ok = i >= 0 && i < count;
  if (ok) {
    FreeRecord(i);
    names->Removing(ItemKey(uint32_t(i)), i + 1 == count);
    items.RemoveAt(static_cast<uint32_t>(i));
    if (i < nextItem) --nextItem;
    if (items.count == 0) {
      ClearFolders();
      nextItem = 0;
    }
  }
  Notify(i, ok ? 1 : 0, notifyFlags[3]);
  return ok;
}

void CFileBrowser::RemoveAllItems() {
  Notify(0, static_cast<int>(items.count), notifyFlags[2]);
  FreeAllItems();
  ClearFolders();
  Notify(0, 1, notifyFlags[3]);
}

void CFileBrowser::ConvertCase(DWORD flags) {
  DWORD caseFlags = flags & ~BROWSE_CASE_FOLDERS;
  names->Drop();
  // Case changes keep every text's length, so the texts change in place.
  for (uint32_t i = 0; i < items.count; ++i) {
    char* text = const_cast<char*>(items.TextAt(i));
    StrCaseConvert(text, text, caseFlags);
  }
  if (!(flags & BROWSE_CASE_FOLDERS)) return;
  for (uint32_t i = 0; i < folders.count; ++i) {
    char* text = const_cast<char*>(folders.TextAt(i));
    StrCaseConvert(text, text, caseFlags);
  }
  if (path) StrCaseConvert(path, path, caseFlags);
}

// ---- Accessors ------------------------------------------------------------------

DWORD CFileBrowser::GetItemNameLength(int i) const {
  if (i < 0 || static_cast<uint32_t>(i) >= items.count) return 0;
  return items.LengthAt(static_cast<uint32_t>(i));
}

const char* CFileBrowser::GetItemName(int i, bool withFolder) {
  if (i < 0 || static_cast<uint32_t>(i) >= items.count) return nullptr;
  const char* name = items.TextAt(static_cast<uint32_t>(i));
  if (!withFolder) return name;
  return BuildPath(LoadRecord(i).folder, name, items.LengthAt(static_cast<uint32_t>(i)), 1);
}

const char* CFileBrowser::GetItemExtension(int i) {
  if (i < 0 || static_cast<uint32_t>(i) >= items.count) return nullptr;
  BrowserItem rec = LoadRecord(i);
  const char* name = items.TextAt(static_cast<uint32_t>(i));
  if (rec.extension < 0) {
    rec.extension = ExtensionOffset(name, static_cast<int>(items.LengthAt(static_cast<uint32_t>(i))));
    StoreRecord(i, rec);
  }
  return name + rec.extension;
}

int64_t CFileBrowser::GetItemSize(int i) const {
  if (i < 0 || static_cast<uint32_t>(i) >= items.count) return -1;
  BrowserItem rec = LoadRecord(i);
  return static_cast<int64_t>((uint64_t{rec.sizeHigh} << 32) | rec.size);
}

int64_t CFileBrowser::GetItemTime(int i, int kind) const {
  if (i < 0 || static_cast<uint32_t>(i) >= items.count) return -1;
  BrowserItem rec = LoadRecord(i);
  DWORD first = kind == 1 ? rec.created : kind == 2 ? rec.accessed : rec.modified;
  const DWORD order[4] = {first, rec.modified, rec.created, rec.accessed};
  for (DWORD t : order) {
    if (t != 0 && t != kNoTime) return t;
  }
  return first == kNoTime ? -1 : int64_t{first};
}

uint64_t CFileBrowser::GetTotalSize() const {
  uint64_t total = 0;
  for (uint32_t i = 0; i < items.count; ++i) {
    BrowserItem rec = LoadRecord(static_cast<int>(i));
    if (rec.flags & (BROWSE_ITEM_NETWORK | BROWSE_ITEM_DIRECTORY)) continue;
    total += (uint64_t{rec.sizeHigh} << 32) | rec.size;
  }
  return total;
}

bool CFileBrowser::ItemIs(uint32_t i, const char* name, uint32_t length, int folder) const {
  return items.LengthAt(i) == length && LoadRecord(static_cast<int>(i)).folder == folder &&
         StrCompareNoCaseN(items.TextAt(i), name, static_cast<int>(length)) == 0;
}

uint64_t CFileBrowser::ItemKey(uint32_t i) const {
  return NameIndex::KeyOf(items.TextAt(i), items.LengthAt(i), LoadRecord(static_cast<int>(i)).folder);
}

void CFileBrowser::RebuildNames() const {
  names->Reset();
  for (uint32_t i = 0; i < items.count; ++i) names->Added(ItemKey(i), i, true);
}

int CFileBrowser::FindItem(const char* name, int folder, int nameLength) const {
  if (!name) return -1;
  if (nameLength < 0) nameLength = static_cast<int>(std::strlen(name));
  const uint32_t n = static_cast<uint32_t>(nameLength);
  if (!names->Built()) RebuildNames();
  const uint64_t key = NameIndex::KeyOf(name, n, folder);
  int64_t first = names->First(key);
  if (first == -2) return -1;
  if (first == -1) {
    RebuildNames();
    first = names->First(key);
  }
  // Every item of the key lies at or behind its first; another name of the
  // same key may stand between.
  for (uint32_t i = static_cast<uint32_t>(first); i < items.count; ++i) {
    if (ItemIs(i, name, n, folder)) return static_cast<int>(i);
  }
  return -1;
}
