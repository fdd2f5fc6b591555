// The printf front ends: bounded buffers, strings, heap texts, stdio streams
// in three encodings (checked against iconv) and standard output.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <iconv.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <random>
#include <string>
#include <thread>

#include "toolkit/format_file.h"
#include "toolkit/format_print.h"

// Test-only replacement of the nothrow allocation: fails the n-th call from
// now on when armed (n = 1 is the next call).
namespace {
int g_failNothrowIn = 0;
}

void* operator new(size_t size, const std::nothrow_t&) noexcept {
  if (g_failNothrowIn > 0 && --g_failNothrowIn == 0) return nullptr;
  try {
    return ::operator new(size);
  } catch (...) {
    return nullptr;
  }
}

namespace {

std::string Bytes(const void* p, size_t n) { return std::string(static_cast<const char*>(p), n); }

TEST(FormatToBuffer, CutsAndTerminatesAtEverySize) {
  const std::string text = "abcdefgh";
  const int len = static_cast<int>(text.size());
  for (int size : {0, 1, 2, len - 1, len, len + 1}) {
    char buf[32];
    std::memset(buf, '#', sizeof buf);
    int r = FormatToBuffer(buf + 4, size, "%s", text.c_str());
    const int stored = size < 1 ? 0 : std::min(size - 1, len);
    EXPECT_EQ(r, stored) << size;
    EXPECT_EQ(Bytes(buf, 4), "####");
    if (size >= 1) {
      EXPECT_EQ(Bytes(buf + 4, stored), text.substr(0, stored));
      EXPECT_EQ(buf[4 + stored], '\0');
      EXPECT_EQ(Bytes(buf + 5 + stored, 32 - 5 - stored), std::string(32 - 5 - stored, '#'));
    } else {
      EXPECT_EQ(Bytes(buf + 4, 28), std::string(28, '#'));
    }

    char16_t w[32];
    std::fill(w, w + 32, u'#');
    r = FormatToBufferW(w + 4, size, u"%s", u"abcdefgh");
    EXPECT_EQ(r, stored);
    EXPECT_EQ(std::u16string(w, 4), u"####");
    if (size >= 1) {
      EXPECT_EQ(std::u16string(w + 4, stored), std::u16string(u"abcdefgh").substr(0, stored));
      EXPECT_EQ(w[4 + stored], u'\0');
      EXPECT_EQ(w[5 + stored], u'#');
    } else {
      EXPECT_EQ(w[4], u'#');
    }
  }
}

TEST(FormatToString, TerminatesBehindTheText) {
  char buf[64];
  std::memset(buf, '#', sizeof buf);
  EXPECT_EQ(FormatToString(buf, "%d-%s", 42, "x"), 4);
  EXPECT_STREQ(buf, "42-x");
  char16_t w[64];
  EXPECT_EQ(FormatToStringW(w, u"%d-%s", 42, u"x"), 4);
  EXPECT_EQ(std::u16string(w), u"42-x");
}

TEST(FormatToHeap, GrowsOnceTo608AndAppends) {
  HeapText t;
  const std::string s(300, 's');
  EXPECT_EQ(FormatToHeap(&t, "%s", s.c_str()), 300);
  EXPECT_EQ(t.capacity, 608);  // (128 + 64 + 300 + 128) rounded down to 16
  EXPECT_EQ(t.length, 300);
  EXPECT_EQ(std::string(t.data), s);
  EXPECT_EQ(FormatToHeap(&t, "+%d", 7), 2);
  EXPECT_EQ(std::string(t.data), s + "+7");
  ::operator delete(t.data);

  HeapTextW w;
  const std::u16string ws(300, u's');
  EXPECT_EQ(FormatToHeapW(&w, u"%s", ws.c_str()), 300);
  EXPECT_EQ(w.capacity, 608);
  EXPECT_EQ(FormatToHeapW(&w, u"+%d", 7), 2);
  EXPECT_EQ(std::u16string(w.data), ws + u"+7");
  ::operator delete(w.data);
}

TEST(FormatToHeap, ReportsAFailedFirstBlockAndLosesOnlyAPieceLater) {
  HeapText t;
  g_failNothrowIn = 1;
  EXPECT_EQ(FormatToHeap(&t, "%d", 1), 0);
  EXPECT_EQ(t.data, nullptr);
  EXPECT_EQ(t.capacity, 0);

  // The first block comes, the growth for the long string fails: that piece
  // is lost, the rest goes on and the text stays terminated.
  g_failNothrowIn = 2;
  const std::string big(500, 'b');
  EXPECT_EQ(FormatToHeap(&t, "head%stail", big.c_str()), 8);
  g_failNothrowIn = 0;
  ASSERT_NE(t.data, nullptr);
  EXPECT_EQ(std::string(t.data), "headtail");
  EXPECT_EQ(t.capacity, 128);
  ::operator delete(t.data);

  HeapTextW w;
  g_failNothrowIn = 1;
  EXPECT_EQ(FormatToHeapW(&w, u"%d", 1), 0);
  EXPECT_EQ(w.data, nullptr);
  g_failNothrowIn = 0;
}

// Everything written to a FILE*, read back.
struct TempFile {
  FILE* f = std::tmpfile();
  ~TempFile() { std::fclose(f); }
  std::string Contents() {
    std::fflush(f);
    std::rewind(f);
    std::string s;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    return s;
  }
};

std::string Iconv(const char* to, const char* from, const std::string& in) {
  iconv_t cd = iconv_open(to, from);
  std::string out(in.size() * 4 + 16, '\0');
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  char* dst = out.data();
  size_t dstLeft = out.size();
  size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
  iconv_close(cd);
  EXPECT_NE(r, static_cast<size_t>(-1));
  out.resize(out.size() - dstLeft);
  return out;
}

std::string Utf16Bytes(const std::u16string& s) { return Bytes(s.data(), 2 * s.size()); }

TEST(FilePrintf, WritesBytesUtf8AndUtf16) {
  {
    TempFile t;
    EXPECT_EQ(FilePrintf(t.f, "%s=%d\xE9", "x", 5), 4);
    EXPECT_EQ(t.Contents(), "x=5\xE9");
  }
  {
    TempFile t;
    EXPECT_EQ(FilePrintfUtf8(t.f, "%c", 0xE9), 2);
    EXPECT_EQ(t.Contents(), "\xC3\xA9");
  }
  {
    TempFile t;
    EXPECT_EQ(FilePrintfUtf16(t.f, "a\xE9%d", 1), 3);
    EXPECT_EQ(t.Contents(), Utf16Bytes(u"a\u00E9" "1"));
  }
  {
    TempFile t;
    EXPECT_EQ(FilePrintfW(t.f, u"a\u20AC\u00E9%d", 1), 3);  // units above 255 are left out
    EXPECT_EQ(t.Contents(), "a\xE9" "1");
  }
  {
    TempFile t;
    EXPECT_EQ(FilePrintfWUtf8(t.f, u"\u20AC"), 3);
    EXPECT_EQ(t.Contents(), "\xE2\x82\xAC");
  }
  {
    TempFile t;
    EXPECT_EQ(FilePrintfWUtf16(t.f, u"\u20AC%d", 9), 2);
    EXPECT_EQ(t.Contents(), Utf16Bytes(u"\u20AC" "9"));
  }
}

// Reads a pipe to its end on a thread of its own.
struct PipeReader {
  int fds[2];
  std::string got;
  std::thread reader;
  PipeReader() {
    EXPECT_EQ(pipe(fds), 0);
    reader = std::thread([this] {
      char buf[65536];
      ssize_t n;
      while ((n = read(fds[0], buf, sizeof buf)) > 0) got.append(buf, static_cast<size_t>(n));
    });
  }
  std::string Finish() {
    reader.join();
    close(fds[0]);
    return got;
  }
};

// What `write` puts into a file opened "w" (write only), read back.
template <class Write>
std::string ThroughWriteOnlyFile(Write write) {
  char path[] = "/tmp/zelvaro_fmt_XXXXXX";
  int fd = mkstemp(path);
  EXPECT_GE(fd, 0);
  close(fd);
  FILE* w = std::fopen(path, "w");
  write(w);
  std::fclose(w);
  FILE* r = std::fopen(path, "r");
  std::string back;
  char buf[4096];
  size_t k;
  while ((k = std::fread(buf, 1, sizeof buf, r)) > 0) back.append(buf, k);
  std::fclose(r);
  std::remove(path);
  return back;
}

std::string RandomLatin1(std::mt19937& rng, size_t n) {
  std::string s;
  while (s.size() < n) {
    char c = static_cast<char>(rng() % 255 + 1);
    if (c != '%') s += c;
  }
  return s;
}

std::u16string RandomUtf16(std::mt19937& rng, size_t n) {
  std::u16string s;
  while (s.size() < n) {
    uint32_t c = rng() % 0x110000;
    if (c == 0 || c == '%' || (c >= 0xD800 && c <= 0xDFFF)) continue;
    if (c >= 0x10000) {
      c -= 0x10000;
      s += static_cast<char16_t>(0xD800 + (c >> 10));
      s += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      s += static_cast<char16_t>(c);
    }
  }
  return s;
}

// A valid text whose pair sits with its high half at index `at`.
std::u16string WithPairAt(std::mt19937& rng, size_t length, size_t at) {
  std::u16string s = RandomUtf16(rng, length + 8);
  s.resize(length);
  for (char16_t& c : s)
    if (c >= 0xD800 && c <= 0xDFFF) c = u'x';
  s[at] = 0xD83D;
  s[at + 1] = 0xDE00;
  return s;
}

TEST(FilePrintfUtf8, MatchesIconvOnPipesAndWriteOnlyFiles) {
  std::mt19937 rng(7);
  for (int round = 0; round < 20; ++round) {
    const std::string literal = RandomLatin1(rng, rng() % 3000 + 1);
    const std::string arg = RandomLatin1(rng, rng() % 3000 + 1);
    const std::string expected = Iconv("UTF-8", "ISO-8859-1", literal + arg);

    PipeReader p;
    FILE* out = fdopen(p.fds[1], "w");
    int n = FilePrintfUtf8(out, (literal + "%s").c_str(), arg.c_str());
    std::fclose(out);
    EXPECT_EQ(p.Finish(), expected);
    EXPECT_EQ(n, static_cast<int>(expected.size()));

    EXPECT_EQ(ThroughWriteOnlyFile([&](FILE* w) {
                FilePrintfUtf8(w, (literal + "%s").c_str(), arg.c_str());
              }),
              expected);
  }
}

TEST(FilePrintfWUtf8, MatchesIconvWithPairsAcrossPieces) {
  std::mt19937 rng(8);
  std::vector<std::pair<std::u16string, std::u16string>> cases;  // literal, %s argument
  for (int round = 0; round < 10; ++round)
    cases.emplace_back(RandomUtf16(rng, rng() % 3000 + 1), RandomUtf16(rng, rng() % 3000 + 1));
  // A literal run goes out in pieces of at most 1124 units, the buffer in
  // pieces of 2248; a long %s argument goes out on its own.
  for (size_t at : {1122u, 1123u, 1124u, 2246u, 2247u, 2248u})
    cases.emplace_back(WithPairAt(rng, 2600, at), u"tail");
  for (size_t prefix : {5u, 127u, 1000u}) {
    std::u16string literal = WithPairAt(rng, prefix + 1, prefix - 1);
    literal.pop_back();  // ends in the high half
    std::u16string arg = u"\xDE00" + RandomUtf16(rng, 300);
    cases.emplace_back(literal, arg);
  }
  for (const auto& c : cases) {
    const std::u16string& literal = c.first;
    const std::u16string& arg = c.second;
    const std::u16string all = literal + arg;
    const std::string expected = Iconv("UTF-8", "UTF-16LE", Utf16Bytes(all));
    // A high half alone at the end of the literal is completed by the
    // argument's low half.
    PipeReader p;
    FILE* out = fdopen(p.fds[1], "w");
    int n = FilePrintfWUtf8(out, (literal + u"%s").c_str(), arg.c_str());
    std::fclose(out);
    EXPECT_EQ(p.Finish(), expected);
    EXPECT_EQ(n, static_cast<int>(expected.size()));

    EXPECT_EQ(ThroughWriteOnlyFile([&](FILE* w) {
                FilePrintfWUtf8(w, (literal + u"%s").c_str(), arg.c_str());
              }),
              expected);
  }
}

TEST(FilePrintfWUtf8, CompletesAPairSplitAcrossTwoCallsWhereTheFileReadsBack) {
  TempFile t;  // opened "w+"
  EXPECT_EQ(FilePrintfWUtf8(t.f, u"\xD83D"), 4);
  FilePrintfWUtf8(t.f, u"\xDE00");
  EXPECT_EQ(t.Contents(), "\xF0\x9F\x98\x80");

  // A write-only file or a pipe cannot be read back: the low half is left
  // out and the stream goes on undamaged.
  EXPECT_EQ(ThroughWriteOnlyFile([](FILE* w) {
              FilePrintfWUtf8(w, u"\xD83D");
              FilePrintfWUtf8(w, u"\xDE00!");
            }),
            "\xF0\x9F\x90\x80!");
  PipeReader p;
  FILE* out = fdopen(p.fds[1], "w");
  FilePrintfWUtf8(out, u"\xD83D");
  FilePrintfWUtf8(out, u"\xDE00!");
  std::fclose(out);
  EXPECT_EQ(p.Finish(), "\xF0\x9F\x90\x80!");
}

// A stream on a fresh file of its own, opened with `mode`; the file's bytes
// are read back by path, past the stream's buffer.
struct ModeFile {
  char path[32] = "/tmp/zelvaro_fmt_XXXXXX";
  FILE* f = nullptr;
  explicit ModeFile(const char* mode) {
    int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    close(fd);
    f = std::fopen(path, mode);
    EXPECT_NE(f, nullptr);
  }
  ~ModeFile() {
    if (f) std::fclose(f);
    std::remove(path);
  }
  std::string Contents() {
    std::fflush(f);
    FILE* r = std::fopen(path, "rb");
    std::string s;
    char buf[256];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, r)) > 0) s.append(buf, n);
    std::fclose(r);
    return s;
  }
};

// Only the sequence the previous call on the same stream left pending is
// completed, and only in place; a low half anywhere else is left out.
TEST(FilePrintfWUtf8, CompletesOnlyItsOwnPendingSequenceInPlace) {
  enum Between { kNothing, kRawPending, kRawByte, kOtherCall };
  struct Case {
    const char* mode;
    const char16_t* first;
    Between between;
    const char16_t* second;
    const char* bytes;
  } cases[] = {
      {"w+b", u"a\xD83D", kNothing, u"\xDE00z", "a\xF0\x9F\x98\x80z"},
      {"r+b", u"a\xD83D", kNothing, u"\xDE00z", "a\xF0\x9F\x98\x80z"},
      // Appending: every write lands at the end, so the pair stays unfinished.
      {"a+b", u"a\xD83D", kNothing, u"\xDE00z", "a\xF0\x9F\x90\x80z"},
      {"ab", u"a\xD83D", kNothing, u"\xDE00z", "a\xF0\x9F\x90\x80z"},
      // A whole character, or pending-looking bytes written by other means.
      {"w+b", u"\xD83D\xDC00", kNothing, u"\xDE00", "\xF0\x9F\x90\x80"},
      {"w+b", u"\u00E9", kRawPending, u"\xDE00", "\xC3\xA9\xF0\x9F\x90\x80"},
      // The stream moved on between the halves.
      {"w+b", u"\xD83D", kRawByte, u"\xDE00", "\xF0\x9F\x90\x80x"},
      {"w+b", u"\xD83D", kOtherCall, u"\xDE00", "\xF0\x9F\x90\x80y"},
      // A low half that does not open the call is always left out.
      {"w+b", u"\xD83D", kNothing, u"z\xDE00", "\xF0\x9F\x90\x80z"},
  };
  for (const Case& c : cases) {
    ModeFile m(c.mode);
    FilePrintfWUtf8(m.f, c.first);
    if (c.between == kRawPending) std::fwrite("\xF0\x9F\x90\x80", 1, 4, m.f);
    if (c.between == kRawByte) std::fwrite("x", 1, 1, m.f);
    if (c.between == kOtherCall) FilePrintfWUtf8(m.f, u"y");
    FilePrintfWUtf8(m.f, c.second);
    EXPECT_EQ(m.Contents(), c.bytes) << c.mode << " case " << (&c - cases);
  }
}

TEST(FilePrintfWUtf8, KeepsPendingSequencesPerStreamAndFile) {
  // Two streams written in turn each finish their own pair.
  ModeFile a("w+b"), b("w+b");
  FilePrintfWUtf8(a.f, u"\xD83D");
  FilePrintfWUtf8(b.f, u"\xD83C");
  FilePrintfWUtf8(a.f, u"\xDE00");
  FilePrintfWUtf8(b.f, u"\xDF89");
  EXPECT_EQ(a.Contents(), "\xF0\x9F\x98\x80");
  EXPECT_EQ(b.Contents(), "\xF0\x9F\x8E\x89");

  // The same stream reopened on another file that holds the same bytes at
  // the same place: not this sink's sequence.
  ModeFile other("w+b");
  FilePrintfWUtf8(a.f, u"\xD83D");
  const long at = std::ftell(a.f);
  ASSERT_EQ(std::freopen(other.path, "w+b", a.f), a.f);
  for (long i = 0; i + 4 < at; ++i) std::fputc('.', a.f);
  std::fwrite("\xF0\x9F\x90\x80", 1, 4, a.f);
  FilePrintfWUtf8(a.f, u"\xDE00");
  std::fflush(a.f);
  EXPECT_EQ(other.Contents(), std::string(static_cast<size_t>(at - 4), '.') + "\xF0\x9F\x90\x80");
}

// Runs `body` with standard output going into a pipe and returns what came out.
template <class Body>
std::string CaptureStdout(Body body) {
  std::fflush(stdout);
  int saved = dup(1);
  PipeReader p;
  dup2(p.fds[1], 1);
  close(p.fds[1]);
  body();
  dup2(saved, 1);
  close(saved);
  return p.Finish();
}

TEST(StdoutPrintf, WritesToFileDescriptorOne) {
  int n = 0;
  EXPECT_EQ(CaptureStdout([&] { n = StdoutPrintf("%s %d\n", "ok", 5); }), "ok 5\n");
  EXPECT_EQ(n, 5);
  EXPECT_EQ(CaptureStdout([&] { n = StdoutPrintfW(u"a\u20ACb"); }), Utf16Bytes(u"a\u20ACb"));
  EXPECT_EQ(n, 3);

  const std::string mib(1 << 20, 'm');
  EXPECT_EQ(CaptureStdout([&] { n = StdoutPrintf("%s", mib.c_str()); }), mib);
  EXPECT_EQ(n, 1 << 20);
  const std::u16string wmib(1 << 19, u'w');
  EXPECT_EQ(CaptureStdout([&] { n = StdoutPrintfW(u"%s", wmib.c_str()); }), Utf16Bytes(wmib));
  EXPECT_EQ(n, 1 << 19);
}

// Calls a va_list front end the way its variadic twin does.
template <class T, class Ch>
int CallV(int (*fn)(T, const Ch*, va_list), T target, const Ch* format, ...) {
  va_list args;
  va_start(args, format);
  int r = fn(target, format, args);
  va_end(args);
  return r;
}
template <class Ch>
int CallBufferV(int (*fn)(Ch*, int, const Ch*, va_list), Ch* buf, int size, const Ch* format,
                ...) {
  va_list args;
  va_start(args, format);
  int r = fn(buf, size, format, args);
  va_end(args);
  return r;
}
template <class Ch>
int CallStdoutV(int (*fn)(const Ch*, va_list), const Ch* format, ...) {
  va_list args;
  va_start(args, format);
  int r = fn(format, args);
  va_end(args);
  return r;
}

TEST(FormatFrontEnds, EveryVaListFormTakesTheCallersList) {
  // One integer, one double and one string behind each other: a form that
  // took the list by value twice, or in the wrong order, garbles the text.
  const std::string text = "ab|-7|2.50|\xE9";
  const std::u16string wtext = u"ab|-7|2.50|\u00E9";
  char buf[64];
  EXPECT_EQ(CallBufferV(FormatToBufferV, buf, 64, "%s|%d|%.2f|%c", "ab", -7, 2.5, 0xE9), 12);
  EXPECT_EQ(std::string(buf), text);
  EXPECT_EQ(CallBufferV(FormatToBufferV, buf, 5, "%s|%d|%.2f|%c", "ab", -7, 2.5, 0xE9), 4);
  EXPECT_EQ(std::string(buf), "ab|-");
  char16_t wbuf[64];
  EXPECT_EQ(CallBufferV(FormatToBufferWV, wbuf, 64, u"%s|%d|%.2f|%c", u"ab", -7, 2.5, 0xE9), 12);
  EXPECT_EQ(std::u16string(wbuf), wtext);
  EXPECT_EQ(CallV(FormatToStringV, static_cast<char*>(buf), "%s|%d|%.2f|%c", "ab", -7, 2.5, 0xE9),
            12);
  EXPECT_EQ(std::string(buf), text);
  EXPECT_EQ(CallV(FormatToStringWV, static_cast<char16_t*>(wbuf), u"%s|%d|%.2f|%c", u"ab", -7,
                  2.5, 0xE9),
            12);
  EXPECT_EQ(std::u16string(wbuf), wtext);

  HeapText h;
  EXPECT_EQ(CallV(FormatToHeapV, &h, "%s|%d|%.2f|%c", "ab", -7, 2.5, 0xE9), 12);
  EXPECT_EQ(std::string(h.data), text);
  ::operator delete(h.data);
  HeapTextW hw;
  EXPECT_EQ(CallV(FormatToHeapWV, &hw, u"%s|%d|%.2f|%c", u"ab", -7, 2.5, 0xE9), 12);
  EXPECT_EQ(std::u16string(hw.data), wtext);
  ::operator delete(hw.data);

  struct NarrowFile {
    int (*fn)(FILE*, const char*, va_list);
    std::string bytes;
  } narrow[] = {
      {FilePrintfV, text},
      {FilePrintfUtf8V, "ab|-7|2.50|\xC3\xA9"},
      {FilePrintfUtf16V, Utf16Bytes(wtext)},
  };
  for (const NarrowFile& c : narrow) {
    TempFile t;
    CallV(c.fn, t.f, "%s|%d|%.2f|%c", "ab", -7, 2.5, 0xE9);
    EXPECT_EQ(t.Contents(), c.bytes);
  }
  struct WideFile {
    int (*fn)(FILE*, const char16_t*, va_list);
    std::string bytes;
  } wide[] = {
      {FilePrintfWV, text},
      {FilePrintfWUtf8V, "ab|-7|2.50|\xC3\xA9"},
      {FilePrintfWUtf16V, Utf16Bytes(wtext)},
  };
  for (const WideFile& c : wide) {
    TempFile t;
    CallV(c.fn, t.f, u"%s|%d|%.2f|%c", u"ab", -7, 2.5, 0xE9);
    EXPECT_EQ(t.Contents(), c.bytes);
  }

  int n = 0;
  EXPECT_EQ(CaptureStdout([&] { n = CallStdoutV(StdoutPrintfV, "%s|%d|%.2f|%c", "ab", -7, 2.5,
                                                0xE9); }),
            text);
  EXPECT_EQ(n, 12);
  EXPECT_EQ(CaptureStdout([&] { n = CallStdoutV(StdoutPrintfWV, u"%s|%d|%.2f|%c", u"ab", -7, 2.5,
                                                0xE9); }),
            Utf16Bytes(wtext));
  EXPECT_EQ(n, 12);
}

TEST(BufferSink, TakesWhatFitsBelowTheLimitAndThenNothing) {
  char data[8];
  std::memset(data, '#', sizeof data);
  BufferSinkState s{data, 0, 5};
  EXPECT_EQ(BufferSink(&s, "abc", 3), 3);
  EXPECT_EQ(BufferSink(&s, "", 0), 0);
  EXPECT_EQ(BufferSink(&s, "defg", 4), 2);  // cut at the limit
  EXPECT_EQ(BufferSink(&s, "h", 1), 0);     // full: takes nothing
  EXPECT_EQ(s.length, 5);
  EXPECT_EQ(Bytes(data, 8), "abcde###");

  char16_t wdata[4] = {u'#', u'#', u'#', u'#'};
  BufferSinkStateW w{wdata, 1, 3};
  EXPECT_EQ(BufferSinkW(&w, u"xyz", 3), 2);
  EXPECT_EQ(std::u16string(wdata, 4), u"#xy#");
}

TEST(HeapTextSink, FailsAGrowthPastTheIntRangeWithoutTouchingTheText) {
  // The sizes claim a text near INT_MAX; the growth must be refused before
  // any block is asked for or any character is copied.
  char small[4] = {'k', 'e', 'p', 't'};
  HeapText t{small, INT32_MAX - 20, INT32_MAX - 20};
  EXPECT_EQ(HeapTextSink(&t, "0123456789", 10), 0);
  EXPECT_EQ(t.data, small);
  EXPECT_EQ(t.length, INT32_MAX - 20);
  EXPECT_EQ(Bytes(small, 4), "kept");
  char16_t wsmall[2] = {u'k', u'w'};
  HeapTextW w{wsmall, INT32_MAX - 3, INT32_MAX - 3};
  EXPECT_EQ(HeapTextSinkW(&w, u"0123456789", 10), 0);
  EXPECT_EQ(w.data, wsmall);

  // An ordinary growth keeps the text and the 4 spare characters.
  HeapText g;
  g.data = static_cast<char*>(::operator new(16 + 4));
  g.capacity = 16;
  std::memcpy(g.data, "0123456789", 10);
  g.length = 10;
  EXPECT_EQ(HeapTextSink(&g, "abcdefghij", 10), 10);
  EXPECT_EQ(g.capacity, 160);  // (16 + 8 + 10 + 128) rounded down to 16
  EXPECT_EQ(Bytes(g.data, 20), "0123456789abcdefghij");
  ::operator delete(g.data);
}

}  // namespace
