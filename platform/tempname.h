// Names of the temporary files that safe writes keep beside a target. Each
// must fit one folder entry however long the target's name is, and stay the
// same for every call on that target, so the next call finds what a killed
// one left.
#pragma once

#include <cstddef>
#include <string>

#include "platform/dirhandle.h"  // SYS_MAX_NAME_BYTES

// prefix + name + suffix, for `name` one folder entry: as it is where it fits
// maxBytes; otherwise the name is cut (never inside a UTF-8 sequence) and
// '~' and 16 hexadecimal digits of a hash of the whole name follow the cut,
// so two long names that begin alike get temporaries of their own.
std::string SysTemporaryName(const std::string& prefix, const std::string& name, const std::string& suffix,
                             size_t maxBytes = SYS_MAX_NAME_BYTES);
// The same for the last part of a path (behind its last '/' or '\'); the
// folders stay as written, so the temporary sits beside the target.
std::string SysTemporaryPath(const std::string& path, const std::string& suffix);
