// One field of comma-separated values, read and written, with 16-bit text
// twins. A field is plain or enclosed in double quotes, in which a double
// quote is written twice.
#pragma once

#include "platform/types.h"

// Reads one field from text (at most textLen characters; the terminator ends
// it too) into dst (dstSize characters, terminated when dstSize >= 1, longer
// content cut). A plain field ends at sep, CR, LF or the terminator; a quoted
// one at its closing quote (or, unclosed, at the end of the text), after which
// everything up to sep is passed over. sep is consumed, CR and LF are not.
// Returns the characters consumed; stored (may be null) receives the
// characters stored. textLen < 1 reads nothing.
int CsvGetField(const char* text, int* stored, char* dst, int dstSize, int textLen, char sep);
int CsvGetFieldW(const char16_t* text, int* stored, char16_t* dst, int dstSize, int textLen, char16_t sep);

// Writes text (up to textLen or its terminator) as one field followed by sep
// and a terminator; returns the characters written. The field is quoted when
// it holds sep, a TAB, CR, LF or a double quote (the wide form: also any
// character above 255) or begins or ends with a blank, TAB, CR or LF. A field
// that does not fit is cut so that it still reads back as itself: a doubled
// quote is written whole or not at all. A negative textLen writes an empty
// quoted field; dstSize < 2 writes an empty text and returns 0.
int CsvPutField(const char* text, char* dst, int dstSize, int textLen, char sep);
int CsvPutFieldW(const char16_t* text, char16_t* dst, int dstSize, int textLen, char16_t sep);
