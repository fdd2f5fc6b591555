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
#include "graphics/formats/png_writer.h"
#include "graphics/formats/jpeg_writer.h"
#include "graphics/formats/jpeg_dest.h"
