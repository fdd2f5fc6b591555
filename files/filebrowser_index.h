// The browser's index of item names: how many items of each folder carry a
// name (compared without regard to case), and where the first of them sits,
// so that the duplicate checks of a listing and of AddPath cost one look-up
// instead of a pass over every item.
#pragma once

#include <cstdint>
#include <unordered_map>

namespace filebrowser_detail {

class NameIndex {
 public:
  // The key of a name in a folder. Names that the case-blind compare finds
  // equal share a key: ASCII letters fold to capitals, and bytes above 0x7F
  // keep their low four bits only, which every case pair of Latin-1 and
  // Windows-1252 (both halves of a pair, whatever table is installed)
  // shares. Different names may share a key too: the caller compares.
  static uint64_t KeyOf(const char* name, uint32_t length, int32_t folder);

  // An empty index of an empty item list.
  void Reset();
  // Forgets everything: the items changed in a way not told item by item.
  void Drop();
  bool Built() const { return built_; }
  // An item of `key` now sits at `at`; `last`: it was put at the end, so no
  // other item moved.
  void Added(uint64_t key, uint32_t at, bool last);
  // The item of `key` at `at` is going; `last`: it is the last item.
  void Removing(uint64_t key, bool last);
  // Items changed places (a sort, a move).
  void Moved() { positions_ = false; }
  // No item of key: -2. Else the index of the first item of key, at or
  // before every other, or -1 while places are not known.
  int64_t First(uint64_t key) const;

 private:
  struct Entry {
    uint32_t count;
    uint32_t first;
  };
  std::unordered_map<uint64_t, Entry> map_;
  bool built_ = true;
  bool positions_ = true;
};

}  // namespace filebrowser_detail
