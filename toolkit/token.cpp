#include "toolkit/token.h"

#include "toolkit/charclass.h"
#include "toolkit/charset.h"
#include "toolkit/detail/textchar.h"
#include "toolkit/strcopy.h"

namespace {

using toolkit_detail::CodeOf;
using toolkit_detail::InClass;

// The character that closes an item opened by open.
constexpr unsigned ClosingOf(unsigned open) {
  switch (open) {
    case '(': return ')';
    case '[': return ']';
    case '{': return '}';
    case '<': return '>';
    default: return open;
  }
}

int CopyMax(char* dst, const char* src, int dstSize, int n) { return StrCopyMax(dst, src, dstSize, n); }
int CopyMax(char16_t* dst, const char16_t* src, int dstSize, int n) { return StrCopyMaxW(dst, src, dstSize, n); }
int WordLength(const char* s, int n) { return CharSetBreakN(s, WordEndCharSet, n); }
int WordLength(const char16_t* s, int n) { return CharSetBreakNW(s, WordEndCharSet, n); }
int ClassLength(const char* s, DWORD mask, int n) { return StrSpanClassN(s, mask, n); }
int ClassLength(const char16_t* s, DWORD mask, int n) { return StrSpanClassNW(s, mask, n); }

struct TokenArgs {
  bool classForm;
  DWORD wordClass;
  bool keyForm;  // the TOKEN_KEY_TAG bound is honoured
  int escape;
  int open;
  int maxLen;
};

// dst null: measure only.
// An 8-bit open or escape character often arrives as a char: a Latin-1 one
// ('\xAB') is then negative and is taken as its byte.
int ByteArg(int c) { return c >= -128 && c < 0 ? c & 0xFF : c; }
TokenArgs Narrow(TokenArgs a) {
  a.open = ByteArg(a.open);
  a.escape = ByteArg(a.escape);
  return a;
}

template <class Ch>
int Token(const TokenArgs& given, Ch* dst, const Ch* text, int* copied, int dstSize) {
  const TokenArgs a = sizeof(Ch) == 1 ? Narrow(given) : given;
  if (copied) *copied = 0;
  int start = 0;
  int bound = a.maxLen;
  if (a.maxLen <= 0) {
    if (!a.keyForm || (static_cast<DWORD>(a.maxLen) & TOKEN_KEY_TAG_MASK) != TOKEN_KEY_TAG) return 0;
    bound = a.maxLen & 0xFFFF;
    const unsigned key = (static_cast<DWORD>(a.maxLen) >> 16) & 0x7F;
    while (start < bound && InClass(text[start], CHC_BLANK)) ++start;
    if (start >= bound || key == 0 || CodeOf(text[start]) != key) return 0;
    ++start;
  }
  while (start < bound && InClass(text[start], CHC_BLANK)) ++start;
  const int rest = bound - start;
  if (rest < 1) return start;
  const Ch* s = text + start;

  if (a.open == 0 || CodeOf(s[0]) != static_cast<unsigned>(a.open)) {
    // The terminator ends a word whatever wordClass holds: a class that
    // takes CHC_NUL (say ~CHC_BLANK) would otherwise run past the text.
    const int n = a.classForm ? ClassLength(s, a.wordClass & ~CHC_NUL, rest) : WordLength(s, rest);
    if (dst) {
      const int c = CopyMax(dst, s, dstSize, n);
      if (copied) *copied = c;
    }
    return start + n;
  }

  const unsigned close = ClosingOf(static_cast<unsigned>(a.open));
  const unsigned escape = static_cast<unsigned>(a.escape);
  int i = 1;
  for (; i < rest; ++i) {
    const unsigned c = CodeOf(s[i]);
    if (c == 0 || c == '\n' || c == '\r') break;
    if (escape != 0 && c == escape) {
      // The escape hides the next character when there is one.
      if (i + 1 < rest && s[i + 1] != Ch(0)) {
        ++i;
        continue;
      }
      break;
    }
    if (c == close) break;
  }
  if (dst) {
    const int c = CopyMax(dst, s + 1, dstSize, i - 1);
    if (copied) *copied = c;
  }
  return i < rest && CodeOf(s[i]) == close ? start + i + 1 : start + i;
}

TokenArgs Plain(int escape, int open, int maxLen, bool keyForm) { return {false, 0, keyForm, escape, open, maxLen}; }
TokenArgs OfClass(DWORD wordClass, int escape, int open, int maxLen, bool keyForm) {
  return {true, wordClass, keyForm, escape, open, maxLen};
}

}  // namespace

int StrTokenLength(const char* text, int escape, int open, int maxLen) {
  return Token<char>(Plain(escape, open, maxLen, false), nullptr, text, nullptr, 0);
}
int StrTokenLengthW(const char16_t* text, int escape, int open, int maxLen) {
  return Token<char16_t>(Plain(escape, open, maxLen, false), nullptr, text, nullptr, 0);
}
int StrTokenLengthClass(DWORD wordClass, const char* text, int escape, int open, int maxLen) {
  return Token<char>(OfClass(wordClass, escape, open, maxLen, false), nullptr, text, nullptr, 0);
}
int StrTokenLengthClassW(DWORD wordClass, const char16_t* text, int escape, int open, int maxLen) {
  return Token<char16_t>(OfClass(wordClass, escape, open, maxLen, false), nullptr, text, nullptr, 0);
}
int StrGetToken(char* dst, const char* text, int dstSize, int escape, int open, int maxLen) {
  return Token(Plain(escape, open, maxLen, true), dst, text, nullptr, dstSize);
}
int StrGetTokenW(char16_t* dst, const char16_t* text, int dstSize, int escape, int open, int maxLen) {
  return Token(Plain(escape, open, maxLen, true), dst, text, nullptr, dstSize);
}
int StrGetTokenClass(DWORD wordClass, char* dst, const char* text, int dstSize, int escape, int open, int maxLen) {
  return Token(OfClass(wordClass, escape, open, maxLen, true), dst, text, nullptr, dstSize);
}
int StrGetTokenClassW(DWORD wordClass, char16_t* dst, const char16_t* text, int dstSize, int escape, int open,
                      int maxLen) {
  return Token(OfClass(wordClass, escape, open, maxLen, true), dst, text, nullptr, dstSize);
}
int StrGetTokenEx(char* dst, const char* text, int* copied, int dstSize, int escape, int open, int maxLen) {
  return Token(Plain(escape, open, maxLen, true), dst, text, copied, dstSize);
}
int StrGetTokenExW(char16_t* dst, const char16_t* text, int* copied, int dstSize, int escape, int open,
                   int maxLen) {
  return Token(Plain(escape, open, maxLen, true), dst, text, copied, dstSize);
}
int StrGetTokenClassEx(DWORD wordClass, char* dst, const char* text, int* copied, int dstSize, int escape,
                       int open, int maxLen) {
  return Token(OfClass(wordClass, escape, open, maxLen, true), dst, text, copied, dstSize);
}
int StrGetTokenClassExW(DWORD wordClass, char16_t* dst, const char16_t* text, int* copied, int dstSize,
                        int escape, int open, int maxLen) {
  return Token(OfClass(wordClass, escape, open, maxLen, true), dst, text, copied, dstSize);
}
