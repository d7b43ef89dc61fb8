// SampleHold: track-and-hold with its gate.
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

} // namespace
