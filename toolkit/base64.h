// Base64 text (standard alphabet, '=' padding, LF line breaks): whole buffers
// and streams, with 8-bit and 16-bit text twins.
#pragma once

#include "platform/types.h"

// Encodes srcLen bytes; with lineLen > 0 a LF follows every lineLen
// characters and the text ends with a LF. Of the padded last group only the
// characters before the padding count (one per leftover byte), so the
// padding stays on their line; for lineLen a multiple of 4 the text is that
// of `base64 -w N`.
// dst is terminated. Returns the characters written, or -1 when the text would
// not fit an int (nothing written). srcLen < 1 writes an empty text.
int Base64Encode(const void* src, int srcLen, char* dst, int lineLen);
int Base64EncodeW(const void* src, int srcLen, char16_t* dst, int lineLen);

// Streaming encoder. *state starts at 0 and carries up to two pending bytes
// (bits 0-15), the position in the current output line (bits 16-26) and the
// number of pending bytes (bits 28-31). Each call writes the complete groups it
// can form, terminates dst and returns the characters written. A call with src
// null finishes the stream (padded last group, final LF) and leaves *state 0;
// any chunking gives exactly the text of Base64Encode on the whole input.
// lineLen above 2047 or a state that cannot have come from this encoder gives
// -1 with nothing changed.
int Base64EncodeStream(const void* src, int srcLen, DWORD* state, char* dst, int lineLen);
int Base64EncodeStreamW(const void* src, int srcLen, DWORD* state, char16_t* dst, int lineLen);

// Decodes up to srcLen characters (the terminator also ends the input) into at
// most dstSize bytes. Characters outside the alphabet are skipped; '=' drops
// the bits of an unfinished group, so concatenated encodings decode as each
// would alone. Returns the bytes written; dstSize < 1 or srcLen < 1 gives 0.
int Base64Decode(void* dst, int dstSize, const char* src, int srcLen);
int Base64DecodeW(void* dst, int dstSize, const char16_t* src, int srcLen);

// Streaming decoder: *state (0 at the start) holds the bits not yet output in
// its low 8 bits and their number in bits 28-31; it is written back on every
// call. Well-formed text leaves it 0.
int Base64DecodeStream(void* dst, int dstSize, DWORD* state, const char* src, int srcLen);
int Base64DecodeStreamW(void* dst, int dstSize, DWORD* state, const char16_t* src, int srcLen);
