// Bit arrays in memory: searches and counts in two bit orders, range edits,
// and bit reversal.
//
// Least-significant-first order: bit i is bit (i mod 8) of byte i / 8.
// Most-significant-first order (the Msb functions): bit i is bit
// 7 - (i mod 8) of byte i / 8.
//
// The searches read only the 32-bit words that hold a bit below `limit`
// (the word holding bit `limit` itself is left alone when it holds none);
// the counts read only the bytes that hold bits of [start, limit). No
// alignment is required.
#pragma once

#include <cstdint>

#include "platform/types.h"

// First set (clear) bit at or after start and below limit; limit when none.
DWORD BitFindNextSet(const void* bits, DWORD limit, DWORD start);
DWORD BitFindNextSetMsb(const void* bits, DWORD limit, DWORD start);
DWORD BitFindNextClear(const void* bits, DWORD limit, DWORD start);
DWORD BitFindNextClearMsb(const void* bits, DWORD limit, DWORD start);

// Number of set bits in [start, limit); 0 when start >= limit.
DWORD BitCount(const void* bits, DWORD limit, DWORD start);
DWORD BitCountMsb(const void* bits, DWORD limit, DWORD start);

// Set, clear or invert bits [start, start + count) in least-significant-first
// order. A negative start or a count below 1 does nothing.
void BitSetRange(void* bytes, int start, int count);
void BitClearRange(void* bytes, int start, int count);
void BitToggleRange(void* bytes, int start, int count);

// The low n bits of value in reverse order (bit 0 becomes bit n - 1); 0 when n
// is not in 1..64.
uint64_t BitReverse(uint64_t value, int n);
