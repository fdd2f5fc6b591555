// The working tables of the colour quantiser. An image holds them only
// while Quantize runs; Release frees whatever is left.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "platform/types.h"

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

// The axis with the largest extent; ties go to red, then blue.
DWORD ColourBoxLongestAxis(const ColourBox& box);
