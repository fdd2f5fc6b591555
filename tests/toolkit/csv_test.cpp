#include "toolkit/csv.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

namespace {

template <class Ch>
struct CsvVector {
  const Ch* sep;
  bool quoteAll;
  const Ch* line;
  std::vector<std::basic_string<Ch>> fields;
  std::vector<std::basic_string<Ch>> minimal;
  std::vector<std::basic_string<Ch>> all;
};

#include "csv_vectors.inc"

int Get(const char* text, int* stored, char* dst, int dstSize, int textLen, char sep) {
  return CsvGetField(text, stored, dst, dstSize, textLen, sep);
}
int Get(const char16_t* text, int* stored, char16_t* dst, int dstSize, int textLen, char16_t sep) {
  return CsvGetFieldW(text, stored, dst, dstSize, textLen, sep);
}
int Put(const char* text, char* dst, int dstSize, int textLen, char sep) {
  return CsvPutField(text, dst, dstSize, textLen, sep);
}
int Put(const char16_t* text, char16_t* dst, int dstSize, int textLen, char16_t sep) {
  return CsvPutFieldW(text, dst, dstSize, textLen, sep);
}

template <class Ch>
std::string Show(const std::basic_string<Ch>& s) {
  std::string out;
  for (auto c : s) {
    const auto u = static_cast<unsigned>(static_cast<std::make_unsigned_t<Ch>>(c));
    if (u >= 32 && u < 127) {
      out.push_back(static_cast<char>(u));
    } else {
      out += "<" + std::to_string(u) + ">";
    }
  }
  return out;
}

// Each line read field by field gives Python's fields and stops at CR LF.
template <class Ch, size_t N>
void CheckReading(const CsvVector<Ch> (&vectors)[N]) {
  for (const auto& v : vectors) {
    const std::basic_string<Ch> line(v.line);
    SCOPED_TRACE(Show(line));
    const Ch sep = v.sep[0];
    size_t pos = 0;
    for (const auto& field : v.fields) {
      std::vector<Ch> dst(line.size() + 1);
      int stored = -1;
      const int used = Get(line.c_str() + pos, &stored, dst.data(), static_cast<int>(dst.size()),
                           static_cast<int>(line.size() - pos), sep);
      ASSERT_EQ(std::basic_string<Ch>(dst.data(), static_cast<size_t>(stored)), field);
      ASSERT_EQ(dst[static_cast<size_t>(stored)], Ch(0));
      pos += static_cast<size_t>(used);
    }
    EXPECT_EQ(line.substr(pos), std::basic_string<Ch>({Ch('\r'), Ch('\n')}));
  }
}

TEST(CsvGetField, ReadsPythonWrittenRecords) {
  CheckReading(kCsvNarrow);
  CheckReading(kCsvWide);
}

// CsvPutField spells each field as Python does under one of its two quoting
// styles, and every cut of it reads back as a prefix, consuming exactly the
// written field and sep.
template <class Ch, size_t N>
void CheckWriting(const CsvVector<Ch> (&vectors)[N]) {
  for (const auto& v : vectors) {
    const Ch sep = v.sep[0];
    for (size_t f = 0; f < v.fields.size(); ++f) {
      const auto& field = v.fields[f];
      SCOPED_TRACE(Show(field));
      const int len = static_cast<int>(field.size());
      std::vector<Ch> dst(field.size() * 2 + 4);
      const int n = Put(field.c_str(), dst.data(), static_cast<int>(dst.size()), len, sep);
      ASSERT_GE(n, 1);
      ASSERT_EQ(dst[static_cast<size_t>(n - 1)], sep);
      const std::basic_string<Ch> spelled(dst.data(), static_cast<size_t>(n - 1));
      EXPECT_TRUE(spelled == v.minimal[f] || spelled == v.all[f]) << Show(spelled);
      for (int size = 0; size <= n + 2; ++size) {
        std::unique_ptr<Ch[]> cut(new Ch[static_cast<size_t>(size > 0 ? size : 1)]);
        const int k = Put(field.c_str(), cut.get(), size, len, sep);
        if (size < 2) {
          EXPECT_EQ(k, 0);
          continue;
        }
        ASSERT_LE(k, size - 1);
        ASSERT_EQ(cut[static_cast<size_t>(k)], Ch(0));
        std::vector<Ch> back(static_cast<size_t>(size));
        int stored = -1;
        const int used = Get(cut.get(), &stored, back.data(), size, k, sep);
        EXPECT_EQ(used, k) << "size " << size;
        const std::basic_string<Ch> read(back.data(), static_cast<size_t>(stored));
        EXPECT_EQ(field.substr(0, read.size()), read) << "size " << size;
        if (size > n) {
          EXPECT_EQ(read, field);
        }
      }
    }
  }
}

TEST(CsvPutField, SpellsFieldsAsPythonAndCutsReadBack) {
  CheckWriting(kCsvNarrow);
  CheckWriting(kCsvWide);
}

TEST(CsvGetField, KnownCases) {
  char dst[16];
  int stored = -1;
  EXPECT_EQ(CsvGetField("\"x\"\"y\",z", &stored, dst, 16, 9, ','), 7);
  EXPECT_STREQ(dst, "x\"y");
  EXPECT_EQ(stored, 3);
  EXPECT_EQ(CsvGetField("ab\r\ncd", &stored, dst, 16, 6, ','), 2);
  EXPECT_STREQ(dst, "ab");
  EXPECT_EQ(CsvGetField("\"ab\"junk;x", &stored, dst, 16, 10, ';'), 9) << "the rest up to sep is passed over";
  EXPECT_STREQ(dst, "ab");
  EXPECT_EQ(CsvGetField("\"ab,cd", &stored, dst, 16, 4, ','), 4) << "an unclosed quote ends at textLen";
  EXPECT_STREQ(dst, "ab,");
  EXPECT_EQ(CsvGetField("\"ab", &stored, dst, 16, 99, ','), 3) << "or at the terminator";
  EXPECT_STREQ(dst, "ab");
  EXPECT_EQ(CsvGetField("abcdef,", &stored, dst, 4, 7, ','), 7);
  EXPECT_STREQ(dst, "abc");
  EXPECT_EQ(stored, 3);
  dst[0] = 'q';
  EXPECT_EQ(CsvGetField("abc", &stored, dst, 16, 0, ','), 0);
  EXPECT_EQ(dst[0], '\0');
  EXPECT_EQ(stored, 0);
  EXPECT_EQ(CsvGetField("abc", &stored, dst, 16, -1, ','), 0);
  char16_t wide[8];
  EXPECT_EQ(CsvGetFieldW(u"a\u0141b;c", &stored, wide, 8, 6, u';'), 4) << "characters above 255 are content";
  EXPECT_EQ(std::u16string(wide), u"a\u0141b");
}

TEST(CsvGetField, MeasuresWithoutStoringWhenDstHasNoRoom) {
  const struct {
    int dstSize;
  } sizes[] = {{0}, {-1}, {INT_MIN}};
  for (const auto& s : sizes) {
    int stored = -1;
    EXPECT_EQ(CsvGetField("\"a\"\"b\",c", &stored, nullptr, s.dstSize, 9, ','), 7) << s.dstSize;
    EXPECT_EQ(stored, 0);
    EXPECT_EQ(CsvGetFieldW(u"xyz;w", &stored, nullptr, s.dstSize, 5, u';'), 4) << s.dstSize;
    EXPECT_EQ(stored, 0);
  }
}

TEST(CsvPutField, KnownCases) {
  char dst[16];
  EXPECT_EQ(CsvPutField(" a", dst, 16, 2, ','), 5);
  EXPECT_STREQ(dst, "\" a\",");
  EXPECT_EQ(CsvPutField("a,b", dst, 16, 3, ','), 6);
  EXPECT_STREQ(dst, "\"a,b\",");
  EXPECT_EQ(CsvPutField("abc", dst, 16, 0, ';'), 1);
  EXPECT_STREQ(dst, ";");
  EXPECT_EQ(CsvPutField("abc", dst, 16, -1, ';'), 3);
  EXPECT_STREQ(dst, "\"\";");
  EXPECT_EQ(CsvPutField("abc", dst, 16, 2, ';'), 3);
  EXPECT_STREQ(dst, "ab;");
  EXPECT_EQ(CsvPutField("abcdef", dst, 4, 6, ','), 3) << "sep takes the place of the last character";
  EXPECT_STREQ(dst, "ab,");
  EXPECT_EQ(CsvPutField("a\"b", dst, 6, 3, ','), 4) << "a doubled quote is written whole or not at all";
  EXPECT_STREQ(dst, "\"a\",");
  EXPECT_EQ(CsvPutField("a\"b", dst, 3, 3, ','), 1);
  EXPECT_STREQ(dst, ",");
  EXPECT_EQ(CsvPutField("ab", dst, 1, 2, ','), 0);
  EXPECT_STREQ(dst, "");
  char16_t wide[8];
  EXPECT_EQ(CsvPutFieldW(u"\u0141", wide, 8, 1, u','), 4) << "the wide form quotes characters above 255";
  EXPECT_EQ(std::u16string(wide), u"\"\u0141\",");
}

}  // namespace
