// Memory-block helpers: pattern fills, 16-bit compares, swaps and the edit
// operations on a byte buffer that holds `used` bytes of a larger capacity.
//
// Fill and compare counts are unsigned element counts. Positions, used sizes
// and capacities of the edits are signed byte counts; negative inputs are
// clamped as each function says. The unbounded edit forms trust the caller
// to provide room for the result; the N forms never write at or past
// `capacity`. A source may lie inside the edited buffer: the result is as if
// it had been copied out before the buffer changed.
#pragma once

#include "platform/types.h"

// Stores `value` `count` times from dst (native byte order).
void MemFill16(void* dst, WORD value, DWORD count);
void MemFill32(void* dst, DWORD value, DWORD count);
// Stores the 8-byte pattern (low, high) `count` times: for a little-endian
// host the same bytes as the 64-bit value high:low.
void MemFill64(void* dst, DWORD low, DWORD high, DWORD count);

// Compares `count` 16-bit units. 0 when equal, else int(int16_t(a[i])) -
// int(int16_t(b[i])) at the first difference: a total order on signed units.
int MemCompare16(const void* a, const void* b, DWORD count);
// The same after turning 'a'-'z' into 'A'-'Z'.
int MemCompare16NoCase(const void* a, const void* b, DWORD count);

// Exchanges n bytes between a and b (which must not overlap); n < 1 does
// nothing.
void MemSwap(void* a, void* b, int n);

// Inserts n bytes of src at pos (clamped to 0..used). Returns the new used
// size; n < 1 returns used unchanged.
int MemInsert(void* buf, const void* src, int used, int n, int pos);
// As MemInsert within `capacity` bytes: what does not fit falls off the end
// (first the old tail, then the end of src). Returns the new used size, 0
// when pos lies beyond capacity.
int MemInsertN(void* buf, const void* src, int used, int n, int pos, int capacity);

// Replaces delCount bytes at pos by n bytes of src. n < 1 changes nothing and
// returns used.
int MemReplace(void* buf, const void* src, int used, int n, int delCount, int pos);
int MemReplaceN(void* buf, const void* src, int used, int n, int delCount, int pos,
                int capacity);

// Removes count bytes at pos; a negative pos shortens the run by its amount.
// Returns the new used size.
int MemDelete(void* buf, int used, int count, int pos);

// Moves the block of count bytes at `from` so that it starts at `to`, the
// bytes in between shifting to make room. Returns `to`, or -1 when from, count
// or to is negative. Works in place without allocating.
int MemMoveBlock(void* buf, int from, int count, int to);
// As MemMoveBlock, -1 unless both from + count and to + count stay within size.
int MemMoveBlockN(void* buf, int from, int count, int to, int size);
