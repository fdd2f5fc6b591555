// Rectangle sides as the fills take them: x and w (or y and h), a negative
// extent covering the |extent| positions that end at the start.
#pragma once

#include <algorithm>
#include <cstdint>

// Clips the side to [0, limit): first and end (exclusive). False when
// nothing remains.
inline bool ClipSpan(int start, int extent, int limit, int& first, int& end) {
  int64_t a = start, b = int64_t{start} + extent;
  if (extent < 0) {
    a = b + 1;
    b = int64_t{start} + 1;
  }
  a = std::max<int64_t>(a, 0);
  b = std::min<int64_t>(b, limit);
  if (a >= b) return false;
  first = static_cast<int>(a);
  end = static_cast<int>(b);
  return true;
}
