#include "base/memory.h"
#include "framework/parameter_track.h"
#include "framework/track_data.h"
#include "shared/capture_plan.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr float kStep = (50.0f / 3.0f) / 60.0f; // 60 frames per second

class CapturePlan : public ::testing::Test {
  protected:
    TrackRegistry registry{};
    ParameterTrack* selector = nullptr;

    void SetUp() override {
        const TrackSource& data = builtinTrack(kSceneSelectorIndex);
        selector = registerTrack(&registry, data.name, data.times, data.values, data.modes, data.count);
        ASSERT_NE(selector, nullptr);
    }
    void TearDown() override { freeTracks(&registry); }

    std::vector<float> plan(float tick, int32_t frames, int32_t capacity = 64) {
        std::vector<float> times(static_cast<size_t>(capacity));
        const int32_t count = planCaptureFrames(selector, tick, kStep, frames, times.data(), capacity);
        times.resize(static_cast<size_t>(count));
        return times;
    }
};

} // namespace

TEST_F(CapturePlan, RunStartingInsideItsSceneBeginsWithThePreviousScenesLastFrames) {
    struct Case {
        float tick;
        float sceneStart; // 0: no frames of a previous scene expected
    } cases[] = {
        {1420.0f, 1402.0f},                // scene 4 fading in from the tunnel's last picture
        {1402.0f + 7.0f * kStep, 1402.0f}, // first warm-up frame exactly on the scene's first tick
        {700.0f, 636.0f},
        {1402.5f, 0.0f}, // the run itself crosses from scene 3 into scene 4
        {400.0f, 0.0f},  // scene 1 has no predecessor
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tick);
        const std::vector<float> times = plan(c.tick, 8);
        if (c.sceneStart == 0.0f) {
            ASSERT_EQ(times.size(), 8u);
            EXPECT_FLOAT_EQ(times.front(), c.tick - 7.0f * kStep);
            continue;
        }
        ASSERT_EQ(times.size(), 8u + kHandOverFrames);
        EXPECT_FLOAT_EQ(times[0], c.sceneStart - 2.0f * kStep);
        EXPECT_FLOAT_EQ(times[1], c.sceneStart - kStep);
        EXPECT_LT(evaluateTrack(selector, times[1]), evaluateTrack(selector, c.tick));
        EXPECT_FLOAT_EQ(times[2], c.tick - 7.0f * kStep);
        EXPECT_FLOAT_EQ(times.back(), c.tick);
    }
}

TEST_F(CapturePlan, RejectsArgumentsOutOfRangeAndShortBuffers) {
    float times[16];
    EXPECT_EQ(planCaptureFrames(selector, 10.0f, kStep, 0, times, 16), 0);
    EXPECT_EQ(planCaptureFrames(selector, 10.0f, 0.0f, 8, times, 16), 0);
    EXPECT_EQ(planCaptureFrames(selector, -1.0f, kStep, 8, times, 16), 0);
    EXPECT_EQ(planCaptureFrames(selector, 10.0f, kStep, 8, times, 7), 0);
    EXPECT_EQ(planCaptureFrames(selector, 1420.0f, kStep, 8, times, 9), 0); // needs 10
    EXPECT_EQ(planCaptureFrames(selector, 10.0f, kStep, 8, nullptr, 16), 0);
    EXPECT_EQ(planCaptureFrames(nullptr, 1420.0f, kStep, 8, times, 8), 8); // no selector, no hand-over
}
