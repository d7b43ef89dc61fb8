// quorlax-capture frame as a program: the PNG it writes.
#include "base/memory.h"
#include "shared/png_file.h"
#include "support/tool_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

TEST(CaptureFrame, WritesTheLetterBoxedWindowPicture) {
    ScratchFolder folder;
    const std::string out = folder / "scene1.png";
    const ToolRun run = runCapture("frame --tick 420 --size 64x36 " + out);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("scene 1"), std::string::npos) << run.output;
    int32_t width = 0, height = 0;
    uint8_t* rgba = readPngFile(out.c_str(), &width, &height);
    ASSERT_NE(rgba, nullptr);
    const std::vector<uint8_t> picture(rgba, rgba + 64 * 36 * 4);
    memFree(rgba);
    ASSERT_EQ(width, 64);
    ASSERT_EQ(height, 36);
    // Five rows of 36 at the top and at the bottom are letter-box, black and opaque.
    int darkest = 255, brightest = 0;
    for (int y = 0; y < 36; ++y) {
        for (int x = 0; x < 64; ++x) {
            const uint8_t* p = &picture[(static_cast<size_t>(y) * 64 + x) * 4];
            if (y < 5 || y >= 31) {
                ASSERT_TRUE(p[0] == 0 && p[1] == 0 && p[2] == 0 && p[3] == 255) << "x " << x << " y " << y;
            } else if (y > 5 && y < 30) {
                darkest = std::min<int>(darkest, p[0] + p[1] + p[2]);
                brightest = std::max<int>(brightest, p[0] + p[1] + p[2]);
            }
        }
    }
    EXPECT_GT(brightest - darkest, 30) << "the picture between the bars is flat";
}
