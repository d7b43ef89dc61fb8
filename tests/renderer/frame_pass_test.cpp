#include "renderer/frame_pass.h"
#include "renderer/gl_entries.h"
#include "renderer/renderer.h"
#include "renderer/shader_assembly.h"
#include "renderer/uniforms.h"
#include "support/gl_test.h"
#include "support/shader_probe.h"

#include <string>
#include <vector>

namespace {

constexpr int32_t kSize = 8; // view size; the window surface around it is larger

const char kHeader[] = "#version 430\n"
                       "layout(binding = 0) uniform sampler2D backBuffer0;\n"
                       "layout(binding = 1) uniform sampler2D backBuffer1;\n"
                       "layout(binding = 2) uniform sampler2D backBuffer2;\n"
                       "layout(binding = 3) uniform sampler2D backBuffer3;\n";

struct Rgba {
    int r, g, b, a;
    bool operator==(const Rgba&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Rgba& c) {
    return out << "(" << c.r << "," << c.g << "," << c.b << "," << c.a << ")";
}

Rgba texel(uint32_t texture, int x = 3, int y = 5) {
    int32_t width = 0;
    std::vector<uint8_t> p = readTexture(texture, &width);
    const uint8_t* t = &p[(static_cast<size_t>(y) * width + x) * 4];
    return {t[0], t[1], t[2], t[3]};
}

Rgba screen(int x = 3, int y = 5) {
    std::vector<uint8_t> p = readFramebuffer(x, y, 1, 1);
    return {p[0], p[1], p[2], p[3]};
}

std::vector<float> texelFloats(uint32_t texture) {
    std::vector<float> p = readTextureFloats(texture);
    return {p.begin(), p.begin() + 4};
}

void clearTexture(uint32_t texture, float r, float g, float b, float a) {
    GLuint framebuffer = bindTextureFramebuffer(texture);
    glClearColor(r, g, b, a);
    glClear(GL_COLOR_BUFFER_BIT);
    GLX(glBindFramebuffer)(GL_FRAMEBUFFER, 0);
    GLX(glDeleteFramebuffers)(1, &framebuffer);
}

void clearScreen(float value) {
    GLX(glBindFramebuffer)(GL_FRAMEBUFFER, 0);
    glClearColor(value, value, value, value);
    glClear(GL_COLOR_BUFFER_BIT);
}

GLint drawBufferOf(uint32_t framebuffer, int slot) {
    GLint value = -1;
    GLX(glBindFramebuffer)(GL_FRAMEBUFFER, framebuffer);
    glGetIntegerv(GL_DRAW_BUFFER0 + slot, &value);
    GLX(glBindFramebuffer)(GL_FRAMEBUFFER, 0);
    return value;
}

class FramePass : public GlTest {
  protected:
    RendererSettings settings{};
    ViewInput view{};
    RenderTargets targets{};
    std::vector<int32_t> programs;

    void SetUp() override {
        GlTest::SetUp();
        setRendererSettingsDefaults(&settings);
        setViewInputDefaults(&view);
        initRenderTargetsRecord(&targets);
        ASSERT_EQ(initRenderer(nullptr, kSize, kSize), 1);
    }
    void TearDown() override {
        if (targets.framebuffer != 0xFFFFFFFFu) destroyRenderTargets(&targets);
        for (int32_t program : programs) GLX(glDeleteProgram)(static_cast<GLuint>(program));
        GLX(glBindFramebuffer)(GL_FRAMEBUFFER, 0);
        GLX(glUseProgram)(0);
    }
    // The input textures stay unnamed unless a test creates them.
    void createTargets() {
        ASSERT_EQ(createRenderTargets(&targets, &settings, kSize, kSize), 1);
        targets.frameCount = 0;
    }
    int32_t build(const std::string& body) {
        int32_t program = buildSceneProgram((kHeader + body).c_str());
        EXPECT_GE(program, 0) << sceneProgramLog();
        programs.push_back(program);
        return program;
    }
    void draw(int32_t program, float time = 1.5f, int32_t scene = 2) {
        drawScenePass(&targets, program, time, scene, &view, &settings);
    }
};

// Frame f writes, per attachment i, 8f + i (red, green, blue of attachments 1, 2, 3) and shows on
// screen what frame f - 1 wrote there; attachment 0's alpha carries f and comes back one frame
// later in attachment 1's alpha.
const char kFeedbackProgram[] = R"(
uniform int framecount;
layout(location = 0) out vec4 outColor0;
layout(location = 1) out vec4 outColor1;
layout(location = 2) out vec4 outColor2;
layout(location = 3) out vec4 outColor3;
void main() {
    ivec2 p = ivec2(gl_FragCoord.xy);
    float f = float(framecount);
    outColor0 = vec4(texelFetch(backBuffer1, p, 0).r, texelFetch(backBuffer2, p, 0).g,
                     texelFetch(backBuffer3, p, 0).b, f / 255.0);
    outColor1 = vec4((f * 8.0 + 1.0) / 255.0, 0.0, 0.0, texelFetch(backBuffer0, p, 0).a);
    outColor2 = vec4(0.0, (f * 8.0 + 2.0) / 255.0, 0.0, 1.0);
    outColor3 = vec4(0.0, 0.0, (f * 8.0 + 3.0) / 255.0, 1.0);
}
)";

} // namespace

TEST_F(FramePass, EachFrameReadsThePreviousFramesOutputsOnUnits0To3) {
    createTargets();
    int32_t program = build(kFeedbackProgram);
    // Set 1 has never been drawn when frame 0 reads it.
    for (uint32_t texture : targets.targets[1])
        clearTexture(texture, 200 / 255.0f, 200 / 255.0f, 200 / 255.0f, 200 / 255.0f);
    clearScreen(50 / 255.0f);

    const Rgba shown[] = {{200, 200, 200, 0}, {1, 2, 3, 1}, {9, 10, 11, 2}};
    const int previousAlpha[] = {200, 0, 1};
    for (uint32_t f = 0; f < 3; ++f) {
        draw(program);
        EXPECT_EQ(targets.frameCount, f + 1);
        const int written = static_cast<int>(f % 2);
        Rgba attachment0 = texel(targets.targets[written][0]);
        EXPECT_EQ(attachment0, shown[f]) << "frame " << f << " (alpha: framecount)";
        EXPECT_EQ(texel(targets.targets[written][1]),
                  (Rgba{static_cast<int>(8 * f + 1), 0, 0, previousAlpha[f]}));
        EXPECT_EQ(texel(targets.targets[written][3]), (Rgba{0, 0, static_cast<int>(8 * f + 3), 255}));
        // Attachment 0 reaches the window over the view rectangle only.
        Rgba corner = screen(kSize - 1, kSize - 1);
        EXPECT_EQ((Rgba{corner.r, corner.g, corner.b, 0}), (Rgba{shown[f].r, shown[f].g, shown[f].b, 0}))
            << f;
        EXPECT_EQ(screen(kSize, 0).r, 50);
        EXPECT_EQ(screen(0, kSize).r, 50);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(FramePass, BuiltInUniformsCarryTheirValues) {
    settings.textureFormatSelector = TextureFormatRgba32F;
    createTargets();
    int32_t program = build(R"(
uniform vec2 resolution, fonttextureresolution, noisetextureresolution, mousepos;
uniform float time, tanfovy;
uniform int framecount;
uniform ivec3 mousebuttons;
uniform mat4 cameraworld, prevcameraworld;
layout(location = 0) out vec4 outColor0;
layout(location = 1) out vec4 outColor1;
layout(location = 2) out vec4 outColor2;
layout(location = 3) out vec4 outColor3;
void main() {
    outColor0 = vec4(resolution, fonttextureresolution);
    outColor1 = vec4(noisetextureresolution, time, float(framecount));
    outColor2 = vec4(mousepos, tanfovy, float(mousebuttons.x * 100 + mousebuttons.y * 10 + mousebuttons.z));
    outColor3 = vec4(cameraworld[3][0], cameraworld[0][1], prevcameraworld[3][1], prevcameraworld[1][0]);
}
)");
    // The start-up view: pointer at the origin, identity cameras, field of view pi/8.
    draw(program, 17.25f);
    EXPECT_EQ(texelFloats(targets.targets[0][0]), (std::vector<float>{8, 8, 1024, 1024}));
    EXPECT_EQ(texelFloats(targets.targets[0][1]), (std::vector<float>{256, 256, 17.25f, 0}));
    std::vector<float> mouse = texelFloats(targets.targets[0][2]);
    EXPECT_EQ(mouse[0], 0.0f);
    EXPECT_EQ(mouse[1], 1.0f);
    EXPECT_NEAR(mouse[2], 0.41421356f, 1e-6f);
    EXPECT_EQ(mouse[3], 0.0f);
    EXPECT_EQ(texelFloats(targets.targets[0][3]), (std::vector<float>{0, 0, 0, 0}));

    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(FramePass, AttachmentTwoKeepsItsPictureWhileAProgramDoesNotWriteIt) {
    createTargets();
    // Writes a new hand-over picture every frame: 40f + 20 in red.
    int32_t writer = build(R"(
uniform int framecount;
layout(location = 0) out vec4 outColor0;
layout(location = 1) out vec4 outColor1;
layout(location = 2) out vec4 outColor2;
void main() {
    outColor0 = texelFetch(backBuffer2, ivec2(gl_FragCoord.xy), 0);
    outColor1 = vec4(0.0);
    outColor2 = vec4((float(framecount) * 40.0 + 20.0) / 255.0, 0.0, 0.0, 1.0);
}
)");
    // Only shows the hand-over picture.
    int32_t reader = build(R"(
layout(location = 0) out vec4 outColor0;
void main() { outColor0 = texelFetch(backBuffer2, ivec2(gl_FragCoord.xy), 0); }
)");
    EXPECT_EQ(declaredOutputs(writer), 0x7u);
    EXPECT_EQ(declaredOutputs(reader), 0x1u);
    EXPECT_EQ(declaredOutputs(-1), 0xFu);

    draw(writer); // 20 into set 0
    draw(writer); // 60 into set 1
    EXPECT_EQ(drawBufferOf(targets.framebuffer, 2), GL_COLOR_ATTACHMENT2);
    EXPECT_EQ(drawBufferOf(targets.framebuffer, 3), GL_NONE);
    for (uint32_t f = 2; f < 5; ++f) {
        draw(reader);
        EXPECT_EQ(screen().r, 60) << "frame " << f;
        EXPECT_EQ(texel(targets.targets[f % 2][2]).r, 60) << "frame " << f;
    }
    EXPECT_EQ(drawBufferOf(targets.framebuffer, 0), GL_COLOR_ATTACHMENT0);
    EXPECT_EQ(drawBufferOf(targets.framebuffer, 1), GL_NONE);
    EXPECT_EQ(drawBufferOf(targets.framebuffer, 2), GL_NONE);

    draw(writer); // frame 5 shows the carried picture and writes 220
    EXPECT_EQ(screen().r, 60);
    draw(reader);
    EXPECT_EQ(screen().r, 220);

    // A scene table saying the writer leaves outColor2 alone overrules the driver: the
    // hand-over survives the writer's frame 7, which would have written 255.
    targets.writtenOutputs = 0x3;
    draw(writer);
    draw(reader);
    EXPECT_EQ(screen().r, 220);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(FramePass, FrameCounterWrapsAndPicksTheWriteSetByItsLowestBit) {
    createTargets();
    int32_t program = build(kFeedbackProgram);
    for (int set = 0; set < kTargetSets; ++set) clearTexture(targets.targets[set][1], 0.5f, 0.5f, 0.5f, 0.5f);
    targets.frameCount = 0xFFFFFFFFu;
    draw(program); // framecount -1: attachment 1 gets red 0 in set 1
    EXPECT_EQ(targets.frameCount, 0u);
    EXPECT_EQ(texel(targets.targets[1][1]).r, 0);
    EXPECT_EQ(texel(targets.targets[0][1]).r, 128);
}
