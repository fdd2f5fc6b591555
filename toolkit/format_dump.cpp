// Hex dump of memory for the printf engine's m and M conversions: up to 256
// bytes, optionally separated, grouped, zero-filled or cut to the width.
#include <cstring>

#include "toolkit/format_convert.h"

namespace {

constexpr int kMaxBytes = 256;
constexpr int kMaxText = 1024;

int GroupSize(FormatSize size) {
  switch (size) {
    case FormatSize::Int64:
      return 8;
    case FormatSize::Long:
    case FormatSize::LongPtr:
      return 4;
    case FormatSize::Short:
      return 2;
    default:
      return 0;
  }
}

}  // namespace

int FormatHexDump(const void* data, char* out, const FormatSpec& conv, int precision, int width,
                  const char* digits) {
  if (!data) {
    std::memcpy(out, "(null)", 6);
    return 6;
  }
  int n = conv.precisionGiven ? precision : 16;
  if (n <= 0) return 0;
  if (n > kMaxBytes) n = kMaxBytes;
  // The + flag separates bytes with a colon, the blank flag with a blank.
  const char separator = conv.plusGiven ? ':' : conv.blankGiven ? ' ' : 0;
  const int c = separator ? 3 : 2;
  const int g = GroupSize(conv.size);
  int reckoned = separator ? 3 * n - 1 : 2 * n;
  if (g) reckoned += (n + 1) / 4;

  bool cut = conv.alternate;
  int target = width < kMaxText ? width : kMaxText;
  if (cut) {
    if (reckoned <= width) {
      cut = false;
      if (reckoned < width && !conv.leftAlign) target = reckoned;
    } else if (width > 0) {
      int fit = g ? ((width - 2) % (c * g + 1)) / c + ((width - 2) / (c * g + 1)) * g
                  : (width - 3) / c;
      if (fit < n) n = fit > 0 ? fit : 0;  // never more bytes than asked for
    } else {
      return 0;
    }
  }

  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  char* o = out;
  auto between = [&](int i) {
    if (i == 0) return;
    if (separator) *o++ = separator;
    if (g && i % g == 0) *o++ = ' ';
  };
  for (int i = 0; i < n; ++i) {
    between(i);
    *o++ = digits[bytes[i] >> 4];
    *o++ = digits[bytes[i] & 15];
  }
  if (conv.zeroPad || conv.zeroFlag) {
    for (int i = n;; ++i) {
      int unit = 2 + (i > 0 && separator ? 1 : 0) + (i > 0 && g && i % g == 0 ? 1 : 0);
      if (o - out + unit >= target) break;
      between(i);
      *o++ = '0';
      *o++ = '0';
    }
  }
  if (cut) {
    std::memcpy(o, "...", 3);
    o += 3;
    int blanks = width - static_cast<int>(o - out);
    if (width > kMaxText && blanks > 128) blanks = kMaxText - static_cast<int>(o - out);
    if (blanks > 0) {
      std::memset(o, ' ', static_cast<size_t>(blanks));
      o += blanks;
    }
  }
  return static_cast<int>(o - out);
}
