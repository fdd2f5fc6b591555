// Block converters behind Utf8ToWide and WideToUtf8: they convert runs of
// 1-3-byte characters (no pairs, no terminator, no stray bytes) sixteen source
// bytes or eight units at a time and leave everything else to the character
// loops, so the results never depend on which path ran. Internal to the
// toolkit; tests switch the vector paths off to check the plain loops alone.
#pragma once

#include "platform/types.h"

namespace unicode_detail {

// Converts clean blocks of src[*i, srcLen) into dst from *pos while the whole
// block stays within `limit` output units. Stops at the first block that needs
// the character loop; *i and *pos always rest on character boundaries.
void Utf8ToWideBlocks(wchar16* dst, int* pos, int limit, const unsigned char* src, int* i,
                      int srcLen);
// The same for 16-bit text to UTF-8; every character written starts below
// `limit` (dstSize-4) and no byte is stored at or past limit+4. *chars counts
// the characters converted.
void WideToUtf8Blocks(char* dst, int* pos, int limit, const wchar16* src, int* i, int srcLen,
                      int* chars);

// Which block code runs: none (the character loops alone), the SSE2
// baseline, or the best the processor offers (SSSE3 for Utf8ToWide).
enum class VectorLevel { None, Sse2, Best };

// True unless the level is None; on hosts without SSE2 always false.
bool VectorPathsEnabled();
// For tests and benchmarks.
void SetVectorLevel(VectorLevel level);

}  // namespace unicode_detail
