#include "shared/scene_stage.h"

#include "framework/parameter_track.h"
#include "framework/track_data.h"
#include "renderer/frame_pass.h"
#include "renderer/gl_entries.h"
#include "renderer/shader_assembly.h"
#include "renderer/uniforms.h"
#include "shaders/embedded_shaders.h"
#include "shared/gl_readback.h"

#include <cmath>
#include <cstring>
#include <string>

namespace {

StageParameters currentParameters;

void uploadStageParameters(int32_t program, int32_t, float) {
    const StageParameters& p = currentParameters;
    setUniform1f(program, "mbrotate", p.mbrotate);
    setUniform1f(program, "mbzoom", p.mbzoom);
    setUniform1f(program, "scratch", p.scratch);
    setUniform1f(program, "fadetime", p.fadetime);
    setUniform1f(program, "fadecolor", p.fadecolor);
    setUniform1f(program, "scenetime", p.scenetime);
    setUniform1f(program, "invert", p.invert);
    setUniform1f(program, "radialblur", p.radialblur);
    setUniform1f(program, "cameraposz", p.cameraposz);
    setUniform1f(program, "sectiontime", p.sectiontime);
    setUniform1i(program, "textsection", p.textsection);
    setUniform1f(program, "morphingtime1", p.morphingtime1);
    setUniform1f(program, "morphingtime2", p.morphingtime2);
    setUniform1i(program, "shape", p.shape);
}

} // namespace

StageParameters choreographyAt(float tick) {
    TrackRegistry registry{};
    StageParameters p;
    float values[kSceneParameterCount] = {};
    for (int32_t i = 0; i < kSceneParameterCount; ++i) {
        const TrackSource& data = builtinTrack(i);
        const ParameterTrack* track =
            registerTrack(&registry, data.name, data.times, data.values, data.modes, data.count);
        values[i] = evaluateTrack(track, tick);
    }
    freeTracks(&registry);
    auto value = [&](const char* name) {
        for (int32_t i = 0; i < kSceneParameterCount; ++i)
            if (std::strcmp(kShowTracks[i].name, name) == 0) return values[i];
        return 0.0f;
    };
    p.mbrotate = value("mbrotate");
    p.mbzoom = value("mbzoom");
    p.scratch = value("scratch");
    p.fadetime = value("fadetime");
    p.fadecolor = value("fadecolor");
    p.scenetime = value("scenetime");
    p.invert = value("invert");
    p.radialblur = value("radialblur");
    p.cameraposz = value("cameraposz");
    p.sectiontime = value("sectiontime");
    p.textsection = truncateToInt(value("textsection"));
    p.morphingtime1 = value("morphingtime1");
    p.morphingtime2 = value("morphingtime2");
    p.shape = truncateToInt(value("shape"));
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
