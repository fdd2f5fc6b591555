// Device-independent bitmap structures, with the exact byte layout of the
// published packed-DIB format, and DIB sections: pixel memory that the
// window system hands out and takes back through DeleteObject.
#pragma once

#include <cstddef>

#include "platform/handles.h"

inline constexpr DWORD BI_RGB = 0;
inline constexpr DWORD BI_RLE8 = 1;
inline constexpr DWORD BI_RLE4 = 2;
inline constexpr DWORD BI_BITFIELDS = 3;

inline constexpr UINT DIB_RGB_COLORS = 0;
inline constexpr UINT DIB_PAL_COLORS = 1;

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};

struct RGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
};

struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};

// The 124-byte header: the 40-byte header, then colour masks (which the
// 52-, 56- and 108-byte headers also carry at these offsets) and colour-space
// fields this library does not interpret.
struct BITMAPV5HEADER {
  DWORD bV5Size;
  LONG bV5Width;
  LONG bV5Height;
  WORD bV5Planes;
  WORD bV5BitCount;
  DWORD bV5Compression;
  DWORD bV5SizeImage;
  LONG bV5XPelsPerMeter;
  LONG bV5YPelsPerMeter;
  DWORD bV5ClrUsed;
  DWORD bV5ClrImportant;
  DWORD bV5RedMask;
  DWORD bV5GreenMask;
  DWORD bV5BlueMask;
  DWORD bV5AlphaMask;
  DWORD bV5CSType;
  LONG bV5Endpoints[9];
  DWORD bV5GammaRed;
  DWORD bV5GammaGreen;
  DWORD bV5GammaBlue;
  DWORD bV5Intent;
  DWORD bV5ProfileData;
  DWORD bV5ProfileSize;
  DWORD bV5Reserved;
};

static_assert(sizeof(BITMAPINFOHEADER) == 40);
static_assert(offsetof(BITMAPINFOHEADER, biWidth) == 4);
static_assert(offsetof(BITMAPINFOHEADER, biHeight) == 8);
static_assert(offsetof(BITMAPINFOHEADER, biPlanes) == 12);
static_assert(offsetof(BITMAPINFOHEADER, biBitCount) == 14);
static_assert(offsetof(BITMAPINFOHEADER, biCompression) == 16);
static_assert(offsetof(BITMAPINFOHEADER, biSizeImage) == 20);
static_assert(offsetof(BITMAPINFOHEADER, biXPelsPerMeter) == 24);
static_assert(offsetof(BITMAPINFOHEADER, biYPelsPerMeter) == 28);
static_assert(offsetof(BITMAPINFOHEADER, biClrUsed) == 32);
static_assert(offsetof(BITMAPINFOHEADER, biClrImportant) == 36);
static_assert(sizeof(RGBQUAD) == 4);
static_assert(offsetof(RGBQUAD, rgbRed) == 2);
static_assert(sizeof(BITMAPINFO) == 44);
static_assert(offsetof(BITMAPINFO, bmiColors) == 40);
static_assert(sizeof(BITMAPV5HEADER) == 124);
static_assert(offsetof(BITMAPV5HEADER, bV5RedMask) == 40);
static_assert(offsetof(BITMAPV5HEADER, bV5GreenMask) == 44);
static_assert(offsetof(BITMAPV5HEADER, bV5BlueMask) == 48);
static_assert(offsetof(BITMAPV5HEADER, bV5AlphaMask) == 52);
static_assert(offsetof(BITMAPV5HEADER, bV5CSType) == 56);
static_assert(offsetof(BITMAPV5HEADER, bV5GammaRed) == 96);
static_assert(offsetof(BITMAPV5HEADER, bV5Intent) == 108);
static_assert(offsetof(BITMAPV5HEADER, bV5Reserved) == 120);

// A DIB section of the bitmap that `info` describes: zeroed, page-aligned
// pixel memory stored in *bits. Refused (null, *bits null) for a biSize
// other than 40, 52, 56, 108 or 124, bit counts other than 1, 4, 8, 16, 24
// and 32, a width or height of 0, a negative width, any compression but
// BI_RGB, and BI_BITFIELDS other than 5-5-5 or 5-6-5 masks at 16 bits and
// 8-8-8 masks at 32 bits (read at byte 40 of `info`). At 8 bits or fewer `info` must hold the colour table that its
// header counts (biClrUsed entries, all of them when 0); the section keeps
// those colours for GetDIBits (platform/gdi.h). File mappings are not
// supported: `section` must be null.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits,
                         HANDLE section, DWORD offset);

// Frees a bitmap made here; false for an unknown handle.
BOOL DeleteObject(HGDIOBJ object);

namespace platform {
// Number of bitmaps made and not yet deleted.
size_t GdiLiveObjects();
}  // namespace platform
