// SaveImage: stores an image as a picture file, the writer chosen by the
// file name's extension.
#pragma once

#include "graphics/image.h"

// Results of SaveImage.
enum : int {
  SAVE_IMAGE_OK = 0,
  SAVE_IMAGE_FAILED = -1,          // the writer failed; GraphicsErrorText tells why
  SAVE_IMAGE_UNKNOWN_FORMAT = -2,  // no writer for the extension (or no path)
  SAVE_IMAGE_UNKNOWN_ERROR = -4,   // anything else, e.g. no memory for the writer
};

// Saves `image` to `path` with `comment` (null: none) where the format keeps
// one, applying GraphicsSaveOption. On failure GraphicsErrorText holds the
// message; a success leaves it as it was.
int SaveImage(const char* path, const CGraphicsImage& image, const char* comment);
