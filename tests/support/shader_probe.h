// Probe programs: a fragment text drawn over a float target, its pixels read back as floats.
#pragma once

#include <cstdint>
#include <vector>

// RGBA32F texture of w x h texels (rows bottom first), nearest filtering, no mipmaps, clamped.
uint32_t makeFloatTexture2D(int32_t width, int32_t height, const float* rgba);

// Builds `fragmentText` (includes expanded) and draws it once over a width x height RGBA32F
// target, outColor0 at location 0; returns the target's pixels, rows bottom first. Textures the
// probe samples are bound by the caller beforehand. Empty, with a test failure, when the program
// does not build.
std::vector<float> renderProbe(const char* fragmentText, int32_t width, int32_t height);

#include <string>

// Runs glslangValidator on a fragment text; the validator's log when it rejects the text, "" when
// it accepts it. Skips the calling test when the validator is not installed, or fails it where the
// build requires the validator (QUORLAX_REQUIRE_GLSLANG, set in CI).
#define EXPECT_GLSLANG_ACCEPTS(text)                                                                         \
    do {                                                                                                     \
        if (!glslangAvailable()) {                                                                           \
            if (glslangRequired()) FAIL() << "glslangValidator missing, and this build requires it";         \
            GTEST_SKIP() << "glslangValidator missing";                                                      \
        }                                                                                                    \
        EXPECT_EQ(glslangErrors(text), "");                                                                  \
    } while (0)
bool glslangAvailable();
bool glslangRequired();
std::string glslangErrors(const std::string& fragmentText);
