// What the path functions share about the host: full paths and the UTF-8
// spelling wide paths take on their way to the file system. Internal to
// files/.
#pragma once

#include <string>

#include "platform/types.h"

namespace files_detail {

// The full path of path; empty when it has none.
std::string FullPathOf(const char* path);
// path with its "." and ".." read off the spelling, as Windows reads them:
// the host resolves those after following a link the name before them may
// be, so "link/.." would be the folder above the link's target. The full
// path where a "." or ".." follows a name (empty when it has none), else
// path as it is.
std::string LexicalPath(const char* path);
// A wide path as UTF-8; false for null or a path with a lone surrogate,
// which has no UTF-8 spelling and so names nothing.
bool NarrowPath(const wchar16* path, std::string& out);
// UTF-8 text as UTF-16.
std::u16string WidenUtf8(const std::string& text);

}  // namespace files_detail
