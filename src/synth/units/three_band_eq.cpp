// ThreeBandEq (type 58): low, mid and high gains around two four-pole low-pass splits; the
// high band is taken against the input delayed by three samples.
#include "synth/plan_steps.h"
#include "synth/unit.h"
#include "synth/units/mappings.h"

#include <bit>

namespace {

constexpr int32_t kSplitPoles = 4;
constexpr double kLowSplit = std::bit_cast<double>(0x3FBD79083A6F4F8Dull);   // 0.11512805391913457
constexpr double kUpperSplit = std::bit_cast<double>(0x3FE49276D5C7BB48ull); // 0.6428789306063232

struct ThreeBandEqState {
    Stereo gainLow, gainMid, gainHigh;
    Stereo lowCoefficient, upperCoefficient;
    Stereo low[kSplitPoles];
    Stereo upper[kSplitPoles];
    Stereo history[3]; // the inputs one, two and three samples ago
};

// Four one-pole low-passes in series; returns the last stage.
Stereo splitLowPass(Stereo (&stages)[kSplitPoles], Stereo coefficient, Stereo x) {
    for (Stereo& s : stages) {
        s += coefficient * (x - s);
        x = s;
    }
    return x;
}

} // namespace

void computeThreeBandEq(UnitNode* node) {
    ThreeBandEqState& state = unitState<ThreeBandEqState>(node);
    if (isControlStep()) {
        state.gainLow = levelCurve(input(node, 1));
        state.gainMid = levelCurve(input(node, 2));
        state.gainHigh = levelCurve(input(node, 3));
        state.lowCoefficient = stereo(kLowSplit);
        state.upperCoefficient = stereo(kUpperSplit);
    }
    Stereo x = input(node, 0);
    Stereo low = splitLowPass(state.low, state.lowCoefficient, x);
    Stereo upper = splitLowPass(state.upper, state.upperCoefficient, x);
    Stereo delayed = state.history[2];
    node->output = low * state.gainLow + (upper - low) * state.gainMid + (delayed - upper) * state.gainHigh;
    state.history[2] = state.history[1];
    state.history[1] = state.history[0];
    state.history[0] = x;
}
QUORLAX_PLAN_STEPS(computeThreeBandEq)
