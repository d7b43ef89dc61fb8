// Runs single unit nodes outside a patch: probe inputs whose values the test sets, the sample
// clock advanced by hand, the synthesizer's float mode held throughout.
#pragma once

#include "synth/float_mode.h"
#include "synth/unit.h"

#include <deque>
#include <utility>
#include <vector>

// Both lanes of a value, to compare with a pair in one expectation.
inline std::pair<double, double> lanes(Stereo value) {
    return {leftOf(value), rightOf(value)};
}

struct UnitHarness {
    UnitHarness();
    ~UnitHarness();
    UnitHarness(const UnitHarness&) = delete;
    UnitHarness& operator=(const UnitHarness&) = delete;

    // A source whose output the test sets directly (a constant node, never ticked to anything).
    UnitNode* probe(Stereo value);
    UnitNode* probe(double value) { return probe(stereo(value)); }
    // A node of the type with the given inputs (null for unbound) and parameter words.
    UnitNode* unit(UnitType type, const std::vector<UnitNode*>& inputs,
                   const std::vector<uint16_t>& params = {});
    // Evaluates the node for the current sample, then moves the clock to the next sample.
    Stereo step(UnitNode* node);
    // Steps until the next sample is a control step (the first of every 16).
    void alignToControlStep();

    FloatModeGuard mode;
    int32_t nextIndex = 1;
    std::deque<std::vector<uint16_t>> paramStore;
};
