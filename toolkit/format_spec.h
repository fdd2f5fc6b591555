// The grammar of one conversion spec and the argument cache of the printf
// engine, shared by the engine and its converters.
#pragma once

#include <cstdint>

#include "platform/types.h"

// The size element of a spec. `LongPtr` (z t j I) reads like `Long` for
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

// Character classes of the spec grammar, one per 7-bit character.
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

extern const uint8_t FormatSpecTable[128];
extern const uint8_t FormatConversionIndex[128];

// What one argument slot holds.
enum class FormatArgKind : uint8_t { Unknown, Int, Int64, IntPtr, Double, Pointer };

// Arguments by position (slots 1..12); filled slots are always 1..filled.
struct FormatArgCache {
  struct Slot {
    FormatArgKind kind;
    union {
      int64_t i;
      double d;
      const void* p;
    };
  };
  Slot slot[13];     // [0] unused
  int filled = 0;    // slots 1..filled hold values
  int sequential = 0;  // arguments taken in sequence so far
};
