#include "base/memory.h"
#include "renderer/distance_field.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

namespace {

constexpr int32_t kTile = 64;

// An RGBA image whose R channel is coverage(x, y); G, B, A start at a marker value.
std::vector<uint8_t> coverageImage(int32_t width, int32_t height,
                                   const std::function<uint8_t(int32_t, int32_t)>& coverage) {
    std::vector<uint8_t> texels(static_cast<size_t>(width) * height * 4, 77);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) texels[(static_cast<size_t>(y) * width + x) * 4] = coverage(x, y);
    return texels;
}

const uint8_t* texelAt(const std::vector<uint8_t>& texels, int32_t width, int32_t x, int32_t y) {
    return &texels[(static_cast<size_t>(y) * width + x) * 4];
}

// The signed distance an A byte stands for (the middle of its step).
float decodeDistance(uint8_t a) {
    float root = (a + 0.5f - 128.0f) / 16.0f;
    return root < 0.0f ? -root * root : root * root;
}

} // namespace

TEST(DistanceField, DiscDistancesFollowTheTrueCircle) {
    const float cx = 32.3f, cy = 30.7f, radius = 18.0f;
    // Antialiased coverage: a one-texel ramp across the rim, 128 on the circle.
    auto coverage = [&](int32_t x, int32_t y) {
        float d = std::hypot(x - cx, y - cy);
        float value = (radius - d) * 255.0f + 128.0f;
        return static_cast<uint8_t>(value < 0.0f ? 0.0f : value > 255.0f ? 255.0f : value);
    };
    auto texels = coverageImage(kTile, kTile, coverage);
    ASSERT_NE(convertToDistanceField(texels.data(), kTile, kTile, kTile), nullptr);
    for (int32_t y = 0; y < kTile; ++y)
        for (int32_t x = 0; x < kTile; ++x) {
            const uint8_t* texel = texelAt(texels, kTile, x, y);
            float truth = std::hypot(x - cx, y - cy) - radius;
            float error = std::fabs(decodeDistance(texel[3]) - truth);
            ASSERT_LE(error, 1.0f) << x << "," << y << " true " << truth << " A " << int(texel[3]);
        }

    // The gradient points away from the centre: 128 + 126.5 * the unit direction, where the
    // central difference is not cut by the clamp or the disc's centre.
    for (auto [x, y] : {std::pair{55, 31}, {8, 31}, {32, 5}, {32, 58}, {50, 48}, {12, 12}}) {
        float dx = x - cx, dy = y - cy, length = std::hypot(dx, dy);
        const uint8_t* texel = texelAt(texels, kTile, x, y);
        EXPECT_NEAR(texel[1], 128.0f + 126.5f * dx / length, 6.0f) << x << "," << y;
        EXPECT_NEAR(texel[2], 128.0f + 126.5f * dy / length, 6.0f) << x << "," << y;
    }
}
