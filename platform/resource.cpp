#include "platform/resource.h"

#include <type_traits>

// Programs that declare no resources link against this empty table; the
// table that zelvaro_resources() generates overrides it.
extern "C" __attribute__((weak)) const ResourceTable zelvaro_resource_table = {nullptr, 0};

namespace {

unsigned UpperAscii(unsigned c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; }

template <class Char>
bool TextMatches(const char* stored, const Char* wanted) {
  for (;; ++stored, ++wanted) {
    unsigned a = static_cast<unsigned char>(*stored);
    unsigned b = static_cast<std::make_unsigned_t<Char>>(*wanted);
    if (UpperAscii(a) != UpperAscii(b)) return false;
    if (a == 0) return true;
  }
}

bool KeyMatches(WORD storedId, const char* storedText, const ResourceKey& key) {
  if (key.text != nullptr) return storedText != nullptr && TextMatches(storedText, key.text);
  if (key.wtext != nullptr) return storedText != nullptr && TextMatches(storedText, key.wtext);
  return storedText == nullptr && storedId == key.id;
}

}  // namespace

bool ResourceFind(const ResourceKey& type, const ResourceKey& name, const BYTE** data,
                  DWORD* size) {
  const ResourceTable& table = zelvaro_resource_table;
  for (int i = 0; i < table.count; ++i) {
    const ResourceEntry& e = table.entries[i];
    if (KeyMatches(e.typeId, e.typeText, type) && KeyMatches(e.nameId, e.nameText, name)) {
      if (data != nullptr) *data = e.begin;
      if (size != nullptr) *size = DWORD(e.end - e.begin);
      return true;
    }
  }
  return false;
}
