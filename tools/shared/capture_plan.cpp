#include "shared/capture_plan.h"

#include <cmath>

float captureClockTime(float start, double ticksPerFrame, int64_t offset) {
    const double index = std::nearbyint(static_cast<double>(start) / ticksPerFrame);
    if (static_cast<float>(index * ticksPerFrame) == start)
        return static_cast<float>((index + static_cast<double>(offset)) * ticksPerFrame);
    return static_cast<float>(static_cast<double>(start) + static_cast<double>(offset) * ticksPerFrame);
}

int32_t planCaptureFrames(const ParameterTrack* sceneSelector, float tick, double ticksPerFrame,
                          int32_t warmUpFrames, float* times, int32_t capacity) {
    if (!times || warmUpFrames < 1 || warmUpFrames > kMaximumWarmUpFrames || !(ticksPerFrame > 0.0f) ||
        !(tick >= 0.0f))
        return 0;
    const float firstFrame = captureClockTime(tick, ticksPerFrame, 1 - warmUpFrames);

    // The first tick of the scene active at `tick`; a scene that starts the show has no predecessor.
    int32_t handOver = 0;
    float sceneStart = 0.0f;
    if (sceneSelector && sceneSelector->count > 0) {
        const int32_t key = findKeyIndex(sceneSelector, floorToInt(tick));
        if (key >= 1) {
            sceneStart = static_cast<float>(sceneSelector->keys[key].time);
            if (firstFrame >= sceneStart) handOver = kHandOverFrames;
        }
    }
    if (handOver + warmUpFrames > capacity) return 0;

    int32_t count = 0;
    for (int32_t i = handOver; i > 0; --i) times[count++] = captureClockTime(sceneStart, ticksPerFrame, -i);
    for (int32_t i = warmUpFrames - 1; i >= 0; --i) {
        const float time = captureClockTime(tick, ticksPerFrame, -i);
        times[count++] = time > 0.0f ? time : 0.0f;
    }
    return count;
}
