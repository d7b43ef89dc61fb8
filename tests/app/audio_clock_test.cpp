// The presentation clock on a real audio device: a PulseAudio server with a null sink, started
// here with a private runtime folder.
#include "synth/audio_output.h"
#include "synth/clock.h"
#include "synth/render_thread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// The play position of the null sink moves at 44,100 frames a second of real time, and the show's
// time moves with it at 16 2/3 ticks a second.
TEST(AudioClock, NullSinkPositionAdvancesAtTheAudioRate) {
    char folder[] = "/tmp/quorlax-pulse.XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string env = std::string("HOME=") + folder + " XDG_RUNTIME_DIR=" + folder + " ";
    // --daemonize returns once the server listens.
    ASSERT_EQ(std::system((env +
                           "timeout 20 pulseaudio -n --daemonize=yes --exit-idle-time=-1 --disable-shm=yes "
                           "--log-level=0 --load='module-null-sink' --load='module-native-protocol-unix "
                           "auth-anonymous=1 socket=" +
                           folder + "/native'")
                              .c_str()),
              0);
    setenv("PULSE_SERVER", (std::string("unix:") + folder + "/native").c_str(), 1);
    setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
    setClockTicksPerBeat(8);
    setClockTempo(125);
    updateClockTicksPerSecond();

    EXPECT_EQ(openAudio(), 1);
    startPlayback();
    // The server takes its time to start pulling (a second or two on a busy machine).
    for (int i = 0; i < 100 && audioPlayPosition() < 8192; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto start = Clock::now();
    const uint32_t firstFrames = audioPlayPosition();
    const float firstTime = musicTime();
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_NEAR((audioPlayPosition() - firstFrames) / seconds, 44100.0, 44100.0 * 0.2);
    EXPECT_NEAR((musicTime() - firstTime) / seconds, 16.6667, 16.6667 * 0.2);

    stopAudio();
    releaseSongOutput();
    std::system((env + "pulseaudio --kill; rm -rf " + folder).c_str());
    unsetenv("SDL_AUDIODRIVER");
    unsetenv("PULSE_SERVER");
    setClockTicksPerBeat(0);
    setClockTempo(0);
    updateClockTicksPerSecond();
}

} // namespace
