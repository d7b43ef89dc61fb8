#include "framework/memory.h"
#include "renderer/gl_entries.h"
#include "renderer/noise_textures.h"
#include "renderer/texture_upload.h"
#include "support/gl_test.h"
#include "support/texture_dump.h"

#include <cmath>
#include <cstring>
#include <tuple>
#include <utility>
#include <vector>

namespace {

bool sameTexel(Texel t, Texel expected) {
    return t.r == expected.r && t.g == expected.g && t.b == expected.b && t.a == expected.a;
}

std::vector<uint8_t> filled(void (*fill)(uint8_t*), int32_t bytes) {
    std::vector<uint8_t> texels(static_cast<size_t>(bytes), 0xEE);
    fill(texels.data());
    return texels;
}

} // namespace

TEST(NoiseGenerator, BytesFromTheSeedAreTheKnownSequence) {
    int32_t state = kNoiseSeed;
    const uint8_t expected[] = {160, 220, 195, 109, 196, 109};
    for (uint8_t byte : expected) EXPECT_EQ(nextRandomByte(&state), byte);

    // The 15-bit value is bits 16 to 30 of the state after the step, the byte its low eight bits;
    // the state runs through negative values, where the shift must not leak the sign into bit 15.
    state = kNoiseSeed;
    int32_t negativeStates = 0;
    for (int32_t i = 0; i < 1000; ++i) {
        int32_t before = state;
        int32_t value = nextRandom(&state);
        uint32_t expectedState = static_cast<uint32_t>(before) * 214013u + 2531011u;
        ASSERT_EQ(static_cast<uint32_t>(state), expectedState);
        ASSERT_EQ(value, static_cast<int32_t>((expectedState >> 16) & 0x7FFFu));
        negativeStates += state < 0;
    }
    EXPECT_GT(negativeStates, 0);
}

TEST(NoiseFills, FirstTexelsAndTheSharedStartOf2DAnd3D) {
    auto gray2D = filled(fillGrayNoise2D, kNoiseBytes2D);
    auto color2D = filled(fillColorNoise2D, kNoiseBytes2D);
    auto gray3D = filled(fillGrayNoise3D, kNoiseBytes3D);
    auto color3D = filled(fillColorNoise3D, kNoiseBytes3D);

    EXPECT_TRUE(sameTexel(getTexel2D(gray2D.data(), 256, 256, 0, 0), {160, 160, 160, 255}));
    EXPECT_TRUE(sameTexel(getTexel2D(gray2D.data(), 256, 256, 1, 0), {220, 220, 220, 255}));
    EXPECT_TRUE(sameTexel(getTexel2D(color2D.data(), 256, 256, 0, 0), {160, 220, 195, 255}));
    EXPECT_TRUE(sameTexel(getTexel2D(color2D.data(), 256, 256, 1, 0), {109, 196, 109, 255}));
    EXPECT_TRUE(sameTexel(getTexel3D(gray3D.data(), 0, 0, 0), {160, 160, 160, 255}));
    EXPECT_TRUE(sameTexel(getTexel3D(color3D.data(), 0, 0, 0), {160, 220, 195, 255}));

    // Every fill restarts at the seed, so the volume repeats the first 32,768 texels of the plane.
    EXPECT_EQ(std::memcmp(gray2D.data(), gray3D.data(), kNoiseBytes3D), 0);
    EXPECT_EQ(std::memcmp(color2D.data(), color3D.data(), kNoiseBytes3D), 0);

    for (size_t i = 0; i < gray2D.size(); i += 4) {
        ASSERT_EQ(gray2D[i + 3], 255);
        ASSERT_EQ(color2D[i + 3], 255);
        ASSERT_TRUE(gray2D[i] == gray2D[i + 1] && gray2D[i] == gray2D[i + 2]) << i;
    }
}

TEST(NoiseFills, TexelsAreVisitedRowByRow) {
    // Texel (0, 1) of the plane is draw 257; texel (0, 0, 1) of the volume is draw 1025.
    int32_t state = kNoiseSeed;
    uint8_t draws[1025];
    for (uint8_t& byte : draws) byte = nextRandomByte(&state);
    auto gray2D = filled(fillGrayNoise2D, kNoiseBytes2D);
    auto gray3D = filled(fillGrayNoise3D, kNoiseBytes3D);
    EXPECT_EQ(getTexel2D(gray2D.data(), 256, 256, 0, 1).r, draws[256]);
    EXPECT_EQ(getTexel2D(gray2D.data(), 256, 256, 255, 0).r, draws[255]);
    EXPECT_EQ(getTexel3D(gray3D.data(), 0, 1, 0).r, draws[32]);
    EXPECT_EQ(getTexel3D(gray3D.data(), 0, 0, 1).r, draws[1024]);
}

TEST(TexelAccess, OutOfRangeWritersDoNothingAndReadersReturnZero) {
    std::vector<uint8_t> plane(4 * 3 * 4 + 8, 7);
    const std::vector<uint8_t> planeBefore = plane;
    for (auto [x, y] : {std::pair{-1, 0}, {4, 0}, {0, -1}, {0, 3}, {-5, 9}}) {
        setTexel2D(plane.data(), 4, 3, x, y, {1, 2, 3, 4});
        EXPECT_TRUE(sameTexel(getTexel2D(plane.data(), 4, 3, x, y), {0, 0, 0, 0})) << x << "," << y;
    }
    EXPECT_EQ(plane, planeBefore);
    setTexel2D(plane.data(), 4, 3, 3, 2, {1, 2, 3, 4});
    EXPECT_TRUE(sameTexel(getTexel2D(plane.data(), 4, 3, 3, 2), {1, 2, 3, 4}));
    EXPECT_EQ(plane[(2 * 4 + 3) * 4 + 3], 4);

    std::vector<uint8_t> volume(kNoiseBytes3D + 64, 7);
    const std::vector<uint8_t> volumeBefore = volume;
    for (auto [x, y, z] : {std::tuple{32, 0, 0}, {0, 32, 0}, {0, 0, 32}, {0, 0, -1}, {-1, 31, 31}}) {
        setTexel3D(volume.data(), x, y, z, {1, 2, 3, 4});
        EXPECT_TRUE(sameTexel(getTexel3D(volume.data(), x, y, z), {0, 0, 0, 0}));
    }
    EXPECT_EQ(volume, volumeBefore);
    setTexel3D(volume.data(), 31, 31, 31, {9, 9, 9, 9});
    EXPECT_EQ(volume[kNoiseBytes3D - 1], 9);
    EXPECT_EQ(volume[kNoiseBytes3D], 7);
}

namespace {

struct NoiseUpload : GlTest {
    RendererSettings settings{};
    RenderTargets targets{};
    void SetUp() override {
        GlTest::SetUp();
        setRendererSettingsDefaults(&settings);
        initRenderTargetsRecord(&targets);
    }
    void TearDown() override { glDeleteTextures(4, targets.noiseTextures); }
};

std::vector<uint8_t> readVolume(uint32_t texture) {
    std::vector<uint8_t> texels(kNoiseBytes3D);
    glBindTexture(GL_TEXTURE_3D, texture);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_3D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    return texels;
}

GLint internalFormatOf(uint32_t target, uint32_t texture) {
    GLint format = 0;
    glBindTexture(target, texture);
    glGetTexLevelParameteriv(target, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    return format;
}

} // namespace

TEST_F(NoiseUpload, UploadedTexturesReadBackAsTheFills) {
    ASSERT_EQ(createGrayNoiseTexture2D(&targets, &settings), 1);
    ASSERT_EQ(createColorNoiseTexture2D(&targets, &settings), 1);
    ASSERT_EQ(createGrayNoiseTexture3D(&targets, &settings), 1);
    ASSERT_EQ(createColorNoiseTexture3D(&targets, &settings), 1);
    int32_t width = 0, height = 0;
    EXPECT_EQ(readTexture(targets.noiseTextures[0], &width, &height), filled(fillGrayNoise2D, kNoiseBytes2D));
    EXPECT_EQ(width, 256);
    EXPECT_EQ(height, 256);
    EXPECT_EQ(readTexture(targets.noiseTextures[1]), filled(fillColorNoise2D, kNoiseBytes2D));
    EXPECT_EQ(readVolume(targets.noiseTextures[2]), filled(fillGrayNoise3D, kNoiseBytes3D));
    EXPECT_EQ(readVolume(targets.noiseTextures[3]), filled(fillColorNoise3D, kNoiseBytes3D));
    EXPECT_TRUE(internalFormatOf(GL_TEXTURE_3D, targets.noiseTextures[3]) == GL_RGBA ||
                internalFormatOf(GL_TEXTURE_3D, targets.noiseTextures[3]) == GL_RGBA8);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    const std::string path = textureDumpPath("noise_color_2d.png");
    if (!path.empty()) {
        EXPECT_EQ(dumpTexturePng(GL_TEXTURE_2D, targets.noiseTextures[1], path.c_str(), TextureViewRgb), 1);
    }
}

TEST_F(NoiseUpload, FloatSelectorsUploadWidenedTexelsOfTheSameValues) {
    for (int32_t selector : {TextureFormatRgba16F, TextureFormatRgba32F}) {
        settings.textureFormatSelector = selector;
        ASSERT_EQ(createColorNoiseTexture2D(&targets, &settings), 1);
        ASSERT_EQ(createGrayNoiseTexture3D(&targets, &settings), 1);
        GLint expectedFormat = selector == TextureFormatRgba16F ? GL_RGBA16F : GL_RGBA32F;
        EXPECT_EQ(internalFormatOf(GL_TEXTURE_2D, targets.noiseTextures[1]), expectedFormat);
        EXPECT_EQ(internalFormatOf(GL_TEXTURE_3D, targets.noiseTextures[2]), expectedFormat);
        EXPECT_EQ(readTexture(targets.noiseTextures[1]), filled(fillColorNoise2D, kNoiseBytes2D)) << selector;
        EXPECT_EQ(readVolume(targets.noiseTextures[2]), filled(fillGrayNoise3D, kNoiseBytes3D)) << selector;
        glDeleteTextures(4, targets.noiseTextures);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(NoiseUpload, FailuresLeaveTheRunGoing) {
    // An unknown selector: the name is made and bound, nothing is uploaded.
    settings.textureFormatSelector = 3;
    EXPECT_EQ(createGrayNoiseTexture3D(&targets, &settings), 0);
    EXPECT_NE(targets.noiseTextures[2], 0u);
    GLint width = -1;
    glGetTexLevelParameteriv(GL_TEXTURE_3D, 0, GL_TEXTURE_WIDTH, &width);
    EXPECT_EQ(width, 0);

    // No buffer: no GL object either, and nothing is left allocated.
    settings.textureFormatSelector = 0;
    int64_t live = memLiveBlocks();
    memFailAllocations(0, 1);
    EXPECT_EQ(createColorNoiseTexture2D(&targets, &settings), 0);
    memFailAllocations(0, 0);
    EXPECT_EQ(targets.noiseTextures[1], 0u);
    EXPECT_EQ(memLiveBlocks(), live);

    // The widened copy of a float upload cannot be made.
    settings.textureFormatSelector = TextureFormatRgba32F;
    memFailAllocations(1, 1);
    EXPECT_EQ(createGrayNoiseTexture2D(&targets, &settings), 0);
    memFailAllocations(0, 0);
    EXPECT_EQ(memLiveBlocks(), live);
}

TEST(HalfFloat, EveryByteValueRoundsToTheNearestHalf) {
    for (int32_t k = 1; k < 256; ++k) {
        uint16_t half = halfFromUnorm8(static_cast<uint8_t>(k));
        int32_t exponent = (half >> 10) - 15;
        double value = std::ldexp(1.0 + (half & 0x3FF) / 1024.0, exponent);
        ASSERT_EQ(half >> 15, 0) << k;
        ASSERT_LE(std::fabs(value - k / 255.0), std::ldexp(1.0, exponent - 11)) << k;
    }
    EXPECT_EQ(halfFromUnorm8(0), 0x0000);
    EXPECT_EQ(halfFromUnorm8(255), 0x3C00); // 1.0
    EXPECT_EQ(halfFromUnorm8(128), 0x3804); // 0.50196 -> 0.501953
    EXPECT_EQ(halfFromUnorm8(1), 0x1C04);   // 0.0039216 -> 0.0039215
}
