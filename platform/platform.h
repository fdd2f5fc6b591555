// Umbrella header of the platform layer.
#pragma once

#include "platform/types.h"
