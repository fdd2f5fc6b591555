// Wildcard matching of names against patterns of '?' (one character) and
// '*' (any run, also empty and across '/' and '\\'). Both matchers run in
// time linear in the name for a given pattern and use constant stack.
//
// StrMatchWildcard works on terminated texts; MatchFilePattern on counted
// ones, with the file-name options below, and is what the file functions use.
// MatchPatternEx adds backslash elements for classes, sets, runs, anchors and
// alternatives. All return 0 for a match.
#pragma once

#include "platform/types.h"

// MatchFilePattern flags.
inline constexpr DWORD MATCH_NOCASE = 0x1;       // fold case as StrCompareWildFold does
inline constexpr DWORD MATCH_STARDOTSTAR = 0x2;  // a final "*.*" counts as "*"
inline constexpr DWORD MATCH_LENGTH = 0x4;       // return the matched length
inline constexpr DWORD MATCH_FAIL_NEGATIVE = 0x20;  // with MATCH_LENGTH: no match gives -1
// MatchPatternEx only.
inline constexpr DWORD MATCH_NOT_AT_START = 0x8;   // the name does not begin its text
inline constexpr DWORD MATCH_AFTER_WORD = 0x10;    // the character before the name is a word character

// 0 when text matches pattern; otherwise the difference pattern minus text
// character at the first mismatch before any '*', else 1. The NoCase forms
// fold 'A'-'Z' to 'a'-'z' on both sides (and report folded characters).
int StrMatchWildcard(const char* text, const char* pattern);
int StrMatchWildcardW(const wchar16* text, const wchar16* pattern);
int StrMatchWildcardNoCase(const char* text, const char* pattern);
int StrMatchWildcardNoCaseW(const wchar16* text, const wchar16* pattern);

// 0 = match, 1 = no match. With MATCH_LENGTH: nameLen on a match, else -1
// with MATCH_FAIL_NEGATIVE, else 0. Lengths below 1 mean an empty text.
int MatchFilePattern(const char* pattern, int patLen, const char* name, int nameLen, DWORD flags);
int MatchFilePatternW(const wchar16* pattern, int patLen, const wchar16* name, int nameLen,
                      DWORD flags);
// The same on terminated texts.
int MatchFilePattern(const char* pattern, const char* name, DWORD flags);
int MatchFilePatternW(const wchar16* pattern, const wchar16* name, DWORD flags);

// 1-based index of the first pattern of the list that matches name; 0 for a
// null or empty list; -1 when none matches. The patterns are separated by
// sep; with sep 0 each ends at a terminator and the list at an empty one.
int MatchFilePatternList(const char* name, int nameLen, const char* patterns, DWORD flags, int sep);
int MatchFilePatternListW(const wchar16* name, int nameLen, const wchar16* patterns, DWORD flags,
                          int sep);

// MatchFilePattern's parameters and results, with backslash elements in the
// pattern: \* \? \\ (the character itself), \#mask# (a run of the
// CharClassTable classes in the hexadecimal mask), \$mask$ (one of them or
// none), \&mask& (one of them), \(chars) (one of chars or none), \[chars]
// (one of chars), \{chars} (one not in chars), \<chars> (a run of chars),
// \+ and \. (runs of CHC_WHITE and CHC_BLANK), \_ and \- (runs of CHC_BLANK
// and CHC_NEWLINE, empty only at the start of the name), \a (start of the
// name), \e (its end), \f and \g (word end and start), \w (a word), \z (a
// word starting with a digit), \h \p \m \o (a hex digit, a digit, a letter
// or '_', a letter, digit or '_'), \q (one character above TAB, CR LF and
// the like as one), \| (between whole alternatives), and any other
// character escape. MATCH_NOT_AT_START and MATCH_AFTER_WORD describe what
// precedes the name.
int MatchPatternEx(const char* pattern, int patLen, const char* name, int nameLen, DWORD flags);
int MatchPatternExW(const wchar16* pattern, int patLen, const wchar16* name, int nameLen,
                    DWORD flags);
