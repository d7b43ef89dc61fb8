// Oscillator (type 7): up to eight detuned unison voices of the waveform core, tracking the
// played note. Inputs: frequency modulation, phase offset, width, transpose, fine tune,
// amplitude, unison detune. Flags: waveform in bits 0-7, unison voices - 1 in bits 8-10,
// bit 11 key tracking, bit 12 random start phases.
#include "synth/plan_steps.h"
#include "synth/units/osc_core.h"

namespace {

constexpr uint16_t kOscKeyTracking = 0x800;
constexpr uint16_t kOscRandomPhases = 0x1000;
// Random start phases are drawn for the first seven voices only; the eighth starts at 0.
constexpr int32_t kRandomPhaseVoices = 7;

} // namespace

void computeOscillator(UnitNode* node) {
    OscState& state = unitState<OscState>(node);
    const uint16_t flags = paramWord(node);

    state.modulation = input(node, 0) * 0.5;
    if (isControlStep()) {
        if (flags & kOscKeyTracking) {
            // Transpose is 1/128 per semitone and fine tune 1/100 of that.
            Stereo semitones = (input(node, 4) * k0p01 + input(node, 3)) * 128.0 * kOneTwelfth;
            state.increment = exp2Of(semitones) * currentVoice()->increment;
        } else {
            state.increment = zeroStereo();
        }
        if (bothZero(state.initialised)) {
            state.initialised = stereo(1.0);
            if (flags & kOscRandomPhases)
                for (int32_t k = 0; k < kRandomPhaseVoices; ++k) state.voices[k].phase = absOf(noise());
        }
    }

    const int32_t voices = ((flags >> 8) & 7) + 1;
    node->output = oscCore(node, flags, voices) * input(node, 5);
}
QUORLAX_PLAN_STEPS(computeOscillator)
