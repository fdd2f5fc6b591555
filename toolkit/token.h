// The next token of a line: a word, or an item enclosed in quotes or
// brackets with an optional escape character, with 16-bit text twins.
//
// Results count the characters consumed from the start of text, leading
// blanks included. An item opened by open (a double quote, apostrophe or any
// other character closes with itself; '(' with ')', '[' with ']', '{' with
// '}', '<' with '>') ends at its closing character (consumed) or at the
// terminator, CR, LF or the bound (not consumed); escaped characters do not
// end it and the escapes stay in the content. open 0 means no enclosing
// character, escape 0 no escape. An unenclosed word ends at a control
// character, blank, ',' or ';' (class forms: where wordClass ends).
//
// maxLen bounds the scan. A maxLen of the TOKEN_KEY_TAG form (not positive,
// bits 23-30 = 0x57000000) carries a key character in bits 16-22 and the bound
// in bits 0-15: the token must then follow that key character (blanks around
// it allowed), else 0 is returned. Any other maxLen below 1 gives 0.
//
// The copying forms copy the content with StrCopyMax into dst (dstSize
// characters, terminated); when nothing remains within the bound after the
// blanks, dst is left unwritten.
#pragma once

#include "platform/types.h"

constexpr DWORD TOKEN_KEY_TAG = 0x57000000;
constexpr DWORD TOKEN_KEY_TAG_MASK = 0x7F800000;

int StrTokenLength(const char* text, int escape, int open, int maxLen);
int StrTokenLengthW(const char16_t* text, int escape, int open, int maxLen);
int StrTokenLengthClass(DWORD wordClass, const char* text, int escape, int open, int maxLen);
int StrTokenLengthClassW(DWORD wordClass, const char16_t* text, int escape, int open, int maxLen);

int StrGetToken(char* dst, const char* text, int dstSize, int escape, int open, int maxLen);
int StrGetTokenW(char16_t* dst, const char16_t* text, int dstSize, int escape, int open, int maxLen);
int StrGetTokenClass(DWORD wordClass, char* dst, const char* text, int dstSize, int escape, int open, int maxLen);
int StrGetTokenClassW(DWORD wordClass, char16_t* dst, const char16_t* text, int dstSize, int escape, int open,
                      int maxLen);

// As above; copied (may be null) receives the characters copied into dst.
int StrGetTokenEx(char* dst, const char* text, int* copied, int dstSize, int escape, int open, int maxLen);
int StrGetTokenExW(char16_t* dst, const char16_t* text, int* copied, int dstSize, int escape, int open,
                   int maxLen);
int StrGetTokenClassEx(DWORD wordClass, char* dst, const char* text, int* copied, int dstSize, int escape,
                       int open, int maxLen);
int StrGetTokenClassExW(DWORD wordClass, char16_t* dst, const char16_t* text, int* copied, int dstSize,
                        int escape, int open, int maxLen);
