// The eight scenes: their table, runtime states, start-up, per-frame selection and release.
#pragma once

#include "base/value_list.h"
#include "framework/parameter_track.h"
#include "framework/track_data.h"
#include "renderer/renderer.h"

#include <cstdint>

constexpr int32_t kSceneCount = 8;

// One per scene, zero-filled at creation.
struct SceneState {
    int32_t program; // GL program name; -1 until built and when the build failed
    char* name;      // heap copy of the label (kept, not used)
    char* source;    // heap copy of the program text
};

using SceneInitCallback = int32_t (*)(int32_t sceneIndex, TrackRegistry* registry, SceneState* state,
                                      const char* label, const char* source);
using SceneUpdateCallback = int32_t (*)(int32_t sceneIndex, TrackRegistry* registry, float time,
                                        int32_t program);
using SceneActivateCallback = void (*)(int32_t sceneIndex, TrackRegistry* registry, int32_t program);
using SceneReleaseCallback = void (*)(int32_t sceneIndex, int32_t unused);

// One row of the scene table.
struct SceneDescriptor {
    SceneInitCallback init;
    SceneUpdateCallback update;
    SceneActivateCallback activate;
    SceneReleaseCallback release;
    const char* name;   // constant label
    const char* source; // constant fragment program text
    // Bit i set when the program writes outColor<i>; the frame pass carries the other
    // attachments' pictures. 0 leaves it to what the driver reports.
    uint32_t writtenOutputs;
};

// The single framework record.
struct FrameworkState {
    ValueList* sceneStates; // OwnedPointer entries; the n-th belongs to scene index n
    const SceneDescriptor* table;
    int32_t sceneCount;
    TrackRegistry registry;
    TrackRegistry* currentRegistry; // the registry the scenes were started with
    ParameterTrack* sceneSelector;
    ParameterTrack* parameters[kSceneParameterCount]; // in the order of kShowTracks
    int32_t lastActivated;                            // -1 until the first frame
};

FrameworkState* frameworkState();

// The eight rows in scene order: the shared callbacks, the labels and each scene's program text.
void buildSceneTable(SceneDescriptor rows[kSceneCount]);
// The file name of scene index `sceneIndex`'s program among the shader texts ("scene1.glsl").
const char* sceneProgramFile(int32_t sceneIndex);
// The started scene's state (null when there is no such scene).
SceneState* sceneStateAt(int32_t sceneIndex);
// The first tick of each scene as the current selector track names it (0 for a scene it never
// names).
void sceneStartTicks(float starts[kSceneCount]);

// The table initScenes starts (kSceneCount rows). Its owner keeps and frees the block;
// releaseScenes only forgets the pointer.
void setSceneTable(const SceneDescriptor* table);

// Creates the renderer records and resources, starts every scene in order, registers the scene
// selector and pauses 5 s. 1 when every scene's init succeeded; 0 when a record or a scene state
// cannot be allocated or no table is set (scenes started so far stay started).
int32_t initScenes();
// Activates the scene the selector names at this time when it changed, then updates it. The AND
// of the update results (1 when none ran).
int32_t updateScenes(float time);
// Frees the tracks, the scene states with their texts and the renderer records and resources.
// Safe after a partial initScenes.
void releaseScenes();

// The callbacks every row of the table carries.
int32_t sceneInit(int32_t sceneIndex, TrackRegistry* registry, SceneState* state, const char* label,
                  const char* source);
int32_t sceneUpdate(int32_t sceneIndex, TrackRegistry* registry, float time, int32_t program);
void sceneActivate(int32_t sceneIndex, TrackRegistry* registry, int32_t program);
void sceneRelease(int32_t sceneIndex, int32_t unused);

// The ParameterHook: evaluates the fourteen parameter tracks and sets the uniforms of the same
// names in the program (int ones truncated toward zero).
void uploadSceneParameters(int32_t program, int32_t sceneIndex, float time);
// Sets the uniform of each scene parameter from its value, in the order of kShowTracks: the int
// ones truncated toward zero.
void setSceneParameterUniforms(int32_t program, const float values[kSceneParameterCount]);

// The renderer records the framework allocates and owns.
RenderTargets* renderTargets();
RendererSettings* rendererSettings();
ViewInput* viewInput();
