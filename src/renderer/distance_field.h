// Distance-field conversion of the glyph atlas: per square tile, the signed distance of every texel
// to the coverage contour at level 128 and its gradient, written into the G, B and A channels.
#pragma once

#include <cstdint>

// Coverage at or above this level is inside a glyph.
constexpr float kContourLevel = 128.0f;

struct ContourPoint {
    float x, y;
};

// A tile yields at most two contour segments per marching cell.
constexpr int32_t maxContourSegments(int32_t tileSize) {
    return 2 * (tileSize - 1) * (tileSize - 1);
}

// Marching squares over a size x size coverage field (row-major, top row first): for every cell,
// rows outer and columns inner, the segments of its case in table order. Stores the start point of
// each segment, at most `capacity` of them, and returns how many it stored.
int32_t findContourPoints(const float* coverage, int32_t size, ContourPoint* points, int32_t capacity);

// Rewrites G, B and A of an RGBA image from its R channel (coverage), tile by tile; distances
// never reach across a tile border. Per texel, with S the distance to the nearest contour point
// (negative where coverage >= 128, at most 1.5 tiles, scaled as if the tile were 64 texels):
//   G, B = tile * 0.98828125 * the central difference of S along x, y + 128 (63.25 for 64 texels)
//   A    = sign(S) * sqrt(|S|) * 16 + 128
// each clamped to 0...255 and truncated; lookups past the tile's border reuse the border texel.
// Only whole tiles are converted. Returns `texels`, or null when the scratch memory cannot be
// allocated (the image is then unchanged).
uint8_t* convertToDistanceField(uint8_t* texels, int32_t width, int32_t height, int32_t tileSize);
