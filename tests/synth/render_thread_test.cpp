// The render loop and thread: whole ticks up to the song length, the output's narrowing toward
// zero, empty songs, the float mode handed back, and staying ahead of a real-time play cursor.
#include "platform/audio_device.h"
#include "platform/platform.h"
#include "support/synth_builder.h"
#include "synth/audio_output.h"
#include "synth/builtin_song.h"
#include "synth/graph.h"
#include "synth/render_thread.h"
#include "synth/synth.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <xmmintrin.h>

#include <algorithm>
#include <atomic>
#include <ctime>

#include <bit>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

namespace {

// A patch whose master is the product of two stereo constants: cheap enough for a full-length song.
std::vector<uint16_t> productPatch(float leftA, float rightA, float leftB, float rightB) {
    PatchBuilder patch;
    patch.node("master", UnitType::Multiply, {patch.constant(leftA, rightA), patch.constant(leftB, rightB)});
    return patch.words();
}

std::vector<uint8_t> emptySong(int32_t length, int32_t samplesPerTick) {
    SongBuilder song;
    song.lengthSamples = length;
    song.samplesPerTick = samplesPerTick;
    return song.bytes();
}

bool waitUntilRendered() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!songRenderFinished()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

AudioStream openedStream;
int captureOpen(const AudioStream* stream) {
    openedStream = *stream;
    return 1;
}
void nothing() {}

class RenderThreadTest : public ::testing::Test {
  protected:
    void TearDown() override {
        stopAudio();
        resetAudioDeviceServices();
        releaseSongOutput();
        releaseSynth();
    }
    void prepare(const std::vector<uint8_t>& song, const std::vector<uint16_t>& patch) {
        ASSERT_EQ(prepareSynth(song.data(), song.size(), patch.data()), 1);
        ASSERT_EQ(prepareSongOutput(), 1);
    }
};

TEST_F(RenderThreadTest, RendersWholeTicksPastTheLengthAndTheDevicePlaysTheLength) {
    prepare(emptySong(9733716, 64), productPatch(0.25f, -0.5f, 1.0f, 1.0f));
    SongOutput* song = songOutput();
    ASSERT_EQ(song->capacityFrames, 9733760u);

    EXPECT_EQ(renderSongOutput(song), 9733760u);
    EXPECT_EQ(renderPosition() / 64, 152090u);
    EXPECT_EQ(synthGraph().sampleCounter, 1u + 9733760u);
    EXPECT_EQ(song->renderedFrames.load(), 9733760u);
    // The last 44 frames are rendered too; only the device leaves them out.
    for (uint32_t frame : {0u, 9733715u, 9733716u, 9733759u}) {
        EXPECT_EQ(song->frames[2 * frame], 0.25f) << frame;
        EXPECT_EQ(song->frames[2 * frame + 1], -0.5f) << frame;
    }

    audioDeviceServices()->openDevice = captureOpen;
    audioDeviceServices()->startDevice = nothing;
    audioDeviceServices()->closeDevice = nothing;
    ASSERT_EQ(openAudio(), 1);
    EXPECT_EQ(openedStream.frames, song->frames);
    EXPECT_EQ(openedStream.frameCount, 9733716u);
    EXPECT_EQ(openedStream.readyFrames, &song->renderedFrames);
}

TEST_F(RenderThreadTest, LengthBetweenTicksEndsWithTheTickThatReachesIt) {
    prepare(emptySong(100, 64), productPatch(1.0f, 1.0f, 1.0f, 1.0f));
    EXPECT_EQ(songOutput()->capacityFrames, 128u);
    EXPECT_EQ(renderSongOutput(songOutput()), 128u);
    EXPECT_EQ(songOutput()->frames[2 * 127], 1.0f);
}

TEST_F(RenderThreadTest, EmptySongsRenderNothingAndFinish) {
    struct Case {
        int32_t length;
        int32_t samplesPerTick;
        uint32_t capacity;
    };
    // A grid of 0 would never advance; the device still gets the length, in silence.
    for (const Case& c : {Case{0, 64, 0}, Case{1000, 0, 1000}, Case{1000, -5, 1000}, Case{-7, 64, 0}}) {
        SCOPED_TRACE(testing::Message() << c.length << " samples, " << c.samplesPerTick << " per tick");
        prepare(emptySong(c.length, c.samplesPerTick), productPatch(1.0f, 1.0f, 1.0f, 1.0f));
        SongOutput* song = songOutput();
        EXPECT_EQ(song->capacityFrames, c.capacity);
        EXPECT_EQ(renderSongOutput(song), 0u);
        EXPECT_EQ(synthGraph().sampleCounter, 1u);
        EXPECT_TRUE(songRenderFinished());
        for (uint32_t i = 0; i < 2 * c.capacity; ++i) ASSERT_EQ(song->frames[i], 0.0f) << i;

        ASSERT_EQ(startRenderThread(), 1);
        EXPECT_TRUE(waitUntilRendered());
        releaseSongOutput();
    }
}

// The double nearest zero of the two floats around x.
float towardZero(double x) {
    float f = static_cast<float>(x);
    if (std::fabs(double(f)) > std::fabs(x)) f = std::nextafter(f, 0.0f);
    return f;
}

TEST_F(RenderThreadTest, NarrowsSamplesTowardZeroAndHandsTheFloatModeBack) {
    // (1 + 2500 ulp)^2 lies 0.745 ulp above a float: rounding to nearest would go up.
    const float a = 1.0f + 2500.0f * std::ldexp(1.0f, -23);
    const double product = double(a) * double(a);
    ASSERT_NE(static_cast<float>(product), towardZero(product));
    prepare(emptySong(64, 64), productPatch(a, -a, a, a));

    const uint32_t callerMode = _mm_getcsr();
    _mm_setcsr(0x1F80 | 0x3F); // default mode with every exception flag raised
    renderSongOutput(songOutput());
    const uint32_t after = _mm_getcsr();
    _mm_setcsr(callerMode);
    EXPECT_EQ(after, 0x1F80u);

    const float* frames = songOutput()->frames;
    EXPECT_EQ(std::bit_cast<uint32_t>(frames[0]), std::bit_cast<uint32_t>(towardZero(product)));
    EXPECT_EQ(std::bit_cast<uint32_t>(frames[1]), std::bit_cast<uint32_t>(towardZero(-product)));
    EXPECT_EQ(std::bit_cast<uint32_t>(frames[126]), std::bit_cast<uint32_t>(towardZero(product)));
}

TEST_F(RenderThreadTest, ThreadRendersWhatTheOfflineEntryRenders) {
    size_t songBytes = 0;
    const uint8_t* songData = builtinSongBytes(&songBytes);
    constexpr uint32_t kFrames = 3 * 44100;
    std::vector<float> offline(2 * kFrames);
    ASSERT_EQ(renderSong(songData, songBytes, builtinPatchWords(), offline.data(), kFrames), 1);

    ASSERT_EQ(prepareSynth(songData, songBytes, builtinPatchWords()), 1);
    ASSERT_EQ(allocateSongOutput(kFrames, 64), 1);
    ASSERT_EQ(startRenderThread(), 1);
    ASSERT_TRUE(waitUntilRendered());
    const float* frames = songOutput()->frames;
    for (uint32_t i = 0; i < 2 * kFrames; ++i)
        ASSERT_EQ(std::bit_cast<uint32_t>(frames[i]), std::bit_cast<uint32_t>(offline[i])) << i;
}

// The render thread's own CPU clock, so the real-time check below measures the thread's speed and
// not how the test machine happens to share its cores.
struct ThreadStartRecord {
    ThreadEntry entry;
    void* argument;
};
ThreadStartRecord recordedStart;
std::atomic<bool> renderThreadClockKnown{false};
clockid_t renderThreadClock;
int (*systemStartThread)(ThreadEntry, void*, int) = nullptr;

void recordingEntry(void*) {
    pthread_getcpuclockid(pthread_self(), &renderThreadClock);
    renderThreadClockKnown.store(true, std::memory_order_release);
    recordedStart.entry(recordedStart.argument);
}

int recordingStartThread(ThreadEntry entry, void* argument, int raisedPriority) {
    recordedStart = {entry, argument};
    return systemStartThread(recordingEntry, nullptr, raisedPriority);
}

// A consumer whose cursor moves at 44.1 kHz of the render thread's working time, one sequencer
// tick behind its start (the show starts the thread before it opens the device): it must never
// find a frame that is not rendered yet.
TEST_F(RenderThreadTest, StaysAheadOfARealTimeCursor) {
    size_t songBytes = 0;
    const uint8_t* songData = builtinSongBytes(&songBytes);
    ASSERT_EQ(prepareSynth(songData, songBytes, builtinPatchWords()), 1);
    constexpr uint32_t kFrames = 40 * 44100;
    constexpr double kHeadStartFrames = 64.0;
    ASSERT_EQ(allocateSongOutput(kFrames, 64), 1);
    SongOutput* song = songOutput();
    PlaybackWatch watch;
    resetPlaybackWatch(&watch);

    systemStartThread = platformServices()->startThread;
    platformServices()->startThread = recordingStartThread;
    renderThreadClockKnown.store(false);
    ASSERT_EQ(startRenderThread(), 1);
    platformServices()->startThread = systemStartThread;
    while (!renderThreadClockKnown.load(std::memory_order_acquire)) std::this_thread::yield();

    uint32_t sightings = 0;
    while (!songRenderFinished()) {
        timespec working{};
        // Read the clock before the progress: the cursor may only lag the frames it is compared with.
        if (clock_gettime(renderThreadClock, &working) != 0) break; // the thread has ended
        const uint32_t rendered = song->renderedFrames.load(std::memory_order_acquire);
        const double seconds = double(working.tv_sec) + double(working.tv_nsec) * 1e-9;
        const double cursor = std::max(0.0, seconds * 44100.0 - kHeadStartFrames);
        observePlayCursor(&watch, uint64_t(cursor), rendered, kFrames);
        ++sightings;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    EXPECT_GT(sightings, 0u);
    EXPECT_EQ(watch.underruns.load(), 0u);
    EXPECT_GE(watch.minimumLead.load(), 0);
    RecordProperty("minimumLeadFrames", std::to_string(watch.minimumLead.load()));
    std::printf("minimum lead over a real-time cursor: %lld frames in %u sightings\n",
                static_cast<long long>(watch.minimumLead.load()), sightings);
}

} // namespace
