// What the enumerator and the kept item share: questions asked of an
// absolute item-ID list, an ID's size and bounded copies of texts.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/types.h"

namespace shellitem_detail {

// The u16 byte count at the start of an ID.
inline uint32_t IdSize(const BYTE* id) { return uint32_t(id[0] | (id[1] << 8)); }
// At most size - 1 of the first length bytes of text, terminated.
void CopyText(char* out, int size, const char* text, size_t length);
// The type name (SHELLITEM_TYPE_SIZE) and icon index of what list names;
// false / -1 for a null list or when the shell has no answer.
bool ListTypeName(const BYTE* list, char* out);
int ListIconIndex(const BYTE* list, uint32_t flags);

}  // namespace shellitem_detail
