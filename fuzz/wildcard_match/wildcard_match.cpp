// The wildcard matchers and their wide twins agree with glibc fnmatch (C
// locale, FNM_NOESCAPE) on patterns without '['; MatchPatternEx and its twin
// survive anything and agree with each other.
//
// Input: byte 0 = flags (bit 0: case-blind, bit 1: MATCH_STARDOTSTAR, bits 2
// and 3: MATCH_NOT_AT_START and MATCH_AFTER_WORD for MatchPatternEx), then
// the pattern, a 0 byte, and the name.
#include <fnmatch.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "toolkit/wildcard.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

std::u16string Widen(const std::string& s) {
  std::u16string w;
  for (unsigned char c : s) w += static_cast<char16_t>(c);
  return w;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const unsigned mode = data[0];
  const char* body = reinterpret_cast<const char*>(data + 1);
  const size_t n = size - 1;
  const void* zero = std::memchr(body, 0, n);
  const size_t split = zero ? static_cast<size_t>(static_cast<const char*>(zero) - body) : n;
  std::string pattern(body, split);
  std::string name = zero ? std::string(body + split + 1, n - split - 1) : std::string();
  name = name.substr(0, std::strlen(name.c_str()));  // names are NUL-free
  const bool noCase = mode & 1;
  const bool starDot = mode & 2;

  const int pl = static_cast<int>(pattern.size()), nl = static_cast<int>(name.size());
  const std::u16string wp = Widen(pattern), wn = Widen(name);
  const DWORD flags = (noCase ? MATCH_NOCASE : 0) | (starDot ? MATCH_STARDOTSTAR : 0);
  const int file = MatchFilePattern(pattern.data(), pl, name.data(), nl, flags);
  Check(file == MatchFilePatternW(wp.data(), pl, wn.data(), nl, flags));
  Check((file == 0 ? nl : -1) ==
        MatchFilePattern(pattern.data(), pl, name.data(), nl, flags | MATCH_LENGTH | MATCH_FAIL_NEGATIVE));
  const int wild = noCase ? StrMatchWildcardNoCase(name.c_str(), pattern.c_str())
                          : StrMatchWildcard(name.c_str(), pattern.c_str());
  const int wideWild = noCase ? StrMatchWildcardNoCaseW(wn.c_str(), wp.c_str())
                              : StrMatchWildcardW(wn.c_str(), wp.c_str());
  Check(wild == wideWild);
  const DWORD exFlags = flags | ((mode & 4) ? MATCH_NOT_AT_START : 0) | ((mode & 8) ? MATCH_AFTER_WORD : 0);
  const int ex = MatchPatternEx(pattern.data(), pl, name.data(), nl, exFlags);
  Check(ex == 0 || ex == 1);
  // Hexadecimal escapes reach above 255 only in wide patterns.
  const bool hexEscape = pattern.find("\\x") != std::string::npos || pattern.find("\\X") != std::string::npos;
  if (!hexEscape) Check(ex == MatchPatternExW(wp.data(), pl, wn.data(), nl, exFlags));
  // Without backslashes the extended matcher is the file-pattern matcher.
  if (pattern.find('\\') == std::string::npos) Check(ex == file);

  if (pattern.find('[') != std::string::npos) return 0;
  const int fnFlags = FNM_NOESCAPE | (noCase ? FNM_CASEFOLD : 0);
  const bool peer = fnmatch(pattern.c_str(), name.c_str(), fnFlags) == 0;
  Check(peer == (wild == 0));
  std::string dotted = pattern;
  if (starDot && dotted.size() >= 3 && dotted.compare(dotted.size() - 3, 3, "*.*") == 0) {
    dotted.resize(dotted.size() - 2);
  }
  Check((fnmatch(dotted.c_str(), name.c_str(), fnFlags) == 0) == (file == 0));
  return 0;
}
