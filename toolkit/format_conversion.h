// The grammar of one conversion and the argument cache of the printf
// engine, shared by the engine and its converters.
#pragma once

#include <array>
#include <cstdint>

#include "platform/types.h"

// The size element of a conversion. `LongPtr` (z t j I) reads like `Long` for
// characters and strings, but its argument is pointer-sized.
enum class FormatSize : uint8_t { None, Int64, Long, LongPtr, Short, Char };

// The state of one conversion while it is parsed and converted.
struct FormatSpec {
  FormatSize size = FormatSize::None;
  bool leftAlign = false;       // -
  bool zeroPad = false;         // 0 without -
  bool zeroFlag = false;        // 0 seen, also with -
  bool alternate = false;       // #
  char signChar = 0;            // 0, '+' or ' ' (+ wins)
  bool plusGiven = false;
  bool blankGiven = false;
  bool widthGiven = false;
  bool precisionGiven = false;
  bool lowerExp = false;        // e and g write a lower-case exponent letter
  bool suppress = false;        // ~
  bool kVariant = false;        // K rather than k
  int width = 0;
  int precision = 0;
  int position = 0;             // 0, or 1..12 for @A..@L
};

// Character classes of the conversion grammar, one per 7-bit character.
enum FormatSpecClass : uint8_t {
  kFmtNone = 0,
  kFmtFlagPlus,
  kFmtFlagBlank,
  kFmtFlagHash,
  kFmtFlagMinus,
  kFmtFlagZero,
  kFmtFlagTilde,
  kFmtFlagAt,
  kFmtStar,
  kFmtDigit,
  kFmtPoint,
  kFmtSize,
  kFmtConversion,
};

// The conversion handlers, one per group of letters.
enum FormatConversion : uint8_t {
  kConvNone = 0,
  kConvCharWide,   // C
  kConvChar,       // c
  kConvStringWide, // S
  kConvString,     // s
  kConvI,          // i
  kConvD,          // d
  kConvU,          // u
  kConvO,          // o
  kConvBinary,     // b B
  kConvPointer,    // p
  kConvHex,        // x X
  kConvCount,      // n
  kConvGeneral,    // g
  kConvGeneralUp,  // G
  kConvExp,        // e
  kConvExpUp,      // E
  kConvFixed,      // f
  kConvHexFloat,   // a A
  kConvDump,       // m M
  kConvGroupedD,   // D
  kConvGroupedU,   // U
  kConvGroupedF,   // F
  kConvTime,       // k K
};

namespace format_detail {

constexpr std::array<uint8_t, 128> MakeSpecTable() {
  std::array<uint8_t, 128> t{};
  t['+'] = kFmtFlagPlus;
  t[' '] = kFmtFlagBlank;
  t['#'] = kFmtFlagHash;
  t['-'] = kFmtFlagMinus;
  t['0'] = kFmtFlagZero;  // a digit inside numbers
  t['~'] = kFmtFlagTilde;
  t['@'] = kFmtFlagAt;
  t['*'] = kFmtStar;
  for (int c = '1'; c <= '9'; ++c) t[c] = kFmtDigit;
  t['.'] = kFmtPoint;
  for (char c : {'I', 'L', 'h', 'j', 'l', 'q', 't', 'w', 'z'})
    t[static_cast<unsigned char>(c)] = kFmtSize;
  for (char c : {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'K', 'M', 'S', 'U', 'X', 'a', 'b',
                 'c', 'd', 'e', 'f', 'g', 'i', 'k', 'm', 'n', 'o', 'p', 's', 'u', 'x'})
    t[static_cast<unsigned char>(c)] = kFmtConversion;
  return t;
}

constexpr std::array<uint8_t, 128> MakeConversionIndex() {
  std::array<uint8_t, 128> t{};
  t['C'] = kConvCharWide;
  t['c'] = kConvChar;
  t['S'] = kConvStringWide;
  t['s'] = kConvString;
  t['i'] = kConvI;
  t['d'] = kConvD;
  t['u'] = kConvU;
  t['o'] = kConvO;
  t['b'] = t['B'] = kConvBinary;
  t['p'] = kConvPointer;
  t['x'] = t['X'] = kConvHex;
  t['n'] = kConvCount;
  t['g'] = kConvGeneral;
  t['G'] = kConvGeneralUp;
  t['e'] = kConvExp;
  t['E'] = kConvExpUp;
  t['f'] = kConvFixed;
  t['a'] = t['A'] = kConvHexFloat;
  t['m'] = t['M'] = kConvDump;
  t['D'] = kConvGroupedD;
  t['U'] = kConvGroupedU;
  t['F'] = kConvGroupedF;
  t['k'] = t['K'] = kConvTime;
  return t;
}

}  // namespace format_detail

// The class of each 7-bit character (FormatSpecClass); 0x80 and above have none.
inline constexpr std::array<uint8_t, 128> FormatSpecTable = format_detail::MakeSpecTable();
// The handler of each conversion letter (FormatConversion), kConvNone elsewhere.
inline constexpr std::array<uint8_t, 128> FormatConversionIndex =
    format_detail::MakeConversionIndex();

// What one argument slot holds.
enum class FormatArgKind : uint8_t { Unknown, Int, Int64, IntPtr, Double, Pointer };

// Arguments by position (slots 1..12); filled slots are always 1..filled.
struct FormatArgCache {
  struct Slot {
    FormatArgKind kind;
    uint64_t bits;  // the value; ints sign-extended, doubles and pointers bit for bit
  };
  Slot slot[13];     // [0] unused
  int filled = 0;    // slots 1..filled hold values
  int sequential = 0;  // arguments taken in sequence so far
};
