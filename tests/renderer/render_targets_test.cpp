#include "framework/memory.h"
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
