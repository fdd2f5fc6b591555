// Feeds arbitrary bytes to the bounded text, search, case, edit, bit and
// scramble functions. Buffers are sized exactly to what each call may touch,
// so the sanitizers report any access beyond; results are checked against
// their documented bounds.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "toolkit/bitarray.h"
#include "toolkit/charsearch.h"
#include "toolkit/memblock.h"
#include "toolkit/scramble.h"
#include "toolkit/strcase.h"
#include "toolkit/strcopy.h"

namespace {

struct Input {
  const uint8_t* p;
  size_t n;
  uint32_t Take32() {
    uint32_t v = 0;
    for (int i = 0; i < 4 && n; ++i, ++p, --n) v |= uint32_t(*p) << (8 * i);
    return v;
  }
  int TakeSmall(int lo, int hi) { return lo + int(Take32() % uint32_t(hi - lo + 1)); }
};

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in{data, size};
  const uint32_t mask = in.Take32();
  const uint32_t chWord = in.Take32();
  const int ch = int(in.Take32());
  const int esc = int(in.Take32());
  const int a = in.TakeSmall(-4, 300), b = in.TakeSmall(-4, 300), c = in.TakeSmall(-4, 300);
  const DWORD flags = in.Take32();

  // The rest is the text: terminated narrow and wide copies, and an
  // unterminated one for the bounded forms.
  std::vector<char> text(in.p, in.p + in.n);
  const int len = int(text.size());
  std::vector<char> terminated(text);
  terminated.push_back(0);
  std::vector<wchar16> wide;
  for (size_t i = 0; i + 1 < text.size(); i += 2)
    wide.push_back(wchar16(uint8_t(text[i]) | (uint8_t(text[i + 1]) << 8)));
  const int wlen = int(wide.size());
  wide.push_back(0);

  const char* t = terminated.data();
  const int maxLen = a < 0 ? a : a % (len + 1);  // never past the buffer
  Check(StrFindChr(t, ch) <= len);
  Check(StrFindChrN(text.data(), ch, maxLen) <= (maxLen < 0 ? 0 : maxLen));
  Check(StrFindChrBackN(text.data(), ch, maxLen) < (maxLen < 1 ? 0 : maxLen));
  Check(StrFindChrEscN(text.data(), ch, maxLen, esc) <= (maxLen < 0 ? 0 : maxLen));
  Check(StrBreakClassChrEscN(mask, text.data(), ch, maxLen, esc) <= (maxLen < 0 ? 0 : maxLen));
  Check(StrFindEndClassEscN(mask, text.data(), chWord, maxLen, esc) <= (maxLen < 0 ? 0 : maxLen));
  Check(StrBreakClassChr(mask, t, ch) <= len);
  Check(StrFindEndClass(mask, t, chWord) <= len);
  const int wMax = a < 0 ? a : a % (wlen + 1);
  Check(StrFindEndClassEscNW(mask, wide.data(), chWord, wMax, esc) <= (wMax < 0 ? 0 : wMax));
  Check(StrFindEndClassW(mask, wide.data(), chWord) <= wlen);

  // Copies into destinations of exactly dstSize characters.
  const int dstSize = b;
  std::vector<char> dst(size_t(dstSize < 0 ? 0 : dstSize));
  Check(StrCopyN(dst.data(), t, dstSize) <= (dstSize < 1 ? 0 : dstSize - 1));
  Check(StrCopyMax(dst.data(), t, dstSize, c) <= (dstSize < 1 ? 0 : dstSize - 1));
  Check(StrAppendN(dst.data(), t, dstSize) <= (dstSize < 0 ? 0 : dstSize));
  Check(StrTrimCopyN(dst.data(), t, dstSize) <= (dstSize < 1 ? 0 : dstSize - 1));
  if (dstSize > 0) {
    std::memcpy(dst.data(), t, size_t(std::min(dstSize, len + 1)));
    dst[size_t(dstSize - 1)] = 0;
    Check(StrPrependN(dst.data(), "front", dstSize) <= dstSize - 1);
  }
  std::vector<char> cased(terminated);
  StrCaseConvert(cased.data(), cased.data(), flags);
  std::vector<wchar16> wcased(wide);
  StrCaseConvertW(wcased.data(), wcased.data(), flags);
  std::vector<char> scrambled(text);
  TextScramble(scrambled.data(), flags, len, a);
  TextUnscramble(scrambled.data(), flags, len, a);
  Check(scrambled == text);

  // Buffer edits within a capacity; the source is a part of the buffer.
  std::vector<uint8_t> buf(text.begin(), text.end());
  const int capacity = len;
  const int used = b < 0 ? b : b % (capacity + 1);
  const int srcOff = c < 0 ? 0 : c % (capacity + 1);
  const int n = std::min(a, capacity - srcOff);
  const int r = MemReplaceN(buf.data(), buf.data() + srcOff, used, n, c, a, capacity);
  Check(r >= 0 && r <= capacity);
  Check(MemInsertN(buf.data(), buf.data() + srcOff, used, n, b, capacity) <= capacity);
  Check(MemDelete(buf.data(), used, a, c) <= (used < 0 ? 0 : used));
  const int from = a < 0 ? a : a % (capacity + 1), to = c < 0 ? c : c % (capacity + 1);
  const int count = b < 0 ? b : b % (capacity + 1);
  MemMoveBlockN(buf.data(), from, count, to, capacity);

  // Bit ranges and searches over the buffer's bits.
  const uint64_t bits = uint64_t(len) * 8;
  const DWORD limit = DWORD(bits ? uint32_t(chWord) % (bits + 1) : 0);
  const DWORD start = uint32_t(ch) % (uint32_t(limit) + 40);
  Check(BitCount(buf.data(), limit, start) <= limit);
  Check(BitCountMsb(buf.data(), limit, start) <= limit);
  // The searches may read whole 32-bit words below limit: round down.
  const DWORD wordLimit = DWORD(bits / 32 * 32 < limit ? bits / 32 * 32 : limit);
  Check(BitFindNextSet(buf.data(), wordLimit, start) <= wordLimit);
  Check(BitFindNextClearMsb(buf.data(), wordLimit, start) <= wordLimit);
  const int rs = int(uint32_t(esc) % uint32_t(bits + 1));
  const int rc = int(std::min<uint64_t>(uint32_t(mask) % (bits + 1), bits - uint64_t(rs)));
  BitToggleRange(buf.data(), rs, rc);
  BitSetRange(buf.data(), rs, rc);
  BitClearRange(buf.data(), rs, rc);
  return 0;
}
