// Front ends of the printf engine for memory destinations: a bounded buffer,
// an unbounded string and a growing heap text. Each returns the number of
// characters (16-bit units for the W forms) it stored.
#pragma once

#include <cstdarg>

#include "platform/types.h"
#include "toolkit/format.h"

// A growing text on the heap, owned by the caller. `data` null means empty;
// the first call allocates. Blocks come from ::operator new(std::nothrow) and
// hold capacity + 4 characters; the owner frees `data` with ::operator delete.
struct HeapText {
  char* data = nullptr;
  int length = 0;
  int capacity = 0;
};
struct HeapTextW {
  wchar16* data = nullptr;
  int length = 0;
  int capacity = 0;
};

// Sink state of the buffer front ends: characters stored so far and the most
// that may be stored.
struct BufferSinkState {
  char* data;
  int length;
  int limit;
};
struct BufferSinkStateW {
  wchar16* data;
  int length;
  int limit;
};

// Output callbacks; ctx is a BufferSinkState[W]* or a HeapText[W]*.
int BufferSink(void* ctx, const char* data, int count);
int BufferSinkW(void* ctx, const wchar16* data, int count);
int HeapTextSink(void* ctx, const char* data, int count);
int HeapTextSinkW(void* ctx, const wchar16* data, int count);

// At most size - 1 characters, always terminated; size < 1 writes nothing.
int FormatToBuffer(char* buf, int size, const char* format, ...);
int FormatToBufferV(char* buf, int size, const char* format, va_list args);
int FormatToBufferW(wchar16* buf, int size, const wchar16* format, ...);
int FormatToBufferWV(wchar16* buf, int size, const wchar16* format, va_list args);

// Unbounded (up to 0x10000000 characters); the caller guarantees the room.
int FormatToString(char* buf, const char* format, ...);
int FormatToStringV(char* buf, const char* format, va_list args);
int FormatToStringW(wchar16* buf, const wchar16* format, ...);
int FormatToStringWV(wchar16* buf, const wchar16* format, va_list args);

// Appends to `text` and terminates it; returns the characters added, 0 when
// the first block cannot be had. A later failed growth loses only the piece
// being delivered.
int FormatToHeap(HeapText* text, const char* format, ...);
int FormatToHeapV(HeapText* text, const char* format, va_list args);
int FormatToHeapW(HeapTextW* text, const wchar16* format, ...);
int FormatToHeapWV(HeapTextW* text, const wchar16* format, va_list args);
