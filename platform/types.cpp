#include "platform/types.h"

static_assert(sizeof(DWORD) == 4 && sizeof(WORD) == 2 && sizeof(BYTE) == 1);
static_assert(sizeof(wchar16) == 2);
static_assert(sizeof(UINT_PTR) == sizeof(void*));
