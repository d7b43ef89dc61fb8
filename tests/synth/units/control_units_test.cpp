// EnvelopeActive, RandomValue and DcBlocker.
#include "noise_replica.h"
#include "support/unit_harness.h"

#include <gtest/gtest.h>

namespace {

TEST(EnvelopeActiveTest, OutputsAndReportsOneWhereItsInputIsActive) {
    struct Case {
        Stereo activity;
        double left, right;
    };
    const Case cases[] = {
        {zeroStereo(), 0.0, 0.0},
        {bitAnd(allOnes(), stereo(1.0, 0.0)), 1.0, 0.0}, // a mask in the left lane only
        {allOnes(), 1.0, 1.0},
        {stereo(0.0, 0.5), 0.0, 1.0},
    };
    for (const Case& c : cases) {
        UnitHarness h;
        UnitNode* envelope = h.probe(0.3);
        envelope->activity = c.activity;
        UnitNode* node = h.unit(UnitType::EnvelopeActive, {envelope});
        Stereo out = h.step(node);
        EXPECT_EQ(leftOf(out), c.left);
        EXPECT_EQ(rightOf(out), c.right);
        EXPECT_EQ(leftOf(node->activity), c.left);
        EXPECT_EQ(rightOf(node->activity), c.right);
    }
}

TEST(RandomValueTest, RangeZeroKeepsDrawingOnEveryTick) {
    UnitHarness h;
    UnitNode* node = h.unit(UnitType::RandomValue, {h.probe(0.0)});
    NoiseReplica replica;
    for (int32_t n = 0; n < 5; ++n) {
        EXPECT_TRUE(bothZero(h.step(node)));
        replica.next();
    }
    EXPECT_EQ(leftOf(noise()), leftOf(replica.next()));
}

TEST(RandomValueTest, FirstNonzeroDrawIsKept) {
    UnitHarness h;
    UnitNode* range = h.probe(0.5);
    UnitNode* node = h.unit(UnitType::RandomValue, {range});
    NoiseReplica replica;
    const Stereo first = replica.next() * 0.5;
    for (int32_t n = 0; n < 5; ++n) {
        range->output = stereo(0.5 + 0.25 * n); // later ranges no longer matter
        Stereo out = h.step(node);
        EXPECT_EQ(leftOf(out), leftOf(first));
        EXPECT_EQ(rightOf(out), rightOf(first));
    }
    EXPECT_EQ(leftOf(noise()), leftOf(replica.next())); // only one draw was made
}

TEST(DcBlockerTest, RemovesAStepWithThePolesDecay) {
    UnitHarness h;
    UnitNode* node = h.unit(UnitType::DcBlocker, {h.probe(1.0), h.probe(0.5)});
    for (double expected : {1.0, 0.5, 0.25, 0.125}) EXPECT_EQ(leftOf(h.step(node)), expected);
}

TEST(DcBlockerTest, PoleAtOrAboveTheLimitIsLimited) {
    UnitHarness h;
    UnitNode* signal = h.probe(0.0);
    UnitNode* limited = h.unit(UnitType::DcBlocker, {signal, h.probe(5.0)});
    UnitNode* atLimit = h.unit(UnitType::DcBlocker, {signal, h.probe(0.9999475479125977)});
    NoiseReplica source;
    for (int32_t n = 0; n < 1000; ++n) {
        signal->output = source.next() + 3.0;
        limited->tick(limited);
        atLimit->tick(atLimit);
        ++synthGraph().sampleCounter;
        ASSERT_EQ(leftOf(limited->output), leftOf(atLimit->output));
    }
}

} // namespace
