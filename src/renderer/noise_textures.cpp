#include "renderer/noise_textures.h"

#include "base/memory.h"
#include "renderer/gl_entries.h"
#include "renderer/texture_upload.h"

int32_t nextRandom(int32_t* state) {
    // Unsigned arithmetic wraps modulo 2^32; the result is held as a signed value again.
    *state = static_cast<int32_t>(static_cast<uint32_t>(*state) * 214013u + 2531011u);
    return (*state >> 16) & 0x7FFF;
}

uint8_t nextRandomByte(int32_t* state) {
    return static_cast<uint8_t>(nextRandom(state) & 0xFF);
}

void setTexel2D(uint8_t* texels, int32_t width, int32_t height, int32_t x, int32_t y, Texel value) {
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    uint8_t* texel = texels + (static_cast<int64_t>(y) * width + x) * 4;
    texel[0] = value.r, texel[1] = value.g, texel[2] = value.b, texel[3] = value.a;
}

Texel getTexel2D(const uint8_t* texels, int32_t width, int32_t height, int32_t x, int32_t y) {
    if (x < 0 || y < 0 || x >= width || y >= height) return {0, 0, 0, 0};
    const uint8_t* texel = texels + (static_cast<int64_t>(y) * width + x) * 4;
    return {texel[0], texel[1], texel[2], texel[3]};
}

void setTexel3D(uint8_t* texels, int32_t x, int32_t y, int32_t z, Texel value) {
    if (z < 0 || z >= kNoiseSize3D) return;
    setTexel2D(texels + z * kNoiseSize3D * kNoiseSize3D * 4, kNoiseSize3D, kNoiseSize3D, x, y, value);
}

Texel getTexel3D(const uint8_t* texels, int32_t x, int32_t y, int32_t z) {
    if (z < 0 || z >= kNoiseSize3D) return {0, 0, 0, 0};
    return getTexel2D(texels + z * kNoiseSize3D * kNoiseSize3D * 4, kNoiseSize3D, kNoiseSize3D, x, y);
}

namespace {

Texel grayTexel(int32_t* state) {
    uint8_t r = nextRandomByte(state);
    return {r, r, r, 255};
}

Texel colorTexel(int32_t* state) {
    // Separate statements: the draws must happen in the order R, G, B.
    uint8_t r = nextRandomByte(state);
    uint8_t g = nextRandomByte(state);
    uint8_t b = nextRandomByte(state);
    return {r, g, b, 255};
}

using TexelSource = Texel (*)(int32_t* state);

void fill2D(uint8_t* texels, TexelSource source) {
    int32_t state = kNoiseSeed;
    for (int32_t y = 0; y < kNoiseSize2D; ++y)
        for (int32_t x = 0; x < kNoiseSize2D; ++x)
            setTexel2D(texels, kNoiseSize2D, kNoiseSize2D, x, y, source(&state));
}

void fill3D(uint8_t* texels, TexelSource source) {
    int32_t state = kNoiseSeed;
    for (int32_t z = 0; z < kNoiseSize3D; ++z)
        for (int32_t y = 0; y < kNoiseSize3D; ++y)
            for (int32_t x = 0; x < kNoiseSize3D; ++x) setTexel3D(texels, x, y, z, source(&state));
}

// The four textures differ only in this row: fill, size, target and the slot of their name.
struct NoiseTexture {
    void (*fill)(uint8_t* texels);
    int32_t bytes;
    uint32_t target;
    int32_t slot; // index into RenderTargets::noiseTextures (unit 5 + slot)
};

constexpr NoiseTexture kGrayNoise2D = {fillGrayNoise2D, kNoiseBytes2D, GL_TEXTURE_2D, 0};
constexpr NoiseTexture kColorNoise2D = {fillColorNoise2D, kNoiseBytes2D, GL_TEXTURE_2D, 1};
constexpr NoiseTexture kGrayNoise3D = {fillGrayNoise3D, kNoiseBytes3D, GL_TEXTURE_3D, 2};
constexpr NoiseTexture kColorNoise3D = {fillColorNoise3D, kNoiseBytes3D, GL_TEXTURE_3D, 3};

int32_t createNoiseTexture(const NoiseTexture& noise, RenderTargets* targets,
                           const RendererSettings* settings) {
    auto* texels = static_cast<uint8_t*>(memAlloc(static_cast<size_t>(noise.bytes)));
    if (!texels) return 0;
    noise.fill(texels);
    uint32_t* name = &targets->noiseTextures[noise.slot];
    glGenTextures(1, name);
    glBindTexture(noise.target, *name);
    int32_t result = 0;
    if (noise.target == GL_TEXTURE_3D)
        result = uploadTexels(noise.target, settings->textureFormatSelector, kNoiseSize3D, kNoiseSize3D,
                              kNoiseSize3D, texels);
    else
        result = uploadTexels(noise.target, settings->textureFormatSelector, kNoiseSize2D, kNoiseSize2D, 0,
                              texels);
    memFree(texels);
    return result;
}

} // namespace

void fillGrayNoise2D(uint8_t* texels) {
    fill2D(texels, grayTexel);
}
void fillColorNoise2D(uint8_t* texels) {
    fill2D(texels, colorTexel);
}
void fillGrayNoise3D(uint8_t* texels) {
    fill3D(texels, grayTexel);
}
void fillColorNoise3D(uint8_t* texels) {
    fill3D(texels, colorTexel);
}

int32_t createGrayNoiseTexture2D(RenderTargets* targets, const RendererSettings* settings) {
    return createNoiseTexture(kGrayNoise2D, targets, settings);
}
int32_t createColorNoiseTexture2D(RenderTargets* targets, const RendererSettings* settings) {
    return createNoiseTexture(kColorNoise2D, targets, settings);
}
int32_t createGrayNoiseTexture3D(RenderTargets* targets, const RendererSettings* settings) {
    return createNoiseTexture(kGrayNoise3D, targets, settings);
}
int32_t createColorNoiseTexture3D(RenderTargets* targets, const RendererSettings* settings) {
    return createNoiseTexture(kColorNoise3D, targets, settings);
}
