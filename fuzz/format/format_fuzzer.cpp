// Fuzzes both printf engines with the input as the format. The arguments are
// 8 doubles and then 80 pointers to one zero-filled writable 4 KiB block, so
// every conversion in any order reads and writes inside memory it may use.
// Formats with more than 16 %, any * or a number of 4 or more digits are
// skipped: they only make the output long.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "toolkit/format.h"

namespace {

alignas(16) unsigned char g_block[4096];

template <class Ch>
bool Acceptable(const std::basic_string<Ch>& f) {
  int percents = 0, digits = 0;
  for (Ch c : f) {
    if (c == '%' && ++percents > 16) return false;
    if (c == '*') return false;
    digits = c >= '0' && c <= '9' ? digits + 1 : 0;
    if (digits >= 4) return false;
  }
  return true;
}

struct Sink {
  uint64_t sum = 0;
  int64_t total = 0;
};

int Narrow(void* ctx, const char* data, int count) {
  auto* s = static_cast<Sink*>(ctx);
  for (int i = 0; i < count; ++i) s->sum += static_cast<unsigned char>(data[i]);
  s->total += count;
  return count;
}

int Wide(void* ctx, const char16_t* data, int count) {
  auto* s = static_cast<Sink*>(ctx);
  for (int i = 0; i < count; ++i) s->sum += data[i];
  s->total += count;
  return count;
}

#define P10 b, b, b, b, b, b, b, b, b, b
#define ARGS 0.5, -1.0, 1e300, 4.9e-324, 0.0, -0.0, 123.456, 1e-5, P10, P10, P10, P10, P10, \
             P10, P10, P10

template <class Ch, class Out>
void Run(const std::basic_string<Ch>& format, Out out, int (*core)(void*, Out, const Ch*, ...)) {
  if (!Acceptable(format)) return;
  std::memset(g_block, 0, sizeof g_block);
  void* b = g_block;
  Sink sink;
  int total = core(&sink, out, format.c_str(), ARGS);
  if (sink.total <= INT32_MAX && total != sink.total) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string narrow(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));
  Run<char, FormatOutputFunc>(narrow, Narrow, FormatCorePrintf);

  std::u16string widened(narrow.begin(), narrow.end());
  for (char16_t& c : widened) c = static_cast<unsigned char>(c);
  Run<char16_t, FormatOutputFuncW>(widened, Wide, FormatCorePrintfW);

  std::u16string units;
  for (size_t i = 0; i + 1 < size; i += 2) {
    char16_t u = static_cast<char16_t>(data[i] | data[i + 1] << 8);
    if (u == 0) break;
    units.push_back(u);
  }
  Run<char16_t, FormatOutputFuncW>(units, Wide, FormatCorePrintfW);
  return 0;
}
