// The sequencer: due events per tick, their order, channels without an output, gate notes and
// the queue bounds.
#include "support/synth_test.h"
#include "synth/sequencer.h"
#include "synth/units/channel_output.h"
#include "synth/units/voice_pool.h"
#include "voice_patches.h"

namespace {

class SequencerTest : public SynthTest {
  protected:
    // Channel 0: pool "low" (keys 0-59) and "high" (60-72); channel 1: "wide" (0-127) then
    // "narrow" (60-72), overlapping; channel 2: "gate" (60-75).
    PatchBuilder standardPatch() {
        PatchBuilder patch;
        addChannelFrame(patch, {{"low", "high"}, {"wide", "narrow"}, {"gate"}});
        addEnvelopePool(patch, "low", 0, 59, 8);
        addEnvelopePool(patch, "high", 60, 72, 8);
        addEnvelopePool(patch, "wide", 0, 127, 8);
        addEnvelopePool(patch, "narrow", 60, 72, 8);
        addEnvelopePool(patch, "gate", 60, 75, 8);
        return patch;
    }
    VoicePoolState& queues(const std::string& pool) { return unitState<VoicePoolState>(node(pool)); }
    VoicePoolBuffer& buffer(const std::string& pool) { return *workBuffer<VoicePoolBuffer>(node(pool)); }
    std::vector<int32_t> onNotes(const std::string& pool) {
        std::vector<int32_t> notes;
        for (int32_t i = 0; i < queues(pool).onCount; ++i)
            notes.push_back(queuedNote(queues(pool).onQueue[i]));
        return notes;
    }
};

TEST_F(SequencerTest, EventsOfOneTickArriveInStreamOrderThenStoredOrder) {
    SongBuilder song;
    song.noteOns(0, {{2, 61, 10}, {2, 60, 11}, {3, 64, 12}}).noteOns(0, {{2, 62, 13}});
    prepare(song, standardPatch());
    sequencerStep(64);
    EXPECT_TRUE(onNotes("high").empty());
    sequencerStep(128);
    EXPECT_EQ(onNotes("high"), (std::vector<int32_t>{61, 60, 62}));
    EXPECT_EQ(queues("high").onQueue[0], 61u + 256u * 10);
    EXPECT_EQ(buffer("high").held[61], 1u);
    EXPECT_EQ(buffer("high").held[60], 2u);
    EXPECT_EQ(buffer("high").held[62], 3u);
    EXPECT_EQ(buffer("high").notesChanged, 1);
    sequencerStep(192);
    EXPECT_EQ(onNotes("high"), (std::vector<int32_t>{61, 60, 62, 64}));
}

TEST_F(SequencerTest, NotesOutsideEveryRangeOnlyWakeTheChannel) {
    prepare(SongBuilder{}, standardPatch());
    UnitNode* out2 = node("out2");
    ChannelOutputState& channel = unitState<ChannelOutputState>(out2);
    EXPECT_FALSE(anyLane(channel.awake));
    for (int32_t note : {30, 76, 200}) noteEvent(2, note, 90, true);
    EXPECT_TRUE(anyLane(channel.awake));
    EXPECT_EQ(_mm_movemask_pd(channel.awake.v), 3);
    EXPECT_EQ(leftOf(channel.follower), 0.125);
    EXPECT_EQ(queues("gate").onCount, 0);
    EXPECT_EQ(buffer("gate").notesChanged, 0);
    EXPECT_EQ(sequencer().noteSerial, 0u);
    // Other channels stay asleep.
    EXPECT_FALSE(anyLane(unitState<ChannelOutputState>(node("out1")).awake));
}

// Channel 0's output slot holds a Multiply and channel 2's is never built (the mix leaves it out):
// notes there wake nothing, and channel 0's still reach its pools.
TEST_F(SequencerTest, NotesOnChannelsWithoutAChannelOutputWakeNothing) {
    PatchBuilder patch = standardPatch();
    for (PatchBuilder::Record& record : patch.records) {
        if (record.name == "out0") record.type = UnitType::Multiply;
        if (record.name == "mix") record.inputs.erase(record.inputs.begin() + 2);
    }
    prepare(SongBuilder{}, patch);
    ASSERT_EQ(node("out2"), nullptr);
    noteEvent(2, 64, 90, true);
    noteEvent(0, 64, 90, true);
    EXPECT_FALSE(anyLane(unitState<ChannelOutputState>(node("out0")).awake));
    EXPECT_EQ(onNotes("high"), std::vector<int32_t>{64});
}

TEST_F(SequencerTest, GateControllerPlaysItsNote) {
    SongBuilder song;
    song.controller(2, 115, {{0, 100}, {1, 0}, {2, 30}, {3, 40}});
    prepare(song, standardPatch());
    sequencerStep(0);
    EXPECT_EQ(onNotes("gate"), (std::vector<int32_t>{63}));
    EXPECT_EQ(queues("gate").onQueue[0], 63u + 256u * 100);
    EXPECT_EQ(queues("gate").offCount, 0);
    EXPECT_EQ(sequencer().gates[2][3], 100);
    EXPECT_EQ(leftOf(controllerTable().values[2][115]), 100 / 128.0);
    sequencerStep(64);
    ASSERT_EQ(queues("gate").offCount, 1);
    EXPECT_EQ(queues("gate").offQueue[0] & 0xFF, 63u);
    EXPECT_EQ(queues("gate").onCount, 1);
    EXPECT_EQ(leftOf(controllerTable().values[2][115]), 0.0);
    EXPECT_EQ(sequencer().gates[2][3], 0);
    sequencerStep(128);
    EXPECT_EQ(queues("gate").offCount, 1); // no note held: no note-off
    EXPECT_EQ(queues("gate").onCount, 2);
    sequencerStep(192);
    EXPECT_EQ(queues("gate").offCount, 2); // a new value while held restarts the note
    EXPECT_EQ(queues("gate").onCount, 3);
}

TEST_F(SequencerTest, OverflowingQueuesDropTheExcess) {
    prepare(SongBuilder{}, standardPatch());
    for (int32_t i = 0; i < 40; ++i) noteEvent(0, 60 + i % 13, 0, false);
    for (int32_t i = 0; i < 60; ++i) noteEvent(0, 60 + i % 13, 100, true);
    EXPECT_EQ(queues("high").offCount, kNoteOffQueueRoom);
    EXPECT_EQ(queues("high").onCount, kNoteOnQueueRoom);
    EXPECT_EQ(sequencer().noteSerial, static_cast<uint32_t>(kNoteOnQueueRoom));
    render(64); // the pool drains what it holds without trouble
    EXPECT_EQ(queues("high").onCount, 0);
    EXPECT_EQ(buffer("high").activeCount, 8);
}

} // namespace
