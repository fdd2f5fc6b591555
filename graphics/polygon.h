// Limits of CGraphicsImage::FillPolygon and FillPolygonShader.
#pragma once

// The most points a polygon may have.
inline constexpr int POLYGON_MAX_POINTS = 64;
