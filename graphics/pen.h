// The library's pens: functions that put one dot of a colour at (x, y) and
// clip for themselves, so line and text loops carry no bounds test.
#pragma once

#include "graphics/image.h"

// Stores the colour when (x, y) lies inside the image.
void PixelWriterPlain(CGraphicsImage* image, int x, int y, DWORD colour);
// A blended 3 x 3 dot, weights 1 2 1 / 2 20 2 / 1 2 1 out of 32; the top
// byte of the result is 0.
void PixelWriterSoft(CGraphicsImage* image, int x, int y, DWORD colour);
// As PixelWriterSoft, blending the top (alpha) byte too.
void PixelWriterSoft32(CGraphicsImage* image, int x, int y, DWORD colour);
// Shaped dots of solid pixels with, for the round ones, a rim of a quarter
// of the colour; meant for true-colour images.
void PixelWriterSquare(CGraphicsImage* image, int x, int y, DWORD colour);
void PixelWriterCross(CGraphicsImage* image, int x, int y, DWORD colour);
void PixelWriterDot(CGraphicsImage* image, int x, int y, DWORD colour);
void PixelWriterRound(CGraphicsImage* image, int x, int y, DWORD colour);
void PixelWriterRoundLarge(CGraphicsImage* image, int x, int y, DWORD colour);
void PixelWriterRoundWide(CGraphicsImage* image, int x, int y, DWORD colour);
void PixelWriterDisc(CGraphicsImage* image, int x, int y, DWORD colour);
// Patterned plain pens: every call rotates the image's pattern word right by
// one and draws when the bit rotated out was 0, also off the image, so the
// pattern runs on along a line and from one line to the next.
void PixelWriterDotted(CGraphicsImage* image, int x, int y, DWORD colour);
void PixelWriterDashed(CGraphicsImage* image, int x, int y, DWORD colour);

// The state `calls` further calls of `pen` off the image would leave: the
// patterned pens' pattern rotated; nothing for the other pens.
void SkipPenCalls(CGraphicsImage& image, PixelWriterFunc pen, uint64_t calls);

// How far from its position the widest pen may paint: calls farther off the
// image than this can be skipped (with SkipPenCalls).
inline constexpr int PEN_REACH = 16;

// The pen DrawLine and SetTextWriter use for `pen` on this image: the soft
// pen becomes the plain one below 9 bits per pixel and Soft32 at 32.
PixelWriterFunc SubstitutePen(const CGraphicsImage& image, PixelWriterFunc pen);
