#include "framework/parameter_track.h"

#include "base/memory.h"
#include "base/text.h"

ParameterTrack* registerTrack(TrackRegistry* registry, const char* name, const int32_t* times,
                              const float* values, const int8_t* modes, int32_t n) {
    int32_t index = findTrack(registry, name);
    if (index >= 0) return registry->tracks[index];
    index = createTrack(registry, name);
    if (index < 0) return nullptr;
    ParameterTrack* track = registry->tracks[index];
    setTrackKeys(track, times, values, modes, n);
    return track;
}

int32_t findTrack(const TrackRegistry* registry, const char* name) {
    for (int32_t i = 0; i < registry->count; ++i)
        if (compareText(registry->tracks[i]->name, name) == 0) return i;
    return -1;
}

int32_t createTrack(TrackRegistry* registry, const char* name) {
    // Everything is taken before the registry changes, so a failure leaves it as it was and
    // never a slot without a named track.
    auto* track = static_cast<ParameterTrack*>(memAlloc(sizeof(ParameterTrack)));
    if (!track) return -1;
    track->name = duplicateString(name);
    auto* grown = static_cast<ParameterTrack**>(
        track->name ? memRealloc(registry->tracks, sizeof(ParameterTrack*) * (registry->count + 1))
                    : nullptr);
    if (!grown) {
        memFree(track->name);
        memFree(track);
        return -1;
    }
    registry->tracks = grown;
    registry->tracks[registry->count] = track;
    return registry->count++;
}

int32_t setTrackKeys(ParameterTrack* track, const int32_t* times, const float* values, const int8_t* modes,
                     int32_t n) {
    memFree(track->keys);
    track->keys = nullptr;
    track->count = 0;
    if (n <= 0) return 0;
    auto* keys = static_cast<TrackKey*>(memAlloc(sizeof(TrackKey) * static_cast<size_t>(n)));
    if (!keys) return -1;
    for (int32_t i = 0; i < n; ++i) keys[i] = {times[i], values[i], static_cast<int32_t>(modes[i])};
    track->keys = keys;
    track->count = n;
    return 0;
}

int32_t findKeyIndex(const ParameterTrack* track, int32_t tick) {
    int32_t lo = 0;
    int32_t hi = track->count;
    while (lo < hi) {
        int32_t mid = (lo + hi) / 2;
        if (track->keys[mid].time < tick)
            lo = mid + 1;
        else if (track->keys[mid].time > tick)
            hi = mid;
        else
            return mid;
    }
    return lo - 1;
}

int32_t truncateToInt(float value) {
    // The comparison is false for NaN as well.
    if (!(value >= -2147483648.0f && value < 2147483648.0f)) return INT32_MIN;
    return static_cast<int32_t>(value);
}

int32_t floorToInt(float value) {
    int32_t truncated = truncateToInt(value);
    if (truncated == INT32_MIN) return truncated;
    if (static_cast<float>(truncated) == value) return truncated;
    return value < 0.0f ? truncated - 1 : truncated;
}

float evaluateTrack(const ParameterTrack* track, float t) {
    if (!track || track->count == 0) return 0.0f;
    int32_t k = findKeyIndex(track, floorToInt(t));
    if (k < 0) return track->keys[0].value;
    if (k > track->count - 2) return track->keys[track->count - 1].value;
    const TrackKey& a = track->keys[k];
    const TrackKey& b = track->keys[k + 1];
    if (a.interpolation == Hold) return a.value;
    if (a.interpolation != Linear && a.interpolation != SmoothStep && a.interpolation != EaseIn) return 0.0f;
    // The span is an int32 difference converted afterwards; it wraps as the processor's int32
    // subtraction does rather than being left undefined for keys at the ends of the range.
    auto span = static_cast<int32_t>(static_cast<uint32_t>(b.time) - static_cast<uint32_t>(a.time));
    float u = (t - static_cast<float>(a.time)) / static_cast<float>(span);
    float delta = b.value - a.value;
    switch (a.interpolation) {
    case Linear:
        return u * delta + a.value;
    case SmoothStep:
        return (3.0f - 2.0f * u) * (u * u) * delta + a.value;
    default: // EaseIn
        return delta * (u * u) + a.value;
    }
}

void clearTrackRegistry(TrackRegistry* registry) {
    registry->tracks = nullptr;
    registry->count = 0;
}

void freeTracks(TrackRegistry* registry) {
    for (int32_t i = 0; i < registry->count; ++i) {
        ParameterTrack* track = registry->tracks[i];
        memFree(track->name);
        memFree(track->keys);
        memFree(track);
    }
    memFree(registry->tracks);
    clearTrackRegistry(registry);
}
