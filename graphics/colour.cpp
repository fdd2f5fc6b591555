#include "graphics/colour.h"

#include <cstdlib>
#include <utility>

const WORD AtanFixedTable[130] = {
    0, 325, 651, 977, 1303, 1628, 1954, 2279, 2604, 2928,
    3252, 3576, 3899, 4222, 4545, 4867, 5188, 5508, 5828, 6148,
    6466, 6784, 7101, 7417, 7732, 8047, 8360, 8673, 8985, 9295,
    9605, 9913, 10220, 10527, 10832, 11136, 11438, 11740, 12040, 12339,
    12636, 12933, 13228, 13521, 13813, 14104, 14394, 14681, 14968, 15253,
    15537, 15819, 16099, 16378, 16656, 16932, 17206, 17479, 17750, 18020,
    18288, 18554, 18819, 19082, 19344, 19604, 19862, 20119, 20374, 20627,
    20879, 21129, 21377, 21624, 21869, 22113, 22354, 22595, 22833, 23070,
    23305, 23539, 23771, 24001, 24230, 24457, 24682, 24906, 25128, 25348,
    25567, 25785, 26000, 26214, 26427, 26638, 26847, 27055, 27261, 27466,
    27669, 27871, 28071, 28270, 28467, 28662, 28856, 29049, 29240, 29430,
    29618, 29805, 29990, 30174, 30357, 30538, 30717, 30896, 31072, 31248,
    31422, 31595, 31766, 31937, 32105, 32273, 32439, 32604, 32768, 32930,
};

namespace {

int Channel(DWORD colour, int shift) { return static_cast<int>((colour >> shift) & 0xFF); }

}  // namespace

int ColorDistance(DWORD a, DWORD b) {
  int sum = 0;
  for (int shift : {0, 8, 16}) sum += std::abs(Channel(a, shift) - Channel(b, shift));
  return sum;
}

int ColorDistanceSquared(DWORD a, DWORD b) {
  int sum = 0;
  for (int shift : {0, 8, 16}) {
    int d = Channel(a, shift) - Channel(b, shift);
    sum += d * d;
  }
  return sum;
}

int AtanFixed(int y, int x) {
  // Magnitudes as unsigned, so INT_MIN has one too.
  DWORD small = y < 0 ? 0u - static_cast<DWORD>(y) : static_cast<DWORD>(y);
  DWORD large = x < 0 ? 0u - static_cast<DWORD>(x) : static_cast<DWORD>(x);
  // The table covers one eighth of a turn in units of 1/0x40000 turn; base,
  // sign and the halving map it onto the octant of (x, y).
  int divisor = y < 0 ? -2 : 2;
  int base = 0;
  if (x < 0) {
    base = 0x20000;
    divisor = -divisor;
  }
  if (large < small) {
    std::swap(large, small);
    base -= 0x10000;
    divisor = -divisor;
  }
  if (large == 0) return 0;
  // small << 16 would overflow for large operands: scale both down instead.
  DWORD ratio;
  if (small < 0x8000u) ratio = (small << 16) / large;
  else if (small < 0x80000u) ratio = (small << 12) / (large >> 4);
  else if (small < 0x800000u) ratio = (small << 8) / (large >> 8);
  else if (small < 0x8000000u) ratio = (small << 4) / (large >> 12);
  else ratio = small / (large >> 16);
  DWORD i = ratio >> 9, f = ratio & 0x1FF;
  int a = AtanFixedTable[i] + ((AtanFixedTable[i + 1] - AtanFixedTable[i]) * static_cast<int>(f) >> 9);
  return ((a + base) / divisor) & 0x1FFFF;
}
