// Character classes: one 32-bit mask of class bits per byte value, and the
// span and set-search functions built on it. A character is in a class set
// when its table entry AND the mask is not zero; wide characters above 255
// belong to CHC_OTHER only.
#pragma once

#include <array>
#include <cstdint>

#include "platform/types.h"

inline constexpr uint32_t CHC_DIGIT = 0x1;
inline constexpr uint32_t CHC_UPPER = 0x2;
inline constexpr uint32_t CHC_LOWER = 0x4;
inline constexpr uint32_t CHC_UNDERSCORE = 0x8;
inline constexpr uint32_t CHC_HIGHBYTE = 0x10;
inline constexpr uint32_t CHC_TAB = 0x20;
inline constexpr uint32_t CHC_NEWLINE = 0x40;
inline constexpr uint32_t CHC_SPACE = 0x80;
inline constexpr uint32_t CHC_DQUOTE = 0x100;
inline constexpr uint32_t CHC_DOT = 0x200;
inline constexpr uint32_t CHC_QUOTE = 0x400;
inline constexpr uint32_t CHC_DOLLAR = 0x800;
inline constexpr uint32_t CHC_COMMA = 0x1000;
inline constexpr uint32_t CHC_SEMICOLON = 0x2000;
inline constexpr uint32_t CHC_AT = 0x4000;
inline constexpr uint32_t CHC_AMPERSAND = 0x8000;
inline constexpr uint32_t CHC_BINDIGIT = 0x10000;
inline constexpr uint32_t CHC_OCTDIGIT = 0x20000;
inline constexpr uint32_t CHC_HEXLETTER = 0x40000;
inline constexpr uint32_t CHC_HASH = 0x80000;
inline constexpr uint32_t CHC_BACKSLASH = 0x100000;
inline constexpr uint32_t CHC_SLASH = 0x200000;
inline constexpr uint32_t CHC_COLON = 0x400000;
inline constexpr uint32_t CHC_STAR = 0x800000;
inline constexpr uint32_t CHC_QUESTION = 0x1000000;
inline constexpr uint32_t CHC_MINUS = 0x2000000;
inline constexpr uint32_t CHC_PLUS = 0x4000000;
inline constexpr uint32_t CHC_PERCENT = 0x8000000;
inline constexpr uint32_t CHC_LATIN1_UPPER = 0x10000000;
inline constexpr uint32_t CHC_LATIN1_LOWER = 0x20000000;
inline constexpr uint32_t CHC_OTHER = 0x40000000;
inline constexpr uint32_t CHC_NUL = 0x80000000;

// Common compositions.
inline constexpr uint32_t CHC_BLANK = CHC_SPACE | CHC_TAB;                // 0xA0
inline constexpr uint32_t CHC_WHITE = CHC_SPACE | CHC_TAB | CHC_NEWLINE;  // 0xE0
inline constexpr uint32_t CHC_ALNUM = CHC_DIGIT | CHC_UPPER | CHC_LOWER;  // 0x7
inline constexpr uint32_t CHC_HEXDIGIT = CHC_DIGIT | CHC_HEXLETTER;

namespace toolkit_detail {

constexpr std::array<uint32_t, 256> BuildCharClassTable() {
  std::array<uint32_t, 256> t{};
  for (int c = 0; c < 256; ++c) t[c] = CHC_OTHER;  // controls and the rest of the punctuation
  t[0] = CHC_NUL;
  t['\t'] = CHC_TAB;
  t['\n'] = CHC_NEWLINE;
  t['\r'] = CHC_NEWLINE;
  t[' '] = CHC_SPACE;
  t['"'] = CHC_DQUOTE;
  t['#'] = CHC_HASH;
  t['$'] = CHC_DOLLAR;
  t['%'] = CHC_PERCENT;
  t['&'] = CHC_AMPERSAND;
  t['\''] = CHC_QUOTE;
  t['*'] = CHC_STAR;
  t['+'] = CHC_PLUS;
  t[','] = CHC_COMMA;
  t['-'] = CHC_MINUS;
  t['.'] = CHC_DOT;
  t['/'] = CHC_SLASH;
  t[':'] = CHC_COLON;
  t[';'] = CHC_SEMICOLON;
  t['?'] = CHC_QUESTION;
  t['@'] = CHC_AT;
  t['\\'] = CHC_BACKSLASH;
  t['_'] = CHC_UNDERSCORE;
  for (int c = '0'; c <= '9'; ++c) {
    t[c] = CHC_DIGIT | (c <= '7' ? CHC_OCTDIGIT : 0u) | (c <= '1' ? CHC_BINDIGIT : 0u);
  }
  for (int c = 'A'; c <= 'Z'; ++c) t[c] = CHC_UPPER | (c <= 'F' ? CHC_HEXLETTER : 0u);
  for (int c = 'a'; c <= 'z'; ++c) t[c] = CHC_LOWER | (c <= 'f' ? CHC_HEXLETTER : 0u);
  for (int c = 0x80; c <= 0xBF; ++c) t[c] = CHC_HIGHBYTE;
  for (int c = 0xC0; c <= 0xDD; ++c) t[c] = CHC_LATIN1_UPPER;
  for (int c = 0xDF; c <= 0xFD; ++c) t[c] = CHC_LATIN1_LOWER;
  t[0xDE] = CHC_HIGHBYTE;
  t[0xFE] = CHC_HIGHBYTE;
  t[0xFF] = CHC_HIGHBYTE;
  return t;
}

constexpr std::array<uint32_t, 8> BuildWordEndCharSet() {
  std::array<uint32_t, 8> s{};
  auto add = [&s](unsigned c) { s[c >> 5] |= 1u << (c & 31); };
  for (unsigned c = 0; c <= 0x20; ++c) add(c);
  add(',');
  add(';');
  return s;
}

}  // namespace toolkit_detail

// Class bits of every byte value; index with the unsigned byte.
inline constexpr std::array<uint32_t, 256> CharClassTable = toolkit_detail::BuildCharClassTable();

// Digit-group separator classes of the integer parsers, indexed by bits
// 10-11 of their flags: none, '_', apostrophe, both.
inline constexpr std::array<uint32_t, 4> NumberSeparatorClasses = {0, CHC_UNDERSCORE, CHC_QUOTE,
                                                                   CHC_UNDERSCORE | CHC_QUOTE};

// Characters that end an unquoted token: controls, blank, ',' and ';'.
// Character c is bit (c & 31) of word c >> 5.
inline constexpr std::array<uint32_t, 8> WordEndCharSet = toolkit_detail::BuildWordEndCharSet();

// Base letter of each byte 0x80-0xFF (index byte - 0x80) for accent-blind
// compares: code page 437 letters below 0xA6, Latin-1 letters from 0xC0.
inline constexpr std::array<uint8_t, 128> AccentFoldTable = [] {
  std::array<uint8_t, 128> t{};
  for (int i = 0; i < 128; ++i) t[i] = static_cast<uint8_t>(0x80 + i);
  auto set = [&t](int from, int to, char letter) {
    for (int c = from; c <= to; ++c) t[c - 0x80] = static_cast<uint8_t>(letter);
  };
  set(0x81, 0x81, 'u');
  set(0x82, 0x82, 'e');
  set(0x83, 0x86, 'a');
  set(0x88, 0x8A, 'e');
  set(0x8B, 0x8D, 'i');
  set(0x8E, 0x8F, 'A');
  set(0x90, 0x90, 'E');
  set(0x94, 0x95, 'o');
  set(0x96, 0x97, 'u');
  set(0x99, 0x99, 'U');
  set(0xA0, 0xA0, 'a');
  set(0xA1, 0xA1, 'i');
  set(0xA2, 0xA2, 'o');
  set(0xA3, 0xA3, 'u');
  set(0xA4, 0xA4, 'n');
  set(0xA5, 0xA5, 'N');
  set(0xC0, 0xC6, 'A');
  set(0xC7, 0xC7, 'C');
  set(0xC8, 0xCB, 'E');
  set(0xCC, 0xCF, 'I');
  set(0xD0, 0xD0, 'D');
  set(0xD1, 0xD1, 'N');
  set(0xD2, 0xD6, 'O');
  set(0xD9, 0xDC, 'U');
  set(0xDD, 0xDD, 'Y');
  set(0xDF, 0xDF, 's');
  set(0xE0, 0xE6, 'a');
  set(0xE7, 0xE7, 'c');
  set(0xE8, 0xEB, 'e');
  set(0xEC, 0xEF, 'i');
  set(0xF0, 0xF0, 'd');
  set(0xF1, 0xF1, 'n');
  set(0xF2, 0xF6, 'o');
  set(0xF9, 0xFC, 'u');
  set(0xFD, 0xFD, 'y');
  t[0xFE - 0x80] = 0xDE;
  set(0xFF, 0xFF, 'y');
  return t;
}();

// Forward spans. The unbounded forms always stop at the terminator.
int StrSpanClass(const char* text, uint32_t mask);
int StrSpanClassW(const wchar16* text, uint32_t mask);
int StrSpanClassN(const char* text, uint32_t mask, int maxLen);
int StrSpanClassNW(const wchar16* text, uint32_t mask, int maxLen);
int StrSpanNotClass(const char* text, uint32_t mask);
int StrSpanNotClassW(const wchar16* text, uint32_t mask);
// The bounded forms test the terminator like any other character: there a
// mask with CHC_NUL set lets StrSpanClassN, and one with CHC_NUL set lets
// StrSpanNotClassN (which inverts bit 31), run over it up to maxLen.
int StrSpanNotClassN(const char* text, uint32_t mask, int maxLen);
int StrSpanNotClassNW(const wchar16* text, uint32_t mask, int maxLen);

// Backward spans from end (one past the last character tested).
int StrSpanClassBack(const char* end, uint32_t mask, int maxLen);
int StrSpanClassBackW(const wchar16* end, uint32_t mask, int maxLen);
int StrSpanNotClassBack(const char* end, uint32_t mask, int maxLen);
int StrSpanNotClassBackW(const wchar16* end, uint32_t mask, int maxLen);

// Backward set searches over text[0..len); a negative len means up to the
// terminator. set is a NUL-terminated list of characters.
int StrFindLastOf(const char* text, const char* set, int len);
int StrFindLastOfW(const wchar16* text, const wchar16* set, int len);
int StrFindLastNotOf(const char* text, const char* set, int len);
int StrFindLastNotOfW(const wchar16* text, const wchar16* set, int len);
int StrSplitPosLastOf(const char* text, const char* set, int len);
int StrSplitPosLastOfW(const wchar16* text, const wchar16* set, int len);
int StrSplitPosLastNotOf(const char* text, const char* set, int len);
int StrSplitPosLastNotOfW(const wchar16* text, const wchar16* set, int len);
