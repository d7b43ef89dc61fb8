// Writes GL textures to PNG files for looking at them: set QUORLAX_DUMP_DIR and run a test that
// dumps, e.g. QUORLAX_DUMP_DIR=/tmp build/bin/test_renderer --gtest_filter='GlyphAtlas*'.
#pragma once

#include <cstdint>
#include <string>

// What the picture shows of the RGBA texels.
enum TextureView : int32_t {
    TextureViewRgba, // as stored
    TextureViewRgb,  // alpha forced to 255, so a distance encoding in A does not hide the colours
    TextureViewRed,  // one channel as grey
    TextureViewGreen,
    TextureViewBlue,
    TextureViewAlpha,
};

// Level 0 of a 2D texture, upright (GL's bottom row at the bottom of the picture), or of a 3D
// texture with its slices stacked top to bottom. 1 when the file was written.
int32_t dumpTexturePng(uint32_t target, uint32_t texture, const char* path, TextureView view);

// The folder QUORLAX_DUMP_DIR names joined with `name`, or "" when the variable is unset.
std::string textureDumpPath(const char* name);
