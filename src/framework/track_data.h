// The choreography: the fifteen tracks of the show, how each reaches the scene programs, and their
// built-in keys, compiled at build time from the track source src/tracks/show.rocket.
#pragma once

#include <cstdint>

// One track's keys as three parallel arrays of `count` entries, the form registerTrack takes.
struct TrackSource {
    const char* name;
    const int32_t* times;
    const float* values;
    const int8_t* modes;
    int32_t count;
};

// How a track reaches the scene programs: a float uniform, an int uniform taking the track value
// truncated toward zero, or not at all (the scene selector).
enum UniformKind : int32_t {
    UniformFloat = 0,
    UniformInt = 1,
    UniformNone = 2,
};

struct ShowTrack {
    const char* name; // the track name, and the uniform name of a scene parameter
    UniformKind kind;
};

constexpr int32_t kSceneParameterCount = 14;
constexpr int32_t kShowTrackCount = kSceneParameterCount + 1;
constexpr int32_t kSceneSelectorIndex = kSceneParameterCount;

// Every track of the show in registration order: the fourteen scene parameters in upload order,
// then "scene", whose value's integer part is the index of the active scene. The track compiler
// reads this list too: a track source may name these tracks and no others.
inline constexpr ShowTrack kShowTracks[kShowTrackCount] = {
    {"mbrotate", UniformFloat},    {"mbzoom", UniformFloat},        {"scratch", UniformFloat},
    {"fadetime", UniformFloat},    {"fadecolor", UniformFloat},     {"scenetime", UniformFloat},
    {"invert", UniformFloat},      {"radialblur", UniformFloat},    {"cameraposz", UniformFloat},
    {"sectiontime", UniformFloat}, {"textsection", UniformInt},     {"morphingtime1", UniformFloat},
    {"morphingtime2", UniformFloat}, {"shape", UniformInt},         {"scene", UniformNone},
};

// The index of the show's track of that name in kShowTracks, or -1.
constexpr int32_t showTrackIndex(const char* name) {
    for (int32_t i = 0; i < kShowTrackCount; ++i) {
        const char* a = kShowTracks[i].name;
        const char* b = name;
        while (*a && *a == *b) ++a, ++b;
        if (*a == *b) return i;
    }
    return -1;
}

// The built-in keys of kShowTracks[index] (generated from the track source).
const TrackSource& builtinTrack(int32_t index);

// What a sync editor keeps beside the keys: the document's row count and its bookmarks. Kept with
// the built-in tracks so that they print back as the source they were compiled from.
struct TrackDocumentInfo {
    int32_t rows;
    const int32_t* bookmarks;
    int32_t bookmarkCount;
};
extern const TrackDocumentInfo kBuiltinTrackDocument;

// The tick of the built-in selector's first key naming scene index `scene` (0 is the first
// scene), or -1 when no key names it.
int32_t sceneStartTick(int32_t scene);
