// Text scrambling: a rotation of the characters threshold..255 by key bytes.
#include "toolkit/scramble.h"

#include <array>
#include <type_traits>
#include <string_view>

namespace {

template <typename Char>
int Shift(Char* text, DWORD key, int len, int threshold, bool forward) {
  if (len < 0) len = int(std::basic_string_view<Char>(text).size());
  if (len < 1) return 0;
  const int t = threshold < 1 ? 1 : threshold;
  // From 255 on the rotated range would be empty or negative.
  if (t >= 255) return len;
  const int span = 256 - t;  // values t..255
  std::array<int, 4> shift;
  for (int k = 0; k < 4; ++k) {
    const int s = int((key >> (8 * k)) & 0xFF);
    shift[size_t(k)] = s >= 255 - t ? 254 - t : s;
  }
  for (int i = 0; i < len; ++i) {
    const unsigned x = static_cast<std::make_unsigned_t<Char>>(text[i]);
    if (x < unsigned(t) || x > 255) continue;
    int v = int(x) + (forward ? shift[size_t(i % 4)] : -shift[size_t(i % 4)]);
    if (v > 255) v -= span;
    else if (v < t) v += span;
    text[i] = Char(v);
  }
  return len;
}

}  // namespace

int TextScramble(char* text, DWORD key, int len, int threshold) {
  return Shift(text, key, len, threshold, true);
}
int TextScrambleW(wchar16* text, DWORD key, int len, int threshold) {
  return Shift(text, key, len, threshold, true);
}
int TextUnscramble(char* text, DWORD key, int len, int threshold) {
  return Shift(text, key, len, threshold, false);
}
int TextUnscrambleW(wchar16* text, DWORD key, int len, int threshold) {
  return Shift(text, key, len, threshold, false);
}
