// UTF-8 and UTF-16 conversion: one character decoded, encoded or measured,
// and whole texts converted between Latin-1, UTF-8 and 16-bit text.
//
// Decoding is lenient: overlong forms, encoded surrogates and values up to
// 0x1FFFFF are taken bit for bit; a byte that does not start a complete
// sequence stands for itself. A lone surrogate unit decodes to its own value.
// Code points above 0x10FFFF have no UTF-16 form and become U+FFFD there.
//
// The text converters take the destination size in destination units, write
// an empty text whenever dstSize >= 1, never write at or past dstSize and
// return the units written without the terminator. A negative srcLen means
// "up to the terminator". The UTF-8 writers put a character only while the
// output position is below dstSize-4; Utf8ToWide keeps its output within
// dstSize-2 units. Neither ever writes half a sequence or half a pair.
#pragma once

#include "platform/types.h"

// --- single characters -----------------------------------------------------

// Decodes the sequence at text; returns its length 1-4. Reads no byte after
// the first one that does not continue the sequence.
int Utf8DecodeChar(const char* text, DWORD* codePoint);
// Decodes the sequence that ends just before end: the one forward decoding
// takes from a lead byte, when it ends exactly at end; else the last byte on
// its own. Reads up to four bytes before end, which must belong to the text.
int Utf8DecodeCharBack(const char* end, DWORD* codePoint);
int Utf8CharLength(const char* text);
// As Utf8CharLength, bytes at or beyond maxLen counting as non-continuation
// bytes; maxLen < 1 gives 0.
int Utf8CharLengthN(const char* text, int maxLen);
int Utf8EncodedLength(DWORD codePoint);
// Writes the low 21 bits of codePoint as 1-4 bytes (no terminator).
int Utf8EncodeChar(char* dst, DWORD codePoint);

// 2 for a high surrogate followed by a low one, else 1 (the unit itself).
int Utf16DecodeChar(const wchar16* text, DWORD* codePoint);
// 2 when end[-2], end[-1] form a pair, else 1. Reads end[-2] only when
// end[-1] is a low surrogate; the caller guarantees it is in the text then.
int Utf16DecodeCharBack(const wchar16* end, DWORD* codePoint);
int Utf16CharLength(const wchar16* text);
int Utf16CharLengthN(const wchar16* text, int maxLen);
// 2 for 0x10000-0x10FFFF, else 1 (values above the range become U+FFFD).
int Utf16EncodedLength(DWORD codePoint);
int Utf16EncodeChar(wchar16* dst, DWORD codePoint);

// --- texts -----------------------------------------------------------------

// Latin-1 or 16-bit text to UTF-8. Stops at the source terminator, after
// srcLen source units, or when the output position reaches dstSize-4. A
// surrogate pair (both halves within srcLen) becomes one 4-byte sequence;
// every other unit, lone surrogates included, is encoded by itself. The
// Count forms also store the number of source characters converted (a pair
// counts one) in *count, which may be null.
int Latin1ToUtf8N(char* dst, const char* src, int dstSize, int srcLen);
int Latin1ToUtf8(char* dst, const char* src, int dstSize);
int Latin1ToUtf8NCount(char* dst, const char* src, int dstSize, int* count, int srcLen);
int Latin1ToUtf8Count(char* dst, const char* src, int dstSize, int* count);
int WideToUtf8N(char* dst, const wchar16* src, int dstSize, int srcLen);
int WideToUtf8(char* dst, const wchar16* src, int dstSize);
int WideToUtf8NCount(char* dst, const wchar16* src, int dstSize, int* count, int srcLen);
int WideToUtf8Count(char* dst, const wchar16* src, int dstSize, int* count);

// UTF-8 to 16-bit text, pairs above 0xFFFF. Stops at a decoded 0 (C0 80
// included), after srcLen bytes, or when the next character would take the
// output past dstSize-2 units (so dstSize 3 holds one unit and a pair needs
// dstSize 4). Never reads past srcLen nor past a 0 byte within it: a sequence
// cut by srcLen decodes as single bytes.
int Utf8ToWide(wchar16* dst, const char* src, int dstSize, int srcLen);
int Utf8ToWideZ(wchar16* dst, const char* src, int dstSize);

// UTF-8 to Latin-1: at most dstSize-1 characters; a code point above 255
// becomes 0xFF.
int Utf8ToLatin1(char* dst, const char* src, int dstSize);
int Utf8ToLatin1N(char* dst, const char* src, int dstSize, int srcLen);

// 16-bit text to Latin-1 (a character above 255, a whole pair included,
// becomes one 0xFF) and back; at most dstSize-1 characters.
int WideToLatin1(char* dst, const wchar16* src, int dstSize, int srcLen);
int Latin1ToWide(wchar16* dst, const char* src, int dstSize, int srcLen);
