#include "framework/memory.h"
#include "framework/parameter_track.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
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
    void SetUp() override {
        liveBefore = memLiveBlocks();
        clearTrackRegistry(&registry);
    }
    void TearDown() override {
        freeTracks(&registry);
        EXPECT_EQ(registry.count, 0);
        EXPECT_EQ(registry.tracks, nullptr);
        EXPECT_EQ(memLiveBlocks(), liveBefore);
        memFailAllocations(0, 0);
    }
    TrackRegistry registry{};
    int64_t liveBefore = 0;
};

} // namespace

TEST(FloatToInt, FloorsEveryFiniteValueInRange) {
    struct Case {
        float in;
        int32_t out;
    };
    const Case cases[] = {
        {0.0f, 0},
        {-0.0f, 0},
        {0.5f, 0},
        {-0.5f, -1},
        {1.0f, 1},
        {-1.0f, -1},
        {2.9f, 2},
        {-2.9f, -3},
        {635.999f, 635},
        {636.0f, 636},
        {-1e-30f, -1},
        {16777216.0f, 16777216},
        {2147483520.0f, 2147483520},
        {-2147483648.0f, INT32_MIN},
    };
    for (const Case& c : cases) EXPECT_EQ(floorToInt(c.in), c.out) << c.in;
}

TEST(FloatToInt, TruncationGoesTowardZero) {
    const float in[] = {2.9f, -0.5f, -2.9f, 1.0f, -2147483648.0f};
    const int32_t out[] = {2, 0, -2, 1, INT32_MIN};
    for (size_t i = 0; i < std::size(in); ++i) EXPECT_EQ(truncateToInt(in[i]), out[i]) << in[i];
    EXPECT_EQ(truncateToInt(std::numeric_limits<float>::quiet_NaN()), INT32_MIN);
    EXPECT_EQ(truncateToInt(3e9f), INT32_MIN);
}

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

TEST_F(Tracks, FindKeyIndexReturnsLastKeyAtOrBeforeTick) {
    ParameterTrack* track = add(&registry, "t", {{10, 20, 30, 40, 50}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}});
    const int32_t expected[][2] = {{INT32_MIN, -1}, {9, -1}, {10, 0}, {11, 0}, {29, 1},
                                   {30, 2},         {49, 3}, {50, 4}, {51, 4}, {INT32_MAX, 4}};
    for (const auto& e : expected) EXPECT_EQ(findKeyIndex(track, e[0]), e[1]) << e[0];
    ParameterTrack* empty = add(&registry, "empty", {});
    EXPECT_EQ(findKeyIndex(empty, 0), -1);
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
}

TEST_F(Tracks, UnknownModeGivesZeroOnItsStretchOnly) {
    ParameterTrack* track = add(&registry, "t", {{0, 10, 20}, {3, 5, 7}, {Linear, 5, Linear}});
    EXPECT_EQ(evaluateTrack(track, 5.0f), 4.0f);
    EXPECT_FLOAT_EQ(evaluateTrack(track, 9.99f), 4.998f);
    EXPECT_EQ(evaluateTrack(track, 10.0f), 0.0f);
    EXPECT_EQ(evaluateTrack(track, 15.0f), 0.0f);
    EXPECT_EQ(evaluateTrack(track, 19.99f), 0.0f);
    EXPECT_EQ(evaluateTrack(track, 20.0f), 7.0f);
    // Negative modes are widened with their sign and are just as unknown.
    ParameterTrack* negative = add(&registry, "n", {{0, 10}, {3, 5}, {-1, Hold}});
    EXPECT_EQ(negative->keys[0].interpolation, -1);
    EXPECT_EQ(evaluateTrack(negative, 4.0f), 0.0f);
}

TEST_F(Tracks, InterpolationUsesTheUnflooredTimeInSinglePrecision) {
    ParameterTrack* track = add(&registry, "t", {{1000, 1003}, {0, 1}, {Linear, Hold}});
    const float t = 1001.7f;
    const float expected = (t - 1000.0f) / 3.0f;
    EXPECT_EQ(std::bit_cast<uint32_t>(evaluateTrack(track, t)), std::bit_cast<uint32_t>(expected));
}

TEST_F(Tracks, RegisterIsGetOrCreateAndKeepsFirstData) {
    ParameterTrack* first = add(&registry, "fade", {{0, 10}, {1, 2}, {Hold, Hold}});
    ParameterTrack* again = add(&registry, "fade", {{0}, {99}, {Hold}});
    EXPECT_EQ(first, again);
    EXPECT_EQ(registry.count, 1);
    ASSERT_EQ(first->count, 2);
    EXPECT_EQ(first->keys[0].value, 1.0f);
    // Names match exactly: case and length matter; indices follow creation order.
    ParameterTrack* upper = add(&registry, "Fade", {});
    ParameterTrack* longer = add(&registry, "fadex", {});
    EXPECT_NE(upper, first);
    EXPECT_NE(longer, first);
    EXPECT_EQ(findTrack(&registry, "fade"), 0);
    EXPECT_EQ(findTrack(&registry, "Fade"), 1);
    EXPECT_EQ(findTrack(&registry, "fadex"), 2);
    EXPECT_EQ(findTrack(&registry, "fad"), -1);
    EXPECT_EQ(findTrack(&registry, ""), -1);
    EXPECT_STREQ(registry.tracks[2]->name, "fadex");
}

TEST_F(Tracks, CreateGrowsTheArrayKeepingEarlierTracks) {
    ParameterTrack* a = add(&registry, "a", {{1}, {1}, {Hold}});
    ParameterTrack* b = add(&registry, "b", {{2}, {2}, {Hold}});
    EXPECT_EQ(memSize(registry.tracks), 2 * sizeof(ParameterTrack*));
    EXPECT_EQ(createTrack(&registry, "c"), 2);
    EXPECT_EQ(memSize(registry.tracks), 3 * sizeof(ParameterTrack*));
    EXPECT_EQ(registry.tracks[0], a);
    EXPECT_EQ(registry.tracks[1], b);
    EXPECT_EQ(registry.tracks[2]->count, 0);
    EXPECT_EQ(registry.tracks[2]->keys, nullptr);
}

TEST_F(Tracks, KeyAllocationFailureLeavesAnEmptyTrack) {
    const int32_t times[] = {0, 10};
    const float values[] = {5, 6};
    const int8_t modes[] = {Linear, Hold};
    // The track record and its name succeed, the array growth too; the key array fails.
    memFailAllocations(3, 1);
    ParameterTrack* track = registerTrack(&registry, "t", times, values, modes, 2);
    memFailAllocations(0, 0);
    ASSERT_NE(track, nullptr);
    EXPECT_EQ(track->count, 0);
    EXPECT_EQ(evaluateTrack(track, 5.0f), 0.0f);
    EXPECT_EQ(setTrackKeys(track, times, values, modes, 2), 0);
    EXPECT_EQ(evaluateTrack(track, 5.0f), 5.5f);
    memFailAllocations(0, 1);
    EXPECT_EQ(setTrackKeys(track, times, values, modes, 2), -1);
    EXPECT_EQ(track->count, 0);
    EXPECT_EQ(track->keys, nullptr);
}

TEST_F(Tracks, CreationFailureLeavesTheRegistryUnchanged) {
    add(&registry, "kept", {{0}, {1}, {Hold}});
    ParameterTrack** before = registry.tracks;
    for (int64_t failing = 0; failing < 3; ++failing) {
        memFailAllocations(failing, 1);
        EXPECT_EQ(createTrack(&registry, "new"), -1) << failing;
        memFailAllocations(0, 0);
        EXPECT_EQ(registry.count, 1);
        EXPECT_EQ(registry.tracks, before);
        EXPECT_EQ(findTrack(&registry, "new"), -1);
    }
    memFailAllocations(0, 1);
    EXPECT_EQ(add(&registry, "new", {}), nullptr);
    memFailAllocations(0, 0);
    EXPECT_EQ(registry.count, 1);
}
