#include "quantize_reference.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace quantref {
namespace {

// Axes of the RGB cube, numbered in the component order of a 24-bit pixel.
enum : DWORD { QUANT_AXIS_BLUE = 0, QUANT_AXIS_GREEN = 1, QUANT_AXIS_RED = 2 };

// One distinct colour of the source and how many pixels have it. Each node
// is in three lists: the colours sharing its blue, its green, its red value.
struct HistogramNode {
  DWORD count = 0;
  std::array<BYTE, 3> value{};  // indexed by axis
  std::array<DWORD, 3> next{};  // node number + 1; 0 ends the list
};

// An exact histogram: per axis and component value, the head of the list of
// colours with that value.
struct ColourHistogram {
  std::array<std::array<DWORD, 256>, 3> head{};  // [axis][value], node number + 1
  std::vector<HistogramNode> nodes;
};

// An inclusive range per axis; the boxes in use partition the cube.
struct ColourBox {
  std::array<BYTE, 3> low{};
  std::array<BYTE, 3> high{};
  DWORD colours = 0;  // distinct colours of the histogram inside
  DWORD pixels = 0;
};

struct ColourBoxTable {
  std::array<ColourBox, 256> box{};
  DWORD count = 0;
};

struct Tables {
  std::unique_ptr<ColourHistogram> histogram;
  std::unique_ptr<ColourBoxTable> boxes;
};

DWORD ColourBoxLongestAxis(const ColourBox& box) {
  const int b = box.high[QUANT_AXIS_BLUE] - box.low[QUANT_AXIS_BLUE];
  const int g = box.high[QUANT_AXIS_GREEN] - box.low[QUANT_AXIS_GREEN];
  const int r = box.high[QUANT_AXIS_RED] - box.low[QUANT_AXIS_RED];
  if (r >= g && r >= b) return QUANT_AXIS_RED;
  if (b >= g && b >= r) return QUANT_AXIS_BLUE;
  return QUANT_AXIS_GREEN;
}


constexpr DWORD kMaxBoxes = 256;
constexpr DWORD kSplitDepth = 7;

bool InBox(const ColourBox& b, const std::array<BYTE, 3>& v, DWORD a1, DWORD a2) {
  return v[a1] >= b.low[a1] && v[a1] <= b.high[a1] && v[a2] >= b.low[a2] && v[a2] <= b.high[a2];
}

HistogramNode* FindHistogramColour(ColourHistogram& h, const BYTE* bgr) {
  if (!h.head[QUANT_AXIS_GREEN][bgr[1]] || !h.head[QUANT_AXIS_BLUE][bgr[0]]) return nullptr;
  for (DWORD n = h.head[QUANT_AXIS_RED][bgr[2]]; n; n = h.nodes[n - 1].next[QUANT_AXIS_RED]) {
    HistogramNode& node = h.nodes[n - 1];
    if (node.value[QUANT_AXIS_BLUE] == bgr[0] && node.value[QUANT_AXIS_GREEN] == bgr[1]) {
      return &node;
    }
  }
  return nullptr;
}

void AddHistogramColour(ColourHistogram& h, const BYTE* bgr) {
  HistogramNode node;
  node.count = 1;
  const DWORD number = static_cast<DWORD>(h.nodes.size()) + 1;
  for (DWORD axis = 0; axis < 3; ++axis) {
    node.value[axis] = bgr[axis];
    node.next[axis] = h.head[axis][bgr[axis]];
    h.head[axis][bgr[axis]] = number;
  }
  h.nodes.push_back(node);
}

void BuildColourHistogram(CGraphicsImage& dst, Tables& tables, const CGraphicsImage& src) {
  ColourHistogram& h = *tables.histogram;
  for (int r = 0; r < src.height; ++r) {
    const BYTE* px = src.RowTo24Func(src.Row(r), &src);
    for (int x = 0; x < src.width; ++x, px += 3) {
      if (HistogramNode* node = FindHistogramColour(h, px)) {
        ++node->count;
      } else {
        AddHistogramColour(h, px);
      }
    }
    dst.Progress(static_cast<DWORD>(static_cast<uint64_t>(r) * 100 / src.height), 1, 2);
  }
  dst.Progress(100, 1, 2);
}

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
    const DWORD a1 = (axis + 1) % 3, a2 = (axis + 2) % 3;
    DWORD p = 0, q = 0;
    DWORD split = 0;
    bool flat = false;
    for (DWORD v = box.low[axis];; ++v) {
      if (v > box.high[axis]) throw "INTERNAL ERROR - Quantization uArea pixel count invalid";
      DWORD pv = 0, cv = 0;
      for (DWORD n = h.head[axis][v]; n; n = h.nodes[n - 1].next[axis]) {
        const HistogramNode& node = h.nodes[n - 1];
        if (InBox(box, node.value, a1, a2)) {
          pv += node.count;
          ++cv;
        }
      }
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
    const DWORD n = t.count++;  // the upper part
    ColourBox& upper = t.box[n];
    upper = box;
    upper.low[axis] = static_cast<BYTE>(split + 1);
    upper.colours = box.colours - q;
    upper.pixels = box.pixels - p;
    box.high[axis] = static_cast<BYTE>(split);
    box.colours = q;
    box.pixels = p;
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

void SetBoxPaletteEntry(CGraphicsImage& dst, Tables& tables, DWORD i) {
  const ColourHistogram& h = *tables.histogram;
  const ColourBox& box = tables.boxes->box[i];
  uint64_t n = 0;
  std::array<uint64_t, 3> sum{};
  for (DWORD red = box.low[QUANT_AXIS_RED]; red <= box.high[QUANT_AXIS_RED]; ++red) {
    for (DWORD k = h.head[QUANT_AXIS_RED][red]; k; k = h.nodes[k - 1].next[QUANT_AXIS_RED]) {
      const HistogramNode& node = h.nodes[k - 1];
      if (!InBox(box, node.value, QUANT_AXIS_BLUE, QUANT_AXIS_GREEN)) continue;
      n += node.count;
      for (DWORD axis = 0; axis < 3; ++axis) sum[axis] += uint64_t{node.value[axis]} * node.count;
    }
  }
  if (n == 0) return;
  dst.SetPaletteEntryRGB(static_cast<int>(i), static_cast<BYTE>((sum[2] + n / 2) / n),
                         static_cast<BYTE>((sum[1] + n / 2) / n),
                         static_cast<BYTE>((sum[0] + n / 2) / n));
}

BYTE FindColourBox(const ColourBoxTable& t, const BYTE* bgr) {
  for (DWORD i = 0; i < t.count; ++i) {
    const ColourBox& b = t.box[i];
    if (bgr[0] >= b.low[0] && bgr[0] <= b.high[0] && bgr[1] >= b.low[1] && bgr[1] <= b.high[1] &&
        bgr[2] >= b.low[2] && bgr[2] <= b.high[2]) {
      return static_cast<BYTE>(i);
    }
  }
  throw "INTERNAL ERROR - uPos not quantized";
}

void MapToColourBoxes(CGraphicsImage& dst, Tables& tables, const CGraphicsImage& src) {
  for (int r = 0; r < src.height; ++r) {
    dst.Progress(static_cast<DWORD>(static_cast<uint64_t>(r) * 100 / src.height), 2, 2);
    const BYTE* px = src.RowTo24Func(src.Row(r), &src);
    BYTE* out = dst.Row(r);
    for (int x = 0; x < src.width; ++x, px += 3) out[x] = FindColourBox(*tables.boxes, px);
  }
  dst.Progress(100, 2, 2);
}

}  // namespace

bool Quantize(CGraphicsImage& dst, const CGraphicsImage& src) {
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
    Tables tables;
    built.SetProgressCallback(src.progressFunc, src.progressUser);
    if (!built.Create(8, src.width, src.height, IMAGE_NO_FILL, nullptr)) return false;
    std::memset(built.palette, 0, sizeof(RGBQUAD) * 256);
    try {
      tables.boxes = std::make_unique<ColourBoxTable>();
      tables.histogram = std::make_unique<ColourHistogram>();
      BuildColourHistogram(built, tables, src);
    } catch (...) {
      return false;  
    }
    ColourBoxTable& t = *tables.boxes;
    ColourBox& whole = t.box[0];
    whole.low = {0, 0, 0};
    whole.high = {255, 255, 255};
    whole.colours = static_cast<DWORD>(tables.histogram->nodes.size());
    whole.pixels = static_cast<DWORD>(uint64_t{static_cast<DWORD>(src.width)} *
                                      static_cast<DWORD>(src.height));
    t.count = 1;
    SplitColourBox(*tables.histogram, t, kSplitDepth, 0, 0, QUANT_AXIS_RED);
    TopUpColourBoxes(*tables.histogram, t);
    for (DWORD i = 0; i < t.count; ++i) SetBoxPaletteEntry(built, tables, i);
    try {
      MapToColourBoxes(built, tables, src);
    } catch (...) {
      return false;
    }
  }
  dst.Swap(built);
  return true;
}

}  // namespace quantref
