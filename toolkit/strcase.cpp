// Case conversion, written once for both widths.
#include "toolkit/strcase.h"

#include "toolkit/charclass.h"
#include "toolkit/detail/textchar.h"

namespace {

using toolkit_detail::ClassOfCode;
using toolkit_detail::CodeOf;

constexpr unsigned kSharpS = 0xDF;

// The letter test of one call: ASCII letters, plus the Latin-1 ones when
// asked; the multiplication and division signs are never letters.
class Letters {
 public:
  explicit Letters(DWORD flags)
      : upper_(CHC_UPPER | ((flags & CASE_LATIN1) ? CHC_LATIN1_UPPER : 0)),
        lower_(CHC_LOWER | ((flags & CASE_LATIN1) ? CHC_LATIN1_LOWER : 0)) {}

  bool IsUpper(unsigned c) const { return (ClassOfCode(c) & upper_) && c != 0xD7; }
  bool IsLower(unsigned c) const { return (ClassOfCode(c) & lower_) && c != 0xF7; }
  bool IsLetter(unsigned c) const { return IsUpper(c) || IsLower(c); }
  bool IsAlnum(unsigned c) const { return IsLetter(c) || (ClassOfCode(c) & CHC_DIGIT); }
  unsigned ToUpper(unsigned c) const {
    if (!IsLower(c)) return c;
    return c == kSharpS ? 'S' : c - 32;
  }
  unsigned ToLower(unsigned c) const { return IsUpper(c) ? c + 32 : c; }

 private:
  uint32_t upper_;
  uint32_t lower_;
};

template <class Ch>
class CaseConverter {
 public:
  CaseConverter(Ch* dst, const Ch* src, DWORD flags)
      : dst_(dst), src_(src), flags_(flags), letters_(flags) {}

  void Run() {
    const int len = toolkit_detail::TextLength(src_);
    const DWORD condition = flags_ & CASE_IF_NOT_MIXED;
    const bool segments = flags_ & (CASE_PATH_SEGMENTS | CASE_WORD_SEGMENTS);
    if (!segments || !condition) {
      if (condition && !Passes(0, len)) {
        Copy(0, len + 1);
        return;
      }
      Convert(0, len);
    } else {
      int i = 0;
      while (i < len) {
        if (!letters_.IsAlnum(Code(i))) {
          dst_[i] = src_[i];
          ++i;
          continue;
        }
        const int end = SegmentEnd(i, len);
        if (Passes(i, end)) Convert(i, end);
        else Copy(i, end);
        i = end;
      }
    }
    dst_[len] = 0;
    if (flags_ & CASE_LOWER_EXT) LowerAfterLastDot(len);
  }

 private:
  unsigned Code(int i) const { return CodeOf(src_[i]); }

  int SegmentEnd(int i, int len) const {
    if (flags_ & CASE_PATH_SEGMENTS) {
      while (i < len && src_[i] != Ch('\\') && src_[i] != Ch('/')) ++i;
    } else {
      while (i < len && letters_.IsAlnum(Code(i))) ++i;
    }
    return i;
  }

  bool Passes(int from, int to) const {
    bool hasUpper = false, hasLower = false;
    for (int i = from; i < to; ++i) {
      hasUpper |= letters_.IsUpper(Code(i));
      hasLower |= letters_.IsLower(Code(i));
    }
    switch (flags_ & CASE_IF_NOT_MIXED) {
      case CASE_IF_NO_UPPER: return !hasUpper;
      case CASE_IF_NO_LOWER: return !hasLower;
      case CASE_IF_NOT_MIXED: return !(hasUpper && hasLower);
      default: return true;
    }
  }

  void Copy(int from, int to) {
    for (int i = from; i < to; ++i) dst_[i] = src_[i];
  }

  void Convert(int from, int to) {
    bool afterAlnum = false;  // the stretch starts as if after a blank
    for (int i = from; i < to; ++i) {
      const unsigned c = Code(i);
      unsigned out;
      if (flags_ & CASE_UPPER) {
        out = letters_.ToUpper(c);
      } else if (flags_ & CASE_LOWER) {
        out = letters_.ToLower(c);
      } else if (!letters_.IsLetter(c)) {
        out = c;
      } else if (afterAlnum) {
        out = letters_.ToLower(c);
      } else {
        out = (flags_ & CASE_KEEP_INITIALS) ? c : letters_.ToUpper(c);
      }
      afterAlnum = letters_.IsAlnum(c);
      dst_[i] = Ch(out);
    }
  }

  void LowerAfterLastDot(int len) {
    for (int i = len - 1; i >= 0; --i) {
      if (dst_[i] != Ch('.')) continue;
      if (i + 1 < len) dst_[i + 1] = Ch(letters_.ToLower(CodeOf(dst_[i + 1])));
      return;
    }
  }

  Ch* dst_;
  const Ch* src_;
  DWORD flags_;
  Letters letters_;
};

}  // namespace

void StrCaseConvert(char* dst, const char* src, DWORD flags) {
  CaseConverter<char>(dst, src, flags).Run();
}
void StrCaseConvertW(wchar16* dst, const wchar16* src, DWORD flags) {
  CaseConverter<wchar16>(dst, src, flags).Run();
}
