#include "platform/bitmap.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "platform/faults.h"
#include "platform/screen.h"

namespace {

// A header with room for a full colour table; BI_BITFIELDS headers carry
// the masks of their bit count (5-6-5 or 8-8-8) behind it.
struct InfoBlock {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[256];
};

InfoBlock Info(LONG width, LONG height, WORD bits, DWORD compression) {
  InfoBlock info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = bits;
  info.bmiHeader.biCompression = compression;
  if (compression == BI_BITFIELDS) {
    const DWORD masks[3] = {bits == 16 ? 0xF800u : 0xFF0000u, bits == 16 ? 0x07E0u : 0xFF00u,
                            bits == 16 ? 0x001Fu : 0xFFu};
    std::memcpy(info.bmiColors, masks, sizeof masks);
  }
  return info;
}

const BITMAPINFO* AsInfo(const InfoBlock& b) { return reinterpret_cast<const BITMAPINFO*>(&b); }

}  // namespace

// The packed-DIB byte layout, written by hand from the published format.
TEST(BitmapStructures, HeaderFieldsSitAtTheirPublishedOffsets) {
  BITMAPINFOHEADER h{};
  h.biSize = 0x11223344;
  h.biWidth = -2;
  h.biHeight = 0x01020304;
  h.biPlanes = 1;
  h.biBitCount = 24;
  h.biCompression = 3;
  h.biSizeImage = 0xA0B0C0D0;
  h.biXPelsPerMeter = 4705;
  h.biClrUsed = 256;
  const BYTE expected[40] = {0x44, 0x33, 0x22, 0x11, 0xFE, 0xFF, 0xFF, 0xFF, 0x04, 0x03,
                             0x02, 0x01, 0x01, 0x00, 0x18, 0x00, 0x03, 0x00, 0x00, 0x00,
                             0xD0, 0xC0, 0xB0, 0xA0, 0x61, 0x12, 0x00, 0x00, 0x00, 0x00,
                             0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
  BYTE bytes[40];
  std::memcpy(bytes, &h, 40);
  EXPECT_EQ(0, std::memcmp(bytes, expected, 40));
  RGBQUAD q{1, 2, 3, 4};
  BYTE qb[4];
  std::memcpy(qb, &q, 4);
  EXPECT_EQ(qb[0], 1);  // blue first
  EXPECT_EQ(qb[2], 3);  // red third
}

TEST(DibSection, GivesZeroedPageAlignedBitsAndCountsTheHandle) {
  const size_t before = platform::GdiLiveObjects();
  InfoBlock info = Info(33, 7, 24, BI_RGB);
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(nullptr, AsInfo(info), DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(bmp, nullptr);
  ASSERT_NE(bits, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(bits) % 4096, 0u);
  const BYTE* p = static_cast<const BYTE*>(bits);
  const size_t bytes = 100 * 7;  // 33 * 3 = 99 bytes padded to 100, 7 rows
  for (size_t i = 0; i < bytes; ++i) ASSERT_EQ(p[i], 0) << i;
  std::memset(bits, 0xAB, bytes);
  EXPECT_EQ(platform::GdiLiveObjects(), before + 1);
  EXPECT_TRUE(DeleteObject(bmp));
  EXPECT_EQ(platform::GdiLiveObjects(), before);
  EXPECT_FALSE(DeleteObject(bmp));  // a second delete is refused, not followed
}

TEST(DibSection, RefusesWhatTheWindowSystemRefuses) {
  struct Case {
    LONG width, height;
    WORD bits;
    DWORD compression;
    bool accepted;
  };
  const Case cases[] = {
      {8, 8, 1, BI_RGB, true},        {8, 8, 4, BI_RGB, true},
      {8, 8, 8, BI_RGB, true},        {8, 8, 16, BI_RGB, true},
      {8, 8, 24, BI_RGB, true},       {8, 8, 32, BI_RGB, true},
      {8, 8, 16, BI_BITFIELDS, true}, {8, 8, 32, BI_BITFIELDS, true},
      {8, -8, 32, BI_RGB, true},      {8, 8, 0, BI_RGB, false},
      {8, 8, 2, BI_RGB, false},       {8, 8, 12, BI_RGB, false},
      {8, 8, 15, BI_RGB, false},      {8, 8, 33, BI_RGB, false},
      {0, 8, 32, BI_RGB, false},      {8, 0, 32, BI_RGB, false},
      {-8, 8, 32, BI_RGB, false},     {8, 8, 8, BI_RLE8, false},
      {8, 8, 4, BI_RLE4, false},      {8, 8, 24, BI_BITFIELDS, false},
      {8, 8, 8, BI_BITFIELDS, false}, {0x7FFFFFFF, 0x7FFFFFFF, 32, BI_RGB, false},
  };
  const size_t before = platform::GdiLiveObjects();
  for (const Case& c : cases) {
    InfoBlock info = Info(c.width, c.height, c.bits, c.compression);
    void* bits = reinterpret_cast<void*>(1);
    HBITMAP bmp = CreateDIBSection(nullptr, AsInfo(info), DIB_RGB_COLORS, &bits, nullptr, 0);
    EXPECT_EQ(bmp != nullptr, c.accepted)
        << c.width << "x" << c.height << " " << c.bits << " bits, compression " << c.compression;
    EXPECT_EQ(bits != nullptr, c.accepted);
    if (bmp) DeleteObject(bmp);
  }
  EXPECT_EQ(platform::GdiLiveObjects(), before);
}

TEST(DibSection, InjectedFailureRefusesOnlyTheNextCall) {
  InfoBlock info = Info(4, 4, 32, BI_RGB);
  void* bits = nullptr;
  platform::FailNextCall(platform::FaultPoint::CreateDIBSection);
  EXPECT_EQ(CreateDIBSection(nullptr, AsInfo(info), DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  HBITMAP bmp = CreateDIBSection(nullptr, AsInfo(info), DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(bmp, nullptr);
  DeleteObject(bmp);
}

TEST(ScreenDC, IsAVirtual32BitScreenWithCountedHandles) {
  const size_t before = platform::LiveDeviceContexts();
  HDC dc = GetDC(nullptr);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 32);
  EXPECT_EQ(GetDeviceCaps(dc, PLANES), 1);
  EXPECT_EQ(platform::LiveDeviceContexts(), before + 1);
  EXPECT_EQ(ReleaseDC(nullptr, dc), 1);
  EXPECT_EQ(ReleaseDC(nullptr, dc), 0);
  EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 0);
  EXPECT_EQ(platform::LiveDeviceContexts(), before);
  platform::FailNextCall(platform::FaultPoint::GetDC);
  EXPECT_EQ(GetDC(nullptr), nullptr);
  EXPECT_EQ(platform::LiveDeviceContexts(), before);
}
