// Umbrella header of the graphics library.
#pragma once

#include "files/files.h"
#include "graphics/image.h"
#include "graphics/pixel.h"
#include "graphics/colour.h"
#include "graphics/globals.h"
#include "graphics/pen.h"
#include "graphics/fonts/builtin_fonts.h"
#include "graphics/exception.h"
#include "graphics/comment.h"
#include "graphics/writer.h"
#include "graphics/save.h"
#include "graphics/formats/bmp_writer.h"
