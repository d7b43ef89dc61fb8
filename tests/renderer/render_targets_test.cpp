#include "base/memory.h"
#include "platform/headless_gl.h"
#include "platform/platform.h"
#include "renderer/gl_entries.h"
#include "renderer/renderer.h"
#include "support/gl_test.h"

namespace {

struct RecordsFixture : GlTest {
    RendererSettings settings{};
    ViewInput view{};
    RenderTargets targets{};
    void SetUp() override {
        GlTest::SetUp();
        setRendererSettingsDefaults(&settings);
        setViewInputDefaults(&view);
        initRenderTargetsRecord(&targets);
        *rendererRecords() = RendererRecords{&settings, &view, &targets};
    }
};

} // namespace

TEST_F(RecordsFixture, AllEntryPointsResolveOnTheDriver) {
    GlEntryTable table{};
    ASSERT_EQ(loadGlEntryPoints(&table), 1);
    for (int slot = 0; slot < GlSlotCount; ++slot) EXPECT_NE(table.slots[slot], nullptr) << slot;
    std::printf("GL: %s\n", headlessGlDescription());
}

TEST_F(RecordsFixture, EightRgba8TargetsOfTheViewSizeAndGoneAfterDestroy) {
    ASSERT_EQ(createRendererResources(48, 30), 1);
    EXPECT_NE(targets.framebuffer, 0xFFFFFFFFu);
    EXPECT_EQ(targets.frameCount, 0u);
    for (int set = 0; set < kTargetSets; ++set)
        for (int i = 0; i < kTargetsPerSet; ++i) {
            GLuint name = targets.targets[set][i];
            ASSERT_TRUE(glIsTexture(name)) << set << i;
            glBindTexture(GL_TEXTURE_2D, name);
            GLint w = 0, h = 0, format = 0, red = 0, alpha = 0;
            glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
            glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
            glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
            glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_RED_SIZE, &red);
            glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_ALPHA_SIZE, &alpha);
            EXPECT_EQ(w, 48);
            EXPECT_EQ(h, 30);
            EXPECT_TRUE(format == GL_RGBA || format == GL_RGBA8) << std::hex << format;
            EXPECT_EQ(red, 8);
            EXPECT_EQ(alpha, 8);
        }
    RenderTargets created = targets;
    destroyRendererResources();
    for (int set = 0; set < kTargetSets; ++set)
        for (int i = 0; i < kTargetsPerSet; ++i) EXPECT_FALSE(glIsTexture(created.targets[set][i]));
    EXPECT_FALSE(GLX(glBindFramebuffer) && glIsTexture(created.framebuffer));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(RecordsFixture, SamplingSetsFiltersAndTheSameWrapOnEveryAxis) {
    struct Row {
        int32_t filter, wrap, mipmaps;
        GLint minFilter, magFilter, wrapMode;
    };
    const Row rows[] = {
        {0, 0, 0, GL_NEAREST, GL_NEAREST, GL_REPEAT},
        {1, 1, 1, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR, GL_CLAMP_TO_EDGE},
        {0, 2, 1, GL_NEAREST_MIPMAP_NEAREST, GL_NEAREST, GL_MIRRORED_REPEAT},
        {1, 7, 0, GL_LINEAR, GL_LINEAR, GL_REPEAT},
    };
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_3D, texture);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.wrap);
        applySampling(GL_TEXTURE_3D, row.filter, row.wrap, row.mipmaps);
        const GLenum names[] = {GL_TEXTURE_MIN_FILTER, GL_TEXTURE_MAG_FILTER, GL_TEXTURE_WRAP_S,
                                GL_TEXTURE_WRAP_T, GL_TEXTURE_WRAP_R};
        const GLint expected[] = {row.minFilter, row.magFilter, row.wrapMode, row.wrapMode, row.wrapMode};
        for (int i = 0; i < 5; ++i) {
            GLint value = 0;
            glGetTexParameteriv(GL_TEXTURE_3D, names[i], &value);
            EXPECT_EQ(value, expected[i]) << i;
        }
    }
    glDeleteTextures(1, &texture);
}
