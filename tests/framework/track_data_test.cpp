#include "base/memory.h"
#include "framework/parameter_track.h"
#include "framework/track_data.h"

#include <gtest/gtest.h>

namespace {

class TrackData : public ::testing::Test {
  protected:
    void SetUp() override {
        clearTrackRegistry(&registry);
        for (int32_t i = 0; i < kShowTrackCount; ++i) registerSource(builtinTrack(i));
    }
    void TearDown() override { freeTracks(&registry); }

    void registerSource(const TrackSource& s) {
        registerTrack(&registry, s.name, s.times, s.values, s.modes, s.count);
    }
    const ParameterTrack* track(const char* name) {
        int32_t index = findTrack(&registry, name);
        EXPECT_GE(index, 0) << name;
        return index < 0 ? nullptr : registry.tracks[index];
    }
    float at(const char* name, float t) { return evaluateTrack(track(name), t); }

    TrackRegistry registry{};
};

} // namespace

TEST_F(TrackData, WorkedValues) {
    EXPECT_EQ(at("scenetime", 318.0f), 0.5f);
    EXPECT_EQ(at("scenetime", 636.0f), 1.0f);
    EXPECT_EQ(at("mbrotate", 881.5f), 182.5f);
    EXPECT_EQ(at("mbrotate", 1518.0f), 3.0f);
    EXPECT_EQ(at("fadetime", 135.5f), 0.5f);
    for (float t : {137.0f, 140.0f, 148.5f, 148.99f}) EXPECT_EQ(at("fadetime", t), 1.0f) << t;
    EXPECT_EQ(at("fadetime", 149.0f), 0.0f);
    // Integer parameters are whole numbers on their stretches.
    EXPECT_EQ(at("textsection", 2719.5f), 1.0f);
    for (float t : {2421.0f, 2500.0f, 2557.99f}) EXPECT_EQ(at("shape", t), 1.0f) << t;
    EXPECT_EQ(at("shape", 2558.0f), 2.0f);
    // Past the last key each track keeps its last value.
    EXPECT_FLOAT_EQ(at("scratch", 4000.0f), 8.05f);
    EXPECT_EQ(at("scenetime", 3700.0f), 1.0f);
}
