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

// Collects the output as 16-bit units, bytes widened.
struct Sink {
  std::u16string text;
};

int Narrow(void* ctx, const char* data, int count) {
  auto* s = static_cast<Sink*>(ctx);
  for (int i = 0; i < count; ++i) s->text.push_back(static_cast<unsigned char>(data[i]));
  return count;
}

int Wide(void* ctx, const char16_t* data, int count) {
  static_cast<Sink*>(ctx)->text.append(data, static_cast<size_t>(count));
  return count;
}

#define P10 b, b, b, b, b, b, b, b, b, b
#define ARGS 0.5, -1.0, 1e300, 4.9e-324, 0.0, -0.0, 123.456, 1e-5, P10, P10, P10, P10, P10, \
             P10, P10, P10

// The output, or nothing for a format that is skipped.
template <class Ch, class Out>
std::u16string Run(const std::basic_string<Ch>& format, Out out,
                   int (*core)(void*, Out, const Ch*, ...)) {
  if (!Acceptable(format)) return u"";
  std::memset(g_block, 0, sizeof g_block);
  void* b = g_block;
  Sink sink;
  int total = core(&sink, out, format.c_str(), ARGS);
  if (sink.text.size() <= INT32_MAX && static_cast<size_t>(total) != sink.text.size())
    __builtin_trap();
  return sink.text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  const std::string narrow(text, strnlen(text, size));
  const std::u16string fromNarrow = Run<char, FormatOutputFunc>(narrow, Narrow, FormatCorePrintf);

  std::u16string widened;
  for (char c : narrow) widened.push_back(static_cast<unsigned char>(c));
  const std::u16string fromWide = Run<char16_t, FormatOutputFuncW>(widened, Wide, FormatCorePrintfW);
  // Characters and strings read their arguments differently in the two
  // engines; everything else must give the same text.
  if (narrow.find_first_of("cCsS") == std::string::npos && fromNarrow != fromWide)
    __builtin_trap();

  std::u16string units;
  for (size_t i = 0; i + 1 < size; i += 2) {
    char16_t u = static_cast<char16_t>(data[i] | data[i + 1] << 8);
    if (u == 0) break;
    units.push_back(u);
  }
  Run<char16_t, FormatOutputFuncW>(units, Wide, FormatCorePrintfW);
  return 0;
}
