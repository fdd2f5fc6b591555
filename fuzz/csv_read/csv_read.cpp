// Feeds arbitrary bytes to the text-item readers: CSV fields, tokens and
// escaped literals, narrow and wide, into heap blocks of exactly the size the
// functions are told; a field written by CsvPutField must read back as itself.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "../exact_block.h"
#include "toolkit/csv.h"
#include "toolkit/literal.h"
#include "toolkit/token.h"

namespace {

using fuzz_support::Exact;
using fuzz_support::Require;

template <class Ch>
int Get(const Ch* text, int* stored, Ch* dst, int dstSize, int textLen, Ch sep) {
  if constexpr (sizeof(Ch) == 1) {
    return CsvGetField(text, stored, dst, dstSize, textLen, sep);
  } else {
    return CsvGetFieldW(text, stored, dst, dstSize, textLen, sep);
  }
}

template <class Ch>
int Put(const Ch* text, Ch* dst, int dstSize, int textLen, Ch sep) {
  if constexpr (sizeof(Ch) == 1) {
    return CsvPutField(text, dst, dstSize, textLen, sep);
  } else {
    return CsvPutFieldW(text, dst, dstSize, textLen, sep);
  }
}

// Reads the whole text field by field.
template <class Ch>
void ReadFields(const Ch* text, int len, Ch sep, int dstSize) {
  auto dst = Exact<Ch>(static_cast<size_t>(dstSize));
  int pos = 0;
  while (pos < len) {
    int stored = -1;
    const int used = Get(text + pos, &stored, dst.get(), dstSize, len - pos, sep);
    Require(used >= 0 && used <= len - pos);
    Require(stored >= 0 && (dstSize < 1 ? stored == 0 : stored <= dstSize - 1));
    if (dstSize >= 1) Require(dst[stored] == Ch(0));
    pos += used > 0 ? used : 1;  // CR, LF and the terminator are left to the caller
  }
}

// A field written at any size reads back as a prefix of itself, consuming
// exactly what was written.
template <class Ch>
void PutAndRead(const Ch* field, int len, Ch sep, int dstSize) {
  auto dst = Exact<Ch>(static_cast<size_t>(dstSize));
  const int n = Put(field, dst.get(), dstSize, len, sep);
  if (dstSize < 2) {
    Require(n == 0);
    return;
  }
  Require(n >= 1 && n <= dstSize - 1 && dst[n] == Ch(0) && dst[n - 1] == sep);
  auto back = Exact<Ch>(static_cast<size_t>(dstSize));
  int stored = -1;
  Require(Get(dst.get(), &stored, back.get(), dstSize, n, sep) == n);
  int fieldLen = 0;
  while (fieldLen < len && field[fieldLen] != Ch(0)) ++fieldLen;
  Require(stored <= fieldLen && std::memcmp(back.get(), field, static_cast<size_t>(stored) * sizeof(Ch)) == 0);
  if (dstSize >= 2 * fieldLen + 4) Require(stored == fieldLen);
}

template <class Ch>
void Tokens(const Ch* text, int len, const uint8_t* p, int dstSize) {
  auto dst = Exact<Ch>(static_cast<size_t>(dstSize));
  const int escape = p[0] % 3 == 0 ? 0 : p[0] % 3 == 1 ? '\\' : '"';
  const int open = "\0\"'([{<|"[p[1] % 8];
  int maxLen = len + 1;
  if (p[2] & 1) maxLen = static_cast<int>(0x80000000u | TOKEN_KEY_TAG | (DWORD(p[3] & 0x7F) << 16) | DWORD(len + 1));
  int copied = -1;
  int n;
  if constexpr (sizeof(Ch) == 1) {
    n = StrGetTokenEx(dst.get(), text, &copied, dstSize, escape, open, maxLen);
    Require(StrTokenLength(text, escape, open, len + 1) <= len + 1);
  } else {
    n = StrGetTokenExW(dst.get(), text, &copied, dstSize, escape, open, maxLen);
  }
  Require(n >= 0 && n <= len + 1 && copied >= 0 && (dstSize < 1 ? copied == 0 : copied <= dstSize - 1));

  // With a bound far past the text and any word class (CHC_NUL included),
  // the terminator still ends every item: nothing behind it is read.
  DWORD wordClass;
  std::memcpy(&wordClass, p, sizeof wordClass);
  const int far = len + 4096;
  if constexpr (sizeof(Ch) == 1) {
    n = StrGetTokenClassEx(wordClass, dst.get(), text, &copied, dstSize, escape, open, far);
    Require(StrTokenLengthClass(wordClass, text, escape, open, far) == n);
    Require(StrTokenLength(text, escape, open, far) <= len);
  } else {
    n = StrGetTokenClassExW(wordClass, dst.get(), text, &copied, dstSize, escape, open, far);
    Require(StrTokenLengthClassW(wordClass, text, escape, open, far) == n);
    Require(StrTokenLengthW(text, escape, open, far) <= len);
  }
  Require(n >= 0 && n <= len && copied >= 0 && (dstSize < 1 ? copied == 0 : copied <= dstSize - 1));
}

void Literals(const char* text, size_t len, const uint8_t* p) {
  // Reading a literal into an exact block of any size and encoding.
  const DWORD size = p[0] % 64;
  const DWORD mode = DWORD(p[1] & 7) << 27;
  auto out = Exact<uint8_t>(size);
  int used = -1;
  const int n = StrUnquoteEscape(out.get(), size | mode, text, &used);
  Require(n >= 0 && static_cast<DWORD>(n) <= size && used >= 0 && static_cast<size_t>(used) <= len);

  // Writing the input as a literal and reading it back gives a prefix of it.
  const int dstSize = p[2] % 128;
  const DWORD flags = DWORD(p[3] & 0xE4) << 24;  // short hex, no quotes and the two hex flags
  auto lit = Exact<char>(static_cast<size_t>(dstSize));
  const int k = StrQuoteEscape(lit.get(), dstSize, text, static_cast<int>(len), flags);
  Require(k >= 0 && (dstSize < 1 ? k == 0 : k <= dstSize - 1));
  if (dstSize < 1) return;
  Require(lit[k] == 0);
  auto back = Exact<char>(len + 1);
  const DWORD unquoteMode = (flags & QUOTE_NO_QUOTES) ? UNQUOTE_NO_QUOTES : 0;
  const int m = StrUnquoteEscape(back.get(), static_cast<DWORD>(len + 1) | unquoteMode, lit.get(), &used);
  Require(used == k && m >= 0 && static_cast<size_t>(m) <= len && std::memcmp(back.get(), text, static_cast<size_t>(m)) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4 || size > 4096) return 0;
  const uint8_t* p = data;
  const char sep = ",;\t|"[p[0] % 4];
  const int dstSize = p[1] % 40;
  const size_t len = size - 4;
  auto text = Exact<char>(len + 1);
  std::memcpy(text.get(), data + 4, len);
  text[len] = 0;
  const int n = static_cast<int>(len);
  ReadFields(text.get(), n, sep, dstSize);
  PutAndRead(text.get(), n, sep, dstSize);
  PutAndRead(text.get(), n, sep, 2 * n + 4);
  Tokens(text.get(), n, p, dstSize);
  Literals(text.get(), len, p);

  const size_t wlen = len / 2;
  auto wide = Exact<char16_t>(wlen + 1);
  std::memcpy(wide.get(), data + 4, wlen * 2);
  wide[wlen] = 0;
  const int wn = static_cast<int>(wlen);
  ReadFields(wide.get(), wn, static_cast<char16_t>(sep), dstSize);
  PutAndRead(wide.get(), wn, static_cast<char16_t>(sep), dstSize);
  PutAndRead(wide.get(), wn, static_cast<char16_t>(sep), 2 * wn + 4);
  Tokens(wide.get(), wn, p, dstSize);
  return 0;
}
