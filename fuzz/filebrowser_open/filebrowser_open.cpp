// The browser's Open, listing, sorting and AddPath survive any path and
// pattern text, and every item listed passes the include and exclude
// patterns that Open kept.
//
// Input: byte 0 = where the path starts (low 2 bits: a drive lent to a
// scratch folder, a pseudo folder ':', a server path, a share of a lent
// server), byte 1-2 = listing flags (shuffled onto the meaningful bits),
// byte 3 = sort mode, then path, a 0 byte, patterns, a 0 byte, excludes.
// The scratch folder holds a few files and folders; collecting folders is
// never asked, so no reading leaves it.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "files/filebrowser.h"
#include "platform/netshare.h"
#include "platform/pathsys.h"
#include "toolkit/wildcard.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// The scratch folder, made once: lent as drive F and as share \\fz\s.
void MakeScratch() {
  static bool made = false;
  if (made) return;
  made = true;
  static char name[] = "/tmp/zelvaro-fuzz-browser-XXXXXX";
  std::filesystem::path root = ::mkdtemp(name);
  std::atexit([] {
    std::error_code ec;
    std::filesystem::remove_all(name, ec);
  });
  for (const char* f : {"a.txt", "B.TXT", "c10.md", "c9.md", ".hidden", "sub/d.txt", "x y;z.q"}) {
    std::filesystem::create_directories((root / f).parent_path());
    std::ofstream(root / f) << f;
  }
  std::filesystem::create_directories(root / "empty.dir");
  SysMapDrive('F', root.c_str());
  SysRegisterShare("fz", "s", root.c_str());
}

bool Passes(const CTextList& patterns, const char* name, bool empty) {
  if (patterns.count == 0) return empty;
  for (uint32_t i = 0; i < patterns.count; ++i) {
    if (MatchFilePattern(patterns.TextAt(i), static_cast<int>(patterns.LengthAt(i)), name,
                         static_cast<int>(std::strlen(name)), MATCH_NOCASE | MATCH_STARDOTSTAR) == 0) {
      return true;
    }
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  MakeScratch();
  static const char* const kStarts[] = {"F:\\", ":", "\\\\", "\\\\fz\\s\\"};
  std::string text(reinterpret_cast<const char*>(data) + 4, size - 4);
  std::string parts[3];
  for (size_t at = 0, k = 0; k < 3; ++k) {
    size_t end = text.find('\0', at);
    parts[k] = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    if (end == std::string::npos) break;
    at = end + 1;
  }
  std::string path = kStarts[data[0] & 3] + parts[0];
  static const DWORD kFlagBits[] = {BROWSE_SEARCH_PATTERN, BROWSE_TYPE_TEXTS, BROWSE_KEEP_SORTED,
                                    BROWSE_SHELL,          BROWSE_KEEP_ITEMS, BROWSE_FOLDERS,
                                    BROWSE_FILES,          BROWSE_READ_WHOLE};
  DWORD flags = 0;
  for (int bit = 0; bit < 8; ++bit) {
    if (data[1] & (1 << bit)) flags |= kFlagBits[bit];
  }
  DWORD sortMode = (data[3] & 0x0F) | (DWORD(data[3] & 0xE0) << 8);
  CFileBrowser b;
  if (data[2] & 1) b.SetSortMode(sortMode);
  if (data[2] & 2) Check(b.SetUserDataSize(4 + data[2]));
  bool opened = b.Open(path.c_str(), parts[1].empty() ? nullptr : parts[1].c_str(),
                       parts[2].empty() ? nullptr : parts[2].c_str(), flags);
  DWORD length = 0;
  for (int n = 0; n < 64; ++n) {
    const char* item = b.GetNextItem(data[2] >> 6, &length);
    if (!item) break;
    Check(opened && std::strlen(item) == length);
  }
  // Every file item passes the includes; nothing listed is excluded.
  for (int i = 0; i < b.GetItemCount(); ++i) {
    const char* name = b.GetItemName(i);
    BrowserItem rec;
    Check(b.GetItem(i, &rec));
    Check(!Passes(b.ExcludePatterns(), name, false));
    if (!(rec.flags & BROWSE_ITEM_DIRECTORY)) Check(Passes(b.IncludePatterns(), name, true));
    b.GetItemTypeText(i);
    b.GetItemIconIndex(i, data[2] & 3);
    Check(b.GetItemExtension(i) != nullptr);
  }
  b.Sort();
  for (int i = 1; i < b.GetItemCount(); ++i) Check(b.CompareBrowserItems(i - 1, i, b.GetSortMode()) <= 0);
  int added = b.AddPath(path.c_str(), data[3] & 1 ? 0 : -1, data[3] & 0x0E);
  Check(added < b.GetItemCount());
  if (b.GetItemCount() > 0) Check(b.RemoveItem(0));
  b.ConvertCase(data[3]);
  return 0;
}
