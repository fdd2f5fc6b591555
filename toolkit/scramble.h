// Keyed, reversible shifting of text characters in place.
//
// This is obfuscation, not encryption: anyone holding the text can recover
// it with little effort. Use it only to keep text from being read at a
// glance.
//
// The four bytes of key (least significant first) are the shifts of the
// characters at positions i with i mod 4 = 0, 1, 2, 3. Characters from
// threshold to 255 are rotated within that range; characters below threshold
// (the terminator among them) and wide characters above 255 stay as they
// are, so a scrambled text keeps its length. A threshold below 1 counts as 1;
// one of 255 or more leaves the text unchanged. A negative len means up to
// the terminator. Each function returns the number of characters processed.
#pragma once

#include "platform/types.h"

int TextScramble(char* text, DWORD key, int len, int threshold);
int TextScrambleW(wchar16* text, DWORD key, int len, int threshold);
int TextUnscramble(char* text, DWORD key, int len, int threshold);
int TextUnscrambleW(wchar16* text, DWORD key, int len, int threshold);
