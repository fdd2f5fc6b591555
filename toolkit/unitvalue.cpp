#include "toolkit/unitvalue.h"

int FormatUnitValue(uint64_t, char* buffer, int bufferSize, uint32_t, const char*, int* prefixIndex) {
  if (bufferSize > 0) buffer[0] = 0;
  if (prefixIndex != nullptr) *prefixIndex = UNITFMT_PREFIX_NONE;
  return 0;
}
int FormatUnitValueW(uint64_t, wchar16* buffer, int bufferSize, uint32_t, const wchar16*,
                     int* prefixIndex) {
  if (bufferSize > 0) buffer[0] = 0;
  if (prefixIndex != nullptr) *prefixIndex = UNITFMT_PREFIX_NONE;
  return 0;
}
int ParseNumberList(const char*, void*, int, uint32_t, int* used) {
  if (used != nullptr) *used = 0;
  return 0;
}
int ParseNumberListW(const wchar16*, void*, int, uint32_t, int* used) {
  if (used != nullptr) *used = 0;
  return 0;
}
