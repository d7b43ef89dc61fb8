// Scene programs drawn through the real frame pass at a chosen view size, with every input texture
// (glyph atlas and noise) made, for the tests and benchmarks of the scenes. The parameters the
// scene tracks would set come from a record instead, or from the choreography at a tick.
#pragma once

#include "framework/track_data.h"
#include "renderer/renderer.h"

#include <cstdint>
#include <vector>

// Every parameter the scene programs read, in the order of kShowTracks, as their tracks would
// give them: fadetime 1, scenetime 0.5, textsection -1 (no text), the others 0 unless set.
struct StageParameters {
    StageParameters();
    // The parameter of that name; a name that is no scene parameter is a fault of the caller.
    float& operator[](const char* name);
    float values[kSceneParameterCount];
};

// The fourteen tracks evaluated at `tick`.
StageParameters choreographyAt(float tick);

// The renderer records of one view; made current in rendererRecords() while open.
struct SceneStage {
    int32_t width = 0;
    int32_t height = 0;
    RendererSettings settings{};
    ViewInput view{};
    RenderTargets targets{};
};

// Starts the renderer at width x height with its resources (needs a current GL context; the view
// may be larger than the default framebuffer, whose copy is then clipped). False on failure.
bool openSceneStage(SceneStage* stage, int32_t width, int32_t height);
void closeSceneStage(SceneStage* stage);

// One frame pass of `program` at `time` with these parameters, set through the parameter hook.
void drawStageFrame(SceneStage* stage, int32_t program, float time, const StageParameters& parameters);

// RGBA8 pixels of the window picture (what the last frame copied to the default framebuffer, so
// the view must fit it), rows bottom first.
std::vector<uint8_t> readStageScreen(const SceneStage* stage);
// RGBA8 pixels of attachment `index` as the last frame left it, rows bottom first. Attachment 0
// is the picture on the screen.
std::vector<uint8_t> readStageAttachment(const SceneStage* stage, int32_t index);

// The embedded text of scene n (1 to 8), null when missing.
const char* embeddedSceneText(int32_t scene);
// Its program, or -1 (sceneProgramLog() says why).
int32_t buildEmbeddedScene(int32_t scene);

enum class RowKind { Picture, LetterBox, Edge };
// Whether a row lies in the letter-box bars (limit 0.7), worked out on the CPU; Edge for a row
// whose centre sits so near the limit that float rounding decides.
RowKind letterBoxRow(int32_t row, int32_t height);
