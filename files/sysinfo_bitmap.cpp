// Headers and colour tables of GDI bitmaps.
#include <algorithm>
#include <cstring>

#include "files/sysinfo.h"
#include "platform/gdi.h"
#include "platform/screen.h"

namespace {

// A header with room for the largest colour table.
struct HeaderWithColours {
  BITMAPINFOHEADER header;
  RGBQUAD colours[256];
};

}  // namespace

bool GetBitmapHeader(HBITMAP bmp, BITMAPINFO* out, DWORD maxColours) {
  if (!out) return false;
  std::memset(out, 0, sizeof(BITMAPINFOHEADER));
  if (!bmp) return false;
  HDC dc = GetDC(nullptr);
  if (!dc) return false;
  HeaderWithColours info{};
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  info.header.biPlanes = 1;
  auto* asked = reinterpret_cast<BITMAPINFO*>(&info);
  if (GetDIBits(dc, bmp, 0, 0, nullptr, asked, DIB_RGB_COLORS) < 1) {
    ReleaseDC(nullptr, dc);
    return false;
  }
  const BITMAPINFOHEADER header = info.header;
  DWORD colours = header.biClrUsed;
  if (colours == 0 && header.biBitCount < 9) colours = 1u << header.biBitCount;
  // The local table holds 256 entries, whatever the header claims.
  const DWORD count = std::min({colours, maxColours, DWORD{256}});
  // Asked for the header alone, the system leaves the colour table out; a
  // second question at the bitmap's own depth gives it.
  if (count > 0 && header.biBitCount <= 8 &&
      GetDIBits(dc, bmp, 0, 0, nullptr, asked, DIB_RGB_COLORS) < 1)
    std::memset(info.colours, 0, sizeof info.colours);
  ReleaseDC(nullptr, dc);
  info.header = header;
  std::memcpy(out, &info, sizeof(BITMAPINFOHEADER) + count * sizeof(RGBQUAD));
  return true;
}

bool GetBitmapDimensions(HBITMAP bmp, DWORD* width, DWORD* height, DWORD* bitCount) {
  BITMAPINFO info;
  const bool ok = GetBitmapHeader(bmp, &info, 0);
  if (width) *width = static_cast<DWORD>(info.bmiHeader.biWidth);
  if (height) *height = static_cast<DWORD>(info.bmiHeader.biHeight);
  if (bitCount) *bitCount = info.bmiHeader.biBitCount;
  return ok;
}

bool GetBitmapDimensions(HBITMAP bmp, SIZE* size) {
  BITMAPINFO info;
  const bool ok = GetBitmapHeader(bmp, &info, 0);
  if (size) *size = SIZE{info.bmiHeader.biWidth, info.bmiHeader.biHeight};
  return ok;
}
