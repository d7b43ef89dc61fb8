#include "renderer/texture_upload.h"

#include "base/memory.h"
#include "renderer/gl_entries.h"
#include "renderer/render_targets.h"

#include <bit>
#include <cstddef>

uint16_t halfFromUnorm8(uint8_t value) {
    if (value == 0) return 0;
    // Every k / 255 with k >= 1 is a normal half, so rebiasing the exponent (127 -> 15) and rounding
    // the mantissa from 23 to 10 bits is exact enough; a rounding carry moves into the exponent.
    uint32_t bits = std::bit_cast<uint32_t>(static_cast<float>(value) / 255.0f);
    return static_cast<uint16_t>((bits - ((127u - 15u) << 23) + 0x1000u) >> 13);
}

namespace {

void* widenTexels(uint32_t pixelType, const uint8_t* texels, size_t count) {
    if (pixelType == GL_FLOAT) {
        auto* wide = static_cast<float*>(memAlloc(count * sizeof(float)));
        if (wide)
            for (size_t i = 0; i < count; ++i) wide[i] = static_cast<float>(texels[i]) / 255.0f;
        return wide;
    }
    auto* wide = static_cast<uint16_t*>(memAlloc(count * sizeof(uint16_t)));
    if (wide)
        for (size_t i = 0; i < count; ++i) wide[i] = halfFromUnorm8(texels[i]);
    return wide;
}

} // namespace

int32_t uploadTexels(uint32_t target, int32_t formatSelector, int32_t width, int32_t height, int32_t depth,
                     const uint8_t* texels) {
    int32_t internalFormat = 0;
    uint32_t pixelType = 0;
    if (!textureFormatFor(formatSelector, &internalFormat, &pixelType)) return 0;
    const void* data = texels;
    void* wide = nullptr;
    if (pixelType != GL_UNSIGNED_BYTE) {
        size_t count = static_cast<size_t>(width) * height * (depth > 0 ? depth : 1) * 4;
        wide = widenTexels(pixelType, texels, count);
        if (!wide) return 0;
        data = wide;
    }
    if (depth > 0)
        GLX(glTexImage3D)(target, 0, internalFormat, width, height, depth, 0, GL_RGBA, pixelType, data);
    else
        glTexImage2D(target, 0, internalFormat, width, height, 0, GL_RGBA, pixelType, data);
    memFree(wide);
    return 1;
}
