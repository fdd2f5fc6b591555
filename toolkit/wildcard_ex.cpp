// MatchPatternEx: the file-pattern matcher with backslash elements.
//
// The pattern is split into alternatives at "\|"; each alternative is read
// into a list of elements and run over the name as a set of reachable
// positions, element by element (a run or '*' takes every length at once), so
// that a run that must give characters back is found without backtracking
// and the time stays linear in elements times name length.
#include <algorithm>
#include <vector>

#include "toolkit/charclass.h"
#include "toolkit/inttext.h"
#include "toolkit/numtext.h"
#include "toolkit/wildcard.h"
#include "toolkit/wildcard_impl.h"

namespace {

using wildcard_detail::Unit;

constexpr uint32_t kWordClasses = 0x3000000F;
constexpr uint32_t kHexDigit = CHC_DIGIT | CHC_HEXLETTER;

enum class Op : uint8_t {
  Literal,    // one character equal to mask (also what \* \? \\ stand for)
  Any,        // '?'
  Star,       // '*'
  ClassRun,   // \#mask#: 0 or more of the class
  ClassOpt,   // \$mask$: 1 if of the class, else 0
  ClassOne,   // \&mask&, \h \p \m \o: 1 of the class
  SetOpt,     // \(chars)
  SetOne,     // \[chars]
  SetNone,    // \{chars}
  SetRun,     // \<chars>
  SpaceRun,   // \+ \.: 0 or more of the class
  BreakRun,   // \_ \-: 1 or more of the class, or 0 at the start of the name
  Start,      // \a
  End,        // \e
  WordEnd,    // \f
  WordStart,  // \g
  Word,       // \w (mask: the class the run must start with)
  Line,       // \q
};

struct Element {
  Op op;
  uint32_t mask = 0;  // class mask, or the literal character
  int setBegin = 0;   // the set's characters in Pattern::chars
  int setLen = 0;
};

struct Alternative {
  std::vector<Element> elements;
};

template <class Ch>
struct Reader {
  const Ch* pattern;
  int len;
  int at = 0;
  std::vector<unsigned>* chars;

  bool More() const { return at < len; }
  unsigned Peek(int k = 0) const { return at + k < len ? Unit(pattern[at + k]) : 0u; }

  // One character or character escape starting at `at`, read from a bounded
  // copy so that the escape reader never passes the pattern's end.
  unsigned Escape() {
    Ch buf[8] = {};
    int n = std::min(len - at, 7);
    for (int k = 0; k < n; ++k) buf[k] = pattern[at + k];
    int used = 1;
    unsigned c;
    if constexpr (sizeof(Ch) == 1) {
      c = static_cast<unsigned>(StrParseEscape(buf, &used));
    } else {
      c = static_cast<unsigned>(StrParseEscapeW(buf, &used));
    }
    at += std::clamp(used, 1, n);
    return c;
  }

  // A hexadecimal class mask ended by `close` (or the pattern's end).
  uint32_t Mask(unsigned close) {
    int start = at;
    while (at < len && Unit(pattern[at]) != close) ++at;
    uint32_t mask;
    if constexpr (sizeof(Ch) == 1) {
      mask = HexToIntN(pattern + start, at - start);
    } else {
      mask = HexToIntNW(pattern + start, at - start);
    }
    if (at < len) ++at;
    return mask;
  }

  // A character list ended by `close`; a backslash escapes the closing
  // character or starts a character escape.
  Element Set(Op op, unsigned close) {
    Element e{op};
    e.setBegin = static_cast<int>(chars->size());
    while (at < len && Unit(pattern[at]) != close) {
      if (Unit(pattern[at]) == '\\' && Peek(1) == close) {
        chars->push_back(close);
        at += 2;
      } else {
        chars->push_back(Escape());
      }
    }
    if (at < len) ++at;
    e.setLen = static_cast<int>(chars->size()) - e.setBegin;
    return e;
  }
};

// Reads the pattern into alternatives; sets' characters go to `chars`.
template <class Ch>
std::vector<Alternative> Parse(const Ch* pattern, int patLen, std::vector<unsigned>* chars) {
  std::vector<Alternative> alts(1);
  Reader<Ch> r{pattern, patLen, 0, chars};
  auto add = [&alts](Element e) { alts.back().elements.push_back(e); };
  while (r.More()) {
    unsigned c = r.Peek();
    if (c == '*') {
      ++r.at;
      add({Op::Star});
      continue;
    }
    if (c == '?') {
      ++r.at;
      add({Op::Any});
      continue;
    }
    if (c != '\\' || r.at + 1 >= patLen) {
      ++r.at;
      add({Op::Literal, c});
      continue;
    }
    unsigned k = r.Peek(1);
    r.at += 2;
    switch (k) {
      case '*': case '?': case '\\': add({Op::Literal, k}); break;
      case '#': add({Op::ClassRun, r.Mask('#')}); break;
      case '$': add({Op::ClassOpt, r.Mask('$')}); break;
      case '&': add({Op::ClassOne, r.Mask('&')}); break;
      case '(': add(r.Set(Op::SetOpt, ')')); break;
      case '[': add(r.Set(Op::SetOne, ']')); break;
      case '{': add(r.Set(Op::SetNone, '}')); break;
      case '<': add(r.Set(Op::SetRun, '>')); break;
      case '+': add({Op::SpaceRun, CHC_WHITE}); break;
      case '.': add({Op::SpaceRun, CHC_BLANK}); break;
      case '_': add({Op::BreakRun, CHC_BLANK}); break;
      case '-': add({Op::BreakRun, CHC_NEWLINE}); break;
      case 'a': add({Op::Start}); break;
      case 'e': add({Op::End}); break;
      case 'f': add({Op::WordEnd}); break;
      case 'g': add({Op::WordStart}); break;
      case 'w': add({Op::Word, kWordClasses}); break;
      case 'z': add({Op::Word, CHC_DIGIT}); break;
      case 'h': add({Op::ClassOne, kHexDigit}); break;
      case 'p': add({Op::ClassOne, CHC_DIGIT}); break;
      case 'm': add({Op::ClassOne, 0xE}); break;
      case 'o': add({Op::ClassOne, 0xF}); break;
      case 'q': add({Op::Line}); break;
      case '|': alts.emplace_back(); break;
      default:
        r.at -= 2;
        add({Op::Literal, r.Escape()});
        break;
    }
  }
  return alts;
}

template <class Ch>
inline uint32_t ClassOf(Ch c) {
  unsigned u = Unit(c);
  return u > 255 ? CHC_OTHER : CharClassTable[u];
}

template <class Ch, class Fold>
bool RunAlternative(const Alternative& alt, const std::vector<unsigned>& chars, const Ch* name,
                    int n, DWORD flags, const Fold& fold) {
  std::vector<uint8_t> cur(static_cast<size_t>(n) + 1, 0), next(static_cast<size_t>(n) + 1, 0);
  cur[0] = 1;
  const bool atTextStart = !(flags & MATCH_NOT_AT_START);
  auto isWord = [&](int p) { return p < n && (ClassOf(name[p]) & kWordClasses) != 0; };
  auto prevWord = [&](int p) {
    return p > 0 ? (ClassOf(name[p - 1]) & kWordClasses) != 0 : (flags & MATCH_AFTER_WORD) != 0;
  };
  auto inSet = [&](const Element& e, int p) {
    unsigned c = fold(Unit(name[p]));
    for (int k = 0; k < e.setLen; ++k) {
      if (fold(chars[static_cast<size_t>(e.setBegin + k)]) == c) return true;
    }
    return false;
  };
  auto ofClass = [&](const Element& e, int p) { return (ClassOf(name[p]) & e.mask) != 0; };

  for (const Element& e : alt.elements) {
    std::fill(next.begin(), next.end(), 0);
    bool any = false;
    // Zero- and one-step elements.
    auto step = [&](auto&& one) {
      for (int p = 0; p <= n; ++p) {
        if (cur[p]) one(p);
      }
    };
    // Runs: next[q] when some reachable p <= q has name[p, q) all in the run
    // (and the run is allowed to start at p).
    auto run = [&](auto&& canStart, auto&& member) {
      bool carry = false;
      for (int q = 0; q <= n; ++q) {
        carry = (q > 0 && carry && member(q - 1)) || (cur[q] && canStart(q));
        next[q] = carry;
      }
    };
    switch (e.op) {
      case Op::Literal:
        step([&](int p) { if (p < n && fold(Unit(name[p])) == fold(e.mask)) next[p + 1] = 1; });
        break;
      case Op::Any:
        step([&](int p) { if (p < n) next[p + 1] = 1; });
        break;
      case Op::Star:
        run([](int) { return true; }, [](int) { return true; });
        break;
      case Op::ClassRun:
      case Op::SpaceRun:
        run([](int) { return true; }, [&](int p) { return ofClass(e, p); });
        break;
      case Op::SetRun:
        run([](int) { return true; }, [&](int p) { return inSet(e, p); });
        break;
      case Op::ClassOpt:
        step([&](int p) { next[p] = 1; if (p < n && ofClass(e, p)) next[p + 1] = 1; });
        break;
      case Op::ClassOne:
        step([&](int p) { if (p < n && ofClass(e, p)) next[p + 1] = 1; });
        break;
      case Op::SetOpt:
        step([&](int p) { next[p] = 1; if (p < n && inSet(e, p)) next[p + 1] = 1; });
        break;
      case Op::SetOne:
        step([&](int p) { if (p < n && inSet(e, p)) next[p + 1] = 1; });
        break;
      case Op::SetNone:
        step([&](int p) { if (p < n && !inSet(e, p)) next[p + 1] = 1; });
        break;
      case Op::BreakRun: {
        // One or more of the class; none only at the start of the name.
        bool carry = false;
        for (int q = 0; q <= n; ++q) {
          carry = q > 0 && ((carry && ofClass(e, q - 1)) || (cur[q - 1] && ofClass(e, q - 1)));
          next[q] = carry || (q == 0 && cur[0] && atTextStart);
        }
        break;
      }
      case Op::Start:
        if (cur[0] && atTextStart) next[0] = 1;
        break;
      case Op::End:
        next[n] = cur[n];
        break;
      case Op::WordEnd:
        step([&](int p) { if (prevWord(p) && !isWord(p)) next[p] = 1; });
        break;
      case Op::WordStart:
        step([&](int p) { if (!prevWord(p) && isWord(p)) next[p] = 1; });
        break;
      case Op::Word: {
        // After a non-word character: a first character of the start class,
        // then word characters.
        bool carry = false;
        for (int q = 0; q <= n; ++q) {
          bool begins = q > 0 && cur[q - 1] && !prevWord(q - 1) && (ClassOf(name[q - 1]) & e.mask);
          carry = q > 0 && (begins || (carry && isWord(q - 1)));
          next[q] = carry;
        }
        break;
      }
      case Op::Line:
        step([&](int p) {
          if (p >= n) return;
          unsigned c = Unit(name[p]);
          if (c >= '\r' && p + 1 < n && Unit(name[p + 1]) == '\n') {
            next[p + 2] = 1;
          } else if (c > '\t') {
            next[p + 1] = 1;
          }
        });
        break;
    }
    for (int p = 0; p <= n && !any; ++p) any = next[p] != 0;
    if (!any) return false;
    std::swap(cur, next);
  }
  return cur[n] != 0;
}

template <class Ch>
int MatchEx(const Ch* pattern, int patLen, const Ch* name, int nameLen, DWORD flags) {
  if (nameLen < 0) nameLen = 0;
  if (patLen < 0) patLen = 0;
  std::vector<unsigned> chars;
  std::vector<Alternative> alts = Parse(pattern, patLen, &chars);
  bool match = false;
  for (Alternative& alt : alts) {
    auto& el = alt.elements;
    // MATCH_STARDOTSTAR: an alternative ending in "*.*" ends in "*".
    if ((flags & MATCH_STARDOTSTAR) && el.size() >= 3 && el[el.size() - 3].op == Op::Star &&
        el[el.size() - 2].op == Op::Literal && el[el.size() - 2].mask == '.' &&
        el.back().op == Op::Star) {
      el.resize(el.size() - 2);
    }
    if (flags & MATCH_NOCASE) {
      match = RunAlternative(alt, chars, name, nameLen, flags, wildcard_detail::WildFold<Ch>{});
    } else {
      match = RunAlternative(alt, chars, name, nameLen, flags, [](unsigned c) { return c; });
    }
    if (match) break;
  }
  if (flags & MATCH_LENGTH) return match ? nameLen : (flags & MATCH_FAIL_NEGATIVE) ? -1 : 0;
  return match ? 0 : 1;
}

}  // namespace

int MatchPatternEx(const char* pattern, int patLen, const char* name, int nameLen, DWORD flags) {
  return MatchEx(pattern, patLen, name, nameLen, flags);
}
int MatchPatternExW(const wchar16* pattern, int patLen, const wchar16* name, int nameLen,
                    DWORD flags) {
  return MatchEx(pattern, patLen, name, nameLen, flags);
}
