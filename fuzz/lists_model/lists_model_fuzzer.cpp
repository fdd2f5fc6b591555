// Operation sequences on the string list, the arrays and the byte buffer,
// each step checked against a std model; a difference aborts.
#include <cstdio>
#include <cstdlib>

#include "lists_model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lists_model::Result r = lists_model::RunAny(data, size);
  if (!r.error.empty()) {
    std::fprintf(stderr, "model difference: %s\n", r.error.c_str());
    for (const std::string& line : r.log) std::fprintf(stderr, "  %s\n", line.c_str());
    std::abort();
  }
  return 0;
}
