// The formula compiler: an operator-precedence parser over 8-bit Latin-1
// text that emits code words while it reads.
#include "formula/program.h"

#include "toolkit/charclass.h"
#include "toolkit/inttext.h"
#include "toolkit/numtext.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

const char kNoPosition[] = "";

// Levels beyond the operator levels 0-7.
constexpr int kLevelTrueBranch = -3;
constexpr int kLevelWhole = -2;
constexpr int kLevelParenthesis = -1;
constexpr int kLevelPower = 6;
constexpr int kLevelFunctionOperand = 7;

// Deeper nesting is refused; it also keeps evaluation within the stack.
constexpr int kMaxNesting = 256;

constexpr unsigned char kSuperTwo = 0xB2;
constexpr unsigned char kSuperThree = 0xB3;

// A character that continues a name (digit, letter, underscore, high byte,
// Latin-1 letter); the superscripts end one, so "pi²" is pi squared.
bool ContinuesName(unsigned char c) {
  return (CharClassTable[c] & 0x3000001F) != 0 && c != kSuperTwo && c != kSuperThree;
}

const char* SkipBlanks(const char* p) { return p + StrSpanClass(p, CHC_BLANK); }

struct BinaryOperator {
  int level;
  uint16_t opcode;
  int length;
};

// The binary operator at p; level -1 when there is none, -2 for a lone
// "!" or "=".
BinaryOperator ReadBinaryOperator(const char* p) {
  const char next = p[1];
  switch (p[0]) {
    case '&': return next == '&' ? BinaryOperator{0, ACT_LOGIC_AND, 2} : BinaryOperator{2, ACT_AND, 1};
    case '|': return next == '|' ? BinaryOperator{0, ACT_LOGIC_OR, 2} : BinaryOperator{2, ACT_OR, 1};
    case '=': return next == '=' ? BinaryOperator{1, ACT_EQ, 2} : BinaryOperator{-2, 0, 0};
    case '!': return next == '=' ? BinaryOperator{1, ACT_NEQ, 2} : BinaryOperator{-2, 0, 0};
    case '<':
      if (next == '<') return {3, ACT_SHL, 2};
      if (next == '=') return {1, ACT_LOWER_EQ, 2};
      return {1, ACT_LOWER, 1};
    case '>':
      if (next == '>') return {3, ACT_SHR, 2};
      if (next == '=') return {1, ACT_UPPER_EQ, 2};
      return {1, ACT_UPPER, 1};
    case '^': return {2, ACT_XOR, 1};
    case '+': return {4, ACT_ADD, 1};
    case '-': return {4, ACT_SUB, 1};
    case '*': return {5, ACT_MUL, 1};
    case '/': return {5, ACT_DIV, 1};
    case '%': return {5, ACT_MOD, 1};
    case '\'': return {kLevelPower, ACT_POW, 1};
    default: return {-1, 0, 0};
  }
}

// Unary operators and the level of the sub-expression they read.
struct UnaryOperator {
  char symbol;
  int level;
  uint16_t opcode;  // ACT_END: no code
};
constexpr std::array<UnaryOperator, 4> kUnaryOperators = {{
    {'-', 5, ACT_NEG},
    {'+', 5, ACT_END},
    {'~', 3, ACT_NOT},
    {'!', 1, ACT_LOGIC_NOT},
}};

enum class KeywordKind { Function, Constant, LogBase, RootIndex };

struct Keyword {
  const char* name;  // upper case
  KeywordKind kind;
  uint16_t opcode;
  double value;
};

// Longer forms first where they share a stem, so the name boundary picks
// the right one.
constexpr std::array<Keyword, 27> kKeywords = {{
    {"ABS", KeywordKind::Function, ACT_ABS, 0},
    {"ACOSH", KeywordKind::Function, ACT_ACOSH, 0},
    {"ACOS", KeywordKind::Function, ACT_ACOS, 0},
    {"ASINH", KeywordKind::Function, ACT_ASINH, 0},
    {"ASIN", KeywordKind::Function, ACT_ASIN, 0},
    {"ATANH", KeywordKind::Function, ACT_ATANH, 0},
    {"ATAN", KeywordKind::Function, ACT_ATAN, 0},
    {"ACOTH", KeywordKind::Function, ACT_ACOTH, 0},
    {"ACOT", KeywordKind::Function, ACT_ACOT, 0},
    {"COSH", KeywordKind::Function, ACT_COSH, 0},
    {"COS", KeywordKind::Function, ACT_COS, 0},
    {"COTH", KeywordKind::Function, ACT_COTH, 0},
    {"COT", KeywordKind::Function, ACT_COT, 0},
    {"CEIL", KeywordKind::Function, ACT_CEIL, 0},
    {"E", KeywordKind::Constant, 0, 2.718281828459045},
    {"FLOOR", KeywordKind::Function, ACT_FLOOR, 0},
    {"LN", KeywordKind::Function, ACT_LOG, 0},
    {"LOG", KeywordKind::LogBase, ACT_LOGX, 0},
    {"LOG", KeywordKind::Function, ACT_LOG10, 0},
    {"PI", KeywordKind::Constant, 0, 3.141592653589793},
    {"ROUND", KeywordKind::Function, ACT_ROUND, 0},
    {"ROOT", KeywordKind::RootIndex, ACT_ROOT, 0},
    {"SINH", KeywordKind::Function, ACT_SINH, 0},
    {"SIN", KeywordKind::Function, ACT_SIN, 0},
    {"SQRT", KeywordKind::Function, ACT_SQRT, 0},
    {"TANH", KeywordKind::Function, ACT_TANH, 0},
    {"TAN", KeywordKind::Function, ACT_TAN, 0},
}};

// Length of name at p compared without regard to case, or 0.
int MatchLetters(const char* p, const char* name) {
  int i = 0;
  for (; name[i] != '\0'; ++i) {
    const unsigned char c = static_cast<unsigned char>(p[i]);
    const unsigned char upper = (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c;
    if (upper != static_cast<unsigned char>(name[i])) return 0;
  }
  return i;
}

}  // namespace

// The parser state of one Compile call.
class FormulaCompiler {
 public:
  FormulaCompiler(CFormulaProgram& program, const char* text)
      : m_program(program), m_end(text + std::strlen(text)) {}

  // Both return the text after what they read, or null after an error (the
  // program's position then marks it).
  const char* ParseExpression(const char* p, int level);
  const char* ParseOperand(const char* p, int level);

 private:
  const char* Fail(const char* at) {
    m_program.m_position = at;
    return nullptr;
  }
  bool EmitConstant(double value) {
    const int index = m_program.AddConstant(value);
    if (index < 0) return false;
    m_program.Emit(LoadWord(static_cast<uint32_t>(index)));
    return true;
  }
  const char* ParseKeyword(const char* p, bool* matched);
  const char* ParseFunctionOperand(const char* p, const char* start);

  CFormulaProgram& m_program;
  // The end of the text, measured once: a callback's count is checked
  // against it for every name, and measuring there would make long texts
  // take quadratic time.
  const char* const m_end;
  int m_depth = 0;
};

const char* FormulaCompiler::ParseExpression(const char* p, int level) {
  if (++m_depth > kMaxNesting) return Fail(p);
  p = ParseOperand(p, level);
  if (p == nullptr) return nullptr;
  while (*p != '\0') {
    m_program.m_position = p;
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c == ' ' || c == '\t') {
      ++p;
      continue;
    }
    if (c == kSuperTwo || c == kSuperThree) {
      if (kLevelPower < level) break;
      m_program.Emit(c == kSuperTwo ? ACT_POW2 : ACT_POW3);
      ++p;
      continue;
    }
    if (c == '?') {
      const uint16_t label = static_cast<uint16_t>(m_program.m_labelCounter++ & FormulaIndexMask);
      m_program.Emit(static_cast<uint16_t>(ACT_IF | label));
      p = ParseExpression(p + 1, kLevelTrueBranch);
      if (p == nullptr) return nullptr;
      if (*p != ':') return Fail(p);
      m_program.Emit(static_cast<uint16_t>(ACT_ELSE | label));
      p = ParseExpression(p + 1, kLevelWhole);
      if (p == nullptr) return nullptr;
      m_program.Emit(static_cast<uint16_t>(ACT_ENDIF | label));
      continue;
    }
    if (c == ')') {
      if (level >= kLevelParenthesis) break;
      return Fail(p);
    }
    if (c == ':') {
      if (level == kLevelWhole || level == kLevelParenthesis) return Fail(p);
      break;
    }
    const BinaryOperator op = ReadBinaryOperator(p);
    if (op.level < 0) return Fail(p);
    if (op.level < level) break;
    m_program.Emit(ACT_UP);
    p = ParseExpression(p + op.length, op.level + 1);
    if (p == nullptr) return nullptr;
    m_program.Emit(op.opcode);
  }
  --m_depth;
  return p;
}

const char* FormulaCompiler::ParseFunctionOperand(const char* p, const char* start) {
  if (++m_depth > kMaxNesting) return Fail(start);
  p = ParseOperand(SkipBlanks(p), kLevelFunctionOperand);
  --m_depth;
  return p;
}

const char* FormulaCompiler::ParseKeyword(const char* p, bool* matched) {
  *matched = false;
  for (const Keyword& k : kKeywords) {
    const int n = MatchLetters(p, k.name);
    if (n == 0) continue;
    const char* after = p + n;
    const bool indexed = k.kind == KeywordKind::LogBase || k.kind == KeywordKind::RootIndex;
    if (indexed) {
      if (!(CharClassTable[static_cast<unsigned char>(*after)] & CHC_DIGIT)) continue;
    } else if (ContinuesName(static_cast<unsigned char>(*after))) {
      continue;
    }
    *matched = true;
    switch (k.kind) {
      case KeywordKind::Constant:
        if (!EmitConstant(k.value)) return Fail(p);
        return after;
      case KeywordKind::Function:
        after = ParseFunctionOperand(after, p);
        if (after == nullptr) return nullptr;
        m_program.Emit(k.opcode);
        return after;
      case KeywordKind::LogBase:
      case KeywordKind::RootIndex: {
        int used = 0;
        const double n = StrToDouble(after, &used, 0);
        // Base 1 would divide by ln 1 = 0; a root of index 0 has no meaning.
        const bool bad = k.kind == KeywordKind::LogBase ? !(n > 0.0) || n == 1.0 : n == 0.0;
        if (used < 1 || bad) return Fail(p);
        if (!EmitConstant(n)) return Fail(p);
        m_program.Emit(ACT_UP);
        after = ParseFunctionOperand(after + used, p);
        if (after == nullptr) return nullptr;
        m_program.Emit(k.opcode);
        return after;
      }
    }
  }
  return p;
}

const char* FormulaCompiler::ParseOperand(const char* p, int level) {
  p = SkipBlanks(p);
  const char* const start = p;
  m_program.m_position = start;
  const unsigned char c = static_cast<unsigned char>(*p);
  if (c == '\0') return Fail(p);

  for (const UnaryOperator& u : kUnaryOperators) {
    if (c != static_cast<unsigned char>(u.symbol)) continue;
    // The operand reaches no looser than the context allows (1/-2/4 is
    // (1/-2)/4), yet powers and squares always belong to it, also in an
    // exponent or a function operand: e'-x'2 is e'(-(x'2)), sin -x'2 is sin(-(x'2)).
    p = ParseExpression(SkipBlanks(p + 1), std::max(u.level, std::min(level, kLevelPower)));
    if (p == nullptr) return nullptr;
    if (u.opcode != ACT_END) m_program.Emit(u.opcode);
    return SkipBlanks(p);
  }

  if (c == '(') {
    p = ParseExpression(SkipBlanks(p + 1), kLevelParenthesis);
    if (p == nullptr) return nullptr;
    p = SkipBlanks(p);
    if (*p != ')') return Fail(p);
    return SkipBlanks(p + 1);
  }

  if (c == '\'') {
    if (p[1] == '\0') return Fail(start);
    int used = 0;
    const int ch = StrParseEscape(p + 1, &used);
    if (p[1 + used] != '\'') return Fail(start);
    if (!EmitConstant(static_cast<unsigned char>(ch))) return Fail(start);
    return SkipBlanks(p + 2 + used);
  }

  if (CharClassTable[c] & (CHC_UPPER | CHC_LOWER)) {
    bool matched = false;
    const char* after = ParseKeyword(p, &matched);
    if (matched) return after == nullptr ? nullptr : SkipBlanks(after);
  }

  int used = 0;
  double number = 0.0;
  if (c == '0' && p[1] != '\0' && std::strchr("xXoOdDbB", p[1]) != nullptr) {
    const int64_t value = StrToInt64(p, 0, &used);
    if (used < 3) used = 0;
    number = static_cast<double>(value);
  } else {
    number = StrToDouble(p, &used, NUMSCAN_SIGN | NUMSCAN_EXPONENT | NUMSCAN_DECIMAL_COMMA);
  }
  if (used > 0) {
    if (!EmitConstant(number)) return Fail(start);
    return SkipBlanks(p + used);
  }

  // A name only the application knows.
  if (m_program.m_lookup != nullptr) {
    double value = 0.0;
    unsigned index = 0;
    const int n = m_program.m_lookup(m_program.m_lookupContext, p, &value, &index);
    if (n > 0 && index < m_program.m_variableCount && n <= m_end - p) {
      m_program.Emit(LoadWord(index));
      return SkipBlanks(p + n);
    }
  }
  return Fail(start);
}

BOOL CFormulaProgram::Compile(const char* text, const char** errorPosition) {
  m_position = kNoPosition;
  const uint32_t lengthBefore = m_codeLength;
  const char* end = nullptr;
  if (text != nullptr) {
    FormulaCompiler compiler(*this, text);
    end = compiler.ParseExpression(text, kLevelWhole);
  }
  Invalidate();
  if (end == nullptr) {
    m_codeLength = lengthBefore;
    if (errorPosition != nullptr) *errorPosition = m_position;
    return FALSE;
  }
  m_position = kNoPosition;
  if (errorPosition != nullptr) *errorPosition = kNoPosition;
  return TRUE;
}
