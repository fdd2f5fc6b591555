// Unit values (a 64-bit integer with an SI or binary prefix and a unit) and
// number lists (integers or a line-oriented hex dump read into 1- to 4-byte
// items).
#pragma once

#include <array>
#include <cstdint>

#include "platform/types.h"

// Unit-format flags of FormatUnitValue.
inline constexpr uint32_t UNITFMT_SIGNED = 0x1;        // the value is a signed 64-bit number
inline constexpr uint32_t UNITFMT_STRIP_ZEROS = 0x2;   // drop trailing fraction zeros
inline constexpr uint32_t UNITFMT_UNIT = 0x4;          // append prefix and unit
inline constexpr uint32_t UNITFMT_SPACE = 0x8;         // a blank before prefix and unit
inline constexpr uint32_t UNITFMT_FRACTION_SHIFT = 4;  // bits 4-7: fraction digits
inline constexpr uint32_t UNITFMT_FRACTION_MASK = 0xF0;
inline constexpr uint32_t UNITFMT_DIGITS_SHIFT = 8;  // bits 8-11: maximum integer digits (1-9)
inline constexpr uint32_t UNITFMT_DIGITS_MASK = 0xF00;
inline constexpr uint32_t UNITFMT_PREFIX_SHIFT = 12;  // bits 12-15: prefix of the unscaled value
inline constexpr uint32_t UNITFMT_PREFIX_MASK = 0xF000;
inline constexpr uint32_t UNITFMT_DECIMAL_SHIFT = 16;  // bits 16-22: decimal character, 0 = '.'
inline constexpr uint32_t UNITFMT_DECIMAL_MASK = 0x7F0000;
inline constexpr uint32_t UNITFMT_ALIGNED = 0x800000;
inline constexpr uint32_t UNITFMT_THOUSANDS_SHIFT = 24;  // bits 24-30: separator, 0 = none
inline constexpr uint32_t UNITFMT_THOUSANDS_MASK = 0x7F000000;
inline constexpr uint32_t UNITFMT_BINARY = 0x80000000;  // steps of 1024

// Prefix indices of UnitPrefixTable.
inline constexpr int UNITFMT_PREFIX_MILLI = 7;
inline constexpr int UNITFMT_PREFIX_NONE = 8;
inline constexpr int UNITFMT_PREFIX_KILO = 9;

// Field builders for the flags.
constexpr uint32_t UnitFmtFraction(unsigned digits) {
  return (digits & 15u) << UNITFMT_FRACTION_SHIFT;
}
constexpr uint32_t UnitFmtDigits(unsigned digits) {
  return (digits & 15u) << UNITFMT_DIGITS_SHIFT;
}
constexpr uint32_t UnitFmtPrefix(unsigned index) {
  return (index & 15u) << UNITFMT_PREFIX_SHIFT;
}
constexpr uint32_t UnitFmtDecimal(unsigned ch) {
  return (ch & 127u) << UNITFMT_DECIMAL_SHIFT;
}
constexpr uint32_t UnitFmtThousands(unsigned ch) {
  return (ch & 127u) << UNITFMT_THOUSANDS_SHIFT;
}

// The unit argument value that stands for bytes ("Byte", or "B" after a
// prefix). Converts to the narrow and the wide unit pointer alike.
struct UnitBytesMarker {
  operator const char*() const { return reinterpret_cast<const char*>(uintptr_t{1}); }
  operator const wchar16*() const { return reinterpret_cast<const wchar16*>(uintptr_t{1}); }
};
inline constexpr UnitBytesMarker UNITFMT_BYTES{};

// y z a f p n micro(0xB5) m (none) k M G T P E Z.
inline constexpr std::array<uint8_t, 16> UnitPrefixTable = {
    'y', 'z', 'a', 'f', 'p', 'n', 0xB5, 'm', ' ', 'k', 'M', 'G', 'T', 'P', 'E', 'Z'};

inline constexpr std::array<uint64_t, 16> PowersOfTenTable = [] {
  std::array<uint64_t, 16> t{};
  uint64_t p = 1;
  for (auto& e : t) {
    e = p;
    p *= 10;
  }
  return t;
}();

// Writes value scaled by 1000 (or 1024) until its integer part has at most
// the flags' digit count, with fraction, prefix and unit (a text, null or
// UNITFMT_BYTES). Writes at most bufferSize characters, terminator included;
// returns the characters written. prefixIndex (may be null) receives the
// index of the prefix in use.
int FormatUnitValue(uint64_t value, char* buffer, int bufferSize, uint32_t flags, const char* unit,
                    int* prefixIndex = nullptr);
int FormatUnitValueW(uint64_t value, wchar16* buffer, int bufferSize, uint32_t flags,
                     const wchar16* unit, int* prefixIndex = nullptr);

// Number-list flags of ParseNumberList.
inline constexpr uint32_t NUMLIST_PER_LINE_MASK = 0xFF;  // items per line; 0 = plain list
inline constexpr uint32_t NUMLIST_SIZE_SHIFT = 8;        // bits 8-9: item size - 1
inline constexpr uint32_t NUMLIST_SIZE_MASK = 0x300;
inline constexpr uint32_t NUMLIST_FILL_ZERO = 0x400;
inline constexpr uint32_t NUMLIST_FILL_FF = 0x800;
inline constexpr uint32_t NUMLIST_RADIX_SHIFT = 12;  // bits 12-14: auto, 2, 10, 8, 16
inline constexpr uint32_t NUMLIST_RADIX_MASK = 0x7000;
inline constexpr uint32_t NUMLIST_SEP_SHIFT = 16;  // bits 16-18: separator index
inline constexpr uint32_t NUMLIST_SEP_MASK = 0x70000;
inline constexpr uint32_t NUMLIST_MULTILINE = 0x100000;
inline constexpr uint32_t NUMLIST_BACKSLASH_LINES = 0x200000;
inline constexpr uint32_t NUMLIST_QUOTED = 0x400000;
inline constexpr uint32_t NUMLIST_NEGATIVE = 0x800000;

// Separator indices (bits 16-18).
inline constexpr uint32_t NUMLIST_SEP_ANY = 0;  // none; ':' ';' ',' '.' count as blanks
inline constexpr uint32_t NUMLIST_SEP_SEMICOLON = 1;
inline constexpr uint32_t NUMLIST_SEP_DOT = 2;
inline constexpr uint32_t NUMLIST_SEP_COLON = 3;
inline constexpr uint32_t NUMLIST_SEP_COMMA = 4;
inline constexpr uint32_t NUMLIST_SEP_NONE = 5;
inline constexpr uint32_t NUMLIST_SEP_MINUS = 6;
inline constexpr uint32_t NUMLIST_SEP_TAB = 7;

// Field builders for the flags.
constexpr uint32_t NumListItemSize(unsigned bytes) {
  return ((bytes - 1) & 3u) << NUMLIST_SIZE_SHIFT;
}
constexpr uint32_t NumListRadix(unsigned index) {
  return (index & 7u) << NUMLIST_RADIX_SHIFT;
}
constexpr uint32_t NumListSeparator(unsigned index) {
  return (index & 7u) << NUMLIST_SEP_SHIFT;
}

// Reads a list of integers into out (maxItems items of the flags' size,
// least significant byte first); returns the number stored, used (may be
// null) receives the characters read.
int ParseNumberList(const char* text, void* out, int maxItems, uint32_t flags, int* used = nullptr);
int ParseNumberListW(const wchar16* text, void* out, int maxItems, uint32_t flags,
                     int* used = nullptr);
