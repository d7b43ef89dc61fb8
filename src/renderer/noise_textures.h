// The value-noise lattices of texture units 5 to 8, filled from a fixed-seed generator.
#pragma once

#include "renderer/records.h"

#include <cstdint>

// Every fill restarts the generator here, so all runs produce the same texels.
constexpr int32_t kNoiseSeed = 12345;
constexpr int32_t kNoiseSize2D = 256; // 256 x 256 texels
constexpr int32_t kNoiseSize3D = 32;  // 32 x 32 x 32 texels
constexpr int32_t kNoiseBytes2D = kNoiseSize2D * kNoiseSize2D * 4;
constexpr int32_t kNoiseBytes3D = kNoiseSize3D * kNoiseSize3D * kNoiseSize3D * 4;

// One step of the generator: state = state * 214013 + 2531011 (mod 2^32); returns bits 16 to 30
// of the new state.
int32_t nextRandom(int32_t* state);
// The low byte of nextRandom (bits 16 to 23 of the new state).
uint8_t nextRandomByte(int32_t* state);

struct Texel {
    uint8_t r, g, b, a;
};

// Texel access in an RGBA buffer with rows stored one after the other. Writers ignore coordinates
// outside the image and readers return (0, 0, 0, 0) for them.
void setTexel2D(uint8_t* texels, int32_t width, int32_t height, int32_t x, int32_t y, Texel value);
Texel getTexel2D(const uint8_t* texels, int32_t width, int32_t height, int32_t x, int32_t y);
// A 32 x 32 x 32 volume, x varying fastest, then y, then z.
void setTexel3D(uint8_t* texels, int32_t x, int32_t y, int32_t z, Texel value);
Texel getTexel3D(const uint8_t* texels, int32_t x, int32_t y, int32_t z);

// Fills every texel, visiting rows in order (z, then y, then x innermost). Gray draws one byte per
// texel (R = G = B, A = 255); colour draws three, in the order R, G, B (A = 255).
void fillGrayNoise2D(uint8_t* texels);
void fillColorNoise2D(uint8_t* texels);
void fillGrayNoise3D(uint8_t* texels);
void fillColorNoise3D(uint8_t* texels);

// Fills a buffer, makes the texture, stores its name in `targets` and uploads level 0 in the
// format the selector picks. 0 when the buffer cannot be allocated (no GL object is made) or the
// selector is unknown (the name exists and is bound, nothing is uploaded); 1 otherwise.
// No sampling is set here; the frame pass applies it every frame.
int32_t createGrayNoiseTexture2D(RenderTargets* targets, const RendererSettings* settings);
int32_t createColorNoiseTexture2D(RenderTargets* targets, const RendererSettings* settings);
int32_t createGrayNoiseTexture3D(RenderTargets* targets, const RendererSettings* settings);
int32_t createColorNoiseTexture3D(RenderTargets* targets, const RendererSettings* settings);
