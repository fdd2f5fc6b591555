// 256-bit character sets and the spans measured against them: span, break
// and find-end, forwards (stopping at the terminator) and backwards, plus a
// break that treats the terminator as an ordinary character.
//
// Character ch is bit (ch & 31) of word (ch >> 5); bytes count unsigned and
// every wide character above 255 is bit 255. A bound maxLen below 1 gives 0.
#pragma once

#include <array>

#include "platform/types.h"

using CharSet = std::array<DWORD, 8>;

// CharSetBuild flags.
inline constexpr DWORD CHARSET_KEEP = 0x1;    // keep the old contents (else clear first)
inline constexpr DWORD CHARSET_REMOVE = 0x2;  // remove the characters instead of adding them

// Adds (or removes) every character of chars up to its terminator.
void CharSetBuild(CharSet& set, const char* chars, DWORD flags);
void CharSetBuildW(CharSet& set, const wchar16* chars, DWORD flags);

// Leading characters in the set; the terminator always stops, uncounted,
// whether or not bit 0 is in the set.
int CharSetSpan(const char* text, const CharSet& set);
int CharSetSpanW(const wchar16* text, const CharSet& set);
int CharSetSpanN(const char* text, const CharSet& set, int maxLen);
int CharSetSpanNW(const wchar16* text, const CharSet& set, int maxLen);

// Leading characters not in the set, up to the terminator.
int CharSetBreak(const char* text, const CharSet& set);
int CharSetBreakW(const wchar16* text, const CharSet& set);
int CharSetBreakN(const char* text, const CharSet& set, int maxLen);
int CharSetBreakNW(const wchar16* text, const CharSet& set, int maxLen);

// Count up to and including the first member; the length when the terminator
// comes first; the N forms give maxLen when the bound comes first.
int CharSetFindEnd(const char* text, const CharSet& set);
int CharSetFindEndW(const wchar16* text, const CharSet& set);
int CharSetFindEndN(const char* text, const CharSet& set, int maxLen);
int CharSetFindEndNW(const wchar16* text, const CharSet& set, int maxLen);

// Leading characters not in the set, the terminator being an ordinary
// character: the unbounded form needs a member that occurs (bit 0 makes the
// terminator one).
int CharSetBreakMem(const char* text, const CharSet& set);
int CharSetBreakMemW(const wchar16* text, const CharSet& set);
int CharSetBreakMemN(const char* text, const CharSet& set, int maxLen);
int CharSetBreakMemNW(const wchar16* text, const CharSet& set, int maxLen);

// Characters before end, counted backwards, that are not in (Break) or in
// (Span) the set; the terminator is an ordinary character.
int CharSetBreakBackN(const char* end, const CharSet& set, int maxLen);
int CharSetBreakBackNW(const wchar16* end, const CharSet& set, int maxLen);
int CharSetSpanBackN(const char* end, const CharSet& set, int maxLen);
int CharSetSpanBackNW(const wchar16* end, const CharSet& set, int maxLen);
