// Small accessors of the image: the header's resolution and the fourth
// (alpha) byte of 32-bit pixels.
#include "graphics/image.h"

bool CGraphicsImage::GetResolution(DWORD* xPelsPerMeter, DWORD* yPelsPerMeter) const {
  // An empty image has a zeroed header: no resolution to report.
  const bool has = info->header.biSize != 0;
  if (xPelsPerMeter) *xPelsPerMeter = has ? static_cast<DWORD>(info->header.biXPelsPerMeter) : 0;
  if (yPelsPerMeter) *yPelsPerMeter = has ? static_cast<DWORD>(info->header.biYPelsPerMeter) : 0;
  return has;
}

bool CGraphicsImage::SetResolution(DWORD xPelsPerMeter, DWORD yPelsPerMeter) {
  if (info->header.biSize == 0) return false;
  info->header.biXPelsPerMeter = static_cast<LONG>(xPelsPerMeter);
  info->header.biYPelsPerMeter = static_cast<LONG>(yPelsPerMeter);
  return true;
}

bool CGraphicsImage::HasAlpha() const {
  if (bpp != 32) return false;
  // 32-bit rows have no padding: the fourth bytes lie every 4 bytes, read
  // from the last pixel backwards.
  const BYTE* p = bottomRow + imageBytes;
  for (uint64_t n = imageBytes / 4; n != 0; --n) {
    p -= 4;
    if (p[3] != 0) return true;
  }
  return false;
}

bool CGraphicsImage::SetAlpha(BYTE value) {
  if (bpp != 32) return false;
  BYTE* p = bottomRow;
  for (uint64_t n = imageBytes / 4; n != 0; --n, p += 4) p[3] = value;
  return true;
}
