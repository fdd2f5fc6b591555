// Bounded length, copy, append, trim and prepend on terminated text.
//
// Sizes and lengths count characters of the text's own width (bytes for
// char, 16-bit units for wchar16). A destination size counts the terminator;
// a size below 1 means nothing may be written: the function writes nothing and
// returns 0. Every function that writes text terminates it, also when it
// truncates, and reads nothing past a source's terminator or bound. Copies
// and appends need a source that does not overlap the destination; the trim
// and prepend functions work in place.
#pragma once

#include "platform/types.h"

// Characters before the terminator, at most maxLen; maxLen < 1 gives 0.
int StrLenN(const char* text, int maxLen);
int StrLenNW(const wchar16* text, int maxLen);

// Copies at most dstSize - 1 characters and terminates; returns the count.
int StrCopyN(char* dst, const char* src, int dstSize);
int StrCopyNW(wchar16* dst, const wchar16* src, int dstSize);

// As StrCopyN, copying at most maxChars characters (a negative maxChars
// counts as 0 and writes an empty text).
int StrCopyMax(char* dst, const char* src, int dstSize, int maxChars);
int StrCopyMaxW(wchar16* dst, const wchar16* src, int dstSize, int maxChars);

// Appends src behind dst's text within dstSize; returns the new length. A
// dst without a terminator inside dstSize is left alone and dstSize returned.
int StrAppendN(char* dst, const char* src, int dstSize);
int StrAppendNW(wchar16* dst, const wchar16* src, int dstSize);
int StrAppendMax(char* dst, const char* src, int dstSize, int maxChars);
int StrAppendMaxW(wchar16* dst, const wchar16* src, int dstSize, int maxChars);

// Copies src without leading and trailing TAB, LF, CR and space; returns the
// length. dst may equal src.
int StrTrimCopy(char* dst, const char* src);
int StrTrimCopyW(wchar16* dst, const wchar16* src);
// Skips the leading white space, takes at most dstSize - 1 characters and
// drops the trailing white space of those.
int StrTrimCopyN(char* dst, const char* src, int dstSize);
int StrTrimCopyNW(wchar16* dst, const wchar16* src, int dstSize);

// Puts front before text in place. StrPrepend returns the new length plus one
// (the terminator counted); the N form keeps the result within size
// characters and returns the new length.
int StrPrepend(char* text, const char* front);
int StrPrependW(wchar16* text, const wchar16* front);
int StrPrependN(char* text, const char* front, int size);
int StrPrependNW(wchar16* text, const wchar16* front, int size);
