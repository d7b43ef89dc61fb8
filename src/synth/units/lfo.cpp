// Lfo (type 6): a low-frequency waveform, free-running or synced to the song tempo.
// Inputs: rate, phase offset, width, amount. Flags: waveform in bits 0-7, bit 8 negative range,
// bit 9 bipolar, bit 11 tempo sync.
#include "base/audio_format.h"
#include "synth/plan_steps.h"
#include "synth/units/osc_core.h"

namespace {

constexpr uint16_t kLfoNegative = 0x100;
constexpr uint16_t kLfoBipolar = 0x200;
constexpr uint16_t kLfoTempoSync = 0x800;

} // namespace

void computeLfo(UnitNode* node) {
    OscState& state = unitState<OscState>(node);
    const uint16_t flags = paramWord(node);

    if (isControlStep()) {
        Stereo rate = input(node, 0);
        if (flags & kLfoTempoSync) {
            // 0.5 is one cycle per beat; each 1/128 above or below is a semitone of rate.
            state.increment =
                exp2Of((rate - 0.5) * 128.0 * kOneTwelfth) * songTempo() / (60.0 * kAudioFrameRate);
        } else {
            Stereo r = maxOf(rate, zeroStereo());
            state.increment = r * r * r * r * r * k0p001;
        }
    }

    Stereo v = oscCore(node, flags, 1);
    if (!(flags & kLfoBipolar)) v = (flags & kLfoNegative) ? (v - 1.0) * 0.5 : (v + 1.0) * 0.5;
    node->output = v * input(node, 3);
}
QUORLAX_PLAN_STEPS(computeLfo)
