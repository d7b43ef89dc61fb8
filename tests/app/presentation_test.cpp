// The shell on a headless 1280 x 720 context: the progress picture read back from the window's
// buffer, and one start-up, frames and shut-down of the presentation.
#include "app/application.h"
#include "base/memory.h"
#include "platform/audio_device.h"
#include "platform/headless_gl.h"
#include "platform/platform.h"
#include "renderer/renderer.h"
#include "support/gl_test.h"
#include "synth/clock.h"
#include "synth/render_thread.h"

#include <gtest/gtest.h>

#include <bit>
#include <chrono>
#include <thread>
#include <vector>

namespace {

uint64_t fakeNow;

class Shell : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ASSERT_TRUE(openHeadlessGl(1280, 720)) << "no headless GL"; }
    static void TearDownTestSuite() { closeHeadlessGl(); }
    void SetUp() override {
        displayServices()->swapDisplayBuffers = [] {};
    }
    void TearDown() override {
        resetDisplayServices();
        resetPlatformServices();
        resetAudioDeviceServices();
    }
};

// The bar's rectangle spans rows 323 to 378 (its bottom edge 379 = 720 * 135 / 256); the outline
// takes its outer rows and columns, the white is inside.
TEST_F(Shell, ProgressBarGeometryAt1280x720) {
    const int32_t cases[][2] = {{0, 0}, {50, 250}, {130, 650}, {190, 950}, {260, 1300}}; // stage, width
    DisplaySettings settings{0, {1280, 720, 32, 60}, nullptr};
    for (const auto& [stage, barWidth] : cases) {
        drawProgress(&settings, stage);
        const std::vector<uint8_t> pixels = readFramebuffer(0, 0, 1280, 720);
        int32_t wrong = 0;
        for (int32_t row = 0; row < 720; ++row)
            for (int32_t x = 0; x < 1280; ++x) {
                const uint8_t want = row >= 324 && row <= 377 && x >= 1 && x <= barWidth - 2 ? 255 : 0;
                const uint8_t* p = &pixels[(static_cast<size_t>(719 - row) * 1280 + x) * 4];
                if ((p[0] != want || p[2] != want) && wrong++ < 3)
                    ADD_FAILURE() << "stage " << stage << ": pixel " << x << "," << row << " is "
                                  << int(p[0]);
            }
    }
}

// Without a device the wall clock drives the show; it ends with the frame at two ticks before the
// song's 3678.6533, and shut-down hands back every block and leaves no rendering behind.
TEST_F(Shell, StartsInStagesEndsTwoTicksEarlyAndFreesEverything) {
    ASSERT_TRUE(initRenderer(nullptr, 160, 90)); // a small view keeps the frames quick
    platformServices()->sleepMs = [](uint32_t) {};
    audioDeviceServices()->openDevice = [](const AudioStream*) { return 0; };
    audioDeviceServices()->nowMicroseconds = [] { return fakeNow; };
    fakeNow = 1000000;
    const int64_t live = memLiveBlocks();
    std::vector<int32_t> stages;
    const ProgressSink sink{
        &stages, [](void* log, int32_t stage) { static_cast<std::vector<int32_t>*>(log)->push_back(stage); }};
    ASSERT_NE(startPresentation(&sink), 0);
    EXPECT_EQ(stages, (std::vector<int32_t>{0, 50, 130, 190, 260}));
    EXPECT_EQ(std::bit_cast<uint32_t>(clockTicksPerSecond()), 0x41855556u);
    EXPECT_FLOAT_EQ(musicLength(), 3678.6533f);

    const struct {
        uint64_t microseconds;
        float time;
        int32_t ended;
    } frames[] = {
        {0, 0.005f, 0}, {1000000, 16.671668f, 0}, {220589000, 3676.4883f, 0}, {220600000, 3676.6716f, 1}};
    for (const auto& f : frames) {
        fakeNow = 1000000 + f.microseconds;
        EXPECT_NEAR(musicTime(), f.time, 0.002f) << f.microseconds;
        EXPECT_EQ(presentFrame(), f.ended) << f.microseconds;
    }
    stopPresentation();
    // A render loop still running would publish its progress again.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(songOutput()->renderedFrames.load(), 0u);
    EXPECT_EQ(memLiveBlocks(), live);
}

} // namespace
