#include "base/memory.h"
#include "framework/parameter_track.h"
#include "support/memory_guards.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace {

struct Keys {
    std::vector<int32_t> times;
    std::vector<float> values;
    std::vector<int8_t> modes;
};

ParameterTrack* add(TrackRegistry* registry, const char* name, const Keys& keys) {
    return registerTrack(registry, name, keys.times.data(), keys.values.data(), keys.modes.data(),
                         static_cast<int32_t>(keys.times.size()));
}

class Tracks : public ::testing::Test {
  protected:
    void SetUp() override { clearTrackRegistry(&registry); }
    void TearDown() override {
        freeTracks(&registry);
        EXPECT_EQ(registry.count, 0);
        EXPECT_EQ(registry.tracks, nullptr);
    }
    LeakGuard leaks; // checked after TearDown
    TrackRegistry registry{};
};

} // namespace

TEST(FloatToInt, OutOfRangeAndNanGiveTheIndefiniteValue) {
    const float cases[] = {2147483648.0f,
                           -2147483904.0f,
                           1e30f,
                           -1e30f,
                           std::numeric_limits<float>::infinity(),
                           -std::numeric_limits<float>::infinity(),
                           std::numeric_limits<float>::quiet_NaN()};
    for (float c : cases) EXPECT_EQ(floorToInt(c), INT32_MIN) << c;
}

TEST_F(Tracks, EmptyTrackIsZeroEverywhere) {
    ParameterTrack* track = add(&registry, "empty", {});
    for (float t : {-5.0f, 0.0f, 1.5f, 1e9f}) EXPECT_EQ(evaluateTrack(track, t), 0.0f);
    EXPECT_EQ(evaluateTrack(nullptr, 3.0f), 0.0f);
}

TEST_F(Tracks, BeforeFirstAndAfterLastKeyReturnTheirValues) {
    // The last key's mode (EaseIn here) is never used.
    ParameterTrack* track = add(&registry, "t", {{0, 10, 20}, {7, 1, 9}, {Linear, Linear, EaseIn}});
    EXPECT_EQ(evaluateTrack(track, -0.5f), 7.0f);
    EXPECT_EQ(evaluateTrack(track, -100.0f), 7.0f);
    EXPECT_EQ(evaluateTrack(track, 20.0f), 9.0f);
    EXPECT_EQ(evaluateTrack(track, 20.75f), 9.0f);
    EXPECT_EQ(evaluateTrack(track, 5000.0f), 9.0f);
    // A one-key track is constant.
    ParameterTrack* single = add(&registry, "one", {{100}, {4}, {Linear}});
    for (float t : {-1.0f, 100.0f, 250.5f}) EXPECT_EQ(evaluateTrack(single, t), 4.0f);
}

TEST_F(Tracks, EachModeShapesItsStretch) {
    ParameterTrack* track =
        add(&registry, "t",
            {{0, 10, 20, 30, 40, 50}, {2, 6, 10, 0, 4, 8}, {Hold, Linear, SmoothStep, EaseIn, Hold, Hold}});
    EXPECT_EQ(evaluateTrack(track, 0.0f), 2.0f);
    EXPECT_EQ(evaluateTrack(track, 9.9f), 2.0f);                            // Hold
    EXPECT_EQ(evaluateTrack(track, 12.5f), 7.0f);                           // Linear: 6 + 0.25 * 4
    EXPECT_EQ(evaluateTrack(track, 25.0f), 5.0f);                           // SmoothStep at u = 0.5
    EXPECT_FLOAT_EQ(evaluateTrack(track, 22.5f), 10.0f - 10.0f * 0.15625f); // (3 - 0.5) * 0.0625
    EXPECT_EQ(evaluateTrack(track, 35.0f), 1.0f);                           // EaseIn: 0 + 4 * 0.25
    EXPECT_EQ(evaluateTrack(track, 30.0f), 0.0f);
    EXPECT_EQ(evaluateTrack(track, 49.5f), 4.0f); // the stretch between the last two keys
}

TEST_F(Tracks, EachFailedAllocationLeavesTheRegistryWhole) {
    // Registering a second track takes four blocks: the track, its name, the grown table, the keys.
    add(&registry, "first", {{0}, {1}, {Hold}});
    struct Case {
        int64_t failing;
        int32_t count;
        bool registered;
    } cases[] = {{0, 1, false}, {1, 1, false}, {2, 1, false}, {3, 2, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failing);
        ParameterTrack* track;
        {
            FailingAllocations failing(c.failing, 1);
            track = add(&registry, "second", {{0, 8}, {2, 3}, {Linear, Hold}});
        }
        ASSERT_EQ(registry.count, c.count);
        EXPECT_EQ(track != nullptr, c.registered);
        EXPECT_EQ(evaluateTrack(registry.tracks[0], 5.0f), 1.0f);
        if (track) {
            EXPECT_EQ(track->count, 0) << "a track without its keys is empty, not half-filled";
        }
    }
    EXPECT_EQ(findTrack(&registry, "second"), 1);
}
