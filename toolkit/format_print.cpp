// Memory front ends of the printf engine: bounded buffers, unbounded strings
// and growing heap texts, each written once for both text widths.
#include <climits>
#include <cstring>
#include <new>

#include "toolkit/format_print.h"

namespace {

constexpr int kStringLimit = 0x10000000;
constexpr int kFirstCapacity = 128;
constexpr int kSlack = 4;  // room for the terminator behind a full text

template <class State, class Ch>
int BufferSinkT(State* s, const Ch* data, int count) {
  if (count <= 0) return 0;
  if (static_cast<int64_t>(s->length) + count >= s->limit) {
    if (s->length >= s->limit) return 0;
    count = s->limit - s->length;
  }
  std::memcpy(s->data + s->length, data, sizeof(Ch) * count);
  s->length += count;
  return count;
}

template <class Text, class Ch>
int HeapTextSinkT(Text* t, const Ch* data, int count) {
  if (count <= 0) return 0;
  if (static_cast<int64_t>(t->length) + count > t->capacity) {
    int64_t capacity =
        (static_cast<int64_t>(t->capacity) + t->capacity / 2 + count + 128) & ~int64_t{15};
    if (capacity > INT_MAX - kSlack) return 0;
    auto* block = static_cast<Ch*>(
        ::operator new(sizeof(Ch) * static_cast<size_t>(capacity + kSlack), std::nothrow));
    if (!block) return 0;
    if (t->length > 0) std::memcpy(block, t->data, sizeof(Ch) * t->length);
    ::operator delete(t->data);
    t->data = block;
    t->capacity = static_cast<int>(capacity);
  }
  std::memcpy(t->data + t->length, data, sizeof(Ch) * count);
  t->length += count;
  return count;
}

int Core(void* ctx, FormatOutputFunc out, const char* f, va_list a) {
  return FormatCore(ctx, out, f, a);
}
int Core(void* ctx, FormatOutputFuncW out, const wchar16* f, va_list a) {
  return FormatCoreW(ctx, out, f, a);
}

template <class State, class Ch, class Out>
int ToBuffer(Ch* buf, int limit, Out sink, const Ch* format, va_list args) {
  State state{buf, 0, limit};
  Core(&state, sink, format, args);
  buf[state.length] = 0;
  return state.length;
}

template <class Text, class Ch, class Out>
int ToHeap(Text* text, Out sink, const Ch* format, va_list args) {
  if (!text) return 0;
  if (!text->data) {
    text->length = 0;
    text->data = static_cast<Ch*>(
        ::operator new(sizeof(Ch) * (kFirstCapacity + kSlack), std::nothrow));
    if (!text->data) {
      text->capacity = 0;
      return 0;
    }
    text->capacity = kFirstCapacity;
  }
  int total = Core(text, sink, format, args);
  text->data[text->length] = 0;
  return total;
}

}  // namespace

int BufferSink(void* ctx, const char* data, int count) {
  return BufferSinkT(static_cast<BufferSinkState*>(ctx), data, count);
}
int BufferSinkW(void* ctx, const wchar16* data, int count) {
  return BufferSinkT(static_cast<BufferSinkStateW*>(ctx), data, count);
}
int HeapTextSink(void* ctx, const char* data, int count) {
  return HeapTextSinkT(static_cast<HeapText*>(ctx), data, count);
}
int HeapTextSinkW(void* ctx, const wchar16* data, int count) {
  return HeapTextSinkT(static_cast<HeapTextW*>(ctx), data, count);
}

int FormatToBufferV(char* buf, int size, const char* format, va_list args) {
  if (!buf || size < 1) return 0;
  return ToBuffer<BufferSinkState>(buf, size - 1, BufferSink, format, args);
}
int FormatToBufferWV(wchar16* buf, int size, const wchar16* format, va_list args) {
  if (!buf || size < 1) return 0;
  return ToBuffer<BufferSinkStateW>(buf, size - 1, BufferSinkW, format, args);
}
int FormatToStringV(char* buf, const char* format, va_list args) {
  if (!buf) return 0;
  return ToBuffer<BufferSinkState>(buf, kStringLimit, BufferSink, format, args);
}
int FormatToStringWV(wchar16* buf, const wchar16* format, va_list args) {
  if (!buf) return 0;
  return ToBuffer<BufferSinkStateW>(buf, kStringLimit, BufferSinkW, format, args);
}
int FormatToHeapV(HeapText* text, const char* format, va_list args) {
  return ToHeap<HeapText, char>(text, HeapTextSink, format, args);
}
int FormatToHeapWV(HeapTextW* text, const wchar16* format, va_list args) {
  return ToHeap<HeapTextW, wchar16>(text, HeapTextSinkW, format, args);
}


int FormatToBuffer(char* buf, int size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int total = FormatToBufferV(buf, size, format, args);
  va_end(args);
  return total;
}
int FormatToBufferW(wchar16* buf, int size, const wchar16* format, ...) {
  va_list args;
  va_start(args, format);
  int total = FormatToBufferWV(buf, size, format, args);
  va_end(args);
  return total;
}
int FormatToString(char* buf, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int total = FormatToStringV(buf, format, args);
  va_end(args);
  return total;
}
int FormatToStringW(wchar16* buf, const wchar16* format, ...) {
  va_list args;
  va_start(args, format);
  int total = FormatToStringWV(buf, format, args);
  va_end(args);
  return total;
}
int FormatToHeap(HeapText* text, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int total = FormatToHeapV(text, format, args);
  va_end(args);
  return total;
}
int FormatToHeapW(HeapTextW* text, const wchar16* format, ...) {
  va_list args;
  va_start(args, format);
  int total = FormatToHeapWV(text, format, args);
  va_end(args);
  return total;
}
