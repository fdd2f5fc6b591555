// Formatted output into a CFileStream through the library's printf engine.
#include <algorithm>
#include <cstdarg>

#include "files/stream.h"
#include "toolkit/format.h"

namespace {

// The engine adds up what its output callback returns, so a failed write
// would vanish in the total; the sink remembers it instead.
struct PrintSink {
  CFileStream* stream;
  bool failed;
};

int WriteNarrow(void* ctx, const char* data, int count) {
  PrintSink* sink = static_cast<PrintSink*>(ctx);
  if (count <= 0) return 0;
  int put = sink->stream->Write(data, count);
  if (put != count) {
    sink->failed = true;
    return 0;
  }
  return count;
}

// Each 16-bit unit goes out as two bytes, low byte first.
int WriteWide(void* ctx, const wchar16* data, int count) {
  PrintSink* sink = static_cast<PrintSink*>(ctx);
  BYTE bytes[2048];
  for (int done = 0; done < count;) {
    int n = std::min(count - done, int(sizeof bytes / 2));
    for (int i = 0; i < n; ++i) {
      bytes[2 * i] = BYTE(data[done + i]);
      bytes[2 * i + 1] = BYTE(data[done + i] >> 8);
    }
    if (sink->stream->Write(bytes, 2 * n) != 2 * n) {
      sink->failed = true;
      return 0;
    }
    done += n;
  }
  return count;
}

int Format(PrintSink* sink, const char* format, va_list args) {
  return FormatCore(sink, WriteNarrow, format, args);
}

int Format(PrintSink* sink, const wchar16* format, va_list args) {
  return FormatCoreW(sink, WriteWide, format, args);
}

template <class Char>
int PrintTo(CFileStream* stream, const Char* format, va_list args) {
  if (format == nullptr) return -1;
  PrintSink sink{stream, false};
  int total = Format(&sink, format, args);
  return sink.failed ? -1 : total;
}

}  // namespace

int CFileStream::Printf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  int result = PrintTo(this, format, args);
  va_end(args);
  return result;
}

int CFileStream::PrintfW(const wchar16* format, ...) {
  va_list args;
  va_start(args, format);
  int result = PrintTo(this, format, args);
  va_end(args);
  return result;
}
