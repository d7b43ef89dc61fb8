// Voice pools: stealing, note-offs of duplicate notes, ending voices.
#include "base/memory.h"
#include "support/synth_test.h"
#include "synth/float_mode.h"
#include "synth/sequencer.h"
#include "synth/units/voice_pool.h"
#include "voice_patches.h"

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

} // namespace
