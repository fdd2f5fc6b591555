// The converters behind the printf engine's floating-point (e f g a), grouped
// (D U F), hex-dump (m M) and time (k K) conversions. Each writes its text at
// `out` and returns the number of characters written; the engine pads and
// delivers. The W forms write the same text as 16-bit units.
//
// Precision: the converters use `precision` when `conv.precisionGiven`, else
// their default. Every text fits in 1124 characters.
#pragma once

#include <cstdint>

#include "platform/types.h"
#include "toolkit/format_conversion.h"

// Digit tables: entries 0-15 the digits, 16 the letter after a hex float's
// leading 0, 17 its exponent letter.
extern const char FormatDigitsLower[19];  // "0123456789abcdefxp"
extern const char FormatDigitsUpper[19];  // "0123456789ABCDEFXP"

int FormatFixed(double value, char* out, const FormatSpec& conv, int precision);
int FormatExponent(double value, char* out, const FormatSpec& conv, int precision);
int FormatGeneral(double value, char* out, const FormatSpec& conv, int precision);
int FormatHexFloat(double value, char* out, const FormatSpec& conv, int precision,
                   const char* digits);
// Groups the decimal text of `length` characters (at most 1124) at `text` in
// place; the buffer must have room for the larger of 1024 and length +
// length / 3 + 129 characters (the engine's texts stay below 1124).
int FormatGroupDigits(int length, char* text, const FormatSpec& conv, int precision, int width);
int FormatHexDump(const void* data, char* out, const FormatSpec& conv, int precision, int width,
                  const char* digits);
int FormatTimeValue(int64_t value, char* out, const FormatSpec& conv, int precision);

int FormatFixedW(double value, wchar16* out, const FormatSpec& conv, int precision);
int FormatExponentW(double value, wchar16* out, const FormatSpec& conv, int precision);
int FormatGeneralW(double value, wchar16* out, const FormatSpec& conv, int precision);
int FormatHexFloatW(double value, wchar16* out, const FormatSpec& conv, int precision,
                    const char* digits);
int FormatGroupDigitsW(int length, wchar16* text, const FormatSpec& conv, int precision,
                       int width);
int FormatHexDumpW(const void* data, wchar16* out, const FormatSpec& conv, int precision,
                   int width, const char* digits);
int FormatTimeValueW(int64_t value, wchar16* out, const FormatSpec& conv, int precision);
