#include "framework/memory.h"
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

TEST(DistanceField, TilesWithoutContourGetTheFarthestDistance) {
    struct Case {
        uint8_t coverage;
        uint8_t alpha;
    } cases[] = {
        {0, 255},   // empty: S = 96, sqrt(96) * 16 + 128 clamps to 255
        {127, 255}, // still outside
        {128, 0},   // exactly the level counts as inside: S = -96
        {255, 0},
    };
    for (const Case& c : cases) {
        auto texels = coverageImage(kTile, kTile, [&](int32_t, int32_t) { return c.coverage; });
        ASSERT_EQ(convertToDistanceField(texels.data(), kTile, kTile, kTile), texels.data());
        for (int32_t i = 0; i < kTile * kTile; ++i) {
            ASSERT_EQ(texels[i * 4 + 0], c.coverage) << "R is kept";
            ASSERT_EQ(texels[i * 4 + 1], 128) << int(c.coverage) << " texel " << i;
            ASSERT_EQ(texels[i * 4 + 2], 128) << int(c.coverage) << " texel " << i;
            ASSERT_EQ(texels[i * 4 + 3], c.alpha) << int(c.coverage) << " texel " << i;
        }
    }
}

TEST(DistanceField, CaseTableNamesTheSegmentStarts) {
    // Corners 0 (below) and 256 (above) put every crossing at its edge's midpoint:
    // E0 (0.5, 0), E1 (1, 0.5), E2 (0.5, 1), E3 (0, 0.5).
    const ContourPoint edge[4] = {{0.5f, 0.0f}, {1.0f, 0.5f}, {0.5f, 1.0f}, {0.0f, 0.5f}};
    const std::vector<int> starts[16] = {{},  {3}, {0},    {3}, {1}, {3, 1}, {0}, {3},
                                         {2}, {2}, {0, 2}, {2}, {1}, {1},    {0}, {}};
    for (int32_t index = 0; index < 16; ++index) {
        // Field order a (0,0), b (1,0), d (0,1), c (1,1).
        auto level = [&](int32_t bit) { return index & (1 << bit) ? 0.0f : 256.0f; };
        const float field[4] = {level(0), level(1), level(3), level(2)};
        ContourPoint points[4] = {};
        int32_t count = findContourPoints(field, 2, points, 4);
        ASSERT_EQ(count, static_cast<int32_t>(starts[index].size())) << "case " << index;
        for (int32_t n = 0; n < count; ++n) {
            EXPECT_EQ(points[n].x, edge[starts[index][n]].x) << "case " << index << " point " << n;
            EXPECT_EQ(points[n].y, edge[starts[index][n]].y) << "case " << index << " point " << n;
        }
    }

    // Interpolation runs from the edge's first corner: case 3 starts on E3, from d = 255 to a = 0.
    const float skewed[4] = {0.0f, 64.0f, 255.0f, 255.0f};
    ContourPoint point{};
    ASSERT_EQ(findContourPoints(skewed, 2, &point, 1), 1);
    EXPECT_FLOAT_EQ(point.x, 0.0f);
    EXPECT_FLOAT_EQ(point.y, 1.0f - 127.0f / 255.0f);

    // A corner at exactly 128 does not count as below: all four at the level is case 0.
    const float onLevel[4] = {128.0f, 128.0f, 128.0f, 128.0f};
    EXPECT_EQ(findContourPoints(onLevel, 2, &point, 1), 0);
}

TEST(DistanceField, SegmentListIsBoundedByItsCapacity) {
    // A checkerboard makes every cell a saddle (case 5 or 10): two segments per cell.
    std::vector<float> field(kTile * kTile);
    for (int32_t y = 0; y < kTile; ++y)
        for (int32_t x = 0; x < kTile; ++x) field[y * kTile + x] = (x + y) & 1 ? 255.0f : 0.0f;
    std::vector<ContourPoint> points(maxContourSegments(kTile) + 1, ContourPoint{-1.0f, -1.0f});
    EXPECT_EQ(findContourPoints(field.data(), kTile, points.data(), maxContourSegments(kTile)), 2 * 63 * 63);
    EXPECT_EQ(points.back().x, -1.0f);
    EXPECT_EQ(findContourPoints(field.data(), kTile, points.data(), 100), 100);

    // Converted, every texel is half a texel from the contour: A = 128 +- sqrt(0.5) * 16.
    auto texels = coverageImage(kTile, kTile, [](int32_t x, int32_t y) { return (x + y) & 1 ? 255 : 0; });
    ASSERT_NE(convertToDistanceField(texels.data(), kTile, kTile, kTile), nullptr);
    for (int32_t y = 0; y < kTile; ++y)
        for (int32_t x = 0; x < kTile; ++x)
            ASSERT_EQ(texelAt(texels, kTile, x, y)[3], (x + y) & 1 ? 116 : 139);
}

TEST(DistanceField, TexelOnTheContourAndItsNeighbours) {
    // Columns 0-31 at exactly 128, the rest empty: the contour points sit on the texels of column 31,
    // which are inside with distance zero (sign 0, A = 128).
    auto texels = coverageImage(kTile, kTile, [](int32_t x, int32_t) { return x < 32 ? 128 : 0; });
    ASSERT_NE(convertToDistanceField(texels.data(), kTile, kTile, kTile), nullptr);
    for (int32_t y : {0, 20, 62}) {
        EXPECT_EQ(texelAt(texels, kTile, 31, y)[3], 128) << y;
        EXPECT_EQ(texelAt(texels, kTile, 30, y)[3], 112) << y; // S = -1
        EXPECT_EQ(texelAt(texels, kTile, 32, y)[3], 144) << y; // S = 1
        EXPECT_EQ(texelAt(texels, kTile, 35, y)[3], 160) << y; // S = 4
    }
}

TEST(DistanceField, GradientAtTheTileBorderReusesTheBorderTexel) {
    // Inside before a straight edge near 31.5: S grows by one texel per step across it, so the
    // central difference is 2 (254.5 after encoding) and the one-sided difference at the two
    // borders 1 (191.25); along the edge nothing changes (128). Once across x (G), once across y (B).
    for (int32_t across = 0; across < 2; ++across) {
        auto texels = coverageImage(kTile, kTile,
                                    [&](int32_t x, int32_t y) { return (across ? y : x) < 32 ? 255 : 0; });
        ASSERT_NE(convertToDistanceField(texels.data(), kTile, kTile, kTile), nullptr);
        auto encoded = [&](int32_t a, int32_t b, int32_t channel) {
            return texelAt(texels, kTile, across ? b : a, across ? a : b)[channel];
        };
        const int32_t acrossChannel = 1 + across, alongChannel = 2 - across;
        for (int32_t along : {5, 10, 40, 61}) {
            EXPECT_EQ(encoded(0, along, acrossChannel), 191) << across << " " << along;
            EXPECT_EQ(encoded(63, along, acrossChannel), 191) << across << " " << along;
            EXPECT_EQ(encoded(10, along, acrossChannel), 254) << across << " " << along;
            EXPECT_EQ(encoded(50, along, acrossChannel), 254) << across << " " << along;
            EXPECT_EQ(encoded(10, along, alongChannel), 128) << across << " " << along;
        }
    }
}

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
    float worst = 0.0f;
    for (int32_t y = 0; y < kTile; ++y)
        for (int32_t x = 0; x < kTile; ++x) {
            const uint8_t* texel = texelAt(texels, kTile, x, y);
            float truth = std::hypot(x - cx, y - cy) - radius;
            float error = std::fabs(decodeDistance(texel[3]) - truth);
            worst = std::fmax(worst, error);
            ASSERT_LE(error, 1.0f) << x << "," << y << " true " << truth << " A " << int(texel[3]);
        }
    std::printf("disc: largest distance error %.3f texels\n", worst);

    // The gradient points away from the centre: 128 + 126.5 * the unit direction, where the
    // central difference is not cut by the clamp or the disc's centre.
    for (auto [x, y] : {std::pair{55, 31}, {8, 31}, {32, 5}, {32, 58}, {50, 48}, {12, 12}}) {
        float dx = x - cx, dy = y - cy, length = std::hypot(dx, dy);
        const uint8_t* texel = texelAt(texels, kTile, x, y);
        EXPECT_NEAR(texel[1], 128.0f + 126.5f * dx / length, 6.0f) << x << "," << y;
        EXPECT_NEAR(texel[2], 128.0f + 126.5f * dy / length, 6.0f) << x << "," << y;
    }
}

TEST(DistanceField, DistancesStayInsideTheirTile) {
    // Two tiles side by side, a block only in the left one: the right tile sees no contour.
    auto texels = coverageImage(2 * kTile, kTile, [](int32_t x, int32_t y) {
        return x >= 40 && x < 64 && y >= 20 && y < 40 ? 255 : 0;
    });
    ASSERT_NE(convertToDistanceField(texels.data(), 2 * kTile, kTile, kTile), nullptr);
    for (int32_t y = 0; y < kTile; ++y)
        for (int32_t x = kTile; x < 2 * kTile; ++x) {
            const uint8_t* texel = texelAt(texels, 2 * kTile, x, y);
            ASSERT_EQ(texel[1], 128);
            ASSERT_EQ(texel[3], 255) << x << "," << y;
        }
    EXPECT_LT(texelAt(texels, 2 * kTile, 50, 30)[3], 128);
}

TEST(DistanceField, MissingScratchMemoryLeavesTheImageUnchanged) {
    auto texels = coverageImage(kTile, kTile, [](int32_t x, int32_t) { return x < 10 ? 255 : 0; });
    const auto before = texels;
    int64_t live = memLiveBlocks();
    for (int64_t failing = 0; failing < 3; ++failing) {
        memFailAllocations(failing, 1);
        EXPECT_EQ(convertToDistanceField(texels.data(), kTile, kTile, kTile), nullptr) << failing;
        memFailAllocations(0, 0);
        EXPECT_EQ(texels, before);
        EXPECT_EQ(memLiveBlocks(), live);
    }
}
