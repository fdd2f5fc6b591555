#include "toolkit/unitvalue.h"

#include <cstring>

#include "toolkit/detail/intparse.h"
#include "toolkit/inttext.h"

namespace {

using toolkit_detail::CodeOf;
using Wide = unsigned __int128;

// Appends to a caller buffer of a given size, dropping what does not fit
// and keeping room for the terminator.
template <class Ch>
class BoundedOut {
 public:
  BoundedOut(Ch* buffer, int size) : buffer_(buffer), size_(size) {}
  void Put(unsigned c) {
    if (pos_ + 1 < size_) buffer_[pos_++] = static_cast<Ch>(c);
  }
  void Put(const Ch* text, int count) {
    for (int k = 0; k < count; ++k) Put(CodeOf(text[k]));
  }
  void PutText(const char* text) {
    while (*text != 0) Put(static_cast<unsigned char>(*text++));
  }
  int Finish() {
    if (size_ > 0) buffer_[pos_] = 0;
    return pos_;
  }

 private:
  Ch* buffer_;
  int size_;
  int pos_ = 0;
};

template <class Ch>
bool IsBytes(const Ch* unit) {
  return unit == static_cast<const Ch*>(UNITFMT_BYTES);
}

// Copies the integer text src (right-aligned in aligned mode) to out with a
// separator before every group of three digits that has a digit before it;
// where an aligned group place falls in the blank fill it gets a blank.
template <class Ch>
void PutGrouped(BoundedOut<Ch>& out, const Ch* src, int length, unsigned separator, bool aligned) {
  for (int k = 0; k < length; ++k) {
    const int fromEnd = length - k;  // characters from k to the end
    if (k > 0 && fromEnd % 3 == 0) {
      const unsigned before = CodeOf(src[k - 1]);
      if (before - '0' < 10u) {
        out.Put(separator);
      } else if (aligned && before == ' ') {
        out.Put(' ');
      }
    }
    out.Put(CodeOf(src[k]));
  }
}

template <class Ch>
int FormatUnit(uint64_t value, Ch* buffer, int bufferSize, uint32_t flags, const Ch* unit,
               int* prefixIndex) {
  const bool negative = (flags & UNITFMT_SIGNED) != 0 && static_cast<int64_t>(value) < 0;
  const uint64_t magnitude = negative ? 0 - value : value;
  const bool binary = (flags & UNITFMT_BINARY) != 0;
  const bool aligned = (flags & UNITFMT_ALIGNED) != 0;
  const unsigned fraction = (flags & UNITFMT_FRACTION_MASK) >> UNITFMT_FRACTION_SHIFT;
  unsigned maxDigits = (flags & UNITFMT_DIGITS_MASK) >> UNITFMT_DIGITS_SHIFT;
  if (maxDigits == 0) maxDigits = 1;
  const int startPrefix = static_cast<int>((flags & UNITFMT_PREFIX_MASK) >> UNITFMT_PREFIX_SHIFT);

  // Scale until the integer part has at most maxDigits digits.
  uint64_t integer = magnitude;
  Wide scale = 1;
  int steps = 0;
  while (integer >= PowersOfTenTable[maxDigits]) {
    integer = binary ? integer >> 10 : integer / 1000;
    scale *= binary ? 1024u : 1000u;
    ++steps;
  }
  int prefix = startPrefix + steps;
  if (prefix > 15) prefix = 15;
  if (prefixIndex != nullptr) *prefixIndex = prefix;

  // Integer part: signed for a negative value, blank-filled to the column
  // width in aligned mode.
  Ch digits[INTTEXT_BUFFER_SIZE];
  uint32_t intFlags = negative ? INTFMT_DECIMAL : INTFMT_UNSIGNED;
  if (aligned) intFlags |= IntFmtWidth(maxDigits) | INTFMT_PAD_BLANKS;
  // A negative value whose integer part scaled down to 0 still shows its
  // sign: it is laid out as -1 (same width and fill) with the digit made 0.
  const bool negativeZero = negative && integer == 0;
  const int64_t shown = negativeZero ? -1
                        : negative   ? -static_cast<int64_t>(integer)
                                     : static_cast<int64_t>(integer);
  int length;
  if constexpr (sizeof(Ch) == 1) {
    length = Int64ToStr(shown, digits, intFlags);
  } else {
    length = Int64ToStrW(shown, digits, intFlags);
  }
  if (negativeZero) digits[length - 1] = Ch('0');

  BoundedOut<Ch> out(buffer, bufferSize);
  const unsigned separator = (flags & UNITFMT_THOUSANDS_MASK) >> UNITFMT_THOUSANDS_SHIFT;
  if (separator != 0) {
    PutGrouped(out, digits, length, separator, aligned);
  } else {
    out.Put(digits, length);
  }

  const bool bytes = IsBytes(unit);
  if (fraction != 0) {
    const Wide remainder = magnitude - scale * integer;
    const uint64_t part = static_cast<uint64_t>(remainder * PowersOfTenTable[fraction] / scale);
    Ch text[INTTEXT_BUFFER_SIZE];
    int count;
    if constexpr (sizeof(Ch) == 1) {
      count = Int64ToStr(static_cast<int64_t>(part), text, INTFMT_UNSIGNED | IntFmtWidth(fraction));
    } else {
      count =
          Int64ToStrW(static_cast<int64_t>(part), text, INTFMT_UNSIGNED | IntFmtWidth(fraction));
    }
    const bool strip = !aligned && ((flags & UNITFMT_STRIP_ZEROS) != 0 ||
                                    (bytes && prefix == UNITFMT_PREFIX_NONE));
    if (strip) {
      while (count > 0 && text[count - 1] == '0') --count;
    }
    if (count > 0) {
      const unsigned decimal = (flags & UNITFMT_DECIMAL_MASK) >> UNITFMT_DECIMAL_SHIFT;
      out.Put(decimal != 0 ? decimal : '.');
      out.Put(text, count);
    }
  }

  if ((flags & UNITFMT_SPACE) != 0) out.Put(' ');
  if ((flags & UNITFMT_UNIT) != 0) {
    if (prefix == UNITFMT_PREFIX_NONE) {
      if (bytes) {
        out.PutText("Byte");
      } else {
        if (unit != nullptr) {
          for (const Ch* p = unit; *p != 0; ++p) out.Put(CodeOf(*p));
        }
        if (aligned) out.Put(' ');
      }
    } else {
      out.Put(UnitPrefixTable[prefix]);
      if (bytes) {
        out.PutText(aligned ? "B  " : "B");
      } else if (unit != nullptr) {
        for (const Ch* p = unit; *p != 0; ++p) out.Put(CodeOf(*p));
      }
    }
  }
  return out.Finish();
}

// Separator characters by index (bits 16-18); 0 = none.
constexpr unsigned kListSeparators[8] = {0, ';', '.', ':', ',', 0, '-', '\t'};
// Radix modes by index (bits 12-14): automatic prefixes, 2, 10, 8, 16.
constexpr uint32_t kListRadixModes[8] = {INTPARSE_AUTO, 2, 10, 8, 16, INTPARSE_AUTO, INTPARSE_AUTO,
                                         INTPARSE_AUTO};

template <class Ch>
class ListReader {
 public:
  ListReader(const Ch* text, uint32_t flags) : text_(text), flags_(flags) {
    const unsigned sepIndex = (flags >> NUMLIST_SEP_SHIFT) & 7;
    separator_ = kListSeparators[sepIndex];
    // With TAB as the separator only spaces are blanks.
    blankMask_ = separator_ == '\t' ? CHC_SPACE : CHC_BLANK;
    if (sepIndex == NUMLIST_SEP_ANY) blankMask_ |= CHC_COLON | CHC_SEMICOLON | CHC_COMMA | CHC_DOT;
    negatives_ = (flags & NUMLIST_NEGATIVE) != 0 && sepIndex <= NUMLIST_SEP_SEMICOLON;
    perLine_ = static_cast<int>(flags & NUMLIST_PER_LINE_MASK);
    radixMode_ = perLine_ != 0 ? 16u : kListRadixModes[(flags >> NUMLIST_RADIX_SHIFT) & 7];
    itemSize_ = static_cast<int>((flags & NUMLIST_SIZE_MASK) >> NUMLIST_SIZE_SHIFT) + 1;
  }

  // Reads the list; calls store(value) for every number, returns the
  // characters read.
  template <class Store>
  int Read(Store&& store) {
    i_ = 0;
    SkipBlanks();
    if ((flags_ & NUMLIST_QUOTED) != 0 && At(i_) == '"') {
      ++i_;
      SkipBlanks();
    }
    for (;;) {
      if (perLine_ != 0) SkipAddress();
      int items = 0;
      bool lineDone = false;  // the line ended where a line may end
      while (perLine_ == 0 || items < perLine_) {
        if (AtLineEnd()) {
          lineDone = true;
          break;
        }
        uint64_t value;
        if (!ReadNumber(&value)) break;
        store(value);
        ++items;
        SkipBlanks();
        if (separator_ != 0 && !(perLine_ != 0 && items == perLine_)) {
          if (At(i_) == separator_) {
            ++i_;
            SkipBlanks();
          } else if (!AtLineEnd()) {
            break;
          }
        }
      }
      if (perLine_ != 0 && items == perLine_) lineDone = true;
      if (!lineDone || !NextLine()) break;
    }
    return i_;
  }

 private:
  unsigned At(int k) const { return CodeOf(text_[k]); }
  static bool IsNewline(unsigned c) { return c == '\r' || c == '\n'; }

  void SkipBlanks() {
    while ((toolkit_detail::ClassOf(text_[i_]) & blankMask_) != 0) ++i_;
  }

  // A terminator, a line end, or the backslash that announces a continued line.
  bool AtLineEnd() const {
    const unsigned c = At(i_);
    return c == 0 || IsNewline(c) || (c == '\\' && (flags_ & NUMLIST_BACKSLASH_LINES) != 0);
  }

  // An address before the items of a dump line: a bracketed text, or a first
  // token whose length is not that of one item in hex.
  void SkipAddress() {
    if (At(i_) == '[') {
      int k = i_ + 1;
      while (At(k) != 0 && !IsNewline(At(k)) && At(k) != ']') ++k;
      if (At(k) == ']') {
        i_ = k + 1;
        SkipBlanks();
      }
      return;
    }
    int k = i_;
    while ((toolkit_detail::ClassOf(text_[k]) & (CHC_ALNUM | CHC_UNDERSCORE)) != 0) ++k;
    if (k > i_ && k - i_ != 2 * itemSize_) {
      i_ = k;
      SkipBlanks();
    }
  }

  // Reads one number at the current position; false (nothing consumed) when
  // no digit stands there.
  bool ReadNumber(uint64_t* value) {
    int k = i_;
    bool negative = false;
    if (negatives_ && At(k) == '-' && (toolkit_detail::ClassOf(text_[k + 1]) & CHC_ALNUM) != 0) {
      negative = true;
      ++k;
    }
    const auto parsed = toolkit_detail::ParseInt<uint64_t>(
        text_ + k, INT_MAX, radixMode_ | INTPARSE_NO_SIGN | INTPARSE_NO_LEADING_BLANKS);
    if (parsed.digits == 0) return false;
    i_ = k + parsed.used;
    *value = negative ? 0 - parsed.value : parsed.value;
    return true;
  }

  // Moves past the end of the current line when more lines may follow.
  bool NextLine() {
    if ((flags_ & NUMLIST_MULTILINE) == 0) return false;
    const bool backslash = (flags_ & NUMLIST_BACKSLASH_LINES) != 0;
    int k = i_;
    if (perLine_ != 0) {
      // The rest of a dump line (its text column) is skipped.
      while (At(k) != 0 && !IsNewline(At(k))) ++k;
      if (backslash && (k == i_ || At(k - 1) != '\\')) return false;
    } else if (backslash) {
      if (At(k) != '\\') return false;
      ++k;
      while ((toolkit_detail::ClassOf(text_[k]) & blankMask_) != 0) ++k;
    }
    if (!IsNewline(At(k))) return false;
    if (At(k) == '\r' && At(k + 1) == '\n') ++k;
    i_ = k + 1;
    SkipBlanks();
    return true;
  }

  const Ch* text_;
  uint32_t flags_;
  unsigned separator_;
  uint32_t blankMask_;
  bool negatives_;
  int perLine_;
  uint32_t radixMode_;
  int itemSize_;
  int i_ = 0;
};

template <class Ch>
int ParseList(const Ch* text, void* out, int maxItems, uint32_t flags, int* used) {
  if (maxItems < 0 || out == nullptr) maxItems = 0;
  auto* bytes = static_cast<unsigned char*>(out);
  const int itemSize = static_cast<int>((flags & NUMLIST_SIZE_MASK) >> NUMLIST_SIZE_SHIFT) + 1;
  int stored = 0;
  int read = 0;
  if (text != nullptr) {
    ListReader<Ch> reader(text, flags);
    read = reader.Read([&](uint64_t value) {
      if (stored >= maxItems) return;
      for (int b = 0; b < itemSize; ++b)
        bytes[size_t(stored) * size_t(itemSize) + size_t(b)] = static_cast<unsigned char>(value >> (8 * b));
      ++stored;
    });
  }
  if (used != nullptr) *used = read;
  if ((flags & (NUMLIST_FILL_ZERO | NUMLIST_FILL_FF)) != 0 && stored < maxItems) {
    const unsigned char fill = (flags & NUMLIST_FILL_ZERO) != 0 ? 0x00 : 0xFF;
    // Byte offsets in size_t: maxItems * itemSize may pass INT_MAX.
    std::memset(bytes + size_t(stored) * size_t(itemSize), fill,
                size_t(maxItems - stored) * size_t(itemSize));
  }
  return stored;
}

}  // namespace

int FormatUnitValue(uint64_t value, char* buffer, int bufferSize, uint32_t flags, const char* unit,
                    int* prefixIndex) {
  return FormatUnit(value, buffer, bufferSize, flags, unit, prefixIndex);
}
int FormatUnitValueW(uint64_t value, wchar16* buffer, int bufferSize, uint32_t flags,
                     const wchar16* unit, int* prefixIndex) {
  return FormatUnit(value, buffer, bufferSize, flags, unit, prefixIndex);
}

int ParseNumberList(const char* text, void* out, int maxItems, uint32_t flags, int* used) {
  return ParseList(text, out, maxItems, flags, used);
}
int ParseNumberListW(const wchar16* text, void* out, int maxItems, uint32_t flags, int* used) {
  return ParseList(text, out, maxItems, flags, used);
}
