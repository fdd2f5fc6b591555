#include <gtest/gtest.h>

#include "platform/gdi.h"

// This program declares no resources, so no bitmap loads; the handles and
// names behave as the resource functions define them.
TEST(GdiModule, OwnModuleHasAHandleAndOthersDoNot) {
  EXPECT_NE(GetModuleHandleA(nullptr), nullptr);
  EXPECT_EQ(GetModuleHandleA(nullptr), GetModuleHandleA(nullptr));
  EXPECT_EQ(GetModuleHandleA("kernel32.dll"), nullptr);
}

TEST(GdiModule, IntegerResourceNamesAreSmallPointerValues) {
  EXPECT_TRUE(IS_INTRESOURCE(MAKEINTRESOURCEA(101)));
  EXPECT_TRUE(IS_INTRESOURCE(MAKEINTRESOURCEA(0xFFFF)));
  EXPECT_EQ(reinterpret_cast<uintptr_t>(MAKEINTRESOURCEA(0xFFFF)), 0xFFFFu);
  EXPECT_FALSE(IS_INTRESOURCE("LOGO"));
}

TEST(GdiModule, LoadBitmapFindsNothingWithoutResources) {
  HINSTANCE self = GetModuleHandleA(nullptr);
  for (const char* name : {"LOGO", "#101", "#", "#12x", "#70000"})
    EXPECT_EQ(LoadBitmapA(self, name), nullptr) << name;
  EXPECT_EQ(LoadBitmapA(self, MAKEINTRESOURCEA(101)), nullptr);
  EXPECT_EQ(LoadBitmapA(nullptr, "LOGO"), nullptr);
}
