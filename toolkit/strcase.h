// Case conversion of terminated text: upper, lower, or capitalised words,
// optionally per path component or word and only where a condition holds.
#pragma once

#include "platform/types.h"

// Flag bits of StrCaseConvert.
inline constexpr DWORD CASE_UPPER = 0x1;          // upper case
inline constexpr DWORD CASE_LOWER = 0x2;          // lower case (when CASE_UPPER is clear)
                                                  // neither: capitalise words
inline constexpr DWORD CASE_LOWER_EXT = 0x200;    // the capital after the last '.' becomes small
inline constexpr DWORD CASE_PATH_SEGMENTS = 0x400;  // segments end at '\\' and '/'
inline constexpr DWORD CASE_WORD_SEGMENTS = 0x800;  // segments are runs of letters and digits
inline constexpr DWORD CASE_KEEP_INITIALS = 0x1000;  // capitalising keeps word-initial case
inline constexpr DWORD CASE_LATIN1 = 0x2000;      // Latin-1 letters take part
inline constexpr DWORD CASE_IF_NO_UPPER = 0x4000;  // convert only what holds no capital
inline constexpr DWORD CASE_IF_NO_LOWER = 0x8000;  // convert only what holds no small letter
inline constexpr DWORD CASE_IF_NOT_MIXED = 0xC000;  // convert only what is not mixed

// Converts src into dst (dst may equal src, else they must not overlap).
//
// Letters are 'A'-'Z' and 'a'-'z', and with CASE_LATIN1 also 0xC0-0xDD and
// 0xDF-0xFD except the signs 0xD7 and 0xF7; the one test serves conversion,
// capitalising, word segments and conditions. Upper-casing (and capitalising
// a word) turns 0xDF into 'S'. A capitalised letter is one whose previous
// character is no letter or digit, the start of each converted stretch
// counting as a blank.
//
// Without segment flags a condition applies to the whole text, which is
// copied unchanged when it fails. With CASE_PATH_SEGMENTS or
// CASE_WORD_SEGMENTS and a condition, each segment from its first letter or
// digit is converted or copied on its own; without a condition the text is
// converted as a whole. CASE_LOWER_EXT then applies to the text's last '.'.
void StrCaseConvert(char* dst, const char* src, DWORD flags);
void StrCaseConvertW(wchar16* dst, const wchar16* src, DWORD flags);
