// GraphicEq and ThreeBandEq: the band table and its gain inputs, the level curve's unity and
// half-gain points, and the three-band split that sums back to the delayed input.
#include "framework/memory.h"
#include "support/unit_harness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

struct TestNoise {
    uint32_t seed = 777;
    Stereo next() {
        seed = seed * 1664525u + 1013904223u;
        double left = static_cast<int32_t>(seed) * 0x1p-31;
        seed = seed * 1664525u + 1013904223u;
        return stereo(left, static_cast<int32_t>(seed) * 0x1p-31);
    }
};

// The band table as published: c0, c1, c2 and the centre frequency; row b is scaled by input
// 10 - b.
struct BandRow {
    double c0, c1, c2, centre;
};
const BandRow kBandTable[10] = {
    {0.24198102951049805, 0.3790092468261719, -0.8084506988525391, 16000.0},
    {0.44858360290527344, 0.2757081985473633, 0.6051750183105469, 8000.0},
    {0.6684055328369141, 0.16579723358154297, 1.4047183990478516, 4000.0},
    {0.8175134658813477, 0.09124314785003662, 1.744222640991211, 2000.0},
    {0.9041633605957031, 0.04791843891143799, 1.8848686218261719, 1000.0},
    {0.9508743286132812, 0.024562567472457886, 1.9459266662597656, 500.0},
    {0.975128173828125, 0.012435942888259888, 1.9738750457763672, 250.0},
    {0.9874849319458008, 0.006257116794586182, 1.9871692657470703, 125.0},
    {0.9937725067138672, 0.003113381564617157, 1.9936943054199219, 62.5},
    {0.9968814849853516, 0.0015591215342283249, 1.9968624114990234, 31.25},
};

struct GraphicEqRig {
    UnitNode* signal;
    std::vector<UnitNode*> gains; // gains[j - 1] is input j
    UnitNode* eq;

    GraphicEqRig(UnitHarness& h, double gain) : signal(h.probe(0.0)) {
        std::vector<UnitNode*> inputs{signal};
        for (int32_t j = 1; j <= 10; ++j) gains.push_back(inputs.emplace_back(h.probe(gain)));
        eq = h.unit(UnitType::GraphicEq, inputs);
    }
};

TEST(GraphicEqTest, LevelInputsOf0p703125GiveExactlyHalfTheOutputOf0p75) {
    UnitHarness h;
    GraphicEqRig unity(h, 0.75), half(h, 0.703125);
    TestNoise noise;
    for (int32_t n = 0; n < 3000; ++n) {
        unity.signal->output = half.signal->output = noise.next();
        unity.eq->tick(unity.eq);
        half.eq->tick(half.eq);
        ++synthGraph().sampleCounter;
        ASSERT_EQ(leftOf(half.eq->output), 0.5 * leftOf(unity.eq->output)) << n;
        ASSERT_EQ(rightOf(half.eq->output), 0.5 * rightOf(unity.eq->output)) << n;
    }
    EXPECT_NE(leftOf(unity.eq->output), 0.0);
}

// Each input j is given 2^(j - 5) of gain, so the impulse response tells the rows apart; the
// reference runs the published coefficients.
TEST(GraphicEqTest, ImpulseResponseFollowsTheBandTableAndItsInputOrder) {
    UnitHarness h;
    GraphicEqRig rig(h, 0.0);
    double gain[10];
    for (int32_t j = 1; j <= 10; ++j) rig.gains[j - 1]->output = stereo(0.75 + (j - 5) * 6.0 / 128.0);
    for (int32_t row = 0; row < 10; ++row) gain[row] = leftOf(exp2Of(stereo(5.0 - row)));

    double x1[10] = {}, x2[10] = {}, y1[10] = {}, y2[10] = {};
    for (int32_t n = 0; n < 200; ++n) {
        double x = n == 0 ? 1.0 : 0.0;
        rig.signal->output = stereo(x, -x);
        Stereo out = h.step(rig.eq);
        double expected = 0.0;
        for (int32_t row = 0; row < 10; ++row) {
            const BandRow& b = kBandTable[row];
            double y = b.c1 * (0.75 * x - x2[row]) + b.c2 * y1[row] - b.c0 * y2[row];
            x2[row] = x1[row];
            x1[row] = 0.75 * x;
            y2[row] = y1[row];
            y1[row] = y;
            expected += y * gain[row];
        }
        ASSERT_NEAR(leftOf(out), expected, 1e-12) << n;
        ASSERT_NEAR(rightOf(out), -expected, 1e-12) << n;
    }
}

// A sine at a row's centre frequency, with only that row's input at 0.75, comes out at 0.75
// of its amplitude (the band-pass peaks at 1, the gain is 1).
TEST(GraphicEqTest, EachBandPassesItsCentreFrequencyAtUnityGain) {
    for (int32_t row = 0; row < 10; ++row) {
        SCOPED_TRACE(kBandTable[row].centre);
        UnitHarness h;
        GraphicEqRig rig(h, 0.0);
        rig.gains[9 - row]->output = stereo(0.75);
        double step = 2.0 * M_PI * kBandTable[row].centre / 44100.0;
        double peak = 0.0;
        for (int32_t n = 0; n < 13000; ++n) {
            rig.signal->output = stereo(std::sin(step * n));
            double out = leftOf(h.step(rig.eq));
            if (n >= 10000) peak = std::fmax(peak, std::fabs(out));
        }
        EXPECT_NEAR(peak, 0.75, 0.75 * 0.01);
    }
}

TEST(GraphicEqTest, WithoutItsBufferItIsSilent) {
    UnitHarness h;
    UnitNode* signal = h.probe(0.5);
    std::vector<UnitNode*> inputs{signal};
    for (int32_t j = 1; j <= 10; ++j) inputs.push_back(h.probe(0.75));
    memFailAllocations(1, 1); // the node succeeds, its work buffer fails
    UnitNode* eq = h.unit(UnitType::GraphicEq, inputs);
    memFailAllocations(0, 0);
    ASSERT_EQ(eq->buffer, nullptr);
    for (int32_t n = 0; n < 100; ++n) ASSERT_EQ(leftOf(h.step(eq)), 0.0);
}

struct ThreeBandRig {
    UnitNode* signal;
    UnitNode* low;
    UnitNode* mid;
    UnitNode* high;
    UnitNode* eq;

    ThreeBandRig(UnitHarness& h, double lowGain, double midGain, double highGain)
        : signal(h.probe(0.0)), low(h.probe(lowGain)), mid(h.probe(midGain)), high(h.probe(highGain)),
          eq(h.unit(UnitType::ThreeBandEq, {signal, low, mid, high})) {}
};

// low + (upper - low) + (x[-3] - upper) is the input three samples late. The unity gain of the
// level curve is the exp2 polynomial's constant term, 0.9999999999708962, so the delayed input
// comes back within a few 1e-11 rather than bit for bit.
TEST(ThreeBandEqTest, UnityGainsGiveTheInputThreeSamplesLate) {
    UnitHarness h;
    ThreeBandRig rig(h, 0.75, 0.75, 0.75);
    TestNoise noise;
    std::vector<Stereo> in;
    for (int32_t n = 0; n < 3000; ++n) {
        in.push_back(noise.next());
        rig.signal->output = in.back();
        Stereo out = h.step(rig.eq);
        Stereo expected = n >= 3 ? in[n - 3] : zeroStereo();
        ASSERT_NEAR(leftOf(out), leftOf(expected), 1e-10) << n;
        ASSERT_NEAR(rightOf(out), rightOf(expected), 1e-10) << n;
    }
}

TEST(ThreeBandEqTest, HalfLevelInputsHalveTheOutputExactly) {
    UnitHarness h;
    ThreeBandRig unity(h, 0.75, 0.796875, 0.84375), half(h, 0.703125, 0.75, 0.796875);
    TestNoise noise;
    for (int32_t n = 0; n < 2000; ++n) {
        unity.signal->output = half.signal->output = noise.next();
        unity.eq->tick(unity.eq);
        half.eq->tick(half.eq);
        ++synthGraph().sampleCounter;
        ASSERT_EQ(leftOf(half.eq->output), 0.5 * leftOf(unity.eq->output)) << n;
    }
}

// A constant input lands in the low band; the fastest alternation (+1, -1, ...) in the high
// band, with about 5% of it left above the upper split's four poles (in the mid band).
TEST(ThreeBandEqTest, SplitsSendSteadyInputLowAndAlternatingInputHigh) {
    struct Case {
        const char* name;
        bool alternating;
        double low, mid, high; // gain inputs; 0 is about -96 dB
        double amplitude;
    };
    const Case cases[] = {
        {"steady, low", false, 0.75, 0.0, 0.0, 1.0},
        {"steady, mid", false, 0.0, 0.75, 0.0, 0.0},
        {"steady, high", false, 0.0, 0.0, 0.75, 0.0},
        {"alternating, low", true, 0.75, 0.0, 0.0, 0.0},
        {"alternating, mid", true, 0.0, 0.75, 0.0, 0.0504},
        {"alternating, high", true, 0.0, 0.0, 0.75, 1.0504},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UnitHarness h;
        ThreeBandRig rig(h, c.low, c.mid, c.high);
        double amplitude = 0.0;
        for (int32_t n = 0; n < 4000; ++n) {
            rig.signal->output = stereo(c.alternating && (n & 1) ? -1.0 : 1.0);
            amplitude = std::fabs(leftOf(h.step(rig.eq)));
        }
        EXPECT_NEAR(amplitude, c.amplitude, 0.002);
    }
}

} // namespace
