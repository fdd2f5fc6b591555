// The colour quantiser as it was before it was made fast: list-walking
// histogram lookups and box splits. Kept only to prove that the fast one
// gives the same palette, indices and progress calls on every image.
#pragma once

#include "graphics/image.h"

namespace quantref {

// Makes dst the 8-bit version of src as the old Quantize did; dst's progress
// callback is src's, called with the image under construction.
bool Quantize(CGraphicsImage& dst, const CGraphicsImage& src);

}  // namespace quantref
