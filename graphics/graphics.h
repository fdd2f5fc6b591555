// Umbrella header of the graphics library.
#pragma once

#include "files/files.h"
