// Finding one character, or the first character of a class, in terminated
// text: forwards or backwards, bounded or not, optionally honouring an escape.
//
// Character arguments are compared by their low 8 bits (16 bits in the wide
// forms), so a Latin-1 character may come as a negative char. Bounded forms
// read nothing at or past maxLen; maxLen < 1 gives 0 without reading.
//
// Class searches stop at a character whose CharClassTable entry ANDed with
// (classMask XOR CHC_NUL) is not zero: the terminator stops them unless the
// mask holds CHC_NUL. The unbounded forms stop at the terminator whatever the
// mask says. Wide characters above 255 belong to CHC_OTHER alone.
//
// An escape hides the character behind it (the search steps over both), but
// never a terminator that would stop the search: the result is then the
// terminator's index. An escape at maxLen - 1 ends the search with maxLen.
// Where the escape equals ch, the escape wins.
#pragma once

#include "platform/types.h"

// chWord with this top byte selects the allowed-set mode of StrFindEndClass*:
// the mask then lists the characters that may continue the run, and the low
// byte (16 bits wide) is the end character.
inline constexpr DWORD CLASS_SPAN_TAG = 0x57000000;

// Index of the first ch, or of the terminator.
int StrFindChr(const char* text, int ch);
int StrFindChrW(const wchar16* text, int ch);
// The same within maxLen characters; maxLen when neither comes.
int StrFindChrN(const char* text, int ch, int maxLen);
int StrFindChrNW(const wchar16* text, int ch, int maxLen);
// Count up to and including the first ch; the text length when there is none.
int StrFindChrEnd(const char* text, int ch);
int StrFindChrEndW(const wchar16* text, int ch);
int StrFindChrEndN(const char* text, int ch, int maxLen);
int StrFindChrEndNW(const wchar16* text, int ch, int maxLen);
// Index of the last ch among text[0, len), -1 when none or len < 1; the
// terminator is an ordinary character here.
int StrFindChrBackN(const char* text, int ch, int len);
int StrFindChrBackNW(const wchar16* text, int ch, int len);

// Index of the first ch not hidden by escape, else of the terminator or maxLen.
int StrFindChrEscN(const char* text, int ch, int maxLen, int escape);
int StrFindChrEscNW(const wchar16* text, int ch, int maxLen, int escape);
// As StrFindChrEscN, a found ch counted (index + 1).
int StrFindChrEndEscN(const char* text, int ch, int maxLen, int escape);
int StrFindChrEndEscNW(const wchar16* text, int ch, int maxLen, int escape);

// Index of the first class stop or ch (ch not counted).
int StrBreakClassChrEscN(DWORD classMask, const char* text, int ch, int maxLen, int escape);
int StrBreakClassChrEscNW(DWORD classMask, const wchar16* text, int ch, int maxLen, int escape);
int StrBreakClassChrN(DWORD classMask, const char* text, int ch, int maxLen);
int StrBreakClassChrNW(DWORD classMask, const wchar16* text, int ch, int maxLen);
int StrBreakClassChr(DWORD classMask, const char* text, int ch);
int StrBreakClassChrW(DWORD classMask, const wchar16* text, int ch);

// Count up to a class stop (not counted) or up to and including the end
// character of chWord. In allowed-set mode (CLASS_SPAN_TAG) the run stops at
// the first character without a bit of the mask (used as given), so the end
// character is counted only when the mask allows it.
int StrFindEndClassEscN(DWORD classMask, const char* text, DWORD chWord, int maxLen, int escape);
int StrFindEndClassEscNW(DWORD classMask, const wchar16* text, DWORD chWord, int maxLen,
                         int escape);
int StrFindEndClassN(DWORD classMask, const char* text, DWORD chWord, int maxLen);
int StrFindEndClassNW(DWORD classMask, const wchar16* text, DWORD chWord, int maxLen);
int StrFindEndClass(DWORD classMask, const char* text, DWORD chWord);
int StrFindEndClassW(DWORD classMask, const wchar16* text, DWORD chWord);
