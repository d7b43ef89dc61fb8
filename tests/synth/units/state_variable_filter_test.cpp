// StateVariableFilter: the stage count with its cap.
#include "support/unit_harness.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr uint16_t kLow = 1, kBand = 4;

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
