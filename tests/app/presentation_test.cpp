// The shell on a headless 1280 x 720 context: the progress picture read back from the window's
// buffer, and one start-up, frames and shut-down of the presentation.
#include "app/application.h"
#include "framework/memory.h"
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

constexpr int32_t kWidth = 1280, kHeight = 720;

void noSwap() {}
void noSleep(uint32_t) {}
int noDevice(const AudioStream*) {
    return 0;
}
uint64_t fakeNow;
uint64_t fakeClock() {
    return fakeNow;
}

class Shell : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ASSERT_TRUE(openHeadlessGl(kWidth, kHeight)) << "no headless GL"; }
    static void TearDownTestSuite() { closeHeadlessGl(); }
    void SetUp() override { displayServices()->swapDisplayBuffers = noSwap; }
    void TearDown() override {
        resetDisplayServices();
        resetPlatformServices();
        resetAudioDeviceServices();
    }
};

// The bar's rectangle spans rows 323 to 378 (its bottom edge 379 = 720 * 135 / 256); the outline
// takes its outer rows and columns, the white is inside.
TEST_F(Shell, ProgressBarGeometryAt1280x720) {
    const struct {
        int32_t stage, barWidth;
    } cases[] = {{0, 0}, {50, 250}, {130, 650}, {190, 950}, {260, 1300}};
    DisplaySettings settings{0, {kWidth, kHeight, 32, 60}, nullptr};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stage);
        drawProgress(&settings, c.stage);
        const std::vector<uint8_t> pixels = readFramebuffer(0, 0, kWidth, kHeight);
        int32_t wrong = 0;
        for (int32_t row = 0; row < kHeight && wrong < 5; ++row) {
            for (int32_t x = 0; x < kWidth; ++x) {
                const bool white = row >= 324 && row <= 377 && x >= 1 && x <= c.barWidth - 2;
                const uint8_t* p = &pixels[(static_cast<size_t>(kHeight - 1 - row) * kWidth + x) * 4];
                const uint8_t want = white ? 255 : 0;
                if (p[0] != want || p[1] != want || p[2] != want) {
                    ADD_FAILURE() << "pixel " << x << "," << row << " is " << int(p[0]);
                    if (++wrong >= 5) break;
                }
            }
        }
    }
}

struct StageLog {
    std::vector<int32_t> stages;
};

void logStage(void* context, int32_t stage) {
    static_cast<StageLog*>(context)->stages.push_back(stage);
}

// Without a device the wall clock drives the show; it ends with the frame at two ticks before the
// song's 3678.6533, and shut-down hands back every block and leaves no rendering behind.
TEST_F(Shell, StartsInStagesEndsTwoTicksEarlyAndFreesEverything) {
    // A small view keeps the frames quick on a software rasteriser.
    ASSERT_TRUE(initRenderer(nullptr, 160, 90));
    platformServices()->sleepMs = noSleep;
    audioDeviceServices()->openDevice = noDevice;
    audioDeviceServices()->nowMicroseconds = fakeClock;
    fakeNow = 1000000;
    const int64_t live = memLiveBlocks();
    StageLog log;
    const ProgressSink sink{&log, logStage};
    ASSERT_NE(startPresentation(&sink), 0);
    EXPECT_EQ(log.stages, (std::vector<int32_t>{0, 50, 130, 190, 260}));
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
    EXPECT_EQ(songOutput()->frames, nullptr);
    EXPECT_EQ(memLiveBlocks(), live);
}

} // namespace
