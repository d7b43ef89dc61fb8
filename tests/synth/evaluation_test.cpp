// Evaluating the graph: loops answer with the previous sample, and pulls nest only so deep.
#include "support/unit_harness.h"
#include "support/synth_test.h"
#include "synth/builtin_song.h"
#include "synth/patch.h"
#include "synth/synth.h"
#include "synth/units/channel_output.h"
#include "units/noise_replica.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// The patch `23 84` found by fuzzing: node 0 is a shared RandomValue with four inputs, each word
// 0, so its range is itself. It once recursed until the stack was gone.
class PatchLoopTest : public SynthTest {};

TEST_F(PatchLoopTest, RandomValueThatIsItsOwnRangeDrawsOncePerSampleAndStaysSilent) {
    std::vector<uint16_t> words(kPatchWordCount, 0);
    words[0] = 0x8423;
    size_t songBytes = 0;
    const uint8_t* song = builtinSongBytes(&songBytes);
    const uint32_t frames = 3 * 64;
    std::vector<float> out(2 * frames, 1.0f);
    ASSERT_EQ(renderSong(song, songBytes, words.data(), out.data(), frames), 1);
    for (uint32_t i = 0; i < 2 * frames; ++i) ASSERT_EQ(out[i], 0.0f) << i;
    NoiseReplica replica;
    for (uint32_t i = 0; i < frames; ++i) replica.next();
    EXPECT_EQ(gNoiseState.lanes[0], replica.lane0);
    EXPECT_EQ(gNoiseState.lanes[1], replica.lane1);
}

// Loops through the two unstamped units that evaluate inputs: the inner reach answers with the
// node's previous output and does nothing else, so an Add feeding the node back gives a ramp of
// the step, and the node's own work (a draw, the level follower) runs once per sample.
TEST(EvaluationLoopTest, RandomValueInALoopSeesItsPreviousOutput) {
    UnitHarness h;
    UnitNode* loop = h.unit(UnitType::Add, {nullptr, h.probe(0.5)});
    UnitNode* random = h.unit(UnitType::RandomValue, {loop});
    loop->inputs[0] = random;
    Stereo first = h.step(random);
    NoiseReplica replica;
    Stereo draw = replica.next();
    EXPECT_EQ(leftOf(first), 0.5 * leftOf(draw)); // the range was 0 + 0.5
    EXPECT_EQ(rightOf(first), 0.5 * rightOf(draw));
    h.step(random); // fixed from here on: no draw, no input evaluated
    EXPECT_EQ(leftOf(random->output), leftOf(first));
    EXPECT_EQ(gNoiseState.lanes[0], replica.lane0);
}

TEST(EvaluationLoopTest, ChannelOutputInALoopSeesItsPreviousOutputAndFollowsOnce) {
    UnitHarness h;
    UnitNode* loop = h.unit(UnitType::Add, {nullptr, h.probe(0.25)});
    UnitNode* channel = h.unit(UnitType::ChannelOutput, {loop, h.probe(1.0)});
    loop->inputs[0] = channel;
    wakeChannelOutput(channel);
    const double k = k0p99994755;
    double follower = 0.125;
    for (int32_t n = 1; n <= 4; ++n) {
        EXPECT_EQ(leftOf(h.step(channel)), 0.25 * n) << n;
        follower = (follower - 0.25 * n) * k + 0.25 * n;
        EXPECT_EQ(leftOf(unitState<ChannelOutputState>(channel).follower), follower) << n;
    }
}

// The bound on nested pulls: a chain of Multiply nodes one deeper than the bound leaves its
// deepest node unevaluated (the chain stays silent), one node shorter passes the signal through.
TEST(EvaluationDepthTest, ChainsDeeperThanTheBoundAnswerWithThePreviousOutput) {
    struct Case {
        uint32_t chain;
        double expected;
    };
    // The top node is ticked directly; the node k below it is evaluated at depth k.
    for (Case c : {Case{kMaxEvaluationDepth + 1, 0.5}, Case{kMaxEvaluationDepth + 2, 0.0}}) {
        SCOPED_TRACE(c.chain);
        UnitHarness h;
        UnitNode* one = h.probe(1.0);
        UnitNode* top = h.probe(0.5);
        for (uint32_t i = 0; i < c.chain; ++i) top = h.unit(UnitType::Multiply, {top, one});
        ASSERT_NE(top, nullptr);
        EXPECT_EQ(leftOf(h.step(top)), c.expected);
        EXPECT_EQ(leftOf(h.step(top)), c.expected);
        EXPECT_EQ(synthGraph().evaluationDepth, 0u);
    }
}

} // namespace
