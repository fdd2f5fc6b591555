// The clipboard: one process-wide store holding one global memory block per
// format. It lives inside this process only; nothing reaches the desktop's
// clipboard, and its contents end with the process.
#pragma once

#include "platform/handles.h"

inline constexpr UINT CF_DIB = 8;
inline constexpr UINT CF_DIBV5 = 17;

// Opens the clipboard for `owner`; fails while it is open already.
BOOL OpenClipboard(HWND owner);
// Closes it; fails when it is not open.
BOOL CloseClipboard();
// Frees every stored block; fails unless the clipboard is open.
BOOL EmptyClipboard();
// Stores `block` under `format`, taking ownership and freeing the block the
// format held before. Returns the block, or null (the caller keeps it) when
// the clipboard is not open or the block is null.
HANDLE SetClipboardData(UINT format, HANDLE block);
// The store's block of `format` (it stays the store's), or null; needs the
// clipboard open.
HANDLE GetClipboardData(UINT format);
// Whether `format` is held; needs no open.
BOOL IsClipboardFormatAvailable(UINT format);
