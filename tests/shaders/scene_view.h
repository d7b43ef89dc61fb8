// Scene programs drawn through the real frame pass at a small view size, with the scene
// parameters given directly instead of by the tracks.
#pragma once

#include "renderer/renderer.h"

#include <cstdint>
#include <string>
#include <vector>

// The scene parameters the programs of scenes 1 to 4 read.
struct SceneParameters {
    float mbrotate = 0.0f;
    float mbzoom = 0.0f;
    float scratch = 0.0f;
    float fadetime = 1.0f;
    float fadecolor = 0.0f;
    float scenetime = 0.5f;
    float invert = 0.0f;
    float radialblur = 0.0f;
};

// The renderer records of one view, made current in rendererRecords() while it is open.
struct SceneView {
    int32_t width = 0;
    int32_t height = 0;
    RendererSettings settings{};
    ViewInput view{};
    RenderTargets targets{};
};

// Starts the renderer at width x height (which must fit the GL test surface) and creates its
// resources; the glyph atlas and the noise textures no scene of 1 to 4 samples stay disabled.
// False when the renderer does not start.
bool openSceneView(SceneView* view, int32_t width, int32_t height);
void closeSceneView(SceneView* view);

// One frame pass of `program` at `time` with these parameters (set through the parameter hook).
void drawSceneFrame(SceneView* view, int32_t program, float time, const SceneParameters& parameters);

// RGBA8 pixels of the window picture (what the last frame copied to the default framebuffer),
// rows bottom first.
std::vector<uint8_t> readScreen(const SceneView* view);
// RGBA8 pixels of attachment `index` as the last frame left it, rows bottom first.
std::vector<uint8_t> readAttachment(const SceneView* view, int32_t index);

// The program text of scene n (1 to 8) as embedded, and built; -1 with a test failure carrying
// the log when it does not build.
const char* sceneText(int32_t scene);
int32_t buildScene(int32_t scene);

enum class RowKind { Picture, LetterBox, Edge };
// Whether a row lies in the letter-box (limit 0.7), computed on the CPU; Edge for a row whose
// centre sits so close to the limit that float rounding decides.
RowKind letterBoxRow(int32_t row, int32_t height);
