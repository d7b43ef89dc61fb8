#include "scene_view.h"

#include "renderer/frame_pass.h"
#include "renderer/gl_entries.h"
#include "renderer/shader_assembly.h"
#include "renderer/uniforms.h"
#include "shaders/embedded_shaders.h"
#include "support/gl_test.h"

#include <cmath>

namespace {

SceneParameters currentParameters;

void uploadTestParameters(int32_t program, int32_t, float) {
    const SceneParameters& p = currentParameters;
    setUniform1f(program, "mbrotate", p.mbrotate);
    setUniform1f(program, "mbzoom", p.mbzoom);
    setUniform1f(program, "scratch", p.scratch);
    setUniform1f(program, "fadetime", p.fadetime);
    setUniform1f(program, "fadecolor", p.fadecolor);
    setUniform1f(program, "scenetime", p.scenetime);
    setUniform1f(program, "invert", p.invert);
    setUniform1f(program, "radialblur", p.radialblur);
}

} // namespace

bool openSceneView(SceneView* view, int32_t width, int32_t height) {
    view->width = width;
    view->height = height;
    setRendererSettingsDefaults(&view->settings);
    view->settings.glyphAtlasSampling.enabled = 0;
    view->settings.colorNoise2DSampling.enabled = 0;
    view->settings.grayNoise3DSampling.enabled = 0;
    setViewInputDefaults(&view->view);
    initRenderTargetsRecord(&view->targets);
    *rendererRecords() = {&view->settings, &view->view, &view->targets};
    if (initRenderer(nullptr, width, height) != 1) return false;
    createRendererResources(width, height);
    view->targets.parameterHook = uploadTestParameters;
    return view->targets.framebuffer != 0xFFFFFFFFu;
}

void closeSceneView(SceneView* view) {
    if (rendererRecords()->targets == &view->targets) {
        destroyRendererResources();
        *rendererRecords() = {nullptr, nullptr, nullptr};
    }
}

void drawSceneFrame(SceneView* view, int32_t program, float time, const SceneParameters& parameters) {
    currentParameters = parameters;
    drawScenePass(&view->targets, program, time, 0, &view->view, &view->settings);
}

std::vector<uint8_t> readScreen(const SceneView* view) {
    return readFramebuffer(0, 0, view->width, view->height);
}

std::vector<uint8_t> readAttachment(const SceneView* view, int32_t index) {
    // The frame pass leaves the newest picture of every attachment in the set it wrote last.
    const uint32_t lastWritten = (view->targets.frameCount - 1u) & 1u;
    return readTexture(view->targets.targets[lastWritten][index]);
}

const char* sceneText(int32_t scene) {
    const std::string name = "scene" + std::to_string(scene) + ".glsl";
    return findEmbeddedShader(name.c_str());
}

int32_t buildScene(int32_t scene) {
    const char* text = sceneText(scene);
    if (!text) {
        ADD_FAILURE() << "scene " << scene << " is not embedded";
        return -1;
    }
    const int32_t program = buildSceneProgram(text);
    if (program < 0) ADD_FAILURE() << "scene " << scene << " does not build:\n" << sceneProgramLog();
    return program;
}

RowKind letterBoxRow(int32_t row, int32_t height) {
    const double m = std::fabs((2.0 * (row + 0.5) - height) / height);
    if (std::fabs(m - 0.7) < 1e-4) return RowKind::Edge;
    return m > 0.7 ? RowKind::LetterBox : RowKind::Picture;
}
