#include "graphics/quantize.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "graphics/image.h"

namespace {

constexpr DWORD kMaxBoxes = 256;
constexpr DWORD kSplitDepth = 7;
constexpr DWORD kFirstCapacity = 256;
constexpr DWORD kHashFactor = 0x9E3779B1u;  // 2^32 / golden ratio: spreads near colours apart

DWORD Component(DWORD colour, DWORD axis) { return (colour >> (8 * axis)) & 255; }

DWORD PixelColour(const BYTE* bgr) {
  return DWORD{bgr[0]} | DWORD{bgr[1]} << 8 | DWORD{bgr[2]} << 16;
}

// The slot holding `colour`, or the free slot where it belongs.
HistogramColour& HashSlot(HistogramColour* slot, DWORD capacity, DWORD colour) {
  const DWORD mask = capacity - 1;
  const int shift = std::countl_zero(capacity) + 1;  // keeps the top log2(capacity) bits
  for (DWORD i = (colour * kHashFactor) >> shift;; i = (i + 1) & mask) {
    if (slot[i].count == 0 || slot[i].colour == colour) return slot[i];
  }
}

void GrowHistogram(ColourHistogram& h) {
  const DWORD capacity = h.capacity * 2;
  std::unique_ptr<HistogramColour[]> grown(new HistogramColour[capacity]());
  for (DWORD i = 0; i < h.capacity; ++i) {
    if (h.slot[i].count) HashSlot(grown.get(), capacity, h.slot[i].colour) = h.slot[i];
  }
  h.slot = std::move(grown);
  h.capacity = capacity;
}

// The histogram entry of `colour`, added with count 0 when new.
HistogramColour& FindHistogramColour(ColourHistogram& h, DWORD colour) {
  HistogramColour* s = &HashSlot(h.slot.get(), h.capacity, colour);
  if (s->count) return *s;
  if (2 * (h.colours + 1) > h.capacity) {
    GrowHistogram(h);
    s = &HashSlot(h.slot.get(), h.capacity, colour);
  }
  s->colour = colour;
  ++h.colours;
  return *s;
}

void BuildColourHistogram(CGraphicsImage& dst, const CGraphicsImage& src) {
  ColourHistogram& h = *dst.colourHistogram;
  h.capacity = kFirstCapacity;
  h.slot.reset(new HistogramColour[h.capacity]());
  for (int r = 0; r < src.height; ++r) {
    const BYTE* px = src.RowTo24Func(src.Row(r), &src);
    // Runs of one colour are common in drawn pictures: one lookup per run.
    DWORD last = PixelColour(px);
    HistogramColour* run = &FindHistogramColour(h, last);
    for (int x = 0; x < src.width; ++x, px += 3) {
      const DWORD colour = PixelColour(px);
      if (colour != last) {
        run = &FindHistogramColour(h, colour);
        last = colour;
      }
      ++run->count;
    }
    dst.Progress(static_cast<DWORD>(static_cast<uint64_t>(r) * 100 / src.height), 1, 2);
  }
  dst.Progress(100, 1, 2);
  // The distinct colours to the front, where box 0 holds them all.
  DWORD n = 0;
  for (DWORD i = 0; i < h.capacity; ++i) {
    if (h.slot[i].count) h.slot[n++] = h.slot[i];
  }
}

DWORD& CutReference(ColourBoxTable& t, DWORD at) {
  return at == 0 ? t.root : t.cut[(at - 1) / 2].child[(at - 1) % 2];
}

// Records that box b was cut on `axis` after `value`, its upper part becoming box n.
void RecordCut(ColourBoxTable& t, DWORD b, DWORD n, DWORD axis, DWORD value) {
  const DWORD k = t.cuts++;
  ColourCut& cut = t.cut[k];
  cut.axis = static_cast<BYTE>(axis);
  cut.value = static_cast<BYTE>(value);
  cut.child = {kColourLeaf | b, kColourLeaf | n};
  CutReference(t, t.leafAt[b]) = k;
  t.leafAt[b] = 1 + 2 * k;
  t.leafAt[n] = 2 + 2 * k;
}

// Cuts box b at the pixel median of `axis`, the lower part staying box b;
// with depth left, both parts are cut again along their longest axes. An
// axis on which the box is flat, or on which all its colours share a value,
// passes the turn to the next axis, at most twice.
void SplitColourBox(ColourHistogram& h, ColourBoxTable& t, DWORD depth, DWORD tries, DWORD b,
                    DWORD axis) {
  for (;;) {
    if (t.count >= kMaxBoxes) return;
    ColourBox& box = t.box[b];
    if (box.colours <= 1) return;
    if (box.low[axis] == box.high[axis]) {
      if (tries >= 2) return;
      ++tries;
      axis = (axis + 1) % 3;
      continue;
    }
    HistogramColour* const colours = h.slot.get() + box.first;
    std::array<DWORD, 256> pixelsAt{}, coloursAt{};
    for (DWORD i = 0; i < box.colours; ++i) {
      const DWORD v = Component(colours[i].colour, axis);
      pixelsAt[v] += colours[i].count;
      ++coloursAt[v];
    }
    DWORD p = 0, q = 0;
    DWORD split = 0;
    bool flat = false;
    for (DWORD v = box.low[axis];; ++v) {
      if (v > box.high[axis]) throw "INTERNAL ERROR - Quantization uArea pixel count invalid";
      const DWORD pv = pixelsAt[v], cv = coloursAt[v];
      if (cv == box.colours) {
        flat = true;
        break;
      }
      if (cv > box.colours) throw "INTERNAL ERROR - Quantization area color count invalid";
      if (p + pv >= box.pixels / 2) {
        if (p + pv == box.pixels) {
          split = v - 1;  // value v then opens the upper part
        } else {
          split = v;
          p += pv;
          q += cv;
        }
        break;
      }
      p += pv;
      q += cv;
    }
    if (flat) {
      if (tries >= 2) return;
      ++tries;
      axis = (axis + 1) % 3;
      continue;
    }
    std::partition(colours, colours + box.colours,
                   [&](const HistogramColour& c) { return Component(c.colour, axis) <= split; });
    const DWORD n = t.count++;  // the upper part
    ColourBox& upper = t.box[n];
    upper = box;
    upper.low[axis] = static_cast<BYTE>(split + 1);
    upper.colours = box.colours - q;
    upper.pixels = box.pixels - p;
    upper.first = box.first + q;
    box.high[axis] = static_cast<BYTE>(split);
    box.colours = q;
    box.pixels = p;
    RecordCut(t, b, n, axis, split);
    if (depth == 0) return;
    SplitColourBox(h, t, depth - 1, 0, n, ColourBoxLongestAxis(t.box[n]));
    --depth;
    tries = 0;
    axis = ColourBoxLongestAxis(t.box[b]);
  }
}

// Splits the box that scores highest until there are 256 or every box holds
// a single colour. Only boxes with more than one colour can be split, so
// only they are scored: an image with at most 256 colours comes out exact.
void TopUpColourBoxes(ColourHistogram& h, ColourBoxTable& t) {
  while (t.count < kMaxBoxes) {
    uint64_t bestScore = 0;
    DWORD best = kMaxBoxes;
    for (DWORD i = 0; i < t.count; ++i) {
      const ColourBox& box = t.box[i];
      if (box.colours <= 1) continue;
      uint64_t extents = 0;
      for (DWORD axis = 0; axis < 3; ++axis) {
        const uint64_t e = box.high[axis] - box.low[axis];
        extents += e * e;
      }
      const uint64_t score = box.colours * extents;
      if (best == kMaxBoxes || score > bestScore) {
        bestScore = score;
        best = i;
      }
    }
    if (best == kMaxBoxes) return;
    const DWORD before = t.count;
    SplitColourBox(h, t, 0, 0, best, ColourBoxLongestAxis(t.box[best]));
    if (t.count == before) return;
  }
}

void SetBoxPaletteEntry(CGraphicsImage& dst, DWORD i) {
  const ColourHistogram& h = *dst.colourHistogram;
  const ColourBox& box = dst.colourBoxes->box[i];
  uint64_t n = 0;
  std::array<uint64_t, 3> sum{};
  for (DWORD k = box.first; k < box.first + box.colours; ++k) {
    const HistogramColour& c = h.slot[k];
    n += c.count;
    for (DWORD axis = 0; axis < 3; ++axis) sum[axis] += uint64_t{Component(c.colour, axis)} * c.count;
  }
  if (n == 0) return;
  dst.SetPaletteEntryRGB(static_cast<int>(i), static_cast<BYTE>((sum[2] + n / 2) / n),
                         static_cast<BYTE>((sum[1] + n / 2) / n),
                         static_cast<BYTE>((sum[0] + n / 2) / n));
}

// Follows the cuts down to the colour's box.
BYTE FindColourBox(const ColourBoxTable& t, const BYTE* bgr) {
  DWORD at = t.root;
  while (!(at & kColourLeaf)) {
    const ColourCut& cut = t.cut[at];
    at = cut.child[bgr[cut.axis] > cut.value];
  }
  const DWORD i = at & ~kColourLeaf;
  const ColourBox& b = t.box[i];
  if (i >= t.count || bgr[0] < b.low[0] || bgr[0] > b.high[0] || bgr[1] < b.low[1] ||
      bgr[1] > b.high[1] || bgr[2] < b.low[2] || bgr[2] > b.high[2]) {
    throw "INTERNAL ERROR - uPos not quantized";
  }
  return static_cast<BYTE>(i);
}

void MapToColourBoxes(CGraphicsImage& dst, const CGraphicsImage& src) {
  const ColourBoxTable& t = *dst.colourBoxes;
  for (int r = 0; r < src.height; ++r) {
    dst.Progress(static_cast<DWORD>(static_cast<uint64_t>(r) * 100 / src.height), 2, 2);
    const BYTE* px = src.RowTo24Func(src.Row(r), &src);
    BYTE* out = dst.Row(r);
    DWORD last = PixelColour(px);
    BYTE index = FindColourBox(t, px);
    for (int x = 0; x < src.width; ++x, px += 3) {
      const DWORD colour = PixelColour(px);
      if (colour != last) {
        index = FindColourBox(t, px);
        last = colour;
      }
      out[x] = index;
    }
  }
  dst.Progress(100, 2, 2);
}

}  // namespace

DWORD ColourBoxLongestAxis(const ColourBox& box) {
  const int b = box.high[QUANT_AXIS_BLUE] - box.low[QUANT_AXIS_BLUE];
  const int g = box.high[QUANT_AXIS_GREEN] - box.low[QUANT_AXIS_GREEN];
  const int r = box.high[QUANT_AXIS_RED] - box.low[QUANT_AXIS_RED];
  if (r >= g && r >= b) return QUANT_AXIS_RED;
  if (b >= g && b >= r) return QUANT_AXIS_BLUE;
  return QUANT_AXIS_GREEN;
}

bool CGraphicsImage::Quantize(const CGraphicsImage& src) {
  // The result is built aside and taken over only when complete, so a
  // failure leaves this image as it was (src may be this image itself).
  if (!src.HasPixels() || src.width == 0 || src.height == 0) return false;
  CGraphicsImage built;
  if (src.bpp == 8) {
    if (!built.Copy(src)) return false;
  } else if (src.bpp < 12) {
    if (!built.Create(8, src.width, src.height, IMAGE_NO_FILL, nullptr)) return false;
    std::memcpy(built.palette, src.palette, sizeof(RGBQUAD) * 256);
    if (!built.DrawImage(src, 0, 0, 0)) return false;
  } else {
    built.SetProgressCallback(src.progressFunc, src.progressUser);
    if (!built.Create(8, src.width, src.height, IMAGE_NO_FILL, nullptr)) return false;
    std::memset(built.palette, 0, sizeof(RGBQUAD) * 256);
    try {
      built.colourBoxes = new ColourBoxTable;
      built.colourHistogram = new ColourHistogram;
      BuildColourHistogram(built, src);
    } catch (...) {
      return false;  // built's destructor frees the tables
    }
    ColourBoxTable& t = *built.colourBoxes;
    ColourBox& whole = t.box[0];
    whole.low = {0, 0, 0};
    whole.high = {255, 255, 255};
    whole.colours = built.colourHistogram->colours;
    whole.pixels = static_cast<DWORD>(uint64_t{static_cast<DWORD>(src.width)} *
                                      static_cast<DWORD>(src.height));
    whole.first = 0;
    t.count = 1;
    SplitColourBox(*built.colourHistogram, t, kSplitDepth, 0, 0, QUANT_AXIS_RED);
    TopUpColourBoxes(*built.colourHistogram, t);
    for (DWORD i = 0; i < t.count; ++i) SetBoxPaletteEntry(built, i);
    try {
      MapToColourBoxes(built, src);
    } catch (...) {
      return false;
    }
    built.FreeQuantizerTables();
  }
  AdoptPixels(built);
  return true;
}
