#include "platform/types.h"

#include <gtest/gtest.h>

#include <type_traits>

// The Win32 names must keep their 32-bit widths on a 64-bit host, where long is 64 bits.
TEST(PlatformTypes, KeepWin32WidthsOnLp64) {
  EXPECT_TRUE((std::is_same_v<DWORD, uint32_t>));
  EXPECT_TRUE((std::is_same_v<LONG, int32_t>));
  EXPECT_TRUE((std::is_same_v<BOOL, int32_t>));
  EXPECT_TRUE((std::is_same_v<wchar16, char16_t>));
  EXPECT_EQ(sizeof(UINT_PTR), sizeof(void*));
  EXPECT_EQ(sizeof(LPARAM), sizeof(void*));
}
