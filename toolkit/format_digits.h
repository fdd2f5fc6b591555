// Digit writers of the printf engine: most significant digit first, no
// leading zeros, the value 0 writes nothing. Each returns the digit count.
#pragma once

#include <cstdint>

#include "platform/types.h"

int WriteDecimalDigits(uint32_t value, char* out);
int WriteDecimalDigits(uint64_t value, char* out);
int WriteHexDigits(uint32_t value, char* out, bool upper);
int WriteHexDigits(uint64_t value, char* out, bool upper);
int WriteOctalDigits(uint32_t value, char* out);
int WriteOctalDigits(uint64_t value, char* out);
int WriteBinaryDigits(uint32_t value, char* out);
int WriteBinaryDigits(uint64_t value, char* out);

int WriteDecimalDigitsW(uint32_t value, wchar16* out);
int WriteDecimalDigitsW(uint64_t value, wchar16* out);
int WriteHexDigitsW(uint32_t value, wchar16* out, bool upper);
int WriteHexDigitsW(uint64_t value, wchar16* out, bool upper);
int WriteOctalDigitsW(uint32_t value, wchar16* out);
int WriteOctalDigitsW(uint64_t value, wchar16* out);
int WriteBinaryDigitsW(uint32_t value, wchar16* out);
int WriteBinaryDigitsW(uint64_t value, wchar16* out);
