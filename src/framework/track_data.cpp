#include "framework/track_data.h"

int32_t sceneStartTick(int32_t scene) {
    const TrackSource& selector = builtinTrack(kSceneSelectorIndex);
    for (int32_t i = 0; i < selector.count; ++i)
        if (static_cast<int32_t>(selector.values[i]) == scene) return selector.times[i];
    return -1;
}
