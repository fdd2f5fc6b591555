// Folders of the shell namespace and of the network: shell folders walked
// with their enumerators, server paths resolved through the network folder,
// and a server's shares listed as items.
#include <cstring>
#include <vector>

#include "files/filebrowser.h"
#include "files/filebrowser_impl.h"
#include "files/filefind.h"
#include "files/shares.h"
#include "files/shellitem.h"
#include "toolkit/wildcard_fold.h"

using namespace filebrowser_detail;

namespace {

// Nested enumerators a network path may pass through.
constexpr int kMaxNetworkLevels = 6;
// Longest network path AddNetworkFolder takes.
constexpr size_t kNetworkPathMax = 504;


// The parts of a server path behind its leading separators; the network
// folder's own name is passed over as the first part.
std::vector<std::string> NetworkParts(const char* path) {
  std::vector<std::string> parts;
  const char* p = path;
  while (*p) {
    while (IsSeparator(*p)) ++p;
    const char* start = p;
    while (*p && !IsSeparator(*p)) ++p;
    if (p > start) parts.emplace_back(start, p);
  }
  if (!parts.empty() && StrCompareNoCase(parts[0].c_str(), kNetworkName) == 0) {
    parts.erase(parts.begin());
  }
  return parts;
}

}  // namespace

namespace filebrowser_detail {

void DeleteShellItem(CShellItem* item) { delete item; }
void DeleteShellEnum(CShellItemEnum* shellEnum) { delete shellEnum; }

}  // namespace filebrowser_detail

int CFileBrowser::AddShellFolder(CShellItemEnum* shellEnum, const char* text, int length) {
  int f = folders.Find(length, text, 0, -1, TEXTLIST_FIND_FASTNOCASE);
  if (f < 0) return AddFolder(text, length, shellEnum, BROWSE_FOLDER_SHELL);
  // Listed before: read again through the fresh enumerator.
  childEnums.Insert(0, nullptr, -1, &shellEnum);
  FolderEntry entry = LoadFolder(f);
  entry.shellEnum = shellEnum;
  entry.kind = BROWSE_FOLDER_SHELL;
  entry.read = 0;
  StoreFolder(f, entry);
  if (f < nextFolder) nextFolder = f;
  return f;
}

int CFileBrowser::ReadShellFolder(int folder) {
  Notify(0, static_cast<int>(items.count), notifyFlags[0]);
  int added = ReadShellItems(folder);
  Notify(0, static_cast<int>(items.count), notifyFlags[1]);
  return added;
}

int CFileBrowser::ReadShellItems(int folder) {
  if (folder < 0 || static_cast<uint32_t>(folder) >= folders.count) return -1;
  FolderEntry entry = LoadFolder(folder);
  if (entry.kind != BROWSE_FOLDER_SHELL || !entry.shellEnum) return -1;
  entry.read = 1;
  StoreFolder(folder, entry);
  CShellItemEnum* walk = entry.shellEnum;
  std::string dir(folders.TextAt(static_cast<uint32_t>(folder)),
                  folders.LengthAt(static_cast<uint32_t>(folder)));
  int added = 0;
  char name[SHELLITEM_NAME_SIZE];
  char text[SHELLITEM_PATH_SIZE];
  while (walk->Next()) {
    if (!walk->GetDisplayName(name)) continue;
    int length = static_cast<int>(std::strlen(name));
    DWORD attributes = walk->Attributes();
    bool isFolder = (attributes & SHELLITEM_FOLDER) != 0;
    if (length == 0 || !Accepts(name, length, isFolder)) continue;
    if (isFolder && (listFlags & BROWSE_COLLECT_FOLDERS)) {
      auto* child = new CShellItemEnum(*walk);
      if (child->IsOpen()) {
        std::string sub;
        if ((attributes & SHELLITEM_FILESYSTEM) && walk->GetPath(text)) {
          sub = text;
          if (sub.empty() || !IsSeparator(sub.back())) sub += SeparatorOf(text);
        } else {
          sub = dir + name + '\\';
        }
        AddShellFolder(child, sub.c_str(), static_cast<int>(sub.size()));
      } else {
        delete child;
      }
    }
    if (!(listFlags & (isFolder ? BROWSE_FOLDERS : BROWSE_FILES))) continue;
    if ((listFlags & BROWSE_KEEP_ITEMS) && FindItem(name, folder, length) >= 0) continue;

    BrowserItem rec{};
    rec.flags = FILEINFO_EXISTS;
    FileFindInfo info;
    if ((attributes & SHELLITEM_FILESYSTEM) && walk->GetPath(text) &&
        GetFileFindInfo(text, &info) == FILEFIND_OK) {
      rec = RecordFromInfo(info, folder);
    } else {
      if (!(attributes & SYS_SFGAO_READONLY)) rec.flags |= FILEINFO_WRITABLE;
      if (attributes & SYS_SFGAO_HIDDEN) rec.flags |= FILEINFO_HIDDEN;
      rec.extension = -1;
      rec.typeIndex = -1;
      rec.folder = folder;
    }
    rec.flags = (rec.flags & ~FILEINFO_DIRECTORY) | (isFolder ? FILEINFO_DIRECTORY : 0);
    auto* kept = new CShellItem;
    if (!kept->Assign(*walk)) {
      delete kept;
      continue;
    }
    rec.shellItem = kept;
    shellItems.Insert(0, nullptr, -1, &kept);
    if ((attributes & SHELLITEM_LINK) && walk->GetLinkTarget(text) && text[0]) {
      rec.secondText = new char[std::strlen(text) + 1];
      std::strcpy(rec.secondText, text);
    }
    if ((listFlags & BROWSE_TYPE_TEXTS) && kept->GetTypeName(text)) {
      rec.typeIndex = InternType(text, static_cast<int>(std::strlen(text)));
    }
    if (InsertItem(name, static_cast<DWORD>(length), rec, -1) >= 0) ++added;
  }
  return added;
}

int CFileBrowser::ReadShares(int folder) {
  const char* dir = folders.TextAt(static_cast<uint32_t>(folder));
  std::string base(dir, folders.LengthAt(static_cast<uint32_t>(folder)));
  ShareEnum* shares = OpenShareEnum(base.c_str());
  if (!shares) return 0;
  int added = 0;
  char name[SHELLITEM_PATH_SIZE];
  for (;;) {
    int n = NextShareName(shares, name, sizeof name);
    if (n == 0) break;
    if (n < 0) continue;
    int length = static_cast<int>(std::strlen(name));
    if (!Accepts(name, length, true)) continue;
    if (listFlags & BROWSE_COLLECT_FOLDERS) {
      std::string sub = base + name + '\\';
      if (folders.Find(static_cast<int>(sub.size()), sub.c_str(), 0, -1, TEXTLIST_FIND_FASTNOCASE) < 0) {
        AddFolder(sub.c_str(), static_cast<int>(sub.size()), nullptr, BROWSE_FOLDER_FILES);
      }
    }
    if (!(listFlags & BROWSE_FOLDERS)) continue;
    if ((listFlags & BROWSE_KEEP_ITEMS) && FindItem(name, folder, length) >= 0) continue;
    BrowserItem rec{};
    rec.flags = BROWSE_ITEM_NETWORK | BROWSE_ITEM_DIRECTORY;
    rec.extension = -1;
    rec.typeIndex = -1;
    rec.folder = folder;
    int at = InsertItem(name, static_cast<DWORD>(length), rec, -1);
    if (at >= 0) {
      ++added;
      Notify(at, 1, notifyFlags[3]);
    }
  }
  CloseShareEnum(shares);
  return added;
}

int CFileBrowser::AddNetworkFolder(const char* networkPath) {
  if (!networkPath || std::strlen(networkPath) > kNetworkPathMax) return -1;
  std::vector<std::string> parts = NetworkParts(networkPath);

  // A path the file system knows is a file-system folder.
  if (parts.size() >= 2) {
    std::string fs = "\\\\";
    for (size_t i = 0; i < parts.size(); ++i) fs += parts[i] + '\\';
    FileFindInfo info;
    if (GetFileFindInfo(fs.c_str(), &info) == FILEFIND_OK && (info.flags & FILEINFO_DIRECTORY)) {
      return FindOrAddFolder(fs.c_str(), static_cast<int>(fs.size()), BROWSE_FOLDER_FILES);
    }
  }

  // Else the network folder is walked down, one part per level.
  std::vector<CShellItemEnum*> chain;
  auto dropChain = [&chain]() {
    while (!chain.empty()) {
      delete chain.back();
      chain.pop_back();
    }
  };
  chain.push_back(new CShellItemEnum(SYS_CSIDL_NETWORK));
  if (!chain.back()->IsOpen() || parts.size() > static_cast<size_t>(kMaxNetworkLevels)) {
    dropChain();
    return -1;
  }
  std::string text = "\\\\";
  char name[SHELLITEM_NAME_SIZE];
  char target[SHELLITEM_PATH_SIZE];
  for (size_t level = 0; level < parts.size(); ++level) {
    CShellItemEnum* walk = chain.back();
    bool found = false;
    while (walk->Next()) {
      if (!walk->GetDisplayName(name) || StrCompareNoCase(name, parts[level].c_str()) != 0) continue;
      DWORD attributes = walk->Attributes();
      bool link = (attributes & SHELLITEM_LINK) && walk->GetLinkTarget(target) && target[0];
      bool fsPath = !link && (attributes & SHELLITEM_FILESYSTEM) && walk->GetPath(target);
      if (link || fsPath) {
        // The rest of the path lies in the file system.
        std::string fs = target;
        char sep = SeparatorOf(target);
        if (fs.empty() || !IsSeparator(fs.back())) fs += sep;
        for (size_t k = level + 1; k < parts.size(); ++k) fs += parts[k] + sep;
        dropChain();
        FileFindInfo info;
        if (GetFileFindInfo(fs.c_str(), &info) != FILEFIND_OK || !(info.flags & FILEINFO_DIRECTORY)) {
          return -1;
        }
        return FindOrAddFolder(fs.c_str(), static_cast<int>(fs.size()), BROWSE_FOLDER_FILES);
      }
      if (!(attributes & SHELLITEM_FOLDER)) break;
      auto* child = new CShellItemEnum(*walk);
      chain.push_back(child);
      if (!child->IsOpen()) break;
      text += name;
      text += '\\';
      found = true;
      break;
    }
    if (!found) {
      dropChain();
      return -1;
    }
  }
  // The enumerators of the way down stay alive for the last one.
  for (size_t k = 0; k + 1 < chain.size(); ++k) childEnums.Insert(0, nullptr, -1, &chain[k]);
  return AddShellFolder(chain.back(), text.c_str(), static_cast<int>(text.size()));
}
