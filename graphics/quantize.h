// The working tables of the colour quantiser. An image holds them only
// while Quantize runs; Release frees whatever is left.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "platform/types.h"

// Axes of the RGB cube, numbered in the component order of a 24-bit pixel.
enum : DWORD { QUANT_AXIS_BLUE = 0, QUANT_AXIS_GREEN = 1, QUANT_AXIS_RED = 2 };

// One distinct colour of the source and how many pixels have it. The colour
// is the 24-bit pixel read as a little-endian number, so axis a is the byte
// (colour >> 8a) & 255. A count of 0 marks a free slot of the hash.
struct HistogramColour {
  DWORD colour = 0;
  DWORD count = 0;
};

// An exact histogram. While it is built, `slot` is an open-addressing hash of
// `capacity` entries (a power of two, at most half full). Once built, the
// distinct colours are moved to its front, and the box splits keep every
// box's colours together there.
//
// Memory: 8 bytes a slot, 256 slots at first, doubled before more than half
// would be used: under 32 bytes per distinct colour (under 48 while the hash
// doubles, old and new side by side), never less than 2 KB. That stays below
// the per-colour lists it replaced (20-byte nodes in a vector of up to twice
// the colours, 60 bytes a colour while it grew, plus 3 KB of list heads).
// Nothing else grows with the image: the box table is about 9 KB.
struct ColourHistogram {
  std::unique_ptr<HistogramColour[]> slot;
  DWORD capacity = 0;
  DWORD colours = 0;  // distinct colours
};

// An inclusive range per axis; the boxes in use partition the cube.
struct ColourBox {
  std::array<BYTE, 3> low{};
  std::array<BYTE, 3> high{};
  DWORD colours = 0;  // distinct colours of the histogram inside
  DWORD pixels = 0;
  DWORD first = 0;  // its colours are slot[first, first + colours) of the histogram
};

// One cut of a box: colours whose `axis` component is at most `value` went
// below, the rest above. child[] holds a cut's number, or kColourLeaf | box.
struct ColourCut {
  BYTE axis = 0;
  BYTE value = 0;
  std::array<DWORD, 2> child{};
};

inline constexpr DWORD kColourLeaf = 0x80000000u;

// The boxes, and the cuts that made them as a tree whose leaves are the boxes:
// it finds a colour's box in as many steps as that box took cuts.
struct ColourBoxTable {
  std::array<ColourBox, 256> box{};
  DWORD count = 0;
  std::array<ColourCut, 255> cut{};
  DWORD cuts = 0;
  DWORD root = kColourLeaf;  // box 0 until the first cut
  // Where each box's leaf is referenced: 0 the root, 1 + 2k + side cut k's child.
  std::array<DWORD, 256> leafAt{};
};

// The axis with the largest extent; ties go to red, then blue.
DWORD ColourBoxLongestAxis(const ColourBox& box);
