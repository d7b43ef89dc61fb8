// The offline rendering entry: whole sequencer ticks, f32 truncation, a played song's shape.
#include "framework/memory.h"
#include "platform/platform.h"
#include "support/synth_test.h"
#include "synth/sample_bank.h"
#include "synth/synth.h"
#include "voice_patches.h"

#include <cmath>
#include <cstring>

namespace {

class RenderTest : public SynthTest {};

// The float nearer to zero of the two around x.
float truncatedFloat(double x) {
    float nearest = static_cast<float>(x);
    return std::fabs(static_cast<double>(nearest)) > std::fabs(x) ? std::nextafter(nearest, 0.0f) : nearest;
}

TEST_F(RenderTest, OutputIsNarrowedTowardZero) {
    // A product of two floats that rounding to nearest would round away from zero.
    const float a = 1.0f / 3.0f;
    float b = 0.1f;
    while (static_cast<float>(static_cast<double>(a) * b) == truncatedFloat(static_cast<double>(a) * b))
        b = std::nextafter(b, 1.0f);
    double product = static_cast<double>(a) * b;

    PatchBuilder patch;
    patch.node("master", UnitType::Multiply, {patch.constant(a, -a), patch.constant(b)});
    SongBuilder song;
    std::vector<float> out(2 * 64);
    std::vector<uint8_t> bytes = song.bytes();
    std::vector<uint16_t> words = patch.words();
    ASSERT_EQ(renderSong(bytes.data(), bytes.size(), words.data(), out.data(), 64), 1);
    EXPECT_EQ(out[0], truncatedFloat(product));
    EXPECT_EQ(out[1], truncatedFloat(-product));
    EXPECT_NE(out[0], static_cast<float>(product));
    EXPECT_EQ(out[126], out[0]);
}

TEST_F(RenderTest, RendersWholeTicksAndKeepsOnlyTheFramesAskedFor) {
    PatchBuilder patch;
    patch.node("master", UnitType::Multiply, {patch.constant(0.5f), patch.constant(1.0f)});
    std::vector<uint8_t> bytes = SongBuilder{}.bytes();
    std::vector<uint16_t> words = patch.words();
    std::vector<float> out(2 * 100 + 2, -7.0f);
    ASSERT_EQ(renderSong(bytes.data(), bytes.size(), words.data(), out.data(), 100), 1);
    EXPECT_EQ(out[199], 0.5f);
    EXPECT_EQ(out[200], -7.0f); // untouched past the frames asked for
    EXPECT_EQ(synthGraph().sampleCounter, 1u + 128u);
    EXPECT_EQ(renderPosition(), 128u);
}

TEST_F(RenderTest, AGridOfZeroSamplesPerTickStillAdvances) {
    PatchBuilder patch;
    addChannelFrame(patch, {{"pool"}});
    addEnvelopePool(patch, "pool", 0, 127, 8);
    SongBuilder song;
    song.samplesPerTick = 0;
    song.noteOns(0, {{3, 60, 100}});
    prepare(song, patch);
    EXPECT_EQ(renderTickFrames(), 1u);
    std::vector<float> frames = render(20);
    // Delivered at sample 3 of a one-sample grid, started by the pool at its next control step.
    EXPECT_EQ(leftFrame(frames, 15), 0.0f);
    EXPECT_EQ(leftFrame(frames, 16), 1.0f);
}

TEST_F(RenderTest, ASongWithoutHeaderRendersSilenceAndFails) {
    PatchBuilder patch;
    patch.node("master", UnitType::Multiply, {patch.constant(0.5f), patch.constant(1.0f)});
    std::vector<uint16_t> words = patch.words();
    uint8_t shortSong[8] = {};
    std::vector<float> out(2 * 64, 3.0f);
    EXPECT_EQ(renderSong(shortSong, sizeof shortSong, words.data(), out.data(), 64), 0);
    for (float v : out) ASSERT_EQ(v, 0.0f);
}

TEST_F(RenderTest, PreparationLoadsTheSoundBankThroughThePlatform) {
    platformServices()->readSoundBank = [](size_t, size_t* size) -> void* {
        const char file[] = "RIFFdata\x04\0\0\0\x00\x40\x00\xC0";
        *size = sizeof file - 1;
        void* block = memAlloc(*size);
        std::memcpy(block, file, *size);
        return block;
    };
    PatchBuilder patch;
    addChannelFrame(patch, {});
    prepare(SongBuilder{}, patch);
    ASSERT_EQ(sampleBank().count, 1u);
    EXPECT_EQ(leftOf(sampleWave(0).frames[0]), 0.5);
    EXPECT_EQ(rightOf(sampleWave(0).frames[3]), -0.5);
}

// A played note: a linear attack, a held sustain, a linear release, then silence; the voice's
// memory is returned when it ends.
TEST_F(RenderTest, PlayedNoteHasItsEnvelopeShapeAndEndsInSilence) {
    const float attack = 0.0625f, sustain = 0.5f, release = 0.125f, level = 0.5f;
    PatchBuilder patch;
    addChannelFrame(patch, {{}, {}, {}, {"pool"}});
    addEnvelopePool(patch, "pool", 0, 127, 8, {.attack = attack, .sustain = sustain, .release = release},
                    level);
    SongBuilder song;
    song.noteOns(3, {{2, 60, 100}}).noteOffs(3, {{12, 60}});
    prepare(song, patch);
    int64_t idle = memLiveBlocks();
    std::vector<float> frames = render(64 * 40);

    auto rate = [](double x) { return 1.0 / (x * x * x * 418381.75 + 1.0); };
    for (int i = 0; i < 128; ++i) ASSERT_EQ(leftFrame(frames, i), 0.0f) << i; // before the note
    double attackRate = rate(attack);
    EXPECT_NEAR(leftFrame(frames, 128), attackRate * level, 1e-7);
    EXPECT_NEAR(leftFrame(frames, 130), 3 * attackRate * level, 1e-7);
    int attackSamples = static_cast<int>(std::ceil(1.0 / attackRate));
    EXPECT_EQ(leftFrame(frames, 128 + attackSamples - 1), level); // the peak
    // Decay 0: the sustain level from the sample after the peak on, until the note-off.
    for (int i = 128 + attackSamples + 1; i < 12 * 64; ++i)
        ASSERT_EQ(leftFrame(frames, i), sustain * level) << i;
    // Release: linear from the sustain level to silence in 1/rate samples.
    double releaseRate = rate(release);
    EXPECT_NEAR(leftFrame(frames, 12 * 64), (sustain - sustain * releaseRate) * level, 1e-7);
    int end = 12 * 64 + static_cast<int>(1.0 / releaseRate) + 1;
    EXPECT_GT(leftFrame(frames, end - 5), 0.0f);
    for (size_t i = end; i < frames.size() / 2; ++i) ASSERT_EQ(leftFrame(frames, i), 0.0f) << i;
    EXPECT_EQ(frames[2 * 300], frames[2 * 300 + 1]); // both lanes alike
    EXPECT_EQ(memLiveBlocks(), idle);
}

TEST_F(RenderTest, RenderingTwiceGivesTheSameBuffer) {
    PatchBuilder patch;
    addChannelFrame(patch, {{"pool"}});
    addEnvelopePool(patch, "pool", 0, 127, 8,
                    {.attack = 0.1f, .decay = 0.2f, .sustain = 0.3f, .release = 0.1f});
    SongBuilder song;
    song.noteOffs(0, {{20, 60}, {30, 64}}).noteOns(0, {{0, 60, 90}, {10, 64, 60}, {30, 64, 127}});
    std::vector<uint8_t> bytes = song.bytes();
    std::vector<uint16_t> words = patch.words();
    std::vector<float> first(2 * 3000), second(2 * 3000);
    ASSERT_EQ(renderSong(bytes.data(), bytes.size(), words.data(), first.data(), 3000), 1);
    ASSERT_EQ(renderSong(bytes.data(), bytes.size(), words.data(), second.data(), 3000), 1);
    EXPECT_EQ(first, second);
    EXPECT_GT(*std::max_element(first.begin(), first.end()), 0.25f);
}

} // namespace
