// The presentation clock on a real audio device: a PulseAudio server with a null sink, started
// here with a private runtime folder, and the same program without any server.
#include "synth/audio_output.h"
#include "synth/clock.h"
#include "synth/render_thread.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct PulseServer {
    pid_t pid = -1;
    std::string folder;

    bool start() {
        char name[] = "/tmp/quorlax-pulse.XXXXXX";
        if (!mkdtemp(name)) return false;
        folder = name;
        const std::string socket = folder + "/native";
        const std::string home = "HOME=" + folder, runtime = "XDG_RUNTIME_DIR=" + folder;
        const std::string sink = "--load=module-null-sink sink_name=quorlax";
        const std::string protocol = "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket;
        const char* argv[] = {"pulseaudio",
                              "-n",
                              "--daemonize=no",
                              "--exit-idle-time=-1",
                              "--use-pid-file=no",
                              "--disable-shm=yes",
                              "--log-target=stderr",
                              "--log-level=0",
                              sink.c_str(),
                              protocol.c_str(),
                              nullptr};
        const char* env[] = {home.c_str(), runtime.c_str(), "PATH=/usr/bin:/bin", nullptr};
        if (posix_spawnp(&pid, "pulseaudio", nullptr, nullptr, const_cast<char**>(argv),
                         const_cast<char**>(env)) != 0)
            return false;
        struct stat info {};
        for (int i = 0; i < 100 && stat(socket.c_str(), &info) != 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        setenv("PULSE_SERVER", ("unix:" + socket).c_str(), 1);
        return stat(socket.c_str(), &info) == 0;
    }

    void stop() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
        pid = -1;
        if (!folder.empty()) std::system(("rm -rf '" + folder + "'").c_str());
        folder.clear();
    }
};

class AudioClock : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
        setClockTicksPerBeat(8);
        setClockTempo(125);
        updateClockTicksPerSecond();
        setClockLength(9733716);
    }
    void TearDown() override {
        stopAudio();
        releaseSongOutput();
        server.stop();
        unsetenv("SDL_AUDIODRIVER");
        unsetenv("PULSE_SERVER");
        setClockTicksPerBeat(0);
        setClockTempo(0);
        updateClockTicksPerSecond();
        setClockLength(0);
    }
    PulseServer server;
};

// The play position of the null sink moves at 44,100 frames a second of real time, and the show's
// time moves with it at 16 2/3 ticks a second.
TEST_F(AudioClock, NullSinkPositionAdvancesAtTheAudioRate) {
    ASSERT_TRUE(server.start()) << "pulseaudio did not start";
    ASSERT_EQ(openAudio(), 1);
    startPlayback();
    ASSERT_EQ(audioDeviceOpen(), 1);
    // The server takes its time to start pulling (a second or two on a busy machine).
    for (int i = 0; i < 100 && audioPlayPosition() < 8192; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto start = Clock::now();
    const uint32_t firstFrames = audioPlayPosition();
    const float firstTime = musicTime();
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double frameRate = (audioPlayPosition() - firstFrames) / seconds;
    const double tickRate = (musicTime() - firstTime) / seconds;
    EXPECT_NEAR(frameRate, 44100.0, 44100.0 * 0.2);
    EXPECT_NEAR(tickRate, 16.6667, 16.6667 * 0.2);
}

// With no server to reach no device opens, and the show runs on the wall clock from playback.
TEST_F(AudioClock, NoServerFallsBackToTheWallClock) {
    setenv("PULSE_SERVER", "unix:/nonexistent/quorlax/native", 1);
    EXPECT_EQ(openAudio(), 0);
    startPlayback();
    EXPECT_EQ(audioDeviceOpen(), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_GT(musicTime(), 0.5f * 16.6667f);
}

} // namespace
