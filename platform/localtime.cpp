#include "platform/localtime.h"

#include <time.h>

#include <limits>

bool PlatformLocalTime(int64_t seconds, PlatformTimeParts* parts) {
  // glibc breaks negative times down as well; callers treat times before 1970
  // as no time at all.
  if (seconds < 0 || !parts) return false;
  if (static_cast<uint64_t>(seconds) >
      static_cast<uint64_t>(std::numeric_limits<time_t>::max()))
    return false;
  time_t t = static_cast<time_t>(seconds);
  struct tm tm;
  if (!localtime_r(&t, &tm)) return false;
  // glibc goes on to the year INT_MAX + 1900; ours must fit an int.
  if (tm.tm_year > std::numeric_limits<int>::max() - 1900) return false;
  parts->year = tm.tm_year + 1900;
  parts->month = tm.tm_mon + 1;
  parts->day = tm.tm_mday;
  parts->hour = tm.tm_hour;
  parts->minute = tm.tm_min;
  parts->second = tm.tm_sec;
  return true;
}
