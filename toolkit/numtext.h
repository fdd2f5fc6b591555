// Character escapes and decimal numbers: decode and write one backslash
// escape, measure a decimal number under a flag word and convert it.
#pragma once

#include <array>
#include <cstdint>

#include "platform/types.h"

// Number-scan flags of StrScanNumber and StrToDouble.
inline constexpr uint32_t NUMSCAN_SIGN = 0x1;
inline constexpr uint32_t NUMSCAN_EXPONENT = 0x2;
inline constexpr uint32_t NUMSCAN_DECIMAL_COMMA = 0x4;
inline constexpr uint32_t NUMSCAN_SPECIAL = 0x8;  // "#INF", "#IND", "#QNAN", "#NAN" after the point
inline constexpr uint32_t NUMSCAN_BLANK_AFTER_SIGN = 0x10;
inline constexpr uint32_t NUMSCAN_GROUP_SPACE = 0x20;
inline constexpr uint32_t NUMSCAN_GROUP_DOT = 0x40;  // only with NUMSCAN_DECIMAL_COMMA
inline constexpr uint32_t NUMSCAN_GROUP_UNDERSCORE = 0x80;
inline constexpr uint32_t NUMSCAN_TRAILING_BLANKS = 0x100;
inline constexpr uint32_t NUMSCAN_NO_LEADING_BLANKS = 0x200;

// Entries of the position record of StrScanNumber: 1-based positions
// (capped at 255), 0 when absent.
inline constexpr int NUMPOS_SIGN = 0;
inline constexpr int NUMPOS_INTEGER = 1;
inline constexpr int NUMPOS_FRACTION = 2;
inline constexpr int NUMPOS_EXPONENT = 3;

// Meaning of the character after a backslash: the character value, 254 for
// an octal digit (octal digits follow), 255 for 'x'/'X' (hex digits follow),
// 0 for no escape.
inline constexpr uint8_t ESCAPE_OCTAL = 254;
inline constexpr uint8_t ESCAPE_HEX = 255;
inline constexpr std::array<uint8_t, 128> EscapeCharTable = [] {
  std::array<uint8_t, 128> t{};
  t['a'] = 7;
  t['b'] = 8;
  t['t'] = 9;
  t['n'] = 10;
  t['v'] = 11;
  t['f'] = 12;
  t['r'] = 13;
  t['"'] = '"';
  t['\''] = '\'';
  t['?'] = '?';
  t['\\'] = '\\';
  for (int c = '0'; c <= '7'; ++c) t[c] = ESCAPE_OCTAL;
  t['x'] = ESCAPE_HEX;
  t['X'] = ESCAPE_HEX;
  return t;
}();

// Decodes one character or backslash escape; used (may be null) receives
// the characters read.
int StrParseEscape(const char* text, int* used = nullptr);
int StrParseEscapeW(const wchar16* text, int* used = nullptr);

// Writes ch as a C character literal (between apostrophes unless noQuotes);
// returns the characters written (3 to 6), the buffer is terminated.
int CharToEscapeLiteral(int ch, char* buffer, BOOL noQuotes);
int CharToEscapeLiteralW(int ch, wchar16* buffer, BOOL noQuotes);

// Length of the number at text under flags, at most maxLen characters;
// positions (4 bytes, may be null) receives the NUMPOS_* positions.
int StrScanNumber(const char* text, int maxLen, uint32_t flags, uint8_t* positions = nullptr);
int StrScanNumberW(const wchar16* text, int maxLen, uint32_t flags, uint8_t* positions = nullptr);

// Converts the number at text, correctly rounded and independent of the
// locale; used (may be null) receives the scanned length. No number gives 0.0.
double StrToDouble(const char* text, int* used, uint32_t flags);
double StrToDoubleW(const wchar16* text, int* used, uint32_t flags);

// Length of the plain number syntax at text (blanks, sign, digits, point,
// special text, exponent); the N forms return at most maxLen.
int StrNumberLength(const char* text);
int StrNumberLengthW(const wchar16* text);
int StrNumberLengthN(const char* text, int maxLen);
int StrNumberLengthNW(const wchar16* text, int maxLen);

// Leading digits of the radix (clamped to 2..36), at most maxLen; a negative
// radix also counts a leading '-'.
int StrDigitSpan(const char* text, int radix, int maxLen);
int StrDigitSpanW(const wchar16* text, int radix, int maxLen);
