#include "platform/localtime.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>

namespace {

void UseTimeZone(const char* tz) {
  setenv("TZ", tz, 1);
  tzset();
}

struct Case {
  int64_t seconds;
  PlatformTimeParts utc;  // from Python's datetime.utcfromtimestamp
};

TEST(PlatformLocalTime, BreaksDownKnownInstantsInUtc) {
  UseTimeZone("UTC");
  const Case cases[] = {
      {0, {1970, 1, 1, 0, 0, 0}},
      {47109, {1970, 1, 1, 13, 5, 9}},
      {951782400, {2000, 2, 29, 0, 0, 0}},
      {1709294400, {2024, 3, 1, 12, 0, 0}},
      {2147483647, {2038, 1, 19, 3, 14, 7}},
      {2208988800, {2040, 1, 1, 0, 0, 0}},
      {4102444799, {2099, 12, 31, 23, 59, 59}},
      {253402300799, {9999, 12, 31, 23, 59, 59}},
      // The last second of the year INT32_MAX (days from the civil calendar).
      {67767976233532799, {2147483647, 12, 31, 23, 59, 59}},
  };
  for (const Case& c : cases) {
    PlatformTimeParts t{};
    ASSERT_TRUE(PlatformLocalTime(c.seconds, &t)) << c.seconds;
    EXPECT_EQ(t.year, c.utc.year);
    EXPECT_EQ(t.month, c.utc.month);
    EXPECT_EQ(t.day, c.utc.day);
    EXPECT_EQ(t.hour, c.utc.hour);
    EXPECT_EQ(t.minute, c.utc.minute);
    EXPECT_EQ(t.second, c.utc.second);
  }
}

TEST(PlatformLocalTime, AppliesTheLocalZone) {
  UseTimeZone("CET-1");
  PlatformTimeParts t{};
  ASSERT_TRUE(PlatformLocalTime(47109, &t));
  EXPECT_EQ(t.hour, 14);
  UseTimeZone("UTC");
}

TEST(PlatformLocalTime, RejectsNegativeAndOutOfRangeTimes) {
  UseTimeZone("UTC");
  PlatformTimeParts t{};
  EXPECT_FALSE(PlatformLocalTime(-1, &t));
  EXPECT_FALSE(PlatformLocalTime(INT64_MIN, &t));
  EXPECT_FALSE(PlatformLocalTime(INT64_MAX, &t));
  // The years INT32_MAX + 1 up to INT32_MAX + 1900, which glibc still breaks down.
  EXPECT_FALSE(PlatformLocalTime(67767976233532800, &t));
  EXPECT_FALSE(PlatformLocalTime(67768036191676799, &t));
  EXPECT_FALSE(PlatformLocalTime(0, nullptr));
}

}  // namespace
