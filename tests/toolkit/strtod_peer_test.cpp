// StrToDouble against glibc's strtod on random decimal texts: the same bits
// and the same length read, in the C locale and under a German LC_NUMERIC.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "toolkit/numtext.h"

namespace {

constexpr int kSamples = 100000;

// A decimal number as both readers accept it: optional sign, digits with an
// optional point (at least one digit), an optional exponent with digits, and
// sometimes a character after it that ends the number.
std::string RandomNumber(std::mt19937_64& rng) {
  auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<uint64_t>(n)); };
  auto digits = [&](int count) {
    std::string s;
    for (int k = 0; k < count; ++k) s.push_back(static_cast<char>('0' + pick(10)));
    return s;
  };
  std::string text;
  if (pick(8) == 0) text += std::string(static_cast<size_t>(1 + pick(3)), pick(2) ? ' ' : '\t');
  switch (pick(4)) {
    case 0:
      text += '-';
      break;
    case 1:
      text += '+';
      break;
    default:
      break;
  }
  const int lengthClass = pick(20);
  const int maxDigits = lengthClass == 0 ? 120 : (lengthClass < 5 ? 25 : 17);
  std::string integer = digits(pick(maxDigits + 1));
  std::string fraction;
  const bool point = pick(3) != 0;
  if (point) fraction = digits(pick(maxDigits + 1));
  if (integer.empty() && fraction.empty()) integer = digits(1 + pick(5));
  if (pick(6) == 0) integer = std::string(static_cast<size_t>(pick(30)), '0') + integer;
  text += integer;
  if (point) text += "." + fraction;
  if (pick(2) == 0) {
    text += pick(2) ? 'e' : 'E';
    if (pick(2)) text += pick(2) ? '-' : '+';
    // Mostly small exponents, sometimes past the double range both ways.
    const int exponent = pick(5) == 0 ? pick(700) : pick(40);
    text += std::to_string(exponent);
  }
  // (A trailing exponent letter without digits is counted here, not by strtod.)
  if (pick(4) == 0) text += " x.,+-"[pick(6)];
  return text;
}

std::vector<std::string> Samples() {
  std::mt19937_64 rng(0x5EED5EEDu);
  std::vector<std::string> texts;
  texts.reserve(kSamples);
  for (int k = 0; k < kSamples; ++k) texts.push_back(RandomNumber(rng));
  return texts;
}

uint64_t Bits(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// Switches LC_NUMERIC for the lifetime of the object.
class NumericLocale {
 public:
  explicit NumericLocale(const char* name) {
    saved_ = std::setlocale(LC_NUMERIC, nullptr);
    active_ = std::setlocale(LC_NUMERIC, name) != nullptr;
  }
  ~NumericLocale() { std::setlocale(LC_NUMERIC, saved_.c_str()); }
  bool Active() const { return active_; }

 private:
  std::string saved_;
  bool active_;
};

const char* GermanLocale() {
  for (const char* name :
       {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "de_DE@euro", "de_AT.UTF-8", "de_CH.UTF-8"}) {
    NumericLocale probe(name);
    if (probe.Active() && std::strcmp(std::localeconv()->decimal_point, ",") == 0) return name;
  }
  return nullptr;
}

struct Expected {
  uint64_t bits;
  int used;
};

// strtod's reading of every sample in the current locale.
std::vector<Expected> ReadWithStrtod(const std::vector<std::string>& texts) {
  std::vector<Expected> out;
  out.reserve(texts.size());
  for (const std::string& text : texts) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    out.push_back({Bits(value), static_cast<int>(end - text.c_str())});
  }
  return out;
}

void ExpectSameAsPeer(const std::vector<std::string>& texts, const std::vector<Expected>& peer,
                      uint32_t flags) {
  int failures = 0;
  for (size_t k = 0; k < texts.size() && failures < 20; ++k) {
    int used = -1;
    const double value = StrToDouble(texts[k].c_str(), &used, flags);
    if (Bits(value) != peer[k].bits || used != peer[k].used) {
      ++failures;
      ADD_FAILURE() << "\"" << texts[k] << "\": got " << value << " used " << used
                    << ", strtod used " << peer[k].used;
    }
  }
}

const uint32_t kFlags = NUMSCAN_SIGN | NUMSCAN_EXPONENT;

TEST(StrToDouble, MatchesStrtodBitForBitInTheCLocale) {
  NumericLocale c("C");
  ASSERT_TRUE(c.Active());
  const std::vector<std::string> texts = Samples();
  ExpectSameAsPeer(texts, ReadWithStrtod(texts), kFlags);
}

TEST(StrToDouble, IgnoresAGermanNumericLocale) {
  const std::vector<std::string> texts = Samples();
  std::vector<Expected> peer;
  {
    NumericLocale c("C");
    ASSERT_TRUE(c.Active());
    peer = ReadWithStrtod(texts);
  }
  const char* german = GermanLocale();
  if (german == nullptr)
    GTEST_SKIP() << "no German locale installed (generate de_DE.UTF-8 to run this)";
  NumericLocale de(german);
  ASSERT_TRUE(de.Active());
  ExpectSameAsPeer(texts, peer, kFlags);
}

TEST(StrToDouble, ReadsDecimalCommaLikeGermanStrtod) {
  const char* german = GermanLocale();
  if (german == nullptr)
    GTEST_SKIP() << "no German locale installed (generate de_DE.UTF-8 to run this)";
  std::vector<std::string> texts = Samples();
  for (std::string& text : texts) {
    for (char& ch : text) {
      if (ch == '.') ch = ',';
    }
  }
  std::vector<Expected> peer;
  {
    NumericLocale de(german);
    peer = ReadWithStrtod(texts);
  }
  ExpectSameAsPeer(texts, peer, kFlags | NUMSCAN_DECIMAL_COMMA);
}

}  // namespace
