// Scan-line seed fill: each work entry is a pixel known to hold the old
// value; it is filled with the run it belongs to, and the first pixel of
// every old-valued run in the rows above and below that run is pushed.
#include <algorithm>
#include <cstring>
#include <new>

#include "graphics/image.h"

namespace {

// Work entry: (y << 17) | (x << 2) | directions; bit 0 = scan the row
// above, bit 1 = the row below.
DWORD Entry(int x, int y, int height) {
  DWORD dirs = (y > 0 ? 1u : 0u) | (y + 1 < height ? 2u : 0u);
  return static_cast<DWORD>(y) << 17 | static_cast<DWORD>(x) << 2 | dirs;
}

class WorkStack {
 public:
  ~WorkStack() { delete[] entries_; }
  bool Reserve(size_t capacity) {
    DWORD* grown = new (std::nothrow) DWORD[capacity];
    if (!grown) return false;
    if (count_) std::memcpy(grown, entries_, count_ * sizeof(DWORD));
    delete[] entries_;
    entries_ = grown;
    capacity_ = capacity;
    return true;
  }
  size_t Count() const { return count_; }
  size_t Capacity() const { return capacity_; }
  void Push(DWORD e) { entries_[count_++] = e; }
  DWORD Pop() { return entries_[--count_]; }

 private:
  DWORD* entries_ = nullptr;
  size_t count_ = 0, capacity_ = 0;
};

// The fill over a getter and a setter on (row, x).
template <class Get, class Set>
bool ScanFill(CGraphicsImage& image, int x, int y, DWORD value, DWORD old, Get&& get, Set&& set) {
  const int width = image.width, height = image.height;
  if (static_cast<unsigned>(x) >= static_cast<unsigned>(width) ||
      static_cast<unsigned>(y) >= static_cast<unsigned>(height))
    return false;
  if (value == old) return true;
  WorkStack stack;
  if (!stack.Reserve(std::max<size_t>(8 * static_cast<size_t>(width), 1024))) return false;
  // Every set makes a pixel stop reading old, unless the setter does not
  // change what the getter reads: then the walk could go on for ever.
  const int64_t maxSets = int64_t{width} * height;
  int64_t sets = 0;
  bool seed = true;
  stack.Push(Entry(x, y, height));
  while (stack.Count()) {
    DWORD e = stack.Pop();
    int ex = static_cast<int>((e >> 2) & 0x7FFF), ey = static_cast<int>(e >> 17);
    BYTE* row = image.Row(ey);
    if (!seed && get(row, ex, ey) != old) continue;  // filled since it was pushed
    seed = false;
    set(row, ex, ey);
    int right = ex + 1;
    for (; right < width && get(row, right, ey) == old; ++right) set(row, right, ey);
    int left = ex - 1;
    for (; left >= 0 && get(row, left, ey) == old; --left) set(row, left, ey);
    sets += right - left - 1;
    if (sets > maxSets) return false;
    for (int dir = 0; dir < 2; ++dir) {
      if (!(e & (1u << dir))) continue;
      int ny = dir == 0 ? ey - 1 : ey + 1;
      BYTE* nrow = image.Row(ny);
      bool inRun = false;
      for (int px = left + 1; px < right; ++px) {
        bool isOld = get(nrow, px, ny) == old;
        if (isOld && !inRun) stack.Push(Entry(px, ny, height));
        inRun = isOld;
      }
    }
    // Room for the pushes of the next entry: at most one per two pixels of
    // a row span, in each of two rows.
    if (stack.Count() + static_cast<size_t>(width) + 2 >= stack.Capacity() &&
        !stack.Reserve(2 * stack.Capacity()))
      return false;
  }
  return true;
}

}  // namespace

bool CGraphicsImage::FloodFill(int x, int y, DWORD colour) {
  if (static_cast<unsigned>(x) >= static_cast<unsigned>(width) ||
      static_cast<unsigned>(y) >= static_cast<unsigned>(height))
    return false;
  // The value a pixel reads back after storing the colour: a colour the
  // format cannot hold exactly must not look unfilled.
  DWORD value = colour & valueMask;
  if (trueColor && bpp < 24) value = (colour & significantMask) | (bpp == 15 ? colour & 0x80000000u : 0);
  DWORD old = PixelGetFunc(Row(y), x);
  return ScanFill(
      *this, x, y, value, old, [this](BYTE* row, int px, int) { return PixelGetFunc(row, px); },
      [this, colour](BYTE* row, int px, int) { PixelSetFunc(row, px, colour); });
}

bool CGraphicsImage::FloodFillCustom(int x, int y, DWORD value, TriangleShaderFunc setter,
                                     FloodGetterFunc getter, DWORD oldValue) {
  if (static_cast<unsigned>(x) >= static_cast<unsigned>(width) ||
      static_cast<unsigned>(y) >= static_cast<unsigned>(height))
    return false;
  DWORD old = oldValue == FLOOD_OLD_FROM_SEED ? getter(this, Row(y), x, y) : oldValue;
  return ScanFill(
      *this, x, y, value, old, [this, getter](BYTE* row, int px, int py) { return getter(this, row, px, py); },
      [this, setter, value](BYTE* row, int px, int py) { setter(this, row, px, py, value); });
}
