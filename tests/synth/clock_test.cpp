// The presentation clock: where the show starts and ends.
#include "platform/audio_device.h"
#include "synth/audio_output.h"
#include "synth/clock.h"
#include "synth/render_thread.h"

#include <gtest/gtest.h>

namespace {

int64_t devicePosition = 0;

int openFake(const AudioStream*) {
    return 1;
}
void nothing() {}
int64_t fakePosition() {
    return devicePosition;
}

// A device whose position the test sets, and the clock parameters the shell sets at start-up.
class ClockTest : public ::testing::Test {
  protected:
    void SetUp() override {
        AudioDeviceServices* device = audioDeviceServices();
        device->openDevice = openFake;
        device->startDevice = nothing;
        device->closeDevice = nothing;
        device->devicePosition = fakePosition;
        devicePosition = 0;
        setClockTicksPerBeat(8);
        setClockTempo(125);
        updateClockTicksPerSecond();
        setClockLength(9733716);
        ASSERT_EQ(openAudio(), 1);
        startPlayback();
    }
    void TearDown() override {
        stopAudio();
        releaseSongOutput();
        resetAudioDeviceServices();
    }
    float timeAt(int64_t frames) {
        devicePosition = frames;
        return musicTime();
    }
};

TEST_F(ClockTest, ReadsTheOffsetAtTheStartAndOneSecondOfTicksLater) {
    EXPECT_EQ(timeAt(0), 0.005f);
    EXPECT_EQ(playPositionSeconds(), 0.0f);
    EXPECT_FLOAT_EQ(timeAt(44100), 16.666668f + 0.005f);
    EXPECT_FLOAT_EQ(playPositionSeconds(), 1.0f);
}

TEST_F(ClockTest, EndConditionHoldsFrom3676Point6533Ticks) {
    const float end = musicLength() - 2.0f;
    // The first frame whose time reaches the end: about 0.12 s before the last frame of the song.
    int64_t low = 0, high = 9733716;
    while (low < high) {
        const int64_t middle = (low + high) / 2;
        if (timeAt(middle) >= end)
            high = middle;
        else
            low = middle + 1;
    }
    EXPECT_GE(timeAt(low), 3676.6533f);
    EXPECT_LT(timeAt(low - 1), 3676.6533f);
    EXPECT_NEAR(double(low), 9733716.0 - 2.0 / (50.0 / 3.0) * 44100.0, 16.0);
    for (int64_t frames : {low, low + 1, low + 1000, int64_t(9733716)}) EXPECT_GE(timeAt(frames), end);
}

// Seeking needs the inverse: the first play position at or after a time, so that playing from it
// shows that time or just after it, never before.
TEST_F(ClockTest, FrameAtTimeIsTheFirstFrameReachingIt) {
    struct Case {
        float time;
        uint32_t near; // the frame in real arithmetic, within two frames
    };
    const Case cases[] = {
        {-5.0f, 0}, {0.0f, 0}, {0.005f, 0}, {16.671668f, 44100}, {636.0f, 1682843}, {3676.0f, 9726683},
    };
    for (const Case& c : cases) {
        const uint32_t frame = clockFrameAtTime(c.time);
        EXPECT_NEAR(double(frame), double(c.near), 2.0) << c.time;
        EXPECT_GE(clockTimeAtFrame(frame), c.time) << c.time;
        if (frame > 0) {
            EXPECT_LT(clockTimeAtFrame(frame - 1), c.time) << c.time;
        }
        EXPECT_EQ(clockTimeAtFrame(frame), timeAt(frame)) << "the clock reads positions the same way";
    }
}

} // namespace
