// Feeds arbitrary bytes to the registry store's file reader. Whatever it
// accepts must write back in a form that reads again to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/registry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string first;
  if (platform::RegistryReformatStoreImage(data, size, &first) != ERROR_SUCCESS) return 0;
  std::string second;
  if (platform::RegistryReformatStoreImage(reinterpret_cast<const BYTE*>(first.data()),
                                           first.size(), &second) != ERROR_SUCCESS ||
      second != first) {
    std::abort();
  }
  return 0;
}
