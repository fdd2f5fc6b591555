// Global memory blocks: the movable, lockable heap blocks through which the
// clipboard passes data. A block is {size, lock count, bytes}; handles are
// table keys, so a stale or foreign handle is refused instead of followed.
#pragma once

#include <cstddef>

#include "platform/handles.h"

inline constexpr UINT GMEM_FIXED = 0x0000;
inline constexpr UINT GMEM_MOVEABLE = 0x0002;
inline constexpr UINT GMEM_ZEROINIT = 0x0040;
inline constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;

// A new block of `bytes` bytes (zeroed with GMEM_ZEROINIT), or null.
HGLOBAL GlobalAlloc(UINT flags, size_t bytes);
// The block's bytes, counting one more lock; null for an unknown handle.
void* GlobalLock(HGLOBAL block);
// Counts one lock less; nonzero while the block stays locked.
BOOL GlobalUnlock(HGLOBAL block);
// The size asked for at allocation; 0 for an unknown handle.
size_t GlobalSize(HGLOBAL block);
// Frees the block: null on success, the handle itself when it is unknown.
HGLOBAL GlobalFree(HGLOBAL block);

namespace platform {
// Number of blocks allocated and not yet freed.
size_t GlobalLiveBlocks();
}  // namespace platform
