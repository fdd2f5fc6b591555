// Byte blocks as hexadecimal text: grouped hex strings, dump lines, masked
// byte patterns and plain hex input, with 8-bit and 16-bit text twins.
#pragma once

#include "platform/types.h"

// HexEncode flags (the low byte is the block length in bytes, 0 = no blocks;
// bits 8-15 the separator written between groups, 0 = no groups).
constexpr DWORD HEX_GROUP_SHIFT = 25;          // bits 25-26: group size 1 << n bytes
constexpr DWORD HEX_BLANK_AT_BLOCK = 0x08000000;  // a block end that is a group end gets a blank, not the separator
constexpr DWORD HEX_NO_LAST_SEP = 0x10000000;  // no separator after the last group
constexpr DWORD HEX_LEADING_COLON = 0x20000000;
constexpr DWORD HEX_REVERSED = 0x40000000;     // each group (or the whole count) written last byte first
constexpr DWORD HEX_TERMINATE = 0x80000000;    // terminate the output (not counted)

// Writes count bytes as capital hex digits per flags; returns the characters
// written. The output is terminated only with HEX_TERMINATE.
int HexEncode(const void* src, char* dst, int count, DWORD flags);
int HexEncodeW(const void* src, char16_t* dst, int count, DWORD flags);

// One hex-dump line: an optional offset (bits 8-11 its width in hex digits,
// 0x80 appends 'h', 0x08000000 adds it in decimal in parentheses, 0x1000 a TAB
// and 0x2000 a blank after it), bits 16-19 filler characters (blanks, TABs
// with 0x8000), min(available, perLine) bytes as hex (block length flags & 63,
// groups of bits 25-26, blank separators with bit 24, reversed with 0x40),
// blanks for the missing bytes so that columns line up, bits 20-23 filler
// characters, then unless 0x4000 the bytes as text (below 32 as '.') padded to
// perLine. Terminated; returns the line length.
int HexDumpLine(char* dst, uint64_t offset, const void* data, int available, int perLine, DWORD flags);
int HexDumpLineW(char16_t* dst, uint64_t offset, const void* data, int available, int perLine, DWORD flags);

// HexDecode / HexToBytes: quoted text allowed.
constexpr DWORD HEX_ALLOW_QUOTED = 0x10000000;

// Reads a byte pattern into values and masks (a mask bit 1: the value bit
// must match). Hex digits give 4 known bits, '?' 4 unknown ones; after '#' or
// ':' digits are binary ('0', '1', '?' one bit each) up to the next blank. A
// blank ends a partial byte, whose missing high bits are unknown; at the end of
// the text they are known zeros. With HEX_ALLOW_QUOTED in maxCount a quoted
// text gives one byte per character ('?' inside: any byte). The other bits of
// maxCount are the maximum number of bytes. Returns the bytes stored; used (may
// be null) receives the characters read, trailing blanks included.
int HexDecode(BYTE* values, BYTE* masks, int maxCount, const char* text, int* used);
int HexDecodeW(BYTE* values, BYTE* masks, int maxCount, const char16_t* text, int* used);

// HexToBytes flags beside the maximum byte count in bits 0-15.
constexpr DWORD HEXBYTES_SEP_COLON = 0x10000;
constexpr DWORD HEXBYTES_SEP_MINUS = 0x20000;
constexpr DWORD HEXBYTES_SEP_DOT = 0x40000;
constexpr DWORD HEXBYTES_SEP_COMMA = 0x80000;
constexpr DWORD HEXBYTES_FILL_SHIFT = 20;         // bits 20-27: the fill byte
constexpr DWORD HEXBYTES_NO_COLON = 0x20000000;   // no leading ':' is skipped
constexpr DWORD HEXBYTES_FILL = 0x40000000;       // fill dst up to the maximum

// Reads plain hex text: bytes of one or two digits, blanks and TABs between
// them, one allowed separator after each byte, quoted text with
// HEX_ALLOW_QUOTED. Returns the bytes read (without the fill); used (may be
// null) receives the characters read, trailing blanks included.
int HexToBytes(void* dst, DWORD maxCountAndFlags, const char* text, int* used);
int HexToBytesW(void* dst, DWORD maxCountAndFlags, const char16_t* text, int* used);

// 0 when a AND mask equals b AND mask over n bytes; else the difference of the
// masked bytes at the first place they differ. n < 1 gives 0.
int MemCompareMasked(const void* a, const void* b, const void* mask, int n);
