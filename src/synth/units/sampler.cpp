// SampleSource (type 52) names a wave of the sample bank; Sampler (type 42) plays it at a
// pitch, forwards or backwards, with an optional loop whose seam is crossfaded.
#include "synth/plan_steps.h"
#include "synth/sample_bank.h"
#include "synth/unit.h"

#include <emmintrin.h>

namespace {

constexpr uint16_t kLoopOn = 1u << 3;

// What a Sampler reads from its source; the source's own output stays zero.
struct SampleSourceState {
    Stereo length; // frames, both lanes
    const Stereo* frames;
};

struct SamplerState {
    Stereo offset; // play position relative to the start point
    Stereo start;
    Stereo loopStart;
    Stereo loopEnd;
    Stereo crossfade; // frames, at least 1
    Stereo inLoop;    // sticky mask: the lane has entered the loop
    Stereo rate;
    Stereo length;
    const Stereo* frames;
    int32_t frameCount;
};

// A frame number for a position already wrapped into [0, N); anything else (which the
// positions never produce) is held inside the wave rather than read outside it.
int32_t frameIndex(double position, int32_t count) {
    if (!(position > 0.0)) return 0;
    if (position >= count) return count - 1;
    return static_cast<int32_t>(position);
}

// The wave at position p, linearly interpolated per lane (left lane from the left channel,
// right lane from the right); p is wrapped once each way, and the frame after the last one is
// frame 0.
Stereo readWave(const SamplerState& state, Stereo p) {
    Stereo n = state.length;
    p = select(lessThan(p, zeroStereo()), p + n, p);
    p = select(greaterEqual(p, n), p - n, p);
    Stereo whole = floorOf(p);
    Stereo next = p + 1.0;
    next = select(greaterEqual(next, n), zeroStereo(), next);
    const Stereo* frames = state.frames;
    int32_t count = state.frameCount;
    __m128d first =
        _mm_move_sd(frames[frameIndex(rightOf(whole), count)].v, frames[frameIndex(leftOf(whole), count)].v);
    __m128d second =
        _mm_move_sd(frames[frameIndex(rightOf(next), count)].v, frames[frameIndex(leftOf(next), count)].v);
    Stereo s0{first}, s1{second};
    return s0 + (s1 - s0) * (p - whole);
}

void loadCoefficients(UnitNode* node, SamplerState& state) {
    const UnitNode* source = node->inputs[0];
    state.length = zeroStereo();
    state.frames = nullptr;
    if (source && source->type == static_cast<int32_t>(UnitType::SampleSource)) {
        const SampleSourceState& wave =
            *std::launder(reinterpret_cast<const SampleSourceState*>(source->state));
        state.length = wave.length;
        state.frames = wave.frames;
    }
    double frames = leftOf(state.length);
    // Without frames there is nothing to read, whatever length is stated.
    state.frameCount =
        state.frames && frames >= 1.0 && frames < 2147483647.0 ? static_cast<int32_t>(frames) : 0;

    Stereo n = state.length;
    Stereo last = n - 1.0;
    state.start = clampOf(n * input(node, 1), zeroStereo(), last);
    Stereo a = clampOf(n * input(node, 4), zeroStereo(), last);
    Stereo b = clampOf(n * input(node, 5), zeroStereo(), last);
    state.loopStart = minOf(a, b);
    state.loopEnd = maxOf(a, b);
    state.crossfade =
        maxOf(stereo(1.0), clampOf(input(node, 6), 0.0, 1.0) * (state.loopEnd - state.loopStart) * 0.5);
    // input 2 * 128 is a transposition in semitones.
    state.rate = exp2Of(input(node, 2) * 128.0 * kOneTwelfth);
}

} // namespace

void computeSampleSource(UnitNode* node) {
    SampleSourceState& state = unitState<SampleSourceState>(node);
    SampleWave wave = sampleWave(paramWord(node));
    state.length = stereo(wave.length);
    state.frames = wave.frames;
}
QUORLAX_PLAN_STEPS(computeSampleSource)

void computeSampler(UnitNode* node) {
    SamplerState& state = unitState<SamplerState>(node);
    if (isControlStep()) loadCoefficients(node, state);
    if (state.frameCount == 0) {
        node->output = zeroStereo();
        return;
    }

    Stereo dir = select(lessThan(input(node, 3), stereo(0.5)), stereo(1.0), stereo(-1.0));
    Stereo step = dir * state.rate;
    Stereo p = state.start + state.offset;
    Stereo s1 = readWave(state, p);
    Stereo value = s1;
    Stereo next = p + step;

    if (paramWord(node) & kLoopOn) {
        Stereo inside = bitAnd(lessEqual(state.loopStart, p), lessEqual(p, state.loopEnd));
        state.inLoop = bitOr(state.inLoop, inside);
        if (anyLane(state.inLoop)) {
            Stereo clamped = clampOf(p, state.loopStart, state.loopEnd);
            Stereo forward = greaterThan(dir, zeroStereo());
            Stereo edge = select(forward, state.loopEnd, state.loopStart);
            Stereo other = select(forward, state.loopStart, state.loopEnd);
            Stereo x = state.crossfade;
            // Approaching the edge, blend towards the frames just past the other end, where
            // the jump lands.
            Stereo toEdge = edge - clamped;
            Stereo s2 = readWave(state, other + x * dir - toEdge);
            Stereo weight = minOf(absOf(toEdge), x) / x;
            Stereo blended = s2 + (s1 - s2) * weight;
            Stereo moved = clamped + step;
            Stereo remaining = edge - moved;
            Stereo passed = bitAnd(state.inLoop, lessThan(remaining * dir, zeroStereo()));
            moved = select(passed, other + x * dir - remaining, moved);
            // Lanes not yet in the loop sound unblended, but their position is clamped into the
            // loop like the others': once any lane is in, both lanes move from the loop.
            value = select(state.inLoop, blended, s1);
            next = moved;
        }
    }

    // A lane that has run off either end stays there, silent.
    Stereo n = state.length;
    Stereo kept = clampOf(next, stereo(-1.0), n);
    Stereo ended = bitOr(greaterEqual(kept, n), lessThan(kept, zeroStereo()));
    node->output = bitAndNot(ended, value);
    state.offset = kept - state.start;
}
QUORLAX_PLAN_STEPS(computeSampler)
