// Reading device-independent bitmaps into images: the layout of a packed DIB
// (header, masks, colour table, pixels) and the building of an image from
// its parts. Shared by the clipboard paste and the DIB imports of the GDI
// exchange.
#pragma once

#include <cstdint>

#include "graphics/image.h"

// Header sizes whose layout starts with the 40-byte header and, from 52
// bytes on, carries the three colour masks at offset 40.
bool KnownDibHeaderSize(DWORD size);

// The image format of a DIB's bit count, compression and masks; 0 when the
// image cannot hold it. 16-bit BI_RGB pixels are 5-5-5, so they give 15.
int ImageBppOfDib(WORD bitCount, DWORD compression, const DWORD masks[3]);

// Where the parts of a packed DIB begin, counted from its first byte, as its
// header places them.
struct PackedDibLayout {
  uint64_t maskOffset;    // the three masks (BI_BITFIELDS only)
  uint64_t tableOffset;   // the colour table
  uint64_t tableEntries;  // biClrUsed, or the full table at 8 bits or fewer
  uint64_t pixelOffset;   // the first (bottom) row
};

// False when the header's size is unknown or its table holds more than 256
// entries.
bool LocatePackedDib(const BITMAPINFOHEADER& header, PackedDibLayout* layout);

// Makes `made` an image of `bpp` bits, `width` x |height| pixels, from DIB
// rows of the image's own stride at `pixels` (bottom-up for a positive
// height, top-down for a negative one) and `entries` colour-table entries at
// `table` (blue, green, red, reserved; the reserved byte is kept only when
// `keepReserved`, else 0). Entries beyond the table keep the format's
// default palette. False when the image cannot be created.
bool BuildImageFromDib(CGraphicsImage& made, int bpp, int width, int height, const BYTE* table,
                       uint64_t entries, bool keepReserved, const BYTE* pixels);
