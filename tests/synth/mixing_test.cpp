// Multiply, Sum, VoiceOutput and ChannelOutput with its sleep rule.
#include "support/unit_harness.h"
#include "synth/units/channel_output.h"

#include <gtest/gtest.h>

namespace {

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
