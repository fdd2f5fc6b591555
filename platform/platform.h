// Umbrella header of the platform layer.
#pragma once

#include "platform/types.h"
#include "platform/localtime.h"
#include "platform/stdio.h"
#include "platform/handles.h"
#include "platform/faults.h"
#include "platform/bitmap.h"
#include "platform/screen.h"
#include "platform/globalmem.h"
#include "platform/clipboard.h"
#include "platform/fileio.h"
#include "platform/pathconv.h"
#include "platform/resource.h"
#include "platform/replace.h"
#include "platform/cstring.h"
#include "platform/pathsys.h"
#include "platform/registry.h"
