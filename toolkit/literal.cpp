#include "toolkit/literal.h"

#include <array>
#include <cstring>

#include "toolkit/numtext.h"
#include "toolkit/unicode.h"

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// Characters with a two-character escape; hexGroup tells which flag turns
// the escape into hex instead.
struct NamedEscape {
  unsigned ch;
  char letter;
  DWORD hexWith;
};

constexpr DWORD kHexQuotes = QUOTE_HEX_QUOTES;
constexpr DWORD kHexControls = QUOTE_HEX_QUOTES | QUOTE_HEX_CONTROLS;

constexpr std::array<NamedEscape, 9> kNamedEscapes = {{
    {'"', '"', kHexQuotes},
    {'\\', '\\', kHexQuotes},
    {'\r', 'r', kHexQuotes},
    {'\n', 'n', kHexQuotes},
    {'\t', 't', kHexControls},
    {'\a', 'a', kHexControls},
    {'\b', 'b', kHexControls},
    {'\f', 'f', kHexControls},
    {'\v', 'v', kHexControls},
}};

char EscapeLetter(unsigned cp, DWORD flags) {
  for (const auto& e : kNamedEscapes) {
    if (e.ch == cp) return (flags & e.hexWith) ? 0 : e.letter;
  }
  return 0;
}

bool IsHexDigit(DWORD cp) { return (cp - '0' < 10u) || ((cp | 32u) - 'a' < 6u); }

// Source characters of StrQuoteEscape in their encoding.
class Source {
 public:
  Source(const void* src, int srcLen, DWORD flags) : p_(static_cast<const uint8_t*>(src)) {
    utf16_ = (flags & QUOTE_SRC_UTF16) != 0;
    utf8_ = !utf16_ && (flags & QUOTE_SRC_UTF8) != 0;
    if (srcLen >= 0) {
      len_ = static_cast<size_t>(srcLen);
    } else if (utf16_) {
      while (Unit(len_) != 0) len_ += 2;
    } else {
      len_ = std::strlen(reinterpret_cast<const char*>(p_));
    }
    if (utf16_) len_ &= ~size_t{1};
  }

  // The next character and its size in source bytes; false at the end.
  bool Peek(DWORD* cp, size_t* size) const {
    if (pos_ >= len_) return false;
    const size_t left = len_ - pos_;
    if (utf16_) {
      const char16_t units[3] = {Unit(pos_), left >= 4 ? Unit(pos_ + 2) : u'\0', u'\0'};
      *size = 2 * static_cast<size_t>(Utf16DecodeChar(units, cp));
    } else if (utf8_) {
      // The last bytes are decoded from a terminated copy so that no byte
      // past srcLen is read.
      char tail[5] = {};
      const char* at = reinterpret_cast<const char*>(p_ + pos_);
      if (left < 4) {
        std::memcpy(tail, at, left);
        at = tail;
      }
      *size = static_cast<size_t>(Utf8DecodeChar(at, cp));
    } else {
      *cp = p_[pos_];
      *size = 1;
    }
    return true;
  }
  void Skip(size_t size) { pos_ += size; }

 private:
  char16_t Unit(size_t at) const {
    char16_t u;
    std::memcpy(&u, p_ + at, sizeof u);
    return u;
  }

  const uint8_t* p_;
  size_t len_ = 0;
  size_t pos_ = 0;
  bool utf8_ = false;
  bool utf16_ = false;
};

template <class Ch>
int QuoteEscape(Ch* dst, int dstSize, const void* src, int srcLen, DWORD flags) {
  if (dstSize < 1) return 0;
  const bool quotes = !(flags & QUOTE_NO_QUOTES);
  // Both quotes and the terminator must fit, or no quote is written.
  const bool quoted = quotes && dstSize >= 3;
  int out = 0;
  if (quoted) dst[out++] = Ch('"');
  Source s(src, srcLen, flags);
  DWORD cp;
  size_t size;
  while (s.Peek(&cp, &size)) {
    const int room = dstSize - out;
    if (room < 3) break;
    if (cp > 255 && sizeof(Ch) == 1) {
      s.Skip(size);
      continue;
    }
    if (cp >= 32 && cp != '"' && cp != '\\') {
      if (cp > 0xFFFF) {
        if (room < 4) break;
        char16_t pair[2];
        Utf16EncodeChar(pair, cp);
        dst[out++] = static_cast<Ch>(pair[0]);
        dst[out++] = static_cast<Ch>(pair[1]);
      } else {
        dst[out++] = static_cast<Ch>(cp);
      }
      s.Skip(size);
      continue;
    }
    if (const char letter = EscapeLetter(cp, flags)) {
      if (room < 5) break;
      dst[out++] = Ch('\\');
      dst[out++] = static_cast<Ch>(letter);
      s.Skip(size);
      continue;
    }
    if (room < 7) break;
    s.Skip(size);
    // A hex digit after the escape would extend it: either close and reopen
    // the literal after two digits, or write three.
    // (The 8-bit output looks past the characters it will skip.)
    Source look = s;
    DWORD next;
    size_t nextSize;
    while (sizeof(Ch) == 1 && look.Peek(&next, &nextSize) && next > 255) look.Skip(nextSize);
    const bool hexNext = look.Peek(&next, &nextSize) && IsHexDigit(next);
    const bool shortHex = (flags & QUOTE_SHORT_HEX) != 0;
    const bool reopen = shortHex && hexNext && quoted && room >= 8;
    const bool threeDigits = !shortHex || (hexNext && !reopen);
    dst[out++] = Ch('\\');
    dst[out++] = Ch('x');
    if (threeDigits) dst[out++] = Ch('0');
    dst[out++] = static_cast<Ch>(kHexDigits[(cp >> 4) & 15]);
    dst[out++] = static_cast<Ch>(kHexDigits[cp & 15]);
    if (reopen) {
      dst[out++] = Ch('"');
      dst[out++] = Ch('"');
    }
  }
  if (quoted) dst[out++] = Ch('"');
  if (out < dstSize) dst[out] = Ch(0);
  return out;
}

}  // namespace

int StrQuoteEscape(char* dst, int dstSize, const void* src, int srcLen, DWORD flags) {
  return QuoteEscape(dst, dstSize, src, srcLen, flags);
}
int StrQuoteEscapeW(char16_t* dst, int dstSize, const void* src, int srcLen, DWORD flags) {
  return QuoteEscape(dst, dstSize, src, srcLen, flags);
}

int StrUnquoteEscape(void* dst, DWORD sizeAndFlags, const char* src, int* used) {
  auto* out = static_cast<uint8_t*>(dst);
  const bool utf16 = (sizeAndFlags & UNQUOTE_OUT_UTF16) != 0;
  const bool utf8 = !utf16 && (sizeAndFlags & UNQUOTE_OUT_UTF8) != 0;
  int size = static_cast<int>(sizeAndFlags & ~UNQUOTE_FLAG_BITS);
  if (utf16) size &= ~1;
  int i = 0;
  int n = 0;
  if (size >= 1) {
    const bool quoted = !(sizeAndFlags & UNQUOTE_NO_QUOTES) && src[0] == '"';
    if (quoted) i = 1;
    for (;;) {
      const auto c = static_cast<unsigned char>(src[i]);
      if (c == 0) break;
      if (quoted && c == '"') {
        if (src[i + 1] == '"') {  // "" joins the next piece of the literal
          i += 2;
          continue;
        }
        ++i;
        break;
      }
      int read = 1;
      const DWORD cp = c == '\\' ? static_cast<DWORD>(StrParseEscape(src + i, &read)) : c;
      uint8_t bytes[4];
      int need;
      if (utf16) {
        const auto unit = static_cast<char16_t>(cp);
        std::memcpy(bytes, &unit, 2);
        need = 2;
      } else if (utf8) {
        need = Utf8EncodeChar(reinterpret_cast<char*>(bytes), cp);
      } else {
        bytes[0] = static_cast<uint8_t>(cp);
        need = 1;
      }
      if (n + need > size) break;
      std::memcpy(out + n, bytes, static_cast<size_t>(need));
      n += need;
      i += read;
    }
    const int term = utf16 ? 2 : 1;
    if (n + term <= size) std::memset(out + n, 0, static_cast<size_t>(term));
  }
  if (used) *used = i;
  return n;
}
