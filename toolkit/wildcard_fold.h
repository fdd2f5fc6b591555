// Case-blind compares, '?' compares and in-place case changes shared by the
// wildcard matchers, with optional installed case-folding tables.
//
// Without tables every case change and compare is locale-free: the 8-bit
// case-blind compares fold 'A'-'Z' to 'a'-'z' over unsigned bytes (so
// StrCompareNoCase and StrCompareNoCaseN order alike, whatever the process
// locale), the wide ones use MemCompare16NoCase, and StrUpper, StrLower and
// the '?' compares touch ASCII letters only.
#pragma once

#include "platform/types.h"

// Installs the two case-folding tables: tables[0] maps a character to its
// capital form (every case-blind compare and StrUpper), tables[1] to its
// small form (StrLower). Each holds 0x3000 entries; wide characters from
// 0x3000 on map to themselves, and the 8-bit functions use the low byte of
// a byte's entry. A null argument removes both. The tables must outlive
// their use.
void SetCaseFoldTables(const WORD* const* tables);

// Compares n characters, stopping after a terminator both texts share.
// Exact: -1, 0 or 1 (wide: MemCompare16). Case-blind: the difference of the
// folded characters at the first difference (through the capital table when
// installed).
int StrCompareFoldN(const char* a, const char* b, int n, bool ignoreCase);
int StrCompareFoldNW(const wchar16* a, const wchar16* b, int n, bool ignoreCase);
int StrCompareNoCaseN(const char* a, const char* b, int n);
int StrCompareNoCaseNW(const wchar16* a, const wchar16* b, int n);
int StrCompareNoCase(const char* a, const char* b);
int StrCompareNoCaseW(const wchar16* a, const wchar16* b);

// Compares n characters (counted: the terminator is an ordinary one) where '?'
// in the pattern equals any character; 0, or pattern minus text character at
// the first difference. The Fold forms fold both sides to capitals when
// ignoreCase is set.
int StrCompareWild(const char* pattern, const char* text, int n);
int StrCompareWildW(const wchar16* pattern, const wchar16* text, int n);
int StrCompareWildFold(const char* pattern, const char* text, int n, bool ignoreCase);
int StrCompareWildFoldW(const wchar16* pattern, const wchar16* text, int n, bool ignoreCase);

// In-place case changes up to the terminator (N forms: also at most len
// characters; a negative len means up to the terminator). Return text.
char* StrUpper(char* text);
wchar16* StrUpperW(wchar16* text);
char* StrUpperN(char* text, int len);
wchar16* StrUpperNW(wchar16* text, int len);
char* StrLower(char* text);
wchar16* StrLowerW(wchar16* text);
char* StrLowerN(char* text, int len);
wchar16* StrLowerNW(wchar16* text, int len);
