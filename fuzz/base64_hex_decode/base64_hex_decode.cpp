// Feeds arbitrary bytes to the Base64 and hex readers. Outputs live in heap
// blocks of exactly the size the functions are told, so any write beyond it
// is caught; the checks below hold for every input.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "../exact_block.h"
#include "toolkit/base64.h"
#include "toolkit/hextext.h"

namespace {

using fuzz_support::Exact;
using fuzz_support::Require;

// Base64 decoding: one-shot into an exact block, the stream split at any
// point equals it, and the wide reader of the same text agrees.
void CheckBase64Decode(const uint8_t* data, size_t size, size_t split) {
  const int len = static_cast<int>(size);
  auto text = Exact<char>(size);
  std::memcpy(text.get(), data, size);
  const int room = len;  // never more bytes than characters
  auto whole = Exact<uint8_t>(static_cast<size_t>(room));
  const int n = Base64Decode(whole.get(), room, text.get(), len);
  Require(n >= 0 && n <= room && n <= len * 3 / 4 + 1);

  auto parts = Exact<uint8_t>(static_cast<size_t>(room));
  DWORD state = 0;
  const int a = static_cast<int>(split % (size + 1));
  const int n1 = Base64DecodeStream(parts.get(), room, &state, text.get(), a);
  Require(n1 >= 0);
  // The terminator ends the input: the second piece only counts when the
  // first reached it without meeting one.
  int n2 = 0;
  if (std::memchr(text.get(), 0, static_cast<size_t>(a)) == nullptr) {
    n2 = Base64DecodeStream(parts.get() + n1, room - n1, &state, text.get() + a, len - a);
    Require(n2 >= 0);
  }
  Require(n1 + n2 == n && std::memcmp(parts.get(), whole.get(), static_cast<size_t>(n)) == 0);
  Require((state >> 28) <= 6 && (state & 0x0FFFFF00) == 0);

  auto wide = Exact<char16_t>(size);
  for (size_t i = 0; i < size; ++i) wide[i] = data[i];
  auto wout = Exact<uint8_t>(static_cast<size_t>(room));
  Require(Base64DecodeW(wout.get(), room, wide.get(), len) == n);
  Require(std::memcmp(wout.get(), whole.get(), static_cast<size_t>(n)) == 0);

  // The terminator ends the input however far srcLen reaches: nothing behind
  // it is read (the block ends there) and the bytes before it decode alike.
  auto terminated = Exact<char>(size + 1);
  std::memcpy(terminated.get(), data, size);
  terminated[size] = 0;
  const void* nul = std::memchr(data, 0, size);
  const int upTo = nul ? static_cast<int>(static_cast<const uint8_t*>(nul) - data) : len;
  auto first = Exact<uint8_t>(static_cast<size_t>(room));
  const int t = Base64Decode(first.get(), room, terminated.get(), upTo);
  Require(Base64Decode(parts.get(), room, terminated.get(), len + 4096) == t);
  Require(std::memcmp(parts.get(), first.get(), static_cast<size_t>(t)) == 0);

  // A short output block is filled exactly.
  const int small = room / 3;
  auto cut = Exact<uint8_t>(static_cast<size_t>(small));
  const int m = Base64Decode(cut.get(), small, text.get(), len);
  Require(m == (n < small ? n : small));
}

// Encoding the input into an exact block and reading it back.
void CheckBase64RoundTrip(const uint8_t* data, size_t size, int lineLen) {
  const size_t chars = (size + 2) / 3 * 4;
  // The padded group counts one character per leftover byte toward a line,
  // and a text that does not end at a line end gets a last LF.
  const size_t uncounted = size % 3 ? 4 - size % 3 : 0;
  const size_t counted = chars - uncounted;
  const size_t width = static_cast<size_t>(lineLen);
  const size_t lines = lineLen > 0 && size > 0 ? counted / width + (uncounted || counted % width ? 1 : 0) : 0;
  const size_t room = chars + lines + 1;
  auto text = Exact<char>(room);
  const int n = Base64Encode(data, static_cast<int>(size), text.get(), lineLen);
  Require(n >= 0 && static_cast<size_t>(n) == room - 1 && text[static_cast<size_t>(n)] == 0);
  auto back = Exact<uint8_t>(size);
  Require(Base64Decode(back.get(), static_cast<int>(size), text.get(), n) == static_cast<int>(size));
  Require(std::memcmp(back.get(), data, size) == 0);
}

template <class Ch>
void CheckHex(const uint8_t* data, size_t size, DWORD flags) {
  auto text = Exact<Ch>(size + 1);
  for (size_t i = 0; i < size; ++i) text[i] = static_cast<Ch>(data[i]);
  text[size] = 0;
  const int maxCount = static_cast<int>(flags & 0x3F);
  auto values = Exact<BYTE>(static_cast<size_t>(maxCount));
  auto masks = Exact<BYTE>(static_cast<size_t>(maxCount));
  int used = -1;
  const int quoted = (flags & 0x40) ? static_cast<int>(HEX_ALLOW_QUOTED) : 0;
  int n;
  if constexpr (sizeof(Ch) == 1) {
    n = HexDecode(values.get(), masks.get(), maxCount | quoted, text.get(), &used);
  } else {
    n = HexDecodeW(values.get(), masks.get(), maxCount | quoted, text.get(), &used);
  }
  Require(n >= 0 && n <= maxCount && used >= 0 && static_cast<size_t>(used) <= size);
  for (int i = 0; i < n; ++i) Require((values[i] & ~masks[i]) == 0);

  const DWORD byteFlags = (flags & 0x7FFF0000u) | static_cast<DWORD>(maxCount);
  auto bytes = Exact<uint8_t>(static_cast<size_t>(maxCount));
  if constexpr (sizeof(Ch) == 1) {
    n = HexToBytes(bytes.get(), byteFlags, text.get(), &used);
  } else {
    n = HexToBytesW(bytes.get(), byteFlags, text.get(), &used);
  }
  Require(n >= 0 && n <= maxCount && used >= 0 && static_cast<size_t>(used) <= size);
}

// HexEncode into a block of the length its layout gives, read back.
void CheckHexEncode(const uint8_t* data, size_t size, DWORD flags) {
  const int count = static_cast<int>(size < 40 ? size : 40);
  const int sepIndex = static_cast<int>((flags >> 8) % 6);
  const char seps[] = {0, ':', '-', '.', ',', ' '};
  const DWORD readFlag[] = {0, HEXBYTES_SEP_COLON, HEXBYTES_SEP_MINUS, HEXBYTES_SEP_DOT, HEXBYTES_SEP_COMMA, 0};
  const DWORD enc = (flags & 0xFE000000u) | (flags & 0x0F) | DWORD(static_cast<unsigned char>(seps[sepIndex])) << 8;
  const int group = sepIndex ? 1 << ((enc >> 25) & 3) : 0;
  const int block = static_cast<int>(enc & 0xFF);
  int len = (enc & HEX_LEADING_COLON) ? 1 : 0;
  if (count > 0) {
    len += 2 * count + (group ? (count - 1) / group : 0) + (block ? (count - 1) / block : 0);
    len += group && count % group == 0 && !(enc & HEX_NO_LAST_SEP);
    len += block && count % block == 0;
  }
  auto text = Exact<char>(static_cast<size_t>(len) + 1);
  Require(HexEncode(data, text.get(), count, enc) == len);
  text[static_cast<size_t>(len)] = 0;
  auto back = Exact<uint8_t>(static_cast<size_t>(count));
  int used = -1;
  Require(HexToBytes(back.get(), static_cast<DWORD>(count) | readFlag[sepIndex], text.get(), &used) == count);
  Require(used == len);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  DWORD flags = 0;
  if (size >= 4) std::memcpy(&flags, data, 4);
  CheckBase64Decode(data, size, flags);
  CheckBase64RoundTrip(data, size, static_cast<int>(flags % 80));
  CheckHex<char>(data, size, flags);
  CheckHex<char16_t>(data, size, flags);
  CheckHexEncode(data, size, flags);
  return 0;
}
