#include "platform/tempname.h"

#include <cstdint>

namespace {

// FNV-1a, 64 bits: any name gives the same digits on every host.
std::string HashDigits(const std::string& text) {
  uint64_t h = 14695981039346656037ull;
  for (unsigned char c : text) {
    h ^= c;
    h *= 1099511628211ull;
  }
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out(16, '0');
  for (int i = 15; i >= 0; --i, h >>= 4) out[size_t(i)] = kDigits[h & 15];
  return out;
}

}  // namespace

std::string SysTemporaryName(const std::string& prefix, const std::string& name, const std::string& suffix,
                             size_t maxBytes) {
  const size_t fixed = prefix.size() + suffix.size();
  if (fixed + name.size() <= maxBytes) return prefix + name + suffix;
  const std::string mark = "~" + HashDigits(name);
  size_t cut = maxBytes > fixed + mark.size() ? maxBytes - fixed - mark.size() : 0;
  while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
  return prefix + name.substr(0, cut) + mark + suffix;
}

std::string SysTemporaryPath(const std::string& path, const std::string& suffix) {
  const size_t slash = path.find_last_of("/\\");
  const size_t start = slash == std::string::npos ? 0 : slash + 1;
  return path.substr(0, start) + SysTemporaryName(std::string(), path.substr(start), suffix);
}
