// Noise: white draws of the shared generator and the pink filter, which rests while the colour
// is 0.
#include "noise_replica.h"
#include "support/unit_harness.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// The pink filter written out per lane from its published coefficients.
struct PinkReplica {
    double b0 = 0, b1 = 0, b2 = 0;
    double next(double x) {
        b0 = k0p99765 * b0 + k0p099046 * x;
        b1 = k0p963 * b1 + k0p2965164 * x;
        b2 = k0p57 * b2 + k1p0526913 * x;
        return std::clamp((b0 + b1 + b2 + k0p1848 * x) * k0p2, -1.0, 1.0);
    }
};

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

TEST(NoiseUnitTest, PinkFilterRestsWhileColourIsZeroAndResumesFromItsMemories) {
    UnitHarness h;
    UnitNode* colour = h.probe(0.5);
    UnitNode* noiseNode = h.unit(UnitType::Noise, {colour, h.probe(2.0)});
    NoiseReplica replica;
    PinkReplica pink[2];
    // On, off for a while, on again: the filter sees only the draws made while it is on.
    const int32_t phases[][2] = {{0, 0}, {1, 40}, {0, 70}, {1, 40}};
    for (const auto& phase : phases) {
        colour->output = stereo(phase[0] ? 0.5 : 0.0);
        for (int32_t n = 0; n < (phase[1] ? phase[1] : 30); ++n) {
            Stereo out = h.step(noiseNode), x = replica.next();
            double xl = leftOf(x), xr = rightOf(x);
            double el = xl, er = xr;
            if (phase[0]) {
                el = (pink[0].next(xl) - xl) * 0.5 + xl;
                er = (pink[1].next(xr) - xr) * 0.5 + xr;
            }
            ASSERT_EQ(leftOf(out), 2 * el) << n;
            ASSERT_EQ(rightOf(out), 2 * er) << n;
        }
    }
}

} // namespace
