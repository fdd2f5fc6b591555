#include "platform/globalmem.h"

#include <gtest/gtest.h>

#include "platform/faults.h"

TEST(GlobalMemory, ZeroInitBlocksLockUnlockAndFree) {
  const size_t before = platform::GlobalLiveBlocks();
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 1000);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(GlobalSize(block), 1000u);
  EXPECT_EQ(platform::GlobalLiveBlocks(), before + 1);
  auto* p = static_cast<unsigned char*>(GlobalLock(block));
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(p[i], 0) << i;
  p[999] = 7;
  // Locks nest: the block stays locked until the last unlock.
  EXPECT_EQ(GlobalLock(block), p);
  EXPECT_TRUE(GlobalUnlock(block));
  EXPECT_FALSE(GlobalUnlock(block));
  EXPECT_FALSE(GlobalUnlock(block));  // not locked any more
  EXPECT_EQ(static_cast<unsigned char*>(GlobalLock(block))[999], 7);
  GlobalUnlock(block);
  EXPECT_EQ(GlobalFree(block), nullptr);
  EXPECT_EQ(platform::GlobalLiveBlocks(), before);
}

TEST(GlobalMemory, RefusesUnknownHandles) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 16);
  ASSERT_NE(block, nullptr);
  ASSERT_EQ(GlobalFree(block), nullptr);
  // The freed handle is now foreign: every call refuses it.
  EXPECT_EQ(GlobalLock(block), nullptr);
  EXPECT_EQ(GlobalSize(block), 0u);
  EXPECT_FALSE(GlobalUnlock(block));
  EXPECT_EQ(GlobalFree(block), block);
  EXPECT_EQ(GlobalLock(nullptr), nullptr);
}

TEST(GlobalMemory, ZeroByteBlocksAreStillDistinctBlocks) {
  HGLOBAL a = GlobalAlloc(GMEM_MOVEABLE, 0);
  HGLOBAL b = GlobalAlloc(GMEM_MOVEABLE, 0);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);
  EXPECT_EQ(GlobalSize(a), 0u);
  EXPECT_NE(GlobalLock(a), nullptr);
  GlobalUnlock(a);
  GlobalFree(a);
  GlobalFree(b);
}

TEST(GlobalMemory, InjectedFailuresHitAllocAndLockOnce) {
  const size_t before = platform::GlobalLiveBlocks();
  platform::FailNextCall(platform::FaultPoint::GlobalAlloc);
  EXPECT_EQ(GlobalAlloc(GHND, 8), nullptr);
  EXPECT_EQ(platform::GlobalLiveBlocks(), before);
  HGLOBAL block = GlobalAlloc(GHND, 8);
  ASSERT_NE(block, nullptr);
  platform::FailNextCall(platform::FaultPoint::GlobalLock);
  EXPECT_EQ(GlobalLock(block), nullptr);
  EXPECT_NE(GlobalLock(block), nullptr);
  GlobalUnlock(block);
  GlobalFree(block);
  EXPECT_EQ(platform::GlobalLiveBlocks(), before);
}
