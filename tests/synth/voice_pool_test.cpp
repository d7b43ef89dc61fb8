// Voice pools: slot choice and stealing, note-offs, voice fields, ending voices.
#include "framework/memory.h"
#include "support/synth_test.h"
#include "synth/float_mode.h"
#include "synth/sequencer.h"
#include "synth/units/voice_pool.h"
#include "voice_patches.h"

#include <cmath>

namespace {

class VoicePoolTest : public SynthTest {
  protected:
    void preparePool(const VoiceShape& shape, int32_t voices = 8) {
        PatchBuilder patch;
        addChannelFrame(patch, {{"pool"}});
        addEnvelopePool(patch, "pool", 0, 127, voices, shape);
        prepare(SongBuilder{}, patch);
    }
    VoicePoolBuffer& pool() { return *workBuffer<VoicePoolBuffer>(node("pool")); }
    // Note by slot number for the first `count` slots (-2 for a free slot).
    std::vector<int32_t> slotNotes(int32_t count = 8) {
        std::vector<int32_t> notes;
        for (int32_t s = 0; s < count; ++s) notes.push_back(pool().slots[s].root ? pool().slots[s].note : -2);
        return notes;
    }
    void play(int32_t note, bool on) {
        noteEvent(0, note, 100, on);
        render(64);
    }
};

TEST_F(VoicePoolTest, FreeSlotsAreTakenFromTheTop) {
    preparePool({});
    play(60, true);
    play(61, true);
    EXPECT_EQ(slotNotes(), (std::vector<int32_t>{-2, -2, -2, -2, -2, -2, 61, 60}));
    EXPECT_EQ(pool().activeCount, 2);
    EXPECT_EQ(pool().activeList[0], 7);
    EXPECT_EQ(pool().activeList[1], 6);
    EXPECT_EQ(pool().slots[7].startSerial, 0u);
    EXPECT_EQ(pool().slots[6].startSerial, 1u);
}

TEST_F(VoicePoolTest, StealsOldestReleasedVoiceFirstThenOldestHeld) {
    preparePool({.release = 1.0f});                              // released voices ring on for seconds
    for (int32_t note = 60; note < 68; ++note) play(note, true); // slots 7 … 0
    play(64, false);
    play(62, false);
    EXPECT_EQ(slotNotes(), (std::vector<int32_t>{67, 66, 65, -1, 63, -1, 61, 60}));

    play(70, true); // released 62 (serial 2) goes before released 64 and before held 60
    EXPECT_EQ(slotNotes(), (std::vector<int32_t>{67, 66, 65, -1, 63, 70, 61, 60}));
    play(71, true);
    EXPECT_EQ(slotNotes(), (std::vector<int32_t>{67, 66, 65, 71, 63, 70, 61, 60}));
    play(72, true); // nothing released: the oldest held, 60
    EXPECT_EQ(slotNotes(), (std::vector<int32_t>{67, 66, 65, 71, 63, 70, 61, 72}));
    EXPECT_EQ(pool().activeCount, 8);
    EXPECT_EQ(pool().activeList[0], 7); // a stolen slot keeps its place in the list
}

TEST_F(VoicePoolTest, DuplicateNotesAreReleasedFromTheEndOfTheActiveList) {
    preparePool({.release = 1.0f});
    play(60, true);
    play(60, true);
    play(60, false);
    EXPECT_EQ(slotNotes(), (std::vector<int32_t>{-2, -2, -2, -2, -2, -2, -1, 60}));
    EXPECT_EQ(leftOf(pool().slots[6].gate), 0.0);
    EXPECT_EQ(leftOf(pool().slots[7].gate), 1.0);
    play(50, false); // matches no voice: dropped
    play(60, false);
    EXPECT_EQ(slotNotes(), (std::vector<int32_t>{-2, -2, -2, -2, -2, -2, -1, -1}));
}

TEST_F(VoicePoolTest, NotesOfOneTickStartNewestFirst) {
    preparePool({});
    noteEvent(0, 60, 100, true);
    noteEvent(0, 61, 100, true);
    render(64);
    EXPECT_EQ(slotNotes(), (std::vector<int32_t>{-2, -2, -2, -2, -2, -2, 60, 61}));
}

TEST_F(VoicePoolTest, VoiceFieldsFollowNoteVelocityAndTranspose) {
    preparePool({.transpose = 12.0f / 128.0f}); // an octave up
    noteEvent(0, 81, 64, true);
    render(64);
    const VoiceSlot& slot = pool().slots[7];
    EXPECT_EQ(slot.note, 81);
    EXPECT_EQ(leftOf(slot.noteValue), 81 / 128.0);
    EXPECT_EQ(leftOf(slot.velocity), 0.5);
    EXPECT_EQ(leftOf(slot.noteShifted), 81 / 128.0 + 12.0 / 128.0);
    FloatModeGuard mode;
    Stereo base = exp2Of(stereo(12.0) * kOneTwelfth) * 440.0 / 44100.0;
    EXPECT_EQ(leftOf(slot.baseIncrement), leftOf(base));
    EXPECT_NEAR(leftOf(slot.baseIncrement) / (880.0 / 44100.0), 1.0, 1e-5);
    Stereo pitch = exp2Of(stereo(12.0 / 128.0) * 128.0 * kOneTwelfth);
    EXPECT_EQ(rightOf(slot.increment), rightOf(base * pitch));
    EXPECT_NEAR(leftOf(slot.increment) / (1760.0 / 44100.0), 1.0, 2e-5);
    EXPECT_EQ(leftOf(slot.trigger), 0.0);
    EXPECT_EQ(leftOf(node("pool")->activity), 1.0);
}

TEST_F(VoicePoolTest, TriggerIsOneOnlyInTheVoicesFirstSample) {
    preparePool({.attack = 0.5f});
    noteEvent(0, 60, 100, true);
    std::vector<float> frames = render(64);
    // A trigger still high would restart the attack every sample; instead it climbs each sample.
    double rate = 1.0 / (0.125 * 418381.75 + 1.0);
    double level = 0;
    for (int i = 0; i < 64; ++i) {
        level += rate;
        EXPECT_NEAR(leftFrame(frames, i), level, 1e-9) << i;
    }
    EXPECT_GT(leftFrame(frames, 63), 60 * leftFrame(frames, 0));
}

TEST_F(VoicePoolTest, AnEndedVoiceIsFreedAtTheEndOfItsTick) {
    preparePool({.release = 0.0f});
    render(64);
    int64_t idle = memLiveBlocks();
    noteEvent(0, 60, 100, true);
    render(64);
    EXPECT_EQ(memLiveBlocks() - idle, 2); // VoiceOutput and Envelope
    noteEvent(0, 60, 0, false);
    std::vector<float> frames = render(64);
    // Release 0 ends in one sample: the voice sounds 0 from the first sample of the tick on.
    EXPECT_EQ(leftFrame(frames, 0), 0.0f);
    EXPECT_EQ(pool().activeCount, 0);
    EXPECT_EQ(pool().slots[7].root, nullptr);
    EXPECT_EQ(memLiveBlocks(), idle);
    EXPECT_EQ(leftOf(node("pool")->activity), 0.0);
}

} // namespace
