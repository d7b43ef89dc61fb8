// evaluateTrack over arbitrary keys and times. Input: a key count byte, then per key a 4-byte
// time, a 4-byte float value and a 1-byte interpolation mode (in any order, unsorted or
// repeated), then 4-byte float times to evaluate at (NaN, infinities and huge values included).
#include "framework/parameter_track.h"
#include "fuzz/fuzz_support.h"

namespace {

constexpr int32_t kMaxKeys = 255;
constexpr int32_t kMaxTimes = 256;

// Times every input is evaluated at besides its own: the int32 ends and the float specials.
constexpr float kEdgeTimes[] = {0.0f,
                                -0.5f,
                                2147483520.0f,
                                2147483648.0f,
                                -2147483648.0f,
                                -2147483904.0f,
                                __builtin_inff(),
                                -__builtin_inff(),
                                __builtin_nanf("")};

int32_t times[kMaxKeys];
float values[kMaxKeys];
int8_t modes[kMaxKeys];

} // namespace

volatile float valueSink;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input{data, size};
    const int32_t count = input.next<uint8_t>();
    for (int32_t k = 0; k < count; ++k) {
        times[k] = input.next<int32_t>();
        values[k] = input.next<float>();
        modes[k] = input.next<int8_t>();
    }
    const int64_t before = memLiveBlocks();
    TrackRegistry registry{};
    ParameterTrack* track = registerTrack(&registry, "fuzz", times, values, modes, count);
    if (!track) return 0;
    for (float t : kEdgeTimes) valueSink = evaluateTrack(track, t);
    for (int32_t i = 0; i < kMaxTimes && input.left > 0; ++i) {
        const auto t = input.next<float>();
        const int32_t k = findKeyIndex(track, floorToInt(t));
        if (k < -1 || k >= track->count) std::abort();
        valueSink = evaluateTrack(track, t);
    }
    freeTracks(&registry);
    checkNoLiveBlocks(before, "the track");
    return 0;
}
