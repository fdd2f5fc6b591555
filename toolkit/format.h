// The library's own printf engine. It walks a format text, converts the
// arguments and hands the result piece by piece to an output callback; every
// formatted text of the libraries (buffers, heap texts, files, streams,
// string lists) goes through it. The platform's printf is never used.
//
// Beyond C's conversions: b/B (binary), D/U/F (digit groups), m/M (hex dump
// of memory), k/K (time, date and time), backslash escapes for characters
// (%#+c), ~ (convert, then drop the text) and positional arguments %@A..%@L.
//
// Argument kinds, fixed on every host:
//   int            c C, every *, d i u o b B x X D U without size or with
//                  hh h l L w I32 (l is 32 bits everywhere), k K without I64/q/ll
//   int64_t        the same conversions with I64, q or ll
//   intptr_t       the same with z, t, j or plain I
//   double         e E f F g G a A, whatever the size letter
//   pointer        s S n m M p
#pragma once

#include <cstdarg>

#include "platform/types.h"

// Receives one piece of output: `count` (0 or more) characters at `data`,
// valid only during the call. The engine returns the plain sum of the
// results; no result stops the formatting.
using FormatOutputFunc = int (*)(void* ctx, const char* data, int count);
// The 16-bit twin; `count` in 16-bit units.
using FormatOutputFuncW = int (*)(void* ctx, const wchar16* data, int count);

// Formats `format` with `args` through `out`; returns the sum of its results
// (saturated to the int range). An empty format never calls `out`. Like
// vprintf, it reads `args` itself: the caller's list is used up afterwards.
int FormatCore(void* ctx, FormatOutputFunc out, const char* format, va_list args);
int FormatCoreW(void* ctx, FormatOutputFuncW out, const wchar16* format, va_list args);

int FormatCorePrintf(void* ctx, FormatOutputFunc out, const char* format, ...);
int FormatCorePrintfW(void* ctx, FormatOutputFuncW out, const wchar16* format, ...);
