// Audio output: the wall-clock fallback and the underrun watch.
#include "platform/audio_device.h"
#include "platform/platform.h"
#include "synth/audio_output.h"
#include "synth/clock.h"
#include "synth/render_thread.h"

#include <gtest/gtest.h>

namespace {

uint64_t wallMicroseconds = 0;

int failOpen(const AudioStream*) {
    return 0;
}
uint64_t fakeNow() {
    return wallMicroseconds;
}

class AudioOutputTest : public ::testing::Test {
  protected:
    void SetUp() override { resetAudioDeviceServices(); }
    void TearDown() override {
        stopAudio();
        releaseSongOutput();
        resetAudioDeviceServices();
    }
};

TEST_F(AudioOutputTest, FallsBackToTheWallClockWhenNoDeviceOpens) {
    audioDeviceServices()->openDevice = failOpen;
    audioDeviceServices()->nowMicroseconds = fakeNow;
    setClockTicksPerBeat(8);
    setClockTempo(125);
    updateClockTicksPerSecond();
    wallMicroseconds = 7000000;
    EXPECT_EQ(openAudio(), 0);
    EXPECT_EQ(audioPlayPosition(), 0u);
    startPlayback();
    EXPECT_EQ(audioDeviceOpen(), 0);
    EXPECT_EQ(musicTime(), 0.005f);
    wallMicroseconds += 500000;
    EXPECT_EQ(audioPlayPosition(), 22050u);
    wallMicroseconds += 500000;
    EXPECT_EQ(audioPlayPosition(), 44100u);
    EXPECT_FLOAT_EQ(musicTime(), 16.666668f + 0.005f);
    wallMicroseconds += 219000000;
    EXPECT_EQ(audioPlayPosition(), 220u * 44100u);
    stopAudio();
    EXPECT_EQ(audioPlayPosition(), 0u);
}

} // namespace
