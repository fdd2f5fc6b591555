// Pens and lines on a device context, and the entry points of the optional
// antialiasing drawing library (GDI+), shaped as the Windows calls are.
//
// On Linux the screen (platform/screen.h) draws nothing, and so do lines on
// it: the calls check their context and pen and answer as they would after
// drawing. There is no GDI+ module ("gdiplus" cannot be loaded), so its
// entry-point types below serve the callers and the tests that stand in
// for it.
#pragma once

#include "platform/handles.h"

struct SIZE {
  LONG cx;
  LONG cy;
};

struct HPEN__;
using HPEN = HPEN__*;

inline constexpr int PS_SOLID = 0;

// A pen of a style (PS_SOLID only), width and colour; null for another
// style or a negative width.
HPEN SysCreatePen(int style, int width, COLORREF colour);
// Selects a pen into a live context: the previously selected pen (the
// context's own black pen at first), null for a dead context or an unknown
// pen.
HGDIOBJ SysSelectObject(HDC dc, HGDIOBJ object);
// Moves the current position; false for a dead context. The old position
// is not reported (point must be null).
BOOL SysMoveToEx(HDC dc, int x, int y, void* point);
// A line from the current position to (x, y), which becomes the current
// position; false for a dead context.
BOOL SysLineTo(HDC dc, int x, int y);
// Frees a pen made by SysCreatePen (false while one is selected into a
// context, or for the contexts' own pen); any other object is handed to
// DeleteObject of platform/bitmap.h.
BOOL SysDeleteObject(HGDIOBJ object);

namespace platform {
// Pens made and not yet deleted.
size_t LivePens();
// A live pen's width and colour; false for anything else.
bool PenOf(HGDIOBJ pen, int* width, COLORREF* colour);
// Where a context's current position is; false for a context never used.
bool CurrentPosition(HDC dc, int* x, int* y);
}  // namespace platform

// --- GDI+ entry points --------------------------------------------------------

struct GpGraphics;
struct GpPen;

struct GdiplusStartupInput {
  UINT GdiplusVersion;
  void* DebugEventCallback;
  BOOL SuppressBackgroundThread;
  BOOL SuppressExternalCodecs;
};

// Results are GDI+ status codes, 0 for success.
using GdiplusStartupProc = int (*)(UINT_PTR* token, const GdiplusStartupInput* input,
                                   void* output);
using GdiplusShutdownProc = void (*)(UINT_PTR token);
using GdipCreateFromHDCProc = int (*)(HDC dc, GpGraphics** graphics);
using GdipDeleteGraphicsProc = int (*)(GpGraphics* graphics);
using GdipSetSmoothingModeProc = int (*)(GpGraphics* graphics, int mode);
using GdipDrawEllipseIProc = int (*)(GpGraphics* graphics, GpPen* pen, int x, int y, int width,
                                     int height);
using GdipDrawLineIProc = int (*)(GpGraphics* graphics, GpPen* pen, int x1, int y1, int x2,
                                  int y2);
using GdipCreatePen1Proc = int (*)(DWORD argb, float width, int unit, GpPen** pen);
using GdipSetPenColorProc = int (*)(GpPen* pen, DWORD argb);
using GdipDeletePenProc = int (*)(GpPen* pen);

inline constexpr int SmoothingModeAntiAlias = 4;
inline constexpr int UnitPixel = 2;
