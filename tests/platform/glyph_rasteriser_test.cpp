#include "platform/linux/glyph_rasteriser.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace {

// A canvas inside a larger zeroed buffer, so writes past its edges would show.
struct Canvas {
    static constexpr int32_t kStride = 128, kRows = 96;
    std::vector<uint8_t> memory = std::vector<uint8_t>(kStride * kRows, 0);
    GlyphCanvas canvas;
    Canvas(int32_t width, int32_t height) : canvas{memory.data(), width, height, kStride, 1} {}
    uint8_t at(int32_t x, int32_t y) const { return memory[y * kStride + x]; }
};

struct InkBox {
    int32_t left = 1 << 30, right = -1, top = 1 << 30, bottom = -1;
    int64_t total = 0;
    int32_t partial = 0; // pixels strictly between 0 and 255
};

InkBox inkOf(const Canvas& c) {
    InkBox box;
    for (int32_t y = 0; y < Canvas::kRows; ++y)
        for (int32_t x = 0; x < Canvas::kStride; ++x) {
            uint8_t value = c.at(x, y);
            if (!value) continue;
            box.left = std::min(box.left, x), box.right = std::max(box.right, x);
            box.top = std::min(box.top, y), box.bottom = std::max(box.bottom, y);
            box.total += value;
            box.partial += value < 255;
        }
    return box;
}

struct Rasteriser : ::testing::Test {
    PlatformServices* platform = platformServices();
    GlyphFont* font = nullptr;
    void SetUp() override {
        font = platform->openGlyphFont(nullptr, "Courier New", 48, 1, 1);
        ASSERT_NE(font, nullptr);
    }
    void TearDown() override { platform->closeGlyphFont(font); }
    InkBox draw(GlyphFont* with, int32_t code, int32_t x, int32_t y, int32_t alignment) {
        Canvas c(Canvas::kStride, Canvas::kRows);
        platform->drawGlyph(with, &c.canvas, code, x, y, alignment);
        return inkOf(c);
    }
};

} // namespace

TEST(GlyphFace, CourierNewResolvesToABoldMonospacedFace) {
    char family[128], path[1024];
    int32_t index = -1;
    ASSERT_EQ(resolveGlyphFace("Courier New", 1, family, sizeof family, path, sizeof path, &index), 1);
    EXPECT_STREQ(family, "Liberation Mono"); // Debian's metric twin of Courier New
    EXPECT_NE(std::string(path).find("Bold"), std::string::npos) << path;
    EXPECT_EQ(index, 0);
    // A face that is not installed still yields a font to draw with.
    GlyphFont* font = platformServices()->openGlyphFont(nullptr, "No Such Face Anywhere", 48, 1, 1);
    EXPECT_NE(font, nullptr);
    platformServices()->closeGlyphFont(font);
    EXPECT_EQ(platformServices()->openGlyphFont(nullptr, "Courier New", 0, 1, 1), nullptr);
}

TEST(GlyphFace, AnsiCodesMapThroughWindows1252) {
    struct Case {
        int32_t code;
        uint32_t unicode;
    } cases[] = {{0x41, 0x41}, {0x80, 0x20AC}, {0x81, 0},    {0x8A, 0x160}, {0x9F, 0x178},
                 {0xA0, 0xA0}, {0xE9, 0xE9},   {0xFF, 0xFF}, {0x100, 0}};
    for (const Case& c : cases) EXPECT_EQ(unicodeForAnsiCode(c.code), c.unicode) << c.code;
}

TEST_F(Rasteriser, CellTopAndPenPlaceTheGlyph) {
    // The box of ascent plus descent starts at y: 'H' stands on the baseline about 35 below it.
    InkBox left = draw(font, 'H', 40, 10, GlyphAlignLeftTop);
    EXPECT_NEAR(left.bottom, 10 + 35 - 1, 1);
    EXPECT_GE(left.top, 10);
    // Centred, the same glyph moves left by half its advance (about 25 pixels at this size).
    InkBox centred = draw(font, 'H', 40, 10, GlyphAlignCentreTop);
    EXPECT_EQ(centred.top, left.top);
    EXPECT_NEAR(left.left - centred.left, 12, 1);
    EXPECT_NEAR((centred.left + centred.right) / 2.0, 40.0, 1.5);
}

TEST_F(Rasteriser, AntialiasedBoldInkAndItsAlternatives) {
    InkBox bold = draw(font, 'W', 40, 10, GlyphAlignCentreTop);
    EXPECT_GT(bold.partial, 0);

    GlyphFont* regular = platform->openGlyphFont(nullptr, "Courier New", 48, 0, 1);
    GlyphFont* aliased = platform->openGlyphFont(nullptr, "Courier New", 48, 1, 0);
    ASSERT_NE(regular, nullptr);
    ASSERT_NE(aliased, nullptr);
    EXPECT_LT(draw(regular, 'W', 40, 10, GlyphAlignCentreTop).total * 5, bold.total * 4);
    InkBox hard = draw(aliased, 'W', 40, 10, GlyphAlignCentreTop);
    EXPECT_EQ(hard.partial, 0);
    EXPECT_GT(hard.total, 0);
    platform->closeGlyphFont(regular);
    platform->closeGlyphFont(aliased);

    // Codes without a glyph in the face draw nothing.
    EXPECT_EQ(draw(font, ' ', 40, 10, GlyphAlignCentreTop).total, 0);
    EXPECT_EQ(draw(font, 0x81, 40, 10, GlyphAlignCentreTop).total, 0);
}

TEST_F(Rasteriser, DrawingIsClippedAndOnlyLightens) {
    // Partly off every edge of a 30 x 30 canvas: nothing lands outside it.
    Canvas c(30, 30);
    for (auto [x, y] : {std::pair{0, -20}, {28, 5}, {10, 20}, {-6, 0}, {15, 1032}})
        platform->drawGlyph(font, &c.canvas, 'M', x, y, GlyphAlignCentreTop);
    InkBox box = inkOf(c);
    EXPECT_GT(box.total, 0);
    EXPECT_LE(box.right, 29);
    EXPECT_LE(box.bottom, 29);

    // A second pass over the same place never darkens a pixel.
    Canvas once(Canvas::kStride, Canvas::kRows), twice(Canvas::kStride, Canvas::kRows);
    platform->drawGlyph(font, &once.canvas, '@', 40, 10, GlyphAlignCentreTop);
    platform->drawGlyph(font, &twice.canvas, '@', 40, 10, GlyphAlignCentreTop);
    platform->drawGlyph(font, &twice.canvas, '@', 41, 10, GlyphAlignCentreTop);
    int32_t brighter = 0;
    for (size_t i = 0; i < once.memory.size(); ++i) {
        ASSERT_GE(twice.memory[i], once.memory[i]) << i;
        brighter += twice.memory[i] > once.memory[i];
    }
    EXPECT_GT(brighter, 0);

    // With a pixel step of 4 only every fourth byte is touched.
    std::vector<uint8_t> rgba(64 * 64 * 4, 0);
    GlyphCanvas channel{rgba.data(), 64, 64, 64 * 4, 4};
    platform->drawGlyph(font, &channel, 'X', 32, 8, GlyphAlignCentreTop);
    int32_t inRed = 0;
    for (size_t i = 0; i < rgba.size(); ++i) {
        if (i % 4 == 0) {
            inRed += rgba[i] > 0;
            continue;
        }
        ASSERT_EQ(rgba[i], 0) << i;
    }
    EXPECT_GT(inRed, 50);
}
