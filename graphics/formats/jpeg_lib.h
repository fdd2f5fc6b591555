// libjpeg's headers, with the declarations they expect to be there first
// (size_t, FILE).
#pragma once

// clang-format off
#include <cstddef>
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>
// clang-format on
