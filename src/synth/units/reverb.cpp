// Reverb (type 36): eight damped combs and four allpasses over one shared buffer, fed in mono,
// spread to stereo by 23 extra frames on alternate lanes of alternate lines.
#include "synth/plan_steps.h"
#include "synth/unit.h"

#include <emmintrin.h>

namespace {

constexpr int32_t kLineCount = 12;
constexpr int32_t kCombCount = 8;
// Every line owns a fixed stride of the work buffer; an effective length never exceeds it.
constexpr int32_t kLineStride = 1640;
constexpr int32_t kSpread = 23;
static_assert(kLineCount * kLineStride * 2 * sizeof(double) == kWorkBufferBytes);

struct ReverbLine {
    int32_t length;
    int32_t extra[2]; // frames added in the left and the right lane
};

// Processing order: combs 0-7, then allpasses 8-11.
constexpr ReverbLine kLines[kLineCount] = {
    {1617, {0, kSpread}}, {1557, {kSpread, 0}}, {1491, {0, kSpread}}, {1422, {kSpread, 0}},
    {1356, {0, kSpread}}, {1277, {kSpread, 0}}, {1188, {0, kSpread}}, {1116, {kSpread, 0}},
    {556, {0, kSpread}},  {441, {kSpread, 0}},  {341, {0, kSpread}},  {225, {kSpread, 0}},
};

// Effective length of a line in a lane (0 left, 1 right).
constexpr int32_t lineLength(int32_t line, int32_t lane) {
    int32_t length = kLines[line].length + kLines[line].extra[lane];
    return length < kLineStride ? length : kLineStride;
}

struct ReverbState {
    Stereo combMemory[kCombCount]; // damping low-pass per comb
    Stereo blocked;                // DC blocker output
    Stereo previousWet;            // DC blocker input of the previous sample
    int32_t position[kLineCount][2];
};

} // namespace

void computeReverb(UnitNode* node) {
    ReverbState& state = unitState<ReverbState>(node);
    auto* frames = workBuffer<double>(node);
    Stereo dry = input(node, 0);

    Stereo gain = input(node, 1);
    Stereo feed = maxOf(gain * gain * gain, zeroStereo()) * (leftOf(dry) + rightOf(dry));
    Stereo feedback = maxOf(input(node, 2), zeroStereo()) * 0.28125 + 0.703125;
    Stereo damping = clampOf(input(node, 3), 0.0, 1.0);

    // Without its buffer (the allocation failed) the reverb acts as one whose lines are silent.
    Stereo wet = zeroStereo();
    for (int32_t line = 0; frames && line < kLineCount; ++line) {
        int32_t(&position)[2] = state.position[line];
        double* left = &frames[2 * (line * kLineStride + position[0])];
        double* right = &frames[2 * (line * kLineStride + position[1]) + 1];
        Stereo delayed{_mm_loadh_pd(_mm_load_sd(left), right)};
        Stereo written;
        if (line < kCombCount) {
            Stereo& memory = state.combMemory[line];
            written = feedback * delayed + feed;
            written = written + damping * (memory - written);
            memory = written;
            wet += delayed;
        } else {
            written = delayed * k0p618 + wet;
            wet = delayed - written * k0p618;
        }
        _mm_storel_pd(left, written.v);
        _mm_storeh_pd(right, written.v);
        for (int32_t lane = 0; lane < 2; ++lane)
            if (++position[lane] >= lineLength(line, lane)) position[lane] = 0;
    }

    state.blocked = (wet - state.previousWet) + state.blocked * k0p99432;
    state.previousWet = wet;
    Stereo width = clampOf(input(node, 5), 0.0, 1.0);
    Stereo spread = 0.5 * (1.0 + width) * state.blocked + 0.5 * (1.0 - width) * swapLanes(state.blocked);
    node->output = dry + clampOf(input(node, 4), 0.0, 1.0) * (spread - dry);
}
QUORLAX_PLAN_STEPS(computeReverb)
