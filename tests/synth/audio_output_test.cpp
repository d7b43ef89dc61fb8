// Audio output: the wall-clock fallback, the platform device, and the underrun watch.
#include "platform/audio_device.h"
#include "platform/platform.h"
#include "synth/audio_output.h"
#include "synth/clock.h"
#include "synth/render_thread.h"

#include <gtest/gtest.h>

#include <cstdlib>

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

TEST_F(AudioOutputTest, WallClockFallbackCountsTheCursorPassingTheRendering) {
    audioDeviceServices()->openDevice = failOpen;
    audioDeviceServices()->nowMicroseconds = fakeNow;
    ASSERT_EQ(allocateSongOutput(441000, 64), 1);
    songOutput()->renderedFrames.store(44100);
    wallMicroseconds = 0;
    openAudio();
    startPlayback();
    wallMicroseconds = 500000;
    audioPlayPosition();
    EXPECT_EQ(audioUnderruns(), 0u);
    EXPECT_EQ(audioMinimumLead(), 22050);
    wallMicroseconds = 2000000;
    audioPlayPosition();
    EXPECT_EQ(audioUnderruns(), 1u);
    EXPECT_EQ(audioMinimumLead(), 44100 - 88200);
}

TEST_F(AudioOutputTest, WatchCountsOnlyWhileRenderingIsUnderWay) {
    struct Sighting {
        uint64_t cursor;
        uint32_t rendered;
        uint32_t underruns;
        int64_t minimumLead;
    };
    // Song of 1000 frames; the sightings accumulate in order.
    const Sighting sightings[] = {
        {0, 64, 0, 64},         // cursor at the start
        {1000, 2000, 0, 64},    // rendering finished: nothing to watch
        {100, 128, 0, 28},      // closer
        {128, 128, 0, 0},       // level: every frame taken is rendered
        {129, 128, 1, -1},      // one frame past the rendering
        {900, 999, 1, -1},      // ahead again; the minimum stays
        {5000, 999, 2, -4001},  // cursor far past (the device repeats the buffer)
        {5000, 1000, 2, -4001}, // the last frame rendered
    };
    PlaybackWatch watch;
    resetPlaybackWatch(&watch);
    EXPECT_EQ(watch.minimumLead.load(), kNoLeadSeen);
    for (const Sighting& s : sightings) {
        observePlayCursor(&watch, s.cursor, s.rendered, 1000);
        EXPECT_EQ(watch.underruns.load(), s.underruns) << s.cursor << " " << s.rendered;
        EXPECT_EQ(watch.minimumLead.load(), s.minimumLead) << s.cursor << " " << s.rendered;
    }
}

TEST_F(AudioOutputTest, OutputBufferHoldsWholeTicks) {
    EXPECT_EQ(songCapacityFrames(9733716, 64), 9733760u);
    EXPECT_EQ(songCapacityFrames(9733760, 64), 9733760u);
    EXPECT_EQ(songCapacityFrames(0, 64), 0u);
    EXPECT_EQ(songCapacityFrames(1, 64), 64u);
    EXPECT_EQ(songCapacityFrames(1000, 0), 1000u);
    EXPECT_EQ(songCapacityFrames(UINT32_MAX, 64), uint64_t(UINT32_MAX) + 1);
    EXPECT_EQ(allocateSongOutput(UINT32_MAX, 64), 0);

    ASSERT_EQ(allocateSongOutput(100, 64), 1);
    EXPECT_EQ(songOutput()->songFrames, 100u);
    EXPECT_EQ(songOutput()->capacityFrames, 128u);
    for (uint32_t i = 0; i < 256; ++i) ASSERT_EQ(songOutput()->frames[i], 0.0f);
}

uint64_t lastCursor = 0;
void recordCursor(void*, uint64_t cursor) {
    lastCursor = cursor;
}

// SDL's dummy driver plays nothing but takes frames at the real rate, like a sound card would.
TEST_F(AudioOutputTest, DeviceTakesFramesInRealTimeOnSdlsDummyDriver) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    static float frames[2 * 4410] = {};
    std::atomic<uint32_t> ready{4410};
    const AudioStream stream = {frames, 4410, &ready, recordCursor, nullptr};
    AudioDeviceServices* device = audioDeviceServices();
    const int opened = device->openDevice(&stream);
    unsetenv("SDL_AUDIODRIVER");
    ASSERT_EQ(opened, 1);
    EXPECT_EQ(device->devicePosition(), 0);
    device->startDevice();
    const uint64_t start = device->nowMicroseconds();
    int64_t position = 0;
    while (position < 2048 && device->nowMicroseconds() - start < 5000000) {
        platformServices()->sleepMs(5);
        position = device->devicePosition();
    }
    const uint64_t elapsed = device->nowMicroseconds() - start;
    device->closeDevice();
    EXPECT_GE(position, 2048);
    EXPECT_GE(lastCursor, uint64_t(position));
    // Taking frames far faster than real time would make a clock that races ahead.
    EXPECT_LE(uint64_t(position), (elapsed + 100000) * 44100 / 1000000 + 2048);
    EXPECT_EQ(device->devicePosition(), -1);
}

} // namespace
