#include "framework/scenes.h"

#include "base/memory.h"
#include "platform/platform.h"
#include "shaders/embedded_shaders.h"

namespace {

FrameworkState state = {nullptr, nullptr, 0, {nullptr, 0}, nullptr, nullptr, {}, -1};

constexpr const char* kSceneLabels[kSceneCount] = {
    "source/sample/effect/SampleNoiseEffectShader",  "source/sample/effect/SampleNoiseEffectShader2",
    "source/sample/effect/SampleNoiseEffectShader3", "source/sample/effect/SampleNoiseEffectShader4",
    "source/sample/effect/SampleNoiseEffectShader5", "source/sample/effect/SampleNoiseEffectShader6",
    "source/sample/effect/SampleNoiseEffectShader7", "source/sample/effect/SampleNoiseEffectShader8",
};

constexpr const char* kSceneProgramFiles[kSceneCount] = {
    "scene1.glsl", "scene2.glsl", "scene3.glsl", "scene4.glsl",
    "scene5.glsl", "scene6.glsl", "scene7.glsl", "scene8.glsl",
};

// The outputs each program writes. Scenes 3, 5 and 8 leave their picture in outColor2 for the
// next scene; scene 6 declares outColor2 but never writes it, so the hand-over it receives stays.
constexpr uint32_t kSceneWrittenOutputs[kSceneCount] = {0x3, 0x3, 0x7, 0x3, 0x7, 0x3, 0x3, 0x7};

// A scene whose program is not embedded yet runs the stand-in program instead.
const char* sceneProgramText(int32_t sceneIndex) {
    const char* text = findEmbeddedShader(kSceneProgramFiles[sceneIndex]);
    return text ? text : findEmbeddedShader("placeholder.glsl");
}

template <typename Record>
Record* allocateRecord() {
    return static_cast<Record*>(memAlloc(sizeof(Record)));
}

} // namespace

FrameworkState* frameworkState() {
    return &state;
}

SceneState* sceneStateAt(int32_t sceneIndex) {
    if (!state.sceneStates || sceneIndex < 0 || sceneIndex >= listCount(state.sceneStates)) return nullptr;
    listSeek(state.sceneStates, sceneIndex);
    return static_cast<SceneState*>(listGet(state.sceneStates).pointer);
}

const char* sceneProgramFile(int32_t sceneIndex) {
    return sceneIndex >= 0 && sceneIndex < kSceneCount ? kSceneProgramFiles[sceneIndex] : nullptr;
}

void sceneStartTicks(float starts[kSceneCount]) {
    const ParameterTrack* selector = state.sceneSelector;
    for (int32_t scene = 0; scene < kSceneCount; ++scene) {
        starts[scene] = 0.0f;
        for (int32_t key = 0; selector && key < selector->count; ++key)
            if (static_cast<int32_t>(selector->keys[key].value) == scene) {
                starts[scene] = static_cast<float>(selector->keys[key].time);
                break;
            }
    }
}

void buildSceneTable(SceneDescriptor rows[kSceneCount]) {
    for (int32_t i = 0; i < kSceneCount; ++i) {
        // The stand-in program's outputs are left to the driver.
        const uint32_t written = findEmbeddedShader(kSceneProgramFiles[i]) ? kSceneWrittenOutputs[i] : 0;
        rows[i] = {sceneInit,       sceneUpdate,         sceneActivate, sceneRelease,
                   kSceneLabels[i], sceneProgramText(i), written};
    }
}

void setSceneTable(const SceneDescriptor* table) {
    state.table = table;
}

int32_t initScenes() {
    state.sceneStates = allocateRecord<ValueList>();
    if (!state.sceneStates || !state.table) return 0;
    listInit(state.sceneStates);
    state.sceneCount = kSceneCount;
    clearTrackRegistry(&state.registry);
    state.lastActivated = -1;

    RendererRecords* records = rendererRecords();
    records->settings = allocateRecord<RendererSettings>();
    records->view = allocateRecord<ViewInput>();
    records->targets = allocateRecord<RenderTargets>();
    if (!records->settings || !records->view || !records->targets) return 0;
    setRendererSettingsDefaults(records->settings);
    setViewInputDefaults(records->view);
    initRenderTargetsRecord(records->targets);
    createRendererResources(viewWidth(), viewHeight());

    int32_t result = 1;
    for (int32_t i = 0; i < state.sceneCount; ++i) {
        auto* sceneState = allocateRecord<SceneState>();
        if (!sceneState) return 0;
        sceneState->program = -1;
        if (!listAppend(state.sceneStates, ListValue{OwnedPointer, sceneState})) {
            memFree(sceneState);
            return 0;
        }
        const SceneDescriptor& row = state.table[i];
        if (row.init) result &= row.init(i, &state.registry, sceneState, row.name, row.source) != 0 ? 1 : 0;
    }

    // Registered after the scenes, so the parameter tracks come first in the registry.
    const TrackSource& selector = builtinTrack(kSceneSelectorIndex);
    state.sceneSelector = registerTrack(&state.registry, selector.name, selector.times, selector.values,
                                        selector.modes, selector.count);

    // The fixed pause that closes the start of the scenes.
    platformServices()->sleepMs(5000);
    return result;
}

int32_t updateScenes(float time) {
    if (state.sceneCount < 1) return 1;
    int32_t active = truncateToInt(evaluateTrack(state.sceneSelector, time));
    if (active < 0 || active >= state.sceneCount) return 1;
    SceneState* sceneState = sceneStateAt(active);
    if (!sceneState) return 1;
    const SceneDescriptor& row = state.table[active];
    if (active != state.lastActivated) {
        if (row.activate) row.activate(active, &state.registry, sceneState->program);
        state.lastActivated = active;
    }
    int32_t result = 1;
    if (row.update) result &= row.update(active, &state.registry, time, sceneState->program) != 0 ? 1 : 0;
    return result;
}

void releaseScenes() {
    freeTracks(&state.registry);
    state.sceneSelector = nullptr;
    for (ParameterTrack*& track : state.parameters) track = nullptr;
    state.currentRegistry = nullptr;

    if (state.sceneStates) {
        for (int32_t i = 0; i < state.sceneCount; ++i) {
            SceneState* sceneState = sceneStateAt(i);
            if (!sceneState) break;
            if (state.table && state.table[i].release) state.table[i].release(i, 0);
            // The list frees the states themselves, not the texts they own.
            memFree(sceneState->name);
            memFree(sceneState->source);
            sceneState->name = sceneState->source = nullptr;
        }
        listClear(state.sceneStates);
        memFree(state.sceneStates);
        state.sceneStates = nullptr;
    }
    state.sceneCount = 0;

    RendererRecords* records = rendererRecords();
    if (records->targets) {
        destroyRendererResources();
        memFree(records->targets);
    }
    memFree(records->settings);
    memFree(records->view);
    *records = {nullptr, nullptr, nullptr};

    state.table = nullptr;
}

RenderTargets* renderTargets() {
    return rendererRecords()->targets;
}
RendererSettings* rendererSettings() {
    return rendererRecords()->settings;
}
ViewInput* viewInput() {
    return rendererRecords()->view;
}
