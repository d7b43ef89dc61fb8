// StateVariableFilter: damping from the resonance input, the response mix, the cutoff
// mappings and the stage count with its cap.
#include "support/unit_harness.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr uint16_t kLow = 1, kHigh = 2, kBand = 4, kMinusHigh = 8, kSquared = 64, kFromVoice = 128;

struct SvfRig {
    UnitNode* signal;
    UnitNode* cutoff;
    UnitNode* resonance;
    UnitNode* filter;

    SvfRig(UnitHarness& h, uint16_t word, double cutoffValue, double resonanceValue)
        : signal(h.probe(0.0)), cutoff(h.probe(cutoffValue)), resonance(h.probe(resonanceValue)),
          filter(h.unit(UnitType::StateVariableFilter, {signal, cutoff, resonance}, {word})) {}

    // The output for an input of 1.0 in the filter's first sample.
    double firstResponse(UnitHarness& h) {
        signal->output = stereo(1.0);
        return leftOf(h.step(filter));
    }
};

// With f = 0.25 (cutoff 0.5 squared) the first sample's two updates give low = f^2,
// high = 1 - f^2 - q f, so the high output shows q exactly.
TEST(StateVariableFilterTest, ResonanceSetsDampingBetweenZeroAndTheStoredLimit) {
    struct Case {
        double resonance;
        double q;
    };
    const Case cases[] = {
        {1.0, 0.0}, {0.0, 0.997650146484375}, {2.0, 0.0}, {-1.0, 0.997650146484375}, {0.5, 0.5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.resonance);
        UnitHarness h;
        SvfRig rig(h, kHigh | kSquared, 0.5, c.resonance);
        EXPECT_EQ(rig.firstResponse(h), 1.0 - 0.0625 - c.q * 0.25);
    }
}

TEST(StateVariableFilterTest, ResponseBitsMixLowHighAndBand) {
    // f = 0.25, q = 0: low = 0.0625, high = 0.9375, band = 0.25 + 0.25 * 0.9375.
    const double low = 0.0625, high = 0.9375, band = 0.484375;
    struct Case {
        uint16_t bits;
        double expected;
    };
    const Case cases[] = {{0, 0.0},
                          {kLow, low},
                          {kHigh, high},
                          {kBand, band},
                          {kMinusHigh, -high},
                          {kLow | kHigh, low + high}, // notch
                          {kLow | kMinusHigh, low - high},
                          {kLow | kHigh | kBand | kMinusHigh, low + band}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bits);
        UnitHarness h;
        SvfRig rig(h, c.bits | kSquared, 0.5, 1.0);
        EXPECT_EQ(rig.firstResponse(h), c.expected);
    }
}

// The first low output is f^2 for an input of 1.0.
TEST(StateVariableFilterTest, CutoffMappings) {
    const double limit = 0.997650146484375;
    struct Case {
        const char* name;
        uint16_t flags;
        double cutoff;
        double f;
    };
    const Case cases[] = {
        {"squared", kSquared, 0.75, 0.5625},
        {"squared, held below 1", kSquared, 2.0, limit},
        {"squared, negative", kSquared, -0.5, 0.25},
        {"octaves, top", 0, 1.0, limit},
        {"octaves, ten down", 0, 0.0, 1.0 / 1024.0},
        {"octaves, five down", 0, 0.5, 1.0 / 32.0},
        {"from the voice", kFromVoice, 0.3, 2.0 * 0.01 * 1.5707963267923333},
    };
    VoiceSlot voice{};
    voice.increment = stereo(0.01);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UnitHarness h;
        synthGraph().currentVoice = &voice;
        SvfRig rig(h, c.flags | kLow, c.cutoff, 1.0);
        EXPECT_NEAR(rig.firstResponse(h), c.f * c.f, c.f * c.f * 1e-9);
    }
}

// Count n runs 2n stages, count 0 one; counts above 4 run eight.
TEST(StateVariableFilterTest, StageCountChainsStagesUpToEight) {
    struct Case {
        int32_t count;
        int32_t stages;
    };
    const Case cases[] = {{0, 1}, {1, 2}, {3, 6}, {4, 8}, {5, 8}, {15, 8}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        UnitHarness h;
        UnitNode* signal = h.probe(0.0);
        UnitNode* cutoff = h.probe(0.6);
        UnitNode* resonance = h.probe(0.3);
        uint16_t word = static_cast<uint16_t>(kLow | kBand | c.count << 8);
        UnitNode* chained = h.unit(UnitType::StateVariableFilter, {signal, cutoff, resonance}, {word});
        std::vector<UnitNode*> singles;
        UnitNode* previous = signal;
        for (int32_t k = 0; k < c.stages; ++k)
            previous =
                singles.emplace_back(h.unit(UnitType::StateVariableFilter, {previous, cutoff, resonance},
                                            {static_cast<uint16_t>(kLow | kBand)}));
        for (int32_t n = 0; n < 300; ++n) {
            signal->output = stereo(n % 37 < 5 ? 1.0 : -0.25, n % 11 < 2 ? 0.5 : 0.0);
            chained->tick(chained);
            singles.back()->tick(singles.back());
            ++synthGraph().sampleCounter;
            ASSERT_EQ(leftOf(chained->output), leftOf(singles.back()->output)) << n;
            ASSERT_EQ(rightOf(chained->output), rightOf(singles.back()->output)) << n;
        }
    }
}

} // namespace
