// The glyph atlas of texture unit 4: one 64 x 64 distance-field cell per 8-bit character code.
#pragma once

#include "renderer/records.h"

#include <cstdint>

// The cell size the atlas is laid out with; its truncations give the cell step and text offsets.
constexpr float kGlyphCellSize = 64.98399f;
constexpr int32_t kGlyphCellStep = static_cast<int32_t>(kGlyphCellSize);             // 64
constexpr int32_t kGlyphTextOffsetX = static_cast<int32_t>(kGlyphCellSize * 0.25f);  // 16
constexpr int32_t kGlyphTextOffsetY = static_cast<int32_t>(kGlyphCellSize * 0.125f); // 8
constexpr int32_t kGlyphCellHeight = 48;  // the font's ascent plus descent, in pixels
constexpr int32_t kGlyphAtlasSize = 1024; // 16 x 16 cells
constexpr int32_t kGlyphAtlasBytes = kGlyphAtlasSize * kGlyphAtlasSize * 4;

// Draws the 256 codes (bold, antialiased, white on black) into the R channel of a zero-filled
// 1024 x 1024 RGBA buffer, top row first: code c in column c mod 16, row c div 16. Code 0 is
// placed by its left edge, every later code centred, 21 pixels from its cell's left and with its
// character box 8 pixels below the cell's top. When no face can be opened the cells stay empty.
void rasteriseGlyphAtlas(uint8_t* pixels, const char* faceName, void* referenceContext);
// Rasterises, converts every cell to a distance field and flips the rows into GL order (bottom
// row first, so code c lies in texture column c mod 16, row 15 - c div 16). 1 on success, 0 when
// the distance field's scratch memory cannot be allocated. The device context is the platform's
// reference for the rasteriser (null on Linux).
int32_t renderGlyphAtlasTexels(uint8_t* pixels, const RendererSettings* settings, void* deviceContext);
// Builds the atlas and uploads it into a new texture whose name goes into `targets`. 0 when
// memory runs out (no texture is made) or the format selector is unknown (the name exists,
// nothing is uploaded); 1 otherwise.
int32_t buildGlyphAtlas(RenderTargets* targets, const RendererSettings* settings, void* deviceContext);
