// The callbacks every scene of the table shares, and the parameter upload they install.
#include "framework/scenes.h"

#include "base/text.h"
#include "renderer/frame_pass.h"
#include "renderer/shader_assembly.h"
#include "renderer/uniforms.h"

int32_t sceneInit(int32_t, TrackRegistry* registry, SceneState* state, const char* label,
                  const char* source) {
    // Copies kept with the state (a failed copy stays null; nothing reads them).
    state->source = source ? duplicateString(source) : nullptr;
    state->name = label ? duplicateString(label) : nullptr;
    state->program = buildSceneProgram(source);
    FrameworkState* framework = frameworkState();
    framework->currentRegistry = registry;
    // Only the first scene creates the tracks; the others get the same ones back.
    for (int32_t i = 0; i < kSceneParameterCount; ++i) {
        const TrackSource& data = builtinTrack(i);
        framework->parameters[i] =
            registerTrack(registry, data.name, data.times, data.values, data.modes, data.count);
    }
    return 1;
}

int32_t sceneUpdate(int32_t sceneIndex, TrackRegistry*, float time, int32_t program) {
    const SceneDescriptor* table = frameworkState()->table;
    renderTargets()->writtenOutputs = table ? table[sceneIndex].writtenOutputs : 0;
    drawScenePass(renderTargets(), program, time, sceneIndex, viewInput(), rendererSettings());
    applySwapInterval(rendererSettings());
    return 0;
}

void sceneActivate(int32_t, TrackRegistry*, int32_t) {
    renderTargets()->parameterHook = uploadSceneParameters;
}

void sceneRelease(int32_t, int32_t) {}

void uploadSceneParameters(int32_t program, int32_t, float time) {
    const FrameworkState* framework = frameworkState();
    float values[kSceneParameterCount];
    for (int32_t i = 0; i < kSceneParameterCount; ++i)
        values[i] = evaluateTrack(framework->parameters[i], time);
    setSceneParameterUniforms(program, values);
}

void setSceneParameterUniforms(int32_t program, const float values[kSceneParameterCount]) {
    for (int32_t i = 0; i < kSceneParameterCount; ++i) {
        const ShowTrack& parameter = kShowTracks[i];
        if (parameter.kind == UniformInt)
            setUniform1i(program, parameter.name, truncateToInt(values[i]));
        else
            setUniform1f(program, parameter.name, values[i]);
    }
}
