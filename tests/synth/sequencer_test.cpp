// The sequencer: due events per tick, their order, controllers, gate notes and the bounds.
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
        for (int32_t i = 0; i < queues(pool).onCount; ++i) notes.push_back(queues(pool).onQueue[i] & 0xFF);
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

TEST_F(SequencerTest, EventsAlreadyDueAreDeliveredTogetherInOrder) {
    SongBuilder song;
    song.noteOns(0, {{0, 60, 1}, {3, 61, 1}, {10, 62, 1}, {11, 63, 1}});
    prepare(song, standardPatch());
    sequencerStep(640);
    EXPECT_EQ(onNotes("high"), (std::vector<int32_t>{60, 61, 62}));
}

TEST_F(SequencerTest, EventAtTickZeroSoundsInTheFirstSample) {
    SongBuilder song;
    song.noteOns(0, {{0, 60, 127}, {1, 40, 127}});
    prepare(song, standardPatch());
    std::vector<float> frames = render(128);
    EXPECT_EQ(leftFrame(frames, 0), 1.0f);
    EXPECT_EQ(rightFrame(frames, 0), 1.0f);
    EXPECT_EQ(leftFrame(frames, 63), 1.0f);
    EXPECT_EQ(leftFrame(frames, 64), 2.0f); // the second note joins on the next tick's first sample
}

TEST_F(SequencerTest, NoteOffsQueueAndKindsOtherThanOnAndControllerAreNoteOffs) {
    SongBuilder song;
    song.noteOns(0, {{0, 65, 50}}).noteOffs(0, {{1, 65}});
    song.rawStream(0x07000001u, {1, 0, 0, 66}); // kind 7: read as a note-off
    song.rawStream(0x02000001u, {1, 0, 0, 67}); // kind 2
    prepare(song, standardPatch());
    sequencerStep(0);
    EXPECT_EQ(buffer("high").held[65], 1u);
    sequencerStep(64);
    ASSERT_EQ(queues("high").offCount, 3);
    EXPECT_EQ(queues("high").offQueue[0] & 0xFF, 65u);
    EXPECT_EQ(queues("high").offQueue[1] & 0xFF, 66u);
    EXPECT_EQ(queues("high").offQueue[2] & 0xFF, 67u);
    EXPECT_EQ(buffer("high").held[65], 0u);
}

TEST_F(SequencerTest, TheLastListedPoolWhoseRangeHoldsTheNoteTakesIt) {
    prepare(SongBuilder{}, standardPatch());
    noteEvent(1, 65, 100, true);
    noteEvent(1, 40, 100, true);
    EXPECT_EQ(onNotes("narrow"), (std::vector<int32_t>{65}));
    EXPECT_EQ(onNotes("wide"), (std::vector<int32_t>{40}));
    noteEvent(0, 59, 100, true);
    EXPECT_EQ(onNotes("low"), (std::vector<int32_t>{59}));
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

TEST_F(SequencerTest, ControllerZeroIsSignedAroundTheCentre) {
    SongBuilder song;
    song.controller(0, 0, {{0, 128}, {1, 0}, {2, 255}}).controller(4, 7, {{0, 64}});
    prepare(song, standardPatch());
    sequencerStep(0);
    EXPECT_EQ(leftOf(controllerTable().values[0][0]), 0.0);
    EXPECT_EQ(rightOf(controllerTable().values[4][7]), 0.5);
    sequencerStep(64);
    EXPECT_EQ(leftOf(controllerTable().values[0][0]), -1.0);
    EXPECT_EQ(rightOf(controllerTable().values[0][0]), -1.0);
    sequencerStep(128);
    EXPECT_EQ(leftOf(controllerTable().values[0][0]), 127 / 128.0);
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

TEST_F(SequencerTest, ControllerNumbersPast127AreIgnored) {
    prepare(SongBuilder{}, standardPatch());
    controllerEvent(0, 99, 200); // would land on channel 1, controller 72
    controllerEvent(0, 99, 128);
    controllerEvent(15, 99, 255);
    EXPECT_EQ(leftOf(controllerTable().values[1][72]), 0.0);
    EXPECT_EQ(leftOf(controllerTable().values[1][0]), 0.0);
    EXPECT_EQ(queues("narrow").onCount, 0);
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
