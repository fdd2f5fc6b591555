// Text as a double-quoted literal with backslash escapes, written from 8-bit,
// UTF-8 or UTF-16 source and read back into 8-bit, 16-bit or UTF-8 output.
#pragma once

#include "platform/types.h"

// StrQuoteEscape flags.
constexpr DWORD QUOTE_SHORT_HEX = 0x04000000;     // "\xHH" rather than "\x0HH"
constexpr DWORD QUOTE_SRC_UTF8 = 0x08000000;      // src is UTF-8
constexpr DWORD QUOTE_SRC_UTF16 = 0x10000000;     // src is UTF-16, srcLen in bytes
constexpr DWORD QUOTE_NO_QUOTES = 0x20000000;     // no enclosing quotes
constexpr DWORD QUOTE_HEX_QUOTES = 0x40000000;    // '"', '\\', CR, LF and the named controls as hex
constexpr DWORD QUOTE_HEX_CONTROLS = 0x80000000;  // TAB, BEL, BS, FF and VT as hex

// Writes srcLen source units (a negative srcLen: up to the terminator) as a
// literal: characters from 32 on stand as they are, '"' and '\\' and the named
// controls as two-character escapes, everything else as "\x" and hex digits
// ("\x0HH", or "\xHH" with QUOTE_SHORT_HEX, then "" to close and reopen the
// literal when a hex digit follows; without quotes the three-digit form takes
// its place). Each character is written only while room for it, the closing
// quote and the terminator remains; the output always closes and is
// terminated (quotes need dstSize >= 3). Returns the characters written. The
// 8-bit output skips characters above 255, the 16-bit output (W) writes them
// unchanged.
int StrQuoteEscape(char* dst, int dstSize, const void* src, int srcLen, DWORD flags);
int StrQuoteEscapeW(char16_t* dst, int dstSize, const void* src, int srcLen, DWORD flags);

// StrUnquoteEscape: bits 27-29 of sizeAndFlags; the rest is the output size
// in bytes.
constexpr DWORD UNQUOTE_OUT_UTF8 = 0x08000000;   // output UTF-8
constexpr DWORD UNQUOTE_OUT_UTF16 = 0x10000000;  // output 16-bit units (size rounded down to even)
constexpr DWORD UNQUOTE_NO_QUOTES = 0x20000000;  // the source is not enclosed in quotes
constexpr DWORD UNQUOTE_FLAG_BITS = 0x38000000;

// Reads a literal back: from a leading double quote (unless UNQUOTE_NO_QUOTES)
// to the next unescaped one, where a quote directly after the closing one
// continues the literal; backslash escapes as StrParseEscape reads them. Stops
// at the source terminator or before a character that no longer fits the
// output; the output is terminated when room remains. Returns the output
// bytes written (terminator not counted); used (may be null) receives the
// source characters consumed.
int StrUnquoteEscape(void* dst, DWORD sizeAndFlags, const char* src, int* used);
