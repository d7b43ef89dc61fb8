// quorlax-capture sheet: eight labelled pictures, each a scene of its own.
#include "capture_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

struct Region {
    int x, y, width, height;
};

// Luminance range and the mean absolute difference to the same region elsewhere.
int range(const Picture& sheet, Region r) {
    int low = 765, high = 0;
    for (int y = r.y; y < r.y + r.height; ++y)
        for (int x = r.x; x < r.x + r.width; ++x) {
            const uint8_t* p = &sheet.rgba[(size_t(y) * size_t(sheet.width) + size_t(x)) * 4];
            low = std::min(low, p[0] + p[1] + p[2]);
            high = std::max(high, p[0] + p[1] + p[2]);
        }
    return high - low;
}

double difference(const Picture& sheet, Region a, Region b) {
    double sum = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width * 4; ++x)
            sum +=
                std::abs(sheet.rgba[(size_t(a.y + y) * size_t(sheet.width) + size_t(a.x)) * 4 + size_t(x)] -
                         sheet.rgba[(size_t(b.y + y) * size_t(sheet.width) + size_t(b.x)) * 4 + size_t(x)]);
    return sum / (a.width * a.height * 4);
}

} // namespace

TEST(CaptureSheet, EightLabelledCellsEachAScene) {
    ScratchFolder folder;
    const ToolRun run = runCapture("sheet --size 64x36 " + folder / "sheet.png");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const Picture sheet = readPicture(folder / "sheet.png");
    // Four cells of 64 and five gaps of 4 across; two rows of 36 plus a 7-pixel label band, three gaps down.
    ASSERT_EQ(sheet.width, 276);
    ASSERT_EQ(sheet.height, 98);
    for (int cell = 0; cell < 8; ++cell) {
        SCOPED_TRACE(cell + 1);
        const int x = 4 + cell % 4 * 68, y = 4 + cell / 4 * 47;
        // The picture between the letter-box bars, and the label band under it.
        const Region picture{x, y + 6, 64, 24}, label{x, y + 36, 64, 7};
        EXPECT_GT(range(sheet, picture), 30) << "flat picture";
        EXPECT_GT(range(sheet, label), 300) << "no label";
        if (cell == 7) continue;
        const int nx = 4 + (cell + 1) % 4 * 68, ny = 4 + (cell + 1) / 4 * 47;
        EXPECT_GT(difference(sheet, picture, {nx, ny + 6, 64, 24}), 8.0) << "same picture as the next cell";
        EXPECT_GT(difference(sheet, label, {nx, ny + 36, 64, 7}), 1.0) << "same label as the next cell";
    }
}
