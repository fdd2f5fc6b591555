// Fixed-point sine and the tables shared by the arcs and ellipses.
#pragma once

#include <cstdint>

#include "platform/types.h"

// Ellipse flags: rx, ry are the full width and height instead of radii.
inline constexpr DWORD ELLIPSE_BOUNDS = 0x1;
// Smooth edges; ignored on images of 8 bits per pixel or fewer.
inline constexpr DWORD ELLIPSE_SMOOTH = 0x2;
// Horizontal anchor in bits 2-3, vertical anchor in bits 4-5: 0 centre,
// 1 left/top, 2 right/bottom (3 is refused).
inline constexpr int ELLIPSE_HANCHOR_SHIFT = 2;
inline constexpr int ELLIPSE_VANCHOR_SHIFT = 4;

// Sine of `angle` (units of 1/0x20000 turn, only the low 17 bits count) in
// 16.16 fixed point; the cosine of a is FixedSin(a + 0x8000).
int FixedSin(int angle);

// round(32768 sin(i pi / 256)) for i = 0..128, then 0.
extern const WORD SineTable[130];
// floor(32768 sqrt(1 - (j / 128)^2)) for j = 0..128, then 0.
extern const WORD CircleProfileTable[130];

class CGraphicsImage;
// Mixes `colour` into pixel (x, y) of a true-colour image with weight w / 256,
// blue, green and red apart; pixels outside the image are left alone.
void BlendPixel(CGraphicsImage& image, int64_t x, int64_t y, DWORD colour, int w);
