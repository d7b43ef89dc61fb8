// Delay (type 32) and EchoDelay (type 33): four-second delay lines read through a first-order
// allpass for fractional lengths.
// Delay inputs: signal, time. EchoDelay inputs: signal, time, feedback, damping, mix.
// Parameter word: time mode in bits 0-3 (0 tempo table, 1 and 2 scaled, 3 up to two seconds,
// others samples); EchoDelay bit 7 swaps the lanes of every repeat (ping-pong).
#include "base/audio_format.h"
#include "synth/plan_steps.h"
#include "synth/units/mappings.h"

#include <cstdint>

namespace {

constexpr int32_t kDelayFrames = 4 * static_cast<int32_t>(kAudioFrameRate);
static_assert(kDelayFrames * 2 * static_cast<int32_t>(sizeof(double)) ==
              static_cast<int32_t>(kDelayBufferBytes));
// The shortest line: its read position stays two frames behind the write position.
constexpr double kMinDelay = 4.0;

struct DelayLine {
    int32_t write;   // frame the next input goes to, both lanes
    int32_t read[2]; // frame read next, per lane
    Stereo eta;      // allpass coefficient of the fractional part
    Stereo x1;       // last frame read
    Stereo y1;       // last interpolated value
};

struct EchoState {
    DelayLine line;
    Stereo feedback;
    Stereo damping;
    Stereo mix;
    Stereo lowpass;
};

constexpr uint16_t kPingPong = 0x80;

// Delay length D in samples for one lane's time input.
double delaySamples(double time, uint16_t mode, double tempo) {
    const double t = time > 0.0 ? time : 0.0; // negative (and NaN) times count as 0
    double d;
    switch (mode) {
    case 0: {
        double position = (t < 1.0 ? t : 1.0) * 32.0;
        d = static_cast<double>(kTempoTable[static_cast<int32_t>(position)]) * 60.0 * kAudioFrameRate / tempo;
        break;
    }
    case 1:
        d = t * 1640.0;
        break;
    case 2:
        d = t * k5644p797;
        break;
    case 3:
        d = t * 2.0 * kAudioFrameRate;
        break;
    default:
        d = t;
        break;
    }
    const double longest = kDelayFrames - 1;
    d = d < longest ? d : longest;
    return d > kMinDelay ? d : kMinDelay;
}

// Sets one lane's read index for a delay of D samples and returns the allpass fraction e in
// [0.5, 1.5): the index trails the write index by about D - 2 frames and the allpass with its
// one-frame memory adds the rest, so input reaches the output D - 1 samples later.
double placeRead(int32_t write, double length, int32_t& read) {
    const double p = static_cast<double>(kDelayFrames) + 1.0 + write - length + 1.0;
    double i = static_cast<double>(static_cast<int64_t>(p)); // p >= 3, so this is floor(p)
    double e = i + 1.0 - p;
    if (e < 0.5) {
        i += 1.0;
        e += 1.0;
    }
    if (i >= kDelayFrames) i -= kDelayFrames;
    read = static_cast<int32_t>(i);
    return e;
}

void setDelayTime(DelayLine& line, Stereo time, uint16_t flags, Stereo tempo) {
    const uint16_t mode = flags & 15;
    double e[2];
    e[0] = placeRead(line.write, delaySamples(leftOf(time), mode, leftOf(tempo)), line.read[0]);
    e[1] = placeRead(line.write, delaySamples(rightOf(time), mode, rightOf(tempo)), line.read[1]);
    const Stereo fraction = stereo(e[0], e[1]);
    line.eta = (1.0 - fraction) / (1.0 + fraction);
}

// The next frame through the allpass. The read index never equals the write index, so reading
// before or after this sample's write gives the same frame.
Stereo readLine(DelayLine& line, const double* frames) {
    const Stereo x = stereo(frames[2 * line.read[0]], frames[2 * line.read[1] + 1]);
    const Stereo y = line.eta * (x - line.y1) + line.x1;
    line.x1 = x;
    line.y1 = y;
    return y;
}

// Writes one frame and advances both indices.
void writeLine(DelayLine& line, double* frames, Stereo value) {
    frames[2 * line.write] = leftOf(value);
    frames[2 * line.write + 1] = rightOf(value);
    if (++line.write == kDelayFrames) line.write = 0;
    for (int32_t& r : line.read)
        if (++r == kDelayFrames) r = 0;
}

} // namespace

void computeDelay(UnitNode* node) {
    DelayLine& line = unitState<DelayLine>(node);
    auto* frames = workBuffer<double>(node);
    if (!frames) return; // no memory for the line: silent
    if (isControlStep()) setDelayTime(line, input(node, 1), paramWord(node), songTempo());
    node->output = readLine(line, frames);
    writeLine(line, frames, input(node, 0));
}
QUORLAX_PLAN_STEPS(computeDelay)

void computeEchoDelay(UnitNode* node) {
    EchoState& state = unitState<EchoState>(node);
    auto* frames = workBuffer<double>(node);
    if (!frames) return;
    const uint16_t flags = paramWord(node);
    if (isControlStep()) {
        setDelayTime(state.line, input(node, 1), flags, songTempo());
        state.damping = clampOf(input(node, 3), 0.0, 1.0);
        // Held below 1 so that repeats always die away.
        state.feedback = clampOf(input(node, 2), 0.0, k0p99765);
        state.mix = clampOf(input(node, 4), 0.0, 1.0);
    }
    const Stereo in = input(node, 0);
    const Stereo y = readLine(state.line, frames);
    const Stereo t = y * state.feedback + in;
    state.lowpass = t + state.damping * (state.lowpass - t);
    const Stereo repeat = (flags & kPingPong) ? swapLanes(state.lowpass) : state.lowpass;
    writeLine(state.line, frames, repeat);
    node->output = in + state.mix * (y - in);
}
QUORLAX_PLAN_STEPS(computeEchoDelay)
