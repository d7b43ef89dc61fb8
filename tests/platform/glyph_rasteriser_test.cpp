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
