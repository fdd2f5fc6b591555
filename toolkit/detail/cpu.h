// Run-time checks for the vector instructions some toolkit loops use. Where
// the compiler cannot target x86 vector code, TOOLKIT_X86_SIMD stays undefined
// and the portable loops run alone.
#pragma once

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define TOOLKIT_X86_SIMD 1
#include <immintrin.h>

namespace toolkit_detail {

inline bool CpuHasAvx2() {
  static const bool have = __builtin_cpu_supports("avx2");
  return have;
}

inline bool CpuHasAvx512bw() {
  static const bool have = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
  return have;
}

}  // namespace toolkit_detail

#endif
