// Tab-stop column arithmetic: the column a text reaches, how much of a text
// fits before a column, and the run of tabs and blanks from one column to
// another.
//
// A TAB moves column k to the next multiple of tabSize above k (floor
// arithmetic, so negative columns behave like positive ones); every other
// character, UTF-8 sequence or UTF-16 character moves it by one. A tabSize
// below 1 acts as 1. Columns saturate at INT_MAX.
#pragma once

#include "platform/types.h"

// The column after the text (up to its terminator).
int TabColumnEnd(const char* text, int tabSize, int startCol);
int TabColumnEndW(const wchar16* text, int tabSize, int startCol);
int TabColumnEndUtf8(const char* text, int tabSize, int startCol);
int TabColumnEndUtf16(const wchar16* text, int tabSize, int startCol);
// Over len bytes or units; the terminator is an ordinary character.
int TabColumnEndN(int len, const char* text, int tabSize, int startCol);
int TabColumnEndNW(int len, const wchar16* text, int tabSize, int startCol);
int TabColumnEndUtf8N(int len, const char* text, int tabSize, int startCol);
int TabColumnEndUtf16N(int len, const wchar16* text, int tabSize, int startCol);

// Number of leading characters (bytes or units for the UTF forms, counting
// whole sequences only) whose end column stays at or below maxCol.
int TabColumnFit(int maxCol, const char* text, int tabSize, int startCol);
int TabColumnFitW(int maxCol, const wchar16* text, int tabSize, int startCol);
int TabColumnFitUtf8(int maxCol, const char* text, int tabSize, int startCol);
int TabColumnFitUtf16(int maxCol, const wchar16* text, int tabSize, int startCol);
int TabColumnFitN(int maxCol, int len, const char* text, int tabSize, int startCol);
int TabColumnFitNW(int maxCol, int len, const wchar16* text, int tabSize, int startCol);
int TabColumnFitUtf8N(int maxCol, int len, const char* text, int tabSize, int startCol);
int TabColumnFitUtf16N(int maxCol, int len, const wchar16* text, int tabSize, int startCol);

// Writes the shortest run of TABs and blanks that moves from fromCol to toCol
// (nothing when toCol <= fromCol; blanks only when tabSize < 1), terminates
// it and returns its length. dst must hold that many characters plus one.
int TabFill(char* dst, int fromCol, int toCol, int tabSize);
int TabFillW(wchar16* dst, int fromCol, int toCol, int tabSize);
