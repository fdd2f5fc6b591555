// Folding rules shared by the compares, case changes and matchers (internal
// to the toolkit): the installed case tables and the ASCII fallbacks.
#pragma once

#include <atomic>

#include "platform/types.h"

namespace wildcard_detail {

// The capital and small-form tables of SetCaseFoldTables (null: none).
extern std::atomic<const WORD*> g_upperTable;
extern std::atomic<const WORD*> g_lowerTable;

inline constexpr unsigned kTableSize = 0x3000;

inline unsigned Unit(char c) { return static_cast<unsigned char>(c); }
inline unsigned Unit(wchar16 c) { return c; }

inline unsigned AsciiUpper(unsigned c) { return c >= 'a' && c <= 'z' ? c - 32 : c; }
inline unsigned AsciiLower(unsigned c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }

// A character through an installed table: 8-bit text takes the low byte of
// the byte's entry, wide text the entry below 0x3000 and itself above.
template <class Ch>
inline unsigned Through(const WORD* table, unsigned c) {
  if constexpr (sizeof(Ch) == 1) {
    return table[c] & 0xFFu;
  } else {
    return c < kTableSize ? table[c] : c;
  }
}

// The case-blind rule of the '?' compares and MATCH_NOCASE: through the
// capital table when installed, else 'a'-'z' to capitals.
template <class Ch>
struct WildFold {
  const WORD* table = g_upperTable.load(std::memory_order_acquire);
  unsigned operator()(unsigned c) const { return table ? Through<Ch>(table, c) : AsciiUpper(c); }
};

}  // namespace wildcard_detail
