// The three built-in bitmap fonts for CGraphicsImage::SelectFont: DejaVu
// Sans rasterised by tools/fontgen at about 10, 19 and 42 pixels, layout A
// with all 256 codes, every glyph of a font equally high (14, 24 and 55
// rows) and the digits equally wide (6, 12 and 27 pixels).
#pragma once

#include <cstddef>

#include "platform/types.h"

extern const BYTE BuiltinFont14[];
extern const size_t BuiltinFont14Size;
extern const BYTE BuiltinFont24[];
extern const size_t BuiltinFont24Size;
extern const BYTE BuiltinFont55[];
extern const size_t BuiltinFont55Size;
