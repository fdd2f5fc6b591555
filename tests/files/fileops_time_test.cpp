// File times and their conversions.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "files/fileops.h"
#include "stream_test_util.h"

namespace {

constexpr uint64_t kEpoch = 116444736000000000ull;
constexpr uint64_t kSecond = 10000000ull;

TEST(FileTimeToUnixTime, ConvertsAroundTheBoundaries) {
  struct Case {
    uint64_t ticks;
    bool ok;
    DWORD seconds;
  } cases[] = {
      {kEpoch, true, 0},
      {kEpoch - 1, false, 0},
      {kEpoch - kSecond, false, 0},
      {kEpoch + kSecond - 1, true, 0},
      {126444736000000000ull, true, 1000000000u},  // 2001-09-09 01:46:40
      {159394404665032703ull, true, 4294966866u},  // just below the cut-off
      {159394404665032704ull, false, 0xFFFFFFFEu},
  };
  for (const Case& c : cases) {
    DWORD seconds = 12345;
    EXPECT_EQ(FileTimeToUnixTime(MakeFileTime(c.ticks), &seconds), c.ok) << c.ticks;
    EXPECT_EQ(seconds, c.seconds) << c.ticks;
  }
}

TEST(FileTimeToUnixTime, NarrowAndWideFormsStopWhereTheyShould) {
  int32_t s32 = 1;
  EXPECT_TRUE(FileTimeToUnixTime32(MakeFileTime(kEpoch + 2147483647ull * kSecond), &s32));
  EXPECT_EQ(s32, 2147483647);
  EXPECT_FALSE(FileTimeToUnixTime32(MakeFileTime(kEpoch + 2147483648ull * kSecond), &s32));
  EXPECT_EQ(s32, 0x7FFFFFFF);
  EXPECT_FALSE(FileTimeToUnixTime32(MakeFileTime(kEpoch - 1), &s32));
  EXPECT_EQ(s32, 0);
  int64_t s64 = 1;
  EXPECT_TRUE(FileTimeToUnixTime64(MakeFileTime(kEpoch + 4102444800ull * kSecond), &s64));  // 2100-01-01
  EXPECT_EQ(s64, 4102444800);
  EXPECT_FALSE(FileTimeToUnixTime64(MakeFileTime(0), &s64));
  EXPECT_EQ(s64, 0);
}

TEST(UnixTimeToFileTime, RefusesZeroAndNegativeSeconds) {
  FILETIME t{1, 1};
  EXPECT_TRUE(UnixTimeToFileTime(1, &t));
  EXPECT_EQ(FileTimeTicks(t), kEpoch + kSecond);
  EXPECT_EQ(t.dwHighDateTime, DWORD((kEpoch + kSecond) >> 32));
  for (int64_t bad : {int64_t(0), int64_t(-1), INT64_MIN, INT64_MAX}) {
    t = FILETIME{1, 1};
    EXPECT_FALSE(UnixTimeToFileTime(bad, &t)) << bad;
    EXPECT_EQ(FileTimeTicks(t), 0u) << bad;
  }
}

TEST(CompareFileTimeValues, AppliesEachPrecision) {
  const uint64_t base = kEpoch + 1000000000ull * kSecond;  // an even second
  struct Case {
    uint64_t a, b;
    int mode, expected;
  } cases[] = {
      {base, base, 0, 0},
      {base + 1, base, 0, 1},
      {base, base + 1, 0, -1},
      {base + 1, base, 1, 0},
      {base + kSecond, base, 1, 1},
      {base + kSecond, base, 2, 0},
      {base + 2 * kSecond, base, 2, 1},
      {base + 3600 * kSecond, base, 3, 0},
      {base, base + 3600 * kSecond, 3, 0},
      {base + 3610 * kSecond, base, 3, 1},
      {base + 3 * kSecond, base, 3, 1},
      {base + 5 * kSecond, base, 4, 0},
      {base + 5 * kSecond, base, -1, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CompareFileTimeValues(MakeFileTime(c.a), MakeFileTime(c.b), c.mode), c.expected)
        << c.a - base << " " << c.b - base << " mode " << c.mode;
  EXPECT_EQ(CompareFileTimeValues(int64_t(1000000000), MakeFileTime(base), 0), 0);
  EXPECT_EQ(CompareFileTimeValues(int64_t(1000000001), MakeFileTime(base), 1), 1);
}

TEST(SetFileTimes, SetsWhatIsGivenAndKeepsTheRest) {
  ScratchDir dir;
  std::string path = dir.File("t");
  WriteWholeFile(path, Bytes{1});
  FILETIME write = MakeFileTime(126444736000000000ull + 1234500);  // 1000000000.12345 s
  ASSERT_TRUE(SetFileTimes(path.c_str(), &write, nullptr, nullptr));
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
  EXPECT_EQ(st.st_mtim.tv_nsec, 123450000);
  time_t access = st.st_atim.tv_sec;
  ASSERT_TRUE(SetFileTimesUnix(path.c_str(), -1, -1, 1500000000));
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
  EXPECT_EQ(st.st_atim.tv_sec, 1500000000);
  EXPECT_NE(access, 1500000000);
  EXPECT_EQ(GetFileTimeUnix(path.c_str(), FILE_TIME_LAST_WRITE), 1000000000);
  EXPECT_EQ(GetFileTimeUnix(path.c_str(), FILE_TIME_LAST_ACCESS), 1500000000);
  EXPECT_EQ(GetFileTimeUnix(dir.File("none").c_str(), FILE_TIME_LAST_WRITE), 0);
  EXPECT_FALSE(SetFileTimesUnix(dir.File("none").c_str(), 5, 5, 5));
  // Directories take times too.
  ASSERT_TRUE(SetFileTimesUnix(dir.path().c_str(), 1200000000, -1, -1));
  EXPECT_EQ(GetFileTimeUnix(dir.path().c_str(), FILE_TIME_LAST_WRITE), 1200000000);
}

TEST(CopyFileTimes, CarriesWriteAndAccessTimes) {
  ScratchDir dir;
  std::string a = dir.File("a"), b = dir.File("b");
  WriteWholeFile(a, Bytes{1});
  WriteWholeFile(b, Bytes{2});
  ASSERT_TRUE(SetFileTimesUnix(a.c_str(), 1111111110, -1, 1222222222));
  std::u16string wa(a.begin(), a.end()), wb(b.begin(), b.end());
  ASSERT_TRUE(CopyFileTimesW(wa.c_str(), wb.c_str()));
  struct stat st;
  ASSERT_EQ(::stat(b.c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1111111110);
  EXPECT_EQ(st.st_atim.tv_sec, 1222222222);
  EXPECT_FALSE(CopyFileTimes(dir.File("none").c_str(), b.c_str()));
  EXPECT_FALSE(CopyFileTimes(a.c_str(), dir.File("none").c_str()));
  EXPECT_EQ(CompareFileTimeValues(a.c_str(), b.c_str(), FILE_TIME_LAST_WRITE, 0), 0);
  ASSERT_TRUE(SetFileTimesUnix(b.c_str(), 1111111111, -1, -1));
  EXPECT_EQ(CompareFileTimeValues(a.c_str(), b.c_str(), FILE_TIME_LAST_WRITE, 1), -1);
  EXPECT_EQ(CompareFileTimeValues(a.c_str(), b.c_str(), FILE_TIME_LAST_WRITE, 2), 0);
}

// Seconds whose tick count leaves 64 bits are refused, not wrapped round to
// another time; the file keeps its times.
TEST(SetFileTimes, RefusesSecondsBeyondTheTickRange) {
  ScratchDir dir;
  std::string path = dir.File("t");
  WriteWholeFile(path, Bytes{1});
  ASSERT_TRUE(SetFileTimesUnix(path.c_str(), 1000000000, -1, -1));
  // (2^64 - 1 - 116444736000000000) / 10^7 = 1833029933770 is the last second that fits.
  for (int64_t seconds : {int64_t(1833029933771), int64_t(1) << 62, INT64_MAX}) {
    EXPECT_FALSE(SetFileTimesUnix(path.c_str(), seconds, -1, -1)) << seconds;
    EXPECT_FALSE(SetFileTimesUnix(path.c_str(), -1, -1, seconds)) << seconds;
    EXPECT_EQ(GetFileTimeUnix(path.c_str(), FILE_TIME_LAST_WRITE), 1000000000) << seconds;
  }
}

}  // namespace
