// Feeds arbitrary text and flag words to the number readers and writers of
// the toolkit: nothing may read or write out of bounds, the counts must stay
// within the text, and the narrow and wide twins must agree on byte text.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "toolkit/charclass.h"
#include "toolkit/inttext.h"
#include "toolkit/numtext.h"
#include "toolkit/unitvalue.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

uint32_t Take32(const uint8_t*& data, size_t& size) {
  uint32_t v = 0;
  for (int k = 0; k < 4 && size > 0; ++k, ++data, --size) v = v << 8 | *data;
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint32_t flags = Take32(data, size);
  const uint32_t extra = Take32(data, size);
  const int maxLen = static_cast<int>(extra % 80) - 4;

  // The text exactly as long as the input, so ASan sees any over-read.
  const int length = static_cast<int>(size);
  std::vector<char> narrow(data, data + size);
  narrow.push_back(0);
  std::vector<char16_t> wide(data, data + size);
  wide.push_back(0);
  const int terminated = static_cast<int>(std::strlen(narrow.data()));
  const char* text = narrow.data();
  const char16_t* wtext = wide.data();

  int used = -1, usedW = -1;
  Check(StrToInt(text, flags, &used) == StrToIntW(wtext, flags, &usedW));
  Check(used == usedW && used >= 0 && used <= terminated);
  Check(StrToInt64(text, flags, &used) == StrToInt64W(wtext, flags, &usedW));
  Check(used == usedW && used >= 0 && used <= terminated);
  if (maxLen <= length + 1) {
    Check(StrToIntN(text, maxLen, flags, &used) == StrToIntNW(wtext, maxLen, flags, &usedW));
    Check(used == usedW && used >= 0 && used <= (maxLen < 0 ? 0 : maxLen));
    Check(StrToInt64N(text, maxLen, flags, &used) == StrToInt64NW(wtext, maxLen, flags, &usedW));
    Check(HexToIntN(text, maxLen) == HexToIntNW(wtext, maxLen));
    uint8_t pos[4], posW[4];
    const int scanned = StrScanNumber(text, maxLen, flags, pos);
    Check(scanned == StrScanNumberW(wtext, maxLen, flags, posW) && std::memcmp(pos, posW, 4) == 0);
    Check(scanned >= 0 && scanned <= (maxLen < 0 ? 0 : maxLen));
    Check(StrNumberLengthN(text, maxLen) == StrNumberLengthNW(wtext, maxLen));
    Check(StrDigitSpan(text, static_cast<int>(flags), maxLen) ==
          StrDigitSpanW(wtext, static_cast<int>(flags), maxLen));
    Check(StrSpanClassN(text, flags, maxLen) == StrSpanClassNW(wtext, flags, maxLen));
  }
  Check(HexToIntN(text, -1) == HexToIntNW(wtext, -1));

  const double value = StrToDouble(text, &used, flags);
  const double valueW = StrToDoubleW(wtext, &usedW, flags);
  Check(used == usedW && used <= terminated);
  Check(std::memcmp(&value, &valueW, sizeof value) == 0 || (value != value && valueW != valueW));
  Check(StrNumberLength(text) == StrNumberLengthW(wtext));
  Check(StrNumberLength(text) <= terminated);
  Check(StrSpanClass(text, flags) == StrSpanClassW(wtext, flags));
  Check(StrSpanNotClass(text, flags) == StrSpanNotClassW(wtext, flags));
  Check(StrSpanClassBack(text + terminated, flags, terminated) ==
        StrSpanClassBackW(wtext + terminated, flags, terminated));
  Check(StrFindLastOf(text, text + terminated / 2, -1) ==
        StrFindLastOfW(wtext, wtext + terminated / 2, -1));

  if (terminated > 0) {
    Check(StrParseEscape(text, &used) == StrParseEscapeW(wtext, &usedW) || text[0] == '\\');
    Check(used >= 1 && used <= 5);
  }

  // Writers: exact-size buffers.
  {
    std::vector<char> buffer(INTTEXT_BUFFER_SIZE);
    std::vector<char16_t> wbuffer(INTTEXT_BUFFER_SIZE);
    const int64_t v = static_cast<int64_t>(static_cast<uint64_t>(flags) << 32 | extra);
    const int n = Int64ToStr(v, buffer.data(), extra);
    Check(n == Int64ToStrW(v, wbuffer.data(), extra) && n < INTTEXT_BUFFER_SIZE);
    Check(IntToStr(static_cast<int>(flags), buffer.data(), extra) < INTTEXT_BUFFER_SIZE);
    if ((extra & INTFMT_RADIX) != 0 && (extra & (INTFMT_WIDTH_MASK | INTFMT_PAD_BLANKS)) == 0) {
      const unsigned radix = extra & 0xFF;
      if (radix >= 2 && radix <= 36) {
        Int64ToStr(v, buffer.data(), INTFMT_RADIX | radix);
        Check(StrToInt64(buffer.data(), radix, &used) == v);
      }
    }
    char literal[7];
    const int written = CharToEscapeLiteral(static_cast<int>(flags), literal, extra & 1);
    Check(written >= 1 && written <= 6);

    const int bufferSize = static_cast<int>(extra % 40);
    std::vector<char> unitBuffer(static_cast<size_t>(bufferSize) + 1, '#');
    const char* unit = (extra & 0x40) != 0 ? static_cast<const char*>(UNITFMT_BYTES) : text;
    const int wrote = FormatUnitValue(static_cast<uint64_t>(v), unitBuffer.data(), bufferSize,
                                      flags, unit, &used);
    Check(wrote >= 0 && (bufferSize == 0 || wrote < bufferSize) && unitBuffer[bufferSize] == '#');
    Check(used >= 0 && used <= 15);
  }

  // Number lists into an exactly sized output.
  {
    const int maxItems = static_cast<int>(extra % 64);
    const int itemSize = static_cast<int>((flags >> 8) & 3) + 1;
    std::vector<uint8_t> out(static_cast<size_t>(maxItems * itemSize) + 1);
    const int stored = ParseNumberList(text, out.data(), maxItems, flags, &used);
    Check(stored >= 0 && stored <= maxItems && used >= 0 && used <= terminated);
    const int storedW = ParseNumberListW(wtext, out.data(), maxItems, flags, &usedW);
    Check(stored == storedW && used == usedW);
  }
  return 0;
}
