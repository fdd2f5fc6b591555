// ReadLine and ReadLineW against line splits that Python's bytes.splitlines()
// produced (tests/files/data/splitlines_vectors.txt, made by
// tools/make_splitlines_vectors.py): at several line sizes, buffer
// capacities and back-ends that deliver 1 to 7 bytes per read, each line must
// come as max(1, ceil(len / (size - 1))) pieces that concatenate to it.
#include <gtest/gtest.h>

#include <sstream>

#include "stream_test_util.h"

namespace {

Bytes DecodeRuns(std::istringstream& in) {
  Bytes out;
  std::string token;
  while (in >> token) {
    unsigned byte = unsigned(std::stoul(token.substr(0, 2), nullptr, 16));
    size_t count = 1;
    if (token.size() > 3 && token[2] == '*') count = std::stoul(token.substr(3));
    out.insert(out.end(), count, uint8_t(byte));
  }
  return out;
}

struct Vector {
  Bytes input;
  std::vector<Bytes> lines;
};

std::vector<Vector> LoadVectors() {
  std::ifstream file(std::string(ZELVARO_TEST_DATA) + "/splitlines_vectors.txt");
  std::vector<Vector> vectors;
  std::string text;
  while (std::getline(file, text)) {
    if (text.empty() || text[0] == '#') continue;
    std::istringstream rest(text.size() > 2 ? text.substr(2) : "");
    if (text[0] == 'I') {
      vectors.push_back({DecodeRuns(rest), {}});
    } else if (text[0] == 'L') {
      vectors.back().lines.push_back(DecodeRuns(rest));
    }
  }
  return vectors;
}

const std::vector<Vector>& Vectors() {
  static const std::vector<Vector> vectors = LoadVectors();
  return vectors;
}

// The pieces a line comes in when read with `size`.
std::vector<Bytes> Pieces(const std::vector<Bytes>& lines, int size) {
  std::vector<Bytes> pieces;
  const size_t most = size_t(size - 1);
  for (const Bytes& line : lines) {
    size_t at = 0;
    do {
      size_t n = std::min(most, line.size() - at);
      pieces.emplace_back(line.begin() + at, line.begin() + at + n);
      at += n;
    } while (at < line.size());
  }
  return pieces;
}

enum class Source { Memory, WholeReads, ShortReads };

template <class Char>
std::string CheckVector(const Vector& v, int size, int capacity, Source source, uint32_t seed) {
  const bool wide = sizeof(Char) == 2;
  Bytes stored;
  if (wide) {
    for (uint8_t b : v.input) stored.insert(stored.end(), {b, 0});
  } else {
    stored = v.input;
  }
  VectorBackend backend;  // outlives the stream, whose destructor closes it
  CFileStream stream(capacity);
  backend.data = stored;
  backend.maxChunk = source == Source::ShortReads ? 1 + int(seed % 7) : 0;
  bool opened = source == Source::Memory
                    ? stream.OpenMemory(stored.data(), unsigned(stored.size()), 0)
                    : backend.OpenOn(stream, false, false);
  if (!opened) return "open failed";
  std::vector<Char> line(size_t(size) + 1);
  size_t index = 0;
  for (const Bytes& piece : Pieces(v.lines, size)) {
    int got;
    if constexpr (wide) {
      got = stream.ReadLineW(line.data(), size);
    } else {
      got = stream.ReadLine(line.data(), size);
    }
    if (got != int(piece.size())) {
      return "piece " + std::to_string(index) + ": length " + std::to_string(got) +
             ", expected " + std::to_string(piece.size());
    }
    for (size_t i = 0; i < piece.size(); ++i) {
      if (line[i] != Char(piece[i])) return "piece " + std::to_string(index) + " differs at " + std::to_string(i);
    }
    if (line[piece.size()] != 0) return "piece " + std::to_string(index) + " not terminated";
    ++index;
  }
  int last;
  if constexpr (wide) {
    last = stream.ReadLineW(line.data(), size);
  } else {
    last = stream.ReadLine(line.data(), size);
  }
  if (last != -1 || line[0] != 0) return "no -1 with an empty line after the last piece";
  return "";
}

// Every vector at line sizes 2, 4 and 1024 and capacities 512 and 32768.
template <class Char>
void CheckAllVectors(std::initializer_list<Source> sources) {
  for (int size : {2, 4, 1024}) {
    for (int capacity : {512, 32768}) {
      for (Source source : sources) {
        uint32_t seed = 0;
        for (const Vector& v : Vectors()) {
          ++seed;
          std::string failure = CheckVector<Char>(v, size, capacity, source, seed);
          ASSERT_EQ(failure, "") << "vector " << seed << ", size " << size << ", capacity "
                                 << capacity << ", source " << int(source);
        }
      }
    }
  }
}

TEST(StreamReadLine, SplitsLinesAsPythonSplitlinesAtEverySizeCapacityAndReadLength) {
  ASSERT_GT(Vectors().size(), 300u);
  CheckAllVectors<char>({Source::Memory, Source::WholeReads, Source::ShortReads});
}

TEST(StreamReadLine, WideLinesSplitAsTheirBytesDo) {
  CheckAllVectors<wchar16>({Source::Memory, Source::ShortReads});
}

TEST(StreamReadLine, FollowsTheDocumentedExamples) {
  // 'x' CR LF 'y' LF CR 'z': x, y, an empty line, z, then the end.
  const char text[] = "x\r\ny\n\rz";
  CFileStream stream;
  ASSERT_TRUE(stream.OpenMemory(const_cast<char*>(text), 7, 0));
  char line[16];
  const char* expected[] = {"x", "y", "", "z"};
  for (const char* want : expected) {
    EXPECT_EQ(stream.ReadLine(line, 16), int(std::strlen(want)));
    EXPECT_STREQ(line, want);
  }
  EXPECT_EQ(stream.ReadLine(line, 16), -1);
  EXPECT_STREQ(line, "");
  // Size 4 on ten bytes without a line end: 3, 3, 3 and 1.
  ASSERT_TRUE(stream.OpenMemory(const_cast<char*>("0123456789"), 10, 0));
  for (int want : {3, 3, 3, 1}) EXPECT_EQ(stream.ReadLine(line, 4), want);
  EXPECT_EQ(stream.ReadLine(line, 4), -1);
}

TEST(StreamReadLine, RefusesSizesThatCannotHoldAByte) {
  CFileStream stream;
  ASSERT_TRUE(stream.OpenMemory(const_cast<char*>("abc\n"), 4, 0));
  char line[4] = {'q', 'q', 'q', 'q'};
  EXPECT_EQ(stream.ReadLine(line, 0), -1);
  EXPECT_EQ(line[0], 'q');  // size 0: untouched
  EXPECT_EQ(stream.ReadLine(line, 1), -1);
  EXPECT_EQ(line[0], 0);
  EXPECT_EQ(stream.Tell(), 0);  // nothing consumed, so a read loop cannot spin
  EXPECT_EQ(stream.ReadLine(line, 4), 3);
  VectorBackend backend;
  CFileStream writeOnly;
  ASSERT_TRUE(writeOnly.OpenCallbacks(backend.Handle(), nullptr, VectorBackend::Close,
                                      VectorBackend::Write, nullptr));
  EXPECT_EQ(writeOnly.ReadLine(line, 4), -1);
  wchar16 wline[4];
  EXPECT_EQ(writeOnly.ReadLineW(wline, 4), -1);
}

TEST(StreamReadLine, WideReadingTakesAnOddLastByteAsOneUnit) {
  // "a" CR LF as units, then a unit 0x0A41 (not a line end), then one byte 'z'.
  const uint8_t bytes[] = {'a', 0, '\r', 0, '\n', 0, 0x41, 0x0A, 'z'};
  for (int chunk : {0, 1, 3}) {
    VectorBackend backend;
    CFileStream stream(512);
    backend.data.assign(bytes, bytes + sizeof bytes);
    backend.maxChunk = chunk;
    ASSERT_TRUE(backend.OpenOn(stream, false, false));
    wchar16 line[8];
    EXPECT_EQ(stream.ReadLineW(line, 8), 1);
    EXPECT_EQ(line[0], u'a');
    EXPECT_EQ(stream.ReadLineW(line, 8), 2);
    EXPECT_EQ(line[0], wchar16(0x0A41));
    EXPECT_EQ(line[1], u'z');
    EXPECT_EQ(line[2], 0);
    EXPECT_EQ(stream.ReadLineW(line, 8), -1);
    EXPECT_EQ(stream.Tell(), int(sizeof bytes));
  }
}

}  // namespace
