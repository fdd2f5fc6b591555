// Breaking a time value down into the local calendar.
#pragma once

#include <cstdint>

struct PlatformTimeParts {
  int year;    // e.g. 2024
  int month;   // 1..12
  int day;     // 1..31
  int hour;    // 0..23
  int minute;  // 0..59
  int second;  // 0..60
};

// Seconds since 1970-01-01 00:00 UTC in local time. Negative values and values
// the calendar cannot hold are rejected (false).
bool PlatformLocalTime(int64_t seconds, PlatformTimeParts* parts);
