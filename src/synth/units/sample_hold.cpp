// SampleHold (type 55): takes a new value of its signal at a steady rate, or, as a
// track-and-hold, follows it while the gate is low and holds it while the gate is high.
#include "synth/plan_steps.h"
#include "synth/unit.h"
#include "synth/units/mappings.h"

namespace {

constexpr uint16_t kTrackAndHold = 1u << 4;

struct SampleHoldState {
    Stereo rate;  // new values per sample
    Stereo phase; // counts down through [0, 1)
    Stereo held;
};

} // namespace

void computeSampleHold(UnitNode* node) {
    SampleHoldState& state = unitState<SampleHoldState>(node);
    uint16_t word = paramWord(node);
    Stereo control = input(node, 1);
    if (isControlStep()) {
        state.rate = cutoffMap(control, word);
        // The voice's increment, transposed by control * 128 - 32 semitones.
        if (word & kCutoffFollowsKey) state.rate = state.rate * 0.5 * exp2Of((control - 0.25) * 128.0 / 12.0);
    }
    Stereo take;
    if (word & kTrackAndHold) {
        take = lessThan(control, stereo(0.5));
        state.phase = zeroStereo();
    } else {
        Stereo v = state.phase - state.rate;
        take = lessThan(v, zeroStereo());
        state.phase = v - floorOf(v);
    }
    state.held = select(take, input(node, 0), state.held);
    node->output = state.held;
}
QUORLAX_PLAN_STEPS(computeSampleHold)
