// Noise: white draws of the shared generator times the amount.
#include "noise_replica.h"
#include "support/unit_harness.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

TEST(NoiseUnitTest, ColourZeroOutputsTheGeneratorsDrawsTimesTheAmount) {
    UnitHarness h;
    UnitNode* noiseNode = h.unit(UnitType::Noise, {h.probe(0.0), h.probe(0.5)});
    NoiseReplica replica;
    Stereo first = h.step(noiseNode);
    EXPECT_EQ(leftOf(first), 0.5 * 501611359 * 0x1p-31);
    EXPECT_EQ(rightOf(first), 0.5 * 16007 * 0x1p-31);
    replica.next();
    for (int32_t n = 0; n < 100; ++n) {
        Stereo out = h.step(noiseNode), expected = replica.next();
        EXPECT_EQ(leftOf(out), 0.5 * leftOf(expected));
        EXPECT_EQ(rightOf(out), 0.5 * rightOf(expected));
    }
}

} // namespace
