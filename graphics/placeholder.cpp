// Keeps the graphics library non-empty while its folder fills.
#include "graphics/graphics.h"
