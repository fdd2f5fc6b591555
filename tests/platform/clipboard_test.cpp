#include "platform/clipboard.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/faults.h"
#include "platform/globalmem.h"

namespace {

HGLOBAL BlockWith(unsigned char value) {
  HGLOBAL block = GlobalAlloc(GHND, 4);
  static_cast<unsigned char*>(GlobalLock(block))[0] = value;
  GlobalUnlock(block);
  return block;
}

unsigned char FirstByte(HANDLE block) {
  unsigned char v = static_cast<unsigned char*>(GlobalLock(block))[0];
  GlobalUnlock(block);
  return v;
}

// Leaves the store empty and closed for the next test.
void Clear() {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  CloseClipboard();
}

}  // namespace

TEST(Clipboard, AllowsOneOpenerAtATime) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_FALSE(OpenClipboard(nullptr));
  bool otherThread = true;
  std::thread([&] { otherThread = OpenClipboard(nullptr); }).join();
  EXPECT_FALSE(otherThread);
  EXPECT_TRUE(CloseClipboard());
  EXPECT_FALSE(CloseClipboard());
}

TEST(Clipboard, EmptyAndSetNeedItOpenAndSetTakesOwnership) {
  Clear();
  const size_t before = platform::GlobalLiveBlocks();
  HGLOBAL block = BlockWith(1);
  EXPECT_FALSE(EmptyClipboard());
  EXPECT_EQ(SetClipboardData(CF_DIB, block), nullptr);  // not open: caller keeps the block
  EXPECT_EQ(GlobalSize(block), 4u);

  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_EQ(SetClipboardData(CF_DIB, block), block);
  // A second block for the same format replaces (and frees) the first.
  HGLOBAL second = BlockWith(2);
  EXPECT_EQ(SetClipboardData(CF_DIB, second), second);
  EXPECT_EQ(GlobalSize(block), 0u);
  EXPECT_EQ(GetClipboardData(CF_DIB), second);
  EXPECT_EQ(FirstByte(GetClipboardData(CF_DIB)), 2);
  EXPECT_EQ(GetClipboardData(CF_DIBV5), nullptr);
  EXPECT_TRUE(CloseClipboard());

  EXPECT_EQ(platform::GlobalLiveBlocks(), before + 1);
  // Reading needs the clipboard open; asking what is there does not.
  EXPECT_EQ(GetClipboardData(CF_DIB), nullptr);
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_DIB));
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_DIBV5));

  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_TRUE(EmptyClipboard());
  CloseClipboard();
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_DIB));
  EXPECT_EQ(platform::GlobalLiveBlocks(), before);
}

TEST(Clipboard, KeepsOneBlockPerFormat) {
  Clear();
  ASSERT_TRUE(OpenClipboard(nullptr));
  SetClipboardData(CF_DIB, BlockWith(8));
  SetClipboardData(CF_DIBV5, BlockWith(17));
  EXPECT_EQ(FirstByte(GetClipboardData(CF_DIB)), 8);
  EXPECT_EQ(FirstByte(GetClipboardData(CF_DIBV5)), 17);
  CloseClipboard();
  Clear();
}

TEST(Clipboard, InjectedFailuresRefuseOpenAndSet) {
  Clear();
  platform::FailNextCall(platform::FaultPoint::OpenClipboard);
  EXPECT_FALSE(OpenClipboard(nullptr));
  ASSERT_TRUE(OpenClipboard(nullptr));
  HGLOBAL block = BlockWith(3);
  platform::FailNextCall(platform::FaultPoint::SetClipboardData);
  EXPECT_EQ(SetClipboardData(CF_DIB, block), nullptr);
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_DIB));
  EXPECT_EQ(GlobalFree(block), nullptr);  // still the caller's
  CloseClipboard();
}
