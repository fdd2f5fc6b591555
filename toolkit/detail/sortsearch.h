// The one binary search and the one sort behind the string list and the
// growable arrays. Both work on positions only: the caller supplies how to
// compare (and swap) the entries at two positions, so the same code serves
// item pointers, inline elements and caller callbacks.
#pragma once

#include <cstdint>

#include "toolkit/textlist_flags.h"

namespace sortsearch {

// A list's `from` argument: negative counts as 0.
inline uint32_t First(int from) { return from < 0 ? 0u : static_cast<uint32_t>(from); }

// Sign of a comparison result, as -1, 0 or 1 (no negation overflow).
inline int Sign(int r) { return (r > 0) - (r < 0); }

template <class T>
inline int Order(T a, T b) {
  return (a > b) - (a < b);
}

// Binary search over [first, min(to, count)). cmp(i) compares the sought entry
// with entry i: < 0 when the sought entry lies before it, 0 when equal, > 0
// when after. prefetch(i) may warm entry i for a later probe.
template <class Cmp, class Prefetch>
int FindSorted(uint32_t count, uint32_t first, uint32_t to, uint32_t flags, Cmp cmp,
               Prefetch prefetch) {
  bool insertPos = (flags & FIND_INSERTPOS) != 0;
  if (first >= count) return insertPos ? static_cast<int>(count) : -1;
  uint32_t end = to < count ? to : count;
  if (end <= first) return -1;
  // FIND_FIRST wins over FIND_AFTER_LAST when both are given.
  const bool wantFirst = (flags & FIND_FIRST) != 0;
  const bool wantAfter = !wantFirst && (flags & FIND_AFTER_LAST) != 0;
  int64_t lo = first, hi = static_cast<int64_t>(end) - 1;
  for (;;) {
    int64_t half = (hi - lo + 1) >> 1;
    int64_t mid = lo + half;
    if (half >= 4) {
      // The next probe lies a quarter further down or up.
      prefetch(static_cast<uint32_t>(lo + (half >> 1)));
      prefetch(static_cast<uint32_t>(mid + ((hi - mid + 1) >> 1)));
    }
    int r = cmp(static_cast<uint32_t>(mid));
    if (half == 0) {
      if (r != 0) {
        if (!insertPos) return -1;
        return static_cast<int>(r > 0 ? lo + 1 : lo);
      }
      return static_cast<int>(wantAfter ? lo + 1 : lo);
    }
    if (r == 0) {
      if (!wantFirst && !wantAfter) return static_cast<int>(mid);
      insertPos = true;
      if (wantFirst) {
        hi = mid - 1;
        if (hi < lo) hi = lo;
      } else {
        lo = mid + 1;
        if (lo > hi) lo = hi;
      }
    } else if (r > 0) {
      lo = mid + 1;
      if (lo > hi) lo = hi;
    } else {
      hi = mid - 1;
      if (hi < lo) hi = lo;
    }
  }
}

template <class Cmp>
int FindSorted(uint32_t count, uint32_t first, uint32_t to, uint32_t flags, Cmp cmp) {
  return FindSorted(count, first, to, flags, cmp, [](uint32_t) {});
}

namespace detail {

template <class Cmp, class Swp>
void SiftDown(uint32_t base, uint32_t root, uint32_t n, Cmp& cmp, Swp& swp) {
  for (;;) {
    uint32_t child = 2 * root + 1;
    if (child >= n) return;
    if (child + 1 < n && cmp(base + child, base + child + 1) < 0) ++child;
    if (cmp(base + root, base + child) >= 0) return;
    swp(base + root, base + child);
    root = child;
  }
}

template <class Cmp, class Swp>
void HeapSort(uint32_t lo, uint32_t hi, Cmp& cmp, Swp& swp) {
  uint32_t n = hi - lo + 1;
  for (uint32_t i = n / 2; i-- > 0;) SiftDown(lo, i, n, cmp, swp);
  for (uint32_t end = n - 1; end > 0; --end) {
    swp(lo, lo + end);
    SiftDown(lo, 0, end, cmp, swp);
  }
}

template <class Cmp, class Swp>
void InsertionSort(uint32_t lo, uint32_t hi, Cmp& cmp, Swp& swp) {
  for (uint32_t i = lo + 1; i <= hi; ++i) {
    for (uint32_t j = i; j > lo && cmp(j - 1, j) > 0; --j) swp(j - 1, j);
  }
}

// Puts the median of lo, mid and hi at lo, to serve as the pivot.
template <class Cmp, class Swp>
void MedianToFront(uint32_t lo, uint32_t hi, Cmp& cmp, Swp& swp) {
  uint32_t mid = lo + (hi - lo) / 2;
  // Order lo <= mid <= hi at the three places, then take the middle one.
  if (cmp(mid, lo) < 0) swp(mid, lo);
  if (cmp(hi, mid) < 0) {
    swp(hi, mid);
    if (cmp(mid, lo) < 0) swp(mid, lo);
  }
  swp(lo, mid);
}

}  // namespace detail

// Sorts positions [lo, hi] in place: cmp(a, b) orders the entries at two
// positions, swp(a, b) exchanges them. Quick sort whose scans stop at keys
// equal to the pivot (so runs of equal keys split evenly), an explicit stack
// with the larger part pushed, insertion sort for short segments, and heap
// sort for a segment nested deeper than 2 log2 n partitions: no recursion, no
// allocation, O(n log n) comparisons whatever the input. Every index stays
// inside [lo, hi] even when cmp is not a consistent order.
template <class Cmp, class Swp, class Prefetch>
void Sort(uint32_t lo, uint32_t hi, Cmp cmp, Swp swp, Prefetch prefetch) {
  if (hi <= lo) return;
  constexpr uint32_t kShort = 12;
  struct Segment {
    uint32_t lo, hi, depth;
  };
  Segment stack[64];
  int top = 0;
  uint32_t limit = 0;
  for (uint64_t n = uint64_t(hi) - lo + 1; n > 1; n >>= 1) limit += 2;
  uint32_t depth = 0;
  for (;;) {
    if (hi - lo < kShort) {
      detail::InsertionSort(lo, hi, cmp, swp);
    } else if (depth >= limit) {
      detail::HeapSort(lo, hi, cmp, swp);
    } else {
      detail::MedianToFront(lo, hi, cmp, swp);
      uint32_t i = lo, j = hi + 1;
      // Both scans warm the entries a few places ahead of them.
      constexpr uint32_t kAhead = 8;
      for (;;) {
        do {
          ++i;
          if (i <= hi && hi - i >= kAhead) prefetch(i + kAhead);
        } while (i <= hi && cmp(i, lo) < 0);
        do {
          --j;
          if (j - lo >= kAhead) prefetch(j - kAhead);
        } while (j > lo && cmp(j, lo) > 0);
        if (i >= j) break;
        swp(i, j);
      }
      swp(lo, j);
      // Left part [lo, j - 1], right part [j + 1, hi].
      uint32_t leftLen = j - lo, rightLen = hi - j;
      ++depth;
      uint32_t sLo, sHi, bLo, bHi, sLen, bLen;
      if (leftLen < rightLen) {
        sLo = lo, sHi = j - 1, sLen = leftLen, bLo = j + 1, bHi = hi, bLen = rightLen;
      } else {
        sLo = j + 1, sHi = hi, sLen = rightLen, bLo = lo, bHi = j - 1, bLen = leftLen;
      }
      if (bLen >= 2) stack[top++] = {bLo, bHi, depth};
      if (sLen >= 2) {
        lo = sLo, hi = sHi;
        continue;
      }
    }
    if (top == 0) return;
    --top;
    lo = stack[top].lo, hi = stack[top].hi, depth = stack[top].depth;
  }
}

template <class Cmp, class Swp>
void Sort(uint32_t lo, uint32_t hi, Cmp cmp, Swp swp) {
  Sort(lo, hi, cmp, swp, [](uint32_t) {});
}

// The same with every comparison reversed when `descending`.
template <class Cmp, class Swp, class Prefetch>
void SortDirected(uint32_t lo, uint32_t hi, bool descending, Cmp cmp, Swp swp, Prefetch prefetch) {
  if (descending) {
    Sort(lo, hi, [&cmp](uint32_t a, uint32_t b) { return -Sign(cmp(a, b)); }, swp, prefetch);
  } else {
    Sort(lo, hi, cmp, swp, prefetch);
  }
}

template <class Cmp, class Swp>
void SortDirected(uint32_t lo, uint32_t hi, bool descending, Cmp cmp, Swp swp) {
  SortDirected(lo, hi, descending, cmp, swp, [](uint32_t) {});
}

}  // namespace sortsearch
