// Named keyframe curves over presentation time (clock ticks) and the registry that holds them.
#pragma once

#include <cstdint>

// How the curve runs from a key to the next one. Any other value is allowed in data and makes
// its stretch evaluate to 0.
enum InterpolationMode : int32_t {
    Hold = 0,
    Linear = 1,
    SmoothStep = 2,
    EaseIn = 3,
};

struct TrackKey {
    int32_t time; // whole ticks
    float value;
    int32_t interpolation; // an InterpolationMode, governing the stretch up to the next key
};

// Keys are in strictly increasing time order; nothing checks or sorts them.
struct ParameterTrack {
    char* name;
    TrackKey* keys;
    int32_t count;
};

// Tracks keep their index for life, in creation order.
struct TrackRegistry {
    ParameterTrack** tracks;
    int32_t count;
};

// Get-or-create by name. A name already registered returns its track unchanged (the data is
// ignored); a new track gets the n keys from the three parallel arrays, and is returned even
// when its keys cannot be allocated (it then has none). Null only when no track can be created.
ParameterTrack* registerTrack(TrackRegistry* registry, const char* name, const int32_t* times,
                              const float* values, const int8_t* modes, int32_t n);
// Index of the first track whose name matches exactly (case-sensitive), or -1.
int32_t findTrack(const TrackRegistry* registry, const char* name);
// Appends an empty track under a copy of the name; its index, or -1 when memory runs out (the
// registry is then unchanged).
int32_t createTrack(TrackRegistry* registry, const char* name);
// Replaces the track's keys with the n keys of the arrays (modes widened with sign). 0, or -1
// when the key array cannot be allocated; the track is then left without keys.
int32_t setTrackKeys(ParameterTrack* track, const int32_t* times, const float* values, const int8_t* modes,
                     int32_t n);
// Value at time t (single precision); 0 for an empty or null track.
float evaluateTrack(const ParameterTrack* track, float t);
// Index of the last key at or before the tick, -1 before the first key.
int32_t findKeyIndex(const ParameterTrack* track, int32_t tick);
// Floor as an int32; -2147483648 (the processor's indefinite integer) for NaN and values
// outside the int32 range.
int32_t floorToInt(float value);
// Truncation toward zero as an int32, with the same indefinite value for NaN and out of range.
int32_t truncateToInt(float value);
// Makes the registry empty (no array, no tracks) without freeing anything.
void clearTrackRegistry(TrackRegistry* registry);
// Frees every track and the array; the registry record itself stays, empty.
void freeTracks(TrackRegistry* registry);
