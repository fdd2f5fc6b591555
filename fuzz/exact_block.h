// Shared by the text fuzz targets: heap blocks of exactly the size a function
// is told, so that ASan reports any write or read beyond it, and a check that
// stops the run.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>

namespace fuzz_support {

inline void Require(bool ok) {
  if (!ok) std::abort();
}

template <class T>
std::unique_ptr<T[]> Exact(size_t n) {
  return std::unique_ptr<T[]>(new T[n == 0 ? 1 : n]);
}

}  // namespace fuzz_support
