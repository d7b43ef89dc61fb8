// quorlax-capture frame as a program: its arguments, its exit codes and the PNG it writes.
#include "framework/memory.h"
#include "shared/png_file.h"
#include "support/tool_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::string temporaryPath(const char* name) {
    return "/tmp/quorlax_capture_" + std::to_string(getpid()) + "_" + name;
}

} // namespace

TEST(CaptureFrame, RejectsBadArgumentsWithExitCodeTwo) {
    const std::string out = temporaryPath("never.png");
    struct Case {
        std::string arguments, message;
    } cases[] = {
        {"frame --size 16x9 " + out, "missing --tick"},
        {"frame --tick 10 " + out, "missing --size"},
        {"frame --tick 10 --size 16x9", "missing the output path"},
        {"frame --tick 10 --size 0x9 " + out, "--size needs WxH"},
        {"frame --tick 10 --size -16x9 " + out, "--size needs WxH"},
        {"frame --tick 10 --size 9000x9 " + out, "--size needs WxH"},
        {"frame --tick ten --size 16x9 " + out, "--tick needs"},
        {"frame --tick -1 --size 16x9 " + out, "--tick needs"},
        {"frame --tick 10 --size 16x9 --frames 7 " + out, "--frames needs"},
        {"frame --tick 10 --size 16x9 --frames 10001 " + out, "--frames needs"},
        // The largest and smallest counts pass the parse and fail only at the output path.
        {"frame --tick 10 --size 16x9 --frames 10000 /nonexistent-folder/x.png", "cannot write"},
        {"frame --tick 10 --size 16x9 --frames 8 /nonexistent-folder/x.png", "cannot write"},
        {"frame --tick 10 --size 16x9 --fps 0 " + out, "--fps needs"},
        {"frame --tick 10 --size 16x9 --colour red " + out, "unknown option"},
        {"frame --tick 10 --size 16x9 " + out + " second.png", "more than one output path"},
        {"frame --tick 10 --size", "missing value after"},
        {"frame --tick 0 --size 16x9 /nonexistent-folder/x.png", "cannot write"}, // 0 is a time
    };
    for (const Case& c : cases) {
        const ToolRun run = runCapture(c.arguments);
        EXPECT_EQ(run.exitCode, 2) << c.arguments << "\n" << run.output;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << c.arguments << "\n" << run.output;
    }
    EXPECT_NE(access(out.c_str(), F_OK), 0) << "a failed capture left a file";
}

TEST(CaptureFrame, WritesTheLetterBoxedWindowPicture) {
    const std::string out = temporaryPath("scene1.png");
    const ToolRun run = runCapture("frame --tick 420 --size 64x36 " + out);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("scene 1"), std::string::npos) << run.output;
    int32_t width = 0, height = 0;
    uint8_t* rgba = readPngFile(out.c_str(), &width, &height);
    std::remove(out.c_str());
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
