// The order of the browser's items: folders first (drives, then network
// items), then one of nine keys, names breaking ties; and keeping the item
// list in that order while items arrive.
#include <cstring>

#include "files/filebrowser.h"
#include "files/filebrowser_impl.h"
#include "files/filebrowser_index.h"
#include "toolkit/natcompare.h"
#include "toolkit/wildcard_fold.h"

using namespace filebrowser_detail;

namespace {

template <class T>
int Order(T a, T b) {
  return (a > b) - (a < b);
}

int CompareTexts(const char* a, const char* b) {
  return StrCompareNoCase(a ? a : "", b ? b : "");
}

// The folders-first rule: folders before files; among folders drive roots
// first, then network items, and of two network items the one with 0x40.
// 0 when the rule does not decide.
int FolderRank(DWORD a, DWORD b) {
  bool fa = IsFolderFlags(a), fb = IsFolderFlags(b);
  if (fa != fb) return fa ? -1 : 1;
  if (!fa) return 0;
  static constexpr DWORD kRankBits[] = {BROWSE_ITEM_DRIVE, BROWSE_ITEM_NETWORK};
  for (DWORD bit : kRankBits) {
    if ((a ^ b) & bit) return (a & bit) ? -1 : 1;
  }
  if ((a & b & BROWSE_ITEM_NETWORK) && ((a ^ b) & 0x40)) return (a & 0x40) ? -1 : 1;
  return 0;
}

}  // namespace

void CFileBrowser::SetSortMode(DWORD mode) {
  sortMode = mode;
  sortSet = true;
}

int CFileBrowser::CompareBlocks(void* a, void* b, DWORD mode) {
  if (a == b) return 0;
  BrowserItem ra, rb;
  std::memcpy(&ra, static_cast<char*>(a) + userDataSize, sizeof ra);
  std::memcpy(&rb, static_cast<char*>(b) + userDataSize, sizeof rb);
  if (!(mode & BROWSE_SORT_NO_FOLDERS_FIRST)) {
    int r = FolderRank(ra.flags, rb.flags);
    if (r != 0) return r;
  }
  const char* na = static_cast<char*>(a) + items.itemDataSize;
  const char* nb = static_cast<char*>(b) + items.itemDataSize;
  DWORD key = mode & 0xFF;
  int r = 0;
  switch (key) {
    case BROWSE_SORT_TYPE: {
      const char* ta = TypeTextOf(a);
      r = CompareTexts(ta, TypeTextOf(b));
      break;
    }
    case BROWSE_SORT_CREATED: r = Order(ra.created, rb.created); break;
    case BROWSE_SORT_ACCESSED: r = Order(ra.accessed, rb.accessed); break;
    case BROWSE_SORT_MODIFIED: r = Order(ra.modified, rb.modified); break;
    case BROWSE_SORT_SIZE:
      r = Order((uint64_t{ra.sizeHigh} << 32) | ra.size, (uint64_t{rb.sizeHigh} << 32) | rb.size);
      break;
    case BROWSE_SORT_SECOND_TEXT: r = CompareTexts(ra.secondText, rb.secondText); break;
    case BROWSE_SORT_EXTENSION: {
      int la = static_cast<int>(std::strlen(na)), lb = static_cast<int>(std::strlen(nb));
      r = CompareTexts(na + ExtensionOffset(na, la), nb + ExtensionOffset(nb, lb));
      break;
    }
    case BROWSE_SORT_FLAGS: r = Order(ra.flags & 0x1FF, rb.flags & 0x1FF); break;
    case BROWSE_SORT_USER_WORD: {
      uint32_t ua, ub;
      std::memcpy(&ua, a, 4);
      std::memcpy(&ub, b, 4);
      r = Order(ua, ub);
      break;
    }
    default: break;
  }
  if (r == 0) {
    r = (mode & BROWSE_SORT_NATURAL) ? StrCompareNaturalNoCase(na, nb) : StrCompareNoCase(na, nb);
    if (r == 0 && key != BROWSE_SORT_SECOND_TEXT) r = CompareTexts(ra.secondText, rb.secondText);
  }
  r = Order(r, 0);
  return (mode & BROWSE_SORT_DESCENDING) ? -r : r;
}

int CFileBrowser::CompareBlocksCallback(uintptr_t self, void* a, void* b) {
  CFileBrowser* browser = reinterpret_cast<CFileBrowser*>(self);
  return browser->CompareBlocks(a, b, browser->sortMode);
}

int CFileBrowser::CompareBrowserItems(int a, int b, DWORD mode) {
  if (a < 0 || b < 0 || static_cast<uint32_t>(a) >= items.count ||
      static_cast<uint32_t>(b) >= items.count) {
    return 0;
  }
  return CompareBlocks(items.items[a], items.items[b], mode);
}

void CFileBrowser::Sort() {
  int count = static_cast<int>(items.count);
  if (count > 1) {
    Notify(0, count, notifyFlags[0]);
    items.SortByKeyCallback(&CompareBlocksCallback, reinterpret_cast<uintptr_t>(this), 0, 0, -1, false);
    names->Moved();
    Notify(0, count, notifyFlags[1]);
  }
  // The list is in order now, so it can be kept in order.
  sortSet = true;
}

// Moves the item at newItem (placed anywhere) to its place among the others,
// which are in order; behind its equals. Returns its index.
int CFileBrowser::SortedPosition(int newItem) {
  void* block = items.items[newItem];
  int n = static_cast<int>(items.count);
  int lo = 0, hi = n - 1;  // over the n - 1 other items
  while (lo < hi) {
    int mid = lo + (hi - lo) / 2;
    int other = mid < newItem ? mid : mid + 1;
    if (CompareBlocks(block, items.items[other], sortMode) < 0) {
      hi = mid;
    } else {
      lo = mid + 1;
    }
  }
  items.Move(newItem, lo);
  if (lo != newItem) names->Moved();
  return lo;
}
