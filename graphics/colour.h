// Colour distances and the fixed-point arc tangent of the graphics library.
#pragma once

#include "platform/types.h"

// |dRed| + |dGreen| + |dBlue| of two 0x00RRGGBB colours.
int ColorDistance(DWORD a, DWORD b);
// dRed^2 + dGreen^2 + dBlue^2 of two 0x00RRGGBB colours.
int ColorDistanceSquared(DWORD a, DWORD b);

// Units per full turn of the library's angles, counted from the positive x
// axis towards positive y.
inline constexpr int ANGLE_FULL_TURN = 0x20000;

// The angle of the vector (x, y), 0 <= result < ANGLE_FULL_TURN; (0, 0) gives 0.
int AtanFixed(int y, int x);

// Arc tangent table: entry i = floor(atan(i / 128) * 0x40000 / (2 pi)).
extern const WORD AtanFixedTable[130];
