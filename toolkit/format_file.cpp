// Stdio and standard-output front ends of the printf engine. Every write goes
// through the platform layer; the encoding sinks stage their bytes in small
// local buffers.
#include <atomic>
#include <cstring>
#include <mutex>

#include "toolkit/format_file.h"

namespace {

std::atomic<intptr_t> g_stdout{0};  // 0: not fetched yet

intptr_t StdoutHandle() {
  intptr_t h = g_stdout.load(std::memory_order_relaxed);
  if (h == 0) {
    h = PlatformStdOutputHandle();
    g_stdout.store(h, std::memory_order_relaxed);
  }
  return h;
}

// Collects units and writes them whenever `flushAt` or more are staged.
template <class Unit, int kSize>
class Staging {
 public:
  Staging(FILE* file, int flushAt) : file_(file), flushAt_(flushAt) {}
  void Put(Unit u) {
    buf_[n_++] = u;
    if (n_ >= flushAt_) Flush();
  }
  void Flush() {
    if (n_ > 0) written_ += static_cast<int>(PlatformFileWrite(file_, buf_, sizeof(Unit), n_));
    n_ = 0;
  }
  int Done() {
    Flush();
    return written_;
  }

 private:
  FILE* file_;
  int flushAt_;
  int n_ = 0;
  int written_ = 0;
  Unit buf_[kSize];
};

using ByteStaging = Staging<unsigned char, 256>;

void PutUtf8(ByteStaging& st, uint32_t c) {
  if (c < 0x80) {
    st.Put(static_cast<unsigned char>(c));
  } else if (c < 0x800) {
    st.Put(static_cast<unsigned char>(0xC0 | c >> 6));
    st.Put(static_cast<unsigned char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    st.Put(static_cast<unsigned char>(0xE0 | c >> 12));
    st.Put(static_cast<unsigned char>(0x80 | (c >> 6 & 0x3F)));
    st.Put(static_cast<unsigned char>(0x80 | (c & 0x3F)));
  } else {
    st.Put(static_cast<unsigned char>(0xF0 | (c >> 18 & 7)));
    st.Put(static_cast<unsigned char>(0x80 | (c >> 12 & 0x3F)));
    st.Put(static_cast<unsigned char>(0x80 | (c >> 6 & 0x3F)));
    st.Put(static_cast<unsigned char>(0x80 | (c & 0x3F)));
  }
}

inline bool IsHigh(uint32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
inline bool IsLow(uint32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }
inline uint32_t PairBase(uint32_t high) { return ((high & 0x3FF) + 0x40) << 10; }

// The 4-byte sequences this sink wrote for a high surrogate that ended a
// call, each with the file it went to and the position behind it. Only such
// a sequence is completed: a low surrogate finds nothing to finish behind a
// whole character, behind bytes written by other means, or once the stream
// moved on. A few slots serve streams written in turn; the oldest gives way.
class PendingSequences {
 public:
  void Remember(FILE* file, int64_t end, const PlatformStreamFacts& facts) {
    std::lock_guard<std::mutex> lock(mutex_);
    FilePendingSequence* slot = Find(file);
    if (!slot) slot = Find(nullptr);
    if (!slot) {
      slot = &slots_[next_];
      next_ = (next_ + 1) % kSlots;
    }
    *slot = {file, end, facts.device, facts.inode};
  }
  // Removes the stream's sequence, if it has one, and hands it out.
  bool Take(FILE* file, FilePendingSequence* out) {
    std::lock_guard<std::mutex> lock(mutex_);
    FilePendingSequence* slot = Find(file);
    if (!slot) return false;
    *out = *slot;
    slot->file = nullptr;
    return true;
  }

 private:
  static constexpr int kSlots = 8;
  FilePendingSequence* Find(FILE* file) {
    for (FilePendingSequence& s : slots_)
      if (s.file == file) return &s;
    return nullptr;
  }
  std::mutex mutex_;
  FilePendingSequence slots_[kSlots] = {};
  int next_ = 0;
};

PendingSequences& Pending() {
  static PendingSequences pending;
  return pending;
}

// Completes in place the sequence `seq` an earlier call left pending, where
// the stream still stands right behind it, can read it back and writes where
// it seeks (not when appending, where the completion would land at the end).
// Any failure puts the stream back where it was and leaves the low half out.
int CompleteWrittenPair(FILE* file, const FilePendingSequence& seq, uint32_t low) {
  PlatformStreamFacts facts;
  if (!PlatformStreamInfo(file, &facts) || facts.appends || facts.device != seq.device ||
      facts.inode != seq.inode)
    return 0;
  const int64_t at = PlatformFileTell(file);
  if (at != seq.end || at < 4 || !PlatformFileSeek(file, at - 4, kPlatformSeekSet)) return 0;
  unsigned char b[4];
  const bool read = PlatformFileRead(file, b, 1, 4) == 4;
  const bool pending = read && (b[0] & 0xF8) == 0xF0 && (b[1] & 0xC0) == 0x80 &&
                       (b[2] & 0xCF) == 0x80 && b[3] == 0x80;
  if (!read) PlatformFileClearError(file);
  if (!PlatformFileSeek(file, pending ? at - 4 : at, kPlatformSeekSet) || !pending) return 0;
  b[2] = static_cast<unsigned char>(b[2] | (low >> 6 & 0x0F));
  b[3] = static_cast<unsigned char>(0x80 | (low & 0x3F));
  return static_cast<int>(PlatformFileWrite(file, b, 1, 4));
}

int FormatFile(FILE* file, FormatOutputFunc sink, const char* format, va_list args) {
  if (!file) return 0;
  return FormatCore(file, sink, format, args);
}

int FormatFileW(FILE* file, FormatOutputFuncW sink, const wchar16* format, va_list args) {
  if (!file) return 0;
  return FormatCoreW(file, sink, format, args);
}

}  // namespace

int FileWriteSink(void* ctx, const char* data, int count) {
  if (count <= 0) return 0;
  return static_cast<int>(PlatformFileWrite(static_cast<FILE*>(ctx), data, 1, count));
}

int FileUtf8Sink(void* ctx, const char* data, int count) {
  if (count <= 0) return 0;
  ByteStaging st(static_cast<FILE*>(ctx), 254);
  for (int i = 0; i < count; ++i) PutUtf8(st, static_cast<unsigned char>(data[i]));
  return st.Done();
}

int FileUtf16Sink(void* ctx, const char* data, int count) {
  if (count <= 0) return 0;
  Staging<wchar16, 512> st(static_cast<FILE*>(ctx), 512);
  for (int i = 0; i < count; ++i) st.Put(static_cast<unsigned char>(data[i]));
  return st.Done();
}

int FileNarrowSinkW(void* ctx, const wchar16* data, int count) {
  if (count <= 0) return 0;
  ByteStaging st(static_cast<FILE*>(ctx), 256);
  for (int i = 0; i < count; ++i)
    if (data[i] < 256) st.Put(static_cast<unsigned char>(data[i]));
  return st.Done();
}

int FileUtf8SinkW(void* ctx, const wchar16* data, int count) {
  auto* c = static_cast<FileUtf8SinkWContext*>(ctx);
  if (count <= 0) return 0;
  ByteStaging st(c->file, 252);
  int extra = 0;
  // Whatever the call writes first, an earlier pending sequence is finished
  // now or never.
  if (c->opening) c->hasEarlier = Pending().Take(c->file, &c->earlier);
  for (int i = 0; i < count; ++i) {
    uint32_t u = data[i];
    if (c->pending) {
      uint32_t high = c->pending;
      c->pending = 0;
      if (IsLow(u)) {
        PutUtf8(st, PairBase(high) | (u & 0x3FF));
        continue;
      }
      PutUtf8(st, PairBase(high));
    }
    if (IsHigh(u)) {
      if (i + 1 < count && IsLow(data[i + 1])) {
        PutUtf8(st, PairBase(u) | (data[i + 1] & 0x3FFu));
        ++i;
      } else if (i + 1 < count) {
        PutUtf8(st, PairBase(u));
      } else {
        c->pending = static_cast<wchar16>(u);  // the next piece may bring its low half
      }
    } else if (IsLow(u)) {
      if (c->opening && c->hasEarlier) {
        st.Flush();
        extra += CompleteWrittenPair(c->file, c->earlier, u);
      }
    } else {
      PutUtf8(st, u);
    }
    c->opening = false;
  }
  c->opening = false;
  return st.Done() + extra;
}

int FileUtf16SinkW(void* ctx, const wchar16* data, int count) {
  if (count <= 0) return 0;
  return static_cast<int>(PlatformFileWrite(static_cast<FILE*>(ctx), data, 2, count));
}

int StdoutSink(void*, const char* data, int count) {
  if (count <= 0) return 0;
  return static_cast<int>(PlatformHandleWrite(StdoutHandle(), data, static_cast<size_t>(count)));
}

int StdoutSinkW(void*, const wchar16* data, int count) {
  if (count <= 0) return 0;
  int64_t bytes = PlatformHandleWrite(StdoutHandle(), data, 2 * static_cast<size_t>(count));
  return static_cast<int>(bytes / 2);
}

int FilePrintfV(FILE* file, const char* format, va_list args) {
  return FormatFile(file, FileWriteSink, format, args);
}
int FilePrintfUtf8V(FILE* file, const char* format, va_list args) {
  return FormatFile(file, FileUtf8Sink, format, args);
}
int FilePrintfUtf16V(FILE* file, const char* format, va_list args) {
  return FormatFile(file, FileUtf16Sink, format, args);
}
int FilePrintfWV(FILE* file, const wchar16* format, va_list args) {
  return FormatFileW(file, FileNarrowSinkW, format, args);
}
int FilePrintfWUtf16V(FILE* file, const wchar16* format, va_list args) {
  return FormatFileW(file, FileUtf16SinkW, format, args);
}

int FilePrintfWUtf8V(FILE* file, const wchar16* format, va_list args) {
  if (!file) return 0;
  FileUtf8SinkWContext ctx{file, 0, true};
  int total = FormatCoreW(&ctx, FileUtf8SinkW, format, args);
  if (ctx.pending) {
    // Still lone at the end: written with its low bits 0, for a later call's
    // low surrogate to complete.
    unsigned char b[4];
    uint32_t c = PairBase(ctx.pending);
    b[0] = static_cast<unsigned char>(0xF0 | (c >> 18 & 7));
    b[1] = static_cast<unsigned char>(0x80 | (c >> 12 & 0x3F));
    b[2] = static_cast<unsigned char>(0x80 | (c >> 6 & 0x3F));
    b[3] = 0x80;
    const int wrote = static_cast<int>(PlatformFileWrite(file, b, 1, 4));
    total += wrote;
    PlatformStreamFacts facts;
    const int64_t end = wrote == 4 ? PlatformFileTell(file) : -1;
    if (end >= 4 && PlatformStreamInfo(file, &facts)) Pending().Remember(file, end, facts);
  }
  return total;
}

int StdoutPrintfV(const char* format, va_list args) {
  return FormatCore(nullptr, StdoutSink, format, args);
}
int StdoutPrintfWV(const wchar16* format, va_list args) {
  return FormatCoreW(nullptr, StdoutSinkW, format, args);
}

#define ZELVARO_FORWARD(Name, ...) \
  va_list args;                    \
  va_start(args, format);          \
  int total = Name(__VA_ARGS__, args); \
  va_end(args);                    \
  return total;

int FilePrintf(FILE* file, const char* format, ...) { ZELVARO_FORWARD(FilePrintfV, file, format) }
int FilePrintfUtf8(FILE* file, const char* format, ...) {
  ZELVARO_FORWARD(FilePrintfUtf8V, file, format)
}
int FilePrintfUtf16(FILE* file, const char* format, ...) {
  ZELVARO_FORWARD(FilePrintfUtf16V, file, format)
}
int FilePrintfW(FILE* file, const wchar16* format, ...) {
  ZELVARO_FORWARD(FilePrintfWV, file, format)
}
int FilePrintfWUtf8(FILE* file, const wchar16* format, ...) {
  ZELVARO_FORWARD(FilePrintfWUtf8V, file, format)
}
int FilePrintfWUtf16(FILE* file, const wchar16* format, ...) {
  ZELVARO_FORWARD(FilePrintfWUtf16V, file, format)
}
int StdoutPrintf(const char* format, ...) { ZELVARO_FORWARD(StdoutPrintfV, format) }
int StdoutPrintfW(const wchar16* format, ...) { ZELVARO_FORWARD(StdoutPrintfWV, format) }

#undef ZELVARO_FORWARD
