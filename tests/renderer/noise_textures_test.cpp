#include "base/memory.h"
#include "renderer/gl_entries.h"
#include "renderer/noise_textures.h"
#include "renderer/texture_upload.h"
#include "support/gl_test.h"

#include <vector>

namespace {

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

    // The state runs through negative values, where the shift must not leak the sign into bit 15.
    for (int32_t i = 0; i < 1000; ++i) ASSERT_EQ(nextRandom(&state) & ~0x7FFF, 0) << i;
}

TEST(NoiseGenerator, TheGrayFillDrawsOneByteATexelRowAfterRow) {
    const std::vector<uint8_t> gray = filled(fillGrayNoise2D, kNoiseBytes2D);
    int32_t state = kNoiseSeed;
    for (int32_t i = 0; i < kNoiseSize2D * kNoiseSize2D; ++i) {
        const uint8_t byte = nextRandomByte(&state);
        if (i % kNoiseSize2D > 1 && i % kNoiseSize2D < kNoiseSize2D - 1) continue; // row ends
        ASSERT_EQ(gray[4 * size_t(i)], byte) << i;
    }
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
}
