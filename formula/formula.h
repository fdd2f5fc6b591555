// Umbrella header of the formula library.
#pragma once

#include "toolkit/toolkit.h"
