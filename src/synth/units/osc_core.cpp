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

// What one voice's phase step hands its waveform.
struct PhaseStep {
    Stereo d;       // wrapped phase
    Stereo e;       // increment of this sample
    Stereo g;       // width held one increment away from both ends
    Stereo wrapped; // lanes that wrapped
};

constexpr uint16_t kWaveUnknown = 0xFF;

template <uint16_t Wave>
Stereo waveform(OscVoice& voice, const PhaseStep& s, Stereo width, Stereo offset) {
    if constexpr (Wave == kWavePulseSine) {
        Stereo m = maxOf(s.e, minOf(stereo(1.0), width));
        return bitAnd(lessThan(s.d, m), sineOf(s.d / m * kTwoPi));
    } else if constexpr (Wave == kWaveSaw) {
        Stereo ramp = 2.0 * s.d - 1.0;
        return select(greaterEqual(s.g, stereo(0.5)), ramp, -ramp);
    } else if constexpr (Wave == kWaveSquare) {
        return select(lessThan(s.d, s.g), stereo(1.0), stereo(-1.0));
    } else if constexpr (Wave == kWaveTriangle) {
        return triangle(s.d, s.g);
    } else if constexpr (Wave == kWaveTwoTriangles) {
        Stereo u = fracOf(s.d - offset);
        return triangle(s.d, s.g) + triangle(u, s.g);
    } else if constexpr (Wave == kWaveRampedPulses) {
        Stereo u = fracOf(s.d - offset);
        Stereo twiceWidth = 2.0 * s.g;
        return (rampedPulse(s.d, s.g, s.e) + 1.0 - twiceWidth) +
               (rampedPulse(u, s.g, s.e) + 1.0 - twiceWidth);
    } else if constexpr (Wave == kWaveRandomHarmonic) {
        Stereo value = sineOf((voice.harmonic + 1.0) * s.d * kTwoPi);
        if (anyLane(s.wrapped)) {
            // The new harmonic sounds from the next sample on.
            Stereo n = noise();
            Stereo harmonic = floorOf(width * width * 440.0 * (n + 1.0));
            voice.harmonic = select(s.wrapped, harmonic, voice.harmonic);
        }
        return value;
    } else {
        return zeroStereo();
    }
}

// The voices of one waveform, summed from voice 0 up. The inputs are read once: no voice
// changes them.
template <uint16_t Wave>
Stereo sumVoices(UnitNode* node, int32_t voices) {
    OscState& state = unitState<OscState>(node);
    const Stereo offset = input(node, 1);
    const Stereo width = input(node, 2);
    const Stereo detune = voices > 1 ? input(node, 6) * k0p01 + 1.0 : zeroStereo();
    Stereo increment = state.increment;
    Stereo sum = zeroStereo();
    PhaseStep s{};
    for (int32_t k = 0; k < voices; ++k) {
        OscVoice& voice = state.voices[k];
        if (k > 0) increment *= detune;
        s.d = fracOf(offset + voice.phase);
        s.wrapped = lessThan(s.d, voice.previous);
        voice.previous = s.d;
        s.e = increment + state.modulation;
        voice.phase += s.e;
        s.g = maxOf(s.e, minOf(1.0 - s.e, width));
        sum += waveform<Wave>(voice, s, width, offset);
    }
    node->activity = s.wrapped;
    return sum;
}

} // namespace

Stereo oscCore(UnitNode* node, uint16_t flags, int32_t voices) {
    switch (flags & 0xFF) {
    case kWavePulseSine:
        return sumVoices<kWavePulseSine>(node, voices);
    case kWaveSaw:
        return sumVoices<kWaveSaw>(node, voices);
    case kWaveSquare:
        return sumVoices<kWaveSquare>(node, voices);
    case kWaveTriangle:
        return sumVoices<kWaveTriangle>(node, voices);
    case kWaveTwoTriangles:
        return sumVoices<kWaveTwoTriangles>(node, voices);
    case kWaveRampedPulses:
        return sumVoices<kWaveRampedPulses>(node, voices);
    case kWaveRandomHarmonic:
        return sumVoices<kWaveRandomHarmonic>(node, voices);
    default:
        return sumVoices<kWaveUnknown>(node, voices);
    }
}
