// Ordering and equating paths the way a file list wants them: separators
// before every other character, a path that ends before one that goes a
// level deeper, letters with or without case, accented Latin letters beside
// their base letter, and (in the natural forms) digit runs by value.
// Results are negative, 0 or positive. Wide twins (ending in W) weigh units
// below 256 alike and every other unit 256 times its value.
#pragma once

#include <array>
#include <cstdint>

#include "platform/types.h"

// The two weight tables, indexed by byte: PATH_WEIGHTS_FOLD folds case,
// PATH_WEIGHTS_CASE keeps it. A digit's weight has the 0x80 bit set.
inline constexpr int PATH_WEIGHTS_FOLD = 0;
inline constexpr int PATH_WEIGHTS_CASE = 1;
extern const std::array<std::array<uint16_t, 256>, 2> PathSortWeights;

// Flags of ComparePaths.
inline constexpr DWORD PATHCMP_FULL_FIRST = 0x01;   // the first path as its full path
inline constexpr DWORD PATHCMP_FULL_SECOND = 0x02;  // the second path as its full path
inline constexpr DWORD PATHCMP_NOCASE = 0x04;
inline constexpr DWORD PATHCMP_NATURAL = 0x08;     // digit runs by value
inline constexpr DWORD PATHCMP_NORMALIZE = 0x10;   // both normalised first

int ComparePathNoCase(const char* a, const char* b);
int ComparePathNoCaseW(const wchar16* a, const wchar16* b);
int ComparePath(const char* a, const char* b);
int ComparePathW(const wchar16* a, const wchar16* b);
// Over the given lengths (-1: up to the terminator); equal prefixes order
// the shorter path first.
int ComparePathNoCaseN(const char* a, int lengthA, const char* b, int lengthB);
int ComparePathNoCaseNW(const wchar16* a, int lengthA, const wchar16* b, int lengthB);
int ComparePathN(const char* a, int lengthA, const char* b, int lengthB);
int ComparePathNW(const wchar16* a, int lengthA, const wchar16* b, int lengthB);
// Digit runs compared by value (file9 before file10); runs of equal value
// order by their digits, then the shorter first (file01 before file1).
int ComparePathNaturalNoCase(const char* a, int lengthA, const char* b, int lengthB);
int ComparePathNaturalNoCaseW(const wchar16* a, int lengthA, const wchar16* b, int lengthB);
int ComparePathNatural(const char* a, int lengthA, const char* b, int lengthB);
int ComparePathNaturalW(const wchar16* a, int lengthA, const wchar16* b, int lengthB);
// The comparison after the preparations the PATHCMP_* flags ask for.
int ComparePaths(const char* a, const char* b, DWORD flags);
int ComparePathsW(const wchar16* a, const wchar16* b, DWORD flags);
