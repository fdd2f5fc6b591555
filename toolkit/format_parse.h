// Implementation header of the printf engine: the conversion parser and the
// argument fetching by kind, shared by both text widths. Not part of the
// public interface.
#pragma once

#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstring>

#include "toolkit/format_conversion.h"

namespace format_detail {

enum class ParseResult { Convert, Drop, Stop };

// The outcome of one conversion besides FormatSpec: the handler, the letter and
// whether width and precision come from arguments.
struct ParsedSpec {
  FormatSpec conv;
  uint8_t conversion = kConvNone;
  char letter = 0;
  bool widthStar = false;
  bool precisionStar = false;
};

template <class Ch>
inline unsigned Unit(Ch c) {
  if constexpr (sizeof(Ch) == 1)
    return static_cast<unsigned char>(c);
  else
    return static_cast<unsigned>(c);
}

template <class Ch>
inline uint8_t ClassOf(Ch c) {
  unsigned u = Unit(c);
  return u < 0x80 ? FormatSpecTable[u] : static_cast<uint8_t>(kFmtNone);
}

// Reads decimal digits at p, saturating at INT_MAX.
template <class Ch>
inline int ReadNumber(const Ch*& p) {
  int value = 0;
  while (Unit(*p) >= '0' && Unit(*p) <= '9') {
    int d = static_cast<int>(Unit(*p) - '0');
    value = value > (INT_MAX - d) / 10 ? INT_MAX : value * 10 + d;
    ++p;
  }
  return value;
}

// Parses one conversion starting at p (the character behind the %). On Convert, p
// is behind the conversion letter; on Drop, p is at the character to read
// again as ordinary text (perhaps the format's NUL); Stop ends the
// formatting. Never reads past the format's NUL.
template <class Ch>
ParseResult ParseSpec(const Ch*& p, ParsedSpec& out) {
  FormatSpec& s = out.conv;
  for (;;) {
    unsigned c = Unit(*p);
    if (c >= 0x80) {
      ++p;
      continue;
    }
    switch (FormatSpecTable[c]) {
      case kFmtFlagPlus:
        s.signChar = '+';
        s.plusGiven = true;
        break;
      case kFmtFlagBlank:
        if (s.signChar != '+') s.signChar = ' ';
        s.blankGiven = true;
        break;
      case kFmtFlagHash:
        s.alternate = true;
        break;
      case kFmtFlagMinus:
        s.leftAlign = true;
        s.zeroPad = false;
        break;
      case kFmtFlagZero:
        s.zeroFlag = true;
        if (!s.leftAlign) s.zeroPad = true;
        break;
      case kFmtFlagTilde:
        s.suppress = true;
        break;
      case kFmtFlagAt:
        if (Unit(p[1]) >= 'A' && Unit(p[1]) <= 'L') {
          s.position = static_cast<int>(Unit(p[1]) - 'A' + 1);
          ++p;
        }
        break;
      default:
        goto width;
    }
    ++p;
  }
width:
  if (Unit(*p) == '*') {
    out.widthStar = true;
    s.widthGiven = true;
    ++p;
    if (Unit(*p) >= 0x80) return ParseResult::Stop;
  } else if (ClassOf(*p) == kFmtDigit) {
    s.width = ReadNumber(p);
    s.widthGiven = true;
  }
  if (Unit(*p) == '.') {
    ++p;
    s.precisionGiven = true;
    if (Unit(*p) >= 0x80) return ParseResult::Stop;
    if (Unit(*p) == '*') {
      out.precisionStar = true;
      ++p;
      if (Unit(*p) >= 0x80) return ParseResult::Stop;
    } else {
      s.precision = ReadNumber(p);
    }
  }
  if (ClassOf(*p) == kFmtSize) {
    switch (Unit(*p)) {
      case 'I':
        if (Unit(p[1]) == '6' && Unit(p[2]) == '4') {
          s.size = FormatSize::Int64;
          p += 3;
        } else if (Unit(p[1]) == '3' && Unit(p[2]) == '2') {
          s.size = FormatSize::Long;
          p += 3;
        } else {
          s.size = FormatSize::LongPtr;
          ++p;
        }
        break;
      case 'q':
        s.size = FormatSize::Int64;
        ++p;
        break;
      case 'l':
        if (Unit(p[1]) == 'l') {
          s.size = FormatSize::Int64;
          p += 2;
        } else {
          s.size = FormatSize::Long;
          ++p;
        }
        break;
      case 'h':
        if (Unit(p[1]) == 'h') {
          s.size = FormatSize::Char;
          p += 2;
        } else {
          s.size = FormatSize::Short;
          ++p;
        }
        break;
      case 'j':
      case 't':
      case 'z':
        s.size = FormatSize::LongPtr;
        ++p;
        break;
      default:  // L w
        s.size = FormatSize::Long;
        ++p;
        break;
    }
    if (Unit(*p) >= 0x80) return ParseResult::Stop;
  }
  unsigned c = Unit(*p);
  if (c >= 0x80 || FormatSpecTable[c] != kFmtConversion) return ParseResult::Drop;
  out.conversion = FormatConversionIndex[c];
  out.letter = static_cast<char>(c);
  s.lowerExp = c == 'e' || c == 'g';
  s.kVariant = c == 'K';
  ++p;
  return ParseResult::Convert;
}

// The kind of argument a conversion takes.
inline FormatArgKind ArgKindOf(uint8_t conversion, FormatSize size) {
  switch (conversion) {
    case kConvChar:
    case kConvCharWide:
      return FormatArgKind::Int;
    case kConvString:
    case kConvStringWide:
    case kConvCount:
    case kConvDump:
    case kConvPointer:
      return FormatArgKind::Pointer;
    case kConvGeneral:
    case kConvGeneralUp:
    case kConvExp:
    case kConvExpUp:
    case kConvFixed:
    case kConvHexFloat:
    case kConvGroupedF:
      return FormatArgKind::Double;
    default:
      if (size == FormatSize::Int64) return FormatArgKind::Int64;
      if (size == FormatSize::LongPtr) return FormatArgKind::IntPtr;
      return FormatArgKind::Int;
  }
}

// Takes one argument of the given kind; ints come back sign-extended,
// doubles and pointers bit for bit. `List` is va_list, or the type a va_list
// parameter has inside a function.
template <class List>
uint64_t FetchArg(List* ap, FormatArgKind kind) {
  switch (kind) {
    case FormatArgKind::Int64:
      return static_cast<uint64_t>(va_arg(*ap, int64_t));
    case FormatArgKind::IntPtr:
      return static_cast<uint64_t>(static_cast<int64_t>(va_arg(*ap, intptr_t)));
    case FormatArgKind::Double: {
      double d = va_arg(*ap, double);
      uint64_t bits;
      std::memcpy(&bits, &d, sizeof bits);
      return bits;
    }
    case FormatArgKind::Pointer:
      return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(va_arg(*ap, const void*)));
    default:
      return static_cast<uint64_t>(static_cast<int64_t>(va_arg(*ap, int)));
  }
}

// Fills the argument cache up to `position` and beyond, as far as the rest
// of the format tells the slots' kinds. `rest` is the format behind the
// current conversion, whose own argument has `kind`. The engine's list `ap`
// never moves: a copy steps over what earlier fills already hold.
template <class Ch, class List>
void FormatPrescanArgs(FormatArgCache& cache, List* ap, const Ch* rest, int position,
                       FormatArgKind kind) {
  FormatArgKind kinds[13] = {};
  auto note = [&](int slot, FormatArgKind k) {
    if (slot >= 1 && slot <= 12 && kinds[slot] == FormatArgKind::Unknown) kinds[slot] = k;
  };
  note(position, kind);
  int seq = cache.sequential;
  const Ch* p = rest;
  while (*p) {
    if (Unit(*p) != '%') {
      ++p;
      continue;
    }
    unsigned c = Unit(p[1]);
    if (c == 0) break;
    if (c >= 0x80 || c == '%') {
      p += 2;
      continue;
    }
    ++p;
    ParsedSpec ps;
    ParseResult r = ParseSpec(p, ps);
    if (r == ParseResult::Stop) break;
    if (r == ParseResult::Drop) continue;
    if (ps.widthStar) note(++seq, FormatArgKind::Int);
    if (ps.precisionStar) note(++seq, FormatArgKind::Int);
    FormatArgKind k = ArgKindOf(ps.conversion, ps.conv.size);
    if (ps.conv.position)
      note(ps.conv.position, k);
    else
      note(++seq, k);
    if (seq > 13) seq = 13;  // only slots up to 12 matter
  }
  int highest = position;
  for (int i = 12; i > highest; --i) {
    if (kinds[i] != FormatArgKind::Unknown) {
      highest = i;
      break;
    }
  }
  va_list copy;
  va_copy(copy, *ap);
  for (int i = cache.sequential + 1; i <= cache.filled; ++i)
    FetchArg(&copy, cache.slot[i].kind);
  for (int i = cache.filled + 1; i <= highest; ++i) {
    FormatArgKind k = kinds[i] == FormatArgKind::Unknown ? FormatArgKind::Int : kinds[i];
    cache.slot[i].kind = k;
    cache.slot[i].bits = FetchArg(&copy, k);
  }
  va_end(copy);
  if (highest > cache.filled) cache.filled = highest;
}

}  // namespace format_detail
