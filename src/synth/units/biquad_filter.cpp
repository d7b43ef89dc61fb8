// BiquadFilter (type 9): low-pass, high-pass, two band-passes, notch and low shelf, as one to
// thirty cascaded sections sharing one coefficient set. Inputs: signal, cutoff, resonance,
// shelf gain. Flags: mode in bits 0-3, cutoff mapping in bits 6-7, bits 8-11 = N for 2N
// sections (N = 0 runs one).
#include "base/memory.h"
#include "synth/plan_steps.h"
#include "synth/units/mappings.h"

namespace {

struct BiquadSection {
    Stereo z1, z2;
};

// N is four bits, so at most 2 * 15 sections. Their memories live in a buffer of the node (too
// large for the state area, which holds the coefficients).
constexpr int32_t kMaxBiquadSections = 30;

struct BiquadState {
    Stereo b0, b1, b2, a1, a2; // normalised by a0
};

enum BiquadMode : uint16_t {
    kLowPass = 0,
    kHighPass = 1,
    kBandPassSkirt = 2,
    kBandPassPeak = 3,
    kNotch = 4,
    kLowShelf = 7,
};

// Coefficients in the forms of the Audio EQ Cookbook. Modes without a defined response keep
// all coefficients zero and so output silence.
void computeCoefficients(BiquadState& state, UnitNode* node, uint16_t flags) {
    const uint16_t mode = flags & 15;
    const Stereo omega = cutoffMap(input(node, 1), flags) * kPi;
    const Stereo sn = sineOf(omega);
    const Stereo cs = sineOf(omega + kHalfPi);
    const Stereo q = exp2Of(input(node, 2) * 10.0);
    const Stereo alpha = sn / (2.0 * q);
    const Stereo zero = zeroStereo();

    Stereo b0 = zero, b1 = zero, b2 = zero, a0 = stereo(1.0), a1 = zero, a2 = zero;
    if (mode <= kNotch) {
        a0 = 1.0 + alpha;
        a1 = -2.0 * cs;
        a2 = 1.0 - alpha;
    }
    switch (mode) {
    case kLowPass:
        b0 = b2 = (1.0 - cs) * 0.5;
        b1 = 1.0 - cs;
        break;
    case kHighPass:
        b0 = b2 = (1.0 + cs) * 0.5;
        b1 = -(1.0 + cs);
        break;
    case kBandPassSkirt:
        b0 = sn * 0.5;
        b2 = -sn * 0.5;
        break;
    case kBandPassPeak:
        b0 = alpha;
        b2 = -alpha;
        break;
    case kNotch:
        b0 = b2 = stereo(1.0);
        b1 = a1;
        break;
    case kLowShelf: {
        const Stereo a = exp2Of((input(node, 3) - 0.75) * 0.5 * 128.0 / 6.0);
        const Stereo beta = sqrtOf(a) * sn / q;
        const Stereo ap1 = a + 1.0, am1 = a - 1.0;
        b0 = a * (ap1 - am1 * cs + beta);
        b1 = 2.0 * a * (am1 - ap1 * cs);
        b2 = a * (ap1 - am1 * cs - beta);
        a0 = ap1 + am1 * cs + beta;
        a1 = -2.0 * (am1 + ap1 * cs);
        a2 = ap1 + am1 * cs - beta;
        break;
    }
    default:
        break;
    }
    const Stereo scale = 1.0 / a0;
    state.b0 = b0 * scale;
    state.b1 = b1 * scale;
    state.b2 = b2 * scale;
    state.a1 = a1 * scale;
    state.a2 = a2 * scale;
}

} // namespace

void initBiquadSections(UnitNode* node) {
    node->buffer = memAlloc(kMaxBiquadSections * sizeof(BiquadSection));
}

void computeBiquadFilter(UnitNode* node) {
    BiquadState& state = unitState<BiquadState>(node);
    const uint16_t flags = paramWord(node);
    if (isControlStep()) computeCoefficients(state, node, flags);

    BiquadSection* sections = workBuffer<BiquadSection>(node);
    if (!sections) { // its buffer could not be made
        node->output = zeroStereo();
        return;
    }
    const int32_t n = (flags >> 8) & 15;
    const int32_t count = n == 0 ? 1 : 2 * n;
    // Transposed direct form II, each section feeding the next.
    Stereo x = input(node, 0);
    for (int32_t i = 0; i < count; ++i) {
        BiquadSection& s = sections[i];
        Stereo y = state.b0 * x + s.z1;
        s.z1 = state.b1 * x - state.a1 * y + s.z2;
        s.z2 = state.b2 * x - state.a2 * y;
        x = y;
    }
    node->output = x;
}
QUORLAX_PLAN_STEPS(computeBiquadFilter)
