// The audio clock over waveOut, run under Wine. QUORLAX_EXPECT_WAVE_OUT says whether a device must
// open ("1", a sound server is running) or none may ("0"); either way the clock must move in real
// time, from the device's play position or from the wall clock.
#include "platform/audio_device.h"
#include "synth/audio_output.h"
#include "synth/builtin_song.h"
#include "synth/clock.h"
#include "synth/render_thread.h"
#include "synth/synth.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>

TEST(WaveOut, ClockFollowsThePlayPositionInRealTime) {
    setClockTicksPerBeat(8);
    setClockTempo(125);
    updateClockTicksPerSecond();
    // Started as the presentation starts: the device plays the song's own buffer (openAudio
    // replaces one not made for the prepared song, and waveOut opens for no empty stream).
    size_t songBytes = 0;
    const uint8_t* song = builtinSongBytes(&songBytes);
    ASSERT_EQ(prepareSynth(song, songBytes, builtinPatchWords()), 1);
    ASSERT_EQ(startRenderThread(), 1);
    const int opened = openAudio();
    if (const char* expected = std::getenv("QUORLAX_EXPECT_WAVE_OUT")) {
        EXPECT_EQ(opened, std::atoi(expected));
    }
    AudioDeviceServices* device = audioDeviceServices();
    startPlayback();
    const uint64_t start = device->nowMicroseconds();
    uint32_t earlier = audioPlayPosition();
    Sleep(800);
    const uint32_t position = audioPlayPosition();
    const float ticks = musicTime();
    const uint64_t elapsed = (device->nowMicroseconds() - start) * kAudioFrameRate / 1000000u;

    // Moving, at about the real rate (a device starts with some latency), never ahead of it.
    EXPECT_GT(position, earlier);
    EXPECT_GT(position, elapsed / 2);
    EXPECT_LE(position, elapsed + kAudioFrameRate / 10);
    // The show's clock is that position in ticks of 1/16.67 s (read a moment later).
    EXPECT_GE(ticks, position / 44100.0f * 16.666668f);
    EXPECT_LT(ticks, position / 44100.0f * 16.666668f + 1.0f);
    if (opened) {
        EXPECT_GE(device->devicePosition(), int64_t(position));
    }
    stopAudio();
    stopRenderThread();
    releaseSynth();
    releaseSongOutput();
    EXPECT_EQ(audioDeviceOpen(), 0);
    setClockTicksPerBeat(0);
    setClockTempo(0);
    updateClockTicksPerSecond();
}
