// The render loop and thread: whole ticks up to the song length, empty songs, the thread against
// the offline entry, and a buffer sized for the song given.
#include "platform/audio_device.h"
#include "platform/platform.h"
#include "support/synth_builder.h"
#include "synth/audio_output.h"
#include "synth/builtin_song.h"
#include "synth/graph.h"
#include "synth/render_thread.h"
#include "synth/synth.h"

#include <gtest/gtest.h>

#include <bit>
#include <chrono>
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

} // namespace

TEST_F(RenderThreadTest, PreparationSizesTheBufferForTheSongGiven) {
    ASSERT_EQ(allocateSongOutput(0, 64), 1); // as left by a clock started before any song
    prepare(emptySong(1000, 64), productPatch(0.25f, -0.5f, 1.0f, 1.0f));
    EXPECT_EQ(songOutput()->songFrames, 1000u);
    EXPECT_EQ(songOutput()->capacityFrames, 1024u);
}
