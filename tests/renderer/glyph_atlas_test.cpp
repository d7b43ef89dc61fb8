#include "base/memory.h"
#include "platform/platform.h"
#include "renderer/gl_api.h"
#include "renderer/glyph_atlas.h"
#include "support/gl_test.h"
#include "support/memory_guards.h"

#include <tuple>
#include <vector>

namespace {

// The real atlas, built once: FreeType with the face the settings name.
struct GlyphAtlas : GlTest {
    static RenderTargets targets;
    static int32_t built;
    static std::vector<uint8_t> uploaded;
    static void SetUpTestSuite() {
        GlTest::SetUpTestSuite();
        RendererSettings settings{};
        setRendererSettingsDefaults(&settings);
        initRenderTargetsRecord(&targets);
        built = buildGlyphAtlas(&targets, &settings, nullptr);
        if (built) uploaded = readTexture(targets.glyphAtlas);
    }
    static void TearDownTestSuite() { glDeleteTextures(1, &targets.glyphAtlas); }
    void SetUp() override {
        GlTest::SetUp();
        ASSERT_EQ(built, 1);
    }
};
RenderTargets GlyphAtlas::targets{};
int32_t GlyphAtlas::built = 0;
std::vector<uint8_t> GlyphAtlas::uploaded;

} // namespace

TEST_F(GlyphAtlas, UploadIsTheConvertedAndFlippedImage) {
    int32_t width = 0, height = 0;
    readTexture(targets.glyphAtlas, &width, &height);
    EXPECT_EQ(width, kGlyphAtlasSize);
    EXPECT_EQ(height, kGlyphAtlasSize);
    ASSERT_EQ(uploaded.size(), static_cast<size_t>(kGlyphAtlasBytes));

    RendererSettings settings{};
    setRendererSettingsDefaults(&settings);
    std::vector<uint8_t> cpu(kGlyphAtlasBytes);
    ASSERT_EQ(renderGlyphAtlasTexels(cpu.data(), &settings, nullptr), 1);
    EXPECT_TRUE(cpu == uploaded);
}

namespace {

struct GlyphCall {
    int32_t code, x, y, alignment;
};
std::vector<GlyphCall> glyphCalls;
int32_t fakeFont;

GlyphFont* fakeOpen(void*, const char*, int32_t cellHeight, int32_t bold, int32_t antialias) {
    EXPECT_EQ(cellHeight, 48);
    EXPECT_EQ(bold, 1);
    EXPECT_EQ(antialias, 1);
    return reinterpret_cast<GlyphFont*>(&fakeFont);
}

// Records each call and marks a few codes with a solid 10 x 10 block under the pen.
void fakeDraw(GlyphFont*, const GlyphCanvas* canvas, int32_t code, int32_t x, int32_t y, int32_t alignment) {
    glyphCalls.push_back({code, x, y, alignment});
    if (code != 0x41 && code != 0xC8 && code != 0xFF) return;
    for (int32_t py = y; py < y + 10 && py < canvas->height; ++py)
        for (int32_t px = x - 5; px < x + 5; ++px)
            canvas->pixels[py * canvas->rowBytes + px * canvas->pixelBytes] = 255;
}

void fakeClose(GlyphFont* font) {
    EXPECT_EQ(font, reinterpret_cast<GlyphFont*>(&fakeFont));
}

struct FakeRasteriser : GlTest {
    RendererSettings settings{};
    void SetUp() override {
        GlTest::SetUp();
        setRendererSettingsDefaults(&settings);
        glyphCalls.clear();
        platformServices()->openGlyphFont = fakeOpen;
        platformServices()->drawGlyph = fakeDraw;
        platformServices()->closeGlyphFont = fakeClose;
    }
    void TearDown() override { resetPlatformServices(); }
};

} // namespace

TEST_F(FakeRasteriser, TwoHundredFiftySevenPassesWithTheAlignmentChangeAfterCodeZero) {
    std::vector<uint8_t> pixels(kGlyphAtlasBytes);
    rasteriseGlyphAtlas(pixels.data(), settings.glyphFaceName, nullptr);
    ASSERT_EQ(glyphCalls.size(), 257u);
    struct Expected {
        size_t pass;
        GlyphCall call;
    } expected[] = {
        {0, {0, 21, 8, GlyphAlignLeftTop}},        {1, {1, 85, 8, GlyphAlignCentreTop}},
        {15, {15, 981, 8, GlyphAlignCentreTop}},   {16, {16, 21, 72, GlyphAlignCentreTop}},
        {65, {65, 85, 264, GlyphAlignCentreTop}},  {255, {255, 981, 968, GlyphAlignCentreTop}},
        {256, {0, 21, 1032, GlyphAlignCentreTop}}, // below the bitmap
    };
    for (const Expected& e : expected) {
        const GlyphCall& call = glyphCalls[e.pass];
        EXPECT_EQ(std::tie(call.code, call.x, call.y, call.alignment),
                  std::tie(e.call.code, e.call.x, e.call.y, e.call.alignment))
            << e.pass;
    }
}

TEST_F(FakeRasteriser, FailuresEndTheBuildWithoutATexture) {
    LeakGuard leaks;
    // 0: the pixel buffer; 1: the distance field's first scratch block.
    for (int64_t after : {0, 1}) {
        RenderTargets targets{};
        initRenderTargetsRecord(&targets);
        FailingAllocations failing(after, 1);
        EXPECT_EQ(buildGlyphAtlas(&targets, &settings, nullptr), 0) << after;
        EXPECT_EQ(targets.glyphAtlas, 0u) << after;
    }
    // An unknown format: the name exists, nothing is uploaded.
    RenderTargets targets{};
    settings.textureFormatSelector = 5;
    EXPECT_EQ(buildGlyphAtlas(&targets, &settings, nullptr), 0);
    EXPECT_NE(targets.glyphAtlas, 0u);
    int32_t width = -1;
    readTexture(targets.glyphAtlas, &width);
    EXPECT_EQ(width, 0);
    glDeleteTextures(1, &targets.glyphAtlas);
}
