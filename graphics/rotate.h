// Flags and limits of CGraphicsImage::RotateFrom.
#pragma once

#include "platform/types.h"

// Each result pixel takes the nearest source pixel, also above 8 bits per
// pixel (where it is otherwise blended from its four source neighbours).
inline constexpr DWORD ROTATE_NEAREST = 0x1;
// The pivot is given, and returned, in quarter pixels instead of whole ones.
inline constexpr DWORD ROTATE_PIVOT_QUARTERS = 0x2;
// Largest source width and height, and largest result width and height.
inline constexpr int ROTATE_MAX_SOURCE = 4096;
inline constexpr int ROTATE_MAX_RESULT = 8192;
