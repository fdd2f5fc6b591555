#include "files/filebrowser_index.h"

namespace filebrowser_detail {

uint64_t NameIndex::KeyOf(const char* name, uint32_t length, int32_t folder) {
  // FNV-1a over the folded bytes, the length and the folder.
  uint64_t h = 14695981039346656037ull;
  auto mix = [&h](uint64_t byte) {
    h ^= byte;
    h *= 1099511628211ull;
  };
  for (uint32_t i = 0; i < length; ++i) {
    unsigned c = static_cast<unsigned char>(name[i]);
    if (c >= 'a' && c <= 'z') c -= 32;
    else if (c >= 0x80) c = 0x80 | (c & 0x0F);
    mix(c);
  }
  for (int shift = 0; shift < 32; shift += 8) {
    mix((length >> shift) & 0xFF);
    mix((static_cast<uint32_t>(folder) >> shift) & 0xFF);
  }
  return h;
}

void NameIndex::Reset() {
  map_.clear();
  built_ = true;
  positions_ = true;
}

void NameIndex::Drop() {
  map_.clear();
  built_ = false;
}

void NameIndex::Added(uint64_t key, uint32_t at, bool last) {
  if (!built_) return;
  if (!last) positions_ = false;
  auto [it, fresh] = map_.try_emplace(key, Entry{0, at});
  // Appended behind every other item: an earlier item of the key stays first.
  ++it->second.count;
  (void)fresh;
}

void NameIndex::Removing(uint64_t key, bool last) {
  if (!built_) return;
  // Only the last item goes without moving others; the first item of its key
  // is then still the first (it lies before it, or the key goes).
  if (!last) positions_ = false;
  auto it = map_.find(key);
  if (it == map_.end()) return;
  if (--it->second.count == 0) map_.erase(it);
}

int64_t NameIndex::First(uint64_t key) const {
  auto it = map_.find(key);
  if (it == map_.end()) return -2;
  return positions_ ? int64_t(it->second.first) : -1;
}

}  // namespace filebrowser_detail
