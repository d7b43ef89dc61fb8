#include "synth/units/osc_core.h"

namespace {

// Triangle rising from -1 at 0 to 1 at g and falling back to -1 at 1. The rising half is taken
// only below g so that g = 0 (zero width, no increment) gives the falling ramp instead of 0/0.
Stereo triangle(Stereo d, Stereo g) {
    Stereo rising = 2.0 * d / g - 1.0;
    Stereo falling = 2.0 * (1.0 - d) / (1.0 - g) - 1.0;
    return select(lessThan(d, g), rising, falling);
}

// Pulse high up to g whose edges ramp over one increment e.
Stereo rampedPulse(Stereo x, Stereo g, Stereo e) {
    Stereo fall = maxOf(2.0 * (g - x) / e + 1.0, stereo(-1.0));
    Stereo rise = minOf(2.0 * x / e - 1.0, stereo(1.0));
    return select(lessThan(g, x), fall, rise);
}

} // namespace

Stereo oscCore(UnitNode* node, uint16_t flags, int32_t k) {
    OscState& state = unitState<OscState>(node);
    OscVoice& voice = state.voices[k];
    const Stereo offset = input(node, 1);
    const Stereo width = input(node, 2);
    if (k > 0) state.increment *= input(node, 6) * k0p01 + 1.0;

    const Stereo d = fracOf(offset + voice.phase);
    const Stereo wrapped = lessThan(d, voice.previous);
    node->activity = wrapped;
    voice.previous = d;

    const Stereo e = state.increment + state.modulation;
    voice.phase += e;
    const Stereo g = maxOf(e, minOf(1.0 - e, width));

    switch (flags & 0xFF) {
    case kWavePulseSine: {
        Stereo m = maxOf(e, minOf(stereo(1.0), width));
        return bitAnd(lessThan(d, m), sineOf(d / m * kTwoPi));
    }
    case kWaveSaw: {
        Stereo ramp = 2.0 * d - 1.0;
        return select(greaterEqual(g, stereo(0.5)), ramp, -ramp);
    }
    case kWaveSquare:
        return select(lessThan(d, g), stereo(1.0), stereo(-1.0));
    case kWaveTriangle:
        return triangle(d, g);
    case kWaveTwoTriangles: {
        Stereo u = fracOf(d - offset);
        return triangle(d, g) + triangle(u, g);
    }
    case kWaveRampedPulses: {
        Stereo u = fracOf(d - offset);
        Stereo twiceWidth = 2.0 * g;
        return (rampedPulse(d, g, e) + 1.0 - twiceWidth) + (rampedPulse(u, g, e) + 1.0 - twiceWidth);
    }
    case kWaveRandomHarmonic: {
        Stereo value = sineOf((voice.harmonic + 1.0) * d * kTwoPi);
        if (anyLane(wrapped)) {
            // The new harmonic sounds from the next sample on.
            Stereo n = noise();
            Stereo harmonic = floorOf(width * width * 440.0 * (n + 1.0));
            voice.harmonic = select(wrapped, harmonic, voice.harmonic);
        }
        return value;
    }
    default:
        return zeroStereo();
    }
}
