#include "framework/memory.h"
#include "platform/headless_gl.h"
#include "platform/platform.h"
#include "renderer/gl_entries.h"
#include "renderer/renderer.h"
#include "support/gl_test.h"

#include <bit>
#include <cstring>
#include <string>

namespace {

int lookupsMade = 0;
int failingSlot = -1;

GlProc failingLookup(const char*) {
    int slot = lookupsMade++;
    if (slot == failingSlot) return nullptr;
    return reinterpret_cast<GlProc>(&failingLookup); // any non-null address
}

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

TEST(GlEntryNames, PackedListHasFortyNineNamesInSlotOrder) {
    std::string names[GlSlotCount];
    const char* p = kGlEntryNames;
    for (int slot = 0; slot < GlSlotCount; ++slot) {
        names[slot] = p;
        p += names[slot].size() + 1;
    }
    EXPECT_EQ(*p, '\0');
    EXPECT_EQ(names[0], "glActiveTextureARB");
    EXPECT_EQ(names[8], "glTexImage3D");
    EXPECT_EQ(names[13], "glCreateShaderProgramv");
    EXPECT_EQ(names[25], "glGetUniformLocation");
    EXPECT_EQ(names[32], "glLoadTransposeMatrixf");
    EXPECT_EQ(names[47], "glBlitNamedFramebuffer");
    EXPECT_EQ(names[48], "wglSwapIntervalEXT");
}

TEST(GlEntryLoading, FailedLookupStopsThereAndFailsTheStart) {
    for (int k : {0, 4, 32, 48}) {
        platformServices()->getGlProc = failingLookup;
        lookupsMade = 0;
        failingSlot = k;
        GlEntryTable table{};
        EXPECT_EQ(loadGlEntryPoints(&table), 0) << k;
        EXPECT_EQ(lookupsMade, k + 1) << k;
        for (int slot = 0; slot < GlSlotCount; ++slot)
            EXPECT_EQ(table.slots[slot] != nullptr, slot < k) << "slot " << slot << " failing " << k;
        resetPlatformServices();
    }
}

TEST(RendererStart, FailingEntryPointMakesInitRendererReturnZero) {
    platformServices()->getGlProc = failingLookup;
    lookupsMade = 0;
    failingSlot = 32; // glLoadTransposeMatrixf: never called, still required
    GlEntryTable saved = *glEntryTable();
    EXPECT_EQ(initRenderer(nullptr, 320, 180), 0);
    EXPECT_EQ(viewWidth(), 320);
    EXPECT_EQ(viewHeight(), 180);
    resetPlatformServices();
    *glEntryTable() = saved;
}

TEST(RendererRecordsDefaults, SettingsHoldTheirStartValues) {
    RendererSettings s;
    std::memset(&s, 0, sizeof s);
    setRendererSettingsDefaults(&s);
    EXPECT_EQ(s.textureFormatSelector, 0);
    EXPECT_EQ(s.useMultipleTargets, 1);
    EXPECT_EQ(s.colorAttachmentCount, 4);
    EXPECT_EQ(s.bindRenderTargets, 1);
    auto same = [](TextureSampling a, TextureSampling b) {
        return a.enabled == b.enabled && a.mipmaps == b.mipmaps && a.filter == b.filter && a.wrap == b.wrap;
    };
    EXPECT_TRUE(same(s.glyphAtlasSampling, {1, 1, 1, 1}));
    EXPECT_TRUE(same(s.grayNoise2DSampling, {1, 1, 1, 0}));
    EXPECT_TRUE(same(s.colorNoise2DSampling, {1, 1, 1, 0}));
    EXPECT_TRUE(same(s.grayNoise3DSampling, {1, 1, 1, 0}));
    EXPECT_TRUE(same(s.colorNoise3DSampling, {1, 1, 1, 0}));
    EXPECT_TRUE(same(s.renderTargetSampling, {1, 1, 1, 1}));
    EXPECT_EQ(s.swapControl, 1);
    EXPECT_EQ(s.swapMode, 2);
    EXPECT_STREQ(s.glyphFaceName, "Courier New");
}

TEST(RendererRecordsDefaults, ViewInputStartValues) {
    ViewInput v;
    std::memset(&v, 0x55, sizeof v);
    setViewInputDefaults(&v);
    EXPECT_EQ(std::bit_cast<uint32_t>(v.baseAngle), 0x40490FD8u);
    EXPECT_EQ(v.fieldOfView, v.baseAngle * 0.125f);
    EXPECT_EQ(v.pointerX, 0);
    EXPECT_EQ(v.buttons[2], 0);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(v.cameraMatrix[i], i % 5 == 0 ? 1.0f : 0.0f);
        EXPECT_EQ(v.previousCameraMatrix[i], i % 5 == 0 ? 1.0f : 0.0f);
    }
    EXPECT_EQ(v.vectors[1][2], 0.0f);
    RenderTargets t{};
    initRenderTargetsRecord(&t);
    EXPECT_EQ(t.framebuffer, 0xFFFFFFFFu);
    EXPECT_EQ(t.parameterHook, nullptr);
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

TEST_F(RecordsFixture, HalfFloatSelectorCreatesRgba16F) {
    settings.textureFormatSelector = 1;
    ASSERT_EQ(createRenderTargets(&targets, &settings, 8, 8), 1);
    glBindTexture(GL_TEXTURE_2D, targets.targets[1][3]);
    GLint format = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    EXPECT_EQ(format, GL_RGBA16F);
    destroyRenderTargets(&targets);
}

TEST_F(RecordsFixture, UnknownFormatSelectorReportsFailureWithoutCrashing) {
    settings.textureFormatSelector = 3;
    EXPECT_EQ(createRenderTargets(&targets, &settings, 8, 8), 0);
    // Creation stopped before any level was allocated.
    glBindTexture(GL_TEXTURE_2D, targets.targets[0][0]);
    GLint w = -1;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(createRendererResources(8, 8), 1);
    destroyRendererResources();
}

TEST_F(RecordsFixture, ApplySamplingSetsTheMappedEnums) {
    struct Case {
        int32_t filter, wrap, mipmaps;
        GLint minFilter, magFilter, wrapMode;
    } cases[] = {
        {0, 0, 1, GL_NEAREST_MIPMAP_NEAREST, GL_NEAREST, GL_REPEAT},
        {0, 1, 0, GL_NEAREST, GL_NEAREST, GL_CLAMP_TO_EDGE},
        {1, 2, 1, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR, GL_MIRRORED_REPEAT},
        {1, 3, 0, GL_LINEAR, GL_LINEAR, GL_REPEAT},
    };
    for (GLenum target : {GLenum(GL_TEXTURE_2D), GLenum(GL_TEXTURE_3D)}) {
        GLuint texture = 0;
        glGenTextures(1, &texture);
        glBindTexture(target, texture);
        for (const Case& c : cases) {
            applySampling(target, c.filter, c.wrap, c.mipmaps);
            GLint value = 0;
            glGetTexParameteriv(target, GL_TEXTURE_MIN_FILTER, &value);
            EXPECT_EQ(value, c.minFilter);
            glGetTexParameteriv(target, GL_TEXTURE_MAG_FILTER, &value);
            EXPECT_EQ(value, c.magFilter);
            for (GLenum axis :
                 {GLenum(GL_TEXTURE_WRAP_S), GLenum(GL_TEXTURE_WRAP_T), GLenum(GL_TEXTURE_WRAP_R)}) {
                glGetTexParameteriv(target, axis, &value);
                EXPECT_EQ(value, c.wrapMode) << "axis " << axis << " target " << target;
            }
        }
        glDeleteTextures(1, &texture);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
