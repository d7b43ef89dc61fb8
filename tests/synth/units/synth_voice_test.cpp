// The sound units playing inside voices: a rendered note has the played pitch and sits where it
// is panned.
#include "base/memory.h"
#include "support/synth_voice_patch.h"
#include "support/synth_test.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class SynthVoiceTest : public SynthTest {};

// Cycles per second of a lane from its rising zero crossings in frames [from, to).
double measuredFrequency(const std::vector<float>& frames, size_t lane, size_t from, size_t to) {
    double first = -1, last = -1;
    int32_t crossings = 0;
    for (size_t i = from + 1; i < to; ++i) {
        float a = frames[2 * (i - 1) + lane], b = frames[2 * i + lane];
        if (!(a < 0 && b >= 0)) continue;
        double at = static_cast<double>(i - 1) + a / (a - b); // interpolated crossing
        if (first < 0) first = at;
        last = at;
        ++crossings;
    }
    return crossings > 1 ? (crossings - 1) * 44100.0 / (last - first) : 0.0;
}

TEST_F(SynthVoiceTest, PlayedNotesSoundAtTheirPitchOnTheirSide) {
    PatchBuilder patch;
    addChannelFrame(patch, {{"pool"}});
    // A square through a low cutoff: the low-pass leaves mostly the fundamental.
    addSynthVoicePool(patch, "pool", 8,
                      {.waveform = 2, .cutoff = 0.45f, .position = 0.0f, .attack = 0.0f, .sustain = 1.0f});
    SongBuilder song;
    song.noteOns(0, {{0, 69, 100}, {800, 57, 100}}).noteOffs(0, {{700, 69}});
    prepare(song, patch);
    std::vector<float> frames = render(64 * 1500);
    EXPECT_NEAR(measuredFrequency(frames, 0, 4000, 40000), 440.0, 0.05);
    EXPECT_NEAR(measuredFrequency(frames, 0, 64 * 820, 64 * 1500), 220.0, 0.05);
    // Panned hard left.
    float loudest = 0, rightLoudest = 0;
    for (size_t i = 0; i < frames.size() / 2; ++i) {
        loudest = std::max(loudest, std::abs(leftFrame(frames, i)));
        rightLoudest = std::max(rightLoudest, std::abs(rightFrame(frames, i)));
    }
    EXPECT_GT(loudest, 0.2f);
    EXPECT_EQ(rightLoudest, 0.0f);
}

} // namespace
