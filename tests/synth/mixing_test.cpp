// Multiply, Sum, VoiceOutput and ChannelOutput with its sleep rule.
#include "support/unit_harness.h"
#include "synth/units/channel_output.h"

#include <gtest/gtest.h>

namespace {

TEST(MixingTest, ProductsAndSumsArePerLane) {
    UnitHarness h;
    UnitNode* a = h.probe(stereo(0.5, -2.0));
    UnitNode* b = h.probe(stereo(3.0, 0.25));
    UnitNode* c = h.probe(stereo(1.0, 1.0));
    Stereo product = h.step(h.unit(UnitType::Multiply, {a, b}));
    EXPECT_EQ(leftOf(product), 1.5);
    EXPECT_EQ(rightOf(product), -0.5);
    Stereo sum = h.step(h.unit(UnitType::Sum21, {a, b, c}));
    EXPECT_EQ(leftOf(sum), 4.5);
    EXPECT_EQ(rightOf(sum), -0.75);
    EXPECT_EQ(leftOf(h.step(h.unit(UnitType::Sum, {}))), 0.0);
}

TEST(MixingTest, ANodeReachedTwiceInOneSampleRunsOnce) {
    UnitHarness h;
    UnitNode* one = h.probe(1.0);
    UnitNode* zero = h.probe(0.0);
    UnitNode* trigger = h.probe(1.0);
    UnitNode* env = h.unit(UnitType::Envelope, {trigger, one, h.probe(0.5), zero, one, zero, one}, {0});
    UnitNode* twice = h.unit(UnitType::Sum, {env, env});
    h.alignToControlStep();
    double rate = leftOf(h.step(twice)) / 2; // one attack step, read twice
    EXPECT_GT(rate, 0.0);
    trigger->output = stereo(0.0);
    // A second run within the sample would read 2 and 3 steps (5) instead of 2 and 2.
    EXPECT_EQ(leftOf(h.step(twice)), 4 * rate);
}

TEST(MixingTest, VoiceOutputReportsActivityFromItsThirdInput) {
    UnitHarness h;
    UnitNode* activity = h.probe(stereo(0.0, 0.5));
    UnitNode* out = h.unit(UnitType::VoiceOutput, {h.probe(2.0), h.probe(stereo(0.25, 0.5)), activity});
    Stereo value = h.step(out);
    EXPECT_EQ(leftOf(value), 0.5);
    EXPECT_EQ(rightOf(value), 1.0);
    EXPECT_EQ(std::bit_cast<uint64_t>(leftOf(out->activity)), 0u);
    EXPECT_NE(std::bit_cast<uint64_t>(rightOf(out->activity)), 0u);
}

TEST(MixingTest, ChannelOutputSleepsUntilWokenAndAfterLongSilence) {
    UnitHarness h;
    UnitNode* signal = h.probe(0.5);
    UnitNode* channel = h.unit(UnitType::ChannelOutput, {signal, h.probe(1.0)});
    EXPECT_EQ(leftOf(h.step(channel)), 0.0); // asleep from creation

    wakeChannelOutput(channel);
    EXPECT_EQ(leftOf(h.step(channel)), 0.5);
    for (int i = 0; i < 300000; ++i) h.step(channel);
    EXPECT_TRUE(anyLane(unitState<ChannelOutputState>(channel).awake)); // a steady signal keeps it up

    // Silence: 0.125 decays below 1e-5 in about 180,000 samples.
    signal->output = stereo(0.0);
    wakeChannelOutput(channel);
    int samples = 0;
    while (anyLane(unitState<ChannelOutputState>(channel).awake) && samples < 400000) {
        h.step(channel);
        ++samples;
    }
    EXPECT_GT(samples, 179000);
    EXPECT_LT(samples, 181000);
    // Asleep, the inputs are not evaluated and the output keeps its last value.
    signal->output = stereo(0.75);
    EXPECT_EQ(leftOf(h.step(channel)), 0.0);
}

} // namespace
