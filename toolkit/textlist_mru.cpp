// Recent-item order: the latest first, no duplicates, at most mruMax items.
#include "toolkit/textlist.h"

int CTextList::SetMruLimit(int max, uint32_t findMode) {
  mruMax = max < 0 ? 16 : max;
  mruFindMode = findMode;
  const uint32_t limit = static_cast<uint32_t>(mruMax);
  // Every removal pulls a new item into the window, so the scan restarts.
  for (uint32_t i = 0; i < limit && i < count;) {
    int j = Find(static_cast<int>(LengthAt(i)), TextAt(i), static_cast<int>(i + 1), mruMax,
                 mruFindMode);
    if (j >= 0) {
      RemoveAt(static_cast<uint32_t>(j));
      i = 0;
    } else {
      ++i;
    }
  }
  RemoveRange(mruMax, -1);
  return static_cast<int>(count);
}

int CTextList::MoveToFront(const char* text) {
  int j = Find(-1, text, 0, mruMax, mruFindMode);
  if (j < 0) return 1;
  Move(j, 0);
  return 0;
}
