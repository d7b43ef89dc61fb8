#include "shared/capture_plan.h"

int32_t planCaptureFrames(const ParameterTrack* sceneSelector, float tick, float ticksPerFrame,
                          int32_t warmUpFrames, float* times, int32_t capacity) {
    if (!times || warmUpFrames < 1 || warmUpFrames > kMaximumWarmUpFrames || !(ticksPerFrame > 0.0f) ||
        !(tick >= 0.0f))
        return 0;
    const float firstFrame = tick - static_cast<float>(warmUpFrames - 1) * ticksPerFrame;

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
    for (int32_t i = handOver; i > 0; --i)
        times[count++] = sceneStart - static_cast<float>(i) * ticksPerFrame;
    for (int32_t i = warmUpFrames - 1; i >= 0; --i) {
        const float time = tick - static_cast<float>(i) * ticksPerFrame;
        times[count++] = time > 0.0f ? time : 0.0f;
    }
    return count;
}
