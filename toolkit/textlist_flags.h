// Flags of every binary search of the string list and the growable arrays.
#pragma once

#include <cstdint>

// Text searches: compare case-blind instead of by bytes.
constexpr uint32_t FIND_NOCASE = 0x1;
// Number searches: compare unsigned instead of signed.
constexpr uint32_t FIND_UNSIGNED = 0x1;
// Of several equal entries, return the first (wins over FIND_AFTER_LAST).
constexpr uint32_t FIND_FIRST = 0x2;
// Of several equal entries, return the position after the last.
constexpr uint32_t FIND_AFTER_LAST = 0x4;
// When nothing is equal, return the insert position instead of -1.
constexpr uint32_t FIND_INSERTPOS = 0x8;
// Text searches: a text sorts after every longer text that begins with it.
constexpr uint32_t FIND_PREFIX_LAST = 0x10;
