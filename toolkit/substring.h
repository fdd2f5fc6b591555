// Substring search (exact or case-blind: 'A'-'Z' fold with 'a'-'z'), the
// search for a "key = value" assignment, and replacement of substrings and of
// single characters, with 16-bit text twins.
//
// Results are 0-based character indexes, -1 when nothing is found. Every
// search stops at the text's terminator. The bounded forms (trailing N) also
// need the whole key to fit within textLen and may read any of the first
// textLen characters, so textLen must not exceed the caller's buffer. A key
// length below 0 means up to the key's terminator.
#pragma once

#include "platform/types.h"

int StrFindStr(const char* text, const char* find);
int StrFindStrW(const char16_t* text, const char16_t* find);
int StrFindStrLen(const char* text, const char* find, int findLen);
int StrFindStrLenW(const char16_t* text, const char16_t* find, int findLen);
int StrFindStrN(const char* text, const char* find, int textLen);
int StrFindStrNW(const char16_t* text, const char16_t* find, int textLen);
int StrFindStrLenN(const char* text, const char* find, int textLen, int findLen);
int StrFindStrLenNW(const char16_t* text, const char16_t* find, int textLen, int findLen);

int StrFindStrNoCase(const char* text, const char* find);
int StrFindStrNoCaseW(const char16_t* text, const char16_t* find);
int StrFindStrLenNoCase(const char* text, const char* find, int findLen);
int StrFindStrLenNoCaseW(const char16_t* text, const char16_t* find, int findLen);
int StrFindStrNoCaseN(const char* text, const char* find, int textLen);
int StrFindStrNoCaseNW(const char16_t* text, const char16_t* find, int textLen);
int StrFindStrLenNoCaseN(const char* text, const char* find, int textLen, int findLen);
int StrFindStrLenNoCaseNW(const char16_t* text, const char16_t* find, int textLen, int findLen);

// Key-value search flags.
constexpr DWORD KEYVALUE_SKIP_NEWLINES = 0x1;  // CR and LF may stand between key and ch
constexpr DWORD KEYVALUE_QUOTED_KEY = 0x2;     // a key enclosed in double quotes matches too
constexpr DWORD KEYVALUE_WHOLE_WORD = 0x4;     // no word character may stand before the key

// Finds key followed by optional blanks and ch (say '=' or ':'); returns the
// index just after ch, or -1. An empty key finds nothing.
int StrFindKeyValue(const char* text, DWORD flags, const char* key, char ch, int keyLen);
int StrFindKeyValueW(const char16_t* text, DWORD flags, const char16_t* key, char16_t ch, int keyLen);
int StrFindKeyValueNoCase(const char* text, DWORD flags, const char* key, char ch, int keyLen);
int StrFindKeyValueNoCaseW(const char16_t* text, DWORD flags, const char16_t* key, char16_t ch, int keyLen);
int StrFindKeyValueN(const char* text, DWORD flags, const char* key, char ch, int textLen, int keyLen);
int StrFindKeyValueNW(const char16_t* text, DWORD flags, const char16_t* key, char16_t ch, int textLen,
                      int keyLen);
int StrFindKeyValueNoCaseN(const char* text, DWORD flags, const char* key, char ch, int textLen, int keyLen);
int StrFindKeyValueNoCaseNW(const char16_t* text, DWORD flags, const char16_t* key, char16_t ch, int textLen,
                            int keyLen);

// Copies src with every occurrence of find replaced by repl (the search goes
// on after each replacement), cut to dstSize-1 characters and terminated.
// Returns the result length. An empty find replaces nothing; dstSize < 1
// writes nothing and returns 0.
int StrReplaceCopy(char* dst, const char* src, const char* find, const char* repl, int dstSize);
int StrReplaceCopyW(char16_t* dst, const char16_t* src, const char16_t* find, const char16_t* repl, int dstSize);
int StrReplaceCopyNoCase(char* dst, const char* src, const char* find, const char* repl, int dstSize);
int StrReplaceCopyNoCaseW(char16_t* dst, const char16_t* src, const char16_t* find, const char16_t* repl,
                          int dstSize);

// The same in place in a buffer of size characters. When repl is longer than
// find the result is built in a temporary buffer; if that cannot be had the
// text is left untouched and the result is -1.
int StrReplace(char* text, const char* find, const char* repl, int size);
int StrReplaceW(char16_t* text, const char16_t* find, const char16_t* repl, int size);
int StrReplaceNoCase(char* text, const char* find, const char* repl, int size);
int StrReplaceNoCaseW(char16_t* text, const char16_t* find, const char16_t* repl, int size);

// Copies src with every character from replaced by to, at most dstSize-1
// characters, terminated; returns the characters copied. The NoCase forms
// also replace the other case of an ASCII letter. A from of 0 replaces
// nothing (the terminator stays where it is).
int StrReplaceChrCopy(char* dst, const char* src, char from, char to, int dstSize);
int StrReplaceChrCopyW(char16_t* dst, const char16_t* src, char16_t from, char16_t to, int dstSize);
int StrReplaceChrCopyNoCase(char* dst, const char* src, char from, char to, int dstSize);
int StrReplaceChrCopyNoCaseW(char16_t* dst, const char16_t* src, char16_t from, char16_t to, int dstSize);
void StrReplaceChr(char* text, char from, char to);
void StrReplaceChrW(char16_t* text, char16_t from, char16_t to);
void StrReplaceChrNoCase(char* text, char from, char to);
void StrReplaceChrNoCaseW(char16_t* text, char16_t from, char16_t to);
