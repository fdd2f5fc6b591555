// Ordering compares for names: the natural compare (digit runs by value,
// path separators first, accents and '_' blind) and the path compare ('\\'
// and '/' alike, then '.'). Both are strict weak orders, so they sort and
// binary-search safely. Results are negative, 0 or positive like strcmp; the
// N forms look at most n characters (n < 1 gives 0). Wide twins take UTF-16.
#pragma once

int StrCompareNatural(const char* a, const char* b);
int StrCompareNaturalW(const char16_t* a, const char16_t* b);
int StrCompareNaturalN(const char* a, const char* b, int n);
int StrCompareNaturalNW(const char16_t* a, const char16_t* b, int n);
int StrCompareNaturalNoCase(const char* a, const char* b);
int StrCompareNaturalNoCaseW(const char16_t* a, const char16_t* b);
int StrCompareNaturalNoCaseN(const char* a, const char* b, int n);
int StrCompareNaturalNoCaseNW(const char16_t* a, const char16_t* b, int n);

int StrComparePathN(const char* a, const char* b, int n);
int StrComparePathNW(const char16_t* a, const char16_t* b, int n);
int StrComparePathNoCaseN(const char* a, const char* b, int n);
int StrComparePathNoCaseNW(const char16_t* a, const char16_t* b, int n);
