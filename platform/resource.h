// Resources of the program's own file. An executable lists its resources in a
// manifest; the zelvaro_resources() CMake function embeds the files and emits
// the table below. Programs without resources link against an empty table.
#pragma once

#include "platform/types.h"

// A resource type or name: a 16-bit id, or a text compared without regard to
// ASCII case. Exactly one of the three forms is used.
struct ResourceKey {
  WORD id = 0;
  const char* text = nullptr;     // 8-bit (Latin-1) text
  const wchar16* wtext = nullptr; // 16-bit text

  static ResourceKey Id(WORD value) { return ResourceKey{value, nullptr, nullptr}; }
  static ResourceKey Text(const char* value) { return ResourceKey{0, value, nullptr}; }
  static ResourceKey Text(const wchar16* value) { return ResourceKey{0, nullptr, value}; }
};

// Standard resource types that have numbers.
enum : WORD {
  RESOURCE_TYPE_CURSOR = 1,
  RESOURCE_TYPE_BITMAP = 2,
  RESOURCE_TYPE_ICON = 3,
  RESOURCE_TYPE_HTML = 23,
};

// One embedded resource as the generated table stores it: a key is an id when
// its text is null; texts are upper case. The data runs from `begin` to `end`
// and is followed by four zero bytes that `end` does not count.
struct ResourceEntry {
  WORD typeId;
  const char* typeText;
  WORD nameId;
  const char* nameText;
  const BYTE* begin;
  const BYTE* end;
};

struct ResourceTable {
  const ResourceEntry* entries;
  int count;
};

// The executable's table (generated), or the empty one of the platform layer.
extern "C" const ResourceTable zelvaro_resource_table;

// Finds a resource by type and name. On success gives its bytes (read-only,
// alive for the whole run) and size; false when there is no such resource.
bool ResourceFind(const ResourceKey& type, const ResourceKey& name, const BYTE** data,
                  DWORD* size);
