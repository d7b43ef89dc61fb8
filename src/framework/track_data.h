// The choreography as constant data: the scene selector track and the fourteen scene parameters.
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

// How a parameter reaches the scene programs: a float uniform, or an int uniform taking the
// track value truncated toward zero.
enum UniformKind : int32_t {
    UniformFloat = 0,
    UniformInt = 1,
};

struct SceneParameter {
    TrackSource track; // track.name is also the uniform name
    UniformKind kind;
};

constexpr int32_t kSceneParameterCount = 14;

// "scene": the integer part of its value is the index of the active scene.
extern const TrackSource kSceneSelectorTrack;
// The tick of the selector's first key naming scene index `scene` (0 is the first scene), or -1
// when no key names it.
int32_t sceneStartTick(int32_t scene);
// In registration and upload order.
extern const SceneParameter kSceneParameters[kSceneParameterCount];
