#include "renderer/renderer.h"

#include "framework/text.h"
#include "renderer/gl_entries.h"
#include "renderer/glyph_atlas.h"
#include "renderer/noise_textures.h"

#include <bit>
#include <initializer_list>

namespace {

struct RendererStart {
    int32_t width;
    int32_t height;
    void* deviceContext;
};

RendererStart start;
RendererRecords records;

// 3.14159203: the single-precision value just below pi.
constexpr uint32_t kBaseAngleBits = 0x40490FD8u;

constexpr TextureSampling kDefaultSampling = {0, 1, 1, 1};

} // namespace

void setRendererSettingsDefaults(RendererSettings* settings) {
    for (TextureSampling* sampling :
         {&settings->glyphAtlasSampling, &settings->grayNoise2DSampling, &settings->colorNoise2DSampling,
          &settings->grayNoise3DSampling, &settings->colorNoise3DSampling})
        *sampling = kDefaultSampling;
    settings->renderTargetSampling = {settings->renderTargetSampling.enabled, 1, 1, 1};

    settings->textureFormatSelector = TextureFormatRgba8;
    settings->useMultipleTargets = 1;
    settings->colorAttachmentCount = 4;
    settings->bindRenderTargets = 1;
    settings->glyphAtlasSampling = {1, 1, 1, 1};
    settings->grayNoise2DSampling = {1, 1, 1, 0};
    settings->colorNoise2DSampling = {1, 1, 1, 0};
    settings->grayNoise3DSampling = {1, 1, 1, 0};
    settings->colorNoise3DSampling = {1, 1, 1, 0};
    settings->renderTargetSampling = {1, 1, 1, 1};
    settings->swapControl = 1;
    settings->swapMode = 2;
    copyTextBounded(settings->glyphFaceName, "Courier New", sizeof settings->glyphFaceName - 1);
}

void setViewInputDefaults(ViewInput* view) {
    view->pointerX = view->pointerY = 0;
    view->buttons[0] = view->buttons[1] = view->buttons[2] = 0;
    view->baseAngle = std::bit_cast<float>(kBaseAngleBits);
    view->fieldOfView = view->baseAngle * 0.125f;
    setIdentity4x4(view->cameraMatrix);
    setIdentity4x4(view->previousCameraMatrix);
    clearBytes(view->vectors, sizeof view->vectors);
}

void initRenderTargetsRecord(RenderTargets* targets) {
    targets->framebuffer = 0xFFFFFFFFu;
    targets->parameterHook = nullptr;
    targets->writtenOutputs = 0;
}

RendererRecords* rendererRecords() {
    return &records;
}

int32_t initRenderer(void* deviceContext, int32_t width, int32_t height) {
    start.width = width;
    start.height = height;
    if (!loadGlEntryPoints(glEntryTable())) return 0;
    start.deviceContext = deviceContext;
    return 1;
}

int32_t viewWidth() {
    return start.width;
}
int32_t viewHeight() {
    return start.height;
}
void* rendererDeviceContext() {
    return start.deviceContext;
}

int32_t createRendererResources(int32_t width, int32_t height) {
    RenderTargets* targets = records.targets;
    const RendererSettings* settings = records.settings;
    createRenderTargets(targets, settings, width, height);
    // The input textures of units 4 to 8, each when its sampling is enabled; a texture that
    // cannot be made leaves its name 0 and the run goes on.
    if (settings->glyphAtlasSampling.enabled) buildGlyphAtlas(targets, settings);
    if (settings->grayNoise2DSampling.enabled) createGrayNoiseTexture2D(targets, settings);
    if (settings->colorNoise2DSampling.enabled) createColorNoiseTexture2D(targets, settings);
    if (settings->grayNoise3DSampling.enabled) createGrayNoiseTexture3D(targets, settings);
    if (settings->colorNoise3DSampling.enabled) createColorNoiseTexture3D(targets, settings);
    targets->frameCount = 0;
    return 1;
}

void destroyRendererResources() {
    RenderTargets* targets = records.targets;
    if (targets->glyphAtlas) {
        GLX(glActiveTexture)(GL_TEXTURE0 + UnitFont);
        glBindTexture(GL_TEXTURE_2D, 0);
        glDeleteTextures(1, &targets->glyphAtlas);
        targets->glyphAtlas = 0;
    }
    destroyRenderTargets(targets);
}
