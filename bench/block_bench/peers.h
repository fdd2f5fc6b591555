// The peers the block benchmark measures against: the same operations
// written plainly with the standard library, each out of line like ours.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace peer {

void FillDoubles(double* dst, double value, size_t count);

int LenN(const char* text, int maxLen);
int CopyN(char* dst, const char* src, int dstSize);
int CopyMax(char* dst, const char* src, int dstSize, int maxChars);
int AppendN(char* dst, const char* src, int dstSize);

// Bit arrays of 64-bit words (8-byte aligned), handed over like ours.
uint32_t BitCount(const void* words, uint32_t limit, uint32_t start);
uint32_t FindNextSet(const void* words, uint32_t limit, uint32_t start);
uint32_t FindNextClear(const void* words, uint32_t limit, uint32_t start);
void SetRange(std::vector<bool>& bits, int start, int count);
void ClearRange(std::vector<bool>& bits, int start, int count);
void ToggleRange(void* words, int start, int count);

}  // namespace peer
