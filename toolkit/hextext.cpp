#include "toolkit/hextext.h"

#include <array>
#include <utility>

#include "toolkit/detail/textchar.h"
#include "toolkit/inttext.h"

namespace {

using toolkit_detail::CodeOf;
using toolkit_detail::DigitOf;
using toolkit_detail::InClass;

// The value of a hex digit, -1 for anything else (every character from 128 on).
template <class Ch>
int HexDigit(Ch c) {
  const unsigned v = DigitOf(c);
  return v < 16 ? static_cast<int>(v) : -1;
}

template <class Ch>
bool IsBlank(Ch c) {
  return InClass(c, CHC_BLANK);
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

struct HexLayout {
  int block;    // bytes per block, 0 = none
  int group;    // bytes per group, 0 = none
  int sep;      // separator character
  DWORD flags;
};

HexLayout LayoutOf(DWORD flags) {
  HexLayout l{};
  l.block = static_cast<int>(flags & 0xFF);
  l.sep = static_cast<int>((flags >> 8) & 0xFF);
  l.group = l.sep ? 1 << ((flags >> HEX_GROUP_SHIFT) & 3) : 0;
  l.flags = flags;
  return l;
}

// Which source byte goes to output position i: groups (or the whole count
// without groups) are reversed with HEX_REVERSED; a short last group only
// within its own bytes.
int SourceIndex(const HexLayout& l, int i, int count) {
  if (!(l.flags & HEX_REVERSED)) return i;
  if (l.group == 0) return count - 1 - i;
  const int start = i / l.group * l.group;
  const int len = count - start < l.group ? count - start : l.group;
  return start + len - 1 - (i - start);
}

template <class Ch>
int Encode(const uint8_t* src, Ch* dst, int count, DWORD flags) {
  const HexLayout l = LayoutOf(flags);
  const Ch sep = static_cast<Ch>(l.sep);
  const bool blankAtBlock = (flags & HEX_BLANK_AT_BLOCK) != 0;
  Ch* d = dst;
  if (flags & HEX_LEADING_COLON) *d++ = Ch(':');
  for (int i = 0; i < count; ++i) {
    if (i > 0) {
      const bool groupEnd = l.group && i % l.group == 0;
      if (l.block && i % l.block == 0) {
        if (groupEnd) *d++ = blankAtBlock ? Ch(' ') : sep;
        *d++ = Ch(' ');
      } else if (groupEnd) {
        *d++ = sep;
      }
    }
    const uint8_t b = src[SourceIndex(l, i, count)];
    *d++ = static_cast<Ch>(kHexDigits[b >> 4]);
    *d++ = static_cast<Ch>(kHexDigits[b & 15]);
  }
  if (count > 0) {
    const bool blockEnd = l.block && count % l.block == 0;
    if (l.group && count % l.group == 0 && !(flags & HEX_NO_LAST_SEP)) {
      *d++ = blankAtBlock && blockEnd ? Ch(' ') : sep;
    }
    if (blockEnd) *d++ = Ch(' ');
  }
  if (flags & HEX_TERMINATE) *d = Ch(0);
  return static_cast<int>(d - dst);
}

// The length Encode writes for count bytes (without a terminator).
int EncodedLength(int count, DWORD flags) {
  const HexLayout l = LayoutOf(flags);
  int n = (flags & HEX_LEADING_COLON) ? 1 : 0;
  if (count < 1) return n;
  n += 2 * count;
  if (l.group) n += (count - 1) / l.group;
  if (l.block) n += (count - 1) / l.block;
  if (l.group && count % l.group == 0 && !(flags & HEX_NO_LAST_SEP)) ++n;
  if (l.block && count % l.block == 0) ++n;
  return n;
}

int OffsetText(uint64_t v, char* buf, uint32_t flags) { return Int64ToStr(static_cast<int64_t>(v), buf, flags); }
int OffsetText(uint64_t v, char16_t* buf, uint32_t flags) { return Int64ToStrW(static_cast<int64_t>(v), buf, flags); }

// HexDumpLine flags.
constexpr DWORD DUMP_BLOCK_MASK = 63;
constexpr DWORD DUMP_REVERSED = 0x40;
constexpr DWORD DUMP_OFFSET_SUFFIX = 0x80;
constexpr DWORD DUMP_TAB_AFTER_OFFSET = 0x1000;
constexpr DWORD DUMP_BLANK_AFTER_OFFSET = 0x2000;
constexpr DWORD DUMP_NO_TEXT = 0x4000;
constexpr DWORD DUMP_FILL_TABS = 0x8000;
constexpr DWORD DUMP_BLANK_SEPARATOR = 0x01000000;
constexpr DWORD DUMP_DECIMAL_OFFSET = 0x08000000;

template <class Ch>
int DumpLine(Ch* dst, uint64_t offset, const uint8_t* data, int available, int perLine, DWORD flags) {
  Ch* d = dst;
  const Ch filler = (flags & DUMP_FILL_TABS) ? Ch('\t') : Ch(' ');
  auto fill = [&](int count, Ch c) {
    for (int i = 0; i < count; ++i) *d++ = c;
  };
  const unsigned width = (flags >> 8) & 15;
  if (width) {
    d += OffsetText(offset, d, INTFMT_RADIX | 16 | IntFmtWidth(width));
    if (flags & DUMP_OFFSET_SUFFIX) *d++ = Ch('h');
  }
  if (flags & DUMP_DECIMAL_OFFSET) {
    if (d != dst) *d++ = Ch(' ');
    *d++ = Ch('(');
    d += OffsetText(offset, d, INTFMT_UNSIGNED);
    *d++ = Ch(')');
  }
  if (flags & DUMP_TAB_AFTER_OFFSET) *d++ = Ch('\t');
  if (flags & DUMP_BLANK_AFTER_OFFSET) *d++ = Ch(' ');
  fill(static_cast<int>((flags >> 16) & 15), filler);

  if (perLine < 0) perLine = 0;
  const int n = available < 0 ? 0 : available < perLine ? available : perLine;
  DWORD hexFlags = (flags & DUMP_BLOCK_MASK) | (flags & (3u << HEX_GROUP_SHIFT));
  if (flags & DUMP_BLANK_SEPARATOR) hexFlags |= DWORD{' '} << 8;
  if (flags & DUMP_REVERSED) hexFlags |= HEX_REVERSED;
  d += Encode(data, d, n, hexFlags);
  // Missing bytes leave the room they would have taken, so columns line up.
  fill(EncodedLength(perLine, hexFlags) - EncodedLength(n, hexFlags), Ch(' '));
  fill(static_cast<int>((flags >> 20) & 15), filler);

  if (!(flags & DUMP_NO_TEXT)) {
    for (int i = 0; i < n; ++i) *d++ = data[i] < 32 ? Ch('.') : static_cast<Ch>(data[i]);
    fill(perLine - n, Ch(' '));
  }
  *d = Ch(0);
  return static_cast<int>(d - dst);
}

template <class Ch>
int DecodePattern(BYTE* values, BYTE* masks, int maxCount, const Ch* text, int* used) {
  const bool quoted = (static_cast<DWORD>(maxCount) & HEX_ALLOW_QUOTED) != 0;
  const int max = static_cast<int>(static_cast<DWORD>(maxCount) & ~HEX_ALLOW_QUOTED);
  int i = 0;
  int n = 0;
  if (max < 1) {
    if (used) *used = 0;
    return 0;
  }
  while (IsBlank(text[i])) ++i;
  if (text[i] == Ch(':')) ++i;

  unsigned value = 0, mask = 0;
  int bits = 0;
  bool binary = false;
  // A partial byte ended by a blank keeps its high bits unknown; at the end
  // of the text they are known zeros.
  auto store = [&](bool knownHigh) {
    if (knownHigh && bits < 8) mask |= 0xFFu << bits;
    values[n] = static_cast<BYTE>(value);
    masks[n] = static_cast<BYTE>(mask);
    ++n;
    value = mask = 0;
    bits = 0;
  };
  while (n < max) {
    const Ch c = text[i];
    if (IsBlank(c)) {
      if (bits) store(false);
      binary = false;
      ++i;
      continue;
    }
    if (c == Ch('#') || c == Ch(':')) {
      binary = true;
      ++i;
      continue;
    }
    if (quoted && c == Ch('"')) {
      if (bits) store(false);
      binary = false;
      ++i;
      while (n < max && text[i] != Ch('"') && text[i] != Ch(0)) {
        const auto q = CodeOf(text[i]);
        if (q > 255) break;
        values[n] = q == '?' ? 0 : static_cast<BYTE>(q);
        masks[n] = q == '?' ? 0 : 0xFF;
        ++n;
        ++i;
      }
      if (text[i] == Ch('"')) {
        ++i;
        continue;
      }
      break;
    }
    int digitBits;
    unsigned digit, digitMask;
    if (c == Ch('?')) {
      digitBits = binary ? 1 : 4;
      digit = 0;
      digitMask = 0;
    } else if (binary) {
      if (c != Ch('0') && c != Ch('1')) break;
      digitBits = 1;
      digit = c == Ch('1');
      digitMask = 1;
    } else {
      const int h = HexDigit(c);
      if (h < 0) break;
      digitBits = 4;
      digit = static_cast<unsigned>(h);
      digitMask = 15;
    }
    value = (value << digitBits) | digit;
    mask = (mask << digitBits) | digitMask;
    bits += digitBits;
    ++i;
    if (bits >= 8) store(false);
  }
  if (bits && n < max) store(true);
  while (IsBlank(text[i])) ++i;
  if (used) *used = i;
  return n;
}

// The separators HexToBytes may accept between bytes, by flag bit.
constexpr std::array<std::pair<DWORD, char>, 4> kByteSeparators = {{
    {HEXBYTES_SEP_COLON, ':'},
    {HEXBYTES_SEP_MINUS, '-'},
    {HEXBYTES_SEP_DOT, '.'},
    {HEXBYTES_SEP_COMMA, ','},
}};

template <class Ch>
bool IsAllowedSeparator(Ch c, DWORD flags) {
  for (const auto& [bit, ch] : kByteSeparators) {
    if ((flags & bit) && c == Ch(ch)) return true;
  }
  return false;
}

template <class Ch>
int ReadBytes(uint8_t* dst, DWORD flags, const Ch* text, int* used) {
  const int max = static_cast<int>(flags & 0xFFFF);
  int i = 0;
  int n = 0;
  while (IsBlank(text[i])) ++i;
  if (!(flags & HEXBYTES_NO_COLON) && text[i] == Ch(':')) ++i;
  while (n < max) {
    while (IsBlank(text[i])) ++i;
    const Ch c = text[i];
    if ((flags & HEX_ALLOW_QUOTED) && c == Ch('"')) {
      int j = i + 1;
      int k = n;
      while (k < max && text[j] != Ch('"') && text[j] != Ch(0)) {
        const auto q = CodeOf(text[j]);
        if (q > 255) break;
        dst[k++] = static_cast<uint8_t>(q);
        ++j;
      }
      n = k;
      i = j;
      if (text[i] != Ch('"')) break;
      ++i;
      continue;
    }
    const int hi = HexDigit(c);
    if (hi < 0) break;
    ++i;
    const int lo = HexDigit(text[i]);
    if (lo >= 0) {
      dst[n++] = static_cast<uint8_t>(hi << 4 | lo);
      ++i;
    } else {
      dst[n++] = static_cast<uint8_t>(hi);
    }
    int j = i;
    while (IsBlank(text[j])) ++j;
    if (IsAllowedSeparator(text[j], flags)) i = j + 1;
  }
  while (IsBlank(text[i])) ++i;
  if (flags & HEXBYTES_FILL) {
    const auto fill = static_cast<uint8_t>(flags >> HEXBYTES_FILL_SHIFT);
    for (int k = n; k < max; ++k) dst[k] = fill;
  }
  if (used) *used = i;
  return n;
}

}  // namespace

int HexEncode(const void* src, char* dst, int count, DWORD flags) {
  return Encode(static_cast<const uint8_t*>(src), dst, count, flags);
}
int HexEncodeW(const void* src, char16_t* dst, int count, DWORD flags) {
  return Encode(static_cast<const uint8_t*>(src), dst, count, flags);
}
int HexDumpLine(char* dst, uint64_t offset, const void* data, int available, int perLine, DWORD flags) {
  return DumpLine(dst, offset, static_cast<const uint8_t*>(data), available, perLine, flags);
}
int HexDumpLineW(char16_t* dst, uint64_t offset, const void* data, int available, int perLine, DWORD flags) {
  return DumpLine(dst, offset, static_cast<const uint8_t*>(data), available, perLine, flags);
}
int HexDecode(BYTE* values, BYTE* masks, int maxCount, const char* text, int* used) {
  return DecodePattern(values, masks, maxCount, text, used);
}
int HexDecodeW(BYTE* values, BYTE* masks, int maxCount, const char16_t* text, int* used) {
  return DecodePattern(values, masks, maxCount, text, used);
}
int HexToBytes(void* dst, DWORD maxCountAndFlags, const char* text, int* used) {
  return ReadBytes(static_cast<uint8_t*>(dst), maxCountAndFlags, text, used);
}
int HexToBytesW(void* dst, DWORD maxCountAndFlags, const char16_t* text, int* used) {
  return ReadBytes(static_cast<uint8_t*>(dst), maxCountAndFlags, text, used);
}

int MemCompareMasked(const void* a, const void* b, const void* mask, int n) {
  const auto* pa = static_cast<const uint8_t*>(a);
  const auto* pb = static_cast<const uint8_t*>(b);
  const auto* pm = static_cast<const uint8_t*>(mask);
  for (int i = 0; i < n; ++i) {
    const int x = pa[i] & pm[i];
    const int y = pb[i] & pm[i];
    if (x != y) return x - y;
  }
  return 0;
}
