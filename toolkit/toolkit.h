// Umbrella header of the toolkit library.
#pragma once

#include "platform/platform.h"
