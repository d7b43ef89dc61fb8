#include "support/scene_stage.h"

#include "framework/parameter_track.h"
#include "framework/scenes.h"
#include "framework/track_data.h"
#include "renderer/frame_pass.h"
#include "renderer/gl_entries.h"
#include "renderer/shader_assembly.h"
#include "renderer/uniforms.h"
#include "shaders/embedded_shaders.h"
#include "support/gl_readback.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

StageParameters currentParameters;

void uploadStageParameters(int32_t program, int32_t, float) {
    setSceneParameterUniforms(program, currentParameters.values);
}

} // namespace

StageParameters::StageParameters() : values{} {
    (*this)["fadetime"] = 1.0f;
    (*this)["scenetime"] = 0.5f;
    (*this)["textsection"] = -1.0f;
}

float& StageParameters::operator[](const char* name) {
    const int32_t index = showTrackIndex(name);
    if (index < 0 || index >= kSceneParameterCount) {
        std::fprintf(stderr, "scene stage: '%s' is no scene parameter\n", name);
        std::abort();
    }
    return values[index];
}

StageParameters choreographyAt(float tick) {
    TrackRegistry registry{};
    StageParameters p;
    for (int32_t i = 0; i < kSceneParameterCount; ++i) {
        const TrackSource& data = builtinTrack(i);
        const ParameterTrack* track =
            registerTrack(&registry, data.name, data.times, data.values, data.modes, data.count);
        p.values[i] = evaluateTrack(track, tick);
    }
    freeTracks(&registry);
    return p;
}

bool openSceneStage(SceneStage* stage, int32_t width, int32_t height) {
    stage->width = width;
    stage->height = height;
    setRendererSettingsDefaults(&stage->settings);
    setViewInputDefaults(&stage->view);
    initRenderTargetsRecord(&stage->targets);
    *rendererRecords() = {&stage->settings, &stage->view, &stage->targets};
    if (initRenderer(nullptr, width, height) != 1) return false;
    createRendererResources(width, height);
    stage->targets.parameterHook = uploadStageParameters;
    return stage->targets.framebuffer != 0xFFFFFFFFu;
}

void closeSceneStage(SceneStage* stage) {
    if (rendererRecords()->targets != &stage->targets) return;
    destroyRendererResources();
    // The noise textures are not among the resources the renderer releases.
    glDeleteTextures(4, stage->targets.noiseTextures);
    *rendererRecords() = {nullptr, nullptr, nullptr};
}

void drawStageFrame(SceneStage* stage, int32_t program, float time, const StageParameters& parameters) {
    currentParameters = parameters;
    drawScenePass(&stage->targets, program, time, 0, &stage->view, &stage->settings);
}

std::vector<uint8_t> readStageScreen(const SceneStage* stage) {
    return readFramebuffer(0, 0, stage->width, stage->height);
}

std::vector<uint8_t> readStageAttachment(const SceneStage* stage, int32_t index) {
    // The frame pass leaves the newest picture of every attachment in the set it wrote last.
    const uint32_t lastWritten = (stage->targets.frameCount - 1u) & 1u;
    return readTexture(stage->targets.targets[lastWritten][index]);
}

const char* embeddedSceneText(int32_t scene) {
    const std::string name = "scene" + std::to_string(scene) + ".glsl";
    return findEmbeddedShader(name.c_str());
}

int32_t buildEmbeddedScene(int32_t scene) {
    const char* text = embeddedSceneText(scene);
    return text ? buildSceneProgram(text) : -1;
}

RowKind letterBoxRow(int32_t row, int32_t height) {
    const double m = std::fabs((2.0 * (row + 0.5) - height) / height);
    if (std::fabs(m - 0.7) < 1e-4) return RowKind::Edge;
    return m > 0.7 ? RowKind::LetterBox : RowKind::Picture;
}
