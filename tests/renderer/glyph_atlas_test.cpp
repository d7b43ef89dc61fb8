#include "framework/memory.h"
#include "platform/platform.h"
#include "renderer/gl_api.h"
#include "renderer/glyph_atlas.h"
#include "support/gl_test.h"
#include "support/texture_dump.h"

#include <algorithm>
#include <vector>

namespace {

constexpr int32_t kCellsPerRow = kGlyphAtlasSize / kGlyphCellStep; // 16

// Texels of the cell at texture column, row (from the bottom) in an upload-ordered image.
struct CellSummary {
    int32_t inside;  // A < 128
    int32_t covered; // R > 0
    int32_t maxAlpha, minAlpha;
};

CellSummary summarise(const uint8_t* texels, int32_t column, int32_t row) {
    CellSummary summary{0, 0, 0, 255};
    for (int32_t y = row * kGlyphCellStep; y < (row + 1) * kGlyphCellStep; ++y)
        for (int32_t x = column * kGlyphCellStep; x < (column + 1) * kGlyphCellStep; ++x) {
            const uint8_t* texel = texels + (static_cast<size_t>(y) * kGlyphAtlasSize + x) * 4;
            summary.inside += texel[3] < 128;
            summary.covered += texel[0] > 0;
            summary.maxAlpha = std::max<int32_t>(summary.maxAlpha, texel[3]);
            summary.minAlpha = std::min<int32_t>(summary.minAlpha, texel[3]);
        }
    return summary;
}

CellSummary cellOfCode(const uint8_t* texels, int32_t code) {
    return summarise(texels, code % kCellsPerRow, kCellsPerRow - 1 - code / kCellsPerRow);
}

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
        built = buildGlyphAtlas(&targets, &settings);
        if (built) uploaded = readTexture(targets.glyphAtlas);
        const std::string path = textureDumpPath("atlas.png");
        if (built && !path.empty()) {
            dumpTexturePng(GL_TEXTURE_2D, targets.glyphAtlas, path.c_str(), TextureViewRgb);
            dumpTexturePng(GL_TEXTURE_2D, targets.glyphAtlas, textureDumpPath("atlas_alpha.png").c_str(),
                           TextureViewAlpha);
        }
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
    ASSERT_EQ(renderGlyphAtlasTexels(cpu.data(), &settings), 1);
    EXPECT_TRUE(cpu == uploaded);
}

TEST_F(GlyphAtlas, LetterCellHasInsideTexelsAndSpaceCellIsEmpty) {
    CellSummary letterA = cellOfCode(uploaded.data(), 'A');
    EXPECT_GT(letterA.inside, 100);
    EXPECT_GT(letterA.covered, 100);
    EXPECT_GT(letterA.maxAlpha, 200); // the cell's corners are far outside the glyph

    CellSummary space = cellOfCode(uploaded.data(), ' ');
    EXPECT_EQ(space.covered, 0);
    EXPECT_EQ(space.minAlpha, 255);

    // Every printable ASCII code but the space has a glyph; 'A' sits in texture column 1, row 11.
    for (int32_t code = 33; code < 127; ++code)
        EXPECT_GT(cellOfCode(uploaded.data(), code).inside, 0) << code;
    EXPECT_GT(summarise(uploaded.data(), 1, 11).inside, 0);
    // Codes past 127 come from the ANSI code page: the euro sign (0x80) and e acute (0xE9).
    EXPECT_GT(cellOfCode(uploaded.data(), 0x80).inside, 0);
    EXPECT_GT(cellOfCode(uploaded.data(), 0xE9).inside, 0);
}

TEST_F(GlyphAtlas, GlyphSitsOnTheCellsPlacementLines) {
    // 'H' is centred 21 texels from its cell's left; its box's top is 8 below the cell's top, and
    // with the face's ascent of about 35 of the 48 pixels its baseline is near 43 from the top.
    const int32_t code = 'H', column = code % kCellsPerRow, row = kCellsPerRow - 1 - code / kCellsPerRow;
    int32_t left = 64, right = -1, lowest = 64;
    for (int32_t y = 0; y < kGlyphCellStep; ++y)
        for (int32_t x = 0; x < kGlyphCellStep; ++x) {
            size_t index = (static_cast<size_t>(row * kGlyphCellStep + y) * kGlyphAtlasSize +
                            column * kGlyphCellStep + x) *
                           4;
            if (uploaded[index] < 128) continue;
            left = std::min(left, x);
            right = std::max(right, x);
            lowest = std::min(lowest, y); // GL order: y counts up from the cell's bottom
        }
    EXPECT_NEAR((left + right) / 2.0, 21.0, 1.5);
    EXPECT_NEAR(kGlyphCellStep - 1 - lowest, 42, 1.5);
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
        EXPECT_EQ(call.code, e.call.code) << e.pass;
        EXPECT_EQ(call.x, e.call.x) << e.pass;
        EXPECT_EQ(call.y, e.call.y) << e.pass;
        EXPECT_EQ(call.alignment, e.call.alignment) << e.pass;
    }
}

TEST_F(FakeRasteriser, CodeLiesAtItsColumnAndFlippedRow) {
    std::vector<uint8_t> texels(kGlyphAtlasBytes);
    ASSERT_EQ(renderGlyphAtlasTexels(texels.data(), &settings), 1);
    for (int32_t code = 0; code < 256; ++code) {
        bool marked = code == 0x41 || code == 0xC8 || code == 0xFF;
        CellSummary cell = summarise(texels.data(), code % 16, 15 - code / 16);
        EXPECT_EQ(cell.covered, marked ? 100 : 0) << code;
        EXPECT_EQ(cell.inside > 0, marked) << code;
    }
    // The block's top row (8 below the cell's top) is GL row 55 of the cell; x runs 16 to 25.
    const size_t top = (static_cast<size_t>(11 * 64 + 55) * kGlyphAtlasSize + 64 + 16) * 4;
    EXPECT_EQ(texels[top], 255);
    EXPECT_EQ(texels[top + 4 * kGlyphAtlasSize], 0);
    EXPECT_EQ(texels[top - 4], 0);
}

TEST_F(FakeRasteriser, FailuresEndTheBuildWithoutATexture) {
    int64_t live = memLiveBlocks();
    // 0: the pixel buffer; 1: the distance field's first scratch block.
    for (int64_t failing : {0, 1}) {
        RenderTargets targets{};
        initRenderTargetsRecord(&targets);
        memFailAllocations(failing, 1);
        EXPECT_EQ(buildGlyphAtlas(&targets, &settings), 0) << failing;
        memFailAllocations(0, 0);
        EXPECT_EQ(targets.glyphAtlas, 0u) << failing;
        EXPECT_EQ(memLiveBlocks(), live);
    }
    // An unknown format: the name exists, nothing is uploaded.
    RenderTargets targets{};
    settings.textureFormatSelector = 5;
    EXPECT_EQ(buildGlyphAtlas(&targets, &settings), 0);
    EXPECT_NE(targets.glyphAtlas, 0u);
    int32_t width = -1;
    readTexture(targets.glyphAtlas, &width);
    EXPECT_EQ(width, 0);
    glDeleteTextures(1, &targets.glyphAtlas);
    EXPECT_EQ(memLiveBlocks(), live);
}
