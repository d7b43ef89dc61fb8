// The renderer's records: settings, render targets, view input, and their defaults.
#pragma once

#include <cstdint>

struct TextureSampling {
    int32_t enabled; // nonzero: created at start-up and bound every frame
    int32_t mipmaps; // nonzero: mipmapped minification and a mipmap rebuild every frame
    int32_t filter;  // 0 nearest, 1 linear
    int32_t wrap;    // 0 repeat, 1 clamp to edge, 2 mirrored repeat
};

enum TextureFormatSelector : int32_t {
    TextureFormatRgba8 = 0,
    TextureFormatRgba16F = 1,
    TextureFormatRgba32F = 2,
};

struct RendererSettings {
    int32_t textureFormatSelector;
    int32_t useMultipleTargets;
    int32_t colorAttachmentCount; // values above 4 suppress the frame
    int32_t bindRenderTargets;
    TextureSampling glyphAtlasSampling;   // unit 4
    TextureSampling grayNoise2DSampling;  // unit 5
    TextureSampling colorNoise2DSampling; // unit 6
    TextureSampling grayNoise3DSampling;  // unit 7
    TextureSampling colorNoise3DSampling; // unit 8
    TextureSampling renderTargetSampling; // units 0-3; its enabled field is never read
    int32_t swapControl;
    int32_t swapMode; // 0 -> interval -1, 1 -> 0, 2 -> 1, others set nothing
    char glyphFaceName[64];
};

struct ViewInput {
    int32_t pointerX, pointerY;
    int32_t buttons[3];
    float fieldOfView; // vertical, radians
    float cameraMatrix[16];
    float previousCameraMatrix[16];
    float vectors[2][3];
    float baseAngle;
};

// Called by the frame pass after the built-in uniforms, to set the scene's own parameters.
using ParameterHook = void (*)(int32_t program, int32_t sceneIndex, float time);

constexpr int32_t kTargetSets = 2;
constexpr int32_t kTargetsPerSet = 4;

struct RenderTargets {
    uint32_t framebuffer; // all ones until created
    uint32_t targets[kTargetSets][kTargetsPerSet];
    uint32_t frameCount; // lowest bit: the set written this frame
    uint32_t glyphAtlas;
    uint32_t noiseTextures[4]; // units 5, 6, 7, 8
    RendererSettings settingsCopy;
    ViewInput viewCopy;
    ParameterHook parameterHook;
    // Bit i set when the current program writes attachment i, as its scene's table row states;
    // 0 takes the outputs the driver reports the program declaring.
    uint32_t writtenOutputs;
};

// Texture units, fixed for the whole run.
enum TextureUnit : int32_t {
    UnitBackBuffer0 = 0, // 0-3: the previous frame's targets
    UnitFont = 4,
    UnitGrayNoise2D = 5,
    UnitColorNoise2D = 6,
    UnitGrayNoise3D = 7,
    UnitColorNoise3D = 8,
};

// The default fill, then the start-up values.
void setRendererSettingsDefaults(RendererSettings* settings);
void setViewInputDefaults(ViewInput* view);
// Framebuffer name all ones, no hook.
void initRenderTargetsRecord(RenderTargets* targets);

// The records the presentation framework allocates and owns; the renderer reaches them here.
struct RendererRecords {
    RendererSettings* settings;
    ViewInput* view;
    RenderTargets* targets;
};
RendererRecords* rendererRecords();
