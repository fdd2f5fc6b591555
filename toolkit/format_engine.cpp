// The printf engine, written once for 8-bit and 16-bit text. It collects
// the output in a local buffer and hands it to the caller's callback in
// pieces; long literal runs and long native strings go out straight from
// their own memory, and padding that does not fit goes out in pieces of at
// most 256 characters, so nothing is ever allocated.
#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <type_traits>

#include "toolkit/format.h"
#include "toolkit/format_convert.h"
#include "toolkit/format_digits.h"
#include "toolkit/format_parse.h"

namespace {

using namespace format_detail;

constexpr int kBufferSize = 2248;
constexpr int kDeliverAt = 1124;    // deliver when this much is held at a step's start
constexpr int kLiteralCopy = 128;   // longer literal runs go out straight
constexpr int kPadPiece = 256;

template <class Ch>
constexpr std::array<Ch, kPadPiece> MakeRun(char c) {
  std::array<Ch, kPadPiece> a{};
  for (Ch& x : a) x = static_cast<Ch>(c);
  return a;
}
template <class Ch>
constexpr std::array<Ch, kPadPiece> kBlanks = MakeRun<Ch>(' ');
template <class Ch>
constexpr std::array<Ch, kPadPiece> kZeros = MakeRun<Ch>('0');

// Escape letters for characters 7-13 and the low hex digit of the others.
constexpr char kEscapeTable[] = "0123456abtnvfrEF0123456789ABCDEF";

// The converters, picked by text width.
inline int Fixed(double v, char* o, const FormatSpec& s, int p) { return FormatFixed(v, o, s, p); }
inline int Fixed(double v, wchar16* o, const FormatSpec& s, int p) {
  return FormatFixedW(v, o, s, p);
}
inline int Exponent(double v, char* o, const FormatSpec& s, int p) {
  return FormatExponent(v, o, s, p);
}
inline int Exponent(double v, wchar16* o, const FormatSpec& s, int p) {
  return FormatExponentW(v, o, s, p);
}
inline int General(double v, char* o, const FormatSpec& s, int p) {
  return FormatGeneral(v, o, s, p);
}
inline int General(double v, wchar16* o, const FormatSpec& s, int p) {
  return FormatGeneralW(v, o, s, p);
}
inline int HexFloat(double v, char* o, const FormatSpec& s, int p, const char* d) {
  return FormatHexFloat(v, o, s, p, d);
}
inline int HexFloat(double v, wchar16* o, const FormatSpec& s, int p, const char* d) {
  return FormatHexFloatW(v, o, s, p, d);
}
inline int Group(int n, char* o, const FormatSpec& s, int p, int w) {
  return FormatGroupDigits(n, o, s, p, w);
}
inline int Group(int n, wchar16* o, const FormatSpec& s, int p, int w) {
  return FormatGroupDigitsW(n, o, s, p, w);
}
inline int Dump(const void* d, char* o, const FormatSpec& s, int p, int w, const char* t) {
  return FormatHexDump(d, o, s, p, w, t);
}
inline int Dump(const void* d, wchar16* o, const FormatSpec& s, int p, int w, const char* t) {
  return FormatHexDumpW(d, o, s, p, w, t);
}
inline int Time(int64_t v, char* o, const FormatSpec& s, int p) {
  return FormatTimeValue(v, o, s, p);
}
inline int Time(int64_t v, wchar16* o, const FormatSpec& s, int p) {
  return FormatTimeValueW(v, o, s, p);
}

inline int Decimal(uint64_t v, char* o) {
  return v <= UINT32_MAX ? WriteDecimalDigits(static_cast<uint32_t>(v), o)
                         : WriteDecimalDigits(v, o);
}
inline int Decimal(uint64_t v, wchar16* o) {
  return v <= UINT32_MAX ? WriteDecimalDigitsW(static_cast<uint32_t>(v), o)
                         : WriteDecimalDigitsW(v, o);
}
inline int Hex(uint64_t v, char* o, bool up) { return WriteHexDigits(v, o, up); }
inline int Hex(uint64_t v, wchar16* o, bool up) { return WriteHexDigitsW(v, o, up); }
inline int Octal(uint64_t v, char* o) { return WriteOctalDigits(v, o); }
inline int Octal(uint64_t v, wchar16* o) { return WriteOctalDigitsW(v, o); }
inline int Binary(uint64_t v, char* o) { return WriteBinaryDigits(v, o); }
inline int Binary(uint64_t v, wchar16* o) { return WriteBinaryDigitsW(v, o); }

template <class Src>
int64_t Length(const Src* s) {
  if constexpr (sizeof(Src) == 1) {
    return static_cast<int64_t>(std::strlen(s));
  } else {
    const Src* p = s;
    while (*p) ++p;
    return p - s;
  }
}

template <class Src>
int64_t BoundedLength(const Src* s, int64_t limit) {
  if constexpr (sizeof(Src) == 1) {
    const void* nul = std::memchr(s, 0, static_cast<size_t>(limit));
    return nul ? static_cast<const Src*>(nul) - s : limit;
  } else {
    int64_t n = 0;
    while (n < limit && s[n]) ++n;
    return n;
  }
}

// The width of an integer argument as its size names it.
inline int ValueBits(FormatSize size) {
  switch (size) {
    case FormatSize::Int64:
    case FormatSize::LongPtr:
      return 64;
    case FormatSize::Short:
      return 16;
    case FormatSize::Char:
      return 8;
    default:
      return 32;
  }
}

inline int Saturate(int64_t v) {
  return v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v);
}

// The engine reads its arguments straight from the caller's list (a
// va_list parameter); helpers get a pointer to it, and copies of it where
// they must read ahead.
template <class Ch, class List>
class Engine {
 public:
  using Out = int (*)(void*, const Ch*, int);

  Engine(void* ctx, Out out, List* ap) : ctx_(ctx), out_(out), ap_(ap) {}

  int Run(const Ch* f) {
    while (*f) {
      if (pos_ >= kDeliverAt) Flush();
      if (Unit(*f) != '%') {
        // Copied while it is scanned; a run that proves longer than 128
        // characters goes out straight instead.
        Ch* o = buf_ + pos_;
        int n = 0;
        do {
          o[n] = f[n];
          ++n;
        } while (n < kLiteralCopy && f[n] && Unit(f[n]) != '%');
        if (n < kLiteralCopy || !f[n] || Unit(f[n]) == '%') {
          pos_ += n;
        } else {
          while (n < kDeliverAt && f[n] && Unit(f[n]) != '%') ++n;
          Flush();
          Deliver(f, n);
        }
        f += n;
        continue;
      }
      unsigned c = Unit(f[1]);
      if (c == 0) break;
      if (c >= 0x80) {
        f += 2;
        continue;
      }
      if (c == '%') {
        buf_[pos_++] = static_cast<Ch>('%');
        f += 2;
        continue;
      }
      const Ch* p = f + 1;
      ParsedSpec ps;
      ParseResult r = ParseSpec(p, ps);
      if (r == ParseResult::Stop) break;
      f = p;
      if (r == ParseResult::Convert) Convert(ps, p);
    }
    Flush();
    return Saturate(total_);
  }

 private:
  static constexpr bool kWide = sizeof(Ch) == 2;

  void Deliver(const Ch* p, int64_t n) {
    while (n > 0) {
      int k = n > INT_MAX ? INT_MAX : static_cast<int>(n);
      total_ += out_(ctx_, p, k);
      p += k;
      n -= k;
    }
  }

  void Flush() {
    if (pos_ > 0) Deliver(buf_, pos_);
    pos_ = 0;
  }

  // Padding that did not fit, straight from constant memory.
  void Pad(char c, int64_t n) {
    const Ch* run = c == '0' ? kZeros<Ch>.data() : kBlanks<Ch>.data();
    while (n > 0) {
      int k = n > kPadPiece ? kPadPiece : static_cast<int>(n);
      Deliver(run, k);
      n -= k;
    }
  }

  // A run of one character through the buffer, delivered whenever it fills.
  void AppendRun(char c, int64_t n) {
    while (n > 0) {
      if (pos_ == kBufferSize) Flush();
      int k = static_cast<int>(std::min<int64_t>(n, kBufferSize - pos_));
      std::fill(buf_ + pos_, buf_ + pos_ + k, static_cast<Ch>(c));
      pos_ += k;
      n -= k;
    }
  }

  // Characters of a string argument through the buffer; `map` returns the
  // output character or -1 to leave one out.
  template <class Src, class Map>
  void AppendMapped(const Src* s, int64_t n, Map map) {
    for (int64_t i = 0; i < n; ++i) {
      int c = map(Unit(s[i]));
      if (c < 0) continue;
      if (pos_ == kBufferSize) Flush();
      buf_[pos_++] = static_cast<Ch>(c);
    }
  }

  uint64_t Sequential(FormatArgKind kind) {
    uint64_t bits = FetchArg(ap_, kind);
    if (cache_.sequential < 12) {
      int i = ++cache_.sequential;
      cache_.slot[i].kind = kind;
      cache_.slot[i].bits = bits;
      if (i > cache_.filled) cache_.filled = i;
    } else if (cache_.sequential == 12) {
      cache_.sequential = 13;  // beyond the cache; the exact count no longer matters
    }
    return bits;
  }

  uint64_t Arg(FormatArgKind kind, int position, const Ch* rest) {
    if (position == 0) return Sequential(kind);
    if (position > cache_.filled) FormatPrescanArgs(cache_, ap_, rest, position, kind);
    const FormatArgCache::Slot& slot = cache_.slot[position];
    // A format that names one slot in two kinds has it read as the first;
    // a pointer never comes from an int or a double (it is null instead).
    if (kind == FormatArgKind::Pointer &&
        (slot.kind == FormatArgKind::Int || slot.kind == FormatArgKind::Double))
      return 0;
    return slot.bits;
  }

  // Pads the text at buf_[start..] (head, then body; `zeros` go between them)
  // to the width and leaves it in the buffer, or delivers it in pieces when
  // it does not fit.
  void Emit(int start, int head, int body, int64_t zeros, const FormatSpec& s, bool zeroAllowed) {
    int64_t len = head + zeros + body;
    int64_t left = 0, right = 0;
    if (s.width > len) {
      int64_t extra = s.width - len;
      if (zeroAllowed && s.zeroPad)
        zeros += extra;
      else if (s.leftAlign)
        right = extra;
      else
        left = extra;
    }
    int64_t total = left + head + zeros + body + right;
    if (start + total <= kBufferSize) {
      Ch* o = buf_ + start;
      if (left || zeros) {
        std::memmove(o + left + head + zeros, o + head, sizeof(Ch) * body);
        if (left) {
          std::memmove(o + left, o, sizeof(Ch) * head);
          std::fill(o, o + left, static_cast<Ch>(' '));
        }
        std::fill(o + left + head, o + left + head + zeros, static_cast<Ch>('0'));
      }
      std::fill(o + total - right, o + total, static_cast<Ch>(' '));
      pos_ = start + static_cast<int>(total);
      return;
    }
    if (left) {
      Deliver(buf_, start);
      Pad(' ', left);
      Deliver(buf_ + start, head);
    } else {
      Deliver(buf_, start + head);
    }
    Pad('0', zeros);
    Deliver(buf_ + start + head, body);
    Pad(' ', right);
    pos_ = 0;
  }

  void Convert(ParsedSpec& ps, const Ch* rest) {
    FormatSpec& s = ps.conv;
    const uint8_t conv = ps.conversion;
    if (ps.widthStar) s.width = static_cast<int>(Sequential(FormatArgKind::Int));
    if (ps.precisionStar) {
      s.precision = static_cast<int>(Sequential(FormatArgKind::Int));
      // C reads a negative precision as none; the hex dump writes nothing.
      if (s.precision < 0 && conv != kConvDump) s.precisionGiven = false;
    }
    const uint64_t bits = Arg(ArgKindOf(conv, s.size), s.position, rest);
    const int start = pos_;
    Ch* o = buf_ + start;
    switch (conv) {
      case kConvString:
      case kConvStringWide: {
        bool longSize = s.size == FormatSize::Int64 || s.size == FormatSize::Long ||
                        s.size == FormatSize::LongPtr;
        bool shortSize = s.size == FormatSize::Short || s.size == FormatSize::Char;
        bool wideSrc;
        if (conv == kConvString)
          wideSrc = kWide ? !shortSize : longSize;
        else
          wideSrc = kWide ? longSize : !shortSize;
        const void* p = reinterpret_cast<const void*>(static_cast<uintptr_t>(bits));
        if (wideSrc)
          String(static_cast<const wchar16*>(p), s);
        else
          String(static_cast<const char*>(p), s);
        return;
      }
      case kConvCount: {
        int* p = reinterpret_cast<int*>(static_cast<uintptr_t>(bits));
        if (p) *p = Saturate(total_ + pos_);
        return;
      }
      case kConvChar:
      case kConvCharWide: {
        unsigned v = static_cast<unsigned>(bits);
        unsigned v16 = v & 0xFFFF;
        // C defaults to a 16-bit character in the narrow engine and to an
        // 8-bit one in the 16-bit engine.
        bool shortSize = s.size == FormatSize::Short || s.size == FormatSize::Char;
        bool otherDefault = conv == kConvCharWide && s.size == FormatSize::None;
        bool eightBit = kWide ? shortSize || otherDefault
                              : !(otherDefault || (s.size != FormatSize::None && !shortSize));
        int n = 0;
        if (s.alternate && s.signChar && (v16 < 0x20 || v16 == '\\')) {
          o[n++] = static_cast<Ch>('\\');
          if (v16 == '\\') {
            o[n++] = static_cast<Ch>('\\');
          } else if (v16 >= 7 && v16 <= 13) {
            o[n++] = static_cast<Ch>(kEscapeTable[v16]);
          } else {
            o[n++] = static_cast<Ch>('x');
            o[n++] = static_cast<Ch>('0');
            o[n++] = static_cast<Ch>('0' + (v16 >> 4));
            o[n++] = static_cast<Ch>(kEscapeTable[v16]);
          }
        } else if (s.alternate && v16 < 0x20) {
          o[n++] = static_cast<Ch>('.');
        } else if (eightBit) {
          o[n++] = static_cast<Ch>(v & 0xFF);
        } else if (kWide || v16 <= 0xFF) {
          o[n++] = static_cast<Ch>(v16);
        }
        if (s.suppress) return;
        Emit(start, 0, n, 0, s, true);
        return;
      }
      case kConvGeneral:
      case kConvGeneralUp:
      case kConvExp:
      case kConvExpUp:
      case kConvFixed:
      case kConvGroupedF:
      case kConvHexFloat: {
        double d;
        std::memcpy(&d, &bits, sizeof d);
        int n;
        if (conv == kConvGeneral || conv == kConvGeneralUp)
          n = General(d, o, s, s.precision);
        else if (conv == kConvExp || conv == kConvExpUp)
          n = Exponent(d, o, s, s.precision);
        else if (conv == kConvHexFloat)
          n = HexFloat(d, o, s, s.precision,
                       ps.letter == 'A' ? FormatDigitsUpper : FormatDigitsLower);
        else
          n = Fixed(d, o, s, s.precision);
        if (conv == kConvGroupedF) n = Group(n, o, s, 0, s.width);
        if (s.suppress) return;
        int head = 0;
        if (n > 0 && (o[0] == '-' || o[0] == '+' || o[0] == ' ')) head = 1;
        if (n >= head + 2 && o[head] == '0' && (o[head + 1] == 'x' || o[head + 1] == 'X'))
          head += 2;
        Emit(start, head, n - head, 0, s, true);
        return;
      }
      case kConvDump: {
        const void* p = reinterpret_cast<const void*>(static_cast<uintptr_t>(bits));
        int n = Dump(p, o, s, s.precision, s.width,
                     ps.letter == 'M' ? FormatDigitsUpper : FormatDigitsLower);
        if (s.suppress) return;
        // # fits the dump to the width: cut to it ("...", blanks included)
        // or shorter, never padded in front.
        if (s.alternate && s.widthGiven && !s.leftAlign) {
          pos_ = start + n;
          return;
        }
        Emit(start, 0, n, 0, s, false);
        return;
      }
      case kConvTime: {
        int n = Time(static_cast<int64_t>(bits), o, s, s.precision);
        if (s.suppress) return;
        Emit(start, 0, n, 0, s, false);
        return;
      }
      default:
        Integer(ps, s, bits, start);
        return;
    }
  }

  void Integer(const ParsedSpec& ps, FormatSpec& s, uint64_t bits, int start) {
    const uint8_t conv = ps.conversion;
    const bool isSigned = conv == kConvD || conv == kConvI || conv == kConvGroupedD;
    // The value in the width its size names (pointers always whole),
    // sign-extended for the signed conversions.
    const int unused = conv == kConvPointer ? 0 : 64 - ValueBits(s.size);
    uint64_t mag = bits << unused >> unused;
    bool neg = false;
    if (isSigned) {
      const int64_t v = static_cast<int64_t>(bits << unused) >> unused;
      neg = v < 0;
      mag = neg ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
    }
    Ch* o = buf_ + start;
    int head = 0;
    if (isSigned) {
      if (neg)
        o[head++] = static_cast<Ch>('-');
      else if (s.signChar)
        o[head++] = static_cast<Ch>(s.signChar);
    }
    if (conv == kConvGroupedD || conv == kConvGroupedU) {
      int n = head + Decimal(mag, o + head);
      // Zero writes no digits; behind a sign the grouper would keep the
      // sign alone.
      if (n == head) o[n++] = static_cast<Ch>('0');
      n = Group(n, o, s, s.precisionGiven ? s.precision : 0, s.width);
      if (s.suppress) return;
      Emit(start, head, n - head, 0, s, !s.precisionGiven);
      return;
    }
    if (mag != 0 && s.alternate) {
      if (conv == kConvHex || conv == kConvBinary) {
        char letter = ps.letter;
        if (s.signChar) letter = static_cast<char>(letter ^ 0x20);  // flips the case
        o[head++] = static_cast<Ch>('0');
        o[head++] = static_cast<Ch>(letter);
      } else if (conv == kConvPointer) {
        o[head++] = static_cast<Ch>('0');
        o[head++] = static_cast<Ch>(s.signChar ? 'x' : 'X');
      }
    }
    int nd;
    switch (conv) {
      case kConvHex:
        nd = Hex(mag, o + head, ps.letter == 'X');
        break;
      case kConvPointer:
        nd = Hex(mag, o + head, true);
        break;
      case kConvO:
        nd = Octal(mag, o + head);
        break;
      case kConvBinary:
        nd = Binary(mag, o + head);
        break;
      default:
        nd = Decimal(mag, o + head);
        break;
    }
    int precision = s.precisionGiven ? s.precision : conv == kConvPointer ? 8 : 1;
    int64_t zeros = precision > nd ? precision - nd : 0;
    if (conv == kConvO && s.alternate && nd > 0 && zeros == 0) zeros = 1;
    if (conv == kConvPointer) {
      int least = s.alternate ? 10 : 8;
      if (s.width < least) s.width = least;
      if (s.alternate) s.zeroPad = true;
    }
    if (s.suppress) return;
    Emit(start, head, nd, zeros, s, !s.precisionGiven);
  }

  template <class Src>
  void String(const Src* str, const FormatSpec& s) {
    static constexpr Src kNull[7] = {'(', 'n', 'u', 'l', 'l', ')', 0};
    const bool isNull = str == nullptr;
    if (isNull) str = kNull;
    int64_t len;
    if (!s.precisionGiven)
      len = Length(str);
    else if (s.signChar)
      len = isNull ? std::min(s.precision, 6) : s.precision;
    else
      len = BoundedLength(str, s.precision);
    // The exact-length form promises only its p characters, so it never
    // looks behind them for more text.
    const bool shortened = !s.alternate && s.precisionGiven && s.leftAlign && s.zeroFlag &&
                           len >= 1 && !s.signChar && str[len] != 0;
    bool dotted = false;
    if (s.alternate && s.widthGiven && s.leftAlign && s.width >= 0 && s.width < len) {
      len = s.width;
      dotted = len >= 3;
    }
    const int64_t pad = s.width > len ? s.width - len : 0;
    if (!s.leftAlign && pad) AppendRun(s.zeroPad ? '0' : ' ', pad);
    // The narrow engine keeps the low byte of a 16-bit character in the
    // shortened and # forms; the 16-bit engine widens bytes.
    auto lowByte = [](unsigned c) { return static_cast<int>(kWide ? c : c & 0xFF); };
    if (shortened) {
      if (len < 4) {
        AppendRun('.', len);
      } else {
        AppendMapped(str, len - 3, lowByte);
        AppendRun('.', 3);
      }
    } else if (s.alternate) {
      AppendMapped(str, dotted ? len - 3 : len, [&](unsigned c) {
        return c < 0x20 ? static_cast<int>('.') : lowByte(c);
      });
      if (dotted) AppendRun('.', 3);
    } else if constexpr (sizeof(Src) == sizeof(Ch)) {
      if (len <= kLiteralCopy && pos_ + len <= kBufferSize) {
        std::memcpy(buf_ + pos_, str, sizeof(Ch) * len);
        pos_ += static_cast<int>(len);
      } else {
        Flush();
        Deliver(reinterpret_cast<const Ch*>(str), len);
      }
    } else {
      AppendMapped(str, len, [](unsigned c) { return kWide || c <= 0xFF ? static_cast<int>(c) : -1; });
    }
    if (s.leftAlign && pad) AppendRun(' ', pad);
  }

  void* ctx_;
  Out out_;
  List* ap_;
  int64_t total_ = 0;
  int pos_ = 0;
  FormatArgCache cache_;
  Ch buf_[kBufferSize];
};

}  // namespace

int FormatCore(void* ctx, FormatOutputFunc out, const char* format, va_list args) {
  if (!out || !format || !*format) return 0;
  Engine<char, std::remove_reference_t<decltype(args)>> engine(ctx, out, &args);
  return engine.Run(format);
}

int FormatCoreW(void* ctx, FormatOutputFuncW out, const wchar16* format, va_list args) {
  if (!out || !format || !*format) return 0;
  Engine<wchar16, std::remove_reference_t<decltype(args)>> engine(ctx, out, &args);
  return engine.Run(format);
}

int FormatCorePrintf(void* ctx, FormatOutputFunc out, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int total = FormatCore(ctx, out, format, args);
  va_end(args);
  return total;
}

int FormatCorePrintfW(void* ctx, FormatOutputFuncW out, const wchar16* format, ...) {
  va_list args;
  va_start(args, format);
  int total = FormatCoreW(ctx, out, format, args);
  va_end(args);
  return total;
}
