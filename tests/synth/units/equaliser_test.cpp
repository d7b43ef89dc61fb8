// GraphicEq and ThreeBandEq against independent filter designs: the band table and its gain
// inputs, each band's centre gain, and the three-band split.
#include "base/memory.h"
#include "support/unit_harness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

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
