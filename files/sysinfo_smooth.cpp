// Antialiased lines through the optional GDI+ library, or plain pens on the
// device context where it is not available.
#include "files/sysinfo.h"
#include "files/sysinfo_impl.h"

using namespace sysinfo_detail;

namespace {

enum : int { kNotStarted = 0, kNotAvailable = 1, kLoaded = 2 };

// Looks up every entry point the drawing uses; false when one is missing.
bool lookUpGdiplus(Cache& c, HMODULE m, GdiplusStartupProc* startup) {
  *startup = Proc<GdiplusStartupProc>(m, "GdiplusStartup");
  c.createFromHdc = Proc<GdipCreateFromHDCProc>(m, "GdipCreateFromHDC");
  c.deleteGraphics = Proc<GdipDeleteGraphicsProc>(m, "GdipDeleteGraphics");
  c.setSmoothingMode = Proc<GdipSetSmoothingModeProc>(m, "GdipSetSmoothingMode");
  c.drawEllipse = Proc<GdipDrawEllipseIProc>(m, "GdipDrawEllipseI");
  c.drawLine = Proc<GdipDrawLineIProc>(m, "GdipDrawLineI");
  c.createPen = Proc<GdipCreatePen1Proc>(m, "GdipCreatePen1");
  c.setPenColor = Proc<GdipSetPenColorProc>(m, "GdipSetPenColor");
  c.deletePen = Proc<GdipDeletePenProc>(m, "GdipDeletePen");
  return *startup && c.createFromHdc && c.deleteGraphics && c.setSmoothingMode &&
         c.drawEllipse && c.drawLine && c.createPen && c.setPenColor && c.deletePen;
}

// Forgets the library's entry points and marks the state.
void dropGdiplus(Cache& c, int state) {
  c.smoothState = state;
  c.gdiplus = nullptr;
  c.gdiplusToken = 0;
  c.createFromHdc = nullptr;
  c.deleteGraphics = nullptr;
  c.setSmoothingMode = nullptr;
  c.drawEllipse = nullptr;
  c.drawLine = nullptr;
  c.createPen = nullptr;
  c.setPenColor = nullptr;
  c.deletePen = nullptr;
}

}  // namespace

int SmoothDrawStartup() {
  Cache& c = cache();
  if (c.smoothState != kNotStarted) {
    ++c.smoothExtraUses;
    return c.smoothState - 1;
  }
  HMODULE m = SysLoadLibraryA("gdiplus.dll");
  if (!m) {
    c.smoothState = kNotAvailable;
    return 0;
  }
  // A library without every entry point, or one that does not start, is
  // treated as absent rather than called through a null entry.
  GdiplusStartupProc startup = nullptr;
  GdiplusStartupInput input{1, nullptr, FALSE, FALSE};
  if (!lookUpGdiplus(c, m, &startup) || startup(&c.gdiplusToken, &input, nullptr) != 0) {
    SysFreeLibrary(m);
    dropGdiplus(c, kNotAvailable);
    return 0;
  }
  c.gdiplus = m;
  c.smoothState = kLoaded;
  return 1;
}

int SmoothDrawShutdown() {
  Cache& c = cache();
  if (c.smoothExtraUses > 0) {
    --c.smoothExtraUses;
    return 1;
  }
  if (c.smoothState == kNotStarted) return 0;
  if (c.smoothState == kLoaded) {
    auto shutdown = Proc<GdiplusShutdownProc>(c.gdiplus, "GdiplusShutdown");
    if (shutdown) shutdown(c.gdiplusToken);
    SysFreeLibrary(c.gdiplus);
  }
  dropGdiplus(c, kNotStarted);
  return 1;
}

HANDLE CreateSmoothGraphics(HDC dc) {
  Cache& c = cache();
  if (c.smoothState < kLoaded) return dc;
  GpGraphics* graphics = nullptr;
  if (c.createFromHdc(dc, &graphics) != 0 || !graphics) return nullptr;
  c.setSmoothingMode(graphics, SmoothingModeAntiAlias);
  return graphics;
}

bool DeleteSmoothGraphics(HANDLE graphics) {
  Cache& c = cache();
  if (c.smoothState < kLoaded) return c.smoothState != kNotStarted;
  return c.deleteGraphics(static_cast<GpGraphics*>(graphics)) == 0;
}

HANDLE CreateSmoothPen(int width, COLORREF colour) {
  Cache& c = cache();
  if (c.smoothState < kLoaded) return SysCreatePen(PS_SOLID, width, colour);
  // COLORREF 0x00BBGGRR becomes the opaque ARGB 0xFFRRGGBB.
  const DWORD argb = 0xFF000000u | ((colour & 0xFF) << 16) | (colour & 0xFF00) |
                     ((colour >> 16) & 0xFF);
  GpPen* pen = nullptr;
  if (c.createPen(argb, static_cast<float>(width), UnitPixel, &pen) != 0) return nullptr;
  return pen;
}

bool DeleteSmoothPen(HANDLE pen) {
  Cache& c = cache();
  if (c.smoothState < kLoaded) return SysDeleteObject(pen) != FALSE;
  return c.deletePen(static_cast<GpPen*>(pen)) == 0;
}

bool SmoothDrawLine(HANDLE graphics, HANDLE pen, int x1, int y1, int x2, int y2) {
  Cache& c = cache();
  if (c.smoothState == kLoaded)
    return c.drawLine(static_cast<GpGraphics*>(graphics), static_cast<GpPen*>(pen), x1, y1, x2,
                      y2) == 0;
  HDC dc = static_cast<HDC>(graphics);
  HGDIOBJ old = SysSelectObject(dc, pen);
  SysMoveToEx(dc, x1, y1, nullptr);
  const bool drawn = SysLineTo(dc, x2, y2) != FALSE;
  if (old) SysSelectObject(dc, old);
  return drawn;
}
