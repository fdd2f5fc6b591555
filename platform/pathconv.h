// Wide (UTF-16) paths become the UTF-8 bytes the POSIX file functions take.
// The platform layer converts on its own so that it depends on nothing above.
#pragma once

#include <string>

#include "platform/types.h"

// Converts a NUL-terminated UTF-16 path to UTF-8 in `out`. False (and `out`
// emptied) when the path holds a lone surrogate: such a name has no UTF-8
// spelling, and guessing one could name another file.
bool PathToUtf8(const wchar16* path, std::string& out);
