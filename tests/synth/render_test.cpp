// The offline rendering entry: f32 truncation and a played song's shape.
#include "base/memory.h"
#include "platform/platform.h"
#include "support/synth_test.h"
#include "synth/sample_bank.h"
#include "synth/synth.h"
#include "voice_patches.h"

#include <cmath>

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

} // namespace
