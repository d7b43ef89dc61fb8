// SampleHold: track-and-hold with its gate, and the steady take rate from the cutoff mapping.
#include "support/unit_harness.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr uint16_t kTrackAndHold = 16, kSquared = 64, kFromVoice = 128;

TEST(SampleHoldTest, TrackAndHoldFollowsWhileTheGateIsLowAndFreezesFromHalf) {
    UnitHarness h;
    UnitNode* signal = h.probe(0.0);
    UnitNode* gate = h.probe(0.0);
    UnitNode* hold = h.unit(UnitType::SampleHold, {signal, gate}, {kTrackAndHold});
    double frozen = 0.0;
    for (int32_t n = 0; n < 200; ++n) {
        double x = 0.01 * n - 0.5;
        double g = n < 50 ? 0.0 : n < 100 ? 0.5 : n < 150 ? 0.4999 : 3.0;
        signal->output = stereo(x, -x);
        gate->output = stereo(g);
        if (n == 50 || n == 150) frozen = 0.01 * (n - 1) - 0.5;
        Stereo out = h.step(hold);
        double expected = g < 0.5 ? x : frozen;
        ASSERT_EQ(leftOf(out), expected) << n;
        ASSERT_EQ(rightOf(out), -expected) << n;
    }
}

// Takes happen where the phase, counting down by the rate, wraps below 0; the first sample
// always takes.
std::vector<int32_t> takeTimes(UnitHarness& h, UnitNode* signal, UnitNode* hold, int32_t samples) {
    std::vector<int32_t> takes;
    double last = -1.0;
    for (int32_t n = 0; n < samples; ++n) {
        signal->output = stereo(n);
        double out = leftOf(h.step(hold));
        if (out != last) takes.push_back(n);
        last = out;
    }
    return takes;
}

TEST(SampleHoldTest, SquaredRateOf0p3125TakesEvery10p24Samples) {
    UnitHarness h;
    UnitNode* signal = h.probe(0.0);
    UnitNode* hold = h.unit(UnitType::SampleHold, {signal, h.probe(0.3125)}, {kSquared});
    std::vector<int32_t> takes = takeTimes(h, signal, hold, 1024);
    ASSERT_EQ(takes.size(), 100u); // 1024 * 0.09765625
    EXPECT_EQ(takes.front(), 0);
    for (size_t k = 1; k < takes.size(); ++k) {
        int32_t gap = takes[k] - takes[k - 1];
        EXPECT_TRUE(gap == 10 || gap == 11) << gap;
    }
}

// From the voice: increment 0.0625 transposed by 0.34375 * 128 - 32 = 12 semitones takes about
// every eighth sample.
TEST(SampleHoldTest, VoiceRateFollowsThePlayedNoteTransposed) {
    UnitHarness h;
    VoiceSlot voice{};
    voice.increment = stereo(0.0625);
    synthGraph().currentVoice = &voice;
    UnitNode* signal = h.probe(0.0);
    UnitNode* hold = h.unit(UnitType::SampleHold, {signal, h.probe(0.34375)}, {kFromVoice});
    std::vector<int32_t> takes = takeTimes(h, signal, hold, 800);
    ASSERT_EQ(takes.size(), 100u);
    EXPECT_EQ(takes[1] - takes[0], 8);
}

} // namespace
