// Device contexts: a virtual 32-bit screen that every window shares. It draws
// nothing; it answers the questions that code choosing pixel formats asks.
#pragma once

#include <cstddef>

#include "platform/handles.h"

inline constexpr int BITSPIXEL = 12;
inline constexpr int PLANES = 14;

// A device context of the screen (for any window, null included), or null.
HDC GetDC(HWND window);
// Gives the context back: 1 when it was live, else 0.
int ReleaseDC(HWND window, HDC dc);
// BITSPIXEL 32 and PLANES 1 for a live context; 0 otherwise.
int GetDeviceCaps(HDC dc, int index);

namespace platform {
// Number of contexts handed out by GetDC and not yet released.
size_t LiveDeviceContexts();
}  // namespace platform
