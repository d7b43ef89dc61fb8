// StateVariableFilter (type 43): a chain of state-variable stages, each updated twice per
// sample, whose low, high and band outputs are mixed by the parameter word.
#include "synth/plan_steps.h"
#include "synth/unit.h"
#include "synth/units/mappings.h"

namespace {

// The word asks for 2n stages with n up to 15; the node's state area holds eight, so n is
// capped at 4 (the patches use n <= 1).
constexpr int32_t kMaxStageCount = 8;

struct SvfStage {
    Stereo low, high, band;
};

struct StateVariableFilterState {
    Stereo frequency;
    Stereo damping;
    SvfStage stages[kMaxStageCount];
};

int32_t stageCount(uint16_t word) {
    int32_t n = (word >> 8) & 15;
    if (n > kMaxStageCount / 2) n = kMaxStageCount / 2;
    return n > 0 ? 2 * n : 1;
}

// All ones where the word's bit is set.
Stereo bitMask(uint16_t word, int32_t bit) {
    return (word >> bit) & 1 ? allOnes() : zeroStereo();
}

} // namespace

void computeStateVariableFilter(UnitNode* node) {
    StateVariableFilterState& state = unitState<StateVariableFilterState>(node);
    uint16_t word = paramWord(node);
    if (isControlStep()) {
        state.frequency = cutoffMap(input(node, 1), word);
        // With the voice's increment the cutoff becomes pi times it: the filter tracks the note.
        if (word & kCutoffFollowsKey) state.frequency = state.frequency * kHalfPi;
        state.damping = clampOf(1.0 - input(node, 2), 0.0, k0p99765);
    }
    Stereo f = state.frequency;
    Stereo q = state.damping;
    Stereo useLow = bitMask(word, 0), useHigh = bitMask(word, 1), useBand = bitMask(word, 2),
           useMinusHigh = bitMask(word, 3);

    Stereo signal = input(node, 0);
    int32_t count = stageCount(word);
    for (int32_t k = 0; k < count; ++k) {
        SvfStage& s = state.stages[k];
        for (int32_t pass = 0; pass < 2; ++pass) {
            s.low = s.low + f * s.band;
            s.high = signal - s.low - q * s.band;
            s.band = s.band + f * s.high;
        }
        signal = bitAnd(useLow, s.low) + bitAnd(useHigh, s.high) + bitAnd(useBand, s.band) -
                 bitAnd(useMinusHigh, s.high);
    }
    node->output = signal;
}
QUORLAX_PLAN_STEPS(computeStateVariableFilter)
