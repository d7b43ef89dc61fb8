// Building the unit graph from a patch: shared and per-voice instances, release and the guards.
#include "base/memory.h"
#include "support/synth_builder.h"
#include "synth/builtin_song.h"
#include "synth/graph.h"
#include "synth/patch.h"
#include "synth/unit_table.h"

#include <gtest/gtest.h>

#include <set>

namespace {

class GraphTest : public ::testing::Test {
  protected:
    void TearDown() override { releaseSynthGraph(); }

    // Builds the shared graph of a patch the way start-up does.
    UnitNode* buildShared(const PatchBuilder& patch) {
        words = patch.words();
        EXPECT_EQ(initSynthGraph(words.data()), 1);
        createConstantNodes();
        return buildNode(0, kBuildShared);
    }
    // One voice build, as a pool starts a voice.
    UnitNode* buildVoice(int32_t index) {
        ++synthGraph().voiceStartCounter;
        return buildNode(index, kBuildVoice);
    }

    std::vector<uint16_t> words;
};

// Node 0 mixes a pool whose voice template reads a per-voice "osc" twice and a shared "lfo"
// that nothing in the shared graph reaches.
PatchBuilder poolPatch() {
    PatchBuilder patch;
    std::string half = patch.constant(0.5f);
    addChannelFrame(patch, {{"pool"}});
    patch.node("pool", UnitType::VoicePool, {"voice", half, half, half},
               {keyRange(0, 127), poolVoiceLimit(8)});
    patch.voiceNode("voice", UnitType::Multiply, {"osc", "shaped"});
    patch.voiceNode("shaped", UnitType::Multiply, {"osc", "lfo"});
    patch.voiceNode("osc", UnitType::Reverb, {half}); // any type with a work buffer
    patch.node("lfo", UnitType::Multiply, {half, half});
    return patch;
}

void collect(UnitNode* node, std::set<UnitNode*>& seen) {
    if (!node || !seen.insert(node).second) return;
    for (int32_t k = 0; k < node->inputCount; ++k) collect(node->inputs[k], seen);
}

TEST_F(GraphTest, SharedGraphHoldsNoPerVoiceNodeAndPoolTemplateStaysNull) {
    PatchBuilder patch = poolPatch();
    UnitNode* master = buildShared(patch);
    ASSERT_NE(master, nullptr);
    std::set<UnitNode*> reached;
    collect(master, reached);
    for (UnitNode* node : reached) EXPECT_EQ(node->shared, 1) << unitTypeName(node->type);
    UnitNode* pool = synthGraph().nodeTable[patch.indexOf("pool")];
    ASSERT_NE(pool, nullptr);
    EXPECT_TRUE(reached.count(pool));
    EXPECT_EQ(pool->inputs[0], nullptr);
    EXPECT_NE(pool->inputs[1], nullptr);
    EXPECT_EQ(pool->params[0], keyRange(0, 127));
    EXPECT_EQ(synthGraph().nodeTable[patch.indexOf("lfo")], nullptr);
    EXPECT_EQ(synthGraph().nodeTable[patch.indexOf("osc")], nullptr);
}

TEST_F(GraphTest, ReleasingAVoiceFreesOnlyItsNodesAndBuffersAtTheEndOfTheTick) {
    PatchBuilder patch = poolPatch();
    buildShared(patch);
    buildVoice(patch.indexOf("voice")); // creates the shared "lfo" once
    int64_t before = memLiveBlocks();
    UnitNode* voice = buildVoice(patch.indexOf("voice"));
    // voice, shaped, osc and osc's work buffer.
    EXPECT_EQ(memLiveBlocks() - before, 4);
    UnitNode* osc = voice->inputs[0];
    ASSERT_NE(osc->buffer, nullptr);

    releaseNode(voice);
    EXPECT_EQ(memLiveBlocks() - before, 4); // nothing is freed inside the tick
    EXPECT_EQ(voice->inputCount, -1);
    EXPECT_EQ(osc->shared, 1);
    releaseNode(voice); // a second release is ignored
    freeReleased();
    EXPECT_EQ(memLiveBlocks(), before);
    // The table points at no freed node (a damaged patch may read one as its master).
    for (const char* name : {"voice", "shaped", "osc"})
        EXPECT_EQ(synthGraph().nodeTable[patch.indexOf(name)], nullptr) << name;
}

TEST_F(GraphTest, MalformedRecordsAreBoundSafely) {
    PatchBuilder patch;
    std::string one = patch.constant(1.0f);
    patch.node("master", UnitType::Multiply, {"wide", "odd"});
    // 20 inputs: only 16 are bound, and the parameter word still follows all 20.
    patch.node("wide", UnitType::Sum, std::vector<std::string>(20, one), {0xBEEF});
    patch.node("odd", UnitType::Sum, {"stranger", "unknown", one});
    patch.node("stranger", UnitType::Unused10, {one});
    patch.node("unknown", UnitType::Multiply, {one, one});
    std::vector<uint16_t> w = patch.words();
    w[patch.indexOf("unknown")] = recordHeader(100, 2, 1); // a type past the table
    w[patch.indexOf("odd") + 3] = 1900;                    // beyond the node table
    w[patch.indexOf("unknown") + 1] = 1537;                // inside a constant, not its start
    ASSERT_EQ(initSynthGraph(w.data()), 1);
    createConstantNodes();
    UnitNode* master = buildNode(0, kBuildShared);
    ASSERT_NE(master, nullptr);

    UnitNode* wide = master->inputs[0];
    EXPECT_EQ(wide->inputCount, 16);
    EXPECT_EQ(wide->params[0], 0xBEEF);
    for (int32_t k = 0; k < 16; ++k) EXPECT_NE(wide->inputs[k], nullptr);

    UnitNode* odd = master->inputs[1];
    EXPECT_EQ(odd->inputs[2], nullptr);
    UnitNode* stranger = odd->inputs[0];
    EXPECT_EQ(stranger->tick, &tickSilent);
    EXPECT_EQ(stranger->init, nullptr);
    UnitNode* unknown = synthGraph().nodeTable[patch.indexOf("unknown")];
    ASSERT_NE(unknown, nullptr);
    EXPECT_EQ(unknown->tick, &tickSilent);
    EXPECT_EQ(unknown->inputs[0], nullptr);
    EXPECT_EQ(buildNode(kNodeIndexLimit, kBuildShared), nullptr);
    EXPECT_EQ(buildNode(-1, kBuildVoice), nullptr);
}

TEST_F(GraphTest, MoreReleasesThanTheListRoomAreAllFreedAtTickEnd) {
    PatchBuilder patch;
    std::string one = patch.constant(1.0f);
    patch.node("master", UnitType::Multiply, {one, one});
    patch.voiceNode("voice", UnitType::Multiply, {one, one});
    buildShared(patch);
    int64_t before = memLiveBlocks();
    const uint32_t voices = kReleaseListRoom + 1000;
    for (uint32_t i = 0; i < voices; ++i) releaseNode(buildVoice(patch.indexOf("voice")));
    EXPECT_EQ(memLiveBlocks() - before, static_cast<int64_t>(voices));
    freeReleased();
    EXPECT_EQ(memLiveBlocks(), before);
}

TEST_F(GraphTest, ReleasingTheGraphFreesEverythingIncludingSoundingVoices) {
    int64_t before = memLiveBlocks();
    PatchBuilder patch = poolPatch();
    buildShared(patch);
    buildVoice(patch.indexOf("voice"));
    buildVoice(patch.indexOf("voice"));
    releaseSynthGraph();
    EXPECT_EQ(memLiveBlocks(), before);
}

TEST(GraphRestartTest, InitialisingAgainReleasesThePreviousGraph) {
    const int64_t before = memLiveBlocks();
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(initSynthGraph(builtinPatchWords()), 1);
        createConstantNodes();
        ASSERT_NE(buildNode(0, kBuildShared), nullptr);
    }
    releaseSynthGraph();
    EXPECT_EQ(memLiveBlocks(), before);
}

} // namespace
