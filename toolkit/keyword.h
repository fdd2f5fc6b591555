// Keyword lookup in separator-delimited lists and in string arrays, and the
// selection of fields from them, with 16-bit text twins.
//
// A list is a text of entries separated by sep (0: the whole list is one
// entry); an empty list has no entries, a trailing separator ends the list
// with an empty entry. A field selector is an index (fieldSel >= 0) or, when
// negative, a bit mask (fieldSel AND 0x7FFFFFFF) in which bit i selects field
// i. Case-blind forms fold 'A'-'Z' with 'a'-'z' and nothing else.
#pragma once

#include "platform/types.h"

// 0-based index of the entry equal to word, -1 if none. An empty word finds
// the first empty entry.
int KeywordIndex(const char* word, const char* list, char sep);
int KeywordIndexW(const char16_t* word, const char16_t* list, char16_t sep);
int KeywordIndexLen(const char* word, const char* list, int wordLen, char sep);
int KeywordIndexLenW(const char16_t* word, const char16_t* list, int wordLen, char16_t sep);
int KeywordIndexNoCase(const char* word, const char* list, char sep);
int KeywordIndexNoCaseW(const char16_t* word, const char16_t* list, char16_t sep);
int KeywordIndexLenNoCase(const char* word, const char* list, int wordLen, char sep);
int KeywordIndexLenNoCaseW(const char16_t* word, const char16_t* list, int wordLen, char16_t sep);

// Index of the equal string among the first count entries of array (a null
// entry ends it), -1 if none. The Len forms match the first wordLen
// characters of word.
int KeywordIndexArray(const char* word, const char* const* array, int count);
int KeywordIndexArrayW(const char16_t* word, const char16_t* const* array, int count);
int KeywordIndexArrayNoCase(const char* word, const char* const* array, int count);
int KeywordIndexArrayNoCaseW(const char16_t* word, const char16_t* const* array, int count);
int KeywordIndexArrayLen(const char* word, const char* const* array, int wordLen, int count);
int KeywordIndexArrayLenW(const char16_t* word, const char16_t* const* array, int wordLen, int count);
int KeywordIndexArrayLenNoCase(const char* word, const char* const* array, int wordLen, int count);
int KeywordIndexArrayLenNoCaseW(const char16_t* word, const char16_t* const* array, int wordLen, int count);

// Copies the selected fields one after the other (no separators), cut to
// dstSize-1 characters and terminated; returns the length.
int StrGetFields(char* dst, const char* list, int dstSize, int fieldSel, char sep);
int StrGetFieldsW(char16_t* dst, const char16_t* list, int dstSize, int fieldSel, char16_t sep);
int StrJoinArrayFields(char* dst, const char* const* array, int dstSize, int fieldSel, int count);
int StrJoinArrayFieldsW(char16_t* dst, const char16_t* const* array, int dstSize, int fieldSel, int count);

// Pointer to field index and its length in len; dflt (and its length, 0 for
// null) when the list is shorter. With len null the pointer is returned as
// soon as the field is reached.
const char* StrFieldPtr(const char* list, int index, char sep, int* len, const char* dflt);
const char16_t* StrFieldPtrW(const char16_t* list, int index, char16_t sep, int* len, const char16_t* dflt);

// Total length of the selected fields; firstOffset (may be null) receives the
// offset of the first selected field, or the list length when none is.
int StrFieldsLength(const char* list, int fieldSel, char sep, int* firstOffset);
int StrFieldsLengthW(const char16_t* list, int fieldSel, char16_t sep, int* firstOffset);
// The same over an array; firstIndex receives the array index (or the number
// of entries looked at when none is selected).
int ArrayFieldsLength(const char* const* array, int fieldSel, int count, int* firstIndex);
int ArrayFieldsLengthW(const char16_t* const* array, int fieldSel, int count, int* firstIndex);
