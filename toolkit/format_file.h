// Front ends of the printf engine for stdio streams (three encodings) and the
// process's standard output. Each returns what the writes took: bytes, or
// 16-bit units for the UTF-16 forms.
#pragma once

#include <cstdarg>

#include "platform/stdio.h"
#include "platform/types.h"
#include "toolkit/format.h"

// A 4-byte sequence FilePrintfWUtf8 wrote for a high surrogate that ended a
// call: the stream, the file under it and the position right behind it.
struct FilePendingSequence {
  FILE* file;
  int64_t end;
  uint64_t device;
  uint64_t inode;
};

// Context of FileUtf8SinkW: a high surrogate that ended one piece waits here
// for the low one at the start of the next.
struct FileUtf8SinkWContext {
  FILE* file;
  wchar16 pending;  // 0 or a high surrogate
  bool opening;     // no unit of this call seen yet
  bool hasEarlier = false;          // an earlier call left `earlier` on this stream
  FilePendingSequence earlier = {};
};

// Output callbacks; ctx is the FILE* (FileUtf8SinkW: FileUtf8SinkWContext*),
// unused for the standard-output sinks.
int FileWriteSink(void* ctx, const char* data, int count);
int FileUtf8Sink(void* ctx, const char* data, int count);
int FileUtf16Sink(void* ctx, const char* data, int count);
int FileNarrowSinkW(void* ctx, const wchar16* data, int count);
int FileUtf8SinkW(void* ctx, const wchar16* data, int count);
int FileUtf16SinkW(void* ctx, const wchar16* data, int count);
int StdoutSink(void* ctx, const char* data, int count);
int StdoutSinkW(void* ctx, const wchar16* data, int count);

// Narrow format: bytes as they are; Latin-1 to UTF-8; bytes to 16-bit units.
int FilePrintf(FILE* file, const char* format, ...);
int FilePrintfV(FILE* file, const char* format, va_list args);
int FilePrintfUtf8(FILE* file, const char* format, ...);
int FilePrintfUtf8V(FILE* file, const char* format, va_list args);
int FilePrintfUtf16(FILE* file, const char* format, ...);
int FilePrintfUtf16V(FILE* file, const char* format, va_list args);

// 16-bit format: units below 256 as bytes; UTF-16 to UTF-8; units as they are.
// A high surrogate that ends a FilePrintfWUtf8 call is written with its low
// bits 0; a low surrogate opening the next call on the same stream completes
// that sequence in place where the stream reads back and does not append.
// Every other lone low surrogate is left out.
int FilePrintfW(FILE* file, const wchar16* format, ...);
int FilePrintfWV(FILE* file, const wchar16* format, va_list args);
int FilePrintfWUtf8(FILE* file, const wchar16* format, ...);
int FilePrintfWUtf8V(FILE* file, const wchar16* format, va_list args);
int FilePrintfWUtf16(FILE* file, const wchar16* format, ...);
int FilePrintfWUtf16V(FILE* file, const wchar16* format, va_list args);

// Standard output: bytes; 16-bit units as two bytes each (returns units).
int StdoutPrintf(const char* format, ...);
int StdoutPrintfV(const char* format, va_list args);
int StdoutPrintfW(const wchar16* format, ...);
int StdoutPrintfWV(const wchar16* format, va_list args);
