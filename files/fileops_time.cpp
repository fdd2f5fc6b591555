// File times: reading and setting them, and converting between the tick
// count and Unix seconds.
#include <string>

#include "files/fileops.h"
#include "platform/fsops.h"
#include "platform/pathconv.h"

namespace {

// Two-second units one hour apart, give or take two seconds: a FAT time
// shifted by daylight saving.
constexpr int64_t kDstUnitsLow = 1799, kDstUnitsHigh = 1801;

// Ticks since 1970 of a time; negative before.
int64_t SinceUnixEpoch(const FILETIME& time) {
  return int64_t(FileTimeTicks(time) - uint64_t(FILETIME_UNIX_OFFSET));
}

int CompareTicks(uint64_t a, uint64_t b, int mode) {
  if (mode == FILE_TIME_COMPARE_TICKS) return a > b ? 1 : a < b ? -1 : 0;
  uint64_t sa = a / FILETIME_TICKS_PER_SECOND, sb = b / FILETIME_TICKS_PER_SECOND;
  switch (mode) {
    case FILE_TIME_COMPARE_SECONDS: break;
    case FILE_TIME_COMPARE_FAT:
      sa &= ~uint64_t(1);
      sb &= ~uint64_t(1);
      break;
    case FILE_TIME_COMPARE_FAT_DST: {
      sa /= 2;
      sb /= 2;
      uint64_t difference = sa > sb ? sa - sb : sb - sa;
      if (difference >= uint64_t(kDstUnitsLow) && difference <= uint64_t(kDstUnitsHigh)) return 0;
      break;
    }
    default: return 0;
  }
  return sa > sb ? 1 : sa < sb ? -1 : 0;
}

bool SetTimes(const char* path, const FILETIME* lastWrite, const FILETIME* creation, const FILETIME* lastAccess) {
  uint64_t w = lastWrite ? FileTimeTicks(*lastWrite) : 0, c = creation ? FileTimeTicks(*creation) : 0,
           a = lastAccess ? FileTimeTicks(*lastAccess) : 0;
  return path != nullptr && SysSetFileTimes(path, lastWrite ? &w : nullptr, creation ? &c : nullptr,
                                            lastAccess ? &a : nullptr);
}

bool SetTimesUnix(const char* path, int64_t lastWrite, int64_t creation, int64_t lastAccess) {
  // Seconds whose tick count would leave 64 bits are refused rather than
  // wrapped round to some other time.
  constexpr int64_t kLimit = int64_t((UINT64_MAX - uint64_t(FILETIME_UNIX_OFFSET)) / FILETIME_TICKS_PER_SECOND);
  if (lastWrite > kLimit || creation > kLimit || lastAccess > kLimit) return false;
  FILETIME w{}, c{}, a{};
  auto convert = [](int64_t seconds, FILETIME* time) {
    if (seconds < 0) return false;
    *time = MakeFileTime(uint64_t(FILETIME_UNIX_OFFSET) + uint64_t(seconds) * FILETIME_TICKS_PER_SECOND);
    return true;
  };
  bool hasW = convert(lastWrite, &w), hasC = convert(creation, &c), hasA = convert(lastAccess, &a);
  return SetTimes(path, hasW ? &w : nullptr, hasC ? &c : nullptr, hasA ? &a : nullptr);
}

bool TimesOf(const char* path, uint64_t times[3]) {
  return path != nullptr && SysGetFileTimes(path, &times[FILE_TIME_LAST_WRITE], &times[FILE_TIME_CREATION],
                                            &times[FILE_TIME_LAST_ACCESS]);
}

bool CopyTimes(const char* source, const char* target) {
  uint64_t times[3];
  if (!TimesOf(source, times) || target == nullptr) return false;
  return SysSetFileTimes(target, &times[FILE_TIME_LAST_WRITE], &times[FILE_TIME_CREATION],
                         &times[FILE_TIME_LAST_ACCESS]);
}

int64_t TimeUnix(const char* path, int which) {
  uint64_t times[3];
  if (which < 0 || which > 2 || !TimesOf(path, times)) return 0;
  int64_t seconds;
  FileTimeToUnixTime64(MakeFileTime(times[which]), &seconds);
  return seconds;
}

uint64_t TimeOrZero(const char* path, int which) {
  uint64_t times[3];
  if (which < 0 || which > 2 || !TimesOf(path, times)) return 0;
  return times[which];
}

int CompareFiles(const char* first, const char* second, int which, int mode) {
  return CompareTicks(TimeOrZero(first, which), TimeOrZero(second, which), mode);
}

std::string Narrow(const wchar16* path, bool* ok) {
  std::string out;
  *ok = path != nullptr && PathToUtf8(path, out);
  return out;
}

}  // namespace

bool FileTimeToUnixTime(const FILETIME& time, DWORD* seconds) {
  int64_t since = SinceUnixEpoch(time);
  if (FileTimeTicks(time) < uint64_t(FILETIME_UNIX_OFFSET)) {
    *seconds = 0;
    return false;
  }
  if ((uint64_t(since) >> 32) >= 9999999u) {
    *seconds = DWORD(-2);
    return false;
  }
  *seconds = DWORD(since / FILETIME_TICKS_PER_SECOND);
  return true;
}

bool FileTimeToUnixTime64(const FILETIME& time, int64_t* seconds) {
  if (FileTimeTicks(time) < uint64_t(FILETIME_UNIX_OFFSET)) {
    *seconds = 0;
    return false;
  }
  *seconds = int64_t((FileTimeTicks(time) - uint64_t(FILETIME_UNIX_OFFSET)) / FILETIME_TICKS_PER_SECOND);
  return true;
}

bool FileTimeToUnixTime32(const FILETIME& time, int32_t* seconds) {
  int64_t wide;
  if (!FileTimeToUnixTime64(time, &wide)) {
    *seconds = 0;
    return false;
  }
  if (wide > 0x7FFFFFFF) {
    *seconds = 0x7FFFFFFF;
    return false;
  }
  *seconds = int32_t(wide);
  return true;
}

bool UnixTimeToFileTime(int64_t seconds, FILETIME* time) {
  // Beyond this the tick count would leave 64 bits.
  constexpr int64_t kLimit = (INT64_MAX - FILETIME_UNIX_OFFSET) / FILETIME_TICKS_PER_SECOND;
  if (seconds <= 0 || seconds > kLimit) {
    *time = MakeFileTime(0);
    return false;
  }
  *time = MakeFileTime(uint64_t(FILETIME_UNIX_OFFSET + seconds * FILETIME_TICKS_PER_SECOND));
  return true;
}

int CompareFileTimeValues(const FILETIME& first, const FILETIME& second, int mode) {
  return CompareTicks(FileTimeTicks(first), FileTimeTicks(second), mode);
}

int CompareFileTimeValues(int64_t firstSeconds, const FILETIME& second, int mode) {
  FILETIME first;
  UnixTimeToFileTime(firstSeconds, &first);
  return CompareTicks(FileTimeTicks(first), FileTimeTicks(second), mode);
}

int CompareFileTimeValues(const char* first, const char* second, int which, int mode) {
  return CompareFiles(first, second, which, mode);
}

int CompareFileTimeValuesW(const wchar16* first, const wchar16* second, int which, int mode) {
  bool okA, okB;
  std::string a = Narrow(first, &okA), b = Narrow(second, &okB);
  return CompareFiles(okA ? a.c_str() : nullptr, okB ? b.c_str() : nullptr, which, mode);
}

bool SetFileTimes(const char* path, const FILETIME* lastWrite, const FILETIME* creation,
                  const FILETIME* lastAccess) {
  return SetTimes(path, lastWrite, creation, lastAccess);
}

bool SetFileTimesW(const wchar16* path, const FILETIME* lastWrite, const FILETIME* creation,
                   const FILETIME* lastAccess) {
  bool ok;
  std::string narrow = Narrow(path, &ok);
  return ok && SetTimes(narrow.c_str(), lastWrite, creation, lastAccess);
}

bool SetFileTimesUnix(const char* path, int64_t lastWrite, int64_t creation, int64_t lastAccess) {
  return SetTimesUnix(path, lastWrite, creation, lastAccess);
}

bool SetFileTimesUnixW(const wchar16* path, int64_t lastWrite, int64_t creation, int64_t lastAccess) {
  bool ok;
  std::string narrow = Narrow(path, &ok);
  return ok && SetTimesUnix(narrow.c_str(), lastWrite, creation, lastAccess);
}

bool CopyFileTimes(const char* source, const char* target) { return CopyTimes(source, target); }

bool CopyFileTimesW(const wchar16* source, const wchar16* target) {
  bool okA, okB;
  std::string a = Narrow(source, &okA), b = Narrow(target, &okB);
  return okA && okB && CopyTimes(a.c_str(), b.c_str());
}

int64_t GetFileTimeUnix(const char* path, int which) { return TimeUnix(path, which); }

int64_t GetFileTimeUnixW(const wchar16* path, int which) {
  bool ok;
  std::string narrow = Narrow(path, &ok);
  return ok ? TimeUnix(narrow.c_str(), which) : 0;
}
