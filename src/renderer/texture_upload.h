// Upload of 8-bit RGBA texel buffers in the pixel format the renderer settings select.
#pragma once

#include <cstdint>

// Uploads level 0 of the texture bound to `target` (GL_TEXTURE_2D, or GL_TEXTURE_3D when depth > 0)
// from `texels`, 8-bit RGBA. The selector picks the internal format and the pixel type; for the
// half-float and float types the bytes are first widened to that type (value / 255), because the
// upload reads two or four times as many bytes as an 8-bit buffer holds. Returns 1, or 0 when the
// selector is unknown (nothing uploaded) or the widened copy cannot be allocated.
int32_t uploadTexels(uint32_t target, int32_t formatSelector, int32_t width, int32_t height, int32_t depth,
                     const uint8_t* texels);

// Half-precision bits of k / 255, rounded to nearest.
uint16_t halfFromUnorm8(uint8_t value);
