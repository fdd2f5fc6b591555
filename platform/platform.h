// Umbrella header of the platform layer.
#pragma once

#include "platform/types.h"
#include "platform/localtime.h"
#include "platform/stdio.h"
