// Integer text: parsers under one flag word (radix mode, blanks, sign,
// digit-group separators), a bounded hexadecimal reader, and the formatter
// with radix prefixes or suffixes, width and blank fill.
#pragma once

#include <array>
#include <cstdint>

#include "platform/types.h"

// Parse flags: the low byte is the radix mode.
inline constexpr uint32_t INTPARSE_RADIX_MASK = 0xFF;
inline constexpr uint32_t INTPARSE_AUTO = 0;    // "0x" "0d" "0o" "0b" prefixes, else decimal
inline constexpr uint32_t INTPARSE_SUFFIX = 1;  // decimal unless a suffix h, b or o decides
// 2..36: that radix, no prefix, no suffix.
inline constexpr uint32_t INTPARSE_ANY_OCTAL = 251;  // as INTPARSE_ANY, a lone leading '0' = octal
inline constexpr uint32_t INTPARSE_ANY = 252;        // prefixes, "16#" forms, or suffixes
inline constexpr uint32_t INTPARSE_HASH = 253;       // only "16#", "10#", "8#", "2#" forms
inline constexpr uint32_t INTPARSE_C = 254;          // C literals: 0x, 0b, leading 0 = octal
inline constexpr uint32_t INTPARSE_C_NO_BINARY = 255;
inline constexpr uint32_t INTPARSE_SEP_UNDERSCORE = 0x400;
inline constexpr uint32_t INTPARSE_SEP_QUOTE = 0x800;
inline constexpr uint32_t INTPARSE_SEP_SHIFT = 10;
inline constexpr uint32_t INTPARSE_TRAILING_BLANKS = 0x1000;
inline constexpr uint32_t INTPARSE_NO_BLANK_AFTER_SIGN = 0x2000;
inline constexpr uint32_t INTPARSE_NO_SIGN = 0x4000;
inline constexpr uint32_t INTPARSE_NO_LEADING_BLANKS = 0x8000;

// Format flags: the low byte is the style (or the radix with INTFMT_RADIX).
inline constexpr uint32_t INTFMT_STYLE_MASK = 0xFF;
inline constexpr uint32_t INTFMT_DECIMAL = 0;    // signed decimal
inline constexpr uint32_t INTFMT_HEX_0X = 1;     // "0x" + hex
inline constexpr uint32_t INTFMT_BIN_0B = 2;     // "0b" + binary
inline constexpr uint32_t INTFMT_OCT_0O = 3;     // "0o" + octal
inline constexpr uint32_t INTFMT_HEX_H = 4;      // hex + 'h', '0' before a leading letter
inline constexpr uint32_t INTFMT_BIN_B = 5;      // binary + 'b'
inline constexpr uint32_t INTFMT_OCT_O = 6;      // octal + 'o'
inline constexpr uint32_t INTFMT_HEX_HASH = 7;   // "16#" + hex
inline constexpr uint32_t INTFMT_BIN_HASH = 8;   // "2#" + binary
inline constexpr uint32_t INTFMT_OCT_HASH = 9;   // "8#" + octal
inline constexpr uint32_t INTFMT_DEC_HASH = 10;  // "10#" + decimal
inline constexpr uint32_t INTFMT_UNSIGNED = 11;  // unsigned decimal (so are 12..255)
inline constexpr uint32_t INTFMT_WIDTH_SHIFT = 8;
inline constexpr uint32_t INTFMT_WIDTH_MASK = 0x3F00;  // minimum digits, zero-filled
inline constexpr uint32_t INTFMT_EXACT_WIDTH = 0x4000;
inline constexpr uint32_t INTFMT_RADIX = 0x8000;
inline constexpr uint32_t INTFMT_PAD_BLANKS = 0x10000;

// Width field of the format flags (0..63).
constexpr uint32_t IntFmtWidth(unsigned width) {
  return (width & 63u) << INTFMT_WIDTH_SHIFT;
}

// Characters IntToStr / Int64ToStr may write, terminator included.
inline constexpr int INTTEXT_BUFFER_SIZE = 70;

// Digit value of each character below 128: 0-9, letters 10-35, else 127.
inline constexpr std::array<uint8_t, 128> DigitValueTable = [] {
  std::array<uint8_t, 128> t{};
  for (int c = 0; c < 128; ++c) t[c] = 127;
  for (int c = '0'; c <= '9'; ++c) t[c] = static_cast<uint8_t>(c - '0');
  for (int c = 'A'; c <= 'Z'; ++c) t[c] = static_cast<uint8_t>(c - 'A' + 10);
  for (int c = 'a'; c <= 'z'; ++c) t[c] = static_cast<uint8_t>(c - 'a' + 10);
  return t;
}();

// Parsers: used (may be null) receives the characters read. 32-bit forms
// wrap modulo 2^32, 64-bit forms modulo 2^64. The N forms read at most
// maxLen characters; maxLen < 1 gives 0 with used 0.
int StrToInt(const char* text, uint32_t flags, int* used = nullptr);
int StrToIntW(const wchar16* text, uint32_t flags, int* used = nullptr);
int StrToIntN(const char* text, int maxLen, uint32_t flags, int* used = nullptr);
int StrToIntNW(const wchar16* text, int maxLen, uint32_t flags, int* used = nullptr);
int64_t StrToInt64(const char* text, uint32_t flags, int* used = nullptr);
int64_t StrToInt64W(const wchar16* text, uint32_t flags, int* used = nullptr);
int64_t StrToInt64N(const char* text, int maxLen, uint32_t flags, int* used = nullptr);
int64_t StrToInt64NW(const wchar16* text, int maxLen, uint32_t flags, int* used = nullptr);

// Skips blanks and TABs, then reads hexadecimal digits; len counts every
// character read, a negative len reads until the first non-digit.
uint32_t HexToIntN(const char* text, int len);
uint32_t HexToIntNW(const wchar16* text, int len);

// Formatters: write into buffer (INTTEXT_BUFFER_SIZE characters always
// suffice), terminate it and return the number of characters written.
int IntToStr(int value, char* buffer, uint32_t flags);
int IntToStrW(int value, wchar16* buffer, uint32_t flags);
int Int64ToStr(int64_t value, char* buffer, uint32_t flags);
int Int64ToStrW(int64_t value, wchar16* buffer, uint32_t flags);
